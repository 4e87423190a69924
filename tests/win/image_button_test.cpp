// The textured image button through its window: what Attach reads from the
// style, icon placement, the icon pair on enable and disable, check and radio
// behaviour, hover tracking, and what each visual state paints.
#include "resources/resource.h"
#include "tests/win/GoldenPicture.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"
#include "ui/ImageButton.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

void Pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

// A visible top-level window holding buttons of 48 x 50 pixels.
class ButtonHost {
public:
    ButtonHost() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "ImageButtonTestHost";
        ::RegisterClassA(&wc);
        m_wnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "host", WS_POPUP | WS_VISIBLE, 100, 100, 400, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~ButtonHost() { ::DestroyWindow(m_wnd); }
    HWND Hwnd() const { return m_wnd; }
    CTexturedIconButton& Add(DWORD style, int id) {
        HWND b = ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | style, 10 + 50 * m_count++, 10, 48, 50,
                                   m_wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        m_buttons.push_back(std::make_unique<CTexturedIconButton>());
        m_buttons.back()->Attach(b);
        return *m_buttons.back();
    }
private:
    HWND m_wnd;
    int m_count = 0;
    std::vector<std::unique_ptr<CTexturedIconButton>> m_buttons;
};

// Paints the button in the given item state into a 48 x 50 bitmap.
class Painted {
public:
    Painted(CTexturedIconButton& b, UINT state) : m_dc(nullptr) {
        tk::WindowDC screen(nullptr);
        m_bitmap.Reset(::CreateCompatibleBitmap(screen.Get(), 48, 50));
        m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
        DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, state, b.Hwnd(), m_dc.Get(), {0, 0, 48, 50}, 0};
        b.DrawItem(item);
    }
    ~Painted() { ::SelectObject(m_dc.Get(), m_old); }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc.Get(), x, y); }
    int Differences(const Painted& o) const {
        int n = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 48; ++x) n += At(x, y) != o.At(x, y);
        return n;
    }
private:
    tk::MemoryDC m_dc;
    tk::Bitmap m_bitmap;
    HGDIOBJ m_old;
};

