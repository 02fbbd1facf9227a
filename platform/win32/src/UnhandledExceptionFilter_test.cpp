// Fatal faults in child processes: the filter runs on the faulting thread with the exception's
// code, address and registers, and writes a dump from there; the child then dies by the signal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/minidump/MiniDumpReader.h"

namespace {

constexpr const char* kFolderVariable = "WIN32_CRASH_TEST_FOLDER";
constexpr int kSurvived = 99;

HANDLE g_dumpFile = INVALID_HANDLE_VALUE;
LONG g_verdict = EXCEPTION_CONTINUE_SEARCH;

LONG WINAPI DumpingFilter(EXCEPTION_POINTERS* pointers) {
  MINIDUMP_EXCEPTION_INFORMATION information{GetCurrentThreadId(), pointers, FALSE};
  MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), g_dumpFile, MiniDumpNormal,
                    &information, nullptr, nullptr);
  return g_verdict;
}

// Where the child is about to fault: its thread and, for an access, the address.
struct FaultSite {
  DWORD thread = 0;
  std::uintptr_t address = 0;
};

std::string SharedFolder() { return std::getenv(kFolderVariable); }

void Expect(std::uintptr_t address) {
  std::ofstream(SharedFolder() + "/site") << GetCurrentThreadId() << ' ' << address;
}

FaultSite ReadSite(const std::string& folder) {
  FaultSite site;
  std::ifstream(folder + "/site") >> site.thread >> site.address;
  return site;
}

// Kept from the optimiser, so that the access happens as written.
volatile std::uintptr_t g_nearNull = 8;
volatile int g_depthLimit = -1;

void WriteNearNull() {
  Expect(g_nearNull);
  *reinterpret_cast<volatile int*>(g_nearNull) = 1;
}

void ReadInaccessible() {
  // Kept reserved rather than unmapped, so that nothing can map the page before the read.
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  Expect(reinterpret_cast<std::uintptr_t>(page));
  (void)*static_cast<volatile int*>(page);
}

// In assembly: the sanitizers would catch these in C++ before the processor does.
void DivideByZero() {
  Expect(0);
  int value = 1;
  asm volatile("xorl %%ecx, %%ecx\n\tcltd\n\tidivl %%ecx" : "+a"(value) : : "ecx", "edx", "cc");
}

void IllegalInstruction() {
  Expect(0);
  asm volatile("ud2");
}

void Abort() {
  Expect(0);
  std::abort();
}

void WriteOnSecondThread() { std::thread(WriteNearNull).join(); }

int Recurse(int depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  if (depth == g_depthLimit) return 0;
  return Recurse(depth + 1) + frame[0];
}

void OverflowStack() {
  Expect(0);
  Recurse(0);
}

enum class Address { kNone, kExpected, kNearStackPointer };

struct FatalFault {
  const char* name;
  void (*cause)();
  int signal;
  DWORD code;
  DWORD flags;
  Address address;
  ULONG_PTR access;  // ExceptionInformation[0] when there is an address
  // What the filter answers; an abort cannot be continued whatever it says.
  LONG verdict = EXCEPTION_CONTINUE_SEARCH;
};

const FatalFault kFaults[] = {
    {"NullWrite", WriteNearNull, SIGSEGV, EXCEPTION_ACCESS_VIOLATION, 0, Address::kExpected, 1},
    {"InaccessibleRead", ReadInaccessible, SIGSEGV, EXCEPTION_ACCESS_VIOLATION, 0, Address::kExpected, 0},
    {"DivideByZero", DivideByZero, SIGFPE, EXCEPTION_INT_DIVIDE_BY_ZERO, 0, Address::kNone, 0},
    {"IllegalInstruction", IllegalInstruction, SIGILL, EXCEPTION_ILLEGAL_INSTRUCTION, 0,
     Address::kNone, 0},
    {"Abort", Abort, SIGABRT, STATUS_FATAL_APP_EXIT, EXCEPTION_NONCONTINUABLE, Address::kNone, 0,
     EXCEPTION_CONTINUE_EXECUTION},
    {"SecondThread", WriteOnSecondThread, SIGSEGV, EXCEPTION_ACCESS_VIOLATION, 0,
     Address::kExpected, 1},
    {"StackOverflow", OverflowStack, SIGSEGV, EXCEPTION_STACK_OVERFLOW, 0,
     Address::kNearStackPointer, 1},
};

