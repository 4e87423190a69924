// ImageOps_win.cpp - the program's image operations on the imaging service
// (GDI+): decoding, pixel formats, the 16-bit reduction and the JPEG encoder
// come from it; every scaling is ours (imaging/Resample.h), because the
// service's scalers point-sample when they shrink and fine detail turns into
// moire.
//
// Shape of the work:
//  * A file to decode is opened once, its header checked against our bounds
//    (imaging/PictureHeader.h) before the decoder sees it, and its bytes
//    handed to the decoder from memory, so what is checked is what is
//    decoded. The decoded pixels are converted to 32-bit BGRA and composited
//    over white at once: every path shows transparency as white, and the
//    scaler then only ever sees opaque rows.
//  * The last decoded picture is kept, keyed by path, size and modification
//    time. Zoom steps and the Image size command render the same picture
//    over and over; a file that changed on disk is decoded again.
//  * Display renders are written straight into the bits of a 32-bit DIB
//    section; the picture for the handheld is rendered only for the cropped
//    window of the displayed size, then reduced to the requested pixel
//    format and encoded by the service.
#include "imaging/ImageOps.h"

#include "imaging/PictureHeader.h"
#include "imaging/PreparedPicture.h"
#include "imaging/Resample.h"
#include "toolkit/Text.h"

#include <gdiplus.h>
#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

struct DecodedPicture {
    imaging::PixelBuffer pixels;  // opaque BGRA; transparency already composited over white
    float dpiX = 96.0f;
    float dpiY = 96.0f;
};

namespace {

using imaging::ConstPixelView;
using imaging::PixelBuffer;
using imaging::PixelView;

// The largest crop the JPEG format can hold on a side.
constexpr int kMaxJpegSide = 65535;

using PicturePtr = DecodedPictureRef;

struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;
    bool operator==(const FileStamp& o) const { return size == o.size && writeTime == o.writeTime; }
};

std::uint64_t Join(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

// Reads through a file handle at explicit offsets.
class FileByteSource : public imaging::ByteSource {
public:
    FileByteSource(HANDLE file, std::uint64_t size) : m_file(file), m_size(size) {}
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
        if (offset >= m_size) return 0;
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
        std::size_t done = 0;
        while (done < count) {
            OVERLAPPED at{};
            const std::uint64_t pos = offset + done;
            at.Offset = static_cast<DWORD>(pos);
            at.OffsetHigh = static_cast<DWORD>(pos >> 32);
            DWORD got = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
            if (!::ReadFile(m_file, static_cast<std::uint8_t*>(buffer) + done, want, &got, &at) || got == 0) break;
            done += got;
        }
        return done;
    }
    std::uint64_t Size() const override { return m_size; }

private:
    HANDLE m_file;
    std::uint64_t m_size;
};

// Copies the decoded bitmap's pixels out as 32-bit straight-alpha BGRA.
bool CopyPixels(Gdiplus::Bitmap& bitmap, PixelBuffer& out) {
    const int w = out.width, h = out.height;
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(w);
    data.Height = static_cast<UINT>(h);
    data.Stride = out.Stride();
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = out.bgra.data();
    // Converted straight into our buffer, without a second full copy.
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                        PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
        return bitmap.UnlockBits(&data) == Gdiplus::Ok;
    }
    Gdiplus::BitmapData locked{};
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &locked) != Gdiplus::Ok) return false;
    for (int y = 0; y < h; ++y) {
        std::memcpy(out.bgra.data() + static_cast<std::size_t>(y) * out.Stride(),
                    static_cast<const std::uint8_t*>(locked.Scan0) + static_cast<std::ptrdiff_t>(y) * locked.Stride,
                    static_cast<std::size_t>(w) * 4);
    }
    bitmap.UnlockBits(&locked);
    return true;
}

// Drops a COM reference at the end of a scope.
template <class T>
struct ComRelease {
    T* p = nullptr;
    ~ComRelease() {
        if (p) p->Release();
    }
};

