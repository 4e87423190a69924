#include "device/ScreenReply.h"

#include <cstdint>
#include <limits>
#include <string_view>

#include "app/LogFormat.h"

namespace quorvel {

const char kGreetingText[] = "Hello from Quorvel Photo Manager";
const char kGoodbyeText[] = "Bye";

const char kAppCaption[] = "Quorvel Photo Manager";
const char kAlreadyConnectedText[] = "Quorvel Photo Manager has been already connected";
const char kStartCompanionText[] =
    "Please start Quorvel Photos on your handheld, connect USB cable\n"
    "and then press Connect button again.";
const char kStatusConnected[] = "Connected";
const char kStatusDisconnected[] = "Disconnected";

const char kLogChannelNotOpen[] = "The channel hasn`t been open. Initial info not received";
const char kLogChannelOpen[] = "The channel open. Protocol begin";
const char kLogGreetingSent[] = "send:    Hello from Quorvel Photo Manager";
const char kLogFailConnect[] = "fail connect";

namespace {

// Positions and counts are signed 64-bit so the arithmetic on "not found"
// (-1) and on any buffer length stays exact.
using Pos = long long;

Pos Find(std::string_view text, std::string_view key) {
    const std::size_t at = text.find(key);
    return at == std::string_view::npos ? -1 : static_cast<Pos>(at);
}

std::string_view Mid(std::string_view text, Pos start, Pos count) {
    const Pos n = static_cast<Pos>(text.size());
    if (start < 0) start = 0;
    if (count < 0) count = 0;
    if (start >= n) return {};
    if (count > n - start) count = n - start;
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
}

std::string_view Right(std::string_view text, Pos count) {
    const Pos n = static_cast<Pos>(text.size());
    if (count < 0) return {};
    if (count >= n) return text;
    return text.substr(static_cast<std::size_t>(n - count));
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::int32_t ToInt(std::string_view s) { return TextToInt(s.data(), s.size()); }

}  // namespace

std::string PacketText(const std::uint8_t* buffer, std::size_t size) {
    if (buffer == nullptr || size <= 2) return {};
    const char* text = reinterpret_cast<const char*>(buffer) + 2;
    const std::size_t room = size - 2;
    std::size_t len = 0;
    while (len < room && text[len] != '\0') ++len;
    return std::string(text, len);
}

std::int32_t TextToInt(const char* text, std::size_t length) {
    if (text == nullptr) return 0;
    std::size_t i = 0;
    while (i < length && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate in 64 bits and stop growing once past the 32-bit range.
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) value = limit;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

ScreenReply ParseScreenReply(const char* text, std::size_t length) {
    if (text == nullptr) length = 0;
    const std::string_view t(text == nullptr ? "" : text, length);
    const Pos n = static_cast<Pos>(t.size());
    const Pos heightAt = Find(t, "height=");
    const Pos widthAt = Find(t, "width=");

    ScreenReply reply;
    reply.height = ToInt(Mid(t, heightAt + 7, widthAt - heightAt - 7));
    reply.width = ToInt(Right(t, n - widthAt - 6));
    return reply;
}

ScreenReply ParseScreenReply(const std::string& text) { return ParseScreenReply(text.data(), text.size()); }

ScreenSize ResolveScreenSize(const ScreenReply& reply) {
    const auto usable = [](std::int32_t v) { return v > 0 && v <= kMaxScreenSide; };
    if (usable(reply.width) && usable(reply.height)) return ScreenSize{reply.width, reply.height};
    return ScreenSize{kDefaultScreenWidth, kDefaultScreenHeight};
}

std::vector<std::string> HandshakeBannerLines() {
    return {"", "============== version  151 ==========================", "",
            "_____ BOOL CZelpixDlg::OnInitDialog()____________"};
}

std::string ReceivedLogLine(const std::string& reply) { return "received:   " + reply; }

std::string ScreenSizeLogLine(const ScreenReply& reply) {
    return "height= " + FormatInt(reply.height) + "  width=" + FormatInt(reply.width);
}

}  // namespace quorvel
