// The shared library carries its own model-flag table: a host that loads it by path gets the
// enabled features without handing it anything.
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "moncontrol/tables/CapstringToMap.h"

namespace {

TEST(CapstringToMapLibraryTest, TheLibraryFindsItsOwnTable) {
  void* library = dlopen(MONCONTROL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto* capstringToMap = reinterpret_cast<decltype(&CapstringToMap)>(dlsym(library, "CapstringToMap"));
  ASSERT_NE(capstringToMap, nullptr);

  const std::string caps = "(prot(monitor)type(LCD)vcp(02 10 12 C6(02 00 80 80) F8(05(00 01)))mccs_ver(2.2))";
  std::uint32_t length = static_cast<std::uint32_t>(caps.size() + 1);
  KeyValuePair pairs[4];
  std::int32_t count = -1;
  capstringToMap(&length, caps.c_str(), pairs, 4, &count);
  ASSERT_EQ(count, 3);
  const std::string expected[][2] = {{"10", ""}, {"12", ""}, {"F805", "00 01"}};
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(pairs[i].key, expected[i][0]);
    EXPECT_EQ(pairs[i].value, expected[i][1]);
    std::free(pairs[i].key);
    std::free(pairs[i].value);
  }
}

}  // namespace
