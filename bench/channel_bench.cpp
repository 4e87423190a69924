// channel_bench - what the USB channel's worker thread costs. One picture
// block goes to the handheld as a 1006-byte record and comes back
// acknowledged with "Rcv"; this times that round trip through UsbChannel
// (post to the worker, the worker writes, the component's data-arrived
// notification completes the pending read) against the simulated handheld
// with no latency, next to the same exchange made by calling the
// simulator's interfaces directly from one thread (write, wait for the
// notification, read). The ratio is the channel's own overhead.
//
// Windows program (needs windows.h); run it under Wine with
// bench/run_channel_bench.sh. handheld_sim.dll must stand beside it.
// Optional argument: the number of timed round trips (default 3000).
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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

bool Exchange(Link& link, const Bytes& record, const char* expected) {
    std::string text;
    return link.Send(record) && link.Answer(text) && text == expected;
}

// Sends whole 64-block files until `trips` block round trips have been timed;
// returns the microseconds per block round trip (negative on a failure).
double TimeBlockRoundTrips(Link& link, int trips) {
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

    // Warm both ways up once, then alternate runs and keep the best of each.
    double best[2] = {1e300, 1e300};
    for (int round = 0; round < 3; ++round) {
        {
            ChannelLink link;
            if (!link.Open()) {
                std::fprintf(stderr, "UsbChannel: the channel did not open\n");
                return 1;
            }
            const double us = TimeBlockRoundTrips(link, round == 0 ? kBlocksPerFile : trips);
            link.Close();
            if (us < 0) {
                std::fprintf(stderr, "UsbChannel: an exchange failed\n");
                return 1;
            }
            if (round > 0) best[0] = std::min(best[0], us);
        }
        {
            DirectLink link;
            if (!link.Open()) {
                std::fprintf(stderr, "direct: the channel did not open\n");
                return 1;
            }
            const double us = TimeBlockRoundTrips(link, round == 0 ? kBlocksPerFile : trips);
            link.Close();
            if (us < 0) {
                std::fprintf(stderr, "direct: an exchange failed\n");
                return 1;
            }
            if (round > 0) best[1] = std::min(best[1], us);
        }
    }
    ::CoUninitialize();

    std::printf("1006-byte block write + \"Rcv\" acknowledgement, simulator without latency, %d round trips (best of 2 runs)\n",
                trips);
    std::printf("  through UsbChannel (worker thread)   %9.1f us per round trip\n", best[0]);
    std::printf("  simulator interfaces, one thread     %9.1f us per round trip\n", best[1]);
    std::printf("  channel overhead ratio               %9.2f x\n", best[0] / best[1]);
    return 0;
}
