#include "agent-macos/commands/ServiceCommand.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "agent-macos/log/Log.h"
#include "agent-macos/system/CFText.h"

namespace {

struct CommandText {
  ServiceCommand command;
  const char* text;
};

constexpr CommandText kCommandTexts[] = {
    {ServiceCommand::ImmediatelyHeartbeat, "ImmediatelyHeartbeat"},
    {ServiceCommand::ImmediatelyRunDisplayCommand, "ImmediatelyRunDisplayCommand"},
    {ServiceCommand::ImmediatelyUpdateMonitor, "ImmediatelyUpdateMonitor"},
    {ServiceCommand::UpdateServerIp, "UpdateServerIp"},
};

CFStringRef commandKey() { return CFSTR("command"); }

}  // namespace

const CFNotificationName TarvikServiceCommandNotification = CFSTR("TarvikServiceCommandNotification");

const char* textOf(ServiceCommand command) {
  const auto entry = std::find_if(std::begin(kCommandTexts), std::end(kCommandTexts),
                                  [command](const CommandText& c) { return c.command == command; });
  // Only a value cast from outside the enumeration gets here; receivers take it for unknown.
  return entry != std::end(kCommandTexts) ? entry->text : "unknown";
}

std::optional<ServiceCommand> serviceCommandFromText(std::string_view text) {
  for (const CommandText& c : kCommandTexts)
    if (text == c.text) return c.command;
  return std::nullopt;
}

std::optional<ServiceCommand> serviceCommandIn(CFDictionaryRef userInfo) {
  const std::optional<std::string> text = textOf(CFDictionaryGetValue(userInfo, commandKey()));
  return text ? serviceCommandFromText(*text) : std::nullopt;
}

void postServiceCommand(ServiceCommand command) {
  const char* text = textOf(command);
  Utils::logWarn(std::string("Sending command: ") + text);
  CFStringRef value = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
  const void* keys[] = {commandKey()};
  const void* values[] = {value};
  CFDictionaryRef userInfo = CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                                &kCFTypeDictionaryValueCallBacks);
  CFRelease(value);
  CFNotificationCenterPostNotification(CFNotificationCenterGetLocalCenter(), TarvikServiceCommandNotification, nullptr,
                                       userInfo, true);
  CFRelease(userInfo);
}
