#include "testkit/monsim/vendor/VendorJson.h"

#include <functional>
#include <limits>
#include <map>

#include "testkit/monsim/MonitorJson.h"
#include "testkit/monsim/vendor/VendorTables.h"

namespace monsim {
namespace {

using nlohmann::json;
// What each key of an object does with its value; the value's place is given for messages.
using Readers = std::map<std::string, std::function<void(const json& value, const std::string& at)>>;

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw JsonFormError(where + ": " + what); }

void ReadObject(const json& value, const std::string& where, const Readers& readers) {
  if (!value.is_object()) Fail(where, "expected an object");
  for (const auto& [key, member] : value.items()) {
    auto reader = readers.find(key);
    if (reader == readers.end()) Fail(where, "unknown key \"" + key + "\"");
    reader->second(member, where + "." + key);
  }
}

template <typename T>
std::function<void(const json&, const std::string&)> Into(T& target, std::uint64_t least = 0,
                                                           std::uint64_t most = std::numeric_limits<T>::max()) {
  return [&target, least, most](const json& value, const std::string& at) {
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() < least || value.get<std::uint64_t>() > most)
      Fail(at, "expected an integer of " + std::to_string(least) + " to " + std::to_string(most));
    target = static_cast<T>(value.get<std::uint64_t>());
  };
}

std::function<void(const json&, const std::string&)> Into(std::string& target) {
  return [&target](const json& value, const std::string& at) {
    if (!value.is_string()) Fail(at, "expected a text");
    target = value.get<std::string>();
  };
}

std::vector<std::uint8_t> ParseMonitorInfo(const json& value, const std::string& where) {
  MonitorInfoFields info;
  ReadObject(value, where,
             {{"deviceCount", Into(info.deviceCount)}, {"i2cBufSize", Into(info.i2cBufSize)},
              {"modelName", Into(info.modelName)},     {"specialID", Into(info.specialID)},
              {"vendorID", Into(info.vendorID)},       {"sn", Into(info.sn)},
              {"debugVersion", Into(info.debugVersion)}, {"releaseVersion", Into(info.releaseVersion)}});
  return EncodeMonitorInfo(info);
}

std::vector<std::uint8_t> ParseChild(const json& value, const std::string& where) {
  ChildDeviceFields child;
  ReadObject(value, where,
             {{"type", Into(child.type)}, {"ispID", Into(child.ispID)},   {"fwID", Into(child.fwID)},
              {"fwVer", Into(child.fwVer)}, {"sn", Into(child.sn)},        {"ultraData", Into(child.ultraData)}});
  return EncodeChildDevice(child);
}

}  // namespace

VendorState ParseVendorState(const json& value, const std::string& where) {
  VendorState state;
  ReadObject(value, where,
             {{"status", Into(state.status)},
              {"tableChunk", Into(state.tableChunk, 1, kMaxTableChunk)},
              {"fwTransferResult", Into(state.fwTransferResult)},
              {"daisyChainResults",
               [&state](const json& results, const std::string& at) {
                 if (!results.is_array() || results.size() != state.daisyChainResults.size())
                   Fail(at, "expected an array of 4 results");
                 for (std::size_t i = 0; i < results.size(); ++i)
                   Into(state.daisyChainResults[i])(results[i], at + "[" + std::to_string(i) + "]");
               }},
              {"monitorInfo",
               [&state](const json& info, const std::string& at) { state.monitorInfo = ParseMonitorInfo(info, at); }},
              {"children", [&state](const json& children, const std::string& at) {
                 if (!children.is_array()) Fail(at, "expected an array");
                 for (std::size_t i = 0; i < children.size(); ++i)
                   state.childInfo.push_back(ParseChild(children[i], at + "[" + std::to_string(i) + "]"));
               }}});
  return state;
}

}  // namespace monsim
