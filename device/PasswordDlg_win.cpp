// The "Password" dialog and the answer to the handheld's password challenge.
//
// The typed text is read straight into the dialog's own string (no
// temporaries, no swaps: a moved or swapped short string leaves its bytes
// behind in the other object), hashed from one copy, and every copy is
// wiped. The edit control's text is overwritten in place and emptied before
// the control goes away. The digest is handed to the component and nowhere
// else; it is never logged.
#include "device/PasswordDlg.h"

#include "device/PasswordCore.h"
#include "device/Sha1.h"
#include "resources/resource.h"

CPasswordDlg::CPasswordDlg(std::int32_t remainingAttempts, HWND parent)
    : tk::CDialog(IDD_PASSWORD, parent), m_message(quorvel::PasswordMessageText(remainingAttempts)) {
    Bind(IDC_PASSWORD_EDIT, m_edit);
    Bind(IDC_PASSWORD_MESSAGE, m_messageLabel);
}

CPasswordDlg::~CPasswordDlg() {
    // Destroy the window here, while the object is whole, so that our
    // WM_DESTROY handling (the edit wipe) runs rather than the base's.
    Destroy();
    quorvel::SecureWipe(m_password);
}

void CPasswordDlg::OnOK() {
    quorvel::SecureWipe(m_password);
    HWND edit = m_edit.Hwnd();
    if (edit) {
        // The length asked in ANSI may be larger than the text; never smaller.
        const int length = ::GetWindowTextLengthA(edit);
        if (length > 0) {
            m_password.resize(static_cast<std::size_t>(length) + 1, '\0');
            const int got = ::GetWindowTextA(edit, &m_password[0], length + 1);
            m_password.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        }
    }
    WipeEditText();
    EndDialog(IDOK);
}

std::optional<LRESULT> CPasswordDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)lp;
    switch (msg) {
    case WM_SHOWWINDOW:
        if (wp) {
            ::SetFocus(m_edit.Hwnd());
            m_messageLabel.SetText(m_message);
        }
        break;
    case WM_DESTROY:
        // Every way out (OK, Cancel, Escape, the close box, a quit request)
        // passes here while the edit control still exists.
        WipeEditText();
        break;
    default:
        break;
    }
    return std::nullopt;
}

void CPasswordDlg::WipeEditText() {
    HWND edit = m_edit.Hwnd();
    if (!edit) return;
    const int length = ::GetWindowTextLengthW(edit);
    if (length > 0) {
        // Same length: the control overwrites its buffer in place instead of
        // moving the text to a new one and freeing the old unwiped.
        std::wstring filler(static_cast<std::size_t>(length), L'*');
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(filler.c_str()));
        // Deleting the filler as an undoable edit lays it over the undo
        // buffer, which may hold text the user replaced while typing.
        ::SendMessageW(edit, EM_SETSEL, 0, -1);
        ::SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    }
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    ::SendMessageW(edit, EM_EMPTYUNDOBUFFER, 0, 0);
}

bool AnswerHandheldPassword(std::int32_t remainingAttempts, std::uint8_t* digest) {
    if (!digest || !quorvel::ShouldPromptForPassword(remainingAttempts)) return false;

    CPasswordDlg dialog(remainingAttempts);  // no owner: the main window is blocked
    if (dialog.DoModal() != IDOK) return false;

    std::string password = dialog.GetPassword();
    quorvel::AnswerPasswordChallenge(password, digest);  // wipes `password`
    return true;
}
