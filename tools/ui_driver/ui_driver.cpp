// ui_driver: drives another process's windows for the end-to-end tests.
//
//   ui_driver wait TITLE [ms]         wait for a visible top-level window whose
//                                     title contains TITLE; print its title
//   ui_driver gone TITLE [ms]         wait until no such window is left
//   ui_driver hold TITLE [ms]         show a top-level window titled TITLE
//                                     until it is closed or for at most ms
//   ui_driver title TITLE             print the window's full title
//   ui_driver wtitle TITLE            the same, read in UTF-16, printed in UTF-8
//   ui_driver close TITLE             the close box (WM_SYSCOMMAND SC_CLOSE)
//   ui_driver click TITLE ID          click a button; fails when disabled
//                                     (the click is posted, so a modal window it
//                                     opens does not block the driver)
//   ui_driver enabled TITLE ID        print 1 or 0
//   ui_driver visible TITLE ID        print 1 or 0
//   ui_driver text TITLE ID           print a control's text
//   ui_driver settext TITLE ID TEXT   set a control's text
//   ui_driver status TITLE            print the status bar's simple text
//   ui_driver command TITLE ID        post WM_COMMAND ID (menu entries)
//   ui_driver key TITLE KEY           press a key in the window: return, escape,
//                                     tab, space, plus, minus, add, subtract (keypad),
//                                     left, right, up, down, ctrl+o
//   ui_driver shortcut LNK            print a shortcut's target and its
//                                     arguments, one a line
//   ui_driver drop TITLE ID PATH...   drop files on child ID (0: the window):
//                                     a DROPFILES block in the program's own
//                                     memory, sent as WM_DROPFILES to the
//                                     first window from ID up that accepts
//                                     files, as the shell does; fails when
//                                     none does
//   ui_driver rect TITLE [ID]         print a window's screen rectangle: l t r b
//   ui_driver client TITLE [ID]       print a window's client size: w h
//   ui_driver msgbox TITLE [ms]       wait for a message box, print its text,
//                                     and dismiss it with its first button
//   ui_driver peekbox TITLE [ms]      wait for a message box and print its text,
//                                     leaving it open
//   ui_driver owner TITLE             print the title of the window's owner,
//                                     or "(none)" for an ownerless window
//   ui_driver focus TITLE             print the control id of the keyboard
//                                     focus in the window's thread (0: none)
//   ui_driver treestate TITLE ID N    print the state image index (its tick box)
//                                     of item N (from 0) at the top of tree ID
//   ui_driver scroll TITLE ID BAR     print a scroll bar's min max page pos
//                                     of child ID (BAR is h or v)
//   ui_driver drag TITLE ID DX DY     drag with the left button inside child ID
//   ui_driver sendscroll TITLE ID h|v CODE  send a scroll request (SB_* code)
//   ui_driver children TITLE          list child windows: id class text rect
//   ui_driver openfile TITLE PATH [ms] wait for a file dialog titled TITLE,
//                                     type PATH as the file name and press Open
//   ui_driver hover TITLE ID          move the mouse pointer onto the control's centre
//   ui_driver park X Y                move the mouse pointer to screen point X, Y
//   ui_driver sample TITLE ID [INSET] print the mean brightness (0..765) and a
//                                     hash of the control's pixels on the screen
//                                     (its rectangle shrunk by INSET pixels)
//   ui_driver glide TITLE ID [X Y]    move the real mouse along a path to child
//                                     ID's centre, or to X, Y from its top-left
//   ui_driver mouseclick TITLE ID [X Y]  the same, then a left click there
//   ui_driver tip TEXT [ms]           wait for a visible HTML tooltip whose text
//                                     contains TEXT; print its text and rectangle
//   ui_driver notip - [ms]            wait until no HTML tooltip is visible
//   ui_driver endsession TITLE        send WM_QUERYENDSESSION (print its answer)
//                                     and, when allowed, WM_ENDSESSION, as a log
//                                     off does
//   ui_driver responsive TITLE TEXT [ms]  send the window a message every 20 ms
//                                     until its title holds TEXT; print the
//                                     longest answer time in ms and the count
//
// TITLE is matched as a case-sensitive substring; exit code 0 on success,
// 1 when the window or control was not found in time, 2 for bad arguments,
// 3 when the control is disabled.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Search {
    const char* title;
    HWND found;
    bool dialogsOnly;
};

