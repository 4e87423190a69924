// The simulator's trace: one line per event (open, challenge, each packet
// received with its bytes in hex, each answer, faults, files, close), so
// tests can assert exactly what the program put on the wire. Every line is
// appended and flushed at once, so a reader sees it as soon as it happened;
// the file is shared by every object of one manager and may be written from
// several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace handheld_sim {

class TraceLog {
public:
    explicit TraceLog(std::string path) : path_(std::move(path)) {}
    // Appends text and a line feed; does nothing without a trace file.
    void Line(const std::string& text);
    bool Enabled() const { return !path_.empty(); }

private:
    std::string path_;
    std::mutex mutex_;
};

// Lower-case hex of the bytes, no separators.
std::string Hex(const uint8_t* bytes, size_t count);

}  // namespace handheld_sim
