#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/macos/Dispatch.h"
#include "platform/macos/IOKitHid.h"
#include "platform/macos/testing/ThreadSignals.h"

namespace {

using macstandin::testing::Gate;
using macstandin::testing::kSafetyLimit;
using macstandin::testing::Tally;

using Work = std::function<void()>;
using SubmitCall = void (*)(dispatch_queue_t, void*, dispatch_function_t);

void RunWork(void* context) { (*static_cast<Work*>(context))(); }

// Hands work over as product code does, as a function and a context; work must outlive its run.
void Submit(SubmitCall call, dispatch_queue_t queue, Work& work) { call(queue, &work, &RunWork); }

void GroupSubmit(dispatch_group_t group, dispatch_queue_t queue, Work& work) {
  dispatch_group_async_f(group, queue, &work, &RunWork);
}

void Nothing(void*) {}

// Returns once everything submitted to queue before has finished.
void Drain(dispatch_queue_t queue) { dispatch_barrier_sync_f(queue, nullptr, &Nothing); }

void StopMainLoop(void*) { CFRunLoopStop(CFRunLoopGetMain()); }

// Items that must run one at a time, in the order each submitting thread gave them.
struct ExclusiveCase {
  const char* name;
  dispatch_queue_attr_t (*attributes)();
  SubmitCall async;
  SubmitCall sync;
};

const ExclusiveCase kExclusiveCases[] = {
    {"serial", [] { return dispatch_queue_attr_t{DISPATCH_QUEUE_SERIAL}; }, dispatch_async_f, dispatch_sync_f},
    {"serial in the background",
     [] { return dispatch_queue_attr_make_with_qos_class(DISPATCH_QUEUE_SERIAL, QOS_CLASS_BACKGROUND, 0); },
     dispatch_async_f, dispatch_sync_f},
    {"concurrent, barriers only", [] { return DISPATCH_QUEUE_CONCURRENT; }, dispatch_barrier_async_f,
     dispatch_barrier_sync_f},
};

TEST(ExclusiveItems, RunOneAtATimeInEachSubmittersOrder) {
  constexpr int kSubmitters = 4;
  constexpr int kItems = 300;
  constexpr int kEverySync = 7;
  for (const ExclusiveCase& c : kExclusiveCases) {
    SCOPED_TRACE(c.name);
    dispatch_queue_t queue = dispatch_queue_create("test.exclusive", c.attributes());
    std::atomic<bool> inside{false};
    std::atomic<int> overlaps{0};
    std::mutex mutex;
    std::vector<std::vector<int>> ran(kSubmitters);
    std::vector<std::deque<Work>> work(kSubmitters);
    std::vector<std::thread> submitters;
    for (int s = 0; s < kSubmitters; ++s) {
      submitters.emplace_back([&, s] {
        for (int i = 0; i < kItems; ++i) {
          Work& item = work[s].emplace_back([&, s, i] {
            if (inside.exchange(true)) ++overlaps;
            std::this_thread::yield();
            {
              std::lock_guard lock(mutex);
              ran[s].push_back(i);
            }
            inside = false;
          });
          Submit(i % kEverySync == 0 ? c.sync : c.async, queue, item);
        }
      });
    }
    for (std::thread& t : submitters) t.join();
    Drain(queue);
    dispatch_release(queue);

    EXPECT_EQ(overlaps, 0);
    for (int s = 0; s < kSubmitters; ++s) {
      ASSERT_EQ(ran[s].size(), std::size_t{kItems});
      for (int i = 0; i < kItems; ++i) ASSERT_EQ(ran[s][i], i) << "submitter " << s;
    }
  }
}

// More queues blocked at once than any fixed pool this machine would size for itself.
TEST(SerialQueues, ABlockedItemHoldsUpOnlyItsOwnQueue) {
  const int blocked = 6 + static_cast<int>(std::thread::hardware_concurrency());
  Gate release;
  Tally started;
  Tally behind;
  Work block = [&] {
    started.Add();
    EXPECT_TRUE(release.Pass());
  };
  Work follow = [&] { behind.Add(); };
  std::vector<dispatch_queue_t> queues;
  for (int q = 0; q < blocked; ++q) {
    queues.push_back(dispatch_queue_create("test.blocked", DISPATCH_QUEUE_SERIAL));
    Submit(dispatch_async_f, queues.back(), block);
    Submit(dispatch_async_f, queues.back(), follow);
  }
  EXPECT_TRUE(started.Reaches(blocked));

  dispatch_queue_t unblocked = dispatch_queue_create("test.unblocked", DISPATCH_QUEUE_SERIAL);
  Tally ranUnblocked;
  Work unblockedWork = [&] { ranUnblocked.Add(); };
  Submit(dispatch_async_f, unblocked, unblockedWork);
  EXPECT_TRUE(ranUnblocked.Reaches(1));
  EXPECT_EQ(behind.Count(), 0);

  release.Open();
  EXPECT_TRUE(behind.Reaches(blocked));
  for (dispatch_queue_t queue : queues) {
    Drain(queue);
    dispatch_release(queue);
  }
  Drain(unblocked);
  dispatch_release(unblocked);
}

TEST(ConcurrentQueue, RunsItsItemsAtTheSameTime) {
  constexpr int kItems = 8;
  dispatch_queue_t queue = dispatch_queue_create("test.concurrent", DISPATCH_QUEUE_CONCURRENT);
  Tally arrived;
  std::atomic<int> metAll{0};
  // Each item waits for all the others to be running: only concurrent items get past it.
  Work meet = [&] {
    arrived.Add();
    if (arrived.Reaches(kItems)) ++metAll;
  };
  for (int i = 0; i < kItems; ++i) Submit(dispatch_async_f, queue, meet);
  Drain(queue);
  dispatch_release(queue);
  EXPECT_EQ(metAll, kItems);
}

// What a barrier's neighbours saw, all under one lock.
struct BarrierWatch {
  std::mutex mutex;
  int beforeRunning = 0;
  int beforeFinished = 0;
  int beforeRunningSeenByBarrier = -1;
  int beforeFinishedSeenByBarrier = -1;
  bool barrierRunning = false;
  bool barrierDone = false;
  int startedOutOfTurn = 0;
  int afterFinished = 0;
};

class BarrierTest : public ::testing::TestWithParam<SubmitCall> {};

TEST_P(BarrierTest, WaitsForEarlierItemsRunsAloneAndHoldsBackLaterOnes) {
  constexpr int kEach = 4;
  dispatch_queue_t queue = dispatch_queue_create("test.barrier", DISPATCH_QUEUE_CONCURRENT);
  BarrierWatch watch;
  Gate finishBefore;
  Tally beforeStarted;
  Work before = [&] {
    {
      std::lock_guard lock(watch.mutex);
      if (watch.barrierRunning || watch.barrierDone) ++watch.startedOutOfTurn;
      ++watch.beforeRunning;
    }
    beforeStarted.Add();
    EXPECT_TRUE(finishBefore.Pass());
    std::lock_guard lock(watch.mutex);
    --watch.beforeRunning;
    ++watch.beforeFinished;
  };
  Work barrier = [&] {
    {
      std::lock_guard lock(watch.mutex);
      watch.beforeRunningSeenByBarrier = watch.beforeRunning;
      watch.beforeFinishedSeenByBarrier = watch.beforeFinished;
      watch.barrierRunning = true;
    }
    std::this_thread::yield();
    std::lock_guard lock(watch.mutex);
    watch.barrierRunning = false;
    watch.barrierDone = true;
  };
  Work after = [&] {
    std::lock_guard lock(watch.mutex);
    if (!watch.barrierDone || watch.barrierRunning) ++watch.startedOutOfTurn;
    ++watch.afterFinished;
  };

  for (int i = 0; i < kEach; ++i) Submit(dispatch_async_f, queue, before);
  // The earlier items all run at once and are let finish only a while after, by when the
  // barrier has been submitted: one that did not wait would be seen. Passing never depends
  // on the pause.
  std::thread opener([&] {
    EXPECT_TRUE(beforeStarted.Reaches(kEach));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    finishBefore.Open();
  });
  Submit(GetParam(), queue, barrier);
  for (int i = 0; i < kEach; ++i) Submit(dispatch_async_f, queue, after);
  Drain(queue);
  opener.join();
  dispatch_release(queue);

  EXPECT_EQ(watch.beforeRunningSeenByBarrier, 0);
  EXPECT_EQ(watch.beforeFinishedSeenByBarrier, kEach);
  EXPECT_EQ(watch.startedOutOfTurn, 0);
  EXPECT_EQ(watch.afterFinished, kEach);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, BarrierTest, ::testing::Values(dispatch_barrier_async_f, dispatch_barrier_sync_f),
                         [](const auto& info) { return info.param == dispatch_barrier_async_f ? "Async" : "Sync"; });

// Groups spanning a serial and a concurrent queue, one item held at a gate.
class GroupTest : public ::testing::Test {
 protected:
  static constexpr int kEachQueue = 3;

