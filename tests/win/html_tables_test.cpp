// Tables and images of the HTML renderer on GDI: pictures from the program's
// resources, files, the caller's handles and the image list reach the
// screen through the drawing toolbox, and an animated strip shows its next
// frame after StepAnimation. The window test also writes screenshots to
// build/screens/html_tables/ (as BMP files; QUORVEL_SCREENS_DIR overrides).
#include <windows.h>

#include <gtest/gtest.h>

#include "html/HtmlRenderer.h"
#include "toolkit/Handles.h"
#include "resource.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A 32-bit top-down section on a memory DC, white to start with.
struct Surface {
    tk::MemoryDC memory;
    tk::DibSection32 section;
    tk::ScopedSelect select;
    HDC dc = nullptr;
    std::uint32_t* pixels = nullptr;
    int width, height;
    Surface(int w, int h) : section(w, h), select(memory.Get(), section.Get()), width(w), height(h) {
        dc = memory.Get();
        pixels = section.Bits();
        RECT r = {0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    COLORREF At(int x, int y) {
        GdiFlush();
        std::uint32_t p = pixels[y * width + x] & 0xFFFFFF;   // 0x00RRGGBB
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// A strip of four 16 x 16 frames: red, green, blue, yellow.
const COLORREF kFrames[4] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 200, 0)};
HBITMAP MakeStrip() {
    tk::DibSection32 strip(64, 16);
    {
        tk::MemoryDC dc;
        tk::ScopedSelect select(dc.Get(), strip.Get());
        for (int i = 0; i < 4; ++i) {
            tk::Brush b(CreateSolidBrush(kFrames[i]));
            RECT r = {i * 16, 0, i * 16 + 16, 16};
            FillRect(dc.Get(), &r, b.Get());
        }
    }
    return strip.Release();
}

std::string WriteBmpFile(HBITMAP bitmap, int width, int height, const std::string& path) {
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 24;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * height);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, bitmap, 0, height, bits.data(), reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    BITMAPFILEHEADER f = {};
    f.bfType = 0x4D42;
    f.bfOffBits = sizeof f + sizeof h;
    f.bfSize = f.bfOffBits + static_cast<DWORD>(bits.size());
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return std::string();
    std::fwrite(&f, sizeof f, 1, out);
    std::fwrite(&h, sizeof h, 1, out);
    std::fwrite(bits.data(), 1, bits.size(), out);
    std::fclose(out);
    return path;
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

bool Near(COLORREF a, COLORREF b) {
    auto d = [](int x, int y) { return x > y ? x - y : y - x; };
    return d(GetRValue(a), GetRValue(b)) < 40 && d(GetGValue(a), GetGValue(b)) < 40 &&
           d(GetBValue(a), GetBValue(b)) < 40;
}

TEST(HtmlTablesWin, PicturesFromEverySourceReachTheScreen) {
    HBITMAP strip = MakeStrip();
    const std::string file = WriteBmpFile(strip, 64, 16, TempPath("quorvel_strip.bmp"));
    ASSERT_FALSE(file.empty());
    char handle[32];
    std::snprintf(handle, sizeof handle, "%lu", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(strip)));
    struct Case {
        std::string markup;
        int width, height;        // measured size (one pixel added to each side)
        int x, y;                 // a pixel of the picture
        COLORREF expected;
    };
    const Case cases[] = {
        {"<bmp file=\"" + file + "\">", 65, 17, 40, 8, kFrames[2]},
        {std::string("<bmp handle=") + handle + " width=50% height=200%>", 33, 33, 20, 20, kFrames[2]},
        {"<ilst file=\"" + file + "\" index=3>", 17, 17, 8, 8, kFrames[3]},
        {std::string("<ilst handle=") + handle + " cx=16 speed=5 index=1 width=8 height=8>", 9, 9, 4, 4, kFrames[1]},
        {"<ilst index=2>", 17, 17, 8, 8, kFrames[2]},
        // a greyed strip frame: red becomes trunc(0.299 x 255) = 76
        {"<ilst file=\"" + file + "\" style=g>", 17, 17, 8, 8, RGB(76, 76, 76)},
        // disabled: a silhouette in the disabled colour
        {std::string("<bmp handle=") + handle + ">", 65, 17, 8, 8, RGB(10, 200, 30)},
        {"<table bgcolor=#102030 border=2 bordercolor=#c08040><tr><td width=30 height=20>"
         "<ilst idres=999 cx=16></td></tr></table>", 41, 31, 10, 10, RGB(0x10, 0x20, 0x30)},
    };
    int i = 0;
    for (const Case& c : cases) {
        html::CHtmlRenderer r;
        ASSERT_TRUE(r.SetImageList(strip, 0, 16, 16, 4, RGB(255, 0, 255)));
        if (i == 6) {
            r.SetEnabled(false);
            r.SetDisabledColor(RGB(10, 200, 30));
        }
        Surface s(100, 60);
        SIZE size = r.Measure(s.dc, c.markup);
        EXPECT_EQ(size.cx, c.width) << c.markup;
        EXPECT_EQ(size.cy, c.height) << c.markup;
        r.DrawPrepared(s.dc, RECT{0, 0, size.cx, size.cy});
        EXPECT_TRUE(Near(s.At(c.x, c.y), c.expected))
            << c.markup << ": " << std::hex << s.At(c.x, c.y) << " instead of " << c.expected;
        ++i;
    }
    // A program icon at half the system icon size.
    html::CHtmlRenderer r;
    Surface s(100, 60);
    SIZE size = r.Measure(s.dc, "<icon idres=" + std::to_string(IDI_APP) + " width=50% height=50%>");
    EXPECT_EQ(size.cx, GetSystemMetrics(SM_CXICON) / 2 + 1);
    DeleteObject(strip);
    DeleteFileA(file.c_str());
}

// ---------------------------------------------------------------- in a window

const char kWindowTable[] =
    "<h3>Send to device</h3>"
    "<table border=2 borderstyle=solid bordercolorlight=#b0c4de bordercolordark=#1e3a6e cellspacing=2 cellpadding=4 "
    "bgeffect=vgradient bgcolor=white bgendcolor=lightsteelblue>"
    "<tr><td colspan=3 bgeffect=hgradient bgcolor=navy bgendcolor=royalblue align=center>"
    "<font color=white><b>Picture transfer</b></font></td></tr>"
    "<tr><td rowspan=2 valign=middle bgeffect=3vgradient bgcolor=gold bgmidcolor=white bgendcolor=orange>"
    "<ilst handle=%lu cx=16 speed=10 width=200%% height=200%%></td>"
    "<td border=1 borderstyle=dashed bordercolor=gray>1000 bytes a block</td>"
    "<td bgcolor=honeydew>acknowledged</td></tr>"
    "<tr><td colspan=2 align=right bgeffect=softbump bgcolor=#e0e8ff>64000 bytes at most</td></tr>"
    "<tr><td>Nested</td><td colspan=2><table border=1 borderstyle=double bordercolor=navy>"
    "<tr><td bgcolor=mistyrose>a</td><td bgcolor=lavender>b</td><td><icon idres=%d width=50%% height=50%%></td>"
    "</tr></table></td></tr></table>";

struct Painted {
    html::CHtmlRenderer* renderer = nullptr;
    SIZE size = {};
};

LRESULT CALLBACK PaintProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        auto* p = reinterpret_cast<Painted*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
        if (p && p->renderer) p->renderer->DrawPrepared(dc, RECT{8, 8, 8 + p->size.cx, 8 + p->size.cy});
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

// The window's client area, read back from the screen.
void SaveClient(HWND hwnd, const std::string& path) {
    RECT c;
    GetClientRect(hwnd, &c);
    HDC wdc = GetDC(hwnd);
    HDC mem = CreateCompatibleDC(wdc);
    HBITMAP bmp = CreateCompatibleBitmap(wdc, c.right, c.bottom);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, c.right, c.bottom, wdc, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    WriteBmpFile(bmp, c.right, c.bottom, path);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(hwnd, wdc);
}

TEST(HtmlTablesWin, AnimatedStripInATableWindow) {
    HBITMAP strip = MakeStrip();
    char markup[4096];
    std::snprintf(markup, sizeof markup, kWindowTable,
                  static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(strip)), IDI_SEND_TO_DEVICE);
    html::CHtmlRenderer r;
    Painted painted{&r, {}};

