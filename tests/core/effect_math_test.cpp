// Tests of the drawing effects' arithmetic: palettes and tints, the pattern
// formulas, the button textures, gradient bands, the effect pass, blending,
// the shadow blur and the geometry of tiles, frames, borders and lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "effects/EffectMath.h"

using namespace effects;

namespace {

// Hands out a script of values, then `rest` for ever.
class ScriptedRandom : public RandomSource {
public:
    ScriptedRandom(std::vector<int> script, int rest) : m_script(std::move(script)), m_rest(rest) {}
    int Next() override { return m_at < m_script.size() ? m_script[m_at++] : m_rest; }
private:
    std::vector<int> m_script;
    size_t m_at = 0;
    int m_rest;
};

TEST(PackedDibTest, RampPaletteTintAndIndices) {
    CPackedDib dib;
    ASSERT_NE(dib.Create(3, 2, 8), nullptr);
    EXPECT_EQ(dib.Stride(), 4);
    SetRampPalette(dib, MakeColour(0, 10, 0), MakeColour(100, 20, 0), MakeColour(200, 30, 0));
    struct { int index; int red; } ramp[] = {{0, 0}, {64, 50}, {128, 100}, {200, 157}, {255, 200}};
    for (auto& e : ramp) EXPECT_EQ(RedOf(dib.PaletteEntry(e.index)), e.red) << e.index;
    EXPECT_EQ(GreenOf(dib.PaletteEntry(0)), 10);
    dib.TintPalette(MakeColour(200, 0, 0), 12);
    EXPECT_EQ(RedOf(dib.PaletteEntry(128)), 112);
    dib.TintPalette(MakeColour(1, 2, 3), 150);  // capped at 100
    EXPECT_EQ(dib.PaletteEntry(77), MakeColour(1, 2, 3));
    dib.SetPaletteEntry(256, 9, 9, 9);  // outside: ignored

    dib.SetIndex(2, 0, 7);   // top row is stored last
    dib.SetIndex(3, 0, 9);   // outside: ignored
    dib.SetIndex(0, -1, 9);
    EXPECT_EQ(dib.Bits()[dib.Stride() + 2], 7);
    EXPECT_EQ(dib.GetIndex(2, 0), 7);
    dib.Fill(5);
    EXPECT_EQ(dib.GetIndex(1, 1), 5);

    CPackedDib nibbles;
    ASSERT_NE(nibbles.Create(3, 1, 4), nullptr);
    nibbles.SetIndex(1, 0, 0xA);
    EXPECT_EQ(nibbles.Bits()[0], 0x0A);
    EXPECT_EQ(nibbles.GetIndex(1, 0), 0xA);
    CPackedDib noTable;
    ASSERT_NE(noTable.Create(2, 2, 24), nullptr);
    noTable.SetIndex(0, 0, 1);  // no palette: ignored
    EXPECT_EQ(noTable.Bits()[0], 0);
    EXPECT_EQ(noTable.Create(0, 5, 8), nullptr);
    EXPECT_TRUE(noTable.Empty());
}

// Each pattern on a small rectangle, with a scripted source so that the noise
// is known; positions are from the top-left.
TEST(PatternTest, FormulasOnSmallRectangles) {
    struct Pixel { int x, y, value; };
    struct Case {
        const char* name;
        int effect, w, h, g;
        std::vector<int> script;
        int rest;
        std::vector<Pixel> pixels;
    };
    const Case cases[] = {
        {"noise", FillNoise, 2, 2, 10, {}, 32767, {{0, 0, 138}}},
        {"diagshade", FillDiagShade, 4, 2, 0, {}, 0, {{0, 0, 190}, {3, 1, 31}}},
        {"hshade", FillHShade, 4, 2, 0, {}, 0, {{2, 0, 127}, {2, 1, 0}}},
        {"vshade", FillVShade, 4, 2, 0, {}, 0, {{0, 1, 255}, {3, 1, 63}}},
        {"hbump", FillHBump, 4, 2, 0, {}, 0, {{1, 0, 128}, {1, 1, 3}}},
        {"vbump wraps 256 to 0", FillVBump, 4, 2, 0, {}, 0, {{0, 0, 0}, {3, 0, 112}}},
        {"softbump clamps before the noise", FillSoftBump, 4, 2, 10, {}, 0, {{0, 0, 235}}},
        {"hardbump edges", FillHardBump, 12, 2, 0, {}, 0,
         {{0, 0, 255}, {1, 0, 191}, {5, 0, 128}, {11, 0, 64}, {0, 1, 3}}},
        {"metal with one scratch", FillMetal, 10, 10, 0, {16383, 16383, 32767, 32760}, 0,
         {{6, 4, 135}, {4, 6, 136}, {6, 5, 84}}},
    };
    for (const Case& c : cases) {
        CPackedDib dib;
        ASSERT_NE(dib.Create(c.w, c.h, 8), nullptr);
        ScriptedRandom random(c.script, c.rest);
        ASSERT_TRUE(PaintPattern(dib, c.effect, c.g, random)) << c.name;
        for (const Pixel& p : c.pixels) EXPECT_EQ(dib.GetIndex(p.x, p.y), p.value) << c.name << " at " << p.x << "," << p.y;
    }
}

TEST(PatternTest, SizesWhereAFormulaDividesByZeroAreRefused) {
    struct { int effect, w, h; bool fits; } cases[] = {
        {FillHardBump, 5, 10, false}, {FillHardBump, 6, 1, false}, {FillHardBump, 6, 2, true},
        {FillMetal, 40000, 1, false}, {FillMetal, 1, 1, true},      {FillNoise, 1, 1, true},
        {FillSoftBump, 0, 4, false},  {FillSolid, 4, 4, false},
    };
    for (auto& c : cases) EXPECT_EQ(PatternFitsSize(c.effect, c.w, c.h), c.fits) << c.effect << " " << c.w << "x" << c.h;
    CPackedDib dib;
    PatternRandom random(1);
    EXPECT_FALSE(MakePatternFill(dib, FillHardBump, 5, 5, 0, 0, 0, 0, 0, random));
    ASSERT_TRUE(MakePatternFill(dib, FillMetal, 7, 3, MakeColour(255, 0, 0), 0, MakeColour(0, 0, 255), 3, 100, random));
    EXPECT_EQ(dib.PaletteEntry(0), MakeColour(255, 0, 0));  // fully tinted toward begin
}

// The toolbar's texture: style 6, granularity 12, highlight 12, colouring 12
// toward red 12.
TEST(ButtonTextureTest, SoftBumpStyleStaysInRangeAndShadesTopLeftLight) {
    const Colour shadow = MakeColour(160, 160, 160), face = MakeColour(212, 208, 200), light = MakeColour(255, 255, 255);
    ButtonTextureSpec desc;
    desc.width = 48;
    desc.height = 50;
    desc.style = 6;
    desc.granularity = desc.highlight = desc.coloring = 12;
    desc.colour = MakeColour(12, 0, 0);
    desc.shadow = shadow;
    desc.face = face;
    desc.light = light;
    CPackedDib n[2], p, d, h, fh, fv;
    // Noise of 0 (16380 / 1365 - 12) and then seeded noise.
    ScriptedRandom quiet({}, 16380);
    PatternRandom seeded(2024);
    ASSERT_TRUE(GenerateButtonTextures(desc, {&n[0], &p, &d, &h, &fh, &fv}, quiet));
    ASSERT_TRUE(GenerateButtonTextures(desc, {&n[1], &p, &d, &h, &fh, &fv}, seeded));
    for (int y = 0; y < desc.height; ++y)
        for (int x = 0; x < desc.width; ++x) {
            int before = n[0].GetIndex(x, y), after = n[1].GetIndex(x, y);
            ASSERT_GE(before, 12);
            ASSERT_LE(before, 243);
            ASSERT_LE(std::abs(after - before), 12) << "wrapped at " << x << "," << y;
        }
    EXPECT_GT(n[0].GetIndex(0, 0), n[0].GetIndex(47, 49) + 150);

    CPackedDib base;
    base.Create(1, 1, 8);
    SetRampPalette(base, shadow, face, light);
    base.TintPalette(desc.colour, 12);
    for (int i : {0, 100, 255}) EXPECT_EQ(n[1].PaletteEntry(i), base.PaletteEntry(i));
    base.TintPalette(light, 12);
    for (int i : {0, 100, 255}) {
        EXPECT_EQ(h.PaletteEntry(i), base.PaletteEntry(i));
        EXPECT_EQ(p.PaletteEntry(i), base.PaletteEntry(i));
    }
    EXPECT_EQ(0, std::memcmp(h.Bits(), n[1].Bits(), static_cast<size_t>(n[1].Stride()) * 50));
    EXPECT_EQ(0, std::memcmp(d.Block(), n[1].Block(), static_cast<size_t>(n[1].Stride()) * 50 + 40 + 1024));
    // Dotted focus lines, shadow first: 48 - 8 - 1 wide, 50 - 8 high.
    EXPECT_EQ(fh.Width(), 39);
    EXPECT_EQ(fv.Height(), 42);
    EXPECT_EQ(fh.GetIndex(0, 0), 0);
    EXPECT_EQ(fh.GetIndex(1, 0), 255);
    EXPECT_EQ(fv.GetIndex(0, 3), 255);
}

TEST(GradientTest, BandsSkipEmptyOnesAndEndWithTheEndColour) {
    const Colour begin = MakeColour(0, 0, 0), end = MakeColour(255, 128, 64);
    std::vector<FillBand> narrow = GradientFillBands(FillHGradient, 10, 5, 20, 8, begin, 0, end);
    ASSERT_EQ(narrow.size(), 10u);
    EXPECT_EQ(narrow.front().left, 10);
    EXPECT_EQ(narrow.front().colour, MakeColour(23, 12, 6));  // bands 0..5 are empty: band 6 comes first
    EXPECT_EQ(narrow.back().right, 20);
    EXPECT_EQ(narrow.back().colour, MakeColour(251, 126, 63));  // band 63: (begin + 63 end) >> 6
    for (size_t i = 1; i < narrow.size(); ++i) EXPECT_EQ(narrow[i].left, narrow[i - 1].right);
    EXPECT_EQ(narrow[3].top, 5);
    EXPECT_EQ(narrow[3].bottom, 8);

    EXPECT_EQ(GradientFillBands(FillVGradient, 0, 0, 5, 640, begin, 0, end).size(), 64u);
    // Halves split at length / 2: the second half (5 pixels, first band 12) of
    // a centre gradient runs from the end colour back, that of a three-colour
    // one from the middle colour on.
    auto centre = GradientFillBands(FillVCGradient, 0, 0, 4, 9, begin, MakeColour(1, 1, 1), end);
    ASSERT_EQ(centre.size(), 9u);
    EXPECT_EQ(centre[4].top, 4);
    EXPECT_EQ(centre[4].colour, MakeColour(207, 104, 52));
    EXPECT_EQ(centre[4].left, 0);
    auto three = GradientFillBands(Fill3HGradient, 0, 0, 9, 1, begin, MakeColour(1, 1, 1), end);
    EXPECT_EQ(three[4].colour, MakeColour(48, 24, 12));
    EXPECT_EQ(three[4].left, 4);
    EXPECT_TRUE(GradientFillBands(FillNoise, 0, 0, 9, 9, begin, 0, end).empty());
}

TEST(EffectPassTest, FlagsOnPixels) {
    const Colour magenta = MakeColour(255, 0, 255);
    struct Case {
        const char* name;
        unsigned flags;
        bool useTransparent;
        Colour colour;
        std::uint32_t in, out;
    };
    const Colour white = 0xFFFFFF;
    const Case cases[] = {
        {"colour + invert: opaque to black (mask)", EffectColor | EffectInvert, true, white, 0x00102030, 0},
        {"colour + invert: transparent to white", EffectColor | EffectInvert, true, white, 0x00FF00FF, 0x00FFFFFF},
        {"transparent flag off: nothing transparent", EffectColor | EffectInvert, false, white, 0x00FF00FF, 0},
        {"transparent pixel of an image is black", 0, true, white, 0x00FF00FF, 0},
        {"grey", EffectGray, false, white, 0x00FF0000, 0x004C4C4C},
        {"darken", EffectDarken, false, white, 0x00FF8001, 0x00BF6000},
        {"lighten clamps", EffectLighten, false, white, 0x00F08010, 0x00FFA014},
        {"colour swaps red and blue", EffectColor, false, MakeColour(1, 2, 3), 0x00123456, 0x00010203},
        {"grey then darken", EffectGray | EffectDarken, false, white, 0x00C80000, 0x002C2C2C},
        {"alpha byte kept, pixel never transparent", EffectInvert, true, white, 0x80FF00FF, 0x8000FF00},
    };
    for (const Case& c : cases) {
        std::uint32_t px = c.in;
        bool alpha = ApplyEffectPass(&px, 1, c.flags, c.useTransparent, magenta, c.colour);
        EXPECT_EQ(px, c.out) << c.name;
        EXPECT_EQ(alpha, (c.in >> 24) != 0) << c.name;
    }
}

TEST(BlendTest, ConstantAndPerPixel) {
    const std::uint32_t src[] = {0x00FFFFFF, 0xFF102030, 0x80FF0000, 0x00000000};
    std::uint32_t dest[4];
    auto reset = [&] { for (auto& d : dest) d = 0x00204060; };
    reset();
    BlendConstantPixels(dest, src, 4, 0);
    EXPECT_EQ(dest[0], 0x00204060u);
    BlendConstantPixels(dest, src, 4, 100);
    EXPECT_EQ(dest[1], 0x00102030u);
    reset();
    BlendConstantPixels(dest, src, 1, 50);
    EXPECT_EQ(dest[0], 0x008F9FAFu);
    reset();
    BlendPerPixelAlpha(dest, src, 4);
    EXPECT_EQ(dest[0], 0x00204060u);  // alpha 0: destination stays
    EXPECT_EQ(dest[1], 0x00102030u);  // alpha 255: source
    EXPECT_EQ(dest[2], 0x008F1F2Fu);  // 128/255 of 0xFF0000 over 0x204060
}

TEST(ShadowTest, BlurFactorsWithOddBoxes) {
    EXPECT_EQ(OddBlurSize(4), 5);
    EXPECT_EQ(OddBlurSize(5), 5);
    EXPECT_EQ(OddBlurSize(0), 1);
    // A 9 x 7 mask, white with a black block: blur 4 and blur 5 agree.
    const int w = 9, h = 7;
    std::vector<std::uint32_t> mask(w * h, 0x00FFFFFF);
    for (int y = 2; y < 5; ++y)
        for (int x = 3; x < 6; ++x) mask[y * w + x] = 0;
    EXPECT_EQ(ShadowFactors(mask.data(), w, h, true, 4, 4), ShadowFactors(mask.data(), w, h, true, 5, 5));
    auto soft = ShadowFactors(mask.data(), w, h, true, 3, 3);
    EXPECT_DOUBLE_EQ(soft[3 * w + 4], 0.0);        // the block's centre
    EXPECT_DOUBLE_EQ(soft[2 * w + 3], 5.0 / 9.0);  // its corner sees 4 black of 9
    EXPECT_DOUBLE_EQ(soft[0], 1.0);                // outside counts as white
    auto hard = ShadowFactors(mask.data(), w, h, false, 0, 0);
    EXPECT_DOUBLE_EQ(hard[0], 1.0);
    EXPECT_DOUBLE_EQ(hard[3 * w + 4], 0.0);

    std::uint32_t px[] = {0x80C86432, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFFFF};
    const double f[] = {0.5, 1.0, -0.5, 33 * (1.0 / 255.0)};
    DarkenByFactors(px, f, 4);
    EXPECT_EQ(px[0], 0x80643219u);
    EXPECT_EQ(px[1], 0x00FFFFFFu);
    EXPECT_EQ(px[2], 0x00FFFFFFu);
    EXPECT_EQ(px[3], 0x00212121u);   // 255 darkened by 33/255 (a box sum times the scale) is 33, not 32
}

TEST(EffectGeometryTest, TilesFramesBordersAndLines) {
    auto tiles = TileBlits(10, 20, 25, 15, 10, 10);
    ASSERT_EQ(tiles.size(), 6u);
    EXPECT_EQ(tiles[1].y, 30);  // column by column: second tile is below the first
    EXPECT_EQ(tiles[1].height, 5);
    EXPECT_EQ(tiles[5].x, 30);
    EXPECT_EQ(tiles[5].width, 5);
    EXPECT_TRUE(TileBlits(0, 0, 5, 5, 0, 3).empty());

    struct { int sw, sh, fw, fh, index; bool ok; int x, y; } frames[] = {
        {64, 32, 16, 16, 5, true, 16, 16}, {64, 32, 16, 16, 8, false, 0, 0}, {64, 32, 0, 16, 0, false, 0, 0},
        {10, 10, 16, 16, 0, false, 0, 0},  {64, 32, 16, 16, -1, false, 0, 0},
    };
    for (auto& f : frames) {
        int x = 0, y = 0;
        EXPECT_EQ(FrameOrigin(f.sw, f.sh, f.fw, f.fh, f.index, &x, &y), f.ok) << f.index;
        EXPECT_EQ(x, f.x);
        EXPECT_EQ(y, f.y);
    }

    BorderPlan border = PlanRectBorder(0, 0, 20, 10, BorderDouble, 2);
    ASSERT_EQ(border.light.size(), 2u);
    EXPECT_EQ(border.light[0].points[0].x, 1);
    EXPECT_EQ(border.light[0].points[0].y, 9);
    EXPECT_EQ(border.dark[1].points[0].x, 15);
    EXPECT_EQ(border.dark[1].points[0].y, 5);
    EXPECT_TRUE(PlanRectBorder(0, 0, 20, 10, BorderNone, 2).light.empty());
    EXPECT_TRUE(PlanRectBorder(0, 0, 20, 10, BorderSolid, 0).dark.empty());

    struct { int x1, y1, x2, y2; int dx, dy; } doubles[] = {{0, 5, 10, 5, 0, 6}, {5, 0, 5, 10, 6, 0}, {0, 0, 10, 10, 6, 6}};
    for (auto& d : doubles) {
        auto lines = PlanLine(d.x1, d.y1, d.x2, d.y2, BorderDouble, 3);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1].x1 - lines[0].x1, d.dx);
        EXPECT_EQ(lines[1].y2 - lines[0].y2, d.dy);
    }
    EXPECT_EQ(PlanLine(0, 0, 1, 1, BorderDash, 1).size(), 1u);
    EXPECT_TRUE(PlanLine(0, 0, 1, 1, BorderDot, -1).empty());
    EXPECT_EQ(PenKindFor(BorderDashDotDot), PenKind::DashDotDot);
    EXPECT_EQ(PenKindFor(BorderDouble), PenKind::Solid);
}

} // namespace
