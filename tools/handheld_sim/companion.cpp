// The simulated companion application; see companion.h.
#include "companion.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "trace_log.h"

namespace handheld_sim {
namespace {

const char kGreeting[] = "Hello from Quorvel Photo Manager";
const size_t kInitImgSize = 264;
const size_t kBlockImgSize = 1006;
const size_t kNameField = 256;
const uint32_t kLargestFile = 64000;
const int kBlockData = 1000;

bool StartsWith(const std::vector<uint8_t>& p, const char* prefix) {
    size_t n = std::strlen(prefix);
    return p.size() >= n && std::memcmp(p.data(), prefix, n) == 0;
}

bool Equals(const std::vector<uint8_t>& p, const char* text) {
    return p.size() == std::strlen(text) && StartsWith(p, text);
}

// A name that stays inside the received-pictures folder: no folder parts, no
// drive, no characters that the file system refuses.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20 || std::strchr("\\/:*?\"<>|", c)) return false;
    }
    return name.back() != '.' && name.back() != ' ';
}

bool EndsWithJpg(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".jpg";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

Companion::Companion(SimConfig config, TraceFn trace, StoreFn store)
    : config_(std::move(config)), trace_(std::move(trace)), store_(std::move(store)) {}

bool Companion::FailsWrite(int n) const { return config_.failWriteAt.count(n) != 0; }

Companion::Kind Companion::Classify(const std::vector<uint8_t>& p) {
    if (StartsWith(p, "Hello")) return Kind::Greeting;
    if (StartsWith(p, "New")) return Kind::InitImg;
    if (StartsWith(p, "Img")) return Kind::BlockImg;
    if (StartsWith(p, "End")) return Kind::End;
    if (StartsWith(p, "Bye")) return Kind::Bye;
    return Kind::Unknown;
}

const char* Companion::KindName(Kind kind) {
    switch (kind) {
        case Kind::Greeting: return "greeting";
        case Kind::InitImg: return "init_img";
        case Kind::BlockImg: return "block_img";
        case Kind::End: return "End";
        case Kind::Bye: return "Bye";
        default: return "unknown";
    }
}

void Companion::Violation(int n, const std::string& what) {
    trace_("violation #" + std::to_string(n) + ": " + what);
}

Reaction Companion::OnPacket(int n, const std::vector<uint8_t>& p) {
    const Kind kind = Classify(p);
    const std::string num = "#" + std::to_string(n);
    trace_("recv " + num + " " + KindName(kind) + " len=" + std::to_string(p.size()) + " " +
           Hex(p.data(), p.size()));

    Reaction r;
    if (config_.closeAt.count(n)) {
        trace_("close " + num + " (close_at)");
        r.kind = Reaction::Close;
        return r;
    }

    bool answers = false;
    switch (kind) {
        case Kind::Greeting: answers = OnGreeting(n, p); break;
        case Kind::InitImg: answers = OnInitImg(n, p); break;
        case Kind::BlockImg: answers = OnBlockImg(n, p); break;
        case Kind::End: OnEnd(n, p); break;
        case Kind::Bye:
            if (!Equals(p, "Bye")) Violation(n, "Bye must be exactly the 3 bytes \"Bye\"");
            break;
        case Kind::Unknown: Violation(n, "unknown packet, not answered"); break;
    }
    if (!answers) {
        if (config_.ackTextAt.count(n)) trace_("ack_text_at " + num + " ignored: the packet gets no answer");
        return r;
    }
    if (config_.silentAt.count(n)) {
        trace_("silent " + num + " (silent_at)");
        return r;
    }
    r.kind = Reaction::Answer;
    auto fault = config_.ackTextAt.find(n);
    if (fault != config_.ackTextAt.end()) r.text = fault->second;
    else r.text = (kind == Kind::Greeting) ? config_.screenReply : "Rcv";
    return r;
}

bool Companion::OnGreeting(int n, const std::vector<uint8_t>& p) {
    if (!Equals(p, kGreeting))
        Violation(n, "greeting must be exactly the 32 bytes " + Quoted(kGreeting) + " without terminator");
    return true;
}

bool Companion::OnInitImg(int n, const std::vector<uint8_t>& p) {
    if (p.size() != kInitImgSize) {
        Violation(n, "init_img is " + std::to_string(p.size()) + " bytes, expected 264; ignored");
        return true;
    }
    if (announced_)
        Violation(n, "init_img while " + Quoted(name_) + " is unfinished; that file is dropped");

    const uint8_t nameLength = p[3];
    const char* field = reinterpret_cast<const char*>(&p[4]);
    size_t zero = 0;
    while (zero < kNameField && field[zero] != '\0') ++zero;
    if (zero == kNameField) Violation(n, "name field has no zero byte");
    if (zero != nameLength)
        Violation(n, "name length is " + std::to_string(nameLength) + " but the name has " +
                         std::to_string(zero) + " characters");
    std::string name(field, zero);
    nameUsable_ = IsPlainFileName(name);
    if (!nameUsable_) Violation(n, "name " + Quoted(name) + " is not a plain file name; it will not be stored");
    else if (!EndsWithJpg(name)) Violation(n, "name " + Quoted(name) + " does not end in .jpg");

    uint32_t length = uint32_t(p[260]) | uint32_t(p[261]) << 8 | uint32_t(p[262]) << 16 |
                      uint32_t(p[263]) << 24;
    if (length > kLargestFile)
        Violation(n, "image length " + std::to_string(length) + " is above 64000");

    announced_ = true;
    name_ = name;
    announcedLength_ = length;
    data_.clear();
    blocks_ = 0;
    trace_("announce #" + std::to_string(n) + " name=" + Quoted(name) + " length=" +
           std::to_string(length));
    return true;
}

bool Companion::OnBlockImg(int n, const std::vector<uint8_t>& p) {
    if (p.size() != kBlockImgSize) {
        Violation(n, "block_img is " + std::to_string(p.size()) + " bytes, expected 1006; ignored");
        return true;
    }
    const int blockLength = static_cast<int16_t>(uint16_t(p[4]) | uint16_t(p[5]) << 8);
    if (blockLength < 1 || blockLength > kBlockData) {
        Violation(n, "block length " + std::to_string(blockLength) + " is outside 1..1000; ignored");
        return true;
    }
    if (!announced_) {
        Violation(n, "block_img without init_img; ignored");
        return true;
    }
    if (data_.size() + blockLength > announcedLength_)
        Violation(n, "block runs past the announced length " + std::to_string(announcedLength_));
    data_.insert(data_.end(), p.begin() + 6, p.begin() + 6 + blockLength);
    ++blocks_;
    return true;
}

void Companion::OnEnd(int n, const std::vector<uint8_t>& p) {
    if (!Equals(p, "End")) Violation(n, "End must be exactly the 3 bytes \"End\"");
    if (!announced_) {
        Violation(n, "End without init_img");
        return;
    }
    if (data_.size() != announcedLength_)
        Violation(n, "received " + std::to_string(data_.size()) + " bytes of the announced " +
                         std::to_string(announcedLength_));
    const std::string num = "#" + std::to_string(n);
    if (nameUsable_) {
        std::string where;
        if (store_ && store_(name_, data_, where))
            trace_("file " + num + " " + Quoted(name_) + " " + std::to_string(data_.size()) +
                   " bytes in " + std::to_string(blocks_) + " blocks -> " + where);
        else
            trace_("file " + num + " " + Quoted(name_) + " could not be stored: " + where);
    } else {
        trace_("file " + num + " " + Quoted(name_) + " not stored: unusable name");
    }
    announced_ = false;
    data_.clear();
}

std::vector<uint8_t> BuildAnswerPacket(const std::string& text) {
    const size_t follow = text.size() + 1;
    std::vector<uint8_t> packet;
    packet.reserve(2 + follow);
    packet.push_back(static_cast<uint8_t>(follow & 0xFF));
    packet.push_back(static_cast<uint8_t>((follow >> 8) & 0xFF));
    packet.insert(packet.end(), text.begin(), text.end());
    packet.push_back(0);
    return packet;
}

void ScreenSizeFromReply(const std::string& reply, int& width, int& height) {
    auto number = [&](const char* key) {
        size_t at = reply.find(key);
        if (at == std::string::npos) return 0;
        return std::atoi(reply.c_str() + at + std::strlen(key));
    };
    height = number("height=");
    width = number("width=");
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        width = 320;
        height = 240;
    }
}

}  // namespace handheld_sim
