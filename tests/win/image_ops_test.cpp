// The image operations on real picture files, under the imaging service the
// program runs with. The files are made here: the service's own encoders
// write BMP, PNG, GIF, TIFF and JPEG; a GIF with a transparent colour and
// the broken files are written byte by byte. Checked:
//  * every format loads at its size; transparency is white on every path;
//  * broken, empty and huge-header files give the fallbacks without the
//    memory a decoder would have reserved for them;
//  * fitting bars, stretching, rotate/flip against the service's RotateFlip;
//  * the prepared JPEG: the crop cases of the placed picture on the
//    handheld screen, checked pixel by pixel on a test card, the 16-bit
//    reduction, the file name, and that only the cropped window is rendered;
//  * 1-pixel stripes shrunk 15 times come out grey, not black and white;
//  * the kept decoded picture follows the file on disk.
// The independent decoder checks and the Debian sample sets are in
// tests/e2e/image_prep_e2e.sh.
#include "toolkit/Win.h"

#include <gdiplus.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/ImageOps.h"
#include "imaging/PreparedPicture.h"
#include "toolkit/FileIdentity.h"
#include "toolkit/Text.h"

namespace {

class ImagingService : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override {
        ForgetDecodedPicture();
        Gdiplus::GdiplusShutdown(m_token);
    }

private:
    ULONG_PTR m_token = 0;
};
::testing::Environment* const g_imaging = ::testing::AddGlobalTestEnvironment(new ImagingService);

// ---- pictures in memory ------------------------------------------------------

constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0xFF000000u;

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> px;  // 0xAARRGGBB

    std::uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
    static int R(std::uint32_t c) { return (c >> 16) & 0xFF; }
    static int G(std::uint32_t c) { return (c >> 8) & 0xFF; }
    static int B(std::uint32_t c) { return c & 0xFF; }
};

// Largest per-channel difference, alpha ignored.
int ColourDistance(std::uint32_t a, std::uint32_t b) {
    return std::max({std::abs(Image::R(a) - Image::R(b)), std::abs(Image::G(a) - Image::G(b)),
                     std::abs(Image::B(a) - Image::B(b))});
}

double Luma(std::uint32_t c) { return 0.299 * Image::R(c) + 0.587 * Image::G(c) + 0.114 * Image::B(c); }

struct Stats {
    double mean = 0;
    double stddev = 0;
};
Stats LumaStats(const Image& img) {
    double sum = 0, sq = 0;
    for (std::uint32_t c : img.px) {
        const double l = Luma(c);
        sum += l;
        sq += l * l;
    }
    const double n = static_cast<double>(img.px.size());
    Stats s;
    s.mean = sum / n;
    s.stddev = std::sqrt(std::max(0.0, sq / n - s.mean * s.mean));
    return s;
}

using PixelFn = std::function<std::uint32_t(int, int)>;

std::unique_ptr<Gdiplus::Bitmap> MakeBitmap(int w, int h, const PixelFn& f) {
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(w, h, PixelFormat32bppARGB);
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData data{};
    EXPECT_EQ(bitmap->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data), Gdiplus::Ok);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(data.Scan0) + y * data.Stride);
        for (int x = 0; x < w; ++x) row[x] = f(x, y);
    }
    bitmap->UnlockBits(&data);
    return bitmap;
}

void SaveBitmap(Gdiplus::Bitmap& bitmap, const std::string& path, const wchar_t* mime) {
    CLSID clsid{};
    ASSERT_GE(FindEncoder(mime, &clsid), 0) << "no encoder";
    ASSERT_EQ(bitmap.Save(tk::ToWide(path).c_str(), &clsid, nullptr), Gdiplus::Ok) << path;
}

void MakePicture(const std::string& path, const wchar_t* mime, int w, int h, const PixelFn& f) {
    auto bitmap = MakeBitmap(w, h, f);
    SaveBitmap(*bitmap, path, mime);
}

// Reads any bitmap back as top-down 32-bit pixels (GetDIBits also works for
// a DIB section that is selected into a DC).
Image FromBitmapHandle(HBITMAP bitmap) {
    Image img;
    BITMAP bm{};
    if (!bitmap || !::GetObjectW(bitmap, sizeof bm, &bm)) return img;
    img.width = bm.bmWidth;
    img.height = std::abs(bm.bmHeight);
    img.px.resize(static_cast<size_t>(img.width) * img.height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = img.width;
    info.bmiHeader.biHeight = -img.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, img.height, img.px.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    for (auto& c : img.px) c |= 0xFF000000u;
    return img;
}

Image FromRenderedDC(HDC dc) { return FromBitmapHandle(static_cast<HBITMAP>(::GetCurrentObject(dc, OBJ_BITMAP))); }

// Decodes a file with the service, for checking what we wrote.
Image DecodeFile(const std::string& path, float* dpiX = nullptr, float* dpiY = nullptr) {
    Image img;
    Gdiplus::Bitmap bitmap(tk::ToWide(path).c_str(), FALSE);
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return img;
    img.width = static_cast<int>(bitmap.GetWidth());
    img.height = static_cast<int>(bitmap.GetHeight());
    img.px.resize(static_cast<size_t>(img.width) * img.height);
    Gdiplus::Rect all(0, 0, img.width, img.height);
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return Image{};
    for (int y = 0; y < img.height; ++y)
        std::memcpy(&img.px[static_cast<size_t>(y) * img.width], static_cast<std::uint8_t*>(data.Scan0) + y * data.Stride,
                    static_cast<size_t>(img.width) * 4);
    bitmap.UnlockBits(&data);
    if (dpiX) *dpiX = bitmap.GetHorizontalResolution();
    if (dpiY) *dpiY = bitmap.GetVerticalResolution();
    return img;
}

RECT Target(int w, int h) { return RECT{0, 0, w, h}; }

// Renders the picture fitted into w x h and reads it back.
Image RenderFitted(const std::string& path, int w, int h, int rotateFlip = 0, int format = kPixelFormat24bppRGB) {
    HDC dc = RenderPictureFitted(path, nullptr, Target(w, h), rotateFlip, format);
    if (!dc) return Image{};
    Image img = FromRenderedDC(dc);
    ReleaseRenderedDC(dc);
    return img;
}

bool FileExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!bytes.empty()) ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
}

std::string ReadBytes(const std::string& path) {
    std::string out;
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    ::CloseHandle(f);
    return out;
}

SIZE_T PeakMemory() {
    PROCESS_MEMORY_COUNTERS c{};
    c.cb = sizeof c;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &c, sizeof c);
    return std::max(c.PeakPagefileUsage, c.PeakWorkingSetSize);
}

std::string Be32(std::uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
}
std::string Le16(std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) { return Le16(static_cast<std::uint16_t>(v)) + Le16(static_cast<std::uint16_t>(v >> 16)); }

