// The progress window of a picture transfer.
#include "ui/LoadingDlg.h"

#include "device/UsbChannel.h"
#include "resources/resource.h"

#include <cstring>

namespace {

// Asks the window's own thread to end the window (hide it). A dialog's
// private range would clash with the DM_ messages, so it lives above WM_APP.
constexpr UINT kMsgEndWindow = WM_APP + 35;

constexpr int kWindowLeft = 47;
constexpr int kWindowTop = 128;

BOOL CALLBACK CloseMessageBox(HWND wnd, LPARAM) {
    char name[16] = {};
    ::GetClassNameA(wnd, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0) ::PostMessageA(wnd, WM_CLOSE, 0, 0);
    return TRUE;
}

} // namespace

struct CLoadingDlg::ThreadStart {
    ThreadProcedure procedure;
    HWND owner;
};

CLoadingDlg::CLoadingDlg() : tk::CDialog(IDD_PROGRESS) {
    Bind(IDC_PROGRESS_TEXT, m_text);
    Bind(IDC_PROGRESS_BAR, m_progress);
}

CLoadingDlg::~CLoadingDlg() {
    // The thread steps this object; it must be gone first. Its window calls
    // are answered while we wait.
    EndWorker();
    // The bound wrappers are members of this class: detach them while they
    // still exist.
    Destroy();
}

BOOL CLoadingDlg::OnInitDialog() {
    m_window = Hwnd();
    m_bar = m_progress.Hwnd();
    return FALSE;  // the progress window never takes the focus
}

void CLoadingDlg::OnDestroyed() {
    m_window = nullptr;
    m_bar = nullptr;
}

std::optional<LRESULT> CLoadingDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)wp;
    (void)lp;
    if (msg == kMsgEndWindow) {
        // A modeless window ended as a dialog is only hidden.
        ::ShowWindow(Hwnd(), SW_HIDE);
        return 0;
    }
    return std::nullopt;
}

bool CLoadingDlg::IsWorkerRunning() const {
    return m_worker && ::WaitForSingleObject(m_worker.Get(), 0) == WAIT_TIMEOUT;
}

void CLoadingDlg::WaitForWorkerEnd() {
    if (!m_worker) return;
    WaitAnsweringSentMessages(m_worker.Get());
    m_worker.Reset();
}

void CLoadingDlg::EndWorker() {
    if (!m_worker) return;
    const DWORD thread = ::GetThreadId(m_worker.Get());
    HANDLE worker = m_worker.Get();
    for (;;) {
        ::EnumThreadWindows(thread, &CloseMessageBox, 0);
        const DWORD r = ::MsgWaitForMultipleObjectsEx(1, &worker, 100, QS_SENDMESSAGE, 0);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;  // peeking delivers the messages the thread sends us
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        } else if (r != WAIT_TIMEOUT) {
            ::WaitForSingleObject(worker, INFINITE);
            break;
        }
    }
    m_worker.Reset();
}

void CLoadingDlg::CloseFinishedWorker() {
    if (m_worker && !IsWorkerRunning()) m_worker.Reset();
}

bool CLoadingDlg::Start(int maximum, HWND owner, const std::string& text, ThreadProcedure procedure) {
    if (IsWorkerRunning()) return false;
    CloseFinishedWorker();

    ::EnableWindow(owner, FALSE);
    m_owner = owner;

    if (Hwnd()) Destroy();
    if (!Create(owner) || !Hwnd()) {
        Finish();
        return false;
    }
    ::SetWindowPos(Hwnd(), HWND_TOP, kWindowLeft, kWindowTop, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);

    m_progress.SetRange(0, maximum);
    m_progress.SetPos(0);
    m_progress.SetStep(1);

    m_text.Show(false);
    m_text.SetText(text);

    // The template makes the bar vertical; it runs left to right.
    HWND bar = m_progress.Hwnd();
    LONG_PTR style = ::GetWindowLongPtrA(bar, GWL_STYLE);
    ::SetWindowLongPtrA(bar, GWL_STYLE, style & ~static_cast<LONG_PTR>(PBS_VERTICAL));
    ::SetWindowPos(bar, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    ::InvalidateRect(bar, nullptr, TRUE);
    ::ShowWindow(Hwnd(), SW_SHOW);

    auto* start = new ThreadStart{std::move(procedure), owner};
    tk::UniqueHandle worker(::CreateThread(nullptr, 0, &CLoadingDlg::ThreadMain, start, CREATE_SUSPENDED, nullptr));
    if (!worker) {
        delete start;
        Finish();
        return false;
    }
    ::SetThreadPriority(worker.Get(), THREAD_PRIORITY_NORMAL);
    m_worker = std::move(worker);
    ::ResumeThread(m_worker.Get());
    return true;
}

DWORD WINAPI CLoadingDlg::ThreadMain(LPVOID param) {
    auto* start = static_cast<ThreadStart*>(param);
    int code = start->procedure ? start->procedure(start->owner) : 0;
    delete start;
    return static_cast<DWORD>(code);
}

void CLoadingDlg::SetRange(int upper) {
    HWND bar = m_bar;
    if (!bar) return;
    ::SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(upper));
}

void CLoadingDlg::StepIt() {
    HWND window = m_window;
    HWND bar = m_bar;
    if (!window || !bar || !::IsWindow(bar)) return;
    ::SendMessageA(bar, PBM_STEPIT, 0, 0);
    const LRESULT position = ::SendMessageA(bar, PBM_GETPOS, 0, 0);
    const LRESULT upper = ::SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
    if (position == upper) Finish();
}

void CLoadingDlg::Finish() {
    ::EnableWindow(m_owner, TRUE);
    HWND window = m_window;
    if (window && ::IsWindow(window)) ::SendMessageA(window, kMsgEndWindow, 0, 0);
}
