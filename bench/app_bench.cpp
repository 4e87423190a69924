// Benchmark of the main window on big photos, each figure next to a
// reference measured in the same run:
//   start-up: creating and showing the main dialog, against creating and
//     showing the small About dialog;
// and for each picture given (a 24-megapixel and a 200-megapixel photo):
//   first open: the first Open of the picture in this process, its decode
//     (on the window's decoding thread) included, until the preview is
//     drawn, against a bare GDI+ decode of the same file (pixels locked out
//     as 32-bit ARGB) taken just before; the decodes it took (one), and the
//     longest the window went without answering meanwhile (a second thread
//     sends it a message every 10 ms) against the open itself, which is how
//     long an open on the window's own thread left it frozen;
//   re-open: the same file opened again (its pixels are kept, no decode);
//   zoom step: one Zoom out, which changes the target size, until the
//     preview is drawn (median of five steps), against rendering the whole
//     picture at the first step's size into one bitmap, the way the preview
//     did before it drew only the part behind the screen;
//   pan step: one mouse move of a drag over the picture, which moves it one
//     line step on both axes and repaints (median of five);
//   memory: the process's peak and what is kept once the picture is shown.
// Each timed step is checked to have done its work (the size changed, the
// picture moved); a step that did not is reported as such.
// Usage: app_bench.exe PICTURE...
#include "imaging/ImageOps.h"
#include "resources/resource.h"
#include "toolkit/App.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"
#include "ui/ZelpixDlg.h"

#include <gdiplus.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

double Now() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// GDI+ decode of the file, its pixels locked out as 32-bit ARGB.
double BareDecode(const std::string& path, bool* ok) {
    double t0 = Now();
    std::wstring wide = tk::ToWide(path);
    Gdiplus::Bitmap bitmap(wide.c_str(), FALSE);
    Gdiplus::Rect all(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    *ok = bitmap.GetLastStatus() == Gdiplus::Ok &&
          bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok;
    if (*ok) bitmap.UnlockBits(&data);
    return Now() - t0;
}

// Loads the imaging service's JPEG codec once with a tiny picture, so that
// neither the first open nor the bare decode pays for loading it.
void WarmUpJpegCodec() {
    CLSID jpeg{};
    if (FindEncoder(L"image/jpeg", &jpeg) < 0) return;
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return;
    {
        Gdiplus::Bitmap tiny(8, 8, PixelFormat24bppRGB);
        tiny.Save(stream, &jpeg, nullptr);
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        Gdiplus::Bitmap back(stream, FALSE);
        back.GetWidth();
    }
    stream->Release();
}

double MegaBytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc;
}

constexpr int kSteps = 5;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The application object registers the main window for the panes.
class BenchApp : public tk::CWinApp {};
BenchApp g_app;

void Print(const char* what, double ours, const char* reference, double ref) {
    std::printf("  %-26s %9.1f ms   %-34s %9.1f ms   ratio %6.3f\n", what, ours, reference, ref,
                ref > 0 ? ours / ref : 0.0);
}

struct Opened {
    double ms = 0.0;             // from the choice until the preview is drawn
    double longestAnswer = 0.0;  // the longest the window took to answer a message meanwhile
    int decodes = 0;
};

