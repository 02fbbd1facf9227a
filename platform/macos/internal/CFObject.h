// Every CF reference the stand-in hands out points to a CFObject. Each object type derives
// from it alone, so the CFObject sits at the object's own address and a CFTypeRef can be
// turned back into it.
#pragma once

#include <atomic>
#include <utility>

#include "platform/macos/api/CFBase.h"

namespace macstandin {

enum TypeId : CFTypeID {
  kStringTypeId = 7,
  kNumberTypeId,
  kSetTypeId,
  kRunLoopTypeId,
  kRunLoopSourceTypeId,
  kHidManagerTypeId,
  kHidDeviceTypeId,
  kDataTypeId,
  kArrayTypeId,
  kDictionaryTypeId,
  kBooleanTypeId,
  kDateTypeId,
  kNotificationCenterTypeId,
};

class CFObject {
 public:
  virtual ~CFObject() = default;
  virtual CFTypeID TypeId() const = 0;

  void Retain() const { m_references.fetch_add(1, std::memory_order_relaxed); }
  // True when this was the last reference.
  bool Release() const { return m_references.fetch_sub(1, std::memory_order_acq_rel) == 1; }

 private:
  mutable std::atomic<long> m_references{1};
};

// The object behind a reference that must not be null; null aborts, naming call, as it does on
// the real system.
const CFObject* CheckedObject(CFTypeRef object, const char* call);

// One reference held for as long as the holder lives.
template <typename T>
class Retained {
 public:
  Retained() = default;
  explicit Retained(T* object) : m_object(object) {
    if (m_object) CFRetain(m_object);
  }
  // Takes over the reference that a Create or Copy call returned.
  static Retained Adopt(T* object) {
    Retained held;
    held.m_object = object;
    return held;
  }
  Retained(const Retained& other) : Retained(other.m_object) {}
  Retained(Retained&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  Retained& operator=(Retained other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }
  ~Retained() {
    if (m_object) CFRelease(m_object);
  }

  T* Get() const { return m_object; }
  T* operator->() const { return m_object; }
  explicit operator bool() const { return m_object != nullptr; }

 private:
  T* m_object = nullptr;
};

}  // namespace macstandin
