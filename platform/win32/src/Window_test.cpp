#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/TopLevelWindows.h"
#include "testkit/services/RunProgram.h"
#include "testkit/sysevents/ObjectsRoot.h"
#include "testkit/sysevents/RecordingWindow.h"

namespace {

using sysevents::ReceivedMessage;
using sysevents::RecordingWindow;

constexpr UINT kTestMessage = 0x0400;  // WM_USER
constexpr UINT kPeerHello = 0x0401;
constexpr const char* kPeerVariable = "TARVIK_WINDOW_TEST_PEER";

HWND HandleFromText(const char* text) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(text, nullptr, 16)));
}

std::string TextFromHandle(HWND window) {
  char text[24];
  std::snprintf(text, sizeof text, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return text;
}

// This test program started as the peer: a window in another process that tells the window
// named in TARVIK_WINDOW_TEST_PEER its handle, waits for an answer, and then ends with
// ExitProcess while its window thread waits for messages.
bool RunAsPeerIfAsked() {
  const char* testWindow = std::getenv(kPeerVariable);
  if (testWindow == nullptr) return false;
  RecordingWindow window;
  if (window.Handle() == nullptr ||
      !PostMessageW(HandleFromText(testWindow), kPeerHello,
                    reinterpret_cast<WPARAM>(window.Handle()), 0))
    ExitProcess(3);
  ExitProcess(window.WaitForMessages(1).size() == 1 ? 0 : 4);
}

[[maybe_unused]] const bool kRanAsPeer = RunAsPeerIfAsked();

// Every test has a machine of its own. Windows are made on threads of their own: the test's
// thread never gets a queue, which would outlive the test's folder.
class WindowTest : public testing::Test {
 protected:
  // The names in the window folder.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_root.Path() + "/Windows"))
      names.push_back(entry.path().filename());
    return names;
  }

  sysevents::ObjectsRoot m_root;
};

