#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/cdrive/TempCDrive.h"

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
  EXPECT_FALSE(DeleteFileW(Path(L"missing\\file.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  std::ofstream(m_native + "/locked.txt") << "x";
  chmod((m_native + "/locked.txt").c_str(), 0444);
  EXPECT_FALSE(DeleteFileW(Path(L"locked.txt").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(fs::exists(m_native + "/locked.txt"));
}

TEST_F(FilesTest, RemoveDirectoryRemovesEmptyFoldersOnly) {
  fs::create_directories(m_native + "/empty");
  fs::create_directories(m_native + "/full/inner");
  struct {
    std::wstring path;
    DWORD error;  // 0: removed
  } cases[] = {{L"empty\\", 0},
               {L"full", ERROR_DIR_NOT_EMPTY},
               {L"file.txt", ERROR_DIRECTORY},
               {L"missing", ERROR_FILE_NOT_FOUND},
               {L"missing\\inner", ERROR_PATH_NOT_FOUND}};
  for (auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(RemoveDirectoryW(Path(c.path).c_str()), c.error == 0) << win32::WideToUtf8(c.path);
    EXPECT_EQ(GetLastError(), c.error) << win32::WideToUtf8(c.path);
  }
  EXPECT_FALSE(fs::exists(m_native + "/empty"));
  EXPECT_TRUE(fs::exists(m_native + "/full/inner"));
}

TEST_F(FilesTest, MoveFileRenamesButNeverReplaces) {
  EXPECT_TRUE(MoveFileW(Path(L"file.txt").c_str(), Path(L"file.exe").c_str()));
  EXPECT_FALSE(fs::exists(m_native + "/file.txt"));
  EXPECT_EQ(fs::file_size(m_native + "/file.exe"), 5u);

  fs::create_directories(m_native + "/folder/inner");
  EXPECT_TRUE(MoveFileW(Path(L"folder").c_str(), Path(L"moved").c_str()));
  EXPECT_TRUE(fs::is_directory(m_native + "/moved/inner"));

  std::ofstream(m_native + "/other.txt") << "other";
  struct {
    std::wstring from;
    std::wstring to;
    DWORD error;
  } failures[] = {{L"other.txt", L"file.exe", ERROR_ALREADY_EXISTS},
                  {L"other.txt", L"moved", ERROR_ALREADY_EXISTS},
                  {L"missing.txt", L"new.txt", ERROR_FILE_NOT_FOUND},
                  {L"other.txt", L"missing\\new.txt", ERROR_PATH_NOT_FOUND}};
  for (auto& c : failures) {
    SetLastError(0);
    EXPECT_FALSE(MoveFileW(Path(c.from).c_str(), Path(c.to).c_str())) << win32::WideToUtf8(c.to);
    EXPECT_EQ(GetLastError(), c.error) << win32::WideToUtf8(c.to);
  }
  EXPECT_EQ(fs::file_size(m_native + "/file.exe"), 5u);
  EXPECT_TRUE(fs::exists(m_native + "/other.txt"));
}

TEST_F(FilesTest, AttributeDataCarriesTheWholeSize) {
  // Sparse, so it costs no disk: a size past 4 GiB needs both halves.
  fs::resize_file(m_native + "/file.txt", 0x100000005ULL);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(Path(L"file.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeHigh, 1u);
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_NE(data.ftLastWriteTime.dwHighDateTime, 0u);

  ASSERT_TRUE(GetFileAttributesExW(m_dir.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

  EXPECT_FALSE(GetFileAttributesExW(Path(L"missing").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(GetFileAttributesExW(Path(L"file.txt").c_str(), GetFileExMaxInfoLevel, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
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
  EXPECT_FALSE(FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(find);
}

// Every name a search gives, first to last, or the error of FindFirstFileW.
struct SearchResult {
  std::vector<std::wstring> names;
  DWORD error = 0;
};

SearchResult SearchAll(const std::wstring& pattern) {
  SearchResult result;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    result.error = GetLastError();
    return result;
  }
  do result.names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  EXPECT_TRUE(FindClose(find));
  return result;
}

TEST_F(FilesTest, SearchMatchesAsWindowsDoes) {
  fs::create_directories(m_native + "/pkg/sub");
  for (const char* name : {"b.txt", "a.exe", "Setup.EXE", "noext", "a.exe.txt"})
    std::ofstream(m_native + "/pkg/" + name);
  using Names = std::vector<std::wstring>;
  Names all = {L".", L"..", L"a.exe", L"a.exe.txt", L"b.txt", L"noext", L"Setup.EXE", L"sub"};
  struct {
    std::wstring pattern;
    Names names;
    DWORD error;
  } cases[] = {{L"pkg\\*.*", all, 0},
               {L"pkg\\*", all, 0},
               {L"pkg\\*.exe", {L"a.exe", L"Setup.EXE"}, 0},
               {L"pkg\\noext.*", {L"noext"}, 0},
               {L"pkg\\?.exe", {L"a.exe"}, 0},
               {L"pkg\\*.zip", {}, ERROR_FILE_NOT_FOUND},
               {L"missing\\*.*", {}, ERROR_PATH_NOT_FOUND}};
  for (auto& c : cases) {
    SearchResult result = SearchAll(Path(c.pattern));
    EXPECT_EQ(result.names, c.names) << win32::WideToUtf8(c.pattern);
    EXPECT_EQ(result.error, c.error) << win32::WideToUtf8(c.pattern);
  }
}

TEST_F(FilesTest, SearchGoesOnPastEntriesRemovedMeanwhile) {
  fs::create_directories(m_native + "/pkg");
  for (const char* name : {"a.exe", "b.exe", "c.exe"}) std::ofstream(m_native + "/pkg/" + name);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Path(L"pkg\\*.exe").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::wstring(data.cFileName), L"a.exe");
  fs::remove(m_native + "/pkg/b.exe");
  ASSERT_TRUE(FindNextFileW(find, &data));
  EXPECT_EQ(std::wstring(data.cFileName), L"c.exe");
  EXPECT_FALSE(FindNextFileW(find, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(find);
}

// The temporary folder and its files live on a fresh machine's C:.
class TempFilesTest : public ::testing::Test {
 protected:
  testkit::TempCDrive m_drive;
};

TEST_F(TempFilesTest, TempPathIsTheServiceFolderWithItsBackslash) {
  const std::wstring expected = L"C:\\Windows\\Temp\\";
  const DWORD length = static_cast<DWORD>(expected.size());
  WCHAR buffer[MAX_PATH];
  struct {
    DWORD bufferLength;
    DWORD result;
  } cases[] = {{MAX_PATH, length}, {length + 1, length}, {length, length + 1}, {0, length + 1}};
  for (auto& c : cases) {
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(GetTempPathW(c.bufferLength, buffer), c.result) << c.bufferLength;
    if (c.result == length) {
      EXPECT_EQ(std::wstring(buffer), expected);
    }
  }
  EXPECT_TRUE(fs::is_directory(m_drive.Path("Windows/Temp")));
}

TEST_F(TempFilesTest, TempFileNameMakesAnEmptyFileOfItsOwn) {
  WCHAR folder[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  WCHAR name[MAX_PATH];
  UINT number = GetTempFileNameW(folder, L"DLF", 0, name);
  ASSERT_NE(number, 0u);
  wchar_t expected[MAX_PATH];
  std::swprintf(expected, MAX_PATH, L"C:\\Windows\\Temp\\DLF%X.tmp", number);
  EXPECT_EQ(std::wstring(name), expected);
  std::string native = win32::WindowsToNativePath(std::wstring(name));
  ASSERT_TRUE(fs::is_regular_file(native));
  EXPECT_EQ(fs::file_size(native), 0u);

  // A given number only forms the name; the prefix is cut to three characters.
  EXPECT_EQ(GetTempFileNameW(L"C:\\Windows\\Temp", L"LONGER", 0x1A2B, name), 0x1A2Bu);
  EXPECT_EQ(std::wstring(name), L"C:\\Windows\\Temp\\LON1A2B.tmp");
  EXPECT_FALSE(fs::exists(m_drive.Path("Windows/Temp/LON1A2B.tmp")));
}

TEST_F(TempFilesTest, TempFileNameNeedsAnExistingFolder) {
  m_drive.Write("file.txt", "x");
  struct {
    std::wstring folder;
    DWORD error;
  } cases[] = {{L"C:\\Missing", ERROR_DIRECTORY},
               {L"C:\\file.txt", ERROR_DIRECTORY},
               {L"C:\\Missing\\Temp", ERROR_PATH_NOT_FOUND},
               {L"C:\\" + std::wstring(MAX_PATH, L'x'), ERROR_BUFFER_OVERFLOW}};
  for (auto& c : cases) {
    WCHAR name[MAX_PATH];
    SetLastError(0);
    EXPECT_EQ(GetTempFileNameW(c.folder.c_str(), L"DLF", 0, name), 0u);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(TempFilesTest, NamesThatOthersHoldAreSkipped) {
  WCHAR name[MAX_PATH];
  UINT first = GetTempFileNameW(L"C:\\", L"DLF", 0, name);
  ASSERT_NE(first, 0u);
  // What another process would have made meanwhile, around the number this one had.
  std::set<std::wstring> held;
  for (UINT number = first + 1; number < first + 64; ++number) {
    wchar_t other[32];
    std::swprintf(other, 32, L"DLF%X.tmp", number & 0xFFFF);
    m_drive.Write(win32::WideToUtf8(other), "held");
    held.insert(std::wstring(L"C:\\") + other);
  }
  ASSERT_NE(GetTempFileNameW(L"C:\\", L"DLF", 0, name), 0u);
  EXPECT_EQ(held.count(name), 0u) << win32::WideToUtf8(name);
  EXPECT_EQ(fs::file_size(win32::WindowsToNativePath(std::wstring(name))), 0u);
}

TEST_F(TempFilesTest, NoTwoCallersGetTheSameName) {
  constexpr int kThreads = 8;
  constexpr int kEach = 200;
  std::vector<std::vector<std::wstring>> names(kThreads);
  std::vector<std::thread> threads;
  for (auto& mine : names)
    threads.emplace_back([&mine] {
      for (int i = 0; i < kEach; ++i) {
        WCHAR name[MAX_PATH];
        if (GetTempFileNameW(L"C:\\", L"DLF", 0, name) != 0) mine.push_back(name);
      }
    });
  for (auto& thread : threads) thread.join();
  std::set<std::wstring> distinct;
  for (auto& mine : names) distinct.insert(mine.begin(), mine.end());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kEach));
}

}  // namespace