TEST(ImageButtonTest, AttachReadsTheStyle) {
    ButtonHost host;
    struct { DWORD style; int kind; bool flat; } cases[] = {
        {BS_PUSHBUTTON, CTexturedIconButton::KindPush, false},
        {BS_DEFPUSHBUTTON | BS_FLAT, CTexturedIconButton::KindPush, true},
        {BS_AUTOCHECKBOX, CTexturedIconButton::KindCheckBox, false},
        {BS_AUTORADIOBUTTON | BS_PUSHLIKE, CTexturedIconButton::KindRadio, false},
    };
    int id = 100;
    for (auto& c : cases) {
        CTexturedIconButton& b = host.Add(c.style, id++);
        EXPECT_EQ(b.GetKind(), c.kind) << c.style;
        EXPECT_EQ(b.IsFlat(), c.flat) << c.style;
        EXPECT_EQ(::GetWindowLongA(b.Hwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << c.style;
    }
}

TEST(ImageButtonTest, IconPlacementAndTheStateIconPair) {
    ButtonHost host;
    CTexturedIconButton& b = host.Add(BS_PUSHBUTTON, 100);
    // 32 x 32 icons (hot spot 16, 16) on a 48 x 50 button.
    struct { int align; RECT rect; } cases[] = {
        {CTexturedIconButton::AlignLeft, {4, 9, 36, 41}},
        {CTexturedIconButton::AlignRight, {12, 9, 44, 41}},
        {CTexturedIconButton::AlignCentreBoth, {8, 9, 40, 41}},
        {0, {8, 0, 40, 32}},
    };
    for (auto& c : cases) {
        ASSERT_TRUE(b.LoadIcons(IDI_OPEN_PICTURE, c.align));
        const RECT& r = b.IconRect();
        EXPECT_EQ(r.left, c.rect.left) << c.align;
        EXPECT_EQ(r.top, c.rect.top) << c.align;
        EXPECT_EQ(r.right, c.rect.right) << c.align;
        EXPECT_EQ(r.bottom, c.rect.bottom) << c.align;
    }
    EXPECT_FALSE(b.LoadIcons(9999, 3072));
    EXPECT_EQ(b.IconId(), 0);

    b.SetStateIcons(IDI_OPEN_PICTURE, IDI_OPEN_PICTURE_DISABLED);
    b.Enable(false);
    EXPECT_EQ(b.IconId(), IDI_OPEN_PICTURE_DISABLED);
    EXPECT_EQ(b.IconRect().left, 8);
    b.Enable(true);
    EXPECT_EQ(b.IconId(), IDI_OPEN_PICTURE);
}

TEST(ImageButtonTest, CheckBoxesRadiosAndPushButtons) {
    ButtonHost host;
    CTexturedIconButton& push = host.Add(BS_PUSHBUTTON, 100);
    CTexturedIconButton& check = host.Add(BS_AUTOCHECKBOX, 101);
    CTexturedIconButton& radioA = host.Add(BS_AUTORADIOBUTTON | WS_GROUP, 102);
    CTexturedIconButton& radioB = host.Add(BS_AUTORADIOBUTTON, 103);
    push.Send(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(push.Send(BM_GETCHECK), BST_UNCHECKED);
    check.Send(WM_KEYDOWN, VK_SPACE);
    EXPECT_TRUE(check.IsChecked());
    check.Send(WM_KEYDOWN, VK_SPACE);
    EXPECT_FALSE(check.IsChecked());

    radioA.Send(BM_SETCHECK, BST_CHECKED);
    Pump();
    radioB.Send(WM_KEYDOWN, VK_SPACE);
    EXPECT_TRUE(radioB.IsChecked());
    Pump();  // the release message is posted
    EXPECT_FALSE(radioA.IsChecked());
}

TEST(ImageButtonTest, HoverAndTheStatesPaintInTheirOrder) {
    ButtonHost host;
    CTexturedIconButton& b = host.Add(BS_PUSHBUTTON, 100);
    b.SetFlatLook(true);
    b.LoadIcons(IDI_OPEN_PICTURE, CTexturedIconButton::AlignCentreBoth);
    ASSERT_TRUE(b.GenerateTexture(CTexturedIconButton::TextureSoftBump, 12, 12, 12, RGB(12, 0, 0)));
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT), shadow = ::GetSysColor(COLOR_BTNSHADOW);

    Painted normal(b, 0);
    EXPECT_NE(normal.At(0, 0), light);  // flat: no frame until hovered
    EXPECT_NE(normal.At(0, 0), shadow);

    RECT r = b.WindowRect();
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    b.Send(WM_MOUSEMOVE, 0, MAKELPARAM(24, 25));
    ASSERT_TRUE(b.IsHovering());
    Painted hovered(b, 0);
    EXPECT_EQ(hovered.At(0, 0), light);       // thin raised frame
    EXPECT_EQ(hovered.At(47, 49), shadow);
    EXPECT_GT(hovered.Differences(normal), 500);  // the lighter texture
    Painted pressed(b, ODS_SELECTED);
    EXPECT_EQ(pressed.At(0, 0), shadow);      // thin sunken frame
    EXPECT_EQ(pressed.At(47, 49), light);
    b.Send(WM_MOUSELEAVE);
    EXPECT_FALSE(b.IsHovering());

    // Focus shows as dotted lines inset by 4: shadow first, then highlight.
    Painted focused(b, ODS_FOCUS);
    EXPECT_EQ(focused.At(5, 4), shadow);
    EXPECT_EQ(focused.At(6, 4), light);
    EXPECT_EQ(focused.At(4, 5), shadow);

    // The window text is drawn only when the label is shown.
    b.SetText("Open picture");
    b.SetLabelShown(false);
    Painted hidden(b, 0);
    b.SetLabelShown(true);
    Painted shown(b, 0);
    EXPECT_EQ(hidden.Differences(normal), 0);
    EXPECT_GT(shown.Differences(normal), 0);
}

// The faces of two buttons in their states, painted into one picture and
// compared with its golden copy: the main window's look (flat, icon pair) and
// a raised, labelled one (embossed icon when disabled), each also as a copy
// that stays disabled. A row is painted first, then again (a repaint shows
// the same), then after each change that makes a drawn face stale: a
// smaller window with the old textures; new textures, another label, another
// label colour; other system colours.
TEST(ImageButtonTest, FacesEqualTheirGoldenPicture) {
    ButtonHost host;
    auto mainLook = [&](int id) -> CTexturedIconButton& {
        CTexturedIconButton& b = host.Add(BS_PUSHBUTTON, id);
        b.SetFlatLook(true);
        b.LoadIcons(IDI_OPEN_PICTURE, CTexturedIconButton::AlignCentreBoth);
        b.SetStateIcons(IDI_OPEN_PICTURE, IDI_OPEN_PICTURE_DISABLED);
        b.SetLabelShown(false);
        b.SetNoiseSeed(7);
        b.GenerateTexture(CTexturedIconButton::TextureSoftBump, 12, 12, 12, RGB(12, 0, 0));
        return b;
    };
    auto labelled = [&](int id) -> CTexturedIconButton& {
        CTexturedIconButton& b = host.Add(BS_PUSHBUTTON, id);
        b.LoadIcons(IDI_ZOOM_IN, CTexturedIconButton::AlignCentre);  // the label below it
        b.SetText("In");
        b.SetNoiseSeed(9);
        b.GenerateTexture(CTexturedIconButton::TextureHorizontalBump, 20, 30, 40, RGB(0, 80, 160));
        return b;
    };
    CTexturedIconButton &a = mainLook(100), &aOff = mainLook(101), &b = labelled(102), &bOff = labelled(103);
    aOff.Enable(false);
    bOff.Enable(false);

    const bool hover = true;
    struct Cell { CTexturedIconButton* button; UINT state; bool hover; };
    const Cell cells[] = {{&a, 0, false}, {&a, 0, hover}, {&a, ODS_SELECTED, hover}, {&a, ODS_FOCUS, false},
                          {&aOff, ODS_DISABLED, false}, {&b, 0, false}, {&b, ODS_SELECTED, false},
                          {&b, ODS_FOCUS | ODS_DEFAULT, false}, {&bOff, ODS_DISABLED, false}};
    const int n = sizeof cells / sizeof cells[0], rows = 5;
    GoldenSurface picture(48 * n, 50 * rows);
    picture.Fill(RGB(255, 0, 255));
    auto paintRow = [&](int row) {
        for (int i = 0; i < n; ++i) {
            CTexturedIconButton& button = *cells[i].button;
            if (cells[i].hover) {
                RECT r = button.WindowRect();
                ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
                button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
                ASSERT_TRUE(button.IsHovering());
            }
            RECT c = button.ClientRect();
            ::OffsetRect(&c, 48 * i, 50 * row);
            DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, cells[i].state, button.Hwnd(), picture.Dc(), c, 0};
            button.DrawItem(item);
            if (cells[i].hover) button.Send(WM_MOUSELEAVE);
        }
    };
    paintRow(0);
    paintRow(1);
    EXPECT_EQ(picture.Differences(RECT{0, 50, 48 * n, 100}, POINT{0, 0}), 0) << "a repaint differs";

    // Each change alone, so that each row tests one way of going stale.
    for (CTexturedIconButton* button : {&a, &aOff, &b, &bOff})
        ::SetWindowPos(button->Hwnd(), nullptr, 0, 0, 44, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    paintRow(2);

    for (CTexturedIconButton* button : {&a, &aOff}) button->GenerateTexture(CTexturedIconButton::TextureSoftBump, 12, 12, 50, RGB(0, 0, 200));
    bOff.SetText("Out");
    b.SetLabelColor(RGB(200, 0, 0));
    paintRow(3);

    const int which[] = {COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_GRAYTEXT};
    const COLORREF other[] = {RGB(200, 210, 180), RGB(90, 40, 40), RGB(250, 250, 200), RGB(0, 120, 0)};
    COLORREF saved[4];
    for (int i = 0; i < 4; ++i) saved[i] = ::GetSysColor(which[i]);
    ::SetSysColors(4, which, other);
    paintRow(4);
    ::SetSysColors(4, which, saved);
    EXPECT_EQ(picture.CompareWithGolden("button_faces"), "");
}

} // namespace
