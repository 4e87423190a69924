// The USB channel and the handshake against the simulated handheld, under
// Wine: what goes on the wire (checked in the simulator's trace), how the
// worker thread counts notifications, fails waiting reads and ends its
// connection when either side closes, and what the handshake makes of the
// handheld's answer. The simulator is registered once from beside the test
// and configured per case through QUORVEL_SIM_CONFIG.
//
// Every case that could hang on a faulty channel runs under a watchdog, so a
// deadlock ends the run with a message instead of stalling it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/Connection.h"
#include "device/UsbChannel.h"
#include "tests/win/SimHarness.h"

namespace {

using namespace std::chrono_literals;
using simharness::SimSettings;
using simharness::Watchdog;

const char kGreeting[] = "Hello from Quorvel Photo Manager";
const char kGreetingHex[] = "48656c6c6f2066726f6d2051756f7276656c2050686f746f204d616e61676572";
const char kDefaultReply[] = "height=240 width=320";
const char kStartCompanion[] =
    "Please start Quorvel Photos on your handheld, connect USB cable\nand then press Connect button again.";

// SHA-1 of "abc", as published with the standard.
const std::uint8_t kSha1Abc[20] = {0xa9, 0x99, 0x3e, 0x36, 0x47, 0x06, 0x81, 0x6a, 0xba, 0x3e,
                                   0x25, 0x71, 0x78, 0x50, 0xc2, 0x6c, 0x9c, 0xd0, 0xd8, 0x9d};

// Records the calls of the disconnected display; it can be told to hold the
// worker inside the call until the test lets it go.
class DisplayProbe {
public:
    void Called() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_calls;
        m_threads.push_back(::GetCurrentThreadId());
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !m_hold; });
    }
    bool WaitCalls(int n, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_calls >= n; });
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    DWORD LastThread() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads.empty() ? 0 : m_threads.back();
    }
    void Hold(bool hold) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hold = hold;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_calls = 0;
    std::vector<DWORD> m_threads;
    bool m_hold = false;
};

// Runs ReadString on a thread of its own and tells when it has returned.
class AsyncRead {
public:
    explicit AsyncRead(UsbChannel& channel) {
        m_thread = std::thread([this, &channel] {
            std::string text;
            bool ok = channel.ReadString(text);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ok = ok;
            m_text = text;
            m_done = true;
            m_changed.notify_all();
        });
    }
    ~AsyncRead() { m_thread.join(); }
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_done; });
    }
    bool Done() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_done;
    }
    bool Ok() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_ok;
    }
    std::string Text() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    bool m_ok = false;
    std::string m_text;
    std::thread m_thread;
};

class ChannelCase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(simharness::RegisterSimulator(&error)) << error;
    }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_sim = SimSettings(simharness::MakeScratchFolder("qchan", std::string(info->test_suite_name()) + "_" + info->name()));
        m_channel.SetDisconnectedDisplay([this] { m_display.Called(); });
    }

    void TearDown() override {
        m_display.Hold(false);
        Watchdog dog("closing the channel after the case", 20s);
        m_channel.CloseChannel();
        m_channel.WaitForWorkerEnd();
    }

    // The probe outlives the channel: the channel's destructor may still
    // call the display.
    DisplayProbe m_display;
    SimSettings m_sim;
    UsbChannel m_channel;
};

// ----------------------------------------------------------------- opening

TEST_F(ChannelCase, NoHandheldAttachedFailsTheOpenAndTheWorkerEnds) {
    m_sim.Apply("devices=0\n");
    {
        Watchdog dog("OpenChannel without a handheld", 20s);
        ASSERT_FALSE(m_channel.OpenChannel());  // warms up COM and the window class as well
        m_channel.WaitForWorkerEnd();
    }
    const int before = simharness::ThreadCount();
    {
        Watchdog dog("OpenChannel without a handheld", 20s);
        EXPECT_FALSE(m_channel.OpenChannel());
    }
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_EQ(m_channel.WorkerThreadId(), 0u);
    // The worker ends by itself, nobody has to close anything.
    EXPECT_LE(simharness::WaitThreadCountAtMost(before, 5000), before) << "the worker thread is still running";
    EXPECT_EQ(m_display.Calls(), 0) << "no connection had opened";
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);
    EXPECT_TRUE(m_sim.TraceHas("manager created"));
    EXPECT_FALSE(m_sim.TraceHas("open \"")) << "no device to open a channel on";

    // Reads, writes and closes on the closed channel fail quietly.
    std::string text = "untouched";
    EXPECT_FALSE(m_channel.ReadString(text));
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(m_channel.WriteString(kGreeting));
    m_channel.CloseChannel();
    EXPECT_EQ(m_display.Calls(), 0);
}

