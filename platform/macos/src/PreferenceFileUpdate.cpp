#include "platform/macos/internal/PreferenceFileUpdate.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/macos/internal/FileDescriptor.h"
#include "platform/macos/internal/PreferenceFiles.h"
#include "platform/macos/internal/PropertyListWriter.h"

namespace macstandin {
namespace {

namespace fs = std::filesystem;

bool Fail(const std::string& path, const char* what) {
  std::fprintf(stderr, "preferences %s: %s: %s\n", path.c_str(), what, std::strerror(errno));
  return false;
}

// The file's dictionary with changes applied; the file's other keys, which other processes
// may have written since this one last looked, are kept.
CFDictionaryObject::Entries Merged(const std::string& path, const PreferenceChanges& changes) {
  CFDictionaryObject::Entries entries;
  if (const auto current = ReadPreferenceFile(path)) {
    entries = current->entries;
  } else if (struct stat status {}; stat(path.c_str(), &status) == 0) {
    std::fprintf(stderr, "preferences %s: not a readable dictionary, replaced\n", path.c_str());
  }
  for (const auto& [key, value] : changes) {
    if (value) entries.insert_or_assign(key, value);
    else entries.erase(key);
  }
  return entries;
}

// Removing keys the file does not hold changes nothing, so a reader that removes a key every
// second does not rewrite the file (or make its folder) every second.
bool RemovesOnlyAbsentKeys(const std::string& path, const PreferenceChanges& changes) {
  const auto current = ReadPreferenceFile(path);
  for (const auto& [key, value] : changes)
    if (value || (current && current->entries.contains(key))) return false;
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

// bytes in a new file beside path, then renamed over it.
bool Replace(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".XXXXXX";
  const FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
  if (file.Get() < 0) return Fail(path, "cannot make a temporary file");
  if (!WriteAll(file.Get(), bytes) || fsync(file.Get()) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
    Fail(path, "cannot write");
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool UpdatePreferenceFile(const std::string& path, const PreferenceChanges& changes) {
  if (RemovesOnlyAbsentKeys(path, changes)) return true;
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  if (error) {
    errno = error.value();
    return Fail(path, "cannot make its folder");
  }
  const std::string lockPath = path + ".lock";
  const FileDescriptor lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.Get() < 0) return Fail(lockPath, "cannot open");
  int locked;
  do locked = flock(lock.Get(), LOCK_EX);
  while (locked != 0 && errno == EINTR);
  if (locked != 0) return Fail(lockPath, "cannot lock");
  // The lock goes with the descriptor, after the new file is in place.
  const auto merged = Retained<const CFObject>::Adopt(new CFDictionaryObject(Merged(path, changes)));
  const std::optional<std::string> bytes = WritePropertyList(merged.Get(), kCFPropertyListBinaryFormat_v1_0);
  if (!bytes) {
    std::fprintf(stderr, "preferences %s: a value is no property list, nothing written\n", path.c_str());
    return false;
  }
  return Replace(path, *bytes);
}

}  // namespace macstandin
