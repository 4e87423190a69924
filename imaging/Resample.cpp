// Resample.cpp - see Resample.h for what and why.
//
// How a window is rendered:
//  1. For every destination column of the window (and every destination row)
//     a list of source taps with 14-bit fixed-point weights is built from the
//     full destination size only, never from the window, which is what makes
//     a window render equal the same pixels of a full render.
//  2. For each destination row, a vertical pass combines the source rows under
//     it, over just the source columns the window needs, into an int16 row
//     with 6 fractional bits. Rows with any transparency are first converted
//     (premultiplied, or composited over white) into a small ring of rows;
//     opaque rows are read in place.
//  3. A horizontal pass combines that row into the window's pixels.
// Vertical first, because that pass is the heavy one when shrinking and it
// runs over contiguous bytes, which vectorises well. All arithmetic is
// integer, so the SIMD and portable paths agree bit for bit.
#include "imaging/Resample.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define IMAGING_HAVE_SSE2 1
#else
#define IMAGING_HAVE_SSE2 0
#endif

namespace imaging {

namespace {

constexpr int kWeightBits = 14;
constexpr int kWeightOne = 1 << kWeightBits;
// Vertical sums carry 14 weight bits; the intermediate row keeps 6 of them.
constexpr int kMidShift = 8;
// Horizontal sums: 6 intermediate bits plus 14 weight bits.
constexpr int kOutShift = 20;

// Keys cubic with a = -0.5 (Catmull-Rom): interpolating, sharp, and the
// usual meaning of "bicubic".
double CubicKernel(double x) {
    x = std::fabs(x);
    if (x < 1.0) return (1.5 * x - 2.5) * x * x + 1.0;
    if (x < 2.0) return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
    return 0.0;
}
constexpr double kKernelRadius = 2.0;

// Source taps for a run of destination indices along one axis.
struct AxisTaps {
    std::vector<int> first;     // first source index, per destination index
    std::vector<int> count;     // number of taps
    std::vector<int> offset;    // into weights
    std::vector<int16_t> weights;
    int spanFirst = 0;          // union of all taps: [spanFirst, spanEnd)
    int spanEnd = 0;
    int maxCount = 0;
};

// Taps for destination indices [dstFirst, dstEnd) of an axis scaled from
// srcLen to dstLen. Source pixel i covers [i, i + 1); destination pixel d
// samples at its centre. Near the edges the kernel is renormalised over the
// pixels that exist, so a border pixel weighs no more than any other (folding
// the missing taps onto it would over-weight it badly in strong reductions).
void BuildAxisTaps(int srcLen, int dstLen, int dstFirst, int dstEnd, AxisTaps& taps) {
    const int n = dstEnd - dstFirst;
    taps.first.resize(n);
    taps.count.resize(n);
    taps.offset.resize(n);
    taps.weights.clear();
    taps.spanFirst = srcLen;
    taps.spanEnd = 0;
    taps.maxCount = 0;

    const double scale = static_cast<double>(srcLen) / dstLen;
    const double stretch = std::max(1.0, scale);  // widen the kernel when shrinking
    const double support = kKernelRadius * stretch;

    std::vector<double> w;
    std::vector<int> q;
    for (int k = 0; k < n; ++k) {
        const int d = dstFirst + k;
        const double centre = (d + 0.5) * scale;
        // Source pixels whose centres lie strictly within the support.
        const long long lo = static_cast<long long>(std::floor(centre - support - 0.5)) + 1;
        const long long hi = static_cast<long long>(std::ceil(centre + support - 0.5)) - 1;
        const int clo = static_cast<int>(std::min<long long>(std::max<long long>(lo, 0), srcLen - 1));
        const int chi = static_cast<int>(std::min<long long>(std::max<long long>(hi, clo), srcLen - 1));
        const size_t m = static_cast<size_t>(chi - clo + 1);
        w.resize(m);
        double sum = 0.0;
        for (size_t i = 0; i < m; ++i) {
            w[i] = CubicKernel((static_cast<double>(clo) + static_cast<double>(i) + 0.5 - centre) / stretch);
            sum += w[i];
        }

        // Quantise so the weights add up to exactly kWeightOne (flat areas
        // stay exactly flat), rounding the running sum so that the rounding
        // error is spread over the taps instead of piling up on one.
        q.assign(m, 0);
        if (!(sum > 1e-9)) {
            // Cannot happen with this kernel; take the nearest pixel.
            const long long c = std::min<long long>(
                std::max<long long>(static_cast<long long>(std::floor(centre)), clo), chi);
            q[static_cast<size_t>(c - clo)] = kWeightOne;
        } else {
            double running = 0.0;
            long long previous = 0;
            for (size_t i = 0; i < m; ++i) {
                running += w[i];
                const long long now = (i + 1 == m) ? kWeightOne : std::llround(running / sum * kWeightOne);
                q[i] = static_cast<int>(now - previous);
                previous = now;
            }
        }

        // Drop zero weights at both ends.
        size_t b = 0, e = m;
        while (b + 1 < e && q[b] == 0) ++b;
        while (e - 1 > b && q[e - 1] == 0) --e;

        taps.first[k] = clo + static_cast<int>(b);
        taps.count[k] = static_cast<int>(e - b);
        taps.offset[k] = static_cast<int>(taps.weights.size());
        for (size_t i = b; i < e; ++i) taps.weights.push_back(static_cast<int16_t>(q[i]));
        taps.spanFirst = std::min(taps.spanFirst, taps.first[k]);
        taps.spanEnd = std::max(taps.spanEnd, taps.first[k] + taps.count[k]);
        taps.maxCount = std::max(taps.maxCount, taps.count[k]);
    }
}

inline int16_t SaturateInt16(int v) {
    return static_cast<int16_t>(std::min(32767, std::max(-32768, v)));
}

inline int ClampInt(int v, int lo, int hi) { return std::min(hi, std::max(lo, v)); }

// ---- vertical pass: rows of bytes -> one int16 row -----------------------

// Row by row into an accumulator row: simple loops a compiler can vectorise.
// Integer sums do not depend on order, so this equals the SIMD path.
void VerticalRows(const uint8_t* const* rows, const int16_t* w, int count, size_t n, int32_t* acc,
                  int16_t* out) {
    for (size_t i = 0; i < n; ++i) acc[i] = 1 << (kMidShift - 1);
    for (int k = 0; k < count; ++k) {
        const uint8_t* r = rows[k];
        const int32_t wk = w[k];
        for (size_t i = 0; i < n; ++i) acc[i] += wk * r[i];
    }
    for (size_t i = 0; i < n; ++i) out[i] = SaturateInt16(acc[i] >> kMidShift);
}

#if IMAGING_HAVE_SSE2
// Element by element; used for the tail of the SIMD path.
void VerticalTail(const uint8_t* const* rows, const int16_t* w, int count, size_t n, int16_t* out,
                  size_t from) {
    for (size_t i = from; i < n; ++i) {
        int acc = 0;
        for (int k = 0; k < count; ++k) acc += w[k] * rows[k][i];
        out[i] = SaturateInt16((acc + (1 << (kMidShift - 1))) >> kMidShift);
    }
}

// Two 16-bit weights in one 32-bit lane, the layout _mm_madd_epi16 pairs
// with interleaved samples.
inline int PackPair(int16_t w0, int16_t w1) {
    return static_cast<int>((static_cast<uint32_t>(static_cast<uint16_t>(w1)) << 16) | static_cast<uint16_t>(w0));
}

// Adds w0 * r0 + w1 * r1 for 16 bytes into four accumulators.
#define IMAGING_MADD16(r0, r1, wp, a0, a1, a2, a3)                                  \
    do {                                                                            \
        const __m128i lo_ = _mm_unpacklo_epi8((r0), (r1));                          \
        const __m128i hi_ = _mm_unpackhi_epi8((r0), (r1));                          \
        (a0) = _mm_add_epi32((a0), _mm_madd_epi16(_mm_unpacklo_epi8(lo_, zero), (wp))); \
        (a1) = _mm_add_epi32((a1), _mm_madd_epi16(_mm_unpackhi_epi8(lo_, zero), (wp))); \
        (a2) = _mm_add_epi32((a2), _mm_madd_epi16(_mm_unpacklo_epi8(hi_, zero), (wp))); \
        (a3) = _mm_add_epi32((a3), _mm_madd_epi16(_mm_unpackhi_epi8(hi_, zero), (wp))); \
    } while (0)

// `rows` holds 2 * pairs entries and `wp` the matching weight pairs (the
// caller pads an odd count with a zero-weight repeat of the last row).
void VerticalSse2(const uint8_t* const* rows, const int16_t* w, const int* wp, int pairs, size_t n,
                  int16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(1 << (kMidShift - 1));
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m128i a0 = round, a1 = round, a2 = round, a3 = round;
        __m128i b0 = round, b1 = round, b2 = round, b3 = round;
        for (int p = 0; p < pairs; ++p) {
            const uint8_t* p0 = rows[2 * p] + i;
            const uint8_t* p1 = rows[2 * p + 1] + i;
            const __m128i wpair = _mm_set1_epi32(wp[p]);
            const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p0));
            const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1));
            IMAGING_MADD16(r0, r1, wpair, a0, a1, a2, a3);
            const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + 16));
            const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + 16));
            IMAGING_MADD16(s0, s1, wpair, b0, b1, b2, b3);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(_mm_srai_epi32(a0, kMidShift), _mm_srai_epi32(a1, kMidShift)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8),
                         _mm_packs_epi32(_mm_srai_epi32(a2, kMidShift), _mm_srai_epi32(a3, kMidShift)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16),
                         _mm_packs_epi32(_mm_srai_epi32(b0, kMidShift), _mm_srai_epi32(b1, kMidShift)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 24),
                         _mm_packs_epi32(_mm_srai_epi32(b2, kMidShift), _mm_srai_epi32(b3, kMidShift)));
    }
    VerticalTail(rows, w, 2 * pairs, n, out, i);
}
#undef IMAGING_MADD16
#endif

