#include <cmath>

#include "agent-macos/messages/MessageUtils.h"

namespace {

// Messages are built by the agent itself, so their depth is small.
bool allNumbersFinite(const nlohmann::json& value) {
  if (value.is_number_float()) return std::isfinite(value.get<double>());
  if (value.is_structured()) {
    for (const auto& member : value)
      if (!allNumbersFinite(member)) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> jsonText(const nlohmann::json& message, std::string& error) {
  if (!allNumbersFinite(message)) {
    error = "Invalid number value (NaN or infinity) in JSON write";
    return std::nullopt;
  }
  const std::string compact = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string text;
  text.reserve(compact.size());
  // Outside strings JSON has no "/", so every one is inside a string.
  for (char c : compact) {
    if (c == '/') text += '\\';
    text += c;
  }
  return text;
}
