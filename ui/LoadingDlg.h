// The progress window of a picture transfer: a small borderless child of the
// main window with one progress bar, shown where the "Image preview" label
// normally sits. It also starts the thread that does the transfer and keeps
// the main window disabled until the bar reaches its end or the transfer
// gives up.
//
// Start runs on the user-interface thread; SetRange, StepIt and Finish are
// called by the sending thread. They only send messages to the windows (the
// platform carries them to the user-interface thread and waits), and they
// reach the windows through handles copied when the window is made, never
// through the wrapper objects, so the sending thread never touches state the
// user-interface thread changes.
//
// The bar finishes the window by itself when its position reaches the upper
// bound. A transfer whose length is not a multiple of 1000 bytes steps once
// more after that; the bar is hidden by then and simply starts over from the
// beginning, which nobody sees.
#pragma once
#include "device/TransferProgress.h"
#include "toolkit/Controls.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"

#include <atomic>
#include <functional>
#include <string>

class CLoadingDlg : public tk::CDialog, public TransferProgress {
public:
    CLoadingDlg();
    ~CLoadingDlg() override;

    // Disables `owner`, shows the window at (47, 128) of the owner's client
    // area with the range 0 .. maximum, and starts `procedure` on a new
    // thread (made suspended, then resumed; the caller does not wait).
    // Returns false without changing anything while the previous run's
    // thread is still working, so two transfers can never share the channel;
    // returns false with the owner enabled again when the window or the
    // thread cannot be made.
    bool Start(int maximum, HWND owner, const std::string& text, ThreadProcedure procedure) override;
    // The progress range becomes 0 .. upper.
    void SetRange(int upper) override;
    // Advances the bar by one; at the upper bound the run finishes.
    void StepIt() override;
    // Enables the owner again (always) and hides the window; the window is
    // destroyed at the next Start or with its owner.
    void Finish() override;

    // True while the thread of the last Start still runs.
    bool IsWorkerRunning() const override;
    // Waits for that thread, answering messages that other threads send to
    // this thread's windows meanwhile (the worker's window calls).
    void WaitForWorkerEnd();
    // The same at the program's end: a message box the thread shows (one it
    // put up before the end began) is closed, so that it cannot hold the
    // thread, and with it the end, for ever.
    void EndWorker();

protected:
    BOOL OnInitDialog() override;
    // Enter and Escape must not end the window while a transfer runs.
    void OnOK() override {}
    void OnCancel() override {}
    std::optional<LRESULT> OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnDestroyed() override;

private:
    struct ThreadStart;
    static DWORD WINAPI ThreadMain(LPVOID param);
    void CloseFinishedWorker();

    std::atomic<HWND> m_owner{nullptr};
    tk::CStatic m_text;
    tk::CProgressBar m_progress;
    // Copies of the window handles for the calls from the worker thread.
    std::atomic<HWND> m_window{nullptr};
    std::atomic<HWND> m_bar{nullptr};
    tk::UniqueHandle m_worker;
};
