#include "agent-windows/update/Unzip.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/update/PackageTestDrive.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/packages/Zip.h"

namespace {

using testkit::packages::MakeZip;
using testkit::packages::ZipEntry;
using update_test::kPackageFolder;

constexpr char kZip[] = "Downloads/package.zip";
constexpr wchar_t kZipPath[] = L"C:\\Downloads\\package.zip";

// The archive's one entry turned into a symbolic link made on Unix.
std::string AsLink(std::string zip) {
  const std::string::size_type central = zip.find(std::string("PK\x01\x02", 4));
  if (central == std::string::npos) return zip;
  const std::uint32_t attributes = 0120777u << 16;
  zip[central + 4] = 30;  // version made by: 3.0 on Unix
  zip[central + 5] = 3;
  for (int i = 0; i < 4; ++i) zip[central + 38 + static_cast<std::size_t>(i)] = static_cast<char>(attributes >> (8 * i));
  return zip;
}

std::set<std::string> InPackage(const std::set<std::string>& paths) {
  std::set<std::string> files{kZip};
  for (const std::string& path : paths) files.insert(std::string(update_test::kPackageFolderOnDrive) + "/" + path);
  return files;
}

TEST(UnzipPackage, EntriesLandInTheFolderOrTheArchiveIsRefused) {
  struct Case {
    const char* what;
    std::string zip;
    bool unpacked;
    std::set<std::string> files;  // under the package folder afterwards
    bool refusedLine;
  };
  const std::string longName(600, 'n');
  const Case cases[] = {
      {"nested folders without folder entries", MakeZip({{"a/b/c.txt", "c"}, {"a/d.exe", "d"}, {"e.txt", "e"}}),
       true, {"a/b/c.txt", "a/d.exe", "e.txt"}, false},
      {"backslashes separate folders", MakeZip({{"a\\b\\c.txt", "c"}}), true, {"a/b/c.txt"}, false},
      {"folder entries", MakeZip({{"f/", ""}, {"f/g/", ""}, {"f/g/h.txt", "h"}}), true, {"f/g/h.txt"}, false},
      {"a climb out", MakeZip({{"../evil.txt", "x"}}), false, {}, true},
      {"a climb out after a folder", MakeZip({{"ok.txt", "o"}, {"a/../../evil.txt", "x"}}), false, {"ok.txt"}, true},
      {"a climb out with backslashes", MakeZip({{"a\\..\\..\\evil.txt", "x"}}), false, {}, true},
      {"a climb that Windows trims to ..", MakeZip({{"... \\evil.txt", "x"}}), false, {}, true},
      {"an absolute name", MakeZip({{"/evil.txt", "x"}}), false, {}, true},
      {"an absolute name with a backslash", MakeZip({{"\\evil.txt", "x"}}), false, {}, true},
      {"a drive", MakeZip({{"C:\\evil.txt", "x"}}), false, {}, true},
      {"a drive-relative name", MakeZip({{"C:evil.txt", "x"}}), false, {}, true},
      {"a link", AsLink(MakeZip({{"link", "/etc"}})), false, {}, true},
      {"a name longer than the entry's name buffer", MakeZip({{longName, "x"}}), false, {}, false},
      {"no archive at all", "not a zip", false, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    update_test::PackageTestDrive drive;
    drive.Write(kZip, c.zip);
    testkit::LogCapture log;
    EXPECT_EQ(UnzipPackage(kZipPath, kPackageFolder), c.unpacked);
    EXPECT_EQ(drive.Files(), InPackage(c.files));
    bool refused = false;
    for (const std::string& line : log.Errors()) refused |= line.find(" refused: ") != std::string::npos;
    EXPECT_EQ(refused, c.refusedLine);
  }
}

TEST(UnzipPackage, EntriesKeepTheirBytesAndTheFolderLosesWhatWasThereBefore) {
  update_test::PackageTestDrive drive;
  const std::string big(3 * 4096 + 17, 'b');
  drive.Write(kZip, MakeZip({{"setup.exe", big}, {"data/readme.txt", "read me"}, {"empty.txt", ""}}));
  drive.Write(std::string(update_test::kPackageFolderOnDrive) + "/old/stale.exe", "stale");
  ASSERT_TRUE(UnzipPackage(kZipPath, kPackageFolder));
  EXPECT_EQ(drive.Files(), InPackage({"setup.exe", "data/readme.txt", "empty.txt"}));
  const std::string folder = std::string(update_test::kPackageFolderOnDrive) + "/";
  EXPECT_EQ(drive.Read(folder + "setup.exe"), big);
  EXPECT_EQ(drive.Read(folder + "data/readme.txt"), "read me");
  EXPECT_EQ(drive.Read(folder + "empty.txt"), "");
}

}  // namespace