// A GIF with a 4-colour palette (0xRRGGBB each) and, when `transparent` is
// 0..3, that colour transparent. Written by hand because the service's GIF
// encoder under Wine writes no pixels from a 32-bit bitmap. The codes are
// written with a clear code before every second pixel, so they stay 3 bits
// wide and no compression is needed.
std::string MakeGif(int w, int h, const std::uint32_t (&palette)[4], const std::vector<int>& indices,
                    int transparent) {
    std::string s = "GIF89a" + Le16(static_cast<std::uint16_t>(w)) + Le16(static_cast<std::uint16_t>(h));
    s += std::string("\x81\x00\x00", 3);  // global table of 4 entries
    for (std::uint32_t c : palette) {
        s.push_back(static_cast<char>(c >> 16));
        s.push_back(static_cast<char>(c >> 8));
        s.push_back(static_cast<char>(c));
    }
    if (transparent >= 0)
        s += std::string("\x21\xF9\x04\x01\x00\x00", 6) + static_cast<char>(transparent) + std::string(1, '\0');
    s += "\x2C" + Le16(0) + Le16(0) + Le16(static_cast<std::uint16_t>(w)) + Le16(static_cast<std::uint16_t>(h));
    s += std::string("\x00\x02", 2);  // no local table, LZW minimum code size 2
    std::string data;
    std::uint32_t acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= static_cast<std::uint32_t>(code) << bits;
        bits += 3;
        while (bits >= 8) {
            data.push_back(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 2 == 0) put(4);  // clear
        put(indices[i]);
    }
    put(5);  // end
    if (bits > 0) data.push_back(static_cast<char>(acc & 0xFF));
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        s.push_back(static_cast<char>(n));
        s += data.substr(i, n);
    }
    s.push_back('\0');
    s.push_back('\x3B');
    return s;
}

// ---- the test card -----------------------------------------------------------

// White with a black 1-pixel grid every 24 pixels and an 8 x 8 coloured
// square in the middle of each cell; the colours differ from cell to cell.
constexpr int kCell = 24;
std::uint32_t CellColour(int cx, int cy) {
    static const std::uint32_t colours[] = {0xFFE00000u, 0xFF00B000u, 0xFF0000E0u, 0xFFE0C000u,
                                            0xFF00B0C0u, 0xFFC000C0u, 0xFF806040u};
    return colours[(cx * 3 + cy * 5) % 7];
}
std::uint32_t CardPixel(int x, int y) {
    const int ix = x % kCell, iy = y % kCell;
    if (ix == 0 || iy == 0) return kBlack;
    if (ix >= 8 && ix < 16 && iy >= 8 && iy < 16) return CellColour(x / kCell, y / kCell);
    return kWhite;
}

// Compares an output with the card pixels it should show, for a card shown
// at `scale` times its size and cut at (left, top). Only pixels whose
// expectation survives the 16-bit reduction and JPEG are judged, and the
// worst of each kind is reported: square interiors (colour distance), grid
// lines (luma, dark), the white band between them (luma, bright), and
// anything beyond the card (colour distance from white; the 8 pixels next to
// the card's edge are left out, JPEG rings there). A crop off by one pixel
// puts a bright pixel on a grid line or a dark one in the band.
struct CardCheck {
    int squares = 0, lines = 0, bands = 0, outside = 0;  // pixels judged
    int worstSquare = 0;      // largest colour distance in a square
    double darkestBand = 255; // lowest luma in the white band
    double lightestLine = 0;  // highest luma on a grid line
    int worstOutside = 0;     // largest distance from white beyond the card

    bool Passes() const { return worstSquare <= 80 && darkestBand > 180 && lightestLine < 110 && worstOutside <= 32; }
};

void PrintTo(const CardCheck& c, std::ostream* os) {
    *os << "squares " << c.squares << " worst " << c.worstSquare << "; lines " << c.lines << " lightest "
        << c.lightestLine << "; bands " << c.bands << " darkest " << c.darkestBand << "; outside " << c.outside
        << " worst " << c.worstOutside;
}

CardCheck CheckAgainstCard(const Image& out, int cardW, int cardH, int left, int top, int scale) {
    CardCheck r;
    const int shownW = cardW * scale, shownH = cardH * scale;
    for (int oy = 0; oy < out.height; ++oy) {
        for (int ox = 0; ox < out.width; ++ox) {
            const int dx = ox + left, dy = oy + top;  // in the displayed picture
            const std::uint32_t got = out.At(ox, oy);
            if (dx < 0 || dy < 0 || dx >= shownW || dy >= shownH) {
                if (dx > -8 && dx < shownW + 8 && dy > -8 && dy < shownH + 8) continue;  // in the edge's JPEG blocks
                ++r.outside;
                r.worstOutside = std::max(r.worstOutside, ColourDistance(got, kWhite));
                continue;
            }
            const int x = dx / scale, y = dy / scale;
            const int ix = x % kCell, iy = y % kCell;
            const bool inX = ix >= 10 && ix < 14, inY = iy >= 10 && iy < 14;
            const bool whiteX = ix >= 3 && ix <= 5, whiteY = iy >= 3 && iy <= 5;
            const bool lineX = ix == 0 && dx % scale == 0;
            const bool lineY = iy == 0 && dy % scale == 0;
            if (inX && inY) {
                ++r.squares;
                r.worstSquare = std::max(r.worstSquare, ColourDistance(got, CellColour(x / kCell, y / kCell)));
            } else if ((lineX && (whiteY || iy == 20)) || (lineY && (whiteX || ix == 20))) {
                ++r.lines;
                r.lightestLine = std::max(r.lightestLine, Luma(got));
            } else if ((ix == 3 || ix == 4 || ix == 20) && (iy == 3 || iy == 4 || iy == 20)) {
                ++r.bands;
                r.darkestBand = std::min(r.darkestBand, Luma(got));
            }
        }
    }
    return r;
}

// ---- fixture -----------------------------------------------------------------

