#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/macos/NativePath.h"
#include "platform/macos/testing/ScopedEnvironment.h"

namespace {

using macstandin::testing::ScopedEnvironment;

TEST(NativePath, FixedMacPathsLandUnderTheRootFolder) {
  struct Case {
    std::optional<std::string> root;
    const char* macPath;
    const char* native;
  };
  const Case cases[] = {
      {"/tmp/macroot/", "/var/log/HalvaneSDK", "/tmp/macroot/var/log/HalvaneSDK"},
      {"/tmp/macroot", "/Library/Managed Preferences/x.plist", "/tmp/macroot/Library/Managed Preferences/x.plist"},
      {"/tmp/macroot", "relative/file.log", "relative/file.log"},
      {"/tmp/macroot", "", ""},
      {std::nullopt, "/var/log/HalvaneSDK", "/var/lib/tarvik/mac/var/log/HalvaneSDK"},
      {"", "/Users", "/var/lib/tarvik/mac/Users"},
      {"/", "/etc/hosts", "/etc/hosts"},
  };
  for (const Case& c : cases) {
    const ScopedEnvironment root("TARVIK_MAC_ROOT", c.root);
    EXPECT_EQ(macos::NativePathForDependency(c.macPath), c.native) << c.root.value_or("(unset)") << " " << c.macPath;
  }
}

}  // namespace
