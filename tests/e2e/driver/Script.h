// The driver's script: ordered steps, each waiting for a window and then acting on it.
#pragma once

#include <string>
#include <vector>

#include "Json.h"
#include "WindowProbe.h"

struct WindowMatch {
  std::string caption, captionContains, text, staticContains, className, process;
  bool any = false;  // no criteria given: the step acts without a window
};

struct Action {
  std::string kind;  // click, command, set_text, key, close, alt_f4, sleep, screenshot
  std::string text;  // button text (click), new text (set_text), key name, screenshot file
  int id = -1;       // control id (click, command, set_text)
  int ms = 0;        // sleep
};

struct Step {
  WindowMatch match;
  int delayMs = 0;
  std::vector<Action> actions;
};

struct Script {
  std::vector<Step> steps;
  // What an unexpected message box gets: "enter" (its default button) or "leave".
  std::string defaultMessageBox = "enter";
};

// Reads a script document; false with *error describing the first problem.
bool ParseScript(const json::Value& doc, Script* out, std::string* error);
// processRole is "main" or "child"; exe is the process's file name.
bool Matches(const WindowMatch& m, const WindowInfo& w, const std::string& processRole,
             const std::string& exe);
