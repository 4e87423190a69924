// Tests of our scaler: it must average when shrinking (no point sampling),
// keep flat areas flat, treat transparency as white without dark fringes,
// give a window exactly the pixels of the full render, and refuse absurd
// sizes instead of allocating for them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>

#include "imaging/Resample.h"

using namespace imaging;

namespace {

struct Bgra {
    uint8_t b, g, r, a;
};

PixelBuffer MakeImage(int w, int h, const std::function<Bgra(int, int)>& pixel) {
    PixelBuffer img;
    img.width = w;
    img.height = h;
    img.bgra.resize(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Bgra p = pixel(x, y);
            uint8_t* d = &img.bgra[(static_cast<size_t>(y) * w + x) * 4];
            d[0] = p.b;
            d[1] = p.g;
            d[2] = p.r;
            d[3] = p.a;
        }
    return img;
}

PixelBuffer RandomImage(int w, int h, unsigned seed, bool withAlpha) {
    std::mt19937 rng(seed);
    return MakeImage(w, h, [&](int, int) {
        const uint32_t v = rng();
        const uint8_t a = withAlpha ? static_cast<uint8_t>((v >> 24) % 3 == 0 ? 255 : v >> 24) : 255;
        return Bgra{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16), a};
    });
}

const uint8_t* At(const PixelBuffer& img, int x, int y) {
    return &img.bgra[(static_cast<size_t>(y) * img.width + x) * 4];
}

// Mean and standard deviation of one channel.
void Stats(const PixelBuffer& img, int channel, double* mean, double* stddev) {
    double sum = 0, sum2 = 0;
    const size_t n = static_cast<size_t>(img.width) * img.height;
    for (size_t i = 0; i < n; ++i) {
        const double v = img.bgra[i * 4 + channel];
        sum += v;
        sum2 += v * v;
    }
    *mean = sum / n;
    *stddev = std::sqrt(std::max(0.0, sum2 / n - *mean * *mean));
}

Bgra BlackOrWhite(bool white) {
    const uint8_t v = white ? 255 : 0;
    return Bgra{v, v, v, 255};
}

TEST(ResampleTest, StripesShrunkManyTimesBecomeUniformGrey) {
    struct Card {
        const char* name;
        std::function<Bgra(int, int)> pixel;
    };
    const Card cards[] = {
        {"vertical stripes", [](int x, int) { return BlackOrWhite(x % 2); }},
        {"horizontal stripes", [](int, int y) { return BlackOrWhite(y % 2); }},
        {"checkerboard", [](int x, int y) { return BlackOrWhite((x + y) % 2); }},
    };
    for (const Card& card : cards) {
        for (const Size src : {Size{600, 450}, Size{607, 451}}) {
            const PixelBuffer in = MakeImage(src.width, src.height, card.pixel);
            PixelBuffer out;
            ASSERT_TRUE(Resample(in.View(), 40, 30, out)) << card.name;
            for (int c = 0; c < 3; ++c) {
                double mean, sd;
                Stats(out, c, &mean, &sd);
                EXPECT_LT(sd, 10.0) << card.name << " " << src.width;
                EXPECT_NEAR(mean, 127.5, 6.0) << card.name << " " << src.width;
            }
        }
    }
}

TEST(ResampleTest, ExtremeReductionAverages) {
    const PixelBuffer in = MakeImage(3001, 2, [](int x, int) { return BlackOrWhite(x % 2); });
    PixelBuffer out;
    ASSERT_TRUE(Resample(in.View(), 1, 1, out));
    EXPECT_NEAR(out.bgra[0], 128, 2);
}

