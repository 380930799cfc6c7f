// bench_floor: the least a run in place of a package must do, with the same Win32 calls as the
// launcher: read the package once (sequentially, no seeks between items), inflate what is
// stored compressed, write each file into a fresh temporary folder, start the viewer and poll
// it as the launcher must (GetExitCodeProcess, then Sleep 1000 ms while it runs), then delete
// the files and folders. No checks beyond what keeps it from writing outside its folder.
//
//   bench_floor PACKAGE.exe        prints: floor_viewer_ms=... floor_files=... floor_bytes=...
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMarkerLength = 36;
constexpr char kViewer[] = "ORVANEVIEWER.EXE";
// Stored in the zlib form and inflated before the engine is up.
const char* const kZlibForm[] = {
    "ZENTHRA.DLL",
    "CHANNELS\\QUILLET.DLL",
    "CHANNELS\\DIRROW.DLL",
    "CHANNELS\\LODERA.DLL",
    "CHANNELS\\5C18E7A2-9B4D-4E61-B3F8-0D27C6A94E15.DLL",
    "CHANNELS\\A7F29D03-6E1B-4C85-92A4-E8B53D07F6C1.DLL",
    "CHANNELS\\19E4B6C8-D273-4A5F-8E01-C6A9F2B47D38.DLL",
    "CHANNELS\\E82C07B5-31F9-4D6A-A5C3-7B14E96F02D8.DLL",
    "3RD\\MSVCR71.DLL",
    kViewer,
};

struct Entry {
  std::string category, name;
  uint32_t size = 0;
};

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadExactly(HANDLE file, void* buffer, DWORD count) {
  DWORD got = 0;
  return ReadFile(file, buffer, count, &got, nullptr) && got == count;
}

