#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/internal/CFValues.h"
#include "platform/macos/internal/PreferenceFiles.h"
#include "platform/macos/internal/PropertyList.h"
#include "platform/macos/testing/PeerProcess.h"
#include "platform/macos/testing/PlistWriter.h"
#include "platform/macos/testing/PropertyListText.h"
#include "platform/macos/testing/StringText.h"
#include "platform/macos/testing/TempMacRoot.h"

namespace {

namespace fs = std::filesystem;
using macstandin::Retained;
using macstandin::testing::PeerArguments;
using macstandin::testing::PeerProcess;
using macstandin::testing::ListOf;
using macstandin::testing::OwnedPlist;
using macstandin::testing::PlistFormat;
using macstandin::testing::RegisterPeerRole;
using macstandin::testing::RunPeer;
using macstandin::testing::Serialized;
using macstandin::testing::TempMacRoot;
using macstandin::testing::Utf8Text;
using macstandin::testing::XmlOf;

constexpr const char* kDomain = "com.quelmo.tarvik";

std::string LoginName() { return getpwuid(geteuid())->pw_name; }
std::string Home() { return geteuid() == 0 ? "/var/root" : "/Users/" + LoginName(); }

// A dictionary of string values, keys and values alternating.
std::string Strings(std::initializer_list<const char*> keysAndValues, PlistFormat format = PlistFormat::kXml) {
  const OwnedPlist root(plist_new_dict());
  for (auto at = keysAndValues.begin(); at != keysAndValues.end(); at += 2) {
    plist_dict_set_item(root.get(), at[0], plist_new_string(at[1]));
  }
  return Serialized(root.get(), format);
}

Retained<const CFStringObject> Text(const std::string& text) {
  return Retained<const CFStringObject>::Adopt(
      CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8));
}

// The value as XML, so that a value of any type compares; nullopt for none.
std::optional<std::string> ValueXml(const std::string& key, CFStringRef domain) {
  CFPropertyListRef value = CFPreferencesCopyAppValue(Text(key).Get(), domain);
  const std::optional<std::string> xml = XmlOf(value);
  if (value) CFRelease(value);
  return xml;
}

void Set(const std::string& key, CFPropertyListRef value, CFStringRef domain = CFSTR("com.quelmo.tarvik")) {
  CFPreferencesSetAppValue(Text(key).Get(), value, domain);
}

// What other processes of the machine do with the preferences: look at a value (its XML
// expected, or empty for none) and write one key, round after round.
const bool kRolesRegistered =
    RegisterPeerRole("expect preference",
                     [](const PeerArguments& arguments) {
                       const std::optional<std::string> xml = ValueXml(arguments.at(1), Text(arguments.at(0)).Get());
                       return xml.value_or("") == arguments.at(2) ? 0 : 1;
                     }) &&
    RegisterPeerRole("write preference rounds", [](const PeerArguments& arguments) {
      for (int round = 0; round < std::stoi(arguments.at(1)); ++round) {
        Set(arguments.at(0), Text(std::to_string(round)).Get());
        if (!CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik"))) return 1;
      }
      return 0;
    });

// Whether a process of its own sees key of domain as the XML expected (nullopt: no value).
bool AnotherProcessSees(CFStringRef domain, const std::string& key, const std::optional<std::string>& expected) {
  return RunPeer("expect preference", {*Utf8Text(domain), key, expected.value_or("")}) == 0;
}

// A Mac under a folder of the test's own, removed afterwards.
class Preferences : public ::testing::Test {
 protected:
  std::string UserManaged(const std::string& domain) const {
    return m_root + "/Library/Managed Preferences/" + LoginName() + "/" + domain + ".plist";
  }
  std::string MachineManaged(const std::string& domain) const {
    return m_root + "/Library/Managed Preferences/" + domain + ".plist";
  }
  std::string UserOwn(const std::string& domain) const {
    return m_root + Home() + "/Library/Preferences/" + domain + ".plist";
  }

  // As a careful writer does: the whole file at once, put in place by a rename.
  static void Replace(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::binary) << bytes;
    fs::rename(temporary, path);
  }
  // As a careless one does: truncating the file in place.
  static void Overwrite(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }

  // The value CFPreferences gives as text; nullopt for none.
  static std::optional<std::string> Value(const char* key, CFStringRef domain) {
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
    CFPropertyListRef value = CFPreferencesCopyAppValue(name, domain);
    CFRelease(name);
    if (value == nullptr) return std::nullopt;
    // Read after the files' dictionaries are gone: the value must be the caller's own.
    const std::optional<std::string> text = Utf8Text(value);
    CFRelease(value);
    return text.value_or("<not a string>");
  }
  static std::optional<std::string> Value(const char* key) { return Value(key, CFSTR("com.quelmo.tarvik")); }

  // What the user's own file of domain holds, as XML; nullopt when it holds nothing readable.
  std::optional<std::string> FileXml(const std::string& domain) const {
    return XmlOf(macstandin::ReadPreferenceFile(UserOwn(domain)).Get());
  }
  // The XML of the dictionary of strings that Strings makes.
  static std::optional<std::string> StringsXml(std::initializer_list<const char*> keysAndValues) {
    CFPropertyListRef list = macstandin::ReadPropertyList(Strings(keysAndValues), nullptr);
    const std::optional<std::string> xml = XmlOf(list);
    CFRelease(list);
    return xml;
  }

  const TempMacRoot m_mac;
  const std::string m_root = m_mac.Path();
};

