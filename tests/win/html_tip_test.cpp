// The tooltip window and the HTML label as windows: a tip shown at a point
// near the screen's right edge, its state, region and hiding by a key; the
// label's SS_NOTIFY, WM_SETTEXT cleaning and WM_GETTEXT into a short buffer.
#include "tooltip/HtToolTip.h"
#include "tooltip/HtmlLabel.h"
#include "resources/resource.h"
#include "tests/win/GoldenPicture.h"
#include "toolkit/Dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace {

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
}

TEST(HtToolTipTest, ShowAtPointFlipsAtTheRightEdgeAndHidesOnAKey) {
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    tooltip::CHtToolTip tip;
    ASSERT_TRUE(tip.CreateTipWindow(owner, false));
    tip.SetShapeValue(9, 5);
    EXPECT_EQ(tip.GetShapeValue(9), 0);
    tip.SetTiming(tooltip::CHtToolTip::TimingInitialDelay, 50);
    EXPECT_EQ(tip.GetTiming(tooltip::CHtToolTip::TimingInitialDelay), 50);

    const int right = ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    tip.ShowAtPoint(POINT{right - 5, 300}, "A tip near the right edge");
    Pump();
    EXPECT_TRUE(::IsWindowVisible(tip.Hwnd()));
    EXPECT_EQ(tip.DisplayState(), tooltip::TipShown);
    EXPECT_EQ(tip.UsedPlacement(), 0x11);  // above, anchored at its right end
    RECT r{};
    ::GetWindowRect(tip.Hwnd(), &r);
    EXPECT_EQ(r.right - 6, right - 5);  // the body ends at the cursor; the shadow lies beyond
    EXPECT_EQ(r.bottom - 6, 300);
    char title[64] = {};
    ::GetWindowTextA(tip.Hwnd(), title, sizeof title);
    EXPECT_STREQ(title, "A tip near the right edge");

    MSG key{owner, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    tip.FilterMessage(key);
    EXPECT_FALSE(::IsWindowVisible(tip.Hwnd()));
    EXPECT_EQ(tip.DisplayState(), tooltip::TipHidden);
    tip.DestroyTipWindow();
    ::DestroyWindow(owner);
}

// A solid window under the tips, so that what a tip blends with and
// shadows is the same on every screen.
struct Backdrop {
    HWND wnd = nullptr;
    tk::Brush brush{::CreateSolidBrush(RGB(40, 90, 160))};
    Backdrop() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hbrBackground = brush.Get();
        wc.lpszClassName = "QuorvelTipBackdrop";
        ::RegisterClassA(&wc);
        wnd = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                wc.hInstance, nullptr);
        ::UpdateWindow(wnd);
        Pump();
    }
    ~Backdrop() { ::DestroyWindow(wnd); }
    // Waits until the screen shows the bare backdrop: a tip reads what lies
    // beneath it, and a window just shown or destroyed may take a moment to
    // reach the screen.
    bool WaitOnScreen() const {
        tk::DibSection32 seen(400, 300);
        tk::WindowDC screen(nullptr);
        tk::MemoryDC mem(screen.Get());
        tk::ScopedSelect sel(mem.Get(), seen.Get());
        for (const DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000; ::Sleep(10)) {
            Pump();
            ::BitBlt(mem.Get(), 0, 0, 400, 300, screen.Get(), 0, 0, SRCCOPY);
            ::GdiFlush();
            const std::uint32_t* p = seen.Bits();
            if (std::all_of(p, p + seen.PixelCount(), [](std::uint32_t c) { return (c & 0xFFFFFF) == 0x285AA0; }))
                return true;
        }
        return false;
    }
};

