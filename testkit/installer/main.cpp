// The installer double, started as the runner of an installer image: argv is [itself, the
// image's path, the installer's arguments...]. It records how it was started, then reports
// over the agent's progress pipe as its image's script says (PipeScript.h).
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/installer/InstallerRun.h"
#include "testkit/installer/PipeScript.h"
#include "testkit/installer/ProgressPipe.h"

namespace {

constexpr const wchar_t* kProgressPipe = L"\\\\.\\pipe\\pipeHalvane";
constexpr int kCannotRun = 2;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: installer IMAGE [ARGUMENT...]\n");
    return kCannotRun;
  }
  std::vector<std::string> arguments(argv + 2, argv + argc);
  testkit::RecordLaunch({{"image", argv[1]},
                         {"arguments", arguments},
                         {"commandLine", win32::WideToUtf8(GetCommandLineW())}});
  auto plan = testkit::ReadPlan("installer", argv[1], arguments, testkit::PlanForImage);
  if (!plan) return kCannotRun;

  testkit::ProgressPipe pipe(kProgressPipe);
  testkit::FollowPlan(*plan, [&](const testkit::InstallerAction& action) { pipe.Send(action.message); });
  return plan->exitCode;
}
