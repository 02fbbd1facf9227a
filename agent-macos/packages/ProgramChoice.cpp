#include "agent-macos/packages/ProgramChoice.h"

#include <unistd.h>

#include <algorithm>
#include <vector>

namespace packages {
namespace fs = std::filesystem;
namespace {

std::vector<fs::path> visibleItems(const fs::path& folder, std::error_code& error) {
  std::vector<fs::path> items;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string().front() != '.') items.push_back(it->path());
  }
  if (error) items.clear();
  return items;
}

bool liesInside(const fs::path& item, const fs::path& root) {
  const auto [rootEnd, itemAt] = std::mismatch(root.begin(), root.end(), item.begin(), item.end());
  return rootEnd == root.end() && itemAt != item.end();
}

bool isExecutable(const fs::path& item, const fs::path& realRoot) {
  std::error_code error;
  if (!fs::is_regular_file(item, error)) return false;
  const fs::path real = fs::canonical(item, error);
  return !error && liesInside(real, realRoot) && ::access(real.c_str(), X_OK) == 0;
}

std::optional<fs::path> firstExecutable(const std::vector<fs::path>& items, const fs::path& realRoot,
                                        bool (*wanted)(const fs::path&)) {
  const auto found = std::find_if(items.begin(), items.end(),
                                  [&](const fs::path& item) { return wanted(item) && isExecutable(item, realRoot); });
  if (found == items.end()) return std::nullopt;
  return *found;
}

bool anyItem(const fs::path&) { return true; }
bool hasNoExtension(const fs::path& item) { return item.extension().empty(); }

}  // namespace

std::optional<fs::path> chooseProgram(const fs::path& folder) {
  std::error_code error;
  const std::vector<fs::path> top = visibleItems(folder, error);
  if (error) throw fs::filesystem_error("cannot list the unpacked package", folder, error);
  const fs::path realRoot = fs::canonical(folder);
  const auto bundle =
      std::find_if(top.begin(), top.end(), [](const fs::path& item) { return item.extension() == ".app"; });
  if (bundle != top.end()) {
    // A bundle without a program folder or program is passed over, as if absent.
    const std::vector<fs::path> programs = visibleItems(*bundle / "Contents" / "MacOS", error);
    if (std::optional<fs::path> program = firstExecutable(programs, realRoot, anyItem)) return program;
  }
  return firstExecutable(top, realRoot, hasNoExtension);
}

}  // namespace packages
