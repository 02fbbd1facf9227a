#include "testkit/sysevents/SystemEvents.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace sysevents {

const char* const kUsage =
    "usage: send-system-event EVENT\n"
    "Posts one system message to every top-level window of the machine. EVENT is one of:\n"
    "  display-change                WM_DISPLAYCHANGE (32 bits per pixel, 1920 x 1080)\n"
    "  device-change                 WM_DEVICECHANGE, DBT_DEVNODES_CHANGED\n"
    "  suspend                       WM_POWERBROADCAST, PBT_APMSUSPEND\n"
    "  resume-automatic              WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC\n"
    "  resume-suspend                WM_POWERBROADCAST, PBT_APMRESUMESUSPEND\n"
    "  console-connect SESSION       WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT\n"
    "  console-disconnect SESSION    WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT\n"
    "  logon SESSION                 WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON\n"
    "  logoff SESSION                WM_WTSSESSION_CHANGE, WTS_SESSION_LOGOFF\n"
    "  lock SESSION                  WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK\n"
    "  unlock SESSION                WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK\n"
    "  query-end-session             WM_QUERYENDSESSION\n"
    "  raw MESSAGE WPARAM LPARAM     any message\n"
    "Numbers are decimal or hexadecimal with 0x.\n";

namespace {

struct NamedEvent {
  std::string_view name;
  SystemMessage message;
};

constexpr LPARAM kFullHdScreen = (1080 << 16) | 1920;

constexpr std::array kEvents = {
    NamedEvent{"display-change", {WM_DISPLAYCHANGE, 32, kFullHdScreen}},
    NamedEvent{"device-change", {WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0}},
    NamedEvent{"suspend", {WM_POWERBROADCAST, PBT_APMSUSPEND, 0}},
    NamedEvent{"resume-automatic", {WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0}},
    NamedEvent{"resume-suspend", {WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0}},
    NamedEvent{"query-end-session", {WM_QUERYENDSESSION, 0, 0}},
};

// Their lParam is the session.
struct SessionEvent {
  std::string_view name;
  WPARAM reason;
};

constexpr std::array kSessionEvents = {
    SessionEvent{"console-connect", WTS_CONSOLE_CONNECT},
    SessionEvent{"console-disconnect", WTS_CONSOLE_DISCONNECT},
    SessionEvent{"logon", WTS_SESSION_LOGON},
    SessionEvent{"logoff", WTS_SESSION_LOGOFF},
    SessionEvent{"lock", WTS_SESSION_LOCK},
    SessionEvent{"unlock", WTS_SESSION_UNLOCK},
};

// A whole number no greater than `limit`, decimal or 0x-hexadecimal.
std::optional<std::uint64_t> Number(const std::string& text, std::uint64_t limit) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  std::string_view digits = std::string_view(text).substr(hex ? 2 : 0);
  if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                            std::string_view::npos)
    return std::nullopt;
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), nullptr, hex ? 16 : 10);
  if (errno == ERANGE || value > limit) return std::nullopt;
  return value;
}

}  // namespace

std::optional<SystemMessage> MessageForArguments(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return std::nullopt;
  const std::string& name = arguments[0];
  if (arguments.size() == 1) {
    for (const NamedEvent& event : kEvents)
      if (event.name == name) return event.message;
    return std::nullopt;
  }
  if (arguments.size() == 2) {
    std::optional<std::uint64_t> session = Number(arguments[1], std::numeric_limits<DWORD>::max());
    if (!session) return std::nullopt;
    for (const SessionEvent& event : kSessionEvents)
      if (event.name == name)
        return SystemMessage{WM_WTSSESSION_CHANGE, event.reason, static_cast<LPARAM>(*session)};
    return std::nullopt;
  }
  if (arguments.size() == 4 && name == "raw") {
    std::optional<std::uint64_t> message = Number(arguments[1], std::numeric_limits<UINT>::max());
    std::optional<std::uint64_t> wParam = Number(arguments[2], std::numeric_limits<WPARAM>::max());
    std::optional<std::uint64_t> lParam = Number(arguments[3], std::numeric_limits<std::uint64_t>::max());
    if (!message || !wParam || !lParam) return std::nullopt;
    return SystemMessage{static_cast<UINT>(*message), static_cast<WPARAM>(*wParam),
                         static_cast<LPARAM>(*lParam)};
  }
  return std::nullopt;
}

}  // namespace sysevents