class ImageOps : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, tmp);
        static int counter = 0;
        m_dir = std::string(tmp) + "quorvel_imgops_" + std::to_string(::GetCurrentProcessId()) + "_" +
                std::to_string(++counter);
        ::CreateDirectoryA(m_dir.c_str(), nullptr);
        m_out = m_dir + "\\Sent Pictures";
        ::CreateDirectoryA(m_out.c_str(), nullptr);
    }
    void TearDown() override {
        ForgetDecodedPicture();
        // QUORVEL_KEEP_TEST_FILES keeps the pictures for a look.
        if (!::GetEnvironmentVariableA("QUORVEL_KEEP_TEST_FILES", nullptr, 0)) RemoveTree(m_dir);
    }
    static void RemoveTree(const std::string& dir) {
        WIN32_FIND_DATAA fd;
        HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = fd.cFileName;
                if (name == "." || name == "..") continue;
                const std::string p = dir + "\\" + name;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(p);
                else {
                    ::SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                    ::DeleteFileA(p.c_str());
                }
            } while (::FindNextFileA(h, &fd));
            ::FindClose(h);
        }
        ::RemoveDirectoryA(dir.c_str());
    }
    std::string Path(const std::string& name) const { return m_dir + "\\" + name; }

    // Prepares and decodes the result; an empty image when nothing was written.
    Image Prepare(const std::string& picture, PlacedPicture placed, int sw, int sh,
                  int format = kPixelFormat16bppRGB555, std::string* written = nullptr) {
        std::string path;
        const bool ok = PrepareDevicePicture(picture, placed, sw, sh, m_out, format, &path);
        if (written) *written = path;
        EXPECT_EQ(path, quorvel::PreparedPicturePath(m_out, picture));
        EXPECT_EQ(ok, FileExists(path));
        return ok ? DecodeFile(path) : Image{};
    }

    std::string m_dir;
    std::string m_out;
};

// ---- encoders and formats -------------------------------------------------------

TEST_F(ImageOps, FindEncoderMatchesMimeTypesExactly) {
    CLSID jpeg{};
    const int index = FindEncoder(L"image/jpeg", &jpeg);
    ASSERT_GE(index, 0);
    UINT count = 0, bytes = 0;
    ASSERT_EQ(Gdiplus::GetImageEncodersSize(&count, &bytes), Gdiplus::Ok);
    std::vector<std::uint8_t> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    ASSERT_EQ(Gdiplus::GetImageEncoders(count, bytes, codecs), Gdiplus::Ok);
    ASSERT_LT(static_cast<UINT>(index), count);
    EXPECT_STREQ(codecs[index].MimeType, L"image/jpeg");
    EXPECT_TRUE(IsEqualGUID(codecs[index].Clsid, jpeg));

    for (const wchar_t* mime : {L"image/bmp", L"image/png", L"image/gif", L"image/tiff"})
        EXPECT_GE(FindEncoder(mime, nullptr), 0) << mime;
    CLSID untouched{};
    EXPECT_EQ(FindEncoder(L"image/JPEG", &untouched), -1);  // case-sensitive
    EXPECT_EQ(FindEncoder(L"image/jpeg ", &untouched), -1);
    EXPECT_EQ(FindEncoder(L"", &untouched), -1);
    EXPECT_EQ(FindEncoder(nullptr, &untouched), -1);
    EXPECT_TRUE(IsEqualGUID(untouched, CLSID{}));
}

