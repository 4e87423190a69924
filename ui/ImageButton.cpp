// Owner-drawn icon buttons.
#include "ui/ImageButton.h"

#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"

#include <algorithm>

namespace {

COLORREF Mix(COLORREF a, COLORREF b, int weightB) {
    auto ch = [&](int shift) {
        int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        return static_cast<DWORD>((ca * (255 - weightB) + cb * weightB) / 255) << shift;
    };
    return ch(0) | ch(8) | ch(16);
}

void VerticalGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    int h = std::max(1L, r.bottom - r.top);
    for (int y = r.top; y < r.bottom; ++y) {
        int w = (y - r.top) * 255 / h;
        tk::Brush brush(::CreateSolidBrush(Mix(top, bottom, w)));
        RECT line{r.left, y, r.right, y + 1};
        ::FillRect(dc, &line, brush.Get());
    }
}

void Frame(HDC dc, const RECT& r, COLORREF colour) {
    tk::Brush brush(::CreateSolidBrush(colour));
    ::FrameRect(dc, &r, brush.Get());
}

} // namespace

CTexturedIconButton::~CTexturedIconButton() { FreeIcons(); }

void CTexturedIconButton::Attach(HWND wnd) {
    tk::CButton::Attach(wnd);
    if (!wnd) return;
    LONG_PTR style = ::GetWindowLongPtrA(wnd, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW;
    ::SetWindowLongPtrA(wnd, GWL_STYLE, style);
    ::SetWindowSubclass(wnd, &CTexturedIconButton::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    LoadStateIcons();
}

void CTexturedIconButton::Detach() {
    if (m_hwnd) ::RemoveWindowSubclass(m_hwnd, &CTexturedIconButton::SubclassProc, 1);
    tk::CButton::Detach();
}

void CTexturedIconButton::SetStateIcons(int enabledIcon, int disabledIcon) {
    m_enabledIconId = enabledIcon;
    m_disabledIconId = disabledIcon;
    LoadStateIcons();
}

void CTexturedIconButton::FreeIcons() {
    if (m_icon) ::DestroyIcon(m_icon);
    if (m_disabledIcon) ::DestroyIcon(m_disabledIcon);
    m_icon = m_disabledIcon = nullptr;
}

void CTexturedIconButton::LoadStateIcons() {
    if (!m_hwnd || !m_enabledIconId) return;
    FreeIcons();
    RECT c = ClientRect();
    // The large icon where it fits with a small margin, the small one on the
    // little zoom buttons.
    int room = std::min(c.right - c.left, c.bottom - c.top);
    m_iconSize = room >= 38 ? 32 : 16;
    auto load = [&](int id) {
        return static_cast<HICON>(::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(id), IMAGE_ICON, m_iconSize,
                                               m_iconSize, LR_DEFAULTCOLOR));
    };
    m_icon = load(m_enabledIconId);
    m_disabledIcon = m_disabledIconId ? load(m_disabledIconId) : nullptr;
    Invalidate(false);
}

void CTexturedIconButton::DrawItem(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    bool disabled = (item.itemState & ODS_DISABLED) != 0;
    bool pressed = (item.itemState & ODS_SELECTED) != 0;
    bool hot = m_hovering && !disabled;

    COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    COLORREF top = Mix(face, RGB(255, 255, 255), hot ? 200 : 150);
    COLORREF bottom = Mix(face, RGB(120, 130, 150), hot ? 50 : 30);
    if (pressed) std::swap(top, bottom);
    VerticalGradient(dc, r, top, bottom);

    if (hot || pressed) {
        Frame(dc, r, pressed ? RGB(70, 90, 130) : RGB(110, 140, 190));
        RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        Frame(dc, inner, pressed ? Mix(face, RGB(0, 0, 0), 40) : RGB(240, 246, 255));
    } else {
        Frame(dc, r, Mix(face, RGB(0, 0, 0), 45));
    }

    HICON icon = disabled && m_disabledIcon ? m_disabledIcon : m_icon;
    if (icon) {
        int x = r.left + (r.right - r.left - m_iconSize) / 2 + (pressed ? 1 : 0);
        int y = r.top + (r.bottom - r.top - m_iconSize) / 2 + (pressed ? 1 : 0);
        ::DrawIconEx(dc, x, y, icon, m_iconSize, m_iconSize, 0, nullptr, DI_NORMAL);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT f{r.left + 4, r.top + 4, r.right - 4, r.bottom - 4};
        ::DrawFocusRect(dc, &f);
    }
}

LRESULT CALLBACK CTexturedIconButton::SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CTexturedIconButton*>(data);
    switch (msg) {
    case WM_MOUSEMOVE:
        if (!self->m_hovering) {
            self->m_hovering = true;
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, wnd, 0};
            ::TrackMouseEvent(&tme);
            ::InvalidateRect(wnd, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        self->m_hovering = false;
        ::InvalidateRect(wnd, nullptr, FALSE);
        break;
    case WM_ENABLE:
        ::InvalidateRect(wnd, nullptr, FALSE);
        break;
    case WM_ERASEBKGND:
        return TRUE;
    default:
        break;
    }
    return ::DefSubclassProc(wnd, msg, wp, lp);
}
