#include "agent-macos/testing/PackageTestFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace packagetest {

PackageTestFolder::PackageTestFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-packages-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_base = pattern;
  std::filesystem::create_directory(root());
  std::filesystem::create_directory(out());
  if (const char* saved = std::getenv("TMPDIR")) m_savedTmpdir = saved;
  ::setenv("TMPDIR", root().c_str(), 1);
}

PackageTestFolder::~PackageTestFolder() {
  if (m_savedTmpdir) {
    ::setenv("TMPDIR", m_savedTmpdir->c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  std::error_code ignored;
  std::filesystem::remove_all(m_base, ignored);
}

std::filesystem::path PackageTestFolder::agentFolder() const {
  return root() / ("TarvikService-" + std::to_string(::geteuid()));
}

std::string folderContents(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    names.insert(it->path().lexically_relative(folder).string());
  // A listing cut short by a removal under way is no proof that nothing is left.
  if (error && error != std::errc::no_such_file_or_directory) names.insert("(listing failed: " + error.message() + ")");
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

ServerURL packageURL(bool tls, std::uint16_t port, const std::string& name) {
  return *ParseHttpURL(std::string(tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(port) +
                       "/tarvik/model/package/getModelPackageByModelName?filename=" + name);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string shellScript(const std::string& body) { return "#!/bin/sh\n" + body + "\n"; }

}  // namespace packagetest
