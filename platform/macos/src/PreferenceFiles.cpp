#include "platform/macos/internal/PreferenceFiles.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/macos/internal/FileDescriptor.h"
#include "platform/macos/internal/MacRoot.h"
#include "platform/macos/internal/PropertyList.h"

namespace {

constexpr std::size_t kMaxFileBytes = 16 << 20;

// The whole file in one read through one descriptor, so a file replaced meanwhile is read
// either before or after. Empty when it cannot be read or is larger than kMaxFileBytes.
std::string ReadWholeFile(const std::string& path) {
  // Not blocking: a FIFO in a file's place must not hang the reader.
  const macstandin::FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat status {};
  if (file.Get() < 0 || fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
  std::string bytes;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t count = read(file.Get(), chunk, sizeof chunk);
    if (count == 0) return bytes;
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 || static_cast<std::size_t>(count) > kMaxFileBytes - bytes.size()) return {};
    bytes.append(chunk, static_cast<std::size_t>(count));
  }
}

bool IsDomainFileName(const std::string& domain) {
  return !domain.empty() && domain.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace

namespace macstandin {

std::string UserName() {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(1 << 14);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_name == nullptr) {
    return {};
  }
  return found->pw_name;
}

std::string UserHomeFolder() {
  if (geteuid() == 0) return "/var/root";
  const std::string name = UserName();
  return name.empty() ? std::string() : "/Users/" + name;
}

std::vector<std::string> PreferenceFilesOf(const std::string& domain) {
  if (!IsDomainFileName(domain)) return {};
  const std::string file = domain + ".plist";
  const std::string managed = "/Library/Managed Preferences/";
  std::vector<std::string> files;
  const std::string user = UserName();
  if (!user.empty()) files.push_back(MacPathToNative(managed + user + "/" + file));
  files.push_back(MacPathToNative(managed + file));
  const std::string own = UserPreferenceFileOf(domain);
  if (!own.empty()) files.push_back(own);
  return files;
}

std::string UserPreferenceFileOf(const std::string& domain) {
  const std::string home = UserHomeFolder();
  if (home.empty() || !IsDomainFileName(domain)) return {};
  return MacPathToNative(home + "/Library/Preferences/" + domain + ".plist");
}

Retained<const CFDictionaryObject> ReadPreferenceFile(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  const auto list = Retained<const CFObject>::Adopt(static_cast<const CFObject*>(ReadPropertyList(bytes, nullptr)));
  if (!list || list->TypeId() != kDictionaryTypeId) return {};
  return Retained<const CFDictionaryObject>(static_cast<const CFDictionaryObject*>(list.Get()));
}

}  // namespace macstandin
