// uidriver: starts a program, records every window of its process tree, answers them from a
// script and writes a JSON log. See Usage() for the command line.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Actions.h"
#include "Json.h"
#include "ProcessTree.h"
#include "Script.h"
#include "WinUtil.h"
#include "WindowProbe.h"

namespace {

constexpr DWORD kPollMs = 25;
constexpr DWORD kSettleMs = 80;      // lets a new window finish WM_INITDIALOG and paint
constexpr DWORD kPaintWaitMs = 600;  // upper bound for an icon to appear on the screen
constexpr DWORD kGoneWaitMs = 1500;  // how long a closing action may take to take effect
constexpr DWORD kDefaultTimeoutMs = 30000;

struct Options {
  std::string script, log, shotDir, cwd;
  DWORD timeoutMs = kDefaultTimeoutMs;
  bool waitChildren = false;
  std::vector<std::string> command;
};

// One window of the process tree, from its first sighting.
struct Seen {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  DWORD firstSeenMs = 0;
  std::string className, caption;
  RECT rect{};
  bool visible = false;   // became visible at some point
  bool vanished = false;  // destroyed while it settled, never recorded
  int seq = -1;           // index among visible windows
  WindowInfo info;        // probed when it became visible
  DWORD visibleMs = 0;
  DWORD answeredMs = 0;  // last closing action sent, 0 if none
  std::vector<std::string> answeredBy;
  int lastProgress = -1;
};

struct StepRecord {
  std::string status = "pending";  // pending, done, failed
  int windowSeq = -1;
  DWORD startMs = 0, doneMs = 0;
  std::vector<std::pair<std::string, std::string>> actions;  // kind, detail
  bool windowClosed = false;
};

void Usage() {
  std::fprintf(stderr,
               "usage: uidriver --script S.json --log L.json [--timeout-ms N] "
               "[--screenshot-dir D] [--cwd DIR] [--wait-children] -- program.exe [args...]\n");
}

bool ParseArgs(int argc, char** argv, Options* o) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--") break;
    if (a == "--wait-children") {
      o->waitChildren = true;
      continue;
    }
    if (i + 1 >= argc) return false;
    std::string v = argv[++i];
    if (a == "--script")
      o->script = v;
    else if (a == "--log")
      o->log = v;
    else if (a == "--timeout-ms")
      o->timeoutMs = static_cast<DWORD>(std::stoul(v));
    else if (a == "--screenshot-dir")
      o->shotDir = v;
    else if (a == "--cwd")
      o->cwd = v;
    else
      return false;
  }
  for (++i; i < argc; ++i) o->command.push_back(argv[i]);
  return !o->log.empty() && !o->command.empty();
}

