// PictureHeader.cpp - see PictureHeader.h. Every read is bounds-checked
// through the byte source; walks over JPEG segments, GIF blocks and TIFF
// directory entries are bounded by the file's size or by a fixed count, so a
// hostile file can neither run past its end nor keep us looping.
#include "imaging/PictureHeader.h"

#include <algorithm>
#include <cstring>

namespace imaging {

std::size_t MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t count) {
    if (!m_data || offset >= m_size) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    std::memcpy(buffer, m_data + offset, n);
    return n;
}

namespace {

bool ReadExact(ByteSource& s, std::uint64_t offset, void* buffer, std::size_t count) {
    return s.ReadAt(offset, buffer, count) == count;
}

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t Be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

bool Finish(PictureFormat format, std::uint32_t width, std::uint32_t height, PictureHeader* header) {
    if (width == 0 || height == 0) return false;
    header->format = format;
    header->width = width;
    header->height = height;
    return true;
}

bool ReadPng(ByteSource& s, PictureHeader* header) {
    // Signature, then the first chunk, which must be IHDR of 13 bytes.
    std::uint8_t b[24];
    if (!ReadExact(s, 0, b, sizeof b)) return false;
    if (Be32(b + 8) != 13 || std::memcmp(b + 12, "IHDR", 4) != 0) return false;
    return Finish(PictureFormat::kPng, Be32(b + 16), Be32(b + 20), header);
}

bool ReadBmp(ByteSource& s, PictureHeader* header) {
    std::uint8_t b[26];
    if (!ReadExact(s, 0, b, 18)) return false;
    const std::uint32_t infoSize = Le32(b + 14);
    if (infoSize == 12) {  // the old core header: unsigned 16-bit sides
        if (!ReadExact(s, 18, b + 18, 4)) return false;
        return Finish(PictureFormat::kBmp, Le16(b + 18), Le16(b + 20), header);
    }
    if (infoSize < 16 || infoSize > 4096) return false;
    if (!ReadExact(s, 18, b + 18, 8)) return false;
    const std::int64_t width = static_cast<std::int32_t>(Le32(b + 18));
    std::int64_t height = static_cast<std::int32_t>(Le32(b + 22));
    if (height < 0) height = -height;  // top-down rows
    if (width <= 0 || height <= 0 || width > 0xFFFFFFFFLL || height > 0xFFFFFFFFLL) return false;
    return Finish(PictureFormat::kBmp, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                  header);
}

bool IsStartOfFrame(std::uint8_t m) {
    // SOF0..SOF15 except DHT (C4), JPG (C8) and DAC (CC).
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// The offset of the next 0xFF byte at or after `pos`, or the end of the data.
std::uint64_t NextFF(ByteSource& s, std::uint64_t pos) {
    std::uint8_t chunk[4096];
    for (;;) {
        const std::size_t n = s.ReadAt(pos, chunk, sizeof chunk);
        if (n == 0) return s.Size();
        if (const void* ff = std::memchr(chunk, 0xFF, n))
            return pos + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(ff) - chunk);
        pos += n;
    }
}

// Walks the JPEG segments behind SOI up to the image data. `visit(marker,
// offset, length)` is called for every segment that has a length, with the
// offset of its length bytes and the length they give (at least 2); it
// returns true to stop the walk. False when the data ends, the image data
// or the end marker comes first, or a length is broken.
template <class Visit>
bool WalkJpegSegments(ByteSource& s, Visit visit) {
    const std::uint64_t size = s.Size();
    std::uint64_t pos = 2;  // behind SOI
    // Each turn moves forward by at least one byte, so the walk ends within
    // the file's length; the count is a second guard.
    for (int guard = 0; guard < 1000000 && pos < size; ++guard) {
        std::uint8_t m[2];
        if (!ReadExact(s, pos, m, 2)) return false;
        if (m[0] != 0xFF) {
            // Stray bytes between segments: skipped up to the next 0xFF, as
            // common decoders do.
            pos = NextFF(s, pos + 1);
            continue;
        }
        if (m[1] == 0xFF) { ++pos; continue; }  // fill byte
        const std::uint8_t marker = m[1];
        pos += 2;
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA) return false;  // image data or end
        std::uint8_t lenBytes[2];
        if (!ReadExact(s, pos, lenBytes, 2)) return false;
        const std::uint16_t length = Be16(lenBytes);
        if (length < 2) return false;
        if (visit(marker, pos, length)) return true;
        pos += length;
    }
    return false;
}