    WNDCLASSA wc = {};
    wc.lpfnWndProc = PaintProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorvelHtmlTablesTest";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "HTML table", WS_POPUP | WS_BORDER, 40, 40, 340, 240,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&painted));
    {
        HDC dc = GetDC(hwnd);
        painted.size = r.Measure(dc, markup);
        ReleaseDC(hwnd, dc);
    }
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    Pump();
    ASSERT_EQ(r.Animations().size(), 1u);

    char dir[MAX_PATH] = "..\\screens\\html_tables";
    GetEnvironmentVariableA("QUORVEL_SCREENS_DIR", dir, sizeof dir);
    CreateDirectoryA("..\\screens", nullptr);
    CreateDirectoryA(dir, nullptr);

    // Where the strip's frame sits: drawn into a memory surface the same way.
    Surface s(painted.size.cx + 16, painted.size.cy + 16);
    int frameX = -1, frameY = -1;
    for (int frame = 0; frame < 5; ++frame) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        Pump();
        SaveClient(hwnd, std::string(dir) + "\\table_frame" + std::to_string(frame) + ".bmp");
        r.DrawPrepared(s.dc, RECT{8, 8, 8 + painted.size.cx, 8 + painted.size.cy});
        if (frameX < 0)
            for (int y = 0; y < s.height && frameX < 0; ++y)
                for (int x = 0; x < s.width; ++x)
                    if (s.At(x, y) == kFrames[0]) {
                        frameX = x + 8;
                        frameY = y + 8;
                        break;
                    }
        ASSERT_GE(frameX, 0) << "the red first frame is not drawn";
        EXPECT_EQ(s.At(frameX, frameY), kFrames[frame % 4]) << "frame " << frame;
        int moved = 0;
        for (int step = 0; step < 10; ++step) moved += r.StepAnimation();
        EXPECT_EQ(moved, 1);
    }
    DestroyWindow(hwnd);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
    DeleteObject(strip);
}

}  // namespace
