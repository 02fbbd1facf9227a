// The guard against other processes: children that hold, abandon or look for a named mutex.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "foundation/sync/MutexGuard.h"
#include "foundation/sync/SyncTestSupport.h"

namespace {

using synctest::Narrow;
using synctest::ScopedHandle;
using synctest::UniqueName;
using testing::ElementsAre;

// A forked child running body; parent and child pass single bytes to each other. The child
// ends with body's result as its exit code, without running this process's exit handlers.
class Child {
 public:
  explicit Child(const std::function<int(Child&)>& body) {
    if (pipe(m_toParent) != 0 || pipe(m_toChild) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      m_inChild = true;
      _exit(body(*this));
    }
  }
  ~Child() {
    if (m_pid > 0 && !m_joined) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    for (int fd : {m_toParent[0], m_toParent[1], m_toChild[0], m_toChild[1]})
      if (fd >= 0) close(fd);
  }

  void Send(char byte) { (void)!write(m_inChild ? m_toParent[1] : m_toChild[1], &byte, 1); }
  // The next byte from the other side; 0 when none came within 10 s.
  char Receive() {
    pollfd in{m_inChild ? m_toChild[0] : m_toParent[0], POLLIN, 0};
    char byte = 0;
    if (poll(&in, 1, 10000) == 1 && read(in.fd, &byte, 1) == 1) return byte;
    return 0;
  }
  // The child's exit code; -1 when it did not exit normally.
  int Join() {
    int status = 0;
    m_joined = waitpid(m_pid, &status, 0) == m_pid;
    return m_joined && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t m_pid = -1;
  bool m_inChild = false;
  bool m_joined = false;
  int m_toParent[2] = {-1, -1};
  int m_toChild[2] = {-1, -1};
};

// A child's body that takes the mutex, tells the parent 'L' and ends with what then returns.
std::function<int(Child&)> Holder(const std::wstring& name,
                                  const std::function<int(Child&, HANDLE)>& then) {
  return [name, then](Child& self) {
    HANDLE handle = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str());
    if (handle == nullptr || WaitForSingleObject(handle, INFINITE) != WAIT_OBJECT_0) return 1;
    self.Send('L');
    return then(self, handle);
  };
}

// Whether another process finds the name and gets it without waiting.
bool FreeForOtherProcess(const std::wstring& name) {
  Child child([&](Child&) {
    HANDLE handle = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name.c_str());
    return handle != nullptr && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0 &&
                   ReleaseMutex(handle)
               ? 0
               : 1;
  });
  return child.Join() == 0;
}

class MutexGuardProcessTest : public synctest::SyncTest {};

TEST_F(MutexGuardProcessTest, ChildHoldingPastTheTimeoutKeepsItAndTheGuardClosesAtOnce) {
  std::wstring name = UniqueName(L"Global\\");
  std::string shown = Narrow(name);
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  Child holder(Holder(name, [](Child& self, HANDLE handle) {
    self.Receive();
    return ReleaseMutex(handle) ? 0 : 2;  // still the owner after the parent's guard gave up
  }));
  ASSERT_EQ(holder.Receive(), 'L');

  {
    MutexGuard guard(name.c_str(), 100);
    EXPECT_FALSE(guard.IsLocked());
    EXPECT_THAT(LogLines(),
                ElementsAre("info MutexGuard:Start OpenMutex " + shown,
                            "warning MutexGuard:OpenMutex " + shown + "  Result Timeout."));
    ClearLog();
  }
  EXPECT_THAT(LogLines(), ElementsAre("info MutexGuard:Start ReleaseMutex " + shown + "."));

  holder.Send('R');
  EXPECT_EQ(holder.Join(), 0);
  MutexGuard after(name.c_str(), 1000);
  EXPECT_TRUE(after.IsLocked());
}

TEST_F(MutexGuardProcessTest, ChildDyingWhileHoldingLeavesItAbandonedThenFree) {
  std::wstring name = UniqueName(L"Global\\");
  std::string shown = Narrow(name);
  ScopedHandle creator(CreateMutexW(nullptr, FALSE, name.c_str()));
  Child holder(Holder(name, [](Child&, HANDLE) { return 0; }));  // ends holding it
  ASSERT_EQ(holder.Receive(), 'L');
  ASSERT_EQ(holder.Join(), 0);

  {
    MutexGuard guard(name.c_str(), 1000);
    EXPECT_FALSE(guard.IsLocked());
    EXPECT_THAT(LogLines(),
                ElementsAre("info MutexGuard:Start OpenMutex " + shown,
                            "error MutexGuard:OpenMutex " + shown + "  Result Unknow Error."));
    // Given back at once: free for every other process while this guard still lives.
    EXPECT_TRUE(FreeForOtherProcess(name));
  }
  MutexGuard after(name.c_str(), 0);
  EXPECT_TRUE(after.IsLocked());
}

TEST_F(MutexGuardProcessTest, NameDiesWithTheLastProcessThatHadItOpen) {
  std::wstring name = UniqueName();
  Child creator([&](Child&) {
    HANDLE handle = CreateMutexW(nullptr, FALSE, name.c_str());
    return handle != nullptr && GetLastError() == ERROR_SUCCESS ? 0 : 1;  // never closed
  });
  ASSERT_EQ(creator.Join(), 0);

  MutexGuard guard(name.c_str(), 0);
  EXPECT_FALSE(guard.IsLocked());
  ScopedHandle fresh(CreateMutexW(nullptr, FALSE, name.c_str()));
  EXPECT_NE(fresh.get(), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(MutexGuardProcessTest, GlobalNamesSpanSessionsAndBareNamesStayInTheirs) {
  std::wstring global = UniqueName(L"Global\\");
  std::wstring bare = UniqueName();
  ScopedHandle globalMutex(CreateMutexW(nullptr, FALSE, global.c_str()));
  ScopedHandle bareMutex(CreateMutexW(nullptr, FALSE, bare.c_str()));
  Child otherSession([&](Child&) {
    setenv("TARVIK_SESSION_ID", "7", 1);
    MutexGuard globalGuard(global.c_str(), 0);
    MutexGuard bareGuard(bare.c_str(), 0);
    return (globalGuard.IsLocked() ? 1 : 0) | (bareGuard.IsLocked() ? 2 : 0);
  });
  EXPECT_EQ(otherSession.Join(), 1);
  EXPECT_TRUE(FreeForOtherProcess(bare));
}

}  // namespace