TEST_F(ImageOps, EveryFormatLoadsAtItsSize) {
    // Four 2-pixel-wide vertical bands of flat colours (safe for the GIF
    // palette and for JPEG away from the band edges).
    const std::uint32_t bands[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    auto f = [&](int x, int) { return bands[(x * 4) / 37]; };
    struct Format {
        const char* name;
        const wchar_t* mime;
        int tolerance;
    };
    const Format formats[] = {{"p.bmp", L"image/bmp", 0},   {"p.png", L"image/png", 0},
                              {"p.gif", L"image/gif", 0},   {"p.tif", L"image/tiff", 0},
                              {"p.jpg", L"image/jpeg", 40}};
    for (const Format& fmt : formats) {
        SCOPED_TRACE(fmt.name);
        const std::string path = Path(fmt.name);
        if (std::wstring(fmt.mime) == L"image/gif") {
            const std::uint32_t palette[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
            std::vector<int> indices;
            for (int y = 0; y < 23; ++y)
                for (int x = 0; x < 37; ++x) indices.push_back((x * 4) / 37);
            WriteBytes(path, MakeGif(37, 23, palette, indices, -1));
        } else {
            MakePicture(path, fmt.mime, 37, 23, f);
        }

        HBITMAP bitmap = LoadPictureBitmap(path);
        ASSERT_NE(bitmap, nullptr);
        const SIZE size = GetBitmapSize(bitmap);
        EXPECT_EQ(size.cx, 37);
        EXPECT_EQ(size.cy, 23);
        const Image img = FromBitmapHandle(bitmap);
        ::DeleteObject(bitmap);
        for (int band = 0; band < 4; ++band) {
            const int x = band * 37 / 4 + 4;  // inside the band
            EXPECT_LE(ColourDistance(img.At(x, 11), bands[band]), fmt.tolerance) << "band " << band;
        }
        SIZE natural{};
        EXPECT_TRUE(GetPictureSize(path, &natural));
        EXPECT_EQ(natural.cx, 37);
        EXPECT_EQ(natural.cy, 23);
    }
    EXPECT_EQ(GetBitmapSize(nullptr).cx, 0);
    EXPECT_EQ(GetBitmapSize(nullptr).cy, 0);
}

TEST_F(ImageOps, TransparentAreasAreWhiteOnEveryPath) {
    // Left half fully transparent, right half half-transparent black, a
    // strip of opaque blue at the bottom.
    auto f = [](int x, int y) -> std::uint32_t {
        if (y >= 30) return 0xFF0000FFu;
        return x < 20 ? 0x00000000u : 0x80000000u;
    };
    std::vector<std::string> files;
    MakePicture(Path("alpha.png"), L"image/png", 40, 40, f);
    files.push_back(Path("alpha.png"));
    MakePicture(Path("alpha.tif"), L"image/tiff", 40, 40, f);
    files.push_back(Path("alpha.tif"));
    std::vector<int> indices(32 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) indices[y * 32 + x] = x < 16 ? 3 : (y < 8 ? 0 : 2);  // transparent | red / blue
    const std::uint32_t palette[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
    WriteBytes(Path("alpha.gif"), MakeGif(32, 16, palette, indices, 3));
    files.push_back(Path("alpha.gif"));

    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const bool gif = path.find(".gif") != std::string::npos;
        HBITMAP bitmap = LoadPictureBitmap(path);
        ASSERT_NE(bitmap, nullptr);
        const Image natural = FromBitmapHandle(bitmap);
        ::DeleteObject(bitmap);
        EXPECT_EQ(natural.At(0, 0), kWhite);
        EXPECT_EQ(natural.At(natural.width / 4, natural.height / 4), kWhite);
        if (!gif) {
            EXPECT_LE(ColourDistance(natural.At(30, 10), 0xFF7F7F7Fu), 2);  // black at half over white
            EXPECT_EQ(natural.At(10, 35), 0xFF0000FFu);
        } else {
            EXPECT_EQ(natural.At(20, 0), 0xFFFF0000u);
        }

        const Image fitted = RenderFitted(path, 80, 80);
        ASSERT_EQ(fitted.width, 80);
        EXPECT_EQ(fitted.At(2, 2), kWhite);
        EXPECT_EQ(fitted.At(20, 20), kWhite);

        const Image prepared = Prepare(path, PlacedPicture{0, 0, natural.width * 2, natural.height * 2}, 320, 240);
        ASSERT_EQ(prepared.width, natural.width * 2);
        EXPECT_LE(ColourDistance(prepared.At(3, 3), kWhite), 10);
        EXPECT_LE(ColourDistance(prepared.At(prepared.width / 4, prepared.height / 4), kWhite), 10);
    }
}

// ---- files that cannot be decoded ---------------------------------------------

TEST_F(ImageOps, BrokenEmptyAndHugeHeaderFilesGiveTheFallbacks) {
    MakePicture(Path("good.png"), L"image/png", 64, 48, [](int x, int y) { return CardPixel(x, y); });
    const std::string good = ReadBytes(Path("good.png"));
    ASSERT_GT(good.size(), 100u);

    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8);
    auto ihdr = [&](std::uint32_t w, std::uint32_t h) {
        return png + Be32(13) + "IHDR" + Be32(w) + Be32(h) + std::string("\x08\x02\0\0\0", 5) + Be32(0);
    };
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty.png", ""},
        {"garbage.jpg", std::string(5000, 'x')},
        {"truncated.png", good.substr(0, good.size() / 3)},
        {"header-only.png", good.substr(0, 33)},
        {"huge.png", ihdr(100000, 100000) + std::string(200, '\0')},
        {"wide.png", ihdr(70000, 1) + std::string(200, '\0')},
        {"huge.bmp", "BM" + Le32(70) + Le32(0) + Le32(54) + Le32(40) + Le32(50000) + Le32(50000) + Le16(1) +
                         Le16(24) + std::string(40, '\0')},
        {"huge.jpg", std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\xFF\xFF\xFF\xFF\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 21) +
                         std::string(100, '\0')},
        {"huge.gif", "GIF89a" + Le16(65535) + Le16(65535) + std::string("\0\0\0", 3) + "\x2C" + Le16(0) + Le16(0) +
                         Le16(65535) + Le16(65535) + std::string("\0\x02\x02\x4C\x01\0\x3B", 7)},
        {"huge.tif", std::string("II*\0", 4) + Le32(8) + Le16(2) + Le16(256) + Le16(4) + Le32(1) + Le32(1000000) +
                         Le16(257) + Le16(4) + Le32(1) + Le32(1000000) + Le32(0)},
        {"text.png", "this is not a picture"},
    };
    const SIZE_T peakBefore = PeakMemory();
    ASSERT_GT(peakBefore, 0u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(c.name);
        WriteBytes(path, c.bytes);
        EXPECT_EQ(LoadPictureBitmap(path), nullptr);
        SIZE size{1, 1};
        EXPECT_FALSE(GetPictureSize(path, &size));
        EXPECT_EQ(size.cx, 0);
        const Image white = RenderFitted(path, 50, 40);
        ASSERT_EQ(white.width, 50);
        ASSERT_EQ(white.height, 40);
        EXPECT_TRUE(std::all_of(white.px.begin(), white.px.end(), [](std::uint32_t p) { return p == kWhite; }));
        // An older prepared file of the same name must not survive a failure.
        const std::string out = quorvel::PreparedPicturePath(m_out, path);
        WriteBytes(out, "old");
        std::string written;
        EXPECT_FALSE(PrepareDevicePicture(path, PlacedPicture{0, 0, 320, 240}, 320, 240, m_out,
                                          kPixelFormat16bppRGB555, &written));
        EXPECT_EQ(written, out);
        EXPECT_FALSE(FileExists(out));
    }
    // A missing file and a folder behave the same.
    for (const std::string& path : {Path("missing.png"), m_out}) {
        EXPECT_EQ(LoadPictureBitmap(path), nullptr);
        EXPECT_FALSE(PrepareDevicePicture(path, PlacedPicture{0, 0, 32, 24}, 320, 240, m_out, kPixelFormat16bppRGB555,
                                          nullptr));
    }
    // No decoder was allowed near the huge claims: a 100000 x 100000 picture
    // alone would have taken 30 GB.
    EXPECT_LT(PeakMemory() - peakBefore, static_cast<SIZE_T>(200) << 20);
}

// ---- display renders ---------------------------------------------------------------

TEST_F(ImageOps, FittedRenderCentresOnWhiteBars) {
    const std::uint32_t red = 0xFFFF0000u;
    MakePicture(Path("wide.png"), L"image/png", 400, 300, [&](int, int) { return red; });
    MakePicture(Path("tall.png"), L"image/png", 300, 400, [&](int, int) { return red; });

    // 400 x 300 into 100 x 100: (0, 12) of size 100 x 75.
    Image img = RenderFitted(Path("wide.png"), 100, 100);
    ASSERT_EQ(img.width, 100);
    for (int y = 0; y < 100; ++y) {
        const std::uint32_t want = (y >= 12 && y < 87) ? red : kWhite;
        EXPECT_EQ(img.At(0, y), want) << y;
        EXPECT_EQ(img.At(99, y), want) << y;
    }
    // 300 x 400 into 100 x 100: (12, 0) of size 75 x 100.
    img = RenderFitted(Path("tall.png"), 100, 100);
    for (int x = 0; x < 100; ++x) EXPECT_EQ(img.At(x, 50), (x >= 12 && x < 87) ? red : kWhite) << x;

    // The target's left and top are ignored.
    HDC dc = RenderPictureFitted(Path("wide.png"), nullptr, RECT{500, 700, 600, 800}, 0, kPixelFormat24bppRGB);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(FromRenderedDC(dc).width, 100);
    ReleaseRenderedDC(dc);
}

TEST_F(ImageOps, RenderTargetsOutsideTheBoundMakeNothing) {
    MakePicture(Path("p.png"), L"image/png", 40, 30, [](int x, int y) { return CardPixel(x, y); });
    EXPECT_EQ(RenderPictureFitted(Path("p.png"), nullptr, Target(0, 100), 0, kPixelFormat24bppRGB), nullptr);
    EXPECT_EQ(RenderPictureFitted(Path("p.png"), nullptr, RECT{10, 10, 5, 50}, 0, kPixelFormat24bppRGB), nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(RenderPictureFitted(Path("p.png"), nullptr, Target(99999, 99999), 0, kPixelFormat24bppRGB), nullptr);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 1.0);

    HBITMAP bitmap = LoadPictureBitmap(Path("p.png"));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(RenderBitmapStretched(bitmap, nullptr, Target(99999, 99999), 0, kPixelFormat24bppRGB), nullptr);
    ::DeleteObject(bitmap);
}

