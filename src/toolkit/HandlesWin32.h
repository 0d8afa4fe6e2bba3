// RAII holders for Win32 handles and a one-line check that turns a failed call into an error.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <utility>

// Owns a kernel handle; INVALID_HANDLE_VALUE and NULL both mean "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(h_, nullptr); }
    void Reset(HANDLE h = nullptr)
    {
        if (Valid())
            CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

// Owns a GDI object (bitmap, font, brush).
template <typename T>
class UniqueGdi {
public:
    UniqueGdi() = default;
    explicit UniqueGdi(T h) : h_(h) {}
    UniqueGdi(UniqueGdi&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueGdi& operator=(UniqueGdi&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    UniqueGdi(const UniqueGdi&) = delete;
    UniqueGdi& operator=(const UniqueGdi&) = delete;
    ~UniqueGdi() { Reset(); }

    T Get() const { return h_; }
    void Reset(T h = nullptr)
    {
        if (h_)
            DeleteObject(h_);
        h_ = h;
    }

private:
    T h_ = nullptr;
};

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

// A font of the given face whose characters are pixelHeight pixels high.
UniqueGdi<HFONT> MakeFont(int pixelHeight, int weight, const char* face);

// The system's text for an error code, without the trailing line break.
std::string SystemErrorText(DWORD code);

// Between the program's 8-bit text (the platform's code page) and UTF-16.
std::string NarrowText(const wchar_t* text);
std::wstring WideText(const std::string& text);
// The program's 8-bit text as UTF-8, for files read by tools outside Windows.
std::string Utf8Text(const std::string& text);

// A window's text, as GetWindowText gives it (for our own windows: their WM_GETTEXT answer).
std::string WindowText(HWND hwnd);

// Throws std::runtime_error naming the call and the system's reason when ok is false.
void CheckWin32(bool ok, const char* what);
