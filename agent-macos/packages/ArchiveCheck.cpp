#include "agent-macos/packages/ArchiveCheck.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include <minizip/unzip.h>

namespace packages {
namespace {

// The archive, closed with the holder.
class ZipReader {
 public:
  explicit ZipReader(const std::filesystem::path& path) : m_file(unzOpen64(path.c_str())) {}
  ~ZipReader() {
    if (m_file != nullptr) unzClose(m_file);
  }
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;
  unzFile get() const { return m_file; }

 private:
  unzFile m_file;
};

bool climbs(std::string_view name) {
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find_first_of("/\\", start), name.size());
    if (name.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

std::optional<std::string> entryFault(std::string_view name, const unz_file_info64& info) {
  if (name.empty()) return "an entry without a name";
  if (name.find('\0') != std::string_view::npos) return "an entry name with a NUL byte";
  if (name.front() == '/' || name.front() == '\\') return "an absolute entry name: " + std::string(name);
  if (climbs(name)) return "an entry name that climbs out: " + std::string(name);
  // The Unix file type sits in the high half of the external attributes.
  if (((info.external_fa >> 16) & S_IFMT) == S_IFLNK) return "a link entry: " + std::string(name);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> archiveFault(const std::filesystem::path& archive) {
  const ZipReader reader(archive);
  if (reader.get() == nullptr) return std::string(kNotAZip);
  int result = unzGoToFirstFile(reader.get());
  while (result == UNZ_OK) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(reader.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
      return "an unreadable entry";
    std::vector<char> name(info.size_filename + 1);
    if (unzGetCurrentFileInfo64(reader.get(), &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                                0) != UNZ_OK)
      return "an unreadable entry";
    if (std::optional<std::string> fault = entryFault(std::string_view(name.data(), info.size_filename), info))
      return fault;
    result = unzGoToNextFile(reader.get());
  }
  if (result != UNZ_END_OF_LIST_OF_FILE) return "a damaged entry list";
  return std::nullopt;
}

}  // namespace packages
