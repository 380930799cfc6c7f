// A simulated Windows for the host tests: an in-memory file system with Windows path rules,
// an environment, recorded message boxes with scripted answers, and injectable faults.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace fake {

// SQLite-style fault plan: fail the n-th call of an operation ("Files::Create", ...), once or
// from then on, with a Win32 error code.
class Faults {
 public:
  enum Mode { Once, Persistent };
  void FailNth(const std::string& op, int n, uint32_t code, Mode mode = Once);
  void Clear() { _rules.clear(), _calls.clear(); }
  // Counts a call of op; returns the error code to fail it with, or 0.
  uint32_t Check(const std::string& op);
  int Calls(const std::string& op) const;
  // True once every rule has fired at least once.
  bool AllFired() const;

 private:
  struct Rule {
    std::string op;
    int n;
    uint32_t code;
    Mode mode;
    bool fired = false;
  };
  std::vector<Rule> _rules;
  std::map<std::string, int> _calls;
};

class FakeSystem;

// Paths follow Windows rules: '\' or '/', repeated separators, ASCII case ignored, a drive
// letter or the current folder in front, "." and ".." resolved. Folders hold files and folders.
class FakeFiles final : public os::Files {
 public:
  FakeFiles(FakeSystem& system, Faults& faults);

  std::unique_ptr<os::File> OpenRead(const std::string& path) override;
  std::unique_ptr<os::File> Create(const std::string& path) override;
  bool Delete(const std::string& path) override;
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
  bool CreateDir(const std::string& path) override;
  bool RemoveDir(const std::string& path) override;
  os::PathInfo Query(const std::string& path) override;
  bool List(const std::string& pattern, std::vector<os::FoundItem>* items) override;
  bool SetCurrentDir(const std::string& path) override;

  // Test set-up and inspection; paths as above. Missing parent folders are made.
  void AddFile(const std::string& path, const std::string& content);
  void AddFile(const std::string& path, std::vector<uint8_t> content);
  void AddDir(const std::string& path);
  // A junction: a folder entry that leads to another folder.
  void AddJunction(const std::string& path, const std::string& target);
  bool Exists(const std::string& path);
  bool IsDir(const std::string& path);
  std::string Content(const std::string& path);
  // Every path held, in display form, sorted (folders end with a backslash).
  std::vector<std::string> AllPaths();
  std::string CurrentDir() const { return _cwd; }

  // Faults bound to paths: a locked file refuses opens and deletion (sharing violation); a
  // read-only folder refuses anything created or removed in it (access denied).
  void Lock(const std::string& path);
  void MakeReadOnly(const std::string& folder);
  // Bytes that writes may still add in all; beyond it a write is short (disk full).
  void SetFreeSpace(uint64_t bytes) { _freeSpace = bytes; }
  // Number of files open right now.
  int OpenHandles() const { return _openHandles; }

  struct Node {
    std::string path;  // display form, as first created
    bool directory = false;
    std::string junctionTarget;  // key of the folder a junction leads to
    std::shared_ptr<std::vector<uint8_t>> data = std::make_shared<std::vector<uint8_t>>();
    int readers = 0;
    int writers = 0;
  };

 private:
  friend class FakeFile;
  // Absolute, normalised display path; false when the path is not valid.
  bool Normalize(const std::string& path, std::string* display, bool followLast = true);
  static std::string Key(const std::string& display);
  static std::string Parent(const std::string& display);
  bool Fail(uint32_t code);
  bool ParentIsFolder(const std::string& display);
  bool IsLocked(const std::string& key) const;
  bool IsReadOnlyFolder(const std::string& parentKey) const;

  FakeSystem& _system;
  Faults& _faults;
  std::map<std::string, Node> _nodes;  // by lower-case key
  std::vector<std::string> _locked;
  std::vector<std::string> _readOnly;
  std::string _cwd = "C:";
  uint64_t _freeSpace = UINT64_MAX;
  int _openHandles = 0;
};

class FakeSystem final : public os::System {
 public:
  explicit FakeSystem(Faults& faults) : _faults(faults) {}

  uint32_t LastError() override { return _lastError; }
  void Sleep(uint32_t milliseconds) override;
  std::string ModuleFileName() override { return moduleFileName; }
  bool TempPath(std::string* path) override;
  bool SystemDir(std::string* path) override;
  bool GetEnv(const std::string& name, std::string* value) override;
  bool SetEnv(const std::string& name, const std::string& value) override;

