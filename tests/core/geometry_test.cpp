// Tests of the picture geometry: fitting, the crop sent to the handheld, the
// preview's device-look numbers, scroll bars and zoom steps.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "imaging/Geometry.h"

using namespace imaging;

namespace {

struct FitCase {
    const char* name;
    Size source;
    Size target;
    Rect expected;
};

const FitCase kFitCases[] = {
    {"wider source gets bars above and below", {400, 300}, {100, 100}, {0, 12, 100, 87}},
    {"taller source gets bars left and right", {300, 400}, {100, 100}, {12, 0, 87, 100}},
    {"square into square fills the target", {50, 50}, {100, 100}, {0, 0, 100, 100}},
    {"equal ratios fill the target", {200, 100}, {400, 200}, {0, 0, 400, 200}},
    {"shrinking with an equal ratio", {640, 480}, {320, 240}, {0, 0, 320, 240}},
    {"height truncates toward zero", {3, 2}, {100, 100}, {0, 17, 100, 83}},
    {"width truncates toward zero", {2, 3}, {100, 100}, {17, 0, 83, 100}},
    {"Image size box example", {400, 200}, {100, 100}, {0, 25, 100, 75}},
    {"enlarging into a bigger box", {40, 20}, {1000, 1000}, {0, 250, 1000, 750}},
    {"very tall source leaves a zero-width column", {1, 1000000}, {100, 100}, {50, 0, 50, 100}},
    {"zero source", {0, 0}, {100, 100}, {0, 0, 0, 0}},
    {"zero source width", {0, 50}, {100, 100}, {0, 0, 0, 0}},
    {"zero source height", {50, 0}, {100, 100}, {0, 0, 0, 0}},
    {"zero target", {50, 50}, {0, 0}, {0, 0, 0, 0}},
    {"zero target height", {50, 50}, {100, 0}, {0, 0, 0, 0}},
    {"negative sizes", {-50, 40}, {100, 100}, {0, 0, 0, 0}},
};

TEST(FitRectTest, TableOfCases) {
    for (const FitCase& c : kFitCases) {
        EXPECT_EQ(FitRect(c.source, c.target), c.expected) << c.name;
    }
}

TEST(FitRectTest, OnlySizesOfRectanglesCount) {
    // The target's own corner is ignored: the result is relative to it.
    const Rect r = FitRect(Rect{7, 9, 407, 309}, Rect{-30, 55, 70, 155});
    EXPECT_EQ(r, (Rect{0, 12, 100, 87}));
}

TEST(FitRectTest, ResultAlwaysLiesInsideTheTarget) {
    for (int ws = 1; ws < 60; ws += 7)
        for (int hs = 1; hs < 60; hs += 5)
            for (int wt = 1; wt < 70; wt += 9)
                for (int ht = 1; ht < 70; ht += 11) {
                    const Rect r = FitRect(Size{ws, hs}, Size{wt, ht});
                    ASSERT_GE(r.left, 0);
                    ASSERT_GE(r.top, 0);
                    ASSERT_LE(r.right, wt);
                    ASSERT_LE(r.bottom, ht);
                    // One side always spans the target.
                    ASSERT_TRUE(r.Width() == wt || r.Height() == ht) << ws << "x" << hs << " in " << wt << "x" << ht;
                }
}

struct CropCase {
    const char* name;
    Rect placed;
    Size screen;
    Rect expected;
};

const CropCase kCropCases[] = {
    {"larger both ways: screen window at the offset", {-10, -20, 390, 480}, {320, 240}, {10, 20, 330, 260}},
    {"smaller both ways: sent whole", {60, 45, 260, 195}, {320, 240}, {0, 0, 200, 150}},
    {"smaller both ways, any position", {-5, 7, 195, 157}, {320, 240}, {0, 0, 200, 150}},
    {"wider only", {-30, 45, 370, 195}, {320, 240}, {30, 0, 350, 150}},
    {"taller only", {60, -30, 260, 270}, {320, 240}, {0, 30, 200, 270}},
    {"exactly the screen size", {0, 0, 320, 240}, {320, 240}, {0, 0, 320, 240}},
    {"centred larger picture", {-140, -80, 460, 320}, {320, 240}, {140, 80, 460, 320}},
    {"default screen", {-180, 30, 420, 130}, {240, 160}, {180, 0, 420, 100}},
    // A stale placement may put the window partly off the picture; that part
    // is filled white by the renderer.
    {"positive offset on a large picture", {10, 0, 410, 300}, {320, 240}, {-10, 0, 310, 240}},
    {"no picture", {0, 0, 0, 0}, {320, 240}, {0, 0, 0, 0}},
    {"no screen", {0, 0, 100, 100}, {0, 0}, {0, 0, 0, 0}},
    {"offset that cannot be negated", {INT_MIN, 0, INT_MIN + 500, 300}, {320, 240}, {0, 0, 0, 0}},
};

TEST(DeviceCropTest, TableOfCases) {
    for (const CropCase& c : kCropCases) {
        EXPECT_EQ(DeviceCropRect(c.placed, c.screen), c.expected) << c.name;
    }
}

TEST(DeviceLookTest, DefaultAndReportedScreens) {
    const DeviceLookGeometry small = ComputeDeviceLook(Size{240, 160});
    EXPECT_EQ(small.screenOffset, (Point{37, 58}));
    EXPECT_EQ(small.picture, (Size{313, 271}));

    const DeviceLookGeometry large = ComputeDeviceLook(Size{320, 240});
    EXPECT_EQ(large.screenOffset, (Point{50, 87}));
    EXPECT_EQ(large.picture, (Size{418, 407}));

    // A screen size from the wire may be absurd; the numbers saturate.
    const DeviceLookGeometry huge = ComputeDeviceLook(Size{INT_MAX, INT_MAX});
    EXPECT_EQ(huge.picture, (Size{INT_MAX, INT_MAX}));
}

TEST(MainWindowLayoutTest, WindowFrameBarAndZoomButtonsFollowThePreview) {
    struct Case {
        Size screen;  // the handheld's screen; the preview is its device look
        Size window;
        int barRight;
        int zoomInX, zoomOutX;
    };
    // Border 8 wide, caption 31 high. The 240 x 160 look (313 wide) is held
    // at the 320 minimum; the frame bar keeps the preview's own width.
    const Case cases[] = {
        {{240, 160}, {398, 512}, 348, 288, 316},
        {{320, 240}, {496, 648}, 453, 393, 421},
        {{100, 60}, {398, 342}, 165, 105, 133},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screen.width) + " x " + std::to_string(c.screen.height));
        const MainWindowLayout layout = ComputeMainWindowLayout(ComputeDeviceLook(c.screen).picture, 8, 31);
        EXPECT_EQ(layout.window, c.window);
        EXPECT_EQ(layout.frameBar, (Rect{35, 120, c.barRight, 150}));
        EXPECT_EQ(layout.zoomIn, (Point{c.zoomInX, 122}));
        EXPECT_EQ(layout.zoomOut, (Point{c.zoomOutX, 122}));
    }
}