TEST_F(ChannelCase, OpenWhileOpenShowsOwnerlessMessageAndKeepsTheConnection) {
    m_sim.Apply("");
    Watchdog dog("OpenChannel while open", 30s);
    ASSERT_TRUE(m_channel.OpenChannel());
    const DWORD worker = m_channel.WorkerThreadId();
    ASSERT_NE(worker, 0u);
    {
        simharness::MessageBoxDismisser box("OpenChannel() on already opened channel!");
        EXPECT_FALSE(m_channel.OpenChannel());
        ASSERT_TRUE(box.WaitDismissed()) << "no message box with the expected text";
        EXPECT_FALSE(box.HadOwner()) << "the message box has no owner";
        EXPECT_FALSE(box.Caption().empty()) << "the system's default caption";
    }
    EXPECT_TRUE(m_channel.IsOpen());
    EXPECT_EQ(m_channel.WorkerThreadId(), worker);
    EXPECT_EQ(m_sim.TraceCount("manager created"), 1) << "the second open made no component";
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    std::string reply;
    ASSERT_TRUE(m_channel.ReadString(reply));
    EXPECT_EQ(reply, kDefaultReply);
    EXPECT_EQ(m_display.Calls(), 0);
}

// ------------------------------------------------------------ the packets

TEST_F(ChannelCase, GreetingAndByeGoOutAsTheirBareCharacters) {
    m_sim.Apply("");
    Watchdog dog("greeting and Bye", 30s);
    ASSERT_TRUE(m_channel.OpenChannel());
    EXPECT_TRUE(m_channel.IsOpen());
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    std::string reply;
    ASSERT_TRUE(m_channel.ReadString(reply));
    EXPECT_EQ(reply, kDefaultReply) << "the two leading bytes are skipped, the text ends at the zero";
    ASSERT_TRUE(m_channel.WriteString("Bye"));
    ASSERT_TRUE(m_sim.WaitTrace("recv #2 Bye"));
    EXPECT_TRUE(m_sim.TraceHas(std::string("recv #1 greeting len=32 ") + kGreetingHex + "\n"));
    EXPECT_TRUE(m_sim.TraceHas("recv #2 Bye len=3 427965\n"));
    EXPECT_FALSE(m_sim.TraceHas("violation"));

    // Write sends exactly the bytes given, zero bytes included.
    const std::uint8_t raw[5] = {'E', 'n', 0, 'd', 0};
    ASSERT_TRUE(m_channel.Write(raw, 5));
    ASSERT_TRUE(m_sim.WaitTrace("recv #3 "));
    EXPECT_TRUE(m_sim.TraceHas("len=5 456e006400\n"));
}

TEST_F(ChannelCase, PacketTextEndsAtItsZeroOrAtTheBufferEnd) {
    struct Case {
        std::string reply;
        std::string text;
    };
    // The answer packet is two bytes, the text and a zero: 997 characters
    // still fit with their zero into the 1000-byte read buffer, 998 fill it
    // without one, and longer answers are cut by the component.
    const std::string long997(997, 'a');
    const std::string long998 = "height=200width=100" + std::string(979, 'b');
    const std::string long1500 = std::string(1500, 'c');
    const Case cases[] = {
        {"", ""},
        {"Rcv", "Rcv"},
        {long997, long997},
        {long998, long998},
        {long1500, std::string(998, 'c')},
    };
    for (const Case& c : cases) {
        m_sim.Apply("screen_reply=" + c.reply + "\n");
        Watchdog dog("reading one answer", 30s);
        ASSERT_TRUE(m_channel.OpenChannel());
        ASSERT_TRUE(m_channel.WriteString(kGreeting));
        std::string text;
        ASSERT_TRUE(m_channel.ReadString(text)) << c.reply.size();
        EXPECT_EQ(text.size(), c.text.size()) << c.reply.size();
        EXPECT_EQ(text, c.text) << c.reply.size();
        m_channel.CloseChannel();
    }
}

