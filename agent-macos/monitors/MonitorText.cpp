#include "agent-macos/monitors/MonitorText.h"

#include <chrono>
#include <cstring>

#include "agent-macos/log/Log.h"
#include "foundation/clock/Clock.h"

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at text[at], 0 when there is none.
std::size_t sequenceLength(const unsigned char* text, std::size_t at, std::size_t length) {
  const unsigned char lead = text[at];
  if (lead < 0x80) return 1;
  std::size_t count;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    count = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    count = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    count = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + count > length) return 0;
  if (text[at + 1] < low || text[at + 1] > high) return 0;
  for (std::size_t k = 2; k < count; ++k)
    if (text[at + k] < 0x80 || text[at + k] > 0xBF) return 0;
  return count;
}

std::optional<int> hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

std::optional<std::string> tableText(const tagZunMONITORINFO* table, const char (tagZunMONITORINFO::*field)[4],
                                     const char* missing) {
  if (table == nullptr) {
    Utils::logInfo(missing);
    return std::nullopt;
  }
  return fixedWidthText(table->*field);
}

}  // namespace

std::string fixedWidthText(const char* field, std::size_t width) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(field);
  const std::size_t length = strnlen(field, width);
  std::string text;
  for (std::size_t at = 0; at < length;) {
    const std::size_t count = sequenceLength(bytes, at, length);
    if (count == 0) {
      text += kReplacement;
      ++at;
    } else {
      text.append(field + at, count);
      at += count;
    }
  }
  return text;
}

std::optional<std::string> specialIDString(const tagZunMONITORINFO* table) {
  return tableText(table, &tagZunMONITORINFO::specialID, "Failed to retrieve special ID.");
}

std::optional<std::string> vendorIDString(const tagZunMONITORINFO* table) {
  return tableText(table, &tagZunMONITORINFO::vendorID, "Failed to retrieve vendor ID.");
}

std::uint16_t parseVcpCode(const std::string& text) {
  std::size_t at = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    at = 1;
  }
  std::uint32_t value = 0;
  bool valid = at < text.size();
  for (; valid && at < text.size(); ++at) {
    const std::optional<int> digit = hexDigit(text[at]);
    valid = digit.has_value() && (value = value * 16 + static_cast<std::uint32_t>(*digit)) <= 0xFFFF;
  }
  if (!valid || (negative && value != 0)) {
    Utils::logInfo("Invalid VCP code string: " + text);
    return 0;
  }
  return static_cast<std::uint16_t>(value);
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(const std::string& text) {
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += c;
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t at = 0; at < digits.size(); at += 2) {
    const std::optional<int> high = hexDigit(digits[at]);
    const std::optional<int> low = hexDigit(digits[at + 1]);
    if (!high || !low) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(*high * 16 + *low));
  }
  return bytes;
}

std::vector<std::uint16_t> parseHexWords(const std::string& text) {
  const std::optional<std::vector<std::uint8_t>> bytes = parseHexBytes(text);
  if (!bytes) return {};
  return {bytes->begin(), bytes->end()};
}

std::string currentTimeMs() {
  const auto sinceEpoch = tarvik::CurrentClock().WallNow().time_since_epoch();
  const double seconds = std::chrono::duration<double>(sinceEpoch).count();
  return std::to_string(static_cast<std::int64_t>(seconds * 1000));
}

std::string describe(const ZunMonitorInfo& info) {
  auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
  return "ZunMonitorInfo(vendor_id: " + std::to_string(info.vendor_id) +
         ", product_id: " + std::to_string(info.product_id) + ", deviceCount: " + std::to_string(info.deviceCount) +
         ", i2cBufSize: " + std::to_string(info.i2cBufSize) + ", modelName: " + quoted(info.modelName) +
         ", specialID: " + quoted(info.specialID) + ", vendorID: " + quoted(info.vendorID) +
         ", sn: " + quoted(info.sn) + ", overallVersionDebug: " + std::to_string(info.overallVersionDebug) +
         ", overallVersionRelease: " + std::to_string(info.overallVersionRelease) + ")";
}

std::string listText(const std::vector<std::uint16_t>& values) {
  std::string text = "[";
  for (std::size_t i = 0; i < values.size(); ++i) text += (i ? ", " : "") + std::to_string(values[i]);
  return text + "]";
}
