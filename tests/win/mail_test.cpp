// Mail through Simple MAPI, checked against a capturing Mapi32.dll of our own
// (tests/win/mapi_capture), which writes down every structure it receives.
//
// Which Mapi32.dll a process loads is decided when the process starts: under
// Wine a library beside the program replaces the built-in one only when the
// DLL load order says "native,builtin" (WINEDLLOVERRIDES="mapi32=n,b"), and
// an empty order ("mapi32=") hides every one. So each configuration runs in
// a child process: the test copies this executable into a scratch folder of
// its own (which also becomes the child's program folder, with its own
// "email.dat" and "Sent Pictures") under a name of its own, puts the wanted
// library beside it, and runs one group of the Mail* cases there. Those
// cases are registered only inside such a child.
//
// Wine takes WINEDLLOVERRIDES from the environment it was started with, not
// from the block a Windows program passes to CreateProcess, so the child's
// load order is given the other way Wine offers: the per-program setting
// HKCU\Software\Wine\AppDefaults\<exe name>\DllOverrides, written for the
// child's own exe name before it starts and removed after it ended.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>  // before gdiplus.h, which needs it under WIN32_LEAN_AND_MEAN
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SimHarness.h"
#include "device/Connection.h"
#include "device/PictureTransfer.h"
#include "device/TransferRecords.h"
#include "device/UsbChannel.h"
#include "imaging/ImageOps.h"
#include "imaging/LoadedPicture.h"
#include "imaging/PreparedPicture.h"
#include "mail/MapiMailer.h"
#include "mail/SendByMail.h"
#include "mail/SendMailDlg.h"
#include "resource.h"
#include "ui/LoadingDlg.h"
#include "toolkit/Text.h"

namespace {

// ------------------------------------------------------------ files

std::string ExePath() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/")); }
std::string NameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Deletes a scratch folder with everything in it.
void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char b[3];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof(b), "%02x", c);
        out += b;
    }
    return out;
}

std::string Env(const char* name) {
    char value[2048] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    return n > 0 && n < sizeof(value) ? std::string(value, n) : std::string();
}

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// ------------------------------------------------------------ capture file

// The capture's "key=value" lines in the order they were written.
struct Capture {
    std::vector<std::pair<std::string, std::string>> lines;

    static Capture Read(const std::string& path) {
        Capture c;
        std::istringstream in(ReadAll(path));
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t eq = line.find('=');
            if (eq != std::string::npos) c.lines.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
        return c;
    }
    // The calls in order (MAPILogon, MAPISendMail, MAPISendMail.return, MAPILogoff).
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (auto& l : lines)
            if (l.first == "call") calls.push_back(l.second);
        return calls;
    }
    // Every value of `key`, in the order written.
    std::vector<std::string> All(const std::string& key) const {
        std::vector<std::string> values;
        for (auto& l : lines)
            if (l.first == key) values.push_back(l.second);
        return values;
    }
    // The value of `key` in the n-th block of `call`, or "<absent>".
    std::string Get(const std::string& call, int n, const std::string& key) const {
        int seen = -1;
        for (auto& l : lines) {
            if (l.first == "call") {
                if (seen >= n) break;
                if (l.second == call) ++seen;
                continue;
            }
            if (seen == n && l.first == key) return l.second;
        }
        return "<absent>";
    }
};

// Each child case writes its own capture file and sets the library's
// behaviour for itself: the library reads its environment on every call.
std::string StartCapture(const std::string& name) {
    std::string path = FolderOf(ExePath()) + "\\capture-" + name + ".txt";
    DeleteFileA(path.c_str());
    SetEnvironmentVariableA("QUORVEL_MAPI_CAPTURE", path.c_str());
    SetEnvironmentVariableA("QUORVEL_MAPI_SEND_RESULT", nullptr);
    SetEnvironmentVariableA("QUORVEL_MAPI_LOGON_RESULT", nullptr);
    SetEnvironmentVariableA("QUORVEL_MAPI_HOLD_EVENT", nullptr);
    SetEnvironmentVariableA("QUORVEL_MAPI_KEEP_DIR", nullptr);
    return path;
}

// ------------------------------------------------------------ child processes

const char kChildSwitch[] = "QUORVEL_MAIL_CHILD";

bool IsChild() { return Env(kChildSwitch) == "1"; }

// The cases that run inside a child exist only there: they are registered
// when the process was started as a child, so an ordinary run lists only the
// cases that start children.
template <class T>
bool RegisterChildTest(const char* suite, const char* name, const char* file, int line) {
    if (!IsChild()) return false;
    ::testing::RegisterTest(suite, name, nullptr, nullptr, file, line, []() -> ::testing::Test* { return new T; });
    return true;
}

#define CHILD_TEST(suite, name)                                                                   \
    class suite##_##name##_Child : public ::testing::Test {                                      \
    public:                                                                                       \
        void TestBody() override;                                                                 \
    };                                                                                            \
    const bool suite##_##name##_registered =                                                      \
        RegisterChildTest<suite##_##name##_Child>(#suite, #name, __FILE__, __LINE__);             \
    void suite##_##name##_Child::TestBody()

struct ChildResult {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;
};

// The environment block of this process plus QUORVEL_MAIL_CHILD=1.
std::vector<char> ChildEnvironment() {
    std::vector<char> out;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p; p += std::strlen(p) + 1) {
        if (_strnicmp(p, "QUORVEL_MAIL_CHILD=", 19) == 0) continue;
        out.insert(out.end(), p, p + std::strlen(p) + 1);
    }
    FreeEnvironmentStringsA(block);
    const std::string mine = std::string(kChildSwitch) + "=1";
    out.insert(out.end(), mine.begin(), mine.end());
    out.push_back('\0');
    out.push_back('\0');
    return out;
}

// The scratch folder is removed after a passing case and kept for a look
// after a failing one.
struct ChildFolder {
    std::string folder;
    std::string exe;  // the copy of this executable, named after the configuration
    ChildFolder() = default;
    ChildFolder(ChildFolder&& o) noexcept : folder(std::move(o.folder)), exe(std::move(o.exe)) { o.folder.clear(); }
    ChildFolder(const ChildFolder&) = delete;
    ~ChildFolder() {
        if (!folder.empty() && !::testing::Test::HasFailure()) RemoveTree(folder);
    }
};

// A fresh scratch folder holding a copy of this executable and, when asked,
// one of the capture libraries as Mapi32.dll.
ChildFolder MakeChildFolder(const std::string& name, const char* library) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    ChildFolder f;
    f.folder = std::string(temp) + "quorvel-mail-" + std::to_string(GetCurrentProcessId()) + "-" + name;
    RemoveTree(f.folder);
    CreateDirectoryA(f.folder.c_str(), nullptr);
    f.exe = "quorvel-mail-" + name + ".exe";
    EXPECT_TRUE(CopyFileA(ExePath().c_str(), (f.folder + "\\" + f.exe).c_str(), FALSE));
    if (library) {
        std::string source = FolderOf(ExePath()) + "\\" + library;
        EXPECT_TRUE(CopyFileA(source.c_str(), (f.folder + "\\Mapi32.dll").c_str(), FALSE)) << source;
    }
    return f;
}

