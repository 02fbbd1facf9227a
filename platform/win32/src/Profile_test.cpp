#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/win32/Win32.h"
#include "testkit/cdrive/TempCDrive.h"

namespace {

struct ProfileCase {
  const char* name;
  std::string file;
  const wchar_t* section;
  const wchar_t* key;
  std::wstring expected;
};

std::wstring Read(const wchar_t* section, const wchar_t* key, DWORD size = 512,
                  const wchar_t* fallback = L"", const wchar_t* file = L"C:\\test.ini") {
  std::vector<wchar_t> buffer(size + 1, L'#');
  DWORD n = GetPrivateProfileStringW(section, key, fallback, buffer.data(), size, file);
  std::wstring value(buffer.data());
  EXPECT_EQ(n, value.size());
  return value;
}

class ProfileTest : public ::testing::TestWithParam<ProfileCase> {
 protected:
  testkit::TempCDrive drive_;
};

TEST_P(ProfileTest, ReadsValue) {
  const ProfileCase& c = GetParam();
  drive_.Write("test.ini", c.file);
  EXPECT_EQ(Read(c.section, c.key), c.expected);
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileTest,
    ::testing::Values(
        ProfileCase{"Plain", "[S]\nServer=host\n", L"S", L"Server", L"host"},
        ProfileCase{"NamesIgnoreCase", "[serversettings]\nSERVER=h\n", L"ServerSettings", L"server", L"h"},
        ProfileCase{"BlanksTrimmed", "  [ S ]  \r\n  Port \t=  \t8080  \r\n", L"S", L"Port", L"8080"},
        ProfileCase{"QuotesDropped", "[S]\nFolder=\" /a b \"\n", L"S", L"Folder", L" /a b "},
        ProfileCase{"LoneQuoteKept", "[S]\nFolder=\"/a\n", L"S", L"Folder", L"\"/a"},
        ProfileCase{"InlineSemicolonIsValue", "[S]\nServer=h ; note\n", L"S", L"Server", L"h ; note"},
        ProfileCase{"CommentLineSkipped", "[S]\n;Server=x\nServer=y\n", L"S", L"Server", L"y"},
        ProfileCase{"FirstKeyWins", "[S]\nServer=a\nServer=b\n", L"S", L"Server", L"a"},
        ProfileCase{"FirstSectionOnly", "[S]\nA=1\n[T]\nServer=t\n[S]\nServer=late\n", L"S", L"Server", L""},
        ProfileCase{"OtherSectionNotRead", "[T]\nServer=t\n", L"S", L"Server", L""},
        ProfileCase{"KeyBeforeAnySection", "Server=x\n[S]\n", L"S", L"Server", L""},
        ProfileCase{"EqualsInValue", "[S]\nFolder=/a=b\n", L"S", L"Folder", L"/a=b"},
        ProfileCase{"EmptyValue", "[S]\nServer=\n", L"S", L"Server", L""},
        ProfileCase{"LineWithoutEquals", "[S]\nServer\n", L"S", L"Server", L""},
        ProfileCase{"Utf8Bom", "\xEF\xBB\xBF[S]\nServer=h\xC3\xA9\n", L"S", L"Server", L"h\u00E9"},
        ProfileCase{"Utf16", Utf16Le(u"[S]\r\nServer=h\u00E9\U0001F600\r\n"), L"S", L"Server", L"h\u00E9\U0001F600"},
        ProfileCase{"InvalidUtf8Replaced", "[S]\nServer=a\xFF" "b\n", L"S", L"Server", L"a\uFFFDb"},
        ProfileCase{"BinaryJunk", std::string("\x00\x01[S\x00\n\xFE\xFF\xFF", 9), L"S", L"Server", L""},
        ProfileCase{"NotIni", "just some words\nand = more\n", L"S", L"Server", L""},
        ProfileCase{"UnclosedSection", "[S\nServer=h\n", L"S", L"Server", L"h"}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return info.param.name; });

TEST(ProfileLimits, LongValueCutToBufferLessOne) {
  testkit::TempCDrive drive;
  drive.Write("test.ini", "[S]\nServer=" + std::string(600, 'x') + "\n");
  EXPECT_EQ(Read(L"S", L"Server"), std::wstring(511, L'x'));
  EXPECT_EQ(Read(L"S", L"Server", 1), L"");
}

TEST(ProfileLimits, DefaultLosesTrailingBlanksAndIsCut) {
  testkit::TempCDrive drive;
  EXPECT_EQ(Read(L"S", L"Server", 512, L" def  "), L" def");
  EXPECT_EQ(Read(L"S", L"Server", 3, L"default"), L"de");
  EXPECT_EQ(GetLastError(), 234u);
}

TEST(ProfileLimits, MissingOrUnreadableFileGivesDefault) {
  testkit::TempCDrive drive;
  EXPECT_EQ(Read(L"S", L"Server", 512, L"d"), L"d");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  mkdir(drive.Path("folder.ini").c_str(), 0755);
  EXPECT_EQ(Read(L"S", L"Server", 512, L"", L"C:\\folder.ini"), L"");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(ProfileLimits, BareFileNameIsInWindowsFolder) {
  testkit::TempCDrive drive;
  drive.Write("Windows/app.ini", "[S]\nServer=w\n");
  EXPECT_EQ(Read(L"S", L"Server", 512, L"", L"app.ini"), L"w");
}

TEST(ProfileLimits, NoBufferReadsNothing) {
  wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"K", L"d", buffer, 0, L"C:\\a.ini"), 0u);
  EXPECT_EQ(buffer[0], L'x');
  EXPECT_EQ(GetPrivateProfileStringW(L"S", nullptr, L"d", buffer, 4, L"C:\\a.ini"), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
