#include "device/PasswordCore.h"

#include "app/LogFormat.h"
#include "device/Sha1.h"

namespace quorvel {

bool ShouldPromptForPassword(std::int32_t remainingAttempts) { return remainingAttempts > 1; }

std::string PasswordMessageText(std::int32_t remainingAttempts) {
    return "You have " + FormatInt(remainingAttempts) +
           " attempts remaining to enter the correct password";
}

void AnswerPasswordChallenge(std::string& password, std::uint8_t* out) {
    Sha1Digest(password.data(), password.size(), out);
    SecureWipe(password);
}

}  // namespace quorvel
