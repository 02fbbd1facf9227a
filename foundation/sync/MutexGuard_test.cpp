#include "foundation/sync/MutexGuard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "foundation/sync/SyncTestSupport.h"

namespace {

using synctest::Narrow;
using synctest::ScopedHandle;
using synctest::UniqueName;
using testing::ElementsAre;

class MutexGuardTest : public synctest::SyncTest {
 protected:
  // What another thread of this process gets from a wait without time-out.
  static DWORD TryFromOtherThread(const std::wstring& name) {
    DWORD result = WAIT_FAILED;
    std::thread([&] {
      ScopedHandle handle(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str()));
      result = WaitForSingleObject(handle.get(), 0);
      if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(handle.get());
    }).join();
    return result;
  }
};

TEST_F(MutexGuardTest, NameThatNoProcessCreatedIsNeverLockedNorCreated) {
  std::wstring name = UniqueName();
  std::string shown = Narrow(name);
  {
    MutexGuard guard(name.c_str(), 100);
    EXPECT_FALSE(guard.IsLocked());
    EXPECT_THAT(LogLines(), ElementsAre("info MutexGuard:Start OpenMutex " + shown));
  }
  EXPECT_THAT(LogLines(), ElementsAre("info MutexGuard:Start OpenMutex " + shown,
                                      "info MutexGuard:Start ReleaseMutex " + shown + "."));
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(MutexGuardTest, HoldsTheMutexForItsScopeAndReleasesAtTheEnd) {
  std::wstring name = UniqueName(L"Global\\");
  std::string shown = Narrow(name);
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  {
    MutexGuard guard(name.c_str(), 1000);
    EXPECT_TRUE(guard.IsLocked());
    EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_TIMEOUT));
  }
  EXPECT_THAT(LogLines(),
              ElementsAre("info MutexGuard:Start OpenMutex " + shown,
                          "info MutexGuard:OpenMutex " + shown + "  Result Success.",
                          "info MutexGuard:Start ReleaseMutex " + shown + ".",
                          "info MutexGuard:ReleaseMutex " + shown + "  Result Success.",
                          "info MutexGuard:Close Mutex " + shown + "  Result Success."));
  EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(MutexGuardTest, TimeOutAgainstAnotherThreadLeavesTheHolderOwningIt) {
  std::wstring name = UniqueName();
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  MutexGuard holder(name.c_str(), 1000);
  ASSERT_TRUE(holder.IsLocked());
  bool otherLocked = true;
  std::thread([&] {
    MutexGuard other(name.c_str(), 50);
    otherLocked = other.IsLocked();
  }).join();
  EXPECT_FALSE(otherLocked);
  EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(MutexGuardTest, EarlyReleaseThenScopeEndReleasesAndClosesOnce) {
  std::wstring name = UniqueName();
  std::string shown = Narrow(name);
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  {
    MutexGuard guard(name.c_str(), 1000);
    ASSERT_TRUE(guard.IsLocked());
    guard.Release();
    EXPECT_FALSE(guard.IsLocked());
    EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_OBJECT_0));
    ClearLog();
  }
  EXPECT_THAT(LogLines(), ElementsAre("info MutexGuard:Start ReleaseMutex " + shown + "."));
  EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(MutexGuardTest, NestedGuardsOfOneThreadHoldUntilTheOuterEnds) {
  std::wstring name = UniqueName();
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  {
    MutexGuard outer(name.c_str(), 1000);
    {
      MutexGuard inner(name.c_str(), 0);
      EXPECT_TRUE(inner.IsLocked());
    }
    EXPECT_TRUE(outer.IsLocked());
    EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_TIMEOUT));
  }
  EXPECT_EQ(TryFromOtherThread(name), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(MutexGuardTest, SecondThreadWaitsUntilTheFirstGuardHasEnded) {
  std::wstring name = UniqueName();
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  std::atomic<bool> firstHolds{false};
  std::atomic<bool> firstEnded{false};
  int guarded = 0;  // written by both threads only while they hold the mutex

  std::thread first([&] {
    std::optional<MutexGuard> guard(std::in_place, name.c_str(), 1000);
    EXPECT_TRUE(guard->IsLocked());
    firstHolds = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the second one queue
    guarded = 1;
    firstEnded = true;
    guard.reset();
  });
  while (!firstHolds) std::this_thread::yield();

  bool endedBeforeSecondGotIt = false;
  std::thread second([&] {
    MutexGuard guard(name.c_str(), 5000);
    ASSERT_TRUE(guard.IsLocked());
    endedBeforeSecondGotIt = firstEnded;
    guarded = 2;
  });
  first.join();
  second.join();
  EXPECT_TRUE(endedBeforeSecondGotIt);
  EXPECT_EQ(guarded, 2);
}

}  // namespace
