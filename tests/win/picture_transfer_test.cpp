// Send to device against the simulated handheld: the real channel, the real
// progress window (a child of a plain test window) and a fake main window
// that records what the transfer tells it (warnings instead of message
// boxes), with a snapshot of the progress window at every call.
//
// The picture preparation is replaced by a function that writes a file of
// exact bytes, so the records can be checked against the simulator's trace
// (every packet in hex) and the received file byte for byte.
//
// The diagnostic log is written only when the process command line ends in
// the word log. The log cases therefore run this executable again, copied
// into a folder of their own (log.txt lands beside the executable), with
// "log" as the last word, and compare the log.txt that run leaves.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/LogFormat.h"
#include "device/Connection.h"
#include "device/PictureTransfer.h"
#include "device/UsbChannel.h"
#include "resources/resource.h"
#include "ui/LoadingDlg.h"
#include "toolkit/Text.h"

namespace {

using Bytes = std::vector<uint8_t>;

const char kStartCompanion[] =
    "Please start Quorvel Photos on your handheld, connect USB cable\nand then press Connect button again.";
const char kNotSent[] = "Image has not been sent";
const char kSent[] = "Image has been sent successfully";
const char kSending[] = "Sending picture. Please wait...";
const char kPicture[] = "C:\\pictures\\beach.day.png";  // announced as beach.jpg

std::string ExeFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/"));
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes PictureBytes(size_t n, uint32_t seed = 12345) {
    Bytes b(n);
    uint32_t x = seed;
    for (auto& v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

std::string AsText(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The records as the handheld expects them, written out here by hand.
Bytes ExpectedInitImg(const std::string& name, uint32_t length) {
    Bytes r(264, 0);
    std::memcpy(r.data(), "New", 3);
    r[3] = static_cast<uint8_t>(name.size());
    std::memcpy(&r[4], name.data(), name.size());
    for (int i = 0; i < 4; ++i) r[260 + i] = static_cast<uint8_t>(length >> (8 * i));
    return r;
}

Bytes ExpectedBlockImg(const uint8_t* data, int length) {
    Bytes r(1006, 0);
    std::memcpy(r.data(), "Img", 3);
    r[4] = static_cast<uint8_t>(length & 0xFF);
    r[5] = static_cast<uint8_t>((length >> 8) & 0xFF);
    std::memcpy(&r[6], data, static_cast<size_t>(length));
    return r;
}

// Runs the messages of this thread (the test is the user-interface thread:
// the sending thread's window calls wait for it) until `done` or the time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 60000) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount64() > until) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    PumpUntil([&] { return GetTickCount64() >= until; }, ms + 1000);
}

// ------------------------------------------------------------ the fake window

struct Snapshot {
    bool ownerEnabled = false;
    bool progressVisible = false;
    int position = -1;
    int upper = -1;
};

struct Call {
    std::string what;
    Snapshot at;
};

class FakeMainWindow : public PictureSendWindow {
public:
    FakeMainWindow(HWND owner, CLoadingDlg& progress) : m_owner(owner), m_progress(progress) {}

    void SetConnectionButtons(bool disconnected) override {
        Record(disconnected ? "buttons:disconnected" : "buttons:connected");
    }
    void EnableButton(int id, bool enable) override {
        Record("enable:" + std::to_string(id) + (enable ? ":on" : ":off"));
    }
    void SetStatusText(const std::string& text) override { Record("status:" + text); }
    void ShowWarning(const std::string& text) override { Record("warning:" + text); }
    void SetScreenSize(int width, int height) override {
        Record("screen:" + std::to_string(width) + "x" + std::to_string(height));
    }
    void ShowConnectedPreview() override { Record("connected-preview"); }
    void ShowPreviewLabel(bool show) override { Record(show ? "label:show" : "label:hide"); }
    // The channel's end-of-connection display (on the channel's worker).
    void ChannelDisconnected() { Record("display:disconnected"); }

    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    // The calls in order, without the channel's display, whose moment
    // depends on the channel's worker.
    std::vector<std::string> Sequence() {
        std::vector<std::string> out;
        for (const Call& c : Calls())
            if (c.what.rfind("display:", 0) != 0) out.push_back(c.what);
        return out;
    }
    std::vector<std::string> Warnings() {
        std::vector<std::string> out;
        for (const Call& c : Calls())
            if (c.what.rfind("warning:", 0) == 0) out.push_back(c.what.substr(8));
        return out;
    }
    const Call* Find(const std::string& what) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Call& c : m_calls)
            if (c.what == what) {
                m_found = c;
                return &m_found;
            }
        return nullptr;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }

private:
    void Record(const std::string& what) {
        Call call{what, Take()};
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }
    Snapshot Take() {
        Snapshot s;
        s.ownerEnabled = IsWindowEnabled(m_owner) != FALSE;
        HWND window = m_progress.Hwnd();
        if (window) {
            s.progressVisible = IsWindowVisible(window) != FALSE;
            HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
            s.position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
            s.upper = static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
        }
        return s;
    }

    HWND m_owner;
    CLoadingDlg& m_progress;
    std::mutex m_mutex;
    std::vector<Call> m_calls;
    Call m_found;
};

// ------------------------------------------------------------ the trace

struct Packet {
    std::string kind;
    Bytes bytes;
};

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// "recv #N kind len=L hex" lines, by packet number.
std::map<int, Packet> ReceivedPackets(const std::string& trace) {
    std::map<int, Packet> packets;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("recv #", 0) != 0) continue;
        std::istringstream fields(line.substr(6));
        int n = 0;
        std::string kind, len, hex;
        fields >> n >> kind >> len >> hex;
        packets[n] = Packet{kind, FromHex(hex)};
    }
    return packets;
}

