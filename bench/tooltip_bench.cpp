// tooltip_bench - what showing a tooltip costs. Times the step from the end
// of the initial delay to the tip being painted (layout, placement, region,
// background fill, the read of the screen beneath, the first paint) and one
// fade step (a repaint at a new transparency), next to two references
// measured in the same run: the platform's own tooltip (comctl32) with the
// same words in plain text, from its show to its paint, and one copy of the
// tip's pixels onto a plain window of the tip's size, until the screen shows
// them. The first show of the process is printed apart (cold).
// The tip is held to one frame at 60 Hz: at most 16 ms warm, 50 ms cold and
// 4 ms a fade step.
//
// Windows program; run it under Wine with bench/run_tooltip_bench.sh.
// Optional argument: the number of timed repetitions (default 200).
#include "toolkit/Win.h"

#include "effects/EffectMath.h"
#include "tooltip/HtToolTip.h"
#include "toolkit/Handles.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char kText[] = "Send picture to device";

double Ms(LONGLONG ticks) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}
LONGLONG Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t.QuadPart;
}
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One show: from the show request (no delay left) to the paint. Checks that
// the tip was painted and is on the screen.
double TimeShow(tooltip::CHtToolTip& tip, POINT at) {
    tip.HideNow();
    const LONGLONG before = Now();
    tip.ShowAtPoint(at, kText);
    const LONGLONG painted = tip.LastPaintTicks();
    if (painted <= before || !::IsWindowVisible(tip.Hwnd())) {
        std::fprintf(stderr, "tooltip_bench: the tip was not painted\n");
        std::exit(1);
    }
    return Ms(painted - before);
}

// The platform's tip: a tracking tooltip of comctl32 whose paints are
// timed through a subclass.
class PlatformTip {
public:
    explicit PlatformTip(HWND owner) : m_owner(owner) {
        m_wnd = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX, 0, 0, 0, 0, owner,
                                  nullptr, nullptr, nullptr);
        if (!m_wnd) return;
        ::SetWindowSubclass(m_wnd, &PlatformTip::Subclass, 1, reinterpret_cast<DWORD_PTR>(this));
        m_tool.cbSize = TTTOOLINFOA_V1_SIZE;
        m_tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        m_tool.hwnd = owner;
        m_tool.lpszText = const_cast<char*>(kText);
        ::SendMessageA(m_wnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&m_tool));
    }
    ~PlatformTip() {
        if (m_wnd) ::DestroyWindow(m_wnd);
    }
    bool Made() const { return m_wnd != nullptr; }
    HWND Hwnd() const { return m_wnd; }
    // From the show request to the end of its paint; exits when it did not paint.
    double TimeShow(POINT at) {
        ::SendMessageA(m_wnd, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&m_tool));
        const LONGLONG before = Now();
        ::SendMessageA(m_wnd, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
        ::SendMessageA(m_wnd, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&m_tool));
        ::UpdateWindow(m_wnd);
        if (m_painted <= before || !::IsWindowVisible(m_wnd)) {
            std::fprintf(stderr, "tooltip_bench: the platform's tip was not painted\n");
            std::exit(1);
        }
        return Ms(m_painted - before);
    }

private:
    static LRESULT CALLBACK Subclass(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        LRESULT r = ::DefSubclassProc(wnd, msg, wp, lp);
        if (msg == WM_PAINT) reinterpret_cast<PlatformTip*>(data)->m_painted = Now();
        return r;
    }
    HWND m_owner;
    HWND m_wnd = nullptr;
    TTTOOLINFOA m_tool{};
    LONGLONG m_painted = 0;
};

// Pixels of a window's client area, as 32-bit values.
std::vector<std::uint32_t> ReadPixels(HWND wnd, int w, int h) {
    tk::WindowDC dc(wnd);
    tk::MemoryDC mem(dc.Get());
    tk::DibSection32 section(w, h);
    if (!section) return {};
    {
        tk::ScopedSelect sel(mem.Get(), section.Get());
        ::BitBlt(mem.Get(), 0, 0, w, h, dc.Get(), 0, 0, SRCCOPY);
    }
    ::GdiFlush();
    return std::vector<std::uint32_t>(section.Bits(), section.Bits() + section.PixelCount());
}

