// A downloaded update package, as the agent unpacks it: the input is the zip file's bytes. Every
// entry must land inside the unpack folder; anything written elsewhere in the scratch drive
// (a sibling folder that stays empty included) aborts the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <spdlog/spdlog.h>

#include "agent-windows/update/Unzip.h"
#include "fuzz/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kZip[] = L"C:\\Downloads\\package.zip";
constexpr wchar_t kFolder[] = L"C:\\Program\\TMP_QUELMO\\";

// Drive C: inside the scratch folder, so an entry that climbs out of the drive still lands where
// the check below looks.
struct Scratch {
  fs::path root = fuzzing::ScratchFolder("unzip");
  fs::path drive = root / "c";
  fs::path zip = drive / "Downloads" / "package.zip";
  fs::path folder = drive / "Program" / "TMP_QUELMO";
  fs::path sentinel = drive / "Program" / "sentinel";

  Scratch() {
    fs::create_directories(zip.parent_path());
    fs::create_directories(sentinel);
    setenv("TARVIK_C_DRIVE", drive.c_str(), 1);
    spdlog::set_level(spdlog::level::off);
  }

  static const Scratch& Get() {
    static const Scratch scratch;
    return scratch;
  }

  // Aborts when something other than the zip and the unpacked entries is in the tree.
  void CheckNothingOutsideTheFolder() const {
    const std::set<fs::path> fixed{drive, zip.parent_path(), zip, folder.parent_path(), sentinel};
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
      const fs::path& path = it->path();
      if (fixed.count(path) != 0) continue;
      if (path == folder) {
        it.disable_recursion_pending();
        continue;
      }
      std::fprintf(stderr, "zip entry written outside the unpack folder: %s\n", path.c_str());
      std::abort();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Scratch& scratch = Scratch::Get();
  std::ofstream(scratch.zip, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  UnzipPackage(kZip, kFolder);
  scratch.CheckNothingOutsideTheFolder();
  fs::remove_all(scratch.folder);
  return 0;
}