TEST_F(ImageOps, StretchedRenderIgnoresAspectAndAlphaBytes) {
    // A DIB whose alpha bytes are all zero: the handle's pixels are taken as
    // opaque colour, as the service does for bitmaps made from handles.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 20;
    info.bmiHeader.biHeight = -10;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    auto* px = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) px[y * 20 + x] = x < 10 ? 0x00FF0000u : 0x000000FFu;  // red | blue, alpha 0

    HDC dc = RenderBitmapStretched(dib, nullptr, Target(40, 40), 0, kPixelFormat24bppRGB);
    ASSERT_NE(dc, nullptr);
    const Image img = FromRenderedDC(dc);
    ReleaseRenderedDC(dc);
    ASSERT_EQ(img.width, 40);
    ASSERT_EQ(img.height, 40);
    for (int y = 0; y < 40; y += 3) {
        EXPECT_EQ(img.At(0, y), 0xFFFF0000u);
        EXPECT_EQ(img.At(15, y), 0xFFFF0000u);
        EXPECT_EQ(img.At(25, y), 0xFF0000FFu);
        EXPECT_EQ(img.At(39, y), 0xFF0000FFu);
    }
    ::DeleteObject(dib);

    // A device-dependent bitmap works too; a null handle gives white.
    HDC screen = ::GetDC(nullptr);
    HBITMAP ddb = ::CreateCompatibleBitmap(screen, 8, 8);
    {
        HDC mem = ::CreateCompatibleDC(screen);
        HGDIOBJ old = ::SelectObject(mem, ddb);
        RECT r{0, 0, 8, 8};
        HBRUSH green = ::CreateSolidBrush(RGB(0, 255, 0));
        ::FillRect(mem, &r, green);
        ::DeleteObject(green);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    ::ReleaseDC(nullptr, screen);
    dc = RenderBitmapStretched(ddb, nullptr, Target(3, 5), 0, kPixelFormat24bppRGB);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(FromRenderedDC(dc).At(1, 2), 0xFF00FF00u);
    ReleaseRenderedDC(dc);
    ::DeleteObject(ddb);

    dc = RenderBitmapStretched(nullptr, nullptr, Target(3, 5), 0, kPixelFormat24bppRGB);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(FromRenderedDC(dc).At(1, 2), kWhite);
    ReleaseRenderedDC(dc);
}

TEST_F(ImageOps, RotateFlipMatchesTheImagingService) {
    auto f = [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(x * 40) << 16 | static_cast<std::uint32_t>(y * 60) << 8 | 0x20u; };
    MakePicture(Path("r.png"), L"image/png", 5, 3, f);
    for (int code = 0; code < 8; ++code) {
        SCOPED_TRACE(code);
        auto reference = MakeBitmap(5, 3, f);
        ASSERT_EQ(reference->RotateFlip(static_cast<Gdiplus::RotateFlipType>(code)), Gdiplus::Ok);
        const int w = static_cast<int>(reference->GetWidth()), h = static_cast<int>(reference->GetHeight());
        const Image img = RenderFitted(Path("r.png"), w, h, code);
        ASSERT_EQ(img.width, w);
        ASSERT_EQ(img.height, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Gdiplus::Color c;
                reference->GetPixel(x, y, &c);
                EXPECT_EQ(img.At(x, y), c.GetValue()) << x << "," << y;
            }
    }
}

TEST_F(ImageOps, SixteenBitFormatReducesEveryChannelToFiveBits) {
    auto f = [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(x) << 16 | static_cast<std::uint32_t>(y) << 8 | static_cast<std::uint32_t>((x + y) & 0xFF); };
    MakePicture(Path("ramp.png"), L"image/png", 256, 64, f);
    const Image img = RenderFitted(Path("ramp.png"), 256, 64, 0, kPixelFormat16bppRGB555);
    ASSERT_EQ(img.width, 256);
    std::vector<bool> red(256), blue(256);
    for (std::uint32_t c : img.px) {
        red[Image::R(c)] = true;
        blue[Image::B(c)] = true;
    }
    EXPECT_EQ(std::count(red.begin(), red.end(), true), 32);  // 256 inputs, 5 bits out
    EXPECT_EQ(std::count(blue.begin(), blue.end(), true), 32);
    for (int x = 0; x < 256; ++x) EXPECT_NEAR(Image::R(img.At(x, 0)), x, 8) << x;
    // The display format keeps every value.
    EXPECT_EQ(RenderFitted(Path("ramp.png"), 256, 64).At(123, 45), f(123, 45));
}

TEST_F(ImageOps, ReleasedRenderFreesItsBitmap) {
    MakePicture(Path("p.png"), L"image/png", 40, 30, [](int x, int y) { return CardPixel(x, y); });
    HDC dc = RenderPictureFitted(Path("p.png"), nullptr, Target(30, 30), 0, kPixelFormat24bppRGB);
    ASSERT_NE(dc, nullptr);
    HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    EXPECT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    ReleaseRenderedDC(dc);
    EXPECT_EQ(::GetObjectType(bitmap), 0u);
    ReleaseRenderedDC(nullptr);
}

// ---- no aliasing -----------------------------------------------------------------

TEST_F(ImageOps, StripesShrunkFifteenTimesComeOutGrey) {
    MakePicture(Path("vstripes.png"), L"image/png", 1500, 1500, [](int x, int) { return (x & 1) ? kWhite : kBlack; });
    MakePicture(Path("hstripes.png"), L"image/png", 1500, 1500, [](int, int y) { return (y & 1) ? kWhite : kBlack; });
    for (const char* name : {"vstripes.png", "hstripes.png"}) {
        SCOPED_TRACE(name);
        const Image preview = RenderFitted(Path(name), 100, 100);
        ASSERT_EQ(preview.width, 100);
        const Stats p = LumaStats(preview);
        EXPECT_LT(p.stddev, 10.0);
        EXPECT_NEAR(p.mean, 127.5, 6.0);

        const Image prepared = Prepare(Path(name), PlacedPicture{110, 70, 100, 100}, 320, 240);
        ASSERT_EQ(prepared.width, 100);
        ASSERT_EQ(prepared.height, 100);
        const Stats q = LumaStats(prepared);
        EXPECT_LT(q.stddev, 10.0);
        EXPECT_NEAR(q.mean, 127.5, 8.0);
    }
}

// ---- the prepared picture --------------------------------------------------------

