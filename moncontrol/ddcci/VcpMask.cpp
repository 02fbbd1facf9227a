#include <cstdlib>

#include "moncontrol/ddcci/DdcciApi.h"

std::uint8_t* VcpMutexTestToVcpCodeArray(std::uint16_t high, std::uint16_t low) {
  constexpr int kFlags = 32;
  auto* flags = static_cast<std::uint8_t*>(std::malloc(kFlags));
  if (flags == nullptr) return nullptr;
  const std::uint32_t mask = std::uint32_t{high} << 16 | low;
  for (int i = 0; i < kFlags; ++i) flags[i] = (mask >> i & 1u) == 0 ? 1 : 0;
  return flags;
}
