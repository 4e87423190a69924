// Orientation.cpp - see Orientation.h. Each orientation is an affine map of
// pixel indices: stored pixel (x, y) goes to upright index
// origin + x * stepX + y * stepY. Quarter turns walk the destination in
// columns, so those copy a short stored column at a time: the destination is
// then written in runs, and the few rows read stay in cache.
#include "imaging/Orientation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace imaging {

namespace {

struct IndexMap {
    std::int64_t origin;
    std::int64_t stepX;
    std::int64_t stepY;
};

// For a picture stored as w x h; dw is the upright width.
IndexMap MapFor(int orientation, std::int64_t w, std::int64_t h, std::int64_t dw) {
    switch (orientation) {
        case 2: return {w - 1, -1, dw};                      // mirrored
        case 3: return {(h - 1) * dw + w - 1, -1, -dw};      // half turn
        case 4: return {(h - 1) * dw, 1, -dw};               // top to bottom
        case 5: return {0, dw, 1};                           // transposed
        case 6: return {h - 1, dw, -1};                      // quarter clockwise
        case 7: return {(w - 1) * dw + h - 1, -dw, -1};      // transversed
        case 8: return {(w - 1) * dw, -dw, 1};               // quarter anticlockwise
        default: return {0, 1, dw};                          // as stored
    }
}

}  // namespace

bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

Size UprightSize(int orientation, int storedWidth, int storedHeight) {
    return SwapsSides(orientation) ? Size{storedHeight, storedWidth} : Size{storedWidth, storedHeight};
}

namespace {

// One stored pixel as 32-bit BGRA: 4-byte pixels as they are, 3-byte BGR
// ones made opaque.
template <int kBytes>
std::uint32_t PixelAt(const std::uint8_t* p) {
    if constexpr (kBytes == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    } else {
        return 0xFF000000u | p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
    }
}

template <int kBytes>
bool Place(const std::uint8_t* scan0, int w, int count, int stride, int firstRow, int storedHeight, int orientation,
           const PixelView& upright) {
    const Size size = UprightSize(orientation, w, storedHeight);
    if (!scan0 || !upright.scan0 || w <= 0 || count < 0 || firstRow < 0 ||
        firstRow + static_cast<std::int64_t>(count) > storedHeight || upright.width != size.width ||
        upright.height != size.height || upright.stride != size.width * 4 || stride < w * kBytes)
        return false;
    auto* dst = reinterpret_cast<std::uint32_t*>(upright.scan0);
    auto row = [scan0, stride](int y) { return scan0 + static_cast<std::ptrdiff_t>(y) * stride; };
    if ((orientation < 2 || orientation > 8) && kBytes == 4) {
        for (int y = 0; y < count; ++y)
            std::memcpy(dst + static_cast<std::int64_t>(firstRow + y) * w, row(y), static_cast<std::size_t>(w) * 4);
        return true;
    }
    const IndexMap map = MapFor(orientation, w, storedHeight, size.width);
    if (!SwapsSides(orientation)) {
        for (int y = 0; y < count; ++y) {
            const std::uint8_t* s = row(y);
            std::uint32_t* d = dst + map.origin + (firstRow + y) * map.stepY;
            for (int x = 0; x < w; ++x, d += map.stepX) *d = PixelAt<kBytes>(s + x * kBytes);
        }
        return true;
    }
    // In square tiles, so that the rows read and the destination rows
    // written all stay within the processor's caches and page tables.
    constexpr int kTile = 32;
    for (int y0 = 0; y0 < count; y0 += kTile) {
        const int y1 = std::min(count, y0 + kTile);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(w, x0 + kTile);
            for (int x = x0; x < x1; ++x) {
                std::uint32_t* d = dst + map.origin + x * map.stepX + (firstRow + y0) * map.stepY;
                for (int y = y0; y < y1; ++y, d += map.stepY) *d = PixelAt<kBytes>(row(y) + x * kBytes);
            }
        }
    }
    return true;
}

}  // namespace

bool PlaceStoredRows(const ConstPixelView& rows, int firstRow, int storedHeight, int orientation,
                     const PixelView& upright) {
    return Place<4>(rows.scan0, rows.width, rows.height, rows.stride, firstRow, storedHeight, orientation, upright);
}

bool PlaceStoredBgrRows(const std::uint8_t* rows, int width, int count, int stride, int firstRow, int storedHeight,
                        int orientation, const PixelView& upright) {
    return Place<3>(rows, width, count, stride, firstRow, storedHeight, orientation, upright);
}

int OrientationOfRotateFlip(int code) {
    static const int kOrientation[8] = {1, 6, 3, 8, 2, 7, 4, 5};
    return code >= 0 && code <= 7 ? kOrientation[code] : 1;
}

}  // namespace imaging
