// The random part of command IDs.
#pragma once

#include <cstdint>

// One value drawn uniformly from -32768..32767, from a freshly seeded generator.
std::int16_t GetRandomShort();
