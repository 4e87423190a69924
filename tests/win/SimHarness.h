// Shared pieces of the tests (and the benchmark) that run the channel against
// the simulated handheld under Wine: registering the simulator that stands
// beside the executable, writing its settings file, reading its trace,
// counting the process's threads and handles, dismissing an ownerless
// message box from a helper thread, and a watchdog that turns a deadlock
// into a quick failure instead of a test run that never ends.
//
// Header only, because every tests/win/*_test.cpp is its own executable.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace simharness {

inline std::string ExePath() {
    char path[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof(path));
    return std::string(path, n);
}

inline std::string ExeFolder() {
    std::string p = ExePath();
    return p.substr(0, p.find_last_of("\\/"));
}

// Loads handheld_sim.dll from beside the executable (or from the path in
// QUORVEL_TEST_SIM_DLL, for a copy of a test run elsewhere) and lets it
// register itself, as the demo and the end-to-end scenarios do. The module
// stays loaded for the whole run.
inline bool RegisterSimulator(std::string* error = nullptr) {
    static HMODULE dll = nullptr;
    char named[MAX_PATH * 2] = {};
    const DWORD n = ::GetEnvironmentVariableA("QUORVEL_TEST_SIM_DLL", named, sizeof named);
    const std::string path =
        n > 0 && n < sizeof named ? std::string(named, n) : ExeFolder() + "\\handheld_sim.dll";
    if (!dll) dll = ::LoadLibraryA(path.c_str());
    if (!dll) {
        if (error) *error = "cannot load " + path;
        return false;
    }
    using DllFn = HRESULT(__stdcall*)();
    auto reg = reinterpret_cast<DllFn>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllRegisterServer")));
    if (!reg || reg() != S_OK) {
        if (error) *error = "DllRegisterServer of handheld_sim.dll failed";
        return false;
    }
    return true;
}

// Writes a 24-bit bottom-up BMP of w x h; `pixel` gives each pixel's blue,
// green and red (none: mid grey).
inline void WriteBmp(const std::string& path, int w, int h,
                     const std::function<void(int x, int y, unsigned char* bgr)>& pixel = nullptr) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> rows(static_cast<size_t>(stride) * h, 0x40);
    if (pixel)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) pixel(x, h - 1 - y, &rows[static_cast<size_t>(y) * stride + x * 3]);
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rows.size());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(rows.data()), static_cast<std::streamsize>(rows.size()));
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// %TEMP%\<prefix>_<pid>_<name>, created empty of the files we use.
inline std::string MakeScratchFolder(const std::string& prefix, const std::string& name) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + prefix + "_" + std::to_string(::GetCurrentProcessId()) + "_" + name;
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

// The simulator's settings file for one case. The simulator reads it each
// time the program creates a manager, i.e. at every OpenChannel.
class SimSettings {
public:
    SimSettings() = default;
    explicit SimSettings(const std::string& folder)
        : m_folder(folder), m_trace(folder + "\\trace.txt"), m_received(folder + "\\received") {}

    // Writes the settings (trace and received folder always into the case's
    // folder unless withTrace is false) and names the file in the
    // environment. The trace starts empty.
    void Apply(const std::string& settings, bool withTrace = true, const std::string& fileName = "sim.ini") {
        ::DeleteFileA(m_trace.c_str());
        const std::string path = m_folder + "\\" + fileName;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (withTrace) out << "trace_file=" << m_trace << "\n";
        out << "received_dir=" << m_received << "\n" << settings;
        out.close();
        ::SetEnvironmentVariableA("QUORVEL_SIM_CONFIG", path.c_str());
    }

    std::string Trace() const { return ReadWholeFile(m_trace); }
    bool TraceHas(const std::string& text) const { return Trace().find(text) != std::string::npos; }
    int TraceCount(const std::string& text) const {
        const std::string t = Trace();
        int n = 0;
        for (size_t at = t.find(text); at != std::string::npos; at = t.find(text, at + 1)) ++n;
        return n;
    }
    bool WaitTrace(const std::string& text, DWORD ms = 10000) const {
        const DWORD start = ::GetTickCount();
        for (;;) {
            if (TraceHas(text)) return true;
            if (::GetTickCount() - start > ms) return false;
            ::Sleep(10);
        }
    }
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_trace;
    std::string m_received;
};

inline int ThreadCount() {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    const DWORD pid = ::GetCurrentProcessId();
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    int n = 0;
    if (::Thread32First(snap, &entry)) {
        do {
            if (entry.th32OwnerProcessID == pid) ++n;
            entry.dwSize = sizeof entry;
        } while (::Thread32Next(snap, &entry));
    }
    ::CloseHandle(snap);
    return n;
}