std::string TitleOf(HWND wnd) {
    int n = GetWindowTextLengthA(wnd);
    std::vector<char> buf(static_cast<size_t>(n < 0 ? 0 : n) + 1, '\0');
    GetWindowTextA(wnd, buf.data(), n + 1);
    return buf.data();
}

BOOL CALLBACK FindProc(HWND wnd, LPARAM param) {
    auto* s = reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(wnd)) return TRUE;
    if (s->dialogsOnly) {
        char cls[64] = {};
        GetClassNameA(wnd, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") != 0) return TRUE;
        // A message box: no menu bar, and an OK or Cancel button.
        if (GetMenu(wnd) || (!GetDlgItem(wnd, IDOK) && !GetDlgItem(wnd, IDCANCEL))) return TRUE;
    }
    if (TitleOf(wnd).find(s->title) != std::string::npos) {
        s->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindTop(const char* title, bool dialogsOnly = false) {
    Search s{title, nullptr, dialogsOnly};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND WaitTop(const char* title, DWORD ms, bool dialogsOnly = false) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND w = FindTop(title, dialogsOnly);
        if (w) return w;
        if (GetTickCount() - start > ms) return nullptr;
        Sleep(50);
    }
}

HWND Child(HWND top, int id) {
    if (id == 0) return top;
    HWND c = GetDlgItem(top, id);
    if (c) return c;
    // Look deeper: controls of child dialogs (the preview panes).
    struct Deep { int id; HWND found; } d{id, nullptr};
    EnumChildWindows(top, [](HWND w, LPARAM p) -> BOOL {
        auto* dd = reinterpret_cast<Deep*>(p);
        if (GetDlgCtrlID(w) == dd->id) { dd->found = w; return FALSE; }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&d));
    return d.found;
}

int Fail(const char* what) {
    std::fprintf(stderr, "ui_driver: %s\n", what);
    return 1;
}

std::string StatusText(HWND bar) {
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!proc) {
        std::fprintf(stderr, "ui_driver: OpenProcess failed (%lu)\n", GetLastError());
        return std::string();
    }
    // The text is copied into a buffer of the program's own process.
    const SIZE_T size = 4096;
    void* remote = VirtualAllocEx(proc, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    std::string out;
    if (remote) {
        // Wine keeps a simple bar's text in part 0 and answers the simple
        // part's id (255) with nothing, so both are asked.
        for (WPARAM part : {WPARAM(255), WPARAM(0)}) {
            std::vector<char> zeros(size, '\0');
            SIZE_T done = 0;
            WriteProcessMemory(proc, remote, zeros.data(), size, &done);
            SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote));
            std::vector<char> buf(size, '\0');
            SIZE_T got = 0;
            ReadProcessMemory(proc, remote, buf.data(), size - 1, &got);
            out = buf.data();
            if (!out.empty()) break;
        }
        VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    }
    CloseHandle(proc);
    return out;
}

HWND FindStatusBar(HWND top) {
    HWND bar = FindWindowExA(top, nullptr, STATUSCLASSNAMEA, nullptr);
    return bar;
}

// Moves the pointer as a user would: a jump and a one-pixel step, so that
// the window below sees mouse moves.
void MovePointer(int x, int y) {
    SetCursorPos(x - 1, y);
    Sleep(30);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = 1;
    in.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &in, sizeof in);
    Sleep(30);
    SetCursorPos(x, y);
}

