// The picture named on the process's command line, read from the wide
// command line so that its name arrives as the user wrote it, whatever the
// ANSI code page holds (no short names: volumes without them still open).
#pragma once
#include <string>

// The picture named on the command line (see StartArguments.h) as a full
// path in UTF-16; "" when there is none.
std::wstring PictureFromProcessCommandLine();

// Text in UTF-8 to UTF-16 and back (the hand-over from a second start
// carries the path in UTF-8).
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);
