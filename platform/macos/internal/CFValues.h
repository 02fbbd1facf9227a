// The value objects behind CFString, CFNumber and CFSet, and how the stand-in makes them.
#pragma once

#include <string>
#include <vector>

#include "platform/macos/api/CFNumber.h"
#include "platform/macos/api/CFSet.h"
#include "platform/macos/api/CFString.h"
#include "platform/macos/internal/CFObject.h"

struct CFStringObject final : macstandin::CFObject {
  explicit CFStringObject(std::u16string text) : units(std::move(text)) {}
  CFTypeID TypeId() const override { return macstandin::kStringTypeId; }
  const std::u16string units;
};

struct CFNumberObject final : macstandin::CFObject {
  explicit CFNumberObject(long long number) : value(number) {}
  CFTypeID TypeId() const override { return macstandin::kNumberTypeId; }
  const long long value;
};

struct CFSetObject final : macstandin::CFObject {
  explicit CFSetObject(std::vector<macstandin::Retained<const macstandin::CFObject>> members)
      : values(std::move(members)) {}
  CFTypeID TypeId() const override { return macstandin::kSetTypeId; }
  const std::vector<macstandin::Retained<const macstandin::CFObject>> values;
};

namespace macstandin {

// A string of the text in wide characters (UTF-32 here); code points that are not Unicode
// scalar values become U+FFFD.
CFStringRef CreateString(const std::wstring& text);
CFNumberRef CreateNumber(long long value);

}  // namespace macstandin
