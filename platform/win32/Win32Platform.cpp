// Win32 backend of the platform layer.
#include "platform/win32/Win32Platform.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/win32/Scoped.h"

namespace win32 {

namespace {

class Win32File final : public os::File {
 public:
  explicit Win32File(HANDLE h) : _handle(h) {}

  bool Read(void* buffer, uint32_t count, uint32_t* got) override {
    DWORD n = 0;
    const BOOL ok = ReadFile(_handle.Get(), buffer, count, &n, nullptr);
    *got = n;
    return ok != FALSE;
  }

  bool Write(const void* data, uint32_t count, uint32_t* written) override {
    DWORD n = 0;
    const BOOL ok = WriteFile(_handle.Get(), data, count, &n, nullptr);
    *written = n;
    return ok != FALSE;
  }

  bool Seek(uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(_handle.Get(), to, nullptr, FILE_BEGIN) != FALSE;
  }

  bool Size(uint64_t* size) override {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(_handle.Get(), &length)) return false;
    *size = static_cast<uint64_t>(length.QuadPart);
    return true;
  }

 private:
  ScopedHandle _handle;
};

std::unique_ptr<os::File> OpenHandle(HANDLE h) {
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

// Calls a Win32 "fill this buffer" function, growing the buffer when the answer says so.
template <typename Fn>
bool FetchString(Fn fn, std::string* out) {
  std::string buffer(MAX_PATH + 1, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = fn(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      buffer.resize(n);
      *out = std::move(buffer);
      return true;
    }
    buffer.assign(n + 1, '\0');
  }
  return false;
}

}  // namespace

std::unique_ptr<os::File> Win32Files::OpenRead(const std::string& path) {
  return OpenHandle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::unique_ptr<os::File> Win32Files::Create(const std::string& path) {
  return OpenHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Win32Files::Delete(const std::string& path) {
  return DeleteFileA(path.c_str()) != FALSE;
}

bool Win32Files::Copy(const std::string& from, const std::string& to, bool failIfExists) {
  return CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool Win32Files::CreateDir(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

bool Win32Files::RemoveDir(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != FALSE;
}

os::PathInfo Win32Files::Query(const std::string& path) {
  os::PathInfo info;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return info;
  info.exists = true;
  info.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.reparsePoint = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return info;
}

bool Win32Files::List(const std::string& pattern, std::vector<os::FoundItem>* items) {
  items->clear();
  WIN32_FIND_DATAA data;
  ScopedFindHandle find(FindFirstFileA(pattern.c_str(), &data));
  if (!find.Valid()) return false;
  do {
    items->push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(find.Get(), &data));
  return true;
}

bool Win32Files::SetCurrentDir(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

uint32_t Win32System::LastError() {
  return GetLastError();
}

void Win32System::Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

std::string Win32System::ModuleFileName() {
  std::string path;
  // GetModuleFileNameA returns the buffer size when it had to cut the name.
  FetchString([](char* b, DWORD n) { return GetModuleFileNameA(nullptr, b, n); }, &path);
  return path;
}

bool Win32System::TempPath(std::string* path) {
  return FetchString([](char* b, DWORD n) { return GetTempPathA(n, b); }, path);
}

bool Win32System::SystemDir(std::string* path) {
  return FetchString([](char* b, DWORD n) { return GetSystemDirectoryA(b, n); }, path);
}

bool Win32System::GetEnv(const std::string& name, std::string* value) {
  // An empty variable and a missing one both answer 0; only the error code tells them apart.
  SetLastError(ERROR_SUCCESS);
  std::string buffer(256, '\0');
  for (;;) {
    const DWORD n =
        GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
      value->clear();
      return true;
    }
    if (n < buffer.size()) {
      buffer.resize(n);
      *value = std::move(buffer);
      return true;
    }
    buffer.assign(n, '\0');
  }
}

bool Win32System::SetEnv(const std::string& name, const std::string& value) {
  return SetEnvironmentVariableA(name.c_str(), value.c_str()) != FALSE;
}

namespace {

HKEY RootKey(os::RegRoot root) {
  switch (root) {
    case os::RegRoot::LocalMachine:
      return HKEY_LOCAL_MACHINE;
    case os::RegRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case os::RegRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
  }
  return HKEY_LOCAL_MACHINE;
}

class Win32RegKey final : public os::RegKey {
 public:
  explicit Win32RegKey(HKEY key) : _key(key) {}
  ~Win32RegKey() override { RegCloseKey(_key); }
  bool SetString(const std::string& name, const std::string& value) override {
    return RegSetValueExA(_key, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
  }

 private:
  HKEY _key;
};

class Win32Process final : public os::Process {
 public:
  Win32Process(HANDLE process, HANDLE thread) : _process(process), _thread(thread) {}
  bool ExitCode(uint32_t* code) override {
    DWORD value = 0;
    if (!GetExitCodeProcess(_process.Get(), &value)) return false;
    *code = value;
    return true;
  }

 private:
  ScopedHandle _process;
  ScopedHandle _thread;
};

}  // namespace

bool Win32Registry::Read(os::RegRoot root, const std::string& key, const char* valueName,
                         uint32_t maxBytes, os::RegValue* value) {
  HKEY opened = nullptr;
  LONG status = RegOpenKeyExA(RootKey(root), key.c_str(), 0, KEY_READ, &opened);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return false;
  }
  std::string buffer(maxBytes, '\0');
  DWORD type = 0;
  DWORD size = maxBytes;
  status = RegQueryValueExA(opened, valueName, nullptr, &type,
                            reinterpret_cast<BYTE*>(buffer.data()), &size);
  RegCloseKey(opened);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return false;
  }
  buffer.resize(size);
  value->type = type;
  value->data = std::move(buffer);
  return true;
}

std::unique_ptr<os::RegKey> Win32Registry::Create(os::RegRoot root, const std::string& key) {
  HKEY created = nullptr;
  const LONG status =
      RegCreateKeyExA(RootKey(root), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return nullptr;
  }
  return std::make_unique<Win32RegKey>(created);
}

os::Module Win32Modules::Load(const std::string& path) {
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* Win32Modules::Symbol(os::Module module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool Win32Modules::Free(os::Module module) {
  return FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

std::unique_ptr<os::Process> Win32Processes::Start(const std::string& application,
                                                   const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::string line = commandLine;
  if (!CreateProcessA(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                      nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return nullptr;
  }
  return std::make_unique<Win32Process>(info.hProcess, info.hThread);
}

int Win32Ui::ShowMessage(const std::string& text, const std::string& caption, uint32_t style) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

}  // namespace win32

namespace win32 {

namespace {

// One procedure for every dialog: the handler comes as the creation parameter and is kept in
// the window's user data for the messages that follow.
INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
  auto* handler = reinterpret_cast<os::DialogHandler*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (handler == nullptr) return FALSE;
  return handler->OnMessage(dialog, message, wParam, lParam);
}

HWND AsHwnd(os::Window w) {
  return static_cast<HWND>(w);
}

}  // namespace

intptr_t Win32Dialogs::RunModal(os::Instance instance, const char* resource, os::Window owner,
                                os::DialogHandler* handler) {
  return DialogBoxParamA(static_cast<HINSTANCE>(instance), resource, AsHwnd(owner), DialogProc,
                         reinterpret_cast<LPARAM>(handler));
}

os::Window Win32Dialogs::CreateModeless(os::Instance instance, const char* resource,
                                        os::Window owner, os::DialogHandler* handler) {
  return CreateDialogParamA(static_cast<HINSTANCE>(instance), resource, AsHwnd(owner), DialogProc,
                            reinterpret_cast<LPARAM>(handler));
}

bool Win32Dialogs::EndDialog(os::Window dialog, intptr_t result) {
  return ::EndDialog(AsHwnd(dialog), result) != FALSE;
}

bool Win32Dialogs::DestroyWindow(os::Window window) {
  return ::DestroyWindow(AsHwnd(window)) != FALSE;
}

bool Win32Dialogs::SetText(os::Window window, const std::string& text) {
  return SetWindowTextA(AsHwnd(window), text.c_str()) != FALSE;
}

std::string Win32Dialogs::Text(os::Window window, int maxChars) {
  std::string text(static_cast<size_t>(maxChars) + 1, '\0');
  const int n = GetWindowTextA(AsHwnd(window), text.data(), maxChars + 1);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

os::Window Win32Dialogs::Item(os::Window dialog, int id) {
  return GetDlgItem(AsHwnd(dialog), id);
}

intptr_t Win32Dialogs::Send(os::Window window, uint32_t message, uintptr_t wParam,
                            intptr_t lParam) {
  return SendMessageA(AsHwnd(window), message, wParam, lParam);
}

bool Win32Dialogs::Update(os::Window window) {
  return UpdateWindow(AsHwnd(window)) != FALSE;
}

bool Win32Dialogs::BrowseForFolder(os::Window owner, const std::string& title, uint32_t flags,
                                   std::string* path) {
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = AsHwnd(owner);
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = flags;
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return false;
  char folder[MAX_PATH] = {};
  const BOOL ok = SHGetPathFromIDListA(chosen, folder);
  CoTaskMemFree(chosen);
  if (!ok) return false;
  *path = folder;
  return true;
}

}  // namespace win32

namespace win32 {

bool Win32Shell::ProgramsFolder(os::Window owner, std::string* path) {
  LPITEMIDLIST list = nullptr;
  if (SHGetSpecialFolderLocation(static_cast<HWND>(owner), CSIDL_PROGRAMS, &list) != S_OK) {
    return false;
  }
  char folder[MAX_PATH] = {};
  SHGetPathFromIDListA(list, folder);
  CoTaskMemFree(list);
  *path = folder;
  return true;
}

int32_t Win32Shell::CreateLink(const os::ShellLink& link, const std::string& linkPath) {
  CoInitialize(nullptr);
  IShellLinkA* shellLink = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&shellLink));
  if (SUCCEEDED(result)) {
    IPersistFile* file = nullptr;
    result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result)) {
      shellLink->SetWorkingDirectory(link.workingDir.c_str());
      if (link.hasArguments) shellLink->SetArguments(link.arguments.c_str());
      shellLink->SetPath(link.target.c_str());
      shellLink->SetDescription(link.description.c_str());
      WCHAR widePath[MAX_PATH] = {};
      if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0) {
        result = E_INVALIDARG;  // a path the 260-unit buffer cannot hold is not cut
      } else {
        result = file->Save(widePath, TRUE);
      }
      file->Release();
    }
    shellLink->Release();
  }
  CoUninitialize();
  return static_cast<int32_t>(result);
}

}  // namespace win32
