// Install options dialog.
#include "ui/InstallOptionsDialog.h"

#include <cstring>

namespace {

constexpr char kResource[] = "IDD_ISNTALLDIALOG";
constexpr char kTitleSuffix[] = " Installation Options";
constexpr char kBrowseTitle[] = "Select Installation Directory";
// GetWindowTextA gets a 260-byte buffer.
constexpr int kEditTextChars = 259;

}  // namespace

void ComposeInstallTitle(const char* name, char (&title)[300]) {
  constexpr size_t kMaxName = sizeof(title) - sizeof(kTitleSuffix);  // 278
  const size_t length = strnlen(name, kMaxName);
  std::memcpy(title, name, length);
  std::memcpy(title + length, kTitleSuffix, sizeof(kTitleSuffix));
}

void CopyInstallPath(const char* text, char (&path)[300]) {
  const size_t length = strnlen(text, InstallOptionsDialog::kMaxPath);
  std::memcpy(path, text, length);
  path[length] = '\0';
}

InstallOptionsDialog::InstallOptionsDialog(os::Dialogs& dialogs) : _dialogs(dialogs) {}

InstallOptionsDialog::~InstallOptionsDialog() = default;

uint8_t InstallOptionsDialog::Show(os::Instance instance, os::Window, const char* initialPath) {
  if (initialPath != nullptr) CopyInstallPath(initialPath, _path);
  // No owner: the dialog is a top-level window of its own. Its result is always 0; only the
  // accepted flag tells how it ended.
  _dialogs.RunModal(instance, kResource, nullptr, this);
  return _accepted;
}

const char* InstallOptionsDialog::Path() {
  return _path;
}

void InstallOptionsDialog::OnInit(os::Window dialog) {
  _dialog = dialog;
  // The edit box answers with EN_CHANGE, which copies the text back into the path.
  _dialogs.Send(_dialogs.Item(dialog, kEditId), os::kWmSetText, 0,
                reinterpret_cast<intptr_t>(_path));
  _dialogs.SetText(dialog, _title);
}

void InstallOptionsDialog::Accept() {
  _accepted = 1;
}

void InstallOptionsDialog::Browse(os::Window dialog) {
  std::string chosen;
  if (!_dialogs.BrowseForFolder(dialog, kBrowseTitle, os::kBifReturnOnlyFsDirs | os::kBifEditBox,
                                &chosen)) {
    return;
  }
  SetPath(chosen.c_str());
  _dialogs.Send(_dialogs.Item(dialog, kEditId), os::kWmSetText, 0,
                reinterpret_cast<intptr_t>(_path));
}

void InstallOptionsDialog::SetPath(const char* text) {
  if (text != nullptr) CopyInstallPath(text, _path);
}

void InstallOptionsDialog::SetTitle(const char* name) {
  if (name != nullptr) ComposeInstallTitle(name, _title);
}

intptr_t InstallOptionsDialog::OnMessage(os::Window dialog, uint32_t message, uintptr_t wParam,
                                         intptr_t lParam) {
  switch (message) {
    case os::kWmInitDialog:
      if (lParam != 0) {
        static_cast<InstallOptionsDialog*>(reinterpret_cast<os::DialogHandler*>(lParam))
            ->OnInit(dialog);
      }
      break;
    case os::kWmCommand:
      OnCommand(dialog, static_cast<int>(wParam & 0xFFFF),
                static_cast<int>((wParam >> 16) & 0xFFFF), lParam);
      break;
    case os::kWmSysCommand:
      // Compared whole: the low four bits of SC_CLOSE are not masked off.
      if (wParam == os::kScClose) _dialogs.EndDialog(dialog, 0);
      break;
    case os::kWmDestroy:
      _dialogs.EndDialog(dialog, 0);
      break;
    default:
      break;
  }
  // FALSE throughout, WM_INITDIALOG included: the system sets no initial focus.
  return 0;
}

void InstallOptionsDialog::OnCommand(os::Window dialog, int id, int notification, intptr_t lParam) {
  switch (id) {
    case kInstallId:  // also Enter, through the default button
      Accept();
      _dialogs.EndDialog(dialog, 0);
      break;
    case kCancelId:
      _dialogs.EndDialog(dialog, 0);
      break;
    case kEditId:
      if (notification == static_cast<int>(os::kEnChange)) {
        const std::string text =
            _dialogs.Text(reinterpret_cast<os::Window>(lParam), kEditTextChars);
        SetPath(text.c_str());
      }
      break;
    case kBrowseId:
      Browse(dialog);
      break;
    default:
      break;  // Esc sends command 2, which no control carries: the dialog stays
  }
}
