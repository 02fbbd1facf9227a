// A fresh folder under the system's temporary folder for the files a fixture maker needs on
// the way; removed with everything in it.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include <unistd.h>

namespace testkit::packages {

class WorkFolder {
 public:
  WorkFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-package-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no work folder: " + pattern);
    m_path = pattern;
  }
  ~WorkFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  std::string Path() const { return m_path.string(); }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  static std::string Read(const std::string& path);

 private:
  std::filesystem::path m_path;
};

}  // namespace testkit::packages
