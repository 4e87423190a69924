// Settings of the handheld simulator, read from the text file that the
// environment variable QUORVEL_SIM_CONFIG names (read each time a manager
// object is created, so a test can change them between cases).
//
// Format: one key=value per line. "[section]" lines, blank lines and lines
// starting with ';' or '#' are ignored. The value runs from after the first
// '=' to the end of the line, blanks included, because an acknowledgement
// with a trailing blank ("Rcv ") is a fault worth simulating. Only a
// trailing carriage return is dropped. Portable C++ so it can be tested
// anywhere.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace handheld_sim {

struct SimConfig {
    int devices = 1;                                // 0: no handheld attached
    std::string screenReply = "height=240 width=320";
    bool hasPassword = false;                       // "password=" present, even empty
    std::string password;                           // ANSI bytes, hashed as they stand
    int attempts = 10;                              // attempts before the handheld locks
    int latencyMs = 0;                              // delay before every answer
    int closeIdleMs = 0;                            // drop the channel after this long without a packet (0: never)
    std::string receivedDir;                        // empty: the default folder
    std::string traceFile;                          // empty: no trace
    bool showWindow = false;

    // Faults, keyed by packet number (1 = the greeting, counted over the
    // whole connection, failed writes included).
    std::map<int, std::string> ackTextAt;           // answer N with this text
    std::set<int> closeAt;                          // report the channel closed instead
    std::set<int> failWriteAt;                      // the write call for N fails
    std::set<int> silentAt;                         // never answer N

    // Lines that could not be used, for the trace ("line 3: unknown key x").
    std::vector<std::string> warnings;
};

// Parses the text of a settings file. Never fails: unusable lines keep the
// defaults and leave a warning.
SimConfig ParseSimConfig(const std::string& text);

}  // namespace handheld_sim
