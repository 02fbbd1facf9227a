// The crash-dump filter in children that crash on a machine of their own (a temporary C:).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/stdout_sinks.h>
#include <spdlog/spdlog.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "agent-windows/service/CrashDump.h"
#include "platform/win32/Win32.h"
#include "testkit/cdrive/TempCDrive.h"
#include "testkit/minidump/MiniDumpReader.h"

namespace {

using testing::HasSubstr;
using testing::Not;

constexpr const char* kDumpPath = "ProgramData/Quelmo/HalvanePexonServiceCrashDump.dmp";
constexpr const char* kCreatedLine =
    "The crash dump file has been created: "
    "C:\\ProgramData\\Quelmo\\HalvanePexonServiceCrashDump.dmp";

// Kept from the optimiser, so that the access happens as written.
volatile std::uintptr_t g_address = 0x18;

// The child: its log on standard error, where the test reads it, no core file, the agent's
// filter, and then the fault.
void CrashWith(void (*fault)()) {
  rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  spdlog::set_default_logger(spdlog::stderr_logger_st("crash"));
  SetUnhandledExceptionFilter(WriteCrashDump);
  fault();
  _exit(0);
}

void WriteNearNull() { *reinterpret_cast<volatile int*>(g_address) = 1; }

void IllegalInstruction() { asm volatile("ud2"); }

class CrashDumpTest : public testing::Test {
 protected:
  testkit::MiniDump ReadDump() const {
    std::string error;
    std::optional<testkit::MiniDump> dump = testkit::ReadMiniDump(m_drive.Path(kDumpPath), &error);
    EXPECT_TRUE(dump) << error;
    return dump.value_or(testkit::MiniDump{});
  }

  testkit::TempCDrive m_drive;
};

TEST_F(CrashDumpTest, CrashLeavesADumpOfItAndTheLogLine) {
  std::filesystem::create_directories(m_drive.Path("ProgramData/Quelmo"));
  EXPECT_EXIT(CrashWith(WriteNearNull), testing::KilledBySignal(SIGSEGV), HasSubstr(kCreatedLine));

  testkit::MiniDump dump = ReadDump();
  ASSERT_TRUE(dump.exception);
  EXPECT_EQ(dump.exception->code, EXCEPTION_ACCESS_VIOLATION);
  EXPECT_THAT(dump.exception->parameters, testing::ElementsAre(1u, g_address));
  ASSERT_EQ(dump.threads.size(), 1u);
  EXPECT_EQ(dump.threads[0].id, dump.exception->threadId);
  EXPECT_FALSE(dump.threads[0].stack.empty());
}

TEST_F(CrashDumpTest, SecondCrashReplacesTheFirstDump) {
  std::filesystem::create_directories(m_drive.Path("ProgramData/Quelmo"));
  EXPECT_EXIT(CrashWith(WriteNearNull), testing::KilledBySignal(SIGSEGV), HasSubstr(kCreatedLine));
  EXPECT_EXIT(CrashWith(IllegalInstruction), testing::KilledBySignal(SIGILL),
              HasSubstr(kCreatedLine));

  testkit::MiniDump dump = ReadDump();
  ASSERT_TRUE(dump.exception);
  EXPECT_EQ(dump.exception->code, EXCEPTION_ILLEGAL_INSTRUCTION);
  auto entries = std::filesystem::directory_iterator(m_drive.Path("ProgramData/Quelmo"));
  EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);
}

TEST_F(CrashDumpTest, WithoutTheQuelmoFolderNothingIsWrittenAndTheChildStillDies) {
  EXPECT_EXIT(CrashWith(WriteNearNull), testing::KilledBySignal(SIGSEGV),
              Not(HasSubstr("crash dump file")));
  EXPECT_FALSE(std::filesystem::exists(m_drive.Path("ProgramData/Quelmo")));
}

}  // namespace
