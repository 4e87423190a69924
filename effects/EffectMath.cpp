// Pixel arithmetic of the drawing effects.
#include "effects/EffectMath.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace effects {

namespace {

// Signed cube scaled down: c^3 / 16384, truncated toward zero.
int Cube(int c) { return c * c * c / 16384; }

std::uint8_t Byte(std::int64_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

Colour MixBand(Colour a, Colour b, int i) {
    return MakeColour((RedOf(a) * (64 - i) + RedOf(b) * i) >> 6, (GreenOf(a) * (64 - i) + GreenOf(b) * i) >> 6,
                      (BlueOf(a) * (64 - i) + BlueOf(b) * i) >> 6);
}

// The terms every pattern shares.
struct PatternTerms {
    int g, t, o;
    int w, h;
    RandomSource& random;
    int Noise() { return random.Next() / o - g; }
    // Row counted from the bottom edge (storage order) and column from the left.
    int Cy(int r) const { return (r * 255) / h - 127; }
    int Cx(int x) const { return ((w - x) * 255) / w - 127; }
};

template <class F>
void ForEachPixel(CPackedDib& dib, F f) {
    std::uint8_t* bits = dib.Bits();
    for (int r = 0; r < dib.Height(); ++r) {
        std::uint8_t* row = bits + static_cast<std::size_t>(r) * dib.Stride();
        for (int x = 0; x < dib.Width(); ++x) row[x] = f(row[x], x, r);
    }
}

void PaintMetal(CPackedDib& dib, PatternTerms& p) {
    const int w = p.w, h = p.h;
    dib.Fill(0);
    for (int n = 0; n < 200; ++n) {
        int x0 = p.random.Next() / (32767 / w);
        int y0 = p.random.Next() / (32767 / h);
        int length = p.random.Next() / (32767 / std::min(w, h));
        int k = p.random.Next();
        auto intensity = static_cast<std::uint8_t>(k / 819);
        for (int j = 0; j < length / 2; ++j) {
            if (x0 - j > 0 && y0 + j < h) dib.SetIndex(x0 - j, y0 + j, intensity);
            if (x0 + j < w && y0 - j > 0) dib.SetIndex((w - x0) + j, y0 - j, intensity);
        }
    }
    int s = (p.t - 40) / 2;
    ForEachPixel(dib, [&](std::uint8_t v, int x, int r) {
        return Byte(v + (s * r) / h + ((w - x) * s) / w + p.random.Next() / p.o);
    });
}

void PaintHardBump(CPackedDib& dib, PatternTerms& p) {
    const int w = p.w, h = p.h, g = p.g;
    ForEachPixel(dib, [&](std::uint8_t, int, int r) {
        return Byte(((128 - 2 * g) * Cube(p.Cy(r))) / 128 + 128 + p.Noise());
    });
    const int b = std::min(w / 6, 16);
    const std::int64_t quarter = (std::int64_t(h) * h) / 4;
    ForEachPixel(dib, [&](std::uint8_t v, int x, int r) {
        std::int64_t dy = r - h / 2, dx = x - w / 2;
        std::int64_t lim = (w / 2 - b) + (dy * dy * b) / quarter;
        std::int64_t out = v;
        if (dx > lim) out = g + (std::int64_t(w - x) * 128) / b;
        if (dx + lim < 0) out = (255 - g) - (std::int64_t(x) * 128) / b;
        return Byte(out);
    });
    ForEachPixel(dib, [&](std::uint8_t v, int, int) { return Byte(v + p.Noise()); });
}

} // namespace

// ------------------------------------------------------------------ fills

bool IsGradientFill(int effect) { return effect >= FillHGradient && effect <= Fill3VGradient; }
bool IsPatternFill(int effect) { return effect >= FillNoise && effect <= FillMetal; }

bool PatternFitsSize(int effect, int width, int height) {
    if (width <= 0 || height <= 0) return false;
    if (effect == FillHardBump) return width >= 6 && height >= 2;
    if (effect == FillMetal) return width <= 32767 && height <= 32767;
    return IsPatternFill(effect);
}

bool PaintPattern(CPackedDib& dib, int effect, int granularity, RandomSource& random) {
    if (dib.BitCount() != 8 || !PatternFitsSize(effect, dib.Width(), dib.Height())) return false;
    const int g = std::clamp(granularity, 0, 255);
    PatternTerms p{g, 255 - 2 * g, 32767 / (g ? 2 * g : 1), dib.Width(), dib.Height(), random};
    const int w = p.w, h = p.h, t = p.t;
    switch (effect) {
    case FillNoise:
        ForEachPixel(dib, [&](std::uint8_t, int, int) { return Byte(128 - g + random.Next() / p.o); });
        break;
    case FillDiagShade:
        ForEachPixel(dib, [&](std::uint8_t, int x, int r) {
            return Byte(g + ((t / 2) * r) / h + ((w - x) * (t / 2)) / w + p.Noise());
        });
        break;
    case FillHShade:
        ForEachPixel(dib, [&](std::uint8_t, int, int r) { return Byte(g + (t * r) / h + p.Noise()); });
        break;
    case FillVShade:
        ForEachPixel(dib, [&](std::uint8_t, int x, int) { return Byte(g + ((w - x) * t) / w + p.Noise()); });
        break;
    case FillHBump:
        ForEachPixel(dib, [&](std::uint8_t, int, int r) {
            return Byte(((128 - g) * Cube(p.Cy(r))) / 128 + 128 + p.Noise());
        });
        break;
    case FillVBump:
        ForEachPixel(dib, [&](std::uint8_t, int x, int) {
            return Byte(((128 - g) * Cube(p.Cx(x))) / 128 + 128 + p.Noise());
        });
        break;
    case FillSoftBump:
        ForEachPixel(dib, [&](std::uint8_t, int x, int r) {
            int v = ((128 - g) * (Cube(p.Cy(r)) + Cube(p.Cx(x)))) / 128 + 128;
            v = std::min(std::max(v, g), 255 - g);
            return Byte(v + p.Noise());
        });
        break;
    case FillHardBump: PaintHardBump(dib, p); break;
    case FillMetal: PaintMetal(dib, p); break;
    default: return false;
    }
    return true;
}

bool MakePatternFill(CPackedDib& dib, int effect, int width, int height, Colour begin, Colour middle, Colour end,
                     int granularity, int colouring, RandomSource& random) {
    if (!PatternFitsSize(effect, width, height)) return false;
    if (!dib.Create(width, height, 8)) return false;
    SetRampPalette(dib, end, middle, begin);
    dib.TintPalette(begin, colouring);
    return PaintPattern(dib, effect, granularity, random);
}

void AppendGradientBands(std::vector<FillBand>& out, bool horizontal, int start, int length, int acrossStart,
                         int acrossEnd, Colour from, Colour to) {
    if (length <= 0 || acrossEnd <= acrossStart) return;
    for (int i = 0; i < 64; ++i) {
        int a = start + static_cast<int>((std::int64_t(i) * length) >> 6);
        int b = start + static_cast<int>((std::int64_t(i + 1) * length) >> 6);
        if (a == b) continue;
        Colour c = MixBand(from, to, i);
        out.push_back(horizontal ? FillBand{a, acrossStart, b, acrossEnd, c} : FillBand{acrossStart, a, acrossEnd, b, c});
    }
}

std::vector<FillBand> GradientFillBands(int effect, int left, int top, int right, int bottom, Colour begin,
                                        Colour middle, Colour end) {
    std::vector<FillBand> out;
    if (!IsGradientFill(effect) || right <= left || bottom <= top) return out;
    const bool horizontal = effect == FillHGradient || effect == FillHCGradient || effect == Fill3HGradient;
    const int start = horizontal ? left : top;
    const int length = horizontal ? right - left : bottom - top;
    const int across0 = horizontal ? top : left, across1 = horizontal ? bottom : right;
    const int half = length / 2;
    switch (effect) {
    case FillHGradient:
    case FillVGradient:
        AppendGradientBands(out, horizontal, start, length, across0, across1, begin, end);
        break;
    case FillHCGradient:
    case FillVCGradient:
        AppendGradientBands(out, horizontal, start, half, across0, across1, begin, end);
        AppendGradientBands(out, horizontal, start + half, length - half, across0, across1, end, begin);
        break;
    default:
        AppendGradientBands(out, horizontal, start, half, across0, across1, begin, middle);
        AppendGradientBands(out, horizontal, start + half, length - half, across0, across1, middle, end);
        break;
    }
    return out;
}

// --------------------------------------------------------- button textures

bool GenerateButtonTextures(const ButtonTextureSpec& desc, const ButtonTextures& out, RandomSource& random) {
    const int w = desc.width, h = desc.height;
    if (!out.normal->Create(std::max(w, 1), std::max(h, 1), 8)) return false;
    if (!out.focusLineH->Create(std::max(w - 2 * desc.focusMargin - 1, 1), 1, 8)) return false;
    if (!out.focusLineV->Create(1, std::max(h - 2 * desc.focusMargin, 1), 8)) return false;
    for (CPackedDib* dib : {out.normal, out.focusLineH, out.focusLineV})
        SetRampPalette(*dib, desc.shadow, desc.face, desc.light);
    out.normal->TintPalette(desc.colour, std::min(desc.coloring, 100));

    // Dotted lines: shadow and highlight in turn, shadow first.
    for (int i = 0; i < out.focusLineH->Width(); ++i) out.focusLineH->SetIndex(i, 0, (i % 2) ? 255 : 0);
    for (int i = 0; i < out.focusLineV->Height(); ++i) out.focusLineV->SetIndex(0, i, (i % 2) ? 255 : 0);

    int effect = (desc.style >= 1 && desc.style <= 8) ? FillNoise + desc.style : FillNoise;
    // Below the size a pattern needs, the face colour's middle of the ramp.
    if (!PaintPattern(*out.normal, effect, std::clamp(desc.granularity, 0, 255), random)) out.normal->Fill(128);

    if (!out.disabled->CopyFrom(*out.normal) || !out.hover->CopyFrom(*out.normal)) return false;
    out.hover->TintPalette(desc.light, desc.highlight);
    return out.pressed->CopyFrom(*out.hover);
}

// ------------------------------------------------------------ pixel passes

bool ApplyEffectPass(std::uint32_t* pixels, std::size_t count, unsigned flags, bool useTransparent,
                     Colour transparent, Colour effectColour) {
    bool hasAlpha = false;
    const std::uint32_t transparentPixel = SwapRedBlue(transparent) & 0x00FFFFFFu;
    const std::uint32_t colourPixel = SwapRedBlue(effectColour) & 0x00FFFFFFu;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t p = pixels[i];
        const std::uint32_t top = p & 0xFF000000u;
        if (top) hasAlpha = true;
        if (useTransparent && p == transparentPixel) {
            p = 0;
        } else {
            int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (flags & EffectGray) r = g = b = static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b);
            if (flags & EffectDarken) {
                r = static_cast<int>(r * 0.75);
                g = static_cast<int>(g * 0.75);
                b = static_cast<int>(b * 0.75);
            }
            if (flags & EffectLighten) {
                r = std::min(255, static_cast<int>(r * 1.25));
                g = std::min(255, static_cast<int>(g * 1.25));
                b = std::min(255, static_cast<int>(b * 1.25));
            }
            p = (flags & EffectColor) ? colourPixel
                                      : static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
        }
        if (flags & EffectInvert) p ^= 0x00FFFFFFu;
        pixels[i] = (p & 0x00FFFFFFu) | top;
    }
    return hasAlpha;
}

