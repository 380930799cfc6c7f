// pack-folder: the project folder and the kit turned into a manifest, then built like any other.
#include "tools/packer/PackFolder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>
#include <vector>

#include "tools/packer/Commands.h"
#include "tools/packer/Manifest.h"

namespace packer {
namespace {

namespace fs = std::filesystem;
// Keys in the order written, so that the manifest reads like a hand-written one.
using json = nlohmann::ordered_json;

constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr size_t kMaxItemName = 259;
// Text settings are read into 259 bytes, their NUL included.
constexpr size_t kMaxSettingText = 258;
constexpr int kDefaultWinampVersion = 5;

enum class Kind { Run, Folder, Screensaver, Plugin };

constexpr unsigned Bit(Kind kind) {
  return 1u << unsigned(kind);
}

struct KindInfo {
  const char* type;
  Kind kind;
  uint32_t projectType;
};
constexpr KindInfo kKinds[] = {{"run", Kind::Run, 1},
                               {"folder", Kind::Folder, 2},
                               {"screensaver", Kind::Screensaver, 5},
                               {"plugin", Kind::Plugin, 6}};

// The kit's programs, in the order they are stored. Items with a folder may also lie directly
// in the kit folder, as the kit's build leaves them.
struct KitFile {
  const char* item;
  bool required;
};
constexpr KitFile kKitFiles[] = {
    {"OrvaneViewer.exe", true},
    {"Zenthra.dll", true},
    {"channels\\Quillet.dll", true},
    {"channels\\Dirrow.dll", true},
    {"channels\\Lodera.dll", true},
    {"channels\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.dll", true},
    {"channels\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.dll", true},
    {"channels\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.dll", true},
    {"channels\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.dll", true},
    {"3rd\\msvcr71.dll", true},
    {"ORVUnInst.exe", true},
};
constexpr char kStartItem[] = "ORVStart.orv";
constexpr char kScreensaverItem[] = "ORVSvr.scr";
constexpr char kPluginItem[] = "WinAmp.dll";
// Files the launcher or the engine write into the target folder themselves.
constexpr const char* kWrittenByInstall[] = {"uninstall.nfo", "screensaver.cfg", "winamp.cfg",
                                             "channel.lst"};

std::string Folded(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  }
  return text;
}

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

std::string FileNameText(const fs::path& path) {
  const std::u8string text = path.filename().u8string();
  return std::string(text.begin(), text.end());
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDeviceName(const std::string& component) {
  const std::string base = Folded(component.substr(0, component.find('.')));
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

// The way item names and file names are compared: case ignored, one leading separator dropped,
// '/' taken as '\'.
std::string PathKey(std::string name) {
  if (!name.empty() && IsSeparator(name[0])) name.erase(0, 1);
  std::replace(name.begin(), name.end(), '/', '\\');
  return Folded(name);
}

// A text setting as the launcher reads it: printable ASCII that fits its 259-byte buffer.
std::string TextProblem(const std::string& text) {
  if (text.size() > kMaxSettingText) return "is longer than 258 characters";
  for (char c : text) {
    if (uint8_t(c) < 0x20) return "holds a control character";
    if (uint8_t(c) >= 0x80) return "holds a character outside ASCII";
  }
  return "";
}

// A name that also becomes a file name (the screensaver's or the plug-in's copy, the default
// folders).
std::string FileNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  for (char c : name) {
    if (std::strchr("<>:\"/\\|?*", c) != nullptr) {
      return std::string("holds '") + c + "', which Windows file names cannot hold";
    }
  }
  if (name.back() == '.' || name.back() == ' ') return "ends in a dot or blank";
  if (IsDeviceName(name)) return "is a Windows device name";
  return "";
}

// A file in the folder, found ignoring case when the exact name is not there.
std::optional<fs::path> FindInFolder(const fs::path& folder, const std::string& name) {
  std::error_code ec, entryError;
  if (fs::is_regular_file(folder / Utf8Path(name), ec)) return folder / Utf8Path(name);
  const std::string wanted = Folded(name);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (Folded(FileNameText(it->path())) == wanted && it->is_regular_file(entryError)) {
      return it->path();
    }
  }
  return std::nullopt;
}

// A kit item: "channels\Quillet.dll" lies in the kit's channels folder or in the kit folder.
std::optional<fs::path> FindKitFile(const fs::path& kit, const std::string& item) {
  const size_t slash = item.find('\\');
  if (slash == std::string::npos) return FindInFolder(kit, item);
  const std::string folder = item.substr(0, slash), file = item.substr(slash + 1);
  if (auto found = FindInFolder(kit / folder, file)) return found;
  return FindInFolder(kit, file);
}

struct StoredFile {
  std::string item;  // the package item name
  fs::path path;     // where its bytes come from
  const char* form;  // "raw", "zlib" or "tmkf"
};

struct ProjectFiles {
  std::vector<StoredFile> channels;     // channels\*.dll
  std::vector<StoredFile> channelDlls;  // 3rd\*.dll
  std::vector<StoredFile> content;      // everything else
};

bool IsDirectDll(const std::vector<std::string>& components, const char* folder) {
  if (components.size() != 2 || Folded(components[0]) != folder) return false;
  const std::string file = Folded(components[1]);
  return file.size() > 4 && file.compare(file.size() - 4, 4, ".DLL") == 0;
}

class Packing {
 public:
  Packing(const PackFolderOptions& options, std::ostream& out, std::ostream& err)
      : _options(options), _out(out), _err(err) {}

