#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <optional>
#include <string>

#include "platform/macos/SystemConfiguration.h"
#include "platform/macos/testing/ScopedEnvironment.h"
#include "platform/macos/testing/StringText.h"

namespace {

using macstandin::testing::ScopedEnvironment;
using macstandin::testing::Utf8Text;

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  gethostname(name, sizeof name - 1);
  return name;
}

TEST(ComputerName, TheSetNameOrTheHostName) {
  struct Case {
    std::optional<std::string> configured;
    std::optional<std::string> name;  // nullopt: the system gives none
  };
  const Case cases[] = {
      {std::nullopt, HostName()},
      {"Büro-Mac", "Büro-Mac"},
      {"", std::nullopt},
      {"Lab\xFF", "Lab\xEF\xBF\xBD"},  // a name set by hand that is not UTF-8
  };
  for (const Case& c : cases) {
    const ScopedEnvironment name("TARVIK_MAC_COMPUTER_NAME", c.configured);
    CFStringEncoding encoding = 0;
    CFStringRef computerName = SCDynamicStoreCopyComputerName(nullptr, &encoding);
    if (!c.name) {
      EXPECT_EQ(computerName, nullptr);
      continue;
    }
    ASSERT_NE(computerName, nullptr) << *c.name;
    EXPECT_EQ(Utf8Text(computerName), *c.name);
    EXPECT_EQ(encoding, kCFStringEncodingUTF8);
    CFRelease(computerName);
    // Callers that do not want the encoding pass none.
    computerName = SCDynamicStoreCopyComputerName(nullptr, nullptr);
    ASSERT_NE(computerName, nullptr);
    CFRelease(computerName);
  }
}

}  // namespace
