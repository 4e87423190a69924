// The simulated handheld manager's COM objects: manager, device list, device
// and channel, offering the method tables of device/HandheldInterfaces.h.
//
// Each manager reads the settings file named by QUORVEL_SIM_CONFIG when it
// is created (the program creates a new manager for every connection, and a
// test may change the settings between cases). The objects it hands out
// share those settings and the trace. Opening "HH_USBClient" may raise the
// password challenge on the caller's thread, as the real component does;
// everything after the open (answers, data-arrived and channel-closed
// notifications) comes from the channel's handheld thread (channel_core).
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <memory>
#include <new>
#include <mutex>
#include <string>
#include <vector>

#include "../../device/HandheldInterfaces.h"
#include "channel_core.h"
#include "companion.h"
#include "screen_window_win.h"
#include "sim_config.h"
#include "sim_win.h"
#include "trace_log.h"

namespace handheld_sim {
namespace {

// A write or read on a channel whose handheld side has gone.
const HRESULT kChannelGone = HRESULT_FROM_WIN32(ERROR_BROKEN_PIPE);
// Far above any packet of the transfer protocol (1006 bytes).
const LONG kLargestPacket = 65536;

std::string HresultText(HRESULT hr) {
    char buf[16];
    wsprintfA(buf, "0x%08lX", static_cast<unsigned long>(hr));
    return buf;
}

std::string Narrow(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    text.clear();
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof(buf), &got, nullptr) && got > 0) text.append(buf, got);
    CloseHandle(file);
    return true;
}

void CreateFolders(const std::string& path) {
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (!part.empty() && part.back() != ':') CreateDirectoryA(part.c_str(), nullptr);
        }
    }
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
               put == bytes.size());
    CloseHandle(file);
    return ok;
}

// SHA-1 through the platform's cryptography provider, so the check does not
// share a line of code with the program's own digest.
bool PlatformSha1(const std::string& bytes, BYTE digest[20]) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    bool ok = false;
    if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        if (CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
            DWORD size = 20;
            ok = CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), 0) &&
                 CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 20;
            CryptDestroyHash(hash);
        }
        CryptReleaseContext(provider, 0);
    }
    return ok;
}

// The settings and trace of one manager, shared by every object it creates.
struct Session {
    SimConfig config;
    std::shared_ptr<TraceLog> trace;
    std::string receivedDir;
    std::mutex mutex;
    int remainingAttempts = 0;  // the handheld's password counter
};

