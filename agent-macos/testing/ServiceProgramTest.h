// What the tests of TarvikService as a process share: a folder with the program's own folder and
// a Mac root, its profile or managed preferences, the process, and the server's messages.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-macos/testing/AgentProcess.h"
#include "agent-macos/testing/Plist.h"
#include "testkit/mgmt-server/MgmtServer.h"

namespace agentmactest {

inline constexpr const char* kComputerName = "Quelmo Test Mac";

class ServiceProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/tarvik-agent-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    folder_ = folder;
    std::filesystem::create_directories(folder_ / "program");
    std::filesystem::create_directories(folder_ / "mac");
  }
  void TearDown() override {
    agent_.reset();
    std::filesystem::remove_all(folder_);
  }

  void WriteProfile(const testkit::MgmtServer& server, const std::string& protocol, const std::string& folder,
                    const std::string& host = "127.0.0.1") const {
    const std::string text = MobileConfig({{"Server", PlistString(host)},
                                           {"Port", PlistString(std::to_string(server.Port()))},
                                           {"Protocol", PlistString(protocol)},
                                           {"Folder", PlistString(folder)}});
    std::ofstream(folder_ / "program/profile.partial") << text;
    std::filesystem::rename(folder_ / "program/profile.partial", folder_ / "program/TarvikConfig.mobileconfig");
  }
  void WriteManaged(const std::vector<std::pair<std::string, std::string>>& members) const {
    const std::filesystem::path file = folder_ / "mac/Library/Managed Preferences/com.quelmo.tarvik.plist";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << XmlPlist(PlistDict(members));
  }
  void Start(std::vector<std::pair<std::string, std::string>> environment = {}) {
    environment.emplace_back("TARVIK_MAC_ROOT", (folder_ / "mac").string());
    environment.emplace_back("TARVIK_MAC_COMPUTER_NAME", kComputerName);
    agent_ = std::make_unique<AgentProcess>(TARVIK_SERVICE, (folder_ / "program").string(), environment);
  }

  // The first message of this type from message `first` on that satisfies `accept`; null at the
  // time limit.
  template <typename Accept>
  static nlohmann::json WaitForType(const testkit::MgmtServer& server, const std::string& type, std::size_t first,
                                    std::chrono::milliseconds limit, Accept accept) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
      for (const testkit::MgmtMessage& m : server.MessagesSince(first)) {
        nlohmann::json message = nlohmann::json::parse(m.data, nullptr, false);
        if (message.is_object() && message.value("type", "") == type && accept(message)) return message;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return nullptr;
  }
  static nlohmann::json WaitForType(const testkit::MgmtServer& server, const std::string& type, std::size_t first = 0,
                                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return WaitForType(server, type, first, limit, [](const nlohmann::json&) { return true; });
  }

  // Stopped by the signal: both lines in order, exit status 0, no sanitizer report.
  void ExpectStopsOn(int signal) {
    const std::size_t before = agent_->Output().size();
    agent_->Signal(signal);
    const std::optional<int> status = agent_->WaitForExit(std::chrono::seconds(30));
    const std::string output = agent_->Output();
    ASSERT_EQ(status, 0) << output;
    const std::size_t stopped = output.find("[Info] Service stopped.\n", before);
    ASSERT_NE(stopped, std::string::npos) << output;
    EXPECT_NE(output.find("[Info] Service stopped over...\n", stopped), std::string::npos) << output;
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
    EXPECT_EQ(output.find("runtime error"), std::string::npos) << output;
  }

  std::filesystem::path folder_;
  std::unique_ptr<AgentProcess> agent_;
};

}  // namespace agentmactest
