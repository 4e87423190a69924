// The tests' own view of the transfer records: decoders and the plan of a
// transfer (blocks, last block, progress), written apart from the encoder in
// device/TransferRecords so that a mistake on one side shows up on the other.
// The simulated handheld has decoders of its own again.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "device/TransferRecords.h"

namespace quorvel {

inline std::uint32_t GetLe32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// ceil(length / 1000): the number of block_img records.
inline std::int32_t BlockCount(std::uint32_t fileLength) {
    return static_cast<std::int32_t>((std::uint64_t(fileLength) + kBlockDataSize - 1) / kBlockDataSize);
}

// 1 + BlockCount: one progress step per acknowledged record.
inline std::int32_t ProgressStepCount(std::uint32_t fileLength) { return 1 + BlockCount(fileLength); }

struct TransferPlan {
    std::uint32_t fileLength = 0;
    std::int32_t blockCount = 0;       // block_img records
    std::int32_t lastBlockLength = 0;  // valid bytes of the last block (0 when no block)
    std::int32_t progressUpper = 0;    // progress range 0 .. progressUpper
    std::int32_t progressSteps = 0;    // acknowledged records = StepIt calls
};

// Fills the plan; false (plan untouched) when the file exceeds 64000 bytes.
inline bool PlanTransfer(std::uint64_t fileLength, TransferPlan& plan) {
    if (!IsWithinTransferLimit(fileLength)) return false;
    const auto length = static_cast<std::uint32_t>(fileLength);
    TransferPlan p;
    p.fileLength = length;
    p.blockCount = BlockCount(length);
    p.lastBlockLength = length == 0 ? 0 : static_cast<std::int32_t>(length - (p.blockCount - 1) * kBlockDataSize);
    p.progressUpper = ProgressUpperBound(length);
    p.progressSteps = ProgressStepCount(length);
    plan = p;
    return true;
}

// block_img from count bytes of data, through the encoder's FinishBlockImg.
inline bool BuildBlockImg(const std::uint8_t* data, std::size_t count, BlockImgRecord& out) {
    if (data == nullptr || count == 0 || count > kBlockDataSize) return false;
    std::memmove(out.data() + kBlockImgDataOffset, data, count);
    return FinishBlockImg(out, count);
}

// Each decoder refuses a packet of the wrong size, the wrong command or
// inconsistent fields.
struct InitImgFields {
    std::uint8_t nameLength = 0;
    std::string name;  // up to the zero byte in the name field
    std::uint32_t imageLength = 0;
};

inline bool ParseInitImg(const std::uint8_t* packet, std::size_t size, InitImgFields& out) {
    if (packet == nullptr || size != kInitImgSize) return false;
    if (std::memcmp(packet, "New", 3) != 0) return false;
    const char* nameField = reinterpret_cast<const char*>(packet + kInitImgNameOffset);
    const void* zero = std::memchr(nameField, 0, kInitImgNameFieldSize);
    if (zero == nullptr) return false;
    const auto nameLength = static_cast<std::size_t>(static_cast<const char*>(zero) - nameField);
    if (nameLength != packet[3]) return false;
    const std::uint32_t imageLength = GetLe32(packet + kInitImgLengthOffset);
    if (imageLength > kMaxImageLength) return false;
    out.nameLength = packet[3];
    out.name.assign(nameField, nameLength);
    out.imageLength = imageLength;
    return true;
}

struct BlockImgFields {
    std::int16_t blockLength = 0;
    const std::uint8_t* data = nullptr;  // points into the packet
};

inline bool ParseBlockImg(const std::uint8_t* packet, std::size_t size, BlockImgFields& out) {
    if (packet == nullptr || size != kBlockImgSize) return false;
    if (std::memcmp(packet, "Img", 3) != 0) return false;
    const auto blockLength = static_cast<std::int16_t>(packet[kBlockImgLengthOffset] |
                                                       (packet[kBlockImgLengthOffset + 1] << 8));
    if (blockLength < 1 || blockLength > static_cast<std::int16_t>(kBlockDataSize)) return false;
    out.blockLength = blockLength;
    out.data = packet + kBlockImgDataOffset;
    return true;
}

}  // namespace quorvel
