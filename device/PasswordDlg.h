// The answer to the handheld's password challenge: the "Password" dialog and
// the function the channel calls when the handheld manager asks for the
// security password.
//
// The challenge arrives on the channel's worker thread while the main window
// is blocked in OpenChannel, so the dialog has no owner: it must not disable
// or wait for the blocked main window. Only the 20-byte SHA-1 digest of the
// typed text leaves this code; the text itself, in every place it was held
// (the dialog object, the edit control, the copy that was hashed), is wiped
// as soon as the digest exists.
#pragma once
#include "toolkit/Dialog.h"

#include <cstdint>
#include <string>

class CPasswordDlg : public tk::CDialog {
public:
    // The message text is made here, from the attempts the handheld has left.
    explicit CPasswordDlg(std::int32_t remainingAttempts, HWND parent = nullptr);
    ~CPasswordDlg() override;

    // A copy of the text typed before OK (empty otherwise). The caller owns
    // the copy and wipes it (quorvel::SecureWipe) when done with it.
    std::string GetPassword() const { return m_password; }
    const std::string& GetMessageText() const { return m_message; }

protected:
    void OnOK() override;
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    // Overwrites the edit control's text in place and empties it, so the
    // typed characters do not stay in the control's buffer.
    void WipeEditText();

    std::string m_message;
    std::string m_password;
    tk::CEdit m_edit;
    tk::CStatic m_messageLabel;
};

// The password answer that the main dialog hands to the channel:
//   m_usbChannel.SetPasswordAnswer(&AnswerHandheldPassword);
// Runs on the channel's worker thread. With 1 or fewer attempts left it
// refuses at once without showing anything, so the program never spends the
// handheld's last attempt. Otherwise it shows the dialog modally: OK writes
// the SHA-1 digest of the typed text (ANSI code page, no terminator) into
// the 20 bytes at `digest` and returns true; Cancel, Escape and the close box
// return false.
bool AnswerHandheldPassword(std::int32_t remainingAttempts, std::uint8_t* digest);
