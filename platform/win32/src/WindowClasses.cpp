#include "platform/win32/src/WindowClasses.h"

#include <cwctype>
#include <map>
#include <mutex>
#include <string>

#include "platform/win32/Win32.h"

namespace win32 {

namespace {

// Class atoms are in C000-FFFF.
constexpr ATOM kFirstAtom = 0xC000;

struct Classes {
  std::mutex mutex;
  std::map<std::wstring, WNDPROC> procedures;  // by name in lower case
};

// Never destroyed: window threads may still run while the process ends.
Classes& TheClasses() {
  static auto* classes = new Classes;
  return *classes;
}

// Class names compare without case, as on Windows.
std::wstring Key(LPCWSTR name) {
  std::wstring key(name);
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return key;
}

}  // namespace

WNDPROC ClassProcedure(LPCWSTR className) {
  if (className == nullptr) return nullptr;
  Classes& classes = TheClasses();
  std::lock_guard lock(classes.mutex);
  auto it = classes.procedures.find(Key(className));
  return it == classes.procedures.end() ? nullptr : it->second;
}

}  // namespace win32

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
  if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXW) ||
      windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
      *windowClass->lpszClassName == L'\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  win32::Classes& classes = win32::TheClasses();
  std::lock_guard lock(classes.mutex);
  auto atom = static_cast<ATOM>(win32::kFirstAtom + classes.procedures.size());
  if (atom < win32::kFirstAtom) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (!classes.procedures.try_emplace(win32::Key(windowClass->lpszClassName),
                                      windowClass->lpfnWndProc).second) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return atom;
}
