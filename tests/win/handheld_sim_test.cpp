// Acceptance tests of the handheld simulator (tools/handheld_sim), driven the
// way the program drives the real component: the DLL registers itself, the
// manager is created with CoCreateInstance (context 0x17) and OleRun from a
// multithreaded-apartment worker thread with a message loop, and a callback
// object of the test receives the notifications. Each case writes its own
// settings file and names it in QUORVEL_SIM_CONFIG before creating the
// manager, then checks the answers, the trace and the received files.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/HandheldInterfaces.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

const char kGreeting[] = "Hello from Quorvel Photo Manager";
const auto kWait = 10s;  // generous: a hang fails the case instead of the run

// SHA-1 of "abc" and of the empty message, as published with the standard.
const uint8_t kSha1Abc[20] = {0xa9, 0x99, 0x3e, 0x36, 0x47, 0x06, 0x81, 0x6a, 0xba, 0x3e,
                              0x25, 0x71, 0x78, 0x50, 0xc2, 0x6c, 0x9c, 0xd0, 0xd8, 0x9d};
const uint8_t kSha1Empty[20] = {0xda, 0x39, 0xa3, 0xee, 0x5e, 0x6b, 0x4b, 0x0d, 0x32, 0x55,
                                0xbf, 0xef, 0x95, 0x60, 0x18, 0x90, 0xaf, 0xd8, 0x07, 0x09};

std::string ExeFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/"));
}

