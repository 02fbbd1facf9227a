// The filter runs in the handler of the fatal signals, which replaces the sanitizer runtime's
// own: after a filter the process ends by the signal's default action, so the parent sees the
// signal; without a filter the earlier handler (the runtime's, or the default) takes it.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/AlternateSignalStack.h"
#include "platform/win32/internal/SignalException.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
// Written once, before the handler that reads them is installed.
struct sigaction g_earlier[NSIG];
std::once_flag g_handlerInstalled;
// The thread whose filter runs (0: none). Filters run one at a time.
std::atomic<pid_t> g_filteringThread{0};

pid_t CurrentThread() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void EndBy(int signal, const siginfo_t& info, const struct sigaction& action) {
  sigaction(signal, &action, nullptr);
  // A fault comes again when the instruction runs again; a signal that was sent is sent again.
  if (info.si_code <= 0) syscall(SYS_tgkill, getpid(), CurrentThread(), signal);
}

void EndByDefault(int signal, const siginfo_t& info) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  EndBy(signal, info, fallback);
}

// False when the calling thread is already in the filter: it faulted there.
bool EnterFilter(pid_t self) {
  for (;;) {
    pid_t owner = 0;
    if (g_filteringThread.compare_exchange_weak(owner, self)) return true;
    if (owner == self) return false;
    sched_yield();
  }
}

void RunFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter, int signal, const siginfo_t& info,
               ucontext_t* machine) {
  EXCEPTION_RECORD record = win32::ExceptionRecordFor(signal, info, *machine);
  CONTEXT context;
  win32::ContextFromMachine(*machine, &context);
  EXCEPTION_POINTERS pointers{&record, &context};
  LONG verdict = filter(&pointers);
  if (verdict == EXCEPTION_CONTINUE_EXECUTION &&
      (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0)
    win32::MachineFromContext(context, machine);
  else
    EndByDefault(signal, info);
}

void OnFatalSignal(int signal, siginfo_t* info, void* machine) {
  const int savedErrno = errno;
  LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load();
  const pid_t self = CurrentThread();
  if (filter == nullptr) {
    EndBy(signal, *info, g_earlier[signal]);
  } else if (!EnterFilter(self)) {
    EndByDefault(signal, *info);
  } else {
    RunFilter(filter, signal, *info, static_cast<ucontext_t*>(machine));
    g_filteringThread.store(0);
  }
  errno = savedErrno;
}

void InstallHandler() {
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  // A second fault inside the filter then ends the process at once.
  sigemptyset(&action.sa_mask);
  for (int signal : kFatalSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kFatalSignals) sigaction(signal, nullptr, &g_earlier[signal]);
  for (int signal : kFatalSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
  if (filter != nullptr) {
    win32::EnsureAlternateSignalStack();
    std::call_once(g_handlerInstalled, InstallHandler);
  }
  return g_filter.exchange(filter);
}
