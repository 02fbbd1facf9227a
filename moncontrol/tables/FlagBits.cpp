#include "moncontrol/tables/FlagBits.h"

void ShiftBitsLeft(std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t carry = i + 1 < count ? bytes[i + 1] >> 7 : 0;
    bytes[i] = static_cast<std::uint8_t>(bytes[i] << 1 | carry);
  }
}

void ShiftBitsRight(std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = count; i-- > 0;) {
    const std::uint8_t carry = i > 0 ? static_cast<std::uint8_t>((bytes[i - 1] & 1) << 7) : 0;
    bytes[i] = static_cast<std::uint8_t>(bytes[i] >> 1 | carry);
  }
}

int GetAppEnableKeyValue(const _AppEnableKeyValue& feature, const std::vector<std::uint8_t>& flags) {
  const int byteStart = feature.byteStart;
  const int byteEnd = feature.byteEnd;
  const int bitStart = feature.bitStart;
  const int bitEnd = feature.bitEnd;
  if (flags.empty() || byteStart < 0 || byteEnd < byteStart || static_cast<std::size_t>(byteEnd) >= flags.size())
    return 0;
  if (bitStart < 0 || bitStart > 7 || bitEnd < 0 || bitEnd > 7) return 0;
  const int width = (byteEnd * 8 + bitEnd) - (byteStart * 8 + bitStart) + 1;
  if (width < 1 || width >= 32) return 0;

  std::vector<std::uint8_t> work(flags.begin() + byteStart, flags.begin() + byteEnd + 1);
  // Drop the bits before the field, then right-align it in the work bytes.
  for (int i = 0; i < bitStart; ++i) ShiftBitsLeft(work.data(), work.size());
  for (int i = 0; i < bitStart - bitEnd + 7; ++i) ShiftBitsRight(work.data(), work.size());
  std::uint32_t value = 0;
  for (std::uint8_t byte : work) value = value << 8 | byte;
  return static_cast<int>(value);
}

void UpdateAppEnableKeyValues(std::vector<_AppEnableKeyValue>& features, const std::vector<std::uint8_t>& flags) {
  for (_AppEnableKeyValue& feature : features) feature.value = GetAppEnableKeyValue(feature, flags);
}
