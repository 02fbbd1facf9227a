#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"

namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvik-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_native = pattern;
    m_dir = win32::NativeToWindowsPath(m_native);
    std::ofstream(m_native + "/file.txt") << "12345";
  }
  void TearDown() override { fs::remove_all(m_native); }

  std::wstring Path(const std::wstring& relative) const { return m_dir + L"\\" + relative; }

  std::string m_native;
  std::wstring m_dir;
};

TEST_F(FilesTest, AttributesTellFilesFoldersAndWhatIsMissing) {
  struct {
    std::wstring path;
    DWORD attributes;
    DWORD error;
  } cases[] = {{L"file.txt", FILE_ATTRIBUTE_ARCHIVE, 0},
               {L"", FILE_ATTRIBUTE_DIRECTORY, 0},
               {L"missing.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
               {L"missing\\file.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND}};
  for (auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(Path(c.path).c_str()), c.attributes) << win32::WideToUtf8(c.path);
    EXPECT_EQ(GetLastError(), c.error) << win32::WideToUtf8(c.path);
  }
  EXPECT_TRUE(PathFileExistsW(Path(L"file.txt").c_str()));
  EXPECT_TRUE(PathFileExistsW(m_dir.c_str()));
  EXPECT_FALSE(PathFileExistsW(Path(L"missing.txt").c_str()));
}

TEST_F(FilesTest, CreateDirectoryMakesOnlyTheLastLevel) {
  EXPECT_TRUE(CreateDirectoryW(Path(L"Quelmo").c_str(), nullptr));
  EXPECT_TRUE(fs::is_directory(m_native + "/Quelmo"));
  EXPECT_FALSE(CreateDirectoryW(Path(L"Quelmo").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(Path(L"a\\b").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(CreateDirectoryW(Path(L"file.txt").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(FilesTest, DeleteFileRemovesFilesOnly) {
  EXPECT_FALSE(DeleteFileW(m_dir.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeleteFileW(Path(L"file.txt").c_str()));
  EXPECT_FALSE(fs::exists(m_native + "/file.txt"));
  EXPECT_FALSE(DeleteFileW(Path(L"file.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, FindFirstFileNamesOneEntry) {
  fs::create_directories(m_native + "/folder");
  struct {
    std::wstring path;
    const wchar_t* name;  // null: nothing found
    DWORD attributes;
  } cases[] = {{L"file.txt", L"file.txt", FILE_ATTRIBUTE_ARCHIVE},
               {L"fi?e.*", L"file.txt", FILE_ATTRIBUTE_ARCHIVE},
               {L"folder", L"folder", FILE_ATTRIBUTE_DIRECTORY},
               {L"folder\\", nullptr, 0},
               {L"*.exe", nullptr, 0},
               {L"missing", nullptr, 0}};
  for (auto& c : cases) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Path(c.path).c_str(), &data);
    if (c.name == nullptr) {
      EXPECT_EQ(find, INVALID_HANDLE_VALUE) << win32::WideToUtf8(c.path);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
      continue;
    }
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << win32::WideToUtf8(c.path);
    EXPECT_EQ(std::wstring(data.cFileName), c.name);
    EXPECT_EQ(data.dwFileAttributes, c.attributes);
    EXPECT_TRUE(FindClose(find));
  }
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Path(L"file.txt").c_str(), &data);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  FindClose(find);
}

}  // namespace
