// The handshake answer parser on the answers a handheld gives, on malformed
// and hostile ones, and the exact bytes and log lines of the handshake.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "device/ScreenReply.h"

namespace quorvel {
namespace {

struct ReplyCase {
    std::string answer;
    std::int32_t height;
    std::int32_t width;
    std::int32_t screenWidth;   // after ResolveScreenSize
    std::int32_t screenHeight;
};

TEST(ScreenReply, ParsesAnswersAndResolvesScreenSize) {
    const ReplyCase cases[] = {
        // usual answers; any separator between the height digits and "width=" is ignored
        {"height=240width=320", 240, 320, 320, 240},
        {"height=480;width=360", 480, 360, 360, 480},
        {"height=240 width=320", 240, 320, 320, 240},
        {"height= 160\twidth= 240", 160, 240, 240, 160},
        // the height must come first: the other order gives height 0 and the default
        {"width=320 height=240", 0, 320, 320, 240},
        {"width=100 height=200", 0, 100, 320, 240},
        // a zero falls back to the default
        {"height=0width=320", 0, 320, 320, 240},
        {"height=480width=0", 480, 0, 320, 240},
        // missing fields
        {"", 0, 0, 320, 240},
        {"height=240", 0, 0, 320, 240},
        {"Rcv", 0, 0, 320, 240},
        // no "width=": the width is read from the sixth character on
        {"12345678", 0, 678, 320, 240},
        {"abcde 42", 0, 42, 320, 240},
        // no "height=" but "width=": the height is the text from index 6 up to "width="
        {"abcdef123width=5", 123, 5, 5, 123},
        // only the first occurrences count
        {"height=1width=2height=3width=4", 1, 2, 2, 1},
        // numbers end at the first non-digit; a sign alone gives 0
        {"height=24xwidth=32y", 24, 32, 32, 24},
        {"height=+ 5width=-", 0, 0, 320, 240},
        {"height=+200width=+100", 200, 100, 100, 200},
        // negative values are parsed unchanged but are no screen size
        {"height=-240width=-320", -240, -320, 320, 240},
        {"height=240width=-320", 240, -320, 320, 240},
        // huge values saturate instead of overflowing and are no screen size
        {"height=99999999999999999999width=320", INT_MAX, 320, 320, 240},
        {"height=-99999999999999999999width=320", INT_MIN, 320, 320, 240},
        {"height=2147483647width=2147483648", INT_MAX, INT_MAX, 320, 240},
        {"height=-2147483648width=1", INT_MIN, 1, 320, 240},
        // the largest accepted side and one beyond it
        {"height=4096width=4096", 4096, 4096, 4096, 4096},
        {"height=4097width=4096", 4097, 4096, 320, 240},
        {"height=1width=1", 1, 1, 1, 1},
    };
    for (const ReplyCase& c : cases) {
        const ScreenReply r = ParseScreenReply(c.answer);
        EXPECT_EQ(r.height, c.height) << c.answer;
        EXPECT_EQ(r.width, c.width) << c.answer;
        const ScreenSize s = ResolveScreenSize(r);
        EXPECT_EQ(s.width, c.screenWidth) << c.answer;
        EXPECT_EQ(s.height, c.screenHeight) << c.answer;
    }
}

TEST(ScreenReply, NeverReadsPastTheGivenLength) {
    // Exactly-sized heap copies without a terminator, so AddressSanitizer
    // reports any read beyond the length.
    const auto parse = [](const std::string& s, std::size_t length) {
        std::vector<char> exact(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(length));
        return ParseScreenReply(exact.data(), exact.size());
    };
    ScreenReply r = parse("height=240width=3209999", 19);
    EXPECT_EQ(r.height, 240);
    EXPECT_EQ(r.width, 320);

    r = parse("height=240width=", 16);  // ends right behind the key
    EXPECT_EQ(r.height, 240);
    EXPECT_EQ(r.width, 0);

    r = parse("height=", 7);
    EXPECT_EQ(r.height, 0);
    EXPECT_EQ(r.width, 0);

    for (std::size_t n = 0; n <= 6; ++n) {
        r = parse("width=", n);
        EXPECT_EQ(r.width, 0) << n;
    }

    r = ParseScreenReply(nullptr, 50);
    EXPECT_EQ(r.height, 0);
    EXPECT_EQ(r.width, 0);
}

TEST(ScreenReply, ZeroByteInsideTheTextIsAnOrdinaryCharacter) {
    const char text[] = {'h', 'e', 'i', 'g', 'h', 't', '=', '2', '4', '\0',
                         'w', 'i', 'd', 't', 'h', '=', '3', '2', '0'};
    const ScreenReply r = ParseScreenReply(text, sizeof(text));
    EXPECT_EQ(r.height, 24);
    EXPECT_EQ(r.width, 320);
}

TEST(ScreenReply, AnswersLongerThanTheUsualShortTextAreParsedWhole) {
    const std::string padded = std::string(200, ' ') + "height=480width=360" + std::string(300, '#');
    ScreenReply r = ParseScreenReply(padded);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.width, 360);

