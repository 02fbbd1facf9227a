#include "foundation/log/WideFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#if !defined(TARVIK_MACOS)
#include "platform/win32/Win32.h"
#endif

namespace tarvik {
namespace {

// Length modifiers of the Windows CRT.
enum class Size { kDefault, kHH, kH, kL, kLL, kI64, kI32, kI, kZ, kT, kJ, kBigL, kW };

struct Spec {
  bool minus = false;
  bool plus = false;
  bool space = false;
  bool hash = false;
  bool zero = false;
  int width = 0;       // 0: none
  int precision = -1;  // -1: none
  Size size = Size::kDefault;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads a decimal field, capped so that it cannot overflow.
int ReadNumber(const wchar_t*& p) {
  int value = 0;
  while (IsDigit(*p)) {
    if (value <= kMaxWideFormatField) value = value * 10 + static_cast<int>(*p - L'0');
    ++p;
  }
  return value > kMaxWideFormatField ? kMaxWideFormatField : value;
}

int CapField(long long value) {
  return value > kMaxWideFormatField ? kMaxWideFormatField : static_cast<int>(value);
}

// Pads a finished conversion to the width; the 0 flag pads with zeros (strings too, as the CRT).
void AppendPadded(std::wstring& out, const Spec& spec, const std::wstring& body) {
  std::size_t width = static_cast<std::size_t>(spec.width);
  std::size_t fill = width > body.size() ? width - body.size() : 0;
  if (spec.minus) {
    out += body;
    out.append(fill, L' ');
  } else {
    out.append(fill, spec.zero ? L'0' : L' ');
    out += body;
  }
}

void AppendInteger(std::wstring& out, const Spec& spec, bool negative, std::uint64_t magnitude,
                   unsigned base, bool upper, bool isSigned) {
  std::wstring digits;
  if (!(spec.precision == 0 && magnitude == 0)) {
    const wchar_t* symbols = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::uint64_t rest = magnitude;
    do {
      digits.insert(digits.begin(), symbols[rest % base]);
      rest /= base;
    } while (rest != 0);
  }
  if (spec.precision > 0 && digits.size() < static_cast<std::size_t>(spec.precision))
    digits.insert(0, static_cast<std::size_t>(spec.precision) - digits.size(), L'0');
  if (spec.hash && base == 8 && (digits.empty() || digits[0] != L'0')) digits.insert(0, 1, L'0');

  std::wstring prefix;
  if (isSigned) {
    if (negative) prefix = L"-";
    else if (spec.plus) prefix = L"+";
    else if (spec.space) prefix = L" ";
  }
  if (spec.hash && base == 16 && magnitude != 0) prefix = upper ? L"0X" : L"0x";

  std::size_t width = static_cast<std::size_t>(spec.width);
  std::size_t length = prefix.size() + digits.size();
  std::size_t fill = width > length ? width - length : 0;
  if (spec.minus) {
    out += prefix;
    out += digits;
    out.append(fill, L' ');
  } else if (spec.zero && spec.precision < 0) {
    out += prefix;
    out.append(fill, L'0');
    out += digits;
  } else {
    out.append(fill, L' ');
    out += prefix;
    out += digits;
  }
}

std::int64_t FetchSigned(va_list* ap, Size size) {
  switch (size) {
    case Size::kHH: return static_cast<signed char>(va_arg(*ap, int));
    case Size::kH: return static_cast<short>(va_arg(*ap, int));
    case Size::kLL:
    case Size::kI64:
    case Size::kJ: return va_arg(*ap, long long);
    case Size::kI:
    case Size::kZ:
    case Size::kT: return va_arg(*ap, std::ptrdiff_t);
    default: return va_arg(*ap, int);  // none, l, I32: 32 bits
  }
}

std::uint64_t FetchUnsigned(va_list* ap, Size size) {
  switch (size) {
    case Size::kHH: return static_cast<unsigned char>(va_arg(*ap, unsigned int));
    case Size::kH: return static_cast<unsigned short>(va_arg(*ap, unsigned int));
    case Size::kLL:
    case Size::kI64:
    case Size::kJ: return va_arg(*ap, unsigned long long);
    case Size::kI:
    case Size::kZ:
    case Size::kT: return va_arg(*ap, std::size_t);
    default: return va_arg(*ap, unsigned int);  // none, l, I32: 32 bits
  }
}

#if defined(TARVIK_MACOS)
// Narrow text in the C runtime's multibyte encoding to wide; a byte it cannot convert stands for
// itself, so nothing after it is lost.
std::wstring Widen(const char* text, std::size_t length) {
  std::wstring out;
  std::mbstate_t state{};
  for (std::size_t i = 0; i < length;) {
    wchar_t wide = 0;
    std::size_t used = std::mbrtowc(&wide, text + i, length - i, &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      wide = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
      used = 1;
      state = std::mbstate_t{};
    }
    out.push_back(wide);
    i += used == 0 ? 1 : used;  // 0: an embedded NUL
  }
  return out;
}
#else
// Narrow text in the ANSI code page to wide.
std::wstring Widen(const char* text, std::size_t length) {
  if (length == 0) return {};
  int narrowLength = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text, narrowLength, nullptr, 0);
  if (wideLength <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(wideLength));
  int written = MultiByteToWideChar(CP_ACP, 0, text, narrowLength, buffer.data(), wideLength);
  if (written <= 0) return {};
  return std::wstring(buffer.data(), static_cast<std::size_t>(written));
}
#endif

template <typename Char>
std::size_t BoundedLength(const Char* text, int precision) {
  std::size_t limit = precision < 0 ? SIZE_MAX : static_cast<std::size_t>(precision);
  std::size_t length = 0;
  while (length < limit && text[length] != 0) ++length;
  return length;
}

void AppendString(std::wstring& out, const Spec& spec, bool wide, va_list* ap) {
  static const wchar_t kNull[] = L"(null)";
  std::wstring body;
  if (wide) {
    const wchar_t* text = va_arg(*ap, const wchar_t*);
    if (text == nullptr) text = kNull;
    body.assign(text, BoundedLength(text, spec.precision));
  } else {
    const char* text = va_arg(*ap, const char*);
    if (text == nullptr) body.assign(kNull, BoundedLength(kNull, spec.precision));
    else body = Widen(text, BoundedLength(text, spec.precision));
  }
  AppendPadded(out, spec, body);
}

void AppendChar(std::wstring& out, const Spec& spec, bool wide, va_list* ap) {
  int value = va_arg(*ap, int);
  std::wstring body;
  if (wide) {
    body.assign(1, static_cast<wchar_t>(value));
  } else {
    char narrow = static_cast<char>(value);
    body = narrow == 0 ? std::wstring(1, L'\0') : Widen(&narrow, 1);
  }
  AppendPadded(out, spec, body);
}

void AppendFloat(std::wstring& out, const Spec& spec, wchar_t conversion, va_list* ap) {
  double value = va_arg(*ap, double);  // L too: long double is double on Windows
  char format[16];
  std::size_t n = 0;
  format[n++] = '%';
  if (spec.minus) format[n++] = '-';
  if (spec.plus) format[n++] = '+';
  if (spec.space) format[n++] = ' ';
  if (spec.hash) format[n++] = '#';
  if (spec.zero) format[n++] = '0';
  format[n++] = '*';
  format[n++] = '.';
  format[n++] = '*';
  format[n++] = static_cast<char>(conversion);
  format[n] = '\0';
  int precision = spec.precision < 0 ? -1 : CapField(spec.precision);
  int length = std::snprintf(nullptr, 0, format, spec.width, precision, value);
  if (length <= 0) return;
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, spec.width, precision, value);
  for (int i = 0; i < length; ++i) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(buffer[i])));
}

}  // namespace

