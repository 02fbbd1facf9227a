// TarvikClient as a program: its modes, exit codes and lines, with the service it installs
// run by the stand-in service manager.
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/text/ComputerName.h"
#include "platform/win32/Win32.h"
#include "agent-windows/AgentProgramTest.h"

namespace {

using namespace agenttest;

TEST_F(AgentProgramTest, InstallRunsTheServiceAndRemoveTakesItOff) {
  machine_.Drive().Write(kSettings, kValidSettings);
  testkit::ProgramResult install = Run("/install");
  EXPECT_EQ(install.exitCode, 0);
  EXPECT_TRUE(Has(install.output, "HalvanePexonService is installed.")) << install.output;
  EXPECT_TRUE(Has(install.output, "HalvanePexonService is started.")) << install.output;
  ASSERT_TRUE(machine_.WaitForState(kService, SERVICE_RUNNING));

  // Interrogation reaches the service and changes nothing.
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, kService, SERVICE_INTERROGATE);
  SERVICE_STATUS status{};
  EXPECT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
  CloseServiceHandle(service);
  CloseServiceHandle(manager);

  machine_.State(kService);  // notes the service's process, for the end below
  testkit::ProgramResult remove = Run("-Remove");
  EXPECT_EQ(remove.exitCode, 0);
  EXPECT_TRUE(Has(remove.output, "Stopping HalvanePexonService.")) << remove.output;
  EXPECT_TRUE(Has(remove.output, "HalvanePexonService is stopped.")) << remove.output;
  EXPECT_TRUE(Has(remove.output, "HalvanePexonService is removed.")) << remove.output;
  EXPECT_FALSE(machine_.Installed(kService));

