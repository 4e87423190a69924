// The palette bitmap's cached DIB section.
#include "effects/PaletteDib.h"

#include <cstring>

namespace effects {

CPaletteDib::~CPaletteDib() { ReleaseCache(); }

void CPaletteDib::ContentChanging() { ReleaseCache(); }

void CPaletteDib::ReleaseCache() {
    m_select.reset();
    m_section.Reset();
    m_memDC.reset();
    m_sectionBits = nullptr;
}

void CPaletteDib::Draw(HDC dc, int x, int y) {
    if (Empty() || !dc) return;
    if (!m_section) {
        m_memDC = std::make_unique<tk::MemoryDC>(dc);
        if (!*m_memDC) {
            ReleaseCache();
            return;
        }
        auto* info = reinterpret_cast<const BITMAPINFO*>(Block());
        m_section.Reset(::CreateDIBSection(dc, info, DIB_RGB_COLORS, &m_sectionBits, nullptr, 0));
        if (!m_section || !m_sectionBits) {
            ReleaseCache();
            return;
        }
        m_select.emplace(m_memDC->Get(), m_section.Get());
    }
    ::GdiFlush();
    std::memcpy(m_sectionBits, Bits(), static_cast<size_t>(Stride()) * Height());
    // The palette may have been tinted since the section was made.
    if (PaletteSize() > 0)
        ::SetDIBColorTable(m_memDC->Get(), 0, static_cast<UINT>(PaletteSize()),
                           reinterpret_cast<const RGBQUAD*>(Block() + sizeof(DibHeader)));
    ::BitBlt(dc, x, y, Width(), Height(), m_memDC->Get(), 0, 0, SRCCOPY);
}

} // namespace effects
