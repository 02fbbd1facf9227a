// Minidumps written outside a signal handler, where the test controls the context and so the
// stack that the dump must copy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/win32/Win32.h"
#include "platform/win32/internal/Drive.h"
#include "testkit/minidump/MiniDumpReader.h"
#include "testkit/packages/WorkFolder.h"

namespace {

using testing::ElementsAre;

constexpr std::size_t kPage = 4096;
constexpr DWORD kHresultFromWin32 = 0x80070000;

// Pages that cannot be read, then pages that can, then an unmapped page.
class Memory {
 public:
  Memory(std::size_t unreadablePages, std::size_t readablePages)
      : m_length((unreadablePages + readablePages) * kPage) {
    m_base = static_cast<char*>(mmap(nullptr, m_length + kPage, PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    for (std::size_t i = 0; i < m_length; ++i) m_base[i] = static_cast<char>(i * 7);
    mprotect(m_base, unreadablePages * kPage, PROT_NONE);
    munmap(m_base + m_length, kPage);
  }
  ~Memory() { munmap(m_base, m_length); }
  Memory(const Memory&) = delete;
  Memory& operator=(const Memory&) = delete;

  char* At(std::size_t offset) const { return m_base + offset; }

 private:
  std::size_t m_length;
  char* m_base;
};

class MiniDumpTest : public testing::Test {
 protected:
  void SetUp() override {
    m_file = CreateFileW(win32::NativeToWindowsPath(DumpPath()).c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(m_file, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { CloseHandle(m_file); }

  std::string DumpPath() const { return m_folder.File("test.dmp"); }

  // A dump of an access violation by thread 4242 whose stack pointer is rsp.
  BOOL WriteAccessViolation(std::uintptr_t rsp, HANDLE file) {
    m_context.Rsp = rsp;
    m_context.Rip = 0x401000;
    m_record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    m_record.ExceptionAddress = reinterpret_cast<PVOID>(0x401000);
    m_record.NumberParameters = 2;
    m_record.ExceptionInformation[0] = 1;
    m_record.ExceptionInformation[1] = 0x10;
    m_pointers = {&m_record, &m_context};
    MINIDUMP_EXCEPTION_INFORMATION information{4242, &m_pointers, FALSE};
    return MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                             &information, nullptr, nullptr);
  }

  testkit::MiniDump ReadBack() {
    std::string error;
    std::optional<testkit::MiniDump> dump = testkit::ReadMiniDump(DumpPath(), &error);
    EXPECT_TRUE(dump) << error;
    return dump.value_or(testkit::MiniDump{});
  }

  HANDLE m_file = INVALID_HANDLE_VALUE;

 private:
  testkit::packages::WorkFolder m_folder;
  CONTEXT m_context{};
  EXCEPTION_RECORD m_record{};
  EXCEPTION_POINTERS m_pointers{};
};

TEST_F(MiniDumpTest, DumpHoldsTheSystemTheThreadAndTheException) {
  Memory stack(0, 2);
  ASSERT_TRUE(WriteAccessViolation(reinterpret_cast<std::uintptr_t>(stack.At(100)), m_file));
  testkit::MiniDump dump = ReadBack();

  EXPECT_EQ(dump.version & 0xFFFF, 0xA793u);
  EXPECT_NE(dump.timeStamp, 0u);
  EXPECT_THAT(dump.streamTypes, ElementsAre(7u, 3u, 6u));
  EXPECT_EQ(dump.processorArchitecture, 9);
  EXPECT_GT(dump.processorCount, 0);
  ASSERT_TRUE(dump.exception);
  EXPECT_EQ(dump.exception->threadId, 4242u);
  EXPECT_EQ(dump.exception->code, EXCEPTION_ACCESS_VIOLATION);
  EXPECT_EQ(dump.exception->address, 0x401000u);
  EXPECT_THAT(dump.exception->parameters, ElementsAre(1u, 0x10u));
  EXPECT_EQ(dump.exception->registers.rip, 0x401000u);
  ASSERT_EQ(dump.threads.size(), 1u);
  EXPECT_EQ(dump.threads[0].id, 4242u);
  EXPECT_EQ(dump.threads[0].registers.rsp, reinterpret_cast<std::uintptr_t>(stack.At(100)));
}

struct StackCase {
  const char* name;
  std::size_t unreadablePages;
  std::size_t readablePages;
  std::size_t stackPointerOffset;
  std::size_t expectedStart;
  std::size_t expectedSize;
};

// The stack is copied from its pointer upward until a page cannot be read, 64 KiB at most;
// a pointer below the readable stack (an overflow) starts it at the first readable page.
const StackCase kStackCases[] = {
    {"EndsAtTheFirstUnreadablePage", 0, 2, 100, 100, 2 * kPage - 100},
    {"StopsAt64KiB", 0, 20, 0, 0, 64 * 1024},
    {"StartsAtTheFirstReadablePage", 1, 2, 100, kPage, 2 * kPage},
};

class MiniDumpStackTest : public MiniDumpTest, public testing::WithParamInterface<StackCase> {};

TEST_P(MiniDumpStackTest, CopiesTheReadableStack) {
  const StackCase& stackCase = GetParam();
  Memory stack(stackCase.unreadablePages, stackCase.readablePages);
  ASSERT_TRUE(WriteAccessViolation(reinterpret_cast<std::uintptr_t>(
                                       stack.At(stackCase.stackPointerOffset)),
                                   m_file));
  testkit::MiniDump dump = ReadBack();
  ASSERT_EQ(dump.threads.size(), 1u);
  const char* start = stack.At(stackCase.expectedStart);
  EXPECT_EQ(dump.threads[0].stackStart, reinterpret_cast<std::uintptr_t>(start));
  ASSERT_EQ(dump.threads[0].stack.size(), stackCase.expectedSize);
  EXPECT_EQ(std::memcmp(dump.threads[0].stack.data(), start, stackCase.expectedSize), 0);
}

INSTANTIATE_TEST_SUITE_P(Stacks, MiniDumpStackTest, testing::ValuesIn(kStackCases),
                         [](const testing::TestParamInfo<StackCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(MiniDumpTest, WithoutExceptionInformationTheCallingThreadIsDumped) {
  ASSERT_TRUE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), m_file,
                                MiniDumpNormal, nullptr, nullptr, nullptr));
  testkit::MiniDump dump = ReadBack();
  EXPECT_THAT(dump.streamTypes, ElementsAre(7u, 3u));
  EXPECT_FALSE(dump.exception);
  ASSERT_EQ(dump.threads.size(), 1u);
  EXPECT_EQ(dump.threads[0].id, GetCurrentThreadId());
  EXPECT_EQ(dump.threads[0].stackStart, dump.threads[0].registers.rsp);
  EXPECT_FALSE(dump.threads[0].stack.empty());
}

TEST_F(MiniDumpTest, RefusesWhatItCannotDump) {
  Memory stack(0, 1);
  const auto rsp = reinterpret_cast<std::uintptr_t>(stack.At(0));
  EXPECT_FALSE(WriteAccessViolation(rsp, nullptr));
  EXPECT_EQ(GetLastError(), kHresultFromWin32 | ERROR_INVALID_HANDLE);

  EXPECT_FALSE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId() + 1, m_file,
                                 MiniDumpNormal, nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), kHresultFromWin32 | ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), m_file,
                                 static_cast<MINIDUMP_TYPE>(0x2), nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), kHresultFromWin32 | ERROR_INVALID_PARAMETER);
}

}  // namespace
