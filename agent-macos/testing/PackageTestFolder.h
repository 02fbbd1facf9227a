// What the package tests share: a fresh TMPDIR for one test, so that whatever a download
// leaves behind can be seen, and the package URLs of a local server.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "agent-macos/connection/ServerURL.h"

namespace packagetest {

class PackageTestFolder {
 public:
  PackageTestFolder();   // points TMPDIR at a new folder
  ~PackageTestFolder();  // restores TMPDIR, removes the folder
  PackageTestFolder(const PackageTestFolder&) = delete;
  PackageTestFolder& operator=(const PackageTestFolder&) = delete;

  // TMPDIR as the test sets it.
  std::filesystem::path root() const { return m_base / "tmp"; }
  // Where the agent keeps its downloads, in root.
  std::filesystem::path agentFolder() const;
  // Beside root, for what the test's programs write.
  std::filesystem::path out() const { return m_base / "out"; }

 private:
  std::filesystem::path m_base;
  std::optional<std::string> m_savedTmpdir;
};

// Everything below folder, relative to it, one per line in name order (empty: nothing).
std::string folderContents(const std::filesystem::path& folder);

// Polls until done() holds; false at the limit.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

// The model-package URL of name on the loopback server at port.
ServerURL packageURL(bool tls, std::uint16_t port, const std::string& name);

// The file's bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// A "#!/bin/sh" script with body as its text.
std::string shellScript(const std::string& body);

}  // namespace packagetest
