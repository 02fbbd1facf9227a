#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/macos/internal/CFValues.h"

namespace {

using macstandin::CFObject;

std::string Indent(int depth) { return std::string(static_cast<std::size_t>(4 * depth), ' '); }

// Inside a collection a text that is not one plain word is quoted, so its bounds stay visible.
std::string Quoted(const std::string& text) {
  constexpr std::string_view kPlainMarks = "_$+/:.-";
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [&](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kPlainMarks.find(c) != std::string_view::npos;
  });
  if (plain) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string NumberText(const CFNumberObject& number) {
  return std::visit(
      [](auto value) {
        char digits[32];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
      },
      number.value);
}

std::string Describe(const CFObject& object, int depth, bool nested);

std::string DescribeDictionary(const CFDictionaryObject& dictionary, int depth) {
  std::string text = "{\n";
  for (const auto& [key, value] : dictionary.entries)
    text += Indent(depth + 1) + Quoted(macstandin::Utf8Of(key)) + " = " + Describe(*value.Get(), depth + 1, true) +
            ";\n";
  return text + Indent(depth) + "}";
}

std::string DescribeArray(const CFArrayObject& array, int depth) {
  std::string text = "(";
  const char* separator = "\n";
  for (const auto& value : array.values) {
    text += separator + Indent(depth + 1) + Describe(*value.Get(), depth + 1, true);
    separator = ",\n";
  }
  return text + "\n" + Indent(depth) + ")";
}

std::string Describe(const CFObject& object, int depth, bool nested) {
  switch (object.TypeId()) {
    case macstandin::kStringTypeId: {
      const std::string text = macstandin::Utf8Of(&static_cast<const CFStringObject&>(object));
      return nested ? Quoted(text) : text;
    }
    case macstandin::kNumberTypeId:
      return NumberText(static_cast<const CFNumberObject&>(object));
    case macstandin::kBooleanTypeId:
      return static_cast<const CFBooleanObject&>(object).value ? "1" : "0";
    case macstandin::kDictionaryTypeId:
      return DescribeDictionary(static_cast<const CFDictionaryObject&>(object), depth);
    case macstandin::kArrayTypeId:
      return DescribeArray(static_cast<const CFArrayObject&>(object), depth);
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "<CFType %p>", static_cast<const void*>(&object));
      return text;
    }
  }
}

}  // namespace

CFStringRef CFCopyDescription(CFTypeRef cf) {
  return macstandin::CreateStringFromUtf8(Describe(*macstandin::CheckedObject(cf, "CFCopyDescription"), 0, false));
}