TEST_F(Preferences, ManagedForTheUserThenForTheMachineThenTheUsersOwn) {
  Replace(UserManaged(kDomain), Strings({"Level", "user-managed"}, PlistFormat::kBinary));
  Replace(MachineManaged(kDomain), Strings({"Level", "machine-managed", "Shared", "machine-managed"}));
  Replace(UserOwn(kDomain), Strings({"Level", "user", "Shared", "user", "Own", "user"}, PlistFormat::kBinary));
  Replace(UserOwn("com.quelmo.other"), Strings({"Other", "other"}));
  struct Case {
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"Level", "user-managed"},
      {"Shared", "machine-managed"},
      {"Own", "user"},
      {"Other", std::nullopt},
      {"Missing", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(Value(c.key), c.value) << c.key;
}

TEST_F(Preferences, CurrentApplicationIsTheProgramsOwnDomain) {
  Replace(UserOwn(program_invocation_short_name), Strings({"Mode", "own"}));
  Replace(UserOwn("kCFPreferencesCurrentApplication"), Strings({"Mode", "literal"}));
  EXPECT_EQ(Value("Mode", kCFPreferencesCurrentApplication), "own");
}

TEST_F(Preferences, EveryCallReadsTheFilesAfresh) {
  const std::string path = UserOwn(kDomain);
  EXPECT_EQ(Value("Port"), std::nullopt);
  Replace(path, Strings({"Port", "1"}));
  EXPECT_EQ(Value("Port"), "1");
  Replace(path, Strings({"Port", "2"}, PlistFormat::kBinary));
  EXPECT_EQ(Value("Port"), "2");
  Overwrite(path, Strings({"Port", "3"}));
  EXPECT_EQ(Value("Port"), "3");
  Replace(MachineManaged(kDomain), Strings({"Port", "managed"}));
  EXPECT_EQ(Value("Port"), "managed");
  fs::remove(MachineManaged(kDomain));
  fs::remove(path);
  EXPECT_EQ(Value("Port"), std::nullopt);
}

// A managed file that cannot be read as a dictionary is passed over, as if absent.
TEST_F(Preferences, UnreadableFileCountsAsAbsent) {
  Replace(UserOwn(kDomain), Strings({"Port", "own"}));
  const std::string whole = Strings({"Port", "managed", "Server", "example.invalid"});
  const std::string cases[] = {
      whole.substr(0, whole.size() / 2),
      "",
      "not a property list",
      "<plist><array><string>Port</string></array></plist>",
  };
  for (const std::string& bytes : cases) {
    Overwrite(MachineManaged(kDomain), bytes);
    EXPECT_EQ(Value("Port"), "own") << bytes;
  }
  fs::remove(MachineManaged(kDomain));
  fs::create_directories(MachineManaged(kDomain));
  EXPECT_EQ(Value("Port"), "own");
}

// Another process replacing the file while it is read: each read sees one whole version.
TEST_F(Preferences, FileReplacedWhileReadIsSeenWhole) {
  const std::string path = UserOwn(kDomain);
  const std::string padding(8192, 'x');
  const std::string versions[] = {Strings({"Port", "first", "Pad", padding.c_str() + 4096}),
                                  Strings({"Port", "second", "Pad", padding.c_str()}, PlistFormat::kBinary)};
  Replace(path, versions[0]);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int round = 0; !done; ++round) Replace(path, versions[round % 2]);
  });
  for (int read = 0; read < 300; ++read) {
    const std::optional<std::string> value = Value("Port");
    ASSERT_TRUE(value == "first" || value == "second") << value.value_or("(none)");
  }
  done = true;
  writer.join();
}

