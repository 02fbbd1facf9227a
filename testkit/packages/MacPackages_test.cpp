#include "testkit/packages/MacPackages.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "testkit/installer/MacScript.h"
#include "testkit/packages/WorkFolder.h"

extern char** environ;

namespace {

using testkit::packages::MacInstallerZip;
using testkit::packages::MacPackageKind;
using testkit::packages::WorkFolder;

constexpr char kInstaller[] = "/opt/tarvik test/mac-installer";
constexpr char kScript[] = R"({"exitCode": 4})";

int RunToEnd(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int status = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) != pid ||
      !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

// The names the archive holds, in its order.
std::vector<std::string> EntryNames(const std::string& zip) {
  std::vector<std::string> names;
  FILE* listing = popen(("/usr/bin/unzip -Z1 '" + zip + "'").c_str(), "r");
  if (listing == nullptr) return names;
  char line[512];
  while (std::fgets(line, sizeof line, listing) != nullptr) {
    std::string name = line;
    if (!name.empty() && name.back() == '\n') name.pop_back();
    names.push_back(name);
  }
  pclose(listing);
  return names;
}

// Every path below the folder: "dir/" for a folder, "name*" for an executable file.
std::map<std::string, std::string> Layout(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> layout;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_directory()) {
      layout[name] = "dir";
      continue;
    }
    const bool executable = (entry.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
    layout[name] = WorkFolder::Read(entry.path().string()).starts_with("#!") ? "program" : "file";
    if (executable) layout[name] += " executable";
  }
  return layout;
}

TEST(MacPackagesTest, ArchivesUnpackWithTheSystemUnzip) {
  const std::string program = testkit::MacInstallerProgram(kInstaller, kScript);
  struct Case {
    MacPackageKind kind;
    std::map<std::string, std::string> layout;
    std::string programPath;
  } cases[] = {
      {MacPackageKind::Bundle,
       {{"Installer.app", "dir"},
        {"Installer.app/Contents", "dir"},
        {"Installer.app/Contents/MacOS", "dir"},
        {"Installer.app/Contents/MacOS/Installer", "program executable"}},
       "Installer.app/Contents/MacOS/Installer"},
      {MacPackageKind::Bare, {{"update", "program executable"}, {"readme.txt", "file"}}, "update"},
      {MacPackageKind::ReadmeOnly, {{"readme.txt", "file"}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    WorkFolder folder;
    const std::string zip = folder.File("package.zip");
    std::ofstream(zip, std::ios::binary) << MacInstallerZip(c.kind, kInstaller, kScript);
    const std::string unpacked = folder.File("unpacked");
    ASSERT_EQ(RunToEnd({"/usr/bin/unzip", "-q", zip, "-d", unpacked}), 0);
    EXPECT_EQ(Layout(unpacked), c.layout);
    if (!c.programPath.empty()) {
      EXPECT_EQ(WorkFolder::Read(unpacked + "/" + c.programPath), program);
    }
  }
}

TEST(MacPackagesTest, HostileArchiveHoldsClimbingAndAbsoluteNamesBesideTheBundle) {
  WorkFolder folder;
  const std::string zip = folder.File("hostile.zip");
  std::ofstream(zip, std::ios::binary) << MacInstallerZip(MacPackageKind::Hostile, kInstaller, "");
  EXPECT_EQ(EntryNames(zip), (std::vector<std::string>{"../escape.txt", "/abs.txt", "Installer.app/",
                                                        "Installer.app/Contents/", "Installer.app/Contents/MacOS/",
                                                        "Installer.app/Contents/MacOS/Installer"}));
}

TEST(MacPackagesTest, MakePackageWritesMacPackages) {
  WorkFolder folder;
  const std::string script = folder.File("script.json");
  std::ofstream(script) << kScript;
  const std::string out = folder.File("update.zip");
  ASSERT_EQ(RunToEnd({MAKE_PACKAGE_PROGRAM, "--macos", "bare", "--installer", kInstaller, "--script", script, "--out", out}),
            0);
  EXPECT_EQ(EntryNames(out), (std::vector<std::string>{"update", "readme.txt"}));
  const std::string unpacked = folder.File("unpacked");
  ASSERT_EQ(RunToEnd({"/usr/bin/unzip", "-q", out, "-d", unpacked}), 0);
  EXPECT_EQ(WorkFolder::Read(unpacked + "/update"), testkit::MacInstallerProgram(kInstaller, kScript));

  const std::vector<std::vector<std::string>> refused = {
      {"--macos", "dmg", "--installer", kInstaller, "--out", out},
      {"--macos", "app", "--installer", kInstaller},
      {"--macos", "app", "--out", out},
      {"--macos", "app", "--installer", kInstaller, "--out", out, "--out", out},
      {"--macos", "app", "--installer", kInstaller, "--out", out, "--script"},
      {"--macos", "app", "--installer", kInstaller, "--out", out, "--signer", "x"},
  };
  for (std::vector<std::string> words : refused) {
    words.insert(words.begin(), MAKE_PACKAGE_PROGRAM);
    SCOPED_TRACE(words.back());
    EXPECT_EQ(RunToEnd(words), 2);
  }
}

}  // namespace