TEST(ResampleTest, FlatImagesStayExactlyFlat) {
    const Bgra colour{13, 200, 77, 255};
    const PixelBuffer in = MakeImage(7, 5, [&](int, int) { return colour; });
    for (const Size dst : {Size{100, 73}, Size{3, 2}, Size{1, 1}, Size{200, 3}, Size{7, 5}}) {
        PixelBuffer out;
        ASSERT_TRUE(Resample(in.View(), dst.width, dst.height, out));
        for (size_t i = 0; i < out.bgra.size(); i += 4) {
            ASSERT_EQ(out.bgra[i], colour.b) << dst.width << "x" << dst.height << " at " << i / 4;
            ASSERT_EQ(out.bgra[i + 1], colour.g);
            ASSERT_EQ(out.bgra[i + 2], colour.r);
            ASSERT_EQ(out.bgra[i + 3], 255);
        }
    }
    // A single pixel enlarged is that pixel everywhere.
    const PixelBuffer dot = MakeImage(1, 1, [&](int, int) { return colour; });
    PixelBuffer big;
    ASSERT_TRUE(Resample(dot.View(), 64, 48, big));
    EXPECT_EQ(big.bgra[(47 * 64 + 63) * 4 + 1], colour.g);
}

TEST(ResampleTest, SameSizeIsAnExactCopy) {
    const PixelBuffer in = RandomImage(33, 17, 7, false);
    PixelBuffer out;
    ASSERT_TRUE(Resample(in.View(), 33, 17, out));
    EXPECT_EQ(out.bgra, in.bgra);
}

TEST(ResampleTest, EnlargingInterpolatesAGradientMonotonically) {
    const PixelBuffer in = MakeImage(8, 1, [](int x, int) {
        const uint8_t v = static_cast<uint8_t>(x * 30);
        return Bgra{v, v, v, 255};
    });
    PixelBuffer out;
    ASSERT_TRUE(Resample(in.View(), 80, 1, out));
    for (int x = 1; x < 80; ++x) ASSERT_GE(At(out, x, 0)[0], At(out, x - 1, 0)[0]) << x;
    // The cubic may overshoot a little past the last sample, never far.
    EXPECT_LE(At(out, 0, 0)[0], 3);
    EXPECT_NEAR(At(out, 79, 0)[0], 210, 4);
}

TEST(ResampleTest, WindowEqualsTheFullRender) {
    struct Case {
        Size src;
        Size full;
        bool alpha;
    };
    const Case cases[] = {
        {{97, 61}, {23, 17}, false},   // shrink
        {{31, 19}, {140, 97}, true},   // enlarge
        {{120, 9}, {17, 40}, true},    // shrink one way, enlarge the other
        {{5, 3}, {5, 3}, false},       // same size
        {{1, 1}, {9, 4}, true},        // single pixel
        {{250, 180}, {37, 29}, true},  // strong shrink
    };
    std::mt19937 rng(1234);
    for (const Case& c : cases) {
        const PixelBuffer in = RandomImage(c.src.width, c.src.height, rng(), c.alpha);
        for (const AlphaOutput mode : {AlphaOutput::kFlattenOverWhite, AlphaOutput::kPremultiplied}) {
            ResampleOptions options;
            options.alpha = mode;
            PixelBuffer full;
            ASSERT_TRUE(Resample(in.View(), c.full.width, c.full.height, full, options));

            std::vector<Rect> windows = {
                {0, 0, c.full.width, c.full.height},
                {0, 0, 1, 1},
                {c.full.width - 1, c.full.height - 1, c.full.width, c.full.height},
                {0, c.full.height / 2, c.full.width, c.full.height / 2 + 1},
                {c.full.width / 3, 0, c.full.width / 3 + 1, c.full.height},
            };
            for (int i = 0; i < 20; ++i) {
                const int l = static_cast<int>(rng() % c.full.width);
                const int t = static_cast<int>(rng() % c.full.height);
                const int r = l + 1 + static_cast<int>(rng() % (c.full.width - l));
                const int b = t + 1 + static_cast<int>(rng() % (c.full.height - t));
                windows.push_back(Rect{l, t, r, b});
            }
            for (const Rect& w : windows) {
                PixelBuffer part;
                ASSERT_TRUE(ResampleWindow(in.View(), c.full.width, c.full.height, w, part, options));
                ASSERT_EQ(part.width, w.Width());
                ASSERT_EQ(part.height, w.Height());
                for (int y = 0; y < part.height; ++y)
                    ASSERT_EQ(0, std::memcmp(At(part, 0, y), At(full, w.left, w.top + y), part.width * 4))
                        << "window " << w.left << "," << w.top << "-" << w.right << "," << w.bottom << " row " << y;
            }
        }
    }
}

