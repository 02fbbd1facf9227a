#include "agent-windows/monitors/VcpChangeRecords.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "agent-windows/monitors/PendingVcpCommand.h"
#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"

using nlohmann::json;

namespace {

// Never destroyed: listener threads may still add records while the process exits.
struct ChangeRecords {
  std::mutex mutex;
  std::map<std::string, std::deque<PendingVcpCommand>> messageMap;
};

ChangeRecords& TheChangeRecords() {
  static ChangeRecords* records = new ChangeRecords();
  return *records;
}

// A newer change of the same setting makes the older one moot: same code, and on the 0xF8
// page the same sub-code.
bool Supersedes(const PendingVcpCommand& newer, const PendingVcpCommand& older) {
  if (newer.command[0] != older.command[0]) return false;
  return newer.command[0] != kExtendedVcpPage || newer.command[1] == older.command[1];
}

}  // namespace

void AddVcpChangeRecord(const wchar_t* serial, const std::int32_t* record, std::size_t count) {
  PendingVcpCommand change;
  change.serial = WStringToUtf8(serial);
  std::copy_n(record, std::min(count, change.command.size()), change.command.begin());
  ChangeRecords& records = TheChangeRecords();
  std::lock_guard<std::mutex> lock(records.mutex);
  std::deque<PendingVcpCommand>& changes = records.messageMap[change.serial];
  // Only the newest is compared: changes A, A, B, A leave A, B, A.
  if (!changes.empty() && Supersedes(change, changes.back()))
    changes.back() = std::move(change);
  else
    changes.push_back(std::move(change));
}

json TakeVcpChangeRecords(const std::string& serial) {
  std::deque<PendingVcpCommand> taken;
  {
    ChangeRecords& records = TheChangeRecords();
    std::unique_lock<std::mutex> lock(records.mutex);
    if (records.messageMap.empty()) return nullptr;
    const auto found = records.messageMap.find(serial);
    if (found == records.messageMap.end()) {
      // The log front-end has a lock of its own; this mutex is never held with another.
      lock.unlock();
      LogError(L"Key not found in messageMap");
      return nullptr;
    }
    taken = std::move(found->second);
    records.messageMap.erase(found);
  }
  json changes = json::array();
  for (const PendingVcpCommand& change : taken)
    changes.push_back({change.command[0], change.command[1], change.command[2]});
  return changes;
}
