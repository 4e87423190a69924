// The picture transfer's records byte for byte, the acknowledgement test,
// the size limit and the block and progress arithmetic, and the sending
// thread's log lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/TransferRecords.h"
#include "tests/core/transfer_records_decode.h"

namespace quorvel {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t n) {
    std::vector<std::uint8_t> m(n);
    for (std::size_t i = 0; i < n; ++i) m[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return m;
}

TEST(TransferPlan, BlocksAndProgressForEachLength) {
    struct Case {
        std::uint32_t length;
        std::int32_t blocks, lastBlock, progressUpper, progressSteps;
    };
    const Case cases[] = {
        {0, 0, 0, 1, 1},          {1, 1, 1, 1, 2},          {999, 1, 999, 1, 2},
        {1000, 1, 1000, 2, 2},    {1001, 2, 1, 2, 3},       {2500, 3, 500, 3, 4},
        {3000, 3, 1000, 4, 4},    {63999, 64, 999, 64, 65}, {64000, 64, 1000, 65, 65},
    };
    for (const Case& c : cases) {
        TransferPlan plan;
        ASSERT_TRUE(PlanTransfer(c.length, plan)) << c.length;
        EXPECT_EQ(plan.fileLength, c.length);
        EXPECT_EQ(plan.blockCount, c.blocks) << c.length;
        EXPECT_EQ(plan.lastBlockLength, c.lastBlock) << c.length;
        EXPECT_EQ(plan.progressUpper, c.progressUpper) << c.length;
        EXPECT_EQ(plan.progressSteps, c.progressSteps) << c.length;
        EXPECT_EQ(BlockCount(c.length), c.blocks);
        EXPECT_EQ(ProgressUpperBound(c.length), c.progressUpper);
        EXPECT_EQ(ProgressStepCount(c.length), c.progressSteps);
    }
}

TEST(TransferPlan, LimitIs64000Bytes) {
    EXPECT_TRUE(IsWithinTransferLimit(0));
    EXPECT_TRUE(IsWithinTransferLimit(64000));
    EXPECT_FALSE(IsWithinTransferLimit(64001));
    EXPECT_FALSE(IsWithinTransferLimit(0x100000000ull));  // would wrap in 32 bits

    TransferPlan plan;
    plan.blockCount = 77;
    EXPECT_FALSE(PlanTransfer(64001, plan));
    EXPECT_FALSE(PlanTransfer(0x10000FA00ull, plan));
    EXPECT_EQ(plan.blockCount, 77);  // untouched
}

TEST(TransferPlan, NextBlockLengthWalksEveryLengthExactly) {
    for (std::uint32_t length = 0; length <= kMaxImageLength; ++length) {
        std::uint32_t sent = 0;
        std::int32_t blocks = 0;
        while (std::int32_t n = NextBlockLength(sent, length)) {
            ASSERT_GE(n, 1);
            ASSERT_LE(n, 1000);
            sent += static_cast<std::uint32_t>(n);
            ++blocks;
        }
        ASSERT_EQ(sent, length);
        ASSERT_EQ(blocks, BlockCount(length)) << length;
    }
    EXPECT_EQ(NextBlockLength(3000, 2500), 0);  // never negative past the end
}

TEST(InitImg, ExactBytes) {
    InitImgRecord rec;
    ASSERT_TRUE(BuildInitImg("beach.jpg", 2500, rec));

    InitImgRecord expected{};
    const std::uint8_t head[] = {0x4E, 0x65, 0x77, 9, 'b', 'e', 'a', 'c', 'h', '.', 'j', 'p', 'g'};
    std::memcpy(expected.data(), head, sizeof(head));
    expected[260] = 0xC4;  // 2500 = 0x09C4, little-endian
    expected[261] = 0x09;
    EXPECT_EQ(rec, expected);

    ASSERT_TRUE(BuildInitImg("x.jpg", 64000, rec));
    EXPECT_EQ(rec[260], 0x00);
    EXPECT_EQ(rec[261], 0xFA);
    EXPECT_EQ(rec[262], 0x00);
    EXPECT_EQ(rec[263], 0x00);

    ASSERT_TRUE(BuildInitImg("", 0, rec));
    InitImgRecord empty{};
    std::memcpy(empty.data(), "New", 3);
    EXPECT_EQ(rec, empty);
}

TEST(InitImg, NameLimitsAndRefusals) {
    InitImgRecord rec;
    const std::string longest(255, 'n');
    ASSERT_TRUE(BuildInitImg(longest, 1, rec));
    EXPECT_EQ(rec[3], 255);
    EXPECT_EQ(rec[4 + 254], 'n');
    EXPECT_EQ(rec[4 + 255], 0);  // its zero byte is the last byte of the field
    EXPECT_EQ(rec[260], 1);

    const InitImgRecord zeros{};
    EXPECT_FALSE(BuildInitImg(std::string(256, 'n'), 1, rec));
    EXPECT_EQ(rec, zeros);
    EXPECT_FALSE(BuildInitImg(std::string("a\0b.jpg", 7), 1, rec));
    EXPECT_FALSE(BuildInitImg("a.jpg", 64001, rec));
}

TEST(InitImg, NameInTheCodePageTheHandheldReads) {
    // A Western code page holds Latin-1; a Japanese one holds these two
    // characters in two bytes each.
    const AnsiCharacter western = [](const std::u16string& c, std::string* bytes) {
        if (c.size() != 1 || c[0] > 0xFF) return false;
        *bytes = std::string(1, static_cast<char>(c[0]));
        return true;
    };
    const AnsiCharacter japanese = [](const std::u16string& c, std::string* bytes) {
        if (c == u"\u5199") *bytes = "\x8e\xca";
        else if (c == u"\u771f") *bytes = "\x90\x5e";
        else if (c.size() == 1 && c[0] < 0x80) *bytes = std::string(1, static_cast<char>(c[0]));
        else return false;
        return true;
    };
    const AnsiCharacter zeroByte = [](const std::u16string&, std::string* bytes) { *bytes = std::string(1, '\0'); return true; };
    struct Case {
        std::u16string name;
        const AnsiCharacter* code;
        std::string field;
    };
    const Case cases[] = {
        {u"beach.jpg", &western, "beach.jpg"},
        {u"caf\u00e9.jpg", &western, "caf\xe9.jpg"},
        {u"\u5199\u771f.jpg", &western, "__.jpg"},
        {u"\u0424\u043e\u0442\u043e.jpg", &western, "____.jpg"},
        {u"\u5199\u771f.jpg", &japanese, "\x8e\xca\x90\x5e.jpg"},
        {u"\U0001F600x.jpg", &western, "_x.jpg"},  // a surrogate pair is one character
        {u"\xd800.jpg", &western, "_.jpg"},         // a lone surrogate too
        {u".jpg", &western, "picture.jpg"},         // no base name left
        {u"", &western, "picture.jpg"},
        {u"a.jpg", &zeroByte, "_____"},             // a zero byte would cut the field
    };
    for (const Case& c : cases) EXPECT_EQ(HandheldPictureName(c.name, *c.code), c.field) << c.field;
    // The log's form of any name or path is the same, without the fallback.
    EXPECT_EQ(AnsiForm(u"C:\\Fotos\\\u5199\u771f.png", western), "C:\\Fotos\\__.png");
    EXPECT_EQ(AnsiForm(u".jpg", western), ".jpg");
    EXPECT_EQ(AnsiForm(u"", western), "");
}

TEST(BlockImg, ExactBytesForPartialAndFullBlocks) {
    const auto data = Pattern(1000);
    BlockImgRecord rec;
    rec.fill(0xEE);  // stale content must not leak into the packet
    ASSERT_TRUE(BuildBlockImg(data.data(), 500, rec));

    BlockImgRecord expected{};
    expected[0] = 0x49;
    expected[1] = 0x6D;
    expected[2] = 0x67;
    expected[3] = 0;
    expected[4] = 0xF4;  // 500 = 0x01F4
    expected[5] = 0x01;
    std::memcpy(expected.data() + 6, data.data(), 500);
    EXPECT_EQ(rec, expected);

    ASSERT_TRUE(BuildBlockImg(data.data(), 1000, rec));
    EXPECT_EQ(rec[4], 0xE8);  // 1000 = 0x03E8
    EXPECT_EQ(rec[5], 0x03);
    EXPECT_EQ(0, std::memcmp(rec.data() + 6, data.data(), 1000));

    ASSERT_TRUE(BuildBlockImg(data.data(), 1, rec));
    EXPECT_EQ(rec[4], 1);
    EXPECT_EQ(rec[5], 0);
    EXPECT_EQ(rec[6], data[0]);
    for (std::size_t i = 7; i < kBlockImgSize; ++i) ASSERT_EQ(rec[i], 0) << i;
}

TEST(BlockImg, RefusesEmptyAndOversizedBlocks) {
    const auto data = Pattern(1001);
    BlockImgRecord rec;
    EXPECT_FALSE(BuildBlockImg(data.data(), 0, rec));
    EXPECT_FALSE(BuildBlockImg(data.data(), 1001, rec));
    EXPECT_FALSE(BuildBlockImg(nullptr, 10, rec));
    EXPECT_FALSE(FinishBlockImg(rec, 0));
    EXPECT_FALSE(FinishBlockImg(rec, 1001));
}

TEST(BlockImg, FinishInPlaceClearsTheStaleTail) {
    BlockImgRecord rec;
    rec.fill(0xFF);  // the previous, full block
    const auto data = Pattern(300);
    std::memcpy(rec.data() + kBlockImgDataOffset, data.data(), data.size());
    ASSERT_TRUE(FinishBlockImg(rec, 300));
    BlockImgRecord expected;
    ASSERT_TRUE(BuildBlockImg(data.data(), 300, expected));
    EXPECT_EQ(rec, expected);
}

TEST(Records, RoundTripThroughTheDecoders) {
    const auto file = Pattern(2500);
    InitImgRecord init;
    ASSERT_TRUE(BuildInitImg("beach.jpg", 2500, init));
    InitImgFields fields;
    ASSERT_TRUE(ParseInitImg(init.data(), init.size(), fields));
    EXPECT_EQ(fields.name, "beach.jpg");
    EXPECT_EQ(fields.nameLength, 9);
    EXPECT_EQ(fields.imageLength, 2500u);

    std::vector<std::uint8_t> received;
    std::vector<int> lengths;
    std::uint32_t sent = 0;
    while (std::int32_t n = NextBlockLength(sent, 2500)) {
        BlockImgRecord rec;
        ASSERT_TRUE(BuildBlockImg(file.data() + sent, static_cast<std::size_t>(n), rec));
        BlockImgFields block;
        ASSERT_TRUE(ParseBlockImg(rec.data(), rec.size(), block));
        received.insert(received.end(), block.data, block.data + block.blockLength);
        lengths.push_back(block.blockLength);
        sent += static_cast<std::uint32_t>(n);
    }
    EXPECT_EQ(received, file);
    EXPECT_EQ(lengths, (std::vector<int>{1000, 1000, 500}));
}

TEST(Records, DecodersRefuseMalformedPackets) {
    InitImgRecord init;
    ASSERT_TRUE(BuildInitImg("a.jpg", 10, init));
    InitImgFields f;
    EXPECT_FALSE(ParseInitImg(init.data(), 263, f));
    EXPECT_FALSE(ParseInitImg(nullptr, 264, f));
    InitImgRecord bad = init;
    bad[0] = 'n';
    EXPECT_FALSE(ParseInitImg(bad.data(), bad.size(), f));
    bad = init;
    bad[3] = 6;  // length disagrees with the name
    EXPECT_FALSE(ParseInitImg(bad.data(), bad.size(), f));
    bad = init;
    std::memset(bad.data() + 4, 'z', 256);  // no zero in the name field
    bad[3] = 255;
    EXPECT_FALSE(ParseInitImg(bad.data(), bad.size(), f));
    bad = init;
    bad[262] = 1;  // 65546 bytes announced
    EXPECT_FALSE(ParseInitImg(bad.data(), bad.size(), f));

    BlockImgRecord block;
    const auto data = Pattern(10);
    ASSERT_TRUE(BuildBlockImg(data.data(), 10, block));
    BlockImgFields b;
    EXPECT_FALSE(ParseBlockImg(block.data(), 1005, b));
    BlockImgRecord badBlock = block;
    badBlock[2] = 'G';
    EXPECT_FALSE(ParseBlockImg(badBlock.data(), badBlock.size(), b));
    for (std::uint16_t len : {std::uint16_t{0}, std::uint16_t{1001}, std::uint16_t{0xFFFF}}) {
        badBlock = block;
        badBlock[4] = static_cast<std::uint8_t>(len);
        badBlock[5] = static_cast<std::uint8_t>(len >> 8);
        EXPECT_FALSE(ParseBlockImg(badBlock.data(), badBlock.size(), b)) << len;
    }
}

TEST(Acknowledgement, OnlyTheExactTextCounts) {
    EXPECT_TRUE(IsAcknowledgement("Rcv"));
    for (const std::string& reply : {std::string("rcv"), std::string("RCV"), std::string("Rcv "),
                                    std::string(" Rcv"), std::string("Rcvd"), std::string("Rc"),
                                    std::string(""), std::string("Rcv\0", 4)}) {
        EXPECT_FALSE(IsAcknowledgement(reply)) << reply;
    }
}

TEST(SendingLog, LineTextsAreByteExact) {
    const std::vector<std::string> banner = SendingBannerLines();
    ASSERT_EQ(banner.size(), 4u);
    EXPECT_EQ(banner[0], "");
    EXPECT_EQ(banner[1], "============================================================");
    EXPECT_EQ(banner[1].size(), 60u);
    EXPECT_EQ(banner[2], "");
    EXPECT_EQ(banner[3], "_____ int WINAPI PicturesSending( LPVOID pVoid )____________");

    InitImgRecord init;
    ASSERT_TRUE(BuildInitImg("beach.jpg", 2500, init));
    EXPECT_EQ(CommandLogLine(init.data()), "command = New");
    EXPECT_EQ(SendCommandLogLine(init.data()), "! send:  ===>  New");
    EXPECT_EQ(NameLengthLogLine(9), "img name length = 9");
    EXPECT_EQ(NameLogLine("beach.jpg"), "img name = beach.jpg");
    EXPECT_EQ(ImageLengthLogLine(2500), "img length = 2500 (2500)");
    EXPECT_EQ(ImageLengthLogLine(0), "img length = 0 (0)");
    EXPECT_EQ(ReceiveLogLine("Rcv"), "! receive:  ===> Rcv");

    BlockImgRecord block;
    const auto data = Pattern(10);
    ASSERT_TRUE(BuildBlockImg(data.data(), 10, block));
    EXPECT_EQ(CommandLogLine(block.data()), "command = Img");

    const std::string numero(1, static_cast<char>(0xB9));
    EXPECT_EQ(BlockHeaderLogLine(0), "block_img struct " + numero + "0 ====> ");
    EXPECT_EQ(BlockHeaderLogLine(63), "block_img struct " + numero + "63 ====> ");
    EXPECT_EQ(BlockAllBytesLogLine(2), "block_img " + numero + "2 all bytes ====> ");
    EXPECT_EQ(static_cast<unsigned char>(BlockHeaderLogLine(0)[17]), 0xB9u);
    EXPECT_EQ(BlockLengthLogLine(500, 500), "block length = 500 (500)");
    EXPECT_EQ(BytesSentLogLine(2500), "2500");
    EXPECT_EQ(RcvFailBlockLogLine(1), "rcv compare fail on block 1");

    EXPECT_STREQ(kLogNullChannel, "m_usbChannel null pointer");
    EXPECT_STREQ(kLogFileOpened, "picture file successfuly opened");
    EXPECT_STREQ(kLogInitByField, "init_img struct by field:");
    EXPECT_STREQ(kLogInitAllBytes, "init_img struct all bytes:");
    EXPECT_STREQ(kLogRcvFailInit, "rcv compare fail -- init");
    EXPECT_STREQ(kLogCycleBegin, "cycle for sent picture begin");
    EXPECT_STREQ(kLogBlockData, "img block data");
    EXPECT_STREQ(kLogNowSent, "Now sent:");
    EXPECT_STREQ(kLogEnd, "End");
    EXPECT_STREQ(kLogLabelError, "Label error");
}

TEST(SendingTexts, PacketsAndMessages) {
    EXPECT_STREQ(kEndText, "End");
    EXPECT_EQ(std::strlen(kEndText), 3u);
    EXPECT_STREQ(kAckText, "Rcv");
    EXPECT_STREQ(kImageTooBigText, "Image is too big.\nIt has not been sent");
    EXPECT_STREQ(kImageNotSentText, "Image has not been sent");
    EXPECT_STREQ(kImageSentText, "Image has been sent successfully");
    EXPECT_STREQ(kNoImageLoadedText, "No image loaded");
    EXPECT_STREQ(kSendingStatusText, "Sending picture. Please wait...");
}

}  // namespace
}  // namespace quorvel
