// The effect painter on real device contexts: alpha blending against masked
// drawing, the transparent colour, offsets and shadows, image-strip frames,
// constant blending, fills, icons and the palette bitmap's blit.
#include "effects/EffectPainter.h"
#include "resources/resource.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace effects;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A 32-bit top-down bitmap with the given 0xAARRGGBB pixels.
HBITMAP MakeBitmap(int w, int h, const std::vector<std::uint32_t>& pixels) {
    tk::DibSection32 section(w, h);
    if (section) std::memcpy(section.Bits(), pixels.data(), pixels.size() * 4);
    return section.Release();
}

// A white 32-bit canvas on a memory DC.
class Canvas {
public:
    Canvas(int w, int h) : m_dc(nullptr), m_bitmap(MakeBitmap(w, h, std::vector<std::uint32_t>(w * h, 0x00FFFFFF))) {
        m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
    }
    ~Canvas() { ::SelectObject(m_dc.Get(), m_old); }
    HDC Dc() const { return m_dc.Get(); }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc.Get(), x, y); }
    int Count(COLORREF c, int w, int h) const {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) n += At(x, y) == c;
        return n;
    }
private:
    tk::MemoryDC m_dc;
    tk::Bitmap m_bitmap;
    HGDIOBJ m_old;
};

TEST(EffectPainterTest, AlphaPixelsBlendAndOthersGoThroughTheMask) {
    CEffectPainter painter(1);
    // Left column magenta (the transparent colour), the rest red.
    std::vector<std::uint32_t> plain(16, 0x00FF0000), alpha(16, 0x80FF0000);
    for (int y = 0; y < 4; ++y) {
        plain[y * 4] = 0x00FF00FF;
        alpha[y * 4] = 0x80FF00FF;
    }
    tk::Bitmap plainBmp(MakeBitmap(4, 4, plain)), alphaBmp(MakeBitmap(4, 4, alpha));

    Canvas masked(8, 8);
    painter.DrawBitmap(masked.Dc(), 2, 2, 4, 4, plainBmp.Get(), true, kMagenta, 0, false, 0, 0, 0, 0, 0);
    EXPECT_FALSE(painter.HasAlpha());
    EXPECT_EQ(masked.At(2, 3), kWhite);  // see-through
    EXPECT_EQ(masked.At(3, 3), kRed);
    EXPECT_EQ(masked.Count(kRed, 8, 8), 12);

    Canvas blended(8, 8);
    painter.DrawBitmap(blended.Dc(), 2, 2, 4, 4, alphaBmp.Get(), true, kMagenta, 0, false, 0, 0, 0, 0, 0);
    EXPECT_TRUE(painter.HasAlpha());
    EXPECT_EQ(blended.At(3, 3), RGB(255, 127, 127));  // half of red over white
    EXPECT_EQ(blended.At(2, 3), RGB(255, 127, 255));  // alpha set: never the transparent colour

    // Without the transparent-colour flag the whole rectangle is covered.
    Canvas covered(8, 8);
    painter.DrawBitmap(covered.Dc(), 2, 2, 4, 4, plainBmp.Get(), false, kMagenta, 0, false, 0, 0, 0, 0, 0);
    EXPECT_EQ(covered.Count(kRed, 8, 8) + covered.Count(kMagenta, 8, 8), 16);
}

TEST(EffectPainterTest, OffsetMovesTheImageUnlessAShadowIsAsked) {
    CEffectPainter painter(1);
    tk::Bitmap red(MakeBitmap(4, 4, std::vector<std::uint32_t>(16, 0x00FF0000)));
    Canvas moved(16, 16);
    painter.DrawBitmap(moved.Dc(), 2, 2, 4, 4, red.Get(), false, 0, 0, true, 5, 5, 0, 0, 0);
    EXPECT_EQ(moved.At(2, 2), kWhite);
    EXPECT_EQ(moved.At(7, 7), kRed);
    EXPECT_EQ(moved.Count(kRed, 16, 16), 16);

    // A hard black shadow at (7, 7) under an image that stays at (2, 2).
    Canvas shadowed(16, 16);
    painter.DrawBitmap(shadowed.Dc(), 2, 2, 4, 4, red.Get(), false, 0, EffectShadow, true, 5, 5, 0, 0, RGB(0, 0, 0));
    EXPECT_EQ(shadowed.At(2, 2), kRed);
    EXPECT_EQ(shadowed.At(10, 10), RGB(0, 0, 0));
    EXPECT_EQ(shadowed.At(12, 12), kWhite);
    // A soft one fades out at its edge.
    Canvas soft(16, 16);
    painter.DrawBitmap(soft.Dc(), 2, 2, 4, 4, red.Get(), false, 0, EffectSoftShadow, true, 5, 5, 3, 3, RGB(0, 0, 0));
    // (the mask shrinks by the blur inside the shadow's rectangle)
    COLORREF edge = soft.At(9, 9);
    EXPECT_GT(GetRValue(edge), 0);
    EXPECT_LT(GetRValue(edge), 255);
}