// Opens the picture as Open does and pumps until it is shown, while another
// thread keeps asking the window for an answer.
Opened OpenAndWait(CZelpixDlg& dlg, const std::string& picture) {
    Opened opened;
    const int decodesBefore = PictureDecodeCount();
    std::atomic<bool> done{false};
    std::atomic<long long> longestMicroseconds{0};
    const HWND wnd = dlg.Hwnd();
    std::thread pinger([&] {
        while (!done) {
            const double sent = Now();
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutA(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
            const auto waited = static_cast<long long>((Now() - sent) * 1000.0);
            if (waited > longestMicroseconds) longestMicroseconds = waited;
            ::Sleep(10);
        }
    });
    const double t0 = Now();
    dlg.OpenPictureFile(tk::ToWide(picture));
    while (dlg.PictureBusy()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Pump();
    }
    Pump();
    opened.ms = Now() - t0;
    done = true;
    pinger.join();
    opened.longestAnswer = static_cast<double>(longestMicroseconds.load()) / 1000.0;
    opened.decodes = PictureDecodeCount() - decodesBefore;
    return opened;
}

RECT PaneRect(HWND pane) {
    RECT r{};
    ::GetWindowRect(pane, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(pane), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_bench PICTURE...\n");
        return 2;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);

    WarmUpJpegCodec();
    double t0 = Now();
    {
        tk::CDialog about(IDD_ABOUT);
        about.Create(nullptr);
        about.Show(true);
        ::UpdateWindow(about.Hwnd());
        Pump();
    }
    const double startAbout = Now() - t0;
    t0 = Now();
    CZelpixDlg dlg;
    g_app.SetMainWindow(&dlg);
    dlg.Create(nullptr);
    dlg.Show(true);
    ::UpdateWindow(dlg.Hwnd());
    Pump();
    const double startMain = Now() - t0;
    std::printf("start-up (cold, once)\n");
    Print("main window shown", startMain, "About dialog shown", startAbout);

    HWND screenPane = ::GetDlgItem(dlg.Hwnd(), IDD_DEVICE_OUT);
    HWND realPane = ::GetDlgItem(screenPane, IDD_REAL_PICT);
    int failures = 0;
    auto check = [&failures](bool done, const char* what) {
        if (!done) {
            std::printf("  !! %s did not do its work\n", what);
            ++failures;
        }
    };
    double zoom24 = 0.0;
    for (int i = 1; i < argc; ++i) {
        const std::string picture = argv[i];
        const Opened first = OpenAndWait(dlg, picture);
        const double firstOpen = first.ms;
        const int w = dlg.Picture().targetRect.Width(), h = dlg.Picture().targetRect.Height();
        std::printf("%s: %d x %d (%.1f megapixels)\n", picture.c_str(), w, h, w * static_cast<double>(h) / 1e6);
        check(w > 0 && h > 0, "first open");
        const PROCESS_MEMORY_COUNTERS afterOpen = Memory();
        // The bare decode comes second, so that the peak above is the open's
        // own; the file is in the system's cache for both.
        bool decoded = false;
        const double bare = BareDecode(picture, &decoded);
        check(decoded, "bare decode");
        Print("first open (cold, decode)", firstOpen, "bare GDI+ decode of the file", bare);
        check(first.decodes == 1, "one decode for the first open");
        std::printf("  first open: %d decode(s)\n", first.decodes);
        Print("longest unanswered, open", first.longestAnswer, "the open (frozen when on the window)", firstOpen);

        const Opened again = OpenAndWait(dlg, picture);
        check(again.decodes == 0 && dlg.Picture().targetRect.Width() == w, "re-open from the kept pixels");
        Print("re-open (pixels kept)", again.ms, "bare GDI+ decode of the file", bare);

        // Five Zoom out steps, each one changing the size; their median.
        std::vector<double> zooms;
        int zw = w, zh = h;
        bool zoomed = true;
        for (int step = 0; step < kSteps; ++step) {
            t0 = Now();
            dlg.Send(WM_COMMAND, MAKEWPARAM(IDC_ZOOM_OUT, BN_CLICKED), 0);
            Pump();
            zooms.push_back(Now() - t0);
            const int nw = dlg.Picture().targetRect.Width(), nh = dlg.Picture().targetRect.Height();
            const RECT pane = PaneRect(realPane);
            zoomed = zoomed && nw == zw - zw / 10 && nh == zh - zh / 10 && pane.right - pane.left == nw;
            zw = nw;
            zh = nh;
        }
        check(zoomed, "zoom out");
        const double zoom = Median(zooms);
        // The preview before it drew only the visible part: the whole
        // picture rendered at the new size into one bitmap.
        double full = 0.0;
        {
            tk::WindowDC dc(realPane);
            t0 = Now();
            HDC rendered = RenderPictureFitted(picture, dc.Get(), RECT{0, 0, w - w / 10, h - h / 10}, 0, kPixelFormat24bppRGB);
            full = Now() - t0;
            check(rendered != nullptr, "full render");
            ReleaseRenderedDC(rendered);
        }
        Print("zoom out step (median)", zoom, "whole picture rendered at the size", full);
        if (i == 1) zoom24 = zoom;
        else Print("zoom out step (median)", zoom, "zoom out step of the first picture", zoom24);

        // Five mouse moves of one drag: the anchor stays, so each move
        // beyond five pixels steps the picture once more on both axes.
        const RECT before = PaneRect(realPane);
        std::vector<double> pans;
        ::SendMessageA(realPane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
        for (int step = 0; step < kSteps; ++step) {
            t0 = Now();
            ::SendMessageA(realPane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(90, 90));
            Pump();
            pans.push_back(Now() - t0);
        }
        ::SendMessageA(realPane, WM_LBUTTONUP, 0, MAKELPARAM(90, 90));
        const RECT panned = PaneRect(realPane);
        check(panned.left == before.left - 5 * kSteps && panned.top == before.top - 5 * kSteps, "pan by drag");
        Print("pan step by drag (median)", Median(pans), "zoom out step (median)", zoom);

        const double pixels = w * 4.0 * h / (1024.0 * 1024.0);
        // The private peak is the program's own allocations; the working set
        // also counts pages the platform's decoder and mappings touch.
        std::printf("  memory: peak private up to the first open %.0f MB, %.2fx the picture as 32-bit pixels "
                    "(%.0f MB); beside it the peak working set %.0f MB (%.2fx), kept after it %.0f MB working set\n",
                    MegaBytes(afterOpen.PeakPagefileUsage), MegaBytes(afterOpen.PeakPagefileUsage) / pixels, pixels,
                    MegaBytes(afterOpen.PeakWorkingSetSize), MegaBytes(afterOpen.PeakWorkingSetSize) / pixels,
                    MegaBytes(afterOpen.WorkingSetSize));
    }
    g_app.SetMainWindow(nullptr);
    Gdiplus::GdiplusShutdown(token);
    return failures == 0 ? 0 : 1;
}
