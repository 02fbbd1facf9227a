#include "agent-macos/settings/MobileConfig.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "agent-macos/testing/MacRoot.h"
#include "agent-macos/testing/Plist.h"

namespace fs = std::filesystem;
using namespace agentmactest;

namespace {

class MobileConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(MacRoot()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(folder_ / "program");
    fs::create_directories(folder_ / "current");
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::vector<std::string> Candidates() const {
    return mobileConfigCandidates((folder_ / "program/TarvikService").string(), (folder_ / "current").string());
  }
  void Write(const std::string& where, const std::string& text) const {
    std::ofstream(folder_ / where / "TarvikConfig.mobileconfig", std::ios::binary) << text;
  }
  static std::optional<LoadedProfile> Read(const std::vector<std::string>& candidates) {
    return readMobileConfig(candidates, {CFSTR("Server"), CFSTR("Port"), CFSTR("Protocol"), CFSTR("Folder"), CFSTR("LogLevel")});
  }

  fs::path folder_;
};

TEST_F(MobileConfigTest, CandidatesAreBesideTheProgramThenTheCurrentDirectory) {
  EXPECT_EQ(mobileConfigCandidates("/opt/tarvik/TarvikService", "/home/u"),
            (std::vector<std::string>{"/opt/tarvik/TarvikConfig.mobileconfig", "/home/u/TarvikConfig.mobileconfig"}));
  EXPECT_EQ(mobileConfigCandidates("TarvikService", "/w").front(), "/TarvikConfig.mobileconfig");
  EXPECT_EQ(mobileConfigCandidates("./TarvikService", "/w").front(), "./TarvikConfig.mobileconfig");
}

TEST_F(MobileConfigTest, OnlyTextValuesOfTheFirstPayloadCount) {
  Write("program", MobileConfig({{"Server", PlistString("mgmt.example")},
                                 {"Port", PlistInteger(8443)},
                                 {"Protocol", PlistString("HTTPS")},
                                 {"Other", PlistString("x")}}));
  Write("current", MobileConfig({{"Server", PlistString("other")}}));
  const std::optional<LoadedProfile> profile = Read(Candidates());
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->path, Candidates()[0]);
  ASSERT_TRUE(profile->firstPayload);
  EXPECT_FALSE(profile->firstPayload->empty);
  EXPECT_EQ(profile->firstPayload->text(CFSTR("Server")), "mgmt.example");
  EXPECT_EQ(profile->firstPayload->text(CFSTR("Port")), std::nullopt);
  EXPECT_EQ(profile->firstPayload->text(CFSTR("Protocol")), "HTTPS");
  EXPECT_EQ(profile->firstPayload->text(CFSTR("Folder")), std::nullopt);
}

TEST_F(MobileConfigTest, TheFirstDictionaryEndsTheSearchEvenWhenItIsNotUsable) {
  struct Case {
    const char* name;
    std::string beside;
    bool loadedBeside;  // else from the current directory
    bool usable;
  };
  const std::string good = MobileConfig({{"Server", PlistString("s")}});
  const Case cases[] = {
      {"no PayloadContent", XmlPlist(PlistDict({{"Server", PlistString("s")}})), true, false},
      {"PayloadContent not an array", XmlPlist(PlistDict({{"PayloadContent", PlistDict({})}})), true, false},
      {"empty PayloadContent", XmlPlist(PlistDict({{"PayloadContent", PlistArray({})}})), true, false},
      {"a payload that is no dictionary",
       XmlPlist(PlistDict({{"PayloadContent", PlistArray({PlistDict({}), PlistString("x")})}})), true, false},
      {"an empty first payload", XmlPlist(PlistDict({{"PayloadContent", PlistArray({PlistDict({})})}})), true, true},
      {"not a property list", "Server=s\n", false, true},
      {"truncated", good.substr(0, good.size() / 2), false, true},
      {"an array at the top", XmlPlist(PlistArray({PlistDict({})})), false, true},
  };
  Write("current", good);
  for (const Case& c : cases) {
    Write("program", c.beside);
    const std::optional<LoadedProfile> profile = Read(Candidates());
    ASSERT_TRUE(profile) << c.name;
    EXPECT_EQ(profile->path, Candidates()[c.loadedBeside ? 0 : 1]) << c.name;
    EXPECT_EQ(profile->firstPayload.has_value(), c.usable) << c.name;
  }
  fs::remove(folder_ / "current/TarvikConfig.mobileconfig");
  fs::remove(folder_ / "program/TarvikConfig.mobileconfig");
  EXPECT_FALSE(Read(Candidates()));
}

}  // namespace
