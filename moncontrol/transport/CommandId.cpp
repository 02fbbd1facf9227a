#include "moncontrol/transport/CommandId.h"

#include <atomic>
#include <random>

#include "moncontrol/api/CommandHeaderApi.h"

namespace {

// Shared by every sending thread; concurrent callers may see the same value, the random
// bits keep their IDs apart.
std::atomic<std::int32_t> g_cmdCounter{0};

}  // namespace

std::int16_t GetRandomShort() {
  // Opening the random device costs more than the whole exchange that follows; every call
  // still takes a fresh value from it and seeds a twister of its own.
  thread_local std::random_device device;
  std::mt19937 generator(device());
  std::uniform_int_distribution<int> distribution(-32768, 32767);
  return static_cast<std::int16_t>(distribution(generator));
}

std::int32_t GetCmdID(unsigned char advance) {
  // Unsigned, so that a counter at its top wraps instead of overflowing.
  std::uint32_t counter = advance != 0 ? static_cast<std::uint32_t>(g_cmdCounter.fetch_add(1)) + 1u
                                       : static_cast<std::uint32_t>(g_cmdCounter.load());
  std::uint32_t r1 = static_cast<std::uint16_t>(GetRandomShort());
  std::uint32_t r2 = static_cast<std::uint16_t>(GetRandomShort());
  // The whole counter is combined, not only its low byte.
  return static_cast<std::int32_t>(counter | ((r2 & 0xFF) << 8) | (r1 << 16));
}
