// Reading the server's texts and formatting values for the messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace Utils {

// The JSON object of a received text; none (with an info line saying why) for anything else.
std::optional<nlohmann::json> parseJSON(const std::string& text);

// Any JSON value, or the parser's error text in `error`. Nesting is bounded, so that no later
// walk of the value can run out of stack.
std::optional<nlohmann::json> parseJSONValue(const std::string& text, std::string& error);

// A monitor's "modelVersion": "05" for 5.0, "05.03T" for 5.3.
std::string versionString(std::uint16_t major, std::uint16_t minor);

}  // namespace Utils

// The compact text of a message as the platform's serialiser writes it ("/" as "\/"); text that
// is not valid UTF-8 is replaced, never a reason to lose the message. A number that JSON cannot
// hold (NaN, infinity) fails, with the reason in `error`.
std::optional<std::string> jsonText(const nlohmann::json& message, std::string& error);
