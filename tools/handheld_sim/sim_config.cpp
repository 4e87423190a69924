// Parsing of the simulator's settings file; see sim_config.h for the format.
#include "sim_config.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace handheld_sim {
namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// Whole-text decimal integer (surrounding blanks allowed); false otherwise.
bool ParseInt(const std::string& text, int& out) {
    std::string t = TrimBlanks(text);
    if (t.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

bool ParsePacketNumber(const std::string& text, int& out) {
    return ParseInt(text, out) && out >= 1;
}

}  // namespace

SimConfig ParseSimConfig(const std::string& input) {
    SimConfig c;
    std::string text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // UTF-8 mark

    size_t pos = 0;
    int lineNo = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = (nl == std::string::npos) ? text.size() + 1 : nl + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        std::string lead = TrimBlanks(line);
        if (lead.empty() || lead[0] == ';' || lead[0] == '#' || lead[0] == '[') continue;

        auto warn = [&](const std::string& what) {
            c.warnings.push_back("line " + std::to_string(lineNo) + ": " + what);
        };
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            warn("no '=' in \"" + line + "\"");
            continue;
        }
        const std::string key = TrimBlanks(line.substr(0, eq));
        const std::string value = line.substr(eq + 1);

        auto intValue = [&](int& field, int minimum) {
            int v = 0;
            if (ParseInt(value, v) && v >= minimum) field = v;
            else warn("bad number for " + key + ": \"" + value + "\"");
        };
        auto packetSet = [&](std::set<int>& field) {
            int n = 0;
            if (ParsePacketNumber(value, n)) field.insert(n);
            else warn("bad packet number for " + key + ": \"" + value + "\"");
        };

        if (key == "devices") intValue(c.devices, 0);
        else if (key == "screen_reply") c.screenReply = value;
        else if (key == "password") { c.hasPassword = true; c.password = value; }
        else if (key == "attempts") intValue(c.attempts, 0);
        else if (key == "latency_ms") intValue(c.latencyMs, 0);
        else if (key == "close_idle_ms") intValue(c.closeIdleMs, 0);
        else if (key == "received_dir") c.receivedDir = TrimBlanks(value);
        else if (key == "trace_file") c.traceFile = TrimBlanks(value);
        else if (key == "show_window") {
            int v = 0;
            if (ParseInt(value, v)) c.showWindow = v != 0;
            else warn("bad number for show_window: \"" + value + "\"");
        }
        else if (key == "ack_text_at") {
            size_t colon = value.find(':');
            int n = 0;
            if (colon != std::string::npos && ParsePacketNumber(value.substr(0, colon), n))
                c.ackTextAt[n] = value.substr(colon + 1);
            else warn("ack_text_at wants N:TEXT, got \"" + value + "\"");
        }
        else if (key == "close_at") packetSet(c.closeAt);
        else if (key == "fail_write_at") packetSet(c.failWriteAt);
        else if (key == "silent_at") packetSet(c.silentAt);
        else warn("unknown key \"" + key + "\"");
    }
    return c;
}

}  // namespace handheld_sim
