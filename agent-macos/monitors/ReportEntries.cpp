// The updater's entries of "displayStatusReport": the full form once after each device read or
// refresh request, the short form with the announced changes otherwise.
#include "agent-macos/messages/MessageUtils.h"
#include "agent-macos/monitors/MonitorUpdater.h"

using nlohmann::json;

namespace {

json vcpValueArrays(const ZunCacheMonitorInfo& entry) {
  json arrays = json::array();
  for (const auto& values : entry.vcpValueCache) arrays.push_back(values);
  return arrays;
}

json vcpFuncMapArray(const ZunCacheMonitorInfo& entry) {
  json functions = json::array();
  for (const ZunVcpFuncInfo& function : entry.vcpFuncMap)
    functions.push_back({{"vcpCode", function.vcpCode}, {"values", function.values}});
  return functions;
}

}  // namespace

void MonitorUpdater::reportEntries(json& list, std::int64_t& index) {
  std::vector<ZunCacheMonitorInfo> entries;
  {
    std::lock_guard lock(stateLock);
    for (auto& [sn, entry] : cacheMonitorInfoMap) {
      entries.push_back(entry);
      entry.need_update = false;
    }
  }
  for (const ZunCacheMonitorInfo& entry : entries) {
    json object = {{"index", index},
                   {"vendorId", entry.vendor_id},
                   {"productId", entry.product_id},
                   {"serialNumber", entry.sn},
                   {"interfaceNumber", entry.interface_number},
                   {"powerStatus", entry.powerStatus == 1 ? 1 : 0},
                   {"monitorStatus", entry.monitorStatus},
                   {"modelVersion", Utils::versionString(entry.overallVersionRelease, entry.overallVersionDebug)}};
    if (entry.need_update) {
      object["modelName"] = entry.modelName;
      object["specialId"] = entry.specialID;
      object["mutexInt"] = entry.mutexStatus;
      object["useTimes"] = entry.useTimes;
      object["lockStatus"] = entry.lockStatus;
      object["funcList"] = vcpValueArrays(entry);
      object["vcpFuncMap"] = vcpFuncMapArray(entry);
    } else {
      object["funcList"] = takeVcpChangeList();
    }
    list.push_back(std::move(object));
    ++index;
  }
}

std::vector<std::vector<std::uint32_t>> MonitorUpdater::takeVcpChangeList() {
  std::vector<std::vector<std::uint32_t>> records;
  while (std::optional<ZunVcpFeature> change = _vcpChangeList.takeFirst())
    records.push_back({change->values[0], change->values[1], change->values[2]});
  return records;
}