// Both blends are exact: s x a + d x (1 - a) with a = A / 255 is computed as
// (s A + d (255 - A)) / 255, so no rounding of a can push a result across an
// integer.
void BlendPerPixelAlpha(std::uint32_t* dest, const std::uint32_t* src, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const int a = (src[i] >> 24) & 0xFF;
        std::uint32_t out = dest[i] & 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            int s = (src[i] >> shift) & 0xFF, d = (dest[i] >> shift) & 0xFF;
            out |= static_cast<std::uint32_t>((s * a + d * (255 - a)) / 255) << shift;
        }
        dest[i] = out;
    }
}

void BlendConstantPixels(std::uint32_t* dest, const std::uint32_t* src, std::size_t count, int percent) {
    const int p = std::clamp(percent, 0, 100);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t out = dest[i] & 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            int s = (src[i] >> shift) & 0xFF, d = (dest[i] >> shift) & 0xFF;
            out |= static_cast<std::uint32_t>((s * p + d * (100 - p)) / 100) << shift;
        }
        dest[i] = out;
    }
}

int OddBlurSize(int size) {
    if (size < 1) return 1;
    return (size % 2) ? size : size + 1;
}

std::vector<double> ShadowFactors(const std::uint32_t* mask, int width, int height, bool soft, int blurW,
                                  int blurH) {
    std::vector<double> factors;
    if (width <= 0 || height <= 0) return factors;
    const std::size_t n = static_cast<std::size_t>(width) * height;
    if (!soft) {
        factors.resize(n);
        for (std::size_t i = 0; i < n; ++i) factors[i] = (mask[i] & 0xFF) / 255.0;
        return factors;
    }
    blurW = OddBlurSize(blurW);
    blurH = OddBlurSize(blurH);
    const std::int64_t pw = std::int64_t(width) + blurW - 1, ph = std::int64_t(height) + blurH - 1;
    if (pw * ph > (std::int64_t(1) << 26)) return factors;  // far beyond any sensible shadow
    // The padded mask (outside counts as 255) and the row sums.
    std::vector<double> padded, rows;
    try {
        padded.assign(static_cast<std::size_t>(pw * ph), 255.0);
        rows.assign(static_cast<std::size_t>(pw * ph), 0.0);
        factors.resize(n);
    } catch (const std::bad_alloc&) {
        return {};
    }
    const int ox = blurW / 2, oy = blurH / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            padded[static_cast<std::size_t>((y + oy) * pw + x + ox)] = mask[std::size_t(y) * width + x] & 0xFF;
    // Along rows: rows[y][x] = sum of padded[y][x .. x + blurW - 1].
    for (std::int64_t y = 0; y < ph; ++y) {
        const double* in = &padded[static_cast<std::size_t>(y * pw)];
        double* out = &rows[static_cast<std::size_t>(y * pw)];
        double sum = 0;
        for (int x = 0; x < blurW; ++x) sum += in[x];
        for (int x = 0; x < width; ++x) {
            out[x] = sum;
            if (x + blurW < pw) sum += in[x + blurW] - in[x];
        }
    }
    // Along columns.
    const double scale = 1.0 / (double(blurW) * blurH * 255.0);
    for (int x = 0; x < width; ++x) {
        double sum = 0;
        for (int y = 0; y < blurH; ++y) sum += rows[static_cast<std::size_t>(y * pw + x)];
        for (int y = 0; y < height; ++y) {
            factors[std::size_t(y) * width + x] = sum * scale;
            if (y + blurH < ph)
                sum += rows[static_cast<std::size_t>((y + blurH) * pw + x)] - rows[static_cast<std::size_t>(y * pw + x)];
        }
    }
    return factors;
}

