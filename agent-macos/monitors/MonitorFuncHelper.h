// The agent's set of monitors: what the task loops and the connection ask of the monitors.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

class MonitorFuncHelper {
 public:
  // The one set, made on first use and never freed.
  static MonitorFuncHelper& shared();

  // Enumerates the monitor-control interfaces again when their count changed since the last time.
  void refreshMonitors();
  // Makes the next refreshMonitors enumerate, whatever the counts.
  void refreshAll();
  // Queues the "funcList" of every monitor of a "displayCommand" (or "advDispCommand") message.
  void addDisplayCommand(const std::optional<nlohmann::json>& message);
  void runDisplayCommands();
  // "displayStatusReport" with an entry for every monitor.
  nlohmann::json buildStatusReport();

  // The count of the last enumeration; 999 after refreshAll.
  std::atomic<std::int32_t> lastDisplayCount{0};
  // The count the monitor-update task found just before it asked for a refresh.
  std::atomic<std::int32_t> lastDetectCount{0};

 private:
  MonitorFuncHelper() = default;
};