// Quotes one argument the way the C runtime splits command lines.
std::string QuoteArg(const std::string& arg, bool always) {
  if (!always && !arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

std::string CommandLine(const std::vector<std::string>& command) {
  // The program path is always quoted, as Explorer does when a user double-clicks it.
  std::string line = QuoteArg(command[0], true);
  for (size_t i = 1; i < command.size(); ++i) line += " " + QuoteArg(command[i], false);
  return line;
}

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *out = ss.str();
  return true;
}

std::string DirOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

class Driver {
 public:
  Driver(Options options, Script script) : _o(std::move(options)), _script(std::move(script)) {
    _steps.resize(_script.steps.size());
    if (_o.shotDir.empty()) _o.shotDir = DirOf(_o.log);
  }

  void Run() {
    _start = GetTickCount();
    _commandLine = CommandLine(_o.command);
    if (!_tree.Start(_commandLine, _o.cwd, &_startError)) return;
    for (;;) {
      Poll();
      if (_tree.MainEnded() && (!_o.waitChildren || _tree.AllEnded())) {
        Poll();  // windows of children that outlive the main process
        break;
      }
      if (Now() >= _o.timeoutMs) {
        _timedOut = true;
        Poll();
        _tree.KillAll();
        break;
      }
      Sleep(kPollMs);
    }
    _exitCode = _tree.MainExitCode();
  }

  std::string Log() const;

 private:
  DWORD Now() const { return GetTickCount() - _start; }

  std::string RoleOf(DWORD pid) const {
    const TrackedProcess* p = _tree.Find(pid);
    return p && p->main ? "main" : "child";
  }
  std::string ExeOf(DWORD pid) const {
    const TrackedProcess* p = _tree.Find(pid);
    return p ? p->exe : std::string();
  }

  static BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
  }

  void Poll() {
    _tree.Refresh();
    std::vector<HWND> all;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
    for (HWND h : all) {
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      if (_tree.Tracks(pid)) Observe(h, pid);
    }
    for (auto& s : _seen) {
      if (s.visible && IsWindow(s.hwnd)) {
        RefreshProgress(&s.info);
      }
    }
    AdvanceSteps();
    ApplyDefaults();
  }

  Seen* Lookup(HWND h) {
    auto it = _index.find(h);
    return it == _index.end() ? nullptr : &_seen[it->second];
  }

  void Observe(HWND h, DWORD pid) {
    Seen* s = Lookup(h);
    if (!s) {
      Seen fresh;
      fresh.hwnd = h;
      fresh.pid = pid;
      fresh.firstSeenMs = Now();
      fresh.className = win::ClassName(h);
      fresh.caption = win::StoredText(h);
      GetWindowRect(h, &fresh.rect);
      _index[h] = _seen.size();
      _seen.push_back(fresh);
      s = &_seen.back();
    }
    if (s->visible || s->vanished || !IsWindowVisible(h)) return;
    Sleep(kSettleMs);
    WindowInfo info = ProbeWindow(h);
    // Gone before it settled (the progress window of a quick job): nothing anyone could see
    // or answer, and nothing left to describe.
    if (!IsWindow(h)) {
      s->vanished = true;
      return;
    }
    s->visible = true;
    s->visibleMs = Now();
    s->seq = _visibleCount++;
    s->info = std::move(info);
    if (s->info.messageBox || s->info.dialog) s->info.icon = WaitForIcon(s->info);
  }

  // An icon is painted shortly after the box shows; until then its pixels say "unknown".
  std::string WaitForIcon(const WindowInfo& info) {
    DWORD until = Now() + kPaintWaitMs;
    std::string icon = ClassifyIcon(info);
    while (icon == "unknown" && Now() < until) {
      Sleep(kPollMs);
      icon = ClassifyIcon(info);
    }
    return icon;
  }

  bool Available(const Seen& s) const {
    return s.visible && IsWindow(s.hwnd) && IsWindowVisible(s.hwnd) && IsWindowEnabled(s.hwnd) &&
           (s.answeredMs == 0 || Now() - s.answeredMs > kGoneWaitMs);
  }

  Seen* MatchFor(const Step& step) {
    Seen* best = nullptr;
    for (auto& s : _seen) {
      if (!Available(s) || !Matches(step.match, s.info, RoleOf(s.pid), ExeOf(s.pid))) continue;
      if (!best || s.seq < best->seq) best = &s;
    }
    return best;
  }

  void AdvanceSteps() {
    while (_next < _script.steps.size()) {
      const Step& step = _script.steps[_next];
      StepRecord& rec = _steps[_next];
      if (rec.startMs == 0) rec.startMs = Now();
      Seen* target = step.match.any ? nullptr : MatchFor(step);
      if (!step.match.any && !target) return;
      RunStep(step, &rec, target);
      ++_next;
    }
  }

  void RunStep(const Step& step, StepRecord* rec, Seen* target) {
    if (step.delayMs > 0) Sleep(step.delayMs);
    if (target) {
      // Texts may have changed since the window was first recorded (an edit box typed into).
      rec->windowSeq = target->seq;
    }
    bool ok = true, closing = false;
    for (const auto& a : step.actions) {
      std::string detail;
      WindowInfo fresh;
      if (target) fresh = ProbeWindow(target->hwnd);
      bool done = PerformAction(a, target ? &fresh : nullptr, _o.shotDir, &detail);
      rec->actions.emplace_back(a.kind, (done ? "" : "FAILED: ") + detail);
      if (!done) {
        ok = false;
        break;
      }
      closing = closing || IsClosingAction(a);
    }
    rec->status = ok ? "done" : "failed";
    rec->doneMs = Now();
    if (target && closing) {
      target->answeredBy.push_back("step " + std::to_string(&step - _script.steps.data()));
      target->answeredMs = Now();
      rec->windowClosed = WaitGone(target->hwnd);
    }
  }

  bool WaitGone(HWND h) {
    DWORD until = Now() + kGoneWaitMs;
    while (Now() < until) {
      if (!IsWindow(h) || !IsWindowVisible(h) || !IsWindowEnabled(h)) return true;
      Sleep(10);
    }
    return false;
  }

  bool WantedByCurrentStep(const Seen& s) const {
    if (_next >= _script.steps.size()) return false;
    const Step& step = _script.steps[_next];
    return !step.match.any && Matches(step.match, s.info, RoleOf(s.pid), ExeOf(s.pid));
  }

  void ApplyDefaults() {
    if (_script.defaultMessageBox != "enter") return;
    for (auto& s : _seen) {
      if (!s.info.messageBox || !Available(s) || WantedByCurrentStep(s)) continue;
      Action enter;
      enter.kind = "key";
      enter.text = "enter";
      std::string detail;
      PerformAction(enter, &s.info, _o.shotDir, &detail);
      s.answeredBy.push_back("default: enter");
      s.answeredMs = Now();
      WaitGone(s.hwnd);
    }
  }

  void WriteWindow(json::Writer& w, const Seen& s) const;
  void WriteControls(json::Writer& w, const WindowInfo& info) const;

  Options _o;
  Script _script;
  ProcessTree _tree;
  std::vector<Seen> _seen;
  std::map<HWND, size_t> _index;
  std::vector<StepRecord> _steps;
  size_t _next = 0;
  int _visibleCount = 0;
  DWORD _start = 0;
  bool _timedOut = false;
  DWORD _exitCode = 0;
  std::string _commandLine, _startError;
};

