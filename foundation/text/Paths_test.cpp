#include "foundation/text/Paths.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace {

namespace fs = std::filesystem;

TEST(AppendBackslashTest, AddsOneWhereMissing) {
  struct {
    std::wstring path;
    std::wstring result;
  } cases[] = {{L"C:\\dir", L"C:\\dir\\"}, {L"C:\\dir\\", L"C:\\dir\\"}, {L"", L""},
               {L"C:", L"C:\\"}, {L"a/b", L"a/b\\"}};
  for (auto& c : cases) {
    std::wstring path = c.path;
    AppendBackslash(path);
    EXPECT_EQ(path, c.result);
  }
}

TEST(ExeDirectoryTest, FolderOfTheRunningProgramInWindowsForm) {
  std::wstring expected =
      win32::NativeToWindowsPath(fs::read_symlink("/proc/self/exe").parent_path().string()) + L"\\";
  EXPECT_EQ(GetExeDirectory(), expected);
}

TEST(IsFileExistTest, OnlyFiles) {
  char pattern[] = "/tmp/tarvik-paths-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  fs::create_directories(dir + "/sub folder");
  std::ofstream(dir + "/Pennorak.exe") << "x";
  std::wstring windowsDir = win32::NativeToWindowsPath(dir);

  struct {
    std::wstring path;
    bool exists;
  } cases[] = {{windowsDir + L"\\Pennorak.exe", true},
               {windowsDir + L"\\sub folder", false},
               {windowsDir, false},
               {windowsDir + L"\\missing.exe", false},
               {windowsDir + L"\\missing\\Pennorak.exe", false},
               {windowsDir + L"\\Pennorak.exe\\", false}};
  for (auto& c : cases) EXPECT_EQ(IsFileExist(c.path.c_str()), c.exists) << win32::WideToUtf8(c.path);
  fs::remove_all(dir);
}

}  // namespace
