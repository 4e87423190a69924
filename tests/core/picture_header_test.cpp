// The size a picture file claims, read before decoding: each format's header
// as real encoders write it, the ways a hostile or broken header differs,
// and the bounds that decide whether a file is decoded at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "imaging/PictureHeader.h"

namespace imaging {
namespace {

std::string Be32(std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
}
std::string Be16(std::uint16_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; }
std::string Le16(std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) { return Le16(static_cast<std::uint16_t>(v)) + Le16(static_cast<std::uint16_t>(v >> 16)); }

bool Read(const std::string& bytes, PictureHeader* h) {
    MemoryByteSource source(bytes);
    return ReadPictureHeader(source, h);
}

std::string Png(std::uint32_t w, std::uint32_t h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "IHDR" + Be32(w) + Be32(h) + std::string("\x08\x06\0\0\0", 5) +
           Be32(0);
}

std::string Bmp(std::int32_t w, std::int32_t h) {
    return "BM" + Le32(0) + Le32(0) + Le32(54) + Le32(40) + Le32(static_cast<std::uint32_t>(w)) +
           Le32(static_cast<std::uint32_t>(h)) + Le16(1) + Le16(24) + std::string(24, '\0');
}

std::string JpegSegment(unsigned char marker, const std::string& body) {
    return std::string{'\xFF', static_cast<char>(marker)} + Be16(static_cast<std::uint16_t>(body.size() + 2)) + body;
}

std::string Sof(unsigned char marker, std::uint16_t w, std::uint16_t h) {
    return JpegSegment(marker, std::string("\x08", 1) + Be16(h) + Be16(w) + std::string("\x01\x01\x11\x00", 4));
}

std::string Tiff(bool little, std::uint16_t widthType, std::uint32_t w, std::uint32_t h) {
    auto u16 = [little](std::uint16_t v) { return little ? Le16(v) : Be16(v); };
    auto u32 = [little](std::uint32_t v) { return little ? Le32(v) : Be32(v); };
    auto value = [&](std::uint16_t type, std::uint32_t v) {
        return type == 3 ? u16(static_cast<std::uint16_t>(v)) + std::string(2, '\0') : u32(v);
    };
    std::string s = little ? std::string("II*\0", 4) : std::string("MM\0*", 4);
    s += u32(8);
    s += u16(3);
    s += u16(254) + u16(4) + u32(1) + u32(0);  // NewSubfileType, skipped
    s += u16(256) + u16(widthType) + u32(1) + value(widthType, w);
    s += u16(257) + u16(4) + u32(1) + u32(h);
    s += u32(0);
    return s;
}

TEST(PictureHeader, ReadsEachFormat) {
    PictureHeader h;
    ASSERT_TRUE(Read(Png(640, 480), &h));
    EXPECT_EQ(h.format, PictureFormat::kPng);
    EXPECT_EQ(h.width, 640u);
    EXPECT_EQ(h.height, 480u);

    ASSERT_TRUE(Read(Bmp(300, -200), &h));  // top-down rows
    EXPECT_EQ(h.format, PictureFormat::kBmp);
    EXPECT_EQ(h.width, 300u);
    EXPECT_EQ(h.height, 200u);

    const std::string core = "BM" + Le32(0) + Le32(0) + Le32(26) + Le32(12) + Le16(65535) + Le16(7) + Le16(1) + Le16(24);
    ASSERT_TRUE(Read(core, &h));
    EXPECT_EQ(h.width, 65535u);
    EXPECT_EQ(h.height, 7u);

    // APP segments, fill bytes and stray bytes (skipped as common decoders
    // skip them) before the frame header; progressive frame.
    const std::string jpeg = std::string("\xFF\xD8", 2) + JpegSegment(0xE0, std::string(14, 'j')) +
                             std::string("\xFF\xFF", 2) + JpegSegment(0xDB, std::string(65, 'q')) +
                             std::string("\0\r\nzz", 5) + std::string(5000, 'g') + Sof(0xC2, 6000, 4000);
    ASSERT_TRUE(Read(jpeg, &h));
    EXPECT_EQ(h.format, PictureFormat::kJpeg);
    EXPECT_EQ(h.width, 6000u);
    EXPECT_EQ(h.height, 4000u);

    for (bool little : {true, false}) {
        for (std::uint16_t type : {std::uint16_t{3}, std::uint16_t{4}}) {
            ASSERT_TRUE(Read(Tiff(little, type, 1234, 567), &h)) << little << type;
            EXPECT_EQ(h.format, PictureFormat::kTiff);
            EXPECT_EQ(h.width, 1234u);
            EXPECT_EQ(h.height, 567u);
        }
    }
}

TEST(PictureHeader, GifTakesTheLargerOfScreenAndFirstImage) {
    // 10 x 10 screen, global colour table of 4 entries, a graphic control
    // extension, then an image at (5, 6) of 20 x 3.
    std::string gif = "GIF89a" + Le16(10) + Le16(10) + std::string("\x81\0\0", 3) + std::string(12, '\0');
    gif += std::string("\x21\xF9\x04\x01\0\0\x00\x00", 8);
    gif += "\x2C" + Le16(5) + Le16(6) + Le16(20) + Le16(3) + std::string("\0\x02\x02\x4C\x01\0\x3B", 7);
    PictureHeader h;
    ASSERT_TRUE(Read(gif, &h));
    EXPECT_EQ(h.format, PictureFormat::kGif);
    EXPECT_EQ(h.width, 25u);
    EXPECT_EQ(h.height, 10u);
}

TEST(PictureHeader, RefusesBrokenHeaders) {
    PictureHeader h;
    const std::string cases[] = {
        "",
        "x",
        "not a picture at all",
        Png(640, 480).substr(0, 20),                                           // cut inside IHDR
        Png(0, 480),                                                           // no width
        std::string("\x89PNG\r\n\x1a\n", 8) + Be32(13) + "IDAT" + Be32(1) + Be32(1),  // IHDR not first
        Bmp(300, 0),
        Bmp(-300, 200),
        Bmp(300, 200).substr(0, 20),
        std::string("\xFF\xD8\xFF", 3),                                         // cut after SOI
        std::string("\xFF\xD8", 2) + JpegSegment(0xDA, "scan") + Sof(0xC0, 8, 8),  // scan before frame
        std::string("\xFF\xD8", 2) + Sof(0xC0, 8, 0),                            // height by DNL
        std::string("\xFF\xD8", 2) + JpegSegment(0xE1, std::string(100, 'x')).substr(0, 50),
        std::string("\xFF\xD8\xFF\xE0\x00\x01", 6),                             // length below 2
        "GIF89a" + Le16(10) + Le16(10) + std::string("\0\0\0", 3) + "\x3B",   // trailer, no image
        "GIF89a" + Le16(10) + Le16(10) + std::string("\0\0\0", 3) + "\x21\xF9\x7F",  // sub-block past the end
        Tiff(true, 4, 100, 100).substr(0, 30),
        Tiff(true, 5, 100, 100),                                               // RATIONAL width
        std::string("II*\0", 4) + Le32(0x7FFFFFF0),                            // directory past the end
        std::string("II+\0", 4) + std::string(12, '\0'),                       // BigTIFF is not ours
    };
    for (const std::string& c : cases) EXPECT_FALSE(Read(c, &h)) << testing::PrintToString(c);
}

TEST(PictureHeader, HugeClaimsAreReadAndThenRefusedByTheBounds) {
    PictureHeader h;
    ASSERT_TRUE(Read(Png(0xFFFFFFFFu, 0x7FFFFFFFu), &h));
    EXPECT_FALSE(IsDecodableSize(h.width, h.height));
    ASSERT_TRUE(Read(std::string("\xFF\xD8", 2) + Sof(0xC0, 65535, 65535), &h));
    EXPECT_FALSE(IsDecodableSize(h.width, h.height));
    ASSERT_TRUE(Read(Bmp(0x7FFFFFFF, -0x7FFFFFFF), &h));
    EXPECT_FALSE(IsDecodableSize(h.width, h.height));
}

TEST(PictureHeader, Bounds) {
    EXPECT_TRUE(IsDecodableSize(1, 1));
    EXPECT_TRUE(IsDecodableSize(6000, 4000));
    EXPECT_TRUE(IsDecodableSize(16320, 12240));  // a 200-megapixel phone photo
    EXPECT_TRUE(IsDecodableSize(16384, 16384));  // exactly 2^28 pixels
    EXPECT_FALSE(IsDecodableSize(16384, 16385));
    EXPECT_TRUE(IsDecodableSize(65535, 4096));
    EXPECT_FALSE(IsDecodableSize(65536, 1));
    EXPECT_FALSE(IsDecodableSize(1, 65536));
    EXPECT_FALSE(IsDecodableSize(0, 10));
    EXPECT_FALSE(IsDecodableSize(10, 0));
}

}  // namespace
}  // namespace imaging
