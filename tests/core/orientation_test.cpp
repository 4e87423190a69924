// Pictures turned upright: the eight orientations applied to a small
// asymmetric picture, pixel for pixel, whether its rows come whole or in
// bands; and the orientation tag as JPEG and TIFF files carry it, or do not.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Orientation.h"
#include "imaging/PictureHeader.h"

namespace imaging {
namespace {

// A 3 x 2 picture whose pixels are their letters:  a b c
//                                                   d e f
PixelBuffer Stored() {
    PixelBuffer p;
    p.width = 3;
    p.height = 2;
    for (char c : std::string("abcdef")) p.bgra.insert(p.bgra.end(), {static_cast<std::uint8_t>(c), 0, 0, 255});
    return p;
}

std::string Letters(const PixelBuffer& p) {
    std::string s;
    for (int y = 0; y < p.height; ++y) {
        if (y) s += '/';
        for (int x = 0; x < p.width; ++x) s += static_cast<char>(p.bgra[(static_cast<std::size_t>(y) * p.width + x) * 4]);
    }
    return s;
}

PixelBuffer Upright(const PixelBuffer& stored, int orientation, int band) {
    const Size size = UprightSize(orientation, stored.width, stored.height);
    PixelBuffer out;
    out.width = size.width;
    out.height = size.height;
    out.bgra.assign(static_cast<std::size_t>(size.width) * size.height * 4, 0);
    // Bands from the bottom up, to show the order of arrival does not matter.
    for (int y = ((stored.height - 1) / band) * band; y >= 0; y -= band) {
        const int rows = std::min(band, stored.height - y);
        const ConstPixelView view{stored.bgra.data() + static_cast<std::size_t>(y) * stored.Stride(), stored.width, rows,
                                  stored.Stride()};
        EXPECT_TRUE(PlaceStoredRows(view, y, stored.height, orientation, out.MutableView()));
    }
    return out;
}

TEST(Orientation, EachOfTheEightTurnsThePictureUpright) {
    struct Case {
        int orientation;
        const char* upright;
    };
    const Case cases[] = {
        {1, "abc/def"},     {2, "cba/fed"},     {3, "fed/cba"},     {4, "def/abc"},
        {5, "ad/be/cf"},    {6, "da/eb/fc"},    {7, "fc/eb/da"},    {8, "cf/be/ad"},
        {0, "abc/def"},     {9, "abc/def"},     {65535, "abc/def"},  // out of range: as stored
    };
    for (const Case& c : cases) {
        for (int band : {1, 2}) EXPECT_EQ(Letters(Upright(Stored(), c.orientation, band)), c.upright) << c.orientation;
        // From 24-bit rows (padded to 12 bytes): the same places, opaque.
        const Size size = UprightSize(c.orientation, 3, 2);
        PixelBuffer out;
        out.width = size.width;
        out.height = size.height;
        out.bgra.assign(24, 0);
        const std::uint8_t bgr[24] = {'a', 1, 2, 'b', 1, 2, 'c', 1, 2, 0, 0, 0, 'd', 1, 2, 'e', 1, 2, 'f', 1, 2, 0, 0, 0};
        EXPECT_TRUE(PlaceStoredBgrRows(bgr + 12, 3, 1, 12, 1, 2, c.orientation, out.MutableView()));
        EXPECT_TRUE(PlaceStoredBgrRows(bgr, 3, 1, 12, 0, 2, c.orientation, out.MutableView()));
        EXPECT_EQ(Letters(out), c.upright) << c.orientation;
        for (std::size_t i = 0; i < out.bgra.size(); i += 4)
            EXPECT_EQ(out.bgra[i + 1] + out.bgra[i + 2] * 256 + out.bgra[i + 3] * 65536, 1 + 2 * 256 + 255 * 65536);
    }
    // Sizes that do not fit together are refused, and nothing is written.
    PixelBuffer stored = Stored(), wrong = Stored();
    EXPECT_FALSE(PlaceStoredRows(stored.View(), 0, 2, 6, wrong.MutableView()));
    EXPECT_FALSE(PlaceStoredRows(stored.View(), 1, 2, 1, wrong.MutableView()));
    EXPECT_EQ(Letters(wrong), "abc/def");
}

TEST(Orientation, RotateFlipCodesMatchTheirOrientations) {
    const int expected[] = {1, 6, 3, 8, 2, 7, 4, 5};
    for (int code = 0; code < 8; ++code) EXPECT_EQ(OrientationOfRotateFlip(code), expected[code]) << code;
    EXPECT_EQ(OrientationOfRotateFlip(8), 1);
    EXPECT_EQ(OrientationOfRotateFlip(-1), 1);
}

std::string Le16(std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) { return Le16(static_cast<std::uint16_t>(v)) + Le16(static_cast<std::uint16_t>(v >> 16)); }
std::string Be16(std::uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; }
std::string Be32(std::uint32_t v) { return Be16(static_cast<std::uint16_t>(v >> 16)) + Be16(static_cast<std::uint16_t>(v)); }

// A TIFF structure whose first directory holds one entry of the tag.
std::string TiffWith(bool little, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint16_t value) {
    auto u16 = [little](std::uint16_t v) { return little ? Le16(v) : Be16(v); };
    auto u32 = [little](std::uint32_t v) { return little ? Le32(v) : Be32(v); };
    return (little ? std::string("II*\0", 4) : std::string("MM\0*", 4)) + u32(8) + u16(2) +
           u16(256) + u16(3) + u32(1) + u16(600) + u16(0) +  // ImageWidth before it
           u16(tag) + u16(type) + u32(count) + u16(value) + u16(0) + u32(0);
}

std::string Segment(unsigned char marker, const std::string& body) {
    return std::string{'\xFF', static_cast<char>(marker)} + Be16(static_cast<std::uint16_t>(body.size() + 2)) + body;
}

std::string JpegWith(const std::string& app1Body) {
    return std::string("\xFF\xD8", 2) + Segment(0xE0, "JFIF") + Segment(0xE1, "http://ns.xmp/\0x") +
           Segment(0xE1, app1Body) + Segment(0xC0, std::string(15, '\x01')) + "\xFF\xDA";
}

int OrientationOf(const std::string& bytes) {
    MemoryByteSource source(bytes);
    return ReadOrientation(source);
}

TEST(Orientation, TagReadFromJpegAndTiff) {
    const std::string exif6 = std::string("Exif\0\0", 6) + TiffWith(false, 274, 3, 1, 6);
    struct Case {
        const char* what;
        std::string bytes;
        int orientation;
    };
    const Case cases[] = {
        {"tiff little", TiffWith(true, 274, 3, 1, 8), 8},
        {"tiff big", TiffWith(false, 274, 3, 1, 3), 3},
        {"jpeg exif, behind xmp", JpegWith(exif6), 6},
        {"jpeg exif little", JpegWith(std::string("Exif\0\0", 6) + TiffWith(true, 274, 3, 1, 5)), 5},
        {"missing", TiffWith(true, 277, 3, 1, 6), 1},
        {"0", TiffWith(true, 274, 3, 1, 0), 1},
        {"9", TiffWith(true, 274, 3, 1, 9), 1},
        {"65535", TiffWith(true, 274, 3, 1, 65535), 1},
        {"wrong type", TiffWith(true, 274, 4, 1, 6), 1},
        {"two values", TiffWith(true, 274, 3, 2, 6), 1},
        {"exif cut inside the entry", JpegWith(exif6.substr(0, exif6.size() - 10)), 1},
        {"file cut inside the exif", JpegWith(exif6).substr(0, 40), 1},
        {"exif header alone", JpegWith(std::string("Exif\0\0", 6)), 1},
        {"no exif", JpegWith("JFXX"), 1},
        {"png", std::string("\x89PNG\r\n\x1a\n", 8) + TiffWith(true, 274, 3, 1, 6), 1},
        {"empty", std::string(), 1},
    };
    for (const Case& c : cases) EXPECT_EQ(OrientationOf(c.bytes), c.orientation) << c.what;
}

}  // namespace
}  // namespace imaging