// Wine's per-program DLL load order for mapi32: "native,builtin" takes the
// library beside the program, "builtin" Wine's own, "" none at all.
class WineLoadOrder {
public:
    WineLoadOrder(const std::string& exeName, const char* mapi32Order) {
        if (!UnderWine()) return;
        m_key = "Software\\Wine\\AppDefaults\\" + exeName;
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (m_key + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "mapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(mapi32Order),
                           static_cast<DWORD>(std::strlen(mapi32Order) + 1));
            RegCloseKey(key);
        }
    }
    ~WineLoadOrder() {
        if (!m_key.empty()) RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
    }
    WineLoadOrder(const WineLoadOrder&) = delete;
    WineLoadOrder& operator=(const WineLoadOrder&) = delete;

private:
    std::string m_key;
};

ChildResult RunChild(const ChildFolder& child, const std::string& filter, const char* mapi32Order) {
    ChildResult r;
    WineLoadOrder order(child.exe, mapi32Order);
    std::vector<char> env = ChildEnvironment();
    std::string outputPath = child.folder + "\\child-output.txt";
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE out = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string exe = child.folder + "\\" + child.exe;
    std::string cmd = "\"" + exe + "\" --gtest_filter=" + filter;
    r.started = CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, 0, env.data(), child.folder.c_str(), &si,
                               &pi) != 0;
    CloseHandle(out);
    if (!r.started) return r;
    r.finished = WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0;
    if (!r.finished) TerminateProcess(pi.hProcess, 99);
    GetExitCodeProcess(pi.hProcess, &r.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    r.output = ReadAll(outputPath);
    return r;
}

void ExpectChildPassed(const ChildResult& r, const std::string& filter) {
    ASSERT_TRUE(r.started) << "could not start the child for " << filter;
    ASSERT_TRUE(r.finished) << "the child for " << filter << " hung:\n" << r.output;
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    // A filter that matched nothing would pass without testing anything.
    EXPECT_EQ(r.output.find("Running 0 tests"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[  PASSED  ]"), std::string::npos) << r.output;
}

// ------------------------------------------------------------ windows

// Keeps this thread's windows answering while waiting for `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

std::string TextOf(HWND wnd) {
    char buf[4096] = {};
    GetWindowTextA(wnd, buf, sizeof(buf));
    return buf;
}

std::string ClassOf(HWND wnd) {
    char buf[256] = {};
    GetClassNameA(wnd, buf, sizeof(buf));
    return buf;
}

// A visible dialog-class window of this process, found by title or by owner.
HWND FindDialogWindow(const std::function<bool(HWND)>& match) {
    struct Search {
        const std::function<bool(HWND)>* match;
        HWND found;
    } search{&match, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || ClassOf(w) != "#32770") return TRUE;
            if ((*s->match)(w)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = FindDialogWindow(match)) return w;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

struct MessageBoxSeen {
    bool found = false;
    std::string caption;
    std::string text;
    bool hasIcon = false;
};

// Reads a message box and presses its OK button.
MessageBoxSeen ReadAndDismissMessageBox(HWND box) {
    MessageBoxSeen seen;
    if (!box) return seen;
    seen.found = true;
    seen.caption = TextOf(box);
    seen.text = TextOf(GetDlgItem(box, 0xFFFF));
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(c, GWL_STYLE);
        if (ClassOf(c) == "Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c) &&
            SendMessageA(c, STM_GETICON, 0, 0) != 0)
            seen.hasIcon = true;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    return seen;
}

HWND OwnedMessageBox(HWND owner, DWORD timeoutMs = 10000) {
    return WaitForWindow([owner](HWND w) { return GetWindow(w, GW_OWNER) == owner && GetDlgItem(w, 0xFFFF); },
                         timeoutMs);
}

// The main window the command is given in the child processes.
HWND MakeMainWindow() {
    static ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QuorvelMailTestMain";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        return RegisterClassA(&wc);
    }();
    (void)atom;
    return CreateWindowA("QuorvelMailTestMain", "Mail test main window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                         500, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// What the send-by-mail dialog showed and what became of it, as driven from
// a thread of its own while the command runs its modal loop.
struct DialogScript {
    bool pressSendWithEmptyToFirst = false;
    std::optional<std::string> typeTo;
    std::optional<std::string> typeSubject;
    bool cancel = false;
};

struct DialogSeen {
    bool found = false;
    std::string title;
    std::string to;
    std::string subject;
    bool focusOnTo = false;
    HWND owner = nullptr;
    MessageBoxSeen emptyToBox;
    bool openAfterEmptyTo = false;
    std::string subjectAfterEmptyTo;
    bool closed = false;
};

DialogSeen DriveSendMailDialog(const DialogScript& script) {
    DialogSeen seen;
    HWND dlg = WaitForWindow([](HWND w) { return TextOf(w) == "Send by mail "; });
    if (!dlg) return seen;
    seen.found = true;
    seen.title = TextOf(dlg);
    seen.owner = GetWindow(dlg, GW_OWNER);
    HWND to = GetDlgItem(dlg, IDC_MAIL_TO);
    HWND subject = GetDlgItem(dlg, IDC_MAIL_SUBJECT);
    seen.to = TextOf(to);
    seen.subject = TextOf(subject);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &gui)) seen.focusOnTo = gui.hwndFocus == to;

    auto press = [dlg](int id) {
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    };
    if (script.pressSendWithEmptyToFirst) {
        SendMessageA(to, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        press(IDOK);
        seen.emptyToBox = ReadAndDismissMessageBox(OwnedMessageBox(dlg));
        Sleep(200);
        seen.openAfterEmptyTo = IsWindow(dlg) && IsWindowVisible(dlg);
        seen.subjectAfterEmptyTo = TextOf(subject);
    }
    if (script.typeTo) SendMessageA(to, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script.typeTo->c_str()));
    if (script.typeSubject)
        SendMessageA(subject, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script.typeSubject->c_str()));
    press(script.cancel ? IDCANCEL : IDOK);
    const DWORD start = GetTickCount();
    while (IsWindow(dlg) && GetTickCount() - start < 10000) Sleep(20);
    seen.closed = !IsWindow(dlg);
    return seen;
}

// Runs the command with the dialog driven by `script`.
DialogSeen RunSendByMail(HWND main, const std::string& picturePath, const std::string& sentFolder,
                         PrepareMailPicture prepare, const DialogScript& script) {
    DialogSeen seen;
    std::thread driver([&] { seen = DriveSendMailDialog(script); });
    LoadedPicture picture;
    picture.path = tk::ToWide(picturePath);
    SendPictureByMail(main, picture, tk::ToWide(sentFolder), std::move(prepare));
    driver.join();
    return seen;
}

std::string ProgramFolder() { return FolderOf(ExePath()); }
std::string AddressFile() { return ProgramFolder() + "\\email.dat"; }
std::string SentFolder() {
    std::string f = ProgramFolder() + "\\Sent Pictures";
    CreateDirectoryA(f.c_str(), nullptr);
    return f;
}

// A stand-in for the picture preparation: writes `content` where the
// prepared picture goes and counts its calls (it runs on the mail thread).
PrepareMailPicture FakePreparation(const std::string& path, const std::string& content, std::atomic<int>* calls) {
    return [path, content, calls](std::wstring* written) {
        WriteAll(path, content);
        if (calls) ++*calls;
        *written = tk::ToWide(path);
        return true;
    };
}

bool WaitForMailThreads(DWORD timeoutMs = 20000) {
    return PumpUntil([] { return RunningMailThreads() == 0; }, timeoutMs);
}

std::string HexUlongPtr(const void* p) {
    char buf[32];
    std::snprintf(buf, sizeof(buf), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(p)));
    return buf;
}

