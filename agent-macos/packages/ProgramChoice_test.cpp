#include "agent-macos/packages/ProgramChoice.h"

#include <fstream>

#include <gtest/gtest.h>

#include "agent-macos/packages/PackagePaths.h"
#include "agent-macos/testing/PackageTestFolder.h"

namespace fs = std::filesystem;
using packagetest::PackageTestFolder;

namespace {

struct Item {
  enum Kind { File, Folder, Link };
  std::string path;  // in the unpack folder
  Kind kind;
  fs::perms mode;
  std::string linkTarget;  // relative to the unpack folder
};

constexpr fs::perms kExecutable = fs::perms::owner_all;
constexpr fs::perms kReadable = fs::perms::owner_read | fs::perms::owner_write;

Item file(std::string path, fs::perms mode = kReadable) { return {std::move(path), Item::File, mode, ""}; }
Item folder(std::string path) { return {std::move(path), Item::Folder, kExecutable, ""}; }
Item link(std::string path, std::string target) { return {std::move(path), Item::Link, kReadable, std::move(target)}; }

void make(const fs::path& folder, const Item& item) {
  const fs::path path = folder / item.path;
  fs::create_directories(path.parent_path());
  switch (item.kind) {
    case Item::File:
      std::ofstream(path) << "#!/bin/sh\n";
      fs::permissions(path, item.mode);
      return;
    case Item::Folder:
      fs::create_directory(path);
      fs::permissions(path, item.mode);
      return;
    case Item::Link:
      fs::create_symlink(item.linkTarget, path);
      return;
  }
}

TEST(ProgramChoiceTest, TakesTheBundleProgramThenABareExecutableAndNothingElse) {
  const Item bare = file("update", kExecutable);
  const struct {
    const char* label;
    std::vector<Item> items;
    std::optional<std::string> chosen;
  } cases[] = {
      {"bundle before bare",
       {bare, file("Installer.app/Contents/MacOS/Installer", kExecutable)},
       "Installer.app/Contents/MacOS/Installer"},
      {"bundle program not executable", {bare, file("Installer.app/Contents/MacOS/Installer")}, "update"},
      {"bundle without a program folder", {bare, file("Installer.app/Contents/Info.plist")}, "update"},
      {"bundle that is a file", {bare, file("Installer.app", kExecutable)}, "update"},
      {"hidden items",
       {file(".update", kExecutable), file("Installer.app/Contents/MacOS/.Installer", kExecutable)},
       std::nullopt},
      {"bare names with an extension",
       {file("update.sh", kExecutable), file("Installer.APP/Contents/MacOS/x", kExecutable)},
       std::nullopt},
      {"bare not executable", {file("update")}, std::nullopt},
      {"executable folders", {folder("update"), folder("Installer.app/Contents/MacOS/Installer")}, std::nullopt},
      {"links out of the folder",
       {link("update", "../outside"), link("Installer.app/Contents/MacOS/Installer", "/bin/sh")},
       std::nullopt},
      {"readme only", {file("readme.txt")}, std::nullopt},
      {"nothing", {}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const PackageTestFolder root;
    const fs::path unpack = root.root() / "unpack";
    fs::create_directory(unpack);
    make(root.root(), file("outside", kExecutable));
    for (const Item& item : c.items) make(unpack, item);
    const std::optional<fs::path> chosen = packages::chooseProgram(unpack);
    if (c.chosen) {
      EXPECT_EQ(chosen, unpack / *c.chosen);
    } else {
      EXPECT_EQ(chosen, std::nullopt) << *chosen;
    }
  }
}

TEST(ProgramChoiceTest, AFolderThatCannotBeListedIsAFileError) {
  const PackageTestFolder root;
  EXPECT_THROW(packages::chooseProgram(root.root() / "missing"), fs::filesystem_error);
}

TEST(PackageRemovalTest, RemovesLinksWithoutFollowingThem) {
  const PackageTestFolder root;
  const fs::path kept = root.root() / "kept";
  fs::create_directory(kept);
  std::ofstream(kept / "file") << "keep me";
  packages::PackagePaths paths;
  paths.downloadFolder = root.root() / "download";
  paths.unpackFolder = root.root() / "unpack";
  fs::create_directories(paths.downloadFolder);
  fs::create_directories(paths.unpackFolder / "inner");
  fs::create_directory_symlink(kept, paths.unpackFolder / "link");
  fs::create_directory_symlink(kept, paths.unpackFolder / "inner" / "link");
  fs::create_symlink(kept / "file", paths.downloadFolder / "pkg.zip");

  packages::removePackage(paths);

  EXPECT_FALSE(fs::exists(fs::symlink_status(paths.downloadFolder)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(paths.unpackFolder)));
  EXPECT_TRUE(fs::exists(kept / "file"));
}

}  // namespace
