// An installer's progress report as the macOS agent takes it in, by either way it arrives: the
// userInfo of the distributed notification InstallProgressUpdate, or the app group's
// "installStatus" value, which one pass of the agent's poll reads, removes and relays. The agent
// counts as connected but has no connection, so relayed reports go nowhere.
//
// Input: a byte whose bit 0 chooses the way (0 the notification, 1 the app group's value); then a
// property list, XML or binary. The notification carries only a dictionary, so any other value
// arrives as a notification without userInfo.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "agent-macos/commands/InstallProgressInfo.h"
#include "agent-macos/service/TarvikService.h"
#include "foundation/clock/Clock.h"
#include "fuzz/MacAgentWorld.h"

namespace {

TarvikService& Agent() {
  // Never destroyed: its destructor would stop it, which is not what is fuzzed.
  static TarvikService* const agent = [] {
    macfuzz::MakeMacWorld("mac_install_progress");
    auto* made = new TarvikService;
    made->isConnected = true;
    return made;
  }();
  return *agent;
}

// Ends the poll at its first sleep, so that it makes one pass.
class OnePassClock final : public tarvik::Clock {
 public:
  explicit OnePassClock(TarvikService& agent) : m_agent(agent) {}
  TimePoint Now() override { return {}; }
  WallTime WallNow() override { return {}; }
  void SleepFor(Duration) override { m_agent.isRunning = false; }

 private:
  TarvikService& m_agent;
};

void PollOnce(TarvikService& agent) {
  OnePassClock clock(agent);
  tarvik::SetCurrentClock(&clock);
  agent.pollInstallStatus();
  tarvik::SetCurrentClock(nullptr);
  agent.isRunning = true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Agent();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  TarvikService& agent = Agent();
  CFDataRef bytes = CFDataCreate(kCFAllocatorDefault, data + 1, static_cast<CFIndex>(size - 1));
  CFPropertyListRef value = CFPropertyListCreateWithData(kCFAllocatorDefault, bytes, kCFPropertyListImmutable, nullptr, nullptr);
  CFRelease(bytes);
  if ((data[0] & 1) == 0) {
    const bool dictionary = value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID();
    agent.onInstallProgressUpdate(dictionary ? static_cast<CFDictionaryRef>(value) : nullptr);
  } else {
    CFPreferencesSetAppValue(kInstallStatusKey, value, kInstallerSuiteName);
    // A value the preferences cannot write (a date beyond their range) never reaches the agent.
    if (CFPreferencesAppSynchronize(kInstallerSuiteName)) PollOnce(agent);
    // Read or not, a report is not left to be read again.
    CFPropertyListRef left = CFPreferencesCopyAppValue(kInstallStatusKey, kInstallerSuiteName);
    if (left != nullptr) std::abort();
  }
  if (value != nullptr) CFRelease(value);
  return 0;
}