// ---------------------------------------------------------- notifications

TEST_F(ChannelCase, TwoNotificationsBeforeTwoReadsAreCountedAndTheThirdReadWaits) {
    m_sim.Apply("");
    Watchdog dog("counted notifications", 30s);
    ASSERT_TRUE(m_channel.OpenChannel());
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    ASSERT_TRUE(m_sim.WaitTrace("answer #2"));
    Sleep(200);  // both data-arrived notifications have come while no read waited

    for (int i = 0; i < 2; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::string reply;
        ASSERT_TRUE(m_channel.ReadString(reply)) << "read " << i + 1;
        EXPECT_EQ(reply, kDefaultReply);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "a counted packet is read at once";
    }

    AsyncRead third(m_channel);
    EXPECT_FALSE(third.Wait(400ms)) << "nothing more arrived, so the third read waits";

    // A second read while one waits fails at once; the waiting one goes on.
    std::string text = "untouched";
    EXPECT_FALSE(m_channel.ReadString(text));
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(third.Done());

    // The next packet goes to the waiting read.
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    ASSERT_TRUE(third.Wait(10s));
    EXPECT_TRUE(third.Ok());
    EXPECT_EQ(third.Text(), kDefaultReply);
}

// ------------------------------------------------------- the end of a link

TEST_F(ChannelCase, ReadWaitingWhileAnotherThreadClosesFailsAndTheCloseDoesNotWaitForIt) {
    m_sim.Apply("");
    Watchdog dog("close while a read waits", 30s);
    ASSERT_TRUE(m_channel.OpenChannel());
    const DWORD worker = m_channel.WorkerThreadId();
    AsyncRead reader(m_channel);
    ASSERT_FALSE(reader.Wait(300ms)) << "no packet was asked for, the read waits";

    // The reader holds no lock while it waits: other operations go through.
    EXPECT_TRUE(m_channel.IsOpen());
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);
    ASSERT_TRUE(m_channel.WriteString("Bye"));
    ASSERT_TRUE(m_sim.WaitTrace("recv #1 Bye len=3"));

    const auto start = std::chrono::steady_clock::now();
    m_channel.CloseChannel();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(m_channel.IsOpen()) << "CloseChannel clears the worker id itself";
    ASSERT_TRUE(reader.Wait(10s)) << "the waiting read was not answered by the close";
    EXPECT_FALSE(reader.Ok());

    ASSERT_TRUE(m_display.WaitCalls(1));
    EXPECT_EQ(m_display.LastThread(), worker) << "the disconnected display runs on the worker";
    m_channel.WaitForWorkerEnd();
    EXPECT_EQ(m_display.Calls(), 1);
    EXPECT_TRUE(m_sim.WaitTrace("close by program"));
}

TEST_F(ChannelCase, ComponentDroppingTheChannelEndsTheConnectionByItself) {
    m_sim.Apply("close_at=1\n");
    Watchdog dog("the component drops the channel", 30s);
    ASSERT_TRUE(m_channel.OpenChannel());
    const DWORD worker = m_channel.WorkerThreadId();
    AsyncRead reader(m_channel);
    ASSERT_FALSE(reader.Wait(200ms));

    ASSERT_TRUE(m_channel.WriteString(kGreeting)) << "the write itself is accepted";
    ASSERT_TRUE(m_display.WaitCalls(1)) << "the disconnected display was not called";
    EXPECT_EQ(m_display.LastThread(), worker);
    ASSERT_TRUE(reader.Wait(10s));
    EXPECT_FALSE(reader.Ok()) << "the waiting read fails when the channel goes";

    // Nobody called CloseChannel, yet the channel reports closed.
    const DWORD start = GetTickCount();
    while (m_channel.IsOpen() && GetTickCount() - start < 5000) Sleep(5);
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_EQ(m_channel.WorkerThreadId(), 0u);

    // A write after the drop fails at once, and so does everything else.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_channel.WriteString("Bye"));
    std::string text;
    EXPECT_FALSE(m_channel.ReadString(text));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);

    // Closing the closed channel does nothing: no second display.
    m_channel.CloseChannel();
    m_channel.CloseChannel();
    m_channel.WaitForWorkerEnd();
    EXPECT_EQ(m_display.Calls(), 1);
    EXPECT_TRUE(m_sim.TraceHas("close #1 (close_at)"));
    EXPECT_FALSE(m_sim.TraceHas("recv #2")) << "nothing reached the handheld after the drop";

    // The channel can be opened again, with a new component object.
    m_sim.Apply("");
    ASSERT_TRUE(m_channel.OpenChannel());
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    std::string reply;
    ASSERT_TRUE(m_channel.ReadString(reply));
    EXPECT_EQ(reply, kDefaultReply);
}

