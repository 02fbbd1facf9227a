#include "agent-macos/packages/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace packages {
namespace {

void check(int error) {
  if (error != 0) throw std::system_error(error, std::generic_category(), "spawn set-up");
}

// What one spawn sets up in the child, released with the holder. The child gets the standard
// descriptors only: a long-running installer must not keep the agent's sockets and files open.
class SpawnSetup {
 public:
  explicit SpawnSetup(ChildInput input) {
    check(posix_spawn_file_actions_init(&m_actions));
    check(posix_spawnattr_init(&m_attributes));
#ifdef __APPLE__
    check(posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_CLOEXEC_DEFAULT));
    for (int fd = 0; fd <= 2; ++fd) check(posix_spawn_file_actions_addinherit_np(&m_actions, fd));
#else
    check(posix_spawn_file_actions_addclosefrom_np(&m_actions, 3));
#endif
    if (input == ChildInput::Nothing) check(posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0));
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&m_attributes);
    posix_spawn_file_actions_destroy(&m_actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  const posix_spawn_file_actions_t* actions() const { return &m_actions; }
  const posix_spawnattr_t* attributes() const { return &m_attributes; }

 private:
  posix_spawn_file_actions_t m_actions;
  posix_spawnattr_t m_attributes;
};

}  // namespace

pid_t spawnProcess(const std::string& program, const std::vector<std::string>& arguments, ChildInput input) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const SpawnSetup setup(input);
  pid_t child = 0;
  const int error = posix_spawn(&child, program.c_str(), setup.actions(), setup.attributes(), argv.data(), environ);
  if (error != 0) throw std::system_error(error, std::generic_category());
  return child;
}

int waitForExit(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace packages