// Four tips painted side by side and compared with their golden picture: a
// balloon with its pointer and the default shadow, a gradient fill, fill -1
// (the tip's colour) and a rectangle without a shadow.
TEST(HtToolTipTest, TipsEqualTheirGoldenPicture) {
    Backdrop backdrop;
    const char* text = "<b>Open</b> a picture";
    struct Tip {
        bool balloon;
        int effect;
        bool shadow;
    } tips[] = {{true, 0, true}, {false, 2, true}, {false, -1, true}, {false, 0, false}};
    GoldenSurface picture(4 * 180, 90);
    picture.Fill(RGB(255, 0, 255));
    int column = 0;
    for (const Tip& t : tips) {
        tooltip::CHtToolTip tip;
        ASSERT_TRUE(tip.CreateTipWindow(backdrop.wnd, t.balloon));
        tip.EnableFadeIn(false);
        tip.SetFillColors(RGB(255, 255, 225), RGB(255, 200, 120), RGB(200, 120, 40));
        tip.SetFillEffect(t.effect, 5);
        tip.SetFrame(RGB(0, 0, 0), 1, 1);
        tip.SetDropShadow(t.shadow ? 4 : 0, t.shadow ? 4 : 0, 50, true, 5, 5);
        ASSERT_TRUE(backdrop.WaitOnScreen()) << "tip " << column;
        tip.ShowAtPoint(POINT{60, 40}, text);
        Pump();
        ASSERT_TRUE(::IsWindowVisible(tip.Hwnd()));
        const RECT r = tip.WindowRect();
        ASSERT_LE(r.right, 180);
        ASSERT_LE(r.bottom, 90);
        tk::MemoryDC dc(picture.Dc());
        tk::Bitmap window(::CreateCompatibleBitmap(picture.Dc(), r.right, r.bottom));
        {
            tk::ScopedSelect sel(dc.Get(), window.Get());
            tip.PaintInto(dc.Get());
            ::BitBlt(picture.Dc(), 180 * column, 0, r.right, r.bottom, dc.Get(), 0, 0, SRCCOPY);
        }
        tip.DestroyTipWindow();
        ++column;
    }
    EXPECT_EQ(picture.CompareWithGolden("tooltips"), "");
}

