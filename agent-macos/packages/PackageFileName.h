// The name a downloaded package is kept under, taken from its URL.
#pragma once

#include <optional>
#include <string>

namespace Utils {

// The value of the URL's first "filename" query item, percent-decoded as the URL's query items
// give it and then once more where that succeeds, cut after its last backslash or, without one,
// after its last slash. None when the URL has no such item or the item has no value.
std::optional<std::string> fileNameFromURL(const std::string& text);

// The archive's name in the agent's temporary folder: name when it is a plain file name there,
// "Tarvik.zip" otherwise (none, empty, ".", "..", a slash left after a backslash, a NUL byte).
std::string packageFileName(const std::optional<std::string>& name);

}  // namespace Utils
