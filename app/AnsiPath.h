// The program works with paths in the system's ANSI code page. A path that
// reaches it in UTF-16 (a dropped file, the command line) and holds
// characters that code page lacks is handed on by its short (8.3) name,
// which is plain ASCII, so the file still opens.
#pragma once
#include <string>

// `path` in the ANSI code page, or its short name there; "" when neither
// names the file faithfully (no short names on that volume).
std::string AnsiPathFor(const std::wstring& path);

// The picture named on the process's command line (see StartArguments.h),
// as a full ANSI path; "" when there is none.
std::string PictureFromProcessCommandLine();
