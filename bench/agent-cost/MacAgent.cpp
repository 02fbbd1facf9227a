#include "bench/agent-cost/MacAgent.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

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

// The child of this thread that runs in folder: the agent, which AgentProcess has just started.
pid_t ChildIn(const std::filesystem::path& folder) {
  std::ifstream children("/proc/self/task/" + std::to_string(::syscall(SYS_gettid)) + "/children");
  pid_t pid = 0;
  while (children >> pid) {
    std::error_code error;
    if (std::filesystem::equivalent("/proc/" + std::to_string(pid) + "/cwd", folder, error)) return pid;
  }
  return 0;
}

}  // namespace

MacAgent::Folder::Folder() {
  char folder[] = "/tmp/agent-cost-mac-XXXXXX";
  if (::mkdtemp(folder) == nullptr) throw std::runtime_error("no temporary folder");
  path = folder;
  std::filesystem::create_directories(path / "program");
  std::filesystem::create_directories(path / "mac");
  std::filesystem::create_directories(path / "tmp");
}

MacAgent::Folder::~Folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

MacAgent::MacAgent(const std::string& program, std::uint16_t serverPort, const std::string& deviceSocket,
                   const std::string& recorder)
    : m_output((m_folder.path / "program" / kOutputFile).string()) {
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
  m_pid = ChildIn(folder);
  if (m_pid == 0) throw std::runtime_error("TarvikService does not run");
}

std::vector<Sleep> MacAgent::Sleeps() const { return ReadSleeps((m_folder.path / kSleepFile).string()); }

MacAgent::~MacAgent() {
  m_process->Signal(SIGTERM);
  m_process->WaitForExit(std::chrono::seconds(30));
  m_process.reset();
}

}  // namespace agentcost
