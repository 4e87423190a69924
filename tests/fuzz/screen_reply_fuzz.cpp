// The handheld's answer to the greeting, as the channel delivers it: a
// packet whose text starts at its third byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/ScreenReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = quorvel::PacketText(data, size);
    if (text.size() + 2 > size && size > 2) std::abort();
    if (text.find('\0') != std::string::npos) std::abort();
    // The parser also sees the whole packet, zero bytes included.
    quorvel::ParseScreenReply(reinterpret_cast<const char*>(data), size);
    const quorvel::ScreenReply reply = quorvel::ParseScreenReply(text);
    const quorvel::ScreenSize screen = quorvel::ResolveScreenSize(reply);
    if (screen.width <= 0 || screen.width > quorvel::kMaxScreenSide || screen.height <= 0 ||
        screen.height > quorvel::kMaxScreenSide)
        std::abort();
    (void)quorvel::ReceivedLogLine(text);
    (void)quorvel::ScreenSizeLogLine(reply);
    return 0;
}
