#include "testkit/mgmt-server/PackageQuery.h"

namespace testkit::mgmt {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (text.size() - i < 3) return std::nullopt;  // a '%' needs two hex digits after it
    int high = HexValue(text[i + 1]);
    int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

}  // namespace

std::optional<std::string> PackageNameFromTarget(std::string_view target) {
  std::size_t question = target.find('?');
  if (question == std::string_view::npos) return std::nullopt;
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view pair = query.substr(0, amp);
    constexpr std::string_view key = "filename=";
    if (pair.substr(0, key.size()) == key) return PercentDecode(pair.substr(key.size()));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return std::nullopt;
}

}  // namespace testkit::mgmt
