// Small owners for the handles the program makes: each releases exactly what
// it owns, once, when it goes out of scope, so every drawing and file path
// frees its GDI objects, device contexts and kernel handles on every return.
#pragma once
#include "toolkit/Win.h"
#include <cstddef>
#include <cstdint>
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

// A module from LoadLibrary/LoadLibraryEx, freed with FreeLibrary.
class Library {
public:
    Library() = default;
    explicit Library(HMODULE h) : m_h(h) {}
    ~Library() { Reset(); }
    Library(Library&& o) noexcept : m_h(o.Release()) {}
    Library& operator=(Library&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    HMODULE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HMODULE Release() { HMODULE h = m_h; m_h = nullptr; return h; }
    void Reset(HMODULE h = nullptr) { if (m_h) ::FreeLibrary(m_h); m_h = h; }
    // The address of an export, or null.
    template <class Fn>
    Fn Proc(const char* name) const {
        return m_h ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_h, name))) : nullptr;
    }
private:
    HMODULE m_h = nullptr;
};

// An image list from ImageList_Create, destroyed with ImageList_Destroy.
class ImageList {
public:
    ImageList() = default;
    explicit ImageList(HIMAGELIST h) : m_h(h) {}
    ~ImageList() { Reset(); }
    ImageList(ImageList&& o) noexcept : m_h(o.Release()) {}
    ImageList& operator=(ImageList&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    ImageList(const ImageList&) = delete;
    ImageList& operator=(const ImageList&) = delete;
    HIMAGELIST Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HIMAGELIST Release() { HIMAGELIST h = m_h; m_h = nullptr; return h; }
    void Reset(HIMAGELIST h = nullptr) { if (m_h) ::ImageList_Destroy(m_h); m_h = h; }
private:
    HIMAGELIST m_h = nullptr;
};

// Cursors made by LoadImage/CreateCursor (not shared ones).
class Cursor {
public:
    Cursor() = default;
    explicit Cursor(HCURSOR h) : m_h(h) {}
    ~Cursor() { Reset(); }
    Cursor(Cursor&& o) noexcept : m_h(o.Release()) {}
    Cursor& operator=(Cursor&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    HCURSOR Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HCURSOR Release() { HCURSOR h = m_h; m_h = nullptr; return h; }
    void Reset(HCURSOR h = nullptr) { if (m_h) ::DestroyCursor(m_h); m_h = h; }
private:
    HCURSOR m_h = nullptr;
};

// An open registry key, closed with RegCloseKey.
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY h) : m_h(h) {}
    ~RegKey() { Reset(); }
    RegKey(RegKey&& o) noexcept : m_h(o.Release()) {}
    RegKey& operator=(RegKey&& o) noexcept { if (this != &o) Reset(o.Release()); return *this; }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY Get() const { return m_h; }
    // For out-parameters: closes what is held and hands out the slot.
    HKEY* Put() { Reset(); return &m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HKEY Release() { HKEY h = m_h; m_h = nullptr; return h; }
    void Reset(HKEY h = nullptr) { if (m_h) ::RegCloseKey(m_h); m_h = h; }
private:
    HKEY m_h = nullptr;
};

// The header of a 32-bit BI_RGB bitmap (four bytes a pixel, rows packed),
// top-down unless asked otherwise: for DIB sections, GetDIBits and
// SetDIBitsToDevice alike.
inline BITMAPINFO Bitmap32Info(int width, int height, bool topDown = true) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = topDown ? -height : height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A 32-bit DIB section (BI_RGB, four bytes a pixel, rows packed) and its
// bits. Top-down unless asked otherwise; on failure it holds nothing and
// Bits() is null. Release() hands the bitmap over and forgets the bits.
class DibSection32 {
public:
    DibSection32() = default;
    DibSection32(int width, int height, bool topDown = true, HDC reference = nullptr) {
        if (width <= 0 || height <= 0) return;
        const BITMAPINFO info = Bitmap32Info(width, height, topDown);
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap && !bits) { ::DeleteObject(bitmap); bitmap = nullptr; }
        if (!bitmap) return;
        m_bitmap.Reset(bitmap);
        m_bits = static_cast<std::uint32_t*>(bits);
        m_w = width;
        m_h = height;
    }
    DibSection32(DibSection32&& o) noexcept { *this = std::move(o); }
    DibSection32& operator=(DibSection32&& o) noexcept {
        if (this != &o) {
            m_bitmap = std::move(o.m_bitmap);
            m_bits = std::exchange(o.m_bits, nullptr);
            m_w = std::exchange(o.m_w, 0);
            m_h = std::exchange(o.m_h, 0);
        }
        return *this;
    }
    DibSection32(const DibSection32&) = delete;
    DibSection32& operator=(const DibSection32&) = delete;

    HBITMAP Get() const { return m_bitmap.Get(); }
    explicit operator bool() const { return m_bits != nullptr; }
    std::uint32_t* Bits() const { return m_bits; }
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    std::size_t PixelCount() const { return static_cast<std::size_t>(m_w) * static_cast<std::size_t>(m_h); }
    HBITMAP Release() {
        m_bits = nullptr;
        m_w = m_h = 0;
        return m_bitmap.Release();
    }
private:
    Bitmap m_bitmap;
    std::uint32_t* m_bits = nullptr;
    int m_w = 0, m_h = 0;
};

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