void DarkenByFactors(std::uint32_t* pixels, const double* factors, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const double f = factors[i];
        if (!(f >= 0.0 && f < 1.0)) continue;
        std::uint32_t p = pixels[i], out = p & 0xFF000000u;
        // The factors are ratios of whole sums; the tiny lift keeps a product
        // that is a whole number in exact arithmetic from truncating below it.
        for (int shift = 0; shift < 24; shift += 8)
            out |= static_cast<std::uint32_t>(static_cast<int>(((p >> shift) & 0xFF) * f + 1e-9)) << shift;
        pixels[i] = out;
    }
}

// -------------------------------------------------------------- geometry

std::vector<TileBlit> TileBlits(int x, int y, int width, int height, int tileWidth, int tileHeight) {
    std::vector<TileBlit> out;
    if (width <= 0 || height <= 0 || tileWidth <= 0 || tileHeight <= 0) return out;
    for (std::int64_t cx = 0; cx < width; cx += tileWidth)
        for (std::int64_t cy = 0; cy < height; cy += tileHeight)
            out.push_back(TileBlit{static_cast<int>(x + cx), static_cast<int>(y + cy),
                                   static_cast<int>(std::min<std::int64_t>(tileWidth, width - cx)),
                                   static_cast<int>(std::min<std::int64_t>(tileHeight, height - cy))});
    return out;
}

