#include "moncontrol/tables/CapstringToMap.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/log/Log.h"
#include "moncontrol/api/LibraryState.h"
#include "moncontrol/tables/AppEnableKeys.h"
#include "moncontrol/tables/CapabilityString.h"
#include "moncontrol/tables/CodeList.h"
#include "moncontrol/tables/FlagBits.h"
#include "moncontrol/tables/ModelFlagTable.h"

namespace {

// The table's features by version, parsed once for each table text: parsing the table costs
// far more than all the rest of a call, and its text only changes with the module.
struct ParsedTable {
  std::string text;
  std::map<int, std::vector<_AppEnableKeyValue>> versions;
};

// The working state of a call, rebuilt every time from the capability string and the table
// text (the parsed table is kept while that text stays the same); only touched under the
// library lock.
struct CapabilityState {
  TextMap capabilities;               // tag -> text
  TextMap vcp;                        // VCP code -> value list
  std::vector<std::uint8_t> flags;    // the model-flag bytes; byte 0 is the table version
  std::vector<_AppEnableKeyValue> features;
  ParsedTable table;
};

CapabilityState& TheState() {
  static CapabilityState* state = new CapabilityState();
  return *state;
}

const std::vector<_AppEnableKeyValue>& TableFeatures(ParsedTable& table, const std::string& text, int version) {
  if (table.text != text) {
    table.text = text;
    table.versions.clear();
  }
  auto [features, added] = table.versions.try_emplace(version);
  if (added) LoadAppEnableKeys(text, version, features->second);
  return features->second;
}

void LoadJsonFile(CapabilityState& state) {
  state.vcp.clear();
  state.flags.clear();
  state.features.clear();
  const std::string text = LoadJsonResource(kModelFlagTableId);
  if (text.empty()) {
    LogError(L"LoadJsonFile text text.empty() ...");
    return;
  }
  LogInfo(L"LoadJsonFile OK.");
  if (auto vcp = state.capabilities.find("vcp"); vcp != state.capabilities.end()) ParseVcpList(vcp->second, state.vcp);
  if (auto modelFlags = state.vcp.find("C6"); modelFlags != state.vcp.end()) {
    std::uint8_t* bytes = nullptr;
    std::int32_t count = 0;
    if (HexStringToBytes(modelFlags->second, &bytes, &count) != 0) {
      state.flags.assign(bytes, bytes + count);
      delete[] bytes;
    }
  }
  const int version = state.flags.empty() ? 0 : state.flags[0];
  state.features = TableFeatures(state.table, text, version);
  UpdateAppEnableKeyValues(state.features, state.flags);
}

// The codes of the enabled features with the monitor's values for them. A four-character
// code that the VCP list lacks is a sub-code of 0xF8 (F805 is sub-code 05).
TextMap EnabledCodes(const CapabilityState& state) {
  TextMap subCodes;
  if (auto f8 = state.vcp.find("F8"); f8 != state.vcp.end()) subCodes = ParseSubCodeList(f8->second);
  TextMap enabled;
  for (const _AppEnableKeyValue& feature : state.features) {
    if (feature.value != 1) continue;  // a multi-bit field reading 2 is not "on"
    for (const std::string& code : feature.vcpCode) {
      if (auto listed = state.vcp.find(code); listed != state.vcp.end()) {
        enabled.emplace(code, listed->second);
      } else if (code.size() == 4) {
        if (auto sub = subCodes.find(code.substr(2)); sub != subCodes.end()) enabled.emplace(code, sub->second);
      }
    }
  }
  return enabled;
}

}  // namespace

void CapstringToMap(std::uint32_t* capsLen, const char* caps, KeyValuePair* pairs, std::int32_t maxPairs,
                    std::int32_t* pairCount) {
  if (pairCount == nullptr) {
    LogError(L"CapstringToMap: no room for the pair count");
    return;
  }
  *pairCount = 0;
  const std::uint32_t length = capsLen != nullptr ? *capsLen : 0;

  ScopedLibraryLock lock;
  CapabilityState& state = TheState();
  state.capabilities = ParseCapabilityString(caps, length);
  if (state.capabilities.empty())
    LogWarn(L"CapstringToMap: no tags in the capability string of %lu bytes", length);
  LoadJsonFile(state);

  std::int32_t filled = 0;
  for (const auto& [code, value] : EnabledCodes(state)) {
    if (pairs == nullptr || filled >= maxPairs) break;
    char* key = strdup(code.c_str());
    char* text = strdup(value.c_str());
    if (key == nullptr || text == nullptr) {
      std::free(key);
      std::free(text);
      LogError(L"CapstringToMap: out of memory after %d pairs", filled);
      break;
    }
    pairs[filled++] = KeyValuePair{key, text};
  }
  *pairCount = filled;
}