TEST(ResampleTest, WindowOutsideThePictureIsBackground) {
    const PixelBuffer in = RandomImage(40, 30, 99, true);
    PixelBuffer full;
    ASSERT_TRUE(Resample(in.View(), 60, 45, full));
    // Reaches 10 beyond the left and 5 beyond the bottom.
    const Rect w{-10, 20, 30, 50};
    PixelBuffer part;
    ASSERT_TRUE(ResampleWindow(in.View(), 60, 45, w, part));
    for (int y = 0; y < part.height; ++y)
        for (int x = 0; x < part.width; ++x) {
            const int fx = w.left + x, fy = w.top + y;
            const uint8_t* p = At(part, x, y);
            if (fx < 0 || fy >= 45) {
                ASSERT_EQ(p[0] & p[1] & p[2] & p[3], 255) << x << "," << y;
            } else {
                ASSERT_EQ(0, std::memcmp(p, At(full, fx, fy), 4)) << x << "," << y;
            }
        }

    // Entirely off the picture; transparent background when keeping alpha.
    ResampleOptions keep;
    keep.alpha = AlphaOutput::kPremultiplied;
    ASSERT_TRUE(ResampleWindow(in.View(), 60, 45, Rect{100, 100, 104, 102}, part, keep));
    for (uint8_t v : part.bgra) ASSERT_EQ(v, 0);
}

TEST(ResampleTest, PortableAndSimdPathsAgree) {
    const PixelBuffer in = RandomImage(173, 91, 5, true);
    for (const Size dst : {Size{41, 29}, Size{301, 177}, Size{173, 13}}) {
        for (const AlphaOutput mode : {AlphaOutput::kFlattenOverWhite, AlphaOutput::kPremultiplied}) {
            ResampleOptions fast, portable;
            fast.alpha = portable.alpha = mode;
            portable.allowSimd = false;
            PixelBuffer a, b;
            ASSERT_TRUE(Resample(in.View(), dst.width, dst.height, a, fast));
            ASSERT_TRUE(Resample(in.View(), dst.width, dst.height, b, portable));
            EXPECT_EQ(a.bgra, b.bgra) << dst.width << "x" << dst.height;
        }
    }
}

TEST(ResampleTest, TransparencyComesOutWhite) {
    // Fully transparent black is white, whatever the colour channels hold.
    const PixelBuffer clear = MakeImage(20, 20, [](int, int) { return Bgra{0, 0, 0, 0}; });
    PixelBuffer out;
    ASSERT_TRUE(Resample(clear.View(), 7, 9, out));
    for (uint8_t v : out.bgra) ASSERT_EQ(v, 255);

    // Half-transparent red over white is pink.
    const PixelBuffer half = MakeImage(4, 4, [](int, int) { return Bgra{0, 0, 255, 128}; });
    ASSERT_TRUE(Resample(half.View(), 4, 4, out));
    EXPECT_EQ(At(out, 2, 2)[0], 127);
    EXPECT_EQ(At(out, 2, 2)[1], 127);
    EXPECT_EQ(At(out, 2, 2)[2], 255);
    EXPECT_EQ(At(out, 2, 2)[3], 255);
}

TEST(ResampleTest, NoDarkFringeAroundOpaqueShapes) {
    // A white square on transparent black: filtering straight alpha would
    // drag the hidden black into the edges. Every output pixel must be white.
    const PixelBuffer in = MakeImage(60, 60, [](int x, int y) {
        const bool inside = x >= 20 && x < 40 && y >= 20 && y < 40;
        return inside ? Bgra{255, 255, 255, 255} : Bgra{0, 0, 0, 0};
    });
    for (const Size dst : {Size{17, 17}, Size{150, 150}}) {
        PixelBuffer out;
        ASSERT_TRUE(Resample(in.View(), dst.width, dst.height, out));
        for (size_t i = 0; i < out.bgra.size(); ++i) ASSERT_GE(out.bgra[i], 254) << dst.width << " byte " << i;
    }

    // Kept as premultiplied alpha, no colour exceeds its alpha.
    ResampleOptions keep;
    keep.alpha = AlphaOutput::kPremultiplied;
    const PixelBuffer noisy = RandomImage(50, 40, 3, true);
    PixelBuffer out;
    ASSERT_TRUE(Resample(noisy.View(), 113, 17, out, keep));
    for (size_t i = 0; i < out.bgra.size(); i += 4)
        for (int c = 0; c < 3; ++c) ASSERT_LE(out.bgra[i + c], out.bgra[i + 3]);
}