TEST(EffectPainterTest, ImageListFramesAndConstantBlend) {
    CEffectPainter painter(1);
    // A strip of two 2 x 2 frames: red, then blue.
    std::vector<std::uint32_t> strip(8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) strip[y * 4 + x] = x < 2 ? 0x00FF0000 : 0x000000FF;
    tk::Bitmap stripBmp(MakeBitmap(4, 2, strip));
    Canvas c(4, 4);
    painter.DrawImageListFrame(c.Dc(), 0, 0, 2, 2, stripBmp.Get(), 1, 2, 2, false, 0, 0, false, 0, 0, 0, 0, 0);
    EXPECT_EQ(c.At(1, 1), RGB(0, 0, 255));
    painter.DrawImageListFrame(c.Dc(), 2, 2, 2, 2, stripBmp.Get(), 2, 2, 2, false, 0, 0, false, 0, 0, 0, 0, 0);
    EXPECT_EQ(c.Count(kWhite, 4, 4), 12);

    Canvas dest(4, 4), src(4, 4);
    tk::Brush blue(::CreateSolidBrush(RGB(0, 0, 200)));
    RECT all{0, 0, 4, 4};
    ::FillRect(src.Dc(), &all, blue.Get());
    painter.BlendConstant(dest.Dc(), 0, 0, 2, 4, src.Dc(), 0, 0, 0);
    EXPECT_EQ(dest.Count(kWhite, 4, 4), 16);
    painter.BlendConstant(dest.Dc(), 0, 0, 2, 4, src.Dc(), 0, 0, 100);
    EXPECT_EQ(dest.Count(RGB(0, 0, 200), 4, 4), 8);
    painter.BlendConstant(dest.Dc(), 2, 0, 2, 4, src.Dc(), 0, 0, 50);
    EXPECT_EQ(dest.At(3, 3), RGB(127, 127, 227));
}

TEST(EffectPainterTest, FillsBordersAndIcons) {
    CEffectPainter painter(7);
    Canvas c(80, 20);
    // A hard bump narrower than 6 pixels is a solid fill of the begin colour;
    // so is an unknown effect.
    RECT narrow{0, 0, 5, 20}, odd{5, 0, 10, 20}, bump{10, 0, 40, 20}, gradient{40, 0, 80, 20};
    painter.FillEffect(c.Dc(), FillHardBump, narrow, kRed, 0, 0, 5, 0);
    painter.FillEffect(c.Dc(), 16, odd, kRed, 0, 0, 5, 0);
    EXPECT_EQ(c.Count(kRed, 10, 20), 200);
    painter.FillEffect(c.Dc(), FillSoftBump, bump, kWhite, RGB(128, 128, 128), RGB(0, 0, 0), 0, 0);
    EXPECT_GT(GetRValue(c.At(10, 0)), GetRValue(c.At(39, 19)));  // the palette bitmap reached the DC
    painter.FillEffect(c.Dc(), FillHGradient, gradient, RGB(0, 0, 0), 0, RGB(0, 0, 255), 0, 0);
    EXPECT_EQ(c.At(40, 5), RGB(0, 0, 3));  // band 0 of 40 pixels is empty
    EXPECT_EQ(c.At(79, 5), RGB(0, 0, 251));

    Canvas lines(20, 20);
    painter.DrawLine(lines.Dc(), 0, 5, 20, 5, kRed, BorderDouble, 1);
    EXPECT_EQ(lines.At(10, 5), kRed);
    EXPECT_EQ(lines.At(10, 7), kRed);
    EXPECT_EQ(lines.At(10, 6), kWhite);
    painter.DrawRectBorder(lines.Dc(), RECT{10, 10, 19, 19}, kRed, RGB(0, 0, 255), BorderSolid, 1);
    EXPECT_EQ(lines.At(10, 15), kRed);
    EXPECT_EQ(lines.At(19, 15), RGB(0, 0, 255));

    HICON icon = static_cast<HICON>(
        ::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(IDI_OPEN_PICTURE), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    SIZE size = CEffectPainter::GetIconSize(icon);
    EXPECT_EQ(size.cx, 32);
    EXPECT_EQ(size.cy, 32);
    EXPECT_EQ(CEffectPainter::GetIconSize(nullptr).cx, 0);
    // A silhouette in one colour, scaled to 16 x 16: green where the icon is.
    Canvas iconCanvas(16, 16);
    painter.DrawIcon(iconCanvas.Dc(), 0, 0, 16, 16, icon, EffectColor, false, 0, 0, 0, 0, RGB(0, 255, 0));
    int green = iconCanvas.Count(RGB(0, 255, 0), 16, 16);
    EXPECT_GT(green, 40);
    EXPECT_EQ(green + iconCanvas.Count(kWhite, 16, 16), 256);
    ::DestroyIcon(icon);
}

} // namespace
