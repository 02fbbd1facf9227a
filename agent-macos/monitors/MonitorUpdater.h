// One monitor-control interface of the agent: what its monitors hold, the changes they announced,
// the display commands the server sent, and the thread that listens for the monitors' messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "agent-macos/monitors/GuardedList.h"
#include "agent-macos/monitors/MonitorRecords.h"
#include "moncontrol/api/MonCtrlInfo.h"
#include "moncontrol/ddcci/vendor/ChildDevInfo.h"
#include "moncontrol/ddcci/vendor/MonitorInfo.h"
#include "moncontrol/hid/HidApi.h"

// A table the library handed over; the updater frees it.
struct LibraryBufferFree {
  void operator()(void* buffer) const { std::free(buffer); }
};
template <typename Table>
using LibraryBuffer = std::unique_ptr<Table, LibraryBufferFree>;

class MonitorUpdater : public std::enable_shared_from_this<MonitorUpdater> {
 public:
  // A display command as the server sent it: [code, value] or [248, sub-code, value].
  using VcpCommand = std::vector<std::int64_t>;

  // Marks a full device read as due and starts the read thread.
  static std::shared_ptr<MonitorUpdater> create(const tagMONCTRLINFO& info);
  // Stops the read thread.
  ~MonitorUpdater();
  MonitorUpdater(const MonitorUpdater&) = delete;
  MonitorUpdater& operator=(const MonitorUpdater&) = delete;

  void SetDeviceChange();
  void SetUpdateBaseInfo();
  void SetUpdateMutexStatus();
  void SetUpdateCapString();
  void SetUpdateAllVcpValue();

  // The device read when one is due; false when the device could not be opened.
  bool InitDevice();
  // Writes every queued display command to the device.
  void runDisplayCommand();

  void CreateCallback();
  // Waits until the read thread no longer runs.
  void stopReading();

  void updateDeviceMutexStatus(const std::string& sn, std::int64_t index, std::uint32_t value);
  void updateLockStatus(const std::string& sn, std::uint32_t value);
  void queueVcpChange(const std::array<std::uint32_t, 4>& values);
  void MonitorCallback(std::uint32_t funcCode, std::uint32_t subCode, std::uint32_t param3, std::uint32_t param4);
  void handleDeviceReport(std::uint8_t* buffer);

  // Appends one entry per cached monitor, numbered from index on.
  void reportEntries(nlohmann::json& list, std::int64_t& index);
  std::vector<std::vector<std::uint32_t>> takeVcpChangeList();

  // Queued for runDisplayCommand.
  void appendDisplayCommand(VcpCommand command) { _vcpCommandQueue.append(std::move(command)); }

  // The serial of monitor 0, "" until its information was read.
  std::string rootSerial() const;
  // The root monitor's cached entry, when there is one.
  std::optional<ZunCacheMonitorInfo> rootEntry() const;
  // Writes the root monitor's power status when it has a cached entry; false when not.
  bool setRootPowerStatus(std::int32_t powerStatus);
  // Whether a device read is due.
  bool deviceReadDue() const;
  std::map<std::string, ZunCacheMonitorInfo> cachedMonitors() const;
  std::vector<VcpCommand> queuedDisplayCommands() { return _vcpCommandQueue.snapshot(); }

 private:
  explicit MonitorUpdater(const tagMONCTRLINFO& info);

  // How long every open of the device tries.
  static constexpr int kOpenTimeoutMs = 2000;

  struct ReadThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> executing;
  };

  void monitorPass(mchid::hid_device* handle, std::uint8_t index);
  // Identity of monitor index: its serial and what its table gives, or none when it has no table.
  std::optional<ZunMonitorInfo> readIdentity(mchid::hid_device* handle, std::uint8_t index, bool full);
  void readChildren(mchid::hid_device* handle, std::uint8_t index, std::uint8_t deviceCount, const std::string& sn);
  void readCapabilities(mchid::hid_device* handle, ZunCacheMonitorInfo& entry);
  void readVcpValue(const ZunVcpFuncInfo& info, mchid::hid_device* handle, ZunCacheMonitorInfo& entry);
  void writeDisplayCommand(mchid::hid_device* handle, const VcpCommand& command);
  void readThreadLoop();
  void markRootForUpdate();
  void clearIdentityLists();

  const tagMONCTRLINFO pMcInfo;

  // Serialises the device reads and command runs, and guards readThread: both stop and restart it.
  std::recursive_mutex deviceWork;
  ReadThread readThread;
  std::atomic<bool> shouldStopReading{false};

  // Guards everything below; held only for copies and short updates.
  mutable std::mutex stateLock;
  std::uint8_t dcMonitorCount = 0;
  std::string rootMonitorSn;
  std::vector<ZunMonitorInfo> monitorInfoList;
  std::map<std::string, ZunCacheMonitorInfo> cacheMonitorInfoMap;
  std::map<std::string, std::map<std::string, ZunChildDeviceInfo>> childInfoMapList;
  std::map<std::string, LibraryBuffer<tagZunMONITORINFO>> monitorOrgInfoList;
  std::map<std::string, std::map<std::string, LibraryBuffer<tagCHILDDEVINFO>>> childOrgInfoMapList;
  std::vector<std::string> monitorSnList;
  std::int64_t lastUpdateChainNumber = 0;
  bool isDeviceChange = false;
  bool isInitOK = false;
  bool isRefreshCapString = false;
  bool isRefreshMutexStatus = false;
  bool isRefreshAllVcpValue = false;
  bool needUpdateMonitorInfo = false;

  GuardedList<ZunVcpFeature> _vcpChangeList{"com.quelmo.tarvik.vcpChangeListQueue"};
  GuardedList<VcpCommand> _vcpCommandQueue{"com.quelmo.tarvik.vcpCommandQueue.lock"};
};