TEST(ResampleTest, FlattenOverWhiteInPlace) {
    PixelBuffer img = MakeImage(3, 1, [](int x, int) {
        return x == 0 ? Bgra{10, 20, 30, 255} : x == 1 ? Bgra{10, 20, 30, 0} : Bgra{0, 0, 255, 128};
    });
    FlattenOverWhite(img.MutableView());
    EXPECT_EQ(img.bgra, (std::vector<uint8_t>{10, 20, 30, 255, 255, 255, 255, 255, 127, 127, 255, 255}));
}

TEST(ResampleTest, NegativeStrideReadsBottomUpRows) {
    const PixelBuffer in = RandomImage(21, 13, 11, false);
    // The same picture stored bottom-up: scan0 at the last stored row.
    PixelBuffer flipped = in;
    for (int y = 0; y < 13; ++y)
        std::memcpy(&flipped.bgra[static_cast<size_t>(12 - y) * 21 * 4], At(in, 0, y), 21 * 4);
    const ConstPixelView bottomUp{&flipped.bgra[12 * 21 * 4], 21, 13, -21 * 4};
    PixelBuffer a, b;
    ASSERT_TRUE(Resample(in.View(), 9, 31, a));
    ASSERT_TRUE(Resample(bottomUp, 9, 31, b));
    EXPECT_EQ(a.bgra, b.bgra);
}

TEST(ResampleTest, AbsurdRequestsAreRefused) {
    const PixelBuffer in = RandomImage(8, 8, 1, false);
    PixelBuffer out;
    EXPECT_FALSE(Resample(in.View(), 0, 10, out));
    EXPECT_FALSE(Resample(in.View(), 10, -3, out));
    EXPECT_FALSE(Resample(in.View(), kMaxSide + 1, 1, out));
    EXPECT_FALSE(Resample(in.View(), 1 << 15, 1 << 15, out));  // 2^30 pixels
    EXPECT_FALSE(ResampleWindow(in.View(), 100, 100, Rect{10, 10, 5, 20}, out));
    EXPECT_FALSE(ResampleWindow(in.View(), 100, 100, Rect{INT_MIN, 0, INT_MAX, 1}, out));
    EXPECT_TRUE(out.bgra.empty());

    // A huge full size is fine when only a small window is rendered.
    EXPECT_TRUE(ResampleWindow(in.View(), kMaxSide, kMaxSide, Rect{5000, 7000, 5320, 7240}, out));
    EXPECT_EQ(out.bgra.size(), 320u * 240u * 4u);

    ConstPixelView bad = in.View();
    bad.stride = 8 * 4 - 1;
    EXPECT_FALSE(Resample(bad, 4, 4, out));
    bad = in.View();
    bad.scan0 = nullptr;
    EXPECT_FALSE(Resample(bad, 4, 4, out));
    bad = in.View();
    bad.width = 0;
    EXPECT_FALSE(Resample(bad, 4, 4, out));

    // The caller's buffer must match the window.
    PixelBuffer dst;
    dst.width = 4;
    dst.height = 4;
    dst.bgra.assign(4 * 4 * 4, 0x5A);
    EXPECT_FALSE(ResampleWindowInto(in.View(), 4, 4, Rect{0, 0, 4, 5}, dst.MutableView()));
    PixelView narrow = dst.MutableView();
    narrow.stride = 4 * 4 - 4;
    EXPECT_FALSE(ResampleWindowInto(in.View(), 4, 4, Rect{0, 0, 4, 4}, narrow));
    for (uint8_t v : dst.bgra) ASSERT_EQ(v, 0x5A);
    EXPECT_TRUE(ResampleWindowInto(in.View(), 4, 4, Rect{0, 0, 4, 4}, dst.MutableView()));
}

}  // namespace
