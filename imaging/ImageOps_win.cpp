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

#include "imaging/Orientation.h"
#include "imaging/PictureExtensions.h"
#include "imaging/PictureHeader.h"
#include "imaging/PreparedPicture.h"
#include "imaging/Resample.h"
#include "toolkit/FileIdentity.h"
#include "toolkit/Handles.h"
#include "toolkit/Text.h"

#include <gdiplus.h>
#include <wincodec.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
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

// Rows converted in one step, into a band buffer when the picture has to
// be turned: the band is all the memory a turn costs beside the kept copy.
constexpr int kBandRows = 256;
// A picture that is turned goes through a band small enough to stay in the
// processor's cache between the conversion and the turn.
constexpr int kTurnBandRows = 32;

// Room for the upright picture of a stored w x h; false when there is none.
bool AllocateUpright(PixelBuffer& out, int orientation, UINT w, UINT h) {
    const imaging::Size size = imaging::UprightSize(orientation, static_cast<int>(w), static_cast<int>(h));
    try {
        out.width = size.width;
        out.height = size.height;
        out.bgra.resize(static_cast<std::size_t>(w) * h * 4);
    } catch (const std::bad_alloc&) {
        out = PixelBuffer{};
        return false;
    }
    return true;
}

// Copies the decoded bitmap's pixels out as 32-bit straight-alpha BGRA,
// turned upright on the way.
bool CopyPixels(Gdiplus::Bitmap& bitmap, int orientation, PixelBuffer& out) {
    const int w = static_cast<int>(bitmap.GetWidth()), h = static_cast<int>(bitmap.GetHeight());
    auto lock = [&bitmap, w](int y, int rows, std::uint8_t* into) {
        Gdiplus::Rect part(0, y, w, rows);
        Gdiplus::BitmapData data{};
        data.Width = static_cast<UINT>(w);
        data.Height = static_cast<UINT>(rows);
        data.Stride = w * 4;
        data.PixelFormat = PixelFormat32bppARGB;
        data.Scan0 = into;
        // Converted straight into our buffer, without a copy of the service's.
        if (bitmap.LockBits(&part, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                            PixelFormat32bppARGB, &data) == Gdiplus::Ok)
            return bitmap.UnlockBits(&data) == Gdiplus::Ok;
        Gdiplus::BitmapData locked{};
        if (bitmap.LockBits(&part, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &locked) != Gdiplus::Ok)
            return false;
        for (int r = 0; r < rows; ++r)
            std::memcpy(into + static_cast<std::size_t>(r) * w * 4,
                        static_cast<const std::uint8_t*>(locked.Scan0) + static_cast<std::ptrdiff_t>(r) * locked.Stride,
                        static_cast<std::size_t>(w) * 4);
        bitmap.UnlockBits(&locked);
        return true;
    };
    if (orientation == imaging::kOrientationAsStored) return lock(0, h, out.bgra.data());
    std::vector<std::uint8_t> band;
    try {
        band.resize(static_cast<std::size_t>(w) * std::min(kTurnBandRows, h) * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int y = 0; y < h; y += kTurnBandRows) {
        const int rows = std::min(kTurnBandRows, h - y);
        if (!lock(y, rows, band.data())) return false;
        if (!imaging::PlaceStoredRows(ConstPixelView{band.data(), w, rows, w * 4}, y, h, orientation, out.MutableView()))
            return false;
    }
    return true;
}

// Turns COM on for this thread while it lives; whatever apartment a caller
// already has is kept.
struct ComScope {
    bool on;
    ComScope() : on(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (on) ::CoUninitialize();
    }
};

// The orientation the components report for a frame as the photo's
// orientation (HEIF, WebP, JPEG XR, DNG, ...); 1 when they report none.
int WicPhotoOrientation(IWICBitmapFrameDecode* frame) {
    tk::ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(reader.Put())) || !reader) return imaging::kOrientationAsStored;
    for (const wchar_t* name : {L"System.Photo.Orientation", L"/ifd/{ushort=274}"}) {
        PROPVARIANT value;
        ::PropVariantInit(&value);
        int orientation = 0;
        if (SUCCEEDED(reader->GetMetadataByName(name, &value))) {
            if (value.vt == VT_UI2) orientation = value.uiVal;
            else if (value.vt == VT_UI4) orientation = static_cast<int>(std::min<ULONG>(value.ulVal, 9));
        }
        ::PropVariantClear(&value);
        if (orientation != 0) return orientation >= 1 && orientation <= 8 ? orientation : imaging::kOrientationAsStored;
    }
    return imaging::kOrientationAsStored;
}

