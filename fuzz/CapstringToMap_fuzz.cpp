// A monitor's capability string, as CapstringToMap takes it from GetCapabilities, against the
// library's own model-flag table.
//
// Input: one control byte, then the string's bytes. Bit 0 of the control byte picks the length:
// clear, the bytes get a NUL and the length counts it, as a well-behaved caller passes it; set,
// the next two bytes give a length of at most the string's size and no NUL is added, so a read
// past the string's bytes shows. Bits 3-7 size the pairs array.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <spdlog/spdlog.h>

#include "moncontrol/tables/CapstringToMap.h"

namespace {

[[maybe_unused]] const bool g_silenced = (spdlog::set_level(spdlog::level::off), true);

// -2 .. 29 pairs: room for none (or a null array), a few, or more than any table enables.
std::int32_t MaxPairs(std::uint8_t control) { return static_cast<std::int32_t>(control >> 3) - 2; }

void Map(const char* caps, std::uint32_t length, std::int32_t maxPairs) {
  std::unique_ptr<KeyValuePair[]> pairs;
  if (maxPairs > 0) pairs = std::make_unique<KeyValuePair[]>(static_cast<std::size_t>(maxPairs));
  std::int32_t count = -1;
  CapstringToMap(&length, caps, pairs.get(), maxPairs, &count);
  if (count < 0 || count > (maxPairs > 0 ? maxPairs : 0)) std::abort();
  for (std::int32_t i = 0; i < count; ++i) {
    if (std::strlen(pairs[i].key) == 0) std::abort();
    std::free(pairs[i].key);
    std::free(pairs[i].value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t control = data[0];
  const std::int32_t maxPairs = MaxPairs(control);
  if ((control & 1) == 0) {
    const std::size_t textSize = size - 1;
    auto caps = std::make_unique<char[]>(textSize + 1);
    std::memcpy(caps.get(), data + 1, textSize);
    caps[textSize] = '\0';
    Map(caps.get(), static_cast<std::uint32_t>(textSize + 1), maxPairs);
    return 0;
  }
  if (size < 3) return 0;
  const std::size_t textSize = size - 3;
  const std::uint32_t length = static_cast<std::uint32_t>((data[1] << 8 | data[2]) % (textSize + 1));
  // Exactly the string's bytes, so that a read past them lands outside the block.
  auto caps = std::make_unique<char[]>(textSize);
  std::memcpy(caps.get(), data + 3, textSize);
  Map(caps.get(), length, maxPairs);
  return 0;
}
