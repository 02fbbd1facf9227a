#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

#include "platform/macos/internal/CFValues.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsScalarValue(char32_t codePoint) {
  return codePoint <= 0x10FFFF && !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (!IsScalarValue(codePoint)) codePoint = kReplacement;
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
    return;
  }
  codePoint -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

// Each byte that does not begin a well-formed sequence (overlong, surrogate, beyond U+10FFFF,
// cut short) becomes U+FFFD; valid tells whether there was none.
std::u16string DecodeUtf8(std::string_view text, bool& valid) {
  std::u16string units;
  valid = true;
  std::size_t index = 0;
  while (index < text.size()) {
    const auto lead = static_cast<unsigned char>(text[index]);
    std::size_t length = 0;
    char32_t codePoint = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
      length = 1, codePoint = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, codePoint = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, codePoint = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, codePoint = lead & 0x07, smallest = 0x10000;
    }
    bool wellFormed = length > 0 && length <= text.size() - index;
    for (std::size_t k = 1; wellFormed && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[index + k]);
      wellFormed = (next & 0xC0) == 0x80;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (!wellFormed || codePoint < smallest || !IsScalarValue(codePoint)) {
      valid = false;
      codePoint = kReplacement;
      length = 1;
    }
    AppendUtf16(units, codePoint);
    index += length;
  }
  return units;
}

int EncodeUtf8(char32_t codePoint, UInt8* out) {
  if (codePoint < 0x80) {
    out[0] = static_cast<UInt8>(codePoint);
    return 1;
  }
  int length = codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
  static constexpr UInt8 kLeads[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (int k = length - 1; k > 0; --k, codePoint >>= 6) out[k] = static_cast<UInt8>(0x80 | (codePoint & 0x3F));
  out[0] = static_cast<UInt8>(kLeads[length] | codePoint);
  return length;
}

int EncodeUtf32Le(char32_t codePoint, UInt8* out) {
  for (int k = 0; k < 4; ++k) out[k] = static_cast<UInt8>(codePoint >> (8 * k));
  return 4;
}

using Encoder = int (*)(char32_t codePoint, UInt8* out);

Encoder EncoderFor(CFStringEncoding encoding) {
  if (encoding == kCFStringEncodingUTF8) return &EncodeUtf8;
  if (encoding == kCFStringEncodingUTF32LE) return &EncodeUtf32Le;
  return nullptr;
}

// Hands visit each code point of units[begin, end), surrogate pairs joined, and whether it
// is an unpaired surrogate; stops where visit returns false. Returns the units visited.
template <typename Visit>
CFIndex ForEachCodePoint(const std::u16string& units, CFIndex begin, CFIndex end, Visit visit) {
  CFIndex index = begin;
  while (index < end) {
    char32_t codePoint = units[index];
    CFIndex width = 1;
    if (IsHighSurrogate(codePoint) && index + 1 < end && IsLowSurrogate(units[index + 1])) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (units[index + 1] - 0xDC00);
      width = 2;
    }
    if (!visit(codePoint, IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))) break;
    index += width;
  }
  return index - begin;
}

// Encodes units[begin, end) into buffer, or only measures when buffer is null; a character
// that does not fit whole ends the conversion. Returns the units converted.
CFIndex Encode(const std::u16string& units, CFIndex begin, CFIndex end, Encoder encode, UInt8 lossByte,
               UInt8* buffer, CFIndex capacity, CFIndex& used) {
  used = 0;
  return ForEachCodePoint(units, begin, end, [&](char32_t codePoint, bool unpaired) {
    if (unpaired) {
      if (lossByte == 0) return false;
      codePoint = lossByte;
    }
    UInt8 bytes[4];
    const int length = encode(codePoint, bytes);
    if (buffer) {
      if (length > capacity - used) return false;
      std::memcpy(buffer + used, bytes, static_cast<std::size_t>(length));
    }
    used += length;
    return true;
  });
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

CFStringRef CreateStringFromUtf8(std::string_view text) {
  bool valid = false;
  return new CFStringObject(DecodeUtf8(text, valid));
}

std::string Utf8Of(const std::u16string& units) {
  std::string text;
  ForEachCodePoint(units, 0, static_cast<CFIndex>(units.size()), [&](char32_t codePoint, bool unpaired) {
    UInt8 bytes[4];
    const int length = EncodeUtf8(unpaired ? kReplacement : codePoint, bytes);
    text.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    return true;
  });
  return text;
}

std::string Utf8Of(CFStringRef string) { return Utf8Of(string->units); }

}  // namespace macstandin

CFTypeID CFStringGetTypeID() { return macstandin::kStringTypeId; }

CFIndex CFStringGetLength(CFStringRef string) { return static_cast<CFIndex>(string->units.size()); }

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
  if (cStr == nullptr || encoding != kCFStringEncodingUTF8) return nullptr;
  bool valid = false;
  std::u16string units = DecodeUtf8(cStr, valid);
  return valid ? new CFStringObject(std::move(units)) : nullptr;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
  if (buffer == nullptr || bufferSize <= 0) return false;
  buffer[0] = '\0';
  if (encoding != kCFStringEncodingUTF8) return false;
  const CFIndex length = CFStringGetLength(theString);
  CFIndex used = 0;
  const CFIndex converted = Encode(theString->units, 0, length, &EncodeUtf8, 0, reinterpret_cast<UInt8*>(buffer),
                                   bufferSize - 1, used);
  if (converted != length) return false;
  buffer[used] = '\0';
  return true;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
  // A code unit takes at most 3 bytes in UTF-8 (a pair takes 4) and 4 in UTF-32.
  const CFIndex perUnit = encoding == kCFStringEncodingUTF8 ? 3 : encoding == kCFStringEncodingUTF32LE ? 4 : 0;
  if (perUnit == 0 || length < 0 || length > std::numeric_limits<CFIndex>::max() / perUnit) return kCFNotFound;
  return length * perUnit;
}

const char* CFStringGetCStringPtr(CFStringRef, CFStringEncoding) { return nullptr; }

CFIndex CFStringGetBytes(CFStringRef string, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean /*isExternalRepresentation: neither encoding takes a byte-order mark*/,
                         UInt8* buffer, CFIndex maxBufferLength, CFIndex* usedBufferLength) {
  const Encoder encode = EncoderFor(encoding);
  CFIndex used = 0;
  CFIndex converted = 0;
  if (encode && range.location >= 0 && range.length >= 0 && range.location <= CFStringGetLength(string) &&
      range.length <= CFStringGetLength(string) - range.location) {
    converted = Encode(string->units, range.location, range.location + range.length, encode, lossByte, buffer,
                       maxBufferLength, used);
  }
  if (usedBufferLength) *usedBufferLength = used;
  return converted;
}