// ---- horizontal pass: one int16 row -> output pixels ---------------------

// Fixed-point sums of the four channels of one output pixel.
inline void HorizontalPixelPortable(const int16_t* mid, const int16_t* w, int count, int acc[4]) {
    for (int c = 0; c < 4; ++c) acc[c] = 1 << (kOutShift - 1);
    for (int k = 0; k < count; ++k) {
        const int16_t* p = mid + 4 * k;
        for (int c = 0; c < 4; ++c) acc[c] += w[k] * p[c];
    }
}

#if IMAGING_HAVE_SSE2
// `wp` holds the taps' weights packed in pairs (an odd last tap pairs with a
// zero). The last pair may read one pixel beyond the last tap; the
// intermediate row carries a pixel of padding for that.
inline __m128i HorizontalPixelSse2(const int16_t* mid, const int* wp, int count) {
    __m128i acc = _mm_set1_epi32(1 << (kOutShift - 1));
    const int pairs = (count + 1) / 2;
    for (int p = 0; p < pairs; ++p) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mid + 8 * p));
        const __m128i interleaved = _mm_unpacklo_epi16(v, _mm_srli_si128(v, 8));
        acc = _mm_add_epi32(acc, _mm_madd_epi16(interleaved, _mm_set1_epi32(wp[p])));
    }
    return _mm_srai_epi32(acc, kOutShift);
}
#endif

