// Every handle the stand-in hands out points to a KernelObject; CloseHandle deletes it.
#pragma once

#include "platform/win32/api/Types.h"

namespace win32 {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// An object WaitForSingleObject can wait on; Wait returns a WAIT_* code.
class WaitableObject : public KernelObject {
 public:
  virtual DWORD Wait(DWORD milliseconds) = 0;
};

// The handle's object when it is one of ours of type T, else null.
template <typename T>
T* ObjectFromHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<T*>(static_cast<KernelObject*>(handle));
}

inline HANDLE HandleFromObject(KernelObject* object) { return static_cast<HANDLE>(object); }

}  // namespace win32
