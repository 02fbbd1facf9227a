// A configuration profile as the macOS agent reads it: the file's property list (XML or
// binary), its "PayloadContent" and the text values of the first payload.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "agent-macos/settings/MobileConfig.h"
#include "fuzz/ScratchFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = (fuzzing::ScratchFolder("mac_mobileconfig") / "TarvikConfig.mobileconfig").string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  readMobileConfig({path}, {CFSTR("Server"), CFSTR("Port"), CFSTR("Protocol"), CFSTR("Folder"), CFSTR("LogLevel")});
  return 0;
}
