#include "mail/MailFolder.h"

namespace quorvel {

namespace {

const char kPrefix[] = "Quorvel mail ";

// A number of decimal digits without a leading zero, within 32 bits.
bool ReadNumber(const std::string& text, unsigned long* value) {
    if (text.empty() || text.size() > 10 || (text[0] == '0' && text.size() > 1)) return false;
    unsigned long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 0xFFFFFFFFull) return false;
    *value = static_cast<unsigned long>(v);
    return true;
}

}  // namespace

const char kMailFolderPattern[] = "Quorvel mail *";

std::string MailFolderName(unsigned long processId, unsigned n) {
    return kPrefix + std::to_string(processId) + "." + std::to_string(n);
}

bool MailFolderProcess(const std::string& name, unsigned long* processId) {
    const std::string prefix = kPrefix;
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string rest = name.substr(prefix.size());
    const std::size_t dot = rest.find('.');
    if (dot == std::string::npos) return false;
    unsigned long pid = 0, n = 0;
    if (!ReadNumber(rest.substr(0, dot), &pid) || !ReadNumber(rest.substr(dot + 1), &n)) return false;
    *processId = pid;
    return true;
}

}  // namespace quorvel
