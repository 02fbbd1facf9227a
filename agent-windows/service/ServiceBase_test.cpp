// The framework's state table, run by the stand-in service manager in a service process.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/EventTrace.h"
#include "platform/win32/internal/Services.h"
#include "testkit/services/ServiceMachine.h"

namespace {

constexpr const wchar_t* kName = L"TestService";
const GUID kProvider = {0xBE2E880E, 0xF79F, 0x4C30, {0x9C, 0x95, 0x09, 0xF0, 0x03, 0xA0, 0xA7, 0xEA}};
constexpr DWORD kShutdown = 0;  // stands for the machine shutting down

struct Report {
  DWORD state;
  DWORD checkPoint;
  DWORD exitCode;
};

struct StateCase {
  const char* name;
  std::wstring arguments;
  std::vector<DWORD> controls;
  std::vector<Report> reports;
  std::string event;  // the text of the one event entry, or empty for none
};

class ServiceBaseTest : public ::testing::TestWithParam<StateCase> {
 protected:
  testkit::ServiceMachine machine_;
};

bool Settled(DWORD state) {
  return state == SERVICE_RUNNING || state == SERVICE_STOPPED || state == SERVICE_PAUSED;
}

TEST_P(ServiceBaseTest, ReportsTheTablesStates) {
  const StateCase& c = GetParam();
  ASSERT_TRUE(machine_.Install(kName, L"\"" + testkit::WindowsPath(TEST_SERVICE) + L"\" " + c.arguments));
  ASSERT_TRUE(machine_.Start(kName));
  ASSERT_TRUE(machine_.WaitForState(kName, c.controls.empty() ? c.reports.back().state : SERVICE_RUNNING));

  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, kName, SERVICE_ALL_ACCESS);
  for (DWORD control : c.controls) {
    SERVICE_STATUS status{};
    if (control == kShutdown)
      win32::NotifyServicesOfShutdown();
    else
      EXPECT_TRUE(ControlService(service, control, &status)) << control << " " << GetLastError();
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  EXPECT_TRUE(Settled(machine_.State(kName)));

  std::vector<SERVICE_STATUS> history = machine_.History(kName);
  ASSERT_EQ(history.size(), c.reports.size());
  for (size_t i = 0; i < history.size(); ++i) {
    EXPECT_EQ(history[i].dwCurrentState, c.reports[i].state) << i;
    EXPECT_EQ(history[i].dwCheckPoint, c.reports[i].checkPoint) << i;
    EXPECT_EQ(history[i].dwWin32ExitCode, c.reports[i].exitCode) << i;
    EXPECT_EQ(history[i].dwControlsAccepted, static_cast<DWORD>(7)) << i;
  }
  std::ifstream file(win32::EventTraceFile(kProvider));
  std::string events((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (c.event.empty()) {
    EXPECT_EQ(events, "");
  } else {
    EXPECT_NE(events.find("level=2 keyword=0x0 pid="), std::string::npos) << events;
    EXPECT_NE(events.find(" " + c.event + "\n"), std::string::npos) << events;
  }
  if (machine_.State(kName) == SERVICE_STOPPED) {
    EXPECT_TRUE(machine_.WaitForExit(kName));
    EXPECT_EQ(machine_.Output(kName).find("Sanitizer"), std::string::npos) << machine_.Output(kName);
  }
}

const Report kStartPending{SERVICE_START_PENDING, 1, 0};
const Report kRunning{SERVICE_RUNNING, 0, 0};
const Report kStopped{SERVICE_STOPPED, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    Operations, ServiceBaseTest,
    ::testing::Values(
        StateCase{"StartFailsWithCode", L"--start=5", {},
                  {kStartPending, {SERVICE_STOPPED, 0, 5}}, "Service Start failed w/err 0x00000005"},
        StateCase{"StartFailsOtherwise", L"--start=x", {}, {kStartPending, kStopped},
                  "Service failed to start."},
        StateCase{"Stop", L"", {SERVICE_CONTROL_STOP},
                  {kStartPending, kRunning, {SERVICE_STOP_PENDING, 2, 0}, kStopped}, ""},
        StateCase{"StopFailsBackToRunning", L"--stop=1062", {SERVICE_CONTROL_STOP},
                  {kStartPending, kRunning, {SERVICE_STOP_PENDING, 2, 0}, kRunning},
                  "Service Stop failed w/err 0x00000426"},
        // Paused is no settled state for the counter: it takes a checkpoint too.
        StateCase{"PauseAndContinue", L"", {SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE},
                  {kStartPending, kRunning, {SERVICE_PAUSE_PENDING, 2, 0}, {SERVICE_PAUSED, 3, 0},
                   {SERVICE_CONTINUE_PENDING, 4, 0}, kRunning},
                  ""},
        StateCase{"PauseFails", L"--pause=x", {SERVICE_CONTROL_PAUSE},
                  {kStartPending, kRunning, {SERVICE_PAUSE_PENDING, 2, 0}, kRunning},
                  "Service failed to pause."},
        StateCase{"ContinueFails", L"--continue=87", {SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE},
                  {kStartPending, kRunning, {SERVICE_PAUSE_PENDING, 2, 0}, {SERVICE_PAUSED, 3, 0},
                   {SERVICE_CONTINUE_PENDING, 4, 0}, {SERVICE_PAUSED, 5, 0}},
                  "Service Continue failed w/err 0x00000057"},
        StateCase{"Shutdown", L"", {kShutdown}, {kStartPending, kRunning, kStopped}, ""},
        StateCase{"ShutdownFails", L"--shutdown=x", {kShutdown}, {kStartPending, kRunning},
                  "Service failed to sd."},
        StateCase{"OtherControlsReportNothing", L"", {SERVICE_CONTROL_INTERROGATE, 200},
                  {kStartPending, kRunning}, ""}),
    [](const ::testing::TestParamInfo<StateCase>& info) { return info.param.name; });

}  // namespace
