#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/macos/internal/CFValues.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = kReplacement;
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

}  // namespace

namespace macstandin {

CFStringRef ConstantString(const char* ascii) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<CFStringObject>> constants;
  std::lock_guard lock(mutex);
  auto& constant = constants[ascii];
  // Each byte is one code unit, which is exact for the ASCII texts CFSTR is given.
  if (!constant) constant = std::make_unique<CFStringObject>(std::u16string(ascii, ascii + std::strlen(ascii)));
  return constant.get();
}

CFStringRef CreateString(const std::wstring& text) {
  std::u16string units;
  for (wchar_t c : text) AppendUtf16(units, static_cast<char32_t>(c));
  return new CFStringObject(std::move(units));
}

}  // namespace macstandin

CFTypeID CFStringGetTypeID() { return macstandin::kStringTypeId; }

CFIndex CFStringGetLength(CFStringRef string) { return static_cast<CFIndex>(string->units.size()); }

CFIndex CFStringGetBytes(CFStringRef string, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean /*isExternalRepresentation: no byte-order mark for UTF-32LE*/,
                         UInt8* buffer, CFIndex maxBufferLength, CFIndex* usedBufferLength) {
  const std::u16string& units = string->units;
  CFIndex used = 0;
  CFIndex index = range.location;
  const CFIndex end = range.location + range.length;
  if (encoding == kCFStringEncodingUTF32LE && range.location >= 0 && range.length >= 0 &&
      end <= static_cast<CFIndex>(units.size())) {
    while (index < end && (buffer == nullptr || used + 4 <= maxBufferLength)) {
      char32_t codePoint = units[index];
      CFIndex width = 1;
      if (IsHighSurrogate(codePoint) && index + 1 < end && IsLowSurrogate(units[index + 1])) {
        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (units[index + 1] - 0xDC00);
        width = 2;
      } else if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint)) {
        if (lossByte == 0) break;
        codePoint = lossByte;
      }
      if (buffer) {
        for (int shift = 0; shift < 32; shift += 8) buffer[used + shift / 8] = static_cast<UInt8>(codePoint >> shift);
      }
      used += 4;
      index += width;
    }
  }
  if (usedBufferLength) *usedBufferLength = used;
  return index - range.location;
}