    const std::string farApart = "height=120" + std::string(900, ' ') + "width=160";
    r = ParseScreenReply(farApart);
    EXPECT_EQ(r.height, 120);
    EXPECT_EQ(r.width, 160);
}

TEST(PacketText, SkipsTwoBytesAndStopsAtZeroOrBufferEnd) {
    std::vector<std::uint8_t> packet = {0x01, 0x02, 'R', 'c', 'v', 0, 'x', 'y'};
    EXPECT_EQ(PacketText(packet.data(), packet.size()), "Rcv");

    // A full 1000-byte read buffer without any zero byte gives 998 characters.
    std::vector<std::uint8_t> full(1000, 'x');
    const std::string text = PacketText(full.data(), full.size());
    EXPECT_EQ(text.size(), 998u);
    const ScreenReply r = ParseScreenReply(text);
    EXPECT_EQ(r.height, 0);
    EXPECT_EQ(r.width, 0);

    std::vector<std::uint8_t> tiny = {0x00, 0x00};
    EXPECT_EQ(PacketText(tiny.data(), tiny.size()), "");
    EXPECT_EQ(PacketText(tiny.data(), 1), "");
    EXPECT_EQ(PacketText(nullptr, 1000), "");

    std::vector<std::uint8_t> answer = {0xAA, 0xBB};
    const std::string body = "height=240width=320";
    answer.insert(answer.end(), body.begin(), body.end());
    answer.push_back(0);
    EXPECT_EQ(PacketText(answer.data(), answer.size()), body);
}

TEST(TextToInt, ReadsLikeDecimalConversion) {
    struct Case {
        std::string text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"", 0},          {"abc", 0},        {"42", 42},          {"  \t\r\n\v\f42x", 42},
        {"-7", -7},       {"+7", 7},         {"-", 0},            {"--1", 0},
        {"0012", 12},     {"1 2", 1},        {"2147483647", INT_MAX}, {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN}, {std::string(500, '9'), INT_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(TextToInt(c.text.data(), c.text.size()), c.value) << c.text;
}

TEST(Handshake, PacketsAreTheBareCharacters) {
    EXPECT_EQ(std::strlen(kGreetingText), 32u);
    EXPECT_STREQ(kGreetingText, "Hello from Quorvel Photo Manager");
    EXPECT_EQ(std::strlen(kGoodbyeText), 3u);
    EXPECT_STREQ(kGoodbyeText, "Bye");
}

TEST(Handshake, LogLinesAndTexts) {
    const std::vector<std::string> banner = HandshakeBannerLines();
    ASSERT_EQ(banner.size(), 4u);
    EXPECT_EQ(banner[0], "");
    EXPECT_EQ(banner[1], "============== version  151 ==========================");
    EXPECT_EQ(banner[2], "");
    EXPECT_EQ(banner[3], "_____ BOOL CZelpixDlg::OnInitDialog()____________");

    EXPECT_STREQ(kLogChannelNotOpen, "The channel hasn`t been open. Initial info not received");
    EXPECT_STREQ(kLogChannelOpen, "The channel open. Protocol begin");
    EXPECT_STREQ(kLogGreetingSent, "send:    Hello from Quorvel Photo Manager");
    EXPECT_STREQ(kLogFailConnect, "fail connect");
    EXPECT_EQ(ReceivedLogLine("height=240width=320"), "received:   height=240width=320");
    EXPECT_EQ(ScreenSizeLogLine(ScreenReply{240, 320}), "height= 240  width=320");
    EXPECT_EQ(ScreenSizeLogLine(ScreenReply{-1, 0}), "height= -1  width=0");

    EXPECT_STREQ(kStartCompanionText,
                 "Please start Quorvel Photos on your handheld, connect USB cable\n"
                 "and then press Connect button again.");
    EXPECT_STREQ(kAlreadyConnectedText, "Quorvel Photo Manager has been already connected");
    EXPECT_STREQ(kStatusConnected, "Connected");
    EXPECT_STREQ(kStatusDisconnected, "Disconnected");
}

}  // namespace
}  // namespace quorvel
