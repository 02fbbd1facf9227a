// How the log shows an installer's arguments: ["a", "b"].
#pragma once

#include <string>
#include <vector>

namespace packages {

// Each word quoted, with quotes, backslashes and control characters escaped, so that a word
// can neither end its quotes early nor break the log line.
std::string quotedList(const std::vector<std::string>& words);

}  // namespace packages
