#include "deploy/DirectXCheck.h"

#include <cstring>

#include "tests/unit/deploy/JobFixture.h"

namespace {

const char kKey[] = "SOFTWARE\\Microsoft\\DirectX";

class DirectXTest : public JobTest {
 protected:
  void SetUp() override { Install({{"APPDATA", "PROJECTTYPE", testpkg::Number(1)}}); }
  int Present(const std::string& version) {
    fp.registry.SetString(os::RegRoot::LocalMachine, kKey, "Version", version);
    return Job().IsDirectX9cPresent();
  }
};

TEST_F(DirectXTest, VersionTextsAtFixedPositions) {
  const struct {
    const char* text;
    int present;
  } cases[] = {
      {"4.09.00.0904", 1}, {"4.09.00.0902", 0},
      {"4.09.00.0901", 0}, {"4.09.00.0900", 0},
      {"4.08.01.0810", 0}, {"4.09.01.0000", 1},
      {"4.10.00.0000", 1}, {"4.09.00.0903", 0},
      {"4.09.00.1000", 1}, {"5.09.00.0904", 1},
      {"3.09.00.0904", 1}, {"4.9.0.904", 0},
      {"4.09", 0},         {"", 0},
      {"4. 9.00.0904", 1}, {"4.-9.00.9999", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Present(c.text), c.present) << c.text;
    EXPECT_EQ(Job().CheckDirectX(), c.present == 1) << c.text;
  }
  EXPECT_TRUE(fp.ui.boxes.empty());
}

TEST_F(DirectXTest, MissingOrWrongValuesAreAbsent) {
  EXPECT_EQ(Job().IsDirectX9cPresent(), 0);  // no key
  fp.registry.SetString(os::RegRoot::LocalMachine, kKey, "Other", "4.09.00.0904");
  EXPECT_EQ(Job().IsDirectX9cPresent(), 0);  // no value
  for (uint32_t type : {os::kRegExpandSz, os::kRegBinary, os::kRegDword}) {
    fp.registry.Set(os::RegRoot::LocalMachine, kKey, "Version", type,
                    std::string("4.09.00.0904\0", 13));
    EXPECT_EQ(Job().IsDirectX9cPresent(), 0) << type;
  }
  fp.faults.FailNth("Registry::Read", fp.faults.Calls("Registry::Read") + 1, os::kErrAccessDenied);
  EXPECT_EQ(Present("4.09.00.0904"), 0);
}

TEST_F(DirectXTest, TextLengthLimit) {
  EXPECT_EQ(Present("4.09.00.0904" + std::string(398 - 12, ' ')), 1);  // 399 bytes with NUL
  EXPECT_EQ(Present("4.09.00.0904" + std::string(399 - 12, ' ')), 0);
  EXPECT_EQ(Present("4.09.00.0904" + std::string(2000, ' ')), 0);  // beyond the 1200-byte read
}

TEST_F(DirectXTest, ReadCopiesLikeStrncpy) {
  fp.registry.SetString(os::RegRoot::LocalMachine, kKey, "Version", "4.09.00.0904");
  char buffer[16];
  std::memset(buffer, 'x', sizeof(buffer));
  ASSERT_TRUE(ReadDirectXValue(fp.registry, "Version", buffer, 15));
  EXPECT_STREQ(buffer, "4.09.00.0904");
  EXPECT_EQ(buffer[14], '\0');
  EXPECT_EQ(buffer[15], 'x');
}

}  // namespace
