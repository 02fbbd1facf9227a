// The object behind a CFNotificationCenterRef: the local centre or the distributed one.
#pragma once

#include "platform/macos/api/CFNotificationCenter.h"
#include "platform/macos/internal/CFObject.h"

struct CFNotificationCenterObject : macstandin::CFObject {
  CFTypeID TypeId() const final { return macstandin::kNotificationCenterTypeId; }

  virtual void Add(const void* observer, CFNotificationCallback callBack, CFStringRef name, const void* object) = 0;
  virtual void Remove(const void* observer, CFStringRef name, const void* object) = 0;
  virtual void Post(CFNotificationName name, const void* object, CFDictionaryRef userInfo) = 0;
};
