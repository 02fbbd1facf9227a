#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/CFValues.h"
#include "platform/macos/testing/StringText.h"

namespace {

using macstandin::CFObject;
using macstandin::Retained;
using macstandin::testing::Utf8Text;

Retained<const CFObject> Adopted(CFTypeRef object) {
  return Retained<const CFObject>::Adopt(static_cast<const CFObject*>(object));
}

// A dictionary of pairs made with the public call, holding the only references to its values.
Retained<const CFObject> Dictionary(const std::vector<std::pair<const char*, Retained<const CFObject>>>& pairs) {
  std::vector<Retained<const CFObject>> keys;
  std::vector<const void*> keyRefs;
  std::vector<const void*> valueRefs;
  for (const auto& [key, value] : pairs) {
    keyRefs.push_back(keys.emplace_back(Adopted(macstandin::CreateStringFromUtf8(key))).Get());
    valueRefs.push_back(value.Get());
  }
  return Adopted(CFDictionaryCreate(kCFAllocatorDefault, keyRefs.data(), valueRefs.data(),
                                    static_cast<CFIndex>(pairs.size()), &kCFTypeDictionaryKeyCallBacks,
                                    &kCFTypeDictionaryValueCallBacks));
}

Retained<const CFObject> Text(const char* text) { return Adopted(macstandin::CreateStringFromUtf8(text)); }

std::string Description(const Retained<const CFObject>& object) {
  CFStringRef description = CFCopyDescription(object.Get());
  std::string text = Utf8Text(description).value_or("<not a string>");
  CFRelease(description);
  return text;
}

TEST(CFDescription, ValuesAsTextAndCollectionsInPropertyListLayout) {
  const Retained<const CFObject> list = Adopted(new CFArrayObject(
      {Adopted(new CFBooleanObject(true)), Text("say \"hi\"\\"), Adopted(macstandin::CreateRealNumber(-2.0))}));
  const struct {
    Retained<const CFObject> object;
    std::string description;
  } cases[] = {
      {Text("two words"), "two words"},
      {Adopted(macstandin::CreateNumber(-42)), "-42"},
      {Adopted(macstandin::CreateRealNumber(1.5)), "1.5"},
      {Dictionary({{"command", Text("ImmediatelyHeartbeat")}}), "{\n    command = ImmediatelyHeartbeat;\n}"},
      {Dictionary({}), "{\n}"},
      {Dictionary({{"empty", Text("")},
                   {"inner", Dictionary({{"path", Text("a/b.c")}, {"list", list}})},
                   {"B\xC3\xBCro", Adopted(macstandin::CreateNumber(7))}}),
       "{\n"
       "    \"B\xC3\xBCro\" = 7;\n"
       "    empty = \"\";\n"
       "    inner = {\n"
       "        list = (\n"
       "            1,\n"
       "            \"say \\\"hi\\\"\\\\\",\n"
       "            -2\n"
       "        );\n"
       "        path = a/b.c;\n"
       "    };\n"
       "}"},
  };
  for (const auto& c : cases) EXPECT_EQ(Description(c.object), c.description);
}

TEST(CFDictionaryCreate, HoldsItsOwnReferencesAndALaterPairWins) {
  Retained<const CFObject> dictionary = Dictionary({{"k", Text("first")}, {"other", Text("o")}, {"k", Text("second")}});
  const auto ref = static_cast<CFDictionaryRef>(dictionary.Get());
  EXPECT_EQ(CFGetTypeID(ref), CFDictionaryGetTypeID());
  EXPECT_EQ(CFDictionaryGetCount(ref), 2);
  // The values made above are gone but for the dictionary's references; ASan sees any misuse.
  EXPECT_EQ(Utf8Text(CFDictionaryGetValue(ref, CFSTR("k"))), "second");
  EXPECT_EQ(Utf8Text(CFDictionaryGetValue(ref, CFSTR("other"))), "o");
  EXPECT_EQ(CFDictionaryGetValue(ref, CFSTR("missing")), nullptr);
}

}  // namespace
