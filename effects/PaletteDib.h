// The packed palette bitmap as GDI sees it: the block of CPackedDib plus a
// DIB section and a memory device context made on the first draw and kept
// until the bitmap is made again, so that a texture painted many times costs
// one row copy and one blit per paint.
#pragma once
#include "effects/PackedDib.h"
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <memory>
#include <optional>

namespace effects {

class CPaletteDib : public CPackedDib {
public:
    CPaletteDib() = default;
    ~CPaletteDib() override;

    // Copies the pixels (and the colour table) into the cached section and
    // blits it at (x, y) at its own size.
    void Draw(HDC dc, int x, int y);

protected:
    void ContentChanging() override;

private:
    void ReleaseCache();

    // Released from the bottom: the selection before the section, the
    // section before the DC.
    std::unique_ptr<tk::MemoryDC> m_memDC;
    tk::Bitmap m_section;
    void* m_sectionBits = nullptr;
    std::optional<tk::ScopedSelect> m_select;
};

} // namespace effects