// A JPEG decoded by the platform's imaging components, which the service
// itself decodes with, straight into our buffer. Through the service the
// decoder's own buffer and the service's bitmap would both be held beside
// ours while the copy is taken (about 2.5 times the 32-bit picture for a
// 200-megapixel photo, and two extra conversion passes); this way only the
// decoder's buffer is. False leaves the decoding to the service.
bool DecodeJpegDirect(IStream* stream, DecodedPicture& out) {
    // The components need COM on this thread; whatever apartment a caller
    // already has is kept.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    struct Uninit {
        bool on;
        ~Uninit() {
            if (on) ::CoUninitialize();
        }
    } uninit{SUCCEEDED(com)};
    ComRelease<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory.p))))
        return false;
    ComRelease<IWICBitmapDecoder> decoder;
    if (FAILED(factory.p->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder.p)))
        return false;
    ComRelease<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder.p->GetFrame(0, &frame.p))) return false;
    ComRelease<IWICBitmapSource> bgra;
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.p, &bgra.p))) return false;
    UINT w = 0, h = 0;
    if (FAILED(bgra.p->GetSize(&w, &h)) || !imaging::IsDecodableSize(w, h)) return false;
    try {
        out.pixels.width = static_cast<int>(w);
        out.pixels.height = static_cast<int>(h);
        out.pixels.bgra.resize(static_cast<std::size_t>(w) * h * 4);
    } catch (const std::bad_alloc&) {
        out.pixels = PixelBuffer{};
        return false;
    }
    // In bands, so that the converter's own buffer stays small.
    const UINT stride = w * 4;
    constexpr UINT kBand = 256;
    for (UINT y = 0; y < h; y += kBand) {
        const UINT rows = std::min(kBand, h - y);
        const WICRect band{0, static_cast<INT>(y), static_cast<INT>(w), static_cast<INT>(rows)};
        if (FAILED(bgra.p->CopyPixels(&band, stride, stride * rows,
                                      out.pixels.bgra.data() + static_cast<std::size_t>(y) * stride))) {
            out.pixels = PixelBuffer{};
            return false;
        }
    }
    double dx = 0.0, dy = 0.0;
    if (SUCCEEDED(frame.p->GetResolution(&dx, &dy)) && dx > 0.0 && dy > 0.0) {
        out.dpiX = static_cast<float>(dx);
        out.dpiY = static_cast<float>(dy);
    }
    // A JPEG has no transparency: every pixel is opaque already.
    for (std::size_t i = 3; i < out.pixels.bgra.size(); i += 4) out.pixels.bgra[i] = 255;
    return true;
}

// Opens, checks and decodes one file. `opened` tells whether the file could
// be opened at all (only then is `stamp` meaningful).
PicturePtr DecodeFile(const std::wstring& path, FileStamp* stamp, bool* opened) {
    *opened = false;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    struct CloseOnExit {
        HANDLE h;
        ~CloseOnExit() { ::CloseHandle(h); }
    } closer{file};

    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return nullptr;
    *opened = true;
    stamp->size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    stamp->writeTime = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    if (stamp->size == 0 || stamp->size > imaging::kMaxPictureFileBytes) return nullptr;

    FileByteSource source(file, stamp->size);
    imaging::PictureHeader header;
    if (!imaging::ReadPictureHeader(source, &header)) return nullptr;
    if (!imaging::IsDecodableSize(header.width, header.height)) return nullptr;

    // The whole file into memory the stream owns, then decoded from there.
    const SIZE_T bytes = static_cast<SIZE_T>(stamp->size);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return nullptr;
    void* p = ::GlobalLock(memory);
    const bool read = p && source.ReadAt(0, p, bytes) == bytes;
    if (p) ::GlobalUnlock(memory);
    if (!read) {
        ::GlobalFree(memory);
        return nullptr;
    }
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, &stream)) || !stream) {
        ::GlobalFree(memory);
        return nullptr;
    }
    struct ReleaseOnExit {
        IStream* s;
        ~ReleaseOnExit() { s->Release(); }
    } releaser{stream};

    auto picture = std::make_shared<DecodedPicture>();
    if (header.format == imaging::PictureFormat::kJpeg && DecodeJpegDirect(stream, *picture)) return picture;
    LARGE_INTEGER start{};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return nullptr;
    bool opaque = false;
    {
        // The service's bitmap lives only until our copy is taken: the kept
        // pixels are the one copy of the picture.
        Gdiplus::Bitmap bitmap(stream, FALSE);  // no embedded colour management
        if (bitmap.GetLastStatus() != Gdiplus::Ok) return nullptr;
        const UINT w = bitmap.GetWidth(), h = bitmap.GetHeight();
        if (!imaging::IsDecodableSize(w, h)) return nullptr;
        try {
            picture->pixels.width = static_cast<int>(w);
            picture->pixels.height = static_cast<int>(h);
            picture->pixels.bgra.resize(static_cast<std::size_t>(w) * h * 4);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        if (!CopyPixels(bitmap, picture->pixels)) return nullptr;
        const Gdiplus::PixelFormat format = bitmap.GetPixelFormat();
        opaque = format == PixelFormat24bppRGB || format == PixelFormat48bppRGB;
        const float dx = bitmap.GetHorizontalResolution(), dy = bitmap.GetVerticalResolution();
        if (dx > 0.0f && dy > 0.0f) {
            picture->dpiX = dx;
            picture->dpiY = dy;
        }
    }
    // Formats without alpha come out opaque already; the pass over every
    // pixel of a big photo is saved.
    if (!opaque) imaging::FlattenOverWhite(picture->pixels.MutableView());
    return picture;
}

