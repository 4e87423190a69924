// The device preview panes.
#include "imaging/PreviewPanes.h"

#include "imaging/ImageOps.h"
#include "resources/resource.h"
#include "toolkit/App.h"
#include "toolkit/Handles.h"

#include <windowsx.h>

namespace {

// WM_USER+25: the real-size pane asks the main window for a line step.
constexpr UINT kDragScrollMessage = WM_USER + 25;
constexpr int kDragThreshold = 5;

HWND MainWindow() {
    tk::CWinApp* app = tk::CWinApp::Get();
    if (app && app->MainWindow()) return app->MainWindow()->Hwnd();
    return nullptr;
}

RECT ToRECT(const imaging::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// The pane's rectangle in its parent's client coordinates.
RECT RectInParent(HWND wnd) {
    RECT r{};
    ::GetWindowRect(wnd, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(wnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The mouse position of a message to `pane`, signed and in 32 bits: the
// real-size pane is wider and taller than 32767 pixels for the biggest
// photos, past what the message's 16-bit fields hold.
POINT MousePosition(HWND pane, LPARAM lp) {
    const DWORD at = ::GetMessagePos();
    POINT cursor{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    ::ScreenToClient(pane, &cursor);
    return POINT{imaging::FullMouseCoordinate(GET_X_LPARAM(lp), cursor.x),
                 imaging::FullMouseCoordinate(GET_Y_LPARAM(lp), cursor.y)};
}

} // namespace

// ------------------------------------------------------------ CRealPictDlg

CRealPictDlg::CRealPictDlg() : tk::CDialog(IDD_REAL_PICT) {}

CRealPictDlg::~CRealPictDlg() = default;

void CRealPictDlg::SetPicture(DecodedPictureRef picture, imaging::Size target) {
    m_picture = std::move(picture);
    m_target = target;
}

void CRealPictDlg::PaintPart(HDC dc, const imaging::Rect& pane, const imaging::Rect& screen,
                             const imaging::Rect& dirty) const {
    const imaging::Rect part = imaging::PicturePartToPaint(pane, screen, dirty);
    if (part.IsEmpty()) return;
    const int x = pane.left + part.left, y = pane.top + part.top;
    if (m_picture && DrawFittedPart(dc, x, y, *m_picture, m_target, part)) return;
    RECT white{x, y, x + part.Width(), y + part.Height()};
    ::FillRect(dc, &white, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
}

std::optional<LRESULT> CRealPictDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)wp;
    switch (msg) {
    case WM_ERASEBKGND:
        if (m_picture) return TRUE;
        return std::nullopt;
    case WM_PAINT: {
        // The device-screen pane draws this pane's content too; drawing it
        // here as well keeps it right when only this pane is uncovered.
        tk::PaintDC paint(Hwnd());
        const RECT c = ClientRect();
        // Only what lies behind the screen hole can be seen: the parent's
        // client area in this pane's coordinates.
        RECT screen{};
        ::GetClientRect(::GetParent(Hwnd()), &screen);
        ::MapWindowPoints(::GetParent(Hwnd()), Hwnd(), reinterpret_cast<POINT*>(&screen), 2);
        const RECT& d = paint.Info().rcPaint;
        PaintPart(paint.Get(), imaging::Rect{0, 0, c.right, c.bottom},
                  imaging::Rect{screen.left, screen.top, screen.right, screen.bottom},
                  imaging::Rect{d.left, d.top, d.right, d.bottom});
        return 0;
    }
    case WM_SETCURSOR:
        m_cursor = m_picture ? ::LoadCursorA(tk::ResourceModule(), MAKEINTRESOURCEA(IDCUR_DRAG))
                             : ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        ::SetCursor(m_cursor);
        return TRUE;
    case WM_LBUTTONDOWN:
        if (m_picture) m_dragAnchor = MousePosition(Hwnd(), lp);
        return std::nullopt;
    case WM_LBUTTONUP:
        if (m_picture) m_dragAnchor = POINT{-1, -1};
        return std::nullopt;
    case WM_MOUSEMOVE: {
        if (!m_picture || !(wp & MK_LBUTTON)) return std::nullopt;
        const POINT p = MousePosition(Hwnd(), lp);
        if (m_dragAnchor.x == -1 && m_dragAnchor.y == -1) {
            m_dragAnchor = p;
            return std::nullopt;
        }
        HWND main = MainWindow();
        if (!main) return std::nullopt;
        // The picture follows the drag: moving right shows more of the left.
        if (p.x - m_dragAnchor.x > kDragThreshold) ::SendMessageA(main, kDragScrollMessage, 0, WM_HSCROLL);
        if (m_dragAnchor.x - p.x > kDragThreshold) ::SendMessageA(main, kDragScrollMessage, 1, WM_HSCROLL);
        if (p.y - m_dragAnchor.y > kDragThreshold) ::SendMessageA(main, kDragScrollMessage, 0, WM_VSCROLL);
        if (m_dragAnchor.y - p.y > kDragThreshold) ::SendMessageA(main, kDragScrollMessage, 1, WM_VSCROLL);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// ----------------------------------------------------------- CDeviceOutDlg

CDeviceOutDlg::CDeviceOutDlg() : tk::CDialog(IDD_DEVICE_OUT) {}

std::optional<LRESULT> CDeviceOutDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)wp;
    (void)lp;
    if (msg == WM_ERASEBKGND) return TRUE;  // the paint covers every pixel
    if (msg != WM_PAINT || !m_realPane || !m_realPane->Hwnd()) return std::nullopt;
    tk::PaintDC paint(Hwnd());
    HDC dc = paint.Get();
    RECT r = RectInParent(m_realPane->Hwnd());
    RECT k = ClientRect();
    const RECT& d = paint.Info().rcPaint;
    imaging::Rect picture{r.left, r.top, r.right, r.bottom};
    imaging::Rect client{k.left, k.top, k.right, k.bottom};
    HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    for (const imaging::Rect& band : imaging::WhiteBandsAround(picture, client)) {
        RECT b = ToRECT(band);
        if (b.right > b.left && b.bottom > b.top) ::FillRect(dc, &b, white);
    }
    // The real-size pane's content, drawn here so that the hole shows it
    // without flicker.
    m_realPane->PaintPart(dc, picture, client, imaging::Rect{d.left, d.top, d.right, d.bottom});
    return 0;
}

// ------------------------------------------------------- CScrollPreviewDlg

CScrollPreviewDlg::CScrollPreviewDlg() : tk::CDialog(IDD_SCROLL_PREVIEW) {}

CScrollPreviewDlg::~CScrollPreviewDlg() {
    if (m_deviceImage) ReleaseRenderedDC(m_deviceImage);
}

void CScrollPreviewDlg::SetDeviceLook(bool connected) {
    imaging::DeviceLookGeometry look = imaging::ComputeDeviceLook(m_screenSize);
    m_screenOffset = look.screenOffset;
    HBITMAP handheld = static_cast<HBITMAP>(::LoadImageA(
        tk::ResourceModule(), MAKEINTRESOURCEA(connected ? IDB_HANDHELD_CONNECTED : IDB_HANDHELD_DISCONNECTED),
        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (m_deviceImage) {
        ReleaseRenderedDC(m_deviceImage);
        m_deviceImage = nullptr;
    }
    if (handheld) {
        tk::WindowDC windowDc(Hwnd());
        RECT target{0, 0, look.picture.width, look.picture.height};
        m_deviceImage = RenderBitmapStretched(handheld, windowDc.Get(), target, 0, kPixelFormat24bppRGB);
        ::DeleteObject(handheld);
    }
    int sbw = ::GetSystemMetrics(SM_CXVSCROLL);
    int sbh = ::GetSystemMetrics(SM_CYHSCROLL);
    ::SetWindowPos(Hwnd(), HWND_BOTTOM, 0, 0, look.picture.width + sbw, look.picture.height + sbh,
                   SWP_NOMOVE | SWP_NOACTIVATE);
    RECT full = WindowRect();
    imaging::Size window{full.right - full.left, full.bottom - full.top};
    auto bands = imaging::ScreenHoleBands(window, m_screenOffset, m_screenSize);
    POINT points[16];
    INT counts[4];
    for (int i = 0; i < 4; ++i) {
        const imaging::Rect& b = bands[static_cast<size_t>(i)];
        points[i * 4 + 0] = POINT{b.left, b.top};
        points[i * 4 + 1] = POINT{b.right, b.top};
        points[i * 4 + 2] = POINT{b.right, b.bottom};
        points[i * 4 + 3] = POINT{b.left, b.bottom};
        counts[i] = 4;
    }
    HRGN region = ::CreatePolyPolygonRgn(points, counts, 4, ALTERNATE);
    if (region && !::SetWindowRgn(Hwnd(), region, TRUE)) ::DeleteObject(region);  // the window owns it on success
    Invalidate(true);
}

void CScrollPreviewDlg::SetScrollRanges(int h, int v) {
    for (int bar : {SB_HORZ, SB_VERT}) {
        imaging::ScrollBarSetup setup = imaging::ScrollBarForRange(bar == SB_HORZ ? h : v);
        SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, setup.minimum, setup.maximum,
                      static_cast<UINT>(setup.page), setup.position, 0};
        ::SetScrollInfo(Hwnd(), bar, &si, TRUE);
    }
}

void CScrollPreviewDlg::OnScroll(int bar, int code, int carriedPosition) {
    if (!m_realPane || !m_realPane->Hwnd()) return;
    RECT pane = RectInParent(m_realPane->Hwnd());
    int paneW = pane.right - pane.left, paneH = pane.bottom - pane.top;
    bool horizontal = bar == SB_HORZ;
    if (!imaging::ScrollsOnAxis(horizontal ? paneW : paneH, horizontal ? m_screenSize.width : m_screenSize.height))
        return;
    SCROLLINFO si{sizeof si, SIF_ALL};
    ::GetScrollInfo(Hwnd(), bar, &si);
    int limit = imaging::ScrollLimit(si.nMax, static_cast<int>(si.nPage));
    // Thumb requests go where the message says. The message holds only 16
    // bits; while the user drags the thumb of a longer bar, the bar's own
    // tracking position has the same low bits and gives the full value.
    int thumb = (si.nTrackPos & 0xFFFF) == carriedPosition ? si.nTrackPos : carriedPosition;
    int pos = imaging::NextScrollPosition(code, si.nPos, si.nMin, limit, static_cast<int>(si.nPage), thumb);
    ::SetScrollPos(Hwnd(), bar, pos, TRUE);

    int hpos = ::GetScrollPos(Hwnd(), SB_HORZ);
    int vpos = ::GetScrollPos(Hwnd(), SB_VERT);
    int x = imaging::PaneCoordinateAfterScroll(paneW, m_screenSize.width, hpos, pane.left);
    int y = imaging::PaneCoordinateAfterScroll(paneH, m_screenSize.height, vpos, pane.top);
    ::SetWindowPos(m_realPane->Hwnd(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    // The device-screen pane paints the picture; have it follow at once.
    HWND screenPane = ::GetParent(m_realPane->Hwnd());
    ::SendMessageA(m_realPane->Hwnd(), WM_PAINT, 0, 0);
    if (screenPane) {
        ::InvalidateRect(screenPane, nullptr, FALSE);
        ::UpdateWindow(screenPane);
    }
}

std::optional<LRESULT> CScrollPreviewDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    (void)lp;
    switch (msg) {
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_ERASEBKGND:
        if (m_deviceImage) return TRUE;  // the handheld covers the client area
        return std::nullopt;
    case WM_PAINT: {
        tk::PaintDC paint(Hwnd());
        if (m_deviceImage) {
            RECT c = ClientRect();
            ::BitBlt(paint.Get(), 0, 0, c.right, c.bottom, m_deviceImage, 0, 0, SRCCOPY);
        }
        return 0;
    }
    default:
        return std::nullopt;
    }
}
