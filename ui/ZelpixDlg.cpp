// The main dialog.
#include "ui/ZelpixDlg.h"

#include "resources/resource.h"

namespace {
const char* const kMainTitle = "Quorvel Photo Manager";
}

CZelpixDlg::CZelpixDlg(HWND parent) : tk::CDialog(IDD_MAIN, parent) {
    Bind(IDC_IMAGE_SIZE, m_btnImageSize);
    Bind(IDC_SEND_TO_DEVICE, m_btnSendToDevice);
    Bind(IDC_SEND_BY_MAIL, m_btnSendByMail);
    Bind(IDC_OPEN_PICTURE, m_btnOpen);
    Bind(IDC_ZOOM_IN, m_btnZoomIn);
    Bind(IDC_ZOOM_OUT, m_btnZoomOut);
    Bind(IDC_CONNECT, m_btnConnect);
    Bind(IDC_DISCONNECT, m_btnDisconnect);
    Bind(IDC_WIDTH, m_editWidth);
    Bind(IDC_HEIGHT, m_editHeight);
    Bind(IDC_PREVIEW_FRAME, m_previewFrame);
    Bind(IDC_PREVIEW_LABEL, m_previewLabel);
    m_hIcon = static_cast<HICON>(::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
    m_hIconSmall = static_cast<HICON>(::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0));
}

CZelpixDlg::~CZelpixDlg() {
    Destroy();
    if (m_hIcon) ::DestroyIcon(m_hIcon);
    if (m_hIconSmall) ::DestroyIcon(m_hIconSmall);
}

BOOL CZelpixDlg::OnInitDialog() {
    SetText(kMainTitle);
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIconSmall));
    m_statusBar.Create(Hwnd(), IDC_STATUS_BAR);
    m_statusBar.SetSimpleText("Disconnected");
    return TRUE;
}

bool CZelpixDlg::OnCommand(int id, int code, HWND control) {
    (void)code;
    (void)control;
    switch (id) {
    case IDM_EXIT: OnExit(); return true;
    case IDM_ABOUT: OnAbout(); return true;
    default: return false;
    }
}

std::optional<LRESULT> CZelpixDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)lp;
    if (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE) {
        EndRun();
        return std::nullopt;  // the default handling follows
    }
    return std::nullopt;
}

void CZelpixDlg::EndRun() { ::PostQuitMessage(0); }

void CZelpixDlg::OnExit() { EndRun(); }

void CZelpixDlg::OnAbout() {
    tk::CDialog about(IDD_ABOUT, Hwnd());
    about.DoModal();
}
