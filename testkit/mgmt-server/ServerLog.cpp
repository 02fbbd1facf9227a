#include "testkit/mgmt-server/ServerLog.h"

#include <cstdio>

namespace testkit::mgmt {

void LogLine(const std::string& text) {
  // One write per line keeps lines from several servers whole.
  std::string line = "[mgmt-server] " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace testkit::mgmt
