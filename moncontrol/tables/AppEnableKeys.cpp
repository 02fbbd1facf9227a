#include "moncontrol/tables/AppEnableKeys.h"

#include <climits>
#include <cstdint>
#include <exception>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "foundation/log/Log.h"

namespace {

using nlohmann::json;

// The JSON library would turn 1.5 or 1e10 into some int; the table only has exact ones.
int IntMember(const json& object, const char* key) {
  const json& member = object.at(key);
  const bool fits = member.is_number_unsigned() ? member.get<std::uint64_t>() <= INT_MAX
                    : member.is_number_integer()
                        ? member.get<std::int64_t>() >= INT_MIN && member.get<std::int64_t>() <= INT_MAX
                        : false;
  if (!fits) throw std::invalid_argument(std::string("\"") + key + "\" is not an int");
  return member.get<int>();
}

const json& ArrayMember(const json& object, const char* key) {
  const json& member = object.at(key);
  if (!member.is_array()) throw std::invalid_argument(std::string("\"") + key + "\" is not an array");
  return member;
}

_AppEnableKeyValue ReadFeature(const json& entry) {
  _AppEnableKeyValue feature;
  feature.name = entry.at("name").get<std::string>();
  feature.type = entry.at("type").get<std::string>();
  const json& position = entry.at("position");
  feature.byteStart = IntMember(position, "byteStart");
  feature.byteEnd = IntMember(position, "byteEnd");
  feature.bitStart = IntMember(position, "bitStart");
  feature.bitEnd = IntMember(position, "bitEnd");
  for (const json& definition : ArrayMember(entry, "valuesDef"))
    feature.valuesDef.emplace(IntMember(definition, "value"), definition.at("define").get<std::string>());
  if (auto parent = entry.find("parentName"); parent != entry.end() && !parent->is_null())
    feature.parentName = parent->get<std::string>();
  if (auto codes = entry.find("vcpCode"); codes != entry.end() && !codes->is_null())
    for (const json& code : ArrayMember(entry, "vcpCode")) feature.vcpCode.push_back(code.get<std::string>());
  return feature;
}

}  // namespace

int LoadAppEnableKeys(const std::string& text, int version, std::vector<_AppEnableKeyValue>& features) {
  features.clear();
  try {
    const json table = json::parse(text);
    const json& data = table.at("data");
    if (!data.is_object()) throw std::invalid_argument("\"data\" is not an object");
    auto entries = data.find("appEnableKeys_ver_" + std::to_string(version));
    if (entries == data.end()) return 1;
    if (!entries->is_array()) throw std::invalid_argument(entries.key() + " is not an array");
    for (const json& entry : *entries) features.push_back(ReadFeature(entry));
    return 1;
  } catch (const std::exception& error) {
    features.clear();
    LogWarn(L"LoadAppEnableKeys: the model-flag table is not usable for version %d: %hs", version, error.what());
    return 0;
  }
}
