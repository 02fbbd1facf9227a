#include "agent-macos/packages/PackageFileName.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kBase = "https://h:8443/tarvik/model/package/getModelPackageByModelName";

TEST(PackageFileNameTest, TakesTheNameAfterTheLastSeparatorOfTheDecodedValue) {
  struct Case {
    std::string query;
    std::optional<std::string> name;
  };
  const std::vector<Case> cases = {
      {"?filename=pkg_v2.zip", "pkg_v2.zip"},
      {"?filename=C:\\updates\\pkg.zip", "pkg.zip"},
      {"?filename=C:%5Cupdates%5Cpkg.zip", "pkg.zip"},
      {"?filename=updates/pkg.zip", "pkg.zip"},
      {"?filename=a\\b/c.zip", "b/c.zip"},  // cut at the backslash only
      {"?filename=my%20pkg.zip", "my pkg.zip"},
      {"?filename=my%2520pkg.zip", "my pkg.zip"},  // decoded twice
      {"?filename=100%25.zip", "100%.zip"},        // the second decoding fails: kept
      {"?filename=a+b.zip", "a+b.zip"},
      {"?x=1&filename=first.zip&filename=second.zip#f", "first.zip"},
      {"?file%6Eame=n.zip", "n.zip"},
      {"?filename=", ""},
      {"?filename", std::nullopt},
      {"?filename=%zz.zip", std::nullopt},
      {"?name=pkg.zip", std::nullopt},
      {"", std::nullopt},
      {"#?filename=pkg.zip", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(Utils::fileNameFromURL(kBase + c.query), c.name);
  }
}

TEST(PackageFileNameTest, KeepsOnlyPlainNamesInTheTemporaryFolder) {
  struct Case {
    std::optional<std::string> name;
    std::string kept;
  };
  const std::vector<Case> cases = {
      {"pkg.zip", "pkg.zip"},   {"my pkg.zip", "my pkg.zip"}, {".pkg", ".pkg"},
      {std::nullopt, "Tarvik.zip"}, {"", "Tarvik.zip"},       {".", "Tarvik.zip"},
      {"..", "Tarvik.zip"},     {"b/c.zip", "Tarvik.zip"},    {std::string("a\0b", 3), "Tarvik.zip"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utils::packageFileName(c.name), c.kept) << c.name.value_or("(none)");
}

}  // namespace
