// The kit's file loader: its three kinds of output and the decoder reached through field 17.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kit/engine/TmkfContainer.h"
#include "tests/unit/kit/EngineFixture.h"

namespace {

class KitFileLoader : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    loader = NewLoader();
    ASSERT_NE(loader, nullptr);
  }
  void TearDown() override {
    if (loader) loader->Release(1);
    EngineFixture::TearDown();
  }
  // As the launcher does it: source, tag test, decode only for a container, then the output.
  std::string Extract(const std::vector<uint8_t>& item) {
    loader->SetSource(item.data(), static_cast<uint32_t>(item.size()), 1);
    if (loader->HasTag("TMKF", 0)) factory->containerDecoder->DecodeContainer(loader);
    const uint32_t size = loader->OutputSize();
    const uint8_t* data = loader->OutputData();
    EXPECT_NE(data, nullptr);
    return std::string(reinterpret_cast<const char*>(data), size);
  }

  FileLoaderChannel* loader = nullptr;
};

TEST_F(KitFileLoader, HasTagLooksAtTheSourcesFirstBytes) {
  const struct {
    std::string source;
    bool tagged;
  } cases[] = {{"TMKF\x01", true},  {"TMKF", true}, {"TMK", false},
               {"tmkf....", false}, {"", false},    {"xTMKF", false}};
  for (const auto& c : cases) {
    loader->SetSource(c.source.data(), static_cast<uint32_t>(c.source.size()), 1);
    EXPECT_EQ(loader->HasTag("TMKF", 0), c.tagged ? 1 : 0) << c.source;
  }
}

TEST_F(KitFileLoader, UndecodedSourceIsPassedThroughAndStaysTheCallers) {
  const std::vector<uint8_t> raw = {'M', 'Z', 0x90, 0, 3};
  EXPECT_EQ(Extract(raw), std::string("MZ\x90\0\3", 5));
  // The output is the caller's own bytes: nothing was copied or taken over.
  EXPECT_EQ(loader->OutputData(), raw.data());
}

TEST_F(KitFileLoader, ContainerIsDecodedIntoTheLoadersOwnBuffer) {
  const std::string text(20000, 'c');
  const std::vector<uint8_t> container =
      tmkf::Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  EXPECT_EQ(Extract(container), text);
  EXPECT_NE(loader->OutputData(), container.data());
  EXPECT_EQ(factory->containerDecoder->DecodeContainer(loader), 1);
}

TEST_F(KitFileLoader, DamagedContainerGivesNoBytesAndTheNextSourceStartsAfresh) {
  std::vector<uint8_t> container = tmkf::Encode(std::vector<uint8_t>(1000, 7));
  container[10] ^= 1;  // the declared size
  EXPECT_EQ(Extract(container), "");
  EXPECT_EQ(factory->containerDecoder->DecodeContainer(loader), 0);

  const std::vector<uint8_t> raw = {'o', 'k'};
  EXPECT_EQ(Extract(raw), "ok");
}

// A loader the kit did not make cannot be decoded, and must not be touched.
TEST_F(KitFileLoader, DecoderRefusesAForeignLoader) {
  struct Foreign final : FileLoaderChannel {
    void Release(int) override {}
    void SetSource(const void*, uint32_t, int) override {}
    uint8_t HasTag(const char*, int) override { return 1; }
    const uint8_t* OutputData() override { return nullptr; }
    uint32_t OutputSize() override { return 0; }
  } foreign;
  EXPECT_EQ(factory->containerDecoder->DecodeContainer(&foreign), 0);
}

}  // namespace
