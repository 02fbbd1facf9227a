#include <future>
#include <memory>

#include <pthread.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/AlternateSignalStack.h"
#include "platform/win32/internal/KernelObject.h"
#include "platform/win32/internal/RunState.h"

namespace {

HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));

// The handle of a thread from CreateThread; the thread itself holds the same state, so either
// may go first.
class CreatedThread : public win32::WaitableObject {
 public:
  explicit CreatedThread(std::shared_ptr<win32::RunState> state) : m_state(std::move(state)) {}
  DWORD Wait(DWORD milliseconds) override { return m_state->Wait(milliseconds); }
  DWORD ExitCode() const { return m_state->ExitCode(); }

 private:
  std::shared_ptr<win32::RunState> m_state;
};

struct ThreadStart {
  LPTHREAD_START_ROUTINE routine;
  LPVOID parameter;
  std::shared_ptr<win32::RunState> state;
  std::promise<DWORD> id;
};

void* RunThread(void* argument) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  win32::EnsureAlternateSignalStack();
  start->id.set_value(static_cast<DWORD>(gettid()));
  start->state->MarkEnded(start->routine(start->parameter));
  return nullptr;
}

// Windows takes the size as what the stack must hold at least.
bool SetStackSize(pthread_attr_t* attributes, SIZE_T stackSize) {
  size_t size = 0;
  if (pthread_attr_getstacksize(attributes, &size) != 0) return false;
  if (stackSize <= size) return true;
  auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return pthread_attr_setstacksize(attributes, (stackSize + page - 1) / page * page) == 0;
}

bool IsKnownPriority(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
      return true;
    default:
      return false;
  }
}

}  // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
  if (start == nullptr || creationFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto state = std::make_shared<win32::RunState>();
  auto* package = new ThreadStart{start, parameter, state, {}};
  std::future<DWORD> id = package->id.get_future();

  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  bool started = SetStackSize(&attributes, stackSize) &&
                 pthread_create(&thread, &attributes, RunThread, package) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) {
    delete package;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  DWORD newId = id.get();
  if (threadId != nullptr) *threadId = newId;
  return win32::HandleFromObject(new CreatedThread(std::move(state)));
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
  auto* object = win32::ObjectFromHandle<CreatedThread>(thread);
  if (object == nullptr || exitCode == nullptr) {
    SetLastError(object == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = object->ExitCode();
  return TRUE;
}

HANDLE GetCurrentThread() { return kCurrentThread; }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(gettid()); }

BOOL SetThreadPriority(HANDLE thread, int priority) {
  if (thread != kCurrentThread && win32::ObjectFromHandle<CreatedThread>(thread) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!IsKnownPriority(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
