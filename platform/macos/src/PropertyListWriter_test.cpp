#include "platform/macos/internal/PropertyListWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/PropertyListLimits.h"
#include "platform/macos/testing/PropertyListText.h"

namespace {

using macstandin::Retained;
using macstandin::WritePropertyList;
using macstandin::testing::ListOf;
using macstandin::testing::OwnedPlist;
using macstandin::testing::PlistFormat;
using macstandin::testing::Serialized;

plist_t Dict(std::initializer_list<std::pair<const char*, plist_t>> entries) {
  plist_t dict = plist_new_dict();
  for (const auto& [key, value] : entries) plist_dict_set_item(dict, key, value);
  return dict;
}

plist_t Array(std::initializer_list<plist_t> items) {
  plist_t array = plist_new_array();
  for (plist_t item : items) plist_array_append_item(array, item);
  return array;
}

// Lists as another writer of the machine makes them; what the stand-in writes must read back
// the same in libplist, whichever format it writes.
TEST(PropertyListWriter, WritesWhatItReadsInEitherFormat) {
  const struct {
    const char* label;
    std::function<plist_t()> make;
  } cases[] = {
      {"scalars",
       [] {
         // Keys in the order of their text, as the stand-in's dictionaries keep them.
         return Dict({{"data", plist_new_data("a\0b", 3)},
                      {"date", plist_new_date(123456789, 250000)},
                      {"false", plist_new_bool(0)},
                      {"max", plist_new_uint(std::numeric_limits<std::int64_t>::max())},
                      {"negative", plist_new_uint(static_cast<std::uint64_t>(-5))},
                      {"real", plist_new_real(-2.5)},
                      {"text", plist_new_string("gr\xc3\xbc\xc3\x9f <&>")},
                      {"true", plist_new_bool(1)},
                      {"zero", plist_new_uint(0)}});
       }},
      {"nested",
       [] {
         return Dict({{"context", plist_new_string("ctx")},
                      {"list", Array({plist_new_uint(1), Dict({{"inner", Array({})}}), plist_new_string("")})},
                      {"none", Dict({})}});
       }},
      {"array at the top", [] { return Array({plist_new_string("a"), plist_new_real(0.125)}); }},
      {"string at the top", [] { return plist_new_string("alone"); }},
  };
  for (const auto& c : cases) {
    const OwnedPlist original(c.make());
    const auto list = Retained<const macstandin::CFObject>::Adopt(
        static_cast<const macstandin::CFObject*>(ListOf(original.get())));
    ASSERT_TRUE(list) << c.label;
    for (const CFPropertyListFormat format : {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0}) {
      SCOPED_TRACE(std::string(c.label) + (format == kCFPropertyListXMLFormat_v1_0 ? " as XML" : " as binary"));
      const std::optional<std::string> bytes = WritePropertyList(list.Get(), format);
      ASSERT_TRUE(bytes);
      plist_t parsed = nullptr;
      plist_from_memory(bytes->data(), static_cast<std::uint32_t>(bytes->size()), &parsed);
      const OwnedPlist owned(parsed);
      ASSERT_NE(parsed, nullptr);
      EXPECT_EQ(Serialized(parsed, PlistFormat::kXml), Serialized(original.get(), PlistFormat::kXml));
      CFPropertyListFormat read = kCFPropertyListXMLFormat_v1_0;
      const CFPropertyListRef back = macstandin::ReadPropertyList(*bytes, &read);
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(read, format);
      CFRelease(back);
    }
  }
}

// A dictionary holding a dictionary, levels deep in all.
Retained<const macstandin::CFObject> Nested(std::size_t levels) {
  auto list = Retained<const macstandin::CFObject>::Adopt(new CFDictionaryObject({}));
  for (std::size_t level = 1; level < levels; ++level)
    list = Retained<const macstandin::CFObject>::Adopt(new CFDictionaryObject({{u"k", list}}));
  return list;
}

TEST(PropertyListWriter, RefusesWhatIsNoPropertyListOrTooDeepToReadBack) {
  const auto set = Retained<const macstandin::CFObject>::Adopt(new CFSetObject({}));
  const auto setInside = Retained<const macstandin::CFObject>::Adopt(new CFDictionaryObject(
      {{u"fine", Retained<const macstandin::CFObject>::Adopt(macstandin::CreateNumber(1))}, {u"set", set}}));
  const auto hugeDate = Retained<const macstandin::CFObject>::Adopt(new CFDateObject(1e12));
  for (CFTypeRef refused : {static_cast<CFTypeRef>(nullptr), static_cast<CFTypeRef>(set.Get()),
                            static_cast<CFTypeRef>(setInside.Get()), static_cast<CFTypeRef>(hugeDate.Get())}) {
    EXPECT_FALSE(WritePropertyList(refused, kCFPropertyListBinaryFormat_v1_0));
    EXPECT_FALSE(macstandin::IsPropertyListValue(refused));
  }

  const std::size_t deepest = macstandin::kMaxPropertyListDepth;
  for (const CFPropertyListFormat format : {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0}) {
    const std::optional<std::string> bytes = WritePropertyList(Nested(deepest).Get(), format);
    ASSERT_TRUE(bytes);
    const CFPropertyListRef back = macstandin::ReadPropertyList(*bytes, nullptr);
    ASSERT_NE(back, nullptr);
    CFRelease(back);
    EXPECT_FALSE(WritePropertyList(Nested(deepest + 1).Get(), format));
  }
  // A value sits one level below the dictionary that holds it.
  EXPECT_TRUE(macstandin::IsPropertyListValue(Nested(deepest - 1).Get()));
  EXPECT_FALSE(macstandin::IsPropertyListValue(Nested(deepest).Get()));
}

}  // namespace
