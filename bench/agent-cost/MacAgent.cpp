#include "bench/agent-cost/MacAgent.h"

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <stdexcept>

#include "agent-macos/testing/Plist.h"
#include "bench/agent-cost/sleep-recorder/SleepRecord.h"

namespace agentcost {
namespace {

// AgentProcess keeps its output in this file of the program's folder.
const char* const kOutputFile = "output.txt";
const char* const kSleepFile = "sleeps.bin";

}  // namespace

MacAgent::Folder::Folder(const std::filesystem::path& parent) {
  std::string folder = (parent / "mac-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) throw std::runtime_error("cannot make a folder in " + parent.string());
  path = folder;
  std::filesystem::create_directories(path / "program");
  std::filesystem::create_directories(path / "mac");
  std::filesystem::create_directories(path / "tmp");
}

MacAgent::Folder::~Folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

MacAgent::MacAgent(const std::filesystem::path& parent, const std::string& program, std::uint16_t serverPort,
                   const std::string& deviceSocket, const std::string& recorder)
    : m_folder(parent),
      m_output((m_folder.path / "program" / kOutputFile).string()) {
  const std::filesystem::path folder = m_folder.path / "program";
  using agentmactest::PlistString;
  std::ofstream(folder / "TarvikConfig.mobileconfig")
      << agentmactest::MobileConfig({{"Server", PlistString("127.0.0.1")},
                                     {"Port", PlistString(std::to_string(serverPort))},
                                     {"Protocol", PlistString("http")},
                                     {"Folder", PlistString("tarvik")}});
  m_process = std::make_unique<agentmactest::AgentProcess>(
      std::filesystem::absolute(program).string(), folder.string(),
      std::vector<std::pair<std::string, std::string>>{{"TARVIK_MAC_ROOT", (m_folder.path / "mac").string()},
                                                       {"TARVIK_MAC_COMPUTER_NAME", "Quelmo Bench Mac"},
                                                       {"TARVIK_MONSIM_SOCKET", deviceSocket},
                                                       {"TMPDIR", (m_folder.path / "tmp").string()},
                                                       {"LD_PRELOAD", recorder},
                                                       {kSleepFileVariable, (m_folder.path / kSleepFile).string()}});
  m_output.Follow();
}

std::vector<Sleep> MacAgent::Sleeps() const { return ReadSleeps((m_folder.path / kSleepFile).string()); }

MacAgent::~MacAgent() {
  m_process->Signal(SIGTERM);
  m_process->WaitForExit(std::chrono::seconds(30));
  m_process.reset();
}

}  // namespace agentcost
