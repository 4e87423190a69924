// The process shell: the one application object and its start routine.
#include "app/ZelpixApp.h"

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
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool IsAnotherInstanceRunning(const char* marker) {
    MarkerSearch search{marker, 0};
    ::EnumWindows(&FindMarkerInTitle, reinterpret_cast<LPARAM>(&search));
    return search.found != 0;
}

CZelpixApp::CZelpixApp() : m_imaging(new CImagingGuard()) {}

CZelpixApp::~CZelpixApp() { delete m_imaging; }

bool CZelpixApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    if (!::InitCommonControlsEx(&icc)) ::InitCommonControls();
    tk::CWinApp::InitInstance();
    EnableControlContainer();

    if (IsAnotherInstanceRunning(kInstanceMarker)) {
        ::MessageBoxA(nullptr, "Another instance of Quorvel Photo Manager is running!", "Quorvel Photo Manager", MB_OK);
        return false;
    }

    CZelpixDlg dlg(nullptr);
    SetMainWindow(&dlg);
    dlg.DoModal();
    SetMainWindow(nullptr);
    return false;
}

// The one application object of the process.
CZelpixApp theApp;
