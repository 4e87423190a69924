// channel_bench - what the USB channel's worker thread costs. One picture
// block goes to the handheld as a 1006-byte record and comes back
// acknowledged with "Rcv"; this times that round trip through UsbChannel
// (post to the worker, the worker writes, the component's data-arrived
// notification completes the pending read) against the simulated handheld
// with no latency, next to the same exchange made by calling the
// simulator's interfaces directly from one thread (write, wait for the
// notification, read). The ratio is the channel's own overhead.
//
// The channel's design cannot be cheaper than its hand-offs, so the bench
// also times them bare, without the component: a thread message to a worker
// with an event back for the write, the same for the read, and the
// notification from a third thread that completes the read. The channel's
// round trip is printed as a ratio to that floor too.
//
// Windows program (needs windows.h); run it under Wine with
// bench/run_channel_bench.sh. handheld_sim.dll must stand beside it.
// Optional argument: the number of timed round trips (default 3000).
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "device/HandheldInterfaces.h"
#include "device/UsbChannel.h"
#include "tests/win/SimHarness.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

const char kGreeting[] = "Hello from Quorvel Photo Manager";
const int kBlocksPerFile = 64;  // 64000 bytes, the largest picture

Bytes InitRecord(std::uint32_t length) {
    Bytes r(264, 0);
    std::memcpy(r.data(), "New", 3);
    const char name[] = "bench.jpg";
    r[3] = static_cast<std::uint8_t>(sizeof(name) - 1);
    std::memcpy(&r[4], name, sizeof(name) - 1);
    for (int i = 0; i < 4; ++i) r[260 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    return r;
}

Bytes BlockRecord(int index) {
    Bytes r(1006, 0);
    std::memcpy(r.data(), "Img", 3);
    r[4] = 1000 & 0xFF;
    r[5] = 1000 >> 8;
    for (int i = 0; i < 1000; ++i) r[6 + i] = static_cast<std::uint8_t>(index * 31 + i);
    return r;
}

// The exchange under test, whichever way it is carried: send a record and
// wait for the handheld's answer.
class Link {
public:
    virtual ~Link() = default;
    virtual bool Send(const Bytes& record) = 0;
    virtual bool Answer(std::string& text) = 0;
};

class ChannelLink : public Link {
public:
    bool Open() { return m_channel.OpenChannel(); }
    bool Send(const Bytes& record) override {
        return m_channel.Write(record.data(), static_cast<std::int32_t>(record.size()));
    }
    bool Answer(std::string& text) override { return m_channel.ReadString(text); }
    void Close() {
        m_channel.CloseChannel();
        m_channel.WaitForWorkerEnd();
    }

private:
    UsbChannel m_channel;
};

// The simulator's interfaces called from this thread, in the multithreaded
// apartment; the callback only signals that a packet is there.
class DirectLink : public Link, public HhChannelSink {
public:
    DirectLink() { m_arrived = ::CreateEventA(nullptr, FALSE, FALSE, nullptr); }
    ~DirectLink() override { ::CloseHandle(m_arrived); }

    bool Open() {
        IUnknown* unknown = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_HhManagerClass, nullptr, kHhManagerClsctx, IID_IUnknown,
                                      reinterpret_cast<void**>(&unknown))))
            return false;
        HhManager* manager = nullptr;
        HhDeviceList* list = nullptr;
        HhDevice* device = nullptr;
        bool ok = SUCCEEDED(::OleRun(unknown)) &&
                  SUCCEEDED(unknown->QueryInterface(IID_HhManager, reinterpret_cast<void**>(&manager))) &&
                  SUCCEEDED(manager->GetDeviceList(&list)) && SUCCEEDED(list->GetDevice(0, &device)) &&
                  SUCCEEDED(device->OpenChannel(kHhChannelName, this, &m_channel));
        if (device) device->Release();
        if (list) list->Release();
        if (manager) manager->Release();
        unknown->Release();
        return ok && m_channel;
    }
    void Close() {
        if (m_channel) m_channel->Release();
        m_channel = nullptr;
    }

    bool Send(const Bytes& record) override {
        return SUCCEEDED(m_channel->Write(record.data(), static_cast<LONG>(record.size())));
    }
    bool Answer(std::string& text) override {
        if (::WaitForSingleObject(m_arrived, 10000) != WAIT_OBJECT_0) return false;
        std::uint8_t buffer[1000] = {};
        LONG got = 0;
        if (FAILED(m_channel->Read(buffer, sizeof buffer, &got)) || got == 0) return false;
        const char* start = reinterpret_cast<const char*>(buffer) + 2;
        text.assign(start, strnlen(start, sizeof buffer - 2));
        return true;
    }

    // HhChannelSink
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_HhChannelSink)) {
            *out = static_cast<HhChannelSink*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnNotification() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG, BYTE*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE OnDataArrived() override {
        ::SetEvent(m_arrived);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnChannelClosed() override { return S_OK; }

private:
    HhChannel* m_channel = nullptr;
    HANDLE m_arrived = nullptr;
};

// The channel's hand-offs without the component: the caller posts each
// request to a worker thread and waits for its event as UsbChannel does; the
// worker answers a write at once and wakes a third thread, standing for the
// component's, whose notification completes the pending read (or is counted
// for the next read), as the channel's callback object does.
class FloorLink : public Link {
public:
    static constexpr UINT kMsgWrite = WM_USER + 100;
    static constexpr UINT kMsgRead = WM_USER + 101;

    FloorLink() {
        ::InitializeCriticalSection(&m_lock);
        m_packet = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        HANDLE ready = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
        m_worker = std::thread([this, ready] { Worker(ready); });
        ::WaitForSingleObject(ready, INFINITE);
        ::CloseHandle(ready);
        m_notifier = std::thread([this] { Notifier(); });
    }
    ~FloorLink() override {
        ::PostThreadMessageA(m_workerId, WM_QUIT, 0, 0);
        m_worker.join();
        m_stop = true;
        ::SetEvent(m_packet);
        m_notifier.join();
        ::CloseHandle(m_packet);
        ::DeleteCriticalSection(&m_lock);
    }

    bool Send(const Bytes& record) override {
        Request request{::CreateEventA(nullptr, FALSE, FALSE, nullptr), std::string(), &record, false};
        ::PostThreadMessageA(m_workerId, kMsgWrite, reinterpret_cast<WPARAM>(&request), 0);
        WaitAnsweringSentMessages(request.event);
        ::CloseHandle(request.event);
        return request.taken;
    }
    bool Answer(std::string& text) override {
        Request request{::CreateEventA(nullptr, FALSE, FALSE, nullptr), std::string(), nullptr, false};
        ::PostThreadMessageA(m_workerId, kMsgRead, reinterpret_cast<WPARAM>(&request), 0);
        WaitAnsweringSentMessages(request.event);
        ::CloseHandle(request.event);
        text = request.text;
        return true;
    }

private:
    struct Request {
        HANDLE event;
        std::string text;     // the answer a read completes with
        const Bytes* record;  // what a write hands over
        bool taken;           // the write was taken
    };

    void Worker(HANDLE ready) {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        m_workerId = ::GetCurrentThreadId();
        ::SetEvent(ready);
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            auto* request = reinterpret_cast<Request*>(msg.wParam);
            if (msg.message == kMsgWrite) {
                // The component's thread takes the packet; the greeting is
                // answered with the screen size, records with "Rcv".
                const Bytes& record = *request->record;
                ::EnterCriticalSection(&m_lock);
                m_answers.push_back(record.size() > 5 && std::memcmp(record.data(), "Hello", 5) == 0
                                        ? "height=240 width=320"
                                        : "Rcv");
                ::LeaveCriticalSection(&m_lock);
                request->taken = true;
                ::SetEvent(m_packet);
                ::SetEvent(request->event);
            } else if (msg.message == kMsgRead) {
                ::EnterCriticalSection(&m_lock);
                if (m_notifications > 0) {
                    --m_notifications;
                    Complete(*request, m_answers);
                } else {
                    m_pendingRead = request;
                }
                ::LeaveCriticalSection(&m_lock);
            }
        }
    }
    void Notifier() {
        for (;;) {
            ::WaitForSingleObject(m_packet, INFINITE);
            if (m_stop) return;
            ::EnterCriticalSection(&m_lock);
            if (m_pendingRead) {
                Complete(*m_pendingRead, m_answers);
                m_pendingRead = nullptr;
            } else {
                ++m_notifications;
            }
            ::LeaveCriticalSection(&m_lock);
        }
    }
    static void Complete(Request& request, std::deque<std::string>& answers) {
        request.text = answers.front();
        answers.pop_front();
        ::SetEvent(request.event);
    }

    CRITICAL_SECTION m_lock;
    HANDLE m_packet = nullptr;
    DWORD m_workerId = 0;
    int m_notifications = 0;
    std::deque<std::string> m_answers;  // the answers of written packets, oldest first
    Request* m_pendingRead = nullptr;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;
    std::thread m_notifier;
};

