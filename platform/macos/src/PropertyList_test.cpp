#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/PropertyListLimits.h"
#include "platform/macos/testing/PlistWriter.h"
#include "platform/macos/testing/StringText.h"

namespace {

using macstandin::testing::OwnedPlist;
using macstandin::testing::PlistFormat;
using macstandin::testing::Serialized;
using macstandin::testing::Utf8Text;

// The list the bytes hold, released with the holder; also what the call reported.
struct ReadList {
  explicit ReadList(const std::string& bytes) {
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                  static_cast<CFIndex>(bytes.size()));
    CFErrorRef error = reinterpret_cast<CFErrorRef>(&format);  // a stale value the call must clear
    list = CFPropertyListCreateWithData(kCFAllocatorDefault, data, kCFPropertyListImmutable, &format, &error);
    errorCleared = error == nullptr;
    CFRelease(data);
  }
  ReadList(const ReadList&) = delete;
  ~ReadList() {
    if (list) CFRelease(list);
  }
  CFDictionaryRef Dictionary() const {
    return list && CFGetTypeID(list) == CFDictionaryGetTypeID() ? static_cast<CFDictionaryRef>(list) : nullptr;
  }

  CFPropertyListRef list = nullptr;
  CFPropertyListFormat format{};
  bool errorCleared = false;
};

CFTypeRef ValueOf(CFTypeRef dictionary, const char* key) {
  CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
  CFTypeRef value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(dictionary), name);
  CFRelease(name);
  return value;
}

bool IsA(CFTypeRef value, CFTypeID type) { return value != nullptr && CFGetTypeID(value) == type; }

SInt64 IntegerOf(CFTypeRef value) {
  SInt64 integer = -1;
  const bool isInteger = IsA(value, CFNumberGetTypeID()) && !CFNumberIsFloatType(static_cast<CFNumberRef>(value));
  EXPECT_TRUE(isInteger);
  if (isInteger) {
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &integer));
  }
  return integer;
}

std::string BigEndian(std::uint64_t value, int width) {
  std::string bytes;
  for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(value >> shift));
  return bytes;
}

// A binary list of the objects given, already encoded, the first one on top; references to
// each other are 4 bytes wide.
std::string BinaryList(const std::vector<std::string>& objects) {
  std::string bytes = "bplist00";
  std::string offsets;
  for (const std::string& object : objects) {
    offsets += BigEndian(bytes.size(), 4);
    bytes += object;
  }
  const std::uint64_t tableAt = bytes.size();
  bytes += offsets;
  bytes.append(6, '\0');
  bytes.push_back(4);  // offset width
  bytes.push_back(4);  // reference width
  return bytes + BigEndian(objects.size(), 8) + BigEndian(0, 8) + BigEndian(tableAt, 8);
}

// A binary list of arrays only: object i holds references to the objects members[i] names.
std::string BinaryArrays(const std::vector<std::vector<std::uint32_t>>& members) {
  std::vector<std::string> objects;
  for (const auto& references : members) {
    std::string object(1, static_cast<char>(0xA0 | references.size()));
    for (std::uint32_t reference : references) object += BigEndian(reference, 4);
    objects.push_back(object);
  }
  return BinaryList(objects);
}

std::string NestedArrays(std::size_t depth, PlistFormat format) {
  if (format == PlistFormat::kBinary) {
    std::vector<std::vector<std::uint32_t>> members(depth);
    for (std::size_t level = 0; level + 1 < depth; ++level) members[level] = {static_cast<std::uint32_t>(level + 1)};
    return BinaryArrays(members);
  }
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  for (std::size_t level = 0; level < depth; ++level) xml += "<array>";
  for (std::size_t level = 0; level < depth; ++level) xml += "</array>";
  return xml + "</plist>\n";
}

std::size_t DepthOf(CFTypeRef list) {
  std::size_t depth = 1;
  for (; CFArrayGetCount(static_cast<CFArrayRef>(list)) == 1; ++depth) {
    list = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(list), 0);
  }
  return depth;
}

