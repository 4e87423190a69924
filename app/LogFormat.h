// The portable rules of the diagnostic log "log.txt": when it is on, and
// the bytes of one text entry. The Windows side only opens, appends and
// closes the file.
//
// The log switch is read from the command line on every call instead of
// being cached, so the decision is a pure function of that text. A text
// entry ends in CR LF and a zero byte; the zero is part of the format that
// readers of existing logs expect.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// Logging is on exactly when the last space-separated word of the command
// line, after every double quote has been removed, is "log" (case-sensitive;
// a trailing space, "Log", "/log" or "-log" leave it off).
bool IsLoggingOn(const std::string& commandLine);

// The bytes appended for one text line: the text, 0x0D 0x0A, 0x00.
std::string LogTextEntry(const std::string& line);

// Decimal text as printed by "%i".
std::string FormatInt(std::int32_t value);

// The program folder from the executable's full path: cut before the last
// backslash. A path without a backslash gives "." (the current folder), so
// that files are never written to the root of a drive.
std::string ProgramFolderFromModulePath(const std::string& modulePath);
std::wstring ProgramFolderFromModulePath(const std::wstring& modulePath);

// Program folder + "\" + fileName (plain concatenation).
std::string ProgramFilePath(const std::string& programFolder, const std::string& fileName);
std::wstring ProgramFilePath(const std::wstring& programFolder, const std::wstring& fileName);

extern const char kLogFileName[];  // "log.txt"

}  // namespace quorvel
