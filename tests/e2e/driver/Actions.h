// What the driver does to a window: the user's clicks, typing and keys, as window messages.
#pragma once

#include <string>

#include "Script.h"
#include "WindowProbe.h"

// Performs one action on target (null for actions that need no window). Messages are posted
// where the target could block (a click that starts a long job) so that the driver keeps
// polling. Returns false with *detail set when the action could not be done; on success *detail
// may describe what was done.
bool PerformAction(const Action& action, const WindowInfo* target, const std::string& shotDir,
                   std::string* detail);

// Closing actions end the target window when the program behaves; the driver then waits for it.
bool IsClosingAction(const Action& action);

// Writes the whole screen as a 24-bit bottom-up BMP.
bool SaveScreenshot(const std::string& path, std::string* error);