  int Run() {
    if (const int code = CheckOptions(); code != 0) return code;
    if (!FindFolders() || !FindKit() || !FindStart() || !ScanProject() || !CheckNames()) {
      return kFailed;
    }
    std::string text;
    if (!ManifestText(&text)) return kFailed;
    const std::string label = _options.manifestOut.empty() ? "pack-folder" : _options.manifestOut;
    if (const int code = BuildFromManifestText(text, label, _base, _options.launcher,
                                               _options.output, _out, _err);
        code != 0) {
      return code;
    }
    if (!_options.manifestOut.empty() && !WriteManifest(text)) return kFailed;
    _out << "packed " << _options.project << " as " << _options.type << ": "
         << _files.channels.size() << " channel libraries, " << _files.channelDlls.size()
         << " channel DLLs, " << _files.content.size() << " content files\n";
    return 0;
  }

 private:
  int Usage(const std::string& message) {
    _err << "error: " << message << "\n";
    return kUsageError;
  }

  bool Fail(const std::string& message) {
    _err << "error: " << message << "\n";
    return false;
  }

  void Warn(const std::string& message) { _err << "warning: " << message << "\n"; }

  // The type, which options it takes, and the settings' values with their defaults.
  int CheckOptions() {
    const auto info = std::find_if(std::begin(kKinds), std::end(kKinds),
                                   [&](const KindInfo& k) { return _options.type == k.type; });
    if (info == std::end(kKinds)) {
      return Usage("--type must be run, folder, screensaver or plugin, not \"" + _options.type +
                   "\"");
    }
    _kind = info->kind;
    _projectType = info->projectType;
    struct Use {
      const char* option;
      bool given;
      unsigned kinds;
      const char* types;
    };
    const unsigned folder = Bit(Kind::Folder), screensaver = Bit(Kind::Screensaver),
                   plugin = Bit(Kind::Plugin);
    const Use uses[] = {
        {"--name", _options.name.has_value(), folder | screensaver | plugin,
         "folder, screensaver and plugin"},
        {"--install-path", _options.installPath.has_value(), folder | screensaver,
         "folder and screensaver"},
        {"--shortcut", _options.shortcut.has_value(), folder, "folder"},
        {"--run-after-install", _options.runAfterInstall, folder, "folder"},
        {"--startup-dir", _options.startupDir.has_value(), plugin, "plugin"},
        {"--winamp-version", _options.winampVersion.has_value(), plugin, "plugin"},
        {"--quit-cgr", _options.quitCgr, screensaver, "screensaver"},
        {"--small-preview", _options.smallPreview, screensaver, "screensaver"},
    };
    for (const Use& use : uses) {
      if (use.given && (use.kinds & Bit(_kind)) == 0) {
        return Usage(std::string(use.option) + " is not used by --type " + _options.type +
                     " (only by " + use.types + ")");
      }
    }
    return SettingValues();
  }

