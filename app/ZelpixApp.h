// The application object: starts the imaging service for the life of the
// process, refuses a second instance (app/Instance.h) or hands it the
// picture, and runs the main dialog modally.
#pragma once
#include "toolkit/App.h"
#include "toolkit/Handles.h"

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
    // Held for the whole run: it is what makes another start a second one.
    tk::UniqueHandle m_instanceMutex;
};