bool Exchange(Link& link, const Bytes& record, const char* expected) {
    std::string text;
    return link.Send(record) && link.Answer(text) && text == expected;
}

// Sends whole 64-block files until `trips` block round trips have been timed;
// returns the microseconds per block round trip (negative on a failure) and
// the first block's in *first.
double TimeBlockRoundTrips(Link& link, int trips, double* first = nullptr) {
    if (!Exchange(link, Bytes(kGreeting, kGreeting + sizeof(kGreeting) - 1), "height=240 width=320")) return -1;
    std::vector<Bytes> blocks;
    for (int i = 0; i < kBlocksPerFile; ++i) blocks.push_back(BlockRecord(i));
    const Bytes init = InitRecord(1000u * kBlocksPerFile);
    const Bytes end = {'E', 'n', 'd'};

    Clock::duration total{};
    int done = 0;
    while (done < trips) {
        if (!Exchange(link, init, "Rcv")) return -1;
        for (int i = 0; i < kBlocksPerFile; ++i) {
            const auto t0 = Clock::now();
            if (!Exchange(link, blocks[i], "Rcv")) return -1;
            total += Clock::now() - t0;
            if (done == 0 && first) *first = std::chrono::duration<double, std::micro>(total).count();
            ++done;
        }
        if (!link.Send(end)) return -1;
    }
    return std::chrono::duration<double, std::micro>(total).count() / done;
}

}  // namespace

