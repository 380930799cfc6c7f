// The one door to the operating system: narrow interfaces with no Windows types.
//
// The product code (app/, package/, deploy/, install/) reaches files, the environment, message
// boxes and the rest only through these interfaces. platform/win32 implements them with the real
// calls; platform/fake simulates Windows in memory for the host tests. Every call reports failure
// through its result and leaves the Win32 error code for System::LastError, as GetLastError would.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace os {

// Handles of the windowing system as the product code sees them (HINSTANCE, HWND).
using Instance = void*;
using Window = void*;

// Win32 error codes that the product code and the fake care about.
inline constexpr uint32_t kErrFileNotFound = 2;
inline constexpr uint32_t kErrPathNotFound = 3;
inline constexpr uint32_t kErrAccessDenied = 5;
inline constexpr uint32_t kErrNotEnoughMemory = 8;
inline constexpr uint32_t kErrSharingViolation = 32;
inline constexpr uint32_t kErrFileExists = 80;
inline constexpr uint32_t kErrDiskFull = 112;
inline constexpr uint32_t kErrInvalidName = 123;
inline constexpr uint32_t kErrDirNotEmpty = 145;
inline constexpr uint32_t kErrAlreadyExists = 183;

// Message box styles and answers (the Win32 values).
inline constexpr uint32_t kMbOk = 0x00;
inline constexpr uint32_t kMbYesNo = 0x04;
inline constexpr uint32_t kMbIconError = 0x10;
inline constexpr uint32_t kMbIconWarning = 0x30;
inline constexpr uint32_t kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// An open file; the destructor closes it.
class File {
 public:
  virtual ~File() = default;
  // Reads up to count bytes at the current position; *got receives the number delivered
  // (0 at the end of the file). False when the read itself failed.
  virtual bool Read(void* buffer, uint32_t count, uint32_t* got) = 0;
  // Writes count bytes; *written receives the number the system accepted.
  virtual bool Write(const void* data, uint32_t count, uint32_t* written) = 0;
  // Moves to an absolute offset from the start of the file.
  virtual bool Seek(uint64_t offset) = 0;
  // The file's length in bytes, or false when it cannot be learnt.
  virtual bool Size(uint64_t* size) = 0;
};

// What GetFileAttributesA says of a path.
struct PathInfo {
  bool exists = false;
  bool directory = false;
  bool reparsePoint = false;  // a junction or symbolic link
};

// One match of a folder search.
struct FoundItem {
  std::string name;  // the name within its folder
  bool directory = false;
};

