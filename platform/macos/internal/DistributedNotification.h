// A notification as it travels between the processes of the machine: a binary property list
// of its name, its object and its userInfo.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/macos/api/CFNotificationCenter.h"
#include "platform/macos/internal/CFValues.h"

namespace macstandin {

struct DistributedNotification {
  Retained<const CFStringObject> name;
  Retained<const CFStringObject> object;        // null when it had none
  Retained<const CFDictionaryObject> userInfo;  // null when it had none
};

// Nullopt, with a log line, when name is NULL, object is neither NULL nor a string or
// userInfo is no property list.
std::optional<std::string> EncodeNotification(CFStringRef name, CFTypeRef object, CFDictionaryRef userInfo);
// Nullopt, with a log line, when bytes do not hold a notification.
std::optional<DistributedNotification> DecodeNotification(std::string_view bytes);

}  // namespace macstandin
