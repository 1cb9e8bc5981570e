#pragma once
#include <windows.h>

#include "UniqueHandle.h"

struct FileHandleTraits {
    using type = HANDLE;
    static type None() { return INVALID_HANDLE_VALUE; }
    static void Close(type h) { CloseHandle(h); }
};
using FileHandle = UniqueHandle<FileHandleTraits>;