  int SettingValues() {
    if (_kind == Kind::Run) return 0;
    fs::path folder = fs::absolute(ProjectPath()).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();  // "project/" or "."
    _name = _options.name.value_or(FileNameText(folder));
    if (std::string why = TextProblem(_name); !why.empty()) return Usage("the name " + why);
    const bool nameInPaths = _kind != Kind::Folder || !_options.installPath || !_options.shortcut;
    if (std::string why = FileNameProblem(_name); nameInPaths && !why.empty()) {
      return Usage("the name \"" + _name + "\" " + why + " (give another with --name)");
    }
    const std::string defaultFolder = "C:\\Program Files\\" + _name;
    _installPath = _options.installPath.value_or(defaultFolder);
    _shortcut = _options.shortcut.value_or("\\" + _name + "\\" + _name);
    _startupDir = _options.startupDir.value_or(defaultFolder);
    const std::pair<const char*, const std::string*> texts[] = {{"--install-path", &_installPath},
                                                                {"--shortcut", &_shortcut},
                                                                {"--startup-dir", &_startupDir}};
    for (const auto& [option, text] : texts) {
      if (std::string why = TextProblem(*text); !why.empty())
        return Usage(std::string(option) + " " + why);
    }
    if (_kind == Kind::Folder) {
      if (_shortcut.find_first_of("<>:\"|?*") != std::string::npos) {
        return Usage("--shortcut holds a character that Windows file names cannot hold");
      }
      if (_shortcut.empty() || _shortcut[0] != '\\') {
        Warn(
            "--shortcut does not begin with '\\': the links go next to the Programs folder, "
            "their names starting with its name");
      }
    }
    _winampVersion = _options.winampVersion.value_or(kDefaultWinampVersion);
    if (_winampVersion < 0 || _winampVersion > 255) return Usage("--winamp-version must be 0..255");
    return 0;
  }

  fs::path ProjectPath() const { return Utf8Path(_options.project); }

  bool FindFolders() {
    std::error_code ec;
    if (!fs::is_directory(ProjectPath(), ec)) {
      return Fail("the project folder " + _options.project + " does not exist");
    }
    if (!fs::is_directory(Utf8Path(_options.kit), ec)) {
      return Fail("the kit folder " + _options.kit + " does not exist");
    }
    _projectDir = fs::canonical(ProjectPath(), ec);
    if (ec) return Fail("cannot open the project folder " + _options.project);
    // What lands in the project folder would be packed as content by the next run.
    const std::pair<const char*, std::string> written[] = {{"the output", _options.output},
                                                           {"the manifest", _options.manifestOut}};
    for (const auto& [what, path] : written) {
      if (path.empty()) continue;
      const fs::path relative =
          fs::weakly_canonical(Utf8Path(path), ec).lexically_relative(_projectDir);
      if (!ec && !relative.empty() && *relative.begin() != "..") {
        return Fail(std::string(what) + " " + path +
                    " lies inside the project folder, where the next run would pack it");
      }
    }
    _base = _options.manifestOut.empty()
                ? _projectDir
                : fs::absolute(Utf8Path(_options.manifestOut)).parent_path();
    return true;
  }

  bool FindKit() {
    const fs::path kit = Utf8Path(_options.kit);
    std::vector<std::string> missing;
    for (const KitFile& file : kKitFiles) {
      if (auto path = FindKitFile(kit, file.item)) {
        _kitFiles.push_back({file.item, *path, "zlib"});
      } else {
        missing.push_back(file.item);
      }
    }
    if (!missing.empty()) {
      std::string list;
      for (const std::string& name : missing) list += (list.empty() ? "" : ", ") + name;
      return Fail("the kit folder " + _options.kit + " lacks " + list);
    }
    const char* player = _kind == Kind::Screensaver ? kScreensaverItem
                         : _kind == Kind::Plugin    ? kPluginItem
                                                    : nullptr;
    if (player != nullptr) {
      if (auto path = FindKitFile(kit, player)) {
        _kitFiles.push_back({player, *path, "zlib"});
      } else {
        Warn(std::string("the kit folder ") + _options.kit + " has no " + player +
             ": the installation will not be able to copy it");
      }
    }
    return true;
  }