const char kSession[] = "0x5e5510a11ce";  // the capture library's session

// ============================================================ parent cases

TEST(MailerTest, WithCaptureLibrary) {
    ChildFolder child = MakeChildFolder("capture", "mapi_capture\\Mapi32.dll");
    ExpectChildPassed(RunChild(child, "MailWithCapture.*", "native,builtin"), "MailWithCapture.*");
}

TEST(MailerTest, WithWideEntry) {
    ChildFolder child = MakeChildFolder("wide", "mapi_capture\\wide\\Mapi32.dll");
    ExpectChildPassed(RunChild(child, "MailWithWide.*", "native,builtin"), "MailWithWide.*");
}

TEST(MailerTest, WithoutSendEntry) {
    ChildFolder child = MakeChildFolder("nosend", "mapi_capture\\nosend\\Mapi32.dll");
    ExpectChildPassed(RunChild(child, "MailWithoutSend.*", "native,builtin"), "MailWithoutSend.*");
}

TEST(MailerTest, WithoutSimpleMapi) {
    if (!UnderWine()) GTEST_SKIP() << "only Wine can hide every Mapi32.dll";
    // The capture library lies beside the program, yet must not be loaded.
    ChildFolder child = MakeChildFolder("nomapi", "mapi_capture\\Mapi32.dll");
    ExpectChildPassed(RunChild(child, "MailWithoutMapi.*", ""), "MailWithoutMapi.*");
}

TEST(MailerTest, WithWineOwnMapi) {
    if (!UnderWine()) GTEST_SKIP() << "Wine's own Simple MAPI only";
    ChildFolder child = MakeChildFolder("winemapi", nullptr);
    ExpectChildPassed(RunChild(child, "MailWithPlatformMapi.*", "builtin"), "MailWithPlatformMapi.*");
}

TEST(SendByMailTest, MailsAndTransfersOfOnePictureKeepTheirOwnCrops) {
    // The child registers the simulated handheld that stands beside us, so
    // the registration keeps pointing here.
    SetEnvironmentVariableA("QUORVEL_TEST_SIM_DLL", (FolderOf(ExePath()) + "\\handheld_sim.dll").c_str());
    ChildFolder child = MakeChildFolder("interleave", "mapi_capture\\Mapi32.dll");
    ExpectChildPassed(RunChild(child, "MailAndTransfer.*", "native,builtin"), "MailAndTransfer.*");
}

TEST(SendByMailTest, AddressIsOfferedAgainAfterRestart) {
    ChildFolder child = MakeChildFolder("restart", "mapi_capture\\Mapi32.dll");
    ExpectChildPassed(RunChild(child, "MailRestart.ConfirmAddress", "native,builtin"), "MailRestart.ConfirmAddress");
    EXPECT_EQ(ReadAll(child.folder + "\\email.dat"), "hh@example.com");
    ExpectChildPassed(RunChild(child, "MailRestart.OffersAddress", "native,builtin"), "MailRestart.OffersAddress");
}

// ============================================================ child cases

// --- the mailer against the capture library --------------------------------

CHILD_TEST(MailWithCapture, HandsOverTheMessageAsBuilt) {
    std::string capturePath = StartCapture("structures");
    HWND owner = MakeMainWindow();
    std::string first = ProgramFolder() + "\\first picture.jpg";
    std::string second = ProgramFolder() + "\\second.jpg";
    WriteAll(first, "one");
    WriteAll(second, "two");
    {
        MapiMailer mailer(owner);
        EXPECT_TRUE(mailer.Send("hh@example.com", "Quorvel Photos", "", {first, second}));
    }
    {
        MapiMailer mailer(owner);
        EXPECT_TRUE(mailer.Send("x@y.z", "no files", "", {}));
    }
    DestroyWindow(owner);

    Capture c = Capture::Read(capturePath);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMail", "MAPILogoff",
                                                    "MAPILogon", "MAPISendMail", "MAPILogoff"};
    EXPECT_EQ(c.Calls(), expectedCalls);
    const std::string ui = HexUlongPtr(owner);

    for (int n : {0, 1}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(c.Get("MAPILogon", n, "logon.ui"), ui);
        EXPECT_EQ(c.Get("MAPILogon", n, "logon.profile"), "(null)");
        EXPECT_EQ(c.Get("MAPILogon", n, "logon.password"), "(null)");
        EXPECT_EQ(c.Get("MAPILogon", n, "logon.flags"), "3");  // MAPI_LOGON_UI | MAPI_NEW_SESSION
        EXPECT_EQ(c.Get("MAPILogon", n, "logon.reserved"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", n, "send.session"), kSession);
        EXPECT_EQ(c.Get("MAPISendMail", n, "send.ui"), ui);
        EXPECT_EQ(c.Get("MAPISendMail", n, "send.flags"), "8");  // MAPI_DIALOG
        EXPECT_EQ(c.Get("MAPISendMail", n, "send.reserved"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.reserved"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.note"), "");  // empty, not missing
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.type"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.date"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.conversation"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.flags"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.originator"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", n, "message.recipients"), "1");
        EXPECT_EQ(c.Get("MAPISendMail", n, "recipient.0.reserved"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", n, "recipient.0.class"), "1");  // MAPI_TO
        EXPECT_EQ(c.Get("MAPISendMail", n, "recipient.0.eidSize"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", n, "recipient.0.eid"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", n, "send.result"), "0");
        EXPECT_EQ(c.Get("MAPILogoff", n, "logoff.session"), kSession);
        EXPECT_EQ(c.Get("MAPILogoff", n, "logoff.ui"), ui);
        EXPECT_EQ(c.Get("MAPILogoff", n, "logoff.flags"), "0");
        EXPECT_EQ(c.Get("MAPILogoff", n, "logoff.reserved"), "0");
    }
    // The display name is the bare address; the address is "SMTP:" directly
    // followed by it.
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.name"), "hh@example.com");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.address"), "SMTP:hh@example.com");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "message.subject"), "Quorvel Photos");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "message.files"), "2");
    const std::string paths[] = {first, second};
    const std::string contents[] = {"one", "two"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const std::string p = "file." + std::to_string(i);
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".reserved"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".flags"), "0");
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".position"), "4294967295");
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".path"), paths[i]);
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".name"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".type"), "(null)");
        EXPECT_EQ(c.Get("MAPISendMail", 0, p + ".head"), Hex(contents[i]));
    }
    // No attachments: count 0 and no array.
    EXPECT_EQ(c.Get("MAPISendMail", 1, "recipient.0.address"), "SMTP:x@y.z");
    EXPECT_EQ(c.Get("MAPISendMail", 1, "message.subject"), "no files");
    EXPECT_EQ(c.Get("MAPISendMail", 1, "message.files"), "0");
    EXPECT_EQ(c.Get("MAPISendMail", 1, "message.fileArray"), "(null)");
}

