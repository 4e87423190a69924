// The real-size pane paints only the part of the picture behind the screen:
// for each paint, that part must equal, byte for byte, the same part of a
// full render of the picture fitted on white at its target size (white, the
// whole picture scaled to its fitted size, pasted at its place).
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/Geometry.h"
#include "imaging/Resample.h"

using namespace imaging;

namespace {

PixelBuffer Photo(int w, int h) {
    PixelBuffer p;
    p.width = w;
    p.height = h;
    p.bgra.resize(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = &p.bgra[(static_cast<size_t>(y) * w + x) * 4];
            px[0] = static_cast<uint8_t>(x * 7 + y * 3);
            px[1] = static_cast<uint8_t>((x / 5 + y / 3) % 2 ? 230 : 20);
            px[2] = static_cast<uint8_t>(x * y);
            px[3] = 255;
        }
    return p;
}

// Today's full render of the target: white, then the whole picture scaled
// to the fitted size at the fitted place.
PixelBuffer FullRender(const PixelBuffer& src, Size target) {
    PixelBuffer full;
    full.width = target.width;
    full.height = target.height;
    full.bgra.assign(static_cast<size_t>(target.width) * target.height * 4, 0xFF);
    const Rect fit = FitRect(Size{src.width, src.height}, target);
    PixelBuffer scaled;
    EXPECT_TRUE(Resample(src.View(), fit.Width(), fit.Height(), scaled));
    for (int y = 0; y < scaled.height; ++y)
        std::memcpy(&full.bgra[(static_cast<size_t>(y + fit.top) * full.width + fit.left) * 4],
                    &scaled.bgra[static_cast<size_t>(y) * scaled.width * 4], static_cast<size_t>(scaled.width) * 4);
    return full;
}

TEST(PreviewPartTest, PaintedPartEqualsTheSamePartOfAFullRender) {
    const Rect screen{0, 0, 240, 160};  // the device-screen pane's client area
    struct Case {
        const char* what;
        Size picture;   // decoded size
        Size target;    // size shown
        Point pane;     // the pane's corner on the screen (pan position)
        Rect dirty;     // the invalid part of the screen
        Rect part;      // what is painted, in the picture's coordinates
    };
    const Case cases[] = {
        {"centred at its own size", {400, 300}, {400, 300}, {-80, -70}, screen, {80, 70, 320, 230}},
        {"panned to the top left", {400, 300}, {400, 300}, {0, 0}, screen, {0, 0, 240, 160}},
        {"panned to the bottom right", {400, 300}, {400, 300}, {-160, -140}, screen, {160, 140, 400, 300}},
        {"a strip exposed by one line step", {400, 300}, {400, 300}, {-85, -70}, {235, 0, 240, 160}, {320, 70, 325, 230}},
        {"enlarged by zoom in", {300, 200}, {363, 242}, {-61, -41}, screen, {61, 41, 301, 201}},
        {"enlarged, aspect not kept", {300, 200}, {500, 250}, {-200, -30}, screen, {200, 30, 440, 190}},
        {"shrunk by zoom out", {1000, 700}, {729, 510}, {-300, -200}, {10, 20, 200, 150}, {310, 220, 500, 350}},
        {"shrunk far", {1000, 700}, {300, 210}, {-60, -50}, screen, {60, 50, 300, 210}},
        {"smaller than the screen", {300, 200}, {200, 133}, {20, 13}, screen, {0, 0, 200, 133}},
        {"smaller, dirty part beside it", {300, 200}, {200, 133}, {20, 13}, {0, 0, 30, 160}, {0, 0, 10, 133}},
        {"taller than wide in a wide target", {120, 400}, {300, 250}, {-30, -45}, screen, {30, 45, 270, 205}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PixelBuffer src = Photo(c.picture.width, c.picture.height);
        const PixelBuffer full = FullRender(src, c.target);
        const Rect pane{c.pane.x, c.pane.y, c.pane.x + c.target.width, c.pane.y + c.target.height};
        const Rect part = PicturePartToPaint(pane, screen, c.dirty);
        ASSERT_EQ(part, c.part);

        PixelBuffer painted;
        painted.width = part.Width();
        painted.height = part.Height();
        painted.bgra.resize(static_cast<size_t>(painted.width) * painted.height * 4);
        ASSERT_TRUE(ResampleFittedWindowInto(src.View(), c.target, part, painted.MutableView()));
        for (int y = 0; y < painted.height; ++y)
            ASSERT_EQ(0, std::memcmp(&painted.bgra[static_cast<size_t>(y) * painted.width * 4],
                                     &full.bgra[(static_cast<size_t>(y + part.top) * full.width + part.left) * 4],
                                     static_cast<size_t>(painted.width) * 4))
                << "row " << y;
    }
    // Nothing to paint when the dirty part lies off the pane or off the screen.
    EXPECT_TRUE(PicturePartToPaint(Rect{20, 13, 220, 146}, screen, Rect{0, 0, 20, 160}).IsEmpty());
    EXPECT_TRUE(PicturePartToPaint(Rect{-80, -70, 320, 230}, screen, Rect{240, 0, 300, 160}).IsEmpty());
}

}  // namespace
