#include "agent-macos/packages/ArgumentList.h"

#include <cstdio>

namespace packages {
namespace {

void appendEscaped(std::string& out, const std::string& word) {
  for (const char c : word) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escape[12];
          std::snprintf(escape, sizeof escape, "\\u{%x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escape;
        } else {
          out += c;
        }
    }
  }
}

}  // namespace

std::string quotedList(const std::vector<std::string>& words) {
  std::string out = "[";
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += ", ";
    out += '"';
    appendEscaped(out, words[i]);
    out += '"';
  }
  return out + "]";
}

}  // namespace packages