// Whether a pixel lies in any of the rectangles.
template <size_t N>
bool Covered(const std::array<Rect, N>& bands, int x, int y) {
    for (const Rect& r : bands)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

TEST(DeviceLookTest, HoleBandsCoverEverythingButTheScreen) {
    const Size screen{240, 160};
    const DeviceLookGeometry g = ComputeDeviceLook(screen);
    const Size window{g.picture.width + 17, g.picture.height + 17};  // with scroll bars
    const auto bands = ScreenHoleBands(window, g.screenOffset, screen);
    for (int y = 0; y < window.height; ++y)
        for (int x = 0; x < window.width; ++x) {
            const bool inHole = x >= g.screenOffset.x && x < g.screenOffset.x + screen.width &&
                                y >= g.screenOffset.y && y < g.screenOffset.y + screen.height;
            ASSERT_EQ(Covered(bands, x, y), !inHole) << x << "," << y;
        }
}

TEST(PreviewTest, WhiteBandsSurroundThePicture) {
    const Rect client{0, 0, 240, 160};
    for (const Rect picture : {Rect{20, 30, 220, 130}, Rect{-180, 30, 420, 130}, Rect{0, 0, 240, 160}}) {
        const auto bands = WhiteBandsAround(picture, client);
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x) {
                const bool inPicture = x >= picture.left && x < picture.right && y >= picture.top && y < picture.bottom;
                ASSERT_EQ(Covered(bands, x, y), !inPicture) << x << "," << y;
            }
    }
}

