// A capability string's parts by name: tag -> text, or VCP code -> value list. Ordered by
// the names as byte strings; a name keeps the first text entered for it.
#pragma once

#include <map>
#include <string>

using TextMap = std::map<std::string, std::string>;