class PropertyListFormats : public ::testing::TestWithParam<PlistFormat> {};

// Every kind of value a list holds comes back as itself, in the format it was written in.
TEST_P(PropertyListFormats, ValuesLibplistWroteReadBackAsThemselves) {
  const OwnedPlist root(plist_new_dict());
  plist_dict_set_item(root.get(), "Name", plist_new_string("Zun \xF0\x9F\x96\xA5 Büro"));
  plist_dict_set_item(root.get(), "Count", plist_new_uint(42));
  plist_dict_set_item(root.get(), "Negative", plist_new_uint(static_cast<std::uint64_t>(-7)));
  plist_dict_set_item(root.get(), "Wide", plist_new_uint(0x1234'5678'9ABCull));
  plist_dict_set_item(root.get(), "Ratio", plist_new_real(0.25));
  plist_dict_set_item(root.get(), "On", plist_new_bool(1));
  plist_dict_set_item(root.get(), "Off", plist_new_bool(0));
  plist_dict_set_item(root.get(), "Blob", plist_new_data("\x00\x01\xFF", 3));
  plist_dict_set_item(root.get(), "When", plist_new_date(10, 500000));
  plist_t members = plist_new_array();
  plist_array_append_item(members, plist_new_string("first"));
  plist_t inner = plist_new_dict();
  plist_dict_set_item(inner, "k", plist_new_string("v"));
  plist_array_append_item(members, inner);
  plist_dict_set_item(root.get(), "List", members);

  const ReadList read(Serialized(root.get(), GetParam()));
  ASSERT_TRUE(read.Dictionary());
  EXPECT_TRUE(read.errorCleared);
  EXPECT_EQ(read.format,
            GetParam() == PlistFormat::kXml ? kCFPropertyListXMLFormat_v1_0 : kCFPropertyListBinaryFormat_v1_0);
  EXPECT_EQ(CFDictionaryGetCount(read.Dictionary()), 10);

  EXPECT_EQ(Utf8Text(ValueOf(read.list, "Name")), "Zun \xF0\x9F\x96\xA5 Büro");
  EXPECT_EQ(IntegerOf(ValueOf(read.list, "Count")), 42);
  EXPECT_EQ(IntegerOf(ValueOf(read.list, "Negative")), -7);
  EXPECT_EQ(IntegerOf(ValueOf(read.list, "Wide")), 0x1234'5678'9ABCll);

  CFTypeRef ratio = ValueOf(read.list, "Ratio");
  double real = 0;
  ASSERT_TRUE(IsA(ratio, CFNumberGetTypeID()));
  EXPECT_TRUE(CFNumberIsFloatType(static_cast<CFNumberRef>(ratio)));
  EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(ratio), kCFNumberDoubleType, &real));
  EXPECT_EQ(real, 0.25);

  for (auto [key, truth] : {std::pair{"On", true}, std::pair{"Off", false}}) {
    CFTypeRef value = ValueOf(read.list, key);
    ASSERT_TRUE(IsA(value, CFBooleanGetTypeID())) << key;
    EXPECT_EQ(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0, truth) << key;
  }

  CFTypeRef blob = ValueOf(read.list, "Blob");
  ASSERT_TRUE(IsA(blob, CFDataGetTypeID()));
  EXPECT_EQ(static_cast<CFDataRef>(blob)->bytes, (std::vector<UInt8>{0x00, 0x01, 0xFF}));

  CFTypeRef when = ValueOf(read.list, "When");
  ASSERT_TRUE(IsA(when, CFDateGetTypeID()));
  // XML keeps whole seconds only.
  EXPECT_NEAR(static_cast<CFDateRef>(when)->sinceReferenceDate, 10.5, 0.5);

  CFTypeRef list = ValueOf(read.list, "List");
  ASSERT_TRUE(IsA(list, CFArrayGetTypeID()));
  ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(list)), 2);
  EXPECT_EQ(Utf8Text(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(list), 0)), "first");
  EXPECT_EQ(Utf8Text(ValueOf(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(list), 1), "k")), "v");
  EXPECT_EQ(ValueOf(read.list, "Absent"), nullptr);
}