std::string HandleText(HWND h) {
  return win::Hex(reinterpret_cast<uintptr_t>(h));
}

void WriteRect(json::Writer& w, const RECT& r) {
  w.Key("rect");
  w.BeginArray();
  w.Number(r.left), w.Number(r.top), w.Number(r.right), w.Number(r.bottom);
  w.EndArray();
}

void Driver::WriteControls(json::Writer& w, const WindowInfo& info) const {
  w.Key("controls");
  w.BeginArray();
  for (const auto& c : info.controls) {
    w.BeginObject();
    w.Field("class", c.className);
    w.Field("id", c.id);
    w.Field("text", c.text);
    w.Field("style", win::Hex(c.style));
    w.Field("role", c.role);
    WriteRect(w, c.rect);
    w.FieldBool("visible", c.visible);
    w.FieldBool("enabled", c.enabled);
    if (c.role == "button") w.FieldBool("default", c.isDefault);
    if (c.role == "progress") {
      w.Field("pos", c.pos);
      w.Field("range_low", c.rangeLow);
      w.Field("range_high", c.rangeHigh);
    }
    w.EndObject();
  }
  w.EndArray();
  auto texts = [&](const char* key, const char* role) {
    w.Key(key);
    w.BeginArray();
    for (const auto& c : info.controls) {
      if (c.role == role && c.visible && c.id != 0xFFFF) w.String(c.text);
    }
    w.EndArray();
  };
  texts("statics", "static");
  texts("edits", "edit");
  w.Key("buttons");
  w.BeginArray();
  for (const auto& c : info.controls) {
    if (c.role != "button" || !c.visible) continue;
    w.BeginObject();
    w.Field("text", c.text);
    w.Field("id", c.id);
    w.FieldBool("default", c.isDefault);
    w.FieldBool("enabled", c.enabled);
    w.EndObject();
  }
  w.EndArray();
}

void Driver::WriteWindow(json::Writer& w, const Seen& s) const {
  const WindowInfo& info = s.info;
  w.BeginObject();
  w.Field("seq", s.seq);
  w.Field("t_ms", static_cast<long long>(s.visibleMs));
  w.Field("process", RoleOf(s.pid));
  w.Field("exe", ExeOf(s.pid));
  w.Field("pid", static_cast<long long>(s.pid));
  w.Field("hwnd", HandleText(s.hwnd));
  w.Field("class", info.className);
  w.Field("caption", info.caption);
  w.Field("kind", info.messageBox ? "message_box" : info.dialog ? "dialog" : "window");
  w.Field("style", win::Hex(info.style));
  w.FieldBool("busy", info.busy);
  WriteRect(w, info.rect);
  w.Field("owner", info.owner ? HandleText(info.owner) : "");
  w.Field("owner_class", info.ownerClass);
  if (info.messageBox) w.Field("text", info.text);
  if (info.dialog) {
    w.Field("icon", info.icon);
    WriteControls(w, info);
  }
  w.Key("answered_by");
  w.BeginArray();
  for (const auto& a : s.answeredBy) w.String(a);
  w.EndArray();
  w.EndObject();
}

