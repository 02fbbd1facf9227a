#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/testing/ScopedEnvironment.h"
#include "platform/macos/testing/StringText.h"
#include "testkit/installer/MacScript.h"

extern char** environ;

namespace {

using nlohmann::json;
using macstandin::testing::ScopedEnvironment;

constexpr auto kPatience = std::chrono::seconds(20);

// The CF value as JSON, for the types a progress record carries.
json JsonOf(CFTypeRef value) {
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFStringGetTypeID()) return macstandin::testing::Utf8Text(value).value_or("<not UTF-8>");
  if (type == CFBooleanGetTypeID()) return static_cast<bool>(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
  if (type == CFNumberGetTypeID()) {
    const auto number = static_cast<CFNumberRef>(value);
    if (CFNumberIsFloatType(number)) {
      double real = 0;
      CFNumberGetValue(number, kCFNumberDoubleType, &real);
      return real;
    }
    SInt64 integer = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
    return integer;
  }
  if (type == CFArrayGetTypeID()) {
    const auto array = static_cast<CFArrayRef>(value);
    json members = json::array();
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) members.push_back(JsonOf(CFArrayGetValueAtIndex(array, i)));
    return members;
  }
  ADD_FAILURE() << "unexpected CF type " << type;
  return nullptr;
}

// The members of the record under keys, as JSON; keys it lacks are left out.
json RecordJson(CFDictionaryRef record, const std::vector<std::string>& keys) {
  json members = json::object();
  for (const std::string& key : keys) {
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key.c_str(), kCFStringEncodingUTF8);
    if (CFTypeRef value = CFDictionaryGetValue(record, name)) members[key] = JsonOf(value);
    CFRelease(name);
  }
  return members;
}

const std::vector<std::string> kProgressKeys = {"progress", "sn", "state", "context"};

json Progress(int progress, const std::string& sn, int state, const std::string& context) {
  return {{"progress", progress}, {"sn", sn}, {"state", state}, {"context", context}};
}

// Collects the InstallProgressUpdate notifications of the machine, which arrive on the main
// run loop.
class ProgressObserver {
 public:
  explicit ProgressObserver(std::vector<std::string> keys = kProgressKeys) : m_keys(std::move(keys)) {
    CFNotificationCenterAddObserver(CFNotificationCenterGetDistributedCenter(), this, &ProgressObserver::Received,
                                    CFSTR("InstallProgressUpdate"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
  }
  ~ProgressObserver() {
    CFNotificationCenterRemoveObserver(CFNotificationCenterGetDistributedCenter(), this, nullptr, nullptr);
  }
  ProgressObserver(const ProgressObserver&) = delete;
  ProgressObserver& operator=(const ProgressObserver&) = delete;

  // Runs the main run loop until count records have come, or the patience is spent.
  std::vector<json> Await(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (m_records.size() < count && std::chrono::steady_clock::now() < deadline)
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true);
    return m_records;
  }

 private:
  static void Received(CFNotificationCenterRef, void* observer, CFNotificationName, const void*,
                       CFDictionaryRef userInfo) {
    auto* self = static_cast<ProgressObserver*>(observer);
    self->m_records.push_back(userInfo ? RecordJson(userInfo, self->m_keys) : json());
  }

  const std::vector<std::string> m_keys;
  std::vector<json> m_records;
};

std::optional<json> InstallStatus(const std::vector<std::string>& keys = kProgressKeys) {
  CFPropertyListRef value = CFPreferencesCopyAppValue(CFSTR("installStatus"), CFSTR("group.com.quelmo.tarvik"));
  if (value == nullptr) return std::nullopt;
  std::optional<json> record;
  if (CFGetTypeID(value) == CFDictionaryGetTypeID()) record = RecordJson(static_cast<CFDictionaryRef>(value), keys);
  CFRelease(value);
  return record;
}

// A Mac of its own (its root holds the app group's preferences and the distributed centre's
// rendezvous) shared with every child, and a folder with a space in its name for the programs.
class MacInstallerTest : public testing::Test {
 protected:
  MacInstallerTest()
      : m_dir(MakeFolder()),
        m_root("TARVIK_MAC_ROOT", m_dir + "/root"),
        m_record("TARVIK_INSTALLER_RECORD", RecordPath()) {
    std::filesystem::create_directories(m_dir + "/root");
  }
  ~MacInstallerTest() override { std::filesystem::remove_all(m_dir); }

  std::string RecordPath() const { return m_dir + "/starts.jsonl"; }

  // Writes the package program that starts the double under the script; its path.
  std::string WriteProgram(const std::string& relativePath, const std::string& script) const {
    const std::filesystem::path path = std::filesystem::path(m_dir) / relativePath;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << testkit::MacInstallerProgram(MAC_INSTALLER_PROGRAM, script);
    EXPECT_EQ(chmod(path.c_str(), 0755), 0);
    return path.string();
  }

  std::vector<json> Starts() const {
    std::vector<json> starts;
    std::ifstream file(RecordPath());
    for (std::string line; std::getline(file, line);) starts.push_back(json::parse(line));
    return starts;
  }

  static pid_t Start(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0) << words[0];
    return pid;
  }

