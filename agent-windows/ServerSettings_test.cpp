#include "agent-windows/ServerSettings.h"

#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testkit/cdrive/TempCDrive.h"

namespace {

const char* const kSettingsFile = "ProgramData/Quelmo/Tarvik Client/TarvikConfig.ini";

struct SettingsCase {
  const char* name;
  std::string file;
  ServerSettings expected;
};

class ServerSettingsTest : public ::testing::TestWithParam<SettingsCase> {
 protected:
  testkit::TempCDrive drive_;
};

TEST_P(ServerSettingsTest, ReadsEveryKey) {
  std::wstring path = FindSettingsFile();
  EXPECT_EQ(path, L"C:\\ProgramData\\Quelmo\\Tarvik Client\\TarvikConfig.ini");
  drive_.Write(kSettingsFile, GetParam().file);
  ServerSettings read = ReadServerSettings(path);
  const ServerSettings& expected = GetParam().expected;
  EXPECT_EQ(read.server, expected.server);
  EXPECT_EQ(read.port, expected.port);
  EXPECT_EQ(read.protocol, expected.protocol);
  EXPECT_EQ(read.folder, expected.folder);
  EXPECT_EQ(read.log, expected.log);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ServerSettingsTest,
    ::testing::Values(
        SettingsCase{"Complete",
                     "[ServerSettings]\nServer=mgmt.example\nPort=443\nProtocol=https\nFolder=/api\nLog=On\n",
                     {"mgmt.example", "443", "https", "/api", "On"}},
        SettingsCase{"MissingKeys", "[ServerSettings]\nServer=10.0.0.5\n", {"10.0.0.5", "", "", "", ""}},
        SettingsCase{"AsWrittenNotNormalised",
                     "[serversettings]\nserver = Host \nPROTOCOL=HTTPS\nlog=on\n",
                     {"Host", "", "HTTPS", "", "on"}},
        SettingsCase{"Utf8Host", "[ServerSettings]\nServer=h\xC3\xB6st\n", {"h\xC3\xB6st", "", "", "", ""}},
        SettingsCase{"LongValueCut", "[ServerSettings]\nServer=" + std::string(600, 's') + "\n",
                     {std::string(511, 's'), "", "", "", ""}},
        SettingsCase{"OtherSection", "[Settings]\nServer=h\n", {"", "", "", "", ""}},
        SettingsCase{"NotText", std::string("\x00\xFF\xFE[ServerSettings\x00]\nServer=\xFF", 29),
                     {"", "", "", "", ""}},
        SettingsCase{"NotIni", "<xml>Server=h</xml>\n", {"", "", "", "", ""}}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return info.param.name; });

TEST(ServerSettingsFile, FoldersAreMadeAndAMissingFileReadsEmpty) {
  testkit::TempCDrive drive;
  std::wstring path = FindSettingsFile();
  struct stat info {};
  EXPECT_EQ(stat(drive.Path("ProgramData/Quelmo/Tarvik Client").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(ReadServerSettings(path).server, "");
}

TEST(ServerSettingsFile, UnreadableFileReadsEmpty) {
  testkit::TempCDrive drive;
  std::wstring path = FindSettingsFile();
  mkdir(drive.Path(kSettingsFile).c_str(), 0755);  // a folder where the file should be
  EXPECT_EQ(ReadServerSettings(path).server, "");
}

}  // namespace
