// Every fault the simulated handheld can make, at every packet of a
// transfer: the announcement, each block and "End", for a picture of 2500
// bytes and one of 64000. The transfer runs on this thread through the real
// channel, without a main window or a progress window; a small fake window
// records what the transfer tells the user.
//
// Every connection first sends another picture, which must arrive byte for
// byte: a fault may end one transfer, never the next connection's. Then
// comes the faulty transfer of the case.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "device/Connection.h"
#include "device/PictureTransfer.h"
#include "device/TransferProgress.h"
#include "device/UsbChannel.h"
#include "tests/win/SimHarness.h"
#include "toolkit/Text.h"

namespace {

using namespace std::chrono_literals;
using simharness::ReadWholeFile;
using simharness::SimSettings;

const char kStartCompanion[] =
    "Please start Quorvel Photos on your handheld, connect USB cable\nand then press Connect button again.";
const char kNotSent[] = "Image has not been sent";
const char kSent[] = "Image has been sent successfully";

std::string PictureBytes(size_t n, unsigned seed) {
    std::string b(n, '\0');
    for (char& v : b) {
        seed = seed * 1103515245u + 12345u;
        v = static_cast<char>(seed >> 16);
    }
    return b;
}

// No progress window: the transfer's steps go nowhere.
class NoProgress : public TransferProgress {
public:
    bool Start(int, HWND, const std::string&, ThreadProcedure) override { return false; }
    void SetRange(int) override {}
    void StepIt() override {}
    void Finish() override {}
    bool IsWorkerRunning() const override { return false; }
};

class RecordingWindow : public PictureSendWindow {
public:
    void SetConnectionButtons(bool disconnected) override { Add(disconnected ? "buttons:off" : "buttons:on"); }
    void EnableButton(int, bool) override {}
    void SetStatusText(const std::string& text) override { Add("status:" + text); }
    void ShowWarning(const std::string& text) override { Add("warning:" + text); }
    void SetScreenSize(int, int) override {}
    void ShowConnectedPreview() override {}
    void ShowPreviewLabel(bool) override {}
    void Add(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> calls;
        calls.swap(m_calls);
        return calls;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

// The kinds of the packets the handheld received, by number ("recv #N kind ...").
std::map<int, std::string> ReceivedKinds(const std::string& trace) {
    std::map<int, std::string> kinds;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("recv #", 0) != 0) continue;
        std::istringstream fields(line.substr(6));
        int n = 0;
        std::string kind;
        fields >> n >> kind;
        kinds[n] = kind;
    }
    return kinds;
}

std::vector<std::string> Warnings(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const std::string& c : calls)
        if (c.rfind("warning:", 0) == 0) out.push_back(c.substr(8));
    return out;
}

class TransferFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(simharness::RegisterSimulator(&error)) << error;
    }

    void SetUp() override {
        folder_ = simharness::MakeScratchFolder("qfaults", "matrix");
        sent_ = folder_ + "\\Sent Pictures";
        received_ = folder_ + "\\received";
        ::CreateDirectoryA(sent_.c_str(), nullptr);
        sim_ = SimSettings(folder_);
        channel_.SetDisconnectedDisplay([this] { window_.Add("display:disconnected"); });
    }
    void TearDown() override {
        channel_.CloseChannel();
        channel_.WaitForWorkerEnd();
    }

    // Runs one whole transfer of `content` as "<name>.jpg" on the open
    // channel and returns what the window was told.
    std::vector<std::string> Send(const std::string& name, const std::string& content) {
        ::DeleteFileA((received_ + "\\" + name + ".jpg").c_str());
        PictureSendJob job;
        job.channel = &channel_;
        job.window = &window_;
        job.progress = &progress_;
        job.picturePath = tk::ToWide("C:\\pictures\\" + name + ".png");
        job.sentPicturesFolder = tk::ToWide(sent_);
        job.preparePicture = [&content](std::wstring* path) {
            std::FILE* f = _wfopen(path->c_str(), L"wb");
            if (!f) return false;
            std::fwrite(content.data(), 1, content.size(), f);
            return std::fclose(f) == 0;
        };
        job.Run();
        return window_.Take();
    }

    // Connects and sends the picture that every connection starts with; it
    // must arrive byte for byte whatever the connection before went through.
    void ConnectAndSendTheNextPicture() {
        ConnectToHandheld(channel_, window_);
        ASSERT_TRUE(channel_.IsOpen());
        window_.Take();
        EXPECT_EQ(Warnings(Send("next", next_)), std::vector<std::string>{kSent});
        ASSERT_TRUE(sim_.WaitTrace("file #5 \"next.jpg\" 1500 bytes"));
        EXPECT_EQ(ReadWholeFile(received_ + "\\next.jpg"), next_);
    }

    // Waits (up to ten seconds, so that a wrong outcome fails instead of
    // hanging) for the connection to end, by either side, and for its worker.
    void WaitClosed() {
        for (int i = 0; i < 1000 && channel_.IsOpen(); ++i) ::Sleep(10);
        if (!channel_.IsOpen()) channel_.WaitForWorkerEnd();
    }

    const std::string next_ = PictureBytes(1500, 99);  // packets 2 to 5 of each connection
    std::string folder_, sent_, received_;
    SimSettings sim_;
    RecordingWindow window_;
    NoProgress progress_;
    UsbChannel channel_;
};

