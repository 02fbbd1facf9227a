#include "agent-windows/update/Unzip.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "agent-windows/update/DeleteFolder.h"
#include "agent-windows/update/ZipEntryName.h"
#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

namespace {

constexpr unsigned kCopyChunk = 4096;
constexpr uLong kUnixMadeBy = 3;
constexpr uLong kFileTypeMask = 0170000;
constexpr uLong kSymbolicLink = 0120000;

std::string ToThreadAnsi(const std::wstring& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}

// A link made on Unix would let a later entry write through it, wherever it points.
bool IsLink(const unz_file_info64& info) {
  return (info.version >> 8) == kUnixMadeBy && ((info.external_fa >> 16) & kFileTypeMask) == kSymbolicLink;
}

std::string JoinParts(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : "/") + part;
  return joined;
}

bool MakeFolders(const std::string& windowsPath) {
  const std::filesystem::path native = win32::NativePathForDependency(windowsPath);
  std::error_code error;
  std::filesystem::create_directories(native, error);
  return std::filesystem::is_directory(native, error);
}

// The open entry into the open file.
bool CopyEntry(unzFile zip, std::FILE* file) {
  std::vector<char> chunk(kCopyChunk);
  for (;;) {
    const int read = unzReadCurrentFile(zip, chunk.data(), kCopyChunk);
    if (read < 0) return false;
    if (read == 0) return true;
    if (std::fwrite(chunk.data(), 1, static_cast<std::size_t>(read), file) != static_cast<std::size_t>(read))
      return false;
  }
}

bool ExtractFile(unzFile zip, const std::string& target) {
  std::FILE* file = std::fopen(win32::NativePathForDependency(target).c_str(), "wb");
  if (file == nullptr) return false;
  bool copied = false;
  if (unzOpenCurrentFile(zip) == UNZ_OK) {
    copied = CopyEntry(zip, file);
    unzCloseCurrentFile(zip);
  }
  std::fclose(file);
  return copied;
}

}  // namespace

bool UnzipPackage(const std::wstring& zip, const std::wstring& folder) {
  DeleteFolder(folder);
  return ExtractZip(ToThreadAnsi(zip), ToThreadAnsi(folder));
}

bool ExtractZip(const std::string& zip, const std::string& folder) {
  // Entries below no folder would land at the root of the drive.
  if (folder.empty()) return false;
  unzFile archive = unzOpen64(win32::NativePathForDependency(zip).c_str());
  if (archive == nullptr) return false;
  unz_global_info64 global{};
  bool extracted = unzGetGlobalInfo64(archive, &global) == UNZ_OK;
  for (ZPOS64_T entry = 0; extracted && entry < global.number_entry; ++entry) {
    extracted = ExtractCurrentFile(archive, folder) &&
                (entry + 1 == global.number_entry || unzGoToNextFile(archive) == UNZ_OK);
  }
  unzClose(archive);
  return extracted;
}

bool ExtractCurrentFile(unzFile zip, const std::string& folder) {
  char name[512] = {};
  unz_file_info64 info{};
  if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  // A longer name is cut without its terminator.
  if (info.size_filename >= sizeof name) {
    LogError(L"Zip entry name too long: %u bytes.", static_cast<unsigned>(info.size_filename));
    return false;
  }
  if (name[0] == '\0') return false;
  const std::optional<std::vector<std::string>> parts = SplitZipEntryName(name);
  if (!parts) {
    LogError(L"Zip entry outside the package folder refused: %S", name);
    return false;
  }
  if (IsLink(info)) {
    LogError(L"Zip entry that is a link refused: %S", name);
    return false;
  }
  const std::string target = folder + "/" + JoinParts(*parts);
  if (parts->back().empty()) return MakeFolders(target);
  const std::string parent = target.substr(0, target.find_last_of('/'));
  return MakeFolders(parent) && ExtractFile(zip, target);
}
