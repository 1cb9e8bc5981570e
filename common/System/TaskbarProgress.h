// Progress shown on the window's taskbar button. Without the platform's taskbar list every call does nothing.
#pragma once

#include "Handles.h"

#include <windows.h>
#include <shobjidl.h>

class CTaskbarProgress {
 public:
  // Initialises COM on the calling thread; construct it on the window thread.
  CTaskbarProgress();
  ~CTaskbarProgress();
  CTaskbarProgress(const CTaskbarProgress&) = delete;
  CTaskbarProgress& operator=(const CTaskbarProgress&) = delete;

  // Drives window's button and shows it indeterminate (state 1).
  void Attach(HWND window);
  // One of the platform's TBPF values: 0 none, 1 indeterminate, 2 normal, 4 error, 8 paused.
  void SetProgressState(int state);
  void SetProgressValue(ULONGLONG completed, ULONGLONG total);

  bool HasTaskbarList() const { return static_cast<bool>(taskbar_); }

 private:
  bool Create(DWORD context);

  qvsys::ComPtr<ITaskbarList3> taskbar_;
  HWND window_ = nullptr;
  bool com_initialised_ = false;
  DWORD com_thread_ = 0;
};
