#include "agent-macos/packages/PackageFileName.h"

#include <algorithm>
#include <string_view>

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// None when an escape is broken; "+" stays "+", as in a URL's query items.
std::optional<std::string> percentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (text.size() - i < 3) return std::nullopt;
    const int high = hexValue(text[i + 1]);
    const int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

// The query of the URL text, without its fragment; none when the text has no query.
std::optional<std::string_view> queryOf(std::string_view text) {
  const std::string_view withoutFragment = text.substr(0, text.find('#'));
  const std::size_t question = withoutFragment.find('?');
  if (question == std::string_view::npos) return std::nullopt;
  return withoutFragment.substr(question + 1);
}

}  // namespace

namespace Utils {

std::optional<std::string> fileNameFromURL(const std::string& text) {
  const std::optional<std::string_view> query = queryOf(text);
  if (!query) return std::nullopt;
  std::optional<std::string> value;
  for (std::size_t start = 0; start <= query->size();) {
    const std::size_t end = std::min(query->find('&', start), query->size());
    const std::string_view item = query->substr(start, end - start);
    start = end + 1;
    const std::size_t equals = item.find('=');
    if (percentDecoded(item.substr(0, equals)) != "filename") continue;
    // A query with a broken escape is no URL; an item without "=" has no value.
    if (equals == std::string_view::npos) return std::nullopt;
    value = percentDecoded(item.substr(equals + 1));
    if (!value) return std::nullopt;
    break;
  }
  if (!value) return std::nullopt;
  std::string name = percentDecoded(*value).value_or(*value);
  if (const std::size_t backslash = name.rfind('\\'); backslash != std::string::npos)
    return name.substr(backslash + 1);
  if (const std::size_t slash = name.rfind('/'); slash != std::string::npos) return name.substr(slash + 1);
  return name;
}

std::string packageFileName(const std::optional<std::string>& name) {
  if (!name || name->empty() || *name == "." || *name == ".." ||
      name->find_first_of(std::string_view("/\0", 2)) != std::string::npos)
    return "Tarvik.zip";
  return *name;
}

}  // namespace Utils
