// The agent's observation of the command notification, through the local centre.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "agent-macos/commands/ServiceCommand.h"
#include "agent-macos/service/TarvikService.h"
#include "agent-macos/testing/MacRoot.h"

using namespace agentmactest;

namespace {

// {key: value}, released with the holder.
class OnePair {
 public:
  OnePair(CFStringRef key, CFTypeRef value) {
    const void* keys[] = {key};
    const void* values[] = {value};
    m_dictionary = CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                      &kCFTypeDictionaryValueCallBacks);
  }
  OnePair(const OnePair&) = delete;
  OnePair& operator=(const OnePair&) = delete;
  ~OnePair() { CFRelease(m_dictionary); }
  CFDictionaryRef get() const { return m_dictionary; }

 private:
  CFDictionaryRef m_dictionary;
};

void postUserInfo(CFDictionaryRef userInfo) {
  CFNotificationCenterPostNotification(CFNotificationCenterGetLocalCenter(), TarvikServiceCommandNotification,
                                       nullptr, userInfo, true);
}

// What posting a known command logs up to its effect.
std::string sentAndReceived(const std::string& text) {
  return "[Warn] Sending command: " + text + "\n[Info] Received TarvikServiceCommand: {\n    command = " + text +
         ";\n}\n";
}

using Flag = std::atomic<bool> TarvikService::*;

TEST(ServiceCommandTest, EachCommandHasItsEffectAndAnythingElseIsLoggedAsUnknown) {
  MacRoot();
  const OnePair unknownText(CFSTR("command"), CFSTR("Reboot now"));
  const OnePair nestedCommand(CFSTR("name"), CFSTR("ImmediatelyHeartbeat"));
  const OnePair notText(CFSTR("command"), nestedCommand.get());
  const OnePair otherKey(CFSTR("order"), CFSTR("ImmediatelyHeartbeat"));
  const struct {
    const char* label;
    std::function<void()> post;
    Flag flag;         // null: none is set
    const char* host;  // the server afterwards
    std::string log;
  } cases[] = {
      {"heartbeat", [] { postServiceCommand(ServiceCommand::ImmediatelyHeartbeat); },
       &TarvikService::isImmediatelyHeartbeat, "",
       sentAndReceived("ImmediatelyHeartbeat") + "[Warn] Heartbeat command set to run immediately.\n"},
      {"display commands", [] { postServiceCommand(ServiceCommand::ImmediatelyRunDisplayCommand); },
       &TarvikService::isImmediatelyRunDisplayCommand, "",
       sentAndReceived("ImmediatelyRunDisplayCommand") + "[Warn] Run display command set to run immediately.\n"},
      {"monitor update", [] { postServiceCommand(ServiceCommand::ImmediatelyUpdateMonitor); },
       &TarvikService::isImmediatelyUpdateMonitor, "",
       sentAndReceived("ImmediatelyUpdateMonitor") + "[Warn] Update monitor command set to run immediately.\n"},
      // No user defaults here: the default server, then the disconnect.
      {"server", [] { postServiceCommand(ServiceCommand::UpdateServerIp); }, nullptr, "192.168.1.100",
       sentAndReceived("UpdateServerIp") + "[Info] WebSocket is already disconnected.\n"},
      {"unknown text", [&] { postUserInfo(unknownText.get()); }, nullptr, "",
       "[Info] Received unknown command: {\n    command = \"Reboot now\";\n}\n"},
      {"not text", [&] { postUserInfo(notText.get()); }, nullptr, "",
       "[Info] Received unknown command: {\n    command = {\n        name = ImmediatelyHeartbeat;\n    };\n}\n"},
      {"no command", [&] { postUserInfo(otherKey.get()); }, nullptr, "",
       "[Info] Received unknown command: {\n    order = ImmediatelyHeartbeat;\n}\n"},
      {"no user information", [] { postUserInfo(nullptr); }, nullptr, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TarvikService service;
    service.addObservers();
    LogMark mark;
    c.post();
    for (Flag flag : {&TarvikService::isImmediatelyHeartbeat, &TarvikService::isImmediatelyRunDisplayCommand,
                      &TarvikService::isImmediatelyUpdateMonitor})
      EXPECT_EQ(service.*flag, flag == c.flag);
    EXPECT_EQ(service.Host, c.host);
    EXPECT_EQ(mark.Since(), c.log);
  }
}

TEST(ServiceCommandTest, NoCommandReachesTheAgentAfterItsRemovalOrItsStop) {
  MacRoot();
  TarvikService removed;
  removed.addObservers();
  removed.removeObservers();
  // A callback into the stopped agent would touch freed memory.
  auto stopped = std::make_unique<TarvikService>();
  stopped->addObservers();
  stopped.reset();
  LogMark mark;
  postServiceCommand(ServiceCommand::ImmediatelyHeartbeat);
  EXPECT_FALSE(removed.isImmediatelyHeartbeat);
  EXPECT_EQ(mark.Since(), "[Warn] Sending command: ImmediatelyHeartbeat\n");
}

}  // namespace
