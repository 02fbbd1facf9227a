#include "foundation/text/UrlEncode.h"

std::string UrlEncode(const std::string& text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x21 && byte <= 0x7E && byte != '%' && byte != ':' && byte != '\\') {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kDigits[byte >> 4]);
      encoded.push_back(kDigits[byte & 0x0F]);
    }
  }
  return encoded;
}