// ------------------------------------------------------------ the fixture

using DllFn = HRESULT(__stdcall*)();

HWND MakeOwnerWindow() {
    static ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "PictureTransferTestOwner";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        return RegisterClassA(&wc);
    }();
    (void)atom;
    return CreateWindowExA(0, "PictureTransferTestOwner", "Transfer test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                           400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

class PictureTransfer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        // A child run of the log cases loads the simulator its parent names.
        char named[MAX_PATH * 2] = {};
        std::string dll = GetEnvironmentVariableA("QUORVEL_TEST_SIM_DLL", named, sizeof(named)) > 0
                              ? std::string(named)
                              : ExeFolder() + "\\handheld_sim.dll";
        HMODULE module = LoadLibraryA(dll.c_str());
        ASSERT_NE(module, nullptr) << "handheld_sim.dll must stand beside the test";
        auto reg = reinterpret_cast<DllFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(), S_OK);
    }

    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::string(temp) + "qxfer_" + std::to_string(GetCurrentProcessId()) + "_" + info->name();
        CreateDirectoryA(dir_.c_str(), nullptr);
        trace_ = dir_ + "\\trace.txt";
        received_ = dir_ + "\\received";
        sent_ = dir_ + "\\Sent Pictures";
        CreateDirectoryA(sent_.c_str(), nullptr);
        owner_ = MakeOwnerWindow();
        ASSERT_NE(owner_, nullptr);
        fake_ = std::make_unique<FakeMainWindow>(owner_, progress_);
        channel_.SetDisconnectedDisplay([this] { fake_->ChannelDisconnected(); });
    }

    void TearDown() override {
        channel_.CloseChannel();
        EXPECT_TRUE(PumpUntil([&] { return !progress_.IsWorkerRunning(); })) << "the sending thread did not end";
        progress_.WaitForWorkerEnd();
        channel_.WaitForWorkerEnd();
        progress_.Destroy();
        DestroyWindow(owner_);
    }

    void Configure(const std::string& settings) {
        DeleteFileA(trace_.c_str());
        std::string path = dir_ + "\\sim.ini";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "trace_file=" << trace_ << "\nreceived_dir=" << received_ << "\n" << settings;
        out.close();
        SetEnvironmentVariableA("QUORVEL_SIM_CONFIG", path.c_str());
    }

    void Connect() {
        ConnectToHandheld(channel_, *fake_);
        ASSERT_TRUE(channel_.IsOpen());
        fake_->Clear();
    }

    std::shared_ptr<PictureSendJob> MakeJob(const std::string& picture, const Bytes& content) {
        auto job = std::make_shared<PictureSendJob>();
        job->channel = &channel_;
        job->window = fake_.get();
        job->picturePath = tk::ToWide(picture);
        job->sentPicturesFolder = tk::ToWide(sent_);
        job->preparePicture = [this, content](std::wstring* path) {
            ++prepared_;
            preparedPaths_.push_back(tk::ToAnsi(*path));
            WriteFileBytes(tk::ToAnsi(*path), content);
            return true;
        };
        return job;
    }

    // Starts the transfer; does not wait for it.
    bool Start(std::shared_ptr<PictureSendJob> job) { return StartPictureSend(progress_, owner_, std::move(job)); }

    void WaitForTransferEnd() {
        ASSERT_TRUE(PumpUntil([&] { return !progress_.IsWorkerRunning(); })) << "the transfer did not end";
    }

    // A whole transfer of `content` under the picture's name.
    void Send(const Bytes& content, const std::string& picture = kPicture) {
        fake_->Clear();
        ASSERT_TRUE(Start(MakeJob(picture, content)));
        WaitForTransferEnd();
    }

    bool WaitTrace(const std::string& part) {
        return PumpUntil([&] { return Trace().find(part) != std::string::npos; }, 20000);
    }
    std::string Trace() { return ReadFileBytes(trace_); }

    // The channel's worker ends a moment after the close was acknowledged.
    bool WaitDisconnected() {
        return PumpUntil([&] { return !channel_.IsOpen() && fake_->Find("display:disconnected"); }, 20000);
    }

    std::string dir_, trace_, received_, sent_;
    HWND owner_ = nullptr;
    CLoadingDlg progress_;
    UsbChannel channel_;
    std::unique_ptr<FakeMainWindow> fake_;
    int prepared_ = 0;
    std::vector<std::string> preparedPaths_;
};