  void SetLastError(uint32_t code) { _lastError = code; }
  // Set-up: what the calls above answer.
  std::string moduleFileName = "C:\\Downloads\\demo.exe";
  std::string tempPath = "C:\\Users\\user\\Temp\\";
  std::string systemDir = "C:\\Windows\\system32";
  std::map<std::string, std::string> env;  // names kept upper case
  uint64_t sleptMilliseconds = 0;
  // What changed on the system, in order, across files, libraries and processes:
  // "mkdir P", "create P", "delete P", "rmdir P", "load P", "free", "start P".
  std::vector<std::string> events;
  // Called on every Sleep, e.g. to end a process after some time.
  std::function<void(uint32_t)> onSleep;

 private:
  Faults& _faults;
  uint32_t _lastError = 0;
};

// An in-memory registry: keys and value names compare ignoring ASCII case.
class FakeRegistry final : public os::Registry {
 public:
  explicit FakeRegistry(FakeSystem& system, Faults& faults) : _system(system), _faults(faults) {}

  bool Read(os::RegRoot root, const std::string& key, const char* valueName, uint32_t maxBytes,
            os::RegValue* value) override;
  std::unique_ptr<os::RegKey> Create(os::RegRoot root, const std::string& key) override;

  // Set-up and inspection. A null value name is the default value ("").
  void Set(os::RegRoot root, const std::string& key, const std::string& name, uint32_t type,
           const std::string& data);
  void SetString(os::RegRoot root, const std::string& key, const std::string& name,
                 const std::string& text) {
    Set(root, key, name, os::kRegSz, text + std::string(1, '\0'));
  }
  bool HasKey(os::RegRoot root, const std::string& key) const;
  // The value's bytes, or nullopt-like false.
  bool Get(os::RegRoot root, const std::string& key, const std::string& name,
           os::RegValue* value) const;
  // A root where keys cannot be created (a user without rights under HKEY_LOCAL_MACHINE).
  void DenyWrites(os::RegRoot root) { _readOnly[static_cast<int>(root)] = true; }

  struct Key {
    std::map<std::string, os::RegValue> values;  // by lower-case name
  };
  std::map<std::string, Key> keys;  // by root number and lower-case path

 private:
  friend class FakeRegKey;
  static std::string KeyName(os::RegRoot root, const std::string& key);
  FakeSystem& _system;
  Faults& _faults;
  bool _readOnly[3] = {};
};

// Libraries the tests compile in: "loading" a file whose name was registered gives that
// module's exports, provided the file exists in the fake file system.
class FakeModules final : public os::Modules {
 public:
  FakeModules(FakeFiles& files, FakeSystem& system, Faults& faults)
      : _files(files), _system(system), _faults(faults) {}

  os::Module Load(const std::string& path) override;
  void* Symbol(os::Module module, const char* name) override;
  bool Free(os::Module module) override;

  // Registers a library by its file name (no folder), e.g. "zenthra.dll".
  void Register(const std::string& fileName, std::map<std::string, void*> exports);
  // Number of loads not yet freed, and every load and free in order ("load <path>", "free").
  int Loaded() const { return _loaded; }
  std::vector<std::string> journal;

 private:
  struct Library {
    std::map<std::string, void*> exports;
  };
  FakeFiles& _files;
  FakeSystem& _system;
  Faults& _faults;
  std::map<std::string, Library> _libraries;  // by lower-case file name
  int _loaded = 0;
};

// A process start as the program asked for it.
struct StartedProcess {
  std::string application;
  std::string commandLine;
  std::string currentDir;
  std::string path;  // PATH as the process would inherit it
};

class FakeProcesses final : public os::Processes {
 public:
  FakeProcesses(FakeFiles& files, FakeSystem& system, Faults& faults)
      : _files(files), _system(system), _faults(faults) {}

  std::unique_ptr<os::Process> Start(const std::string& application,
                                     const std::string& commandLine) override;

  std::vector<StartedProcess> started;
  // How many exit-code queries a started process answers "still active" before it ends.
  int runningPolls = 3;
  uint32_t exitCode = 0;
  // Called at the start (may change files, as the program would); false makes it fail.
  std::function<bool(const StartedProcess&)> onStart;
  // Called when the process ends.
  std::function<void()> onExit;

