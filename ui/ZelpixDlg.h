// The main dialog: the program's only top-level window.
#pragma once
#include "toolkit/Controls.h"
#include "toolkit/Dialog.h"

#include <string>

class CZelpixDlg : public tk::CDialog {
public:
    explicit CZelpixDlg(HWND parent = nullptr);
    ~CZelpixDlg() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    // Enter and Escape end nothing: the run ends only through Exit or the
    // close box.
    void OnOK() override {}
    void OnCancel() override {}
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void OnExit();
    void OnAbout();
    // Ends the connection and asks the modal run to end with exit code 0.
    void EndRun();

    tk::CButton m_btnImageSize;
    tk::CButton m_btnSendToDevice;
    tk::CButton m_btnSendByMail;
    tk::CButton m_btnOpen;
    tk::CButton m_btnZoomIn;
    tk::CButton m_btnZoomOut;
    tk::CButton m_btnConnect;
    tk::CButton m_btnDisconnect;
    tk::CEdit m_editWidth;
    tk::CEdit m_editHeight;
    tk::CStatusBar m_statusBar;
    HICON m_hIcon = nullptr;
    HICON m_hIconSmall = nullptr;
    tk::CStatic m_previewFrame;
    tk::CStatic m_previewLabel;
};
