#include "foundation/text/HexText.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "foundation/log/Log.h"
#include "foundation/text/TextConversion.h"

namespace {

int DigitValue(char c) {
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 0x30;
}

}  // namespace

bool HexToByteArray(std::string hex, std::uint8_t** bytes, int* length) {
  hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
  std::size_t count = hex.size() / 2;
  if (count > static_cast<std::size_t>(INT_MAX)) {
    LogError(L"Hex text too long to convert.");
    *length = 0;
    return false;
  }
  *length = static_cast<int>(count);
  if (count == 0) return false;
  auto* buffer = static_cast<std::uint8_t*>(std::malloc(count));
  if (buffer == nullptr) {
    LogError(L"Out of memory for %d bytes of hex text.", *length);
    *length = 0;
    return false;
  }
  for (std::size_t j = 0; j < count; ++j) {
    unsigned value = 0;
    for (char c : {hex[2 * j], hex[2 * j + 1]}) value = (value * 16 + DigitValue(c)) & 0xFF;
    buffer[j] = static_cast<std::uint8_t>(value);
  }
  *bytes = buffer;
  return true;
}

std::uint16_t HexStringToUShort(std::string hex) {
  try {
    return static_cast<std::uint16_t>(std::stoi(hex, nullptr, 16));
  } catch (const std::invalid_argument& e) {
    LogError(L"Invalid argument: %s", StringToWString(e.what()).c_str());
  } catch (const std::out_of_range& e) {
    LogError(L"Out of range: %s", StringToWString(e.what()).c_str());
  } catch (const std::exception& e) {
    LogError(L"Exception: %s", StringToWString(e.what()).c_str());
  }
  return 0;
}

std::vector<std::uint16_t> HexStringToUShortVector(std::string hex) {
  std::uint8_t* bytes = nullptr;
  int length = 0;
  if (!HexToByteArray(std::move(hex), &bytes, &length)) return {};
  std::vector<std::uint16_t> values(bytes, bytes + length);
  std::free(bytes);
  return values;
}
