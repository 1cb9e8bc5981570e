// Move-only owners for the Win32 handles the framework keeps.
#pragma once

#include <windows.h>

#include <utility>

namespace SkinUI {

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T h) : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::None())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.h_, Traits::None()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::None(); }
    void reset(T h = Traits::None())
    {
        if (h_ != Traits::None())
            Traits::Close(h_);
        h_ = h;
    }
    T release() { return std::exchange(h_, Traits::None()); }

private:
    T h_ = Traits::None();
};

struct FileTraits {
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
template <typename T>
struct GdiTraits {
    static T None() { return nullptr; }
    static void Close(T h) { DeleteObject(h); }
};
struct DcTraits {
    static HDC None() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};

using UniqueFile = UniqueHandle<HANDLE, FileTraits>;
using UniqueFont = UniqueHandle<HFONT, GdiTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiTraits<HBRUSH>>;
using UniquePen = UniqueHandle<HPEN, GdiTraits<HPEN>>;
using UniqueRegion = UniqueHandle<HRGN, GdiTraits<HRGN>>;
using UniqueMemoryDC = UniqueHandle<HDC, DcTraits>;  // from CreateCompatibleDC

// Restores the previous object of a DC.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() { SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Saves the DC state (clip region above all) and restores it.
class DcStateGuard {
public:
    explicit DcStateGuard(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    DcStateGuard(const DcStateGuard&) = delete;
    DcStateGuard& operator=(const DcStateGuard&) = delete;
    ~DcStateGuard() { RestoreDC(dc_, saved_); }

private:
    HDC dc_;
    int saved_;
};

}  // namespace SkinUI
