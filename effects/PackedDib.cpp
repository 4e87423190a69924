// The packed palette bitmap's memory side.
#include "effects/PackedDib.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace effects {

namespace {

int TableEntries(int bits) {
    switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

// Bitmaps above this many bytes are refused rather than attempted.
constexpr std::int64_t kMaxBlock = std::int64_t(1) << 30;

} // namespace

std::uint8_t* CPackedDib::Create(int width, int height, int bits) {
    Free();
    if (width <= 0 || height <= 0) return nullptr;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
    std::int64_t stride = ((std::int64_t(width) * bits + 31) / 32) * 4;
    std::int64_t image = stride * height;
    std::int64_t total = std::int64_t(sizeof(DibHeader)) + TableEntries(bits) * 4 + image;
    if (image > kMaxBlock) return nullptr;
    m_block.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(total)]());
    if (!m_block) return nullptr;
    m_blockSize = static_cast<std::size_t>(total);
    m_width = width;
    m_height = height;
    m_bits = bits;
    m_stride = static_cast<int>(stride);
    DibHeader header{};
    header.size = sizeof(DibHeader);
    header.width = width;
    header.height = height;  // positive: bottom row first
    header.planes = 1;
    header.bitCount = static_cast<std::uint16_t>(bits);
    header.sizeImage = static_cast<std::uint32_t>(image);
    std::memcpy(m_block.get(), &header, sizeof header);
    return m_block.get();
}

bool CPackedDib::CopyFrom(const CPackedDib& other) {
    if (&other == this) return true;
    if (other.Empty()) {
        Free();
        return true;
    }
    if (!Create(other.m_width, other.m_height, other.m_bits)) return false;
    std::memcpy(m_block.get(), other.m_block.get(), m_blockSize);
    return true;
}

void CPackedDib::Free() {
    ContentChanging();
    m_block.reset();
    m_blockSize = 0;
    m_width = m_height = m_bits = m_stride = 0;
}

std::uint8_t* CPackedDib::ColourTable() { return m_block ? m_block.get() + sizeof(DibHeader) : nullptr; }

std::uint8_t* CPackedDib::Bits() {
    return m_block ? m_block.get() + sizeof(DibHeader) + TableEntries(m_bits) * 4 : nullptr;
}

const std::uint8_t* CPackedDib::Bits() const { return const_cast<CPackedDib*>(this)->Bits(); }

int CPackedDib::PaletteSize() const { return m_block ? TableEntries(m_bits) : 0; }

void CPackedDib::SetPaletteEntry(int index, int red, int green, int blue) {
    if (index < 0 || index >= PaletteSize()) return;
    std::uint8_t* e = ColourTable() + index * 4;
    e[0] = static_cast<std::uint8_t>(blue);
    e[1] = static_cast<std::uint8_t>(green);
    e[2] = static_cast<std::uint8_t>(red);
    e[3] = 0;
}

Colour CPackedDib::PaletteEntry(int index) const {
    if (index < 0 || index >= PaletteSize()) return 0;
    const std::uint8_t* e = m_block.get() + sizeof(DibHeader) + index * 4;
    return MakeColour(e[2], e[1], e[0]);
}

void CPackedDib::TintPalette(Colour colour, int percent) {
    percent = std::clamp(percent, 0, 100);
    for (int i = 0; i < PaletteSize(); ++i) {
        Colour c = PaletteEntry(i);
        auto mix = [&](int ch, int target) { return (ch * (100 - percent) + target * percent) / 100; };
        SetPaletteEntry(i, mix(RedOf(c), RedOf(colour)), mix(GreenOf(c), GreenOf(colour)),
                        mix(BlueOf(c), BlueOf(colour)));
    }
}

void CPackedDib::Fill(std::uint8_t value) {
    if (m_block) std::memset(Bits(), value, static_cast<std::size_t>(m_stride) * m_height);
}

void CPackedDib::SetIndex(int x, int y, std::uint8_t value) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || PaletteSize() == 0) return;
    std::uint8_t* row = Bits() + static_cast<std::size_t>(m_height - y - 1) * m_stride;
    if (m_bits == 8) {
        row[x] = value;
        return;
    }
    int perByte = 8 / m_bits;
    int shift = (perByte - 1 - x % perByte) * m_bits;
    std::uint8_t mask = static_cast<std::uint8_t>(((1 << m_bits) - 1) << shift);
    std::uint8_t& b = row[x / perByte];
    b = static_cast<std::uint8_t>((b & ~mask) | ((value << shift) & mask));
}

int CPackedDib::GetIndex(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || PaletteSize() == 0) return 0;
    const std::uint8_t* row = Bits() + static_cast<std::size_t>(m_height - y - 1) * m_stride;
    if (m_bits == 8) return row[x];
    int perByte = 8 / m_bits;
    int shift = (perByte - 1 - x % perByte) * m_bits;
    return (row[x / perByte] >> shift) & ((1 << m_bits) - 1);
}

void SetRampPalette(CPackedDib& dib, Colour low, Colour middle, Colour high) {
    auto mix = [](Colour a, Colour b, int i) {
        return MakeColour(((128 - i) * RedOf(a) + i * RedOf(b)) / 128, ((128 - i) * GreenOf(a) + i * GreenOf(b)) / 128,
                          ((128 - i) * BlueOf(a) + i * BlueOf(b)) / 128);
    };
    auto set = [&](int index, Colour c) { dib.SetPaletteEntry(index, RedOf(c), GreenOf(c), BlueOf(c)); };
    for (int i = 0; i <= 128; ++i) set(i, mix(low, middle, i));
    for (int i = 1; i <= 128; ++i) set(127 + i, mix(middle, high, i));
}

} // namespace effects
