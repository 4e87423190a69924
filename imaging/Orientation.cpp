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

bool PlaceStoredRows(const ConstPixelView& rows, int firstRow, int storedHeight, int orientation,
                     const PixelView& upright) {
    const int w = rows.width;
    const Size size = UprightSize(orientation, w, storedHeight);
    if (!rows.scan0 || !upright.scan0 || w <= 0 || rows.height < 0 || firstRow < 0 ||
        firstRow + static_cast<std::int64_t>(rows.height) > storedHeight || upright.width != size.width ||
        upright.height != size.height || upright.stride != size.width * 4 || rows.stride < w * 4)
        return false;
    auto* dst = reinterpret_cast<std::uint32_t*>(upright.scan0);
    auto row = [&rows](int y) { return reinterpret_cast<const std::uint32_t*>(rows.scan0 + static_cast<std::ptrdiff_t>(y) * rows.stride); };
    if (orientation < 2 || orientation > 8) {
        for (int y = 0; y < rows.height; ++y)
            std::memcpy(dst + static_cast<std::int64_t>(firstRow + y) * w, row(y), static_cast<std::size_t>(w) * 4);
        return true;
    }
    const IndexMap map = MapFor(orientation, w, storedHeight, size.width);
    if (!SwapsSides(orientation)) {
        for (int y = 0; y < rows.height; ++y) {
            const std::uint32_t* s = row(y);
            std::uint32_t* d = dst + map.origin + (firstRow + y) * map.stepY;
            for (int x = 0; x < w; ++x, d += map.stepX) *d = s[x];
        }
        return true;
    }
    // In square tiles, so that the rows read and the destination rows
    // written all stay within the processor's caches and page tables.
    constexpr int kTile = 32;
    for (int y0 = 0; y0 < rows.height; y0 += kTile) {
        const int y1 = std::min(rows.height, y0 + kTile);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(w, x0 + kTile);
            for (int x = x0; x < x1; ++x) {
                std::uint32_t* d = dst + map.origin + x * map.stepX + (firstRow + y0) * map.stepY;
                for (int y = y0; y < y1; ++y, d += map.stepY) *d = row(y)[x];
            }
        }
    }
    return true;
}

int OrientationOfRotateFlip(int code) {
    static const int kOrientation[8] = {1, 6, 3, 8, 2, 7, 4, 5};
    return code >= 0 && code <= 7 ? kOrientation[code] : 1;
}

}  // namespace imaging
