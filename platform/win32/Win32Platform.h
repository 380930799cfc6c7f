// The real backend of the platform layer: each call maps one-to-one onto the ANSI Win32 API.
#pragma once

#include "platform/Platform.h"

namespace win32 {

class Win32Files final : public os::Files {
 public:
  std::unique_ptr<os::File> OpenRead(const std::string& path) override;
  std::unique_ptr<os::File> Create(const std::string& path) override;
  bool Delete(const std::string& path) override;
  bool Copy(const std::string& from, const std::string& to, bool failIfExists) override;
  bool CreateDir(const std::string& path) override;
  bool RemoveDir(const std::string& path) override;
  os::PathInfo Query(const std::string& path) override;
  bool List(const std::string& pattern, std::vector<os::FoundItem>* items) override;
  bool SetCurrentDir(const std::string& path) override;
};

class Win32System final : public os::System {
 public:
  uint32_t LastError() override;
  void Sleep(uint32_t milliseconds) override;
  std::string ModuleFileName() override;
  bool TempPath(std::string* path) override;
  bool SystemDir(std::string* path) override;
  bool GetEnv(const std::string& name, std::string* value) override;
  bool SetEnv(const std::string& name, const std::string& value) override;
};

class Win32Registry final : public os::Registry {
 public:
  bool Read(os::RegRoot root, const std::string& key, const char* valueName, uint32_t maxBytes,
            os::RegValue* value) override;
  std::unique_ptr<os::RegKey> Create(os::RegRoot root, const std::string& key) override;
};

class Win32Modules final : public os::Modules {
 public:
  os::Module Load(const std::string& path) override;
  void* Symbol(os::Module module, const char* name) override;
  bool Free(os::Module module) override;
};

class Win32Processes final : public os::Processes {
 public:
  std::unique_ptr<os::Process> Start(const std::string& application,
                                     const std::string& commandLine) override;
};

class Win32Ui final : public os::Ui {
 public:
  int ShowMessage(const std::string& text, const std::string& caption, uint32_t style) override;
};

class Win32Dialogs final : public os::Dialogs {
 public:
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
};

class Win32Shell final : public os::Shell {
 public:
  bool ProgramsFolder(os::Window owner, std::string* path) override;
  int32_t CreateLink(const os::ShellLink& link, const std::string& linkPath) override;
};

// The process's one set of real backends.
struct Win32Platform {
  Win32Files files;
  Win32System system;
  Win32Registry registry;
  Win32Modules modules;
  Win32Processes processes;
  Win32Ui ui;
  Win32Dialogs dialogs;
  Win32Shell shell;
  os::Platform Get() {
    return os::Platform{files, system, registry, modules, processes, ui, dialogs, shell};
  }
};

}  // namespace win32
