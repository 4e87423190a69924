// Geometry.cpp - see Geometry.h. Products that can grow past 32 bits (screen
// sizes reported by the handheld, sizes typed by the user) are computed in 64
// bits and saturated, so no input can overflow.
#include "imaging/Geometry.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace imaging {

namespace {

int Saturate(int64_t v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

bool FitsInt(int64_t v) { return v >= INT_MIN && v <= INT_MAX; }

}  // namespace

int Rect::Width() const { return Saturate(static_cast<int64_t>(right) - left); }
int Rect::Height() const { return Saturate(static_cast<int64_t>(bottom) - top); }

Rect FitRect(Size source, Size target) {
    const int ws = source.width, hs = source.height;
    const int wt = target.width, ht = target.height;
    // A side of zero would make a ratio infinite or not a number; such a
    // picture occupies nothing.
    if (ws <= 0 || hs <= 0 || wt <= 0 || ht <= 0) return Rect{};

    const double rs = static_cast<double>(hs) / ws;  // height over width
    const double rt = static_cast<double>(ht) / wt;
    if (rs > rt) {  // relatively taller: full height, bars left and right
        const int w = static_cast<int>(ht / rs);
        const int x = (wt - w) / 2;
        return Rect{x, 0, x + w, ht};
    }
    if (rs < rt) {  // relatively wider: full width, bars above and below
        const int h = static_cast<int>(wt * rs);
        const int y = (ht - h) / 2;
        return Rect{0, y, wt, y + h};
    }
    return Rect{0, 0, wt, ht};
}

Rect FitRect(const Rect& source, const Rect& target) {
    return FitRect(Size{source.Width(), source.Height()}, Size{target.Width(), target.Height()});
}

Rect DeviceCropRect(const Rect& placed, Size screen) {
    const int64_t w = static_cast<int64_t>(placed.right) - placed.left;
    const int64_t h = static_cast<int64_t>(placed.bottom) - placed.top;
    if (w <= 0 || h <= 0 || screen.width <= 0 || screen.height <= 0) return Rect{};

    int64_t left = 0, top = 0, cw = w, ch = h;
    if (w >= screen.width) {
        left = -static_cast<int64_t>(placed.left);
        cw = screen.width;
    }
    if (h >= screen.height) {
        top = -static_cast<int64_t>(placed.top);
        ch = screen.height;
    }
    if (!FitsInt(left) || !FitsInt(top) || !FitsInt(left + cw) || !FitsInt(top + ch)) return Rect{};
    return Rect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + cw),
                static_cast<int>(top + ch)};
}

DeviceLookGeometry ComputeDeviceLook(Size screen) {
    // The drawing's screen rectangle: (39, 58), 248 x 159, in a 324 x 270 drawing.
    const int64_t cx = screen.width, cy = screen.height;
    DeviceLookGeometry g;
    g.screenOffset = Point{Saturate(cx * 39 / 248), Saturate(cy * 58 / 159)};
    g.picture = Size{Saturate(cx * 324 / 248), Saturate(cy * 270 / 159)};
    return g;
}

std::array<Rect, 4> ScreenHoleBands(Size window, Point offset, Size screen) {
    const int right = Saturate(static_cast<int64_t>(offset.x) + screen.width);
    const int bottom = Saturate(static_cast<int64_t>(offset.y) + screen.height);
    return {{
        Rect{0, 0, window.width, offset.y},                // above
        Rect{0, offset.y, offset.x, bottom},               // left
        Rect{right, offset.y, window.width, bottom},       // right
        Rect{0, bottom, window.width, window.height},      // below
    }};
}

Rect PicturePartToPaint(const Rect& pane, const Rect& client, const Rect& dirty) {
    const int64_t left = std::max({int64_t{pane.left}, int64_t{client.left}, int64_t{dirty.left}});
    const int64_t top = std::max({int64_t{pane.top}, int64_t{client.top}, int64_t{dirty.top}});
    const int64_t right = std::min({int64_t{pane.right}, int64_t{client.right}, int64_t{dirty.right}});
    const int64_t bottom = std::min({int64_t{pane.bottom}, int64_t{client.bottom}, int64_t{dirty.bottom}});
    if (left >= right || top >= bottom) return Rect{};
    return Rect{Saturate(left - pane.left), Saturate(top - pane.top), Saturate(right - pane.left),
                Saturate(bottom - pane.top)};
}

std::array<Rect, 4> WhiteBandsAround(const Rect& r, const Rect& k) {
    return {{
        Rect{0, 0, k.right, r.top},              // above
        Rect{0, r.top, r.left, r.bottom},        // left
        Rect{0, r.bottom, k.right, k.bottom},    // below
        Rect{r.right, r.top, k.right, r.bottom}, // right
    }};
}

