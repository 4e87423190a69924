// The Image size dialog.
#include "ui/DefaultSettings.h"

#include "app/LogFormat.h"
#include "device/ScreenReply.h"
#include "resources/resource.h"

int ParseDecimal(const std::string& text) { return quorvel::TextToInt(text.data(), text.size()); }

CDefaultSettings::CDefaultSettings(HWND parent) : tk::CDialog(IDD_IMAGE_SIZE, parent) {
    Bind(IDC_SIZE_WIDTH, m_editWidth);
    Bind(IDC_SIZE_HEIGHT, m_editHeight);
}

std::optional<LRESULT> CDefaultSettings::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)wp;
    (void)lp;
    if (msg == WM_SHOWWINDOW) {
        m_editHeight.SetText(quorvel::FormatInt(m_height));
        m_editWidth.SetText(quorvel::FormatInt(m_width));
    }
    return std::nullopt;
}

bool CDefaultSettings::OnCommand(int id, int code, HWND control) {
    (void)control;
    if (code != BN_CLICKED) return false;
    if (id == IDC_SIZE_OK) {
        OnAccept();
        return true;
    }
    if (id == IDC_SIZE_CANCEL) {
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

void CDefaultSettings::OnAccept() {
    int h = ParseDecimal(m_editHeight.GetText());
    int w = ParseDecimal(m_editWidth.GetText());
    if (h != 0 && w != 0) {
        m_height = h;
        m_width = w;
    }
    EndDialog(IDOK);
}
