// Which VCP codes of a monitor belong to features that its model has enabled, with the
// monitor's values for them: from the capability string and the model-flag table.
#pragma once

#include <cstdint>

#include "foundation/Export.h"

// One VCP code of an enabled feature: the code as the capability string writes it ("10", or
// "F805" for sub-code 05 of 0xF8) and its value list (possibly empty). Both are strdup'ed;
// the caller frees them.
struct KeyValuePair {
  char* key;
  char* value;
};

// capsLen: the capability string's length with its terminating NUL, as GetCapabilities
// reports it. Fills at most maxPairs pairs in code order and stores their number in
// *pairCount (0 when the string or the table gives nothing).
TARVIK_EXPORT void CapstringToMap(std::uint32_t* capsLen, const char* caps, KeyValuePair* pairs,
                                  std::int32_t maxPairs, std::int32_t* pairCount);