bool ReadJpeg(ByteSource& s, PictureHeader* header) {
    bool found = false;
    WalkJpegSegments(s, [&](std::uint8_t marker, std::uint64_t pos, std::uint16_t length) {
        if (!IsStartOfFrame(marker)) return false;
        std::uint8_t f[5];  // precision, height, width
        found = length >= 7 && ReadExact(s, pos + 2, f, 5) &&
                Finish(PictureFormat::kJpeg, Be16(f + 3), Be16(f + 1), header);  // height 0 (DNL) is refused
        return true;
    });
    return found;
}

bool SkipGifSubBlocks(ByteSource& s, std::uint64_t* pos) {
    for (;;) {
        std::uint8_t n;
        if (!ReadExact(s, *pos, &n, 1)) return false;
        *pos += 1;
        if (n == 0) return true;
        *pos += n;
        if (*pos > s.Size()) return false;
    }
}

bool ReadGif(ByteSource& s, PictureHeader* header) {
    std::uint8_t b[13];
    if (!ReadExact(s, 0, b, sizeof b)) return false;
    std::uint32_t width = Le16(b + 6);
    std::uint32_t height = Le16(b + 8);
    std::uint64_t pos = 13;
    if (b[10] & 0x80) pos += 3ULL << ((b[10] & 7) + 1);  // global colour table
    // Up to the first image descriptor; extensions before it are skipped.
    for (int guard = 0; guard < 1000000; ++guard) {
        std::uint8_t introducer;
        if (!ReadExact(s, pos, &introducer, 1)) return false;
        pos += 1;
        if (introducer == 0x21) {  // extension: label, then sub-blocks
            pos += 1;
            if (!SkipGifSubBlocks(s, &pos)) return false;
        } else if (introducer == 0x2C) {
            std::uint8_t d[8];
            if (!ReadExact(s, pos, d, sizeof d)) return false;
            const std::uint32_t right = static_cast<std::uint32_t>(Le16(d)) + Le16(d + 4);
            const std::uint32_t bottom = static_cast<std::uint32_t>(Le16(d + 2)) + Le16(d + 6);
            if (Le16(d + 4) == 0 || Le16(d + 6) == 0) return false;
            // A decoder may place the first image on the logical screen or
            // take the image alone; allow for the larger of the two.
            width = std::max(width, right);
            height = std::max(height, bottom);
            return Finish(PictureFormat::kGif, width, height, header);
        } else {
            return false;  // trailer or garbage before any image
        }
    }
    return false;
}

// One entry of a TIFF directory; `value` holds a single SHORT or LONG
// (`isNumber`), anything else is left to the reader.
struct TiffEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    bool isNumber = false;
    std::uint32_t value = 0;
};

// Walks the entries of the first TIFF directory in `s` (which starts at the
// byte-order mark); `visit(entry)` returns true to stop. False when the data
// is no TIFF, is cut short, or the walk was not stopped.
template <class Visit>
bool WalkFirstTiffDirectory(ByteSource& s, Visit visit) {
    std::uint8_t b[8];
    if (!ReadExact(s, 0, b, sizeof b)) return false;
    bool little;
    if (std::memcmp(b, "II*\0", 4) == 0) little = true;
    else if (std::memcmp(b, "MM\0*", 4) == 0) little = false;
    else return false;
    auto u16 = [little](const std::uint8_t* p) { return little ? Le16(p) : Be16(p); };
    auto u32 = [little](const std::uint8_t* p) { return little ? Le32(p) : Be32(p); };
    const std::uint32_t ifd = u32(b + 4);
    std::uint8_t countBytes[2];
    if (ifd < 8 || !ReadExact(s, ifd, countBytes, 2)) return false;
    const std::uint16_t count = u16(countBytes);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint8_t e[12];
        if (!ReadExact(s, static_cast<std::uint64_t>(ifd) + 2 + 12ULL * i, e, sizeof e)) return false;
        TiffEntry entry;
        entry.tag = u16(e);
        entry.type = u16(e + 2);
        entry.count = u32(e + 4);
        entry.isNumber = entry.count == 1 && (entry.type == 3 || entry.type == 4);
        if (entry.isNumber) entry.value = entry.type == 3 ? u16(e + 8) : u32(e + 8);
        if (visit(entry)) return true;
    }
    return false;
}

