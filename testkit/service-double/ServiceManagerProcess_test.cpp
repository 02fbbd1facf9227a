// The stand-in service manager with real service processes.
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Services.h"
#include "testkit/services/ServiceMachine.h"

namespace {

constexpr const wchar_t* kName = L"DoubleService";

class ServiceProcessTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (service_ != nullptr) CloseServiceHandle(service_);
    if (manager_ != nullptr) CloseServiceHandle(manager_);
  }
  // Installs the double with those arguments and opens it with every right.
  void Install(const std::wstring& arguments) {
    std::wstring binary = L"\"" + testkit::WindowsPath(SERVICE_DOUBLE) + L"\" " + arguments;
    ASSERT_TRUE(machine_.Install(kName, binary));
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    service_ = OpenServiceW(manager_, kName, SERVICE_ALL_ACCESS);
    ASSERT_NE(service_, nullptr);
  }
  DWORD Control(DWORD control) {
    SERVICE_STATUS status{};
    return ControlService(service_, control, &status) ? ERROR_SUCCESS : GetLastError();
  }
  SERVICE_STATUS Query() {
    SERVICE_STATUS status{};
    EXPECT_TRUE(QueryServiceStatus(service_, &status));
    return status;
  }

  testkit::ServiceMachine machine_;
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

TEST_F(ServiceProcessTest, StartsRunsAndStopsRecordingEveryReport) {
  Install(L"--stop-pending-ms=300");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_RUNNING));
  EXPECT_FALSE(StartServiceW(service_, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

  SERVICE_STATUS status{};
  ASSERT_TRUE(ControlService(service_, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_STOPPED));
  EXPECT_EQ(Control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));

  std::vector<SERVICE_STATUS> history = machine_.History(kName);
  ASSERT_EQ(history.size(), 4u);
  DWORD states[] = {SERVICE_START_PENDING, SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED};
  DWORD checkPoints[] = {1, 0, 2, 0};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(history[i].dwCurrentState, states[i]) << i;
    EXPECT_EQ(history[i].dwCheckPoint, checkPoints[i]) << i;
  }
  // A stopped service starts again.
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  EXPECT_TRUE(machine_.WaitForState(kName, SERVICE_RUNNING));
}

TEST_F(ServiceProcessTest, PendingOrUnacceptedControlsAreRefused) {
  Install(L"--start-pending-ms=1500 --accept=1");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  EXPECT_EQ(Query().dwCurrentState, static_cast<DWORD>(SERVICE_START_PENDING));
  EXPECT_EQ(Control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_RUNNING));
  EXPECT_EQ(Control(SERVICE_CONTROL_PAUSE), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
  EXPECT_EQ(Control(SERVICE_CONTROL_INTERROGATE), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(Control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(machine_.WaitForState(kName, SERVICE_STOPPED));
}

TEST_F(ServiceProcessTest, DeadProcessReadsAsStopped) {
  Install(L"--die-after-ms=100");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_STOPPED));
  EXPECT_EQ(Query().dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
  EXPECT_EQ(Control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
}

TEST_F(ServiceProcessTest, ProgramsThatAreNoServicesDoNotStart) {
  ASSERT_TRUE(machine_.Install(L"NotAService", L"Z:\\bin\\true"));
  ASSERT_TRUE(machine_.Install(L"NoProgram", L"\"Z:\\no\\such\\program\""));
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE notService = OpenServiceW(manager, L"NotAService", SERVICE_START);
  SC_HANDLE noProgram = OpenServiceW(manager, L"NoProgram", SERVICE_START);
  EXPECT_FALSE(StartServiceW(notService, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
  EXPECT_FALSE(StartServiceW(noProgram, 0, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(machine_.State(L"NotAService"), static_cast<DWORD>(SERVICE_STOPPED));
  CloseServiceHandle(notService);
  CloseServiceHandle(noProgram);
  CloseServiceHandle(manager);
}

TEST_F(ServiceProcessTest, RunningServiceIsDeletedOnceItStops) {
  Install(L"");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_RUNNING));
  ASSERT_TRUE(DeleteService(service_));
  EXPECT_FALSE(machine_.Install(kName, L"Z:\\bin\\true"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
  EXPECT_EQ(Control(SERVICE_CONTROL_STOP), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_STOPPED));
  EXPECT_FALSE(machine_.Installed(kName));
}

TEST_F(ServiceProcessTest, ShutdownReachesServicesThatAcceptIt) {
  Install(L"");
  ASSERT_TRUE(StartServiceW(service_, 0, nullptr));
  ASSERT_TRUE(machine_.WaitForState(kName, SERVICE_RUNNING));
  win32::NotifyServicesOfShutdown();
  EXPECT_TRUE(machine_.WaitForState(kName, SERVICE_STOPPED));
}

}  // namespace
