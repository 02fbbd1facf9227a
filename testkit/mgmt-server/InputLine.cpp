#include "testkit/mgmt-server/InputLine.h"

namespace testkit {

InputLine ReadInputLine(const std::string& line) {
  const std::size_t space = line.find(' ');
  if (!line.starts_with('@') || space == std::string::npos || space == 1)
    return {std::nullopt, line};
  return {line.substr(1, space - 1), line.substr(space + 1)};
}

}  // namespace testkit
