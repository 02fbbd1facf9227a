// The value objects behind CFString, CFNumber, CFBoolean, CFData, CFDate and the collections,
// and how the stand-in makes them.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/macos/api/CFArray.h"
#include "platform/macos/api/CFData.h"
#include "platform/macos/api/CFDate.h"
#include "platform/macos/api/CFDictionary.h"
#include "platform/macos/api/CFNumber.h"
#include "platform/macos/api/CFSet.h"
#include "platform/macos/api/CFString.h"
#include "platform/macos/internal/CFObject.h"

namespace macstandin {
using ObjectList = std::vector<Retained<const CFObject>>;
}  // namespace macstandin

struct CFStringObject final : macstandin::CFObject {
  explicit CFStringObject(std::u16string text) : units(std::move(text)) {}
  CFTypeID TypeId() const override { return macstandin::kStringTypeId; }
  const std::u16string units;
};

struct CFNumberObject final : macstandin::CFObject {
  explicit CFNumberObject(long long number) : value(number) {}
  explicit CFNumberObject(double number) : value(number) {}
  CFTypeID TypeId() const override { return macstandin::kNumberTypeId; }
  const std::variant<long long, double> value;
};

struct CFBooleanObject final : macstandin::CFObject {
  explicit CFBooleanObject(bool truth) : value(truth) {}
  CFTypeID TypeId() const override { return macstandin::kBooleanTypeId; }
  const bool value;
};

struct CFDataObject final : macstandin::CFObject {
  explicit CFDataObject(std::vector<UInt8> content) : bytes(std::move(content)) {}
  CFTypeID TypeId() const override { return macstandin::kDataTypeId; }
  const std::vector<UInt8> bytes;
};

struct CFDateObject final : macstandin::CFObject {
  explicit CFDateObject(double seconds) : sinceReferenceDate(seconds) {}
  CFTypeID TypeId() const override { return macstandin::kDateTypeId; }
  // Seconds since 1 January 2001, 00:00 UTC.
  const double sinceReferenceDate;
};

struct CFSetObject final : macstandin::CFObject {
  explicit CFSetObject(macstandin::ObjectList members) : values(std::move(members)) {}
  CFTypeID TypeId() const override { return macstandin::kSetTypeId; }
  const macstandin::ObjectList values;
};

struct CFArrayObject final : macstandin::CFObject {
  explicit CFArrayObject(macstandin::ObjectList members) : values(std::move(members)) {}
  CFTypeID TypeId() const override { return macstandin::kArrayTypeId; }
  const macstandin::ObjectList values;
};

struct CFDictionaryObject final : macstandin::CFObject {
  using Entries = std::map<std::u16string, macstandin::Retained<const macstandin::CFObject>>;
  explicit CFDictionaryObject(Entries members) : entries(std::move(members)) {}
  CFTypeID TypeId() const override { return macstandin::kDictionaryTypeId; }
  // By the text of each key.
  const Entries entries;
};

namespace macstandin {

// A string of the text in wide characters (UTF-32 here); code points that are not Unicode
// scalar values become U+FFFD.
CFStringRef CreateString(const std::wstring& text);
// A string of UTF-8 text from outside; bytes that are not UTF-8 become U+FFFD.
CFStringRef CreateStringFromUtf8(std::string_view text);
// The text in UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8Of(const std::u16string& units);
std::string Utf8Of(CFStringRef string);
CFNumberRef CreateNumber(long long value);
CFNumberRef CreateRealNumber(double value);

}  // namespace macstandin
