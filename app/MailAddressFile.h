// "email.dat" remembers the handheld's mail address between runs. The file
// holds exactly the typed characters; reading takes its first word. The
// parsing is kept apart from the file access so it can be tested natively.
#pragma once

#include <cstddef>
#include <string>

namespace quorvel {

extern const char kMailAddressFileName[];  // "email.dat"

// Longest address read back (the reader's buffer held 500 bytes with room
// for a terminating zero).
constexpr std::size_t kMaxMailAddressLength = 499;

// The first word of the file's bytes: leading white space (space, tab, CR,
// LF, vertical tab, form feed) is skipped, then characters are taken up to
// the next white space, a zero byte or the end, at most 499 of them.
// A null buffer or size 0 gives an empty text.
std::string ParseMailAddressFile(const char* data, std::size_t size);
std::string ParseMailAddressFile(const std::string& content);

}  // namespace quorvel