Bytes TextPacket(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes InitImg(const std::string& name, uint32_t length, int nameLength = -1) {
    Bytes r(264, 0);
    std::memcpy(r.data(), "New", 3);
    r[3] = static_cast<uint8_t>(nameLength >= 0 ? nameLength : static_cast<int>(name.size()));
    std::memcpy(&r[4], name.data(), name.size());
    for (int i = 0; i < 4; ++i) r[260 + i] = static_cast<uint8_t>(length >> (8 * i));
    return r;
}

Bytes BlockImg(const uint8_t* data, int length, size_t recordSize = 1006) {
    Bytes r(recordSize, 0);
    std::memcpy(r.data(), "Img", 3);
    r[4] = static_cast<uint8_t>(length & 0xFF);
    r[5] = static_cast<uint8_t>((length >> 8) & 0xFF);
    if (data && length > 0) std::memcpy(&r[6], data, static_cast<size_t>(length));
    return r;
}

Bytes PictureBytes(size_t n) {
    Bytes b(n);
    uint32_t x = 12345;
    for (auto& v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

// The text of an answer packet: behind its two leading bytes, up to its zero.
std::string AnswerText(const Bytes& p) {
    if (p.size() < 2) return std::string();
    auto begin = p.begin() + 2;
    auto zero = std::find(begin, p.end(), 0);
    return std::string(begin, zero);
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs jobs on a thread of the multithreaded apartment that pumps messages,
// like the program's channel worker.
class MtaWorker {
public:
    MtaWorker() {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, ready] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
            id_ = GetCurrentThreadId();
            SetEvent(ready);
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                if (msg.hwnd == nullptr && msg.message == kRun) {
                    auto* job = reinterpret_cast<Job*>(msg.lParam);
                    job->fn();
                    SetEvent(job->done);
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
            CoUninitialize();
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
    }
    ~MtaWorker() {
        PostThreadMessageA(id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    void Run(const std::function<void()>& fn) {
        Job job{fn, CreateEventA(nullptr, FALSE, FALSE, nullptr)};
        ASSERT_TRUE(PostThreadMessageA(id_, kRun, 0, reinterpret_cast<LPARAM>(&job)));
        DWORD w = WaitForSingleObject(job.done, 30000);
        CloseHandle(job.done);
        ASSERT_EQ(w, WAIT_OBJECT_0) << "a call into the simulator did not return";
    }
    DWORD Id() const { return id_; }

private:
    static const UINT kRun = WM_APP + 7;
    struct Job {
        std::function<void()> fn;
        HANDLE done;
    };
    std::thread thread_;
    DWORD id_ = 0;
};

// The callback object, shaped like the program's: QueryInterface for its own
// IID and IUnknown, counted references that never free it, and a read from
// inside the data-arrived notification (unless autoRead is off).
class TestSink : public HhChannelSink {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_HhChannelSink)) {
            *out = static_cast<HhChannelSink*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE OnNotification() override { return S_OK; }

    HRESULT STDMETHODCALLTYPE OnPasswordChallenge(LONG attempts, BYTE* digest) override {
        std::lock_guard<std::mutex> lock(mutex);
        challenges.push_back(attempts);
        challengeThread = GetCurrentThreadId();
        if (passwordAnswers.empty() || !passwordAnswers.front()) return E_FAIL;
        std::memcpy(digest, passwordAnswers.front()->data(), 20);
        passwordAnswers.pop_front();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataArrived() override {
        std::lock_guard<std::mutex> lock(mutex);
        notifyThreads.push_back(GetCurrentThreadId());
        ++notifications;
        if (autoRead && channel) {
            BYTE buf[1000];
            LONG got = 0;
            if (SUCCEEDED(channel->Read(buf, sizeof(buf), &got)) && got > 0)
                packets.emplace_back(buf, buf + got);
        }
        changed.notify_all();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnChannelClosed() override {
        std::lock_guard<std::mutex> lock(mutex);
        notifyThreads.push_back(GetCurrentThreadId());
        closed = true;
        changed.notify_all();
        return S_OK;
    }

    std::optional<Bytes> WaitPacket(std::chrono::milliseconds timeout = kWait) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, timeout, [&] { return !packets.empty(); })) return std::nullopt;
        Bytes p = std::move(packets.front());
        packets.pop_front();
        return p;
    }
    std::optional<std::string> WaitAnswer(std::chrono::milliseconds timeout = kWait) {
        auto p = WaitPacket(timeout);
        if (!p) return std::nullopt;
        return AnswerText(*p);
    }
    bool WaitClosed() {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kWait, [&] { return closed; });
    }
    bool WaitNotifications(int n) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kWait, [&] { return notifications >= n; });
    }
    void SetChannel(HhChannel* c) {
        std::lock_guard<std::mutex> lock(mutex);
        channel = c;
    }

    LONG refs = 0;
    bool autoRead = true;
    std::mutex mutex;
    std::condition_variable changed;
    HhChannel* channel = nullptr;  // not owned
    std::deque<Bytes> packets;
    int notifications = 0;
    bool closed = false;
    std::vector<DWORD> notifyThreads;
    std::vector<LONG> challenges;
    DWORD challengeThread = 0;
    std::deque<std::optional<Bytes>> passwordAnswers;  // nullopt: refuse
};

using DllFn = HRESULT(__stdcall*)();
HMODULE g_dll = nullptr;

DllFn Export(const char* name) {
    return reinterpret_cast<DllFn>(reinterpret_cast<void*>(GetProcAddress(g_dll, name)));
}

class HandheldSim : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_dll = LoadLibraryA((ExeFolder() + "\\handheld_sim.dll").c_str());
        ASSERT_NE(g_dll, nullptr) << "handheld_sim.dll must stand beside the test";
        DllFn reg = Export("DllRegisterServer");
        ASSERT_NE(reg, nullptr);
        ASSERT_EQ(reg(), S_OK);
    }

    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::string(temp) + "qsim_" + std::to_string(GetCurrentProcessId()) + "_" + info->name();
        CreateDirectoryA(dir_.c_str(), nullptr);
        trace_ = dir_ + "\\trace.txt";
        received_ = dir_ + "\\received";
        DeleteFileA(trace_.c_str());
    }

    void TearDown() override {
        worker_.Run([&] {
            ReleaseChannel();
            if (device_) device_->Release();
            if (list_) list_->Release();
            if (manager_) manager_->Release();
            device_ = nullptr;
            list_ = nullptr;
            manager_ = nullptr;
        });
    }

    // Settings for this case; trace and received folder always go to its folder.
    void Configure(const std::string& settings, const char* lineEnd = "\n") {
        std::string path = dir_ + "\\sim.ini";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "trace_file=" << trace_ << lineEnd << "received_dir=" << received_ << lineEnd << settings;
        out.close();
        SetEnvironmentVariableA("QUORVEL_SIM_CONFIG", path.c_str());
    }

    HRESULT CreateManager() {
        HRESULT hr = E_UNEXPECTED;
        worker_.Run([&] {
            IUnknown* unknown = nullptr;
            hr = CoCreateInstance(CLSID_HhManagerClass, nullptr, kHhManagerClsctx, IID_IUnknown,
                                  reinterpret_cast<void**>(&unknown));
            if (FAILED(hr)) return;
            hr = OleRun(unknown);
            if (SUCCEEDED(hr))
                hr = unknown->QueryInterface(IID_HhManager, reinterpret_cast<void**>(&manager_));
            unknown->Release();
        });
        return hr;
    }

    // Manager, list, count and device 0, as the program's connect step.
    LONG Connect() {
        EXPECT_EQ(CreateManager(), S_OK);
        LONG count = -1;
        worker_.Run([&] {
            ASSERT_NE(manager_, nullptr);
            ASSERT_EQ(manager_->GetDeviceList(&list_), S_OK);
            ASSERT_EQ(list_->GetCount(&count), S_OK);
            if (count > 0) {
                EXPECT_EQ(list_->GetDevice(0, &device_), S_OK);
            }
        });
        return count;
    }

    HRESULT OpenChannel() {
        EXPECT_EQ(Connect(), 1);
        HRESULT hr = E_UNEXPECTED;
        worker_.Run([&] {
            if (!device_) return;
            hr = device_->OpenChannel(kHhChannelName, &sink_, &channel_);
            sink_.SetChannel(channel_);
        });
        return hr;
    }

    HRESULT Write(const Bytes& packet) {
        HRESULT hr = E_UNEXPECTED;
        worker_.Run([&] { hr = channel_->Write(packet.data(), static_cast<LONG>(packet.size())); });
        return hr;
    }

    // Writes a packet and waits for its answer's text.
    std::optional<std::string> Exchange(const Bytes& packet) {
        EXPECT_EQ(Write(packet), S_OK);
        return sink_.WaitAnswer();
    }

    void ReleaseChannel() {
        sink_.SetChannel(nullptr);
        if (channel_) channel_->Release();
        channel_ = nullptr;
    }

    std::vector<std::string> TraceLines() {
        std::vector<std::string> lines;
        std::istringstream in(ReadFileText(trace_));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    bool TraceHas(const std::string& part) {
        for (const auto& l : TraceLines())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    bool WaitTrace(const std::string& part) {
        auto until = std::chrono::steady_clock::now() + kWait;
        while (std::chrono::steady_clock::now() < until) {
            if (TraceHas(part)) return true;
            Sleep(20);
        }
        return false;
    }

    std::string dir_, trace_, received_;
    MtaWorker worker_;
    TestSink sink_;
    HhManager* manager_ = nullptr;
    HhDeviceList* list_ = nullptr;
    HhDevice* device_ = nullptr;
    HhChannel* channel_ = nullptr;
};

TEST_F(HandheldSim, RegistersMachineWideWithThreadingModelBoth) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT,
                            "CLSID\\{BA3D0120-E617-4F66-ADCA-585CC2FB86DB}\\InprocServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof(value);
    EXPECT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, "Both");
    size = sizeof(value);
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    std::string server(value);
    RegCloseKey(key);
    ASSERT_GE(server.size(), 16u);
    EXPECT_EQ(server.substr(server.size() - 16), "handheld_sim.dll");
}

