#include "app/StartArguments.h"

#include <cstring>

namespace quorvel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

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

}  // namespace quorvel