// Checks the packets of one transfer that started with packet `first`.
void ExpectRecords(const std::map<int, Packet>& packets, int first, const std::string& name, const Bytes& content) {
    const int blocks = static_cast<int>((content.size() + 999) / 1000);
    auto init = packets.find(first);
    ASSERT_NE(init, packets.end());
    EXPECT_EQ(init->second.kind, "init_img");
    EXPECT_EQ(init->second.bytes, ExpectedInitImg(name, static_cast<uint32_t>(content.size())));
    for (int i = 0; i < blocks; ++i) {
        auto block = packets.find(first + 1 + i);
        ASSERT_NE(block, packets.end()) << "block " << i;
        const int length = static_cast<int>(std::min<size_t>(1000, content.size() - 1000 * i));
        EXPECT_EQ(block->second.bytes, ExpectedBlockImg(&content[1000 * i], length)) << "block " << i;
    }
    auto end = packets.find(first + 1 + blocks);
    ASSERT_NE(end, packets.end());
    EXPECT_EQ(end->second.kind, "End");
    EXPECT_EQ(AsText(end->second.bytes), "End");
    EXPECT_EQ(packets.count(first + 2 + blocks), 0u) << "nothing after End";
}

// ------------------------------------------------------------ progress window

TEST_F(PictureTransfer, ProgressWindowStepsFinishesAtTheUpperBoundAndWrapsPastIt) {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HWND seenOwner = nullptr;
    ASSERT_TRUE(progress_.Start(1, owner_, "hidden text", [&](HWND owner) {
        seenOwner = owner;
        WaitForSingleObject(release, 30000);
        return 0;
    }));
    EXPECT_FALSE(IsWindowEnabled(owner_));
    HWND window = progress_.Hwnd();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), owner_);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT rc = {};
    GetWindowRect(window, &rc);
    POINT topLeft = {rc.left, rc.top};
    ScreenToClient(owner_, &topLeft);
    EXPECT_EQ(topLeft.x, 47);
    EXPECT_EQ(topLeft.y, 128);
    HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
    HWND text = GetDlgItem(window, IDC_PROGRESS_TEXT);
    EXPECT_FALSE(GetWindowLongA(bar, GWL_STYLE) & PBS_VERTICAL) << "the bar runs left to right";
    EXPECT_FALSE(IsWindowVisible(text));
    char buf[64] = {};
    GetWindowTextA(text, buf, sizeof buf);
    EXPECT_STREQ(buf, "hidden text");
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 1);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    EXPECT_FALSE(progress_.Start(1, owner_, "", [](HWND) { return 0; })) << "one transfer at a time";
    EXPECT_EQ(progress_.Hwnd(), window);

    progress_.SetRange(3);
    progress_.StepIt();
    progress_.StepIt();
    EXPECT_FALSE(IsWindowEnabled(owner_));
    EXPECT_TRUE(IsWindowVisible(window));
    progress_.StepIt();  // reaches 3
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindow(window)) << "ended, not destroyed";
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 3);

    EnableWindow(owner_, FALSE);
    progress_.StepIt();  // past the bound: the bar starts over and nothing finishes again
    EXPECT_LT(SendMessageA(bar, PBM_GETPOS, 0, 0), 3);
    EXPECT_FALSE(IsWindowEnabled(owner_));

    progress_.Finish();
    progress_.Finish();  // harmless
    EXPECT_TRUE(IsWindowEnabled(owner_));

    SetEvent(release);
    ASSERT_TRUE(PumpUntil([&] { return !progress_.IsWorkerRunning(); }));
    EXPECT_EQ(seenOwner, owner_);
    CloseHandle(release);

    // A new run makes a new window at the same place.
    ASSERT_TRUE(progress_.Start(2, owner_, "", [](HWND) { return 0; }));
    EXPECT_FALSE(IsWindow(window));
    HWND second = progress_.Hwnd();
    ASSERT_NE(second, nullptr);
    GetWindowRect(second, &rc);
    topLeft = {rc.left, rc.top};
    ScreenToClient(owner_, &topLeft);
    EXPECT_EQ(topLeft.x, 47);
    EXPECT_EQ(topLeft.y, 128);
    EXPECT_EQ(SendMessageA(GetDlgItem(second, IDC_PROGRESS_BAR), PBM_GETRANGE, FALSE, 0), 2);
    EXPECT_FALSE(IsWindowEnabled(owner_)) << "until the run finishes";
    progress_.Finish();
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(PictureTransfer, ProgressWindowWithoutWindowOnlyEnablesTheOwner) {
    ASSERT_TRUE(progress_.Start(1, owner_, "", [](HWND) { return 0; }));
    ASSERT_TRUE(PumpUntil([&] { return !progress_.IsWorkerRunning(); }));
    progress_.Destroy();  // as when the owner went away
    EnableWindow(owner_, FALSE);
    progress_.SetRange(5);
    progress_.StepIt();
    progress_.StepIt();
    EXPECT_FALSE(IsWindowEnabled(owner_)) << "no window, no step, no finish";
    progress_.Finish();
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(progress_.Hwnd(), nullptr);
}

