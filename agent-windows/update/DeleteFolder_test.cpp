#include "agent-windows/update/DeleteFolder.h"

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent-windows/update/PackageTestDrive.h"
#include "testkit/logcapture/LogCapture.h"

namespace {

TEST(DeleteFolder, RemovesNestedFoldersAndEverythingInThem) {
  update_test::PackageTestDrive drive;
  for (const char* file : {"Old/a/b/c/deep.txt", "Old/a/b/one.txt", "Old/a/two.exe", "Old/three", "Keep/k.txt"})
    drive.Write(file, "x");
  std::filesystem::create_directories(drive.Path("Old/empty/inner"));
  testkit::LogCapture log;
  EXPECT_TRUE(DeleteFolder(L"C:\\Old"));
  EXPECT_FALSE(std::filesystem::exists(drive.Path("Old")));
  EXPECT_EQ(drive.Files(), (std::set<std::string>{"Keep/k.txt"}));
  EXPECT_TRUE(log.Errors().empty());
  EXPECT_FALSE(DeleteFolder(L"C:\\Old"));
}

TEST(DeleteFolder, AFileThatCannotBeDeletedIsLoggedAndTheRestStillGoes) {
  update_test::PackageTestDrive drive;
  for (const char* file : {"Old/a/locked.txt", "Old/a/free.txt", "Old/b/free.txt"}) drive.Write(file, "x");
  std::filesystem::permissions(drive.Path("Old/a/locked.txt"), std::filesystem::perms::owner_read);
  testkit::LogCapture log;
  EXPECT_FALSE(DeleteFolder(L"C:\\Old"));
  EXPECT_EQ(drive.Files(), (std::set<std::string>{"Old/a/locked.txt"}));
  EXPECT_EQ(log.Errors(), (std::vector<std::string>{"Access denied. Insufficient permissions."}));
}

}  // namespace
