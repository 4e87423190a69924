// The process shell: the one application object and its start routine.
#include "app/ZelpixApp.h"

#include "app/AnsiPath.h"
#include "app/StartArguments.h"
#include "resources/resource.h"
#include "ui/ZelpixDlg.h"

#include <gdiplus.h>

#include <cstring>
#include <vector>

const char* const kInstanceMarker = "Quorvel Photo Manager";

CImagingGuard::CImagingGuard() : started(true), token(0) {
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, thread and codecs not suppressed
    try {
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    } catch (...) {
        started = false;
    }
}

CImagingGuard::~CImagingGuard() {
    if (started) Gdiplus::GdiplusShutdown(token);
}

namespace {

struct MarkerSearch {
    const char* marker;
    int found;
    HWND window;
};

BOOL CALLBACK FindMarkerInTitle(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<MarkerSearch*>(param);
    int n = ::GetWindowTextLengthA(wnd);
    if (n < 0) n = 0;
    std::vector<char> title;
    try {
        title.assign(static_cast<size_t>(n) + 1, '\0');
    } catch (...) {
        return TRUE;  // no memory for this title: skip the window
    }
    ::GetWindowTextA(wnd, title.data(), n + 1);
    if (std::strstr(title.data(), search->marker) != nullptr) {
        search->found = 1;
        search->window = wnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindInstanceWindow(const char* marker) {
    MarkerSearch search{marker, 0, nullptr};
    ::EnumWindows(&FindMarkerInTitle, reinterpret_cast<LPARAM>(&search));
    return search.found != 0 ? search.window : nullptr;
}

bool IsAnotherInstanceRunning(const char* marker) { return FindInstanceWindow(marker) != nullptr; }

bool HandPictureToInstance(HWND found, const std::string& path) {
    // The title that matched may be a message box of the running instance;
    // the main window is at the root of its owners.
    HWND target = ::GetAncestor(found, GA_ROOTOWNER);
    if (!target) target = found;
    COPYDATASTRUCT copy{};
    copy.dwData = quorvel::kOpenPictureCopyTag;
    copy.cbData = static_cast<DWORD>(path.size());
    copy.lpData = const_cast<char*>(path.data());
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 15000,
                               &answer) ||
        answer != TRUE)
        return false;
    // This process was started by the user, so it may bring the window up.
    ::SetForegroundWindow(target);
    return true;
}


CZelpixApp::CZelpixApp() : m_imaging(new CImagingGuard()) {}

CZelpixApp::~CZelpixApp() { delete m_imaging; }

bool CZelpixApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    if (!::InitCommonControlsEx(&icc)) ::InitCommonControls();
    tk::CWinApp::InitInstance();
    EnableControlContainer();

    // A full path, so that an instance with another current folder finds it.
    const std::string picture = PictureFromProcessCommandLine();
    if (HWND running = FindInstanceWindow(kInstanceMarker)) {
        // A start with a picture hands it to the running instance and ends
        // quietly; when no instance takes it, the start is refused as usual.
        if (!picture.empty() && picture.size() <= quorvel::kMaxHandedPath && HandPictureToInstance(running, picture))
            return false;
        ::MessageBoxA(nullptr, "Another instance of Quorvel Photo Manager is running!", "Quorvel Photo Manager", MB_OK);
        return false;
    }

    CZelpixDlg dlg(nullptr);
    if (!picture.empty()) dlg.OpenPictureWhenFree(picture);
    SetMainWindow(&dlg);
    dlg.DoModal();
    SetMainWindow(nullptr);
    return false;
}

// The one application object of the process.
CZelpixApp theApp;