// Limits hold alike in both formats: the deepest list allowed reads whole, one level more
// and far more are refused without exhausting the stack.
TEST_P(PropertyListFormats, NestingBeyondTheLimitIsRefused) {
  const std::size_t deepest = macstandin::kMaxPropertyListDepth;
  {
    const ReadList read(NestedArrays(deepest, GetParam()));
    ASSERT_TRUE(IsA(read.list, CFArrayGetTypeID()));
    EXPECT_EQ(DepthOf(read.list), deepest);
  }
  for (std::size_t depth : {deepest + 1, std::size_t{200000}}) {
    const ReadList read(NestedArrays(depth, GetParam()));
    EXPECT_EQ(read.list, nullptr) << depth;
    EXPECT_TRUE(read.errorCleared);
  }
}

TEST_P(PropertyListFormats, CutShortIsNoList) {
  const OwnedPlist root(plist_new_dict());
  plist_dict_set_item(root.get(), "PayloadIdentifier", plist_new_string("com.quelmo.tarvik"));
  plist_dict_set_item(root.get(), "PayloadVersion", plist_new_uint(1));
  const std::string whole = Serialized(root.get(), GetParam());
  ASSERT_TRUE(ReadList(whole).list);
  for (std::size_t length : {std::size_t{1}, whole.size() / 2, whole.size() - 10}) {
    EXPECT_EQ(ReadList(whole.substr(0, length)).list, nullptr) << length << " of " << whole.size();
  }
}

INSTANTIATE_TEST_SUITE_P(PropertyList, PropertyListFormats, ::testing::Values(PlistFormat::kXml, PlistFormat::kBinary),
                         [](const auto& info) { return info.param == PlistFormat::kXml ? "Xml" : "Binary"; });

// The shape of a configuration profile: what the agent looks up must be told apart by type.
TEST(PropertyList, ProfileValuesKeepTheirTypes) {
  const ReadList read(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Quelmo//DTD PLIST 1.0//EN" "http://example.invalid/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>PayloadContent</key>
  <array>
    <dict>
      <key>PayloadType</key><string>com.quelmo.tarvik</string>
      <key>ServerPort</key><integer>8443</integer>
      <key>Offset</key><integer>-5</integer>
      <key>PortAsText</key><string>8443</string>
      <key>Interval</key><real>2.5</real>
      <!-- a comment with markup in it: <array> -->
    </dict>
    <dict>
      <key>PayloadType</key><string>com.quelmo.other</string>
    </dict>
  </array>
  <key>PayloadVersion</key><integer>1</integer>
</dict>
</plist>
)");
  ASSERT_TRUE(read.Dictionary());
  EXPECT_EQ(read.format, kCFPropertyListXMLFormat_v1_0);
  EXPECT_EQ(IntegerOf(ValueOf(read.list, "PayloadVersion")), 1);
  CFTypeRef content = ValueOf(read.list, "PayloadContent");
  ASSERT_TRUE(IsA(content, CFArrayGetTypeID()));
  ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(content)), 2);
  CFTypeRef payload = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(content), 0);
  ASSERT_TRUE(IsA(payload, CFDictionaryGetTypeID()));
  EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(payload)), 5);

  EXPECT_EQ(Utf8Text(ValueOf(payload, "PayloadType")), "com.quelmo.tarvik");
  EXPECT_EQ(IntegerOf(ValueOf(payload, "ServerPort")), 8443);
  EXPECT_EQ(IntegerOf(ValueOf(payload, "Offset")), -5);
  EXPECT_FALSE(IsA(ValueOf(payload, "ServerPort"), CFStringGetTypeID()));
  EXPECT_FALSE(IsA(ValueOf(payload, "PortAsText"), CFNumberGetTypeID()));
  EXPECT_EQ(Utf8Text(ValueOf(payload, "PortAsText")), "8443");
  CFTypeRef interval = ValueOf(payload, "Interval");
  ASSERT_TRUE(IsA(interval, CFNumberGetTypeID()));
  EXPECT_TRUE(CFNumberIsFloatType(static_cast<CFNumberRef>(interval)));
  SInt32 whole = 0;
  EXPECT_FALSE(CFNumberGetValue(static_cast<CFNumberRef>(interval), kCFNumberSInt32Type, &whole));
  EXPECT_EQ(whole, 2);
  EXPECT_EQ(Utf8Text(ValueOf(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(content), 1), "PayloadType")),
            "com.quelmo.other");
}