  bool FindStart() {
    std::error_code ec;
    if (_options.start.empty()) {
      auto found = FindInFolder(_projectDir, "start.orv");
      if (!found) {
        return Fail("the project folder " + _options.project +
                    " has no start.orv (name the start project with --start)");
      }
      _start = *found;
    } else {
      _start = _projectDir / Utf8Path(_options.start);
      if (!fs::is_regular_file(_start, ec)) {
        return Fail("the start project " + _options.start + " does not exist");
      }
    }
    return true;
  }

  bool ScanProject() {
    std::error_code ec, entryError;
    fs::recursive_directory_iterator it(_projectDir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      if (!it->is_regular_file(entryError) || fs::equivalent(it->path(), _start, entryError)) {
        continue;
      }
      AddProjectFile(it->path());
    }
    if (ec) return Fail("cannot read the project folder " + _options.project + ": " + ec.message());
    for (auto* list : {&_files.channels, &_files.channelDlls, &_files.content}) {
      std::sort(list->begin(), list->end(),
                [](const StoredFile& a, const StoredFile& b) { return a.item < b.item; });
    }
    return _problems.empty() || ReportProblems();
  }

  void AddProjectFile(const fs::path& path) {
    std::vector<std::string> components;
    std::string item;
    bool backslash = false;
    for (const fs::path& part : path.lexically_relative(_projectDir)) {
      const std::u8string text = part.u8string();
      components.emplace_back(text.begin(), text.end());
      backslash = backslash || components.back().find('\\') != std::string::npos;
      item += "\\" + components.back();
    }
    if (backslash) {
      _problems.push_back(item + ": a file or folder name holds a backslash");
      return;
    }
    if (std::string why = ProjectItemNameProblem(item); !why.empty()) {
      _problems.push_back(item + ": " + why);
      return;
    }
    if (IsDirectDll(components, "CHANNELS")) {
      _files.channels.push_back({item, path, "tmkf"});
    } else if (IsDirectDll(components, "3RD")) {
      _files.channelDlls.push_back({item, path, "tmkf"});
    } else {
      std::error_code ec;
      if (fs::is_empty(path, ec)) {
        Warn(item + " is empty: the launcher creates it but does not count it as installed");
      }
      _files.content.push_back({item, path, "raw"});
    }
  }

  bool ReportProblems() {
    _err << "error: the launcher would refuse " << _problems.size()
         << (_problems.size() == 1 ? " project file:\n" : " project files:\n");
    for (const std::string& problem : _problems) _err << "  " << problem << "\n";
    return false;
  }

  // Two names for one file on Windows: project files equal but for case, or a project file in
  // the place of a kit program or of a file the installation writes.
  bool CheckNames() {
    std::map<std::string, std::string> taken;
    for (const StoredFile& file : _kitFiles) taken[PathKey(file.item)] = "the kit's " + file.item;
    for (const char* name : {kStartItem, kScreensaverItem, kPluginItem}) {
      taken.emplace(PathKey(name), std::string("the package's ") + name);
    }
    for (const char* name : kWrittenByInstall) {
      taken.emplace(PathKey(name), std::string("the installation's ") + name);
    }
    for (const auto* list : {&_files.channels, &_files.channelDlls, &_files.content}) {
      for (const StoredFile& file : *list) {
        const auto [at, added] = taken.emplace(PathKey(file.item), file.item);
        if (!added) _problems.push_back(file.item + ": takes the place of " + at->second);
      }
    }
    return _problems.empty() || ReportProblems();
  }

  json FileItem(const StoredFile& file) const {
    std::error_code ec;
    fs::path relative = fs::proximate(file.path, _base, ec);
    if (ec) relative = file.path;
    return {{"name", file.item}, {"file", Utf8(relative)}, {"form", file.form}};
  }

  static json Names(const std::vector<StoredFile>& files) {
    json names = json::array();
    for (const StoredFile& file : files) names.push_back(file.item);
    return names;
  }

