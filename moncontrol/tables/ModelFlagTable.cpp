#include "moncontrol/tables/ModelFlagTable.h"

#include "foundation/log/Log.h"
#include "moncontrol/api/LibraryState.h"
#include "platform/win32/Win32.h"

std::string LoadJsonResource(int id) {
  HMODULE module = GlobalResourceModule();
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"JSON");
  if (resource == nullptr) {
    LogError(L"LoadJsonResource: no JSON resource %d (error %lu)", id, GetLastError());
    return {};
  }
  HGLOBAL data = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void* bytes = data != nullptr ? LockResource(data) : nullptr;
  if (bytes == nullptr || size == 0) return {};
  return std::string(static_cast<const char*>(bytes), size);
}
