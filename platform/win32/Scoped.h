// Move-only owners of Win32 handles.
#pragma once

#include <windows.h>

namespace win32 {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : _h(h) {}
  ScopedHandle(ScopedHandle&& o) noexcept : _h(o.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) Reset(o.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ~ScopedHandle() { Reset(); }

  HANDLE Get() const { return _h; }
  bool Valid() const { return _h != nullptr && _h != INVALID_HANDLE_VALUE; }
  HANDLE Release() {
    HANDLE h = _h;
    _h = nullptr;
    return h;
  }
  void Reset(HANDLE h = nullptr) {
    if (Valid()) CloseHandle(_h);
    _h = h;
  }

 private:
  HANDLE _h = nullptr;
};

class ScopedFindHandle {
 public:
  explicit ScopedFindHandle(HANDLE h) : _h(h) {}
  ScopedFindHandle(const ScopedFindHandle&) = delete;
  ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;
  ~ScopedFindHandle() {
    if (Valid()) FindClose(_h);
  }
  HANDLE Get() const { return _h; }
  bool Valid() const { return _h != INVALID_HANDLE_VALUE; }

 private:
  HANDLE _h;
};

}  // namespace win32
