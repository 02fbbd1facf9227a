#include "agent-macos/testing/MacRoot.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <thread>

namespace agentmactest {
namespace {

struct Root {
  Root() {
    char folder[] = "/tmp/tarvik-mac-XXXXXX";
    if (::mkdtemp(folder) == nullptr) throw std::runtime_error("no temporary folder");
    path = folder;
    ::setenv("TARVIK_MAC_ROOT", folder, 1);
  }
  ~Root() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

const std::string& MacRoot() {
  static Root root;
  return root.path;
}

std::string LogFileText() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(MacRoot() + "/var/log/HalvaneSDK", error)) {
    // One file per process. Its lines without their time stamps, as the standard output has them.
    static const std::regex stamp(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000\] )", std::regex::multiline);
    return std::regex_replace(ReadWhole(entry.path()), stamp, "");
  }
  return {};
}

LogMark::LogMark() : m_offset(LogFileText().size()) {}

std::string LogMark::Since() const {
  std::string text = LogFileText();
  return m_offset < text.size() ? text.substr(m_offset) : std::string();
}

bool LogMark::WaitFor(const std::string& part, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Since().find(part) == std::string::npos) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void WriteMacFile(const std::string& macPath, const std::string& text) {
  const std::filesystem::path path = MacRoot() + macPath;
  std::filesystem::create_directories(path.parent_path());
  const std::filesystem::path partial = path.string() + ".partial";
  std::ofstream(partial, std::ios::binary) << text;
  std::filesystem::rename(partial, path);
}

}  // namespace agentmactest