// Mean brightness and FNV-1a hash of a screen rectangle.
bool SampleScreen(const RECT& r, double* mean, unsigned* hash) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, section);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const unsigned* px = static_cast<const unsigned*>(bits);
    double sum = 0;
    unsigned fnv = 2166136261u;
    for (int i = 0; i < w * h; ++i) {
        unsigned p = px[i] & 0xFFFFFF;
        sum += (p & 0xFF) + ((p >> 8) & 0xFF) + (p >> 16);
        fnv = (fnv ^ p) * 16777619u;
    }
    SelectObject(mem, old);
    DeleteObject(section);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    *mean = sum / (w * h);
    *hash = fnv;
    return true;
}

void PressKey(HWND top, WORD vk, WORD modifier = 0) {
    SetForegroundWindow(top);
    Sleep(100);
    std::vector<INPUT> in;
    auto add = [&](WORD key, DWORD flags) {
        INPUT i = {};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = key;
        i.ki.dwFlags = flags;
        in.push_back(i);
    };
    if (modifier) add(modifier, 0);
    add(vk, 0);
    add(vk, KEYEVENTF_KEYUP);
    if (modifier) add(modifier, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    Sleep(200);
}

// Drops `paths` on `target` the way the shell hands files over: a DROPFILES
// block (UTF-16 names, each ending in a zero, a zero after the last) that the
// receiving process reads through DragQueryFile. The block is written into
// the program's own memory, behind a zeroed lead so that the program's
// DragFinish meets no heap block header there, and freed after the
// synchronous send.
int DropFiles(HWND target, const std::vector<std::wstring>& paths) {
    std::vector<char> block(sizeof(DROPFILES), '\0');
    auto* header = reinterpret_cast<DROPFILES*>(block.data());
    header->pFiles = sizeof(DROPFILES);
    RECT r{};
    GetClientRect(target, &r);
    header->pt.x = r.right / 2;
    header->pt.y = r.bottom / 2;
    header->fNC = FALSE;
    header->fWide = TRUE;
    for (const std::wstring& p : paths) {
        const char* bytes = reinterpret_cast<const char*>(p.c_str());
        block.insert(block.end(), bytes, bytes + (p.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), '\0');

    DWORD pid = 0;
    GetWindowThreadProcessId(target, &pid);
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!proc) return Fail("OpenProcess failed");
    const SIZE_T lead = 64;
    char* remote = static_cast<char*>(VirtualAllocEx(proc, nullptr, lead + block.size(), MEM_COMMIT, PAGE_READWRITE));
    if (!remote) { CloseHandle(proc); return Fail("VirtualAllocEx failed"); }
    std::vector<char> zeros(lead, '\0');
    SIZE_T done = 0;
    WriteProcessMemory(proc, remote, zeros.data(), lead, &done);
    WriteProcessMemory(proc, remote + lead, block.data(), block.size(), &done);
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote + lead), 0,
                                       SMTO_NORMAL, 20000, &result);
    VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    CloseHandle(proc);
    return sent ? 0 : Fail("drop not answered");
}

// Real mouse input, as the user's hand makes it: the system routes it to
// whatever window lies under the cursor.
void MouseTo(int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

void LeftClick() {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, in, sizeof(INPUT));
}

struct TipSearch {
    const char* text;
    HWND found;
};

