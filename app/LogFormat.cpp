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

namespace {

template <class Text>
Text FolderOf(const Text& modulePath) {
    const std::size_t lastBackslash = modulePath.rfind(typename Text::value_type('\\'));
    if (lastBackslash == Text::npos) return Text(1, typename Text::value_type('.'));
    return modulePath.substr(0, lastBackslash);
}

template <class Text>
Text PathIn(const Text& programFolder, const Text& fileName) {
    return programFolder + typename Text::value_type('\\') + fileName;
}

}  // namespace

std::string ProgramFolderFromModulePath(const std::string& modulePath) { return FolderOf(modulePath); }
std::wstring ProgramFolderFromModulePath(const std::wstring& modulePath) { return FolderOf(modulePath); }

std::string ProgramFilePath(const std::string& programFolder, const std::string& fileName) {
    return PathIn(programFolder, fileName);
}
std::wstring ProgramFilePath(const std::wstring& programFolder, const std::wstring& fileName) {
    return PathIn(programFolder, fileName);
}

}  // namespace quorvel