bool FrameOrigin(int stripWidth, int stripHeight, int frameWidth, int frameHeight, int index, int* x, int* y) {
    if (stripWidth <= 0 || stripHeight <= 0 || frameWidth <= 0 || frameHeight <= 0 || index < 0) return false;
    const int columns = stripWidth / frameWidth, rows = stripHeight / frameHeight;
    if (columns == 0 || rows == 0 || std::int64_t(index) >= std::int64_t(columns) * rows) return false;
    *x = frameWidth * (index % columns);
    *y = frameHeight * (index / columns);
    return true;
}

BorderPlan PlanRectBorder(int left, int top, int right, int bottom, int style, int width) {
    BorderPlan plan;
    if (style == BorderNone || width <= 0) return plan;
    const int half = width / 2;
    left += half;
    top += half;
    right -= half;
    bottom -= half;
    const int lines = style == BorderDouble ? 2 : 1;
    for (int k = 0; k < lines; ++k) {
        const int in = k * 2 * width;
        const int l = left + in, t = top + in, r = right - in, b = bottom - in;
        plan.light.push_back(BorderPath{{{l, b}, {l, t}, {r, t}}});
        plan.dark.push_back(BorderPath{{{r, t}, {r, b}, {l, b}}});
    }
    return plan;
}

std::vector<LineSegment> PlanLine(int x1, int y1, int x2, int y2, int style, int width) {
    std::vector<LineSegment> out;
    if (style == BorderNone || width <= 0) return out;
    out.push_back(LineSegment{x1, y1, x2, y2});
    if (style == BorderDouble) {
        const int d = 2 * width;
        const int dx = (y1 == y2) ? 0 : d;
        const int dy = (x1 == x2 && y1 != y2) ? 0 : d;
        out.push_back(LineSegment{x1 + dx, y1 + dy, x2 + dx, y2 + dy});
    }
    return out;
}

PenKind PenKindFor(int style) {
    switch (style) {
    case BorderDash: return PenKind::Dash;
    case BorderDot: return PenKind::Dot;
    case BorderDashDot: return PenKind::DashDot;
    case BorderDashDotDot: return PenKind::DashDotDot;
    default: return PenKind::Solid;
    }
}

} // namespace effects
