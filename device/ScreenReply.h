// The greeting exchange with the companion application on the handheld:
// the packets we send, the parsing of its screen-size answer and the lines
// the handshake writes to the diagnostic log.
//
// The answer is a short text such as "height=240width=320". It is parsed by
// position arithmetic on the first "height=" and "width=" with clamped
// substrings, which is why the height has to come first and why anything
// between the height digits and "width=" is ignored. The answer comes from
// another device, so the parser takes an explicit length, never relies on a
// terminating zero and accepts any length (the channel delivers at most 998
// characters; nothing here assumes the usual short answer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// Packets: the characters only, no terminator ("Hello..." is 32 bytes,
// "Bye" 3 bytes). The handheld's answer to "Bye" is not read.
extern const char kGreetingText[];  // "Hello from Quorvel Photo Manager"
extern const char kGoodbyeText[];   // "Bye"

// Message boxes and status texts of the connection.
extern const char kAppCaption[];            // "Quorvel Photo Manager"
extern const char kAlreadyConnectedText[];  // "... has been already connected"
extern const char kStartCompanionText[];    // "Please start Quorvel Photos ...\n..."
extern const char kStatusConnected[];       // "Connected"
extern const char kStatusDisconnected[];    // "Disconnected"

// Screen size used when the answer yields 0 for either value.
constexpr std::int32_t kDefaultScreenWidth = 320;
constexpr std::int32_t kDefaultScreenHeight = 240;
// Largest side we accept from a handheld; anything bigger (or negative)
// would have us build absurd bitmaps and layouts, so it falls back to the
// default size as a zero does.
constexpr std::int32_t kMaxScreenSide = 4096;

struct ScreenReply {
    std::int32_t height = 0;
    std::int32_t width = 0;
};

struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// The text of a received packet: the first two bytes are skipped, the text
// runs from the third byte to the first zero byte or to the end of the
// buffer. A buffer shorter than two bytes gives an empty text.
std::string PacketText(const std::uint8_t* buffer, std::size_t size);

// Text-to-number as the answer needs it: leading white space skipped, an
// optional sign, decimal digits up to the first other character; no digits
// give 0. Values beyond the 32-bit range saturate instead of overflowing.
std::int32_t TextToInt(const char* text, std::size_t length);

// Parses the handshake answer of length characters (not necessarily
// zero-terminated; a zero byte inside is an ordinary character here).
ScreenReply ParseScreenReply(const char* text, std::size_t length);
ScreenReply ParseScreenReply(const std::string& text);

// The screen size the preview takes from a parsed answer: width x height
// when both are usable, otherwise 320 x 240. Zero falls back as it always
// did; negative values and values above kMaxScreenSide fall back too.
ScreenSize ResolveScreenSize(const ScreenReply& reply);

// Handshake log lines, in the order the handshake writes them.
std::vector<std::string> HandshakeBannerLines();  // "", "=== version 151 ...", "", "_____ BOOL ..."
extern const char kLogChannelNotOpen[];  // "The channel hasn`t been open. Initial info not received"
extern const char kLogChannelOpen[];     // "The channel open. Protocol begin"
extern const char kLogGreetingSent[];    // "send:    Hello from Quorvel Photo Manager"
extern const char kLogFailConnect[];     // "fail connect"
std::string ReceivedLogLine(const std::string& reply);  // "received:   " + reply
std::string ScreenSizeLogLine(const ScreenReply& reply); // "height= H  width=W"

}  // namespace quorvel
