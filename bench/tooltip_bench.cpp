// tooltip_bench - what showing a tooltip costs. Times the step from the end
// of the initial delay to the tip being painted (layout, placement, region,
// background fill, the read of the screen beneath, the first paint) and one
// fade step (a repaint at a new transparency), next to a reference measured
// in the same run: one plain copy of a bitmap of the tip's size onto the
// tip window. The first show of the process is printed apart (cold).
//
// Windows program; run it under Wine with bench/run_tooltip_bench.sh.
// Optional argument: the number of timed repetitions (default 200).
#include "toolkit/Win.h"

#include "htmltip/HtToolTip.h"
#include "toolkit/Handles.h"

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
double TimeShow(CHtToolTip& tip, POINT at) {
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

} // namespace

int main(int argc, char** argv) {
    const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                   nullptr, nullptr);
    CHtToolTip tip;
    if (!tip.CreateTipWindow(owner, false)) return 1;
    tip.SetWrapWidth(300);
    tip.SetFillColors(0xAAEDFF, 0xF0FFFF, 0x64E6FF);
    tip.SetFrame(RGB(0, 0, 0), 1, 1);
    tip.SetFillEffect(13, 5);
    const int shape[][2] = {{0, 2}, {1, 2}, {5, 0}, {2, 4}, {3, 4}, {4, 0}, {6, 0}};
    for (const auto& v : shape) tip.SetShapeValue(v[0], v[1]);
    const POINT at{400, 300};

    const double cold = TimeShow(tip, at);
    std::vector<double> shows;
    for (int i = 0; i < reps; ++i) shows.push_back(TimeShow(tip, at));

    // Fade steps: the tip shown fully transparent, then stepped by its timer.
    tip.SetTiming(CHtToolTip::TimingFadeIn, 30);
    std::vector<double> steps;
    for (int i = 0; i < reps; ++i) {
        tip.HideNow();
        tip.ShowAtPoint(at, kText);
        const int before = tip.Transparency();
        const LONGLONG t0 = Now();
        ::SendMessageA(tip.Hwnd(), WM_TIMER, quorvel::TipTimerFadeIn, 0);
        const LONGLONG painted = tip.LastPaintTicks();
        if (before != 100 || tip.Transparency() != 80 || painted <= t0) {
            std::fprintf(stderr, "tooltip_bench: the fade step did not repaint at 80\n");
            return 1;
        }
        steps.push_back(Ms(painted - t0));
    }

    // Reference: one copy of a bitmap of the tip's size onto its window.
    const RECT r = tip.WindowRect();
    std::vector<double> copies;
    {
        tk::WindowDC dc(tip.Hwnd());
        tk::MemoryDC mem(dc.Get());
        tk::Bitmap bmp(::CreateCompatibleBitmap(dc.Get(), r.right, r.bottom));
        tk::ScopedSelect sel(mem.Get(), bmp.Get());
        for (int i = 0; i < reps; ++i) {
            const LONGLONG t0 = Now();
            ::BitBlt(dc.Get(), 0, 0, r.right, r.bottom, mem.Get(), 0, 0, SRCCOPY);
            ::GdiFlush();
            copies.push_back(Ms(Now() - t0));
        }
    }
    tip.DestroyTipWindow();
    ::DestroyWindow(owner);

    std::printf("tooltip %ld x %ld pixels, %d repetitions\n", r.right, r.bottom, reps);
    std::printf("delay end to painted, cold (first show): %8.3f ms\n", cold);
    std::printf("delay end to painted, warm (median):     %8.3f ms\n", Median(shows));
    std::printf("one fade step (median):                  %8.3f ms\n", Median(steps));
    std::printf("reference: one copy of the tip's pixels: %8.3f ms\n", Median(copies));
    std::printf("fade step / copy: %.1fx\n", Median(steps) / std::max(Median(copies), 1e-6));
    return 0;
}
