// The simulated handheld's screen for demonstrations: a small window titled
// "Simulated handheld" whose client area has the handheld's screen size and
// shows the last picture the companion application received. It runs on its
// own thread with its own message loop, so it never waits for the program.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

namespace handheld_sim {

class ScreenWindow {
public:
    ScreenWindow(int width, int height);
    ~ScreenWindow();  // closes the window and waits for its thread

    // Shows the picture file (copied into memory, so the file stays free).
    void Show(const std::string& path);

private:
    void Run(HANDLE ready);

    int width_, height_;
    DWORD threadId_ = 0;
    std::thread thread_;
};

}  // namespace handheld_sim
