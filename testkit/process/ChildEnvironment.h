// The environment a test double starts a child with: this process's, with some variables set over it.
#pragma once

#include <unistd.h>  // environ

#include <string>
#include <utility>
#include <vector>

namespace testkit {

// This process's environment without the variables named in `set`, then `set`'s.
inline std::vector<std::string> ChildEnvironment(const std::vector<std::pair<std::string, std::string>>& set) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& variable : set) replaced = replaced || variable.first == name;
    if (!replaced) entries.push_back(text);
  }
  for (const auto& [name, value] : set) entries.push_back(name + "=" + value);
  return entries;
}

// The null-ended pointer array exec takes; valid while `texts` lives unchanged.
inline std::vector<char*> ExecPointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace testkit