inline void StorePixel(uint8_t* out, int b, int g, int r, int a, AlphaOutput mode) {
    if (mode == AlphaOutput::kFlattenOverWhite) {
        out[0] = static_cast<uint8_t>(ClampInt(b, 0, 255));
        out[1] = static_cast<uint8_t>(ClampInt(g, 0, 255));
        out[2] = static_cast<uint8_t>(ClampInt(r, 0, 255));
        out[3] = 255;
    } else {
        // Premultiplied: no colour may exceed the alpha (ringing can push it).
        const int alpha = ClampInt(a, 0, 255);
        out[0] = static_cast<uint8_t>(ClampInt(b, 0, alpha));
        out[1] = static_cast<uint8_t>(ClampInt(g, 0, alpha));
        out[2] = static_cast<uint8_t>(ClampInt(r, 0, alpha));
        out[3] = static_cast<uint8_t>(alpha);
    }
}

// Weight pairs for the SIMD horizontal pass, per destination column.
struct PackedPairs {
    std::vector<int> offset;
    std::vector<int> pairs;
};

void PackAxisPairs(const AxisTaps& h, PackedPairs& packed) {
    const size_t n = h.first.size();
    packed.offset.resize(n);
    packed.pairs.clear();
    for (size_t x = 0; x < n; ++x) {
        packed.offset[x] = static_cast<int>(packed.pairs.size());
        const int16_t* w = h.weights.data() + h.offset[x];
        for (int k = 0; k < h.count[x]; k += 2) {
            const uint32_t lo = static_cast<uint16_t>(w[k]);
            const uint32_t hi = k + 1 < h.count[x] ? static_cast<uint16_t>(w[k + 1]) : 0u;
            packed.pairs.push_back(static_cast<int>((hi << 16) | lo));
        }
    }
}

