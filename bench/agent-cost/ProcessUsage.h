// What a running process has cost so far, from /proc.
#pragma once

#include <sys/types.h>

#include <optional>

namespace agentcost {

// User plus system time of every thread of the process, in seconds; nullopt once it is gone.
std::optional<double> CpuSeconds(pid_t pid);

struct ResidentMemory {
  long rssKb = 0;  // VmRSS: resident now
  long hwmKb = 0;  // VmHWM: the most it has been resident
};
std::optional<ResidentMemory> Memory(pid_t pid);

}  // namespace agentcost