// ------------------------------------------------------------ transfers

TEST_F(PictureTransfer, FilesOfEverySizeArriveByteForByteUnderTheirName) {
    Configure("");
    Connect();
    int next = 2;  // packet 1 was the greeting
    for (size_t size : {0u, 1u, 999u, 1000u, 1001u, 2500u, 3000u, 63999u, 64000u}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const Bytes content = PictureBytes(size, static_cast<uint32_t>(size) + 1);
        const std::string base = "size" + std::to_string(size);
        Send(content, "C:\\pictures\\" + base + ".test.bmp");

        const std::string name = base + ".jpg";
        const int blocks = static_cast<int>((size + 999) / 1000);
        ASSERT_TRUE(WaitTrace("file #" + std::to_string(next + 1 + blocks) + " \"" + name + "\""));
        EXPECT_EQ(ReadFileBytes(received_ + "\\" + name), AsText(content));
        ExpectRecords(ReceivedPackets(Trace()), next, name, content);
        next += blocks + 2;

        EXPECT_EQ(fake_->Sequence(), (std::vector<std::string>{"status:" + std::string(kSending), "label:hide",
                                                                "warning:" + std::string(kSent), "label:show",
                                                                "status:Connected"}));
        const Call* success = fake_->Find("warning:" + std::string(kSent));
        ASSERT_NE(success, nullptr);
        const int upper = static_cast<int>(size / 1000) + 1;
        EXPECT_EQ(success->at.upper, upper);
        EXPECT_TRUE(success->at.ownerEnabled);
        EXPECT_FALSE(success->at.progressVisible);
        // A length that is no multiple of 1000 steps once past the bound,
        // where the hidden bar starts over.
        if (size % 1000 == 0) EXPECT_EQ(success->at.position, upper);
        else EXPECT_LT(success->at.position, upper);
        EXPECT_TRUE(channel_.IsOpen()) << "success keeps the connection";
        EXPECT_TRUE(FileExists(sent_ + "\\" + name)) << "the prepared file stays";
    }
    EXPECT_EQ(Trace().find("violation"), std::string::npos) << Trace();
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(PictureTransfer, AnnouncementCarriesTheBaseNameCutAtTheFirstDot) {
    Configure("");
    Connect();
    const Bytes content = PictureBytes(10);
    Send(content);
    ASSERT_TRUE(WaitTrace("file #4 \"beach.jpg\" 10 bytes"));
    ASSERT_EQ(preparedPaths_.size(), 1u);
    EXPECT_EQ(preparedPaths_[0], sent_ + "\\beach.jpg");
    const Bytes init = ReceivedPackets(Trace())[2].bytes;
    ASSERT_EQ(init.size(), 264u);
    EXPECT_EQ(init[3], 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&init[4])), "beach.jpg");
}