// A folder that the test shares with its death-test children. Each child is a new run of this
// program (the "threadsafe" style), so it may start threads whatever threads this process has;
// it runs the test again from the start and finds the folder in the environment.
class CrashTest : public testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (const char* shared = std::getenv(kFolderVariable)) {
      m_folder = shared;
      return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "win32-crash-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
    m_owner = true;
    setenv(kFolderVariable, m_folder.c_str(), 1);
  }
  void TearDown() override {
    if (!m_owner) return;
    unsetenv(kFolderVariable);
    std::filesystem::remove_all(m_folder);
  }

  const std::string& Folder() const { return m_folder; }

  // In the child: the dump file opened before anything goes wrong, no core file, the filter.
  static void PrepareChild(LONG verdict) {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    g_verdict = verdict;
    g_dumpFile = CreateFileW(win32::NativeToWindowsPath(SharedFolder() + "/crash.dmp").c_str(),
                             GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
  }

 private:
  std::string m_folder;
  bool m_owner = false;
};

class FatalFaultTest : public CrashTest, public testing::WithParamInterface<FatalFault> {};

TEST_P(FatalFaultTest, FilterSeesTheFaultOnItsThreadAndTheChildDiesByTheSignal) {
  const FatalFault& fault = GetParam();
  EXPECT_EXIT(
      {
        PrepareChild(fault.verdict);
        SetUnhandledExceptionFilter(DumpingFilter);
        fault.cause();
        _exit(kSurvived);
      },
      testing::KilledBySignal(fault.signal), "");

  const FaultSite site = ReadSite(Folder());
  std::string error;
  std::optional<testkit::MiniDump> dump = testkit::ReadMiniDump(Folder() + "/crash.dmp", &error);
  ASSERT_TRUE(dump) << error;
  ASSERT_TRUE(dump->exception);
  const testkit::DumpException& exception = *dump->exception;
  EXPECT_EQ(exception.code, fault.code);
  EXPECT_EQ(exception.flags, fault.flags);
  EXPECT_EQ(exception.threadId, site.thread);
  EXPECT_EQ(exception.address, exception.registers.rip);
  EXPECT_EQ(exception.registers.contextFlags & CONTEXT_FULL, static_cast<DWORD>(CONTEXT_FULL));
  switch (fault.address) {
    case Address::kNone:
      EXPECT_THAT(exception.parameters, testing::IsEmpty());
      break;
    case Address::kExpected:
      EXPECT_THAT(exception.parameters, testing::ElementsAre(fault.access, site.address));
      break;
    case Address::kNearStackPointer:
      ASSERT_EQ(exception.parameters.size(), 2u);
      EXPECT_EQ(exception.parameters[0], fault.access);
      EXPECT_NEAR(static_cast<double>(exception.parameters[1]),
                  static_cast<double>(exception.registers.rsp), 4096.0);
      break;
  }
  ASSERT_EQ(dump->threads.size(), 1u);
  const testkit::DumpThread& thread = dump->threads[0];
  EXPECT_EQ(thread.id, site.thread);
  EXPECT_EQ(thread.registers.rsp, exception.registers.rsp);
  // An overflowed stack starts at the first page above the stack pointer that can be read.
  const std::uint64_t stackStart = fault.address == Address::kNearStackPointer
                                       ? (thread.registers.rsp + 4095) / 4096 * 4096
                                       : thread.registers.rsp;
  EXPECT_EQ(thread.stackStart, stackStart);
  EXPECT_FALSE(thread.stack.empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, FatalFaultTest, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<FatalFault>& info) {
                           return std::string(info.param.name);
                         });

LONG WINAPI SkipUd2WithRaxSet(EXCEPTION_POINTERS* pointers) {
  if (pointers->ExceptionRecord->ExceptionCode != EXCEPTION_ILLEGAL_INSTRUCTION)
    return EXCEPTION_CONTINUE_SEARCH;
  pointers->ContextRecord->Rip += 2;
  pointers->ContextRecord->Rax = 42;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST_F(CrashTest, ContinueExecutionResumesWithTheRegistersTheFilterLeft) {
  EXPECT_EXIT(
      {
        PrepareChild(EXCEPTION_CONTINUE_SEARCH);
        SetUnhandledExceptionFilter(SkipUd2WithRaxSet);
        std::uint64_t rax = 0;
        asm volatile("ud2" : "+a"(rax));
        _exit(rax == 42 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(CrashTest, RemovedFilterIsNotCalled) {
  EXPECT_EXIT(
      {
        PrepareChild(EXCEPTION_CONTINUE_SEARCH);
        if (SetUnhandledExceptionFilter(DumpingFilter) != nullptr ||
            SetUnhandledExceptionFilter(nullptr) != DumpingFilter)
          _exit(kSurvived);
        WriteNearNull();
        _exit(kSurvived);
      },
      // The sanitizer runtime's handler, when there is one, ends the child its own way.
      [](int status) { return !WIFEXITED(status) || WEXITSTATUS(status) != kSurvived; }, "");
  EXPECT_EQ(std::filesystem::file_size(Folder() + "/crash.dmp"), 0u);
}

}  // namespace
