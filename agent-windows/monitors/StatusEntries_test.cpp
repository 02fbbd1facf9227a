#include "agent-windows/monitors/StatusEntries.h"

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "agent-windows/server/ServerMessages.h"

using nlohmann::json;

namespace {

// The writer must give exactly what the JSON library gives for the same message: keys sorted,
// compact, strings escaped alike.
void ExpectLibraryForm(const std::string& text) {
  json parsed = json::parse(text);  // throws on anything but valid JSON
  EXPECT_EQ(SerializeMessage(parsed), text);
}

FullStatusEntry SampleEntry(const std::string& modelName) {
  FullStatusEntry entry;
  entry.index = 3;
  entry.vendorId = 0x3A71;
  entry.productId = 0xF00F;
  entry.serialNumber = "SN-1";
  entry.interfaceNumber = 2;
  entry.powerStatus = 1;
  entry.monitorStatus = 255;
  entry.modelName = modelName;
  entry.specialId = "Q24A";
  entry.modelVersion = "07.12T";
  entry.mutexInt = 0xFFFFFFFFu;
  entry.useTimes = -1;
  entry.lockStatus = 0;
  entry.vcpFuncMap = {{0x10, {}}, {0xF821, {1, 2, 15}}};
  entry.funcList = {{{0x10, 50, 100, 0}, 3}, {{0xF8, 0x21, 1, 2}, 4}};
  return entry;
}

TEST(FullStatusEntryText, WritesEveryKeyInTheLibrarysForm) {
  std::string text = FullStatusEntryText(SampleEntry("TV-2415Q"));
  EXPECT_EQ(text,
            R"({"funcList":[[16,50,100],[248,33,1,2]],"index":3,"interfaceNumber":2,"lockStatus":0,)"
            R"("modelName":"TV-2415Q","modelVersion":"07.12T","monitorStatus":255,"mutexInt":[4294967295],)"
            R"("powerStatus":1,"productId":61455,"serialNumber":"SN-1","specialId":"Q24A","useTimes":-1,)"
            R"("vcpFuncMap":[{"values":[],"vcpCode":16},{"values":[1,2,15],"vcpCode":63521}],"vendorId":14961})");
  ExpectLibraryForm(text);
}

TEST(FullStatusEntryText, DeviceTextThatIsNotPlainAsciiIsEscapedOrReplaced) {
  for (const std::string& name : {std::string("Q\"24\\\x01\x7F"), std::string("Bild\xC3\xBC"),
                                  std::string("bad\xFF\xC3")}) {
    std::string text = FullStatusEntryText(SampleEntry(name));
    ExpectLibraryForm(text);
  }
  EXPECT_NE(FullStatusEntryText(SampleEntry("bad\xFF")).find("bad\xEF\xBF\xBD"), std::string::npos);
}

TEST(StatusReportText, WrapsTheEntries) {
  std::string text = StatusReportText({FullStatusEntryText(SampleEntry("A")), FullStatusEntryText(SampleEntry("B"))});
  ExpectLibraryForm(text);
  json report = json::parse(text);
  EXPECT_EQ(report["monitorList"].size(), 2u);
  EXPECT_EQ(report["type"], "displayStatusReport");
  ExpectLibraryForm(StatusReportText({}));
}

}  // namespace
