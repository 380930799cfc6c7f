// A kit engine over a fake platform, with a control and its factory ready, for the kit tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deploy/EngineInterface.h"
#include "kit/engine/Engine.h"
#include "platform/fake/FakePlatform.h"

class EngineFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    kit::engine::Reset();
    kit::engine::UsePlatform(&platform);
    control = kit::engine::GetEngineControlInstance();
    ASSERT_NE(control, nullptr);
    factory = control->GetChannelFactory();
    ASSERT_NE(factory, nullptr);
  }
  void TearDown() override {
    if (control) control->Release(1);
    kit::engine::UsePlatform(nullptr);
    // Every test releases what it made; the engine must not keep anything behind.
    EXPECT_EQ(kit::engine::LiveObjects(), 0);
  }

  FileLoaderChannel* NewLoader() {
    return static_cast<FileLoaderChannel*>(factory->CreateChannel(kFileLoaderClassId, 0, 0));
  }
  DirectoryListChannel* NewLister() {
    return static_cast<DirectoryListChannel*>(
        factory->CreateChannel(kDirectoryListerClassId, 0, 0));
  }
  FileSaverChannel* NewSaver() {
    return static_cast<FileSaverChannel*>(factory->CreateChannel(kFileSaverClassId, 0, 0));
  }
  std::vector<uint8_t> Bytes(const std::string& path) {
    const std::string content = fp.files.Content(path);
    return {content.begin(), content.end()};
  }

  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  EngineControl* control = nullptr;
  ChannelFactory* factory = nullptr;
};
