// Parses driver scripts and matches their window criteria.
#include "Script.h"

#include <algorithm>
#include <cctype>

namespace {

const char* const kActionKinds[] = {"click", "command", "set_text", "key",
                                    "close", "alt_f4",  "sleep",    "screenshot"};

bool ParseAction(const json::Value& v, Action* out, std::string* error) {
  out->kind = v.Str("do");
  if (std::find(std::begin(kActionKinds), std::end(kActionKinds), out->kind) ==
      std::end(kActionKinds)) {
    *error = "unknown action \"" + out->kind + "\"";
    return false;
  }
  out->id = static_cast<int>(v.Int("id", -1));
  out->ms = static_cast<int>(v.Int("ms", 0));
  if (out->kind == "click") out->text = v.Str("text");
  if (out->kind == "set_text") out->text = v.Str("text");
  if (out->kind == "key") out->text = v.Str("key");
  if (out->kind == "screenshot") out->text = v.Str("file");
  if ((out->kind == "click" && out->id < 0 && out->text.empty()) ||
      (out->kind == "command" && out->id < 0) || (out->kind == "set_text" && !v.Has("text")) ||
      (out->kind == "key" && out->text != "enter" && out->text != "esc") ||
      (out->kind == "screenshot" && out->text.empty())) {
    *error = "incomplete action \"" + out->kind + "\"";
    return false;
  }
  return true;
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool ParseScript(const json::Value& doc, Script* out, std::string* error) {
  if (doc.kind != json::Value::Kind::kObject) {
    *error = "script must be an object";
    return false;
  }
  out->defaultMessageBox = doc.Str("default_message_box", "enter");
  if (out->defaultMessageBox != "enter" && out->defaultMessageBox != "leave") {
    *error = "default_message_box must be enter or leave";
    return false;
  }
  for (const auto& s : doc["steps"].items) {
    Step step;
    const json::Value& w = s["window"];
    step.match.caption = w.Str("caption");
    step.match.captionContains = w.Str("caption_contains");
    step.match.text = w.Str("text");
    step.match.staticContains = w.Str("static_contains");
    step.match.className = w.Str("class");
    step.match.process = w.Str("process");
    step.match.any = w.IsNull();
    step.delayMs = static_cast<int>(s.Int("delay_ms", 0));
    for (const auto& a : s["actions"].items) {
      step.actions.emplace_back();
      if (!ParseAction(a, &step.actions.back(), error)) return false;
    }
    out->steps.push_back(std::move(step));
  }
  return true;
}

bool Matches(const WindowMatch& m, const WindowInfo& w, const std::string& processRole,
             const std::string& exe) {
  if (!m.caption.empty() && w.caption != m.caption) return false;
  if (!m.captionContains.empty() && w.caption.find(m.captionContains) == std::string::npos) {
    return false;
  }
  if (!m.text.empty() && w.text != m.text) return false;
  if (!m.className.empty() && w.className != m.className) return false;
  if (!m.process.empty() && m.process != processRole && Lower(m.process) != Lower(exe)) {
    return false;
  }
  if (!m.staticContains.empty()) {
    bool found = false;
    for (const auto& c : w.controls) {
      if (c.role == "static" && c.text.find(m.staticContains) != std::string::npos) found = true;
    }
    if (!found) return false;
  }
  return true;
}