// Whether a stored pixel format of the components has no transparency at
// all. Palette formats may have a transparent entry (GIF), so only formats
// without alpha and without palette count.
bool IsOpaqueWicFormat(const WICPixelFormatGUID& f) {
    for (const GUID& opaque : {GUID_WICPixelFormat24bppBGR, GUID_WICPixelFormat24bppRGB, GUID_WICPixelFormat32bppBGR,
                               GUID_WICPixelFormat48bppRGB, GUID_WICPixelFormat8bppGray, GUID_WICPixelFormat16bppGray,
                               GUID_WICPixelFormat32bppCMYK, GUID_WICPixelFormat16bppBGR555,
                               GUID_WICPixelFormat16bppBGR565, GUID_WICPixelFormatBlackWhite})
        if (::IsEqualGUID(f, opaque)) return true;
    return false;
}

// Decodes the first frame through the platform's imaging components
// straight into our buffer, upright, in bands, so that beside the kept copy
// only the decoder's own buffer and one band are held. `orientation` is the
// tag we read ourselves (JPEG, TIFF), or 0 to ask the components. False
// leaves the decoding to the service (no decoder, or a frame beyond our
// bounds, which is then refused there too).
bool DecodeWithWic(IStream* stream, int orientation, DecodedPicture& out, bool* opaque) {
    ComScope com;
    tk::ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.PutVoid())))
        return false;
    tk::ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put())))
        return false;
    tk::ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.Put()))) return false;
    UINT w = 0, h = 0;
    if (FAILED(frame->GetSize(&w, &h)) || !imaging::IsDecodableSize(w, h)) return false;
    if (orientation == 0) orientation = WicPhotoOrientation(frame.Get());
    WICPixelFormatGUID stored{};
    *opaque = SUCCEEDED(frame->GetPixelFormat(&stored)) && IsOpaqueWicFormat(stored);
    const bool turned = orientation != imaging::kOrientationAsStored;
    // A turned photo in 24-bit colour (every JPEG from a camera) is read in
    // its own format and converted while it is turned: one pass, as the
    // conversion alone costs a photo that is not turned.
    const bool bgrTurn = turned && ::IsEqualGUID(stored, GUID_WICPixelFormat24bppBGR);
    tk::ComPtr<IWICBitmapSource> bgra;
    if (bgrTurn) {
        frame->AddRef();
        bgra.Attach(frame.Get());
    } else if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), bgra.Put()))) {
        return false;
    }
    if (!AllocateUpright(out.pixels, orientation, w, h)) return false;
    const UINT stride = w * (bgrTurn ? 3 : 4);
    std::vector<std::uint8_t> band;
    try {
        if (turned) band.resize(static_cast<std::size_t>(stride) * std::min<UINT>(kTurnBandRows, h));
    } catch (const std::bad_alloc&) {
        out.pixels = PixelBuffer{};
        return false;
    }
    const UINT bandRows = turned ? kTurnBandRows : kBandRows;
    for (UINT y = 0; y < h; y += bandRows) {
        const UINT rows = std::min<UINT>(bandRows, h - y);
        const WICRect part{0, static_cast<INT>(y), static_cast<INT>(w), static_cast<INT>(rows)};
        std::uint8_t* into = turned ? band.data() : out.pixels.bgra.data() + static_cast<std::size_t>(y) * stride;
        bool placed = SUCCEEDED(bgra->CopyPixels(&part, stride, stride * rows, into));
        if (placed && bgrTurn)
            placed = imaging::PlaceStoredBgrRows(into, static_cast<int>(w), static_cast<int>(rows), static_cast<int>(stride),
                                                 static_cast<int>(y), static_cast<int>(h), orientation,
                                                 out.pixels.MutableView());
        else if (placed && turned)
            placed = imaging::PlaceStoredRows(ConstPixelView{into, static_cast<int>(w), static_cast<int>(rows),
                                                             static_cast<int>(stride)},
                                              static_cast<int>(y), static_cast<int>(h), orientation,
                                              out.pixels.MutableView());
        if (!placed) {
            out.pixels = PixelBuffer{};
            return false;
        }
    }
    double dx = 0.0, dy = 0.0;
    if (SUCCEEDED(frame->GetResolution(&dx, &dy)) && dx > 0.0 && dy > 0.0) {
        // The resolution follows the turn.
        const bool swap = imaging::SwapsSides(orientation);
        out.dpiX = static_cast<float>(swap ? dy : dx);
        out.dpiY = static_cast<float>(swap ? dx : dy);
    }
    // Opaque formats are filled in whole; the alpha byte the converter
    // leaves is not relied upon.
    if (*opaque && !bgrTurn)
        for (std::size_t i = 3; i < out.pixels.bgra.size(); i += 4) out.pixels.bgra[i] = 255;
    return true;
}

