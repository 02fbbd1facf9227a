// A Mac of the test's own: TARVIK_MAC_ROOT names a fresh folder while the holder lives, and
// the folder goes with it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/macos/testing/ScopedEnvironment.h"

namespace macstandin::testing {

class TempMacRoot {
 public:
  TempMacRoot() : m_path(Make()), m_environment("TARVIK_MAC_ROOT", m_path) {}
  ~TempMacRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempMacRoot(const TempMacRoot&) = delete;
  TempMacRoot& operator=(const TempMacRoot&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  static std::string Make() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-mac-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no folder for the Mac: " + pattern);
    return pattern;
  }

  std::string m_path;
  ScopedEnvironment m_environment;
};

}  // namespace macstandin::testing