PicturePlacement PlacePicture(Size target, Size screen) {
    const int64_t w = target.width, h = target.height;
    const int64_t cx = screen.width, cy = screen.height;
    // C++ division truncates toward zero, so a larger picture is centred with
    // a negative offset.
    const int64_t x = (cx - w) / 2;
    const int64_t y = (cy - h) / 2;
    PicturePlacement p;
    p.pane = Rect{Saturate(x), Saturate(y), Saturate(x + w), Saturate(y + h)};
    p.horizontalRange = Saturate(std::max<int64_t>(0, w - cx));
    p.verticalRange = Saturate(std::max<int64_t>(0, h - cy));
    return p;
}

ScrollBarSetup ScrollBarForRange(int range) {
    ScrollBarSetup bar;
    if (range <= 0) return bar;  // nothing to pan: all zero
    bar.page = range / 6;
    // Reachable positions run to maximum - page + 1 (maximum when page is 0);
    // choose the maximum so that this is exactly `range`.
    bar.maximum = bar.page > 0 ? Saturate(static_cast<int64_t>(range) + bar.page - 1) : range;
    bar.position = range / 2;
    return bar;
}

int ScrollLimit(int maximum, int page) {
    if (page <= 0) return maximum;
    return Saturate(static_cast<int64_t>(maximum) - page + 1);
}

int NextScrollPosition(int code, int pos, int minimum, int limit, int page, int trackPosition) {
    int64_t next = pos;
    switch (code) {
        case kScrollLineUp:
            if (pos > minimum) next = static_cast<int64_t>(pos) - kScrollLineStep;
            break;
        case kScrollLineDown:
            if (pos < limit) next = static_cast<int64_t>(pos) + kScrollLineStep;
            break;
        case kScrollPageUp:
            if (pos > minimum) next = std::max<int64_t>(minimum, static_cast<int64_t>(pos) - page);
            break;
        case kScrollPageDown:
            if (pos < limit) next = std::min<int64_t>(limit, static_cast<int64_t>(pos) + page);
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack:
            next = trackPosition;
            break;
        case kScrollTop:
            next = minimum;
            break;
        case kScrollBottom:
            next = limit;
            break;
        default:
            break;
    }
    // The platform clamps what we set; clamping here keeps the picture pane
    // in step with the bar.
    if (limit < minimum) limit = minimum;
    return static_cast<int>(std::min<int64_t>(std::max<int64_t>(next, minimum), limit));
}

int PaneCoordinateAfterScroll(int paneExtent, int screenExtent, int position, int currentCoordinate) {
    if (paneExtent < screenExtent) return currentCoordinate;
    return Saturate(-static_cast<int64_t>(position));
}

Size ZoomIn(Size t) {
    if (t.width < 2500 && t.height < 2500) return Size{t.width + t.width / 10, t.height + t.height / 10};
    return t;
}

Size ZoomOut(Size t) {
    if (t.width > 10 && t.height > 10) return Size{t.width - t.width / 10, t.height - t.height / 10};
    return t;
}

bool FitTargetIntoBox(Size target, Size box, Size* result) {
    if (box.width <= 10 || box.height <= 10) return false;
    const Rect fit = FitRect(target, box);
    if (fit.IsEmpty()) return false;
    if (result) *result = Size{fit.Width(), fit.Height()};
    return true;
}

MainWindowLayout ComputeMainWindowLayout(Size preview, int frameWidth, int captionHeight, int minPreviewWidth) {
    const int64_t w = std::max(preview.width, minPreviewWidth);
    MainWindowLayout layout;
    layout.window = Size{Saturate(w + frameWidth + 70), Saturate(int64_t{preview.height} + captionHeight + 210)};
    layout.frameBar = Rect{35, 120, Saturate(35 + int64_t{preview.width}), 150};
    layout.zoomIn = Point{Saturate(int64_t{preview.width} - 25), 122};
    layout.zoomOut = Point{Saturate(int64_t{preview.width} + 3), 122};
    return layout;
}

int FullMouseCoordinate(int low, int near) {
    const long long value = static_cast<short>(low & 0xFFFF);
    const long long steps = (static_cast<long long>(near) - value + 32768) >> 16;  // nearest multiple of 65536
    const long long full = value + steps * 65536;
    return full > INT_MAX ? INT_MAX : full < INT_MIN ? INT_MIN : static_cast<int>(full);
}

}  // namespace imaging