  std::vector<SERVICE_STATUS> history = machine_.History(kService);
  ASSERT_EQ(history.size(), 4u);
  const DWORD states[] = {SERVICE_START_PENDING, SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED};
  const DWORD checkPoints[] = {1, 0, 2, 0};
  for (size_t i = 0; i < history.size(); ++i) {
    EXPECT_EQ(history[i].dwCurrentState, states[i]) << i;
    EXPECT_EQ(history[i].dwCheckPoint, checkPoints[i]) << i;
    EXPECT_EQ(history[i].dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
    EXPECT_EQ(history[i].dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  }
  EXPECT_TRUE(machine_.WaitForExit(kService));
  std::string serviceOutput = machine_.Output(kService);
  EXPECT_FALSE(Has(serviceOutput, "Sanitizer")) << serviceOutput;
  EXPECT_TRUE(Has(serviceOutput, "VestrelBackGroundService Run---------")) << serviceOutput;
  EXPECT_TRUE(Has(serviceOutput, "HalvanePexonClientServiceAA OnStart!!!!!")) << serviceOutput;
  EXPECT_TRUE(Has(serviceOutput, "LumbraBackGroundService OnStop")) << serviceOutput;
  // As local system, the service finds the console user's folder at once.
  EXPECT_TRUE(Has(serviceOutput, "C:\\Users\\User\\AppData\\Local")) << serviceOutput;
  EXPECT_FALSE(Has(serviceOutput, "GetInteractiveUserAppDataPath failed!")) << serviceOutput;

  EXPECT_EQ(PennorakRecord(), "\"C:\\Program Files\\Quelmo\\Tarvik-Client\\Pennorak.exe\" /uninstall\n");
}

TEST_F(AgentProgramTest, InstallAndRemoveReportWhatFailed) {
  machine_.Drive().Write(kSettings, kValidSettings);
  testkit::ProgramResult notInstalled = Run("/uninstall");
  EXPECT_EQ(notInstalled.exitCode, 0);
  EXPECT_TRUE(Has(notInstalled.output, "OpenService failed w/err 0x00000424")) << notInstalled.output;
  EXPECT_EQ(PennorakRecord().empty(), false);

  ASSERT_TRUE(machine_.Install(kService, L"\"" + ProgramWindowsPath() + L"\""));
  testkit::ProgramResult twice = Run("/INSTALL");
  EXPECT_EQ(twice.exitCode, 0);
  EXPECT_TRUE(Has(twice.output, "CreateService failed w/err 0x00000431")) << twice.output;
  EXPECT_FALSE(Has(twice.output, "is started.")) << twice.output;

  testkit::ProgramResult stopped = Run("/remove");
  EXPECT_FALSE(Has(stopped.output, "Stopping")) << stopped.output;
  EXPECT_TRUE(Has(stopped.output, "HalvanePexonService is removed.")) << stopped.output;
  EXPECT_FALSE(machine_.Installed(kService));

  testkit::ProgramResult denied = Run("/install", {{"TARVIK_WIN32_NOT_ADMIN", "1"}});
  EXPECT_EQ(denied.exitCode, 0);
  EXPECT_TRUE(Has(denied.output, "OpenSCManager failed w/err 0x00000005")) << denied.output;
  EXPECT_FALSE(machine_.Installed(kService));
}

TEST_F(AgentProgramTest, EmptyServerEndsEveryModeWithOne) {
  machine_.Drive().Write(kSettings, "[ServerSettings]\nPort=8080\n");
  std::vector<std::future<testkit::ProgramResult>> runs;
  for (const char* mode : {"", "/install", "/remove", "/other"})
    runs.push_back(std::async(std::launch::async, [this, mode] { return Run(mode); }));
  for (auto& run : runs) {
    testkit::ProgramResult result = run.get();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(Has(result.output, "IP address is empty.")) << result.output;
    EXPECT_FALSE(Has(result.output, "Host:")) << result.output;
  }
  EXPECT_FALSE(machine_.Installed(kService));
  EXPECT_EQ(machine_.Drive().Read(std::string(kProgramFolder) + "/pennorak-command-line.txt"), "");
}

TEST_F(AgentProgramTest, WithoutSwitchOutsideTheManagerTheDispatcherFails) {
  machine_.Drive().Write(kSettings, kValidSettings);
  testkit::ProgramResult result = Run("");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(Has(result.output, "Service failed to run w/err 0x00000427")) << result.output;
  EXPECT_TRUE(Has(result.output, "Host:mgmt.example,Port:8080,Protocol:http,Folder:,IniFile:C:\\ProgramData\\Quelmo\\Tarvik Client\\TarvikConfig.ini"))
      << result.output;
  // Three tries for the console user's folder, the path then logged empty.
  size_t failures = 0;
  for (size_t at = 0; (at = result.output.find("GetInteractiveUserAppDataPath failed!", at)) != std::string::npos; ++at)
    ++failures;
  EXPECT_EQ(failures, 3u);
}

TEST_F(AgentProgramTest, OnlyLogOnStartsTheFileLog) {
  std::string folder = "ProgramData/Quelmo/Tarvik Client/Log_s";
  machine_.Drive().Write(kSettings, kValidSettings + "Log=on\n");
  testkit::ProgramResult lower = Run("/other");
  EXPECT_EQ(lower.exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(machine_.Drive().Path(folder)));
  EXPECT_TRUE(Has(lower.output, "V1.0.0.5")) << lower.output;

  machine_.Drive().Write(kSettings, kValidSettings + "Log=On\n");
  testkit::ProgramResult on = Run("/other");
  EXPECT_EQ(on.exitCode, 0);
  EXPECT_FALSE(Has(on.output, "V1.0.0.5")) << on.output;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(machine_.Drive().Path(folder)))
    files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  std::string name = files[0].filename().string();
  EXPECT_EQ(name.rfind("Tarvik_LogFile_", 0), 0u) << name;
  EXPECT_EQ(name.size(), std::string("Tarvik_LogFile_2024_01_31_23_59_59.txt").size()) << name;
  std::string log = machine_.Drive().Read(folder + "/" + name);
  EXPECT_TRUE(Has(log, "] [warning] Host:mgmt.example,Port:8080")) << log;
  EXPECT_TRUE(Has(log, "] [info] V1.0.0.5")) << log;
}

TEST_F(AgentProgramTest, TheServiceKeepsItsConversationAcrossAServerRestartAndStopsCleanly) {
  auto server = std::make_unique<testkit::MgmtServer>();
  const std::uint16_t port = server->Port();
  machine_.Drive().Write(kSettings, SettingsFor(*server));
  ASSERT_EQ(Run("/install").exitCode, 0);
  ASSERT_TRUE(machine_.WaitForState(kService, SERVICE_RUNNING));
  machine_.State(kService);

  ASSERT_TRUE(server->WaitForUpgrades(1, std::chrono::seconds(30))) << machine_.Output(kService);
  testkit::MgmtUpgrade upgrade = server->Upgrades()[0];
  EXPECT_EQ(upgrade.path, "/ws");
  EXPECT_EQ(upgrade.headers["user-agent"], "MyCustomUserAgent");
  EXPECT_EQ(upgrade.headers["sn"], GetComputerNameString());

  // Heartbeats every 8 s; no monitor is registered yet.
  const std::string heartbeat = R"({"hostName":")" + GetComputerNameString() +
                                R"(","monitorList":[],"type":"displayStatusReport"})";
  ASSERT_TRUE(WaitForCount(*server, heartbeat, 2)) << machine_.Output(kService);

  // A malformed text is logged and the next command still arrives.
  ASSERT_TRUE(server->SendText("{\"cmdid\":41,\"type\":"));
  ASSERT_TRUE(server->SendText("{malformed"));
  ASSERT_TRUE(server->SendText("{\"cmdid\":42,\"type\":\"reportResponseOk\"}\n{\"cmdid\":43,\"type\":\"x\"}\n"));
  ASSERT_TRUE(server->WaitForMessageContaining(R"({"cmdid":43,"status":"ok","type":"response"})"));
  EXPECT_EQ(CountContaining(server->Messages(), R"({"cmdid":42,"status":"ok","type":"response"})"), 1u);
  EXPECT_EQ(CountContaining(server->Messages(), R"("cmdid":41)"), 0u);

  // The server restarts on its port: the agent comes back and its heartbeat goes on.
  server.reset();
  server = std::make_unique<testkit::MgmtServer>(testkit::MgmtServerOptions{false, port});
  ASSERT_TRUE(server->WaitForUpgrades(1, std::chrono::seconds(30))) << machine_.Output(kService);
  ASSERT_TRUE(WaitForCount(*server, heartbeat, 1)) << machine_.Output(kService);

  testkit::ProgramResult remove = Run("/remove");
  EXPECT_TRUE(Has(remove.output, "HalvanePexonService is stopped.")) << remove.output;
  EXPECT_TRUE(machine_.WaitForExit(kService));
  EXPECT_EQ(machine_.ExitCode(kService), 0);
  std::string output = machine_.Output(kService);
  EXPECT_TRUE(Has(output, "LumbraBackGroundService OnStop")) << output;
  EXPECT_FALSE(Has(output, "Sanitizer")) << output;
  EXPECT_FALSE(Has(output, "runtime error")) << output;
}

}  // namespace

