// What the tests of TarvikClient as a program share: a fresh stand-in machine with the program
// (and the uninstaller it starts) in its program folder, and the settings file's place.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/services/RunProgram.h"
#include "testkit/services/ServiceMachine.h"
#include "testkit/sysevents/ObjectsRoot.h"

namespace agenttest {

inline constexpr const wchar_t* kService = L"HalvanePexonService";
// A blank and a hyphen: the binary path must be quoted and the hyphen is no switch.
inline const char* const kProgramFolder = "Program Files/Quelmo/Tarvik-Client";
inline const char* const kSettings = "ProgramData/Quelmo/Tarvik Client/TarvikConfig.ini";
inline const std::string kValidSettings = "[ServerSettings]\nServer=mgmt.example\nPort=8080\nProtocol=http\n";

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Settings that point the agent at a management server on this machine.
inline std::string SettingsFor(const testkit::MgmtServer& server) {
  return "[ServerSettings]\nServer=127.0.0.1\nPort=" + std::to_string(server.Port()) + "\nProtocol=http\nFolder=/fleet\n";
}

inline std::size_t CountContaining(const std::vector<testkit::MgmtMessage>& messages, const std::string& part) {
  std::size_t count = 0;
  for (const testkit::MgmtMessage& message : messages) count += Has(message.data, part) ? 1 : 0;
  return count;
}

inline bool WaitForCount(const testkit::MgmtServer& server, const std::string& part, std::size_t count) {
  for (int i = 0; i < 600 && CountContaining(server.Messages(), part) < count; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return CountContaining(server.Messages(), part) >= count;
}

inline std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The messages of this type from index `first` on, parsed.
inline std::vector<nlohmann::json> MessagesOfType(const testkit::MgmtServer& server, const std::string& type,
                                                  std::size_t first = 0) {
  std::vector<nlohmann::json> found;
  for (const testkit::MgmtMessage& message : server.MessagesSince(first)) {
    nlohmann::json parsed = nlohmann::json::parse(message.data, nullptr, false);
    if (parsed.is_object() && parsed.value("type", "") == type) found.push_back(std::move(parsed));
  }
  return found;
}

// The first full report (one with "vcpFuncMap" entries) from index `first` on, waiting up to
// the limit; null when none came.
inline nlohmann::json WaitForFullReport(const testkit::MgmtServer& server, std::size_t first,
                                        std::chrono::seconds limit = std::chrono::seconds(40)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    for (const nlohmann::json& report : MessagesOfType(server, "displayStatusReport", first))
      if (!report["monitorList"].empty() && report["monitorList"][0].contains("vcpFuncMap")) return report;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (std::chrono::steady_clock::now() < deadline);
  return nullptr;
}

// A kernel-object namespace of this test's own, which the service inherits: its named mutexes,
// pipes and windows are the ones this test meets, and no other test's.
using KernelObjectFolder = sysevents::ObjectsRoot;

class AgentProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::path folder = machine_.Drive().Path(kProgramFolder);
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(TARVIK_CLIENT, folder / "TarvikClient");
    std::filesystem::copy_file(PENNORAK, folder / "Pennorak.exe");
    program_ = (folder / "TarvikClient").string();
  }

  testkit::ProgramResult Run(const std::string& argument,
                             const std::vector<std::pair<std::string, std::string>>& environment = {}) {
    std::vector<std::string> arguments;
    if (!argument.empty()) arguments.push_back(argument);
    return testkit::RunProgram(program_, arguments, environment);
  }

  // What "Pennorak.exe" recorded, once it has (it is not waited for).
  std::string PennorakRecord() {
    std::string path = std::string(kProgramFolder) + "/pennorak-command-line.txt";
    for (int i = 0; i < 200 && machine_.Drive().Read(path).empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return machine_.Drive().Read(path);
  }

  // Waits until the service's output holds the line more often than `before` times.
  bool WaitForLogLine(const std::string& line, std::size_t before = 0) const {
    for (int i = 0; i < 600; ++i) {
      if (Occurrences(machine_.Output(kService), line) > before) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  std::wstring ProgramWindowsPath() const { return testkit::WindowsPath(program_); }

  // Installs the agent as a service with the settings and the environment; notes its process.
  void InstallAgent(const std::string& settings, const std::vector<std::pair<std::string, std::string>>& environment) {
    machine_.Drive().Write(kSettings, settings);
    ASSERT_EQ(Run("/install", environment).exitCode, 0);
    machine_.State(kService);
  }

  // Removes the service installed by InstallAgent; its process must end cleanly.
  void RemoveAgent() {
    Run("/remove");
    EXPECT_TRUE(machine_.WaitForExit(kService));
    const std::string output = machine_.Output(kService);
    EXPECT_FALSE(Has(output, "Sanitizer")) << output;
    EXPECT_FALSE(Has(output, "runtime error")) << output;
  }

  testkit::ServiceMachine machine_;
  std::string program_;
};

}  // namespace agenttest