// Opens, checks and decodes one file. `opened` tells whether the file could
// be opened at all (only then is `stamp` meaningful).
PicturePtr DecodeFile(const std::wstring& path, FileStamp* stamp, bool* opened) {
    *opened = false;
    const tk::UniqueHandle owned(::CreateFileW(path.c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owned) return nullptr;
    const HANDLE file = owned.Get();

    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return nullptr;
    *opened = true;
    stamp->size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    stamp->writeTime = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    if (stamp->size == 0 || stamp->size > imaging::kMaxPictureFileBytes) return nullptr;

    FileByteSource source(file, stamp->size);
    // The five formats of our own are checked against our bounds before any
    // decoder sees them; any other format is left to the platform's imaging
    // components alone, which report a frame's size before they decode it.
    imaging::PictureHeader header;
    const bool ownFormat = imaging::ReadPictureHeader(source, &header);
    if (ownFormat && !imaging::IsDecodableSize(header.width, header.height)) return nullptr;
    const bool tagged = header.format == imaging::PictureFormat::kJpeg || header.format == imaging::PictureFormat::kTiff;
    const int orientation = tagged ? imaging::ReadOrientation(source) : 0;

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
    tk::ComPtr<IStream> owner;
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, owner.Put())) || !owner) {
        ::GlobalFree(memory);
        return nullptr;
    }
    IStream* const stream = owner.Get();  // the stream owns the memory from here

    auto picture = std::make_shared<DecodedPicture>();
    bool opaque = false;
    if (!DecodeWithWic(stream, orientation, *picture, &opaque)) {
        // The service decodes what the components have no decoder for; it
        // has no bounds of its own, so only our own formats go to it.
        if (!ownFormat) return nullptr;
        LARGE_INTEGER start{};
        if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return nullptr;
        // The service's bitmap lives only until our copy is taken: the kept
        // pixels are the one copy of the picture.
        Gdiplus::Bitmap bitmap(stream, FALSE);  // no embedded colour management
        if (bitmap.GetLastStatus() != Gdiplus::Ok) return nullptr;
        const UINT w = bitmap.GetWidth(), h = bitmap.GetHeight();
        const int turn = orientation == 0 ? imaging::kOrientationAsStored : orientation;
        if (!imaging::IsDecodableSize(w, h) || !AllocateUpright(picture->pixels, turn, w, h)) return nullptr;
        if (!CopyPixels(bitmap, turn, picture->pixels)) return nullptr;
        const Gdiplus::PixelFormat format = bitmap.GetPixelFormat();
        opaque = format == PixelFormat24bppRGB || format == PixelFormat48bppRGB;
        const float dx = bitmap.GetHorizontalResolution(), dy = bitmap.GetVerticalResolution();
        if (dx > 0.0f && dy > 0.0f) {
            const bool swap = imaging::SwapsSides(turn);
            picture->dpiX = swap ? dy : dx;
            picture->dpiY = swap ? dx : dy;
        }
    }
    // Formats without alpha come out opaque already; the pass over every
    // pixel of a big photo is saved.
    if (!opaque) imaging::FlattenOverWhite(picture->pixels.MutableView());
    return picture;
}

// The full form of a path (the path itself when that fails).
// The one picture kept decoded. A decode runs outside the lock, so a
// thread that only wants the kept picture never waits for another's decode;
// one decode at a time is in flight, and a thread that wants the picture
// being decoded waits for that decode instead of making its own.
struct PictureCache {
    std::mutex lock;
    std::condition_variable decoded;  // a decode in flight has published
    bool valid = false;
    std::wstring path;
    FileStamp stamp;
    PicturePtr picture;
    bool decoding = false;
    std::atomic<int> decodes{0};
};

// Never destroyed: a mail thread may still use it while the process ends.
PictureCache& Cache() {
    static PictureCache* cache = new PictureCache;
    return *cache;
}

PicturePtr GetDecodedPicture(const std::wstring& path) {
    if (path.empty()) return nullptr;
    // Keyed by the full path: a relative one names another file once the
    // current folder changes.
    const std::wstring wide = tk::FullPath(path);
    PictureCache& cache = Cache();
    std::unique_lock<std::mutex> guard(cache.lock);
    for (;;) {
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
        if (!cache.decoding) break;
        // Another decode is in flight (perhaps of this very file): its
        // result is looked at first, and two big pictures are never
        // decoded at once.
        cache.decoded.wait(guard);
    }

    // Let go of the old pixels before decoding, so two pictures are not held
    // at once (a caller still using them keeps its own reference).
    cache.valid = false;
    cache.picture.reset();
    cache.decoding = true;
    guard.unlock();

    FileStamp stamp;
    bool opened = false;
    PicturePtr picture;
    try {
        ++cache.decodes;
        picture = DecodeFile(wide, &stamp, &opened);
    } catch (...) {
        picture.reset();
        opened = false;
    }

    guard.lock();
    cache.decoding = false;
    if (opened) {  // remembered even when it failed: a broken file is not re-read until it changes
        cache.valid = true;
        cache.path = wide;
        cache.stamp = stamp;
        cache.picture = picture;
    }
    cache.decoded.notify_all();
    return picture;
}

