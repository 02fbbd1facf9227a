#include <gtest/gtest.h>

#include <string>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/CFValues.h"

namespace {

TEST(CFString, Utf8TextRoundTripsAndMalformedTextIsRefused) {
  struct Case {
    const char* bytes;
    CFIndex units;  // -1: not UTF-8
  };
  const Case cases[] = {
      {"", 0},
      {"com.quelmo.tarvik", 17},
      {"B\xC3\xBCro \xF0\x9F\x96\xA5", 7},  // a pair of code units for the emoji
      {"\xC3\x28", -1},                      // a lead byte without its continuation
      {"\xE2\x82", -1},                      // cut short
      {"\xC0\xAF", -1},                      // overlong
      {"\xED\xA0\x80", -1},                  // a surrogate
      {"\xF4\x90\x80\x80", -1},              // beyond U+10FFFF
  };
  for (const Case& c : cases) {
    CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, c.bytes, kCFStringEncodingUTF8);
    if (c.units < 0) {
      EXPECT_EQ(string, nullptr) << c.bytes;
      continue;
    }
    ASSERT_NE(string, nullptr) << c.bytes;
    EXPECT_EQ(CFStringGetLength(string), c.units);
    const std::string expected = c.bytes;
    const CFIndex size = static_cast<CFIndex>(expected.size());
    std::string buffer(static_cast<std::size_t>(CFStringGetMaximumSizeForEncoding(c.units, kCFStringEncodingUTF8) + 1),
                       'x');
    ASSERT_TRUE(CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8));
    EXPECT_EQ(buffer.c_str(), expected);
    // Exactly the bytes and the NUL fit; a byte less does not.
    EXPECT_TRUE(CFStringGetCString(string, buffer.data(), size + 1, kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8));
    CFRelease(string);
  }
  EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "text", kCFStringEncodingUTF32LE), nullptr);
}

TEST(CFString, GetBytesConvertsWholeCharactersOnly) {
  struct Case {
    std::u16string units;
    CFStringEncoding encoding;
    UInt8 lossByte;
    CFIndex capacity;  // 0: measure only
    CFIndex converted;
    std::string bytes;
  };
  const std::u16string mixed = u"a\u00FC\U0001F5A5";
  const std::u16string unpaired = u"a\xD800z";
  const Case cases[] = {
      {mixed, kCFStringEncodingUTF8, 0, 0, 4, std::string(7, '\0')},
      {mixed, kCFStringEncodingUTF8, 0, 16, 4, "a\xC3\xBC\xF0\x9F\x96\xA5"},
      {mixed, kCFStringEncodingUTF8, 0, 6, 2, "a\xC3\xBC"},
      {mixed, kCFStringEncodingUTF32LE, 0, 16, 4, std::string("a\0\0\0\xFC\0\0\0\xA5\xF5\x01\0", 12)},
      {mixed, kCFStringEncodingUTF32LE, 0, 7, 1, std::string("a\0\0\0", 4)},
      {unpaired, kCFStringEncodingUTF8, '?', 16, 3, "a?z"},
      {unpaired, kCFStringEncodingUTF8, 0, 16, 1, "a"},
  };
  for (const Case& c : cases) {
    const CFStringObject string(c.units);
    UInt8 buffer[16] = {};
    CFIndex used = -1;
    const CFIndex converted = CFStringGetBytes(&string, CFRangeMake(0, CFStringGetLength(&string)), c.encoding,
                                               c.lossByte, false, c.capacity ? buffer : nullptr, c.capacity, &used);
    EXPECT_EQ(converted, c.converted) << c.capacity;
    EXPECT_EQ(used, static_cast<CFIndex>(c.bytes.size())) << c.capacity;
    if (c.capacity) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(used)), c.bytes);
    }
  }
  const CFStringObject string(unpaired);
  char text[8];
  EXPECT_FALSE(CFStringGetCString(&string, text, sizeof text, kCFStringEncodingUTF8));
}

TEST(CFString, RangesOutsideTheStringConvertNothing) {
  const CFStringObject string(u"abc");
  for (CFRange range : {CFRangeMake(-1, 1), CFRangeMake(2, 2), CFRangeMake(0, -1), CFRangeMake(4, 0)}) {
    CFIndex used = -1;
    EXPECT_EQ(CFStringGetBytes(&string, range, kCFStringEncodingUTF8, 0, false, nullptr, 0, &used), 0);
    EXPECT_EQ(used, 0);
  }
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(1L << 62, kCFStringEncodingUTF8), kCFNotFound);
}

}  // namespace