TEST_F(PictureTransfer, FileAboveTheLimitSendsNothingAndDisconnects) {
    Configure("");
    Connect();
    Send(PictureBytes(64001));
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({"Image is too big.\nIt has not been sent"}));
    ASSERT_TRUE(WaitDisconnected());
    const auto packets = ReceivedPackets(Trace());
    ASSERT_EQ(packets.size(), 2u) << Trace();
    EXPECT_EQ(packets.at(2).kind, "Bye") << "only the goodbye follows the greeting";
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(progress_.Hwnd()));
    const auto seq = fake_->Sequence();
    EXPECT_EQ(seq.back(), "status:Disconnected");
    EXPECT_NE(std::find(seq.begin(), seq.end(), "buttons:disconnected"), seq.end());
    EXPECT_NE(std::find(seq.begin(), seq.end(), "label:show"), seq.end());
}

TEST_F(PictureTransfer, RefusedAnnouncementShowsBothMessagesAndSaysBye) {
    Configure("ack_text_at=2:rcv\n");
    Connect();
    Send(PictureBytes(2500));
    EXPECT_EQ(fake_->Sequence(),
              (std::vector<std::string>{"status:" + std::string(kSending), "label:hide",
                                        "warning:" + std::string(kStartCompanion), "warning:" + std::string(kNotSent),
                                        "status:Connected", "buttons:disconnected", "status:Disconnected",
                                        "label:show", "status:Disconnected"}));
    ASSERT_TRUE(WaitDisconnected());
    const auto packets = ReceivedPackets(Trace());
    ASSERT_EQ(packets.size(), 3u) << Trace();
    EXPECT_EQ(packets.at(2).kind, "init_img");
    EXPECT_EQ(packets.at(3).kind, "Bye");
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(PictureTransfer, AcknowledgementMustBeExactlyRcv) {
    for (const char* answer : {"RCV", "Rcv ", "Rcvd", "rcv"}) {
        SCOPED_TRACE(answer);
        Configure(std::string("ack_text_at=3:") + answer + "\n");
        Connect();
        Send(PictureBytes(1500));
        EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kStartCompanion, kNotSent}));
        ASSERT_TRUE(WaitDisconnected());
        const auto packets = ReceivedPackets(Trace());
        ASSERT_EQ(packets.size(), 4u) << Trace();
        EXPECT_EQ(packets.at(3).kind, "block_img");
        EXPECT_EQ(packets.at(4).kind, "Bye") << "the second block is never sent";
        EXPECT_FALSE(channel_.IsOpen());
        channel_.WaitForWorkerEnd();
    }
}

TEST_F(PictureTransfer, WindowFinishesAfterTheAcknowledgementThatReachesTheUpperBound) {
    struct Case {
        size_t size;
        int waitingPacket;  // the block whose acknowledgement is held back
        int position;
        bool finished;
    };
    // 2500 bytes: range 0..3, steps after the announcement and each block.
    // 3000 bytes: range 0..4.
    for (const Case& c : {Case{2500, 4, 2, false}, Case{2500, 5, 3, true}, Case{3000, 5, 3, false}}) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, holding packet " + std::to_string(c.waitingPacket));
        Configure("silent_at=" + std::to_string(c.waitingPacket) + "\n");
        Connect();
        fake_->Clear();
        ASSERT_TRUE(Start(MakeJob(kPicture, PictureBytes(c.size))));
        ASSERT_TRUE(WaitTrace("silent #" + std::to_string(c.waitingPacket)));
        PumpFor(50);
        HWND bar = GetDlgItem(progress_.Hwnd(), IDC_PROGRESS_BAR);
        EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), static_cast<LRESULT>(c.size / 1000 + 1));
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), c.position);
        EXPECT_EQ(IsWindowEnabled(owner_) != FALSE, c.finished);
        EXPECT_EQ(IsWindowVisible(progress_.Hwnd()) != FALSE, !c.finished);
        // Unblock by closing: the waiting read fails.
        channel_.CloseChannel();
        WaitForTransferEnd();
        EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kStartCompanion, kNotSent}));
        channel_.WaitForWorkerEnd();
    }
    // 3000 bytes finishes with the third block's acknowledgement: the window
    // is gone when the success is announced, and the bar sits at its bound.
    Configure("");
    Connect();
    Send(PictureBytes(3000));
    const Call* success = fake_->Find("warning:" + std::string(kSent));
    ASSERT_NE(success, nullptr);
    EXPECT_TRUE(success->at.ownerEnabled);
    EXPECT_EQ(success->at.position, 4);
}