 private:
  FakeFiles& _files;
  FakeSystem& _system;
  Faults& _faults;
};

// A message box as the program showed it.
struct Box {
  std::string text;
  std::string caption;
  uint32_t style = 0;
  bool operator==(const Box&) const = default;
};

class FakeUi final : public os::Ui {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, uint32_t style) override;
  // Answers for the next boxes, in order; without one a box answers OK (No for Yes/No boxes).
  void Answer(int button) { _answers.push_back(button); }
  std::vector<Box> boxes;

 private:
  std::deque<int> _answers;
};

// A window of the fake dialogs: a dialog or one of its controls.
struct FakeWindow {
  std::string resource;  // the dialog resource, empty for a control
  std::string text;      // caption or control text
  int id = 0;
  FakeWindow* parent = nullptr;
  os::DialogHandler* handler = nullptr;
  bool destroyed = false;
  bool ended = false;
  intptr_t result = 0;
  int rangeLow = 0, rangeHigh = 100, position = 0, updates = 0;
  std::map<int, FakeWindow*> items;
};

// Dialogs from the launcher's resources, run without a screen: the dialog procedure gets its
// messages, and a script plays the user while a modal dialog runs.
class FakeDialogs final : public os::Dialogs {
 public:
  using Action = std::function<void(FakeDialogs&, FakeWindow& dialog)>;

  intptr_t RunModal(os::Instance instance, const char* resource, os::Window owner,
                    os::DialogHandler* handler) override;
  os::Window CreateModeless(os::Instance instance, const char* resource, os::Window owner,
                            os::DialogHandler* handler) override;
  bool EndDialog(os::Window dialog, intptr_t result) override;
  bool DestroyWindow(os::Window window) override;
  bool SetText(os::Window window, const std::string& text) override;
  std::string Text(os::Window window, int maxChars) override;
  os::Window Item(os::Window dialog, int id) override;
  intptr_t Send(os::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  bool Update(os::Window window) override;
  bool BrowseForFolder(os::Window owner, const std::string& title, uint32_t flags,
                       std::string* path) override;

  // The user's actions on the next modal dialogs, in order. A modal dialog whose script runs out
  // is closed with its close box, and "script ran out" goes into the journal.
  std::deque<Action> script;
  static Action Type(int id, const std::string& text);  // as typed: the edit box reports EN_CHANGE
  static Action Press(int id);                          // a button click (WM_COMMAND)
  static Action CloseBox();                             // WM_SYSCOMMAND SC_CLOSE
  static Action Key(int command);                       // Enter (1) or Esc (2) as WM_COMMAND
  // Answers of the folder browser: a path, or nullopt-like empty optional for Cancel.
  std::deque<std::pair<bool, std::string>> browseAnswers;

  bool failCreate = false;
  // Everything that happened, e.g. "create IDD_PROGRESSBAR owner=0x1", "caption X", "pos 25".
  std::vector<std::string> journal;
  std::vector<std::unique_ptr<FakeWindow>> windows;

 private:
  FakeWindow* Make(const char* resource, os::DialogHandler* handler);
};

// A shell whose links are files of the fake file system ("LNK" and the fields, one a line).
class FakeShell final : public os::Shell {
 public:
  explicit FakeShell(FakeFiles& files) : _files(files) {}
  bool ProgramsFolder(os::Window owner, std::string* path) override;
  int32_t CreateLink(const os::ShellLink& link, const std::string& linkPath) override;

  std::string programsFolder =
      "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  bool programsFolderFails = false;
  bool linksFail = false;
  // Every link written, by its path as given.
  std::map<std::string, os::ShellLink> links;

 private:
  FakeFiles& _files;
};

// The whole fake, ready to hand out as an os::Platform.
struct FakePlatform {
  Faults faults;
  FakeSystem system{faults};
  FakeFiles files{system, faults};
  FakeRegistry registry{system, faults};
  FakeModules modules{files, system, faults};
  FakeProcesses processes{files, system, faults};
  FakeUi ui;
  FakeDialogs dialogs;
  FakeShell shell{files};
  os::Platform Get() {
    return os::Platform{files, system, registry, modules, processes, ui, dialogs, shell};
  }
};

}  // namespace fake
