// "TMKF" containers: round trips and a table of damaged containers, each refused.
#include "kit/engine/TmkfContainer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Random(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

std::vector<uint8_t> Text(const std::string& text) {
  return {text.begin(), text.end()};
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(TmkfContainer, RoundTrips) {
  const std::vector<std::vector<uint8_t>> inputs = {
      {},
      {0x42},
      Text("channel library bytes, channel library bytes, channel library bytes"),
      Random(100000, 1),              // incompressible: the stream is larger than the input
      std::vector<uint8_t>(3 << 20),  // zeros: near deflate's best ratio
  };
  for (const auto& input : inputs) {
    const std::vector<uint8_t> container = tmkf::Encode(input);
    ASSERT_GE(container.size(), tmkf::kHeaderSize + 8) << input.size();
    tmkf::Header header;
    ASSERT_TRUE(tmkf::ReadHeader(container, &header));
    EXPECT_EQ(header.version, 1u);
    EXPECT_EQ(header.decodedSize, input.size());
    EXPECT_EQ(header.crc, crc32(0, input.data(), static_cast<uInt>(input.size())));
    std::vector<uint8_t> out = {9, 9};
    ASSERT_TRUE(tmkf::Decode(container, &out)) << input.size();
    EXPECT_EQ(out, input);
  }
}

// A container built by hand from a raw zlib stream, so the cases below can lie in one field.
std::vector<uint8_t> Build(const std::vector<uint8_t>& stream, uint32_t size, uint32_t crc,
                           uint32_t version = 1) {
  std::vector<uint8_t> c = {'T', 'M', 'K', 'F', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutU32(c, 4, version);
  PutU32(c, 8, size);
  PutU32(c, 12, crc);
  c.insert(c.end(), stream.begin(), stream.end());
  return c;
}

TEST(TmkfContainer, RefusesEveryDamagedContainer) {
  // Compressible, so that a flipped byte breaks the Huffman codes rather than only the check.
  std::vector<uint8_t> payload = Random(5000, 2);
  for (auto& b : payload) b = static_cast<uint8_t>('a' + b % 16);
  const std::vector<uint8_t> good = tmkf::Encode(payload);
  const uint32_t crc = crc32(0, payload.data(), static_cast<uInt>(payload.size()));
  const std::vector<uint8_t> stream(good.begin() + tmkf::kHeaderSize, good.end());
  using Damage = std::function<void(std::vector<uint8_t>&)>;
  const struct {
    const char* name;
    Damage damage;
  } cases[] = {
      {"empty", [](auto& c) { c.clear(); }},
      {"header cut short", [](auto& c) { c.resize(15); }},
      {"header only", [](auto& c) { c.resize(16); }},
      {"wrong tag", [](auto& c) { c[3] = 'G'; }},
      {"lower-case tag", [](auto& c) { c[0] = 't'; }},
      {"version 0", [](auto& c) { PutU32(c, 4, 0); }},
      {"version 2", [](auto& c) { PutU32(c, 4, 2); }},
      {"size one short", [&](auto& c) { PutU32(c, 8, 4999); }},
      {"size one long", [&](auto& c) { PutU32(c, 8, 5001); }},
      {"size beyond what deflate can give", [](auto& c) { PutU32(c, 8, 0xFFFFFFFF); }},
      {"crc flipped", [&](auto& c) { PutU32(c, 12, crc ^ 1); }},
      {"stream header broken", [](auto& c) { c[16] ^= 0xFF; }},
      {"stream data broken", [](auto& c) { c[c.size() / 2] ^= 0x5A; }},
      {"adler-32 broken", [](auto& c) { c.back() ^= 1; }},
      {"stream cut short", [](auto& c) { c.resize(c.size() - 5); }},
      {"trailing garbage", [](auto& c) { c.push_back(0); }},
      {"a second stream after the first",
       [&](auto& c) { c.insert(c.end(), stream.begin(), stream.end()); }},
  };
  for (const auto& test : cases) {
    std::vector<uint8_t> container = good;
    test.damage(container);
    std::vector<uint8_t> out = {1, 2, 3};
    EXPECT_FALSE(tmkf::Decode(container, &out)) << test.name;
    EXPECT_TRUE(out.empty()) << test.name;
  }
  // The same stream with an honest header decodes, so each case above failed for its damage.
  std::vector<uint8_t> out;
  EXPECT_TRUE(tmkf::Decode(Build(stream, 5000, crc), &out));
}

// The size bound must refuse lies before allocating, yet let the densest real streams through.
TEST(TmkfContainer, SizeBoundFollowsDeflatesBestRatio) {
  const std::vector<uint8_t> zeros(8 << 20);
  const std::vector<uint8_t> dense = tmkf::Encode(zeros);
  std::vector<uint8_t> out;
  ASSERT_TRUE(tmkf::Decode(dense, &out));
  EXPECT_EQ(out.size(), zeros.size());

  std::vector<uint8_t> liar = dense;
  const uint64_t streamSize = dense.size() - tmkf::kHeaderSize;
  PutU32(liar, 8, static_cast<uint32_t>(tmkf::kMaxRatio * streamSize + tmkf::kRatioSlack + 1));
  EXPECT_FALSE(tmkf::Decode(liar, &out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
