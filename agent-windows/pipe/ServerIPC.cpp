#include "agent-windows/pipe/ServerIPC.h"

#include <array>
#include <atomic>
#include <cstdint>

#include "agent-windows/pipe/InstallerMessages.h"
#include "foundation/clock/Clock.h"
#include "foundation/log/Log.h"
#include "platform/win32/Win32.h"

namespace {

constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\pipeHalvane";
constexpr DWORD kMaxInstances = 3;
constexpr DWORD kDefaultTimeOutMs = 1000;
constexpr std::uint32_t kAfterRecordMs = 10;
constexpr std::uint32_t kLeavePollMs = 10;

std::atomic<InstallerMessageHandler> g_handler{nullptr};
std::atomic<bool> g_running{false};
std::atomic<HANDLE> g_thread{nullptr};
std::atomic<bool> g_installerConnected{false};

// False when the installer has gone or wrote more than one record in a message.
bool readMessage(HANDLE pipe) {
  std::array<std::uint8_t, kInstallerMessageSize> buffer{};
  DWORD bytesRead = 0;
  if (!ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &bytesRead, nullptr)) {
    LogError(L"readMessage error: %d.\n", static_cast<int>(GetLastError()));
    return false;
  }
  const InstallerProgressMessage message = ReadInstallerProgressMessage(buffer.data(), buffer.size());
  LogInfo(L"readMessage success: %d,%s,%f.\n", message.type, InstallerMessageText(message).c_str(),
          static_cast<double>(message.value));
  if (const InstallerMessageHandler handler = g_handler.load()) handler(message);
  return true;
}

bool WaitForInstaller(HANDLE pipe) {
  return ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
}

DWORD WINAPI ServerIPCThread(LPVOID) {
  const HANDLE pipe = CreateNamedPipeW(kPipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                       kMaxInstances, 0, 0, kDefaultTimeOutMs, nullptr);
  LogInfo(L"%s... ", kPipeName);
  if (pipe == INVALID_HANDLE_VALUE) return 0;
  while (g_running.load()) {
    LogInfo(L"start to read from client....");
    if (WaitForInstaller(pipe)) {
      g_installerConnected.store(true);
      OnInstallerConnected();
      LogInfo(L"connect success...");
      while (readMessage(pipe)) tarvik::SleepMs(kAfterRecordMs);
      g_installerConnected.store(false);
    }
    DisconnectNamedPipe(pipe);
  }
  CloseHandle(pipe);
  return 0;
}

}  // namespace

void StartServerIPC(InstallerMessageHandler handler) {
  g_handler.store(handler);
  g_running.store(true);
  const HANDLE thread = CreateThread(nullptr, 0, ServerIPCThread, nullptr, 0, nullptr);
  if (thread == nullptr) {
    LogError(L"Create thread error: %d.", static_cast<int>(GetLastError()));
    return;
  }
  SetThreadPriority(thread, THREAD_PRIORITY_HIGHEST);
  LogInfo(L"Create thread Success: %d.", static_cast<int>(GetLastError()));
  if (const HANDLE previous = g_thread.exchange(thread)) CloseHandle(previous);
}

bool ExitSeverIPC() {
  LogInfo(L"ExitSeverIPC: Start ");
  g_running.store(false);
  if (const HANDLE thread = g_thread.exchange(nullptr)) CloseHandle(thread);
  LogInfo(L"ExitSeverIPC Successfully");
  return true;
}

void WaitForInstallerToLeave(std::uint32_t limitMs) {
  for (std::uint32_t waited = 0; g_installerConnected.load() && waited < limitMs; waited += kLeavePollMs)
    tarvik::SleepMs(kLeavePollMs);
}
