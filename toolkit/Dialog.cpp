// Dialog base: template binding, our own modal loop and message dispatch.
#include "toolkit/Dialog.h"

namespace tk {

namespace {
std::optional<int> g_lastQuitCode;
}

HINSTANCE ResourceModule() { return ::GetModuleHandleA(nullptr); }

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() { Destroy(); }

std::optional<int> CDialog::LastQuitCode() { return g_lastQuitCode; }

HWND CDialog::MakeWindow(HWND parent) {
    m_ended = false;
    m_result = 0;
    // A Unicode dialog: its title and its controls' texts hold every
    // character, whatever the ANSI code page holds. Texts set and read in
    // 8 bits are converted by the system on the way.
    return ::CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_templateId), parent, &CDialog::DialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CDialog::DoModal() {
    if (m_hwnd) return -1;  // already shown
    HWND owner = m_parent;
    // The owner is disabled for the run, like any modal dialog does, unless
    // it already was (then it stays as it was).
    bool disableOwner = owner && ::IsWindowEnabled(owner);
    m_modal = true;
    if (!MakeWindow(owner) || !m_hwnd) {
        m_modal = false;
        return -1;
    }
    if (disableOwner) ::EnableWindow(owner, FALSE);
    if (!m_ended) ::ShowWindow(m_hwnd, SW_SHOW);

    MSG msg;
    while (!m_ended) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            g_lastQuitCode = static_cast<int>(msg.wParam);
            // Hand the quit request on to whoever loops next.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            if (!m_ended) m_result = IDABORT;
            break;
        }
        if (got == -1) {
            m_result = -1;
            break;
        }
        if (PreTranslateMessage(msg)) continue;
        if (!m_hwnd || !::IsDialogMessageW(m_hwnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (disableOwner) ::EnableWindow(owner, TRUE);
    // Give the activation back to the owner before the dialog disappears, so
    // that no other program's window comes to the front.
    if (owner && m_hwnd && ::GetActiveWindow() == m_hwnd) ::SetActiveWindow(owner);
    Destroy();
    m_modal = false;
    return m_result;
}

bool CDialog::Create(HWND parent) {
    if (m_hwnd) return true;
    m_parent = parent;
    m_modal = false;
    return MakeWindow(parent) != nullptr && m_hwnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    if (m_modal) {
        // Wake the modal loop if this was called from another window's
        // handler or from a message sent by another thread.
        if (m_hwnd) ::PostMessageW(m_hwnd, WM_NULL, 0, 0);
    } else {
        Destroy();
    }
}

void CDialog::Destroy() {
    if (m_hwnd) {
        HWND wnd = m_hwnd;
        ::DestroyWindow(wnd);  // WM_NCDESTROY clears m_hwnd and the bindings
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        ::SetWindowLongPtrW(wnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hwnd = wnd;
        for (auto& b : self->m_bindings) b.second->Attach(::GetDlgItem(wnd, b.first));
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(wnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(wnd, DWLP_USER, 0);
        for (auto& b : self->m_bindings) b.second->Detach();
        self->m_hwnd = nullptr;
        self->OnDestroyed();
        return FALSE;
    }
    return self->Dispatch(msg, wp, lp);
}

INT_PTR CDialog::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) {
        int id = LOWORD(wp);
        int code = HIWORD(wp);
        HWND control = reinterpret_cast<HWND>(lp);
        if (OnCommand(id, code, control)) return TRUE;
        if (id == IDOK) { OnOK(); return TRUE; }
        if (id == IDCANCEL) { OnCancel(); return TRUE; }
        return FALSE;
    }
    std::optional<LRESULT> result = OnMessage(msg, wp, lp);
    if (!result && msg == WM_DROPFILES && m_hwnd && (::GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD)) {
        if (HWND parent = ::GetParent(m_hwnd)) result = ::SendMessageW(parent, WM_DROPFILES, wp, lp);
    }
    if (!result) return FALSE;
    switch (msg) {
    // These return their value straight from the dialog procedure.
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON:
        return static_cast<INT_PTR>(*result);
    default:
        if (m_hwnd) ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(*result));
        return TRUE;
    }
}

} // namespace tk