// The process's handle count. GetProcessHandleCount answers 0 under Wine
// 8, so the count is then taken from the system's handle list instead.
inline int HandleCount() {
    DWORD n = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &n) && n > 0) return static_cast<int>(n);

    using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT handle;
        PVOID object;
        ACCESS_MASK access;
    };
    const ULONG kSystemHandleInformation = 16;
    const LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004L);
    std::string buffer(1 << 16, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, &buffer[0], static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.assign(std::max<size_t>(buffer.size() * 2, needed + 4096), '\0');
            continue;
        }
        if (status < 0) return -1;
        const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
        const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
        int mine = 0;
        for (ULONG i = 0; i < count; ++i)
            if (entries[i].processId == ::GetCurrentProcessId()) ++mine;
        return mine;
    }
    return -1;
}

// Waits (up to ms) until the thread count is at most `target`; returns the
// last count seen.
inline int WaitThreadCountAtMost(int target, DWORD ms) {
    const DWORD start = ::GetTickCount();
    int n = ThreadCount();
    while (n > target && ::GetTickCount() - start < ms) {
        ::Sleep(10);
        n = ThreadCount();
    }
    return n;
}

// Ends the process with a message when it is not disarmed in time: a
// deadlock in the channel must fail the test run, not stall it.
class Watchdog {
public:
    Watchdog(const char* what, std::chrono::milliseconds limit) : m_what(what) {
        m_done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        const DWORD ms = static_cast<DWORD>(limit.count());
        HANDLE done = m_done;
        m_thread = std::thread([done, ms, what] {
            if (::WaitForSingleObject(done, ms) == WAIT_TIMEOUT) {
                std::fprintf(stderr, "\nWATCHDOG: \"%s\" did not finish within %lu ms (deadlock?)\n", what,
                             static_cast<unsigned long>(ms));
                std::fflush(stderr);
                ::TerminateProcess(::GetCurrentProcess(), 3);
            }
        });
    }
    ~Watchdog() {
        ::SetEvent(m_done);
        m_thread.join();
        ::CloseHandle(m_done);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    const char* m_what;
    HANDLE m_done;
    std::thread m_thread;
};

// Finds a message box of this process that shows `text`, notes its owner and
// caption, and presses its OK button.
class MessageBoxDismisser {
public:
    explicit MessageBoxDismisser(std::string text) : m_text(std::move(text)) {
        m_thread = std::thread([this] { Run(); });
    }
    ~MessageBoxDismisser() {
        m_stop = true;
        m_thread.join();
    }
    MessageBoxDismisser(const MessageBoxDismisser&) = delete;
    MessageBoxDismisser& operator=(const MessageBoxDismisser&) = delete;

    // Waits until the box was seen and dismissed (or the time ran out).
    bool WaitDismissed(DWORD ms = 10000) {
        const DWORD start = ::GetTickCount();
        while (!m_dismissed && ::GetTickCount() - start < ms) ::Sleep(10);
        return m_dismissed;
    }
    bool Dismissed() const { return m_dismissed; }
    bool HadOwner() const { return m_hadOwner; }
    const std::string& Caption() const { return m_caption; }

private:
    struct Search {
        const std::string* text;
        HWND found;
    };

    static BOOL CALLBACK ChildHasText(HWND child, LPARAM param) {
        auto* search = reinterpret_cast<Search*>(param);
        char buf[512] = {};
        ::GetWindowTextA(child, buf, sizeof buf);
        if (*search->text == buf) {
            search->found = child;
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK TopLevel(HWND hwnd, LPARAM param) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd)) return TRUE;
        char cls[64] = {};
        ::GetClassNameA(hwnd, cls, sizeof cls);
        if (std::string(cls) != "#32770") return TRUE;
        auto* search = reinterpret_cast<Search*>(param);
        HWND text = nullptr;
        Search inner{search->text, nullptr};
        ::EnumChildWindows(hwnd, &ChildHasText, reinterpret_cast<LPARAM>(&inner));
        text = inner.found;
        if (text) {
            search->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }

    void Run() {
        const DWORD start = ::GetTickCount();
        while (!m_stop && ::GetTickCount() - start < 20000) {
            Search search{&m_text, nullptr};
            ::EnumWindows(&TopLevel, reinterpret_cast<LPARAM>(&search));
            if (search.found) {
                HWND box = search.found;
                m_hadOwner = ::GetWindow(box, GW_OWNER) != nullptr;
                char caption[256] = {};
                ::GetWindowTextA(box, caption, sizeof caption);
                m_caption = caption;
                ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
                m_dismissed = true;
                return;
            }
            ::Sleep(20);
        }
    }

    std::string m_text;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_dismissed{false};
    bool m_hadOwner = false;
    std::string m_caption;
    std::thread m_thread;
};

}  // namespace simharness
