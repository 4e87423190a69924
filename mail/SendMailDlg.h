// The small dialog of the send-by-mail command: the handheld's mail address
// and the subject. Send refuses only an empty address; everything else is
// taken as typed.
#pragma once
#include "toolkit/Controls.h"
#include "toolkit/Dialog.h"

#include <string>

class CSendMailDlg : public tk::CDialog {
public:
    // `to` is the address offered in the To field.
    explicit CSendMailDlg(const std::string& to, HWND parent = nullptr);

    // After a run ended with IDOK: the confirmed address and subject.
    const std::string& To() const { return m_to; }
    const std::string& Subject() const { return m_subject; }

    static const char kDefaultSubject[];    // "Quorvel Photos"
    static const char kEmptyToMessage[];    // "Please type mail address of your handheld!"

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    std::string m_to;
    std::string m_subject;
    tk::CEdit m_editTo;
    tk::CEdit m_editSubject;
};
