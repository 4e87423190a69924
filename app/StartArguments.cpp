#include "app/StartArguments.h"

#include <cstring>

namespace quorvel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameLetters(const std::wstring& a, const wchar_t* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return i == a.size() && !b[i];
}

// A name the platform takes for a device wherever it stands in a path.
bool IsDeviceName(const std::wstring& component) {
    const std::wstring base = component.substr(0, component.find(L'.'));
    for (const wchar_t* name : {L"CON", L"NUL", L"AUX", L"PRN", L"CONIN$", L"CONOUT$", L"CLOCK$"})
        if (SameLetters(base, name)) return true;
    if (base.size() == 4 && (SameLetters(base.substr(0, 3), L"COM") || SameLetters(base.substr(0, 3), L"LPT")))
        return base[3] >= L'1' && base[3] <= L'9';
    return false;
}

// One name between backslashes: not empty, no "." or "..", no character a
// file name cannot hold, no trailing dot or space (the platform strips them,
// which turns "nul." into a device), no device name.
bool IsPlainComponent(const std::wstring& c) {
    if (c.empty() || c.back() == L'.' || c.back() == L' ') return false;
    for (wchar_t ch : c) {
        if (ch < 32) return false;
        switch (ch) {
        case L'<': case L'>': case L':': case L'"': case L'|': case L'?': case L'*': case L'\\': return false;
        default: break;
        }
    }
    return !IsDeviceName(c);
}

std::vector<std::wstring> SplitComponents(const std::wstring& rest) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = rest.find(L'\\', start);
        parts.push_back(rest.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
        if (slash == std::wstring::npos) return parts;
        start = slash + 1;
    }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();

    // The program's path: no backslash rules, quotes only at its start.
    std::string program;
    if (i < n && line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"') program.push_back(line[i++]);
        if (i < n) ++i;  // the closing quote
    }
    while (i < n && !IsBlank(line[i])) program.push_back(line[i++]);
    args.push_back(program);

    for (;;) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') { ++slashes; ++i; }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg.push_back('"');
                        ++i;
                    }
                    // an even count leaves the quote to group below
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg.push_back('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.push_back(line[i++]);
        }
        args.push_back(arg);
    }
    return args;
}

std::string PictureFromCommandLine(const std::string& commandLine) {
    const std::vector<std::string> args = SplitCommandLine(commandLine);
    std::size_t end = args.size();
    if (end > 1 && args.back() == "log") --end;  // the log switch
    for (std::size_t k = 1; k < end; ++k) {
        if (!args[k].empty()) return args[k];
    }
    return std::string();
}

std::string PathFromCopyData(const void* data, std::size_t size) {
    if (!data || size == 0) return std::string();
    const char* bytes = static_cast<const char*>(data);
    const void* zero = std::memchr(bytes, '\0', size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : size;
    if (length > kMaxHandedPath) return std::string();
    return std::string(bytes, length);
}

bool IsHandablePath(const std::wstring& given) {
    if (given.size() < 4 || given.size() > kMaxHandedPath) return false;
    std::wstring path = given;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    std::vector<std::wstring> parts;
    if (path[1] == L':') {
        const wchar_t drive = Upper(path[0]);
        if (drive < L'A' || drive > L'Z' || path[2] != L'\\') return false;
        parts = SplitComponents(path.substr(3));
    } else if (path[0] == L'\\' && path[1] == L'\\') {
        parts = SplitComponents(path.substr(2));
        // Server, share and at least one name; "." and "?" are no servers
        // but the device and raw namespaces.
        if (parts.size() < 3) return false;
        if (SameLetters(parts[1], L"pipe") || SameLetters(parts[1], L"mailslot")) return false;
    } else {
        return false;  // relative, rooted without a drive, or \??\ and the like
    }
    for (const std::wstring& part : parts)
        if (!IsPlainComponent(part)) return false;
    return true;
}

}  // namespace quorvel
