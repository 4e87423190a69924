// The application base. One object of a subclass exists per process (a
// static); the process entry calls its initialisation step once. A true
// result runs a message loop until a quit request; a false result ends the
// process through the exit step with no loop at all.
#pragma once
#include "toolkit/Win.h"

namespace tk {

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    static CWinApp* Get();

    HINSTANCE Instance() const { return m_instance; }
    void SetInstance(HINSTANCE instance) { m_instance = instance; }

    // The window the application regards as its main window.
    void SetMainWindow(CWnd* wnd) { m_mainWnd = wnd; }
    CWnd* MainWindow() const { return m_mainWnd; }

    // Switches on support for hosting embedded controls: COM is made ready
    // on the main thread so that templates could host them.
    void EnableControlContainer();

    // The initialisation step; the base does the toolkit's own set-up.
    virtual bool InitInstance();
    // The exit step; its result is the process exit code.
    virtual int ExitInstance();
    // The message loop for applications whose initialisation returned true.
    int Run();
    // The standard Help command.
    virtual void OnHelp() {}

    // Runs the whole life of the application (the process entry calls it).
    int Main(HINSTANCE instance);

private:
    HINSTANCE m_instance = nullptr;
    CWnd* m_mainWnd = nullptr;
    bool m_oleStarted = false;
};

} // namespace tk