TEST_F(ChannelCase, RequestsRacingWithTheDropFailInsteadOfWaitingForEver) {
    // The worker is held inside its end-of-connection steps (the display),
    // after it has left its message loop but before it has cleared its id:
    // requests posted now are never handled by the loop and must fail.
    m_sim.Apply("close_at=1\n");
    Watchdog dog("requests racing with the drop", 30s);
    ASSERT_TRUE(m_channel.OpenChannel());
    m_display.Hold(true);
    ASSERT_TRUE(m_channel.WriteString(kGreeting));
    ASSERT_TRUE(m_display.WaitCalls(1));
    EXPECT_TRUE(m_channel.IsOpen()) << "the display comes before the worker id is cleared";

    // Posted now, they wait until the worker has done its display, then
    // fail: the loop that would have handled them is gone.
    std::atomic<int> writeResult{-1}, stateResult{-1};
    AsyncRead reader(m_channel);
    std::thread writer([&] { writeResult = m_channel.WriteString("Bye") ? 1 : 0; });
    std::thread state([&] { stateResult = m_channel.GetPasswordState(); });
    Sleep(300);
    m_display.Hold(false);
    writer.join();
    state.join();
    ASSERT_TRUE(reader.Wait(10s));
    EXPECT_FALSE(reader.Ok());
    EXPECT_EQ(writeResult.load(), 0);
    EXPECT_EQ(stateResult.load(), PasswordNotAsked);
    m_channel.WaitForWorkerEnd();
    EXPECT_FALSE(m_sim.TraceHas("recv #2")) << "the late write never reached the handheld";
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_EQ(m_display.Calls(), 1);
}

TEST_F(ChannelCase, CloseChannelOnAClosedChannelDoesNothing) {
    Watchdog dog("CloseChannel on a closed channel", 30s);
    m_channel.CloseChannel();  // never opened
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_EQ(m_display.Calls(), 0);

    m_sim.Apply("");
    ASSERT_TRUE(m_channel.OpenChannel());
    m_channel.CloseChannel();
    EXPECT_FALSE(m_channel.IsOpen());
    m_channel.CloseChannel();
    m_channel.WaitForWorkerEnd();
    m_channel.CloseChannel();
    EXPECT_EQ(m_display.Calls(), 1) << "one display per connection";
    EXPECT_EQ(m_sim.TraceCount("close by program"), 1);
}

