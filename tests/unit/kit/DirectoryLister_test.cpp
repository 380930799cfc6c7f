// The kit's directory lister over a fake folder tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/kit/EngineFixture.h"

namespace {

class KitDirectoryLister : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    fp.files.AddFile("C:\\Work\\cache\\Shader.BIN", "s");
    fp.files.AddFile("C:\\Work\\cache\\notes.txt", "n");
    fp.files.AddFile("C:\\Work\\cache\\Level1\\deep.dat", "d");
    fp.files.AddDir("C:\\Work\\cache\\empty");
    lister = NewLister();
    ASSERT_NE(lister, nullptr);
  }
  void TearDown() override {
    if (lister) lister->Release(1);
    EngineFixture::TearDown();
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < lister->NumFiles(); ++i) names.push_back(lister->FileAt(i));
    return names;
  }
  std::vector<std::string> Folders() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < lister->NumFolders(); ++i) names.push_back(lister->FolderAt(i));
    return names;
  }

  DirectoryListChannel* lister = nullptr;
};

using Names = std::vector<std::string>;

TEST_F(KitDirectoryLister, ListsFilesAndFoldersWithDotEntries) {
  lister->SetFilter("*.*");
  lister->Scan("C:\\Work\\cache\\*.*");
  EXPECT_EQ(Files(), (Names{"notes.txt", "Shader.BIN"}));
  EXPECT_EQ(Folders(), (Names{".", "..", "empty", "Level1"}));
  EXPECT_EQ(lister->FileAt(2), nullptr);
  EXPECT_EQ(lister->FileAt(-1), nullptr);
  EXPECT_EQ(lister->FolderAt(4), nullptr);
}

// The clean-up passes the cache folder with its trailing backslash: a doubled separator.
TEST_F(KitDirectoryLister, DoubledSeparatorAndRescanReplaceTheLists) {
  lister->SetFilter("*.*");
  lister->Scan("C:\\Work\\cache\\\\*.*");
  EXPECT_EQ(lister->NumFiles(), 2);
  lister->Scan("C:\\Work\\cache\\Level1\\*.*");
  EXPECT_EQ(Files(), (Names{"deep.dat"}));
  EXPECT_EQ(Folders(), (Names{".", ".."}));
}

TEST_F(KitDirectoryLister, MissingFolderListsNothing) {
  lister->Scan("C:\\Work\\cache\\Level1\\*.*");
  lister->Scan("C:\\Work\\nowhere\\*.*");
  EXPECT_EQ(lister->NumFiles(), 0);
  EXPECT_EQ(lister->NumFolders(), 0);
  EXPECT_EQ(lister->FolderAt(0), nullptr);
}

TEST_F(KitDirectoryLister, FilterNarrowsFilesOnly) {
  lister->SetFilter("*.TXT");
  lister->Scan("C:\\Work\\cache\\*.*");
  EXPECT_EQ(Files(), (Names{"notes.txt"}));
  EXPECT_EQ(lister->NumFolders(), 4);
  lister->SetFilter("s?ader.*");
  lister->Scan("C:\\Work\\cache\\*.*");
  EXPECT_EQ(Files(), (Names{"Shader.BIN"}));
}

}  // namespace