TEST_F(ImageOps, CropCasesLandWhereTheTableSays) {
    struct Case {
        const char* what;
        int cardW, cardH;
        int scale;
        PlacedPicture placed;
        int sw, sh;
        int cropLeft, cropTop, cropW, cropH;
    };
    const Case cases[] = {
        {"larger both ways, beyond left and top", 400, 500, 1, {-10, -20, 400, 500}, 320, 240, 10, 20, 320, 240},
        {"smaller both ways, sent whole", 200, 150, 1, {60, 45, 200, 150}, 320, 240, 0, 0, 200, 150},
        {"smaller both ways at an odd place", 200, 150, 1, {-7, 300, 200, 150}, 320, 240, 0, 0, 200, 150},
        {"wider only", 400, 150, 1, {-30, 45, 400, 150}, 320, 240, 30, 0, 320, 150},
        {"taller only", 200, 500, 1, {60, -100, 200, 500}, 320, 240, 0, 100, 200, 240},
        {"exactly the screen", 320, 240, 1, {0, 0, 320, 240}, 320, 240, 0, 0, 320, 240},
        {"placed right of the screen edge", 400, 300, 1, {20, 5, 400, 300}, 320, 240, -20, -5, 320, 240},
        {"panned past the far corner", 400, 300, 1, {-100, -80, 400, 300}, 320, 240, 100, 80, 320, 240},
        {"zoomed twice", 400, 500, 2, {-100, -200, 800, 1000}, 320, 240, 100, 200, 320, 240},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "card" + std::to_string(c.cardW) + "x" + std::to_string(c.cardH) + ".png";
        if (!FileExists(Path(name)))
            MakePicture(Path(name), L"image/png", c.cardW, c.cardH, [](int x, int y) { return CardPixel(x, y); });
        const Image out = Prepare(Path(name), c.placed, c.sw, c.sh);
        ASSERT_EQ(out.width, c.cropW);
        ASSERT_EQ(out.height, c.cropH);
        const CardCheck check = CheckAgainstCard(out, c.cardW, c.cardH, c.cropLeft, c.cropTop, c.scale);
        EXPECT_TRUE(check.Passes()) << testing::PrintToString(check);
        EXPECT_GT(check.squares, 0);
        EXPECT_GT(check.lines, 0);
        EXPECT_GT(check.bands, 0);
        const bool beyond = c.cropLeft < -8 || c.cropTop < -8 || c.cropLeft + c.cropW > c.cardW * c.scale + 8 ||
                            c.cropTop + c.cropH > c.cardH * c.scale + 8;
        if (beyond) {
            EXPECT_GT(check.outside, 0);
        }
        // The same image judged one card pixel off must fail: the check can
        // see a misplaced crop.
        EXPECT_FALSE(CheckAgainstCard(out, c.cardW, c.cardH, c.cropLeft + c.scale, c.cropTop, c.scale).Passes());
        EXPECT_FALSE(CheckAgainstCard(out, c.cardW, c.cardH, c.cropLeft, c.cropTop - c.scale, c.scale).Passes());
    }
}

TEST_F(ImageOps, CroppedWindowEqualsTheFullRender) {
    // The window render must give the pixels the whole displayed picture
    // would have there (edges included), reduced to 16 bits.
    MakePicture(Path("card.png"), L"image/png", 400, 500, [](int x, int y) { return CardPixel(x, y); });
    const Image full = RenderFitted(Path("card.png"), 700, 875, 0, kPixelFormat16bppRGB555);  // 1.75 times
    ASSERT_EQ(full.width, 700);
    for (const PlacedPicture& placed : {PlacedPicture{-150, -333, 700, 875}, PlacedPicture{0, 0, 700, 875},
                                        PlacedPicture{-380, -635, 700, 875}}) {
        const Image out = Prepare(Path("card.png"), placed, 320, 240);
        ASSERT_EQ(out.width, 320);
        // Mean difference from the full render at the crop's place, and one
        // pixel beside it: JPEG makes the first small, a misplaced or
        // differently filtered window makes it as large as the second.
        auto meanDiff = [&](int sx, int sy) {
            double diff = 0;
            int n = 0;
            for (int y = 1; y < 239; ++y)
                for (int x = 1; x < 319; ++x) {
                    diff += ColourDistance(out.At(x, y), full.At(x - placed.left + sx, y - placed.top + sy));
                    ++n;
                }
            return diff / n;
        };
        const double here = meanDiff(0, 0);
        EXPECT_LT(here, 7.0) << placed.left << "," << placed.top;
        EXPECT_LT(here * 2, meanDiff(1, 0)) << placed.left << "," << placed.top;
        EXPECT_LT(here * 2, meanDiff(0, 1)) << placed.left << "," << placed.top;
    }
}

TEST_F(ImageOps, PreparedPictureIsSixteenBitWithTheSourceResolution) {
    // A flat grey-ish colour survives JPEG almost exactly, so the 5-bit steps
    // show: (7, 15, 23) becomes (0, 8, 16).
    auto flat = MakeBitmap(64, 48, [](int, int) { return 0xFF070F17u; });
    flat->SetResolution(150.0f, 200.0f);
    SaveBitmap(*flat, Path("flat.png"), L"image/png");
    const Image out = Prepare(Path("flat.png"), PlacedPicture{0, 0, 64, 48}, 320, 240);
    ASSERT_EQ(out.width, 64);
    const std::uint32_t c = out.At(30, 20);
    EXPECT_NEAR(Image::R(c), 0, 3);
    EXPECT_NEAR(Image::G(c), 8, 3);
    EXPECT_NEAR(Image::B(c), 16, 3);

    float dx = 0, dy = 0;
    DecodeFile(quorvel::PreparedPicturePath(m_out, Path("flat.png")), &dx, &dy);
    EXPECT_NEAR(dx, 150.0f, 1.0f);  // JPEG keeps whole dots per inch
    EXPECT_NEAR(dy, 200.0f, 1.0f);

    // The display format passed instead keeps full colour.
    const Image full = Prepare(Path("flat.png"), PlacedPicture{0, 0, 64, 48}, 320, 240, kPixelFormat24bppRGB);
    EXPECT_NEAR(Image::R(full.At(30, 20)), 7, 3);
    EXPECT_NEAR(Image::B(full.At(30, 20)), 23, 3);
}

