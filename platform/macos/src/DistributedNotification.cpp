#include "platform/macos/internal/DistributedNotification.h"

#include <cstdio>

#include "platform/macos/internal/PropertyList.h"
#include "platform/macos/internal/PropertyListWriter.h"

namespace macstandin {
namespace {

const std::u16string kName = u"name";
const std::u16string kObject = u"object";
const std::u16string kUserInfo = u"userInfo";

std::nullopt_t Refuse(const char* what) {
  std::fprintf(stderr, "distributed notification %s\n", what);
  return std::nullopt;
}

bool IsA(CFTypeRef value, CFTypeID type) { return value != nullptr && CFGetTypeID(value) == type; }

// The entry of key when it is of type; null when it is absent; nullopt when it is of another type.
template <typename Object>
std::optional<Retained<const Object>> EntryOf(const CFDictionaryObject& envelope, const std::u16string& key,
                                              CFTypeID type) {
  const auto entry = envelope.entries.find(key);
  if (entry == envelope.entries.end()) return Retained<const Object>();
  if (entry->second->TypeId() != type) return std::nullopt;
  return Retained<const Object>(static_cast<const Object*>(entry->second.Get()));
}

}  // namespace

std::optional<std::string> EncodeNotification(CFStringRef name, CFTypeRef object, CFDictionaryRef userInfo) {
  if (name == nullptr) return Refuse("without a name not sent");
  if (object && !IsA(object, kStringTypeId)) return Refuse("with an object that is no string not sent");
  if (userInfo && !IsA(userInfo, kDictionaryTypeId)) return Refuse("with a userInfo that is no dictionary not sent");
  CFDictionaryObject::Entries entries{{kName, Retained<const CFObject>(name)}};
  if (object) entries.emplace(kObject, Retained(static_cast<const CFObject*>(object)));
  if (userInfo) entries.emplace(kUserInfo, Retained<const CFObject>(userInfo));
  const auto envelope = Retained<const CFObject>::Adopt(new CFDictionaryObject(std::move(entries)));
  std::optional<std::string> bytes = WritePropertyList(envelope.Get(), kCFPropertyListBinaryFormat_v1_0);
  if (!bytes) return Refuse("with a userInfo that is no property list not sent");
  return bytes;
}

std::optional<DistributedNotification> DecodeNotification(std::string_view bytes) {
  const auto list = Retained<const CFObject>::Adopt(static_cast<const CFObject*>(ReadPropertyList(bytes, nullptr)));
  if (!list || list->TypeId() != kDictionaryTypeId) return Refuse("dropped: not a property list dictionary");
  const auto& envelope = *static_cast<const CFDictionaryObject*>(list.Get());
  auto name = EntryOf<CFStringObject>(envelope, kName, kStringTypeId);
  auto object = EntryOf<CFStringObject>(envelope, kObject, kStringTypeId);
  auto userInfo = EntryOf<CFDictionaryObject>(envelope, kUserInfo, kDictionaryTypeId);
  if (!name || !*name) return Refuse("dropped: its name is missing or no string");
  if (!object) return Refuse("dropped: its object is no string");
  if (!userInfo) return Refuse("dropped: its userInfo is no dictionary");
  return DistributedNotification{std::move(*name), std::move(*object), std::move(*userInfo)};
}

}  // namespace macstandin