CHILD_TEST(MailWithCapture, ResultsOtherThanSuccessFail) {
    std::string capturePath = StartCapture("results");
    for (const char* result : {"1", "2", "11", "0xFFFFFFFF"}) {
        SCOPED_TRACE(result);
        SetEnvironmentVariableA("QUORVEL_MAPI_SEND_RESULT", result);
        MapiMailer mailer(nullptr);
        EXPECT_FALSE(mailer.Send("hh@example.com", "s", "", {}));
    }
    SetEnvironmentVariableA("QUORVEL_MAPI_SEND_RESULT", "0");
    MapiMailer mailer(nullptr);
    EXPECT_TRUE(mailer.Send("hh@example.com", "s", "", {}));
}

CHILD_TEST(MailWithCapture, FailedLogonStillSendsWithSessionZero) {
    std::string capturePath = StartCapture("logon");
    SetEnvironmentVariableA("QUORVEL_MAPI_LOGON_RESULT", "3");  // MAPI_E_LOGON_FAILURE
    {
        MapiMailer mailer(nullptr);
        EXPECT_TRUE(mailer.Send("hh@example.com", "s", "", {}));
    }
    Capture c = Capture::Read(capturePath);
    // The library wrote a session value despite failing; it must not be used.
    EXPECT_EQ(c.Get("MAPISendMail", 0, "send.session"), "0x0");
    EXPECT_EQ(c.Get("MAPILogoff", 0, "logoff.session"), "0x0");
}

CHILD_TEST(MailWithCapture, AddressLongerThanItsBufferIsRefused) {
    std::string capturePath = StartCapture("long");
    const std::string longest(MapiMailer::kMaxAddressLength, 'a');
    ASSERT_EQ(longest.size(), 994u);
    {
        MapiMailer mailer(nullptr);
        EXPECT_TRUE(mailer.Send(longest, "s", "", {}));
    }
    {
        MapiMailer mailer(nullptr);
        EXPECT_FALSE(mailer.Send(longest + "a", "s", "", {}));
    }
    Capture c = Capture::Read(capturePath);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMail", "MAPILogoff", "MAPILogon",
                                                    "MAPILogoff"};
    EXPECT_EQ(c.Calls(), expectedCalls);  // the long one never reached the library
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.address"), "SMTP:" + longest);
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.name"), longest);
}

// --- the mail thread ---------------------------------------------------------

CHILD_TEST(MailWithCapture, FailingSendShowsWarningWhileProgramStaysResponsive) {
    std::string capturePath = StartCapture("failing");
    SetEnvironmentVariableA("QUORVEL_MAPI_SEND_RESULT", "2");
    HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, "QuorvelMailTestHoldFailing");
    SetEnvironmentVariableA("QUORVEL_MAPI_HOLD_EVENT", "QuorvelMailTestHoldFailing");
    HWND main = MakeMainWindow();

    auto job = std::make_unique<MailJob>();
    job->recipient = "hh@example.com";
    job->subject = "Quorvel Photos";
    job->owner = main;
    job->attachments = {tk::ToWide(ProgramFolder() + "\\none.jpg")};
    ASSERT_TRUE(StartMailThread(std::move(job)));

    // The mail client "has its compose window open": the thread is inside
    // MAPISendMail while this thread's windows keep answering.
    ASSERT_TRUE(PumpUntil([&] { return Capture::Read(capturePath).Calls().size() >= 2; }));
    EXPECT_EQ(RunningMailThreads(), 1);
    std::atomic<bool> answered{false};
    std::thread probe([&] {
        DWORD_PTR r = 0;
        answered = SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) != 0;
    });
    PumpUntil([&] { return answered.load(); }, 6000);
    probe.join();
    EXPECT_TRUE(answered.load());

    SetEvent(hold);
    MessageBoxSeen box;
    std::thread reader([&] { box = ReadAndDismissMessageBox(OwnedMessageBox(main)); });
    PumpUntil([&] { return box.found; }, 15000);
    reader.join();
    EXPECT_TRUE(box.found);
    EXPECT_EQ(box.text, kMailFailedMessage);
    EXPECT_EQ(box.text, "Some errors occurred while sending mail.\nPlease check address and mail settings! \n");
    EXPECT_TRUE(box.hasIcon);
    if (UnderWine()) {
        EXPECT_EQ(box.caption, "Error");  // the system's default caption
    }
    ASSERT_TRUE(WaitForMailThreads());

    Capture c = Capture::Read(capturePath);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMail", "MAPISendMail.return",
                                                    "MAPILogoff"};
    EXPECT_EQ(c.Calls(), expectedCalls);
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.path"), ProgramFolder() + "\\none.jpg");
    DestroyWindow(main);
    CloseHandle(hold);
}

CHILD_TEST(MailWithCapture, SuccessShowsNoMessage) {
    std::string capturePath = StartCapture("success");
    HWND main = MakeMainWindow();
    auto job = std::make_unique<MailJob>();
    job->recipient = "hh@example.com";
    job->subject = "Quorvel Photos";
    job->owner = main;
    ASSERT_TRUE(StartMailThread(std::move(job)));
    ASSERT_TRUE(WaitForMailThreads());
    PumpFor(300);
    EXPECT_EQ(OwnedMessageBox(main, 0), nullptr);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMail", "MAPILogoff"};
    EXPECT_EQ(Capture::Read(capturePath).Calls(), expectedCalls);
    DestroyWindow(main);
}

// --- the command and its dialog -----------------------------------------------

