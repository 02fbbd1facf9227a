// Resources of a module: the data that the resource compiler and the linker put into an image,
// found by type and name. A type or name is a string (compared without regard to case) or a
// 16-bit number made with MAKEINTRESOURCEW. A null module is the image that asks: the program
// or library this stand-in is linked into.
#pragma once

#include "platform/win32/api/Types.h"

struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// Null with ERROR_RESOURCE_DATA_NOT_FOUND for a module without resources, or the error of the
// type or name not found.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The resource's bytes; they stay valid while the module is loaded and must not be written.
LPVOID LockResource(HGLOBAL resourceData);
DWORD SizeofResource(HMODULE module, HRSRC resource);

namespace win32 {

// What the resource compiler and the linker do on Windows: puts data into a module's
// resources (null module: this image). The bytes are not copied. A type and name already
// there keep their first data.
void AddModuleResource(HMODULE module, LPCWSTR type, LPCWSTR name, const void* bytes, DWORD size);
// Forgets every resource of a module, as when it is unloaded.
void RemoveModuleResources(HMODULE module);

// A resource-script line: adds its resource to this image when the image loads.
struct ResourceScriptEntry {
  ResourceScriptEntry(LPCWSTR type, WORD id, const void* bytes, DWORD size) {
    AddModuleResource(nullptr, type, MAKEINTRESOURCEW(id), bytes, size);
  }
};

}  // namespace win32
