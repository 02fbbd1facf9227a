#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#include "platform/win32/Win32.h"

namespace {

// What the callbacks of a test saw; a gate that holds them until the test opens it.
struct Runs {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;
  std::set<PTP_WORK> works;
  std::set<std::thread::id> threads;
  bool open = true;

  void WaitForCount(int expected) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return count >= expected; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    changed.notify_all();
  }
};

VOID CALLBACK Record(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK work) {
  auto* runs = static_cast<Runs*>(context);
  std::unique_lock<std::mutex> lock(runs->mutex);
  ++runs->count;
  runs->works.insert(work);
  runs->threads.insert(std::this_thread::get_id());
  runs->changed.notify_all();
  runs->changed.wait(lock, [&] { return runs->open; });
}

TEST(ThreadPoolTest, EachSubmitRunsTheCallbackWithItsContextAndWork) {
  Runs runs;
  PTP_WORK work = CreateThreadpoolWork(Record, &runs, nullptr);
  ASSERT_NE(work, nullptr);
  for (int i = 0; i < 3; ++i) SubmitThreadpoolWork(work);
  WaitForThreadpoolWorkCallbacks(work, FALSE);
  CloseThreadpoolWork(work);
  std::lock_guard<std::mutex> lock(runs.mutex);
  EXPECT_EQ(runs.count, 3);
  EXPECT_EQ(runs.works, std::set<PTP_WORK>{work});
  EXPECT_EQ(runs.threads.count(std::this_thread::get_id()), 0u);
}

// A callback may keep its thread for good, as the agent's worker does.
TEST(ThreadPoolTest, HeldCallbackDoesNotHoldUpLaterWork) {
  // Never destroyed: its callback may still be on its way out when the test ends.
  static Runs& held = *new Runs;
  held.open = false;
  Runs later;
  PTP_WORK holding = CreateThreadpoolWork(Record, &held, nullptr);
  PTP_WORK other = CreateThreadpoolWork(Record, &later, nullptr);
  SubmitThreadpoolWork(holding);
  held.WaitForCount(1);
  SubmitThreadpoolWork(other);
  WaitForThreadpoolWorkCallbacks(other, FALSE);
  EXPECT_EQ(later.count, 1);
  // Closed while its callback still runs: the object stays until the callback returns.
  CloseThreadpoolWork(holding);
  CloseThreadpoolWork(other);
  held.Open();
}

TEST(ThreadPoolTest, CreationFailures) {
  Runs runs;
  setenv("TARVIK_WIN32_FAIL", "CreateThreadpoolWork", 1);
  EXPECT_EQ(CreateThreadpoolWork(Record, &runs, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  unsetenv("TARVIK_WIN32_FAIL");

  EXPECT_EQ(CreateThreadpoolWork(nullptr, &runs, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

VOID CALLBACK Forever(PTP_CALLBACK_INSTANCE, PVOID context, PTP_WORK) {
  static_cast<Runs*>(context)->Open();
  for (;;) pause();
}

TEST(ThreadPoolTest, ProcessEndsWhileACallbackRuns) {
  // A new run of this program, which may start threads whatever threads this one has.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Runs started;
        started.open = false;
        SubmitThreadpoolWork(CreateThreadpoolWork(Forever, &started, nullptr));
        std::unique_lock<std::mutex> lock(started.mutex);
        started.changed.wait(lock, [&] { return started.open; });
        ExitProcess(3);
      },
      testing::ExitedWithCode(3), "");
}

}  // namespace