TEST_F(Preferences, DomainCannotReachOutsideThePreferenceFolders) {
  fs::create_directories(m_root + "/Library/Managed Preferences");
  Replace(m_root + "/Library/Preferences/elsewhere.plist", Strings({"Port", "outside"}));
  EXPECT_EQ(Value("Port", CFSTR("../Preferences/elsewhere")), std::nullopt);
}

// The installer's progress record as the agent reads and clears it.
OwnedPlist InstallStatus() {
  OwnedPlist status(plist_new_dict());
  plist_dict_set_item(status.get(), "progress", plist_new_uint(42));
  plist_dict_set_item(status.get(), "sn", plist_new_string("SN-1"));
  plist_dict_set_item(status.get(), "steps", plist_new_array());
  return status;
}

TEST_F(Preferences, SynchronizeWritesTheChangesIntoTheUsersOwnFileKeepingItsOtherKeys) {
  const struct {
    CFStringRef domain;
    std::string file;
  } cases[] = {
      {CFSTR("group.com.quelmo.tarvik"), "group.com.quelmo.tarvik"},
      {kCFPreferencesCurrentApplication, program_invocation_short_name},
  };
  const OwnedPlist status = InstallStatus();
  CFPropertyListRef value = ListOf(status.get());
  const std::optional<std::string> statusXml = XmlOf(value);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Replace(UserOwn(c.file), Strings({"Gone", "x", "Other", "kept"}));
    Set("installStatus", value, c.domain);
    Set("Gone", nullptr, c.domain);
    // Seen in this process at once, by the others only once written.
    EXPECT_EQ(ValueXml("installStatus", c.domain), statusXml);
    EXPECT_EQ(ValueXml("Gone", c.domain), std::nullopt);
    EXPECT_TRUE(AnotherProcessSees(c.domain, "Gone", XmlOf(CFSTR("x"))));
    EXPECT_TRUE(AnotherProcessSees(c.domain, "installStatus", std::nullopt));
    EXPECT_EQ(FileXml(c.file), StringsXml({"Gone", "x", "Other", "kept"}));
    ASSERT_TRUE(CFPreferencesAppSynchronize(c.domain));

    const auto written = macstandin::ReadPreferenceFile(UserOwn(c.file));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->entries.size(), 2u);
    EXPECT_EQ(Utf8Text(CFDictionaryGetValue(written.Get(), CFSTR("Other"))), "kept");
    EXPECT_EQ(XmlOf(CFDictionaryGetValue(written.Get(), CFSTR("installStatus"))), statusXml);
    EXPECT_TRUE(AnotherProcessSees(c.domain, "installStatus", statusXml));

    Set("installStatus", nullptr, c.domain);
    ASSERT_TRUE(CFPreferencesAppSynchronize(c.domain));
    EXPECT_TRUE(AnotherProcessSees(c.domain, "installStatus", std::nullopt));
    EXPECT_EQ(FileXml(c.file), StringsXml({"Other", "kept"}));
  }
  CFRelease(value);
}

