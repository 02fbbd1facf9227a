#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/win32/Win32.h"

namespace {

// Every test gets a namespace root of its own and must leave it empty of names.
class NamedMutexTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "mutex-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    setenv("TARVIK_KERNEL_OBJECTS", m_root.c_str(), 1);
    unsetenv("TARVIK_SESSION_ID");
  }
  void TearDown() override {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_root)) {
      if (entry.is_regular_file()) {
        EXPECT_EQ(entry.path().filename(), ".lock") << entry.path();
      }
    }
    std::filesystem::remove_all(m_root);
    unsetenv("TARVIK_KERNEL_OBJECTS");
    unsetenv("TARVIK_SESSION_ID");
  }
  std::string m_root;
};

TEST_F(NamedMutexTest, NameExistsWhileAnyHandleIsOpen) {
  SetLastError(0);
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Global\\device"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  HANDLE created = CreateMutexW(nullptr, FALSE, L"Global\\device");
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE again = CreateMutexW(nullptr, FALSE, L"Global\\device");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  HANDLE opened = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Global\\device");
  ASSERT_NE(opened, nullptr);

  // Each handle is its own object: closing two leaves the third working.
  EXPECT_TRUE(CloseHandle(created));
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_EQ(WaitForSingleObject(opened, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(ReleaseMutex(opened));
  EXPECT_TRUE(CloseHandle(opened));

  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Global\\device"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(NamedMutexTest, OwnerMayWaitAgainAndMustReleaseAsOftenAsItGotIt) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"recursive");
  ASSERT_NE(mutex, nullptr);
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

  EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(mutex, 50), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(ReleaseMutex(mutex)) << i;
  EXPECT_FALSE(ReleaseMutex(mutex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
  CloseHandle(mutex);
}

TEST_F(NamedMutexTest, InitialOwnershipOnlyForTheCreator) {
  struct Case {
    const wchar_t* name;
    bool existsBefore;
    bool owned;
  };
  for (const Case& c :
       {Case{L"fresh", false, true}, Case{L"existing", true, false}, Case{nullptr, false, true}}) {
    HANDLE earlier = c.existsBefore ? CreateMutexW(nullptr, FALSE, c.name) : nullptr;
    HANDLE mutex = CreateMutexW(nullptr, TRUE, c.name);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(ReleaseMutex(mutex), c.owned ? TRUE : FALSE) << (c.name ? "named" : "unnamed");
    CloseHandle(mutex);
    if (earlier != nullptr) CloseHandle(earlier);
  }
}

TEST_F(NamedMutexTest, GlobalAndSessionNamespacesAreApart) {
  HANDLE global = CreateMutexW(nullptr, FALSE, L"Global\\shared");
  HANDLE local = CreateMutexW(nullptr, FALSE, L"Local\\mine");
  ASSERT_NE(global, nullptr);
  ASSERT_NE(local, nullptr);

  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"shared"), nullptr);
  HANDLE bare = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"mine");
  EXPECT_NE(bare, nullptr);
  CloseHandle(bare);

  setenv("TARVIK_SESSION_ID", "2", 1);
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"mine"), nullptr);
  HANDLE fromOtherSession = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Global\\shared");
  EXPECT_NE(fromOtherSession, nullptr);
  CloseHandle(fromOtherSession);
  unsetenv("TARVIK_SESSION_ID");

  CloseHandle(global);
  CloseHandle(local);
}

TEST_F(NamedMutexTest, NamesThatLookAlikeAreDifferentMutexes) {
  std::wstring longName(MAX_PATH - 1, L'x');
  std::wstring pairs[][2] = {
      {L"Case", L"case"},
      {L"a/b", L"a%2Fb"},
      {L"a.b", L"a_b"},
      {L"\u00e9", L"%E9"},
      {longName + L"1", longName + L"2"},
  };
  for (const auto& pair : pairs) {
    HANDLE first = CreateMutexW(nullptr, FALSE, pair[0].c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, pair[1].c_str()), nullptr) << pair[1].size();
    CloseHandle(first);
  }
}

TEST_F(NamedMutexTest, BadNamesAndDescriptorsAreRefused) {
  SECURITY_DESCRIPTOR badRevision{};
  SECURITY_ATTRIBUTES badAttributes{sizeof(SECURITY_ATTRIBUTES), &badRevision, FALSE};
  std::wstring tooLong(MAX_PATH + 1, L'n');
  struct Case {
    const wchar_t* name;
    SECURITY_ATTRIBUTES* attributes;
    DWORD error;
  };
  for (const Case& c : {Case{L"a\\b", nullptr, ERROR_PATH_NOT_FOUND},
                        Case{L"Global\\", nullptr, ERROR_INVALID_PARAMETER},
                        Case{tooLong.c_str(), nullptr, ERROR_FILENAME_EXCED_RANGE},
                        Case{L"fine", &badAttributes, ERROR_INVALID_SECURITY_DESCR}}) {
    EXPECT_EQ(CreateMutexW(c.attributes, FALSE, c.name), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
    if (c.attributes == nullptr) {
      EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, c.name), nullptr);
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(ReleaseMutex(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(NamedMutexTest, NullDaclLetsEveryAccountOpenTheName) {
  SECURITY_DESCRIPTOR descriptor;
  ASSERT_TRUE(InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE));
  SECURITY_ATTRIBUTES everyone{sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};

  HANDLE open = CreateMutexW(&everyone, FALSE, L"Global\\everyone");
  HANDLE own = CreateMutexW(nullptr, FALSE, L"Global\\creator");
  ASSERT_NE(open, nullptr);
  ASSERT_NE(own, nullptr);
  auto modeOf = [&](const char* file) {
    return std::filesystem::status(m_root + "/Global/" + file).permissions() &
           std::filesystem::perms::all;
  };
  using std::filesystem::perms;
  EXPECT_EQ(modeOf("everyone"), perms::owner_read | perms::owner_write | perms::group_read |
                                    perms::group_write | perms::others_read | perms::others_write);
  EXPECT_EQ(modeOf("creator"), perms::owner_read | perms::owner_write);
  CloseHandle(open);
  CloseHandle(own);
}

}  // namespace
