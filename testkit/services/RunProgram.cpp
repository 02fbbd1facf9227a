#include "testkit/services/RunProgram.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testkit/process/ChildEnvironment.h"

namespace testkit {
namespace {

// Output goes to files, not pipes: a service the program starts keeps no pipe of ours open.
std::string TempFile() {
  char pattern[] = "/tmp/tarvik-run-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd >= 0) close(fd);
  return pattern;
}

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  return text;
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::pair<std::string, std::string>>& environment,
                         std::chrono::milliseconds limit) {
  ProgramResult result;
  std::string outPath = TempFile();
  std::string errPath = TempFile();

  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = ChildEnvironment(environment);
  std::vector<char*> argv = ExecPointers(args);
  std::vector<char*> envp = ExecPointers(env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_TRUNC, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (true) {
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (done < 0 && errno != EINTR) break;
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  result.output = Slurp(outPath);
  result.error = Slurp(errPath);
  return result;
}

}  // namespace testkit
