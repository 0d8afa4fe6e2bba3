// RAII holders for Win32 handles.
#pragma once

#include "toolkit/Handles.h"

#include <windows.h>

// A kernel handle: INVALID_HANDLE_VALUE and NULL both mean "none".
struct KernelHandleTraits {
    using Type = HANDLE;
    static constexpr HANDLE kNone = nullptr;
    static bool Holds(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Free(HANDLE h) { CloseHandle(h); }
};

using UniqueHandle = UniqueHandleOf<KernelHandleTraits>;
// A GDI object (bitmap, font, brush).
template <typename T>
using UniqueGdi = UniqueHandleOf<FreedBy<T, DeleteObject>>;
// A menu made with CreateMenu or CreatePopupMenu.
using UniqueMenu = UniqueHandleOf<FreedBy<HMENU, DestroyMenu>>;
// An icon made with LoadImage or CreateIcon (not a shared one).
using UniqueIcon = UniqueHandleOf<FreedBy<HICON, DestroyIcon>>;
// A keyboard shortcut table made with CreateAcceleratorTable.
using UniqueAccelerators = UniqueHandleOf<FreedBy<HACCEL, DestroyAcceleratorTable>>;

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