// The main window's Close and Exit paths close the channel and go on to
// destroy it with the window at once. The worker's last steps call into the
// window (on the window's thread, which must keep answering) and take the
// channel lock, so the destruction has to wait for them.
std::atomic<int> g_windowCalls{0};
LRESULT CALLBACK CountingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 1) {
        ++g_windowCalls;
        return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(ChannelCase, DestroyingTheChannelRightAfterTheCloseWaitsForTheWorkersLastSteps) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &CountingWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorvelChannelTestWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    m_sim.Apply("");
    Watchdog dog("destroying the channel after the close", 30s);
    for (bool closeFirst : {true, false}) {
        g_windowCalls = 0;
        std::atomic<bool> displayDone{false};
        auto* channel = new UsbChannel;
        channel->SetDisconnectedDisplay([&] {
            // As the real display does: the buttons of the main window,
            // carried to its thread, which is the one destroying us.
            Sleep(300);
            SendMessageA(window, WM_APP + 1, 0, 0);
            displayDone = true;
        });
        ASSERT_TRUE(channel->OpenChannel());
        if (closeFirst) channel->CloseChannel();
        delete channel;  // without a close the destructor closes by itself
        EXPECT_TRUE(displayDone.load()) << "destroyed before the worker's last steps, closeFirst=" << closeFirst;
        EXPECT_EQ(g_windowCalls.load(), 1);
    }
    DestroyWindow(window);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

// --------------------------------------------------------------- password

TEST_F(ChannelCase, PasswordStateOfTheLastAttempt) {
    Watchdog dog("password states", 60s);
    // No password on the handheld: 0 while open, after the close and after
    // an attempt without a handheld.
    m_sim.Apply("");
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked) << "initially";
    ASSERT_TRUE(m_channel.OpenChannel());
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);
    m_channel.CloseChannel();
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);
    m_sim.Apply("devices=0\n");
    EXPECT_FALSE(m_channel.OpenChannel());
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);

    // Supplied: asked through the worker while open, kept after the close.
    DWORD answerThread = 0;
    m_channel.SetPasswordAnswer([&](std::int32_t attempts, std::uint8_t* digest) {
        answerThread = GetCurrentThreadId();
        EXPECT_EQ(attempts, 10);
        std::memcpy(digest, kSha1Abc, 20);
        return true;
    });
    m_sim.Apply("password=abc\n");
    ASSERT_TRUE(m_channel.OpenChannel());
    EXPECT_EQ(answerThread, m_channel.WorkerThreadId()) << "the challenge comes on the worker";
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordSupplied);
    m_channel.CloseChannel();
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordSupplied);

    // Refused: the open fails and the state says so.
    m_channel.SetPasswordAnswer([](std::int32_t, std::uint8_t*) { return false; });
    EXPECT_FALSE(m_channel.OpenChannel());
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordRefused);
    EXPECT_TRUE(m_sim.TraceHas("challenge refused"));

    // Without anybody to answer, the challenge is refused too.
    m_channel.SetPasswordAnswer(nullptr);
    EXPECT_FALSE(m_channel.OpenChannel());
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordRefused);

    // A later attempt without a challenge reports 0 again.
    m_sim.Apply("");
    ASSERT_TRUE(m_channel.OpenChannel());
    EXPECT_EQ(m_channel.GetPasswordState(), PasswordNotAsked);
    EXPECT_EQ(m_display.Calls(), 2) << "two connections opened and ended";
}

