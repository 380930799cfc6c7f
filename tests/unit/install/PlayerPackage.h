// Packages and record readers for the screensaver and plug-in installation tests.
#pragma once

#include <string>
#include <vector>

#include "tests/unit/install/InstallPackage.h"
#include "tests/unit/install/RecordChunks.h"

namespace playerpkg {

struct Options {
  instpkg::Options install;  // install.without also leaves out the settings below
  uint8_t doQuitCgr = 7;     // any value, written as stored
  uint8_t doSmallPreview = 0;
  std::string startupDirectory = "C:\\Games\\Demo";
  bool withPlayers = true;  // "ORVSvr.scr" and "WinAmp.dll"
};

// The folder-installation package plus what both player modes read; each mode ignores the rest.
inline std::vector<testpkg::Item> Items(const Options& o = {}) {
  std::vector<testpkg::Item> items = instpkg::Items(o.install);
  auto add = [&](const std::string& name, testpkg::Bytes data) {
    for (const std::string& w : o.install.without) {
      if (w == name) return;
    }
    items.push_back({"APPDATA", runpkg::Upper(name), std::move(data)});
  };
  testpkg::Bytes startup(o.startupDirectory.begin(), o.startupDirectory.end());
  startup.resize(259, 0);
  add("DoQuitCgr", testpkg::Flag(o.doQuitCgr));
  add("DoSmallPreview", testpkg::Flag(o.doSmallPreview));
  add("StartupDirectory", startup);
  add("WinampVersion", testpkg::Flag(2));
  if (o.withPlayers) {
    add("ORVSvr.scr", testpkg::Zlib("screensaver"));
    add("WinAmp.dll", testpkg::Zlib("plugin"));
  }
  return items;
}

// The saver's calls cut into one record per Open.
inline std::vector<record::Record> Records(const std::vector<stub::SaverCall>& calls) {
  std::vector<record::Record> out;
  size_t start = 0;
  while (start < calls.size()) {
    size_t end = start + 1;
    while (end < calls.size() && calls[end].op != "Open") ++end;
    out.push_back(record::Read({calls.begin() + static_cast<ptrdiff_t>(start),
                                calls.begin() + static_cast<ptrdiff_t>(end)}));
    start = end;
  }
  return out;
}

// Tag and value of every configuration chunk, e.g. "SCFP C:\x\ORVStart.orv", "SCTI 20", "SCQC 7".
inline std::vector<std::string> ConfigLines(const record::Record& r) {
  std::vector<std::string> out;
  for (const record::Chunk& c : r.chunks) {
    if (c.tag == "SCFP") {
      out.push_back(c.tag + " " + record::Text(c));
    } else if (c.tag == "SCTI") {
      out.push_back(c.tag + " " + std::to_string(record::Number(c)));
    } else {
      EXPECT_EQ(c.data.size(), 1u) << c.tag;
      out.push_back(c.tag + " " + std::to_string(c.data.empty() ? -1 : uint8_t(c.data[0])));
    }
  }
  return out;
}

}  // namespace playerpkg