TEST_F(WindowTest, PostedMessagesReachTheClassProcedureInOrderUntilQuit) {
  RecordingWindow window;
  RecordingWindow other;
  ASSERT_NE(window.Handle(), nullptr);
  ASSERT_NE(other.Handle(), nullptr);
  EXPECT_NE(window.Handle(), other.Handle());

  constexpr int kCount = 40;
  for (int i = 0; i < kCount; ++i)
    ASSERT_TRUE(PostMessageW(window.Handle(), kTestMessage, static_cast<WPARAM>(i), 1000 + i));
  ASSERT_TRUE(PostMessageW(HWND_BROADCAST, WM_DISPLAYCHANGE, 32, 7));

  std::vector<ReceivedMessage> received = window.WaitForMessages(kCount + 1);
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kCount + 1));
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(received[i].window, window.Handle());
    EXPECT_EQ(received[i].message, kTestMessage);
    EXPECT_EQ(received[i].wParam, static_cast<WPARAM>(i));
    EXPECT_EQ(received[i].result, 1000 + i);  // DispatchMessageW returns the procedure's answer
    EXPECT_NE(received[i].time, 0u);
  }
  EXPECT_EQ(received[kCount].message, static_cast<UINT>(WM_DISPLAYCHANGE));

  std::vector<ReceivedMessage> broadcast = other.WaitForMessages(1);
  ASSERT_EQ(broadcast.size(), 1u);
  EXPECT_EQ(broadcast[0].window, other.Handle());
  EXPECT_EQ(broadcast[0].message, static_cast<UINT>(WM_DISPLAYCHANGE));
  EXPECT_EQ(broadcast[0].wParam, 32u);
  EXPECT_EQ(broadcast[0].lParam, 7);

  EXPECT_EQ(window.Quit(), 0);  // GetMessageW's answer to WM_QUIT, which is not dispatched
  EXPECT_EQ(window.WaitForMessages(0).size(), static_cast<std::size_t>(kCount + 1));
  // The window has gone with its thread.
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(window.Handle(), kTestMessage, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowTest, AnotherProcessPostsHereAndItsWindowsAreForgottenOnceItHasEnded) {
  RecordingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  auto peer = std::async(std::launch::async, [&] {
    return testkit::RunProgram(self, {}, {{kPeerVariable, TextFromHandle(window.Handle())}});
  });

  std::vector<ReceivedMessage> hello = window.WaitForMessages(1);
  ASSERT_EQ(hello.size(), 1u);
  ASSERT_EQ(hello[0].message, kPeerHello);
  auto peerWindow = reinterpret_cast<HWND>(hello[0].wParam);
  EXPECT_TRUE(PostMessageW(peerWindow, kTestMessage, 0, 0));
  testkit::ProgramResult ended = peer.get();
  EXPECT_EQ(ended.exitCode, 0);
  EXPECT_EQ(ended.error, "");  // no sanitizer report from ending with a thread in GetMessageW

  // Both processes' windows and queues are in the folder; a broadcast reaches the live one and
  // removes the others.
  EXPECT_EQ(FolderNames().size(), 4u);
  EXPECT_EQ(win32::PostToTopLevelWindows(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0), 1u);
  EXPECT_EQ(FolderNames().size(), 2u);
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(peerWindow, kTestMessage, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

  std::vector<ReceivedMessage> received = window.WaitForMessages(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].message, static_cast<UINT>(WM_DEVICECHANGE));
  EXPECT_EQ(received[1].wParam, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
}

TEST_F(WindowTest, DatagramsOfAnotherSizeAreDroppedAndTheQueueGoesOn) {
  RecordingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  std::string queue;
  for (const std::string& name : FolderNames())
    if (name.starts_with("queue-")) queue = m_root.Path() + "/Windows/" + name;
  ASSERT_FALSE(queue.empty());
  int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(queue.size(), sizeof address.sun_path);
  queue.copy(address.sun_path, sizeof address.sun_path - 1);
  const char bytes[64] = {1, 2, 3};
  for (std::size_t size : {std::size_t{5}, sizeof bytes})
    EXPECT_EQ(sendto(fd, bytes, size, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address),
              static_cast<ssize_t>(size));
  close(fd);

  ASSERT_TRUE(PostMessageW(window.Handle(), kTestMessage, 1, 2));
  std::vector<ReceivedMessage> received = window.WaitForMessages(1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, kTestMessage);
}

TEST_F(WindowTest, WindowsStartHiddenUnlessVisibleAndShowWindowTellsWhatTheyWere) {
  RecordingWindow recording;  // registers the class
  std::thread([] {
    auto create = [](DWORD style) {
      return CreateWindowExW(0, L"TarvikRecordingWindow", L"", style, 0, 0, 0, 0, nullptr, nullptr,
                             nullptr, nullptr);
    };
    HWND hidden = create(WS_OVERLAPPEDWINDOW);
    HWND visible = create(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_NE(hidden, nullptr);
    ASSERT_NE(visible, nullptr);
    EXPECT_FALSE(ShowWindow(hidden, SW_HIDE));
    EXPECT_FALSE(ShowWindow(hidden, SW_SHOWNORMAL));
    EXPECT_TRUE(ShowWindow(hidden, SW_HIDE));
    EXPECT_TRUE(ShowWindow(visible, SW_HIDE));
  }).join();
}

TEST_F(WindowTest, TheDefaultProcedureLetsTheSessionEndAndAnswersZeroOtherwise) {
  EXPECT_EQ(DefWindowProcW(nullptr, WM_QUERYENDSESSION, 0, 0), TRUE);
  for (UINT message : {WM_DISPLAYCHANGE, WM_DEVICECHANGE, WM_POWERBROADCAST, WM_WTSSESSION_CHANGE})
    EXPECT_EQ(DefWindowProcW(nullptr, message, 1, 1), 0) << message;
  MSG message{};
  EXPECT_FALSE(TranslateMessage(&message));
}

TEST_F(WindowTest, RegistrationsForAWindowOfThisProcessAreTaken) {
  RecordingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  const GUID setting{0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  auto statusHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x51});

  EXPECT_TRUE(WTSRegisterSessionNotification(window.Handle(), NOTIFY_FOR_ALL_SESSIONS));
  EXPECT_NE(RegisterPowerSettingNotification(window.Handle(), &setting, DEVICE_NOTIFY_WINDOW_HANDLE),
            nullptr);
  EXPECT_NE(RegisterSuspendResumeNotification(window.Handle(), DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
  EXPECT_NE(RegisterDeviceNotificationW(statusHandle, &filter, DEVICE_NOTIFY_SERVICE_HANDLE), nullptr);
  EXPECT_NE(RegisterDeviceNotificationW(window.Handle(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
}

struct FailureCase {
  const char* call;
  std::function<bool()> fails;  // made the call, true when it failed
  DWORD error;
};

TEST_F(WindowTest, CallsFailWithTheErrorsOfWindows) {
  RecordingWindow window;
  ASSERT_NE(window.Handle(), nullptr);
  HWND live = window.Handle();
  auto unknown = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
  auto statusHandle = reinterpret_cast<HANDLE>(std::uintptr_t{0x51});
  const GUID setting{};
  WNDCLASSEXW good{};
  good.cbSize = sizeof good;
  good.lpfnWndProc = DefWindowProcW;
  good.lpszClassName = L"WindowTestClass";
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  auto changed = [](auto record, auto change) {
    change(record);
    return record;
  };
  auto classWith = [&](auto change) { return changed(good, change); };
  auto filterWith = [&](auto change) { return changed(filter, change); };
  auto registerClass = [](WNDCLASSEXW windowClass) { return RegisterClassExW(&windowClass) == 0; };
  auto registerDevice = [](HANDLE recipient, DEV_BROADCAST_DEVICEINTERFACE_W f, DWORD flags) {
    return RegisterDeviceNotificationW(recipient, &f, flags) == nullptr;
  };
  auto create = [](LPCWSTR className, HWND parent) {
    return CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, parent, nullptr, nullptr, nullptr) == nullptr;
  };
  MSG message{};
  message.hwnd = unknown;

  const FailureCase cases[] = {
      {"RegisterClassExW without its size", [&] { return registerClass(classWith([](auto& c) { c.cbSize = 0; })); },
       ERROR_INVALID_PARAMETER},
      {"RegisterClassExW without a procedure",
       [&] { return registerClass(classWith([](auto& c) { c.lpfnWndProc = nullptr; })); }, ERROR_INVALID_PARAMETER},
      {"RegisterClassExW without a name",
       [&] { return registerClass(classWith([](auto& c) { c.lpszClassName = nullptr; })); }, ERROR_INVALID_PARAMETER},
      {"RegisterClassExW of a name known in other case",
       [&] { return registerClass(classWith([](auto& c) { c.lpszClassName = L"tarvikrecordingWINDOW"; })); },
       ERROR_CLASS_ALREADY_EXISTS},
      {"CreateWindowExW of an unknown class", [&] { return create(L"NoSuchClass", nullptr); },
       ERROR_CANNOT_FIND_WND_CLASS},
      {"CreateWindowExW with a parent", [&] { return create(L"TarvikRecordingWindow", live); },
       ERROR_INVALID_PARAMETER},
      {"GetMessageW on a thread without windows", [&] { return GetMessageW(&message, nullptr, 0, 0) == -1; },
       ERROR_INVALID_THREAD_ID},
      {"GetMessageW without a message", [] { return GetMessageW(nullptr, nullptr, 0, 0) == -1; },
       ERROR_INVALID_PARAMETER},
      {"GetMessageW with a filter", [&] { return GetMessageW(&message, nullptr, 1, 2) == -1; },
       ERROR_INVALID_PARAMETER},
      {"PostMessageW to an unknown window", [&] { return !PostMessageW(unknown, kTestMessage, 0, 0); },
       ERROR_INVALID_WINDOW_HANDLE},
      {"PostMessageW to no window", [] { return !PostMessageW(nullptr, kTestMessage, 0, 0); },
       ERROR_INVALID_WINDOW_HANDLE},
      {"DispatchMessageW to an unknown window", [&] { return DispatchMessageW(&message) == 0; },
       ERROR_INVALID_WINDOW_HANDLE},
      {"ShowWindow of an unknown window", [&] { return !ShowWindow(unknown, SW_SHOWNORMAL); },
       ERROR_INVALID_WINDOW_HANDLE},
      {"WTSRegisterSessionNotification of an unknown window",
       [&] { return !WTSRegisterSessionNotification(unknown, NOTIFY_FOR_ALL_SESSIONS); }, ERROR_INVALID_HANDLE},
      {"WTSRegisterSessionNotification with unknown flags",
       [&] { return !WTSRegisterSessionNotification(live, 2); }, ERROR_INVALID_PARAMETER},
      {"RegisterPowerSettingNotification without a setting",
       [&] { return !RegisterPowerSettingNotification(live, nullptr, DEVICE_NOTIFY_WINDOW_HANDLE); },
       ERROR_INVALID_PARAMETER},
      {"RegisterPowerSettingNotification for a service",
       [&] { return !RegisterPowerSettingNotification(statusHandle, &setting, DEVICE_NOTIFY_SERVICE_HANDLE); },
       ERROR_INVALID_PARAMETER},
      {"RegisterSuspendResumeNotification of an unknown window",
       [&] { return !RegisterSuspendResumeNotification(unknown, DEVICE_NOTIFY_WINDOW_HANDLE); },
       ERROR_INVALID_HANDLE},
      {"RegisterDeviceNotificationW without a filter",
       [&] { return !RegisterDeviceNotificationW(statusHandle, nullptr, DEVICE_NOTIFY_SERVICE_HANDLE); },
       ERROR_INVALID_PARAMETER},
      {"RegisterDeviceNotificationW with a filter shorter than its header",
       [&] {
         return registerDevice(statusHandle, filterWith([](auto& f) { f.dbcc_size = 8; }),
                               DEVICE_NOTIFY_SERVICE_HANDLE);
       },
       ERROR_INVALID_DATA},
      {"RegisterDeviceNotificationW with a handle filter",
       [&] {
         return registerDevice(statusHandle, filterWith([](auto& f) { f.dbcc_devicetype = 6; }),
                               DEVICE_NOTIFY_SERVICE_HANDLE);
       },
       ERROR_INVALID_DATA},
      {"RegisterDeviceNotificationW for a service without its status handle",
       [&] { return registerDevice(nullptr, filter, DEVICE_NOTIFY_SERVICE_HANDLE); }, ERROR_INVALID_PARAMETER},
      {"RegisterDeviceNotificationW for an unknown window",
       [&] { return registerDevice(unknown, filter, DEVICE_NOTIFY_WINDOW_HANDLE); }, ERROR_INVALID_PARAMETER},
  };
  for (const FailureCase& c : cases) {
    SetLastError(0);
    EXPECT_TRUE(c.fails()) << c.call;
    EXPECT_EQ(GetLastError(), c.error) << c.call;
  }
}

TEST_F(WindowTest, InjectedFailuresReachWindowCreationAndDeviceNotifications) {
  RecordingWindow window;  // registers the class
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  setenv("TARVIK_WIN32_FAIL", "CreateWindowExW,RegisterDeviceNotificationW", 1);
  SetLastError(0);
  EXPECT_EQ(RegisterDeviceNotificationW(window.Handle(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  RecordingWindow refused;
  EXPECT_EQ(refused.Handle(), nullptr);
  unsetenv("TARVIK_WIN32_FAIL");
}

struct PowerCase {
  const char* connectedStandby;  // null: unset
  BOOLEAN aoac;
};

TEST(WindowPowerTest, ConnectedStandbyOnlyWhenTheMachineIsSaidToHaveIt) {
  const PowerCase cases[] = {{nullptr, 0}, {"0", 0}, {"yes", 0}, {"1", 1}};
  for (const PowerCase& c : cases) {
    SCOPED_TRACE(c.connectedStandby == nullptr ? "unset" : c.connectedStandby);
    if (c.connectedStandby == nullptr)
      unsetenv("TARVIK_WIN32_CONNECTED_STANDBY");
    else
      setenv("TARVIK_WIN32_CONNECTED_STANDBY", c.connectedStandby, 1);
    SYSTEM_POWER_CAPABILITIES capabilities{};
    EXPECT_EQ(CallNtPowerInformation(SystemPowerCapabilities, nullptr, 0, &capabilities, sizeof capabilities),
              STATUS_SUCCESS);
    EXPECT_EQ(capabilities.AoAc, c.aoac);
    EXPECT_EQ(capabilities.SystemS3, c.aoac ? 0 : 1);
    EXPECT_EQ(capabilities.PowerButtonPresent, 1);
  }
  unsetenv("TARVIK_WIN32_CONNECTED_STANDBY");
}

TEST(WindowPowerTest, ABadRequestWritesNothing) {
  setenv("TARVIK_WIN32_CONNECTED_STANDBY", "1", 1);
  unsigned char buffer[sizeof(SYSTEM_POWER_CAPABILITIES)];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(CallNtPowerInformation(SystemPowerCapabilities, nullptr, 0, buffer, sizeof buffer - 1),
            STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(CallNtPowerInformation(static_cast<POWER_INFORMATION_LEVEL>(0), nullptr, 0, buffer, sizeof buffer),
            STATUS_INVALID_PARAMETER);
  EXPECT_EQ(CallNtPowerInformation(SystemPowerCapabilities, nullptr, 0, nullptr, sizeof buffer),
            STATUS_INVALID_PARAMETER);
  for (unsigned char byte : buffer) ASSERT_EQ(byte, 0xEE);
  unsetenv("TARVIK_WIN32_CONNECTED_STANDBY");
}

}  // namespace
