// The modeless progress dialog of the installation modes.
#pragma once

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
};