const char* Goal(double ms, double goal) { return ms <= goal ? "met" : "MISSED"; }

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    tooltip::CHtToolTip tip;
    if (!tip.CreateTipWindow(owner, false)) return 1;
    tip.SetWrapWidth(300);
    tip.SetFillColors(0xAAEDFF, 0xF0FFFF, 0x64E6FF);
    tip.SetFrame(RGB(0, 0, 0), 1, 1);
    tip.SetFillEffect(effects::FillSoftBump, 5);
    const int shape[][2] = {{0, 2}, {1, 2}, {5, 0}, {2, 4}, {3, 4}, {4, 0}, {6, 0}};
    for (const auto& v : shape) tip.SetShapeValue(v[0], v[1]);
    const POINT at{400, 300};

    const double cold = TimeShow(tip, at);
    std::vector<double> shows;
    for (int i = 0; i < reps; ++i) shows.push_back(TimeShow(tip, at));

    // Fade steps: the tip shown fully transparent, then stepped by its timer.
    tip.SetTiming(tooltip::CHtToolTip::TimingFadeIn, 30);
    std::vector<double> steps;
    for (int i = 0; i < reps; ++i) {
        tip.HideNow();
        tip.ShowAtPoint(at, kText);
        const int before = tip.Transparency();
        const LONGLONG t0 = Now();
        ::SendMessageA(tip.Hwnd(), WM_TIMER, tooltip::TipTimerFadeIn, 0);
        const LONGLONG painted = tip.LastPaintTicks();
        if (before != 100 || tip.Transparency() != 80 || painted <= t0) {
            std::fprintf(stderr, "tooltip_bench: the fade step did not repaint at 80\n");
            return 1;
        }
        steps.push_back(Ms(painted - t0));
    }

    // Reference: the tip's own pixels, read from its window, copied onto a
    // plain window of its size at its place. A copy into a window lands in
    // memory the platform puts on the screen later, so each copy is timed
    // until the screen shows it: the middle pixel is read back from the
    // screen, which is cleared to black before each copy.
    const RECT r = tip.WindowRect();
    const int w = r.right, h = r.bottom;
    const std::vector<std::uint32_t> tipPixels = ReadPixels(tip.Hwnd(), w, h);
    if (tipPixels.size() != static_cast<size_t>(w) * h || w <= 0 || h <= 0) {
        std::fprintf(stderr, "tooltip_bench: the tip's pixels could not be read\n");
        return 1;
    }
    tip.HideNow();
    HWND plain = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, at.x, at.y, w, h, nullptr,
                                   nullptr, nullptr, nullptr);
    std::vector<double> copies;
    bool copied = true;
    {
        tk::WindowDC dc(plain), screen(nullptr);
        tk::MemoryDC mem(dc.Get());
        tk::DibSection32 source(w, h);
        if (source) std::copy(tipPixels.begin(), tipPixels.end(), source.Bits());
        tk::ScopedSelect sel(mem.Get(), source.Get());
        const std::uint32_t middle = tipPixels[static_cast<size_t>(h / 2) * w + w / 2];
        const COLORREF want = RGB((middle >> 16) & 0xFF, (middle >> 8) & 0xFF, middle & 0xFF);
        auto screenShows = [&](COLORREF c) {
            for (int polls = 0; polls < 10000; ++polls) {
                MSG msg;
                ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
                if (::GetPixel(screen.Get(), at.x + w / 2, at.y + h / 2) == c) return true;
            }
            return false;
        };
        for (int i = 0; i < reps && copied; ++i) {
            ::PatBlt(dc.Get(), 0, 0, w, h, BLACKNESS);
            copied = want != 0 && screenShows(0);
            const LONGLONG t0 = Now();
            ::BitBlt(dc.Get(), 0, 0, w, h, mem.Get(), 0, 0, SRCCOPY);
            copied = copied && screenShows(want);
            copies.push_back(Ms(Now() - t0));
        }
        copied = copied && ReadPixels(plain, w, h) == tipPixels;
    }
    ::DestroyWindow(plain);
    if (!copied) {
        std::fprintf(stderr, "tooltip_bench: the copy of the tip's pixels did not arrive\n");
        return 1;
    }

    // Reference: the platform's tooltip with the same words.
    PlatformTip platform(owner);
    if (!platform.Made()) {
        std::fprintf(stderr, "tooltip_bench: no platform tooltip\n");
        return 1;
    }
    const double platformCold = platform.TimeShow(at);
    std::vector<double> platformShows;
    for (int i = 0; i < reps; ++i) platformShows.push_back(platform.TimeShow(at));
    RECT pr{};
    ::GetWindowRect(platform.Hwnd(), &pr);

    tip.DestroyTipWindow();
    ::DestroyWindow(owner);

    const double warm = Median(shows), step = Median(steps), copy = std::max(Median(copies), 1e-6);
    const double platformWarm = std::max(Median(platformShows), 1e-6);
    std::printf("tooltip %d x %d pixels, the platform's tip %ld x %ld, %d repetitions\n", w, h, pr.right - pr.left,
                pr.bottom - pr.top, reps);
    std::printf("delay end to painted, cold (first show): %8.3f ms  (goal <= 50: %s)\n", cold, Goal(cold, 50));
    std::printf("delay end to painted, warm (median):     %8.3f ms  (goal <= 16: %s)\n", warm, Goal(warm, 16));
    std::printf("one fade step (median):                  %8.3f ms  (goal <= 4: %s)\n", step, Goal(step, 4));
    std::printf("reference: the platform's tip, cold:     %8.3f ms\n", platformCold);
    std::printf("reference: the platform's tip, warm:     %8.3f ms\n", platformWarm);
    std::printf("reference: the tip's pixels onto screen: %8.3f ms\n", copy);
    std::printf("ratios: show cold / platform cold %.1fx, show warm / platform warm %.1fx\n",
                cold / std::max(platformCold, 1e-6), warm / platformWarm);
    std::printf("ratios: show warm / copy %.1fx, fade step / copy %.1fx\n", warm / copy, step / copy);
    return 0;
}