  // The exit code, or -1 when the process did not exit by itself.
  static int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  static int RunToEnd(const std::vector<std::string>& words) { return ExitCodeOf(Start(words)); }

 private:
  static std::string MakeFolder() {
    std::string pattern = testing::TempDir() + "mac installer-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no test folder");
    return pattern;
  }

  const std::string m_dir;
  ScopedEnvironment m_root;
  ScopedEnvironment m_record;
};

TEST_F(MacInstallerTest, BundleProgramRecordsItsStartAndNotifiesTypicalProgress) {
  const std::string program = WriteProgram("Installer.app/Contents/MacOS/Installer", "");
  const std::vector<std::string> arguments = {"-no_delay", "-set_task_time", "900", "-sn", "SN 1'x"};
  ProgressObserver observer;
  pid_t pid = Start({program, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4]});

  EXPECT_EQ(observer.Await(3), (std::vector<json>{Progress(0, "SN 1'x", 1, "installing"),
                                                   Progress(50, "SN 1'x", 1, "installing"),
                                                   Progress(100, "SN 1'x", 1, "done")}));
  EXPECT_EQ(ExitCodeOf(pid), 0);
  EXPECT_EQ(Starts(), (std::vector<json>{{{"program", program}, {"arguments", arguments}}}));
}

TEST_F(MacInstallerTest, ScriptedRunWritesInstallStatusAndExitsWithItsCode) {
  const std::string program = WriteProgram("update", R"({
    "steps": [
      {"pause": 10},
      {"eachSerial": [{"status": {"progress": 40, "sn": "$sn", "state": 2, "context": "<copy> & $sn"}}]}],
    "exitCode": 7})");
  EXPECT_EQ(RunToEnd({program, "-sn", "SN2"}), 7);
  EXPECT_EQ(InstallStatus(), Progress(40, "SN2", 2, "<copy> & SN2"));
}

// Installers may send what the agent cannot use; the double passes it on as it is.
TEST_F(MacInstallerTest, MistypedRecordsArriveWithTheirOwnTypes) {
  const std::vector<std::string> keys = {"progress", "sn", "state", "context", "list"};
  const json record = {{"progress", "fifty"}, {"sn", 12}, {"state", 1.5}, {"context", true},
                       {"list", {-3, "a", false}}};
  const std::string program = WriteProgram(
      "update", json({{"steps", {{{"notify", record}}, {{"status", {{"sn", "only"}}}}}}}).dump());
  ProgressObserver observer(keys);
  pid_t pid = Start({program});
  EXPECT_EQ(observer.Await(1), std::vector<json>{record});
  EXPECT_EQ(ExitCodeOf(pid), 0);
  EXPECT_EQ(InstallStatus(keys), json({{"sn", "only"}}));
}

TEST_F(MacInstallerTest, BadScriptEndsTheInstallerBeforeItReports) {
  const char* scripts[] = {
      R"({"steps": [{"notify": [1, 2]}]})",
      R"({"steps": [{"status": "progress"}]})",
      R"({"steps": [{"notify": {"progress": null}}]})",
      R"({"steps": [{"notify": {"sn": 18446744073709551615}}]})",
      R"({"steps": [{"notify": {"context": "bell\u0007"}}]})",
      R"({"steps": [{"type": 2, "value": 50}]})",
      R"({"steps": [{"pause": 5}], "exitCode": -1})",
  };
  for (const char* script : scripts) {
    SCOPED_TRACE(script);
    EXPECT_THROW(testkit::MacPlanForProgram(testkit::MacInstallerProgram("/x", script), {"SN1"}),
                 std::invalid_argument);
  }
  const std::string program = WriteProgram("update", scripts[0]);
  EXPECT_EQ(RunToEnd({program, "-sn", "SN1"}), 2);
  EXPECT_EQ(Starts().size(), 1u);
}

TEST_F(MacInstallerTest, InstallProgressSendsOneRecordEitherWay) {
  ProgressObserver observer;
  EXPECT_EQ(RunToEnd({INSTALL_PROGRESS_PROGRAM, "notify", Progress(5, "N1", 3, "go").dump()}), 0);
  EXPECT_EQ(observer.Await(1), std::vector<json>{Progress(5, "N1", 3, "go")});

  EXPECT_EQ(RunToEnd({INSTALL_PROGRESS_PROGRAM, "status", Progress(99, "S1", 4, "end").dump()}), 0);
  EXPECT_EQ(InstallStatus(), Progress(99, "S1", 4, "end"));
}

TEST_F(MacInstallerTest, InstallProgressRefusesBadArguments) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"notify"},
      {"notify", "{}", "extra"},
      {"notify", "{not json"},
      {"status", "[1]"},
      {"status", R"({"sn": null})"},
      {"shout", "{}"},
  };
  for (std::vector<std::string> words : cases) {
    words.insert(words.begin(), INSTALL_PROGRESS_PROGRAM);
    SCOPED_TRACE(json(words).dump());
    EXPECT_EQ(RunToEnd(words), 2);
  }
  EXPECT_EQ(InstallStatus(), std::nullopt);
}

}  // namespace
