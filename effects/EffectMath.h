// The arithmetic of the drawing effects: pattern fills and button textures,
// gradient bands, the effect pass over 32-bit pixels, blending, the shadow
// blur, and the geometry of tiles, image-strip frames, borders and lines.
// The effect painter on the Windows side only moves pixels between device
// contexts and these functions; everything here is plain data in and out so
// that it is tested natively and the same numbers come out everywhere.
//
// Pixels of 32-bit bitmaps read as 0xAARRGGBB; colour arguments are 0x00BBGGRR
// values, so red and blue are swapped wherever the two meet.
#pragma once
#include "effects/PackedDib.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace effects {

// Image effect flags, applied by the effect pass in this order.
enum EffectFlags : unsigned {
    EffectGray = 0x0001,
    EffectDarken = 0x0002,
    EffectLighten = 0x0004,
    EffectColor = 0x0008,
    EffectShadow = 0x0100,
    EffectSoftShadow = 0x0200,
    EffectInvert = 0x8000,
    // The colour effects take the low byte; the shadows and the inversion
    // the high one.
    EffectColourBits = 0x00FF,
    EffectAnyShadow = EffectShadow | EffectSoftShadow,
};

// Fill effects (the "bgeffect" keywords). Any value not listed paints a solid
// fill of the begin colour.
enum FillEffect : int {
    FillTransparent = -1,
    FillSolid = 0,
    FillHGradient = 1,
    FillVGradient = 2,
    FillHCGradient = 3,
    FillVCGradient = 4,
    Fill3HGradient = 5,
    Fill3VGradient = 6,
    FillNoise = 7,
    FillDiagShade = 8,
    FillHShade = 9,
    FillVShade = 10,
    FillHBump = 11,
    FillVBump = 12,
    FillSoftBump = 13,
    FillHardBump = 14,
    FillMetal = 15,
};

// Line and border styles.
enum BorderStyle : int {
    BorderNone = 0,
    BorderSolid = 1,
    BorderDash = 2,
    BorderDot = 3,
    BorderDashDot = 4,
    BorderDashDotDot = 5,
    BorderDouble = 6,
};

// A uniform source of 0..32767 for the pattern noise.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual int Next() = 0;
};

// The source the painters use: a small linear congruential generator.
class PatternRandom : public RandomSource {
public:
    explicit PatternRandom(std::uint64_t seed) : m_state(seed) {}
    int Next() override {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((m_state >> 33) & 0x7FFF);
    }
private:
    std::uint64_t m_state;
};

constexpr std::uint32_t SwapRedBlue(std::uint32_t c) {
    return (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF);
}

// ---------------------------------------------------------------- fills

bool IsGradientFill(int effect);
bool IsPatternFill(int effect);

// False when a pattern's formula would divide by zero at this size (the
// caller paints a solid fill of the begin colour instead).
bool PatternFitsSize(int effect, int width, int height);

// Writes pattern `effect` (7..15) with granularity g (clamped to 0..255) into
// the pixel bytes of an 8-bit bitmap; all arithmetic on bytes wraps modulo
// 256. Returns false, writing nothing, when the pattern does not fit the size.
bool PaintPattern(CPackedDib& dib, int effect, int granularity, RandomSource& random);

// The whole pattern fill on an 8-bit bitmap of width x height: the palette
// from end (index 0) through middle to begin (index 255), tinted toward begin
// by `colouring` percent, then the pattern. False when the bitmap could not be
// made or the pattern does not fit the size.
bool MakePatternFill(CPackedDib& dib, int effect, int width, int height, Colour begin, Colour middle, Colour end,
                     int granularity, int colouring, RandomSource& random);

// One solid band of a gradient fill, in the coordinates of the rectangle.
struct FillBand {
    int left, top, right, bottom;
    Colour colour;
};

// The 64 bands of a linear gradient from `from` to `to` over `length` pixels
// starting at `start` along one axis, without the empty ones. The other axis
// is [acrossStart, acrossEnd).
void AppendGradientBands(std::vector<FillBand>& out, bool horizontal, int start, int length, int acrossStart,
                         int acrossEnd, Colour from, Colour to);

// The bands of gradient fills 1..6 over a rectangle (nothing for others).
std::vector<FillBand> GradientFillBands(int effect, int left, int top, int right, int bottom, Colour begin,
                                        Colour middle, Colour end);

// --------------------------------------------------------- button textures

