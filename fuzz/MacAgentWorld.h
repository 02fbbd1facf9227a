// The world the macOS agent's targets act on, made inert: the Mac's root in the process's scratch
// folder, the agent's log at error level with its file and its standard output gone, and the
// monitor-control library's log file impossible to open, so that no input fills the memory disk
// or slows the fuzzer with lines nobody reads.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "agent-macos/log/Log.h"
#include "fuzz/ScratchFolder.h"

namespace macfuzz {

// Once per process, before the first input; the Mac's root.
inline const std::filesystem::path& MakeMacWorld(const std::string& target) {
  const std::filesystem::path& root = fuzzing::ScratchFolder(target);
  ::setenv("TARVIK_MAC_ROOT", root.c_str(), 1);
  // The library's log lies under $HOME/Documents: no folder can be made below a device.
  ::setenv("HOME", "/dev/null", 1);
  // A file where the agent's log folder would go keeps its log file off.
  std::filesystem::create_directories(root / "var");
  std::ofstream(root / "var" / "log");
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) std::abort();
  ::close(null);
  Utils::setLogLevel(LogLevel::error);
  return root;
}

}  // namespace macfuzz
