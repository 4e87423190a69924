// The process entry: hands the process to the application object.
#include "toolkit/App.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    tk::CWinApp* app = tk::CWinApp::Get();
    if (!app) return 1;
    return app->Main(instance);
}
