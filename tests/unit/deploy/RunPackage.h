// A complete run-in-place package for the deployment tests, with knobs to leave parts out.
#pragma once

#include <string>
#include <vector>

#include "tests/unit/support/TestPackage.h"

namespace runpkg {

inline const std::vector<std::string> kRuntimeNames = {
    "Zenthra.dll",
    "channels\\Quillet.dll",
    "channels\\Dirrow.dll",
    "channels\\Lodera.dll",
    "channels\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll",
    "channels\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll",
    "channels\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll",
    "channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll",
    "3rd\\msvcr71.dll",
    "ORVStart.orv",
};

inline std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

inline testpkg::Bytes Raw(const std::string& s) {
  return testpkg::Bytes(s.begin(), s.end());
}

struct Options {
  bool checkDx = false;
  bool withCheckDx = true;
  bool withViewer = true;
  bool withFileCount = true;
  std::vector<std::string> channels = {"\\channels\\Sky.dll"};
  std::vector<std::string> channelDlls = {"\\3rd\\d3dx9_25.dll"};
  std::vector<std::string> files = {"\\data\\scene.txt", "data/sub/notes.txt"};
};

inline std::vector<testpkg::Item> Items(const Options& o = {}) {
  using testpkg::Item;
  std::vector<Item> items;
  if (o.withCheckDx) items.push_back({"APPDATA", "CHECKDX8", testpkg::Flag(o.checkDx ? 1 : 0)});
  if (o.withViewer) items.push_back({"APPDATA", "ORVANEVIEWER.EXE", testpkg::Zlib("viewer")});
  for (const std::string& name : kRuntimeNames) {
    items.push_back({"APPDATA", Upper(name),
                     name == "ORVStart.orv" ? Raw("TMKFstart") : testpkg::Zlib("lib " + name)});
  }
  auto list = [&](const char* category, const char* count, const char* prefix,
                  const std::vector<std::string>& names) {
    items.push_back({category, Upper(count), testpkg::Number(static_cast<uint32_t>(names.size()))});
    for (size_t i = 0; i < names.size(); ++i) {
      items.push_back({category, Upper(prefix) + std::to_string(i), testpkg::Text(names[i])});
    }
  };
  list("CHANNELINFO", "ChannelCount", "ChannelItemNameID", o.channels);
  list("CHANNELINFO", "ChannelDLLCount", "ChannelDLLItemNameID", o.channelDlls);
  if (o.withFileCount) list("FILEINFO", "FileCount", "ItemNameID", o.files);
  for (const auto& names : {o.channels, o.channelDlls}) {
    for (const std::string& name : names)
      items.push_back({"APPDATA", Upper(name), Raw("TMKF" + name)});
  }
  for (const std::string& name : o.files)
    items.push_back({"APPDATA", Upper(name), Raw("content " + name)});
  return items;
}

}  // namespace runpkg
