// Reads the windows and controls of the program under test.
#include "WindowProbe.h"

#include <commctrl.h>

#include <cctype>
#include <climits>
#include <cstdlib>

#include "WinUtil.h"

namespace {

// Short: a program that works without pumping messages answers none of them, and every wait
// here delays noticing its next window.
constexpr UINT kSendTimeoutMs = 250;
constexpr int kMessageTextId = 0xFFFF;  // the message box's text static, in Windows and Wine

LRESULT SendTimeout(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* ok = nullptr) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
    if (ok) *ok = false;
    return 0;
  }
  return static_cast<LRESULT>(result);
}

bool Answers(HWND hwnd) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result) != 0;
}

std::string RoleOf(const ControlInfo& c) {
  std::string cls = c.className;
  for (auto& ch : cls) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (cls == "static") return (c.style & SS_TYPEMASK) == SS_ICON ? "icon" : "static";
  if (cls == "edit") return "edit";
  if (cls == "msctls_progress32") return "progress";
  if (cls == "button") {
    DWORD type = c.style & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON ? "button" : "other";
  }
  return "other";
}

// Keeps the previous values unless all three answers came from a live bar: a bar being
// destroyed between the messages would otherwise report a range of 0..0.
void ReadProgress(ControlInfo* c) {
  bool ok = true;
  int pos = static_cast<int>(SendTimeout(c->hwnd, PBM_GETPOS, 0, 0, &ok));
  int low = static_cast<int>(SendTimeout(c->hwnd, PBM_GETRANGE, TRUE, 0, &ok));
  int high = static_cast<int>(SendTimeout(c->hwnd, PBM_GETRANGE, FALSE, 0, &ok));
  if (!ok || !IsWindow(c->hwnd) || high <= low) return;
  c->pos = pos;
  c->rangeLow = low;
  c->rangeHigh = high;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
  auto* info = reinterpret_cast<WindowInfo*>(param);
  ControlInfo c;
  c.hwnd = child;
  c.className = win::ClassName(child);
  c.id = GetDlgCtrlID(child);
  c.style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
  GetWindowRect(child, &c.rect);
  c.visible = IsWindowVisible(child) != FALSE;
  c.enabled = IsWindowEnabled(child) != FALSE;
  c.role = RoleOf(c);
  if (c.role == "edit") {
    c.text = info->busy ? win::StoredText(child) : win::WindowText(child, kSendTimeoutMs);
  } else if (c.role != "icon") {
    c.text = win::StoredText(child);
  }
  if (c.role == "progress" && !info->busy) ReadProgress(&c);
  info->controls.push_back(c);
  return TRUE;
}

void MarkDefaultButton(WindowInfo* info) {
  LRESULT def = info->dialog && !info->busy ? SendTimeout(info->hwnd, DM_GETDEFID, 0, 0) : 0;
  int defId = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : -1;
  for (auto& c : info->controls) {
    if (c.role != "button") continue;
    c.isDefault = (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON || c.id == defId;
  }
}

const ControlInfo* IconControl(const WindowInfo& info) {
  for (const auto& c : info.controls) {
    if (c.role == "icon" && c.visible) return &c;
  }
  return nullptr;
}

bool OverlapsOtherControl(const WindowInfo& info, const ControlInfo& icon) {
  for (const auto& c : info.controls) {
    RECT both;
    if (&c != &icon && c.visible && IntersectRect(&both, &c.rect, &icon.rect)) return true;
  }
  return false;
}

// Sum of absolute channel differences over the whole bitmap.
unsigned long long Distance(const win::MemoryBitmap& a, const win::MemoryBitmap& b) {
  unsigned long long sum = 0;
  int n = a.Width() * a.Height();
  for (int i = 0; i < n; ++i) {
    unsigned pa = a.Bits()[i], pb = b.Bits()[i];
    for (int shift = 0; shift < 24; shift += 8) {
      sum +=
          std::abs(static_cast<int>((pa >> shift) & 0xFF) - static_cast<int>((pb >> shift) & 0xFF));
    }
  }
  return sum;
}

bool Uniform(const win::MemoryBitmap& bmp) {
  int n = bmp.Width() * bmp.Height();
  for (int i = 1; i < n; ++i) {
    if ((bmp.Bits()[i] & 0xFFFFFF) != (bmp.Bits()[0] & 0xFFFFFF)) return false;
  }
  return true;
}

}  // namespace

WindowInfo ProbeWindow(HWND hwnd) {
  WindowInfo info;
  info.hwnd = hwnd;
  GetWindowThreadProcessId(hwnd, &info.pid);
  info.className = win::ClassName(hwnd);
  info.caption = win::StoredText(hwnd);
  info.busy = !Answers(hwnd);
  info.style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  GetWindowRect(hwnd, &info.rect);
  info.owner = GetWindow(hwnd, GW_OWNER);
  if (info.owner) info.ownerClass = win::ClassName(info.owner);
  info.dialog = info.className == "#32770";
  if (info.dialog) {
    EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&info));
    MarkDefaultButton(&info);
    for (const auto& c : info.controls) {
      if (c.id == kMessageTextId && c.role == "static") {
        info.messageBox = true;
        info.text = c.text;
      }
    }
  }
  return info;
}

void RefreshProgress(WindowInfo* info) {
  for (auto& c : info->controls) {
    if (c.role == "progress" && IsWindow(c.hwnd) && Answers(c.hwnd)) ReadProgress(&c);
  }
}

std::string ClassifyIcon(const WindowInfo& info) {
  const ControlInfo* control = IconControl(info);
  if (!control) return "none";
  // The handle itself means nothing in this process, but a null one says no icon is set.
  // Wine's message box keeps its icon control without an icon, under the text and buttons.
  if (SendTimeout(control->hwnd, STM_GETICON, 0, 0) == 0 || OverlapsOtherControl(info, *control)) {
    return "none";
  }
  RECT r = control->rect;
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return "none";
  // The screen DC reads what X shows, which works for any process's window when it is on top;
  // PrintWindow would need the target to paint into our DC.
  win::MemoryBitmap shot(w, h);
  {
    win::ScopedWindowDc screen(nullptr);
    if (!shot.Ok() || !BitBlt(shot.Dc(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY)) {
      return "unknown";
    }
  }
  if (Uniform(shot)) return "unknown";  // not painted yet
  struct Candidate {
    LPCSTR id;
    const char* name;
  } candidates[] = {{IDI_HAND, "error"},
                    {IDI_EXCLAMATION, "warning"},
                    {IDI_ASTERISK, "information"},
                    {IDI_QUESTION, "question"}};
  unsigned background = shot.Bits()[0];
  unsigned long long best = ULLONG_MAX, second = ULLONG_MAX;
  const char* bestName = "unknown";
  for (const auto& cand : candidates) {
    win::MemoryBitmap drawn(w, h);
    if (!drawn.Ok()) continue;
    for (int i = 0; i < w * h; ++i) drawn.Bits()[i] = background;
    DrawIconEx(drawn.Dc(), 0, 0, LoadIconA(nullptr, cand.id), 0, 0, 0, nullptr, DI_NORMAL);
    GdiFlush();
    unsigned long long d = Distance(shot, drawn);
    if (d < best) {
      second = best;
      best = d;
      bestName = cand.name;
    } else if (d < second) {
      second = d;
    }
  }
  // Only a clear winner counts; a partly drawn or foreign icon gives "unknown".
  return best * 4 < second || best == 0 ? bestName : "unknown";
}
