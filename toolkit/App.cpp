// Application base.
#include "toolkit/App.h"
#include "toolkit/Dialog.h"

namespace tk {

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

CWinApp* CWinApp::Get() { return g_app; }

void CWinApp::EnableControlContainer() {
    if (!m_oleStarted) m_oleStarted = SUCCEEDED(::OleInitialize(nullptr));
}

bool CWinApp::InitInstance() {
    if (!m_instance) m_instance = ::GetModuleHandleA(nullptr);
    return true;
}

int CWinApp::ExitInstance() {
    if (m_oleStarted) {
        ::OleUninitialize();
        m_oleStarted = false;
    }
    // A modal run that met a quit request decides the exit code.
    return CDialog::LastQuitCode().value_or(0);
}

int CWinApp::Run() {
    MSG msg;
    int code = 0;
    for (;;) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) { code = static_cast<int>(msg.wParam); break; }
        if (got == -1) { code = -1; break; }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    int exitCode = ExitInstance();
    return code != 0 ? code : exitCode;
}

int CWinApp::Main(HINSTANCE instance) {
    m_instance = instance;
    if (InitInstance()) return Run();
    return ExitInstance();
}

} // namespace tk
