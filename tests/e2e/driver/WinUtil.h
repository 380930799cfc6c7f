// Small RAII owners and text conversions for the UI driver.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace win {

// Owns a kernel handle (process, thread, snapshot); closes it on destruction.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : _h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ScopedHandle(ScopedHandle&& o) noexcept : _h(std::exchange(o._h, nullptr)) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o._h, nullptr));
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(nullptr); }
  void Reset(HANDLE h) {
    if (_h) CloseHandle(_h);
    _h = h;
  }
  HANDLE Get() const { return _h; }
  explicit operator bool() const { return _h != nullptr; }

 private:
  HANDLE _h = nullptr;
};

// A memory DC with a 32-bit top-down DIB selected into it; Bits() gives BGRA rows of Width().
class MemoryBitmap {
 public:
  MemoryBitmap(int width, int height);
  ~MemoryBitmap();
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;
  bool Ok() const { return _bits != nullptr; }
  HDC Dc() const { return _dc; }
  const unsigned* Bits() const { return static_cast<const unsigned*>(_bits); }
  unsigned* Bits() { return static_cast<unsigned*>(_bits); }
  int Width() const { return _width; }
  int Height() const { return _height; }

 private:
  int _width, _height;
  HDC _dc = nullptr;
  HBITMAP _bitmap = nullptr;
  HGDIOBJ _old = nullptr;
  void* _bits = nullptr;
};

// Releases a window DC obtained with GetDC/GetWindowDC.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND hwnd, bool whole = false)
      : _hwnd(hwnd), _dc(whole ? GetWindowDC(hwnd) : GetDC(hwnd)) {}
  ~ScopedWindowDc() {
    if (_dc) ReleaseDC(_hwnd, _dc);
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  HDC Get() const { return _dc; }

 private:
  HWND _hwnd;
  HDC _dc;
};

std::string Utf8FromWide(const std::wstring& w);
std::wstring WideFromUtf8(const std::string& s);
std::string Hex(unsigned long long value, int digits = 8);

// Text of a window of any process: WM_GETTEXT is marshalled across processes, unlike the
// internal caption that GetWindowText reads for foreign windows. Waits at most timeoutMs for
// a busy target. Edit controls keep their text only this way.
std::string WindowText(HWND hwnd, UINT timeoutMs);
// The caption the system itself stores for the window (captions, statics, buttons): read
// without a message, so a program busy in a loop without a message pump cannot stall us.
std::string StoredText(HWND hwnd);
std::string ClassName(HWND hwnd);

}  // namespace win
