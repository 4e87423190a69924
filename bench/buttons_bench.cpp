// buttons_bench - time to paint the main window's eight textured image
// buttons, next to a plain DrawIconEx of the same eight icons on the same
// windows (the least any icon button can cost). A button draws each state's
// face once and repaints it with one copy, so a warm paint is held to at
// most twice the icons' cost.
//
// The buttons are those of the main dialog's template, set up as the main
// window sets them up (flat, centred icon pair, texture style 6). Each round
// paints all eight into their own window device contexts. The first round in
// the process is the cold figure (it draws each button's face); warm is the
// best of the following rounds. After timing, each step is checked to have
// drawn: the buttons their texture and icon, the reference its icons.
//
// A Windows program; run it under Wine on a display (scripts/test's Xvfb):
//   wine build/win/bin/buttons_bench.exe [ROUNDS]
#include "resources/resource.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"
#include "ui/ImageButton.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

struct Look {
    int id, enabled, disabled;
};
const Look kLooks[] = {
    {IDC_OPEN_PICTURE, IDI_OPEN_PICTURE, IDI_OPEN_PICTURE_DISABLED},
    {IDC_SEND_BY_MAIL, IDI_SEND_BY_MAIL, IDI_SEND_BY_MAIL_DISABLED},
    {IDC_SEND_TO_DEVICE, IDI_SEND_TO_DEVICE, IDI_SEND_TO_DEVICE_DISABLED},
    {IDC_IMAGE_SIZE, IDI_IMAGE_SIZE, IDI_IMAGE_SIZE_DISABLED},
    {IDC_ZOOM_IN, IDI_ZOOM_IN, IDI_ZOOM_IN_DISABLED},
    {IDC_ZOOM_OUT, IDI_ZOOM_OUT, IDI_ZOOM_OUT_DISABLED},
    {IDC_CONNECT, IDI_CONNECT, IDI_CONNECT_DISABLED},
    {IDC_DISCONNECT, IDI_DISCONNECT, IDI_DISCONNECT_DISABLED},
};

class Toolbar : public tk::CDialog {
public:
    Toolbar() : tk::CDialog(IDD_MAIN) {
        for (int i = 0; i < 8; ++i) Bind(kLooks[i].id, buttons[i]);
    }
    CTexturedIconButton buttons[8];

protected:
    BOOL OnInitDialog() override {
        for (int i = 0; i < 8; ++i) {
            CTexturedIconButton& b = buttons[i];
            b.SetFlatLook(true);
            b.LoadIcons(kLooks[i].enabled, CTexturedIconButton::AlignCentreBoth, 0, 0);
            b.SetStateIcons(kLooks[i].enabled, kLooks[i].disabled);
            b.GenerateTexture(CTexturedIconButton::TextureSoftBump, 12, 12, 12, RGB(12, 0, 0));
            b.SetLabelShown(false);
        }
        return TRUE;
    }
};

double Milliseconds(const std::function<void()>& job) {
    const auto t0 = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void PaintButtons(Toolbar& bar) {
    for (CTexturedIconButton& b : bar.buttons) {
        tk::WindowDC dc(b.Hwnd());
        RECT r = b.ClientRect();
        DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, 0, b.Hwnd(), dc.Get(), r, 0};
        b.DrawItem(item);
    }
}

// The reference: the same icons with DrawIconEx at the same places.
struct PlainIcons {
    HICON icons[8] = {};
    PlainIcons() {
        for (int i = 0; i < 8; ++i)
            icons[i] = static_cast<HICON>(::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(kLooks[i].enabled),
                                                       IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    }
    ~PlainIcons() {
        for (HICON i : icons) ::DestroyIcon(i);
    }
    void Paint(Toolbar& bar) const {
        for (int i = 0; i < 8; ++i) {
            tk::WindowDC dc(bar.buttons[i].Hwnd());
            const RECT& r = bar.buttons[i].IconRect();
            ::DrawIconEx(dc.Get(), r.left, r.top, icons[i], 0, 0, 0, nullptr, DI_NORMAL);
        }
    }
};

// Pixels of the button's window that are not the plain face colour.
int PaintedPixels(const CTexturedIconButton& b, bool iconOnly) {
    tk::WindowDC dc(b.Hwnd());
    RECT r = iconOnly ? b.IconRect() : b.ClientRect();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    int n = 0;
    for (int y = std::max(0L, r.top); y < r.bottom; y += 2)
        for (int x = std::max(0L, r.left); x < r.right; x += 2) n += ::GetPixel(dc.Get(), x, y) != face;
    return n;
}

void ClearToFace(Toolbar& bar) {
    tk::Brush face(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
    for (CTexturedIconButton& b : bar.buttons) {
        tk::WindowDC dc(b.Hwnd());
        RECT r = b.ClientRect();
        ::FillRect(dc.Get(), &r, face.Get());
    }
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    Toolbar bar;
    if (!bar.Create(nullptr)) {
        std::printf("the main dialog's template could not be made\n");
        return 1;
    }
    bar.Show(true);
    ::UpdateWindow(bar.Hwnd());

    // Every round starts from the plain face, so that each check below sees
    // only what its own step drew.
    ClearToFace(bar);
    const double cold = Milliseconds([&] { PaintButtons(bar); });
    double warm = 1e300;
    for (int i = 0; i < rounds; ++i) warm = std::min(warm, Milliseconds([&] { PaintButtons(bar); }));
    int buttonPixels = 0;
    for (const CTexturedIconButton& b : bar.buttons) buttonPixels += PaintedPixels(b, false) > 0 ? 1 : 0;

    PlainIcons plain;
    ClearToFace(bar);
    const double plainCold = Milliseconds([&] { plain.Paint(bar); });
    double plainWarm = 1e300;
    for (int i = 0; i < rounds; ++i) plainWarm = std::min(plainWarm, Milliseconds([&] { plain.Paint(bar); }));
    int iconPixels = 0;
    for (const CTexturedIconButton& b : bar.buttons) iconPixels += PaintedPixels(b, true) > 0 ? 1 : 0;

    std::printf("eight textured buttons   cold %8.3f ms   warm %8.3f ms   (%d of 8 painted)\n", cold, warm,
                buttonPixels);
    std::printf("eight icons, DrawIconEx  cold %8.3f ms   warm %8.3f ms   (%d of 8 painted)\n", plainCold,
                plainWarm, iconPixels);
    const double ratio = warm / std::max(plainWarm, 1e-6);
    std::printf("ratio warm buttons / icons: %.2f (goal at most 2: %s)\n", ratio, ratio <= 2 ? "met" : "MISSED");
    bar.Destroy();
    return buttonPixels == 8 && iconPixels == 8 ? 0 : 1;
}
