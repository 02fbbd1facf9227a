#include "agent-macos/settings/SettingValues.h"

#include <charconv>

std::optional<std::int64_t> parsePort(std::string_view text) {
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  // from_chars takes a "-" of its own but never a "+".
  if (text.empty() || (plus && text.front() == '-')) return std::nullopt;
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string lowercased(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

LogLevel logLevelFromText(std::string_view text) {
  const std::string level = lowercased(text);
  if (level == "warn") return LogLevel::warn;
  if (level == "error") return LogLevel::error;
  return LogLevel::info;
}