TEST_F(PictureTransfer, ChannelDroppedWhileABlockWaitsEndsDisconnected) {
    Configure("close_at=4\n");  // the second block: the handheld goes away instead of answering
    Connect();
    Send(PictureBytes(2500));
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kStartCompanion, kNotSent}));
    ASSERT_TRUE(WaitDisconnected());
    EXPECT_EQ(fake_->Sequence().back(), "status:Disconnected");
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(progress_.Hwnd()));
    const auto packets = ReceivedPackets(Trace());
    EXPECT_EQ(packets.count(5), 0u) << "nothing more was written";
    EXPECT_EQ(Trace().find("file #"), std::string::npos);
}

TEST_F(PictureTransfer, FailedWriteShowsBothMessages) {
    Configure("fail_write_at=3\n");  // the first block
    Connect();
    Send(PictureBytes(1200));
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kStartCompanion, kNotSent}));
    ASSERT_TRUE(WaitDisconnected());
    EXPECT_NE(Trace().find("write #3 failed"), std::string::npos);
}

TEST_F(PictureTransfer, SecondPictureRightAfterSuccessOverwritesTheSameName) {
    Configure("");
    Connect();
    const Bytes first = PictureBytes(1500, 1);
    const Bytes second = PictureBytes(2100, 2);
    Send(first);
    ASSERT_TRUE(WaitTrace("file #5 \"beach.jpg\" 1500 bytes"));
    Send(second);
    ASSERT_TRUE(WaitTrace("file #10 \"beach.jpg\" 2100 bytes"));
    EXPECT_EQ(ReadFileBytes(received_ + "\\beach.jpg"), AsText(second));
    EXPECT_EQ(ReadFileBytes(sent_ + "\\beach.jpg"), AsText(second));
    ExpectRecords(ReceivedPackets(Trace()), 6, "beach.jpg", second);
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kSent}));
    EXPECT_TRUE(channel_.IsOpen());
}

TEST_F(PictureTransfer, PreparesOnlyInItsTurn) {
    Configure("");
    Connect();
    auto turn = std::make_unique<quorvel::PreparationTurn>();  // another sender prepares meanwhile
    ASSERT_TRUE(Start(MakeJob(kPicture, PictureBytes(1500))));
    ASSERT_TRUE(PumpUntil([&] { return quorvel::PreparationTurn::Waiting() == 1 || prepared_ > 0; }));
    EXPECT_EQ(prepared_, 0) << "prepared while another sender held the turn";
    turn.reset();
    WaitForTransferEnd();
    EXPECT_EQ(prepared_, 1);
    EXPECT_EQ(quorvel::PreparationTurn::Waiting(), 0);
}