std::string Driver::Log() const {
  json::Writer w;
  w.BeginObject();
  w.Field("command_line", _commandLine);
  w.Field("cwd", _o.cwd);
  w.Field("start_error", _startError);
  w.Key("default_policy");
  w.BeginObject();
  w.Field("message_box", _script.defaultMessageBox == "enter"
                             ? "press Enter (default button) unless the current step matches it"
                             : "leave");
  w.Field("dialog", "leave alone (the timeout ends the run)");
  w.Field("other_window", "leave alone");
  w.EndObject();
  w.FieldBool("timeout", _timedOut);
  w.Field("timeout_ms", static_cast<long long>(_o.timeoutMs));
  w.Field("elapsed_ms", static_cast<long long>(GetTickCount() - _start));
  w.Field("exit_code", static_cast<long long>(_exitCode));
  w.Field("exit_code_hex", win::Hex(_exitCode));
  w.Key("processes");
  w.BeginArray();
  for (const auto& p : _tree.Processes()) {
    w.BeginObject();
    w.Field("pid", static_cast<long long>(p.pid));
    w.Field("parent", static_cast<long long>(p.parentPid));
    w.Field("exe", p.exe);
    w.Field("role", p.main ? "main" : "child");
    w.EndObject();
  }
  w.EndArray();
  w.Key("windows");
  w.BeginArray();
  std::vector<const Seen*> visible(_visibleCount, nullptr);
  for (const auto& s : _seen) {
    if (s.visible) visible[s.seq] = &s;
  }
  for (const Seen* s : visible) WriteWindow(w, *s);
  w.EndArray();
  w.Key("hidden_windows");
  w.BeginArray();
  for (const auto& s : _seen) {
    if (s.visible) continue;
    w.BeginObject();
    w.Field("t_ms", static_cast<long long>(s.firstSeenMs));
    w.Field("process", RoleOf(s.pid));
    w.Field("exe", ExeOf(s.pid));
    w.Field("hwnd", HandleText(s.hwnd));
    w.Field("class", s.className);
    w.Field("caption", s.caption);
    WriteRect(w, s.rect);
    w.Field("width", static_cast<long long>(s.rect.right - s.rect.left));
    w.Field("height", static_cast<long long>(s.rect.bottom - s.rect.top));
    w.EndObject();
  }
  w.EndArray();
  w.Key("steps");
  w.BeginArray();
  for (size_t i = 0; i < _steps.size(); ++i) {
    const StepRecord& r = _steps[i];
    w.BeginObject();
    w.Field("index", static_cast<long long>(i));
    w.Field("status", r.status);
    w.Field("window_seq", r.windowSeq);
    w.Field("wait_start_ms", static_cast<long long>(r.startMs));
    w.Field("done_ms", static_cast<long long>(r.doneMs));
    w.FieldBool("window_closed", r.windowClosed);
    w.Key("actions");
    w.BeginArray();
    for (const auto& [kind, detail] : r.actions) {
      w.BeginObject();
      w.Field("do", kind);
      w.Field("detail", detail);
      w.EndObject();
    }
    w.EndArray();
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  return w.Output();
}

bool LoadScript(const std::string& path, Script* script, std::string* error) {
  if (path.empty()) return true;
  std::string text;
  if (!ReadFile(path, &text)) {
    *error = "cannot read " + path;
    return false;
  }
  json::Value doc;
  return json::Parse(text, &doc, error) && ParseScript(doc, script, error);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, &options)) {
    Usage();
    return 2;
  }
  Script script;
  std::string error;
  if (!LoadScript(options.script, &script, &error)) {
    std::fprintf(stderr, "uidriver: bad script: %s\n", error.c_str());
    return 2;
  }
  std::string logPath = options.log;
  Driver driver(std::move(options), std::move(script));
  driver.Run();
  std::ofstream out(logPath, std::ios::binary);
  out << driver.Log();
  out.close();
  if (!out) {
    std::fprintf(stderr, "uidriver: cannot write %s\n", logPath.c_str());
    return 3;
  }
  return 0;
}
