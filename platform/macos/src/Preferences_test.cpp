#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/macos/CoreFoundation.h"
#include "platform/macos/testing/PlistWriter.h"
#include "platform/macos/testing/ScopedEnvironment.h"
#include "platform/macos/testing/StringText.h"

namespace {

namespace fs = std::filesystem;
using macstandin::testing::OwnedPlist;
using macstandin::testing::PlistFormat;
using macstandin::testing::ScopedEnvironment;
using macstandin::testing::Serialized;
using macstandin::testing::Utf8Text;

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

// A Mac under a folder of the test's own, removed afterwards.
class Preferences : public ::testing::Test {
 protected:
  Preferences() : m_root(MakeRoot()), m_environment("TARVIK_MAC_ROOT", m_root) {}
  ~Preferences() override { fs::remove_all(m_root); }

  static std::string MakeRoot() {
    std::string pattern = (fs::temp_directory_path() / "tarvik-mac-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }

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

  const std::string m_root;
  const ScopedEnvironment m_environment;
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

}  // namespace