TEST_F(HandheldSim, CreatedThroughCoCreateInstanceWithDefaultsWhenNoSettingsFile) {
    SetEnvironmentVariableA("QUORVEL_SIM_CONFIG", (dir_ + "\\missing.ini").c_str());
    ASSERT_EQ(Connect(), 1);
    DllFn canUnload = Export("DllCanUnloadNow");
    worker_.Run([&] {
        void* other = reinterpret_cast<void*>(1);
        EXPECT_EQ(manager_->QueryInterface(IID_HhChannel, &other), E_NOINTERFACE);
        EXPECT_EQ(other, nullptr);
        HhDevice* second = nullptr;
        EXPECT_TRUE(FAILED(list_->GetDevice(1, &second)));
        EXPECT_EQ(second, nullptr);
        EXPECT_EQ(device_->Reserved1(), E_NOTIMPL);

        HhChannel* channel = nullptr;
        EXPECT_TRUE(FAILED(device_->OpenChannel(L"OtherApp", &sink_, &channel)));
        EXPECT_EQ(channel, nullptr);
        EXPECT_EQ(sink_.refs, 0) << "a failed open must not keep the callback";
        EXPECT_EQ(canUnload(), S_FALSE);
    });
    TearDown();
    EXPECT_EQ(canUnload(), S_OK) << "every object released";
}

