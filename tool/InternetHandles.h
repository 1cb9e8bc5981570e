#pragma once
// Owners for WinHTTP and WinINet handles. Both are HINTERNET (void*) but are closed by different
// functions, so they are different types. This header includes neither winhttp.h nor wininet.h:
// the two platform headers cannot be included together.
#include "UniqueHandle.h"

struct WinHttpHandleTraits {
    using type = void*;
    static type None() { return nullptr; }
    static void Close(type h); // WinHttpCloseHandle
};
struct WinInetHandleTraits {
    using type = void*;
    static type None() { return nullptr; }
    static void Close(type h); // InternetCloseHandle
};

using WinHttpHandle = UniqueHandle<WinHttpHandleTraits>;
using WinInetHandle = UniqueHandle<WinInetHandleTraits>;
