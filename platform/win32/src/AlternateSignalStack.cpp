#include "platform/win32/internal/AlternateSignalStack.h"

#include <csignal>
#include <cstddef>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Room for a filter that formats a log line and writes a dump.
constexpr std::size_t kStackSize = 128 * 1024;

class AlternateSignalStack {
 public:
  AlternateSignalStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0) return;
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* memory = mmap(nullptr, page + kStackSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    // A guard page below, so that a handler overflowing this stack faults instead of writing
    // over its neighbour.
    stack_t mine{};
    mine.ss_sp = static_cast<char*>(memory) + page;
    mine.ss_size = kStackSize;
    if (mprotect(memory, page, PROT_NONE) != 0 || sigaltstack(&mine, nullptr) != 0) {
      munmap(memory, page + kStackSize);
      return;
    }
    m_memory = memory;
    m_length = page + kStackSize;
  }
  ~AlternateSignalStack() {
    if (m_memory == nullptr) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    munmap(m_memory, m_length);
  }
  AlternateSignalStack(const AlternateSignalStack&) = delete;
  AlternateSignalStack& operator=(const AlternateSignalStack&) = delete;

 private:
  void* m_memory = nullptr;
  std::size_t m_length = 0;
};

}  // namespace

namespace win32 {

void EnsureAlternateSignalStack() { thread_local AlternateSignalStack stack; }

}  // namespace win32
