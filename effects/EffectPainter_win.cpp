// The effect painter's GDI side: it copies pixels between device contexts
// and 32-bit sections and leaves every computation to effects/EffectMath.
#include "effects/EffectPainter.h"

#include "toolkit/Handles.h"

#include <cstring>
#include <optional>
#include <vector>

namespace effects {

namespace {

using Pixels = std::vector<std::uint32_t>;

// A 32-bit bottom-up DIB section selected into its own memory DC.
class Section32 {
public:
    Section32(HDC reference, int width, int height) : m_dc(reference), m_section(width, height, false, reference) {
        if (!m_dc || !m_section) return;
        m_select.emplace(m_dc.Get(), m_section.Get());
        if (::GetCurrentObject(m_dc.Get(), OBJ_BITMAP) != m_section.Get()) m_select.reset();
    }
    Section32(const Section32&) = delete;
    Section32& operator=(const Section32&) = delete;

    bool Ok() const { return m_select.has_value(); }
    HDC Dc() const { return m_dc.Get(); }
    std::size_t Count() const { return m_section.PixelCount(); }
    // The pixels, after GDI has finished drawing into them.
    std::uint32_t* Bits() const {
        ::GdiFlush();
        return m_section.Bits();
    }
    void Fill(std::uint32_t value) const {
        std::uint32_t* p = Bits();
        for (std::size_t i = 0; i < Count(); ++i) p[i] = value;
    }
    void Load(const std::uint32_t* pixels) const { std::memcpy(Bits(), pixels, Count() * 4); }
    // Hands the bitmap over (out of the DC, so it can be selected elsewhere).
    HBITMAP Release() {
        m_select.reset();
        return m_section.Release();
    }

private:
    // Destroyed from the bottom: the selection goes before the section, the
    // section before the DC.
    tk::MemoryDC m_dc;
    tk::DibSection32 m_section;
    std::optional<tk::ScopedSelect> m_select;
};

// The bitmap's pixels scaled to width x height (a plain copy when the size
// already matches). Monochrome bitmaps come out black and white.
bool ReadBitmap(HDC reference, HBITMAP bitmap, int width, int height, Pixels& out) {
    SIZE extent = CEffectPainter::GetBitmapExtent(bitmap);
    if (extent.cx <= 0 || extent.cy <= 0 || width <= 0 || height <= 0) return false;
    Section32 section(reference, width, height);
    tk::MemoryDC src(reference);
    if (!section.Ok() || !src) return false;
    HGDIOBJ old = ::SelectObject(src.Get(), bitmap);
    if (!old) return false;
    BOOL done;
    if (extent.cx == width && extent.cy == height) {
        done = ::BitBlt(section.Dc(), 0, 0, width, height, src.Get(), 0, 0, SRCCOPY);
    } else {
        ::SetStretchBltMode(section.Dc(), COLORONCOLOR);
        done = ::StretchBlt(section.Dc(), 0, 0, width, height, src.Get(), 0, 0, extent.cx, extent.cy, SRCCOPY);
    }
    ::SelectObject(src.Get(), old);
    if (!done) return false;
    const std::uint32_t* p = section.Bits();
    out.assign(p, p + section.Count());
    return true;
}

// A DIB section holding the pixels, for callers that want a bitmap.
HBITMAP MakeBitmap(HDC reference, const Pixels& pixels, int width, int height) {
    Section32 section(reference, width, height);
    if (!section.Ok()) return nullptr;
    section.Load(pixels.data());
    return section.Release();
}

// An icon of a new size: colour and mask each stretched into a bitmap of
// their own planes and depth.
HICON ScaleIcon(HICON icon, int width, int height) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return nullptr;
    tk::Bitmap colour(info.hbmColor), mask(info.hbmMask);
    auto stretch = [&](HBITMAP from) -> HBITMAP {
        BITMAP bm{};
        if (!from || !::GetObjectA(from, sizeof bm, &bm)) return nullptr;
        HBITMAP to = ::CreateBitmap(width, height, bm.bmPlanes, bm.bmBitsPixel, nullptr);
        tk::MemoryDC a(nullptr), b(nullptr);
        if (!to || !a || !b) return to;
        HGDIOBJ oldA = ::SelectObject(a.Get(), from);
        HGDIOBJ oldB = ::SelectObject(b.Get(), to);
        ::SetStretchBltMode(b.Get(), COLORONCOLOR);
        ::StretchBlt(b.Get(), 0, 0, width, height, a.Get(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        ::SelectObject(a.Get(), oldA);
        ::SelectObject(b.Get(), oldB);
        return to;
    };
    tk::Bitmap newColour(stretch(colour.Get())), newMask(stretch(mask.Get()));
    if (!newMask) return nullptr;
    ICONINFO made{TRUE, 0, 0, newMask.Get(), newColour.Get()};
    return ::CreateIconIndirect(&made);
}

int PenStyleFor(int style) {
    switch (PenKindFor(style)) {
    case PenKind::Dash: return PS_DASH;
    case PenKind::Dot: return PS_DOT;
    case PenKind::DashDot: return PS_DASHDOT;
    case PenKind::DashDotDot: return PS_DASHDOTDOT;
    default: return PS_SOLID;
    }
}

constexpr COLORREF kWhite = RGB(255, 255, 255);

} // namespace

CEffectPainter::CEffectPainter(std::uint64_t seed) : m_random(seed) {}

SIZE CEffectPainter::GetIconSize(HICON icon) {
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return SIZE{0, 0};
    tk::Bitmap colour(info.hbmColor), mask(info.hbmMask);
    return SIZE{static_cast<LONG>(info.xHotspot * 2), static_cast<LONG>(info.yHotspot * 2)};
}

SIZE CEffectPainter::GetBitmapExtent(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || !::GetObjectA(bitmap, sizeof bm, &bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

void CEffectPainter::BlendConstant(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                                   int percent) {
    if (!dest || !src || width <= 0 || height <= 0) return;
    if (percent >= 100) {
        ::BitBlt(dest, x, y, width, height, src, srcX, srcY, SRCCOPY);
        return;
    }
    Section32 below(dest, width, height), above(dest, width, height);
    if (!below.Ok() || !above.Ok()) return;
    ::BitBlt(below.Dc(), 0, 0, width, height, dest, x, y, SRCCOPY);
    ::BitBlt(above.Dc(), 0, 0, width, height, src, srcX, srcY, SRCCOPY);
    BlendConstantPixels(below.Bits(), above.Bits(), below.Count(), percent);
    ::BitBlt(dest, x, y, width, height, below.Dc(), 0, 0, SRCCOPY);
}

void CEffectPainter::FillEffect(HDC dc, int effect, const RECT& rect, COLORREF begin, COLORREF middle,
                                COLORREF end, int granularity, int colouring) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (!dc || width <= 0 || height <= 0 || effect == FillTransparent) return;
    if (IsGradientFill(effect)) {
        for (const FillBand& band :
             GradientFillBands(effect, rect.left, rect.top, rect.right, rect.bottom, begin, middle, end)) {
            tk::Brush brush(::CreateSolidBrush(band.colour));
            RECT r{band.left, band.top, band.right, band.bottom};
            if (brush) ::FillRect(dc, &r, brush.Get());
        }
        return;
    }
    if (IsPatternFill(effect) &&
        MakePatternFill(m_work, effect, width, height, begin, middle, end, granularity, colouring, m_random)) {
        m_work.Draw(dc, rect.left, rect.top);
        return;
    }
    // Solid, any unknown effect, and patterns whose formula does not fit the size.
    tk::Brush brush(::CreateSolidBrush(begin));
    if (brush) ::FillRect(dc, &rect, brush.Get());
}

void CEffectPainter::TileBitmap(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                                int tileWidth, int tileHeight) {
    if (!dest || !src) return;
    for (const TileBlit& t : TileBlits(x, y, width, height, tileWidth, tileHeight))
        ::BitBlt(dest, t.x, t.y, t.width, t.height, src, srcX, srcY, SRCCOPY);
}

void CEffectPainter::DrawPixels(HDC dc, int x, int y, int width, int height, const std::uint32_t* image,
                                const std::uint32_t* mask) {
    if (m_hasAlpha) {
        Section32 below(dc, width, height);
        if (!below.Ok()) return;
        ::BitBlt(below.Dc(), 0, 0, width, height, dc, x, y, SRCCOPY);
        BlendPerPixelAlpha(below.Bits(), image, below.Count());
        ::BitBlt(dc, x, y, width, height, below.Dc(), 0, 0, SRCCOPY);
        return;
    }
    Section32 maskSection(dc, width, height), imageSection(dc, width, height);
    if (!maskSection.Ok() || !imageSection.Ok()) return;
    maskSection.Load(mask);
    imageSection.Load(image);
    ::BitBlt(dc, x, y, width, height, maskSection.Dc(), 0, 0, SRCAND);
    ::BitBlt(dc, x, y, width, height, imageSection.Dc(), 0, 0, SRCPAINT);
}

// The offset of an image: with a shadow bit, the shadow is drawn at the
// offset and the image stays; without one, the image itself moves.
void CEffectPainter::ShadowOrShift(HDC dc, int& x, int& y, int width, int height, const std::vector<std::uint32_t>& shape,
                                   bool useTransparent, COLORREF transparent, unsigned effects, int dx, int dy,
                                   int blurWidth, int blurHeight, COLORREF effectColour) {
    if (!(effects & (EffectShadow | EffectSoftShadow))) {
        x += dx;
        y += dy;
        return;
    }
    // Inverted colour, so that after the inversion the opaque area holds the
    // effect colour and the rest is white.
    Pixels shadow = shape;
    ApplyEffectPass(shadow.data(), shadow.size(), EffectColor | EffectInvert, useTransparent, transparent,
                    ~effectColour & 0x00FFFFFF);
    tk::Bitmap shadowBitmap(MakeBitmap(dc, shadow, width, height));
    if (shadowBitmap)
        DrawShadow(dc, x + dx, y + dy, width, height, shadowBitmap.Get(), (effects & EffectSoftShadow) != 0, blurWidth,
                   blurHeight);
}

void CEffectPainter::DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, bool useTransparent,
                                COLORREF transparent, unsigned effects, bool offset, int dx, int dy, int blurWidth,
                                int blurHeight, COLORREF effectColour) {
    m_hasAlpha = false;
    Pixels source;
    if (!dc || !ReadBitmap(dc, bitmap, width, height, source)) return;
    Pixels mask = source, image = source;
    ApplyEffectPass(mask.data(), mask.size(), EffectColor | EffectInvert, useTransparent, transparent, kWhite);
    m_hasAlpha = ApplyEffectPass(image.data(), image.size(), effects, useTransparent, transparent, effectColour);
    if (offset)
        ShadowOrShift(dc, x, y, width, height, source, useTransparent, transparent, effects, dx, dy, blurWidth,
                      blurHeight, effectColour);
    DrawPixels(dc, x, y, width, height, image.data(), mask.data());
}

void CEffectPainter::DrawIcon(HDC dc, int x, int y, int width, int height, HICON icon, unsigned effects,
                              bool offset, int dx, int dy, int blurWidth, int blurHeight, COLORREF effectColour) {
    m_hasAlpha = false;
    if (!dc || !icon || width <= 0 || height <= 0) return;
    SIZE size = GetIconSize(icon);
    if (size.cx <= 0 || size.cy <= 0) return;
    tk::Icon sized(size.cx == width && size.cy == height ? ::CopyIcon(icon) : ScaleIcon(icon, width, height));
    ICONINFO info{};
    if (!sized || !::GetIconInfo(sized.Get(), &info)) return;
    tk::Bitmap colour(info.hbmColor), maskBitmap(info.hbmMask);
    if (!colour) {
        // A monochrome icon has no colour bitmap to work on.
        ::DrawIconEx(dc, x, y, sized.Get(), width, height, 0, nullptr, DI_NORMAL);
        return;
    }
    // With EffectColor the silhouette comes from the mask (transparent where
    // white), otherwise from the colour bitmap (transparent where black).
    const bool silhouette = (effects & EffectColor) != 0;
    Pixels image, mask;
    if (!ReadBitmap(dc, silhouette ? maskBitmap.Get() : colour.Get(), width, height, image) ||
        !ReadBitmap(dc, maskBitmap.Get(), width, height, mask))
        return;
    m_hasAlpha = ApplyEffectPass(image.data(), image.size(), effects, true, silhouette ? kWhite : RGB(0, 0, 0),
                                 effectColour);
    if (offset)
        ShadowOrShift(dc, x, y, width, height, mask, true, kWhite, effects, dx, dy, blurWidth, blurHeight,
                      effectColour);
    // The icon's own mask, read as black (opaque) and white (see-through),
    // is what the mask blit uses.
    DrawPixels(dc, x, y, width, height, image.data(), mask.data());
}

void CEffectPainter::DrawImageListFrame(HDC dc, int x, int y, int width, int height, HBITMAP strip, int index,
                                        int frameWidth, int frameHeight, bool useTransparent, COLORREF transparent,
                                        unsigned effects, bool offset, int dx, int dy, int blurWidth,
                                        int blurHeight, COLORREF effectColour) {
    SIZE extent = GetBitmapExtent(strip);
    int fx = 0, fy = 0;
    if (!dc || !FrameOrigin(extent.cx, extent.cy, frameWidth, frameHeight, index, &fx, &fy)) return;
    Section32 frame(dc, frameWidth, frameHeight);
    tk::MemoryDC src(dc);
    if (!frame.Ok() || !src) return;
    HGDIOBJ old = ::SelectObject(src.Get(), strip);
    if (!old) return;
    ::BitBlt(frame.Dc(), 0, 0, frameWidth, frameHeight, src.Get(), fx, fy, SRCCOPY);
    ::SelectObject(src.Get(), old);
    tk::Bitmap frameBitmap(frame.Release());
    DrawBitmap(dc, x, y, width, height, frameBitmap.Get(), useTransparent, transparent, effects, offset, dx, dy,
               blurWidth, blurHeight, effectColour);
}

void CEffectPainter::DrawRectBorder(HDC dc, const RECT& rect, COLORREF light, COLORREF dark, int style, int width) {
    BorderPlan plan = PlanRectBorder(rect.left, rect.top, rect.right, rect.bottom, style, width);
    if (!dc || plan.light.empty()) return;
    tk::Pen lightPen(::CreatePen(PenStyleFor(style), width, light));
    tk::Pen darkPen(dark != light ? ::CreatePen(PenStyleFor(style), width, dark) : nullptr);
    if (!lightPen) return;
    auto draw = [&](const std::vector<BorderPath>& paths) {
        for (const BorderPath& p : paths) {
            ::MoveToEx(dc, p.points[0].x, p.points[0].y, nullptr);
            ::LineTo(dc, p.points[1].x, p.points[1].y);
            ::LineTo(dc, p.points[2].x, p.points[2].y);
        }
    };
    HGDIOBJ old = ::SelectObject(dc, lightPen.Get());
    draw(plan.light);
    if (darkPen) ::SelectObject(dc, darkPen.Get());
    draw(plan.dark);
    ::SelectObject(dc, old);
}

void CEffectPainter::DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int style, int width) {
    std::vector<LineSegment> lines = PlanLine(x1, y1, x2, y2, style, width);
    if (!dc || lines.empty()) return;
    tk::Pen pen(::CreatePen(PenStyleFor(style), width, colour));
    if (!pen) return;
    HGDIOBJ old = ::SelectObject(dc, pen.Get());
    for (const LineSegment& l : lines) {
        ::MoveToEx(dc, l.x1, l.y1, nullptr);
        ::LineTo(dc, l.x2, l.y2);
    }
    ::SelectObject(dc, old);
}

void CEffectPainter::DrawShadow(HDC dc, int x, int y, int width, int height, HBITMAP mask, bool soft,
                                int blurWidth, int blurHeight) {
    SIZE extent = GetBitmapExtent(mask);
    if (!dc || width <= 0 || height <= 0 || extent.cx <= 0 || extent.cy <= 0) return;
    Section32 maskSection(dc, width, height);
    tk::MemoryDC src(dc);
    if (!maskSection.Ok() || !src) return;
    // White is "no shadow": whatever the mask does not cover stays light.
    maskSection.Fill(0x00FFFFFF);
    HGDIOBJ old = ::SelectObject(src.Get(), mask);
    if (!old) return;
    if (soft) {
        blurWidth = OddBlurSize(blurWidth);
        blurHeight = OddBlurSize(blurHeight);
        if (width > blurWidth && height > blurHeight) {
            ::SetStretchBltMode(maskSection.Dc(), COLORONCOLOR);
            ::StretchBlt(maskSection.Dc(), blurWidth / 2, blurHeight / 2, width - blurWidth, height - blurHeight,
                         src.Get(), 0, 0, extent.cx, extent.cy, SRCCOPY);
        }
    } else {
        ::BitBlt(maskSection.Dc(), 0, 0, width, height, src.Get(), 0, 0, SRCCOPY);
    }
    ::SelectObject(src.Get(), old);
    std::vector<double> factors = ShadowFactors(maskSection.Bits(), width, height, soft, blurWidth, blurHeight);
    if (factors.empty()) return;
    Section32 below(dc, width, height);
    if (!below.Ok()) return;
    ::BitBlt(below.Dc(), 0, 0, width, height, dc, x, y, SRCCOPY);
    DarkenByFactors(below.Bits(), factors.data(), below.Count());
    ::BitBlt(dc, x, y, width, height, below.Dc(), 0, 0, SRCCOPY);
}

} // namespace effects
