// Geometry.h - the pure arithmetic of picture handling: fitting one size
// into another, the crop that leaves for the handheld, the device-look
// numbers of the preview, scroll bar ranges and steps, and zoom steps.
//
// Nothing here touches a window or a bitmap, so the numbers can be tested
// natively and the Windows code only applies them. Rect and Size are our own
// small types (not RECT or Gdiplus::Rect) so that this header stays free of
// platform headers; the Windows side converts at the boundary.
#pragma once

#include <array>

namespace imaging {

struct Size {
    int width = 0;
    int height = 0;
};

struct Point {
    int x = 0;
    int y = 0;
};

// left, top, right, bottom; width is right - left, height is bottom - top.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // Computed in 64 bits and saturated, so absurd coordinates cannot overflow.
    int Width() const;
    int Height() const;
    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
};

inline bool operator==(const Size& a, const Size& b) { return a.width == b.width && a.height == b.height; }
inline bool operator!=(const Size& a, const Size& b) { return !(a == b); }
inline bool operator==(const Point& a, const Point& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const Point& a, const Point& b) { return !(a == b); }
inline bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const Rect& a, const Rect& b) { return !(a == b); }

inline Rect RectFromSize(Size s) { return Rect{0, 0, s.width, s.height}; }

// ---------------------------------------------------------------------------
// Fitting

// The rectangle, relative to the target's own top-left corner, that a source
// of the given size occupies when fitted inside the target with its aspect
// ratio kept and centred. Only widths and heights count. Any side that is
// zero or negative gives the empty rectangle (0, 0, 0, 0).
Rect FitRect(Size source, Size target);
Rect FitRect(const Rect& source, const Rect& target);

// ---------------------------------------------------------------------------
// The picture prepared for the handheld

// The part of the displayed picture that goes to the handheld, in the
// displayed picture's own coordinates. `placed` is the picture on the
// simulated screen: its left/top are the offset from the screen's corner
// (negative when it reaches beyond the left or top edge), its width and
// height the displayed size. In a direction where the picture is at least as
// large as the screen, the screen-sized window at the picture's offset is cut
// out; in a direction where it is smaller, the picture is sent whole.
// Parts of the result outside (0, 0, W, H) are to be filled with white.
// Returns the empty rectangle when the picture or the screen has no area.
Rect DeviceCropRect(const Rect& placed, Size screen);

// ---------------------------------------------------------------------------
// Device preview

// The handheld drawing is 324 x 270 with its screen at (39, 58), 248 x 159;
// it is scaled so that the screen area gets exactly the handheld's resolution.
struct DeviceLookGeometry {
    Point screenOffset;  // top-left corner of the screen area in the pane
    Size picture;        // size of the scaled handheld drawing
};
DeviceLookGeometry ComputeDeviceLook(Size screen);

// The four bands whose union is the scrolling pane's window region: above,
// left of, right of and below the screen hole. `window` is the pane's full
// window size (scroll bars included).
std::array<Rect, 4> ScreenHoleBands(Size window, Point screenOffset, Size screen);

// The four white bands the device-screen pane paints around the picture
// pane `picture` inside its client rectangle `client`: above, left, below,
// right. Bands may be empty or inverted when the picture covers the edge;
// filling an inverted rectangle paints nothing.
std::array<Rect, 4> WhiteBandsAround(const Rect& picture, const Rect& client);

// The part of the picture pane to draw for one paint: `dirty` clipped to the
// screen `client` and to the picture pane `pane` (all three in the same
// window's coordinates), returned in the picture's own coordinates, where
// (0, 0) is the pane's corner, as the prepared crop counts them. Empty when
// nothing of the picture is to be drawn.
Rect PicturePartToPaint(const Rect& pane, const Rect& client, const Rect& dirty);

// Where a picture of the target size sits on the screen when it is shown
// (centred; negative offsets when it is larger), and the scroll ranges that
// let it pan by its overhang.
struct PicturePlacement {
    Rect pane;            // in the device-screen pane's coordinates
    int horizontalRange;  // max(0, W - screen width)
    int verticalRange;    // max(0, H - screen height)
};
PicturePlacement PlacePicture(Size target, Size screen);

// ---------------------------------------------------------------------------
// Scroll bars

// Scroll codes, numerically equal to the platform's SB_* request codes so the
// Windows side can pass LOWORD(wParam) straight through.
enum ScrollCode : int {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
    kScrollEnd = 8,
};

constexpr int kScrollLineStep = 5;

struct ScrollBarSetup {
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    int position = 0;
};

// A bar whose reachable positions are exactly 0..range: page range / 6,
// start in the middle. The platform stops a bar at maximum - page + 1 (or at
// maximum when the page is 0), so the maximum is chosen to make that range.
ScrollBarSetup ScrollBarForRange(int range);

// The highest position the platform lets a bar reach.
int ScrollLimit(int maximum, int page);
inline int ScrollLimit(const ScrollBarSetup& bar) { return ScrollLimit(bar.maximum, bar.page); }

// The new position for a scroll request, clamped to [minimum, limit].
// `trackPosition` is the position carried by thumb requests (use the 32-bit
// tracking position, not the 16-bit one in the message, for long ranges).
int NextScrollPosition(int code, int position, int minimum, int limit, int page, int trackPosition);

// The picture pane's coordinate on one axis after the bar moved to
// `position`: it follows the bar (-position) unless the picture is smaller
// than the screen on that axis, where it keeps `currentCoordinate`.
int PaneCoordinateAfterScroll(int paneExtent, int screenExtent, int position, int currentCoordinate);

// Whether scroll requests on an axis move anything at all.
inline bool ScrollsOnAxis(int paneExtent, int screenExtent) { return paneExtent >= screenExtent; }

// ---------------------------------------------------------------------------
// Zoom and Image size

// One tenth per step, in integer division. Zoom in only while both sides are
// below 2500, zoom out only while both are above 10; otherwise unchanged.
Size ZoomIn(Size target);
Size ZoomOut(Size target);

// Applies the Image size dialog: the current target fitted, aspect kept, into
// box (width x height). Returns false and leaves *result alone when either box
// side is 10 or less or when the fit is empty. There is no upper bound: the
// preview renders only the part of the picture behind the screen.
bool FitTargetIntoBox(Size target, Size box, Size* result);

// ---------------------------------------------------------------------------
// The main window around the preview

// Where the main window puts its frame and zoom buttons and how large it
// makes itself for a preview whose visible part (the handheld pane without
// its scroll bars) is `preview`, in client pixels. `frameWidth` and
// `captionHeight` are what the window's border and caption add to its width
// and height; the window is never narrower than `minPreviewWidth` of preview.
struct MainWindowLayout {
    Size window;    // outer size of the main window
    Rect frameBar;  // the bar above the preview that holds the zoom buttons
    Point zoomIn;   // top-left corners of the two zoom buttons
    Point zoomOut;
};
constexpr int kMinPreviewWidth = 320;
MainWindowLayout ComputeMainWindowLayout(Size preview, int frameWidth, int captionHeight,
                                         int minPreviewWidth = kMinPreviewWidth);

// A mouse coordinate in full: a message carries only its low 16 bits, read
// signed (`low`), and a window wider than 32767 pixels needs more. Of the
// values with those low bits, the one nearest to `near` (where the cursor
// was, in the same window's coordinates, taken in 32 bits).
int FullMouseCoordinate(int low, int near);

}  // namespace imaging
