#include "bench/agent-cost/ProcessUsage.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace agentcost {
namespace {

std::string ProcFile(pid_t pid, const char* name) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The number in kB after "<key>:" in /proc/<pid>/status.
std::optional<long> StatusKb(const std::string& status, const std::string& key) {
  const std::size_t at = status.find("\n" + key + ":");
  if (at == std::string::npos) return std::nullopt;
  std::istringstream value(status.substr(at + key.size() + 2));
  long kb = 0;
  if (!(value >> kb)) return std::nullopt;
  return kb;
}

}  // namespace

std::optional<double> CpuSeconds(pid_t pid) {
  const std::string stat = ProcFile(pid, "stat");
  // The command name in parentheses may hold blanks; the fields after it do not.
  const std::size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string skipped;
  // Fields 3 to 13 come before utime (14) and stime (15).
  for (int field = 3; field <= 13; ++field) fields >> skipped;
  unsigned long long userTicks = 0, systemTicks = 0;
  if (!(fields >> userTicks >> systemTicks)) return std::nullopt;
  return static_cast<double>(userTicks + systemTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::optional<ResidentMemory> Memory(pid_t pid) {
  const std::string status = ProcFile(pid, "status");
  std::optional<long> rss = StatusKb(status, "VmRSS"), hwm = StatusKb(status, "VmHWM");
  if (!rss || !hwm) return std::nullopt;
  return ResidentMemory{*rss, *hwm};
}

}  // namespace agentcost
