// What the tests of TarvikClient as a program share: a fresh stand-in machine with the program
// (and the uninstaller it starts) in its program folder, and the settings file's place.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/services/RunProgram.h"
#include "testkit/services/ServiceMachine.h"

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

// A kernel-object namespace of this test's own, which the service inherits: its named mutexes
// and pipes are the ones this test meets, and no other test's.
class KernelObjectFolder {
 public:
  KernelObjectFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-objects-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_folder = pattern;
    setenv("TARVIK_KERNEL_OBJECTS", m_folder.c_str(), 1);
  }
  ~KernelObjectFolder() {
    unsetenv("TARVIK_KERNEL_OBJECTS");
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }

 private:
  std::string m_folder;
};

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
