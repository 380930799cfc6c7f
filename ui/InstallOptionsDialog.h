// The modal dialog in which the user confirms or changes the installation folder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Platform.h"

class InstallOptionsDialog : private os::DialogHandler {
 public:
  static constexpr int kInstallId = 1;
  static constexpr int kEditId = 1000;
  static constexpr int kBrowseId = 1001;
  static constexpr int kCancelId = 1002;
  // Longest path the dialog keeps, from any source.
  static constexpr size_t kMaxPath = 259;

  explicit InstallOptionsDialog(os::Dialogs& dialogs);
  InstallOptionsDialog(const InstallOptionsDialog&) = delete;
  InstallOptionsDialog& operator=(const InstallOptionsDialog&) = delete;
  // Owns nothing: the window ends with the modal loop.
  ~InstallOptionsDialog() override;

  // Runs "IDD_ISNTALLDIALOG" modally as a top-level window (owner is not used), starting from the
  // first 259 characters of initialPath (null: the path stays). Non-zero when "Install" was
  // pressed; a dialog that cannot be created answers zero.
  virtual uint8_t Show(os::Instance instance, os::Window owner, const char* initialPath);
  // The folder as last shown in the edit box; never null.
  virtual const char* Path();
  // Keeps the handle, fills the edit box with the path and the caption with the title.
  virtual void OnInit(os::Window dialog);
  virtual void Accept();
  // The shell's folder browser; a chosen folder replaces the path and the edit box text.
  virtual void Browse(os::Window dialog);
  // Keeps the first 259 characters of text; null changes nothing.
  virtual void SetPath(const char* text);
  // The title becomes name + " Installation Options"; null changes nothing.
  virtual void SetTitle(const char* name);

  const char* Title() const { return _title; }

 private:
  intptr_t OnMessage(os::Window dialog, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
  void OnCommand(os::Window dialog, int id, int notification, intptr_t lParam);

  os::Dialogs& _dialogs;
  char _title[300] = "Installation Options";
  char _path[300] = {};
  uint8_t _accepted = 0;
  os::Window _dialog = nullptr;
};

// name + " Installation Options", the name cut so that the whole fits the 300-byte title.
void ComposeInstallTitle(const char* name, char (&title)[300]);
// The first 259 characters of text, NUL-terminated.
void CopyInstallPath(const char* text, char (&path)[300]);
