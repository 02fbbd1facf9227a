#include "moncontrol/hid/linux/CollectionCaps.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace mchid {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Monitor control (no report IDs, 64-byte reports) and a consumer collection (ID 2, 2-byte
// input) on one node.
const Bytes kTwoCollections = {
    0x05, 0x80, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02, 0x95, 0x40, 0x91, 0x02,
    0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x95, 0x02, 0x81, 0x02, 0xC0,
};

HidCollection Record(std::string path, std::uint16_t usagePage, std::uint16_t usage) {
  HidCollection c;
  c.path = std::move(path);
  c.usage_page = usagePage;
  c.usage = usage;
  c.input_report_length = c.output_report_length = 99;  // must be replaced
  return c;
}

TEST(CollectionCapsTest, RecordsTakeTheCapsOfTheirCollection) {
  std::map<std::string, Bytes> descriptors = {
      {"/dev/hidraw0", kTwoCollections},
      {"/dev/hidraw1", Bytes(kTwoCollections.begin(), kTwoCollections.begin() + 9)},
  };
  std::map<std::string, int> reads;
  std::vector<HidCollection> records = {
      Record("/dev/hidraw0", 0x80, 1), Record("/dev/hidraw0", 0x0C, 1),
      Record("/dev/hidraw0", 0x01, 6),  // not described by the node
      Record("/dev/hidraw1", 0x80, 1),  // truncated descriptor
  };
  FillCollectionCaps(records, [&](const std::string& path) {
    ++reads[path];
    return descriptors[path];
  });

  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].usage_page, 0x80);
  EXPECT_EQ(records[0].input_report_length, 65);
  EXPECT_EQ(records[0].output_report_length, 65);
  EXPECT_EQ(records[1].usage_page, 0x0C);
  EXPECT_EQ(records[1].input_report_length, 3);
  EXPECT_EQ(records[1].output_report_length, 0);
  for (int i : {2, 3}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i].usage_page, 0);
    EXPECT_EQ(records[i].usage, 0);
    EXPECT_EQ(records[i].input_report_length, 0);
    EXPECT_EQ(records[i].output_report_length, 0);
  }
  EXPECT_EQ(reads, (std::map<std::string, int>{{"/dev/hidraw0", 1}, {"/dev/hidraw1", 1}}));
}

TEST(CollectionCapsTest, RepeatedUsagesMatchInOrder) {
  const Bytes twice = {0x05, 0x80, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xC0,
                       0x05, 0x80, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x10, 0x81, 0x02, 0xC0};
  std::vector<HidCollection> records = {Record("/dev/hidraw0", 0x80, 1),
                                        Record("/dev/hidraw0", 0x80, 1)};
  FillCollectionCaps(records, [&](const std::string&) { return twice; });
  EXPECT_EQ(records[0].input_report_length, 9);
  EXPECT_EQ(records[1].input_report_length, 17);
}

TEST(CollectionCapsTest, ReadsTheNodesDescriptorFromSysfs) {
  char pattern[] = "/tmp/hid-sysfs-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::filesystem::path root = pattern;
  std::filesystem::create_directories(root / "class/hidraw/hidraw3/device");
  std::ofstream(root / "class/hidraw/hidraw3/device/report_descriptor", std::ios::binary)
      .write(reinterpret_cast<const char*>(kTwoCollections.data()),
             static_cast<std::streamsize>(kTwoCollections.size()));

  EXPECT_EQ(ReadReportDescriptor(root, "/dev/hidraw3"), kTwoCollections);
  EXPECT_TRUE(ReadReportDescriptor(root, "/dev/hidraw4").empty());
  EXPECT_TRUE(ReadReportDescriptor(root, "/dev/hidraw3/../../etc/passwd").empty());
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace mchid