TEST_F(Preferences, PendingValuesStandBehindManagedOnes) {
  Replace(MachineManaged(kDomain), Strings({"Level", "managed"}));
  Set("Level", CFSTR("own"));
  Set("Fresh", CFSTR("own"));
  EXPECT_EQ(Value("Level"), "managed");
  EXPECT_EQ(Value("Fresh"), "own");
  EXPECT_FALSE(fs::exists(UserOwn(kDomain)));
  ASSERT_TRUE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
  EXPECT_EQ(Value("Level"), "managed");
}

// Each writer reads the file under the lock, so no writer's key is lost to another's.
TEST_F(Preferences, WritersInSeveralProcessesKeepEachOthersKeys) {
  constexpr int kWriters = 4;
  constexpr int kRounds = 25;
  ASSERT_TRUE(kRolesRegistered);
  std::vector<std::unique_ptr<PeerProcess>> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.push_back(std::make_unique<PeerProcess>(
        "write preference rounds", PeerArguments{"writer-" + std::to_string(writer), std::to_string(kRounds)}));
  }
  for (const auto& writer : writers) EXPECT_EQ(writer->Join(), 0);
  for (int writer = 0; writer < kWriters; ++writer)
    EXPECT_EQ(Value(("writer-" + std::to_string(writer)).c_str()), std::to_string(kRounds - 1));
  // Nothing but the file and its lock is left behind.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(UserOwn(kDomain)).parent_path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{std::string(kDomain) + ".plist", std::string(kDomain) + ".plist.lock"}));
}

// A reader that removes a key every second must not rewrite the file every second.
TEST_F(Preferences, RemovingWhatTheFileDoesNotHoldWritesNothing) {
  Set("installStatus", nullptr);
  ASSERT_TRUE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
  EXPECT_FALSE(fs::exists(fs::path(UserOwn(kDomain)).parent_path())) << "made its folder";
  Replace(UserOwn(kDomain), Strings({"Other", "kept"}));
  const auto before = fs::last_write_time(UserOwn(kDomain));
  Set("installStatus", nullptr);
  ASSERT_TRUE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
  EXPECT_EQ(fs::last_write_time(UserOwn(kDomain)), before);
  EXPECT_FALSE(fs::exists(UserOwn(kDomain) + ".lock")) << "took the lock";
  EXPECT_EQ(FileXml(kDomain), StringsXml({"Other", "kept"}));
}

TEST_F(Preferences, ChangeThatCannotBeWrittenStaysUntilItCanBe) {
  // A file where the folder would be stops every writer, whatever its rights.
  const std::string library = m_root + Home() + "/Library";
  fs::create_directories(fs::path(library).parent_path());
  std::ofstream(library) << "in the way";
  Set("Port", CFSTR("8443"));
  EXPECT_FALSE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
  EXPECT_EQ(Value("Port"), "8443");
  fs::remove(library);
  ASSERT_TRUE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
  EXPECT_TRUE(AnotherProcessSees(CFSTR("com.quelmo.tarvik"), "Port", XmlOf(CFSTR("8443"))));
}

TEST_F(Preferences, ValueThatIsNoPropertyListIsDroppedAndTheOthersAreWritten) {
  const auto set = Retained<const macstandin::CFObject>::Adopt(new CFSetObject({}));
  Set("Set", set.Get());
  Set("Port", CFSTR("8443"));
  EXPECT_FALSE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
  EXPECT_EQ(Value("Set"), std::nullopt);
  EXPECT_EQ(FileXml(kDomain), StringsXml({"Port", "8443"}));
  EXPECT_TRUE(CFPreferencesAppSynchronize(CFSTR("com.quelmo.tarvik")));
}

}  // namespace
