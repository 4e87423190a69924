// The HTML label control; see HtmlLabel.h.
#include "tooltip/HtmlLabel.h"

#include "tooltip/LabelText.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdio>

namespace tooltip {

namespace {
const char kSelfProp[] = "CHtmlLabel";
}

CHtmlLabel::CHtmlLabel() {
    m_baseSheet = m_renderer.GetStyleSheet();
    SetLinkStyle(0xFF0000, false, 0xFF0000, true);
}

CHtmlLabel::~CHtmlLabel() { Detach(); }

void CHtmlLabel::Attach(HWND wnd) {
    tk::CStatic::Attach(wnd);
    if (!wnd) return;
    // Mouse messages reach a static control only with SS_NOTIFY.
    ::SetWindowLongPtrA(wnd, GWL_STYLE, ::GetWindowLongPtrA(wnd, GWL_STYLE) | SS_NOTIFY);
    ::SetPropA(wnd, kSelfProp, reinterpret_cast<HANDLE>(this));
    m_oldProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CHtmlLabel::LabelProc)));
}

void CHtmlLabel::Detach() {
    if (m_hwnd && m_oldProc && ::IsWindow(m_hwnd)) {
        ::SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
        ::RemovePropA(m_hwnd, kSelfProp);
    }
    m_oldProc = nullptr;
    m_background.Reset();
    tk::CStatic::Detach();
}

void CHtmlLabel::SetLinkStyle(COLORREF normal, bool normalUnderline, COLORREF hover, bool hoverUnderline) {
    char rules[256];
    std::snprintf(rules, sizeof rules,
                  "\r\na:link {color:0x%06X; text-decoration:%s}\r\na:hover {color:0x%06X; text-decoration:%s}\r\n",
                  static_cast<unsigned>(normal), normalUnderline ? "underline" : "none",
                  static_cast<unsigned>(hover), hoverUnderline ? "underline" : "none");
    // Later rules replace earlier ones with the same selector.
    const std::string sheet = m_baseSheet + rules;
    m_renderer.SetStyleSheet(&sheet);
}

void CHtmlLabel::SetLabelText(const std::string& text) {
    m_text = CleanLabelText(text);
    if (!m_hwnd) return;
    ::InvalidateRect(m_hwnd, nullptr, TRUE);
    ::UpdateWindow(m_hwnd);
    Draw(nullptr);
}

void CHtmlLabel::Draw(HDC dc) {
    if (!m_hwnd || !m_background) return;
    HDC target = dc ? dc : ::GetDC(m_hwnd);
    RECT client{};
    ::GetClientRect(m_hwnd, &client);
    m_measured = m_renderer.Measure(target, m_text);
    m_textRect = RECT{0, 0, std::min<LONG>(m_measured.cx, client.right), std::min<LONG>(m_measured.cy, client.bottom)};
    {
        tk::MemoryDC back(target);
        tk::Bitmap buffer(::CreateCompatibleBitmap(target, client.right, client.bottom));
        tk::ScopedSelect sel(back.Get(), buffer.Get());
        tk::MemoryDC bg(target);
        tk::ScopedSelect bgSel(bg.Get(), m_background.Get());
        ::BitBlt(back.Get(), 0, 0, client.right, client.bottom, bg.Get(), 0, 0, SRCCOPY);
        m_renderer.DrawPrepared(back.Get(), m_textRect);
        ::BitBlt(target, 0, 0, client.right, client.bottom, back.Get(), 0, 0, SRCCOPY);
    }
    if (!dc) ::ReleaseDC(m_hwnd, target);
}

void CHtmlLabel::OnPaint() {
    tk::PaintDC paint(m_hwnd);
    if (!m_background) {
        // The parent's pixels beneath the control, taken once.
        HWND parent = ::GetParent(m_hwnd);
        ::SetWindowPos(parent, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        ::UpdateWindow(parent);
        RECT r{};
        ::GetWindowRect(m_hwnd, &r);
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        tk::WindowDC parentDc(parent);
        m_background.Reset(::CreateCompatibleBitmap(parentDc.Get(), r.right - r.left, r.bottom - r.top));
        tk::MemoryDC mem(parentDc.Get());
        tk::ScopedSelect sel(mem.Get(), m_background.Get());
        ::BitBlt(mem.Get(), 0, 0, r.right - r.left, r.bottom - r.top, parentDc.Get(), r.left, r.top, SRCCOPY);
    }
    Draw(paint.Get());
}

LRESULT CALLBACK CHtmlLabel::LabelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CHtmlLabel*>(::GetPropA(wnd, kSelfProp));
    if (!self) return ::DefWindowProcA(wnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        WNDPROC old = self->m_oldProc;
        self->Detach();
        return ::CallWindowProcA(old, wnd, msg, wp, lp);
    }
    bool handled = false;
    LRESULT result = self->OnMessage(msg, wp, lp, &handled);
    return handled ? result : self->Default(msg, wp, lp);
}

LRESULT CHtmlLabel::OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    *handled = true;
    switch (msg) {
    case WM_SETTEXT:
        SetLabelText(lp ? reinterpret_cast<const char*>(lp) : "");
        return 0;
    case WM_GETTEXT:
        return static_cast<LRESULT>(CopyLabelText(m_text, reinterpret_cast<char*>(lp), wp));
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(m_text.size());
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SETCURSOR: {
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(m_hwnd, &p);
        if (m_renderer.OnMouseMove(p)) return 1;
        break;
    }
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hwnd, 0};
        ::TrackMouseEvent(&track);
        LRESULT r = Default(msg, wp, lp);
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
        ::UpdateWindow(m_hwnd);
        return r;
    }
    case WM_MOUSELEAVE:
        // The hover style goes with the cursor.
        m_renderer.OnMouseMove(POINT{-1, -1});
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
        break;
    case WM_LBUTTONDOWN: {
        POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (::PtInRect(&m_textRect, p)) m_renderer.OnClick(POINT{p.x - m_textRect.left, p.y - m_textRect.top});
        break;
    }
    case WM_SIZE:
        ::InvalidateRect(m_hwnd, nullptr, TRUE);
        ::UpdateWindow(m_hwnd);
        break;
    case WM_TIMER:
        if (m_repaintCount < 10) {
            ::InvalidateRect(m_hwnd, nullptr, TRUE);
            ++m_repaintCount;
        } else {
            m_repaintCount = 0;
            ::KillTimer(m_hwnd, wp);
        }
        return 0;
    default:
        break;
    }
    *handled = false;
    return 0;
}

} // namespace tooltip
