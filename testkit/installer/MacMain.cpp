// The macOS installer double, started by a package's program (MacInstallerProgram): argv is
// [itself, the program's path, the program's arguments...]. It records how it was started,
// then reports progress as the program's script says (MacScript.h).
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testkit/installer/InstallerRun.h"
#include "testkit/installer/MacProgress.h"
#include "testkit/installer/MacScript.h"

namespace {

constexpr int kCannotRun = 2;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: mac-installer PROGRAM [ARGUMENT...]\n");
    return kCannotRun;
  }
  std::vector<std::string> arguments(argv + 2, argv + argc);
  testkit::RecordLaunch({{"program", argv[1]}, {"arguments", arguments}});
  auto plan = testkit::ReadPlan("mac-installer", argv[1], arguments, testkit::MacPlanForProgram);
  if (!plan) return kCannotRun;

  testkit::FollowPlan(*plan, [](const testkit::InstallerAction& report) { testkit::SendProgress(report); });
  return plan->exitCode;
}
