#include "platform/macos/internal/PropertyListWriter.h"

#include <plist/plist.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>

#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/OwnedPlist.h"
#include "platform/macos/internal/PropertyListLimits.h"

namespace {

using macstandin::CFObject;

using macstandin::OwnedPlist;

OwnedPlist Convert(const CFObject& object, std::size_t depth);

OwnedPlist ConvertArray(const CFArrayObject& array, std::size_t depth) {
  OwnedPlist node(plist_new_array());
  for (const auto& member : array.values) {
    OwnedPlist item = Convert(*member.Get(), depth + 1);
    if (!item) return {};
    plist_array_append_item(node.get(), item.release());
  }
  return node;
}

OwnedPlist ConvertDictionary(const CFDictionaryObject& dictionary, std::size_t depth) {
  OwnedPlist node(plist_new_dict());
  for (const auto& [key, value] : dictionary.entries) {
    OwnedPlist item = Convert(*value.Get(), depth + 1);
    if (!item) return {};
    plist_dict_set_item(node.get(), macstandin::Utf8Of(key).c_str(), item.release());
  }
  return node;
}

OwnedPlist ConvertNumber(const CFNumberObject& number) {
  if (const auto* integer = std::get_if<long long>(&number.value)) {
    // libplist keeps a negative integer in two's complement.
    return OwnedPlist(plist_new_uint(static_cast<std::uint64_t>(*integer)));
  }
  return OwnedPlist(plist_new_real(std::get<double>(number.value)));
}

// A date libplist can hold: whole seconds in 32 bits and the microseconds beside them.
OwnedPlist ConvertDate(const CFDateObject& date) {
  const double seconds = std::floor(date.sinceReferenceDate);
  using Limits = std::numeric_limits<std::int32_t>;
  if (!(seconds >= Limits::min() && seconds <= Limits::max())) return {};
  const auto microseconds = static_cast<std::int32_t>(std::lround((date.sinceReferenceDate - seconds) * 1e6));
  return OwnedPlist(plist_new_date(static_cast<std::int32_t>(seconds), microseconds));
}

OwnedPlist Convert(const CFObject& object, std::size_t depth) {
  if (depth > macstandin::kMaxPropertyListDepth) return {};
  switch (object.TypeId()) {
    case macstandin::kStringTypeId:
      return OwnedPlist(plist_new_string(macstandin::Utf8Of(static_cast<const CFStringObject&>(object).units).c_str()));
    case macstandin::kNumberTypeId: return ConvertNumber(static_cast<const CFNumberObject&>(object));
    case macstandin::kBooleanTypeId:
      return OwnedPlist(plist_new_bool(static_cast<const CFBooleanObject&>(object).value ? 1 : 0));
    case macstandin::kDataTypeId: {
      const auto& bytes = static_cast<const CFDataObject&>(object).bytes;
      return OwnedPlist(plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    case macstandin::kDateTypeId: return ConvertDate(static_cast<const CFDateObject&>(object));
    case macstandin::kArrayTypeId: return ConvertArray(static_cast<const CFArrayObject&>(object), depth);
    case macstandin::kDictionaryTypeId:
      return ConvertDictionary(static_cast<const CFDictionaryObject&>(object), depth);
    default: return {};
  }
}

OwnedPlist ConvertAt(CFTypeRef value, std::size_t depth) {
  return value ? Convert(*static_cast<const CFObject*>(value), depth) : OwnedPlist();
}

}  // namespace

namespace macstandin {

bool IsPropertyListValue(CFTypeRef value) { return ConvertAt(value, 2) != nullptr; }

std::optional<std::string> WritePropertyList(CFPropertyListRef list, CFPropertyListFormat format) {
  const OwnedPlist root = ConvertAt(list, 1);
  if (!root) return std::nullopt;
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (format == kCFPropertyListXMLFormat_v1_0) plist_to_xml(root.get(), &bytes, &length);
  else plist_to_bin(root.get(), &bytes, &length);
  const std::unique_ptr<char, decltype(&std::free)> owned(bytes, &std::free);
  if (bytes == nullptr) return std::nullopt;
  return std::string(bytes, length);
}

}  // namespace macstandin