// The tip's renderer takes the image list and the resource module: a frame
// widens the tip by its width, and a module without the picture drops it.
// Extreme shadow, margin and frame settings are clamped.
TEST(HtToolTipTest, RendererSettingsAndExtremeValues) {
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    tooltip::CHtToolTip tip;
    ASSERT_TRUE(tip.CreateTipWindow(owner, false));
    tip.EnableFadeIn(false);
    auto width = [&](const char* text) {
        tip.ShowAtPoint(POINT{300, 300}, text);
        Pump();
        return tip.WindowRect().right;
    };
    const int plain = width("x");
    ASSERT_TRUE(tip.SetImageList(nullptr, IDB_HANDHELD_CONNECTED, 16, 16, 4, RGB(255, 0, 255)));
    EXPECT_EQ(width("<ilst index=0>x"), plain + 16);
    const int withPicture = width("<bmp iddll=153>x");
    EXPECT_GT(withPicture, plain + 300);
    EXPECT_FALSE(tip.SetResourceModule("no-such-library.dll", 0));
    ASSERT_TRUE(tip.SetResourceModule("kernel32.dll", LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_EQ(width("<bmp iddll=153>x"), plain);

    // Setters with extreme values keep the tip a tip.
    tip.SetDropShadow(INT_MAX, INT_MIN, INT_MIN, true, INT_MAX, INT_MAX);
    tip.SetShapeValue(2, INT_MAX);
    tip.SetFrame(RGB(0, 0, 0), INT_MAX, INT_MIN);
    EXPECT_EQ(tip.GetShapeValue(2), 1000);
    const int wide = width("x");
    EXPECT_GT(wide, plain + 2000);
    EXPECT_LT(wide, plain + 2200);
    tip.DestroyTipWindow();
    ::DestroyWindow(owner);
}

// The tip's animation timer repaints a tip whose strip moved on, and leaves
// a tip without strips alone.
TEST(HtToolTipTest, AnimationTimerRepaintsAMovingStrip) {
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    tooltip::CHtToolTip tip;
    ASSERT_TRUE(tip.CreateTipWindow(owner, false));
    tip.EnableFadeIn(false);
    for (bool animated : {true, false}) {
        tip.ShowAtPoint(POINT{300, 300}, animated ? "<ilst idres=153 cx=16 speed=1>x" : "<ilst idres=153 cx=16>x");
        Pump();
        ASSERT_EQ(tip.DisplayState(), tooltip::TipShown);
        const LONGLONG before = tip.LastPaintTicks();
        ::SendMessageA(tip.Hwnd(), WM_TIMER, tooltip::TipTimerAnimation, 0);
        EXPECT_EQ(tip.LastPaintTicks() != before, animated);
    }
    tip.DestroyTipWindow();
    ::DestroyWindow(owner);
}

class LabelDialog : public tk::CDialog {
public:
    LabelDialog() : tk::CDialog(IDD_ABOUT) { Bind(IDC_ABOUT_LABEL, label); }
    tooltip::CHtmlLabel label;
};

// SetLinkStyle colours the label's links: the link's pixels take the normal
// colour given.
TEST(HtmlLabelTest, LinkStyleColoursTheLinks) {
    LabelDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    ::ShowWindow(dlg.Hwnd(), SW_SHOW);
    Pump();
    auto count = [&](COLORREF colour) {
        dlg.label.SetLabelText("<a href=x>WWWWWWWW</a>");
        Pump();
        const RECT r = dlg.label.TextRect();
        HDC dc = ::GetDC(dlg.label.Hwnd());
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += ::GetPixel(dc, x, y) == colour;
        ::ReleaseDC(dlg.label.Hwnd(), dc);
        return n;
    };
    dlg.label.SetLinkStyle(RGB(0, 160, 0), false, RGB(0, 160, 0), true);
    EXPECT_GT(count(RGB(0, 160, 0)), 20);
    dlg.label.SetLinkStyle(RGB(200, 0, 0), false, RGB(200, 0, 0), true);
    EXPECT_EQ(count(RGB(0, 160, 0)), 0);
    EXPECT_GT(count(RGB(200, 0, 0)), 20);
    dlg.Destroy();
}

TEST(HtmlLabelTest, SetTextCleansAndGetTextFitsTheBuffer) {
    LabelDialog dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    HWND label = dlg.Item(IDC_ABOUT_LABEL);
    EXPECT_NE(::GetWindowLongA(label, GWL_STYLE) & SS_NOTIFY, 0);

    const char doc[] = "<html><body><P ALIGN=\"center\">Hello</P></body></html>";
    EXPECT_EQ(::SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(doc)), 0);
    char buf[64] = {};
    EXPECT_EQ(::SendMessageA(label, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf)), 30);
    EXPECT_STREQ(buf, "<center>Hello</center><br><br>");

    ::SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Hello"));
    EXPECT_EQ(::SendMessageA(label, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buf)), 4);
    EXPECT_STREQ(buf, "Hell");
    EXPECT_EQ(::SendMessageA(label, WM_GETTEXTLENGTH, 0, 0), 5);

    // The label keeps a megabyte of a longer text.
    std::string huge;
    for (int i = 0; i < 700000; ++i) huge += "ab ";
    ::SendMessageA(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(huge.c_str()));
    EXPECT_EQ(::SendMessageA(label, WM_GETTEXTLENGTH, 0, 0), 1 << 20);
    dlg.Destroy();
}

// The modal loop hands every queued message to the dialog (where the main
// dialog feeds its tooltips) before the dialog's own handling.
class FilteredDialog : public tk::CDialog {
public:
    FilteredDialog() : tk::CDialog(IDD_ABOUT) {}
    int filtered = 0;
protected:
    BOOL OnInitDialog() override {
        ::PostMessageA(Hwnd(), WM_APP + 7, 0, 0);
        ::SetTimer(Hwnd(), 1, 3000, nullptr);  // without the filter, the run ends here
        return TRUE;
    }
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_TIMER) EndDialog(IDCANCEL);
        return std::nullopt;
    }
    bool PreTranslateMessage(MSG& msg) override {
        if (msg.message != WM_APP + 7) return false;
        ++filtered;
        EndDialog(IDOK);
        return true;
    }
};

TEST(HtToolTipTest, ModalLoopFeedsTheFilter) {
    FilteredDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.filtered, 1);
}

} // namespace