bool Seek(HANDLE file, uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

// The index, read in one piece once its length is known from a first read.
bool ReadIndex(HANDLE file, std::vector<Entry>* entries, uint64_t* itemsStart) {
  LARGE_INTEGER size;
  uint8_t trailer[4];
  if (!GetFileSizeEx(file, &size) || !Seek(file, uint64_t(size.QuadPart) - 4) ||
      !ReadExactly(file, trailer, 4)) {
    return false;
  }
  const uint32_t offset = LoadU32(trailer);
  const uint64_t left = uint64_t(size.QuadPart) - offset;
  std::vector<uint8_t> head(static_cast<size_t>(left < (1u << 20) ? left : (1u << 20)));
  if (!Seek(file, offset) || !ReadExactly(file, head.data(), static_cast<DWORD>(head.size()))) {
    return false;
  }
  for (;;) {
    size_t at = kMarkerLength;
    const auto need = [&](size_t n) { return at + n <= head.size(); };
    bool whole = need(4);
    const uint32_t count = whole ? LoadU32(&head[at]) : 0;
    at += 4;
    entries->clear();
    for (uint32_t i = 0; whole && i < count; ++i) {
      Entry entry;
      for (std::string* text : {&entry.category, &entry.name}) {
        whole = whole && need(4);
        const uint32_t length = whole ? LoadU32(&head[at]) : 0;
        at += 4;
        whole = whole && need(length) && length > 0;
        if (whole) text->assign(reinterpret_cast<const char*>(&head[at]), length - 1);
        at += length;
      }
      whole = whole && need(8);
      if (whole) entry.size = LoadU32(&head[at]);
      at += 8;
      if (whole) entries->push_back(std::move(entry));
    }
    if (whole && need(4)) {
      *itemsStart = offset + LoadU32(&head[at]);
      return true;
    }
    if (head.size() >= left) return false;
    // A larger index: read it again whole at twice the size.
    const size_t more = head.size() * 2 < left ? head.size() * 2 : static_cast<size_t>(left);
    head.resize(more);
    if (!Seek(file, offset) || !ReadExactly(file, head.data(), static_cast<DWORD>(more))) {
      return false;
    }
  }
}

bool IsFileName(const Entry& e) {
  return e.category == "APPDATA" && e.name.find_first_of(".\\/") != std::string::npos &&
         e.name.find("..") == std::string::npos && e.name.find(':') == std::string::npos;
}

bool IsZlibForm(const std::string& name) {
  for (const char* known : kZlibForm) {
    if (name == known) return true;
  }
  return false;
}

class Extractor {
 public:
  explicit Extractor(std::string work) : _work(std::move(work)) {}

  bool Write(const std::string& name, const uint8_t* data, uint32_t size) {
    std::string relative = name[0] == '\\' ? name.substr(1) : name;
    for (char& c : relative) c = c == '/' ? '\\' : c;
    const std::string path = _work + "\\" + relative;
    for (size_t slash = path.find('\\', _work.size() + 1); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
      const std::string folder = path.substr(0, slash);
      if (_folders.insert(folder).second && CreateDirectoryA(folder.c_str(), nullptr)) {
        _created.push_back(folder);
      }
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
    _files.push_back(path);
    _bytes += size;
    return ok && written == size;
  }

  void RemoveAll() {
    for (const std::string& file : _files) DeleteFileA(file.c_str());
    for (auto it = _created.rbegin(); it != _created.rend(); ++it) RemoveDirectoryA(it->c_str());
    RemoveDirectoryA(_work.c_str());
  }

  size_t Files() const { return _files.size(); }
  uint64_t Bytes() const { return _bytes; }

 private:
  std::string _work;
  std::set<std::string> _folders;
  std::vector<std::string> _created, _files;
  uint64_t _bytes = 0;
};

// Stored bytes -> the file's bytes: the zlib form (stream, then the length), the engine's
// container ("TMKF", version, length, CRC-32, stream), or as stored.
bool Decode(const std::string& name, std::unique_ptr<uint8_t[]>& stored, uint32_t size,
            std::unique_ptr<uint8_t[]>* out, uint32_t* outSize) {
  uint32_t claimed = 0, skip = 0, trailer = 0;
  if (IsZlibForm(name) && size >= 4) {
    claimed = LoadU32(stored.get() + size - 4);
    trailer = 4;
  } else if (name != "ORVSTART.ORV" && size >= 16 && std::memcmp(stored.get(), "TMKF", 4) == 0) {
    claimed = LoadU32(stored.get() + 8);
    skip = 16;
  } else {
    *out = std::move(stored);
    *outSize = size;
    return true;
  }
  out->reset(new uint8_t[claimed > 0 ? claimed : 1]);
  uLongf produced = claimed;
  if (uncompress(out->get(), &produced, stored.get() + skip, size - skip - trailer) != Z_OK) {
    return false;
  }
  *outSize = static_cast<uint32_t>(produced);
  return true;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// Starts the extracted viewer and waits for it as the launcher does.
double RunViewer(const std::string& work) {
  LARGE_INTEGER started, ended;
  QueryPerformanceCounter(&started);
  const std::string application = work + "\\OrvaneViewer.exe";
  char commandLine[] = "OrvaneViewer.exe ORVStart.orv";
  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info;
  SetCurrentDirectoryA(work.c_str());
  if (CreateProcessA(application.c_str(), commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &info)) {
    DWORD code = STILL_ACTIVE;
    while (GetExitCodeProcess(info.hProcess, &code) && code == STILL_ACTIVE) Sleep(1000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  QueryPerformanceCounter(&ended);
  const size_t slash = work.find_last_of('\\');
  SetCurrentDirectoryA(work.substr(0, slash + 1).c_str());
  return Milliseconds(started, ended);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_floor PACKAGE.exe\n");
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<Entry> entries;
  uint64_t itemsStart = 0;
  if (file == INVALID_HANDLE_VALUE || !ReadIndex(file, &entries, &itemsStart) ||
      !Seek(file, itemsStart)) {
    std::fprintf(stderr, "bench_floor: cannot read the package %s\n", argv[1]);
    return 1;
  }
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string work;
  for (int n = 0; n < 1000; ++n) {
    work = std::string(temp) + "OrvaneFloor" + std::to_string(n);
    if (CreateDirectoryA(work.c_str(), nullptr)) break;
  }
  Extractor extractor(work);
  bool ok = true;
  bool viewer = false;
  for (const Entry& entry : entries) {
    std::unique_ptr<uint8_t[]> stored(new uint8_t[entry.size > 0 ? entry.size : 1]);
    if (!ReadExactly(file, stored.get(), entry.size)) {
      ok = false;
      break;
    }
    if (!IsFileName(entry)) continue;
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;
    ok = Decode(entry.name, stored, entry.size, &bytes, &size) &&
         extractor.Write(entry.name, bytes.get(), size) && ok;
    viewer = viewer || entry.name == kViewer;
  }
  CloseHandle(file);
  const double viewerMs = viewer ? RunViewer(work) : 0.0;
  extractor.RemoveAll();
  std::printf("floor_viewer_ms=%.1f floor_files=%zu floor_bytes=%llu\n", viewerMs,
              extractor.Files(), static_cast<unsigned long long>(extractor.Bytes()));
  return ok ? 0 : 1;
}