// ---- rotate/flip ------------------------------------------------------------

// The picture to scale: the decoded one, or a copy of it in `holder` turned
// as the service's rotate/flip code says (a horizontal flip when code & 4,
// then (code & 3) quarter turns clockwise; anything else means no change).
const PixelBuffer* Oriented(const PixelBuffer& src, int code, PixelBuffer& holder) {
    const int orientation = imaging::OrientationOfRotateFlip(code);
    if (orientation == imaging::kOrientationAsStored) return &src;
    if (!AllocateUpright(holder, orientation, static_cast<UINT>(src.width), static_cast<UINT>(src.height))) return nullptr;
    return imaging::PlaceStoredRows(src.View(), 0, src.height, orientation, holder.MutableView()) ? &holder : nullptr;
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
    BITMAPINFO info = tk::Bitmap32Info(width, height);
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
    BITMAPINFO info = tk::Bitmap32Info(out.width, out.height);
    HDC screen = ::GetDC(nullptr);
    const int lines = ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(out.height), out.bgra.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (lines != out.height) return false;
    for (std::size_t i = 3; i < out.bgra.size(); i += 4) out.bgra[i] = 255;
    return true;
}

}  // namespace

const std::vector<std::wstring>& InstalledPictureExtensions() {
    static const std::vector<std::wstring> extensions = [] {
        std::vector<std::wstring> lists;
        ComScope com;
        tk::ComPtr<IWICImagingFactory> factory;
        tk::ComPtr<IEnumUnknown> decoders;
        if (SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                         factory.PutVoid())) &&
            SUCCEEDED(factory->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault, decoders.Put()))) {
            for (;;) {
                tk::ComPtr<IUnknown> item;
                ULONG got = 0;
                if (decoders->Next(1, item.Put(), &got) != S_OK || got != 1) break;
                tk::ComPtr<IWICBitmapCodecInfo> info;
                if (FAILED(item->QueryInterface(IID_IWICBitmapCodecInfo, info.PutVoid()))) continue;
                UINT n = 0;
                if (FAILED(info->GetFileExtensions(0, nullptr, &n)) || n == 0 || n > 4096) continue;
                std::wstring list(n, L'\0');
                if (FAILED(info->GetFileExtensions(n, &list[0], &n))) continue;
                list.resize(std::wcslen(list.c_str()));
                lists.push_back(list);
            }
        }
        return imaging::PictureExtensions(lists);
    }();
    return extensions;
}



// ---- public operations --------------------------------------------------------

void DeleteEarlierPreparedFile(const std::wstring& preparedPath, const std::wstring& picturePath) {
    if (preparedPath.empty()) return;
    if (tk::IsSameFile(preparedPath, picturePath)) return;  // never the user's own picture
    ::DeleteFileW(preparedPath.c_str());  // a missing file is no error
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

HBITMAP LoadPictureBitmap(const std::wstring& path) {
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

bool GetPictureSize(const std::wstring& path, SIZE* size) {
    PicturePtr picture = GetDecodedPicture(path);
    if (size) *size = picture ? SIZE{picture->pixels.width, picture->pixels.height} : SIZE{0, 0};
    return picture != nullptr;
}

DecodedPictureRef OpenDecodedPicture(const std::wstring& path) { return GetDecodedPicture(path); }

int PictureDecodeCount() { return Cache().decodes.load(); }

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
    BITMAPINFO info = tk::Bitmap32Info(part.width, part.height);
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

HDC RenderPictureFitted(const std::wstring& path, HDC reference, const RECT& target, int rotateFlip, int pixelFormat) {
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

bool PrepareDevicePicture(const std::wstring& picturePath, const PlacedPicture& placed, int screenWidth,
                          int screenHeight, const std::wstring& outputFolder, int pixelFormat,
                          std::wstring* writtenPath) {
    const std::wstring outPath = quorvel::PreparedPicturePath(outputFolder, picturePath);
    if (writtenPath) *writtenPath = outPath;
    // No folder would put the file (or the deletion below) in the root of
    // the current drive.
    if (outputFolder.empty()) return false;
    const std::wstring& wideOut = outPath;
    // Whatever goes wrong, no file of that name is left to be sent - unless
    // that name is the picture itself (a picture opened from the Sent
    // Pictures folder), which is never deleted.
    const bool outIsPicture = tk::IsSameFile(wideOut, picturePath);
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