std::wstring FormatWideV(const wchar_t* format, va_list args) {
  std::wstring out;
  if (format == nullptr) return out;
  va_list ap;
  va_copy(ap, args);
  const wchar_t* p = format;
  while (*p != L'\0') {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out.push_back(L'%');
      ++p;
      continue;
    }
    Spec spec;
    for (bool flags = true; flags;) {
      switch (*p) {
        case L'-': spec.minus = true; ++p; break;
        case L'+': spec.plus = true; ++p; break;
        case L' ': spec.space = true; ++p; break;
        case L'#': spec.hash = true; ++p; break;
        case L'0': spec.zero = true; ++p; break;
        default: flags = false; break;
      }
    }
    if (*p == L'*') {
      long long width = va_arg(ap, int);
      if (width < 0) {
        spec.minus = true;
        width = -width;
      }
      spec.width = CapField(width);
      ++p;
    } else {
      spec.width = ReadNumber(p);
    }
    if (*p == L'.') {
      ++p;
      if (*p == L'*') {
        int precision = va_arg(ap, int);
        spec.precision = precision < 0 ? -1 : precision;
        ++p;
      } else {
        spec.precision = ReadNumber(p);
      }
    }
    switch (*p) {
      case L'h':
        if (p[1] == L'h') { spec.size = Size::kHH; p += 2; }
        else { spec.size = Size::kH; ++p; }
        break;
      case L'l':
        if (p[1] == L'l') { spec.size = Size::kLL; p += 2; }
        else { spec.size = Size::kL; ++p; }
        break;
      case L'I':
        if (p[1] == L'6' && p[2] == L'4') { spec.size = Size::kI64; p += 3; }
        else if (p[1] == L'3' && p[2] == L'2') { spec.size = Size::kI32; p += 3; }
        else { spec.size = Size::kI; ++p; }
        break;
      case L'z': spec.size = Size::kZ; ++p; break;
      case L't': spec.size = Size::kT; ++p; break;
      case L'j': spec.size = Size::kJ; ++p; break;
      case L'L': spec.size = Size::kBigL; ++p; break;
      case L'w': spec.size = Size::kW; ++p; break;
      default: break;
    }
    wchar_t conversion = *p;
    if (conversion == L'\0') {  // the format ends inside a conversion: copy it as written
      out.append(start, p);
      break;
    }
    ++p;
    // Numeric fields beyond the cap are cut; string precision only limits what is read.
    Spec numeric = spec;
    if (numeric.precision > kMaxWideFormatField) numeric.precision = kMaxWideFormatField;
    switch (conversion) {
      case L'd':
      case L'i': {
        std::int64_t value = FetchSigned(&ap, spec.size);
        std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
        AppendInteger(out, numeric, value < 0, magnitude, 10, false, true);
        break;
      }
      case L'u': AppendInteger(out, numeric, false, FetchUnsigned(&ap, spec.size), 10, false, false); break;
      case L'o': AppendInteger(out, numeric, false, FetchUnsigned(&ap, spec.size), 8, false, false); break;
      case L'x': AppendInteger(out, numeric, false, FetchUnsigned(&ap, spec.size), 16, false, false); break;
      case L'X': AppendInteger(out, numeric, false, FetchUnsigned(&ap, spec.size), 16, true, false); break;
      case L'p': {
        auto value = reinterpret_cast<std::uintptr_t>(va_arg(ap, void*));
        constexpr int kDigits = static_cast<int>(2 * sizeof(void*));
        if (numeric.precision < kDigits) numeric.precision = kDigits;
        AppendInteger(out, numeric, false, value, 16, true, false);
        break;
      }
      case L's':
        AppendString(out, spec, spec.size != Size::kH, &ap);
        break;
      case L'S':
        AppendString(out, spec, spec.size == Size::kL || spec.size == Size::kW, &ap);
        break;
      case L'c':
        AppendChar(out, spec, spec.size != Size::kH, &ap);
        break;
      case L'C':
        AppendChar(out, spec, spec.size == Size::kL || spec.size == Size::kW, &ap);
        break;
      case L'f':
      case L'F':
      case L'e':
      case L'E':
      case L'g':
      case L'G':
      case L'a':
      case L'A':
        AppendFloat(out, numeric, conversion, &ap);
        break;
      default:  // unknown letter, %n: copied as written, no argument read
        out.append(start, p);
        break;
    }
  }
  va_end(ap);
  return out;
}

std::wstring FormatWide(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring text = FormatWideV(format, args);
  va_end(args);
  return text;
}

}  // namespace tarvik
