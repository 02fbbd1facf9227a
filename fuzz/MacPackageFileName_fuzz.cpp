// The name a downloaded package is kept under, as the macOS agent takes it from the package's
// URL: the input is the URL's text. Whatever the text, the name must stay a plain file name in
// the temporary folder, or the download and its clean-up would touch another path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "agent-macos/packages/PackageFileName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> fromURL = Utils::fileNameFromURL(text);
  // Cut after its last backslash.
  if (fromURL && fromURL->find('\\') != std::string::npos) {
    std::fprintf(stderr, "a backslash left in the URL's file name\n");
    std::abort();
  }
  const std::string name = Utils::packageFileName(fromURL);
  if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
    std::fprintf(stderr, "not a plain file name: %s\n", name.c_str());
    std::abort();
  }
  return 0;
}