class Files {
 public:
  virtual ~Files() = default;
  // GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING. Null on failure.
  virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
  // GENERIC_WRITE, no sharing, CREATE_ALWAYS (an existing file is truncated). Null on failure.
  virtual std::unique_ptr<File> Create(const std::string& path) = 0;
  virtual bool Delete(const std::string& path) = 0;
  virtual bool Copy(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // CreateDirectoryA: fails with kErrAlreadyExists when the path exists.
  virtual bool CreateDir(const std::string& path) = 0;
  // RemoveDirectoryA: only an empty folder (or a link to a folder, which is removed itself).
  virtual bool RemoveDir(const std::string& path) = 0;
  virtual PathInfo Query(const std::string& path) = 0;
  // FindFirstFileA/FindNextFileA over a pattern such as C:\dir\*.*: every match in the
  // folder, "." and ".." included. False when the folder cannot be searched.
  virtual bool List(const std::string& pattern, std::vector<FoundItem>* items) = 0;
  virtual bool SetCurrentDir(const std::string& path) = 0;
};

class System {
 public:
  virtual ~System() = default;
  // The error code of the last failed call on this thread (GetLastError).
  virtual uint32_t LastError() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // Full path of the running program's own file (GetModuleFileNameA); empty on failure.
  virtual std::string ModuleFileName() = 0;
  // The user's temporary folder, ending with a backslash (GetTempPathA); false on failure.
  virtual bool TempPath(std::string* path) = 0;
  // The Windows system folder (GetSystemDirectoryA); false on failure.
  virtual bool SystemDir(std::string* path) = 0;
  // Environment of the process; GetEnv is false when the variable is not set.
  virtual bool GetEnv(const std::string& name, std::string* value) = 0;
  virtual bool SetEnv(const std::string& name, const std::string& value) = 0;
};

// Registry roots and value types (the Win32 values of the types).
enum class RegRoot { LocalMachine, CurrentUser, ClassesRoot };
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

struct RegValue {
  uint32_t type = 0;
  std::string data;  // the stored bytes; a string value with its terminating NUL
};

// A key opened for writing; the destructor closes it.
class RegKey {
 public:
  virtual ~RegKey() = default;
  // RegSetValueExA with REG_SZ: the text and its NUL.
  virtual bool SetString(const std::string& name, const std::string& value) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens the key with KEY_READ, queries one value (null name: the default value) into a buffer
  // of maxBytes, closes the key. False when the key does not open or the value does not fit.
  virtual bool Read(RegRoot root, const std::string& key, const char* valueName, uint32_t maxBytes,
                    RegValue* value) = 0;
  // RegCreateKeyExA: creates or opens the key with KEY_ALL_ACCESS. Null on failure.
  virtual std::unique_ptr<RegKey> Create(RegRoot root, const std::string& key) = 0;
};

using Module = void*;

class Modules {
 public:
  virtual ~Modules() = default;
  // Loads a library by its full path; its dependencies resolve from its own folder first
  // (LoadLibraryExA with LOAD_WITH_ALTERED_SEARCH_PATH). Null on failure.
  virtual Module Load(const std::string& path) = 0;
  // GetProcAddress; null when the export is missing.
  virtual void* Symbol(Module module, const char* name) = 0;
  virtual bool Free(Module module) = 0;
};

inline constexpr uint32_t kStillActive = 259;

// A started process; the destructor closes its handles, it does not end the process.
class Process {
 public:
  virtual ~Process() = default;
  // GetExitCodeProcess: kStillActive while it runs.
  virtual bool ExitCode(uint32_t* code) = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // CreateProcessA with the application path (empty: taken from the command line), the command
  // line, no handle inheritance, this process's environment and current folder. Null on failure.
  virtual std::unique_ptr<Process> Start(const std::string& application,
                                         const std::string& commandLine) = 0;
};

class Ui {
 public:
  virtual ~Ui() = default;
  // A message box without owner window; returns the button pressed (kIdOk, kIdYes, ...).
  virtual int ShowMessage(const std::string& text, const std::string& caption, uint32_t style) = 0;
};

// Window messages and values of the dialogs (the Win32 numbers).
inline constexpr uint32_t kWmDestroy = 0x0002;
inline constexpr uint32_t kWmSetText = 0x000C;
inline constexpr uint32_t kWmInitDialog = 0x0110;
inline constexpr uint32_t kWmCommand = 0x0111;
inline constexpr uint32_t kWmSysCommand = 0x0112;
inline constexpr uintptr_t kScClose = 0xF060;
inline constexpr uint32_t kEnChange = 0x0300;
inline constexpr uint32_t kPbmSetRange = 0x0401;
inline constexpr uint32_t kPbmSetPos = 0x0402;
inline constexpr uint32_t kBifReturnOnlyFsDirs = 0x0001;
inline constexpr uint32_t kBifEditBox = 0x0010;

// The dialog procedure of a dialog the platform runs: every message of the dialog arrives here
// (WM_INITDIALOG with the handler itself as lParam). Returns what the procedure returns.
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  virtual intptr_t OnMessage(Window dialog, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) = 0;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // DialogBoxParamA of a dialog resource named by a string, until EndDialog; its result.
  virtual intptr_t RunModal(Instance instance, const char* resource, Window owner,
                            DialogHandler* handler) = 0;
  // CreateDialogParamA; null when the dialog cannot be created.
  virtual Window CreateModeless(Instance instance, const char* resource, Window owner,
                                DialogHandler* handler) = 0;
  virtual bool EndDialog(Window dialog, intptr_t result) = 0;
  virtual bool DestroyWindow(Window window) = 0;
  // SetWindowTextA and GetWindowTextA (at most maxChars characters).
  virtual bool SetText(Window window, const std::string& text) = 0;
  virtual std::string Text(Window window, int maxChars) = 0;
  // GetDlgItem; null when there is no such control.
  virtual Window Item(Window dialog, int id) = 0;
  // SendMessageA.
  virtual intptr_t Send(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // UpdateWindow: repaints at once, since no message loop runs while the program works.
  virtual bool Update(Window window) = 0;
  // SHBrowseForFolderA from the desktop with that title and flags, then SHGetPathFromIDListA;
  // false when the user cancels. The item list is released.
  virtual bool BrowseForFolder(Window owner, const std::string& title, uint32_t flags,
                               std::string* path) = 0;
};

// What a shell link holds.
struct ShellLink {
  std::string target;
  std::string arguments;  // empty with hasArguments false: none set
  bool hasArguments = false;
  std::string workingDir;
  std::string description;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // The current user's Start-menu Programs folder (SHGetSpecialFolderLocation with
  // CSIDL_PROGRAMS, then SHGetPathFromIDListA; the item list is released). False when the shell
  // does not answer S_OK.
  virtual bool ProgramsFolder(Window owner, std::string* path) = 0;
  // Writes a shell link file through IShellLinkA and IPersistFile, with COM initialised for
  // this call only. Returns the COM result of the last step (negative on failure).
  virtual int32_t CreateLink(const ShellLink& link, const std::string& linkPath) = 0;
};

// Everything the product code may ask of the system, handed to each part by reference.
struct Platform {
  Files& files;
  System& system;
  Registry& registry;
  Modules& modules;
  Processes& processes;
  Ui& ui;
  Dialogs& dialogs;
  Shell& shell;
};

}  // namespace os
