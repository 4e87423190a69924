// Picture window of the simulated handheld; see screen_window_win.h.
#include "screen_window_win.h"

#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "sim_win.h"

namespace handheld_sim {
namespace {

const UINT kMsgShow = WM_APP + 1;   // lParam: heap std::string* path
const UINT kMsgClose = WM_APP + 2;
const char kClassName[] = "QuorvelSimulatedHandheld";

struct WindowState {
    int width = 320;
    int height = 240;
    HBITMAP screen = nullptr;  // what the screen shows, width x height
};

LRESULT CALLBACK ScreenProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
            break;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (state && state->screen) {
                HDC mem = CreateCompatibleDC(dc);
                HGDIOBJ old = SelectObject(mem, state->screen);
                BitBlt(dc, 0, 0, state->width, state->height, mem, 0, 0, SRCCOPY);
                SelectObject(mem, old);
                DeleteDC(mem);
            } else {
                RECT rc;
                GetClientRect(hwnd, &rc);
                FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CLOSE:
            ShowWindow(hwnd, SW_HIDE);  // the channel decides when it goes
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// Draws the picture file at its natural size into a new black screen bitmap.
HBITMAP RenderScreen(const std::string& path, int width, int height) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD size = GetFileSize(file, nullptr);
    HGLOBAL global = (size != INVALID_FILE_SIZE && size > 0) ? GlobalAlloc(GMEM_MOVEABLE, size) : nullptr;
    DWORD got = 0;
    bool ok = false;
    if (global) {
        void* p = GlobalLock(global);
        ok = ReadFile(file, p, size, &got, nullptr) && got == size;
        GlobalUnlock(global);
    }
    CloseHandle(file);
    if (!ok) {
        if (global) GlobalFree(global);
        return nullptr;
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(global, TRUE, &stream))) {
        GlobalFree(global);
        return nullptr;
    }

    HDC screenDc = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screenDc, width, height);
    ReleaseDC(nullptr, screenDc);
    if (bitmap) {
        HDC mem = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(mem, bitmap);
        RECT rc = {0, 0, width, height};
        FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        {
            Gdiplus::Bitmap picture(stream);
            if (picture.GetLastStatus() == Gdiplus::Ok) {
                Gdiplus::Graphics g(mem);
                g.DrawImage(&picture, 0, 0, static_cast<INT>(picture.GetWidth()),
                            static_cast<INT>(picture.GetHeight()));
            }
        }
        SelectObject(mem, old);
        DeleteDC(mem);
    }
    stream->Release();
    return bitmap;
}

}  // namespace

ScreenWindow::ScreenWindow(int width, int height) : width_(width), height_(height) {
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] { Run(ready); });
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
}

ScreenWindow::~ScreenWindow() {
    if (threadId_) PostThreadMessageA(threadId_, kMsgClose, 0, 0);
    if (thread_.joinable()) thread_.join();
}

void ScreenWindow::Show(const std::string& path) {
    auto* copy = new std::string(path);
    if (!threadId_ || !PostThreadMessageA(threadId_, kMsgShow, 0, reinterpret_cast<LPARAM>(copy)))
        delete copy;
}

void ScreenWindow::Run(HANDLE ready) {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue before anyone posts
    threadId_ = GetCurrentThreadId();

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    const bool gdiplus = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;

    WindowState state;
    state.width = width_;
    state.height = height_;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = ScreenProc;
    wc.hInstance = g_module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);  // may exist already from an earlier channel

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT rc = {0, 0, width_, height_};
    AdjustWindowRect(&rc, style, FALSE);
    HWND hwnd = CreateWindowExA(0, kClassName, "Simulated handheld", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, g_module, &state);
    if (hwnd) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    SetEvent(ready);

    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kMsgClose) break;
        if (msg.hwnd == nullptr && msg.message == kMsgShow) {
            std::unique_ptr<std::string> path(reinterpret_cast<std::string*>(msg.lParam));
            if (gdiplus && hwnd) {
                if (HBITMAP fresh = RenderScreen(*path, width_, height_)) {
                    if (state.screen) DeleteObject(state.screen);
                    state.screen = fresh;
                    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
                    InvalidateRect(hwnd, nullptr, FALSE);
                }
            }
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // Paths still queued are freed with their messages.
    while (PeekMessageA(&msg, nullptr, kMsgShow, kMsgShow, PM_REMOVE))
        if (msg.hwnd == nullptr) delete reinterpret_cast<std::string*>(msg.lParam);

    if (hwnd) DestroyWindow(hwnd);
    if (state.screen) DeleteObject(state.screen);
    if (gdiplus) Gdiplus::GdiplusShutdown(token);
}

}  // namespace handheld_sim
