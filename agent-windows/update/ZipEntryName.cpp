#include "agent-windows/update/ZipEntryName.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Windows drops trailing dots and blanks from a name, so "..." and ".. " climb like "..".
bool ClimbsOut(const std::string& part) {
  return part != "." && !part.empty() && part.find_first_not_of(". ") == std::string::npos;
}

}  // namespace

std::optional<std::vector<std::string>> SplitZipEntryName(const std::string& name) {
  if (name.empty() || IsSeparator(name.front()) || name.find(':') != std::string::npos) return std::nullopt;
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (IsSeparator(c))
      parts.emplace_back();
    else
      parts.back() += c;
  }
  for (const std::string& part : parts)
    if (ClimbsOut(part)) return std::nullopt;
  return parts;
}
