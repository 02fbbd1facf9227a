#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <deque>
#include <string>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "platform/win32/internal/FileSystem.h"
#include "platform/win32/internal/KernelObject.h"

namespace {

// A search handle: the folder and the names that matched, taken when the search began, not yet
// handed out.
class FindObject : public win32::KernelObject {
 public:
  FindObject(std::string folder, std::deque<std::string> names)
      : m_folder(std::move(folder)), m_names(std::move(names)) {}

  // Fills data with the next entry that still exists; false when none is left.
  bool Next(LPWIN32_FIND_DATAW data) {
    while (!m_names.empty()) {
      std::string name = std::move(m_names.front());
      m_names.pop_front();
      struct stat info {};
      if (stat((m_folder + "/" + name).c_str(), &info) != 0) continue;
      Fill(info, name, data);
      return true;
    }
    return false;
  }

 private:
  static void Fill(const struct stat& info, const std::string& name, LPWIN32_FIND_DATAW data) {
    WIN32_FILE_ATTRIBUTE_DATA attributes = win32::AttributeData(info);
    *data = WIN32_FIND_DATAW{};
    data->dwFileAttributes = attributes.dwFileAttributes;
    data->ftCreationTime = attributes.ftCreationTime;
    data->ftLastAccessTime = attributes.ftLastAccessTime;
    data->ftLastWriteTime = attributes.ftLastWriteTime;
    data->nFileSizeHigh = attributes.nFileSizeHigh;
    data->nFileSizeLow = attributes.nFileSizeLow;
    std::wstring wide = win32::Utf8ToWide(name);
    std::wcsncpy(data->cFileName, wide.c_str(), MAX_PATH - 1);
  }

  const std::string m_folder;
  std::deque<std::string> m_names;
};

bool SameLetter(wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }

// '*' is any run of characters, dots included; '?' is one character; case is ignored.
bool Matches(const std::wstring& pattern, const std::wstring& name) {
  size_t p = 0, n = 0;
  size_t starAt = std::wstring::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && (pattern[p] == L'?' || SameLetter(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::wstring::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

// A pattern that ends in ".*" also matches the names without an extension, so "*.*" matches
// every name.
bool MatchesAsWindows(const std::wstring& pattern, const std::wstring& name) {
  if (Matches(pattern, name)) return true;
  size_t length = pattern.size();
  return length >= 2 && pattern.compare(length - 2, 2, L".*") == 0 &&
         name.find(L'.') == std::wstring::npos && Matches(pattern.substr(0, length - 2), name);
}

bool IsDots(const std::string& name) { return name == "." || name == ".."; }

std::wstring UpperCase(const std::string& name) {
  std::wstring wide = win32::Utf8ToWide(name);
  for (wchar_t& c : wide) c = static_cast<wchar_t>(std::towupper(c));
  return wide;
}

// The folder's names that match, in the order Windows lists them: "." and ".." first, then
// by name regardless of case.
std::deque<std::string> MatchingNames(const std::string& folder, const std::string& pattern) {
  std::deque<std::string> names;
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return names;
  std::wstring widePattern = win32::Utf8ToWide(pattern);
  while (dirent* entry = readdir(dir))
    if (MatchesAsWindows(widePattern, win32::Utf8ToWide(entry->d_name))) names.emplace_back(entry->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    if (IsDots(a) != IsDots(b)) return IsDots(a);
    return UpperCase(a) < UpperCase(b);
  });
  return names;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR path, LPWIN32_FIND_DATAW data) {
  if (path == nullptr || data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string native = win32::NativeFilePath(path);
  size_t slash = native.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : native.substr(0, slash);
  std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
  // A path ending in a separator names no entry.
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::deque<std::string> names;
  if (name.find_first_of("*?") != std::string::npos)
    names = MatchingNames(folder, name);
  else
    names.push_back(name);
  auto* find = new FindObject(folder, std::move(names));
  if (!find->Next(data)) {
    delete find;
    SetLastError(win32::FileError(folder + "/" + name, ENOENT));
    return INVALID_HANDLE_VALUE;
  }
  return win32::HandleFromObject(find);
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
  auto* object = win32::ObjectFromHandle<FindObject>(find);
  if (object == nullptr || data == nullptr) {
    SetLastError(object == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!object->Next(data)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  auto* object = win32::ObjectFromHandle<FindObject>(find);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete object;
  return TRUE;
}