// The full form of a path (the path itself when that fails).
std::wstring FullPath(const std::wstring& path) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    const DWORD m = ::GetFullPathNameW(path.c_str(), n, &out[0], nullptr);
    if (m == 0 || m >= n) return path;
    out.resize(m);
    return out;
}

// The one picture kept decoded.
struct PictureCache {
    std::mutex lock;
    bool valid = false;
    std::wstring path;
    FileStamp stamp;
    PicturePtr picture;
};

PictureCache& Cache() {
    static PictureCache cache;
    return cache;
}

PicturePtr GetDecodedPicture(const std::string& path) {
    if (path.empty()) return nullptr;
    // Keyed by the full path: a relative one names another file once the
    // current folder changes.
    const std::wstring wide = FullPath(tk::ToWide(path));
    PictureCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);

    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attributes) ||
        (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (cache.valid && cache.path == wide) {
            cache.valid = false;
            cache.picture.reset();
        }
        return nullptr;
    }
    const FileStamp now{Join(attributes.nFileSizeHigh, attributes.nFileSizeLow),
                        Join(attributes.ftLastWriteTime.dwHighDateTime, attributes.ftLastWriteTime.dwLowDateTime)};
    if (cache.valid && cache.path == wide && cache.stamp == now) return cache.picture;

    // Let go of the old pixels before decoding, so two pictures are not held
    // at once (a caller still using them keeps its own reference).
    cache.valid = false;
    cache.picture.reset();

    FileStamp stamp;
    bool opened = false;
    PicturePtr picture = DecodeFile(wide, &stamp, &opened);
    if (opened) {  // remembered even when it failed: a broken file is not re-read until it changes
        cache.valid = true;
        cache.path = wide;
        cache.stamp = stamp;
        cache.picture = picture;
    }
    return picture;
}

// ---- rotate/flip ------------------------------------------------------------

// GDI+ rotate-flip codes: a horizontal flip when code & 4 and (code & 3)
// quarter turns clockwise, flip first as the service's own RotateFlip does
// (so Rotate90FlipX takes its top-left pixel from the source's bottom-right
// corner; it is not a transpose). Anything else means no change.
bool RotateFlip(const PixelBuffer& src, int code, PixelBuffer& out) {
    const int turns = code & 3;
    const bool flip = (code & 4) != 0;
    const int sw = src.width, sh = src.height;
    const int dw = (turns & 1) ? sh : sw;
    const int dh = (turns & 1) ? sw : sh;
    try {
        out.width = dw;
        out.height = dh;
        out.bgra.resize(static_cast<std::size_t>(dw) * dh * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint32_t* s = reinterpret_cast<const std::uint32_t*>(src.bgra.data());
    std::uint32_t* d = reinterpret_cast<std::uint32_t*>(out.bgra.data());
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            int sx = x, sy = y;  // in the flipped source
            switch (turns) {
                case 1: sx = y; sy = sh - 1 - x; break;
                case 2: sx = sw - 1 - x; sy = sh - 1 - y; break;
                case 3: sx = sw - 1 - y; sy = x; break;
                default: break;
            }
            if (flip) sx = sw - 1 - sx;
            d[static_cast<std::size_t>(y) * dw + x] = s[static_cast<std::size_t>(sy) * sw + sx];
        }
    }
    return true;
}

// The picture to scale: the decoded one, or a rotated copy of it in `holder`.
const PixelBuffer* Oriented(const PixelBuffer& src, int code, PixelBuffer& holder) {
    if (code <= 0 || code > 7) return &src;  // 0, and codes the service would refuse
    return RotateFlip(src, code, holder) ? &holder : nullptr;
}

// ---- pixel formats ------------------------------------------------------------

