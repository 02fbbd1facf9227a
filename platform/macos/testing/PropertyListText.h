// Property lists for tests as XML text, so that values of every type compare at once; and CF
// lists made from libplist trees. Header only; tests that use it link libplist.
#pragma once

#include <optional>
#include <string>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/PropertyList.h"
#include "platform/macos/internal/PropertyListWriter.h"
#include "platform/macos/testing/PlistWriter.h"

namespace macstandin::testing {

// The CF list of root, which the caller releases.
inline CFPropertyListRef ListOf(plist_t root) {
  return ReadPropertyList(Serialized(root, PlistFormat::kXml), nullptr);
}

// The XML of value; nullopt for NULL or a value that is no property list.
inline std::optional<std::string> XmlOf(CFTypeRef value) {
  return value ? WritePropertyList(value, kCFPropertyListXMLFormat_v1_0) : std::nullopt;
}

}  // namespace macstandin::testing
