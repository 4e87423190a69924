// The tooltip window and the HTML label as windows: a tip shown at a point
// near the screen's right edge, its state, region and hiding by a key; the
// label's SS_NOTIFY, WM_SETTEXT cleaning and WM_GETTEXT into a short buffer.
#include "tooltip/HtToolTip.h"
#include "tooltip/HtmlLabel.h"
#include "resources/resource.h"
#include "toolkit/Dialog.h"

#include <gtest/gtest.h>

namespace {

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
}

TEST(HtToolTipTest, ShowAtPointFlipsAtTheRightEdgeAndHidesOnAKey) {
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 10, 10, 100, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    CHtToolTip tip;
    ASSERT_TRUE(tip.CreateTipWindow(owner, false));
    tip.SetShapeValue(9, 5);
    EXPECT_EQ(tip.GetShapeValue(9), 0);
    tip.SetTiming(CHtToolTip::TimingInitialDelay, 50);
    EXPECT_EQ(tip.GetTiming(CHtToolTip::TimingInitialDelay), 50);

    const int right = ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    tip.ShowAtPoint(POINT{right - 5, 300}, "A tip near the right edge");
    Pump();
    EXPECT_TRUE(::IsWindowVisible(tip.Hwnd()));
    EXPECT_EQ(tip.DisplayState(), quorvel::TipShown);
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
    EXPECT_EQ(tip.DisplayState(), quorvel::TipHidden);
    tip.DestroyTipWindow();
    ::DestroyWindow(owner);
}

class LabelDialog : public tk::CDialog {
public:
    LabelDialog() : tk::CDialog(IDD_ABOUT) { Bind(IDC_ABOUT_LABEL, label); }
    CHtmlLabel label;
};

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