  json Settings() const {
    json items = json::array();
    const auto flag = [&](const char* name, bool value) {
      items.push_back({{"name", name}, {"flag", value}});
    };
    const auto text = [&](const char* name, const std::string& value) {
      items.push_back({{"name", name}, {"text", value}});
    };
    items.push_back({{"name", "ProjectType"}, {"number", _projectType}});
    flag("CheckDx8", _options.checkDx8);
    // In the order the launcher reads them.
    switch (_kind) {
      case Kind::Run:
        break;
      case Kind::Folder:
        flag("RunAfterInstall", _options.runAfterInstall);
        text("InstallPath", _installPath);
        text("ShortCutName", _shortcut);
        text("ProjectName", _name);
        break;
      case Kind::Screensaver:
        flag("RunAfterInstall", false);
        text("InstallPath", _installPath);
        text("ProjectName", _name);
        flag("DoQuitCgr", _options.quitCgr);
        flag("DoSmallPreview", _options.smallPreview);
        break;
      case Kind::Plugin:
        text("StartupDirectory", _startupDir);
        text("ProjectName", _name);
        items.push_back({{"name", "WinampVersion"}, {"flag", _winampVersion}});
        break;
    }
    return items;
  }

  bool ManifestText(std::string* text) const {
    json items = Settings();
    for (const StoredFile& file : _kitFiles) items.push_back(FileItem(file));
    items.push_back(FileItem({kStartItem, _start, "tmkf"}));
    const auto list = [&](const char* category, const char* prefix, const char* count,
                          const std::vector<StoredFile>& files) {
      items.push_back(
          {{"category", category}, {"list", prefix}, {"count", count}, {"names", Names(files)}});
    };
    list("CHANNELINFO", "ChannelItemNameID", "ChannelCount", _files.channels);
    list("CHANNELINFO", "ChannelDLLItemNameID", "ChannelDLLCount", _files.channelDlls);
    list("FILEINFO", "ItemNameID", "FileCount", _files.content);
    for (const auto* files : {&_files.channels, &_files.channelDlls, &_files.content}) {
      for (const StoredFile& file : *files) items.push_back(FileItem(file));
    }
    try {
      *text = json{{"items", items}}.dump(2) + "\n";
    } catch (const json::exception&) {
      _err << "error: a path of the project or the kit is not valid UTF-8\n";
      return false;
    }
    return true;
  }

  bool WriteManifest(const std::string& text) {
    std::ofstream file(Utf8Path(_options.manifestOut), std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) return Fail("cannot write the manifest " + _options.manifestOut);
    _out << "wrote " << _options.manifestOut << "\n";
    return true;
  }

  const PackFolderOptions& _options;
  std::ostream& _out;
  std::ostream& _err;
  Kind _kind = Kind::Run;
  uint32_t _projectType = 0;
  std::string _name, _installPath, _shortcut, _startupDir;
  int _winampVersion = kDefaultWinampVersion;
  fs::path _projectDir, _base, _start;
  std::vector<StoredFile> _kitFiles;
  ProjectFiles _files;
  std::vector<std::string> _problems;
};

}  // namespace

std::string ProjectItemNameProblem(const std::string& name) {
  if (name.size() > kMaxItemName) return "is longer than 259 characters";
  for (char c : name) {
    if (uint8_t(c) < 0x20) return "holds a control character";
    if (uint8_t(c) >= 0x80) return "holds a character outside ASCII (names are 8-bit ANSI)";
    if (c == ':') return "holds ':' (a drive or a stream)";
    if (std::strchr("<>\"|?*", c) != nullptr) {
      return std::string("holds '") + c + "', which Windows file names cannot hold";
    }
  }
  std::string rest = name;
  if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
  if (rest.empty()) return "has no file name";
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string component = rest.substr(start, end - start);
    start = end + 1;
    if (component.empty()) return "has an empty folder or file name";
    if (component == "..") return "climbs out with \"..\"";
    if (component.back() == '.' || component.back() == ' ') {
      return "has a name ending in a dot or blank (\"" + component + "\")";
    }
    if (IsDeviceName(component)) return "uses the Windows device name \"" + component + "\"";
  }
  return "";
}

int PackFolder(const PackFolderOptions& options, std::ostream& out, std::ostream& err) {
  return Packing(options, out, err).Run();
}

}  // namespace packer
