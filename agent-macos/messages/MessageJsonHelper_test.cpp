#include "agent-macos/messages/MessageJsonHelper.h"

#include <stdlib.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "agent-macos/messages/MessageUtils.h"
#include "agent-macos/testing/MacRoot.h"

using nlohmann::json;

namespace {

class MessageJsonHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agentmactest::MacRoot();
    ::setenv("TARVIK_MAC_COMPUTER_NAME", "Büro-Mac", 1);
  }
  void TearDown() override { ::unsetenv("TARVIK_MAC_COMPUTER_NAME"); }

  static std::string Text(const json& message) {
    std::string error;
    return jsonText(message, error).value_or("<failed: " + error + ">");
  }
};

TEST_F(MessageJsonHelperTest, AResponseHasExactlyItsThreeKeys) {
  struct Case {
    int status;
    const char* text;
  };
  for (const Case& c : {Case{0, "ok"}, Case{1, "busy"}, Case{2, "heartbeat"}, Case{3, "download"}, Case{7, "download"}}) {
    const json response = MessageJsonHelper::makeResponse(42, static_cast<ResponseStatus>(c.status));
    EXPECT_EQ(response, json::parse(R"({"cmdid": 42, "type": "response", "status": ")" + std::string(c.text) + "\"}"))
        << c.status;
  }
  // Above 2^53 a double would lose it: the integer goes out whole.
  const std::int64_t big = (std::int64_t{1} << 53) + 1;
  EXPECT_EQ(json::parse(Text(MessageJsonHelper::makeResponse(big, ResponseStatus::ok)))["cmdid"].get<std::int64_t>(), big);
}

TEST_F(MessageJsonHelperTest, TheReportHeadNamesTheComputerOnlyWhenTheSystemGivesAName) {
  EXPECT_EQ(MessageJsonHelper::makeReportBase(), json::parse(R"({"hostName": "Büro-Mac", "type": "displayStatusReport"})"));
  ::setenv("TARVIK_MAC_COMPUTER_NAME", "", 1);
  EXPECT_EQ(MessageJsonHelper::makeReportBase(), json::parse(R"({"type": "displayStatusReport"})"));
  EXPECT_EQ(MessageJsonHelper::makeFirmwareUpdateProgress("A1", 1, 1, "", 1).count("hostName"), 0u);
}

TEST_F(MessageJsonHelperTest, ProgressCarriesOneEntryWithItsFourValues) {
  const json sent = json::parse(Text(MessageJsonHelper::makeFirmwareUpdateProgress("A1/x", 37.5f, 2, "writing", 9)));
  EXPECT_EQ(sent, json::parse(R"({"hostName": "Büro-Mac", "type": "firmwareUpdateProgress", "monitorList": [
      {"index": 0, "serialNumber": "A1/x", "updateProcessInfo":
        {"updateStatus": 37.5, "updateFlag": 2, "updateContent": "writing", "userId": 9}}]})"));
  EXPECT_TRUE(sent["monitorList"][0]["updateProcessInfo"]["updateStatus"].is_number());
  // As the platform writes a whole number.
  const std::string fifty = Text(MessageJsonHelper::makeFirmwareUpdateProgress("A1", 50.0f, 1, "", 1));
  EXPECT_NE(fifty.find(R"("updateStatus":50,)"), std::string::npos) << fifty;
  EXPECT_NE(fifty.find(R"("serialNumber":"A1")"), std::string::npos) << fifty;
}

TEST_F(MessageJsonHelperTest, TheTextIsCompactWithSlashesEscapedAndNeverFailsOnBadUtf8) {
  EXPECT_EQ(Text(json::parse(R"({"a": ["x/y", 1]})")), R"({"a":["x\/y",1]})");
  EXPECT_EQ(Text(json{{"name", std::string("Mac\xff")}}), "{\"name\":\"Mac\xef\xbf\xbd\"}");
  std::string error;
  EXPECT_FALSE(jsonText(MessageJsonHelper::makeFirmwareUpdateProgress("A1", NAN, 1, "", 1), error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
