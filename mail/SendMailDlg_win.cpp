// The send-by-mail dialog on template 167.
#include "mail/SendMailDlg.h"

#include "resource.h"
#include "toolkit/Text.h"

const char CSendMailDlg::kDefaultSubject[] = "Quorvel Photos";
const char CSendMailDlg::kEmptyToMessage[] = "Please type mail address of your handheld!";

CSendMailDlg::CSendMailDlg(const std::string& to, HWND parent)
    : tk::CDialog(IDD_SEND_MAIL, parent), m_to(to), m_subject(kDefaultSubject) {
    Bind(IDC_MAIL_TO, m_editTo);
    Bind(IDC_MAIL_SUBJECT, m_editSubject);
}

BOOL CSendMailDlg::OnInitDialog() {
    m_editTo.SetText(m_to);
    m_editSubject.SetText(m_subject);
    ::SetFocus(m_editTo.Hwnd());
    return FALSE;  // the focus is set
}

void CSendMailDlg::OnOK() {
    m_to = m_editTo.GetText();
    if (m_to.empty()) {
        // Like the toolkit's own message boxes: the application's name as
        // caption, no icon. The dialog stays open for the address.
        ::MessageBoxA(m_hwnd, kEmptyToMessage, tk::kAppCaption, MB_OK);
        ::SetFocus(m_editTo.Hwnd());
        return;
    }
    m_subject = m_editSubject.GetText();
    EndDialog(IDOK);
}
