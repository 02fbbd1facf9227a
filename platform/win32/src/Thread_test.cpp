#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"

namespace {

// A thread routine that holds until released and then returns the code it was given.
struct Held {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<DWORD> ranAs;
  DWORD exitCode = 0;
  std::atomic<bool> finished{false};

  static DWORD WINAPI Run(LPVOID parameter) {
    auto* held = static_cast<Held*>(parameter);
    held->ranAs.set_value(static_cast<DWORD>(gettid()));
    held->released.wait();
    DWORD code = held->exitCode;
    held->finished = true;  // the last touch of held
    return code;
  }
};

TEST(ThreadTest, HandleIsSignalledWithTheExitCodeWhenTheThreadEnds) {
  Held held;
  held.exitCode = 42;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Held::Run, &held, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(held.ranAs.get_future().get(), id);
  EXPECT_NE(id, static_cast<DWORD>(gettid()));

  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

  held.release.set_value();
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(ThreadTest, ClosingTheHandleLeavesTheThreadRunning) {
  Held held;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, Held::Run, &held, 0, &id);
  ASSERT_NE(thread, nullptr);
  held.ranAs.get_future().wait();
  EXPECT_TRUE(CloseHandle(thread));  // returns at once although the thread is held
  held.release.set_value();

  // Nobody can wait on it now; its entry under /proc goes when it has ended.
  std::string task = "/proc/self/task/" + std::to_string(id);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::filesystem::exists(task) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_FALSE(std::filesystem::exists(task));
  EXPECT_TRUE(held.finished);
}

TEST(ThreadTest, PriorityForTheCallerOrACreatedThread) {
  Held held;
  HANDLE thread = CreateThread(nullptr, 0, Held::Run, &held, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  struct {
    HANDLE handle;
    int priority;
    DWORD error;  // 0: accepted
  } cases[] = {{GetCurrentThread(), THREAD_PRIORITY_HIGHEST, 0},
               {thread, THREAD_PRIORITY_HIGHEST, 0},
               {thread, 3, ERROR_INVALID_PARAMETER},
               {GetCurrentProcess(), THREAD_PRIORITY_NORMAL, ERROR_INVALID_HANDLE},
               {nullptr, THREAD_PRIORITY_NORMAL, ERROR_INVALID_HANDLE}};
  for (auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(SetThreadPriority(c.handle, c.priority), c.error == 0) << c.priority;
    EXPECT_EQ(GetLastError(), c.error) << c.priority;
  }
  held.release.set_value();
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
}

TEST(ThreadTest, CreationFlagsAreNotSupported) {
  Held held;
  EXPECT_EQ(CreateThread(nullptr, 0, Held::Run, &held, 0x4 /* CREATE_SUSPENDED */, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