  void SetUp() override {
    for (dispatch_queue_t queue : m_queues) {
      for (int i = 0; i < kEachQueue; ++i) GroupSubmit(m_group, queue, m_count);
    }
    GroupSubmit(m_group, m_queues[0], m_held);
  }
  void TearDown() override {
    m_gate.Open();
    dispatch_group_wait(m_group, DISPATCH_TIME_FOREVER);
    dispatch_release(m_group);
    for (dispatch_queue_t queue : m_queues) dispatch_release(queue);
  }

  Gate m_gate;
  std::atomic<int> m_ran{0};
  Work m_count = [this] { ++m_ran; };
  Work m_held = [this] {
    EXPECT_TRUE(m_gate.Pass());
    ++m_ran;
  };
  const int m_items = 2 * kEachQueue + 1;
  dispatch_group_t m_group = dispatch_group_create();
  dispatch_queue_t m_queues[2] = {dispatch_queue_create("test.group.serial", DISPATCH_QUEUE_SERIAL),
                                  dispatch_queue_create("test.group.concurrent", DISPATCH_QUEUE_CONCURRENT)};
};

TEST_F(GroupTest, WaitReachesItsTimeLimitWhileAnItemHasNotRun) {
  const dispatch_time_t limits[] = {
      DISPATCH_TIME_NOW,
      dispatch_time(DISPATCH_TIME_NOW, 50 * NSEC_PER_MSEC),
      dispatch_time(DISPATCH_TIME_NOW, -static_cast<std::int64_t>(NSEC_PER_SEC)),
      dispatch_time(DISPATCH_TIME_NOW, INT64_MIN),
  };
  for (dispatch_time_t limit : limits) EXPECT_NE(dispatch_group_wait(m_group, limit), 0) << limit;
}

// A time limit, made when the wait starts.
class GroupCompletionTest : public GroupTest, public ::testing::WithParamInterface<dispatch_time_t (*)()> {};

TEST_P(GroupCompletionTest, WaitReturnsOnceEveryItemHasRun) {
  std::thread opener([this] { m_gate.Open(); });
  EXPECT_EQ(dispatch_group_wait(m_group, GetParam()()), 0);
  EXPECT_EQ(m_ran, m_items);
  opener.join();
  EXPECT_EQ(dispatch_group_wait(m_group, DISPATCH_TIME_NOW), 0);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, GroupCompletionTest,
                         ::testing::Values([] { return dispatch_time_t{DISPATCH_TIME_FOREVER}; },
                                           [] { return dispatch_time(DISPATCH_TIME_NOW, 60 * NSEC_PER_SEC); }),
                         [](const auto& info) { return info.index == 0 ? "Forever" : "WithinALimit"; });

TEST(Group, AnEmptyGroupIsWaitedForAtOnce) {
  dispatch_group_t group = dispatch_group_create();
  EXPECT_EQ(dispatch_group_wait(group, DISPATCH_TIME_NOW), 0);
  dispatch_release(group);
}

// The sanitizers tell whether a released queue or group was freed too soon, or never.
TEST(Lifetime, ReleasedQueuesAndGroupsLastUntilTheirWorkHasRun) {
  constexpr int kItems = 5;
  for (dispatch_queue_attr_t attributes : {dispatch_queue_attr_t{DISPATCH_QUEUE_SERIAL}, DISPATCH_QUEUE_CONCURRENT}) {
    dispatch_queue_t queue = dispatch_queue_create("test.released", attributes);
    dispatch_group_t group = dispatch_group_create();
    Gate gate;
    Tally ran;
    Work held = [&] {
      EXPECT_TRUE(gate.Pass());
      ran.Add();
    };
    for (int i = 0; i < kItems; ++i) {
      GroupSubmit(group, queue, held);
      Submit(dispatch_async_f, queue, held);
    }
    dispatch_release(group);
    dispatch_release(queue);
    gate.Open();
    EXPECT_TRUE(ran.Reaches(2 * kItems));
  }
}

TEST(DispatchTime, ForeverAndWhatGoesPastItStayForever) {
  const std::pair<dispatch_time_t, std::int64_t> cases[] = {
      {DISPATCH_TIME_FOREVER, 0},
      {DISPATCH_TIME_FOREVER, -static_cast<std::int64_t>(NSEC_PER_SEC)},
      {DISPATCH_TIME_NOW, INT64_MAX},
      {DISPATCH_TIME_FOREVER - 1, 1},
  };
  for (const auto& [when, delta] : cases) EXPECT_EQ(dispatch_time(when, delta), DISPATCH_TIME_FOREVER) << when;
}

TEST(DispatchTime, MovesWithTheSignOfTheDelta) {
  const dispatch_time_t now = dispatch_time(DISPATCH_TIME_NOW, 0);
  EXPECT_NE(now, DISPATCH_TIME_NOW);
  EXPECT_LT(now, dispatch_time(now, 1));
  EXPECT_GT(now, dispatch_time(now, -1));
  EXPECT_LE(now, dispatch_time(DISPATCH_TIME_NOW, 0));
}

// The tests run on the process's initial thread, which is the main thread.
class MainQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(gettid(), getpid()); }

  // CFRunLoopRun, with a watchdog that stops the loop if nothing else has by the safety limit.
  void RunMainLoop() {
    Gate returned;
    std::atomic<bool> stoppedByWatchdog{false};
    std::thread watchdog([&] {
      if (returned.Pass()) return;
      stoppedByWatchdog = true;
      CFRunLoopStop(CFRunLoopGetMain());
    });
    CFRunLoopRun();
    returned.Open();
    watchdog.join();
    EXPECT_FALSE(stoppedByWatchdog);
  }

  struct Ran {
    int index;
    std::thread::id thread;
  };
  std::mutex m_mutex;
  std::vector<Ran> m_ran;
  // Records that it ran, and where; what it has recorded is read once the main loop stopped.
  Work Recorder(int index) {
    return [this, index] {
      std::lock_guard lock(m_mutex);
      m_ran.push_back({index, std::this_thread::get_id()});
    };
  }
};