// Formats that keep 8 bits per colour channel: opaque pixels pass unchanged.
bool KeepsFullColour(int format) {
    return format == PixelFormat24bppRGB || format == PixelFormat32bppRGB || format == PixelFormat32bppARGB ||
           format == PixelFormat32bppPARGB;
}

// Copies `pixels` into (mode write) or out of (mode read) a service bitmap,
// through the caller's buffer as 32-bit ARGB; the service converts between
// that and the bitmap's own format.
bool CopyThroughUserBuffer(Gdiplus::Bitmap& bitmap, const PixelView& pixels, UINT mode) {
    Gdiplus::Rect all(0, 0, pixels.width, pixels.height);
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(pixels.width);
    data.Height = static_cast<UINT>(pixels.height);
    data.Stride = pixels.stride;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = pixels.scan0;
    if (bitmap.LockBits(&all, mode | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return false;
    return bitmap.UnlockBits(&data) == Gdiplus::Ok;
}

// Puts opaque BGRA pixels into a new service bitmap of `format` (the service
// converts, which is where the 16-bit reduction happens). Null when the
// service cannot make or fill a bitmap of that format.
std::unique_ptr<Gdiplus::Bitmap> MakeBitmapInFormat(const PixelView& pixels, int format) {
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(pixels.width, pixels.height, static_cast<Gdiplus::PixelFormat>(format));
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    if (!CopyThroughUserBuffer(*bitmap, pixels, Gdiplus::ImageLockModeWrite)) return nullptr;
    return bitmap;
}

// Gives display pixels the look of `format` (for example the 5 bits per
// channel of 0x21005) by a round trip through a service bitmap of it.
// Full-colour formats need nothing; a format the service cannot fill leaves
// the pixels as they are.
void ApplyPixelFormat(const PixelView& pixels, int format) {
    if (KeepsFullColour(format)) return;
    std::unique_ptr<Gdiplus::Bitmap> bitmap = MakeBitmapInFormat(pixels, format);
    // The read-back may leave the alpha byte at anything; the DIB ignores it.
    if (bitmap) CopyThroughUserBuffer(*bitmap, pixels, Gdiplus::ImageLockModeRead);
}

// ---- device-dependent bitmaps -------------------------------------------------

// A top-down 32-bit DIB section filled with white; its bits in *bits.
HBITMAP CreateWhiteDib(int width, int height, std::uint8_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    if (!bitmap || !p) {
        if (bitmap) ::DeleteObject(bitmap);
        return nullptr;
    }
    ::GdiFlush();
    std::memset(p, 0xFF, static_cast<std::size_t>(width) * height * 4);
    *bits = static_cast<std::uint8_t*>(p);
    return bitmap;
}

bool TargetSize(const RECT& target, int* width, int* height) {
    const long long w = static_cast<long long>(target.right) - target.left;
    const long long h = static_cast<long long>(target.bottom) - target.top;
    if (w <= 0 || h <= 0 || w > imaging::kMaxSide || h > imaging::kMaxSide) return false;
    if (w * h > imaging::kMaxOutputPixels) return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

// Selects the bitmap into a new memory DC compatible with `reference`; the
// bitmap is deleted if that fails.
HDC WrapInDC(HBITMAP bitmap, HDC reference) {
    HDC dc = ::CreateCompatibleDC(reference);
    if (!dc || !::SelectObject(dc, bitmap)) {
        if (dc) ::DeleteDC(dc);
        ::DeleteObject(bitmap);
        return nullptr;
    }
    return dc;
}

// The pixels of a device-dependent bitmap as opaque BGRA (any alpha byte is
// ignored, as the service does for a bitmap made from a handle).
bool ReadBitmapPixels(HBITMAP bitmap, PixelBuffer& out) {
    BITMAP bm{};
    if (!bitmap || ::GetObjectW(bitmap, sizeof bm, &bm) == 0) return false;
    const long long w = bm.bmWidth, h = bm.bmHeight < 0 ? -static_cast<long long>(bm.bmHeight) : bm.bmHeight;
    if (w <= 0 || h <= 0 || !imaging::IsDecodableSize(static_cast<std::uint32_t>(std::min<long long>(w, UINT_MAX)),
                                                      static_cast<std::uint32_t>(std::min<long long>(h, UINT_MAX))))
        return false;
    try {
        out.width = static_cast<int>(w);
        out.height = static_cast<int>(h);
        out.bgra.assign(static_cast<std::size_t>(w) * h * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = out.width;
    info.bmiHeader.biHeight = -out.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = ::GetDC(nullptr);
    const int lines = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(out.height), out.bgra.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (lines != out.height) return false;
    for (std::size_t i = 3; i < out.bgra.size(); i += 4) out.bgra[i] = 255;
    return true;
}

// Whether two paths name the same file, by their full forms, ignoring case.
bool IsSameFilePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring fa = FullPath(a), fb = FullPath(b);
    return ::CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()), fb.c_str(), static_cast<int>(fb.size()),
                                  TRUE) == CSTR_EQUAL;
}

}  // namespace

// ---- public operations --------------------------------------------------------

void DeleteEarlierPreparedFile(const std::string& preparedPath, const std::string& picturePath) {
    if (preparedPath.empty()) return;
    const std::wstring wide = tk::ToWide(preparedPath);
    if (IsSameFilePath(wide, tk::ToWide(picturePath))) return;  // never the user's own picture
    ::DeleteFileW(wide.c_str());  // a missing file is no error
}

int FindEncoder(const wchar_t* mimeType, CLSID* clsid) {
    if (!mimeType) return -1;
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return -1;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[bytes]);
    if (!buffer) return -1;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return -1;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, mimeType) == 0) {
            if (clsid) *clsid = codecs[i].Clsid;
            return static_cast<int>(i);
        }
    }
    return -1;
}

