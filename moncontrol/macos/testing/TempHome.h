// A fresh folder as HOME while alive, so that the library's log lands there; removed with
// everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-home-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    m_folder = pattern;
    setenv("HOME", m_folder.c_str(), 1);
  }
  ~TempHome() {
    if (m_folder.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

 private:
  std::string m_folder;
};
