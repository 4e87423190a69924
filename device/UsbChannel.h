// The USB channel to the handheld: one worker thread per connection owns every
// call into the handheld manager's COM component, inside a multithreaded
// apartment with a hidden "MsgWnd" window and a message loop. Callers on other
// threads post a request to the worker and wait, without time-out, for its
// event. The channel is open exactly while its worker runs.
//
// Two locks: the channel lock (worker thread id, serialises the operations)
// and, inside the callback object, the sink lock (pending read, pending
// notifications, channel pointer). They are always taken in that order.
#pragma once
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

enum PasswordState : std::int32_t {
    PasswordNotAsked = 0,
    PasswordSupplied = 1,
    PasswordRefused = 2,
};

// Thread messages of the worker (private to its queue).
constexpr UINT ChannelMsgWrite = WM_USER + 100;          // wParam: write request
constexpr UINT ChannelMsgRead = WM_USER + 101;           // wParam: read request
constexpr UINT ChannelMsgClose = WM_USER + 102;          // wParam: completion event or 0
constexpr UINT ChannelMsgPasswordState = WM_USER + 103;  // wParam: result word, lParam: event

constexpr int kChannelReadBufferSize = 1000;

class UsbChannel {
public:
    // Given the remaining attempts, fills the 20-byte digest and returns true,
    // or returns false to refuse. Runs on the worker thread.
    using PasswordAnswer = std::function<bool(std::int32_t remainingAttempts, std::uint8_t* digest)>;
    // Shows the disconnected state; runs on the worker thread at the end of
    // every connection that had opened.
    using DisconnectedDisplay = std::function<void()>;

    UsbChannel();
    ~UsbChannel();
    UsbChannel(const UsbChannel&) = delete;
    UsbChannel& operator=(const UsbChannel&) = delete;

    void SetPasswordAnswer(PasswordAnswer answer) { m_passwordAnswer = std::move(answer); }
    void SetDisconnectedDisplay(DisconnectedDisplay display) { m_disconnectedDisplay = std::move(display); }

    bool OpenChannel();
    bool IsOpen();
    bool Write(const void* data, std::int32_t length);
    bool WriteString(std::string text);
    bool ReadString(std::string& text);
    void CloseChannel();
    int GetPasswordState();

    // Waits until the last connection's worker has finished its end-of-
    // connection steps (they call the main window and take the channel lock),
    // so the channel and the window can be destroyed safely. Sent messages
    // are handled meanwhile, so the worker's calls into this thread's windows
    // are answered.
    void WaitForWorkerEnd();

    // The worker's thread handle while one runs (for tests).
    DWORD WorkerThreadId();

private:
    struct OpenRequest;
    static DWORD WINAPI WorkerProc(LPVOID param);
    DWORD RunWorker(OpenRequest* request);

    DWORD m_workerThreadId = 0;
    // Set while OpenChannel waits for the worker's connect; the channel
    // counts as closed meanwhile. An end on the opening thread (a sent
    // session end) marks m_endDuringOpen, and the open closes and joins its
    // worker itself once the connect is over.
    bool m_connecting = false;
    bool m_endDuringOpen = false;
    std::atomic<bool> m_ending{false};  // read by the worker: no password prompt any more
    CRITICAL_SECTION m_lock;
    std::int32_t m_lastPasswordState = PasswordNotAsked;
    tk::UniqueHandle m_workerHandle;
    PasswordAnswer m_passwordAnswer;
    DisconnectedDisplay m_disconnectedDisplay;
};

// Waits for `handle` without time-out while handling the messages other
// threads send to this thread's windows.
void WaitAnsweringSentMessages(HANDLE handle);
