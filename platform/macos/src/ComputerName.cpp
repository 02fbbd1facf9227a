#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/macos/api/SCDynamicStore.h"
#include "platform/macos/internal/CFValues.h"

namespace {

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

}  // namespace

CFStringRef SCDynamicStoreCopyComputerName(SCDynamicStoreRef, CFStringEncoding* nameEncoding) {
  const char* configured = std::getenv("TARVIK_MAC_COMPUTER_NAME");
  const std::string name = configured ? configured : HostName();
  if (name.empty()) return nullptr;
  if (nameEncoding) *nameEncoding = kCFStringEncodingUTF8;
  // A name set by hand may be any bytes; it still becomes a string.
  return macstandin::CreateStringFromUtf8(name);
}
