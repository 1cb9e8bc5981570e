// Owners of the platform handles the helpers use.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace qvsys {

// Kernel handles; Invalid is the value that means "none" for the call that made the handle.
template <HANDLE (*Invalid)()>
class UniqueKernelHandle {
 public:
  UniqueKernelHandle() = default;
  explicit UniqueKernelHandle(HANDLE handle) : handle_(handle) {}
  UniqueKernelHandle(UniqueKernelHandle&& other) noexcept : handle_(std::exchange(other.handle_, Invalid())) {}
  UniqueKernelHandle& operator=(UniqueKernelHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  UniqueKernelHandle(const UniqueKernelHandle&) = delete;
  UniqueKernelHandle& operator=(const UniqueKernelHandle&) = delete;
  ~UniqueKernelHandle() { reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != Invalid() && handle_ != nullptr; }
  // Closes the handle now, for a caller that must reopen the object.
  void reset() {
    if (*this) CloseHandle(std::exchange(handle_, Invalid()));
  }

 private:
  HANDLE handle_ = Invalid();
};

inline HANDLE NullHandle() { return nullptr; }
inline HANDLE InvalidHandleValue() { return INVALID_HANDLE_VALUE; }

using UniqueFile = UniqueKernelHandle<InvalidHandleValue>;      // CreateFileW, CreateToolhelp32Snapshot
using UniqueObject = UniqueKernelHandle<NullHandle>;  // processes, threads, tokens

class UniqueRegKey {
 public:
  UniqueRegKey() = default;
  UniqueRegKey(const UniqueRegKey&) = delete;
  UniqueRegKey& operator=(const UniqueRegKey&) = delete;
  ~UniqueRegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* put() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// A COM interface pointer holding one reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  void reset() {
    if (ptr_ != nullptr) std::exchange(ptr_, nullptr)->Release();
  }
  // For the out argument of a creating call; drops the interface held before.
  void** put_void() {
    reset();
    return reinterpret_cast<void**>(&ptr_);
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace qvsys
