// The agent's set of monitors: one updater per monitor-control interface ever found, keyed by the
// interface's serial, for the task loops and the connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "agent-macos/monitors/MonitorUpdater.h"

class MonitorFuncHelper {
 public:
  // The one set, made on first use and never freed.
  static MonitorFuncHelper& shared();

  // Enumerates the monitor-control interfaces again when their count changed since the last time.
  void refreshMonitors();
  // Stops every read thread and marks every monitor not powered.
  void waitForReadThread();
  // Makes the next refreshMonitors enumerate and read every monitor again.
  void refreshAll();
  // Queues the "funcList" of every monitor of a "displayCommand" (or "advDispCommand") message.
  void addDisplayCommand(const std::optional<nlohmann::json>& message);
  void runDisplayCommands();
  // "displayStatusReport" with an entry for every monitor.
  nlohmann::json buildStatusReport();

  // The updater under this serial key, if any.
  std::shared_ptr<MonitorUpdater> updater(const std::string& key) const;

  // The count of the last enumeration; 999 after refreshAll.
  std::atomic<std::int32_t> lastDisplayCount{0};
  // The count the monitor-update task found just before it asked for a refresh.
  std::atomic<std::int32_t> lastDetectCount{0};

 protected:
  // Tests make sets of their own; the agent has only the shared one.
  MonitorFuncHelper() = default;

 private:
  // Device work is done on the copy, outside the lock.
  std::vector<std::shared_ptr<MonitorUpdater>> updaters() const;

  mutable std::mutex mapLock;
  std::map<std::string, std::shared_ptr<MonitorUpdater>> updaterMap;
};

// The interface's serial as a key: its characters below 0x80, in order; "" for none.
std::string serialKey(const tagMONCTRLINFO& info);
