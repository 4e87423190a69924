// The process shell: the one application object and its start routine.
#include "app/ZelpixApp.h"

#include "app/CommandLinePicture.h"
#include "app/Instance.h"
#include "app/StartArguments.h"
#include "mail/SendByMail.h"
#include "resources/resource.h"
#include "ui/ZelpixDlg.h"

#include <gdiplus.h>

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

// A second start may come while the first one is still making its window,
// or at a moment it cannot take the picture: it tries for ten seconds.
bool HandToRunningInstance(const std::wstring& picture) {
    const ULONGLONG end = ::GetTickCount64() + 10000;
    do {
        if (HWND found = quorvel::FindRunningMainWindow())
            if (quorvel::HandPictureToInstance(found, picture)) return true;
        ::Sleep(100);
    } while (::GetTickCount64() < end);
    return false;
}

} // namespace

CZelpixApp::CZelpixApp() : m_imaging(new CImagingGuard()) {}

CZelpixApp::~CZelpixApp() {
    // A mail whose client is still open, or a decode the program did not
    // wait for, keeps using the imaging service; the process ends around
    // them, so it is left running.
    if (RunningMailThreads() == 0 && CPictureDecoder::RunningThreads() == 0) delete m_imaging;
}

bool CZelpixApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    if (!::InitCommonControlsEx(&icc)) ::InitCommonControls();
    tk::CWinApp::InitInstance();
    EnableControlContainer();

    // A full path, so that an instance with another current folder finds it.
    const std::wstring picture = PictureFromProcessCommandLine();
    bool another = false;
    m_instanceMutex = quorvel::ClaimInstance(&another);
    if (another) {
        // A start with a picture hands it to the running instance and ends
        // quietly; when no instance takes it, the start is refused as usual.
        if (!picture.empty() && HandToRunningInstance(picture)) return false;
        ::MessageBoxA(nullptr, "Another instance of Quorvel Photo Manager is running!", "Quorvel Photo Manager", MB_OK);
        return false;
    }
    // Copies that mails of an earlier run left to their clients.
    RemoveLeftoverMailCopies();

    CZelpixDlg dlg(nullptr);
    if (!picture.empty()) dlg.OpenPictureWhenFree(picture);
    SetMainWindow(&dlg);
    dlg.DoModal();
    SetMainWindow(nullptr);
    return false;
}

// The one application object of the process.
CZelpixApp theApp;
