// The application object: starts the imaging service for the life of the
// process, refuses a second instance, and runs the main dialog modally.
#pragma once
#include "toolkit/App.h"

#include <string>

// Starts GDI+ at construction and stops it at destruction, only if starting
// it did not raise an exception.
class CImagingGuard {
public:
    CImagingGuard();
    virtual ~CImagingGuard();
    CImagingGuard(const CImagingGuard&) = delete;
    CImagingGuard& operator=(const CImagingGuard&) = delete;

    bool started;
    ULONG_PTR token;
};

class CZelpixApp : public tk::CWinApp {
public:
    CZelpixApp();
    ~CZelpixApp() override;
    bool InitInstance() override;

private:
    CImagingGuard* m_imaging;
};

// The text that marks a running instance in any top-level window's title.
extern const char* const kInstanceMarker;

// True when some top-level window's title holds `marker` (case-sensitive,
// anywhere in the title).
bool IsAnotherInstanceRunning(const char* marker);
// The first top-level window whose title holds `marker`, or null.
HWND FindInstanceWindow(const char* marker);
// Hands `path` to the instance that owns `found` (WM_COPYDATA to the main
// window at the root of its owners); true when that window took it.
bool HandPictureToInstance(HWND found, const std::string& path);