// An end nested in the open's wait (a session end sent to the opening
// thread while the worker still connects): the end cannot join a worker that
// has not finished connecting, so it leaves that to the open, which closes
// the connection just made and joins its worker before it reports failure.
UsbChannel* g_endingChannel = nullptr;
LRESULT CALLBACK EndOnMessage(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) {
        g_endingChannel->WaitForWorkerEnd();
        return 0;
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

TEST_F(ChannelCase, EndDuringTheConnectClosesAndJoinsOnceItIsOver) {
    HWND ender = CreateWindowExA(0, "STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(ender);
    SetWindowLongPtrA(ender, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EndOnMessage));
    g_endingChannel = &m_channel;
    m_channel.SetPasswordAnswer([&](std::int32_t, std::uint8_t* digest) {
        SendMessageA(ender, WM_APP, 0, 0);  // the end, while the connect waits for this answer
        std::memcpy(digest, kSha1Abc, 20);
        return true;
    });
    m_sim.Apply("password=abc\n");
    EXPECT_FALSE(m_channel.OpenChannel());
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_TRUE(m_sim.TraceHas("open ok")) << m_sim.Trace();
    EXPECT_EQ(m_display.Calls(), 1) << "the connection made was ended";
    DestroyWindow(ender);
}

// The worker's exit code tells a connection (0) from an open that ended the
// worker early (-1). The channel keeps its handle to the last worker until
// the next open or WaitForWorkerEnd, so the thread can still be opened by
// its id after it has ended.
DWORD ExitCodeOfWorker(DWORD threadId) {
    HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread) return 12345;
    DWORD code = 12345;
    if (WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    return code;
}

TEST_F(ChannelCase, WorkerExitCodeIsZeroAfterAConnectionAndMinusOneAfterAFailedOpen) {
    Watchdog dog("worker exit codes", 30s);
    m_sim.Apply("");
    ASSERT_TRUE(m_channel.OpenChannel());
    const DWORD connected = m_channel.WorkerThreadId();
    ASSERT_NE(connected, 0u);
    m_channel.CloseChannel();
    EXPECT_EQ(ExitCodeOfWorker(connected), 0u);

    // A refused password fails the open; the answer runs on the worker.
    DWORD refused = 0;
    m_channel.SetPasswordAnswer([&](std::int32_t, std::uint8_t*) {
        refused = GetCurrentThreadId();
        return false;
    });
    m_sim.Apply("password=abc\n");
    EXPECT_FALSE(m_channel.OpenChannel());
    ASSERT_NE(refused, 0u);
    EXPECT_EQ(ExitCodeOfWorker(refused), static_cast<DWORD>(-1));
    m_channel.WaitForWorkerEnd();
}

// -------------------------------------------------------------- handshake

// The main window as the device link sees it: every call is recorded.
class FakeWindow : public MainWindowLink {
public:
    void SetConnectionButtons(bool disconnected) override { Add(std::string("buttons ") + (disconnected ? "disconnected" : "connected")); }
    void EnableButton(int id, bool enable) override { Add("enable " + std::to_string(id) + (enable ? " on" : " off")); }
    void SetStatusText(const std::string& text) override { Add("status " + text); }
    void ShowWarning(const std::string& text) override { Add("warning " + text); }
    void SetScreenSize(int width, int height) override {
        Add("screen " + std::to_string(width) + "x" + std::to_string(height));
    }
    void ShowConnectedPreview() override { Add("preview"); }

    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.clear();
    }

private:
    void Add(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
    }
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

using Calls = std::vector<std::string>;

class HandshakeCase : public ChannelCase {
protected:
    FakeWindow m_window;
};

TEST_F(HandshakeCase, ScreenSizeFromTheAnswer) {
    struct Case {
        std::string reply;
        std::string screen;
    };
    const Case cases[] = {
        {"height=480;width=360", "screen 360x480"},
        {"height=240width=320", "screen 320x240"},
        {"height=160 width=160", "screen 160x160"},
        // the height has to come first; otherwise it reads 0 and the default applies
        {"width=320 height=240", "screen 320x240"},
        {"width=100 height=200", "screen 320x240"},
        {"height=0width=480", "screen 320x240"},
        // hostile answers: no fields, negative, huge
        {"", "screen 320x240"},
        {"Rcv", "screen 320x240"},
        {"height=-480width=-360", "screen 320x240"},
        {"height=480width=-360", "screen 320x240"},
        {"height=99999999999999999999width=99999999999999999999", "screen 320x240"},
        {"height=100000width=100000", "screen 320x240"},
        // the longest answer that fits the read buffer, without a zero byte
        {"height=200width=100" + std::string(979, 'x'), "screen 100x200"},
        // cut by the buffer before its width field: no usable numbers
        {"height=200" + std::string(2000, 'x') + "width=100", "screen 320x240"},
    };
    for (const Case& c : cases) {
        const std::string label = c.reply.substr(0, 60) + " (" + std::to_string(c.reply.size()) + ")";
        m_sim.Apply("screen_reply=" + c.reply + "\n");
        m_window.Clear();
        Watchdog dog("handshake", 30s);
        EXPECT_TRUE(Handshake(m_channel, m_window)) << label;
        EXPECT_EQ(m_window.Calls(), Calls({c.screen})) << label;
        EXPECT_TRUE(m_channel.IsOpen()) << label;

        m_window.Clear();
        DisconnectLink(m_channel, m_window);
        EXPECT_EQ(m_window.Calls(), Calls({"buttons disconnected"})) << label;
        EXPECT_FALSE(m_channel.IsOpen()) << label;
        ASSERT_TRUE(m_sim.WaitTrace("recv #2 Bye len=3 427965\n")) << label;
        EXPECT_TRUE(m_sim.TraceHas(std::string("recv #1 greeting len=32 ") + kGreetingHex + "\n")) << label;
    }
}

TEST_F(HandshakeCase, NoHandheldShowsTheStartMessage) {
    m_sim.Apply("devices=0\n");
    Watchdog dog("handshake without a handheld", 30s);
    EXPECT_FALSE(Handshake(m_channel, m_window));
    EXPECT_EQ(m_window.Calls(), Calls({std::string("warning ") + kStartCompanion}));
    EXPECT_FALSE(m_channel.IsOpen());
}

TEST_F(HandshakeCase, ChannelDroppedBeforeTheAnswerShowsTheStartMessage) {
    m_sim.Apply("close_at=1\n");
    Watchdog dog("handshake when the answer never comes", 30s);
    EXPECT_FALSE(Handshake(m_channel, m_window));
    EXPECT_EQ(m_window.Calls(), Calls({std::string("warning ") + kStartCompanion}));
    m_channel.WaitForWorkerEnd();
    EXPECT_FALSE(m_channel.IsOpen());
    EXPECT_EQ(m_display.Calls(), 1);
}

TEST_F(HandshakeCase, GreetingRejectedShowsTheStartMessageAndConnectCanBeTriedAgain) {
    m_sim.Apply("fail_write_at=1\n");
    Watchdog dog("handshake with a rejected greeting", 30s);
    EXPECT_FALSE(Handshake(m_channel, m_window));
    EXPECT_EQ(m_window.Calls(), Calls({std::string("warning ") + kStartCompanion}));
    EXPECT_TRUE(m_sim.TraceHas("write #1 failed (fail_write_at) len=32"));

    // We close the half-open channel, so the next press connects instead of
    // reporting "already connected" with Disconnect disabled.
    m_sim.Apply("");
    m_window.Clear();
    ConnectToHandheld(m_channel, m_window);
    EXPECT_EQ(m_window.Calls(), Calls({"screen 320x240", "preview", "status Connected", "buttons connected"}));
}

TEST_F(HandshakeCase, RefusedPasswordLocksTheButtonsWithoutAMessage) {
    m_sim.Apply("password=abc\n");
    m_channel.SetPasswordAnswer([](std::int32_t, std::uint8_t*) { return false; });
    Watchdog dog("handshake with a refused password", 30s);
    EXPECT_FALSE(Handshake(m_channel, m_window));
    EXPECT_EQ(m_window.Calls(), Calls({"enable 1002 off", "enable 1003 off", "enable 1004 off", "enable 1006 off",
                                       "enable 1005 off"}));
    EXPECT_FALSE(m_channel.IsOpen());
}

TEST_F(HandshakeCase, ConnectTwiceThenDisconnect) {
    m_sim.Apply("screen_reply=height=480;width=360\n");
    Watchdog dog("connect and disconnect", 30s);
    EXPECT_EQ(GetStatusText(m_channel), "Disconnected");
    ConnectToHandheld(m_channel, m_window);
    EXPECT_EQ(m_window.Calls(), Calls({"screen 360x480", "preview", "status Connected", "buttons connected"}));
    EXPECT_EQ(GetStatusText(m_channel), "Connected");

    m_window.Clear();
    ConnectToHandheld(m_channel, m_window);
    EXPECT_EQ(m_window.Calls(), Calls({"warning Quorvel Photo Manager has been already connected"}));
    EXPECT_EQ(m_sim.TraceCount("greeting len="), 1) << "the second press sends nothing";

    m_window.Clear();
    DisconnectLink(m_channel, m_window);
    EXPECT_EQ(m_window.Calls(), Calls({"buttons disconnected"}));
    EXPECT_EQ(GetStatusText(m_channel), "Disconnected");
    // Bye was written before the channel was released (the simulator still
    // handles packets written before a release).
    ASSERT_TRUE(m_sim.WaitTrace("recv #2 Bye len=3 427965\n"));
    EXPECT_TRUE(m_sim.TraceHas("close by program"));

    // Disconnect on the closed channel only sets the buttons.
    m_window.Clear();
    DisconnectLink(m_channel, m_window);
    EXPECT_EQ(m_window.Calls(), Calls({"buttons disconnected"}));
    EXPECT_EQ(m_sim.TraceCount("Bye"), 1);
}

}  // namespace
