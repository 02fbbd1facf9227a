#include "moncontrol/tables/FlagBits.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(FlagBitsTest, ShiftsCarryBitsAcrossBytes) {
  Bytes left{0x81, 0x80, 0x01};
  ShiftBitsLeft(left.data(), left.size());
  EXPECT_EQ(left, (Bytes{0x03, 0x00, 0x02}));

  Bytes right{0x81, 0x80, 0x01};
  ShiftBitsRight(right.data(), right.size());
  EXPECT_EQ(right, (Bytes{0x40, 0xC0, 0x00}));
}

_AppEnableKeyValue Field(int byteStart, int bitStart, int byteEnd, int bitEnd) {
  _AppEnableKeyValue feature;
  feature.byteStart = byteStart;
  feature.bitStart = bitStart;
  feature.byteEnd = byteEnd;
  feature.bitEnd = bitEnd;
  return feature;
}

struct FieldCase {
  const char* what;
  Bytes flags;
  _AppEnableKeyValue field;
  int value;
};

TEST(FlagBitsTest, ReadsTheFieldFromTheFlagBytes) {
  const Bytes allSet(6, 0xFF);
  const FieldCase cases[] = {
      {"bit 0 is the top bit", {0x02, 0x00, 0x80}, Field(2, 0, 2, 0), 1},
      {"another bit clear", {0x02, 0x00, 0x80}, Field(2, 1, 2, 1), 0},
      {"bit 7 is the lowest bit", {0x02, 0x01}, Field(1, 7, 1, 7), 1},
      {"two bits", {0x02, 0x03, 0x40}, Field(1, 6, 1, 7), 3},
      {"one of them", {0x02, 0x02}, Field(1, 6, 1, 7), 2},
      {"field across two bytes", {0x00, 0x0A, 0xB5}, Field(1, 4, 2, 7), 0xAB5},
      {"31 bits", allSet, Field(1, 1, 4, 7), 0x7FFFFFFF},
      {"32 bits", allSet, Field(1, 0, 4, 7), 0},
      {"beyond the flag bytes", {0x02, 0x00}, Field(2, 0, 2, 0), 0},
      {"no flag bytes", {}, Field(0, 0, 0, 0), 0},
      {"end before start", allSet, Field(2, 0, 1, 0), 0},
      {"end bit before start bit", allSet, Field(1, 5, 1, 4), 0},
      {"negative byte", allSet, Field(-1, 0, 1, 0), 0},
      {"bit beyond a byte", allSet, Field(1, 8, 1, 8), 0},
      {"negative bit", allSet, Field(1, -1, 1, 0), 0},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(GetAppEnableKeyValue(c.field, c.flags), c.value);
  }
}

}  // namespace
