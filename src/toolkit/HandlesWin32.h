// RAII holders for Win32 handles.
#pragma once

#include <windows.h>

#include <utility>

// Owns one handle of any kind the platform hands out and frees it at the end; Traits names the
// handle type, which values mean "none" and the call that frees it. The empty value is Type{}.
template <typename Traits>
class UniqueWin32Handle {
public:
    using Type = typename Traits::Type;

    UniqueWin32Handle() = default;
    explicit UniqueWin32Handle(Type h) : h_(h) {}
    UniqueWin32Handle(UniqueWin32Handle&& other) noexcept : h_(std::exchange(other.h_, Type{})) {}
    UniqueWin32Handle& operator=(UniqueWin32Handle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.h_, Type{}));
        return *this;
    }
    UniqueWin32Handle(const UniqueWin32Handle&) = delete;
    UniqueWin32Handle& operator=(const UniqueWin32Handle&) = delete;
    ~UniqueWin32Handle() { Reset(); }

    Type Get() const { return h_; }
    bool Valid() const { return Traits::Holds(h_); }
    explicit operator bool() const { return Valid(); }
    Type Release() { return std::exchange(h_, Type{}); }
    void Reset(Type h = Type{})
    {
        if (Valid())
            Traits::Free(h_);
        h_ = h;
    }
    // For a call that hands out a handle through a pointer: frees the one held, then takes the new.
    Type* Put()
    {
        Reset();
        return &h_;
    }

private:
    Type h_{};
};

// A kernel handle: INVALID_HANDLE_VALUE and NULL both mean "none".
struct KernelHandleTraits {
    using Type = HANDLE;
    static bool Holds(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};

// A handle of type T that the call release frees, with T{} for "none".
template <typename T, auto release>
struct FreedBy {
    using Type = T;
    static bool Holds(T h) { return h != T{}; }
    static void Free(T h) { release(h); }
};

using UniqueHandle = UniqueWin32Handle<KernelHandleTraits>;
// A GDI object (bitmap, font, brush).
template <typename T>
using UniqueGdi = UniqueWin32Handle<FreedBy<T, DeleteObject>>;
// A menu made with CreateMenu or CreatePopupMenu.
using UniqueMenu = UniqueWin32Handle<FreedBy<HMENU, DestroyMenu>>;
// An icon made with LoadImage or CreateIcon (not a shared one).
using UniqueIcon = UniqueWin32Handle<FreedBy<HICON, DestroyIcon>>;
// A keyboard shortcut table made with CreateAcceleratorTable.
using UniqueAccelerators = UniqueWin32Handle<FreedBy<HACCEL, DestroyAcceleratorTable>>;

// A memory device context compatible with reference (nullptr: the screen), with bitmap (if any)
// selected into it; the previous selection is restored and the context freed at the end.
class TMemoryDC {
public:
    explicit TMemoryDC(HDC reference, HBITMAP bitmap = nullptr);
    ~TMemoryDC();
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};