TEST_F(ImageOps, PreparedFileIsNamedAfterThePicture) {
    struct Case {
        const char* file;
        const char* prepared;
    };
    const Case cases[] = {
        {"a.b.c.tif", "a.jpg"},
        {"IMG_1.JPG", "IMG_1.jpg"},
        {"beach.day.png", "beach.jpg"},
        {"noext", "noext.jpg"},
        {".hidden.png", ".jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        MakePicture(Path(c.file), L"image/tiff", 30, 20, [](int x, int y) { return CardPixel(x, y); });
        std::string written;
        EXPECT_FALSE(Prepare(Path(c.file), PlacedPicture{0, 0, 30, 20}, 320, 240, kPixelFormat16bppRGB555, &written)
                         .px.empty());
        EXPECT_EQ(written, m_out + "\\" + c.prepared);
    }
    // An output folder that does not exist: nothing written, false.
    std::string written;
    EXPECT_FALSE(PrepareDevicePicture(Path("a.b.c.tif"), PlacedPicture{0, 0, 30, 20}, 320, 240, m_dir + "\\nowhere",
                                      kPixelFormat16bppRGB555, &written));
    EXPECT_EQ(written, m_dir + "\\nowhere\\a.jpg");
    // No folder at all: nothing is written to (or deleted from) the drive's root.
    EXPECT_FALSE(PrepareDevicePicture(Path("a.b.c.tif"), PlacedPicture{0, 0, 30, 20}, 320, 240, "",
                                      kPixelFormat16bppRGB555, &written));
    EXPECT_EQ(written, "\\a.jpg");
}

TEST_F(ImageOps, PreparingAPictureFromTheOutputFolderNeverDeletesIt) {
    // A picture opened from the Sent Pictures folder has the output's name.
    const std::string picture = m_out + "\\sent.jpg";
    MakePicture(picture, L"image/jpeg", 64, 48, [](int x, int y) { return CardPixel(x, y); });
    EXPECT_TRUE(PrepareDevicePicture(picture, PlacedPicture{0, 0, 32, 24}, 320, 240, m_out, kPixelFormat16bppRGB555,
                                     nullptr));
    EXPECT_EQ(DecodeFile(picture).width, 32);  // replaced by the prepared picture

    WriteBytes(picture, "broken");
    EXPECT_FALSE(PrepareDevicePicture(picture, PlacedPicture{0, 0, 32, 24}, 320, 240, m_out, kPixelFormat16bppRGB555,
                                      nullptr));
    EXPECT_EQ(ReadBytes(picture), "broken");
}

TEST_F(ImageOps, PreparationWorksInProportionToTheScreen) {
    MakePicture(Path("card.png"), L"image/png", 400, 500, [](int x, int y) { return CardPixel(x, y); });
    ASSERT_TRUE(GetPictureSize(Path("card.png"), nullptr));  // decoded once
    // A displayed size far beyond any bitmap (the Image size dialog accepts
    // 99999 x 99999): only the 320 x 240 piece is made.
    const SIZE_T peakBefore = PeakMemory();
    const auto t0 = std::chrono::steady_clock::now();
    const Image out = Prepare(Path("card.png"), PlacedPicture{-49840, -49880, 99999, 99999}, 320, 240);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ASSERT_EQ(out.width, 320);
    ASSERT_EQ(out.height, 240);
    EXPECT_LT(seconds, 2.0);
    EXPECT_LT(PeakMemory() - peakBefore, static_cast<SIZE_T>(64) << 20);

    // Degenerate inputs write nothing.
    for (const PlacedPicture& placed : {PlacedPicture{0, 0, 0, 240}, PlacedPicture{0, 0, 320, -1},
                                        PlacedPicture{INT_MAX - 5, 0, 320, 240}}) {
        EXPECT_FALSE(PrepareDevicePicture(Path("card.png"), placed, 320, 240, m_out, kPixelFormat16bppRGB555, nullptr));
    }
    EXPECT_FALSE(PrepareDevicePicture(Path("card.png"), PlacedPicture{0, 0, 400, 500}, 0, 240, m_out,
                                      kPixelFormat16bppRGB555, nullptr));
    // A screen as absurd as the picture: a crop no JPEG can hold.
    EXPECT_FALSE(PrepareDevicePicture(Path("card.png"), PlacedPicture{0, 0, 99999, 99999}, 99999, 99999, m_out,
                                      kPixelFormat16bppRGB555, nullptr));
    EXPECT_FALSE(PrepareDevicePicture(Path("card.png"), PlacedPicture{0, 0, 400, 500}, 320, 240, m_out, 0, nullptr));
    EXPECT_FALSE(FileExists(quorvel::PreparedPicturePath(m_out, Path("card.png"))));
}

// ---- the kept decoded picture ----------------------------------------------------

void SetWriteTime(const std::string& path, const FILETIME& t) {
    HANDLE f = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ::SetFileTime(f, nullptr, nullptr, &t);
    ::CloseHandle(f);
}

FILETIME GetWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a);
    return a.ftLastWriteTime;
}

TEST_F(ImageOps, KeptPictureFollowsTheFileOnDisk) {
    const std::string path = Path("current.bmp");
    MakePicture(path, L"image/bmp", 20, 10, [](int, int) { return 0xFFFF0000u; });  // red
    const FILETIME redTime = GetWriteTime(path);
    EXPECT_EQ(RenderFitted(path, 20, 10).At(5, 5), 0xFFFF0000u);

    // Same size, new content, new modification time: decoded again.
    MakePicture(path, L"image/bmp", 20, 10, [](int, int) { return 0xFF0000FFu; });  // blue
    FILETIME later = redTime;
    later.dwLowDateTime += 10000000;  // one second on
    if (later.dwLowDateTime < redTime.dwLowDateTime) ++later.dwHighDateTime;
    SetWriteTime(path, later);
    EXPECT_EQ(RenderFitted(path, 20, 10).At(5, 5), 0xFF0000FFu);

    // New size: decoded again even with the old time.
    MakePicture(path, L"image/bmp", 30, 10, [](int, int) { return 0xFF00FF00u; });  // green
    SetWriteTime(path, later);
    EXPECT_EQ(RenderFitted(path, 30, 10).At(5, 5), 0xFF00FF00u);

    // Content changed behind the same size and time: the kept pixels are
    // used, which shows that nothing is decoded while the file is unchanged.
    MakePicture(path, L"image/bmp", 30, 10, [](int, int) { return 0xFF000000u; });
    SetWriteTime(path, later);
    EXPECT_EQ(RenderFitted(path, 30, 10).At(5, 5), 0xFF00FF00u);
    ForgetDecodedPicture();
    EXPECT_EQ(RenderFitted(path, 30, 10).At(5, 5), 0xFF000000u);

    // A deleted file is not served from memory.
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(LoadPictureBitmap(path), nullptr);
}

TEST_F(ImageOps, TwoThreadsShareThePictureSafely) {
    MakePicture(Path("card.png"), L"image/png", 400, 500, [](int x, int y) { return CardPixel(x, y); });
    MakePicture(Path("other.png"), L"image/png", 300, 200, [](int x, int y) { return CardPixel(y, x); });
    const Image reference = RenderFitted(Path("card.png"), 200, 250);
    bool prepared = true;
    std::thread sender([&] {
        for (int i = 0; i < 10; ++i)
            prepared = prepared && PrepareDevicePicture(i % 2 ? Path("other.png") : Path("card.png"),
                                                        PlacedPicture{-20, -30, 400, 500}, 320, 240, m_out,
                                                        kPixelFormat16bppRGB555, nullptr);
    });
    for (int i = 0; i < 10; ++i) EXPECT_EQ(RenderFitted(Path("card.png"), 200, 250).px, reference.px);
    sender.join();
    EXPECT_TRUE(prepared);
}

