// The HTML renderer on real device contexts: the GDI canvas leaves the DC as
// it found it, measures with the platform's fonts at the DC's resolution,
// justifies wrapped lines to the right edge in pixels, and the renderer
// reaches windows through real messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "html/HtmlRenderer.h"
#include "toolkit/Handles.h"

namespace {

// A 32-bit white DIB section selected into a memory DC.
struct Surface {
    Surface(int w, int h) : width(w), height(h), section(w, h), select(memory.Get(), section.Get()) {
        dc = memory.Get();
        bits = section.Bits();
        for (int i = 0; i < w * h; ++i) bits[i] = 0xFFFFFF;
    }
    // Rightmost column with a non-white pixel in rows [top, bottom), or -1.
    int RightmostInk(int top, int bottom) const {
        GdiFlush();
        int right = -1;
        for (int y = top; y < bottom && y < height; ++y)
            for (int x = 0; x < width; ++x)
                if ((bits[y * width + x] & 0xFFFFFF) != 0xFFFFFF) right = std::max(right, x);
        return right;
    }
    int width, height;
    tk::MemoryDC memory;
    tk::DibSection32 section;
    tk::ScopedSelect select;
    HDC dc;
    std::uint32_t* bits = nullptr;
};

TEST(HtmlRendererWin, CanvasRestoresTheDcAndUsesItsResolution) {
    Surface s(400, 100);
    HFONT mine = CreateFontA(20, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    SelectObject(s.dc, mine);
    SetBkMode(s.dc, OPAQUE);
    SetTextColor(s.dc, RGB(1, 2, 3));
    SetBkColor(s.dc, RGB(4, 5, 6));

    html::CHtmlRenderer r;
    SIZE size = r.Measure(s.dc, "<b>x</b> <font bkgnd=red color=blue>y</font>\nz");
    RECT rc = {0, 0, size.cx, size.cy};
    r.DrawPrepared(s.dc, rc);

    EXPECT_EQ(GetCurrentObject(s.dc, OBJ_FONT), mine);
    EXPECT_EQ(GetBkMode(s.dc), OPAQUE);
    EXPECT_EQ(GetTextColor(s.dc), RGB(1, 2, 3));
    EXPECT_EQ(GetBkColor(s.dc), RGB(4, 5, 6));

    // 10pt body text: two lines of the tmHeight of a font of 10pt at the DC's
    // resolution (13 pixels at 96 dpi), plus the one pixel Measure adds.
    const int dpi = GetDeviceCaps(s.dc, LOGPIXELSY);
    HFONT body = CreateFontA(10 * dpi / 72, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Verdana");
    HGDIOBJ prev = SelectObject(s.dc, body);
    TEXTMETRICA tm = {};
    GetTextMetricsA(s.dc, &tm);
    SelectObject(s.dc, prev);
    DeleteObject(body);
    EXPECT_EQ(size.cy, 2 * tm.tmHeight + 1);
    if (dpi == 96) EXPECT_EQ(tm.tmHeight, 13);
    EXPECT_GE(s.RightmostInk(0, size.cy), 0);   // something was drawn
    SelectObject(s.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(mine);
}

TEST(HtmlRendererWin, JustifiedLinesReachTheRightEdge) {
    Surface s(300, 200);
    html::CHtmlRenderer r;
    r.SetMaxWidth(160);
    SIZE size = r.Measure(s.dc, "<justify>one two three four five six seven eight nine ten eleven twelve</justify>");
    ASSERT_GE(r.Lines().size(), 3u);
    const int width = 200;   // wider than measured: the wrapped lines stretch to it
    RECT rc = {0, 0, width, size.cy};
    r.DrawPrepared(s.dc, rc);
    int top = 0;
    for (std::size_t i = 0; i < r.Lines().size(); ++i) {
        const auto& line = r.Lines()[i];
        int ink = s.RightmostInk(top, top + line.height);
        if (line.wrapped) EXPECT_GE(ink, width - 3) << "line " << i;
        else EXPECT_LT(ink, width - 20) << "last line " << i;   // drawn left-aligned
        top += line.height;
    }
}

struct Received {
    UINT message;
    WPARAM wParam;
    std::string text;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER + 101) g_received.push_back({msg, wp, std::to_string(lp)});
    if (msg == WM_USER + 7) g_received.push_back({msg, 0, reinterpret_cast<const char*>(wp)});
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(HtmlRendererWin, HoverAndMessageLinksReachTheirWindows) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HtmlRendererTestTarget";
    RegisterClassA(&wc);
    HWND target = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(target, nullptr);

    Surface s(300, 50);
    html::CHtmlRenderer r;
    r.SetHoverNotify(target, WM_USER + 101, 42);
    r.SetLinkMessageNotify(target, WM_USER + 7, 0);
    SIZE size = r.Measure(s.dc, "<a msg=\"do it\">act</a>");
    r.DrawPrepared(s.dc, RECT{0, 0, size.cx, size.cy});
    ASSERT_EQ(r.HotAreas().size(), 1u);

    g_received.clear();
    EXPECT_TRUE(r.OnMouseMove(POINT{2, 2}));   // a target: the hand cursor
    EXPECT_FALSE(r.OnMouseMove(POINT{size.cx + 50, 2}));
    r.OnClick(POINT{2, 2});
    ASSERT_EQ(g_received.size(), 3u);
    EXPECT_EQ(g_received[0].wParam, 0u);
    EXPECT_EQ(g_received[0].text, "42");
    EXPECT_EQ(static_cast<int>(g_received[1].wParam), -2);
    EXPECT_EQ(g_received[2].text, "do it");

    r.SetHoverNotify(nullptr, WM_USER + 101, 42);   // a null window clears the target
    g_received.clear();
    r.OnMouseMove(POINT{2, 2});
    EXPECT_TRUE(g_received.empty());
    DestroyWindow(target);
}

}  // namespace
