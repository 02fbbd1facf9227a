#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

TEST(DriveMapping, WindowsPathsMapOntoTheDriveFolders) {
  setenv("TARVIK_C_DRIVE", "/tmp/cdrive/", 1);
  struct Case { const char* windows; const char* native; };
  const Case cases[] = {
      {"C:\\ProgramData\\Quelmo\\x.ini", "/tmp/cdrive/ProgramData/Quelmo/x.ini"},
      {"c:\\Windows", "/tmp/cdrive/Windows"},
      {"Z:\\home\\user", "/home/user"},
      {"relative\\file.txt", "relative/file.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(win32::WindowsToNativePath(std::string(c.windows)), c.native) << c.windows;
  EXPECT_EQ(win32::NativeToWindowsPath("/tmp/cdrive/ProgramData"), L"C:\\ProgramData");
  EXPECT_EQ(win32::NativeToWindowsPath("/usr/bin/x"), L"Z:\\usr\\bin\\x");
  EXPECT_EQ(win32::NativePathForDependency("C:\\a\\b"), "/tmp/cdrive/a/b");
  unsetenv("TARVIK_C_DRIVE");
}
