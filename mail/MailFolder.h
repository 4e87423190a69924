// The folders where mails keep their own copies of the picture, in the
// temporary folder: "Quorvel mail <process id>.<n>". A mail whose client was
// still open when the program ended leaves its folder behind; the next start
// removes it once no program of that process id is alive.
#pragma once

#include <string>

namespace quorvel {

// "Quorvel mail " + processId + "." + n.
std::string MailFolderName(unsigned long processId, unsigned n);
// The pattern that lists such folders in the temporary folder.
extern const char kMailFolderPattern[];

// The process id in such a folder's name; false for any other name (the
// digits must be all there is on both sides of the dot, without leading
// zeros, within 32 bits).
bool MailFolderProcess(const std::string& name, unsigned long* processId);

}  // namespace quorvel