TEST(PreviewTest, PlacementCentresAndGivesOverhangAsRange) {
    PicturePlacement p = PlacePicture(Size{200, 100}, Size{240, 160});
    EXPECT_EQ(p.pane, (Rect{20, 30, 220, 130}));
    EXPECT_EQ(p.horizontalRange, 0);
    EXPECT_EQ(p.verticalRange, 0);

    p = PlacePicture(Size{600, 100}, Size{240, 160});
    EXPECT_EQ(p.pane, (Rect{-180, 30, 420, 130}));
    EXPECT_EQ(p.horizontalRange, 360);
    EXPECT_EQ(p.verticalRange, 0);

    // Odd differences truncate toward zero on both sides of zero.
    p = PlacePicture(Size{241, 159}, Size{240, 160});
    EXPECT_EQ(p.pane.left, 0);
    EXPECT_EQ(p.pane.top, 0);
    p = PlacePicture(Size{243, 157}, Size{240, 160});
    EXPECT_EQ(p.pane.left, -1);
    EXPECT_EQ(p.pane.top, 1);
    EXPECT_EQ(p.horizontalRange, 3);
}

TEST(ScrollTest, BarReachesExactlyTheRange) {
    const ScrollBarSetup bar = ScrollBarForRange(360);
    EXPECT_EQ(bar.minimum, 0);
    EXPECT_EQ(bar.page, 60);
    EXPECT_EQ(bar.position, 180);
    EXPECT_EQ(ScrollLimit(bar), 360);

    for (int range = 0; range <= 3000; ++range) {
        const ScrollBarSetup b = ScrollBarForRange(range);
        ASSERT_EQ(ScrollLimit(b), range) << range;
        ASSERT_EQ(b.page, range / 6);
        ASSERT_EQ(b.position, range / 2);
        ASSERT_LE(b.position, ScrollLimit(b));
    }
    const ScrollBarSetup none = ScrollBarForRange(-5);
    EXPECT_EQ(ScrollLimit(none), 0);
}

TEST(ScrollTest, StepsByCode) {
    // min 0, limit 360, page 60.
    struct Case { int code; int pos; int track; int expected; };
    const Case cases[] = {
        {kScrollLineDown, 180, 0, 185},  {kScrollLineUp, 180, 0, 175},
        {kScrollLineUp, 3, 0, 0},        {kScrollLineUp, 0, 0, 0},
        {kScrollLineDown, 358, 0, 360},  {kScrollLineDown, 360, 0, 360},
        {kScrollPageDown, 180, 0, 240},  {kScrollPageUp, 180, 0, 120},
        {kScrollPageUp, 40, 0, 0},       {kScrollPageDown, 330, 0, 360},
        {kScrollThumbTrack, 10, 222, 222}, {kScrollThumbPosition, 10, 999, 360},
        {kScrollTop, 200, 0, 0},         {kScrollBottom, 20, 0, 360},
        {kScrollEnd, 123, 0, 123},       {42, 123, 0, 123},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NextScrollPosition(c.code, c.pos, 0, 360, 60, c.track), c.expected)
            << "code " << c.code << " from " << c.pos;
    }
}