TEST_F(MainQueueTest, TheMainLoopIsNeverWithoutWork) {
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false), kCFRunLoopRunTimedOut);
}

TEST_F(MainQueueTest, TheMainLoopIsTheMainThreadsCurrentOneSeenFromEveryThread) {
  CFRunLoopRef main = CFRunLoopGetMain();
  EXPECT_EQ(CFRunLoopGetCurrent(), main);
  std::thread([main] {
    EXPECT_EQ(CFRunLoopGetMain(), main);
    EXPECT_NE(CFRunLoopGetCurrent(), main);
  }).join();
}

TEST_F(MainQueueTest, ItemsRunOnTheMainThreadInOrderOnlyWhileItRunsItsLoop) {
  constexpr int kItems = 5;
  std::vector<Work> records;
  for (int i = 0; i < kItems; ++i) records.push_back(Recorder(i));
  dispatch_queue_t poster = dispatch_queue_create("test.poster", DISPATCH_QUEUE_SERIAL);
  Work post = [&] {
    for (Work& record : records) Submit(dispatch_async_f, dispatch_get_main_queue(), record);
  };
  Submit(dispatch_sync_f, poster, post);
  dispatch_release(poster);
  {
    std::lock_guard lock(m_mutex);
    EXPECT_TRUE(m_ran.empty());
  }

  dispatch_async_f(dispatch_get_main_queue(), nullptr, &StopMainLoop);
  RunMainLoop();
  ASSERT_EQ(m_ran.size(), std::size_t{kItems});
  for (int i = 0; i < kItems; ++i) {
    EXPECT_EQ(m_ran[i].index, i);
    EXPECT_EQ(m_ran[i].thread, std::this_thread::get_id());
  }
}

