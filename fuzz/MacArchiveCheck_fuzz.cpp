// A downloaded update package as the macOS agent checks it before unpacking: the input is the
// zip file's bytes, and the check says whether every entry would land inside the unpack folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "agent-macos/packages/ArchiveCheck.h"
#include "fuzz/ScratchFolder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = (fuzzing::ScratchFolder("mac_archive_check") / "package.zip").string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  packages::archiveFault(path);
  return 0;
}
