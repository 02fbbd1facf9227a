// An agent object and what the management server double on loopback received from it.
#pragma once

#include <stdlib.h>

#include <mutex>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/service/TarvikService.h"
#include "agent-macos/testing/MacRoot.h"
#include "testkit/mgmt-server/MgmtServer.h"

class ServiceWithServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agentmactest::MacRoot();
    ::setenv("TARVIK_MAC_COMPUTER_NAME", "Test Mac", 1);
  }
  void TearDown() override { ::unsetenv("TARVIK_MAC_COMPUTER_NAME"); }

  static void PointAt(TarvikService& service, const testkit::MgmtServer& server, bool tls = false) {
    std::lock_guard lock(service.settingsLock);
    service.Host = "127.0.0.1";
    service.Port = server.Port();
    service.isSSL = tls;
    service.Folder = "fleet";
  }
  void Connect(testkit::MgmtServer& server) {
    const std::size_t before = server.Upgrades().size();
    PointAt(service_, server);
    service_.connectWebSocket();
    ASSERT_TRUE(server.WaitForUpgrades(before + 1));
  }
  // The messages the server got from `first` on, parsed.
  static std::vector<nlohmann::json> Received(const testkit::MgmtServer& server, std::size_t first) {
    std::vector<nlohmann::json> messages;
    for (const testkit::MgmtMessage& m : server.MessagesSince(first)) messages.push_back(nlohmann::json::parse(m.data));
    return messages;
  }

  TarvikService service_;
};
