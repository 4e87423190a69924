// Resample.h - our own picture scaler.
//
// The platform's scalers, as we meet them under the compatibility layer we
// test on, point-sample when shrinking: fine stripes reduced many times come
// out as solid black or white instead of grey. So every scaled picture the
// program shows or sends goes through this code instead:
//
//  * bicubic (Catmull-Rom, the interpolating Keys cubic) when enlarging;
//  * the same cubic widened by the reduction factor when shrinking, so every
//    source pixel contributes (a proper low-pass, no aliasing);
//  * at the edges the kernel is renormalised over the pixels that exist, so
//    there is no dark or transparent rim;
//  * separable, integer fixed point: results are bit-identical everywhere,
//    with or without the SIMD path.
//
// The key operation renders only a window of the scaled picture: the pixels
// are exactly those the full render would have in that window, so cutting a
// 320 x 240 piece out of a huge zoomed picture costs in proportion to the
// piece (plus the source area under it), not to the zoomed picture.
//
// Pixels are 32-bit BGRA, top-down rows, straight (not premultiplied) alpha on
// input - what a 32bppARGB lock of a decoded picture gives.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/Geometry.h"

namespace imaging {

// A read-only view of BGRA pixels. `scan0` is the top row; `stride` is the
// distance in bytes from one row to the next (it may be negative for a
// bottom-up buffer) and its magnitude must be at least width * 4.
struct ConstPixelView {
    const uint8_t* scan0 = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// A writable view of BGRA pixels, same conventions.
struct PixelView {
    uint8_t* scan0 = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// An owned BGRA buffer with tightly packed rows (stride = width * 4).
struct PixelBuffer {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;

    int Stride() const { return width * 4; }
    ConstPixelView View() const { return ConstPixelView{bgra.data(), width, height, width * 4}; }
    PixelView MutableView() { return PixelView{bgra.data(), width, height, width * 4}; }
};

enum class AlphaOutput {
    // Composite over opaque white: transparent areas come out white, the
    // output is opaque (alpha 255). What the program always wants.
    kFlattenOverWhite,
    // Keep the alpha channel; output is premultiplied BGRA (colour <= alpha).
    kPremultiplied,
};

struct ResampleOptions {
    AlphaOutput alpha = AlphaOutput::kFlattenOverWhite;
    // Use the SSE2 path where the compiler offers it. The portable path gives
    // the same pixels; this switch exists so tests can prove that.
    bool allowSimd = true;
};

// Limits: no side beyond kMaxSide, no output beyond kMaxOutputPixels. Larger
// requests are refused (false) rather than attempted.
constexpr int kMaxSide = 1 << 24;
constexpr long long kMaxOutputPixels = 1LL << 28;

// Checks a source view: non-null, sides in 1..kMaxSide, |stride| >= width * 4.
bool IsValidSource(const ConstPixelView& src);

// Renders the part `window` of `src` scaled to fullWidth x fullHeight into
// `dst`, whose size must be the window's. The window may reach outside
// (0, 0, fullWidth, fullHeight); pixels there are background: opaque white
// when flattening, transparent (all zero) when keeping alpha.
// Returns false, without writing anything, for an invalid source, a full
// size or window with a side outside 1..kMaxSide, a window of more than
// kMaxOutputPixels, a destination of the wrong size, or when memory runs out.
// Working memory is proportional to the source area under the window (at
// most one source-sized copy, for sources with transparency), never to the
// full destination size. The destination must not overlap the source.
bool ResampleWindowInto(const ConstPixelView& src, int fullWidth, int fullHeight, const Rect& window,
                        const PixelView& dst, const ResampleOptions& options = {});

// The part `window` of a target of the given size in which the picture is
// shown fitted (FitRect) and centred on white: exactly the pixels a full
// render of the target (white, then the picture scaled to its fitted size
// at its place) has in that window. This is how the preview draws only the
// part of the picture behind the handheld's screen. False, without writing
// anything, when ResampleWindowInto would refuse the request.
bool ResampleFittedWindowInto(const ConstPixelView& src, Size target, const Rect& window, const PixelView& dst);

// As ResampleWindowInto, into a new buffer of the window's size. On failure
// `out` is left empty.
bool ResampleWindow(const ConstPixelView& src, int fullWidth, int fullHeight, const Rect& window,
                    PixelBuffer& out, const ResampleOptions& options = {});

// The whole picture scaled to width x height.
bool Resample(const ConstPixelView& src, int width, int height, PixelBuffer& out,
              const ResampleOptions& options = {});

// Composites straight-alpha BGRA pixels over opaque white in place; the result
// is opaque. For pictures that are used without scaling.
void FlattenOverWhite(const PixelView& pixels);

}  // namespace imaging
