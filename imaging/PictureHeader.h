// PictureHeader.h - the pixel size a picture file claims, read from its
// header before anything is decoded.
//
// Decoders allocate the whole picture as soon as they have read its header,
// so a file of a few bytes that claims to be 65535 x 65535 would make the
// imaging service reserve gigabytes. We read the claimed size ourselves
// first and refuse the file when it is beyond our bounds; only the five
// formats the program opens (BMP, JPEG, PNG, GIF, TIFF) are recognised, by
// their signatures, not by the file name.
//
// The reader works through a small byte-source interface so that the
// Windows side can read the file through its handle and the tests can hand
// in bytes from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace imaging {

enum class PictureFormat { kUnknown, kBmp, kJpeg, kPng, kGif, kTiff };

// Random access to the bytes of a file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies up to `count` bytes from `offset` into `buffer`; returns how many
    // were copied (fewer at the end of the data, 0 beyond it or on error).
    virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) = 0;
    virtual std::uint64_t Size() const = 0;
};

// Bytes held in memory (not owned).
class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, std::size_t size) : m_data(static_cast<const std::uint8_t*>(data)), m_size(size) {}
    explicit MemoryByteSource(const std::string& bytes) : MemoryByteSource(bytes.data(), bytes.size()) {}
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;
    std::uint64_t Size() const override { return m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

struct PictureHeader {
    PictureFormat format = PictureFormat::kUnknown;
    // As claimed by the file; may be far beyond what can be decoded.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Recognises the format and reads the size the decoder will allocate for the
// first picture in the file: BMP info header; the first JPEG frame header;
// PNG IHDR; GIF logical screen joined with the first image's extent; the
// first TIFF directory's ImageWidth and ImageLength. Returns false for an
// unknown format, a header cut short or inconsistent, or a size of zero.
bool ReadPictureHeader(ByteSource& source, PictureHeader* header);

// The orientation a camera recorded (tag 274 of the Exif block in a JPEG's
// APP1 segment, or of a TIFF's first directory): 1 as stored, 2 mirrored,
// 3 turned half round, 4 flipped top to bottom, 5 transposed, 6 to be turned
// a quarter clockwise, 7 transversed, 8 to be turned a quarter
// anticlockwise. A missing, unreadable or out-of-range tag, a block cut
// short and every other format give 1.
constexpr int kOrientationAsStored = 1;
int ReadOrientation(ByteSource& source);

// Our bounds for decoding a picture: each side at most 65535 (the largest
// JPEG there can be, and what the imaging service handles everywhere), and,
// in the 64-bit program, at most 2^28 pixels (268 million: the 16320 x 12240
// of a 200-megapixel phone camera fits; 1 GB as 32-bit pixels). A 32-bit
// program has no room for that and keeps 2^27. A forged header cannot make
// us allocate more than this.
constexpr std::uint32_t kMaxPictureSide = 65535;
constexpr std::uint64_t kMaxPicturePixels = sizeof(void*) >= 8 ? (1ULL << 28) : (1ULL << 27);
// A file larger than this is not read at all (an uncompressed picture at the
// pixel bound is at most 1 GB).
constexpr std::uint64_t kMaxPictureFileBytes = 1ULL << 30;

bool IsDecodableSize(std::uint32_t width, std::uint32_t height);

}  // namespace imaging