HBITMAP LoadPictureBitmap(const std::string& path) {
    PicturePtr picture = GetDecodedPicture(path);
    if (!picture) return nullptr;
    const PixelBuffer& px = picture->pixels;
    std::uint8_t* bits = nullptr;
    HBITMAP bitmap = CreateWhiteDib(px.width, px.height, &bits);
    if (!bitmap) return nullptr;
    std::memcpy(bits, px.bgra.data(), px.bgra.size());
    return bitmap;
}

SIZE GetBitmapSize(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || ::GetObjectW(bitmap, sizeof bm, &bm) == 0) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight};
}

bool GetPictureSize(const std::string& path, SIZE* size) {
    PicturePtr picture = GetDecodedPicture(path);
    if (size) *size = picture ? SIZE{picture->pixels.width, picture->pixels.height} : SIZE{0, 0};
    return picture != nullptr;
}

DecodedPictureRef OpenDecodedPicture(const std::string& path) { return GetDecodedPicture(path); }

DecodedPictureRef MakeDecodedPicture(PixelBuffer pixels) {
    auto picture = std::make_shared<DecodedPicture>();
    picture->pixels = std::move(pixels);
    return picture;
}

imaging::Size DecodedPictureSize(const DecodedPictureRef& picture) {
    return picture ? imaging::Size{picture->pixels.width, picture->pixels.height} : imaging::Size{};
}

bool DrawFittedPart(HDC dc, int x, int y, const DecodedPicture& picture, imaging::Size target,
                    const imaging::Rect& window) {
    PixelBuffer part;
    try {
        part.width = window.Width();
        part.height = window.Height();
        if (part.width <= 0 || part.height <= 0 ||
            static_cast<long long>(part.width) * part.height > imaging::kMaxOutputPixels)
            return false;
        part.bgra.resize(static_cast<std::size_t>(part.width) * part.height * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!imaging::ResampleFittedWindowInto(picture.pixels.View(), target, window, part.MutableView())) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = part.width;
    info.bmiHeader.biHeight = -part.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return ::SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(part.width), static_cast<DWORD>(part.height), 0, 0, 0,
                               static_cast<UINT>(part.height), part.bgra.data(), &info, DIB_RGB_COLORS) != 0;
}

void ForgetDecodedPicture() {
    PictureCache& cache = Cache();
    std::lock_guard<std::mutex> guard(cache.lock);
    cache.valid = false;
    cache.path.clear();
    cache.picture.reset();
}

HDC RenderPictureFitted(const std::string& path, HDC reference, const RECT& target, int rotateFlip, int pixelFormat) {
    int wt = 0, ht = 0;
    if (!TargetSize(target, &wt, &ht)) return nullptr;
    std::uint8_t* bits = nullptr;
    HBITMAP bitmap = CreateWhiteDib(wt, ht, &bits);
    if (!bitmap) return nullptr;
    const PixelView canvas{bits, wt, ht, wt * 4};

    if (PicturePtr picture = GetDecodedPicture(path)) {
        PixelBuffer rotated;
        if (const PixelBuffer* src = Oriented(picture->pixels, rotateFlip, rotated)) {
            const imaging::Rect fit =
                imaging::FitRect(imaging::Size{src->width, src->height}, imaging::Size{wt, ht});
            if (!fit.IsEmpty()) {
                const int fw = fit.Width(), fh = fit.Height();
                const PixelView into{bits + static_cast<std::size_t>(fit.top) * canvas.stride + 4 * static_cast<std::size_t>(fit.left),
                                     fw, fh, canvas.stride};
                imaging::ResampleWindowInto(src->View(), fw, fh, imaging::Rect{0, 0, fw, fh}, into);
            }
        }
    }
    ApplyPixelFormat(canvas, pixelFormat);
    return WrapInDC(bitmap, reference);
}

