// transfer_bench - how long the program takes to send the largest picture
// (64000 bytes: one announcement, 64 blocks, "End") to the simulated
// handheld, with no delay and with 2 ms of delay before every answer, next
// to the floor the stop-and-wait protocol itself sets: 65 acknowledged
// records times the delay. The ratio is what the program adds on top of the
// protocol (thread hops to the channel's worker, the component calls, file
// reads, the log-switch checks).
//
// The transfer runs PicturesSending on this thread without a progress window
// (its steps are then no-ops), so the figure is the link alone. The
// simulator waits with a timer that may round 2 ms up, so the measured cost
// of 65 such waits is printed as a second floor. Needs
// handheld_sim.dll beside the executable; run it under Wine with
// bench/run_transfer_bench.sh.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "device/Connection.h"
#include "device/PictureTransfer.h"
#include "device/UsbChannel.h"
#include "ui/LoadingDlg.h"
#include "toolkit/Text.h"

namespace {

constexpr int kPictureBytes = 64000;
constexpr int kAcknowledgedRecords = 65;
constexpr int kRuns = 7;

// The main window reduced to a recorder of failures.
class QuietWindow : public PictureSendWindow {
public:
    void SetConnectionButtons(bool) override {}
    void EnableButton(int, bool) override {}
    void SetStatusText(const std::string&) override {}
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    void SetScreenSize(int, int) override {}
    void ShowConnectedPreview() override {}
    void ShowPreviewLabel(bool) override {}
    std::vector<std::string> warnings;
};

std::string ExeFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/"));
}

bool RegisterSimulator() {
    HMODULE dll = LoadLibraryA((ExeFolder() + "\\handheld_sim.dll").c_str());
    if (!dll) return false;
    using RegFn = HRESULT(__stdcall*)();
    auto reg = reinterpret_cast<RegFn>(reinterpret_cast<void*>(GetProcAddress(dll, "DllRegisterServer")));
    return reg && reg() == S_OK;
}

std::string MakeWorkFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "qxfer_bench_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "\\Sent Pictures").c_str(), nullptr);
    return dir;
}

void Configure(const std::string& dir, int latencyMs) {
    const std::string path = dir + "\\sim.ini";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "received_dir=" << dir << "\\received\nlatency_ms=" << latencyMs << "\n";
    out.close();
    SetEnvironmentVariableA("QUORVEL_SIM_CONFIG", path.c_str());
}

// What a delay of `ms` really costs here: the simulator waits on a
// condition variable, and the platform's timer may round that up. 65 such
// waits are the floor the program can actually reach.
double MeasuredWaitMs(int ms) {
    if (ms <= 0) return 0;
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock<std::mutex> lock(m);
    const int n = 65;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) cv.wait_for(lock, std::chrono::milliseconds(ms), [] { return false; });
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(t1 - t0).count() / n;
}

struct Timing {
    double bestMs = 0;
    double medianMs = 0;
    bool ok = false;
};

Timing TimeTransfers(const std::string& dir, int latencyMs) {
    Configure(dir, latencyMs);
    UsbChannel channel;
    QuietWindow window;
    CLoadingDlg progress;  // never started: its steps do nothing
    ConnectToHandheld(channel, window);
    Timing t;
    if (!channel.IsOpen()) return t;

    std::vector<char> content(kPictureBytes);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 131u) >> 3);
    PictureSendJob job;
    job.channel = &channel;
    job.window = &window;
    job.progress = &progress;
    job.picturePath = L"C:\\pictures\\bench.png";
    job.sentPicturesFolder = tk::ToWide(dir + "\\Sent Pictures");
    job.preparePicture = [&](std::wstring* path) {
        std::ofstream out(tk::ToAnsi(*path), std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        return true;
    };

    std::vector<double> ms;
    t.ok = true;
    for (int run = 0; run < kRuns && t.ok; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        t.ok = PicturesSending(job);
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    DisconnectLink(channel, window);
    channel.WaitForWorkerEnd();
    if (!t.ok || ms.empty()) {
        t.ok = false;
        return t;
    }
    std::sort(ms.begin(), ms.end());
    t.bestMs = ms.front();
    t.medianMs = ms[ms.size() / 2];
    return t;
}

} // namespace

int main() {
    if (!RegisterSimulator()) {
        std::printf("handheld_sim.dll could not be loaded and registered from %s\n", ExeFolder().c_str());
        return 1;
    }
    const std::string dir = MakeWorkFolder();
    std::printf("64000-byte picture to the simulated handheld: %d acknowledged records, %d runs each\n",
                kAcknowledgedRecords, kRuns);
    std::printf("%-18s %9s %10s %10s %13s %15s %16s\n", "delay per answer", "best ms", "median ms", "floor ms",
                "median/floor", "measured floor", "median/measured");
    int status = 0;
    for (int latency : {0, 2}) {
        const Timing t = TimeTransfers(dir, latency);
        const double floorMs = kAcknowledgedRecords * static_cast<double>(latency);
        char label[32];
        std::snprintf(label, sizeof label, "%d ms", latency);
        if (!t.ok) {
            std::printf("%-18s transfer FAILED\n", label);
            status = 1;
            continue;
        }
        const double measuredFloorMs = kAcknowledgedRecords * MeasuredWaitMs(latency);
        if (floorMs > 0)
            std::printf("%-18s %9.1f %10.1f %10.1f %13.2f %15.1f %16.2f\n", label, t.bestMs, t.medianMs, floorMs,
                        t.medianMs / floorMs, measuredFloorMs, t.medianMs / measuredFloorMs);
        else
            std::printf("%-18s %9.1f %10.1f %10.1f %13s %15s %16s  (%.3f ms per record)\n", label, t.bestMs,
                        t.medianMs, floorMs, "-", "-", "-", t.medianMs / kAcknowledgedRecords);
    }
    return status;
}
