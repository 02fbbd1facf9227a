// The system messages that send-system-event posts, by the names a person gives them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/Win32.h"

namespace sysevents {

struct SystemMessage {
  UINT message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;

  bool operator==(const SystemMessage&) const = default;
};

extern const char* const kUsage;

// The message the arguments (after the program name) name, or nothing when they name none.
std::optional<SystemMessage> MessageForArguments(const std::vector<std::string>& arguments);

}  // namespace sysevents