TEST_F(MainQueueTest, SyncFromAWorkerReturnsOnceTheMainThreadRanIt) {
  Work record = Recorder(0);
  Work returned = Recorder(1);
  Work worker = [&] {
    Submit(dispatch_sync_f, dispatch_get_main_queue(), record);
    returned();
    dispatch_async_f(dispatch_get_main_queue(), nullptr, &StopMainLoop);
  };
  dispatch_queue_t queue = dispatch_queue_create("test.sync-to-main", DISPATCH_QUEUE_SERIAL);
  Submit(dispatch_async_f, queue, worker);
  RunMainLoop();
  Drain(queue);
  dispatch_release(queue);
  ASSERT_EQ(m_ran.size(), 2u);
  EXPECT_EQ(m_ran[0].index, 0);
  EXPECT_EQ(m_ran[0].thread, std::this_thread::get_id());
  EXPECT_EQ(m_ran[1].index, 1);
  EXPECT_NE(m_ran[1].thread, std::this_thread::get_id());
}

TEST_F(MainQueueTest, ItemsCountAsHandledSourcesOfALoopRunInAMode) {
  Work record = Recorder(0);
  Submit(dispatch_async_f, dispatch_get_main_queue(), record);
  EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, kSafetyLimit.count(), true), kCFRunLoopRunHandledSource);
  EXPECT_EQ(m_ran.size(), 1u);
}

}  // namespace
