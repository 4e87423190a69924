// A bitmap in memory laid out exactly as a packed device-independent bitmap:
// one heap block holding the 40-byte info header, the colour table and the
// pixel rows, bottom row first. The pattern fills and the button textures
// write palette indices into it; the Windows side (CPaletteDib) hands the
// very same block to GDI, so nothing is converted on the way to the screen.
// This half knows no Windows header so that the pixel work is tested
// natively.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace effects {

// A colour value with red in the low byte: 0x00BBGGRR.
using Colour = std::uint32_t;

constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }
constexpr Colour MakeColour(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// The info header of a packed bitmap, field for field (40 bytes).
struct DibHeader {
    std::uint32_t size;
    std::int32_t width;
    std::int32_t height;
    std::uint16_t planes;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::uint32_t sizeImage;
    std::int32_t xPelsPerMeter;
    std::int32_t yPelsPerMeter;
    std::uint32_t clrUsed;
    std::uint32_t clrImportant;
};
static_assert(sizeof(DibHeader) == 40, "the info header is 40 bytes");

class CPackedDib {
public:
    CPackedDib() = default;
    virtual ~CPackedDib() = default;
    CPackedDib(const CPackedDib&) = delete;
    CPackedDib& operator=(const CPackedDib&) = delete;

    // Makes a zeroed bitmap of width x height at 1, 4, 8, 16, 24 or 32 bits;
    // the old content goes first. Returns the block, or null when the size is
    // not positive, the depth unknown or the memory not there.
    std::uint8_t* Create(int width, int height, int bits);
    // Makes this bitmap a copy of another (an empty one empties this).
    bool CopyFrom(const CPackedDib& other);
    void Free();

    // Ignored outside the colour table.
    void SetPaletteEntry(int index, int red, int green, int blue);
    // Moves every entry `percent` (capped to 0..100) of the way to `colour`.
    void TintPalette(Colour colour, int percent);
    Colour PaletteEntry(int index) const;
    int PaletteSize() const;
    // One byte value into every pixel byte.
    void Fill(std::uint8_t value);
    // x, y from the top-left; ignored outside the bitmap or without a palette.
    void SetIndex(int x, int y, std::uint8_t value);
    // The palette index at x, y from the top-left (0 outside).
    int GetIndex(int x, int y) const;

    bool Empty() const { return !m_block; }
    const std::uint8_t* Block() const { return m_block.get(); }
    std::uint8_t* Bits();
    const std::uint8_t* Bits() const;
    std::uint8_t* ColourTable();
    int Stride() const { return m_stride; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitCount() const { return m_bits; }

    static int StrideFor(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

protected:
    // Called before the content goes or is replaced (the Windows side drops
    // what it cached for the old bitmap).
    virtual void ContentChanging() {}

private:
    std::unique_ptr<std::uint8_t[]> m_block;
    std::size_t m_blockSize = 0;
    int m_width = 0, m_height = 0, m_bits = 0, m_stride = 0;
};

// Sets the 256 entries as a ramp through three colours: index 0 is `low`,
// 128 is `middle`, 255 is `high`. The first half is ((128 - i) low + i
// middle) / 128 for i = 0..128, the second half ((128 - i) middle + i high)
// / 128 written at 127 + i for i = 1..128, overwriting entry 128.
void SetRampPalette(CPackedDib& dib, Colour low, Colour middle, Colour high);

} // namespace effects
