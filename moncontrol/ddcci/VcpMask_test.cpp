#include <cstdlib>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "moncontrol/ddcci/DdcciApi.h"

namespace {

TEST(VcpMaskTest, FlagsEveryClearBit) {
  std::vector<int> everyBit(32);
  std::iota(everyBit.begin(), everyBit.end(), 0);
  struct Case {
    std::uint16_t high, low;
    std::vector<int> setBits;  // the entries that read 0; every other reads 1
  };
  const Case cases[] = {
      {0x0000, 0x0001, {0}},
      {0x8000, 0x0000, {31}},
      {0x0001, 0x8000, {15, 16}},
      {0x0000, 0x0000, {}},
      {0xFFFF, 0xFFFF, everyBit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.high << ":" << c.low);
    std::uint8_t* flags = VcpMutexTestToVcpCodeArray(c.high, c.low);
    ASSERT_NE(flags, nullptr);
    std::vector<int> zeros;
    for (int i = 0; i < 32; ++i) {
      EXPECT_LE(flags[i], 1);
      if (flags[i] == 0) zeros.push_back(i);
    }
    EXPECT_EQ(zeros, c.setBits);
    std::free(flags);
  }
}

}  // namespace
