#include "agent-windows/update/PackageExecutable.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/update/PackageTestDrive.h"
#include "testkit/logcapture/LogCapture.h"
#include "testkit/packages/Zip.h"

namespace {

using testkit::packages::MakeZip;
using update_test::kPackageFolder;

TEST(GetExePathByZip, EachKindOfPackageGivesTheFileToStart) {
  const std::string unpacked = std::string(update_test::kPackageFolderOnDrive) + "/";
  struct Case {
    const char* what;
    std::string file;  // under C:\Downloads
    std::string bytes;
    std::wstring path;                // the result
    std::vector<std::string> errors;  // the lines logged
    std::set<std::string> files;      // on the drive afterwards
  };
  const Case cases[] = {
      {"an executable", "p.exe", "MZ", L"C:\\Downloads\\p.exe", {}, {"Downloads/p.exe"}},
      {"a download", "DLF1A2B.tmp", "MZ", L"C:\\Downloads\\DLF1A2B.exe",
       {"exename == tmp", "C:\\Downloads\\DLF1A2B.exe"}, {"Downloads/DLF1A2B.exe"}},
      {"a zip with an executable", "p.zip", MakeZip({{"readme.txt", "r"}, {"setup.exe", "MZ"}}),
       std::wstring(kPackageFolder) + L"setup.exe", {},
       {"Downloads/p.zip", unpacked + "readme.txt", unpacked + "setup.exe"}},
      {"a zip without an executable", "p.zip", MakeZip({{"readme.txt", "r"}, {"tools.exe/readme.txt", "r"}}),
       L"C:\\Downloads\\p.zip", {"unfind exe file in zip file."},
       {"Downloads/p.zip", unpacked + "readme.txt", unpacked + "tools.exe/readme.txt"}},
      {"a zip that does not unpack", "p.zip", "PK but no archive", L"C:\\Downloads\\p.zip",
       {"GetExePathByZip Method is unzip fail."}, {"Downloads/p.zip"}},
      {"another kind", "p.msi", "x", L"C:\\Downloads\\p.msi", {"GetExePathByZip Method is not support  msi"},
       {"Downloads/p.msi"}},
      {"an extension in capitals", "p.EXE", "MZ", L"C:\\Downloads\\p.EXE", {"GetExePathByZip Method is not support  EXE"},
       {"Downloads/p.EXE"}},
      {"no extension", "p", "MZ", L"C:\\Downloads\\p", {}, {"Downloads/p"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    update_test::PackageTestDrive drive;
    drive.Write("Downloads/" + c.file, c.bytes);
    // What an earlier package left must not be taken for this one's executable.
    drive.Write(unpacked + "earlier.exe", "MZ");
    const bool emptiesFolder = c.file == "p.zip";
    testkit::LogCapture log;
    EXPECT_EQ(GetExePathByZip(L"C:\\Downloads\\" + std::wstring(c.file.begin(), c.file.end()), kPackageFolder),
              c.path);
    EXPECT_EQ(log.Errors(), c.errors);
    std::set<std::string> files = c.files;
    if (!emptiesFolder) files.insert(unpacked + "earlier.exe");
    EXPECT_EQ(drive.Files(), files);
  }
}

TEST(GetExePathByZip, ADownloadWhoseExecutableNameIsTakenKeepsItsOwnName) {
  update_test::PackageTestDrive drive;
  drive.Write("Downloads/DLF1A2B.tmp", "MZ verified");
  drive.Write("Downloads/DLF1A2B.exe", "MZ never verified");
  testkit::LogCapture log;
  EXPECT_EQ(GetExePathByZip(L"C:\\Downloads\\DLF1A2B.tmp", kPackageFolder), L"C:\\Downloads\\DLF1A2B.tmp");
  EXPECT_EQ(log.Errors(),
            (std::vector<std::string>{"exename == tmp", "C:\\Downloads\\DLF1A2B.exe", "MoveFile failed ( 183 )."}));
  EXPECT_EQ(drive.Read("Downloads/DLF1A2B.exe"), "MZ never verified");
}

}  // namespace
