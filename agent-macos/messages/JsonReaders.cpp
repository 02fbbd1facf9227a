#include "agent-macos/messages/JsonReaders.h"

#include <limits>

using nlohmann::json;

std::optional<std::int64_t> integerOf(const json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || !found->is_number_integer()) return std::nullopt;
  if (found->is_number_unsigned() && found->get<std::uint64_t>() > std::numeric_limits<std::int64_t>::max())
    return std::nullopt;
  return found->get<std::int64_t>();
}

std::string stringOf(const json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool isArrayOfObjects(const json& value) {
  if (!value.is_array()) return false;
  for (const json& element : value)
    if (!element.is_object()) return false;
  return true;
}