HDC RenderBitmapStretched(HBITMAP source, HDC reference, const RECT& target, int rotateFlip, int pixelFormat) {
    int wt = 0, ht = 0;
    if (!TargetSize(target, &wt, &ht)) return nullptr;
    std::uint8_t* bits = nullptr;
    HBITMAP bitmap = CreateWhiteDib(wt, ht, &bits);
    if (!bitmap) return nullptr;
    const PixelView canvas{bits, wt, ht, wt * 4};

    PixelBuffer pixels;
    if (ReadBitmapPixels(source, pixels)) {
        PixelBuffer rotated;
        if (const PixelBuffer* src = Oriented(pixels, rotateFlip, rotated))
            imaging::ResampleWindowInto(src->View(), wt, ht, imaging::Rect{0, 0, wt, ht}, canvas);
    }
    ApplyPixelFormat(canvas, pixelFormat);
    return WrapInDC(bitmap, reference);
}

void ReleaseRenderedDC(HDC dc) {
    if (!dc) return;
    // Once the DC is gone the bitmap is no longer selected anywhere and can go.
    HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    ::DeleteDC(dc);
    if (bitmap) ::DeleteObject(bitmap);
}

bool PrepareDevicePicture(const std::string& picturePath, const PlacedPicture& placed, int screenWidth,
                          int screenHeight, const std::string& outputFolder, int pixelFormat,
                          std::string* writtenPath) {
    const std::string outPath = quorvel::PreparedPicturePath(outputFolder, picturePath);
    if (writtenPath) *writtenPath = outPath;
    // No folder would put the file (or the deletion below) in the root of
    // the current drive.
    if (outputFolder.empty()) return false;
    const std::wstring wideOut = tk::ToWide(outPath);
    // Whatever goes wrong, no file of that name is left to be sent - unless
    // that name is the picture itself (a picture opened from the Sent
    // Pictures folder), which is never deleted.
    const bool outIsPicture = IsSameFilePath(wideOut, tk::ToWide(picturePath));
    auto fail = [&wideOut, outIsPicture]() {
        if (!outIsPicture) ::DeleteFileW(wideOut.c_str());
        return false;
    };

    const long long right = static_cast<long long>(placed.left) + placed.width;
    const long long bottom = static_cast<long long>(placed.top) + placed.height;
    if (placed.width <= 0 || placed.height <= 0 || placed.width > imaging::kMaxSide || placed.height > imaging::kMaxSide ||
        right > INT_MAX || bottom > INT_MAX)
        return fail();
    const imaging::Rect crop = imaging::DeviceCropRect(
        imaging::Rect{placed.left, placed.top, static_cast<int>(right), static_cast<int>(bottom)},
        imaging::Size{screenWidth, screenHeight});
    if (crop.IsEmpty()) return fail();
    const int cw = crop.Width(), ch = crop.Height();
    if (cw > kMaxJpegSide || ch > kMaxJpegSide || static_cast<long long>(cw) * ch > imaging::kMaxOutputPixels)
        return fail();

    PicturePtr picture = GetDecodedPicture(picturePath);
    if (!picture) return fail();

    // Only the window that is sent, with the pixels the whole displayed
    // picture would have there; parts beyond the picture stay white.
    PixelBuffer window;
    if (!imaging::ResampleWindow(picture->pixels.View(), placed.width, placed.height, crop, window)) return fail();

    CLSID jpeg{};
    if (FindEncoder(L"image/jpeg", &jpeg) < 0) return fail();
    std::unique_ptr<Gdiplus::Bitmap> out = MakeBitmapInFormat(window.MutableView(), pixelFormat);
    if (!out) return fail();
    out->SetResolution(picture->dpiX, picture->dpiY);
    if (out->Save(wideOut.c_str(), &jpeg, nullptr) != Gdiplus::Ok) return fail();
    return true;
}