TEST_F(PictureTransfer, NoPictureLoadedStartsNothing) {
    Configure("");
    Connect();
    EXPECT_FALSE(Start(MakeJob("", PictureBytes(10))));
    EXPECT_EQ(fake_->Sequence(), (std::vector<std::string>{"warning:No image loaded", "status:Connected"}));
    EXPECT_FALSE(progress_.IsWorkerRunning());
    EXPECT_EQ(progress_.Hwnd(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(prepared_, 0);
}

TEST_F(PictureTransfer, ChannelClosedWhenTheThreadStarts) {
    Send(PictureBytes(10));
    EXPECT_EQ(fake_->Sequence(),
              (std::vector<std::string>{"status:" + std::string(kSending), "label:hide",
                                        "warning:" + std::string(kStartCompanion), "status:Disconnected",
                                        "buttons:disconnected", "status:Disconnected", "label:show",
                                        "status:Disconnected"}));
    EXPECT_EQ(prepared_, 0) << "nothing is prepared without a handheld";
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(progress_.Hwnd()));
}

// ------------------------------------------------------------ what the transfer mends

TEST_F(PictureTransfer, MissingPreparedFileFailsBeforeAnythingIsSent) {
    Configure("");
    Connect();
    // A file from an earlier run is removed first, so a preparation that
    // writes nothing cannot send yesterday's picture.
    WriteFileBytes(sent_ + "\\beach.jpg", PictureBytes(300));
    auto job = MakeJob(kPicture, {});
    job->preparePicture = [this](std::wstring*) {
        ++prepared_;
        return false;
    };
    fake_->Clear();
    ASSERT_TRUE(Start(job));
    WaitForTransferEnd();
    EXPECT_EQ(prepared_, 1);
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({quorvel::kPictureUnreadableText}));
    ASSERT_TRUE(WaitDisconnected());
    const auto packets = ReceivedPackets(Trace());
    ASSERT_EQ(packets.size(), 2u) << Trace();
    EXPECT_EQ(packets.at(2).kind, "Bye");
    EXPECT_FALSE(FileExists(sent_ + "\\beach.jpg"));
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(PictureTransfer, PictureOpenedFromSentPicturesIsNeverDeleted) {
    Configure("");
    Connect();
    // The user opened a picture of the Sent Pictures folder: the prepared
    // file's path is the picture itself, which must survive a preparation
    // that writes nothing.
    const std::string own = sent_ + "\\holiday.jpg";
    const Bytes content = PictureBytes(1500);
    WriteFileBytes(own, content);
    auto job = MakeJob(own, {});
    job->preparePicture = [this](std::wstring*) {
        ++prepared_;
        return false;
    };
    ASSERT_TRUE(Start(job));
    WaitForTransferEnd();
    EXPECT_EQ(prepared_, 1);
    EXPECT_TRUE(FileExists(own));
    EXPECT_EQ(ReadFileBytes(received_ + "\\holiday.jpg"), AsText(content));
}

// The prepared file is read whole before anything is sent: a mail that
// rewrites or removes it meanwhile changes nothing the handheld receives.
TEST_F(PictureTransfer, WhatIsSentIsWhatWasPreparedWhateverBecomesOfTheFile) {
    Configure("latency_ms=300\n");
    Connect();
    const Bytes content = PictureBytes(3000);
    for (const bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "removed" : "rewritten");
        fake_->Clear();
        const auto earlier = ReceivedPackets(Trace());
        const int init = (earlier.empty() ? 0 : earlier.rbegin()->first) + 1;
        ASSERT_TRUE(Start(MakeJob(kPicture, content)));
        // The first block is on its way: change the file behind it.
        ASSERT_TRUE(WaitTrace("recv #" + std::to_string(init + 1) + " block_img"));
        if (remove) ASSERT_TRUE(DeleteFileA((sent_ + "\\beach.jpg").c_str())) << "the transfer must not lock the file";
        else WriteFileBytes(sent_ + "\\beach.jpg", PictureBytes(500, 9));
        WaitForTransferEnd();
        EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kSent}));
        ASSERT_TRUE(WaitTrace("file #" + std::to_string(init + 4) + " \"beach.jpg\" 3000 bytes"));
        EXPECT_EQ(ReadFileBytes(received_ + "\\beach.jpg"), AsText(content));
    }
}

TEST_F(PictureTransfer, NameLongerThan255CharactersIsRefusedBeforeAnythingIsSent) {
    Configure("");
    Connect();
    const std::string longBase(252, 'n');  // 252 + ".jpg" = 256 characters
    Send(PictureBytes(10), "C:\\pictures\\" + longBase + ".png");
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({quorvel::kPictureNameTooLongText}));
    EXPECT_EQ(prepared_, 0);
    ASSERT_TRUE(WaitDisconnected());
    const auto packets = ReceivedPackets(Trace());
    ASSERT_EQ(packets.size(), 2u) << Trace();
    EXPECT_EQ(packets.at(2).kind, "Bye");
}

// ------------------------------------------------------------ the log

std::string LogEntry(const std::string& line) { return line + std::string("\r\n\0", 3); }

std::string Banner() {
    return LogEntry("") + LogEntry(std::string(60, '=')) + LogEntry("") +
           LogEntry("_____ int WINAPI PicturesSending( LPVOID pVoid )____________");
}

std::string InitPart(const Bytes& content, const std::string& reply) {
    return LogEntry("picture file successfuly opened") + LogEntry("init_img struct by field:") +
           LogEntry("command = New") + LogEntry("img name length = 9") + LogEntry("img name = beach.jpg") +
           LogEntry("img length = " + std::to_string(content.size()) + " (" + std::to_string(content.size()) + ")") +
           LogEntry("init_img struct all bytes:") +
           AsText(ExpectedInitImg("beach.jpg", static_cast<uint32_t>(content.size()))) +
           LogEntry("! send:  ===>  New") + LogEntry("! receive:  ===> " + reply);
}