TEST(ScrollTest, DraggingAWidePictureMovesOnlyHorizontally) {
    // 600 x 100 on the default screen: the pane starts at (-180, 30).
    const Size pane{600, 100}, screen{240, 160};
    const ScrollBarSetup bar = ScrollBarForRange(600 - 240);
    const int pos = NextScrollPosition(kScrollLineDown, bar.position, 0, ScrollLimit(bar), bar.page, 0);
    EXPECT_EQ(PaneCoordinateAfterScroll(pane.width, screen.width, pos, -180), -185);
    EXPECT_EQ(PaneCoordinateAfterScroll(pane.height, screen.height, 0, 30), 30);
    EXPECT_TRUE(ScrollsOnAxis(pane.width, screen.width));
    EXPECT_FALSE(ScrollsOnAxis(pane.height, screen.height));
    // Panned to the far end, the picture's right edge meets the screen's.
    const int end = NextScrollPosition(kScrollBottom, pos, 0, ScrollLimit(bar), bar.page, 0);
    EXPECT_EQ(PaneCoordinateAfterScroll(pane.width, screen.width, end, 0) + pane.width, screen.width);
}

TEST(ZoomTest, StepsOfOneTenthWithinLimits) {
    EXPECT_EQ(ZoomIn(Size{5, 300}), (Size{5, 330}));
    EXPECT_EQ(ZoomIn(Size{5, 5}), (Size{5, 5}));
    EXPECT_EQ(ZoomIn(Size{2400, 1000}), (Size{2640, 1100}));
    EXPECT_EQ(ZoomIn(Size{2640, 1100}), (Size{2640, 1100}));
    EXPECT_EQ(ZoomIn(Size{1000, 2500}), (Size{1000, 2500}));
    EXPECT_EQ(ZoomOut(Size{11, 200}), (Size{10, 180}));
    EXPECT_EQ(ZoomOut(Size{10, 180}), (Size{10, 180}));
    EXPECT_EQ(ZoomOut(Size{640, 480}), (Size{576, 432}));
}

TEST(ImageSizeTest, FitsTheTargetIntoTheBox) {
    Size result{-1, -1};
    ASSERT_TRUE(FitTargetIntoBox(Size{400, 200}, Size{100, 100}, &result));
    EXPECT_EQ(result, (Size{100, 50}));
    ASSERT_TRUE(FitTargetIntoBox(Size{400, 200}, Size{11, 11}, &result));
    EXPECT_EQ(result, (Size{11, 5}));
    ASSERT_TRUE(FitTargetIntoBox(Size{400, 200}, Size{2000, 2000}, &result));
    EXPECT_EQ(result, (Size{2000, 1000}));

    result = Size{-1, -1};
    EXPECT_FALSE(FitTargetIntoBox(Size{400, 200}, Size{10, 300}, &result));
    EXPECT_FALSE(FitTargetIntoBox(Size{400, 200}, Size{300, 10}, &result));
    EXPECT_FALSE(FitTargetIntoBox(Size{0, 0}, Size{300, 300}, &result));
    EXPECT_EQ(result, (Size{-1, -1}));
}

TEST(ImageSizeTest, HasNoUpperBound) {
    // The preview renders only what lies behind the screen, so a box far
    // beyond any bitmap is taken as it is.
    Size result{-1, -1};
    ASSERT_TRUE(FitTargetIntoBox(Size{400, 200}, Size{20000, 20000}, &result));
    EXPECT_EQ(result, (Size{20000, 10000}));
}

}  // namespace

TEST(MouseCoordinateTest, LowBitsWidenedNearTheCursor) {
    struct Case {
        int low, near, full;
    } cases[] = {
        {90, 90, 90},
        {90, -500, 90},           // a synthetic message far from the cursor
        {-10, -12, -10},          // left of the window, signed
        {0xFFF6, 3, -10},         // the word as unsigned bits
        {-32768 + 232, 33000, 33000},  // 33000 wrapped into 16 bits
        {33000 - 65536, 32990, 33000},
        {40000 - 65536, 40002, 40000},
        {100000 - 131072, 99990, 100000},
        {-20000, -85536 + 3, -85536},
    };
    for (const Case& c : cases)
        EXPECT_EQ(imaging::FullMouseCoordinate(c.low, c.near), c.full) << c.low << " near " << c.near;
}
