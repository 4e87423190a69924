// resample_bench - prints how long our scaler takes for the sizes the
// program meets: a camera picture shrunk for the preview, the same picture
// enlarged by zooming with only the handheld's screen cut out of it, and a
// small picture enlarged. Build optimised; run with no arguments.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>

#include "imaging/Resample.h"

using namespace imaging;

namespace {

PixelBuffer MakePhotoLike(int w, int h, bool withAlpha) {
    PixelBuffer img;
    img.width = w;
    img.height = h;
    img.bgra.resize(static_cast<size_t>(w) * h * 4);
    std::mt19937 rng(42);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = &img.bgra[static_cast<size_t>(y) * w * 4];
        for (int x = 0; x < w; ++x) {
            const uint32_t noise = rng() & 0x1F;
            row[4 * x + 0] = static_cast<uint8_t>((x * 255 / w + noise) & 0xFF);
            row[4 * x + 1] = static_cast<uint8_t>((y * 255 / h + noise) & 0xFF);
            row[4 * x + 2] = static_cast<uint8_t>(((x ^ y) + noise) & 0xFF);
            row[4 * x + 3] = withAlpha && ((x / 64 + y / 64) % 2) ? 128 : 255;
        }
    }
    return img;
}

template <typename F>
double BestMs(int runs, F&& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const auto t1 = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        if (ms < best) best = ms;
    }
    return best;
}

void Report(const char* what, double ms, bool ok) {
    std::printf("%-58s %8.1f ms%s\n", what, ms, ok ? "" : "  (FAILED)");
}

}  // namespace

int main() {
    const PixelBuffer photo = MakePhotoLike(6000, 4000, false);
    const PixelBuffer photoAlpha = MakePhotoLike(6000, 4000, true);
    const PixelBuffer small = MakePhotoLike(640, 480, false);
    PixelBuffer out;
    bool ok = true;

    for (const bool simd : {true, false}) {
        ResampleOptions options;
        options.allowSimd = simd;
        std::printf("%s path\n", simd ? "SIMD" : "portable");

        double ms = BestMs(5, [&] { ok = Resample(photo.View(), 750, 500, out, options); });
        Report("6000x4000 -> 750x500 (opaque)", ms, ok);

        ms = BestMs(3, [&] { ok = Resample(photoAlpha.View(), 750, 500, out, options); });
        Report("6000x4000 -> 750x500 (half the tiles transparent)", ms, ok);

        ms = BestMs(5, [&] { ok = Resample(photo.View(), 320, 240, out, options); });
        Report("6000x4000 -> 320x240", ms, ok);

        ms = BestMs(5, [&] {
            ok = ResampleWindow(photo.View(), 20000, 13333, Rect{9000, 6000, 9320, 6240}, out, options);
        });
        Report("6000x4000 zoomed to 20000x13333, 320x240 window", ms, ok);

        ms = BestMs(5, [&] {
            ok = ResampleWindow(photo.View(), 2750, 1833, Rect{1200, 800, 1520, 1040}, out, options);
        });
        Report("6000x4000 shown at 2750x1833, 320x240 window", ms, ok);

        ms = BestMs(5, [&] { ok = Resample(small.View(), 2750, 2062, out, options); });
        Report("640x480 -> 2750x2062 (largest zoom)", ms, ok);
    }
    return ok ? 0 : 1;
}