int main(int argc, char** argv) {
    const int trips = argc > 1 ? std::max(kBlocksPerFile, std::atoi(argv[1])) : 3000;

    std::string error;
    if (!simharness::RegisterSimulator(&error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    // No latency and no trace: only the exchange is measured. The received
    // pictures go to a scratch folder.
    simharness::SimSettings sim(simharness::MakeScratchFolder("qbench", "channel"));
    sim.Apply("latency_ms=0\n", false);

    if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        std::fprintf(stderr, "no multithreaded apartment\n");
        return 1;
    }

    // Warm each way up once, then alternate runs and keep the best of each.
    // The very first block through the channel is the cold figure.
    enum { kChannel, kDirect, kFloor, kWays };
    const char* const names[kWays] = {"UsbChannel", "direct", "hand-off floor"};
    double best[kWays] = {1e300, 1e300, 1e300};
    double cold = 0;
    for (int round = 0; round < 3; ++round) {
        for (int way = 0; way < kWays; ++way) {
            const int count = round == 0 ? kBlocksPerFile : trips;
            double us = -1;
            if (way == kChannel) {
                ChannelLink link;
                if (link.Open()) us = TimeBlockRoundTrips(link, count, round == 0 ? &cold : nullptr);
                link.Close();
            } else if (way == kDirect) {
                DirectLink link;
                if (link.Open()) us = TimeBlockRoundTrips(link, count);
                link.Close();
            } else {
                FloorLink link;
                us = TimeBlockRoundTrips(link, count);
            }
            if (us < 0) {
                std::fprintf(stderr, "%s: the channel did not open or an exchange failed\n", names[way]);
                return 1;
            }
            if (round > 0) best[way] = std::min(best[way], us);
        }
    }
    ::CoUninitialize();

    std::printf("1006-byte block write + \"Rcv\" acknowledgement, simulator without latency, %d round trips (best of 2 runs)\n",
                trips);
    std::printf("  cold: first block through UsbChannel  %9.1f us\n", cold);
    std::printf("  through UsbChannel (worker thread)   %9.1f us per round trip\n", best[kChannel]);
    std::printf("  simulator interfaces, one thread     %9.1f us per round trip\n", best[kDirect]);
    std::printf("  bare hand-offs of the design         %9.1f us per round trip\n", best[kFloor]);
    std::printf("    (two thread messages to a worker with an event back, a notification from a third thread)\n");
    std::printf("  channel overhead ratio               %9.2f x\n", best[kChannel] / best[kDirect]);
    std::printf("  channel against its hand-off floor   %9.2f x\n", best[kChannel] / best[kFloor]);
    return 0;
}
