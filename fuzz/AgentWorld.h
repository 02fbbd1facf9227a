// The world the agent's targets act on, made inert: a silent log, a fake clock whose waits
// return at once, a scratch drive C: per process, removed at exit, no connection (answers stay
// in the send queue) and no package prefix, so a firmware command's download never finds a host
// and fails at once.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <spdlog/spdlog.h>

#include "agent-windows/server/WebSocketMgr.h"
#include "agent-windows/update/InstallQueue.h"
#include "testkit/clock/FakeClock.h"

namespace fuzzworld {

inline std::filesystem::path*& ScratchDrive() {
  static std::filesystem::path* folder = nullptr;
  return folder;
}

inline testkit::FakeClock*& Clock() {
  static testkit::FakeClock* clock = nullptr;
  return clock;
}

inline void RemoveScratchDrive() {
  std::error_code ignored;
  std::filesystem::remove_all(*ScratchDrive(), ignored);
}

// Once per process, before the first input.
inline void MakeAgentWorld(const std::string& target) {
  spdlog::set_level(spdlog::level::off);
  ScratchDrive() = new std::filesystem::path("/tmp/tarvik-fuzz-" + target + "-" + std::to_string(getpid()));
  setenv("TARVIK_C_DRIVE", ScratchDrive()->c_str(), 1);
  std::atexit(RemoveScratchDrive);
  Clock() = new testkit::FakeClock();  // installs itself for the process's life
}

// Before each input: no update handled, none waiting, nothing queued to send, no sleeps kept.
inline void ResetAgentWorld() {
  Clock()->ClearSleeps();
  // Taking a waiting command begins its update, which would hold back the next one.
  g_bIsUpdating.store(false);
  while (TakeNextInstallCommand()) g_bIsUpdating.store(false);
  g_bIsInstall.store(false);
  WebSocketMgr::GetInstance()->SetIsInstall(false);
  WebSocketMgr::GetInstance()->ClearSendQueue();
}

}  // namespace fuzzworld