CHILD_TEST(MailWithCapture, FirstUseRefusesEmptyAddressThenSendsPreparedPicture) {
    std::string capturePath = StartCapture("firstuse");
    DeleteFileA(AddressFile().c_str());
    HWND main = MakeMainWindow();
    const std::string sent = SentFolder();
    const std::string prepared = sent + "\\holiday.jpg";
    WriteAll(prepared, "an earlier picture");
    std::atomic<int> prepareCalls{0};

    DialogScript script;
    script.pressSendWithEmptyToFirst = true;
    script.typeTo = "hh@example.com";
    DialogSeen seen = RunSendByMail(main, "C:\\pictures\\holiday.tif", sent,
                                    FakePreparation(prepared, "prepared holiday", &prepareCalls), script);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, "Send by mail ");
    EXPECT_EQ(seen.owner, main);
    EXPECT_EQ(seen.to, "");
    EXPECT_EQ(seen.subject, "Quorvel Photos");
    EXPECT_TRUE(seen.focusOnTo);
    // Send with an empty To field: the message, and the dialog stays open.
    EXPECT_TRUE(seen.emptyToBox.found);
    EXPECT_EQ(seen.emptyToBox.text, "Please type mail address of your handheld!");
    EXPECT_EQ(seen.emptyToBox.caption, "Quorvel Photo Manager");
    EXPECT_FALSE(seen.emptyToBox.hasIcon);
    EXPECT_TRUE(seen.openAfterEmptyTo);
    EXPECT_EQ(seen.subjectAfterEmptyTo, "Quorvel Photos");
    EXPECT_TRUE(seen.closed);

    EXPECT_EQ(ReadAll(AddressFile()), "hh@example.com");
    ASSERT_TRUE(WaitForMailThreads());
    EXPECT_EQ(prepareCalls.load(), 1);
    Capture c = Capture::Read(capturePath);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMail", "MAPILogoff"};
    EXPECT_EQ(c.Calls(), expectedCalls);
    EXPECT_EQ(c.Get("MAPILogon", 0, "logon.ui"), HexUlongPtr(main));
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.name"), "hh@example.com");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.address"), "SMTP:hh@example.com");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "message.subject"), "Quorvel Photos");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "message.note"), "");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "message.files"), "1");
    // holiday.tif goes as holiday.jpg, a copy of the prepared file of its
    // own, which is gone once the client has returned.
    const std::string attached = c.Get("MAPISendMail", 0, "file.0.path");
    EXPECT_EQ(NameOf(attached), "holiday.jpg");
    EXPECT_NE(attached, prepared);
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.head"), Hex("prepared holiday"));
    EXPECT_FALSE(Exists(attached));
    EXPECT_EQ(ReadAll(prepared), "prepared holiday");
    PumpFor(200);
    EXPECT_EQ(OwnedMessageBox(main, 0), nullptr);  // success: no message
    DestroyWindow(main);
}

CHILD_TEST(MailWithCapture, SubjectIsTakenAsTyped) {
    std::string capturePath = StartCapture("subject");
    WriteAll(AddressFile(), "hh@example.com");
    HWND main = MakeMainWindow();
    const std::string sent = SentFolder();
    DialogScript script;
    script.typeSubject = "";  // an empty subject is allowed
    script.typeTo = "  spaced@example.com";  // taken as typed, blanks and all
    DialogSeen seen = RunSendByMail(main, "C:\\p\\beach.day.png", sent,
                                    FakePreparation(sent + "\\beach.jpg", "beach", nullptr), script);
    EXPECT_EQ(seen.to, "hh@example.com");
    EXPECT_TRUE(seen.closed);
    ASSERT_TRUE(WaitForMailThreads());
    EXPECT_EQ(ReadAll(AddressFile()), "  spaced@example.com");
    Capture c = Capture::Read(capturePath);
    EXPECT_EQ(c.Get("MAPISendMail", 0, "message.subject"), "");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "recipient.0.address"), "SMTP:  spaced@example.com");
    EXPECT_EQ(NameOf(c.Get("MAPISendMail", 0, "file.0.path")), "beach.jpg");
    DestroyWindow(main);
}

CHILD_TEST(MailWithCapture, CancelStoresPreparesAndSendsNothing) {
    std::string capturePath = StartCapture("cancel");
    WriteAll(AddressFile(), "old@example.com");
    HWND main = MakeMainWindow();
    std::atomic<int> prepareCalls{0};
    DialogScript script;
    script.typeTo = "new@example.com";
    script.cancel = true;
    DialogSeen seen = RunSendByMail(main, "C:\\pictures\\holiday.tif", SentFolder(),
                                    FakePreparation(SentFolder() + "\\holiday.jpg", "x", &prepareCalls), script);
    EXPECT_EQ(seen.to, "old@example.com");
    EXPECT_TRUE(seen.closed);
    PumpFor(300);
    EXPECT_EQ(ReadAll(AddressFile()), "old@example.com");
    EXPECT_EQ(RunningMailThreads(), 0);
    EXPECT_EQ(prepareCalls.load(), 0);
    EXPECT_FALSE(Exists(capturePath));  // Simple MAPI was not even loaded
    DestroyWindow(main);
}

// A mail without its picture is not sent, and the user is told what the
// transfer says of an unreadable prepared picture: nothing was written, or
// the preparation claims success but left no file.
CHILD_TEST(MailWithCapture, PictureThatCannotBePreparedIsReportedNotMailed) {
    std::string capturePath = StartCapture("prepfail");
    WriteAll(AddressFile(), "hh@example.com");
    HWND main = MakeMainWindow();
    const std::string prepared = SentFolder() + "\\broken.jpg";
    const PrepareMailPicture preparations[] = {
        [](std::wstring*) { return false; },
        [prepared](std::wstring* written) {
            *written = tk::ToWide(prepared);
            return true;
        },
    };
    for (const PrepareMailPicture& prepare : preparations) {
        WriteAll(prepared, "an earlier picture of the same name");
        std::thread confirm([] { DriveSendMailDialog(DialogScript{}); });
        LoadedPicture picture;
        picture.path = L"C:\\pictures\\broken.bmp";
        SendPictureByMail(main, picture, tk::ToWide(SentFolder()), prepare);
        confirm.join();
        MessageBoxSeen box;
        std::thread reader([&] { box = ReadAndDismissMessageBox(OwnedMessageBox(main)); });
        PumpUntil([&] { return box.found; }, 15000);
        reader.join();
        EXPECT_EQ(box.text, quorvel::kPictureUnreadableText);
        EXPECT_EQ(box.text, "The prepared picture could not be read.\nIt has not been sent");
        EXPECT_EQ(box.caption, "Quorvel Photo Manager");
        EXPECT_TRUE(box.hasIcon);
        ASSERT_TRUE(WaitForMailThreads());
        EXPECT_FALSE(Exists(prepared));  // the earlier file was deleted before preparing
    }
    EXPECT_FALSE(Exists(capturePath));  // Simple MAPI was not even loaded
    DestroyWindow(main);
}

