// The channel under load against the simulated handheld: hundreds of
// connections opened and closed in a row on one channel object (as the main
// window does when the user keeps pressing Connect and Disconnect), and
// reads, closes, late notifications and the component's own close racing
// with each other. Nothing may deadlock (a watchdog ends the run with a
// message if anything does), and afterwards the process must hold as many
// handles and threads as before: every worker, event, hidden window and
// component object of every connection is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "device/UsbChannel.h"
#include "tests/win/SimHarness.h"

namespace {

using namespace std::chrono_literals;
using simharness::Watchdog;

const char kGreeting[] = "Hello from Quorvel Photo Manager";

// Wine creates a few threads of its own on first use (and keeps them); the
// baseline is taken after a warm-up, and this much is left for anything the
// platform starts later by itself.
const int kThreadSlack = 2;
const int kHandleSlack = 8;

class ChannelStress : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(simharness::RegisterSimulator(&error)) << error;
    }

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = simharness::MakeScratchFolder("qstress", info->name());
        // No trace: the point is the channel, not the simulator's disk writes.
        m_normal = WriteSettings("normal.ini", "");
        m_dropping = WriteSettings("dropping.ini", "close_at=1\n");
        Use(m_normal);
        m_channel.SetDisconnectedDisplay([this] { ++m_displays; });
    }

    std::string WriteSettings(const std::string& name, const std::string& settings) {
        simharness::SimSettings sim(m_folder);
        sim.Apply(settings, false, name);
        return m_folder + "\\" + name;
    }
    static void Use(const std::string& path) { ::SetEnvironmentVariableA("QUORVEL_SIM_CONFIG", path.c_str()); }

    // One press of Connect and one of Disconnect, as far as the channel goes.
    void ConnectAndDisconnect() {
        ASSERT_TRUE(m_channel.OpenChannel());
        ASSERT_TRUE(m_channel.WriteString(kGreeting));
        std::string reply;
        ASSERT_TRUE(m_channel.ReadString(reply));
        ASSERT_EQ(reply, "height=240 width=320");
        m_channel.WriteString("Bye");
        m_channel.CloseChannel();
    }

    void TakeBaseline() {
        m_channel.WaitForWorkerEnd();
        Sleep(100);
        m_baseThreads = simharness::ThreadCount();
        m_baseHandles = simharness::HandleCount();
        ASSERT_GT(m_baseThreads, 0);
        ASSERT_GT(m_baseHandles, 0);
        m_baseDisplays = m_displays.load();
    }

    void ExpectBackAtBaseline(int connections) {
        m_channel.WaitForWorkerEnd();
        EXPECT_FALSE(m_channel.IsOpen());
        EXPECT_EQ(m_displays.load() - m_baseDisplays, connections) << "one disconnected display per connection";
        const int threads = simharness::WaitThreadCountAtMost(m_baseThreads, 3000);
        // Handles closed by ending threads may lag a moment behind.
        int handles = simharness::HandleCount();
        for (int i = 0; i < 100 && handles > m_baseHandles; ++i) {
            Sleep(10);
            handles = simharness::HandleCount();
        }
        std::printf("  threads %d -> %d, handles %d -> %d\n", m_baseThreads, threads, m_baseHandles, handles);
        EXPECT_LE(threads, m_baseThreads + kThreadSlack);
        EXPECT_LE(handles, m_baseHandles + kHandleSlack);
    }

    std::string m_folder, m_normal, m_dropping;
    std::atomic<int> m_displays{0};
    int m_baseThreads = 0, m_baseHandles = 0, m_baseDisplays = 0;
    UsbChannel m_channel;
};

TEST_F(ChannelStress, FiveHundredConnectDisconnectCycles) {
    {
        Watchdog dog("warm-up cycle", 30s);
        ConnectAndDisconnect();
        ConnectAndDisconnect();
    }
    TakeBaseline();

    const int cycles = 500;
    const auto start = std::chrono::steady_clock::now();
    {
        Watchdog dog("500 connect/disconnect cycles", 120s);
        for (int i = 0; i < cycles && !HasFatalFailure(); ++i) ConnectAndDisconnect();
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %d cycles in %.0f ms (%.2f ms per cycle)\n", cycles, ms, ms / cycles);
    ExpectBackAtBaseline(cycles);
}

TEST_F(ChannelStress, TwoHundredReadCloseRaces) {
    {
        Watchdog dog("warm-up cycle", 30s);
        ConnectAndDisconnect();
    }
    TakeBaseline();

    const int races = 200;
    int opened = 0;
    const auto start = std::chrono::steady_clock::now();
    {
        Watchdog dog("200 read/close races", 120s);
        for (int i = 0; i < races && !HasFatalFailure(); ++i) {
            const int kind = i % 4;
            Use(kind == 3 ? m_dropping : m_normal);
            ASSERT_TRUE(m_channel.OpenChannel()) << "race " << i;
            ++opened;
            std::atomic<int> readResult{-1};
            std::thread reader;
            std::thread writer;
            switch (kind) {
            case 0:
                // A read that waits for nothing, closed after 0 to 2 ms.
                reader = std::thread([&] {
                    std::string text;
                    readResult = m_channel.ReadString(text) ? 1 : 0;
                });
                Sleep(static_cast<DWORD>(i % 3));
                m_channel.CloseChannel();
                break;
            case 1:
                // The answer arrives while the close lets go of the channel.
                ASSERT_TRUE(m_channel.WriteString(kGreeting));
                reader = std::thread([&] {
                    std::string text;
                    readResult = m_channel.ReadString(text) ? 1 : 0;
                });
                if (i % 8 == 1) Sleep(1);
                m_channel.CloseChannel();
                break;
            case 2:
                // A stream of answers on their way, nobody reads them, and
                // the close lets go of the channel while they arrive.
                for (int k = 0; k < 30; ++k) ASSERT_TRUE(m_channel.WriteString(kGreeting));
                m_channel.CloseChannel();
                break;
            case 3:
                // The component drops the channel while a writer keeps
                // writing, a reader waits and we close as well.
                reader = std::thread([&] {
                    std::string text;
                    readResult = m_channel.ReadString(text) ? 1 : 0;
                });
                ASSERT_TRUE(m_channel.WriteString(kGreeting));
                writer = std::thread([&] {
                    while (m_channel.WriteString("Bye")) {
                    }
                });
                Sleep(static_cast<DWORD>(i % 5));
                m_channel.CloseChannel();
                break;
            }
            if (reader.joinable()) reader.join();
            if (writer.joinable()) writer.join();
            if (kind == 0 || kind == 3) EXPECT_EQ(readResult.load(), 0) << "race " << i << ": nothing was answered";
            EXPECT_FALSE(m_channel.IsOpen()) << "race " << i;
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %d races in %.0f ms\n", races, ms);
    ExpectBackAtBaseline(opened);
}

}  // namespace
