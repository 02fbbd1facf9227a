#include <cstdio>

#include "agent-macos/messages/MessageUtils.h"

namespace Utils {

std::string versionString(std::uint16_t major, std::uint16_t minor) {
  char text[32];
  if (minor == 0) {
    std::snprintf(text, sizeof text, "%02d", major);
  } else {
    std::snprintf(text, sizeof text, "%02d.%02dT", major, minor);
  }
  return text;
}

}  // namespace Utils