struct ButtonTextureSpec {
    int width = 0, height = 0;
    int focusMargin = 4;
    int style = 0, granularity = 0, highlight = 0, coloring = 0;
    Colour colour = 0;
    // The system colours: button shadow, face and highlight.
    Colour shadow = 0, face = 0, light = 0;
};

// The four state textures of a button and its dotted focus lines.
struct ButtonTextures {
    CPackedDib* normal;
    CPackedDib* pressed;
    CPackedDib* disabled;
    CPackedDib* hover;
    CPackedDib* focusLineH;
    CPackedDib* focusLineV;
};

// Generates the textures at the button's size: a ramp palette from shadow
// through face to light, the normal one tinted toward `colour`, the pattern of
// fill effect 7 + style (noise for style 0 and unknown styles); the hover and
// pressed ones tinted toward light. False when a bitmap could not be made.
bool GenerateButtonTextures(const ButtonTextureSpec& desc, const ButtonTextures& out, RandomSource& random);

// ------------------------------------------------------------ pixel passes

// The effect pass over 32-bit pixels (0xAARRGGBB). Returns whether any pixel
// had a non-zero top byte. Pixels equal to the transparent colour (when
// `useTransparent`) become 0; the others get grey, darken, lighten and colour
// as flagged; invert then goes over every pixel; the top byte is kept.
bool ApplyEffectPass(std::uint32_t* pixels, std::size_t count, unsigned flags, bool useTransparent,
                     Colour transparent, Colour effectColour);

// dest = src * a + dest * (1 - a) per channel, a = src alpha / 255, truncated.
void BlendPerPixelAlpha(std::uint32_t* dest, const std::uint32_t* src, std::size_t count);

// dest = src * p + dest * (1 - p) per channel, p = percent / 100 (0..100).
void BlendConstantPixels(std::uint32_t* dest, const std::uint32_t* src, std::size_t count, int percent);

// Blur sizes are odd so that the box has a centre: even values go up by one,
// and anything below 1 is 1.
int OddBlurSize(int size);

// One darkening factor per pixel of a shadow mask (bottom row first or top
// row first, as long as both arrays agree): blue / 255 for a hard shadow; for
// a soft one the mean of the blue bytes over a blurW x blurH box centred on
// the pixel, counting samples outside as 255, by running sums in doubles.
// Sizes must be odd (see OddBlurSize). Empty when the arrays cannot be made.
std::vector<double> ShadowFactors(const std::uint32_t* mask, int width, int height, bool soft, int blurW,
                                  int blurH);

// Each colour channel of pixels whose factor f is in [0, 1) becomes
// channel x f, truncated.
void DarkenByFactors(std::uint32_t* pixels, const double* factors, std::size_t count);

// -------------------------------------------------------------- geometry

struct TileBlit {
    int x, y, width, height;
};

// The blits that repeat a tile over an area: column by column from the left,
// each column row by row from the top, the last ones cut to the area. Each
// blit takes its pixels from the tile's origin.
std::vector<TileBlit> TileBlits(int x, int y, int width, int height, int tileWidth, int tileHeight);

// The origin of frame `index` in a strip of equal frames; false when the
// strip or frame size is zero or the index is outside the strip.
bool FrameOrigin(int stripWidth, int stripHeight, int frameWidth, int frameHeight, int index, int* x, int* y);

struct LinePoint {
    int x, y;
};

// A polyline of three points (two edges of a rectangle).
struct BorderPath {
    LinePoint points[3];
};

// The lines of a 3-D border: the light ones (left and top, drawn from the
// bottom-left corner) and the dark ones (right and bottom, from the top-right
// corner); two of each for the double style. Empty for style 0 or width <= 0.
struct BorderPlan {
    std::vector<BorderPath> light, dark;
};
BorderPlan PlanRectBorder(int left, int top, int right, int bottom, int style, int width);

struct LineSegment {
    int x1, y1, x2, y2;
};

// One line, or two for the double style (the second 2 x width below a
// horizontal line, right of a vertical one, below and right of a slanted
// one). Empty for style 0 or width <= 0.
std::vector<LineSegment> PlanLine(int x1, int y1, int x2, int y2, int style, int width);

// Pen kinds of the border styles: 2..5 are dash, dot, dash-dot and
// dash-dot-dot; everything else draws solid.
enum class PenKind { Solid, Dash, Dot, DashDot, DashDotDot };
PenKind PenKindFor(int style);

} // namespace effects
