// The picture header reader and the orientation tag reader over arbitrary
// bytes: any file the user opens reaches them before a decoder does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/PictureHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imaging::MemoryByteSource source(data, size);
    imaging::PictureHeader header;
    const bool read = imaging::ReadPictureHeader(source, &header);
    // A header read is a recognised format with both sides set; a refusal
    // leaves nothing behind.
    if (read && (header.format == imaging::PictureFormat::kUnknown || header.width == 0 || header.height == 0))
        std::abort();
    if (!read && (header.format != imaging::PictureFormat::kUnknown || header.width != 0 || header.height != 0))
        std::abort();
    (void)imaging::IsDecodableSize(header.width, header.height);
    // Whatever the bytes, the orientation is one of the eight.
    const int orientation = imaging::ReadOrientation(source);
    if (orientation < 1 || orientation > 8) std::abort();
    return 0;
}