TEST(PropertyList, TextThatIsNotUtf8BecomesReplacementCharacters) {
  const ReadList read("<plist><dict><key>N\xFFme</key><string>a\xC3\x28z\xED\xA0\x80</string></dict></plist>");
  ASSERT_TRUE(read.Dictionary());
  EXPECT_EQ(Utf8Text(ValueOf(read.list, "N\xEF\xBF\xBDme")), "a\xEF\xBF\xBD(z\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(PropertyList, WhatIsNoPropertyListGivesNull) {
  const std::string cases[] = {
      "",
      "garbage",
      std::string("\0\0\0\0", 4),
      "bplist00 and then no trailer at all, only words",
      "<plist><array><string>x</array></plist>",
      "<plist><dict><key>k</key><unknown/></dict></plist>",
      "<plist><array><!-- never closed </array></plist>",
      "<plist><array><string a=\"never closed></string></array></plist>",
      BinaryArrays({{0}}),     // an array inside itself
      BinaryArrays({{1, 7}, {}}),  // a reference beyond the table
  };
  for (const std::string& bytes : cases) {
    const ReadList read(bytes);
    EXPECT_EQ(read.list, nullptr) << bytes;
    EXPECT_TRUE(read.errorCleared);
  }
  CFErrorRef error = nullptr;
  EXPECT_EQ(CFPropertyListCreateWithData(kCFAllocatorDefault, nullptr, kCFPropertyListImmutable, nullptr, &error),
            nullptr);
}

// A key with a NUL in it is no key: libplist would stop the process over a UTF-16 one and
// cut an ASCII one short.
TEST(PropertyList, KeyWithANulIsRefused) {
  struct Case {
    std::string key;  // encoded
    bool reads;
  };
  const Case cases[] = {
      {"\x53" "abc", true},
      {std::string("\x63\0a\0b\0c", 7), true},
      {std::string("\x53" "a\0c", 4), false},
      {std::string("\x63\0a\0\0\0c", 7), false},
  };
  for (const auto& [key, reads] : cases) {
    const std::string dictionary = "\xD1" + BigEndian(1, 4) + BigEndian(2, 4);
    const ReadList read(BinaryList({dictionary, key, "\x51v"}));
    EXPECT_EQ(read.Dictionary() != nullptr, reads) << key.size();
    if (reads) {
      EXPECT_EQ(Utf8Text(ValueOf(read.list, "abc")), "v");
    }
  }
}

// A binary list may refer to one object from many places; each place gets the value, but an
// object doubled at every level would make billions of copies and is refused at once.
TEST(PropertyList, SharedObjectsAreCopiedWithinBounds) {
  const ReadList shared(BinaryArrays({{1, 1, 1}, {2}, {}}));
  ASSERT_TRUE(IsA(shared.list, CFArrayGetTypeID()));
  ASSERT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(shared.list)), 3);
  for (CFIndex index = 0; index < 3; ++index) {
    EXPECT_EQ(DepthOf(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(shared.list), index)), 2u);
  }

  std::vector<std::vector<std::uint32_t>> doubling(64);
  for (std::uint32_t level = 0; level + 1 < doubling.size(); ++level) doubling[level] = {level + 1, level + 1};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadList(BinaryArrays(doubling)).list, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
