// The picture transfer to the handheld, as bytes and numbers: the records,
// the acknowledgement test, the size limit, the block and progress
// arithmetic and the exact log lines of the sending thread. The thread
// itself (file, channel, windows) is Windows code. Decoding the records is
// the handheld's business: the simulated handheld and the tests have
// decoders of their own, so that one mistake in an encoder and its decoder
// cannot hide itself.
//
// The protocol is stop-and-wait: one init_img record (command "New", file
// name and length), one block_img record per 1000 bytes of the file
// (command "Img"), then the three bytes "End". The handheld acknowledges the
// announcement and every block with exactly "Rcv". Records always have their
// full size, numbers are little-endian, and every byte that carries no
// meaning (behind the name's zero, the reserved byte, the data behind the
// valid bytes) is sent as zero so the packets are reproducible.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

constexpr std::size_t kInitImgSize = 264;
constexpr std::size_t kInitImgNameOffset = 4;
constexpr std::size_t kInitImgNameFieldSize = 256;
constexpr std::size_t kInitImgLengthOffset = 260;

constexpr std::size_t kBlockImgSize = 1006;
constexpr std::size_t kBlockImgLengthOffset = 4;
constexpr std::size_t kBlockImgDataOffset = 6;
constexpr std::size_t kBlockDataSize = 1000;

constexpr std::uint32_t kMaxImageLength = 64000;    // 64000 is sent, 64001 refused
constexpr std::size_t kMaxImageNameLength = 255;    // plus its zero in the 256-byte field

using InitImgRecord = std::array<std::uint8_t, kInitImgSize>;
using BlockImgRecord = std::array<std::uint8_t, kBlockImgSize>;

extern const char kInitImgCommand[];   // "New"
extern const char kBlockImgCommand[];  // "Img"
extern const char kEndText[];          // "End", sent as three bytes, not acknowledged
extern const char kAckText[];          // "Rcv"

// Message boxes and status text of the transfer (caption kAppCaption).
extern const char kNoImageLoadedText[];     // "No image loaded"
extern const char kSendingStatusText[];     // "Sending picture. Please wait..."
extern const char kImageTooBigText[];       // "Image is too big.\nIt has not been sent"
extern const char kImageNotSentText[];      // "Image has not been sent"
extern const char kImageSentText[];         // "Image has been sent successfully"

// --- limits, acknowledgement, arithmetic -------------------------------

bool IsWithinTransferLimit(std::uint64_t fileLength);

// True only for the exact text "Rcv" ("rcv", "Rcv ", "Rcvd" are refusals).
bool IsAcknowledgement(const std::string& reply);

// floor(length / 1000) + 1: the progress bar's upper bound (lower bound 0).
std::int32_t ProgressUpperBound(std::uint32_t fileLength);
// Valid bytes of the next block: min(1000, length - sent); 0 when sent >= length.
std::int32_t NextBlockLength(std::uint32_t bytesSent, std::uint32_t fileLength);

// --- records -----------------------------------------------------------

// One character of a file name (a UTF-16 unit, or a surrogate pair) in the
// ANSI code page: false when the code page has no such character.
using AnsiCharacter = std::function<bool(const std::u16string& character, std::string* bytes)>;

// A text in the ANSI code page, each character it cannot hold (or that
// would give a zero byte) written as "_": the one ANSI form the log and the
// handheld give a name.
std::string AnsiForm(const std::u16string& text, const AnsiCharacter& toAnsi);

// The picture's name as the handheld reads it in init_img's name field (the
// ANSI code page): the prepared file's name with each character the code
// page cannot hold written as "_"; "picture.jpg" when no base name is left.
// The same text goes to the log's name line.
std::string HandheldPictureName(const std::u16string& preparedFileName, const AnsiCharacter& toAnsi);
extern const char kFallbackPictureName[];  // "picture.jpg"

// Builds init_img. Refuses (false, record zeroed) a name longer than 255
// characters or holding a zero byte, and a length above 64000.
bool BuildInitImg(const std::string& name, std::uint32_t imageLength, InitImgRecord& out);

// For data already copied into the record at kBlockImgDataOffset: writes
// the command, a zero reserved byte and the block length, and zeroes the
// data behind the count valid bytes. Refuses (false) a count of 0 or above
// 1000: a block without data must end the transfer instead of being sent.
bool FinishBlockImg(BlockImgRecord& record, std::size_t count);

// --- log lines of the sending thread -------------------------------------

// "", sixty "=", "", "_____ int WINAPI PicturesSending( LPVOID pVoid )____________"
std::vector<std::string> SendingBannerLines();

extern const char kLogNullChannel[];         // "m_usbChannel null pointer"
extern const char kLogFileOpened[];          // "picture file successfuly opened"
extern const char kLogInitByField[];         // "init_img struct by field:"
extern const char kLogInitAllBytes[];        // "init_img struct all bytes:"
extern const char kLogRcvFailInit[];         // "rcv compare fail -- init"
extern const char kLogCycleBegin[];          // "cycle for sent picture begin"
extern const char kLogBlockData[];           // "img block data"
extern const char kLogNowSent[];             // "Now sent:"
extern const char kLogEnd[];                 // "End"
extern const char kLogLabelError[];          // "Label error"

// "command = " + the record's three command bytes (New or Img).
std::string CommandLogLine(const std::uint8_t* record);
std::string NameLengthLogLine(std::int32_t nameLength);     // "img name length = N"
std::string NameLogLine(const std::string& name);           // "img name = NAME"
std::string ImageLengthLogLine(std::uint32_t imageLength);  // "img length = L (L)"
std::string SendCommandLogLine(const std::uint8_t* record); // "! send:  ===>  New"
std::string ReceiveLogLine(const std::string& reply);       // "! receive:  ===> REPLY"
// "block_img struct " 0xB9 counter " ====> " (counter from 0)
std::string BlockHeaderLogLine(std::int32_t blockCounter);
// "block length = READ (LEN)"
std::string BlockLengthLogLine(std::int32_t bytesRead, std::int32_t blockLength);
// "block_img " 0xB9 counter " all bytes ====> " (counter from 0)
std::string BlockAllBytesLogLine(std::int32_t blockCounter);
std::string BytesSentLogLine(std::int32_t bytesSent);       // the number alone
// "rcv compare fail on block N" (N counted from 1)
std::string RcvFailBlockLogLine(std::int32_t blockNumber);

}  // namespace quorvel
