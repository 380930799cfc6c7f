#include "package/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

TEST(Crc32, StandardVectorsAndTable) {
  Crc32 crc;
  crc.BuildTable();
  EXPECT_EQ(crc.table[0], 0u);
  EXPECT_EQ(crc.table[1], 0x77073096u);
  EXPECT_EQ(crc.table[255], 0x2D02EF8Du);
  EXPECT_EQ(crc.Compute("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(crc.Compute("", 0), 0u);
}

// The eight-byte steps must give the byte loop's values at every length and alignment.
TEST(Crc32, MatchesZlibAtEveryLengthAndAlignment) {
  Crc32 crc;
  crc.BuildTable();
  std::mt19937 rng(7);
  std::vector<uint8_t> data(300);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t start = 0; start < 9; ++start) {
    for (size_t length = 0; start + length <= data.size(); length += 7) {
      const uint32_t expected =
          static_cast<uint32_t>(crc32(0, data.data() + start, static_cast<uInt>(length)));
      ASSERT_EQ(crc.Compute(data.data() + start, length), expected) << start << "+" << length;
    }
  }
  const uint32_t whole = crc.Compute(data.data(), data.size());
  EXPECT_EQ(crc.Update(crc.Compute(data.data(), 100), data.data() + 100, 200), whole);
}

}  // namespace
