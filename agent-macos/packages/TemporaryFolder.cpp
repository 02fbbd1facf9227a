#include "agent-macos/packages/TemporaryFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

namespace packages {
namespace {

std::filesystem::path systemTemporaryFolder() {
  const char* tmpdir = std::getenv("TMPDIR");
  return (tmpdir != nullptr && *tmpdir != '\0') ? tmpdir : "/tmp";
}

}  // namespace

std::filesystem::path agentTemporaryFolder() {
  const std::filesystem::path folder = systemTemporaryFolder() / ("TarvikService-" + std::to_string(::geteuid()));
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw std::system_error(errno, std::generic_category(), "cannot create " + folder.string());
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot examine " + folder.string());
  if (S_ISLNK(info.st_mode)) throw std::runtime_error(folder.string() + " is a link");
  if (!S_ISDIR(info.st_mode)) throw std::runtime_error(folder.string() + " is not a folder");
  if (info.st_uid != ::geteuid()) throw std::runtime_error(folder.string() + " belongs to another user");
  if ((info.st_mode & 077) != 0) throw std::runtime_error(folder.string() + " is open to other users");
  return folder;
}

}  // namespace packages
