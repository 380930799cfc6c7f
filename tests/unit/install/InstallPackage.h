// A complete folder-installation package for the installation tests, with knobs to leave parts
// out.
#pragma once

#include <string>
#include <vector>

#include "tests/unit/deploy/RunPackage.h"

namespace instpkg {

struct Options {
  runpkg::Options run;
  bool runAfterInstall = false;
  std::string installPath = "C:\\Games\\Demo";
  std::string shortcutName = "\\Games\\Demo";
  std::string projectName = "Demo";
  bool withUninstaller = true;
  // Settings to leave out, by name ("RunAfterInstall", "InstallPath", ...).
  std::vector<std::string> without;
};

inline std::vector<testpkg::Item> Items(const Options& o = {}) {
  std::vector<testpkg::Item> items = runpkg::Items(o.run);
  auto add = [&](const std::string& name, testpkg::Bytes data) {
    for (const std::string& w : o.without) {
      if (w == name) return;
    }
    items.push_back({"APPDATA", runpkg::Upper(name), std::move(data)});
  };
  // Text settings are read as 259 bytes: store them padded like the publishing tool does.
  auto text = [](const std::string& s) {
    testpkg::Bytes b(s.begin(), s.end());
    b.resize(259, 0);
    return b;
  };
  add("RunAfterInstall", testpkg::Flag(o.runAfterInstall ? 1 : 0));
  add("InstallPath", text(o.installPath));
  add("ShortCutName", text(o.shortcutName));
  add("ProjectName", text(o.projectName));
  if (o.withUninstaller) add("ORVUnInst.exe", testpkg::Zlib("uninstaller"));
  return items;
}

}  // namespace instpkg
