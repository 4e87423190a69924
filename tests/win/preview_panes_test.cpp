// The device preview panes as windows: the handheld look and its screen
// hole for two screen sizes, scrolling by every kind of request (including
// thumb requests that carry their position in the message), the axis that
// does not scroll, and dragging, which asks the application's main window
// for line steps.
#include "imaging/ImageOps.h"
#include "imaging/PreviewPanes.h"
#include "toolkit/App.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class ImagingService : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

private:
    ULONG_PTR m_token = 0;
};
::testing::Environment* const g_imaging = ::testing::AddGlobalTestEnvironment(new ImagingService);

// The application object; its main window records the drag requests.
tk::CWinApp g_app;
std::vector<std::pair<WPARAM, LPARAM>> g_dragRequests;

LRESULT CALLBACK MainProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER + 25) {
        g_dragRequests.emplace_back(wp, lp);
        return 0;
    }
    return ::DefWindowProcA(wnd, msg, wp, lp);
}

HWND MakeMainWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &MainProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "PreviewPanesTestMain";
    ::RegisterClassA(&wc);
    return ::CreateWindowExA(0, wc.lpszClassName, "panes", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 700,
                             nullptr, nullptr, wc.hInstance, nullptr);
}

// A plain decoded picture of w x h.
DecodedPictureRef MakePicture(int w, int h) {
    imaging::PixelBuffer pixels;
    pixels.width = w;
    pixels.height = h;
    pixels.bgra.assign(static_cast<size_t>(w) * h * 4, 0x80);
    return MakeDecodedPicture(std::move(pixels));
}
class PreviewPanes : public ::testing::Test {
protected:
    void SetUp() override {
        m_main = MakeMainWindow();
        ASSERT_NE(m_main, nullptr);
        m_mainWnd.Attach(m_main);
        g_app.SetMainWindow(&m_mainWnd);
        g_dragRequests.clear();
        ASSERT_TRUE(deviceOut.Create(m_main));
        ASSERT_TRUE(scroll.Create(m_main));
        ASSERT_TRUE(real.Create(deviceOut.Hwnd()));
        scroll.SetRealPane(&real);
        deviceOut.SetRealPane(&real);
        ::SetWindowPos(scroll.Hwnd(), HWND_BOTTOM, 35, 150, 0, 0, SWP_NOSIZE);
    }
    void TearDown() override {
        g_app.SetMainWindow(nullptr);
        real.Destroy();
        scroll.Destroy();
        deviceOut.Destroy();
        m_mainWnd.Detach();
        ::DestroyWindow(m_main);
    }

    // What the main window does when it shows a picture of w x h.
    void ShowPicture(int w, int h) {
        imaging::Size screen = scroll.GetScreenSize();
        ::SetWindowPos(deviceOut.Hwnd(), HWND_TOP, 0, 0, screen.width, screen.height, 0);
        imaging::PicturePlacement place = imaging::PlacePicture(imaging::Size{w, h}, screen);
        ::SetWindowPos(real.Hwnd(), HWND_TOP, place.pane.left, place.pane.top, w, h, 0);
        scroll.SetScrollRanges(place.horizontalRange, place.verticalRange);
    }

    POINT PicturePosition() const {
        RECT r = real.WindowRect();
        ::MapWindowPoints(HWND_DESKTOP, deviceOut.Hwnd(), reinterpret_cast<POINT*>(&r), 2);
        return POINT{r.left, r.top};
    }

    void Scroll(UINT msg, int code, int position = 0) {
        ::SendMessageA(scroll.Hwnd(), msg, MAKEWPARAM(code, position), 0);
    }

    HWND m_main = nullptr;
    tk::CWnd m_mainWnd;
    CDeviceOutDlg deviceOut;
    CScrollPreviewDlg scroll;
    CRealPictDlg real;
};

#define EXPECT_AT(wantX, wantY)              \
    do {                                     \
        POINT p_ = PicturePosition();        \
        EXPECT_EQ(p_.x, (wantX));            \
        EXPECT_EQ(p_.y, (wantY));            \
    } while (0)

TEST_F(PreviewPanes, HandheldLookAndScreenHoleFollowTheScreenSize) {
    const int sbw = ::GetSystemMetrics(SM_CXVSCROLL), sbh = ::GetSystemMetrics(SM_CYHSCROLL);
    struct Case { int cx, cy, ox, oy, dw, dh; };
    for (const Case& c : {Case{240, 160, 37, 58, 313, 271}, Case{320, 240, 50, 87, 418, 407}}) {
        scroll.SetScreenSize(c.cx, c.cy);
        scroll.SetDeviceLook(c.cx == 320);
        EXPECT_EQ(scroll.GetScreenOffset(), (imaging::Point{c.ox, c.oy}));
        RECT w = scroll.WindowRect();
        EXPECT_EQ(w.right - w.left, c.dw + sbw) << c.cx;
        EXPECT_EQ(w.bottom - w.top, c.dh + sbh) << c.cx;
        // Still where the layout put it, at the bottom of the z-order.
        RECT inParent = w;
        ::MapWindowPoints(HWND_DESKTOP, m_main, reinterpret_cast<POINT*>(&inParent), 2);
        EXPECT_EQ(inParent.left, 35);
        EXPECT_EQ(inParent.top, 150);
        EXPECT_EQ(::GetWindow(scroll.Hwnd(), GW_HWNDNEXT), nullptr);

        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(::GetWindowRgn(scroll.Hwnd(), region), ERROR) << c.cx;
        EXPECT_TRUE(::PtInRegion(region, c.ox - 1, c.oy)) << "left of the hole";
        EXPECT_FALSE(::PtInRegion(region, c.ox, c.oy)) << "hole's first pixel";
        EXPECT_FALSE(::PtInRegion(region, c.ox + c.cx - 1, c.oy + c.cy - 1)) << "hole's last pixel";
        EXPECT_TRUE(::PtInRegion(region, c.ox + c.cx, c.oy + c.cy - 1)) << "right of the hole";
        EXPECT_TRUE(::PtInRegion(region, c.ox, c.oy + c.cy)) << "below the hole";
        EXPECT_TRUE(::PtInRegion(region, c.dw + sbw - 1, c.dh + sbh - 1)) << "scroll bar corner";
        ::DeleteObject(region);
    }
}