HWND FindTip(const char* text) {
    TipSearch s{text, nullptr};
    EnumWindows([](HWND w, LPARAM p) -> BOOL {
        auto* ts = reinterpret_cast<TipSearch*>(p);
        char cls[32] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (std::strcmp(cls, "CHtToolTip") != 0 || !IsWindowVisible(w)) return TRUE;
        if (TitleOf(w).find(ts->text) == std::string::npos) return TRUE;
        ts->found = w;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string cmd = argv[1];
    const char* title = argv[2];
    auto arg = [&](int i) -> const char* { return i < argc ? argv[i] : nullptr; };
    DWORD waitMs = 10000;

    if (cmd == "park") {
        if (!arg(3)) return 2;
        MovePointer(std::atoi(arg(2)), std::atoi(arg(3)));
        return 0;
    }

    if (cmd == "hold") {
        // A window of our own with that title, as another program might show.
        HWND w = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 300, 80, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!w) return Fail("cannot create the window");
        const DWORD start = GetTickCount();
        const DWORD ms = arg(3) ? static_cast<DWORD>(std::atoi(arg(3))) : waitMs;
        while (IsWindow(w) && GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        if (IsWindow(w)) DestroyWindow(w);
        return 0;
    }
    if (cmd == "settle") {
        // Every visible top-level window has handled what was sent to it and
        // painted what is invalid, so a capture shows the settled screen.
        EnumWindows([](HWND w, LPARAM) -> BOOL {
            if (!IsWindowVisible(w)) return TRUE;
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
            RedrawWindow(w, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            return TRUE;
        }, 0);
        return 0;
    }
    if (cmd == "wait") {
        if (arg(3)) waitMs = static_cast<DWORD>(std::atoi(arg(3)));
        HWND w = WaitTop(title, waitMs);
        if (!w) return Fail("window not found");
        std::printf("%s\n", TitleOf(w).c_str());
        return 0;
    }
    if (cmd == "gone") {
        if (arg(3)) waitMs = static_cast<DWORD>(std::atoi(arg(3)));
        DWORD start = GetTickCount();
        while (FindTop(title)) {
            if (GetTickCount() - start > waitMs) return Fail("window still there");
            Sleep(50);
        }
        return 0;
    }
    if (cmd == "shortcut") {
        // TITLE is the shortcut file here.
        CoInitialize(nullptr);
        IShellLinkA* link = nullptr;
        IPersistFile* file = nullptr;
        int rc = 1;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH] = {};
            MultiByteToWideChar(CP_ACP, 0, title, -1, wide, MAX_PATH);
            char target[MAX_PATH] = {}, args[1024] = {};
            if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
                link->GetArguments(args, sizeof args);
                std::printf("%s\n%s\n", target, args);
                rc = 0;
            }
        }
        if (file) file->Release();
        if (link) link->Release();
        CoUninitialize();
        return rc == 0 ? 0 : Fail("shortcut not readable");
    }
    if (cmd == "openfile") {
        if (!arg(3)) return 2;
        if (arg(4)) waitMs = static_cast<DWORD>(std::atoi(arg(4)));
        HWND dlg = WaitTop(title, waitMs);
        if (!dlg) return Fail("file dialog not found");
        // The file name box: the combo box 0x47C of the Explorer-style
        // dialog, or the edit 0x480 of the old style.
        struct Find { HWND edit; } f{nullptr};
        EnumChildWindows(dlg, [](HWND w, LPARAM p) -> BOOL {
            char cls[32] = {};
            GetClassNameA(w, cls, sizeof cls);
            int id = GetDlgCtrlID(w);
            if (std::strcmp(cls, "Edit") == 0 && (id == 0x47C || id == 0x480)) {
                reinterpret_cast<Find*>(p)->edit = w;
                return FALSE;
            }
            return TRUE;
        }, reinterpret_cast<LPARAM>(&f));
        HWND name = f.edit ? f.edit : GetDlgItem(dlg, 0x47C);
        if (!name) name = GetDlgItem(dlg, 0x480);
        if (!name) return Fail("no file name box");
        Sleep(300);
        SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(3)));
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
        return 0;
    }
    if (cmd == "region") {
        HWND top = WaitTop(title, waitMs);
        if (!top) return Fail("window not found");
        HWND ctl = Child(top, arg(3) ? std::atoi(arg(3)) : 0);
        if (!ctl) return Fail("control not found");
        HRGN rgn = CreateRectRgn(0, 0, 0, 0);
        int kind = GetWindowRgn(ctl, rgn);
        if (kind == ERROR) { DeleteObject(rgn); return Fail("no window region"); }
        DWORD size = GetRegionData(rgn, 0, nullptr);
        std::vector<char> data(size);
        auto* rd = reinterpret_cast<RGNDATA*>(data.data());
        GetRegionData(rgn, size, rd);
        const RECT* rects = reinterpret_cast<const RECT*>(rd->Buffer);
        for (DWORD i = 0; i < rd->rdh.nCount; ++i)
            std::printf("%ld %ld %ld %ld\n", rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
        DeleteObject(rgn);
        return 0;
    }
    if (cmd == "tip" || cmd == "notip") {
        if (arg(3)) waitMs = static_cast<DWORD>(std::atoi(arg(3)));
        const char* text = cmd == "tip" ? title : "";
        DWORD start = GetTickCount();
        for (;;) {
            HWND tip = FindTip(text);
            if (cmd == "tip" && tip) {
                RECT r{};
                GetWindowRect(tip, &r);
                std::printf("%s\n%ld %ld %ld %ld\n", TitleOf(tip).c_str(), r.left, r.top, r.right, r.bottom);
                return 0;
            }
            if (cmd == "notip" && !tip) return 0;
            if (GetTickCount() - start > waitMs) return Fail(cmd == "tip" ? "no tooltip" : "tooltip still shown");
            Sleep(20);
        }
    }
    if (cmd == "msgbox" || cmd == "peekbox") {
        if (arg(3)) waitMs = static_cast<DWORD>(std::atoi(arg(3)));
        HWND box = WaitTop(title, waitMs, true);
        if (!box) return Fail("message box not found");
        HWND text = GetDlgItem(box, 0xFFFF);
        std::printf("%s\n", text ? TitleOf(text).c_str() : "");
        if (cmd == "peekbox") return 0;
        // The first push button of the box (OK for an OK box).
        for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
            if (GetDlgItem(box, id)) {
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
                break;
            }
        }
        return 0;
    }

    HWND top = WaitTop(title, waitMs);
    if (!top) return Fail("window not found");
    int id = arg(3) ? std::atoi(arg(3)) : 0;

    if (cmd == "title") { std::printf("%s\n", TitleOf(top).c_str()); return 0; }
    if (cmd == "wtitle") {
        std::wstring w(static_cast<size_t>(GetWindowTextLengthW(top)) + 1, L'\0');
        w.resize(static_cast<size_t>(GetWindowTextW(top, &w[0], static_cast<int>(w.size()))));
        std::string utf8(w.size() * 3 + 1, '\0');
        utf8.resize(static_cast<size_t>(
            WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &utf8[0], static_cast<int>(utf8.size()),
                                nullptr, nullptr)));
        std::printf("%s\n", utf8.c_str());
        return 0;
    }
    if (cmd == "owner") {
        HWND owner = GetWindow(top, GW_OWNER);
        std::printf("%s\n", owner ? TitleOf(owner).c_str() : "(none)");
        return 0;
    }
    if (cmd == "focus") {
        GUITHREADINFO info{sizeof info};
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return Fail("no thread information");
        std::printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
        return 0;
    }
    if (cmd == "close") { PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0); return 0; }
    if (cmd == "endsession") {
        DWORD_PTR allowed = 0;
        if (!SendMessageTimeoutA(top, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &allowed))
            return Fail("no answer to WM_QUERYENDSESSION");
        std::printf("%d\n", allowed ? 1 : 0);
        DWORD_PTR ignored = 0;
        // The answer may never come: the program ends while handling it.
        if (allowed) SendMessageTimeoutA(top, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &ignored);
        return 0;
    }
    if (cmd == "responsive") {
        const char* text = arg(3);
        if (!text) return 2;
        const DWORD ms = arg(4) ? static_cast<DWORD>(std::atoi(arg(4))) : 60000;
        const DWORD start = GetTickCount();
        DWORD longest = 0, pings = 0;
        bool reached = false;
        while (!reached && GetTickCount() - start < ms) {
            const DWORD sent = GetTickCount();
            DWORD_PTR ignored = 0;
            if (!SendMessageTimeoutA(top, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored)) return Fail("no answer");
            longest = std::max<DWORD>(longest, GetTickCount() - sent);
            ++pings;
            reached = TitleOf(top).find(text) != std::string::npos;
            Sleep(20);
        }
        std::printf("%lu %lu\n", static_cast<unsigned long>(longest), static_cast<unsigned long>(pings));
        return reached ? 0 : Fail("the title never held the text");
    }
    if (cmd == "status") {
        HWND bar = FindStatusBar(top);
        if (!bar) return Fail("no status bar");
        std::printf("%s\n", StatusText(bar).c_str());
        return 0;
    }
    if (cmd == "command") { PostMessageA(top, WM_COMMAND, MAKEWPARAM(id, 0), 0); return 0; }
    if (cmd == "key") {
        std::string k = arg(3) ? arg(3) : "";
        struct { const char* name; WORD vk; WORD modifier; } keys[] = {
            {"return", VK_RETURN, 0}, {"escape", VK_ESCAPE, 0}, {"tab", VK_TAB, 0}, {"space", VK_SPACE, 0},
            {"plus", VK_OEM_PLUS, VK_SHIFT}, {"minus", VK_OEM_MINUS, 0},
            {"add", VK_ADD, 0}, {"subtract", VK_SUBTRACT, 0},
            {"left", VK_LEFT, 0}, {"right", VK_RIGHT, 0}, {"up", VK_UP, 0}, {"down", VK_DOWN, 0},
            {"ctrl+o", 'O', VK_CONTROL},
        };
        for (const auto& key : keys) {
            if (k == key.name) {
                PressKey(top, key.vk, key.modifier);
                return 0;
            }
        }
        return 2;
    }
    if (cmd == "children") {
        EnumChildWindows(top, [](HWND w, LPARAM) -> BOOL {
            char cls[64] = {};
            GetClassNameA(w, cls, sizeof cls);
            RECT r{};
            GetWindowRect(w, &r);
            std::printf("%d %s \"%s\" %ld %ld %ld %ld %s %s\n", GetDlgCtrlID(w), cls, TitleOf(w).c_str(), r.left, r.top,
                        r.right, r.bottom, IsWindowVisible(w) ? "visible" : "hidden",
                        IsWindowEnabled(w) ? "enabled" : "disabled");
            return TRUE;
        }, 0);
        return 0;
    }

    HWND ctl = Child(top, id);
    if (!ctl) return Fail("control not found");
    if (cmd == "drop") {
        // The names as typed, in UTF-16, whatever the ANSI code page holds.
        int wargc = 0;
        LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
        std::vector<std::wstring> paths;
        for (int i = 4; wargv && i < wargc; ++i) paths.push_back(wargv[i]);
        if (wargv) LocalFree(wargv);
        if (paths.empty()) return 2;
        HWND target = ctl;
        while (target && !(GetWindowLongA(target, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) target = GetParent(target);
        if (!target) return Fail("no window there accepts files");
        return DropFiles(target, paths);
    }
    if (cmd == "rect") {
        RECT r{};
        GetWindowRect(ctl, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (cmd == "client") {
        RECT r{};
        GetClientRect(ctl, &r);
        std::printf("%ld %ld\n", r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (cmd == "hover") {
        RECT r{};
        GetWindowRect(ctl, &r);
        MovePointer((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (cmd == "sample") {
        RECT r{};
        GetWindowRect(ctl, &r);
        if (arg(4)) InflateRect(&r, -std::atoi(arg(4)), -std::atoi(arg(4)));
        double mean = 0;
        unsigned hash = 0;
        if (!SampleScreen(r, &mean, &hash)) return Fail("nothing to sample");
        std::printf("%.0f %08x\n", mean, hash);
        return 0;
    }
    if (cmd == "treestate") {
        // Handles and the returned state travel in the message itself, so
        // no memory of the other process is needed.
        const int n = arg(4) ? std::atoi(arg(4)) : 0;
        LRESULT item = SendMessageA(ctl, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        for (int i = 0; item && i < n; ++i) item = SendMessageA(ctl, TVM_GETNEXTITEM, TVGN_NEXT, item);
        if (!item) return Fail("no such tree item");
        const LRESULT state = SendMessageA(ctl, TVM_GETITEMSTATE, static_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
        std::printf("%ld\n", static_cast<long>((state & TVIS_STATEIMAGEMASK) >> 12));
        return 0;
    }
    if (cmd == "enabled") { std::printf("%d\n", IsWindowEnabled(ctl) ? 1 : 0); return 0; }
    if (cmd == "visible") { std::printf("%d\n", IsWindowVisible(ctl) ? 1 : 0); return 0; }
    if (cmd == "text") {
        // GetWindowText does not ask another process's controls; WM_GETTEXT does.
        char buf[4096] = {};
        SendMessageA(ctl, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
        std::printf("%s\n", buf);
        return 0;
    }
    if (cmd == "settext") {
        if (!arg(4)) return 2;
        SendMessageA(ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(4)));
        return 0;
    }
    if (cmd == "click") {
        // Wine answers BM_CLICK on a disabled button with BN_CLICKED, so the
        // enabled state is checked here.
        if (!IsWindowEnabled(ctl)) {
            Fail("control disabled");
            return 3;
        }
        PostMessageA(GetParent(ctl), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ctl), BN_CLICKED), reinterpret_cast<LPARAM>(ctl));
        return 0;
    }
    if (cmd == "scroll") {
        std::string bar = arg(4) ? arg(4) : "h";
        SCROLLINFO si{sizeof si, SIF_ALL};
        if (!GetScrollInfo(ctl, bar == "v" ? SB_VERT : SB_HORZ, &si)) return Fail("no scroll bar");
        std::printf("%d %d %u %d\n", si.nMin, si.nMax, si.nPage, si.nPos);
        return 0;
    }
    if (cmd == "sendscroll") {
        if (!arg(5)) return 2;
        bool vertical = std::string(arg(4)) == "v";
        SendMessageA(ctl, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(std::atoi(arg(5)), 0), 0);
        return 0;
    }
    if (cmd == "glide" || cmd == "mouseclick") {
        RECT r{};
        GetWindowRect(ctl, &r);
        int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
        if (arg(5)) {
            x = r.left + std::atoi(arg(4));
            y = r.top + std::atoi(arg(5));
        }
        // Along a path, in small steps, as a hand moves.
        POINT from{};
        GetCursorPos(&from);
        const int steps = 8;
        for (int i = 1; i <= steps; ++i) {
            MouseTo(from.x + (x - from.x) * i / steps, from.y + (y - from.y) * i / steps);
            Sleep(15);
        }
        if (cmd == "mouseclick") {
            Sleep(100);
            LeftClick();
        }
        return 0;
    }
    if (cmd == "drag") {
        if (!arg(5)) return 2;
        int dx = std::atoi(arg(4)), dy = std::atoi(arg(5));
        RECT r{};
        GetClientRect(ctl, &r);
        int x = (r.right - r.left) / 2, y = (r.bottom - r.top) / 2;
        SendMessageA(ctl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        const int steps = 5;
        for (int i = 1; i <= steps; ++i)
            SendMessageA(ctl, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx * i / steps, y + dy * i / steps));
        SendMessageA(ctl, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y + dy));
        return 0;
    }
    return 2;
}
