// Another process of the machine for a test: this test program started again to run one role
// (a function registered by name) instead of its tests. A fresh program, unlike a fork, holds
// none of the locks that this one's other threads hold. Header only.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace macstandin::testing {

using PeerArguments = std::vector<std::string>;
// A role's result is the peer's exit code.
using PeerRole = std::function<int(const PeerArguments& arguments)>;

inline constexpr const char* kPeerRoleVariable = "TARVIK_TEST_PEER_ROLE";
inline constexpr const char* kPeerArgumentsVariable = "TARVIK_TEST_PEER_ARGUMENTS";
// Arguments are joined with a byte that no text of a test holds.
inline constexpr char kPeerArgumentSeparator = '\x1f';
// The one test a peer runs; it runs the role.
inline constexpr const char* kPeerEntryTest = "PeerProcess.RunsTheRoleItWasStartedFor";

inline std::map<std::string, PeerRole>& PeerRoles() {
  static std::map<std::string, PeerRole> roles;
  return roles;
}

// For a static initialiser of the test file that has the role: true.
inline bool RegisterPeerRole(const std::string& name, PeerRole role) {
  return PeerRoles().emplace(name, std::move(role)).second;
}

// In a peer, the result of the role it was started for (98 for a role nobody registered);
// nullopt in the program the tests run in.
inline std::optional<int> RunRequestedPeerRole() {
  const char* role = std::getenv(kPeerRoleVariable);
  const char* joined = std::getenv(kPeerArgumentsVariable);
  if (role == nullptr || joined == nullptr) return std::nullopt;
  PeerArguments arguments(1);
  for (const char* at = joined; *at; ++at) {
    if (*at == kPeerArgumentSeparator) arguments.emplace_back();
    else arguments.back() += *at;
  }
  arguments.pop_back();  // after the last separator
  const auto found = PeerRoles().find(role);
  return found == PeerRoles().end() ? 98 : found->second(arguments);
}

class PeerProcess {
 public:
  PeerProcess(const std::string& role, const PeerArguments& arguments) {
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return;
    std::string joined;
    for (const std::string& argument : arguments) joined += argument + kPeerArgumentSeparator;
    std::vector<std::string> environment = {std::string(kPeerRoleVariable) + "=" + role,
                                            std::string(kPeerArgumentsVariable) + "=" + joined};
    for (char** variable = environ; *variable; ++variable) environment.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string filter = std::string("--gtest_filter=") + kPeerEntryTest;
    char* argv[] = {self, filter.data(), nullptr};
    if (posix_spawn(&m_pid, self, nullptr, nullptr, argv, envp.data()) != 0) m_pid = -1;
  }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;
  ~PeerProcess() { Join(); }

  // The role's result; -1 when the peer could not start or did not end normally.
  int Join() {
    if (m_pid <= 0) return -1;
    int status = 0;
    const bool ended = waitpid(m_pid, &status, 0) == m_pid;
    m_pid = -1;
    return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t m_pid = -1;
};

inline int RunPeer(const std::string& role, const PeerArguments& arguments) {
  return PeerProcess(role, arguments).Join();
}

}  // namespace macstandin::testing