// ---- upright pictures, more formats, one file by any path -------------------------

// A JPEG of four flat quadrants, tagged with an orientation in an Exif APP1
// segment put right behind its start marker.
void MakeTaggedJpeg(const std::string& path, int orientation) {
    const std::uint32_t quadrant[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
    MakePicture(path, L"image/jpeg", 48, 24, [&](int x, int y) { return quadrant[(y / 12) * 2 + x / 24]; });
    auto be16 = [](int v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; };
    const std::string tiff = std::string("MM\0*", 4) + Be32(8) + be16(1) + be16(274) + be16(3) + Be32(1) +
                             be16(orientation) + be16(0) + Be32(0);
    const std::string exif = std::string("Exif\0\0", 6) + tiff;
    const std::string jpeg = ReadBytes(path);
    WriteBytes(path, jpeg.substr(0, 2) + "\xFF\xE1" + be16(static_cast<int>(exif.size()) + 2) + exif + jpeg.substr(2));
}

TEST_F(ImageOps, TaggedPhotosAreDecodedUpright) {
    // Quadrants 0 1 / 2 3 as stored; the upright picture's four quadrants,
    // read left to right, top to bottom.
    struct Case {
        int orientation;
        int quadrants[4];
    };
    const Case cases[] = {{1, {0, 1, 2, 3}}, {2, {1, 0, 3, 2}}, {3, {3, 2, 1, 0}}, {4, {2, 3, 0, 1}},
                          {5, {0, 2, 1, 3}}, {6, {2, 0, 3, 1}}, {7, {3, 1, 2, 0}}, {8, {1, 3, 0, 2}},
                          {0, {0, 1, 2, 3}}, {9, {0, 1, 2, 3}}};
    const std::uint32_t quadrant[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        const std::string path = Path("tagged" + std::to_string(c.orientation) + ".jpg");
        MakeTaggedJpeg(path, c.orientation);
        const bool swap = c.orientation >= 5 && c.orientation <= 8;
        SIZE size{};
        ASSERT_TRUE(GetPictureSize(path, &size));
        EXPECT_EQ(size.cx, swap ? 24 : 48);
        EXPECT_EQ(size.cy, swap ? 48 : 24);
        HBITMAP bitmap = LoadPictureBitmap(path);
        const Image img = FromBitmapHandle(bitmap);
        ::DeleteObject(bitmap);
        ASSERT_EQ(img.width, size.cx);
        for (int q = 0; q < 4; ++q) {
            const int x = (q % 2) * img.width / 2 + img.width / 4, y = (q / 2) * img.height / 2 + img.height / 4;
            EXPECT_LE(ColourDistance(img.At(x, y), quadrant[c.quadrants[q]]), 40) << "quadrant " << q;
        }
        // What leaves the program is upright too.
        const Image sent = Prepare(path, PlacedPicture{0, 0, size.cx, size.cy}, 320, 240);
        EXPECT_EQ(sent.width, size.cx);
        EXPECT_EQ(sent.height, size.cy);
    }
}

TEST_F(ImageOps, FormatsOfThePlatformComponentsOpenAndAreListed) {
    // A 16 x 8 icon: a 32-bit bitmap, bottom-up, left half red, right half
    // blue, then its all-opaque mask.
    std::string dib = Le32(40) + Le32(16) + Le32(16) + Le16(1) + Le16(32) + Le32(0) + Le32(0) + Le32(0) + Le32(0) +
                      Le32(0) + Le32(0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) dib += x < 8 ? std::string("\0\0\xFF\xFF", 4) : std::string("\xFF\0\0\xFF", 4);
    dib += std::string(8 * 4, '\0');
    const std::string icon = Le16(0) + Le16(1) + Le16(1) + std::string("\x10\x08\0\0", 4) + Le16(1) + Le16(32) +
                             Le32(static_cast<std::uint32_t>(dib.size())) + Le32(22) + dib;
    const std::string path = Path("icon.ico");
    WriteBytes(path, icon);
    SIZE size{};
    ASSERT_TRUE(GetPictureSize(path, &size));
    EXPECT_EQ(size.cx, 16);
    EXPECT_EQ(size.cy, 8);
    const Image img = RenderFitted(path, 16, 8);
    EXPECT_EQ(img.At(2, 4) & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(img.At(13, 4) & 0xFFFFFFu, 0x0000FFu);
    EXPECT_EQ(Prepare(path, PlacedPicture{0, 0, 16, 8}, 320, 240).width, 16);

    const std::vector<std::wstring>& extensions = InstalledPictureExtensions();
    ASSERT_GE(extensions.size(), 8u);
    EXPECT_EQ(extensions[0], L".bmp");
    EXPECT_EQ(extensions[6], L".tif");
    EXPECT_NE(std::find(extensions.begin(), extensions.end(), L".ico"), extensions.end());

    // Bytes no decoder knows still give nothing.
    WriteBytes(Path("noise.ico"), std::string(64, '\x5A'));
    EXPECT_FALSE(GetPictureSize(Path("noise.ico"), &size));
}

TEST_F(ImageOps, OneFileIsKnownByAnyFormOfItsPath) {
    const std::wstring picture = tk::ToWide(m_out + "\\Same.jpg");
    WriteBytes(m_out + "\\Same.jpg", "x");
    WriteBytes(m_out + "\\other.jpg", "x");
    std::wstring upper = picture;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
    wchar_t shortName[MAX_PATH] = {};
    const DWORD n = ::GetShortPathNameW(picture.c_str(), shortName, MAX_PATH);
    struct Case {
        std::wstring other;
        bool same;
    };
    const Case cases[] = {
        {picture, true},
        {upper, true},
        {tk::ToWide(m_out + "\\..\\Sent Pictures\\Same.jpg"), true},
        {n > 0 ? std::wstring(shortName, n) : picture, true},
        {tk::ToWide(m_out + "\\other.jpg"), false},
        {tk::ToWide(m_out + "\\missing.jpg"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(tk::IsSameFile(c.other, picture), c.same) << tk::ToAnsi(c.other);
    // The earlier prepared file is the picture by another path: kept.
    DeleteEarlierPreparedFile(tk::ToAnsi(upper), m_out + "\\..\\Sent Pictures\\Same.jpg");
    EXPECT_TRUE(FileExists(m_out + "\\Same.jpg"));
    DeleteEarlierPreparedFile(m_out + "\\other.jpg", m_out + "\\Same.jpg");
    EXPECT_FALSE(FileExists(m_out + "\\other.jpg"));
}

}  // namespace
