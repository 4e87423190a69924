// The companion application on the simulated handheld: what it does with
// each packet the program writes, and the faults that the settings schedule.
//
// It answers the greeting with the screen reply, acknowledges every init_img
// and block_img record with "Rcv", reassembles the announced file and stores
// it on "End", and ignores "Bye". Every record is checked against the
// transfer layout (init_img 264 bytes: "New", name length, 256-byte name
// field with its zero byte, 32-bit little-endian length up to 64000;
// block_img 1006 bytes: "Img", reserved byte, 16-bit little-endian block
// length 1..1000, data) and each departure is traced as a violation. A
// malformed record of a known kind is still acknowledged, so that a program
// under test runs on and the trace tells what was wrong.
//
// Faults by packet number: close_at reports the channel closed instead of
// reacting to the packet; silent_at withholds the answer; ack_text_at
// replaces the answer's text (the screen reply too, for packet 1) and is
// ignored for packets that get no answer (End, Bye, unknown ones).
//
// Plain C++: the COM side feeds packets in and carries the reactions out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim_config.h"

namespace handheld_sim {

struct Reaction {
    enum Kind { None, Answer, Close };
    Kind kind = None;
    std::string text;  // the answer's text when kind is Answer
};

class Companion {
public:
    using TraceFn = std::function<void(const std::string&)>;
    // Stores a finished file under its announced name; returns false when it
    // could not be written and sets where to the full path or the reason.
    using StoreFn = std::function<bool(const std::string& name,
                                       const std::vector<uint8_t>& bytes, std::string& where)>;

    Companion(SimConfig config, TraceFn trace, StoreFn store);

    // True when the component's write call for packet n must fail.
    bool FailsWrite(int n) const;

    // Packet n (counted from 1 over the connection) has arrived.
    Reaction OnPacket(int n, const std::vector<uint8_t>& packet);

private:
    enum class Kind { Greeting, InitImg, BlockImg, End, Bye, Unknown };
    static Kind Classify(const std::vector<uint8_t>& packet);
    static const char* KindName(Kind kind);

    // Each returns true when the packet, in its usual form, gets an answer.
    bool OnGreeting(int n, const std::vector<uint8_t>& p);
    bool OnInitImg(int n, const std::vector<uint8_t>& p);
    bool OnBlockImg(int n, const std::vector<uint8_t>& p);
    void OnEnd(int n, const std::vector<uint8_t>& p);
    void Violation(int n, const std::string& what);

    SimConfig config_;
    TraceFn trace_;
    StoreFn store_;

    // The file being received.
    bool announced_ = false;
    bool nameUsable_ = false;
    std::string name_;
    uint32_t announcedLength_ = 0;
    std::vector<uint8_t> data_;
    int blocks_ = 0;
};

// The packet that carries an answer: two leading bytes (the count of bytes
// that follow, little-endian), the text and a zero byte.
std::vector<uint8_t> BuildAnswerPacket(const std::string& text);

// Screen size from a screen reply "height=H width=W" (0 or missing: 320 x 240),
// used to size the simulator's picture window.
void ScreenSizeFromReply(const std::string& reply, int& width, int& height);

}  // namespace handheld_sim
