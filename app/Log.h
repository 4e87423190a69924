// The diagnostic log "log.txt" in the program folder, written only when the
// program was started with the word log as the last word of its command line.
// Every call opens, appends to and closes the file, so whatever a run wrote is
// on disk when the call returns. Nothing is reported to the caller.
#pragma once
#include <cstdint>
#include <string>

// Appends a text entry: the line, CR LF and a zero byte.
void WriteLogLine(std::string line);
// Appends exactly `count` bytes, nothing before or after them.
void WriteLogBytes(const void* bytes, std::int32_t count);
// Flag 0: the folder of the running executable, without a trailing
// backslash. Non-zero: the executable's full path.
// The ANSI form, for what must stay in the code page; file paths are built
// from GetProgramFolderW.
std::string GetProgramFolder(int flag);
// The same in UTF-16: every character of the folder, whatever the code page
// holds.
std::wstring GetProgramFolderW(int flag);
