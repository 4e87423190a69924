// The portable half of the answer to the handheld's password challenge:
// whether to ask at all, the sentence the prompt shows, and the digest that
// goes back to the handheld manager. The dialog itself is Windows code.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// The program never spends the handheld's last attempt: with 1 or fewer
// attempts left the challenge is declined without showing anything.
bool ShouldPromptForPassword(std::int32_t remainingAttempts);

// "You have <n> attempts remaining to enter the correct password".
std::string PasswordMessageText(std::int32_t remainingAttempts);

// Writes the SHA-1 digest of the password's bytes (no terminator) into the
// 20-byte buffer out, then wipes the password text, which is left empty.
void AnswerPasswordChallenge(std::string& password, std::uint8_t* out);

}  // namespace quorvel
