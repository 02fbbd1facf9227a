#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Services.h"
#include "testkit/cdrive/TempCDrive.h"

namespace {

// Database behaviour that needs no service process.
class ServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager_, nullptr);
  }
  void TearDown() override {
    CloseServiceHandle(manager_);
    unsetenv(win32::kNotAdministratorVariable);
  }
  SC_HANDLE Create(const wchar_t* name, const wchar_t* binary = L"\"Z:\\bin\\true\"") {
    return CreateServiceW(manager_, name, L"Display", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                          SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binary, nullptr, nullptr, L"",
                          nullptr, nullptr);
  }

  testkit::TempCDrive drive_;
  SC_HANDLE manager_ = nullptr;
};

TEST_F(ServiceManagerTest, NamesAreUniqueWithoutRegardToCase) {
  SC_HANDLE service = Create(L"HalvanePexonService");
  ASSERT_NE(service, nullptr);
  SERVICE_STATUS status{};
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_NEVER_STARTED));

  EXPECT_EQ(Create(L"halvanepexonSERVICE"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));
  SC_HANDLE again = OpenServiceW(manager_, L"HALVANEPEXONSERVICE", SERVICE_QUERY_STATUS);
  EXPECT_NE(again, nullptr);
  CloseServiceHandle(again);
  CloseServiceHandle(service);
}

TEST_F(ServiceManagerTest, DeletedServiceIsGone) {
  SC_HANDLE service = Create(L"Gone");
  ASSERT_NE(service, nullptr);
  ASSERT_TRUE(DeleteService(service));
  SERVICE_STATUS status{};
  EXPECT_FALSE(QueryServiceStatus(service, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(OpenServiceW(manager_, L"Gone", SERVICE_QUERY_STATUS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  CloseServiceHandle(service);
  EXPECT_FALSE(CloseServiceHandle(service));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServiceManagerTest, BadNamesAndRequests) {
  for (const wchar_t* name : {L"", L"a/b", L"a\\b", L"..", L"line\nbreak"}) {
    EXPECT_EQ(Create(name), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  }
  EXPECT_EQ(Create(L"NoBinary", L""), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  SC_HANDLE service = Create(L"Stopped");
  ASSERT_NE(service, nullptr);
  SERVICE_STATUS status{};
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_SHUTDOWN, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(ControlService(manager_, SERVICE_CONTROL_STOP, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  CloseServiceHandle(service);
}

TEST_F(ServiceManagerTest, WithoutAdministratorRightsOnlyQueriesPass) {
  SC_HANDLE created = Create(L"Guarded");
  ASSERT_NE(created, nullptr);
  CloseServiceHandle(created);
  setenv(win32::kNotAdministratorVariable, "1", 1);

  EXPECT_EQ(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SC_HANDLE connect = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(connect, nullptr);
  EXPECT_EQ(OpenServiceW(connect, L"Guarded", SERVICE_STOP | SERVICE_QUERY_STATUS), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenServiceW(connect, L"Missing", SERVICE_STOP), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  SC_HANDLE query = OpenServiceW(connect, L"Guarded", SERVICE_QUERY_STATUS);
  ASSERT_NE(query, nullptr);
  EXPECT_FALSE(DeleteService(query));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseServiceHandle(query);
  CloseServiceHandle(connect);
}

TEST_F(ServiceManagerTest, RecordOfDeadProcessReadsAsStopped) {
  SC_HANDLE service = Create(L"Crashed");
  ASSERT_NE(service, nullptr);
  {
    win32::ServiceDatabaseLock lock;
    win32::ServiceRecord record;
    ASSERT_TRUE(win32::LoadService(L"Crashed", &record));
    record.status.dwCurrentState = SERVICE_RUNNING;
    record.pid = static_cast<DWORD>(getpid());
    record.pidStartTime = win32::ProcessStartTime(record.pid) + 1;  // an earlier process of that id
    record.controlAddress = "gone";
    ASSERT_EQ(win32::SaveService(record), static_cast<DWORD>(ERROR_SUCCESS));
  }
  SERVICE_STATUS status{};
  ASSERT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_PROCESS_ABORTED));
  CloseServiceHandle(service);
}

TEST(ServiceDispatcher, OutsideAServiceProcessNothingConnects) {
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"Any"), [](DWORD, LPWSTR*) {}},
                                  {nullptr, nullptr}};
  EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT));
  EXPECT_EQ(RegisterServiceCtrlHandlerW(L"Any", [](DWORD) {}), nullptr);
  SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
  EXPECT_FALSE(SetServiceStatus(nullptr, &status));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