TEST_F(PreviewPanes, WidePictureScrollsByEveryRequestAndKeepsItsHeight) {
    scroll.SetDeviceLook(false);
    ShowPicture(600, 100);  // overhang 360, page 60, centred at 180
    EXPECT_AT(-180, 30);

    Scroll(WM_HSCROLL, SB_THUMBPOSITION, 300);
    EXPECT_AT(-300, 30);
    EXPECT_EQ(::GetScrollPos(scroll.Hwnd(), SB_HORZ), 300);
    Scroll(WM_HSCROLL, SB_THUMBTRACK, 12);
    EXPECT_AT(-12, 30);
    Scroll(WM_HSCROLL, SB_LINERIGHT);
    EXPECT_AT(-17, 30);
    Scroll(WM_HSCROLL, SB_LINELEFT);
    EXPECT_AT(-12, 30);
    Scroll(WM_HSCROLL, SB_PAGELEFT);  // never below the minimum
    EXPECT_AT(0, 30);
    Scroll(WM_HSCROLL, SB_LINELEFT);  // already at the minimum
    EXPECT_AT(0, 30);
    Scroll(WM_HSCROLL, SB_RIGHT);  // the whole overhang is reachable
    EXPECT_AT(-360, 30);
    Scroll(WM_HSCROLL, SB_PAGELEFT);
    EXPECT_AT(-300, 30);
    Scroll(WM_HSCROLL, SB_PAGERIGHT);
    EXPECT_AT(-360, 30);
    Scroll(WM_HSCROLL, SB_THUMBPOSITION, 1000);  // beyond the end: clamped
    EXPECT_AT(-360, 30);
    Scroll(WM_HSCROLL, SB_LEFT);
    EXPECT_AT(0, 30);
    Scroll(WM_HSCROLL, SB_ENDSCROLL);
    EXPECT_AT(0, 30);

    // The picture is shorter than the screen: vertical requests move nothing.
    for (int code : {SB_LINEDOWN, SB_PAGEDOWN, SB_BOTTOM}) Scroll(WM_VSCROLL, code);
    Scroll(WM_VSCROLL, SB_THUMBPOSITION, 40);
    EXPECT_AT(0, 30);
}

TEST_F(PreviewPanes, SmallPictureDoesNotScrollOnEitherAxis) {
    scroll.SetDeviceLook(false);
    ShowPicture(200, 100);
    EXPECT_AT(20, 30);
    Scroll(WM_HSCROLL, SB_THUMBPOSITION, 10);
    Scroll(WM_VSCROLL, SB_LINEDOWN);
    EXPECT_AT(20, 30);
}

TEST_F(PreviewPanes, DragAsksTheMainWindowForLineStepsBeyondFivePixels) {
    scroll.SetDeviceLook(false);
    ShowPicture(600, 400);
    HWND pane = real.Hwnd();
    auto move = [&](int x, int y) { ::SendMessageA(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); };

    // Without a picture the pane is inert.
    ::SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    move(200, 200);
    ::SendMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
    EXPECT_TRUE(g_dragRequests.empty());

    real.SetPicture(MakePicture(600, 400), imaging::Size{600, 400});
    ::SendMessageA(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    move(105, 95);  // exactly 5 pixels: nothing
    EXPECT_TRUE(g_dragRequests.empty());
    move(106, 100);
    move(106, 100);  // the anchor stays: every further move steps again
    move(94, 94);
    move(100, 106);
    using R = std::pair<WPARAM, LPARAM>;
    const std::vector<R> want = {R{0, WM_HSCROLL}, R{0, WM_HSCROLL}, R{1, WM_HSCROLL},
                                 R{1, WM_VSCROLL}, R{0, WM_VSCROLL}};
    EXPECT_EQ(g_dragRequests, want);

    // Moves without the button held scroll nothing; after the release the
    // next move with the button held only sets a new anchor.
    g_dragRequests.clear();
    ::SendMessageA(pane, WM_MOUSEMOVE, 0, MAKELPARAM(150, 150));
    ::SendMessageA(pane, WM_LBUTTONUP, 0, MAKELPARAM(150, 150));
    move(150, 150);
    EXPECT_TRUE(g_dragRequests.empty());
    move(160, 150);
    EXPECT_EQ(g_dragRequests, (std::vector<R>{R{0, WM_HSCROLL}}));
}

} // namespace
