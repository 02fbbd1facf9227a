// The installer double, started as the runner of an installer image: argv is [itself, the
// image's path, the installer's arguments...]. It records how it was started, then reports
// over the agent's progress pipe as its image's script says (InstallerScript.h).
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/installer/InstallerScript.h"
#include "testkit/installer/ProgressPipe.h"

namespace {

constexpr const wchar_t* kProgressPipe = L"\\\\.\\pipe\\pipeHalvane";
constexpr int kCannotRun = 2;

// One JSON line per start, appended whole so that installers started together do not mix.
void RecordLaunch(const std::string& image, const std::vector<std::string>& arguments) {
  const char* path = std::getenv("TARVIK_INSTALLER_RECORD");
  if (path == nullptr || *path == '\0') return;
  nlohmann::json record = {{"image", image},
                           {"arguments", arguments},
                           {"commandLine", win32::WideToUtf8(GetCommandLineW())}};
  std::string line = record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0 || write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
    std::fprintf(stderr, "installer: cannot record the start in %s\n", path);
  if (fd >= 0) close(fd);
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

// A test holds the installer here for as long as it needs; a minute at most, so that a test
// that fails first never leaves it behind.
void AwaitFile(const std::string& path) {
  constexpr int kPolls = 600;
  for (int i = 0; i < kPolls && access(path.c_str(), F_OK) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool ReadImage(const char* path, std::string* image) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  image->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: installer IMAGE [ARGUMENT...]\n");
    return kCannotRun;
  }
  std::vector<std::string> arguments(argv + 2, argv + argc);
  RecordLaunch(argv[1], arguments);

  std::string image;
  if (!ReadImage(argv[1], &image)) {
    std::fprintf(stderr, "installer: cannot read the image %s\n", argv[1]);
    return kCannotRun;
  }
  testkit::InstallerPlan plan;
  try {
    plan = testkit::PlanForImage(image, SerialNumbers(arguments));
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "installer: bad script in %s: %s\n", argv[1], error.what());
    return kCannotRun;
  }

  testkit::ProgressPipe pipe(kProgressPipe);
  for (const testkit::InstallerAction& action : plan.actions) {
    if (!action.message.empty())
      pipe.Send(action.message);
    else if (!action.awaitedFile.empty())
      AwaitFile(action.awaitedFile);
    else
      std::this_thread::sleep_for(action.pause);
  }
  return plan.exitCode;
}
