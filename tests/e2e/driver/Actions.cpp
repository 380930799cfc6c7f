// Performs script actions on the windows of the program under test.
#include "Actions.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "WinUtil.h"

namespace {

constexpr UINT kSendTimeoutMs = 2000;

const ControlInfo* FindButton(const WindowInfo& w, const Action& a) {
  for (const auto& c : w.controls) {
    if (c.role != "button") continue;
    if (a.id >= 0 && c.id == a.id) return &c;
    if (a.id < 0 && !a.text.empty()) {
      // "&Yes" and "Yes" both name the button a user sees as "Yes".
      std::string plain;
      for (char ch : c.text) {
        if (ch != '&') plain.push_back(ch);
      }
      if (c.text == a.text || plain == a.text) return &c;
    }
  }
  return nullptr;
}

// The window that has the keyboard focus in the target's thread, where a key press would go.
HWND FocusOf(HWND top) {
  GUITHREADINFO gti{};
  gti.cbSize = sizeof gti;
  DWORD thread = GetWindowThreadProcessId(top, nullptr);
  if (GetGUIThreadInfo(thread, &gti) && gti.hwndFocus) return gti.hwndFocus;
  return top;
}

LPARAM KeyData(UINT scanCode, bool up, bool alt) {
  LPARAM lp = 1 | (static_cast<LPARAM>(scanCode) << 16);
  if (alt) lp |= 1 << 29;
  if (up) lp |= (1u << 30) | (1u << 31);
  return lp;
}

bool Click(const WindowInfo& w, const Action& a, std::string* detail) {
  const ControlInfo* b = FindButton(w, a);
  if (!b) {
    *detail = "no button " + (a.id >= 0 ? "id " + std::to_string(a.id) : "\"" + a.text + "\"");
    return false;
  }
  if (!IsWindowEnabled(b->hwnd) || !IsWindowVisible(b->hwnd)) {
    *detail = "button \"" + b->text + "\" is disabled or hidden";
    return false;
  }
  // BM_CLICK runs the button's own press and release, so BN_CLICKED reaches the dialog as from
  // the mouse; posted, because the dialog may run a long job inside the notification.
  PostMessageW(b->hwnd, BM_CLICK, 0, 0);
  *detail = "BM_CLICK \"" + b->text + "\" id " + std::to_string(b->id);
  return true;
}

bool SetText(const WindowInfo& w, const Action& a, std::string* detail) {
  for (const auto& c : w.controls) {
    if (c.role != "edit" || (a.id >= 0 && c.id != a.id)) continue;
    std::wstring text = win::WideFromUtf8(a.text);
    DWORD_PTR result = 0;
    // WM_SETTEXT makes the edit control send EN_CHANGE, as typing would.
    if (!SendMessageTimeoutW(c.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
      *detail = "WM_SETTEXT timed out";
      return false;
    }
    *detail = "WM_SETTEXT id " + std::to_string(c.id);
    return true;
  }
  *detail = "no edit box" + (a.id >= 0 ? " id " + std::to_string(a.id) : std::string());
  return false;
}

bool Key(const WindowInfo& w, const Action& a, std::string* detail) {
  bool enter = a.text == "enter";
  UINT vk = enter ? VK_RETURN : VK_ESCAPE;
  UINT scan = enter ? 0x1C : 0x01;
  HWND focus = FocusOf(w.hwnd);
  // The dialog's modal loop passes WM_KEYDOWN to IsDialogMessage, which turns Enter into the
  // default button's command and Esc into IDCANCEL.
  PostMessageW(focus, WM_KEYDOWN, vk, KeyData(scan, false, false));
  PostMessageW(focus, WM_KEYUP, vk, KeyData(scan, true, false));
  *detail = std::string(enter ? "VK_RETURN" : "VK_ESCAPE") + " to " + win::ClassName(focus);
  return true;
}

bool AltF4(const WindowInfo& w, std::string* detail) {
  // WM_SYSKEYDOWN with the Alt context bit reaches DefWindowProc, which posts SC_CLOSE to the
  // top-level window: the path a real Alt+F4 takes, without the keyboard state.
  HWND focus = FocusOf(w.hwnd);
  PostMessageW(focus, WM_SYSKEYDOWN, VK_F4, KeyData(0x3E, false, true));
  PostMessageW(focus, WM_SYSKEYUP, VK_F4, KeyData(0x3E, true, true));
  *detail = "WM_SYSKEYDOWN VK_F4 (Alt) to " + win::ClassName(focus);
  return true;
}

std::string JoinPath(const std::string& dir, const std::string& file) {
  bool absolute = file.size() > 1 && (file[1] == ':' || file[0] == '\\' || file[0] == '/');
  if (absolute || dir.empty()) return file;
  char last = dir.back();
  return dir + (last == '\\' || last == '/' ? "" : "\\") + file;
}

}  // namespace

bool IsClosingAction(const Action& a) {
  return a.kind == "click" || a.kind == "command" || a.kind == "key" || a.kind == "close" ||
         a.kind == "alt_f4";
}

bool PerformAction(const Action& a, const WindowInfo* w, const std::string& shotDir,
                   std::string* detail) {
  if (a.kind == "sleep") {
    Sleep(a.ms);
    return true;
  }
  if (a.kind == "screenshot") {
    std::string path = JoinPath(shotDir, a.text);
    *detail = path;
    return SaveScreenshot(path, detail);
  }
  if (!w) {
    *detail = "action \"" + a.kind + "\" needs a window";
    return false;
  }
  if (a.kind == "click") return Click(*w, a, detail);
  if (a.kind == "command") {
    PostMessageW(w->hwnd, WM_COMMAND, MAKEWPARAM(a.id, BN_CLICKED), 0);
    *detail = "WM_COMMAND id " + std::to_string(a.id);
    return true;
  }
  if (a.kind == "set_text") return SetText(*w, a, detail);
  if (a.kind == "key") return Key(*w, a, detail);
  if (a.kind == "close") {
    PostMessageW(w->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    *detail = "WM_SYSCOMMAND SC_CLOSE";
    return true;
  }
  if (a.kind == "alt_f4") return AltF4(*w, detail);
  *detail = "unknown action";
  return false;
}

bool SaveScreenshot(const std::string& path, std::string* error) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  win::MemoryBitmap shot(w, h);
  {
    win::ScopedWindowDc screen(nullptr);
    if (!shot.Ok() || !BitBlt(shot.Dc(), 0, 0, w, h, screen.Get(), 0, 0, SRCCOPY)) {
      *error = "BitBlt of the screen failed";
      return false;
    }
  }
  GdiFlush();
  int stride = (w * 3 + 3) & ~3;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y) {
    unsigned char* row = &pixels[static_cast<size_t>(h - 1 - y) * stride];  // bottom-up
    for (int x = 0; x < w; ++x) {
      unsigned p = shot.Bits()[y * w + x];
      row[x * 3] = p & 0xFF;
      row[x * 3 + 1] = (p >> 8) & 0xFF;
      row[x * 3 + 2] = (p >> 16) & 0xFF;
    }
  }
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biCompression = BI_RGB;
  ih.biSizeImage = static_cast<DWORD>(pixels.size());
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot write " + path;
    return false;
  }
  bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&ih, sizeof ih, 1, f) == 1 &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) *error = "short write to " + path;
  return ok;
}