void HorizontalRow(const int16_t* mid, int spanFirst, const AxisTaps& h, const PackedPairs& packed,
                   uint8_t* out, AlphaOutput mode, bool simd) {
    const int n = static_cast<int>(h.first.size());
#if IMAGING_HAVE_SSE2
    if (simd) {
        const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        for (int x = 0; x < n; ++x) {
            const __m128i v = HorizontalPixelSse2(mid + 4 * static_cast<size_t>(h.first[x] - spanFirst),
                                                  packed.pairs.data() + packed.offset[x], h.count[x]);
            uint8_t* o = out + 4 * static_cast<size_t>(x);
            if (mode == AlphaOutput::kFlattenOverWhite) {
                // Saturating packs clamp to 0..255 exactly as StorePixel does.
                const __m128i px = _mm_or_si128(_mm_packus_epi16(_mm_packs_epi32(v, v), v), opaque);
                const int bits = _mm_cvtsi128_si32(px);
                std::memcpy(o, &bits, 4);
            } else {
                alignas(16) int acc[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(acc), v);
                StorePixel(o, acc[0], acc[1], acc[2], acc[3], mode);
            }
        }
        return;
    }
#else
    (void)simd;
    (void)packed;
#endif
    for (int x = 0; x < n; ++x) {
        int acc[4];
        HorizontalPixelPortable(mid + 4 * static_cast<size_t>(h.first[x] - spanFirst),
                                h.weights.data() + h.offset[x], h.count[x], acc);
        StorePixel(out + 4 * static_cast<size_t>(x), acc[0] >> kOutShift, acc[1] >> kOutShift,
                   acc[2] >> kOutShift, acc[3] >> kOutShift, mode);
    }
}

// ---- source rows with transparency ---------------------------------------

inline void ConvertPixel(const uint8_t* s, uint8_t* d, AlphaOutput mode) {
    const int a = s[3];
    if (mode == AlphaOutput::kFlattenOverWhite) {
        const int white = 255 * (255 - a);
        for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] * a + white + 127) / 255);
        d[3] = 255;
    } else {
        for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] * a + 127) / 255);
        d[3] = static_cast<uint8_t>(a);
    }
}

bool RowIsOpaque(const uint8_t* row, int pixels) {
    // AND all pixels together, a block at a time, and look at the alpha byte.
    size_t i = 0;
    const size_t n = static_cast<size_t>(pixels);
#if IMAGING_HAVE_SSE2
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 16 <= n; i += 16) {
        const __m128i* p = reinterpret_cast<const __m128i*>(row + 4 * i);
        __m128i all = _mm_and_si128(_mm_and_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                    _mm_and_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3)));
        all = _mm_and_si128(all, alpha);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(all, alpha)) != 0xFFFF) return false;
    }
#endif
    for (; i < n; ++i)
        if (row[4 * i + 3] != 255) return false;
    return true;
}

inline const uint8_t* SourceRow(const ConstPixelView& src, int y) {
    return src.scan0 + static_cast<std::ptrdiff_t>(y) * src.stride;
}

inline uint8_t* DestRow(const PixelView& dst, int y) {
    return dst.scan0 + static_cast<std::ptrdiff_t>(y) * dst.stride;
}

void FillBackground(uint8_t* p, size_t pixels, AlphaOutput mode) {
    std::memset(p, mode == AlphaOutput::kFlattenOverWhite ? 0xFF : 0x00, pixels * 4);
}

long long Extent(int from, int to) { return static_cast<long long>(to) - from; }

bool ValidSide(long long v) { return v >= 1 && v <= kMaxSide; }

}  // namespace

bool IsValidSource(const ConstPixelView& src) {
    if (!src.scan0 || !ValidSide(src.width) || !ValidSide(src.height)) return false;
    const long long row = 4LL * src.width;
    const long long stride = src.stride < 0 ? -static_cast<long long>(src.stride) : src.stride;
    return stride >= row;
}

