// What the program takes from its command line besides the log switch: the
// picture to open, which is how "Open with" and the "Send to" entry start
// it, and the tag of the message that hands such a picture to an instance
// that already runs.
//
// The command line is split into arguments by the rules every Windows
// program's runtime uses, so that a path in double quotes may hold spaces.
// The log switch itself stays with IsLoggingOn (LogFormat.h), which reads
// the raw line its own way; here the word log as the last argument is only
// kept from being taken for a picture.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

// The arguments of a command line, the program's own path first. The
// program's path ends at the next space or tab, or, when it starts with a
// double quote, at the closing one. In the arguments, spaces and tabs
// separate; double quotes group and vanish; 2n backslashes before a quote
// give n backslashes and the quote groups, 2n+1 give n backslashes and a
// literal quote; other backslashes stay as they are; "" inside quotes is a
// literal quote.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The picture named on the command line: the first argument after the
// program's path that is not the log switch (the word log as the last
// argument), or "" when there is none.
std::string PictureFromCommandLine(const std::string& commandLine);

// WM_COPYDATA tag of "open this picture", sent by a second start to the
// running instance; the data is the path's characters, no terminator needed.
constexpr unsigned long kOpenPictureCopyTag = 0x4F4D5051;  // "QPMO"
// Longest path the running instance accepts from that message.
constexpr std::size_t kMaxHandedPath = 32767;

// The path carried by such a message: its bytes up to the first zero; ""
// when there are none or more than kMaxHandedPath.
std::string PathFromCopyData(const void* data, std::size_t size);

// True when `path` may name a picture handed over by a second start: a full
// path on a drive (C:\...) or on a network share (\\server\share\...), with
// '/' counting as a backslash. Refused: the device and raw namespaces
// (\\.\ and \\?\, so \\?\GLOBALROOT too, and \??\), a share named pipe or
// mailslot, a colon after the drive's (a stream), empty, "." or ".."
// components, characters no file name holds, and device names (CON, NUL,
// AUX, PRN, COM1..9, LPT1..9, CONIN$, CONOUT$, with or without an extension).
// Whether the file exists and is a regular file on a local or network drive
// is for the caller to find out.
bool IsHandablePath(const std::wstring& path);

}  // namespace quorvel
