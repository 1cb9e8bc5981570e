#include "TaskbarProgress.h"

#include <objbase.h>

CTaskbarProgress::CTaskbarProgress() {
  com_initialised_ = SUCCEEDED(CoInitialize(nullptr));
  com_thread_ = GetCurrentThreadId();
  Create(CLSCTX_INPROC_SERVER);
}

CTaskbarProgress::~CTaskbarProgress() {
  taskbar_.reset();
  // COM may only be left on the thread that entered it.
  if (com_initialised_ && GetCurrentThreadId() == com_thread_) CoUninitialize();
}

bool CTaskbarProgress::Create(DWORD context) {
  return SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, context, IID_ITaskbarList3, taskbar_.put_void())) &&
         taskbar_;
}

void CTaskbarProgress::Attach(HWND window) {
  window_ = window;
  if (!taskbar_) Create(CLSCTX_ALL);
  SetProgressState(TBPF_INDETERMINATE);
}

void CTaskbarProgress::SetProgressState(int state) {
  if (taskbar_) taskbar_->SetProgressState(window_, static_cast<TBPFLAG>(state));
}

void CTaskbarProgress::SetProgressValue(ULONGLONG completed, ULONGLONG total) {
  if (taskbar_) taskbar_->SetProgressValue(window_, completed, total);
}
