// CreateFileW on a path that is not a pipe: a file on disk, made for writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/packages/WorkFolder.h"

namespace {

class DiskFileTest : public testing::Test {
 protected:
  std::string Native(const std::string& name) const { return m_folder.File(name); }
  HANDLE Create(const std::string& name, DWORD access = GENERIC_WRITE,
                DWORD disposition = CREATE_ALWAYS) const {
    return CreateFileW(win32::NativeToWindowsPath(Native(name)).c_str(), access, 0, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

 private:
  testkit::packages::WorkFolder m_folder;
};

TEST_F(DiskFileTest, CreateAlwaysMakesOrEmptiesTheFile) {
  HANDLE made = Create("new.dmp");
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(CloseHandle(made));
  EXPECT_TRUE(std::filesystem::exists(Native("new.dmp")));

  std::ofstream(Native("old.dmp")) << "earlier dump";
  HANDLE replaced = Create("old.dmp");
  ASSERT_NE(replaced, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  CloseHandle(replaced);
  EXPECT_EQ(std::filesystem::file_size(Native("old.dmp")), 0u);
}

TEST_F(DiskFileTest, Failures) {
  struct Case {
    const char* name;
    DWORD access;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {"missing/folder.dmp", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
      {"read.dmp", GENERIC_READ, CREATE_ALWAYS, ERROR_INVALID_PARAMETER},
      {"open.dmp", GENERIC_WRITE, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
  };
  for (const Case& failing : cases) {
    SCOPED_TRACE(failing.name);
    EXPECT_EQ(Create(failing.name, failing.access, failing.disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), failing.error);
    EXPECT_FALSE(std::filesystem::exists(Native(failing.name)));
  }
}

}  // namespace
