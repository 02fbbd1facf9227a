#include "testkit/packages/Zip.h"

#include <stdexcept>

#include <minizip/zip.h>

#include "testkit/packages/WorkFolder.h"

namespace testkit::packages {
namespace {

constexpr uLong kMadeOnUnix = 3;

void Require(int result, const std::string& step) {
  if (result != ZIP_OK) throw std::runtime_error("zip: " + step + " failed (" + std::to_string(result) + ")");
}

}  // namespace

std::string MakeZip(const std::vector<ZipEntry>& entries) {
  WorkFolder folder;
  const std::string path = folder.File("package.zip");
  zipFile archive = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (archive == nullptr) throw std::runtime_error("zip: cannot create " + path);
  for (const ZipEntry& entry : entries) {
    // A valid date: some readers refuse the zero one.
    zip_fileinfo info{};
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_year = 2024;
    info.external_fa = static_cast<uLong>(entry.mode) << 16;
    // "Made by Unix" tells unzip to apply the mode; 20 is the format version minizip writes.
    const uLong madeBy = entry.mode == 0 ? 0 : (kMadeOnUnix << 8) | 20;
    int result = zipOpenNewFileInZip4_64(archive, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                         Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                         Z_DEFAULT_STRATEGY, nullptr, 0, madeBy, 0, 0);
    if (result == ZIP_OK && !entry.bytes.empty())
      result = zipWriteInFileInZip(archive, entry.bytes.data(), static_cast<unsigned>(entry.bytes.size()));
    if (result == ZIP_OK) result = zipCloseFileInZip(archive);
    if (result != ZIP_OK) {
      zipClose(archive, nullptr);
      Require(result, "entry " + entry.name);
    }
  }
  Require(zipClose(archive, nullptr), "closing the archive");
  return WorkFolder::Read(path);
}

}  // namespace testkit::packages
