#include "bench/agent-cost/InstalledAgent.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "agent-windows/service/AgentService.h"
#include "platform/win32/internal/Services.h"
#include "testkit/services/RunProgram.h"

namespace agentcost {
namespace {

const char* const kProgramFolder = "Program Files/Quelmo/Tarvik Client";
const char* const kSettingsFolder = "ProgramData/Quelmo/Tarvik Client";

std::filesystem::path OnDriveC(const std::string& relative) {
  const char* drive = std::getenv("TARVIK_C_DRIVE");
  if (drive == nullptr) throw std::runtime_error("TARVIK_C_DRIVE names no machine");
  return std::filesystem::path(drive) / relative;
}

// The service's process as the service manager knows it; 0 while there is none.
pid_t ServicePid() {
  win32::ServiceDatabaseLock lock;
  DWORD error = 0;
  win32::ServiceRecord record;
  if (!lock.Held(&error) || !win32::LoadService(kAgentServiceName, &record)) return 0;
  return static_cast<pid_t>(record.pid);
}

}  // namespace

InstalledAgent::InstalledAgent(const std::string& program, std::uint16_t serverPort,
                               const std::string& deviceSocket) {
  const std::filesystem::path programFolder = OnDriveC(kProgramFolder), settingsFolder = OnDriveC(kSettingsFolder);
  std::filesystem::create_directories(programFolder);
  std::filesystem::create_directories(settingsFolder);
  m_program = (programFolder / "TarvikClient").string();
  std::filesystem::copy_file(program, m_program, std::filesystem::copy_options::overwrite_existing);
  std::ofstream(settingsFolder / "TarvikConfig.ini")
      << "[ServerSettings]\nServer=127.0.0.1\nPort=" << serverPort << "\nProtocol=http\nFolder=\n";

  const testkit::ProgramResult installed =
      testkit::RunProgram(m_program, {"/install"}, {{"TARVIK_MONSIM_SOCKET", deviceSocket}});
  m_pid = ServicePid();
  if (installed.exitCode != 0 || m_pid == 0)
    throw std::runtime_error("the service does not run: " + installed.output + installed.error);
}

InstalledAgent::~InstalledAgent() {
  testkit::RunProgram(m_program, {"/remove"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (win32::ProcessStartTime(m_pid) != 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string InstalledAgent::Log() const {
  std::ifstream file(win32::ServiceOutputPath(kAgentServiceName));
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace agentcost
