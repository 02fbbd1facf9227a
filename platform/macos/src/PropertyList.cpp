#include "platform/macos/internal/PropertyList.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/OwnedPlist.h"
#include "platform/macos/internal/PropertyListLimits.h"

namespace {

using macstandin::CFObject;
using macstandin::Retained;

using macstandin::OwnedPlist;

// libplist's iterators and keys are freed with free().
struct Free {
  void operator()(void* memory) const { std::free(memory); }
};

Retained<const CFObject> Convert(plist_t node);

Retained<const CFObject> ConvertArray(plist_t node) {
  macstandin::ObjectList members;
  plist_array_iter iterator = nullptr;
  plist_array_new_iter(node, &iterator);
  const std::unique_ptr<void, Free> ownedIterator(iterator);
  for (;;) {
    plist_t item = nullptr;
    plist_array_next_item(node, iterator, &item);
    if (item == nullptr) break;
    Retained<const CFObject> member = Convert(item);
    if (!member) return {};
    members.push_back(std::move(member));
  }
  return Retained<const CFObject>::Adopt(new CFArrayObject(std::move(members)));
}

std::u16string KeyText(const char* key) {
  return Retained<const CFStringObject>::Adopt(macstandin::CreateStringFromUtf8(key))->units;
}

Retained<const CFObject> ConvertDictionary(plist_t node) {
  CFDictionaryObject::Entries entries;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(node, &iterator);
  const std::unique_ptr<void, Free> ownedIterator(iterator);
  for (;;) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, iterator, &key, &item);
    const std::unique_ptr<char, Free> ownedKey(key);
    if (item == nullptr) break;
    Retained<const CFObject> value = Convert(item);
    if (!key || !value) return {};
    entries.insert_or_assign(KeyText(key), std::move(value));
  }
  return Retained<const CFObject>::Adopt(new CFDictionaryObject(std::move(entries)));
}

// Recursion is bounded: the list was checked against kMaxPropertyListDepth.
Retained<const CFObject> Convert(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t truth = 0;
      plist_get_bool_val(node, &truth);
      return Retained<const CFObject>::Adopt(new CFBooleanObject(truth != 0));
    }
    case PLIST_UINT: {
      // libplist keeps a negative integer in two's complement.
      std::uint64_t bits = 0;
      plist_get_uint_val(node, &bits);
      return Retained<const CFObject>::Adopt(macstandin::CreateNumber(static_cast<long long>(bits)));
    }
    case PLIST_REAL: {
      double real = 0;
      plist_get_real_val(node, &real);
      return Retained<const CFObject>::Adopt(macstandin::CreateRealNumber(real));
    }
    case PLIST_STRING: {
      std::uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      const std::string_view utf8 = text ? std::string_view(text, length) : std::string_view();
      return Retained<const CFObject>::Adopt(macstandin::CreateStringFromUtf8(utf8));
    }
    case PLIST_DATA: {
      std::uint64_t length = 0;
      const auto* bytes = reinterpret_cast<const UInt8*>(plist_get_data_ptr(node, &length));
      return Retained<const CFObject>::Adopt(new CFDataObject(std::vector<UInt8>(bytes, bytes + length)));
    }
    case PLIST_DATE: {
      std::int32_t seconds = 0;
      std::int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return Retained<const CFObject>::Adopt(new CFDateObject(seconds + microseconds / 1e6));
    }
    case PLIST_ARRAY: return ConvertArray(node);
    case PLIST_DICT: return ConvertDictionary(node);
    default: return {};  // a keyed archive's UIDs are no property list value
  }
}

}  // namespace

namespace macstandin {

CFPropertyListRef ReadPropertyList(std::string_view bytes, CFPropertyListFormat* format) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) return nullptr;
  const auto length = static_cast<std::uint32_t>(bytes.size());
  const bool binary = plist_is_binary(bytes.data(), length) != 0;
  plist_t root = nullptr;
  if (binary) {
    if (BinaryPropertyListWithinLimits(bytes)) plist_from_bin(bytes.data(), length, &root);
  } else if (XmlPropertyListWithinLimits(bytes)) {
    plist_from_xml(bytes.data(), length, &root);
  }
  const OwnedPlist owned(root);
  if (!root) return nullptr;
  Retained<const CFObject> list = Convert(root);
  if (!list) return nullptr;
  if (format) *format = binary ? kCFPropertyListBinaryFormat_v1_0 : kCFPropertyListXMLFormat_v1_0;
  return CFRetain(list.Get());
}

}  // namespace macstandin

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags,
                                               CFPropertyListFormat* format, CFErrorRef* error) {
  if (error) *error = nullptr;
  if (data == nullptr) return nullptr;
  const std::vector<UInt8>& bytes = data->bytes;
  return macstandin::ReadPropertyList(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                      format);
}
