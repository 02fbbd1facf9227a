// Loaded into the agent with LD_PRELOAD: records every nanosleep and clock_nanosleep call of its
// threads (std::this_thread::sleep_for reaches nanosleep), so that the benchmark can tell the
// agent's deliberate waits from its work. One write of one record to a file opened with
// O_APPEND: records of threads that sleep at once never mix.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "bench/agent-cost/sleep-recorder/SleepRecord.h"

namespace {

using NanosleepCall = int (*)(const timespec*, timespec*);
using ClockNanosleepCall = int (*)(clockid_t, int, const timespec*, timespec*);

NanosleepCall g_nanosleep = nullptr;
ClockNanosleepCall g_clockNanosleep = nullptr;
int g_file = -1;

__attribute__((constructor)) void Open() {
  g_nanosleep = reinterpret_cast<NanosleepCall>(::dlsym(RTLD_NEXT, "nanosleep"));
  g_clockNanosleep = reinterpret_cast<ClockNanosleepCall>(::dlsym(RTLD_NEXT, "clock_nanosleep"));
  if (const char* file = std::getenv(agentcost::kSleepFileVariable))
    g_file = ::open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

std::int64_t NowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

std::int64_t Ns(const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

void Record(std::int64_t from, std::int64_t requested) {
  if (g_file < 0) return;
  const int error = errno;  // the sleep's own, for its caller
  const agentcost::SleepRecord record{from, NowNs(), requested, static_cast<std::int32_t>(::gettid()), 0};
  [[maybe_unused]] const ssize_t written = ::write(g_file, &record, sizeof record);
  errno = error;
}

}  // namespace

// Exported although the build hides symbols by default: they must win over libc's.
#define INTERPOSED extern "C" __attribute__((visibility("default")))

INTERPOSED int nanosleep(const timespec* request, timespec* remaining) {
  const std::int64_t from = NowNs();
  const int result = g_nanosleep(request, remaining);
  Record(from, request ? Ns(*request) : 0);
  return result;
}

INTERPOSED int clock_nanosleep(clockid_t clock, int flags, const timespec* request, timespec* remaining) {
  const std::int64_t from = NowNs();
  const int result = g_clockNanosleep(clock, flags, request, remaining);
  Record(from, request && !(flags & TIMER_ABSTIME) ? Ns(*request) : 0);
  return result;
}
