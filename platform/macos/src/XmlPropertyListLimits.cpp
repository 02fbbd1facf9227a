#include <string_view>

#include "platform/macos/internal/PropertyListLimits.h"

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// The '>' that ends the tag opened at start, passing over quoted attribute values.
std::size_t EndOfTag(std::string_view xml, std::size_t start) {
  for (std::size_t at = start; at < xml.size(); ++at) {
    if (xml[at] == '>') return at;
    if (xml[at] == '"' || xml[at] == '\'') {
      at = xml.find(xml[at], at + 1);
      if (at == kNone) return kNone;
    }
  }
  return kNone;
}

}  // namespace

namespace macstandin {

// Counts elements as XML does: comments, character data, processing instructions and
// declarations hold none, and libplist reads nothing after the outermost element. libplist
// takes a list whose closing tags are cut off as whole; this does not.
bool XmlPropertyListWithinLimits(std::string_view xml) {
  // The <plist> element around the list is one level more.
  constexpr std::size_t kMaxElementDepth = kMaxPropertyListDepth + 1;
  std::size_t depth = 0;
  std::uint64_t elements = 0;
  std::size_t at = 0;
  auto skipPast = [&](std::size_t from, std::string_view end) {
    at = xml.find(end, from);
    if (at != kNone) at += end.size();
    return at != kNone;
  };
  while ((at = xml.find('<', at)) != kNone) {
    const std::string_view markup = xml.substr(at);
    if (markup.starts_with("<!--")) {
      if (!skipPast(at + 4, "-->")) return false;
    } else if (markup.starts_with("<![CDATA[")) {
      if (!skipPast(at + 9, "]]>")) return false;
    } else if (markup.starts_with("<?")) {
      if (!skipPast(at + 2, "?>")) return false;
    } else if (markup.starts_with("<!")) {
      if (!skipPast(at + 2, ">")) return false;
    } else if (markup.starts_with("</")) {
      if (!skipPast(at + 2, ">")) return false;
      if (depth > 0 && --depth == 0) return true;
    } else {
      const std::size_t end = EndOfTag(xml, at + 1);
      if (end == kNone || ++elements > kMaxPropertyListValues) return false;
      const bool empty = xml[end - 1] == '/';
      if (empty && depth == 0) return true;
      if (!empty && ++depth > kMaxElementDepth) return false;
      at = end + 1;
    }
  }
  return false;
}

}  // namespace macstandin
