// Starting a program as a child process and waiting for its end; every started child is meant
// to be waited for exactly once, so that none is left a zombie.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace packages {

enum class ChildInput { Inherited, Nothing };

// argv[0] is the program's path; the agent's environment and working directory are passed on,
// and of its descriptors only the standard input, output and error.
// ChildInput::Nothing gives the child /dev/null to read, so a prompt sees end of input at once
// instead of waiting. Throws std::system_error when the program cannot be started.
pid_t spawnProcess(const std::string& program, const std::vector<std::string>& arguments, ChildInput input);

// Blocks until the child has ended and reaps it: its exit code, or -1 when a signal ended it.
int waitForExit(pid_t child);

}  // namespace packages
