// Percent-encoding of a URL query value.
#pragma once

#include <string>

// Bytes 0x21 to 0x7E stay as they are, but for '%', ':' and '\'; every other byte becomes
// "%XX" in upper-case hex (a blank gives "%20").
std::string UrlEncode(const std::string& text);
