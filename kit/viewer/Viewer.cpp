// The kit's project viewer ("OrvaneViewer.exe"): opens the start project in its current
// folder through the engine's file loader, shows what it got, writes a cache tree as a real
// engine would, and ends by itself after the time the project asks for (or when closed).
//
// The project is a "TMKF" container of text lines "key=value":
//   name=<shown as the window title>   seconds=<run time, default 5>
//   cache=<number of cache files to write, default 6>   report=<file to write what it saw>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "deploy/EngineInterface.h"

namespace {

struct Project {
  std::string name = "Orvane project";
  int seconds = 5;
  int cacheFiles = 6;
  std::string report;
  std::string text;
};

std::string gShown;
std::string gTitle;

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  bytes->resize(size);
  DWORD got = 0;
  const BOOL ok = size == 0 || ReadFile(file, bytes->data(), size, &got, nullptr);
  CloseHandle(file);
  return ok && got == size;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

// Decodes the start project with the engine the launcher extracted beside this program.
bool DecodeProject(const std::vector<uint8_t>& stored, std::string* text, std::string* how) {
  HMODULE engine = LoadLibraryA("Zenthra.dll");
  if (engine == nullptr) {
    *how = "engine library not loadable";
    return false;
  }
  auto getInstance = reinterpret_cast<GetEngineControlInstanceFn>(
      reinterpret_cast<void*>(GetProcAddress(engine, kGetEngineControlInstanceName)));
  EngineControl* control = getInstance != nullptr ? getInstance() : nullptr;
  bool decoded = false;
  if (control != nullptr && control->Initialize(GetModuleHandleA(nullptr), "OrvaneViewer", nullptr)) {
    ChannelFactory* factory = control->GetChannelFactory();
    auto* loader =
        static_cast<FileLoaderChannel*>(factory->CreateChannel(kFileLoaderClassId, 0, 0));
    if (loader != nullptr) {
      loader->SetSource(stored.data(), static_cast<uint32_t>(stored.size()), 1);
      if (loader->HasTag("TMKF", 0) && factory->containerDecoder != nullptr) {
        factory->containerDecoder->DecodeContainer(loader);
      }
      text->assign(reinterpret_cast<const char*>(loader->OutputData()), loader->OutputSize());
      decoded = !text->empty();
      loader->Release(1);
    }
    *how = decoded ? "decoded by the engine's file loader" : "the file loader gave nothing";
  } else {
    *how = "engine did not start";
  }
  if (control != nullptr) control->Release(1);
  FreeLibrary(engine);
  return decoded;
}

Project ParseProject(const std::string& text) {
  Project project;
  project.text = text;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos) {
      const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "name") project.name = value;
      if (key == "seconds") project.seconds = std::atoi(value.c_str());
      if (key == "cache") project.cacheFiles = std::atoi(value.c_str());
      if (key == "report") project.report = value;
    }
    start = end + 1;
  }
  return project;
}

// Files and nested folders under cache\, with mixed-case names as an engine leaves them.
int WriteCache(int files) {
  const char* folders[] = {"cache", "cache\\Textures", "cache\\Textures\\Mip Levels",
                           "cache\\Shaders"};
  for (const char* folder : folders) CreateDirectoryA(folder, nullptr);
  int written = 0;
  for (int i = 0; i < files; ++i) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof(path), "%s\\Part%02d.BIN", folders[i % 4], i);
    written += WriteWholeFile(path, std::string(512 + i, static_cast<char>('a' + i % 26)));
  }
  return written;
}

// What the launcher put here: files and bytes below the folder, before any cache is written.
void CountFiles(const std::string& folder, int* files, unsigned long long* bytes) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      CountFiles(folder + "\\" + name, files, bytes);
    } else {
      ++*files;
      *bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

std::string Environment(const char* name) {
  char value[32768];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
  return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      InflateRect(&area, -12, -12);
      DrawTextA(dc, gShown.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof(folder), folder);
  int extractedFiles = 0;
  unsigned long long extractedBytes = 0;
  CountFiles(folder, &extractedFiles, &extractedBytes);
  std::vector<uint8_t> stored;
  std::string text, how;
  const bool opened = ReadWholeFile("ORVStart.orv", &stored);
  const bool decoded = opened && DecodeProject(stored, &text, &how);
  if (!opened) how = "ORVStart.orv not found in " + std::string(folder);
  const Project project = ParseProject(text);
  const int cacheFiles = decoded ? WriteCache(project.cacheFiles) : 0;

  gTitle = project.name + " - Orvane Viewer";
  gShown = "Project: " + project.name + "\r\nFolder: " + folder + "\r\nStart project: " +
           (opened ? std::to_string(stored.size()) + " bytes, " : std::string()) + how +
           "\r\nFiles found beside the viewer: " + std::to_string(extractedFiles) + " (" +
           std::to_string(extractedBytes) + " bytes)\r\nCache files written: " +
           std::to_string(cacheFiles) + "\r\n\r\nPATH:\r\n" +
           Environment("PATH") + "\r\n\r\nProject text:\r\n" + project.text;
  if (!project.report.empty()) {
    WriteWholeFile(project.report, "decoded=" + std::string(decoded ? "yes" : "no") +
                                       "\nname=" + project.name + "\nfolder=" + folder +
                                       "\ncache=" + std::to_string(cacheFiles) +
                                       "\nfiles=" + std::to_string(extractedFiles) +
                                       "\nbytes=" + std::to_string(extractedBytes) +
                                       "\npath=" + Environment("PATH") + "\n");
  }

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "OrvaneViewerWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, gTitle.c_str(),
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 720, 420, nullptr,
                                nullptr, instance, nullptr);
  ShowWindow(window, show);
  if (project.seconds > 0) SetTimer(window, 1, static_cast<UINT>(project.seconds) * 1000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return decoded ? 0 : 1;
}
