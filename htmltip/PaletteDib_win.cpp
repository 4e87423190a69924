// The palette bitmap's cached DIB section.
#include "htmltip/PaletteDib.h"

#include <cstring>

namespace effects {

CPaletteDib::~CPaletteDib() { ReleaseCache(); }

void CPaletteDib::ContentChanging() { ReleaseCache(); }

void CPaletteDib::ReleaseCache() {
    if (m_memDC) {
        if (m_oldBitmap) ::SelectObject(m_memDC, m_oldBitmap);
        ::DeleteDC(m_memDC);
    }
    if (m_section) ::DeleteObject(m_section);
    m_memDC = nullptr;
    m_oldBitmap = nullptr;
    m_section = nullptr;
    m_sectionBits = nullptr;
}

void CPaletteDib::Draw(HDC dc, int x, int y) {
    if (Empty() || !dc) return;
    if (!m_section) {
        m_memDC = ::CreateCompatibleDC(dc);
        if (!m_memDC) return;
        auto* info = reinterpret_cast<const BITMAPINFO*>(Block());
        m_section = ::CreateDIBSection(dc, info, DIB_RGB_COLORS, &m_sectionBits, nullptr, 0);
        if (!m_section || !m_sectionBits) {
            ReleaseCache();
            return;
        }
        m_oldBitmap = ::SelectObject(m_memDC, m_section);
    }
    ::GdiFlush();
    std::memcpy(m_sectionBits, Bits(), static_cast<size_t>(Stride()) * Height());
    // The palette may have been tinted since the section was made.
    if (PaletteSize() > 0)
        ::SetDIBColorTable(m_memDC, 0, static_cast<UINT>(PaletteSize()),
                           reinterpret_cast<const RGBQUAD*>(Block() + sizeof(DibHeader)));
    ::BitBlt(dc, x, y, Width(), Height(), m_memDC, 0, 0, SRCCOPY);
}

} // namespace effects
