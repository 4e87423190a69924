// prepare_tool - runs the program's image operations on picture files and
// writes what they made, so that tests/e2e/image_prep_e2e.sh can judge the
// results with ImageMagick and libjpeg's djpeg. One process handles a whole
// list of files, and reports its peak memory, so broken sample sets show
// both crashes (a missing line, a bad exit code) and runaway allocations.
//
//   prepare_tool info FILE...
//       one line per file: "ok W H" or "fail"
//   prepare_tool load FILE OUT.bmp
//       LoadPictureBitmap written as a 24-bit BMP
//   prepare_tool fitted FILE W H OUT.bmp [FORMAT]
//       RenderPictureFitted into W x H, written as a 24-bit BMP
//   prepare_tool prepare FILE LEFT TOP W H SCREENW SCREENH FOLDER [FORMAT]
//       PrepareDevicePicture: "written PATH" or "not written PATH"
//   prepare_tool batch LIST OUTDIR
//       for every path in LIST (one per line): the size, the picture fitted
//       into 64 x 48 (OUTDIR\N.bmp) and the picture prepared at its own size
//       for a 320 x 240 screen (into OUTDIR\N\); one line
//       "N<TAB>ok W H<TAB>written|not written" or "N<TAB>fail<TAB>..."
// Every command ends with "peak-memory-mb M".
#include "toolkit/Win.h"

#include <gdiplus.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "imaging/ImageOps.h"

namespace {

bool WriteBmp(HBITMAP bitmap, const std::string& path) {
    BITMAP bm{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof bm, &bm)) return false;
    const int w = bm.bmWidth, h = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    const int stride = ((w * 3) + 3) & ~3;
    std::vector<unsigned char> bits(static_cast<size_t>(stride) * h);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up, as BMP files are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    HDC screen = ::GetDC(nullptr);
    const int lines = ::GetDIBits(screen, bitmap, 0, h, bits.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (lines != h) return false;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(bits.size());
    info.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f);
    std::fwrite(bits.data(), 1, bits.size(), f);
    return std::fclose(f) == 0;
}

bool WriteRendered(HDC dc, const std::string& path) {
    if (!dc) return false;
    // GetDIBits wants a bitmap that is not selected: take it out first.
    HBITMAP bitmap = static_cast<HBITMAP>(::GetCurrentObject(dc, OBJ_BITMAP));
    HBITMAP stand = ::CreateBitmap(1, 1, 1, 1, nullptr);
    ::SelectObject(dc, stand);
    const bool ok = WriteBmp(bitmap, path);
    ::SelectObject(dc, bitmap);
    ::DeleteObject(stand);
    ReleaseRenderedDC(dc);
    return ok;
}

std::string Info(const std::string& path) {
    HBITMAP bitmap = LoadPictureBitmap(path);
    if (!bitmap) return "fail";
    const SIZE s = GetBitmapSize(bitmap);
    ::DeleteObject(bitmap);
    return "ok " + std::to_string(s.cx) + " " + std::to_string(s.cy);
}

int PeakMegabytes() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &c, sizeof c);
    const SIZE_T peak = c.PeakPagefileUsage > c.PeakWorkingSetSize ? c.PeakPagefileUsage : c.PeakWorkingSetSize;
    return static_cast<int>(peak >> 20);
}

int Usage() {
    std::fprintf(stderr, "usage: prepare_tool info|load|fitted|prepare|batch ...\n");
    return 2;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "info") {
        for (int i = 2; i < argc; ++i) std::printf("%s\n", Info(argv[i]).c_str());
        return 0;
    }
    if (command == "load" && argc == 4) {
        HBITMAP bitmap = LoadPictureBitmap(argv[2]);
        const bool ok = bitmap && WriteBmp(bitmap, argv[3]);
        if (bitmap) ::DeleteObject(bitmap);
        std::printf("%s\n", ok ? "ok" : "fail");
        return 0;
    }
    if (command == "fitted" && (argc == 6 || argc == 7)) {
        const RECT target{0, 0, std::atoi(argv[3]), std::atoi(argv[4])};
        const int format = argc == 7 ? static_cast<int>(std::strtol(argv[6], nullptr, 0)) : kPixelFormat24bppRGB;
        HDC dc = RenderPictureFitted(argv[2], nullptr, target, 0, format);
        std::printf("%s\n", WriteRendered(dc, argv[5]) ? "ok" : "fail");
        return 0;
    }
    if (command == "prepare" && (argc == 10 || argc == 11)) {
        const PlacedPicture placed{std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6])};
        const int format = argc == 11 ? static_cast<int>(std::strtol(argv[10], nullptr, 0)) : kPixelFormat16bppRGB555;
        std::string written;
        const bool ok =
            PrepareDevicePicture(argv[2], placed, std::atoi(argv[7]), std::atoi(argv[8]), argv[9], format, &written);
        std::printf("%s %s\n", ok ? "written" : "not written", written.c_str());
        return 0;
    }
    if (command == "batch" && argc == 4) {
        FILE* list = std::fopen(argv[2], "rb");
        if (!list) return 2;
        const std::string outDir = argv[3];
        char line[4096];
        int n = 0;
        while (std::fgets(line, sizeof line, list)) {
            std::string path = line;
            while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
            if (path.empty()) continue;
            ++n;
            SIZE size{};
            const bool decoded = GetPictureSize(path, &size);
            const std::string info = Info(path);
            const RECT target{0, 0, 64, 48};
            const bool fitted = WriteRendered(RenderPictureFitted(path, nullptr, target, 0, kPixelFormat24bppRGB),
                                              outDir + "\\" + std::to_string(n) + ".bmp");
            const std::string folder = outDir + "\\" + std::to_string(n);
            ::CreateDirectoryA(folder.c_str(), nullptr);
            const bool written = PrepareDevicePicture(path, PlacedPicture{0, 0, size.cx, size.cy}, 320, 240, folder,
                                                      kPixelFormat16bppRGB555, nullptr);
            std::printf("%d\t%s\t%s\t%s\n", n, info.c_str(), written ? "written" : "not written",
                        fitted ? "fitted" : "no fitted");
            std::fflush(stdout);
            if (decoded != (info != "fail")) std::printf("%d\tINCONSISTENT size and load\n", n);
        }
        std::fclose(list);
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 3;
    const int rc = Run(argc, argv);
    ForgetDecodedPicture();
    Gdiplus::GdiplusShutdown(token);
    std::printf("peak-memory-mb %d\n", PeakMegabytes());
    return rc;
}
