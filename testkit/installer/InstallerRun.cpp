#include "testkit/installer/InstallerRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

namespace testkit {

namespace {

// A test holds the installer here for as long as it needs; a minute at most, so that a test
// that fails first never leaves it behind.
void AwaitFile(const std::string& path) {
  constexpr int kPolls = 600;
  for (int i = 0; i < kPolls && access(path.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// The arguments after "-sn" up to the next option.
std::vector<std::string> SerialNumbers(const std::vector<std::string>& arguments) {
  std::vector<std::string> serials;
  bool inList = false;
  for (const std::string& argument : arguments) {
    if (argument.starts_with('-')) {
      inList = argument == "-sn";
    } else if (inList) {
      serials.push_back(argument);
    }
  }
  return serials;
}

bool ReadProgram(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

void RecordLaunch(const nlohmann::json& record) {
  const char* path = std::getenv("TARVIK_INSTALLER_RECORD");
  if (path == nullptr || *path == '\0') return;
  std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
    std::fprintf(stderr, "installer: cannot record the start in %s\n", path);
  if (fd >= 0) close(fd);
}

std::optional<InstallerPlan> ReadPlan(const char* tool, const std::string& path,
                                      const std::vector<std::string>& arguments, Planner planFor) {
  std::string program;
  if (!ReadProgram(path, &program)) {
    std::fprintf(stderr, "%s: cannot read the program %s\n", tool, path.c_str());
    return std::nullopt;
  }
  try {
    return planFor(program, SerialNumbers(arguments));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "%s: bad script in %s: %s\n", tool, path.c_str(), error.what());
    return std::nullopt;
  }
}

void FollowPlan(const InstallerPlan& plan, const std::function<void(const InstallerAction&)>& send) {
  for (const InstallerAction& action : plan.actions) {
    if (!action.message.empty())
      send(action);
    else if (!action.awaitedFile.empty())
      AwaitFile(action.awaitedFile);
    else
      std::this_thread::sleep_for(action.pause);
  }
}

}  // namespace testkit
