// libplist recurses once per level of nesting as it reads a binary list and as it frees any
// list, and copies an object that a binary list refers to from many places once per
// reference, so a small hostile file could exhaust the stack or memory; and it takes an XML
// list cut off before its closing tags as whole. These checks run before libplist sees the
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace macstandin {

// Far beyond what preferences and profiles use, and well within a thread's stack.
inline constexpr std::size_t kMaxPropertyListDepth = 256;
inline constexpr std::uint64_t kMaxPropertyListValues = 1 << 20;

// False when the binary list is malformed or cyclic, nests deeper than kMaxPropertyListDepth
// or, each reference counted as a copy, holds more than kMaxPropertyListValues values.
bool BinaryPropertyListWithinLimits(std::string_view bytes);
// False when the XML is cut short before its outermost element closes, its elements nest
// deeper than kMaxPropertyListDepth below <plist>, or there are more than
// kMaxPropertyListValues of them.
bool XmlPropertyListWithinLimits(std::string_view bytes);

}  // namespace macstandin
