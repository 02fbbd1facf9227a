#include <cwctype>
#include <map>
#include <mutex>
#include <string>

#include "platform/win32/Win32.h"

namespace {

struct ResourceData {
  const void* bytes;
  DWORD size;
};

using Names = std::map<std::wstring, ResourceData>;
using Types = std::map<std::wstring, Names>;

// The resources of every module of this image. Never destroyed: a lookup may come late in
// the process's exit.
struct Images {
  std::mutex lock;
  std::map<HMODULE, Types> modules;
};

Images& TheImages() {
  static Images* images = new Images();
  return *images;
}

// As Windows keys them: a number as "#<number>", a string in upper case, so that "#101" and
// MAKEINTRESOURCEW(101) name the same resource.
std::wstring KeyOf(LPCWSTR typeOrName) {
  if (IS_INTRESOURCE(typeOrName))
    return L"#" + std::to_wstring(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(typeOrName)));
  std::wstring key(typeOrName);
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return key;
}

}  // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  Images& images = TheImages();
  std::lock_guard<std::mutex> hold(images.lock);
  auto image = images.modules.find(module);
  if (image == images.modules.end()) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  auto names = image->second.find(KeyOf(type));
  if (names == image->second.end()) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  auto data = names->second.find(KeyOf(name));
  if (data == names->second.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  // Map nodes stay put until their module is removed.
  return reinterpret_cast<HRSRC>(&data->second);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<void*>(reinterpret_cast<const ResourceData*>(resource)->bytes);
}

LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const ResourceData*>(resource)->size;
}

namespace win32 {

void AddModuleResource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* bytes, DWORD size) {
  Images& images = TheImages();
  std::lock_guard<std::mutex> hold(images.lock);
  images.modules[module][KeyOf(type)].emplace(KeyOf(name), ResourceData{bytes, size});
}

void RemoveModuleResources(HMODULE module) {
  Images& images = TheImages();
  std::lock_guard<std::mutex> hold(images.lock);
  images.modules.erase(module);
}

}  // namespace win32
