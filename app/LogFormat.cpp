#include "app/LogFormat.h"

#include <cstdio>

namespace quorvel {

const char kLogFileName[] = "log.txt";

bool IsLoggingOn(const std::string& commandLine) {
    std::string unquoted;
    unquoted.reserve(commandLine.size());
    for (char c : commandLine) {
        if (c != '"') unquoted.push_back(c);
    }
    const std::size_t lastSpace = unquoted.rfind(' ');
    const std::string lastWord =
        lastSpace == std::string::npos ? unquoted : unquoted.substr(lastSpace + 1);
    return lastWord == "log";
}

std::string LogTextEntry(const std::string& line) {
    std::string entry = line;
    entry += "\r\n";
    entry.push_back('\0');
    return entry;
}

std::string FormatInt(std::int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof(buffer), "%i", static_cast<int>(value));
    return buffer;
}

std::string ProgramFolderFromModulePath(const std::string& modulePath) {
    const std::size_t lastBackslash = modulePath.rfind('\\');
    if (lastBackslash == std::string::npos) return ".";
    return modulePath.substr(0, lastBackslash);
}

std::string ProgramFilePath(const std::string& programFolder, const std::string& fileName) {
    return programFolder + "\\" + fileName;
}

}  // namespace quorvel
