// A line of the server program's standard input: "@SN TEXT" sends TEXT to the connections whose
// agent sent that "SN" (which then holds no space), any other line goes to every connection as
// it stands.
#pragma once

#include <optional>
#include <string>

namespace testkit {

struct InputLine {
  std::optional<std::string> sn;  // none: for every connection
  std::string text;
};

InputLine ReadInputLine(const std::string& line);

}  // namespace testkit
