// image_ops_bench - time and peak memory of the image operations on one
// big picture, as the program meets them: opening it (LoadPictureBitmap and
// GetBitmapSize), the preview (RenderPictureFitted into 320 x 240) and the
// picture for the handheld (PrepareDevicePicture for a 320 x 240 screen with
// the picture at its own size, centred as the preview places it).
//
// A Windows program (windows.h, GDI+), built with the program's Windows code
// and run under Wine by bench/run_image_bench.sh, which puts ImageMagick's
// figures for the same jobs beside these.
//
//   image_ops_bench PICTURE [load|fitted|prepare|all] [OUTFOLDER]
//
// Each job is timed cold (the first call, which decodes the file) and warm
// (the best of three further calls, with the decoded picture kept). The
// process's peak memory is read after each job; run one job per process to
// see each job's own peak.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "imaging/Geometry.h"
#include "imaging/ImageOps.h"

namespace {

double PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &c, sizeof c);
    return static_cast<double>(std::max(c.PeakWorkingSetSize, c.PeakPagefileUsage)) / (1 << 20);
}

double Milliseconds(const std::function<bool()>& job, bool* ok) {
    const auto t0 = std::chrono::steady_clock::now();
    *ok = job() && *ok;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void Run(const char* name, const std::function<bool()>& job) {
    ForgetDecodedPicture();  // the cold call decodes the file
    bool ok = true;
    const double cold = Milliseconds(job, &ok);
    double warm = 1e300;
    for (int i = 0; i < 3; ++i) warm = std::min(warm, Milliseconds(job, &ok));
    std::printf("%-8s cold %9.1f ms   warm %9.1f ms   peak %7.1f MB%s\n", name, cold, warm, PeakMegabytes(),
                ok ? "" : "   FAILED");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: image_ops_bench PICTURE [load|fitted|prepare|all] [OUTFOLDER]\n");
        return 2;
    }
    const std::string picture = argv[1];
    const std::string which = argc > 2 ? argv[2] : "all";
    std::string outFolder = argc > 3 ? argv[3] : "";
    if (outFolder.empty()) {
        char tmp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, tmp);
        outFolder = tmp;
        while (!outFolder.empty() && outFolder.back() == '\\') outFolder.pop_back();
    }

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 3;
    std::printf("baseline peak %.1f MB\n", PeakMegabytes());

    SIZE natural{};
    if (which == "load" || which == "all") {
        Run("load", [&] {
            HBITMAP bitmap = LoadPictureBitmap(picture);
            natural = GetBitmapSize(bitmap);
            if (bitmap) ::DeleteObject(bitmap);
            return bitmap != nullptr;
        });
    }
    if (which == "fitted" || which == "all") {
        Run("fitted", [&] {
            HDC dc = RenderPictureFitted(picture, nullptr, RECT{0, 0, 320, 240}, 0, kPixelFormat24bppRGB);
            ReleaseRenderedDC(dc);
            return dc != nullptr;
        });
    }
    if (which == "prepare" || which == "all") {
        if (natural.cx == 0 && !GetPictureSize(picture, &natural)) {
            std::printf("prepare  cannot decode %s\n", picture.c_str());
            return 1;
        }
        // Centred on the screen, as the preview places a picture at first.
        const imaging::PicturePlacement place =
            imaging::PlacePicture(imaging::Size{natural.cx, natural.cy}, imaging::Size{320, 240});
        const PlacedPicture placed{place.pane.left, place.pane.top, natural.cx, natural.cy};
        std::printf("prepare  picture %ld x %ld placed at (%d, %d) on a 320 x 240 screen\n", natural.cx, natural.cy,
                    placed.left, placed.top);
        Run("prepare", [&] {
            return PrepareDevicePicture(picture, placed, 320, 240, outFolder, kPixelFormat16bppRGB555, nullptr);
        });
    }
    ForgetDecodedPicture();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