bool ReadTiff(ByteSource& s, PictureHeader* header) {
    std::uint32_t width = 0, height = 0;
    bool haveWidth = false, haveHeight = false, broken = false;
    WalkFirstTiffDirectory(s, [&](const TiffEntry& e) {
        if (e.tag != 256 && e.tag != 257) return false;
        if (!e.isNumber) {
            broken = true;
            return true;
        }
        if (e.tag == 256) { width = e.value; haveWidth = true; }
        else { height = e.value; haveHeight = true; }
        return haveWidth && haveHeight;
    });
    return !broken && haveWidth && haveHeight && Finish(PictureFormat::kTiff, width, height, header);
}

// Orientation tag 274 of the first directory: 1..8, or 1 (as stored).
int TiffOrientation(ByteSource& s) {
    int orientation = kOrientationAsStored;
    WalkFirstTiffDirectory(s, [&](const TiffEntry& e) {
        if (e.tag != 274) return false;
        if (e.type == 3 && e.count == 1 && e.value >= 1 && e.value <= 8) orientation = static_cast<int>(e.value);
        return true;
    });
    return orientation;
}

// A window [offset, offset + size) of another source, as a source of its own.
class SubSource : public ByteSource {
public:
    SubSource(ByteSource& outer, std::uint64_t offset, std::uint64_t size) : m_outer(outer), m_offset(offset), m_size(size) {}
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override {
        if (offset >= m_size) return 0;
        return m_outer.ReadAt(m_offset + offset, buffer,
                              static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset)));
    }
    std::uint64_t Size() const override { return m_size; }

private:
    ByteSource& m_outer;
    std::uint64_t m_offset;
    std::uint64_t m_size;
};

// The orientation in the first Exif APP1 segment before the image data.
int JpegOrientation(ByteSource& s) {
    int orientation = kOrientationAsStored;
    WalkJpegSegments(s, [&](std::uint8_t marker, std::uint64_t pos, std::uint16_t length) {
        std::uint8_t id[6];
        if (marker != 0xE1 || length < 2 + 6 || !ReadExact(s, pos + 2, id, 6) ||
            std::memcmp(id, "Exif\0\0", 6) != 0)
            return false;  // not Exif (XMP also lives in APP1): keep looking
        SubSource tiff(s, pos + 2 + 6, length - 2u - 6u);
        orientation = TiffOrientation(tiff);
        return true;
    });
    return orientation;
}

}  // namespace

bool ReadPictureHeader(ByteSource& source, PictureHeader* header) {
    if (!header) return false;
    *header = PictureHeader{};
    std::uint8_t sig[8];
    const std::size_t n = source.ReadAt(0, sig, sizeof sig);
    if (n >= 8 && std::memcmp(sig, "\x89PNG\r\n\x1a\n", 8) == 0) return ReadPng(source, header);
    if (n >= 2 && sig[0] == 'B' && sig[1] == 'M') return ReadBmp(source, header);
    if (n >= 3 && sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF) return ReadJpeg(source, header);
    if (n >= 6 && (std::memcmp(sig, "GIF87a", 6) == 0 || std::memcmp(sig, "GIF89a", 6) == 0))
        return ReadGif(source, header);
    if (n >= 4 && (std::memcmp(sig, "II*\0", 4) == 0 || std::memcmp(sig, "MM\0*", 4) == 0))
        return ReadTiff(source, header);
    return false;
}

int ReadOrientation(ByteSource& source) {
    std::uint8_t sig[3];
    if (source.ReadAt(0, sig, sizeof sig) != sizeof sig) return kOrientationAsStored;
    if (sig[0] == 0xFF && sig[1] == 0xD8 && sig[2] == 0xFF) return JpegOrientation(source);
    return TiffOrientation(source);  // anything that is no TIFF gives "as stored"
}

bool IsDecodableSize(std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) return false;
    return static_cast<std::uint64_t>(width) * height <= kMaxPicturePixels;
}

}  // namespace imaging
