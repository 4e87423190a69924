// Small owners for the handles the program makes: each releases exactly what
// it owns, once, when it goes out of scope, so every drawing and file path
// frees its GDI objects, device contexts and kernel handles on every return.
#pragma once
#include "toolkit/Win.h"
#include <utility>

namespace tk {

// Kernel handles (files, threads, events). INVALID_HANDLE_VALUE and null both
// mean "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : m_h(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : m_h(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_h; }
    bool Valid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }
    HANDLE Release() { HANDLE h = m_h; m_h = nullptr; return h; }
    void Reset(HANDLE h = nullptr) {
        if (Valid()) ::CloseHandle(m_h);
        m_h = h;
    }
private:
    HANDLE m_h = nullptr;
};

// Any GDI object deleted with DeleteObject (bitmap, brush, pen, font, region).
template <class T>
class GdiObj {
public:
    GdiObj() = default;
    explicit GdiObj(T h) : m_h(h) {}
    ~GdiObj() { Reset(); }
    GdiObj(GdiObj&& o) noexcept : m_h(o.Release()) {}
    GdiObj& operator=(GdiObj&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    GdiObj(const GdiObj&) = delete;
    GdiObj& operator=(const GdiObj&) = delete;

    T Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    T Release() { T h = m_h; m_h = nullptr; return h; }
    void Reset(T h = nullptr) {
        if (m_h) ::DeleteObject(m_h);
        m_h = h;
    }
private:
    T m_h = nullptr;
};
using Bitmap = GdiObj<HBITMAP>;
using Brush = GdiObj<HBRUSH>;
using Pen = GdiObj<HPEN>;
using Font = GdiObj<HFONT>;
using Region = GdiObj<HRGN>;

// Selects an object into a device context and puts the old one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
    ~ScopedSelect() { if (m_dc && m_old) ::SelectObject(m_dc, m_old); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A memory device context compatible with another (or with the screen).
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith = nullptr) : m_dc(::CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() { if (m_dc) ::DeleteDC(m_dc); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }
private:
    HDC m_dc;
};

// The device context of a window (GetDC/ReleaseDC).
class WindowDC {
public:
    explicit WindowDC(HWND wnd) : m_wnd(wnd), m_dc(::GetDC(wnd)) {}
    ~WindowDC() { if (m_dc) ::ReleaseDC(m_wnd, m_dc); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return m_dc; }
private:
    HWND m_wnd;
    HDC m_dc;
};

// BeginPaint/EndPaint for WM_PAINT.
class PaintDC {
public:
    explicit PaintDC(HWND wnd) : m_wnd(wnd) { m_dc = ::BeginPaint(wnd, &m_ps); }
    ~PaintDC() { ::EndPaint(m_wnd, &m_ps); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC Get() const { return m_dc; }
    const PAINTSTRUCT& Info() const { return m_ps; }
private:
    HWND m_wnd;
    HDC m_dc = nullptr;
    PAINTSTRUCT m_ps{};
};

// Icons made by LoadImage/CreateIconIndirect (not shared ones).
class Icon {
public:
    Icon() = default;
    explicit Icon(HICON h) : m_h(h) {}
    ~Icon() { Reset(); }
    Icon(Icon&& o) noexcept : m_h(o.Release()) {}
    Icon& operator=(Icon&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;
    HICON Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HICON Release() { HICON h = m_h; m_h = nullptr; return h; }
    void Reset(HICON h = nullptr) { if (m_h) ::DestroyIcon(m_h); m_h = h; }
private:
    HICON m_h = nullptr;
};

// A COM interface pointer that releases what it holds.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& o) : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
    ComPtr(ComPtr&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    ComPtr& operator=(ComPtr o) noexcept { std::swap(m_p, o.m_p); return *this; }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() { Reset(); return &m_p; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() { if (m_p) { T* p = m_p; m_p = nullptr; p->Release(); } }
    T* Detach() { T* p = m_p; m_p = nullptr; return p; }
    // Takes over a reference the caller already owns.
    void Attach(T* p) { Reset(); m_p = p; }
private:
    T* m_p = nullptr;
};

// CoInitializeEx / CoUninitialize for one thread.
class ComApartment {
public:
    explicit ComApartment(DWORD model) : m_hr(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Result() const { return m_hr; }
private:
    HRESULT m_hr;
};

} // namespace tk
