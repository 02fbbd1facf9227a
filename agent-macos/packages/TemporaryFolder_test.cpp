#include "agent-macos/packages/TemporaryFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "agent-macos/testing/PackageTestFolder.h"

namespace fs = std::filesystem;
using packagetest::PackageTestFolder;

namespace {

mode_t modeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

// Why the folder is refused; empty when it is accepted.
std::string refusal() {
  try {
    packages::agentTemporaryFolder();
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

TEST(TemporaryFolderTest, IsMadeForTheAgentAloneUnderTmpdir) {
  const PackageTestFolder folder;
  ::umask(022);
  EXPECT_EQ(packages::agentTemporaryFolder(), folder.agentFolder());
  EXPECT_EQ(modeOf(folder.agentFolder()), 0700u);
  // The second call finds it in place.
  EXPECT_EQ(packages::agentTemporaryFolder(), folder.agentFolder());
}

TEST(TemporaryFolderTest, FallsBackToTmpWhenTmpdirIsEmpty) {
  const PackageTestFolder folder;
  ::setenv("TMPDIR", "", 1);
  const fs::path expected = fs::path("/tmp") / folder.agentFolder().filename();
  const bool existed = fs::exists(expected);
  EXPECT_EQ(packages::agentTemporaryFolder(), expected);
  if (!existed) fs::remove(expected);
}

TEST(TemporaryFolderTest, RefusesAFolderOthersCouldReachOrReplace) {
  const struct {
    const char* label;
    std::function<void(const fs::path& agent, const fs::path& root)> prepare;
    const char* reason;
  } cases[] = {
      {"a link to a folder",
       [](const fs::path& agent, const fs::path& root) {
         fs::create_directory(root / "elsewhere");
         fs::permissions(root / "elsewhere", fs::perms::owner_all);
         fs::create_directory_symlink(root / "elsewhere", agent);
       },
       "is a link"},
      {"a dangling link",
       [](const fs::path& agent, const fs::path& root) { fs::create_symlink(root / "missing", agent); }, "is a link"},
      {"a file", [](const fs::path& agent, const fs::path&) { std::ofstream(agent) << "x"; }, "is not a folder"},
      {"open to the group",
       [](const fs::path& agent, const fs::path&) {
         fs::create_directory(agent);
         ::chmod(agent.c_str(), 0750);
       },
       "is open to other users"},
      {"writable by everyone",
       [](const fs::path& agent, const fs::path&) {
         fs::create_directory(agent);
         ::chmod(agent.c_str(), 01777);
       },
       "is open to other users"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const PackageTestFolder folder;
    c.prepare(folder.agentFolder(), folder.root());
    const std::string reason = refusal();
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
}

TEST(TemporaryFolderTest, RefusesAFolderOfAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  const PackageTestFolder folder;
  fs::create_directory(folder.agentFolder());
  ::chmod(folder.agentFolder().c_str(), 0700);
  ASSERT_EQ(::chown(folder.agentFolder().c_str(), 65534, 65534), 0);
  const std::string reason = refusal();
  EXPECT_NE(reason.find("belongs to another user"), std::string::npos) << reason;
}

}  // namespace
