// RAII owners and text conversions for the UI driver.
#include "WinUtil.h"

#include <cstdio>
#include <vector>

namespace win {

MemoryBitmap::MemoryBitmap(int width, int height) : _width(width), _height(height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  _dc = CreateCompatibleDC(nullptr);
  _bitmap = CreateDIBSection(_dc, &bi, DIB_RGB_COLORS, &_bits, nullptr, 0);
  if (_dc && _bitmap) {
    _old = SelectObject(_dc, _bitmap);
  } else {
    _bits = nullptr;
  }
}

MemoryBitmap::~MemoryBitmap() {
  if (_dc && _old) SelectObject(_dc, _old);
  if (_bitmap) DeleteObject(_bitmap);
  if (_dc) DeleteDC(_dc);
}

std::string Utf8FromWide(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::wstring WideFromUtf8(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

std::string Hex(unsigned long long value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%0*llX", digits, value);
  return buf;
}

std::string WindowText(HWND hwnd, UINT timeoutMs) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &length)) {
    return {};
  }
  std::vector<wchar_t> buf(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                           SMTO_ABORTIFHUNG, timeoutMs, &copied)) {
    return {};
  }
  return Utf8FromWide(std::wstring(buf.data(), copied < buf.size() ? copied : buf.size() - 1));
}

std::string StoredText(HWND hwnd) {
  std::vector<wchar_t> buf(4096, L'\0');
  int n = InternalGetWindowText(hwnd, buf.data(), static_cast<int>(buf.size()));
  return n > 0 ? Utf8FromWide(std::wstring(buf.data(), n)) : std::string();
}

std::string ClassName(HWND hwnd) {
  wchar_t buf[256] = {};
  GetClassNameW(hwnd, buf, 256);
  return Utf8FromWide(buf);
}

}  // namespace win
