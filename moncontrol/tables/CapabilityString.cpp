#include "moncontrol/tables/CapabilityString.h"

TextMap ParseCapabilityString(const char* caps, std::uint32_t length) {
  TextMap tags;
  // Checked in this order so that a string of 0 or 1 bytes is never read before its start.
  if (caps == nullptr || length < 2 || caps[0] != '(' || caps[length - 2] != ')') return tags;
  std::string tag;
  std::string text;
  int depth = 0;
  for (std::uint32_t i = 1; i < length - 2; ++i) {
    const char c = caps[i];
    if (c == '(' && depth++ == 0) continue;  // opens the tag's text
    if (c == ')' && depth > 0 && --depth == 0) {
      tags.emplace(std::move(tag), std::move(text));
      tag.clear();
      text.clear();
      continue;
    }
    (depth > 0 ? text : tag) += c;
  }
  return tags;
}
