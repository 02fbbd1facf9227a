// Downloads from the management server double, unpacked by the system's unzip, installers run
// as real processes.
#include "agent-macos/packages/DownloadPackage.h"

#include <unistd.h>

#include <fstream>
#include <regex>

#include <gtest/gtest.h>

#include "agent-macos/testing/PackageTestFolder.h"
#include "agent-macos/testing/MacRoot.h"
#include "testkit/mgmt-server/MgmtServer.h"
#include "testkit/packages/Zip.h"

namespace fs = std::filesystem;
using agentmactest::LogMark;
using agentmactest::MacRoot;
using packagetest::eventually;
using packagetest::folderContents;
using packagetest::PackageTestFolder;
using packagetest::packageURL;
using packagetest::readFile;
using testkit::packages::MakeZip;
using testkit::packages::ZipEntry;

namespace {

constexpr unsigned kExecutableMode = 0100755;
constexpr unsigned kFileMode = 0100644;
constexpr unsigned kLinkMode = 0120777;
constexpr const char* kUuid = "[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}";

// Open in the test, never handed to a child.
constexpr int kAgentDescriptor = 77;

// Arguments (out folder, "-sn", serial): writes its path and arguments to <out>/<serial>.args,
// notes in <out>/<serial>.leak when it got kAgentDescriptor, then, when <out>/<serial>.fifo
// exists, waits for a line from it.
std::string installerScript(int exitCode) {
  return packagetest::shellScript(
      "printf '%s\\n' \"$0\" \"$@\" > \"$1/$3.args\"\n"
      "if [ -e /proc/self/fd/" +
      std::to_string(kAgentDescriptor) +
      " ]; then : > \"$1/$3.leak\"; fi\n"
      "if [ -p \"$1/$3.fifo\" ]; then read go < \"$1/$3.fifo\"; fi\n"
      "exit " +
      std::to_string(exitCode));
}

std::string lines(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += word + "\n";
  return text;
}

// The folder the log names after "Unzipped to: ", checked for its form; empty when none.
std::string unpackFolderIn(const std::string& log, const fs::path& agentFolder) {
  const std::regex unzipped("Unzipped to: (" + agentFolder.string() + "/TarvikZipUnpack_" + kUuid + ")\n");
  std::smatch match;
  return std::regex_search(log, match, unzipped) ? match[1].str() : "";
}

// The agent's folder holds nothing, and nothing was written beside it.
bool nothingLeft(const PackageTestFolder& folder) {
  return folderContents(folder.root()) == folder.agentFolder().filename().string() + "\n";
}

class DownloadPackageTest : public testing::Test {
 protected:
  void SetUp() override { MacRoot(); }
};

TEST_F(DownloadPackageTest, StartsTheProgramOfASoundPackageAndRemovesEveryOther) {
  const PackageTestFolder folder;
  testkit::MgmtServer plain;
  testkit::MgmtServer tls(testkit::MgmtServerOptions{.tls = true});
  const ZipEntry bundleProgram{"Installer.app/Contents/MacOS/Installer", installerScript(0), kExecutableMode};
  const ZipEntry bundlePlist{"Installer.app/Contents/Info.plist", "<plist/>", kFileMode};
  const ZipEntry readme{"readme.txt", "read me", kFileMode};
  const std::string bundle = "Installer.app/Contents/MacOS/Installer";
  ASSERT_EQ(::dup2(STDERR_FILENO, kAgentDescriptor), kAgentDescriptor);
  const struct {
    const char* label;
    bool tls;
    std::string body;
    std::string program;  // in the unpack folder; empty: none is started
    std::string outcome;  // the line that ends the run
  } cases[] = {
      {"bundle", false, MakeZip({bundlePlist, bundleProgram, readme}), bundle, "[Info] App finished, cleaning up..."},
      {"bundle over TLS", true, MakeZip({bundlePlist, bundleProgram}), bundle, "[Info] App finished, cleaning up..."},
      {"bare, ending with status 3", false, MakeZip({readme, {"update", installerScript(3), kExecutableMode}}),
       "update", "[Info] App finished, cleaning up..."},
      {"readme only", false, MakeZip({readme}), "", "[Error] No executable found in unzipped directory."},
      {"no interpreter", false, MakeZip({{"update", "#!/nonexistent/sh\n", kExecutableMode}}), "",
       "[Error] Failed to run app: No such file or directory"},
      {"not a zip", false, "<html>Service Unavailable</html>", "", "[Error] Failed to unzip file."},
      {"empty body", false, "", "", "[Error] Failed to unzip file."},
      {"absolute name", false, MakeZip({bundleProgram, {(folder.root() / "escaped").string(), "x", kFileMode}}), "",
       "[Error] Failed to unzip file."},
      {"climbing name", false, MakeZip({bundleProgram, {"../escaped", "x", kFileMode}}), "",
       "[Error] Failed to unzip file."},
      {"climbing inside a name", false, MakeZip({bundleProgram, {"a/../../escaped", "x", kFileMode}}), "",
       "[Error] Failed to unzip file."},
      {"climbing with backslashes", false, MakeZip({bundleProgram, {"a\\..\\..\\escaped", "x", kFileMode}}), "",
       "[Error] Failed to unzip file."},
      {"link entry", false, MakeZip({bundleProgram, {"Installer.app/Contents/Resources", "/etc", kLinkMode}}), "",
       "[Error] Failed to unzip file."},
      {"program is a link", false, MakeZip({{bundle, "/bin/sh", kLinkMode}}), "", "[Error] Failed to unzip file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    testkit::MgmtServer& server = c.tls ? tls : plain;
    server.ServePackage("pkg.zip", c.body);
    const std::vector<std::string> arguments = {folder.out().string(), "-sn", "SN-1 a\"b"};
    const LogMark mark;

    Utils::downloadPackage(packageURL(c.tls, server.Port(), "pkg.zip"), arguments);

    ASSERT_TRUE(mark.WaitFor(c.outcome)) << mark.Since();
    EXPECT_TRUE(eventually([&] { return nothingLeft(folder); })) << folderContents(folder.root());
    const std::string log = mark.Since();
    EXPECT_NE(log.find("[Info] Zip file downloaded to: " + folder.agentFolder().string() + "/TarvikDownload_"),
              std::string::npos)
        << log;
    EXPECT_TRUE(std::regex_search(log, std::regex("/TarvikDownload_" + std::string(kUuid) + "/pkg.zip\n"))) << log;
    const fs::path argsFile = folder.out() / "SN-1 a\"b.args";
    if (c.program.empty()) {
      EXPECT_EQ(log.find("App is running"), std::string::npos) << log;
      EXPECT_FALSE(fs::exists(argsFile));
      continue;
    }
    const std::string program = unpackFolderIn(log, folder.agentFolder()) + "/" + c.program;
    EXPECT_NE(log.find("[Info] App is running: " + program + " with param: [\"" + folder.out().string() +
                       "\", \"-sn\", \"SN-1 a\\\"b\"]\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(readFile(argsFile), lines({program, folder.out().string(), "-sn", "SN-1 a\"b"}));
    EXPECT_FALSE(fs::exists(folder.out() / "SN-1 a\"b.leak"));
    fs::remove(argsFile);
  }
  ::close(kAgentDescriptor);
}

TEST_F(DownloadPackageTest, TwoDownloadsOfOnePackageRunApartToTheirEnds) {
  const PackageTestFolder folder;
  testkit::MgmtServer server;
  server.ServePackage("pkg.zip",
                      MakeZip({{"Installer.app/Contents/MacOS/Installer", installerScript(0), kExecutableMode}}));
  const std::vector<std::string> serials = {"SN1", "SN2"};
  for (const std::string& serial : serials) ASSERT_EQ(::mkfifo((folder.out() / (serial + ".fifo")).c_str(), 0600), 0);
  const LogMark mark;

  for (const std::string& serial : serials)
    Utils::downloadPackage(packageURL(false, server.Port(), "pkg.zip"), {folder.out().string(), "-sn", serial});

  // Both installers run at once, each from its own unpack folder with its own arguments.
  std::vector<std::string> programs;
  for (const std::string& serial : serials) {
    const fs::path argsFile = folder.out() / (serial + ".args");
    ASSERT_TRUE(eventually([&] { return readFile(argsFile).find(serial + "\n") != std::string::npos; }));
    const std::string args = readFile(argsFile);
    programs.push_back(args.substr(0, args.find('\n')));
    EXPECT_EQ(args, lines({programs.back(), folder.out().string(), "-sn", serial}));
  }
  EXPECT_NE(fs::path(programs[0]).parent_path(), fs::path(programs[1]).parent_path());

  // The first one's end removes its own package only.
  std::ofstream(folder.out() / "SN1.fifo") << "go\n";
  ASSERT_TRUE(mark.WaitFor("[Info] App finished, cleaning up...")) << mark.Since();
  EXPECT_TRUE(eventually([&] { return !fs::exists(programs[0]); }));
  EXPECT_TRUE(fs::exists(programs[1]));
  std::ofstream(folder.out() / "SN2.fifo") << "go\n";
  EXPECT_TRUE(eventually([&] { return nothingLeft(folder); })) << folderContents(folder.root());
}

TEST_F(DownloadPackageTest, ADownloadThatFailsLeavesNothing) {
  const PackageTestFolder folder;
  const ServerURL url = packageURL(false, testkit::MgmtServer().Port(), "pkg.zip");  // nobody listens there any more
  const LogMark mark;

  Utils::downloadPackage(url, {"-sn", "SN1"});

  ASSERT_TRUE(mark.WaitFor("[Error] Download error: Connection refused\n")) << mark.Since();
  EXPECT_TRUE(nothingLeft(folder)) << folderContents(folder.root());
}

TEST_F(DownloadPackageTest, DownloadsNothingIntoATemporaryFolderOthersCouldReach) {
  const PackageTestFolder folder;
  testkit::MgmtServer server;
  server.ServePackage("pkg.zip", "x");
  fs::create_directory(folder.out() / "elsewhere");
  fs::create_directory_symlink(folder.out() / "elsewhere", folder.agentFolder());
  const LogMark mark;

  Utils::downloadPackage(packageURL(false, server.Port(), "pkg.zip"), {"-sn", "SN1"});

  ASSERT_TRUE(mark.WaitFor("[Error] File handling error: " + folder.agentFolder().string() + " is a link\n"))
      << mark.Since();
  EXPECT_TRUE(server.PackageRequests().empty());
  EXPECT_EQ(folderContents(folder.out() / "elsewhere"), "");
}

}  // namespace
