// Trace file of the simulator; see trace_log.h.
#include "trace_log.h"

#include <cstdio>

namespace handheld_sim {

void TraceLog::Line(const std::string& text) {
    if (path_.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    // Opened per line so that the file is complete on disk at every moment
    // and never held open between events.
    if (std::FILE* f = std::fopen(path_.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

std::string Hex(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

}  // namespace handheld_sim
