// Benchmark of the main window on a big photo, each figure next to a
// reference measured in the same run:
//   start-up: creating and showing the main dialog, against creating and
//     showing the small About dialog;
//   open: loading a picture and drawing its preview, against GDI+ decoding
//     the same file alone;
//   zoom: one Zoom in step, against the same decode.
// Usage: app_bench.exe PICTURE [rounds]
#include "resources/resource.h"
#include "toolkit/App.h"
#include "toolkit/Dialog.h"
#include "toolkit/Text.h"
#include "ui/ZelpixDlg.h"

#include <gdiplus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double DecodeOnce(const std::string& path) {
    double t0 = Now();
    std::wstring wide = tk::ToWide(path);
    Gdiplus::Bitmap bitmap(wide.c_str(), FALSE);
    Gdiplus::Rect all(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok)
        bitmap.UnlockBits(&data);
    return Now() - t0;
}

// The application object registers the main window for the panes.
class BenchApp : public tk::CWinApp {};
BenchApp g_app;

void Print(const char* what, double ours, const char* reference, double ref) {
    std::printf("%-28s %9.1f ms   %-34s %9.1f ms   ratio %5.2f\n", what, ours, reference, ref, ref > 0 ? ours / ref : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: app_bench PICTURE [rounds]\n");
        return 2;
    }
    std::string picture = argv[1];
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);

    std::vector<double> startMain, startAbout, open, zoom, decode;
    for (int round = 0; round < rounds; ++round) {
        {
            double t0 = Now();
            tk::CDialog about(IDD_ABOUT);
            about.Create(nullptr);
            about.Show(true);
            ::UpdateWindow(about.Hwnd());
            Pump();
            startAbout.push_back(Now() - t0);
        }
        double t0 = Now();
        CZelpixDlg dlg;
        g_app.SetMainWindow(&dlg);
        dlg.Create(nullptr);
        dlg.Show(true);
        ::UpdateWindow(dlg.Hwnd());
        Pump();
        startMain.push_back(Now() - t0);

        t0 = Now();
        dlg.LoadPicture(picture);
        dlg.RefreshPreview();
        Pump();
        open.push_back(Now() - t0);

        t0 = Now();
        dlg.Send(WM_COMMAND, MAKEWPARAM(IDC_ZOOM_IN, BN_CLICKED), 0);
        Pump();
        zoom.push_back(Now() - t0);

        decode.push_back(DecodeOnce(picture));
        g_app.SetMainWindow(nullptr);
    }
    const LPCSTR name = picture.c_str();
    std::printf("picture %s, %d rounds, medians\n", name, rounds);
    Print("start-up to window shown", Median(startMain), "About dialog shown", Median(startAbout));
    Print("open until preview drawn", Median(open), "GDI+ decode of the same file", Median(decode));
    Print("one zoom step", Median(zoom), "GDI+ decode of the same file", Median(decode));
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
