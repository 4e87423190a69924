#include "device/TransferRecords.h"

#include <cstring>

#include "app/LogFormat.h"

namespace quorvel {

const char kInitImgCommand[] = "New";
const char kBlockImgCommand[] = "Img";
const char kEndText[] = "End";
const char kAckText[] = "Rcv";

const char kNoImageLoadedText[] = "No image loaded";
const char kSendingStatusText[] = "Sending picture. Please wait...";
const char kImageTooBigText[] = "Image is too big.\nIt has not been sent";
const char kImageNotSentText[] = "Image has not been sent";
const char kImageSentText[] = "Image has been sent successfully";

const char kLogNullChannel[] = "m_usbChannel null pointer";
const char kLogFileOpened[] = "picture file successfuly opened";
const char kLogInitByField[] = "init_img struct by field:";
const char kLogInitAllBytes[] = "init_img struct all bytes:";
const char kLogRcvFailInit[] = "rcv compare fail -- init";
const char kLogCycleBegin[] = "cycle for sent picture begin";
const char kLogBlockData[] = "img block data";
const char kLogNowSent[] = "Now sent:";
const char kLogEnd[] = "End";
const char kLogLabelError[] = "Label error";

namespace {

// The numero sign of the Cyrillic ANSI code page, kept as the single byte
// that existing logs carry.
const char kNumeroByte = static_cast<char>(0xB9);

void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool IsWithinTransferLimit(std::uint64_t fileLength) { return fileLength <= kMaxImageLength; }

bool IsAcknowledgement(const std::string& reply) { return reply == kAckText; }

std::int32_t ProgressUpperBound(std::uint32_t fileLength) {
    return static_cast<std::int32_t>(fileLength / kBlockDataSize) + 1;
}

std::int32_t NextBlockLength(std::uint32_t bytesSent, std::uint32_t fileLength) {
    if (bytesSent >= fileLength) return 0;
    const std::uint32_t left = fileLength - bytesSent;
    return static_cast<std::int32_t>(left < kBlockDataSize ? left : kBlockDataSize);
}

const char kFallbackPictureName[] = "picture.jpg";

std::string AnsiForm(const std::u16string& text, const AnsiCharacter& toAnsi) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const char16_t unit = text[i];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                          text[i + 1] <= 0xDFFF;
        const std::size_t n = pair ? 2 : 1;
        std::string bytes;
        // A zero byte would end the text early for its reader.
        if (toAnsi && toAnsi(text.substr(i, n), &bytes) && !bytes.empty() && bytes.find('\0') == std::string::npos)
            out += bytes;
        else
            out += '_';
        i += n;
    }
    return out;
}

std::string HandheldPictureName(const std::u16string& preparedFileName, const AnsiCharacter& toAnsi) {
    const std::string name = AnsiForm(preparedFileName, toAnsi);
    const std::size_t dot = name.find('.');
    if (name.empty() || dot == 0) return kFallbackPictureName;
    return name;
}

bool BuildInitImg(const std::string& name, std::uint32_t imageLength, InitImgRecord& out) {
    out.fill(0);
    if (name.size() > kMaxImageNameLength) return false;
    if (name.find('\0') != std::string::npos) return false;
    if (imageLength > kMaxImageLength) return false;

    std::memcpy(out.data(), kInitImgCommand, 3);
    out[3] = static_cast<std::uint8_t>(name.size());
    std::memcpy(out.data() + kInitImgNameOffset, name.data(), name.size());
    PutLe32(out.data() + kInitImgLengthOffset, imageLength);
    return true;
}

bool FinishBlockImg(BlockImgRecord& record, std::size_t count) {
    if (count == 0 || count > kBlockDataSize) return false;
    std::memcpy(record.data(), kBlockImgCommand, 3);
    record[3] = 0;
    PutLe16(record.data() + kBlockImgLengthOffset, static_cast<std::uint16_t>(count));
    std::memset(record.data() + kBlockImgDataOffset + count, 0, kBlockDataSize - count);
    return true;
}

std::vector<std::string> SendingBannerLines() {
    return {"", std::string(60, '='), "", "_____ int WINAPI PicturesSending( LPVOID pVoid )____________"};
}

std::string CommandLogLine(const std::uint8_t* record) {
    return "command = " + std::string(reinterpret_cast<const char*>(record), 3);
}

std::string NameLengthLogLine(std::int32_t nameLength) { return "img name length = " + FormatInt(nameLength); }

std::string NameLogLine(const std::string& name) { return "img name = " + name; }

std::string ImageLengthLogLine(std::uint32_t imageLength) {
    const std::string n = FormatInt(static_cast<std::int32_t>(imageLength));
    return "img length = " + n + " (" + n + ")";
}

std::string SendCommandLogLine(const std::uint8_t* record) {
    return "! send:  ===>  " + std::string(reinterpret_cast<const char*>(record), 3);
}

std::string ReceiveLogLine(const std::string& reply) { return "! receive:  ===> " + reply; }

std::string BlockHeaderLogLine(std::int32_t blockCounter) {
    return std::string("block_img struct ") + kNumeroByte + FormatInt(blockCounter) + " ====> ";
}

std::string BlockLengthLogLine(std::int32_t bytesRead, std::int32_t blockLength) {
    return "block length = " + FormatInt(bytesRead) + " (" + FormatInt(blockLength) + ")";
}

std::string BlockAllBytesLogLine(std::int32_t blockCounter) {
    return std::string("block_img ") + kNumeroByte + FormatInt(blockCounter) + " all bytes ====> ";
}

std::string BytesSentLogLine(std::int32_t bytesSent) { return FormatInt(bytesSent); }

std::string RcvFailBlockLogLine(std::int32_t blockNumber) {
    return "rcv compare fail on block " + FormatInt(blockNumber);
}

}  // namespace quorvel
