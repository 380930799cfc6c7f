// A deployment job over the fake platform, with a package installed as the program's own file.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deploy/DeployJob.h"
#include "platform/fake/FakePlatform.h"
#include "tests/unit/support/TestPackage.h"

class JobTest : public ::testing::Test {
 protected:
  void Install(const std::vector<testpkg::Item>& items) {
    fp.files.AddFile(fp.system.moduleFileName, testpkg::BuildFile(items));
  }
  DeployJob& Job() {
    if (_job == nullptr) _job = std::make_unique<DeployJob>(platform);
    return *_job;
  }
  void SetWorkDir(const std::string& dir) {
    fp.files.AddDir(dir);
    std::snprintf(Job().workDir, sizeof(Job().workDir), "%s", dir.c_str());
  }
  static std::vector<std::string> List(const PointerArray& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.Count(); ++i) out.push_back(static_cast<const char*>(list.Get(i)));
    return out;
  }

  fake::FakePlatform fp;
  os::Platform platform = fp.Get();
  std::unique_ptr<DeployJob> _job;
};
