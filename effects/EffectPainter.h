// The drawing toolbox of the HTML tooltips, the HTML label and the image
// buttons: fills (solid, gradients, patterns), tiled pictures, bitmaps and
// icons with effects (grey, darker, lighter, one colour, inverted) and drop
// shadows, image-strip frames, constant translucency, 3-D borders and lines.
//
// Every pixel operation copies the pixels involved into 32-bit sections and
// runs the arithmetic of effects/EffectMath.h on them, so results do not
// depend on the screen's colour depth. No operation reports an error: each
// draws nothing (or what it has) when a device context, bitmap or section
// cannot be made, and releases everything it made on every path.
//
// Colours are COLORREF values (0x00BBGGRR). The effect flags, fill effects
// and border styles are those of effects/EffectMath.h.
#pragma once
#include "effects/EffectMath.h"
#include "effects/PaletteDib.h"
#include "toolkit/Win.h"
#include <cstdint>
#include <vector>

namespace effects {

class CEffectPainter {
public:
    // The pattern noise starts from `seed` (any value will do; tests fix it).
    explicit CEffectPainter(std::uint64_t seed = ::GetTickCount());
    CEffectPainter(const CEffectPainter&) = delete;
    CEffectPainter& operator=(const CEffectPainter&) = delete;

    // Twice the icon's hot spot; (0, 0) for a null or unreadable icon.
    static SIZE GetIconSize(HICON icon);
    // The bitmap's size; (0, 0) for a null or unreadable bitmap.
    static SIZE GetBitmapExtent(HBITMAP bitmap);

    // Copies with `percent` opacity: 100 and above is a plain copy, below the
    // source is mixed into the destination per channel.
    void BlendConstant(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int percent);

    // Paints `rect` with a fill effect (FillEffect); -1 paints nothing.
    void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF begin, COLORREF middle, COLORREF end,
                    int granularity, int colouring);

    // Repeats the tile at (srcX, srcY) of `src` over the area.
    void TileBitmap(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int tileWidth,
                    int tileHeight);

    // Draws `bitmap` scaled to width x height with effect flags. With
    // `offset`, a shadow flag puts the shadow at (x + dx, y + dy); without
    // one the image itself moves there.
    void DrawBitmap(HDC dc, int x, int y, int width, int height, HBITMAP bitmap, bool useTransparent,
                    COLORREF transparent, unsigned effects, bool offset, int dx, int dy, int blurWidth,
                    int blurHeight, COLORREF effectColour);

    // The same for an icon; its mask gives the transparency.
    void DrawIcon(HDC dc, int x, int y, int width, int height, HICON icon, unsigned effects, bool offset, int dx,
                  int dy, int blurWidth, int blurHeight, COLORREF effectColour);

    // Draws frame `index` of a strip of equal frames (left to right, then
    // top to bottom); nothing when the index is outside the strip.
    void DrawImageListFrame(HDC dc, int x, int y, int width, int height, HBITMAP strip, int index, int frameWidth,
                            int frameHeight, bool useTransparent, COLORREF transparent, unsigned effects,
                            bool offset, int dx, int dy, int blurWidth, int blurHeight, COLORREF effectColour);

    // Left and top in `light`, right and bottom in `dark`.
    void DrawRectBorder(HDC dc, const RECT& rect, COLORREF light, COLORREF dark, int style, int width);

    void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour, int style, int width);

    // Darkens the area under a mask: each pixel by the mask's blue / 255,
    // blurred over blurWidth x blurHeight when `soft`.
    void DrawShadow(HDC dc, int x, int y, int width, int height, HBITMAP mask, bool soft, int blurWidth,
                    int blurHeight);

    // Whether the last image drawn had an alpha channel (and was blended).
    bool HasAlpha() const { return m_hasAlpha; }

private:
    void ShadowOrShift(HDC dc, int& x, int& y, int width, int height, const std::vector<std::uint32_t>& shape,
                       bool useTransparent, COLORREF transparent, unsigned effects, int dx, int dy, int blurWidth,
                       int blurHeight, COLORREF effectColour);
    void DrawPixels(HDC dc, int x, int y, int width, int height, const std::uint32_t* image,
                    const std::uint32_t* mask);

    CPaletteDib m_work;
    bool m_hasAlpha = false;
    PatternRandom m_random;
};

} // namespace effects