TEST_F(TransferFaults, EveryFaultAtEveryPacketEndsCleanlyAndTheNextPictureArrives) {
    simharness::Watchdog watchdog("transfer fault matrix", 540s);
    struct Fault {
        const char* name;
        const char* setting;  // followed by the packet number
        bool channelStaysOpen;
    };
    const Fault faults[] = {
        {"wrong acknowledgement", "ack_text_at=%d:rcv\n", true},
        {"channel closed", "close_at=%d\n", false},
        {"failed write", "fail_write_at=%d\n", true},
    };
    // Each connection carries the picture that must follow the previous
    // case's fault, then the faulty transfer, whose packets start at 6.
    const int first = 6;
    int cases = 0;
    for (size_t size : {2500u, 64000u}) {
        const std::string picture = PictureBytes(size, static_cast<unsigned>(size));
        const int end = first + static_cast<int>((size + 999) / 1000) + 1;  // announcement, blocks, "End"
        for (int n = first; n <= end; ++n) {
            for (const Fault& fault : faults) {
                char setting[64];
                std::snprintf(setting, sizeof setting, fault.setting, n);
                SCOPED_TRACE(std::to_string(size) + " bytes, " + fault.name + " at packet " + std::to_string(n));
                ++cases;
                sim_.Apply(setting);
                ConnectAndSendTheNextPicture();
                if (HasFatalFailure()) return;
                std::vector<std::string> calls = Send("fault", picture);
                // "End" is not answered: only a failed write of it fails.
                const bool fails = n < end || std::string(fault.name) == "failed write";
                if (fails || !fault.channelStaysOpen) WaitClosed();
                const std::vector<std::string> later = window_.Take();  // the channel's end-of-connection display
                calls.insert(calls.end(), later.begin(), later.end());
                const std::string trace = sim_.Trace();
                const std::map<int, std::string> kinds = ReceivedKinds(trace);
                if (fails) {
                    EXPECT_EQ(Warnings(calls), (std::vector<std::string>{kStartCompanion, kNotSent}));
                    EXPECT_FALSE(channel_.IsOpen());
                    const auto lastStatus = std::find_if(calls.rbegin(), calls.rend(), [](const std::string& c) {
                        return c.rfind("status:", 0) == 0;
                    });
                    ASSERT_NE(lastStatus, calls.rend());
                    EXPECT_EQ(*lastStatus, "status:Disconnected");
                    EXPECT_NE(std::find(calls.begin(), calls.end(), "buttons:off"), calls.end());
                    EXPECT_EQ(std::count(calls.begin(), calls.end(), "display:disconnected"), 1);
                    EXPECT_FALSE(simharness::FileExists(received_ + "\\fault.jpg")) << "nothing is left behind";
                    // Nothing after the faulty packet but the goodbye, and
                    // the goodbye only while the channel is still open.
                    std::map<int, std::string> expectedAfter;
                    if (fault.channelStaysOpen) expectedAfter[n + 1] = "Bye";
                    EXPECT_EQ((std::map<int, std::string>(kinds.upper_bound(n), kinds.end())), expectedAfter) << trace;
                } else {
                    EXPECT_EQ(Warnings(calls), std::vector<std::string>{kSent});
                    EXPECT_EQ(kinds.rbegin()->first, end) << "nothing after End";
                    if (fault.channelStaysOpen) {
                        ASSERT_TRUE(sim_.WaitTrace("file #" + std::to_string(end)));
                        EXPECT_EQ(ReadWholeFile(received_ + "\\fault.jpg"), picture);
                        EXPECT_TRUE(channel_.IsOpen());
                    } else {
                        // The handheld went away on receiving "End", before
                        // it could store the file; the program learns of it
                        // only as the channel closing.
                        EXPECT_FALSE(channel_.IsOpen());
                        EXPECT_FALSE(simharness::FileExists(received_ + "\\fault.jpg"));
                    }
                }
                channel_.CloseChannel();
                channel_.WaitForWorkerEnd();
                window_.Take();
            }
        }
    }
    // The last fault is followed by a good picture too.
    sim_.Apply("");
    ConnectAndSendTheNextPicture();
    std::printf("transfer fault matrix: %d cases ran\n", cases);
}

}  // namespace