namespace {

TEST_F(AgentProgramTest, AServiceThatCannotStartItsWorkerFailsToStart) {
  machine_.Drive().Write(kSettings, kValidSettings);
  // The device notification is not needed to run: its failure is only logged.
  ASSERT_EQ(Run("/install", {{"TARVIK_WIN32_FAIL", "RegisterDeviceNotificationW,CreateThreadpoolWork"}}).exitCode, 0);
  machine_.State(kService);
  ASSERT_TRUE(machine_.WaitForExit(kService));
  EXPECT_EQ(machine_.State(kService), static_cast<DWORD>(SERVICE_STOPPED));

  const std::vector<SERVICE_STATUS> history = machine_.History(kService);
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history.back().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(history.back().dwWin32ExitCode, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  for (const SERVICE_STATUS& status : history) EXPECT_NE(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

  const std::string output = machine_.Output(kService);
  EXPECT_TRUE(Has(output, "Failed to register device notification. Error code: 5")) << output;
  EXPECT_FALSE(Has(output, "Sanitizer")) << output;
  EXPECT_EQ(machine_.ExitCode(kService), 0);
  const std::string events = machine_.Drive().Read(
      "Windows/System32/LogFiles/WMI/{BE2E880E-F79F-4C30-9C95-09F003A0A7EA}.log");
  EXPECT_TRUE(Has(events, "level=0 keyword=0x0 pid=")) << events;
  EXPECT_TRUE(Has(events, "CreateThreadpoolWork failed")) << events;
}

}  // namespace
