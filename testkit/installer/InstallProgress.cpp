// install-progress notify|status JSON: reports one installer progress record (a JSON object)
// as an installer on the Mac does, as the notification "InstallProgressUpdate" or as the app
// group's "installStatus" key. Exit 0 when sent, 1 when it could not be, 2 on bad arguments.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "testkit/installer/MacProgress.h"
#include "testkit/installer/MacScript.h"

int main(int argc, char** argv) {
  testkit::InstallerAction report;
  try {
    if (argc != 3) throw std::invalid_argument("a way and a record are needed");
    report = testkit::MacReport({{argv[1], nlohmann::json::parse(argv[2], nullptr, false)}});
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "install-progress: %s\nusage: install-progress notify|status JSON-OBJECT\n", error.what());
    return 2;
  }
  return testkit::SendProgress(report) ? 0 : 1;
}
