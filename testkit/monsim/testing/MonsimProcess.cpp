#include "testkit/monsim/testing/MonsimProcess.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "testkit/monsim/ControlClient.h"
#include "testkit/process/ChildEnvironment.h"

namespace monsim::testing {

namespace {

// Its exit code, -1 when it did not exit by itself.
int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

MonsimProcess::MonsimProcess(const std::string& program, const std::string& monitorFile,
                             const std::vector<std::pair<std::string, std::string>>& environment) {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-monsim-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return;
  m_folder = pattern;
  m_deviceSocket = m_folder + "/device.sock";
  m_controlSocket = m_folder + "/control.sock";
  std::vector<std::string> args = {program, "--socket", m_deviceSocket, "--control", m_controlSocket, monitorFile};
  std::vector<std::string> variables = testkit::ChildEnvironment(environment);
  std::vector<char*> argv = testkit::ExecPointers(args);
  std::vector<char*> envp = testkit::ExecPointers(variables);
  if (posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
}

MonsimProcess::~MonsimProcess() {
  Stop();
  if (!m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
}

bool MonsimProcess::Ready() {
  if (m_pid <= 0) return false;
  for (int i = 0; i < 1000; ++i) {  // up to 10 s for a loaded machine
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_exitCode = ExitCode(status);
      m_pid = -1;
      return false;
    }
    try {
      Send({{"cmd", "list"}});
      return true;
    } catch (const std::runtime_error&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return false;
}

nlohmann::json MonsimProcess::Send(const nlohmann::json& command) const {
  return ControlClient(m_controlSocket).Send(command);
}

int MonsimProcess::Stop() {
  if (m_pid <= 0) return m_exitCode;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  if (::waitpid(m_pid, &status, 0) == m_pid) m_exitCode = ExitCode(status);
  m_pid = -1;
  return m_exitCode;
}

}  // namespace monsim::testing
