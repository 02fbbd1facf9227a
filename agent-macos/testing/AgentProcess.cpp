#include "agent-macos/testing/AgentProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace agentmactest {

AgentProcess::AgentProcess(const std::string& program, const std::string& folder,
                           const std::vector<std::pair<std::string, std::string>>& environment)
    : m_outputFile(folder + "/output.txt") {
  const std::string link = folder + "/TarvikService";
  std::error_code ignored;
  std::filesystem::remove(link, ignored);
  std::filesystem::create_symlink(program, link);

  std::vector<std::string> variables;
  for (char** v = environ; *v != nullptr; ++v) variables.emplace_back(*v);
  for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& v : variables) envp.push_back(v.data());
  envp.push_back(nullptr);

  // The child changes to the folder before it runs, so "./TarvikService" is the link.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, m_outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  char name[] = "./TarvikService";
  char* argv[] = {name, nullptr};
  const int error = posix_spawn(&m_pid, name, &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + program);
}

AgentProcess::~AgentProcess() {
  if (m_exitStatus || m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
}

void AgentProcess::Signal(int signal) const { ::kill(m_pid, signal); }

std::optional<int> AgentProcess::WaitForExit(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!m_exitStatus) {
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return m_exitStatus;
}

std::string AgentProcess::Output() const {
  std::ifstream in(m_outputFile, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool AgentProcess::WaitForOutput(const std::string& part, std::size_t offset, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const std::string output = Output();
    if (output.size() > offset && output.find(part, offset) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace agentmactest
