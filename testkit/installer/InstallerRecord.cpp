#include "testkit/installer/InstallerRecord.h"

#include <bit>

#include "platform/win32/internal/Drive.h"

namespace testkit {

namespace {

constexpr std::size_t kTextOffset = 2;
constexpr std::size_t kValueOffset = 44;

// A character beyond the basic plane takes two units; none is cut in half.
std::u16string Utf16Within(const std::string& text, std::size_t maxUnits) {
  std::u16string units;
  for (wchar_t c : win32::Utf8ToWide(text)) {
    auto code = static_cast<char32_t>(c);
    if (code < 0x10000) {
      if (units.size() + 1 > maxUnits) break;
      units.push_back(static_cast<char16_t>(code));
    } else {
      if (units.size() + 2 > maxUnits) break;
      code -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
  }
  return units;
}

void PutLittleEndian(std::string& out, std::size_t offset, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string InstallerRecord(std::uint8_t type, const std::string& text, float value) {
  std::string record(kInstallerRecordSize, '\0');
  record[0] = static_cast<char>(type);
  std::u16string units = Utf16Within(text, kInstallerTextUnits);
  for (std::size_t i = 0; i < units.size(); ++i)
    PutLittleEndian(record, kTextOffset + 2 * i, units[i], 2);
  PutLittleEndian(record, kValueOffset, std::bit_cast<std::uint32_t>(value), 4);
  return record;
}

}  // namespace testkit
