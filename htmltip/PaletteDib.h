// The packed palette bitmap as GDI sees it: the block of CPackedDib plus a
// DIB section and a memory device context made on the first draw and kept
// until the bitmap is made again, so that a texture painted many times costs
// one row copy and one blit per paint.
#pragma once
#include "htmltip/PackedDib.h"
#include "toolkit/Win.h"

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

    HBITMAP m_section = nullptr;
    void* m_sectionBits = nullptr;
    HDC m_memDC = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
};

} // namespace effects
