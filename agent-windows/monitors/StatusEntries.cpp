#include "agent-windows/monitors/StatusEntries.h"

#include "agent-windows/server/JsonWriter.h"
#include "agent-windows/server/ServerMessages.h"
#include "foundation/text/ComputerName.h"

namespace {

void WriteMutexInt(JsonWriter& writer, std::uint32_t value) {
  writer.Key("mutexInt").BeginArray().Int(value).EndArray();
}

}  // namespace

std::string FullStatusEntryText(const FullStatusEntry& entry) {
  JsonWriter writer;
  writer.BeginObject().Key("funcList").BeginArray();
  for (const VcpReading& reading : entry.funcList) {
    writer.BeginArray();
    for (std::uint8_t i = 0; i < reading.count && i < reading.values.size(); ++i) writer.Int(reading.values[i]);
    writer.EndArray();
  }
  writer.EndArray()
      .Key("index").Int(entry.index)
      .Key("interfaceNumber").Int(entry.interfaceNumber)
      .Key("lockStatus").Int(entry.lockStatus)
      .Key("modelName").String(entry.modelName)
      .Key("modelVersion").String(entry.modelVersion)
      .Key("monitorStatus").Int(entry.monitorStatus);
  WriteMutexInt(writer, entry.mutexInt);
  writer.Key("powerStatus").Int(entry.powerStatus)
      .Key("productId").Int(entry.productId)
      .Key("serialNumber").String(entry.serialNumber)
      .Key("specialId").String(entry.specialId)
      .Key("useTimes").Int(entry.useTimes)
      .Key("vcpFuncMap").BeginArray();
  for (const VcpValueList& code : entry.vcpFuncMap) {
    writer.BeginObject().Key("values").BeginArray();
    for (std::uint16_t value : code.values) writer.Int(value);
    writer.EndArray().Key("vcpCode").Int(code.vcpCode).EndObject();
  }
  writer.EndArray().Key("vendorId").Int(entry.vendorId).EndObject();
  return writer.Take();
}

std::string ReducedStatusEntryText(int index, const MonitorState& state, const nlohmann::json& changes) {
  JsonWriter writer;
  writer.BeginObject();
  if (!changes.is_null()) writer.Key("funcList").Raw(SerializeMessage(changes));
  writer.Key("index").Int(index)
      .Key("interfaceNumber").Int(state.interface_number)
      .Key("lockStatus").Int(state.lockStatus)
      .Key("monitorStatus").Int(state.monitorStatus);
  WriteMutexInt(writer, state.mutexStatus[0]);
  writer.Key("powerStatus").Int(state.powerStatus == 1 ? 1 : 0)
      .Key("productId").Int(state.product_id)
      .Key("serialNumber").String(state.sn)
      .Key("useTimes").Int(state.useTimes)
      .Key("vendorId").Int(state.vendor_id)
      .EndObject();
  return writer.Take();
}

std::string StatusReportText(const std::vector<std::string>& entries) {
  JsonWriter writer;
  writer.BeginObject().Key("hostName").String(GetComputerNameString()).Key("monitorList").BeginArray();
  for (const std::string& entry : entries) writer.Raw(entry);
  writer.EndArray().Key("type").String("displayStatusReport").EndObject();
  return writer.Take();
}
