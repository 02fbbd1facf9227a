// A fresh folder standing for drive C: while alive (TARVIK_C_DRIVE points at it), holding
// C:\ProgramData; removed afterwards with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace testkit {

class TempCDrive {
 public:
  TempCDrive() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvik-c-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_root = pattern;
    // The folder every Windows machine has.
    std::error_code ignored;
    std::filesystem::create_directories(Path("ProgramData"), ignored);
    const char* previous = std::getenv("TARVIK_C_DRIVE");
    if (previous != nullptr) m_previous = previous;
    m_hadPrevious = previous != nullptr;
    setenv("TARVIK_C_DRIVE", m_root.c_str(), 1);
  }
  ~TempCDrive() {
    if (m_hadPrevious)
      setenv("TARVIK_C_DRIVE", m_previous.c_str(), 1);
    else
      unsetenv("TARVIK_C_DRIVE");
    std::error_code ignored;
    if (!m_root.empty()) std::filesystem::remove_all(m_root, ignored);
  }
  TempCDrive(const TempCDrive&) = delete;
  TempCDrive& operator=(const TempCDrive&) = delete;

  const std::string& Root() const { return m_root; }
  // Native path of a path on C: given with '/' separators, e.g. "ProgramData/Quelmo".
  std::string Path(const std::string& relative) const { return m_root + "/" + relative; }
  // Writes the bytes to the file, making its folders.
  void Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path path = Path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream file(Path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

 private:
  std::string m_root;
  std::string m_previous;
  bool m_hadPrevious = false;
};

}  // namespace testkit