// The real preparation on the mail thread: a 200 x 150 TIFF shown at
// 400 x 300 and placed at (-40, -30) on a 320 x 240 screen goes out as the
// 320 x 240 window at (40, 30) of the displayed picture, in holiday.jpg.
CHILD_TEST(MailWithCapture, PreparedPictureIsAttachedAsJpeg) {
    std::string capturePath = StartCapture("realpicture");
    WriteAll(AddressFile(), "hh@example.com");
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    const std::string picturePath = ProgramFolder() + "\\holiday.tif";
    {
        // Left half red, right half blue.
        Gdiplus::Bitmap picture(200, 150, PixelFormat24bppRGB);
        Gdiplus::Graphics g(&picture);
        Gdiplus::SolidBrush red(Gdiplus::Color(255, 220, 0, 0));
        Gdiplus::SolidBrush blue(Gdiplus::Color(255, 0, 0, 220));
        g.FillRectangle(&red, 0, 0, 100, 150);
        g.FillRectangle(&blue, 100, 0, 100, 150);
        CLSID tiff{};
        ASSERT_GE(FindEncoder(L"image/tiff", &tiff), 0);
        ASSERT_EQ(picture.Save(std::wstring(picturePath.begin(), picturePath.end()).c_str(), &tiff, nullptr),
                  Gdiplus::Ok);
    }
    HWND main = MakeMainWindow();
    const std::string sent = SentFolder();
    PlacedPicture placed;
    placed.left = -40;
    placed.top = -30;
    placed.width = 400;
    placed.height = 300;
    RunSendByMail(main, picturePath, sent,
                  [picturePath, placed, sent](std::wstring* written) {
                      return PrepareDevicePicture(tk::ToWide(picturePath), placed, 320, 240, tk::ToWide(sent),
                                                  kPixelFormat16bppRGB555, written);
                  },
                  DialogScript{});
    ASSERT_TRUE(WaitForMailThreads());
    Capture c = Capture::Read(capturePath);
    const std::string jpeg = sent + "\\holiday.jpg";
    EXPECT_EQ(NameOf(c.Get("MAPISendMail", 0, "file.0.path")), "holiday.jpg");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.head").substr(0, 6), "ffd8ff");
    {
        const std::wstring wide(jpeg.begin(), jpeg.end());
        Gdiplus::Bitmap sentPicture(wide.c_str());
        ASSERT_EQ(sentPicture.GetLastStatus(), Gdiplus::Ok);
        EXPECT_EQ(sentPicture.GetWidth(), 320u);
        EXPECT_EQ(sentPicture.GetHeight(), 240u);
        Gdiplus::Color left, right;
        sentPicture.GetPixel(20, 120, &left);     // x 60 of 400: red
        sentPicture.GetPixel(300, 120, &right);   // x 340 of 400: blue
        EXPECT_GT(left.GetR(), 150);
        EXPECT_LT(left.GetB(), 80);
        EXPECT_GT(right.GetB(), 150);
        EXPECT_LT(right.GetR(), 80);
        Gdiplus::Color edge;
        sentPicture.GetPixel(150, 120, &edge);    // x 190: still red, the seam is at x 200
        EXPECT_GT(edge.GetR(), 150);
    }
    DestroyWindow(main);
    Gdiplus::GdiplusShutdown(token);
}

// Two mails of the same picture name the same prepared file. Each attaches
// its own copy, so the second need not wait for the first mail's client,
// and neither mail's picture changes while its client has it.
CHILD_TEST(MailWithCapture, EachMailKeepsItsOwnPictureWhileAnotherIsSent) {
    std::string capturePath = StartCapture("twomails");
    WriteAll(AddressFile(), "hh@example.com");
    HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, "QuorvelMailTestHoldTwo");
    SetEnvironmentVariableA("QUORVEL_MAPI_HOLD_EVENT", "QuorvelMailTestHoldTwo");
    HWND main = MakeMainWindow();
    const std::string prepared = SentFolder() + "\\holiday.jpg";
    auto sendCount = [&] {
        const std::vector<std::string> calls = Capture::Read(capturePath).Calls();
        return std::count(calls.begin(), calls.end(), "MAPISendMail");
    };

    RunSendByMail(main, "C:\\a\\holiday.tif", SentFolder(), FakePreparation(prepared, "first picture", nullptr),
                  DialogScript{});
    ASSERT_TRUE(PumpUntil([&] { return sendCount() == 1; }));
    RunSendByMail(main, "C:\\b\\holiday.png", SentFolder(), FakePreparation(prepared, "second picture", nullptr),
                  DialogScript{});
    ASSERT_TRUE(PumpUntil([&] { return sendCount() == 2; })) << "the second mail waits for the first client";
    EXPECT_EQ(ReadAll(prepared), "second picture");

    SetEvent(hold);
    ASSERT_TRUE(WaitForMailThreads());
    Capture c = Capture::Read(capturePath);
    // In the order they were sent, each with its own picture from start to
    // end, under the same name.
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.head"), Hex("first picture"));
    EXPECT_EQ(c.Get("MAPISendMail", 1, "file.0.head"), Hex("second picture"));
    EXPECT_EQ(NameOf(c.Get("MAPISendMail", 0, "file.0.path")), "holiday.jpg");
    EXPECT_EQ(NameOf(c.Get("MAPISendMail", 1, "file.0.path")), "holiday.jpg");
    std::vector<std::string> atReturn = c.All("file.0.atReturn.head");
    std::sort(atReturn.begin(), atReturn.end());
    EXPECT_EQ(atReturn, (std::vector<std::string>{Hex("first picture"), Hex("second picture")}));
    DestroyWindow(main);
    CloseHandle(hold);
}

// --- mails and transfers of the same picture ------------------------------------

// The main window as the transfer sees it: warnings are noted, not shown.
class TransferWindow : public PictureSendWindow {
public:
    void SetConnectionButtons(bool) override {}
    void EnableButton(int, bool) override {}
    void SetStatusText(const std::string&) override {}
    void ShowWarning(const std::string& text) override {
        std::lock_guard<std::mutex> hold(m_lock);
        m_warnings.push_back(text);
    }
    void SetScreenSize(int, int) override {}
    void ShowConnectedPreview() override {}
    void ShowPreviewLabel(bool) override {}
    std::vector<std::string> TakeWarnings() {
        std::lock_guard<std::mutex> hold(m_lock);
        return std::exchange(m_warnings, {});
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_warnings;
};

// A 400 x 300 picture of four noisy quadrants (the noise makes a JPEG of
// many blocks): red at the top left, blue at the bottom right, green else.
void WriteQuadrantPicture(const std::string& path) {
    Gdiplus::Bitmap picture(400, 300, PixelFormat24bppRGB);
    uint32_t noise = 7;
    auto noisy = [&noise](int v) {
        noise = noise * 1103515245u + 12345u;
        return static_cast<BYTE>(std::min(255, std::max(0, v + static_cast<int>((noise >> 16) % 61) - 30)));
    };
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            const bool red = x < 200 && y < 150, blue = x >= 200 && y >= 150;
            picture.SetPixel(x, y, Gdiplus::Color(noisy(red ? 220 : 30), noisy(red || blue ? 30 : 160),
                                                  noisy(blue ? 220 : 30)));
        }
    CLSID png{};
    FindEncoder(L"image/png", &png);
    picture.Save(std::wstring(path.begin(), path.end()).c_str(), &png, nullptr);
}

// The mean colour of the middle of a JPEG file.
Gdiplus::Color MiddleColour(const std::string& path) {
    Gdiplus::Bitmap picture(std::wstring(path.begin(), path.end()).c_str());
    long sum[3] = {};
    const int cx = static_cast<int>(picture.GetWidth()) / 2, cy = static_cast<int>(picture.GetHeight()) / 2;
    for (int y = cy - 10; y < cy + 10; ++y)
        for (int x = cx - 10; x < cx + 10; ++x) {
            Gdiplus::Color c;
            picture.GetPixel(x, y, &c);
            sum[0] += c.GetR(), sum[1] += c.GetG(), sum[2] += c.GetB();
        }
    return Gdiplus::Color(static_cast<BYTE>(sum[0] / 400), static_cast<BYTE>(sum[1] / 400),
                          static_cast<BYTE>(sum[2] / 400));
}

