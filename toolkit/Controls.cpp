// Control wrappers.
#include "toolkit/Controls.h"
#include "toolkit/Text.h"

#include <vector>

namespace tk {

void CWnd::SetText(const std::string& text) const { ::SetWindowTextA(m_hwnd, text.c_str()); }

std::string CWnd::GetText() const { return GetWindowTextString(m_hwnd); }

bool CStatusBar::Create(HWND parent, int id) {
    HWND bar = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_BOTTOM,
                                 0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleA(nullptr), nullptr);
    if (!bar) return false;
    Attach(bar);
    Send(SB_SIMPLE, TRUE);
    return true;
}

void CStatusBar::SetSimpleText(const std::string& text) const {
    // SB_SIMPLEID (255) addresses the simple-mode pane.
    Send(SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string CStatusBar::GetSimpleText() const {
    // Wine keeps a simple bar's text in part 0 and answers the simple part's
    // id with nothing; Windows answers both with the simple text.
    for (WPARAM part : {WPARAM(255), WPARAM(0)}) {
        size_t n = LOWORD(Send(SB_GETTEXTLENGTHA, part));
        if (n == 0) continue;
        std::vector<char> buf(n + 1, '\0');
        Send(SB_GETTEXTA, part, reinterpret_cast<LPARAM>(buf.data()));
        return std::string(buf.data());
    }
    return std::string();
}

} // namespace tk
