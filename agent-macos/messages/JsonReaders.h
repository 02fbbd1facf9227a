// Reading the values of received messages, whose every key may be missing or of another type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

// The key's value when it is a JSON integer that fits a signed 64-bit value.
std::optional<std::int64_t> integerOf(const nlohmann::json& object, const char* key);
// The key's text; empty when it is missing or not a text.
std::string stringOf(const nlohmann::json& object, const char* key);
bool isArrayOfObjects(const nlohmann::json& value);