// A transfer to the simulated handheld and mails through the capture
// library, of one picture with two placements on a 200 x 150 screen: the
// red quadrant and the blue one. Round by round, a mail is held open in its
// client while a transfer runs, then a mail is prepared and sent while a
// transfer is still sending, the crops changing sides each round. The
// handheld must receive exactly the transfer's crop and every mail must
// attach exactly its own, under the name beach.jpg, to the end.
CHILD_TEST(MailAndTransfer, EachKeepsItsOwnCropInEitherOrder) {
    std::string capturePath = StartCapture("interleave");
    WriteAll(AddressFile(), "hh@example.com");
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    const std::string picturePath = ProgramFolder() + "\\beach.png";
    WriteQuadrantPicture(picturePath);
    const PlacedPicture crops[2] = {{0, 0, 400, 300}, {-200, -150, 400, 300}};
    auto prepareCrop = [picturePath](const PlacedPicture& placed, const std::string& folder) {
        return [picturePath, placed, folder](std::wstring* written) {
            return PrepareDevicePicture(tk::ToWide(picturePath), placed, 200, 150, tk::ToWide(folder),
                                        kPixelFormat16bppRGB555, written);
        };
    };
    // What each crop prepares to, byte for byte (the encoder repeats itself).
    std::string expected[2];
    for (int i = 0; i < 2; ++i) {
        const std::string folder = ProgramFolder() + "\\crop" + std::to_string(i);
        CreateDirectoryA(folder.c_str(), nullptr);
        std::wstring wideWritten;
        ASSERT_TRUE(prepareCrop(crops[i], folder)(&wideWritten));
        const std::string written = tk::ToAnsi(wideWritten);
        expected[i] = ReadAll(written);
        ASSERT_GT(expected[i].size(), 5000u) << "a picture of several blocks";
        ASSERT_LE(expected[i].size(), 64000u);
        const Gdiplus::Color middle = MiddleColour(written);
        EXPECT_EQ(middle.GetR() > 150 && middle.GetB() < 100, i == 0) << "red crop";
        EXPECT_EQ(middle.GetB() > 150 && middle.GetR() < 100, i == 1) << "blue crop";
    }

    std::string error;
    ASSERT_TRUE(simharness::RegisterSimulator(&error)) << error;
    simharness::SimSettings sim(ProgramFolder());
    sim.Apply("latency_ms=100\n");
    const std::string keep = ProgramFolder() + "\\kept";
    CreateDirectoryA(keep.c_str(), nullptr);
    SetEnvironmentVariableA("QUORVEL_MAPI_KEEP_DIR", keep.c_str());
    HANDLE hold = CreateEventA(nullptr, TRUE, FALSE, "QuorvelMailTestHoldInterleave");

    HWND main = MakeMainWindow();
    TransferWindow window;
    UsbChannel channel;
    CLoadingDlg progress;
    ConnectToHandheld(channel, window);
    ASSERT_TRUE(channel.IsOpen());
    const std::string sent = SentFolder();
    int transfers = 0, mails = 0;

    auto startTransfer = [&](int crop) {
        auto job = std::make_shared<PictureSendJob>();
        job->channel = &channel;
        job->window = &window;
        job->picturePath = tk::ToWide(picturePath);
        job->sentPicturesFolder = tk::ToWide(sent);
        job->preparePicture = prepareCrop(crops[crop], sent);
        ++transfers;
        return StartPictureSend(progress, main, job);
    };
    auto expectReceived = [&](int crop) {
        EXPECT_TRUE(PumpUntil([&] { return !progress.IsWorkerRunning(); }, 60000)) << "the transfer did not end";
        EXPECT_EQ(window.TakeWarnings(), std::vector<std::string>{quorvel::kImageSentText});
        EXPECT_TRUE(PumpUntil([&] { return sim.TraceCount("file #") == transfers; }));
        EXPECT_TRUE(ReadAll(sim.Folder() + "\\received\\beach.jpg") == expected[crop]) << "the handheld's crop";
    };
    auto sendMail = [&](int crop) {
        ++mails;
        RunSendByMail(main, picturePath, sent, prepareCrop(crops[crop], sent), DialogScript{});
    };
    auto sendCalls = [&] { return static_cast<int>(Capture::Read(capturePath).All("send.session").size()); };
    auto expectAttached = [&](int crop) {
        ASSERT_TRUE(WaitForMailThreads(60000));
        const Capture c = Capture::Read(capturePath);
        const std::vector<std::string> kept = c.All("file.0.kept");
        ASSERT_EQ(static_cast<int>(kept.size()), mails);
        EXPECT_EQ(NameOf(c.Get("MAPISendMail", mails - 1, "file.0.path")), "beach.jpg");
        EXPECT_EQ(NameOf(kept.back()), std::to_string(mails) + "-beach.jpg");
        EXPECT_TRUE(ReadAll(kept.back()) == expected[crop]) << "the mail's crop when its client returned";
    };

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const int mailCrop = round % 2, transferCrop = 1 - mailCrop;

        // A mail held open in its client while a transfer runs to the end.
        SetEnvironmentVariableA("QUORVEL_MAPI_HOLD_EVENT", "QuorvelMailTestHoldInterleave");
        sendMail(mailCrop);
        ASSERT_TRUE(PumpUntil([&] { return sendCalls() == mails; })) << "the mail reaches its client";
        ASSERT_TRUE(startTransfer(transferCrop));
        expectReceived(transferCrop);
        EXPECT_EQ(RunningMailThreads(), 1) << "the mail is still open";
        SetEvent(hold);
        expectAttached(mailCrop);
        ResetEvent(hold);
        SetEnvironmentVariableA("QUORVEL_MAPI_HOLD_EVENT", nullptr);

        // A transfer still sending while a mail is prepared and handed over.
        const int blocks = sim.TraceCount(" block_img ");
        ASSERT_TRUE(startTransfer(transferCrop));
        ASSERT_TRUE(PumpUntil([&] { return sim.TraceCount(" block_img ") > blocks; }));
        sendMail(mailCrop);
        ASSERT_TRUE(WaitForMailThreads(60000));
        EXPECT_TRUE(progress.IsWorkerRunning()) << "the mail was prepared while the transfer was sending";
        expectAttached(mailCrop);
        expectReceived(transferCrop);
    }

    channel.CloseChannel();
    progress.WaitForWorkerEnd();
    channel.WaitForWorkerEnd();
    progress.Destroy();
    DestroyWindow(main);
    CloseHandle(hold);
    Gdiplus::GdiplusShutdown(token);
}

// --- the other libraries -------------------------------------------------------

void ExpectWarningFromMailThread(const char* captureName) {
    std::string capturePath = StartCapture(captureName);
    HWND main = MakeMainWindow();
    auto job = std::make_unique<MailJob>();
    job->recipient = "hh@example.com";
    job->subject = "Quorvel Photos";
    job->owner = main;
    ASSERT_TRUE(StartMailThread(std::move(job)));
    MessageBoxSeen box;
    std::thread reader([&] { box = ReadAndDismissMessageBox(OwnedMessageBox(main)); });
    PumpUntil([&] { return box.found; }, 15000);
    reader.join();
    EXPECT_EQ(box.text, kMailFailedMessage);
    EXPECT_TRUE(box.hasIcon);
    EXPECT_TRUE(WaitForMailThreads());
    DestroyWindow(main);
}

