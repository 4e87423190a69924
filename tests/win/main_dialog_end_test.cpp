// The main dialog ends in the middle of a transfer: the simulated handheld
// holds its acknowledgement of the first block, or of the last one, and the
// dialog is then destroyed (directly, or after the session end). Every C++
// allocation of this executable comes from a heap that fills freed memory,
// so a thread that still used the dialog after it went would read garbage
// and fail loudly. The cases run in a copy of this executable with the log
// on; the parent checks their exit code and that the log ends with a whole
// entry.
#include "app/LogFormat.h"
#include "resources/resource.h"
#include "tests/win/SimHarness.h"
#include "ui/ZelpixDlg.h"
#include "toolkit/Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <thread>

// ---- a heap that fills freed memory -----------------------------------------

void* operator new(std::size_t n) {
    void* p = ::HeapAlloc(::GetProcessHeap(), 0, n ? n : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete(void* p) noexcept {
    if (!p) return;
    std::memset(p, 0xDD, ::HeapSize(::GetProcessHeap(), 0, p));
    ::HeapFree(::GetProcessHeap(), 0, p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using simharness::ExeFolder;

bool PumpUntil(const std::function<bool()>& done, DWORD ms = 20000) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > ms) return false;
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// A 320 x 240 picture with enough detail for a prepared file of a few
// blocks.
std::string WritePicture(const std::string& folder) {
    const std::string path = folder + "\\held.bmp";
    simharness::WriteBmp(path, 320, 240, [](int x, int y, unsigned char* p) {
        p[0] = static_cast<unsigned char>(x * 3);
        p[1] = static_cast<unsigned char>((x ^ y) * 5);
        p[2] = static_cast<unsigned char>(y * 2 + ((x / 8 + y / 8) % 2) * 90);
    });
    return path;
}

// A main dialog with the picture open and a connection made.
CZelpixDlg* OpenConnectedDialog(const std::string& picture) {
    auto* dlg = new CZelpixDlg(nullptr);
    if (!dlg->Create(nullptr)) return dlg;
    dlg->OpenPictureWhenFree(tk::ToWide(picture));
    PumpUntil([&] { return dlg->Picture().path == tk::ToWide(picture); });
    ::SendMessageA(dlg->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CONNECT, BN_CLICKED), 0);
    return dlg;
}

void Send(CZelpixDlg* dlg) { ::SendMessageA(dlg->Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SEND_TO_DEVICE, BN_CLICKED), 0); }

// The announced length in the trace of a whole transfer, or -1.
long AnnouncedLength(const std::string& trace) {
    const size_t at = trace.find(" length=");
    return at == std::string::npos ? -1 : std::strtol(trace.c_str() + at + 8, nullptr, 10);
}

// The children: one case each, with the log on.
class MainDialogEndChild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!quorvel::IsLoggingOn(::GetCommandLineA())) GTEST_SKIP() << "runs as a child with the log on";
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        ASSERT_TRUE(simharness::RegisterSimulator());
        folder_ = ExeFolder();
        sim_ = simharness::SimSettings(folder_);
        picture_ = WritePicture(folder_);
    }

    // Holds the acknowledgement of packet `held` (0: of the last block),
    // then ends the dialog while the transfer waits for it.
    void EndWhileHeld(int held, bool sessionEnd) {
        if (held == 0) {
            // A whole transfer first, to learn how many blocks the picture
            // makes; its success message is up when the dialog ends.
            sim_.Apply("");
            CZelpixDlg* learn = OpenConnectedDialog(picture_);
            ASSERT_TRUE(learn->Channel().IsOpen());
            Send(learn);
            ASSERT_TRUE(PumpUntil([&] { return sim_.TraceHas("file #"); })) << sim_.Trace();
            delete learn;
            const long length = AnnouncedLength(sim_.Trace());
            ASSERT_GT(length, 2000) << "the picture must make at least three blocks";
            held = 2 + static_cast<int>((length + 999) / 1000);
        }
        const int threads = simharness::ThreadCount();
        sim_.Apply("silent_at=" + std::to_string(held) + "\n");
        CZelpixDlg* dlg = OpenConnectedDialog(picture_);
        ASSERT_TRUE(dlg->Channel().IsOpen());
        ::DeleteFileA((folder_ + "\\log.txt").c_str());
        Send(dlg);
        ASSERT_TRUE(PumpUntil([&] { return sim_.TraceHas("silent #" + std::to_string(held)); })) << sim_.Trace();
        if (sessionEnd) {
            EXPECT_EQ(::SendMessageA(dlg->Hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
            ::SendMessageA(dlg->Hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
            EXPECT_FALSE(dlg->Channel().IsOpen());
        }
        delete dlg;
        // Nothing of the dialog's is running any more (the simulator's own
        // threads may take a moment to go).
        EXPECT_LE(simharness::WaitThreadCountAtMost(threads, 5000), threads);
        EXPECT_TRUE(sim_.TraceHas("Bye")) << sim_.Trace();
        EXPECT_FALSE(sim_.TraceHas("file #")) << "a picture was stored";
    }

    std::string folder_, picture_;
    simharness::SimSettings sim_;
};

// A session end sent while Connect's handshake still runs, with the password
// prompt open on the channel's worker: the end neither writes to a worker
// that cannot answer nor waits for it while the prompt is up; Connect then
// returns with the channel closed.
TEST_F(MainDialogEndChild, SessionEndDuringHandshake) {
    const int threads = simharness::ThreadCount();
    sim_.Apply("password=abc\n");
    auto* dlg = new CZelpixDlg(nullptr);
    ASSERT_TRUE(dlg->Create(nullptr));
    const HWND wnd = dlg->Hwnd();
    std::thread ender([wnd] {
        while (!::FindWindowA(nullptr, "Password")) ::Sleep(20);
        ::SendMessageA(wnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        ::SendMessageA(wnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    });
    ::SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(IDC_CONNECT, BN_CLICKED), 0);
    ender.join();
    EXPECT_FALSE(dlg->Channel().IsOpen());
    delete dlg;
    EXPECT_LE(simharness::WaitThreadCountAtMost(threads, 5000), threads);
    EXPECT_FALSE(sim_.TraceHas("Bye")) << sim_.Trace();
}

TEST_F(MainDialogEndChild, FirstBlockHeld) { EndWhileHeld(3, false); }
TEST_F(MainDialogEndChild, LastBlockHeldAtSessionEnd) { EndWhileHeld(0, true); }

// Runs one child case in a copy of this executable with "log" as the last
// word of its command line; returns its exit code and the log it leaves.
DWORD RunChild(const std::string& name, std::string* log) {
    const std::string folder = simharness::MakeScratchFolder("qend", name);
    const std::string copy = folder + "\\main_dialog_end_test.exe";
    EXPECT_TRUE(::CopyFileA(simharness::ExePath().c_str(), copy.c_str(), FALSE));
    ::SetEnvironmentVariableA("QUORVEL_TEST_SIM_DLL", (ExeFolder() + "\\handheld_sim.dll").c_str());
    std::string commandLine = "\"" + copy + "\" --gtest_filter=MainDialogEndChild." + name + " log";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                          &pi)) {
        ADD_FAILURE() << "cannot start " << copy;
        return 1;
    }
    const DWORD waited = ::WaitForSingleObject(pi.hProcess, 120000);
    if (waited != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 99);
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    *log = simharness::ReadWholeFile(folder + "\\log.txt");
    return code;
}

TEST(MainDialogEnd, SessionEndDuringHandshakeEndsCleanly) {
    std::string log;
    EXPECT_EQ(RunChild("SessionEndDuringHandshake", &log), 0u) << log;
}

TEST(MainDialogEnd, EndsCleanlyWithATransferHeldAtItsFirstOrLastBlock) {
    // The last entry of the log is the held block's record, all 1006 bytes
    // of it after its heading.
    for (const char* name : {"FirstBlockHeld", "LastBlockHeldAtSessionEnd"}) {
        SCOPED_TRACE(name);
        std::string log;
        EXPECT_EQ(RunChild(name, &log), 0u);
        const size_t at = log.rfind(" all bytes ====> \r\n");
        ASSERT_NE(at, std::string::npos) << "no block in the log";
        EXPECT_EQ(log.size() - (at + std::strlen(" all bytes ====> \r\n") + 1), 1006u) << "the last entry is cut";
    }
}

}  // namespace