std::shared_ptr<Session> LoadSession() {
    auto s = std::make_shared<Session>();
    std::string source = "defaults";
    char path[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableA("QUORVEL_SIM_CONFIG", path, sizeof(path));
    if (n > 0 && n < sizeof(path)) {
        std::string text;
        if (ReadWholeFile(path, text)) {
            s->config = ParseSimConfig(text);
            source = path;
        } else {
            source = std::string(path) + " (not readable: defaults)";
        }
    }
    s->trace = std::make_shared<TraceLog>(s->config.traceFile);
    s->receivedDir = s->config.receivedDir.empty() ? ModuleFolder() + "\\Received Pictures"
                                                   : s->config.receivedDir;
    s->remainingAttempts = s->config.attempts;
    s->trace->Line("manager created, settings from " + source);
    for (const std::string& w : s->config.warnings) s->trace->Line("settings " + w);
    return s;
}

// Reference counting and QueryInterface for an object with one interface.
template <class Interface>
class ComObject : public Interface {
public:
    explicit ComObject(const IID& iid) : iid_(iid) { ObjectCreated(); }
    virtual ~ComObject() { ObjectDestroyed(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    const IID iid_;
    LONG refs_ = 1;
};

// The program's callback as the handheld thread uses it.
class SinkEvents : public ChannelEvents {
public:
    SinkEvents(HhChannelSink* sink, std::shared_ptr<ScreenWindow> window)
        : sink_(sink), window_(std::move(window)) {
        ObjectCreated();
    }
    ~SinkEvents() override {
        Detach();
        ObjectDestroyed();
    }
    void ThreadStarted() override {
        comReady_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    }
    void ThreadEnding() override {
        if (comReady_) CoUninitialize();
    }
    void DataArrived() override {
        if (sink_) sink_->OnDataArrived();
    }
    void ChannelClosed() override {
        if (sink_) sink_->OnChannelClosed();
    }
    void Detach() override {
        if (sink_) sink_->Release();
        sink_ = nullptr;
        window_.reset();
    }

private:
    HhChannelSink* sink_;  // an owned reference until Detach
    std::shared_ptr<ScreenWindow> window_;
    bool comReady_ = false;
};

class Channel : public ComObject<HhChannel> {
public:
    explicit Channel(std::shared_ptr<ChannelCore> core)
        : ComObject<HhChannel>(IID_HhChannel), core_(std::move(core)) {}
    ~Channel() override { core_->Shutdown(); }

    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Read(BYTE* buffer, LONG size, LONG* result) override {
        if (!result) return E_POINTER;
        *result = 0;
        if (!buffer || size <= 0) return E_INVALIDARG;
        size_t got = 0;
        if (core_->Read(buffer, static_cast<size_t>(size), got) == ChannelCore::IoResult::Closed)
            return kChannelGone;
        *result = static_cast<LONG>(got);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const BYTE* data, LONG length) override {
        if (length < 0 || length > kLargestPacket) return E_INVALIDARG;
        if (!data && length > 0) return E_POINTER;
        static const BYTE none = 0;
        switch (core_->Write(data ? data : &none, static_cast<size_t>(length))) {
            case ChannelCore::IoResult::Ok: return S_OK;
            case ChannelCore::IoResult::Failed: return E_FAIL;
            default: return kChannelGone;
        }
    }

private:
    std::shared_ptr<ChannelCore> core_;
};

class Device : public ComObject<HhDevice> {
public:
    explicit Device(std::shared_ptr<Session> session)
        : ComObject<HhDevice>(IID_HhDevice), session_(std::move(session)) {}

    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE OpenChannel(LPCWSTR name, HhChannelSink* sink,
                                          HhChannel** channel) override {
        if (!channel) return E_POINTER;
        *channel = nullptr;
        if (!name || !sink) return E_POINTER;
        TraceLog& trace = *session_->trace;
        const std::string narrowName = Narrow(name);
        trace.Line("open \"" + narrowName + "\"");
        if (std::wcscmp(name, kHhChannelName) != 0) {
            trace.Line("open failed: no application listens on \"" + narrowName + "\"");
            return E_FAIL;
        }

        // The component keeps its own reference to the callback, obtained the
        // COM way, which also checks the program's QueryInterface.
        HhChannelSink* ownSink = nullptr;
        HRESULT hr = sink->QueryInterface(IID_HhChannelSink, reinterpret_cast<void**>(&ownSink));
        if (FAILED(hr) || !ownSink) {
            trace.Line("open failed: the callback answers QueryInterface for HhChannelSink with " +
                       HresultText(hr));
            return E_NOINTERFACE;
        }

        if (session_->config.hasPassword) {
            hr = Challenge(ownSink);
            if (FAILED(hr)) {
                ownSink->Release();
                return hr;
            }
        }

        std::shared_ptr<ScreenWindow> window;
        if (session_->config.showWindow) {
            int width = 0, height = 0;
            ScreenSizeFromReply(session_->config.screenReply, width, height);
            window = std::make_shared<ScreenWindow>(width, height);
        }

        std::shared_ptr<TraceLog> traceRef = session_->trace;
        const std::string folder = session_->receivedDir;
        std::weak_ptr<ScreenWindow> weakWindow = window;
        auto store = [folder, weakWindow](const std::string& file, const std::vector<uint8_t>& bytes,
                                          std::string& where) {
            CreateFolders(folder);
            where = folder + "\\" + file;
            if (!WriteWholeFile(where, bytes)) {
                where += " (cannot write)";
                return false;
            }
            if (auto w = weakWindow.lock()) w->Show(where);
            return true;
        };
        auto companion = std::make_unique<Companion>(
            session_->config, [traceRef](const std::string& line) { traceRef->Line(line); }, store);
        auto events = std::make_unique<SinkEvents>(ownSink, window);
        auto core = std::make_shared<ChannelCore>(std::move(companion), std::move(events),
                                                  session_->trace, session_->config.latencyMs,
                                                  session_->config.closeIdleMs);
        core->Start();
        *channel = new Channel(core);
        trace.Line("open ok");
        return S_OK;
    }

private:
    // The handheld's password prompt, on the caller's thread during the open.
    HRESULT Challenge(HhChannelSink* sink) {
        TraceLog& trace = *session_->trace;
        BYTE expected[20];
        if (!PlatformSha1(session_->config.password, expected)) {
            trace.Line("open failed: the platform cannot compute SHA-1");
            return E_FAIL;
        }
        std::lock_guard<std::mutex> lock(session_->mutex);
        for (;;) {
            const int remaining = session_->remainingAttempts;
            if (remaining <= 0) {
                trace.Line("open failed: handheld locked, no password attempts left");
                return E_ACCESSDENIED;
            }
            BYTE digest[20] = {};
            trace.Line("challenge attempts=" + std::to_string(remaining));
            HRESULT hr = sink->OnPasswordChallenge(remaining, digest);
            if (FAILED(hr)) {
                trace.Line("challenge refused " + HresultText(hr));
                trace.Line("open failed: password refused");
                return E_ACCESSDENIED;
            }
            if (std::memcmp(digest, expected, 20) == 0) {
                trace.Line("digest " + Hex(digest, 20) + " accepted");
                session_->remainingAttempts = session_->config.attempts;
                return S_OK;
            }
            trace.Line("digest " + Hex(digest, 20) + " wrong");
            session_->remainingAttempts = remaining - 1;
        }
    }

    std::shared_ptr<Session> session_;
};

class DeviceList : public ComObject<HhDeviceList> {
public:
    explicit DeviceList(std::shared_ptr<Session> session)
        : ComObject<HhDeviceList>(IID_HhDeviceList), session_(std::move(session)) {}

    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override {
        if (!count) return E_POINTER;
        *count = session_->config.devices;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LONG index, HhDevice** device) override {
        if (!device) return E_POINTER;
        *device = nullptr;
        if (index < 0 || index >= session_->config.devices) return E_INVALIDARG;
        *device = new Device(session_);
        return S_OK;
    }

private:
    std::shared_ptr<Session> session_;
};

class Manager : public ComObject<HhManager> {
public:
    Manager() : ComObject<HhManager>(IID_HhManager), session_(LoadSession()) {}

    HRESULT STDMETHODCALLTYPE GetDeviceList(HhDeviceList** list) override {
        if (!list) return E_POINTER;
        *list = new DeviceList(session_);
        return S_OK;
    }

private:
    std::shared_ptr<Session> session_;
};

}  // namespace

HRESULT CreateManager(REFIID riid, void** out) {
    Manager* manager = new (std::nothrow) Manager();
    if (!manager) return E_OUTOFMEMORY;
    HRESULT hr = manager->QueryInterface(riid, out);
    manager->Release();
    return hr;
}

}  // namespace handheld_sim