TEST_F(HandheldSim, NoHandheldAttached) {
    Configure("devices=0\n");
    EXPECT_EQ(Connect(), 0);
    worker_.Run([&] {
        HhDevice* device = nullptr;
        EXPECT_TRUE(FAILED(list_->GetDevice(0, &device)));
        EXPECT_EQ(device, nullptr);
    });
}

TEST_F(HandheldSim, GreetingAnsweredWithScreenReplyFromSimulatorThread) {
    Configure("");
    ASSERT_EQ(OpenChannel(), S_OK);
    ASSERT_NE(channel_, nullptr);
    EXPECT_TRUE(sink_.challenges.empty()) << "no password configured";

    auto packet = sink_.WaitPacket(0ms);
    EXPECT_FALSE(packet) << "nothing arrives before the program writes";
    ASSERT_EQ(Write(TextPacket(kGreeting)), S_OK);
    packet = sink_.WaitPacket();
    ASSERT_TRUE(packet);
    const std::string reply = "height=240 width=320";
    Bytes expected = {static_cast<uint8_t>(reply.size() + 1), 0};
    expected.insert(expected.end(), reply.begin(), reply.end());
    expected.push_back(0);
    EXPECT_EQ(*packet, expected);

    ASSERT_EQ(sink_.notifyThreads.size(), 1u);
    EXPECT_NE(sink_.notifyThreads[0], worker_.Id());
    EXPECT_NE(sink_.notifyThreads[0], GetCurrentThreadId());

    EXPECT_TRUE(TraceHas("open \"HH_USBClient\""));
    EXPECT_TRUE(TraceHas("recv #1 greeting len=32 48656c6c6f2066726f6d2051756f7276656c2050686f746f204d616e61676572"));
    EXPECT_TRUE(TraceHas("answer #1 \"height=240 width=320\""));
    EXPECT_FALSE(TraceHas("violation"));
}

