// The kit engine's control and factory: ids, journal, ownership and the test switches.
#include "kit/engine/Engine.h"

#include <gtest/gtest.h>

#include "tests/unit/kit/EngineFixture.h"

namespace {

using kit::engine::Journal;

TEST(KitEngine, ClassIdsMatchTheirText) {
  EXPECT_EQ(kit::engine::FormatGuid(kFileLoaderClassId), "6E93B1F4-27AC-4C58-9D02-8F4A71C3E5B6");
  EXPECT_EQ(kit::engine::FormatGuid(kDirectoryListerClassId),
            "2B7D5E90-C1A3-4F86-B4E7-59D0A6F18C23");
  EXPECT_EQ(kit::engine::FormatGuid(kFileSaverClassId), "D35A8C17-4E92-4B0F-87C6-A2F1905E3B7D");
}

// The launcher's start-up and release, as its tests will see them in the journal.
TEST(KitEngine, JournalRecordsTheLaunchersCallsInOrder) {
  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  kit::engine::Reset();
  kit::engine::UsePlatform(&platform);
  GetEngineControlInstanceFn get = &kit::engine::GetEngineControlInstance;
  EngineControl* control = get();
  control->SetWorkDir("C:\\Users\\user\\Temp\\Orvane12");
  ASSERT_EQ(control->Initialize(nullptr, "OrvaneExe Window", nullptr), 1);
  ChannelFactory* factory = control->GetChannelFactory();
  auto* loader = static_cast<FileLoaderChannel*>(factory->CreateChannel(kFileLoaderClassId, 0, 0));
  loader->Release(1);
  control->Release(1);
  EXPECT_EQ(Journal(), (std::vector<std::string>{
                           "GetEngineControlInstance",
                           "SetWorkDir C:\\Users\\user\\Temp\\Orvane12",
                           "Initialize OrvaneExe Window",
                           "GetChannelFactory",
                           "CreateChannel 6E93B1F4-27AC-4C58-9D02-8F4A71C3E5B6",
                           "Release FileLoaderChannel",
                           "Release EngineControl",
                       }));
  EXPECT_EQ(kit::engine::LiveObjects(), 0);
  kit::engine::UsePlatform(nullptr);
}

using KitEngineObjects = EngineFixture;

TEST_F(KitEngineObjects, InitializeNeedsAWindowClassName) {
  EXPECT_EQ(control->Initialize(nullptr, "OrvaneExe Window", nullptr), 1);
  EXPECT_EQ(control->Initialize(nullptr, "", nullptr), 0);
  EXPECT_EQ(control->Initialize(nullptr, nullptr, nullptr), 0);
}

TEST_F(KitEngineObjects, EachControlHasItsOwnFactoryWithItsDecoderInField17) {
  EngineControl* second = kit::engine::GetEngineControlInstance();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second->GetChannelFactory(), factory);
  EXPECT_EQ(control->GetChannelFactory(), factory);
  // Read the field the way a caller without the class definition would.
  void* const* fields = reinterpret_cast<void* const*>(factory);
  EXPECT_NE(fields[16], nullptr);
  EXPECT_EQ(fields[16], factory->containerDecoder);
  EXPECT_EQ(kit::engine::LiveObjects(), 2);
  second->Release(1);
  EXPECT_EQ(kit::engine::LiveObjects(), 1);
}

TEST_F(KitEngineObjects, CreateChannelKnowsOnlyTheThreeClassIds) {
  const Guid unknown = {
      0x6E93B1F4, 0x27AC, 0x4C58, {0x9D, 0x02, 0x8F, 0x4A, 0x71, 0xC3, 0xE5, 0xB7}};
  EXPECT_EQ(factory->CreateChannel(unknown, 0, 0), nullptr);
  FileLoaderChannel* loader = NewLoader();
  DirectoryListChannel* lister = NewLister();
  FileSaverChannel* saver = NewSaver();
  ASSERT_TRUE(loader && lister && saver);
  loader->Release(1);
  lister->Release(1);
  saver->Release(1);
  EXPECT_EQ(Journal().back(), "Release FileSaverChannel");
}

// The factory and decoder belong to the control: releasing them through their tables must not
// free them (the control would free them twice).
TEST_F(KitEngineObjects, FactoryAndDecoderReleaseOnlyRecordTheCall) {
  factory->Release(1);
  factory->containerDecoder->Release(1);
  EXPECT_EQ(Journal()[Journal().size() - 2], "Release ChannelFactory");
  EXPECT_EQ(Journal().back(), "Release ContainerDecoder");
  FileSaverChannel* saver = NewSaver();
  ASSERT_NE(saver, nullptr);
  saver->Release(1);
}

TEST_F(KitEngineObjects, TestSwitchesMakeEachStepFail) {
  kit::engine::Switches& switches = kit::engine::TestSwitches();
  switches.noControl = true;
  EXPECT_EQ(kit::engine::GetEngineControlInstance(), nullptr);
  switches.initializeFails = true;
  EXPECT_EQ(control->Initialize(nullptr, "OrvaneExe Window", nullptr), 0);
  switches.noFileLoader = switches.noDirectoryLister = switches.noFileSaver = true;
  EXPECT_EQ(NewLoader(), nullptr);
  EXPECT_EQ(NewLister(), nullptr);
  EXPECT_EQ(NewSaver(), nullptr);
  kit::engine::Reset();
  EXPECT_TRUE(Journal().empty());
  FileSaverChannel* saver = NewSaver();
  ASSERT_NE(saver, nullptr);
  saver->Release(1);
}

}  // namespace
