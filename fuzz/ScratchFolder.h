// A folder of the fuzzing process's own for the files a target needs, on a memory file system (a
// disk-backed one costs a write-out per input), made empty at first use and removed at exit. A
// crash leaves it for a look.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzzing {

// One per process: the first call's target names it.
inline const std::filesystem::path& ScratchFolder(const std::string& target) {
  // Never destroyed: the exit handler still needs it.
  static const std::filesystem::path* const folder = [&target] {
    auto* path = new std::filesystem::path("/dev/shm/tarvik-fuzz-" + target + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(*path);
    std::filesystem::create_directories(*path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*folder, ignored);
    });
    return path;
  }();
  return *folder;
}

}  // namespace fuzzing