TEST_F(HandheldSim, SettingsFileSyntaxAndConfiguredReply) {
    // CRLF lines, a section, comments, an unknown key and a bad number; the
    // value keeps its blanks up to the end of the line.
    Configure("[handheld]\r\n; comment\r\n# another\r\nscreen_reply=height=480;width=360 \r\n"
              "colour=blue\r\nlatency_ms=soon\r\nack_text_at=3:Rcv \r\n",
              "\r\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(Exchange(TextPacket(kGreeting)), std::optional<std::string>("height=480;width=360 "));
    EXPECT_EQ(Exchange(InitImg("beach.jpg", 1)), std::optional<std::string>("Rcv"));
    uint8_t one = 7;
    EXPECT_EQ(Exchange(BlockImg(&one, 1)), std::optional<std::string>("Rcv "));
    EXPECT_TRUE(TraceHas("settings line 7: unknown key \"colour\""));
    EXPECT_TRUE(TraceHas("settings line 8: bad number for latency_ms"));
    EXPECT_TRUE(TraceHas("answer #3 \"Rcv \""));
}

TEST_F(HandheldSim, RecordsAcknowledgedAndFileReassembledByteForByte) {
    Configure("");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(Exchange(TextPacket(kGreeting)), std::optional<std::string>("height=240 width=320"));

    const Bytes picture = PictureBytes(2500);
    EXPECT_EQ(Exchange(InitImg("beach.jpg", 2500)), std::optional<std::string>("Rcv"));
    for (size_t sent = 0; sent < picture.size(); sent += 1000) {
        int n = static_cast<int>(std::min<size_t>(1000, picture.size() - sent));
        EXPECT_EQ(Exchange(BlockImg(&picture[sent], n)), std::optional<std::string>("Rcv"));
    }
    ASSERT_EQ(Write(TextPacket("End")), S_OK);
    ASSERT_TRUE(WaitTrace("file #6 \"beach.jpg\" 2500 bytes in 3 blocks"));
    EXPECT_EQ(ReadFileText(received_ + "\\beach.jpg"), std::string(picture.begin(), picture.end()));

    ASSERT_EQ(Write(TextPacket("Bye")), S_OK);
    EXPECT_FALSE(sink_.WaitPacket(300ms)) << "End and Bye get no answer";
    EXPECT_TRUE(TraceHas("recv #7 Bye len=3 427965"));
    EXPECT_TRUE(TraceHas("announce #2 name=\"beach.jpg\" length=2500"));
    // The last block is a full 1006-byte record with 500 valid bytes.
    EXPECT_TRUE(TraceHas("recv #5 block_img len=1006 496d6700f401"));
    EXPECT_FALSE(TraceHas("violation"));
}

TEST_F(HandheldSim, EmptyAndLargestFiles) {
    Configure("");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(Exchange(InitImg("empty.jpg", 0)), std::optional<std::string>("Rcv"));
    ASSERT_EQ(Write(TextPacket("End")), S_OK);
    ASSERT_TRUE(WaitTrace("file #2 \"empty.jpg\" 0 bytes"));
    EXPECT_NE(GetFileAttributesA((received_ + "\\empty.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileText(received_ + "\\empty.jpg"), "");

    const Bytes picture = PictureBytes(64000);
    EXPECT_EQ(Exchange(InitImg("big.jpg", 64000)), std::optional<std::string>("Rcv"));
    for (size_t sent = 0; sent < picture.size(); sent += 1000)
        ASSERT_EQ(Exchange(BlockImg(&picture[sent], 1000)), std::optional<std::string>("Rcv"));
    ASSERT_EQ(Write(TextPacket("End")), S_OK);
    ASSERT_TRUE(WaitTrace("\"big.jpg\" 64000 bytes in 64 blocks"));
    EXPECT_EQ(ReadFileText(received_ + "\\big.jpg"), std::string(picture.begin(), picture.end()));
    EXPECT_FALSE(TraceHas("violation"));
}

TEST_F(HandheldSim, LayoutViolationsAreTraced) {
    Configure("");
    ASSERT_EQ(OpenChannel(), S_OK);
    Bytes greeting = TextPacket(kGreeting);
    greeting.push_back(0);  // a terminator is not part of the greeting
    EXPECT_EQ(Exchange(greeting), std::optional<std::string>("height=240 width=320"));
    Bytes shortInit = InitImg("a.jpg", 1);
    shortInit.pop_back();
    EXPECT_EQ(Exchange(shortInit), std::optional<std::string>("Rcv"));          // #2
    EXPECT_EQ(Exchange(InitImg("beach.jpg", 10, 5)), std::optional<std::string>("Rcv"));  // #3
    uint8_t data[1001] = {};
    EXPECT_EQ(Exchange(BlockImg(data, 0)), std::optional<std::string>("Rcv"));     // #4
    EXPECT_EQ(Exchange(BlockImg(data, 1001)), std::optional<std::string>("Rcv"));  // #5
    EXPECT_EQ(Exchange(BlockImg(data, 5, 1005)), std::optional<std::string>("Rcv"));  // #6
    ASSERT_EQ(Write(TextPacket("End")), S_OK);                                    // #7
    ASSERT_EQ(Write(TextPacket("Hi")), S_OK);                                     // #8
    EXPECT_EQ(Exchange(InitImg("..\\evil.jpg", 5)), std::optional<std::string>("Rcv"));  // #9
    EXPECT_EQ(Exchange(BlockImg(data, 5)), std::optional<std::string>("Rcv"));     // #10
    ASSERT_EQ(Write(TextPacket("End")), S_OK);                                    // #11
    EXPECT_EQ(Exchange(InitImg("huge.jpg", 64001)), std::optional<std::string>("Rcv"));  // #12
    EXPECT_EQ(Exchange(InitImg("pic.png", 3)), std::optional<std::string>("Rcv"));  // #13
    ASSERT_EQ(Write(TextPacket("End")), S_OK);                                    // #14
    EXPECT_EQ(Exchange(BlockImg(data, 5)), std::optional<std::string>("Rcv"));     // #15

    ASSERT_TRUE(WaitTrace("violation #15: block_img without init_img"));
    for (const char* expected : {
             "violation #1: greeting must be exactly the 32 bytes",
             "violation #2: init_img is 263 bytes, expected 264",
             "violation #3: name length is 5 but the name has 9 characters",
             "violation #4: block length 0 is outside 1..1000",
             "violation #5: block length 1001 is outside 1..1000",
             "violation #6: block_img is 1005 bytes, expected 1006",
             "violation #7: received 0 bytes of the announced 10",
             "violation #8: unknown packet, not answered",
             "violation #9: name \"..\\evil.jpg\" is not a plain file name",
             "file #11 \"..\\evil.jpg\" not stored",
             "violation #12: image length 64001 is above 64000",
             "violation #13: init_img while \"huge.jpg\" is unfinished",
             "violation #13: name \"pic.png\" does not end in .jpg",
             "violation #14: received 0 bytes of the announced 3",
         })
        EXPECT_TRUE(TraceHas(expected)) << expected;
    EXPECT_EQ(GetFileAttributesA((dir_ + "\\evil.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(sink_.WaitPacket(200ms)) << "the unknown packet got no answer";
}

TEST_F(HandheldSim, CloseAtReportsTheChannelClosedInsteadOfAnswering) {
    Configure("close_at=2\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(Exchange(TextPacket(kGreeting)), std::optional<std::string>("height=240 width=320"));
    ASSERT_EQ(Write(InitImg("beach.jpg", 10)), S_OK);
    ASSERT_TRUE(sink_.WaitClosed());
    EXPECT_NE(sink_.notifyThreads.back(), worker_.Id());
    EXPECT_FALSE(sink_.WaitPacket(200ms));
    EXPECT_TRUE(FAILED(Write(TextPacket("Bye"))));
    worker_.Run([&] {
        BYTE buf[1000];
        LONG got = 5;
        EXPECT_TRUE(FAILED(channel_->Read(buf, sizeof(buf), &got)));
        EXPECT_EQ(got, 0);
    });
    EXPECT_TRUE(TraceHas("recv #2 init_img len=264"));
    EXPECT_TRUE(TraceHas("close #2 (close_at)"));
    EXPECT_FALSE(TraceHas("answer #2"));
}

TEST_F(HandheldSim, FailWriteAtFailsOnlyThatWrite) {
    Configure("fail_write_at=2\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(Exchange(TextPacket(kGreeting)), std::optional<std::string>("height=240 width=320"));
    EXPECT_TRUE(FAILED(Write(InitImg("beach.jpg", 10))));
    EXPECT_EQ(Exchange(InitImg("beach.jpg", 10)), std::optional<std::string>("Rcv"));
    EXPECT_TRUE(TraceHas("write #2 failed (fail_write_at) len=264"));
    EXPECT_FALSE(TraceHas("recv #2"));
    EXPECT_TRUE(TraceHas("answer #3 \"Rcv\""));
}

TEST_F(HandheldSim, SilentAtNeverAnswersThatRecord) {
    Configure("silent_at=2\nsilent_at=4\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(Exchange(TextPacket(kGreeting)), std::optional<std::string>("height=240 width=320"));
    ASSERT_EQ(Write(InitImg("beach.jpg", 10)), S_OK);
    EXPECT_FALSE(sink_.WaitPacket(400ms));
    EXPECT_EQ(Exchange(InitImg("beach.jpg", 10)), std::optional<std::string>("Rcv"));
    ASSERT_EQ(Write(InitImg("beach.jpg", 10)), S_OK);
    EXPECT_FALSE(sink_.WaitPacket(400ms));
    EXPECT_TRUE(TraceHas("silent #2 (silent_at)"));
    EXPECT_TRUE(TraceHas("silent #4 (silent_at)"));
}

TEST_F(HandheldSim, LatencyDelaysEveryAnswer) {
    Configure("latency_ms=300\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    for (int i = 0; i < 2; ++i) {
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(Exchange(TextPacket(kGreeting)));
        EXPECT_GE(std::chrono::steady_clock::now() - start, 280ms);
    }
}

TEST_F(HandheldSim, AnswersAreKeptUntilTheNextRead) {
    Configure("");
    sink_.autoRead = false;
    ASSERT_EQ(OpenChannel(), S_OK);
    ASSERT_EQ(Write(TextPacket(kGreeting)), S_OK);
    ASSERT_EQ(Write(InitImg("beach.jpg", 1)), S_OK);
    ASSERT_TRUE(sink_.WaitNotifications(2));
    worker_.Run([&] {
        BYTE buf[1000];
        LONG got = 0;
        ASSERT_EQ(channel_->Read(buf, sizeof(buf), &got), S_OK);
        EXPECT_EQ(AnswerText(Bytes(buf, buf + got)), "height=240 width=320");
        ASSERT_EQ(channel_->Read(buf, sizeof(buf), &got), S_OK);
        EXPECT_EQ(AnswerText(Bytes(buf, buf + got)), "Rcv");
        EXPECT_EQ(got, 6);
        ASSERT_EQ(channel_->Read(buf, sizeof(buf), &got), S_OK);
        EXPECT_EQ(got, 0) << "nothing more was sent";
    });
}

TEST_F(HandheldSim, PasswordAcceptedOpensTheChannel) {
    Configure("password=abc\nattempts=10\n");
    sink_.passwordAnswers.push_back(Bytes(kSha1Abc, kSha1Abc + 20));
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_NE(channel_, nullptr);
    EXPECT_EQ(sink_.challenges, std::vector<LONG>({10}));
    EXPECT_EQ(sink_.challengeThread, worker_.Id()) << "the challenge comes inside the open call";
    EXPECT_TRUE(TraceHas("challenge attempts=10"));
    EXPECT_TRUE(TraceHas("digest a9993e364706816aba3e25717850c26c9cd0d89d accepted"));
    EXPECT_EQ(Exchange(TextPacket(kGreeting)), std::optional<std::string>("height=240 width=320"));
}

TEST_F(HandheldSim, WrongPasswordChallengesAgainWithOneAttemptFewer) {
    Configure("password=abc\nattempts=3\n");
    sink_.passwordAnswers.push_back(Bytes(kSha1Empty, kSha1Empty + 20));
    sink_.passwordAnswers.push_back(Bytes(kSha1Abc, kSha1Abc + 20));
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(sink_.challenges, std::vector<LONG>({3, 2}));
    EXPECT_TRUE(TraceHas("digest da39a3ee5e6b4b0d3255bfef95601890afd80709 wrong"));
}

TEST_F(HandheldSim, RefusedPasswordFailsTheOpen) {
    Configure("password=abc\n");
    sink_.passwordAnswers.push_back(std::nullopt);
    EXPECT_TRUE(FAILED(OpenChannel()));
    EXPECT_EQ(channel_, nullptr);
    EXPECT_EQ(sink_.challenges, std::vector<LONG>({10}));
    EXPECT_EQ(sink_.refs, 0);
    EXPECT_TRUE(TraceHas("challenge refused 0x80004005"));
}

TEST_F(HandheldSim, PasswordAttemptsRunOut) {
    Configure("password=secret\nattempts=2\n");
    sink_.passwordAnswers.push_back(Bytes(kSha1Abc, kSha1Abc + 20));
    sink_.passwordAnswers.push_back(Bytes(kSha1Abc, kSha1Abc + 20));
    EXPECT_TRUE(FAILED(OpenChannel()));
    EXPECT_EQ(sink_.challenges, std::vector<LONG>({2, 1}));
    EXPECT_TRUE(TraceHas("no password attempts left"));
}

TEST_F(HandheldSim, EmptyPasswordIsTheDigestOfTheEmptyMessage) {
    Configure("password=\n");
    sink_.passwordAnswers.push_back(Bytes(kSha1Empty, kSha1Empty + 20));
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_EQ(sink_.challenges.size(), 1u);
}

TEST_F(HandheldSim, ReleaseLetsGoOfTheCallbackAndStillStoresTheLastFile) {
    Configure("latency_ms=300\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    EXPECT_GT(sink_.refs, 0) << "the open channel holds the callback";
    EXPECT_EQ(Exchange(InitImg("last.jpg", 3)), std::optional<std::string>("Rcv"));
    const uint8_t data[3] = {1, 2, 3};
    ASSERT_EQ(Write(BlockImg(data, 3)), S_OK);
    ASSERT_EQ(Write(TextPacket("End")), S_OK);
    worker_.Run([&] { ReleaseChannel(); });  // before the block's answer is due
    EXPECT_EQ(sink_.refs, 0);
    const int seen = sink_.notifications;
    Sleep(200);
    EXPECT_EQ(sink_.notifications, seen) << "no notification after the release";
    EXPECT_EQ(ReadFileText(received_ + "\\last.jpg"), std::string("\x01\x02\x03"));
    EXPECT_TRUE(TraceHas("answer #2 dropped: channel released"));
    EXPECT_TRUE(TraceHas("close by program"));
}

TEST_F(HandheldSim, ShowWindowHasTheScreenSizeAndLivesWithTheChannel) {
    Configure("show_window=1\nscreen_reply=height=200 width=160\n");
    ASSERT_EQ(OpenChannel(), S_OK);
    HWND window = FindWindowA(nullptr, "Simulated handheld");
    ASSERT_NE(window, nullptr);
    RECT rc = {};
    GetClientRect(window, &rc);
    EXPECT_EQ(rc.right - rc.left, 160);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    // A file that is no picture is stored and simply not shown.
    const uint8_t junk[4] = {1, 2, 3, 4};
    EXPECT_EQ(Exchange(InitImg("junk.jpg", 4)), std::optional<std::string>("Rcv"));
    EXPECT_EQ(Exchange(BlockImg(junk, 4)), std::optional<std::string>("Rcv"));
    ASSERT_EQ(Write(TextPacket("End")), S_OK);
    ASSERT_TRUE(WaitTrace("file #3 \"junk.jpg\" 4 bytes"));
    worker_.Run([&] { ReleaseChannel(); });
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(HandheldSim, ReleaseWhileANotificationWaitsForTheCallersLockDoesNotHang) {
    Configure("");
    ASSERT_EQ(OpenChannel(), S_OK);
    worker_.Run([&] {
        std::lock_guard<std::mutex> lock(sink_.mutex);  // the callback's lock
        const Bytes greeting = TextPacket(kGreeting);
        ASSERT_EQ(channel_->Write(greeting.data(), static_cast<LONG>(greeting.size())), S_OK);
        Sleep(300);  // the answer's notification now waits for this lock
        sink_.channel = nullptr;
        channel_->Release();
        channel_ = nullptr;
    });
    EXPECT_TRUE(sink_.WaitNotifications(1)) << "the blocked notification completes afterwards";
    EXPECT_TRUE(TraceHas("release does not wait for a notification still blocked"));
    EXPECT_EQ(sink_.refs, 0);
}

}  // namespace