std::string BlockPart(const Bytes& content, int index) {
    const int length = static_cast<int>(std::min<size_t>(1000, content.size() - 1000 * index));
    const std::string counter = std::to_string(index);
    return LogEntry("block_img struct \xB9" + counter + " ====> ") + LogEntry("command = Img") +
           LogEntry("block length = " + std::to_string(length) + " (" + std::to_string(length) + ")") +
           LogEntry("img block data") +
           std::string(content.begin() + 1000 * index, content.begin() + 1000 * index + length) +
           LogEntry("block_img \xB9" + counter + " all bytes ====> ") +
           AsText(ExpectedBlockImg(&content[1000 * index], length)) + LogEntry("Now sent:") +
           LogEntry(std::to_string(1000 * index + length));
}

const Bytes& LogPicture() {
    static const Bytes content = PictureBytes(1500, 77);
    return content;
}

// The children: each makes one transfer with the log on, after connecting
// and removing what the connect logged.
class PictureTransferLogChild : public PictureTransfer {
protected:
    void SetUp() override {
        if (!quorvel::IsLoggingOn(GetCommandLineA())) GTEST_SKIP() << "runs as a child with the log on";
        PictureTransfer::SetUp();
    }
    void TearDown() override {
        if (owner_) PictureTransfer::TearDown();
    }
    void SendWithLog(const std::string& settings) {
        Configure(settings);
        Connect();
        DeleteFileA((ExeFolder() + "\\log.txt").c_str());
        Send(LogPicture());
    }
};

TEST_F(PictureTransferLogChild, Success) {
    SendWithLog("");
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kSent}));
}

TEST_F(PictureTransferLogChild, RefusedAnnouncement) {
    SendWithLog("ack_text_at=2:rcv\n");
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kStartCompanion, kNotSent}));
}

TEST_F(PictureTransferLogChild, RefusedFirstBlock) {
    SendWithLog("ack_text_at=3:RCV\n");
    EXPECT_EQ(fake_->Warnings(), std::vector<std::string>({kStartCompanion, kNotSent}));
}

// Runs one child case in a copy of this executable with "log" as the last
// word of its command line; returns the log.txt it leaves.
std::string RunChildWithLog(const std::string& testName) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "qxfer_log_" + std::to_string(GetCurrentProcessId()) + "_" + testName;
    CreateDirectoryA(folder.c_str(), nullptr);
    char self[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string copy = folder + "\\picture_transfer_test.exe";
    EXPECT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
    DeleteFileA((folder + "\\log.txt").c_str());
    SetEnvironmentVariableA("QUORVEL_TEST_SIM_DLL", (ExeFolder() + "\\handheld_sim.dll").c_str());

    std::string commandLine = "\"" + copy + "\" --gtest_filter=PictureTransferLogChild." + testName + " log";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << copy;
        return std::string();
    }
    const DWORD waited = WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the child did not end";
    EXPECT_EQ(code, 0u) << "the child case failed";
    return ReadFileBytes(folder + "\\log.txt");
}

TEST(PictureTransferLog, SuccessfulTransferIsLoggedByteForByte) {
    const Bytes& content = LogPicture();
    const std::string expected =
        Banner() + InitPart(content, "Rcv") + LogEntry("cycle for sent picture begin") + BlockPart(content, 0) +
        BlockPart(content, 1) + LogEntry("End");
    const std::string log = RunChildWithLog("Success");
    EXPECT_EQ(log.size(), expected.size());
    EXPECT_TRUE(log == expected) << "the log differs from byte "
                                 << (std::mismatch(log.begin(), log.begin() + std::min(log.size(), expected.size()),
                                                   expected.begin())
                                         .first -
                                     log.begin());
}

TEST(PictureTransferLog, RefusalsAreLoggedByteForByte) {
    const Bytes& content = LogPicture();
    const std::string refusedInit = Banner() + InitPart(content, "rcv") + LogEntry("rcv compare fail -- init") +
                                    LogEntry("Label error");
    EXPECT_TRUE(RunChildWithLog("RefusedAnnouncement") == refusedInit) << "refused announcement";

    const std::string refusedBlock = Banner() + InitPart(content, "Rcv") + LogEntry("cycle for sent picture begin") +
                                     BlockPart(content, 0) + LogEntry("rcv compare fail on block 1") +
                                     LogEntry("Label error");
    EXPECT_TRUE(RunChildWithLog("RefusedFirstBlock") == refusedBlock) << "refused first block";
}

}  // namespace
