// The USB channel: worker thread, callback object and the request exchange.
#include "device/UsbChannel.h"

#include "device/HandheldInterfaces.h"
#include "device/ScreenReply.h"
#include "toolkit/Handles.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <utility>

namespace {

// Request blocks live on the requester's stack until its wait ends.
struct WriteRequest {
    const void* data;
    std::int32_t length;
    HANDLE event;
    std::int32_t result;  // 0 = written
};

struct ReadRequest {
    std::uint8_t* buffer;
    std::int32_t size;
    HANDLE event;
    LONG result;  // the component's answer; 0 = nothing read
};

// A failing component call, turned into an exception by the call wrappers of
// the connect step and caught there.
struct ComFailure : std::exception {
    explicit ComFailure(HRESULT hr) : hr(hr) {}
    HRESULT hr;
};

void Check(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure(hr);
}

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& cs) : m_cs(cs) { ::EnterCriticalSection(&m_cs); }
    ~CriticalSectionLock() { ::LeaveCriticalSection(&m_cs); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
private:
    CRITICAL_SECTION& m_cs;
};

HANDLE MakeEvent() { return ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }

// The callback object handed to the component. It lives on the worker's
// stack for one connection; the component's reference counting never frees it.
class ChannelSink : public HhChannelSink {
public:
    ChannelSink(DWORD workerThreadId, const UsbChannel::PasswordAnswer& answer, const std::atomic<bool>& ending)
        : m_workerThreadId(workerThreadId), m_passwordAnswer(answer), m_ending(ending) {
        ::InitializeCriticalSection(&m_sinkLock);
    }
    ~ChannelSink() {
        ReleaseChannel();
        ::DeleteCriticalSection(&m_sinkLock);
    }
    ChannelSink(const ChannelSink&) = delete;
    ChannelSink& operator=(const ChannelSink&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_HhChannelSink) || IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<HhChannelSink*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(::InterlockedDecrement(&m_refs)); }

    // HhChannelSink
    HRESULT STDMETHODCALLTYPE OnNotification() override { return S_OK; }

    HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG remainingAttempts, BYTE* digest) override {
        bool supplied = false;
        if (digest && m_passwordAnswer && !m_ending) {  // no prompt once the program ends
            try {
                supplied = m_passwordAnswer(static_cast<std::int32_t>(remainingAttempts), digest);
            } catch (...) {
                supplied = false;
            }
        }
        m_passwordState = supplied ? PasswordSupplied : PasswordRefused;
        return supplied ? S_OK : E_FAIL;
    }

    HRESULT STDMETHODCALLTYPE OnDataArrived() override {
        CriticalSectionLock lock(m_sinkLock);
        if (m_pendingRead) {
            ReadInto(*m_pendingRead);
            HANDLE done = m_pendingRead->event;
            m_pendingRead = nullptr;
            ::SetEvent(done);
        } else {
            ++m_pendingNotifications;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OnChannelClosed() override {
        ::PostThreadMessageA(m_workerThreadId, ChannelMsgClose, 0, 0);
        return S_OK;
    }

    // Worker side.
    // Takes over the component's reference.
    void SetChannel(HhChannel* channel) {
        CriticalSectionLock lock(m_sinkLock);
        m_channel.Attach(channel);
    }
    bool HasChannel() {
        CriticalSectionLock lock(m_sinkLock);
        return static_cast<bool>(m_channel);
    }
    std::int32_t PasswordStateValue() const { return m_passwordState; }

    void HandleWrite(WriteRequest& request) {
        // The write goes out without the sink lock held, so a slow component
        // never blocks its own data-arrived notification; the channel pointer
        // is kept alive by a reference of our own.
        tk::ComPtr<HhChannel> channel;
        {
            CriticalSectionLock lock(m_sinkLock);
            channel = m_channel;
        }
        std::int32_t result = 1;
        if (channel) {
            try {
                HRESULT hr = channel->Write(static_cast<const BYTE*>(request.data), request.length);
                result = SUCCEEDED(hr) ? 0 : 1;
            } catch (...) {
                result = 1;
            }
        }
        request.result = result;
        ::SetEvent(request.event);
    }

    void HandleRead(ReadRequest& request) {
        CriticalSectionLock lock(m_sinkLock);
        if (!m_channel || m_pendingRead) {
            // No channel, or a read already waits: this one fails at once.
            request.result = 0;
            ::SetEvent(request.event);
        } else if (m_pendingNotifications > 0) {
            ReadInto(request);
            ::SetEvent(request.event);
            --m_pendingNotifications;
        } else {
            m_pendingRead = &request;
        }
    }

    // Fails a waiting read and lets go of the channel. The channel is
    // released outside the sink lock: the component may wait in its release
    // for a notification that is itself waiting for that lock.
    void HandleClose() {
        tk::ComPtr<HhChannel> channel;
        {
            CriticalSectionLock lock(m_sinkLock);
            if (m_pendingRead) {
                m_pendingRead->result = 0;
                HANDLE done = m_pendingRead->event;
                m_pendingRead = nullptr;
                ::SetEvent(done);
            }
            channel = std::move(m_channel);
        }
    }  // the channel goes here, outside the lock

private:
    // Called with the sink lock held.
    void ReadInto(ReadRequest& request) {
        request.result = 0;
        if (!m_channel) return;
        try {
            LONG result = 0;
            HRESULT hr = m_channel->Read(request.buffer, request.size, &result);
            request.result = SUCCEEDED(hr) ? result : 0;
        } catch (...) {
            request.result = 0;
        }
    }

    void ReleaseChannel() { m_channel.Reset(); }

    tk::ComPtr<HhChannel> m_channel;
    std::int32_t m_passwordState = PasswordNotAsked;
    LONG m_refs = 0;
    DWORD m_workerThreadId;
    std::int32_t m_pendingNotifications = 0;
    ReadRequest* m_pendingRead = nullptr;
    CRITICAL_SECTION m_sinkLock;
    const UsbChannel::PasswordAnswer& m_passwordAnswer;
    const std::atomic<bool>& m_ending;
};

bool Connect(ChannelSink& sink) {
    try {
        tk::ComPtr<IUnknown> unknown;
        Check(::CoCreateInstance(CLSID_HhManagerClass, nullptr, kHhManagerClsctx, IID_IUnknown, unknown.PutVoid()));
        Check(::OleRun(unknown.Get()));
        tk::ComPtr<HhManager> manager;
        Check(unknown->QueryInterface(IID_HhManager, manager.PutVoid()));
        unknown.Reset();

        tk::ComPtr<HhDeviceList> devices;
        Check(manager->GetDeviceList(devices.Put()));
        LONG count = 0;
        Check(devices->GetCount(&count));
        if (count == 0) return false;  // no handheld attached
        tk::ComPtr<HhDevice> device;
        Check(devices->GetDevice(0, device.Put()));
        HhChannel* channel = nullptr;  // the sink owns it from here
        Check(device->OpenChannel(kHhChannelName, &sink, &channel));
        sink.SetChannel(channel);
    } catch (...) {
        return false;
    }
    return sink.HasChannel();
}

// Answers every request that waits in this thread's queue with failure.
void FailQueuedRequests() {
    MSG msg;
    while (::PeekMessageA(&msg, reinterpret_cast<HWND>(-1), ChannelMsgWrite, ChannelMsgPasswordState, PM_REMOVE)) {
        switch (msg.message) {
        case ChannelMsgWrite: {
            auto* request = reinterpret_cast<WriteRequest*>(msg.wParam);
            request->result = 1;
            ::SetEvent(request->event);
            break;
        }
        case ChannelMsgRead: {
            auto* request = reinterpret_cast<ReadRequest*>(msg.wParam);
            request->result = 0;
            ::SetEvent(request->event);
            break;
        }
        case ChannelMsgClose:
            if (msg.wParam) ::SetEvent(reinterpret_cast<HANDLE>(msg.wParam));
            break;
        case ChannelMsgPasswordState:
            // The state word is answered by the caller's fallback below.
            if (msg.lParam) ::SetEvent(reinterpret_cast<HANDLE>(msg.lParam));
            break;
        default:
            break;
        }
    }
}

const char* const kHiddenWindowClass = "MsgWnd";

// Cancels the dialogs (the password prompt) open on the worker: its modal
// loop would otherwise hold the connect until someone answers.
BOOL CALLBACK CancelDialog(HWND wnd, LPARAM) {
    char name[16] = {};
    ::GetClassNameA(wnd, name, sizeof name);
    if (std::strcmp(name, "#32770") == 0) ::PostMessageA(wnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return TRUE;
}

} // namespace

struct UsbChannel::OpenRequest {
    HANDLE event;
    std::int32_t result;  // 0 open, 1 component could not open, -1 no apartment or window
    DWORD* workerThreadId;
    CRITICAL_SECTION* channelLock;
    std::int32_t passwordState;
    UsbChannel* channel;
};

void WaitAnsweringSentMessages(HANDLE handle) {
    for (;;) {
        DWORD r = ::MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_SENDMESSAGE, 0);
        if (r == WAIT_OBJECT_0) return;
        if (r == WAIT_OBJECT_0 + 1) {
            // Peeking delivers the messages sent to this thread.
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        // A failed wait: fall back to a plain one rather than spin.
        ::WaitForSingleObject(handle, INFINITE);
        return;
    }
}

UsbChannel::UsbChannel() { ::InitializeCriticalSection(&m_lock); }

UsbChannel::~UsbChannel() {
    CloseChannel();
    WaitForWorkerEnd();
    ::DeleteCriticalSection(&m_lock);
}

DWORD UsbChannel::WorkerThreadId() {
    CriticalSectionLock lock(m_lock);
    return m_workerThreadId;
}

bool UsbChannel::OpenChannel() {
    CriticalSectionLock lock(m_lock);
    if (m_workerThreadId != 0) {
        ::MessageBoxA(nullptr, "OpenChannel() on already opened channel!", nullptr, MB_OK);
        return false;
    }
    // The previous connection's worker may still be finishing its last
    // steps, the last of which takes the channel lock: wait for it with the
    // lock left, or neither of us would ever go on.
    while (m_workerHandle) {
        tk::UniqueHandle previous = std::move(m_workerHandle);
        ::LeaveCriticalSection(&m_lock);
        WaitAnsweringSentMessages(previous.Get());
        previous.Reset();
        ::EnterCriticalSection(&m_lock);
        if (m_workerThreadId != 0) {
            // Another thread opened the channel meanwhile.
            ::MessageBoxA(nullptr, "OpenChannel() on already opened channel!", nullptr, MB_OK);
            return false;
        }
    }
    tk::UniqueHandle opened(MakeEvent());
    OpenRequest request{opened.Get(), 1, &m_workerThreadId, &m_lock, PasswordNotAsked, this};
    if (!opened) return false;
    m_workerHandle.Reset(::CreateThread(nullptr, 0, &UsbChannel::WorkerProc, &request, 0, &m_workerThreadId));
    if (!m_workerHandle) {
        ::MessageBoxA(nullptr, "Failed to create thread!", nullptr, MB_OK);
        m_workerThreadId = 0;
        return false;
    }
    // The password prompt may run on the worker meanwhile; it is ownerless.
    // Only messages sent to this thread are handled here, so an end that
    // comes meanwhile is a sent session end, nested in this wait.
    m_connecting = true;
    m_endDuringOpen = false;
    WaitAnsweringSentMessages(opened.Get());
    m_connecting = false;
    m_lastPasswordState = request.passwordState;
    if (request.result != 0) m_workerThreadId = 0;
    if (m_endDuringOpen) {
        // The program ends: a connection just made is closed at once, and
        // the worker's last steps (which take the lock we hold) are waited
        // for with the lock left, while the window is still there.
        if (request.result == 0) CloseChannel();
        tk::UniqueHandle worker = std::move(m_workerHandle);
        ::LeaveCriticalSection(&m_lock);
        if (worker) WaitAnsweringSentMessages(worker.Get());
        ::EnterCriticalSection(&m_lock);
        return false;
    }
    return request.result == 0;
}

bool UsbChannel::IsOpen() {
    CriticalSectionLock lock(m_lock);
    return m_workerThreadId != 0 && !m_connecting;
}

bool UsbChannel::Write(const void* data, std::int32_t length) {
    CriticalSectionLock lock(m_lock);
    if (m_workerThreadId == 0 || m_connecting) return false;
    tk::UniqueHandle done(MakeEvent());
    WriteRequest request{data, length, done.Get(), 1};
    if (!done || !::PostThreadMessageA(m_workerThreadId, ChannelMsgWrite, reinterpret_cast<WPARAM>(&request), 0))
        return false;
    WaitAnsweringSentMessages(done.Get());
    return request.result == 0;
}

bool UsbChannel::WriteString(std::string text) {
    // The text's characters, without a terminator.
    return Write(text.data(), static_cast<std::int32_t>(text.size()));
}

bool UsbChannel::ReadString(std::string& text) {
    std::uint8_t buffer[kChannelReadBufferSize];
    std::memset(buffer, 0, sizeof buffer);
    tk::UniqueHandle done;
    ReadRequest request{buffer, kChannelReadBufferSize, nullptr, 0};
    {
        CriticalSectionLock lock(m_lock);
        if (m_workerThreadId == 0 || m_connecting) return false;
        done.Reset(MakeEvent());
        request.event = done.Get();
        if (!done || !::PostThreadMessageA(m_workerThreadId, ChannelMsgRead, reinterpret_cast<WPARAM>(&request), 0))
            return false;
    }
    // The reader waits outside the channel lock, so a write, a close or an
    // open check on another thread is never held up by it.
    WaitAnsweringSentMessages(done.Get());
    if (request.result == 0) return false;
    text = quorvel::PacketText(buffer, sizeof buffer);
    return true;
}

void UsbChannel::CloseChannel() {
    CriticalSectionLock lock(m_lock);
    if (m_workerThreadId == 0 || m_connecting) return;  // the open ends it
    tk::UniqueHandle done(MakeEvent());
    // A worker that cannot be reached is not waited for here: its last step
    // takes the channel lock that we hold, so that wait would never end.
    if (done && ::PostThreadMessageA(m_workerThreadId, ChannelMsgClose, reinterpret_cast<WPARAM>(done.Get()), 0))
        WaitAnsweringSentMessages(done.Get());
    m_workerThreadId = 0;
}

int UsbChannel::GetPasswordState() {
    std::int32_t state = 0;
    tk::UniqueHandle done;
    {
        CriticalSectionLock lock(m_lock);
        if (m_workerThreadId == 0 || m_connecting) return m_lastPasswordState;
        done.Reset(MakeEvent());
        state = m_lastPasswordState;
        if (!done || !::PostThreadMessageA(m_workerThreadId, ChannelMsgPasswordState, reinterpret_cast<WPARAM>(&state),
                                           reinterpret_cast<LPARAM>(done.Get())))
            return m_lastPasswordState;
    }
    WaitAnsweringSentMessages(done.Get());
    return state;
}

void UsbChannel::WaitForWorkerEnd() {
    tk::UniqueHandle worker;
    {
        CriticalSectionLock lock(m_lock);
        if (m_connecting) {
            // Nested in OpenChannel's wait on this thread (only this thread
            // can enter the lock it holds): the worker cannot end before the
            // connect does, so its prompt is cancelled, and the open closes
            // and joins it once that wait is over.
            m_endDuringOpen = true;
            m_ending = true;
            ::EnumThreadWindows(m_workerThreadId, &CancelDialog, 0);
            return;
        }
        worker = std::move(m_workerHandle);
    }
    if (worker) WaitAnsweringSentMessages(worker.Get());
}

DWORD WINAPI UsbChannel::WorkerProc(LPVOID param) {
    auto* request = static_cast<OpenRequest*>(param);
    return request->channel->RunWorker(request);
}

// The thread's exit code: 0 after a connection, -1 when the worker ended
// before one was made.
DWORD UsbChannel::RunWorker(OpenRequest* request) {
    const DWORD kEarlyFailure = static_cast<DWORD>(-1);
    ChannelSink sink(::GetCurrentThreadId(), m_passwordAnswer, m_ending);
    DWORD* workerThreadId = request->workerThreadId;
    CRITICAL_SECTION* channelLock = request->channelLock;

    // Make sure this thread has a message queue before anybody posts to it.
    MSG peek;
    ::PeekMessageA(&peek, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

    HRESULT hrApartment = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hrApartment)) {
        request->passwordState = sink.PasswordStateValue();
        request->result = -1;
        ::SetEvent(request->event);
        return kEarlyFailure;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetCurrentProcess());
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kHiddenWindowClass;
    // A class left registered by a connection on another thread is fine.
    ::RegisterClassA(&wc);
    HWND hidden = ::CreateWindowExA(0, kHiddenWindowClass, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!hidden) {
        ::UnregisterClassA(kHiddenWindowClass, instance);
        ::CoUninitialize();
        request->passwordState = sink.PasswordStateValue();
        request->result = -1;
        ::SetEvent(request->event);
        return kEarlyFailure;
    }

    if (!Connect(sink)) {
        sink.HandleClose();
        ::DestroyWindow(hidden);
        ::UnregisterClassA(kHiddenWindowClass, instance);
        request->passwordState = sink.PasswordStateValue();
        request->result = 1;
        ::SetEvent(request->event);
        ::CoUninitialize();
        return kEarlyFailure;
    }
    request->passwordState = sink.PasswordStateValue();
    request->result = 0;
    ::SetEvent(request->event);
    request = nullptr;  // only valid until its event was set

    MSG msg;
    for (;;) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (msg.hwnd == nullptr && msg.message >= ChannelMsgWrite && msg.message <= ChannelMsgPasswordState) {
            bool leave = false;
            switch (msg.message) {
            case ChannelMsgWrite:
                sink.HandleWrite(*reinterpret_cast<WriteRequest*>(msg.wParam));
                break;
            case ChannelMsgRead:
                sink.HandleRead(*reinterpret_cast<ReadRequest*>(msg.wParam));
                break;
            case ChannelMsgClose:
                sink.HandleClose();
                if (msg.wParam) ::SetEvent(reinterpret_cast<HANDLE>(msg.wParam));
                leave = true;
                break;
            case ChannelMsgPasswordState:
                *reinterpret_cast<std::int32_t*>(msg.wParam) = sink.PasswordStateValue();
                ::SetEvent(reinterpret_cast<HANDLE>(msg.lParam));
                break;
            }
            if (leave) break;
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }

    // End of connection. Requests that were posted after the close are
    // answered with failure at once, and again while we wait for the channel
    // lock: a writer holds that lock while it waits for its answer.
    sink.HandleClose();
    FailQueuedRequests();
    if (m_disconnectedDisplay) {
        try {
            m_disconnectedDisplay();
        } catch (...) {
        }
    }
    while (!::TryEnterCriticalSection(channelLock)) {
        FailQueuedRequests();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_POSTMESSAGE);
    }
    // Only our own id is cleared: when CloseChannel has cleared it already,
    // a newer connection's worker may stand there by now.
    if (*workerThreadId == ::GetCurrentThreadId()) *workerThreadId = 0;
    // Every request is posted under the channel lock after a check of the
    // thread id, so after this last pass none can come any more.
    FailQueuedRequests();
    ::LeaveCriticalSection(channelLock);

    ::DestroyWindow(hidden);
    ::UnregisterClassA(kHiddenWindowClass, instance);
    ::CoUninitialize();
    return 0;
}