std::wstring WideOf(const std::string& text, UINT codePage = CP_ACP) {
    std::wstring w(text.size(), L'\0');
    w.resize(static_cast<size_t>(MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &w[0],
                                                     static_cast<int>(w.size()))));
    return w;
}

// A picture named in characters no Western code page holds.
const char kForeignNameUtf8[] = "\xe5\x86\x99\xe7\x9c\x9f.jpg";  // 写真.jpg

std::wstring WriteForeignPicture() {
    const std::wstring path = WideOf(ProgramFolder()) + L"\\" + WideOf(kForeignNameUtf8, CP_UTF8);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(f, "one", 3, &written, nullptr);
    CloseHandle(f);
    return path;
}

CHILD_TEST(MailWithWide, AttachmentsGoUnderTheirOwnNames) {
    std::string capturePath = StartCapture("wide");
    const std::wstring picture = WriteForeignPicture();
    {
        MapiMailer mailer(nullptr);
        EXPECT_TRUE(mailer.SendWide("hh@example.com", "Quorvel Photos", "", {picture}));
    }
    Capture c = Capture::Read(capturePath);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMailW", "MAPILogoff"};
    EXPECT_EQ(c.Calls(), expectedCalls);
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "recipient.0.address"), "SMTP:hh@example.com");
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "recipient.0.name"), "hh@example.com");
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "message.subject"), "Quorvel Photos");
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "send.flags"), "8");
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "file.0.path"), ProgramFolder() + "\\" + kForeignNameUtf8);
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "file.0.name"), kForeignNameUtf8);
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "file.0.head"), Hex("one"));
    EXPECT_EQ(c.Get("MAPISendMailW", 0, "file.0.position"), "4294967295");
    DeleteFileW(picture.c_str());
}

// Without MAPISendMailW a name the ANSI code page holds goes by its ANSI
// path; one it cannot hold is not handed over at all.
CHILD_TEST(MailWithCapture, WithoutTheWideEntryPathsGoInAnsi) {
    std::string capturePath = StartCapture("ansi");
    const std::wstring foreign = WriteForeignPicture();
    const std::string plain = ProgramFolder() + "\\plain.jpg";
    WriteAll(plain, "two");
    {
        MapiMailer mailer(nullptr);
        EXPECT_FALSE(mailer.SendWide("hh@example.com", "s", "", {WideOf(plain), foreign}));
        EXPECT_TRUE(mailer.SendWide("hh@example.com", "s", "", {WideOf(plain)}));
    }
    Capture c = Capture::Read(capturePath);
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPISendMail", "MAPILogoff"};
    EXPECT_EQ(c.Calls(), expectedCalls);
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.path"), plain);
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.name"), "(null)");
    EXPECT_EQ(c.Get("MAPISendMail", 0, "file.0.head"), Hex("two"));
    DeleteFileW(foreign.c_str());
}

CHILD_TEST(MailWithoutSend, SendFailsButLogonAndLogoffHappen) {
    std::string capturePath = StartCapture("nosend");
    {
        MapiMailer mailer(nullptr);
        EXPECT_FALSE(mailer.Send("hh@example.com", "s", "", {}));
    }
    const std::vector<std::string> expectedCalls = {"MAPILogon", "MAPILogoff"};
    EXPECT_EQ(Capture::Read(capturePath).Calls(), expectedCalls);
    ExpectWarningFromMailThread("nosend-thread");
}

CHILD_TEST(MailWithoutMapi, SendFailsAndNothingIsLoaded) {
    std::string capturePath = StartCapture("nomapi");
    {
        MapiMailer mailer(nullptr);
        EXPECT_FALSE(mailer.Send("hh@example.com", "s", "", {}));
    }
    EXPECT_EQ(GetModuleHandleA("Mapi32.dll"), nullptr);
    EXPECT_FALSE(Exists(capturePath));  // the library beside the program stayed unloaded
    ExpectWarningFromMailThread("nomapi-thread");
}

// Wine's own Simple MAPI hands the mail to the desktop's mail program (and
// drops the attachments). Whatever it answers, the command must come back
// and the program must not hang; a failure is reported with the warning.
CHILD_TEST(MailWithPlatformMapi, HandOffEndsOneWayOrTheOther) {
    StartCapture("platform");
    HWND main = MakeMainWindow();
    auto job = std::make_unique<MailJob>();
    job->recipient = "hh@example.com";
    job->subject = "Quorvel Photos";
    job->owner = main;
    ASSERT_TRUE(StartMailThread(std::move(job)));
    MessageBoxSeen box;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop && !box.found) {
            HWND w = OwnedMessageBox(main, 200);
            if (w) box = ReadAndDismissMessageBox(w);
        }
    });
    EXPECT_TRUE(WaitForMailThreads(60000));
    stop = true;
    reader.join();
    if (box.found) {
        EXPECT_EQ(box.text, kMailFailedMessage);
    }
    std::printf("Wine's Simple MAPI %s the mail\n", box.found ? "refused" : "accepted");
    DestroyWindow(main);
}

// --- a restart in between --------------------------------------------------------

CHILD_TEST(MailRestart, ConfirmAddress) {
    StartCapture("restart1");
    DeleteFileA(AddressFile().c_str());
    HWND main = MakeMainWindow();
    DialogScript script;
    script.typeTo = "hh@example.com";
    DialogSeen seen = RunSendByMail(main, "C:\\p\\holiday.tif", SentFolder(),
                                    FakePreparation(SentFolder() + "\\holiday.jpg", "x", nullptr), script);
    EXPECT_EQ(seen.to, "");
    EXPECT_TRUE(WaitForMailThreads());
    DestroyWindow(main);
}

CHILD_TEST(MailRestart, OffersAddress) {
    StartCapture("restart2");
    HWND main = MakeMainWindow();
    DialogScript script;
    script.cancel = true;
    DialogSeen seen = RunSendByMail(main, "C:\\p\\holiday.tif", SentFolder(), nullptr, script);
    EXPECT_EQ(seen.to, "hh@example.com");
    EXPECT_EQ(seen.subject, "Quorvel Photos");
    DestroyWindow(main);
}

// Shows the dialog for a while so that a screenshot can be taken of it
// (QUORVEL_MAIL_SHOW_MS milliseconds); skipped otherwise.
CHILD_TEST(MailScreenshot, ShowDialog) {
    const std::string ms = Env("QUORVEL_MAIL_SHOW_MS");
    if (ms.empty()) GTEST_SKIP() << "QUORVEL_MAIL_SHOW_MS not set";
    WriteAll(AddressFile(), "handheld@example.com");
    HWND main = MakeMainWindow();
    std::thread closer([&] {
        HWND dlg = WaitForWindow([](HWND w) { return TextOf(w) == "Send by mail "; });
        Sleep(static_cast<DWORD>(std::stoul(ms)));
        if (dlg) PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    LoadedPicture picture;
    picture.path = L"C:\\p\\holiday.tif";
    SendPictureByMail(main, picture, tk::ToWide(SentFolder()), nullptr);
    closer.join();
    DestroyWindow(main);
}

}  // namespace
