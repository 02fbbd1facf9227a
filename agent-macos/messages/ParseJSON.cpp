#include <cstddef>

#include "agent-macos/log/Log.h"
#include "agent-macos/messages/MessageUtils.h"

namespace Utils {
namespace {

// Far deeper than any message of the protocol.
constexpr std::size_t kMaxDepth = 256;

bool isValidUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// The deepest nesting of arrays and objects, brackets inside strings not counted.
std::size_t nestingDepth(const std::string& text) {
  std::size_t depth = 0, deepest = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) deepest = depth;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

}  // namespace

std::optional<nlohmann::json> parseJSONValue(const std::string& text, std::string& error) {
  if (nestingDepth(text) > kMaxDepth) {
    error = "nesting deeper than " + std::to_string(kMaxDepth) + " levels";
    return std::nullopt;
  }
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return std::nullopt;
  }
}

std::optional<nlohmann::json> parseJSON(const std::string& text) {
  if (!isValidUtf8(text)) {
    logInfo("Invalid JSON string.");
    return std::nullopt;
  }
  std::string error;
  std::optional<nlohmann::json> value = parseJSONValue(text, error);
  if (!value) {
    logInfo("Failed to convert JSON string to dictionary: " + error);
    return std::nullopt;
  }
  if (!value->is_object()) {
    logInfo("JSON is not a dictionary.");
    return std::nullopt;
  }
  return value;
}

}  // namespace Utils