bool ResampleWindowInto(const ConstPixelView& src, int fullWidth, int fullHeight, const Rect& window,
                        const PixelView& dst, const ResampleOptions& options) {
    if (!IsValidSource(src) || !ValidSide(fullWidth) || !ValidSide(fullHeight)) return false;
    const long long ww = Extent(window.left, window.right);
    const long long wh = Extent(window.top, window.bottom);
    if (!ValidSide(ww) || !ValidSide(wh) || ww * wh > kMaxOutputPixels) return false;
    if (!dst.scan0 || dst.width != ww || dst.height != wh) return false;
    {
        const long long stride = dst.stride < 0 ? -static_cast<long long>(dst.stride) : dst.stride;
        if (stride < 4 * ww) return false;
    }

    const AlphaOutput mode = options.alpha;
#if IMAGING_HAVE_SSE2
    const bool simd = options.allowSimd;
#else
    const bool simd = false;
#endif

    // The part of the window that lies on the picture; the rest is background.
    const int ix0 = std::max(window.left, 0), ix1 = std::min(window.right, fullWidth);
    const int iy0 = std::max(window.top, 0), iy1 = std::min(window.bottom, fullHeight);
    if (ix0 >= ix1 || iy0 >= iy1) {
        for (int y = 0; y < dst.height; ++y) FillBackground(DestRow(dst, y), static_cast<size_t>(ww), mode);
        return true;
    }

    try {
        AxisTaps h, v;
        BuildAxisTaps(src.width, fullWidth, ix0, ix1, h);
        BuildAxisTaps(src.height, fullHeight, iy0, iy1, v);

        const int spanFirst = h.spanFirst;
        const int spanWidth = h.spanEnd - h.spanFirst;
        const size_t spanBytes = 4 * static_cast<size_t>(spanWidth);

        // Intermediate row plus one zero pixel of padding and slack for the
        // 16-byte loads of the horizontal pass.
        std::vector<int16_t> mid(4 * static_cast<size_t>(spanWidth + 2), 0);

        // Transparency: every source row under the window is checked once,
        // up front, so that all allocation happens before anything is
        // written. Rows that are not opaque are converted on first use into
        // a ring of slots large enough for one output row's taps.
        const int rowsFirst = v.spanFirst;
        std::vector<uint8_t> rowOpaque(static_cast<size_t>(v.spanEnd - v.spanFirst));
        bool anyTransparent = false;
        for (int y = v.spanFirst; y < v.spanEnd; ++y) {
            const bool o = RowIsOpaque(SourceRow(src, y) + 4 * static_cast<size_t>(spanFirst), spanWidth);
            rowOpaque[static_cast<size_t>(y - rowsFirst)] = o;
            anyTransparent = anyTransparent || !o;
        }
        const int slots = v.maxCount;
        std::vector<uint8_t> ring;
        std::vector<int> ringTag;
        if (anyTransparent) {
            ring.resize(static_cast<size_t>(slots) * spanBytes);
            ringTag.assign(static_cast<size_t>(slots), -1);
        }

        auto rowFor = [&](int y) -> const uint8_t* {
            const uint8_t* s = SourceRow(src, y) + 4 * static_cast<size_t>(spanFirst);
            if (rowOpaque[static_cast<size_t>(y - rowsFirst)]) return s;
            const size_t slot = static_cast<size_t>(y % slots);
            uint8_t* d = ring.data() + slot * spanBytes;
            if (ringTag[slot] != y) {
                for (int i = 0; i < spanWidth; ++i)
                    ConvertPixel(s + 4 * static_cast<size_t>(i), d + 4 * static_cast<size_t>(i), mode);
                ringTag[slot] = y;
            }
            return d;
        };

        std::vector<const uint8_t*> rows(static_cast<size_t>(v.maxCount) + 1);
        std::vector<int16_t> wv(static_cast<size_t>(v.maxCount) + 1);
        std::vector<int32_t> accRow;
        std::vector<int> wpairs;
        PackedPairs packed;
        if (simd) {
            wpairs.resize(static_cast<size_t>(v.maxCount) / 2 + 1);
            PackAxisPairs(h, packed);
        } else {
            accRow.resize(spanBytes);
        }

        const size_t leftPad = static_cast<size_t>(ix0 - window.left);
        const size_t inner = static_cast<size_t>(ix1 - ix0);
        const size_t rightPad = static_cast<size_t>(window.right - ix1);

        for (int y = 0; y < dst.height; ++y) {
            uint8_t* out = DestRow(dst, y);
            const int dy = window.top + y;
            if (dy < iy0 || dy >= iy1) {
                FillBackground(out, static_cast<size_t>(ww), mode);
                continue;
            }
            const size_t k = static_cast<size_t>(dy - iy0);
            const int count = v.count[k];
            for (int t = 0; t < count; ++t) {
                rows[static_cast<size_t>(t)] = rowFor(v.first[k] + t);
                wv[static_cast<size_t>(t)] = v.weights[static_cast<size_t>(v.offset[k] + t)];
            }
#if IMAGING_HAVE_SSE2
            if (simd) {
                int padded = count;
                if (padded % 2) {
                    rows[static_cast<size_t>(padded)] = rows[static_cast<size_t>(padded - 1)];
                    wv[static_cast<size_t>(padded)] = 0;
                    ++padded;
                }
                for (int p = 0; p < padded / 2; ++p)
                    wpairs[static_cast<size_t>(p)] =
                        PackPair(wv[static_cast<size_t>(2 * p)], wv[static_cast<size_t>(2 * p + 1)]);
                VerticalSse2(rows.data(), wv.data(), wpairs.data(), padded / 2, spanBytes, mid.data());
            } else
#endif
            {
                VerticalRows(rows.data(), wv.data(), count, spanBytes, accRow.data(), mid.data());
            }

            if (leftPad) FillBackground(out, leftPad, mode);
            HorizontalRow(mid.data(), spanFirst, h, packed, out + 4 * leftPad, mode, simd);
            if (rightPad) FillBackground(out + 4 * (leftPad + inner), rightPad, mode);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ResampleFittedWindowInto(const ConstPixelView& src, Size target, const Rect& window, const PixelView& dst) {
    if (!IsValidSource(src) || !ValidSide(target.width) || !ValidSide(target.height)) return false;
    const Rect fit = FitRect(Size{src.width, src.height}, target);
    // Window coordinates relative to the fitted picture's corner; around it
    // the resampler gives white.
    const long long edges[4] = {static_cast<long long>(window.left) - fit.left, static_cast<long long>(window.top) - fit.top,
                                static_cast<long long>(window.right) - fit.left, static_cast<long long>(window.bottom) - fit.top};
    for (long long e : edges)
        if (e < INT_MIN || e > INT_MAX) return false;
    const Rect shifted{static_cast<int>(edges[0]), static_cast<int>(edges[1]), static_cast<int>(edges[2]),
                       static_cast<int>(edges[3])};
    if (fit.IsEmpty()) {
        if (!ValidSide(Extent(window.left, window.right)) || !ValidSide(Extent(window.top, window.bottom)) ||
            dst.width != window.Width() || dst.height != window.Height() || !dst.scan0)
            return false;
        for (int y = 0; y < dst.height; ++y) FillBackground(DestRow(dst, y), static_cast<size_t>(dst.width), AlphaOutput::kFlattenOverWhite);
        return true;
    }
    return ResampleWindowInto(src, fit.Width(), fit.Height(), shifted, dst);
}

bool ResampleWindow(const ConstPixelView& src, int fullWidth, int fullHeight, const Rect& window,
                    PixelBuffer& out, const ResampleOptions& options) {
    out = PixelBuffer{};
    const long long ww = Extent(window.left, window.right);
    const long long wh = Extent(window.top, window.bottom);
    if (!ValidSide(ww) || !ValidSide(wh) || ww * wh > kMaxOutputPixels) return false;
    if (!IsValidSource(src) || !ValidSide(fullWidth) || !ValidSide(fullHeight)) return false;
    PixelBuffer buffer;
    try {
        buffer.width = static_cast<int>(ww);
        buffer.height = static_cast<int>(wh);
        buffer.bgra.resize(static_cast<size_t>(ww) * static_cast<size_t>(wh) * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!ResampleWindowInto(src, fullWidth, fullHeight, window, buffer.MutableView(), options)) return false;
    out = std::move(buffer);
    return true;
}

bool Resample(const ConstPixelView& src, int width, int height, PixelBuffer& out,
              const ResampleOptions& options) {
    return ResampleWindow(src, width, height, Rect{0, 0, width, height}, out, options);
}

void FlattenOverWhite(const PixelView& pixels) {
    if (!pixels.scan0 || pixels.width <= 0 || pixels.height <= 0) return;
    for (int y = 0; y < pixels.height; ++y) {
        uint8_t* row = DestRow(pixels, y);
        for (int x = 0; x < pixels.width; ++x) {
            uint8_t* p = row + 4 * static_cast<size_t>(x);
            if (p[3] != 255) ConvertPixel(p, p, AlphaOutput::kFlattenOverWhite);
        }
    }
}

}  // namespace imaging
