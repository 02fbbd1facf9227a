// Property lists for tests, written by libplist as any other writer on the machine would.
// Header only; tests that use it link libplist.
#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/macos/internal/OwnedPlist.h"

namespace macstandin::testing {

using macstandin::OwnedPlist;

enum class PlistFormat { kXml, kBinary };

inline std::string Serialized(plist_t root, PlistFormat format) {
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (format == PlistFormat::kXml) plist_to_xml(root, &bytes, &length);
  else plist_to_bin(root, &bytes, &length);
  std::string serialized(bytes ? bytes : "", length);
  std::free(bytes);
  return serialized;
}

}  // namespace macstandin::testing
