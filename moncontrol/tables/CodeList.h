// A capability string's code list: codes separated by spaces, each optionally followed by its
// value list in parentheses, which may nest: 02 10 14(01 05 08) F8(03 05(00 01)).
#pragma once

#include <string>

#include "moncontrol/tables/TextMap.h"

// Adds every code of the list with its value text (empty when it has none) to codes.
void ParseVcpList(const std::string& text, TextMap& codes);
// The codes of a value list that is itself a code list, such as 0xF8's sub-codes.
TextMap ParseSubCodeList(const std::string& text);
