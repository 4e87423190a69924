// The textured image button.
#include "ui/ImageButton.h"

#include "effects/EffectPainter.h"
#include "toolkit/Dialog.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <cstring>

namespace {

void FillFace(HDC dc, const RECT& r) {
    tk::Brush face(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE)));
    ::FillRect(dc, &r, face.Get());
}

// A one-pixel frame: `topLeft` along the top and left, `bottomRight` along the
// bottom and right.
void ThinFrame(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    tk::Brush a(::CreateSolidBrush(topLeft)), b(::CreateSolidBrush(bottomRight));
    RECT top{r.left, r.top, r.right, r.top + 1}, left{r.left, r.top, r.left + 1, r.bottom};
    RECT bottom{r.left, r.bottom - 1, r.right, r.bottom}, right{r.right - 1, r.top, r.right, r.bottom};
    ::FillRect(dc, &top, a.Get());
    ::FillRect(dc, &left, a.Get());
    ::FillRect(dc, &bottom, b.Get());
    ::FillRect(dc, &right, b.Get());
}

bool HasPixels(const effects::CPaletteDib& image) { return !image.Empty(); }

} // namespace

CTexturedIconButton::~CTexturedIconButton() { Detach(); }

void CTexturedIconButton::Attach(HWND wnd) {
    tk::CButton::Attach(wnd);
    if (!wnd) return;
    LONG_PTR style = ::GetWindowLongPtrA(wnd, GWL_STYLE);
    m_shiftOnPress = (style & BS_PUSHLIKE) != 0;
    m_flat = (style & BS_FLAT) != 0;
    switch (style & (BS_LEFT | BS_RIGHT)) {
    case BS_LEFT: m_textFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE; break;
    case BS_RIGHT: m_textFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE; break;
    default: m_textFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE; break;
    }
    if ((style & 3) == 3) {
        m_kind = KindCheckBox;
    } else if ((style & 9) == 9) {
        m_kind = KindRadio;
    } else {
        m_kind = KindPush;
        m_shiftOnPress = true;
    }
    if (!m_shiftOnPress) m_border = false;
    style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW;
    ::SetWindowLongPtrA(wnd, GWL_STYLE, style);
    ::SetWindowSubclass(wnd, &CTexturedIconButton::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void CTexturedIconButton::Detach() {
    if (m_hwnd) ::RemoveWindowSubclass(m_hwnd, &CTexturedIconButton::SubclassProc, 1);
    tk::CButton::Detach();
}

void CTexturedIconButton::FreeIcons() {
    m_iconDown.Reset();
    m_iconHighlight.Reset();
    m_icon.Reset();
    m_iconId = 0;
    DropFaces();
}

bool CTexturedIconButton::LoadIcons(int iconId, int alignment, int downIconId, int highlightIconId) {
    if (m_enabledIconId == 0) m_enabledIconId = iconId;
    FreeIcons();
    auto load = [](int id) -> HICON {
        return static_cast<HICON>(
            ::LoadImageA(tk::ResourceModule(), MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    };
    m_icon.Reset(load(iconId));
    if (!m_icon) return false;
    m_iconId = iconId;

    // The icon's size is twice its hot spot.
    SIZE size = effects::CEffectPainter::GetIconSize(m_icon.Get());
    const int hx = size.cx / 2, hy = size.cy / 2;
    RECT c = ClientRect();
    const int w = c.right - c.left, h = c.bottom - c.top;
    m_iconRect = RECT{0, 0, 2 * hx, 2 * hy};
    int dx, dy;
    switch (alignment) {
    case AlignLeft: dx = m_focusMargin; dy = std::max(0, h / 2 - hy); break;
    case AlignRight: dx = w - 2 * hx - m_focusMargin; dy = std::max(0, h / 2 - hy); break;
    case AlignCentreBoth: dx = (w - 2 * hx) / 2; dy = (h - 2 * hy) / 2; break;
    default: dx = std::max(0, w / 2 - hx); dy = std::max(0, h / 2 - 2 * hy); break;  // room for a label below
    }
    ::OffsetRect(&m_iconRect, dx, dy);
    m_iconAlign = (alignment == AlignLeft || alignment == AlignRight) ? alignment : AlignCentre;

    // Without their own, the pressed and hovered states show the icon.
    if (downIconId) m_iconDown.Reset(load(downIconId));
    if (highlightIconId) m_iconHighlight.Reset(load(highlightIconId));
    DropFaces();
    if (m_hwnd) Invalidate(false);
    return true;
}

void CTexturedIconButton::SetStateIcons(int enabledIconId, int disabledIconId) {
    m_enabledIconId = enabledIconId;
    m_disabledIconId = disabledIconId;
}

bool CTexturedIconButton::GenerateTexture(int style, int granularity, int highlight, int coloring, COLORREF colour) {
    RECT r = WindowRect();
    effects::ButtonTextureSpec desc;
    desc.width = r.right - r.left;
    desc.height = r.bottom - r.top;
    desc.focusMargin = m_focusMargin;
    desc.style = style;
    desc.granularity = granularity;
    desc.highlight = highlight;
    desc.coloring = coloring;
    desc.colour = colour;
    desc.shadow = ::GetSysColor(COLOR_BTNSHADOW);
    desc.face = ::GetSysColor(COLOR_BTNFACE);
    desc.light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    effects::PatternRandom random(m_seeded ? m_noiseSeed : ::GetTickCount() ^ reinterpret_cast<std::uintptr_t>(this));
    bool made = effects::GenerateButtonTextures(desc,
                                                {&m_normalImage, &m_pressedImage, &m_disabledImage, &m_hoverImage,
                                                 &m_focusLineH, &m_focusLineV},
                                                random);
    DropFaces();
    if (m_hwnd) Invalidate(false);
    return made;
}

COLORREF CTexturedIconButton::SetLabelColor(COLORREF colour) {
    COLORREF old = m_labelColor;
    m_labelColor = colour;
    DropFaces();
    if (m_hwnd) Invalidate(false);
    return old;
}

void CTexturedIconButton::SetLabelAlignment(int alignment) {
    UINT h = alignment == AlignLeft ? DT_LEFT : alignment == AlignRight ? DT_RIGHT : DT_CENTER;
    m_textFormat = h | DT_VCENTER | DT_SINGLELINE;
    DropFaces();
    if (m_hwnd) Invalidate(false);
}

bool CTexturedIconButton::SetLabelFont(const char* face, int height, int weight, bool italic, bool underline) {
    if (!m_labelFontDesc) m_labelFontDesc = std::make_unique<LOGFONTA>();
    LOGFONTA& d = *m_labelFontDesc;
    std::memset(d.lfFaceName, 0, sizeof d.lfFaceName);
    if (face) std::strncpy(d.lfFaceName, face, sizeof d.lfFaceName - 1);
    d.lfHeight = height;
    d.lfWeight = weight;
    d.lfItalic = italic ? TRUE : FALSE;
    d.lfUnderline = underline ? TRUE : FALSE;
    return SetLabelFont(d);
}

bool CTexturedIconButton::SetLabelFont(const LOGFONTA& description) {
    if (!m_labelFontDesc) m_labelFontDesc = std::make_unique<LOGFONTA>();
    if (&description != m_labelFontDesc.get()) *m_labelFontDesc = description;
    m_labelFontDesc->lfFaceName[LF_FACESIZE - 1] = '\0';
    m_labelFont.Reset(::CreateFontIndirectA(m_labelFontDesc.get()));
    DropFaces();
    if (m_hwnd) Invalidate(false);
    return static_cast<bool>(m_labelFont);
}

bool CTexturedIconButton::CursorOver() const {
    POINT p;
    if (!::GetCursorPos(&p)) return false;
    RECT r = WindowRect();
    return ::PtInRect(&r, p) != FALSE;
}

void CTexturedIconButton::SetCheck(bool checked) { Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }

void CTexturedIconButton::DropFaces() { m_faces.clear(); }

void CTexturedIconButton::DrawItem(const DRAWITEMSTRUCT& item) {
    // Pressed-state follow-up while the mouse button is held on us: the state
    // change paints again.
    if (m_tracking && ::GetCapture() == m_hwnd) {
        POINT p;
        if (::GetCursorPos(&p)) {
            bool pushed = (Send(BM_GETSTATE) & BST_PUSHED) != 0;
            bool over = CursorOver();
            if (over != pushed) {
                Send(BM_SETSTATE, over ? TRUE : FALSE);
                return;
            }
        }
    }

    const RECT& R = item.rcItem;
    const int w = R.right - R.left, h = R.bottom - R.top;
    if (w <= 0 || h <= 0) return;
    // Every face drawn so far was drawn at one size in one set of system
    // colours; a theme change reaches no child control, so the colours are
    // compared here (a handful of reads) rather than waited for.
    const FaceLook look{w, h, ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNSHADOW),
                        ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_GRAYTEXT)};
    if (!(look == m_faceLook)) {
        DropFaces();
        m_faceLook = look;
    }
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const UINT key = (item.itemState & (ODS_DISABLED | ODS_SELECTED | ODS_FOCUS | ODS_DEFAULT)) |
                     (m_checked ? 0x10000u : 0u) | (m_hovering && !disabled ? 0x20000u : 0u);
    auto face = std::find_if(m_faces.begin(), m_faces.end(), [key](const Face& f) { return f.key == key; });
    if (face == m_faces.end()) {
        tk::Bitmap bitmap(::CreateCompatibleBitmap(item.hDC, w, h));
        tk::MemoryDC mem(item.hDC);
        if (!mem || !bitmap) return;
        {
            tk::ScopedSelect select(mem.Get(), bitmap.Get());
            ComposeFace(mem.Get(), w, h, item.itemState);
        }
        m_faces.push_back(Face{key, std::move(bitmap)});
        face = m_faces.end() - 1;
    }
    // A repaint is one copy of the state's face.
    if (!m_faceDC) m_faceDC = std::make_unique<tk::MemoryDC>(item.hDC);
    if (!*m_faceDC) {
        m_faceDC.reset();
        return;
    }
    tk::ScopedSelect select(m_faceDC->Get(), face->bitmap.Get());
    ::BitBlt(item.hDC, R.left, R.top, w, h, m_faceDC->Get(), 0, 0, SRCCOPY);
}

void CTexturedIconButton::ComposeFace(HDC dc, int w, int h, UINT itemState) {
    RECT all{0, 0, w, h};
    FillFace(dc, all);

    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW), light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const bool disabled = (itemState & ODS_DISABLED) != 0;
    const bool pressed = (itemState & ODS_SELECTED) != 0 || m_checked;
    const bool hovering = m_hovering && !disabled;

    HFONT font = m_labelFont ? m_labelFont.Get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    tk::ScopedSelect selectFont(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    std::string label = m_labelShown ? GetText() : std::string();

    RECT T{m_focusMargin + 2, 0, w - m_focusMargin - 2, h};
    if (m_icon) {
        const int iconW = m_iconRect.right - m_iconRect.left;
        if (m_iconAlign == AlignLeft) T.left += iconW;
        else if (m_iconAlign == AlignRight) T.right -= iconW;
        else {
            T.top = m_iconRect.bottom;
            T.bottom -= m_focusMargin + 1;
        }
    }
    auto drawIcon = [&](HICON icon, int dx, int dy, UINT state) {
        if (!icon) return;
        ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon), 0, m_iconRect.left + dx,
                     m_iconRect.top + dy, m_iconRect.right - m_iconRect.left, m_iconRect.bottom - m_iconRect.top,
                     DST_ICON | state);
    };

    if (disabled && m_disabledIconId == 0) {
        if (HasPixels(m_disabledImage)) m_disabledImage.Draw(dc, 0, 0);
        drawIcon(m_icon.Get(), 0, 0, DSS_DISABLED);
        if (m_border && !m_flat) ::DrawEdge(dc, &all, EDGE_RAISED, BF_RECT);
        if (!label.empty()) {
            ::SetTextColor(dc, light);
            ::DrawTextA(dc, label.c_str(), -1, &T, m_textFormat);
            RECT grey = T;
            ::OffsetRect(&grey, -1, -1);
            ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
            ::DrawTextA(dc, label.c_str(), -1, &grey, m_textFormat);
        }
        return;
    }
    if (pressed) {
        if (HasPixels(m_pressedImage)) m_pressedImage.Draw(dc, m_border ? 1 : 0, m_border ? 1 : 0);
        const int shift = m_shiftOnPress ? 1 : 0;
        drawIcon(DownIcon(), shift, shift, DSS_NORMAL);
        ::OffsetRect(&T, shift, shift);
        if (m_border) {
            if (m_flat) ThinFrame(dc, all, shadow, light);
            else ::DrawEdge(dc, &all, EDGE_SUNKEN, BF_RECT);
        }
    } else {
        effects::CPaletteDib& back = hovering && HasPixels(m_hoverImage) ? m_hoverImage : m_normalImage;
        if (HasPixels(back)) back.Draw(dc, 0, 0);
        drawIcon(hovering ? HighlightIcon() : m_icon.Get(), 0, 0, DSS_NORMAL);
        if (m_border && (hovering || !m_flat)) {
            if (itemState & ODS_DEFAULT) {
                ::DrawEdge(dc, &all, EDGE_SUNKEN, BF_RECT);
                RECT inner{1, 1, w - 1, h - 1};
                ::DrawEdge(dc, &inner, EDGE_RAISED, BF_RECT);
            } else if (m_flat) {
                ThinFrame(dc, all, light, shadow);
            } else {
                ::DrawEdge(dc, &all, EDGE_RAISED, BF_RECT);
            }
        }
    }
    if ((itemState & ODS_FOCUS) && m_focusMargin > 0) {
        RECT f{m_focusMargin, m_focusMargin, w - m_focusMargin, h - m_focusMargin};
        m_focusLineH.Draw(dc, f.left + 1, f.top);
        m_focusLineH.Draw(dc, f.left + 1, f.bottom);
        m_focusLineV.Draw(dc, f.left, f.top + 1);
        m_focusLineV.Draw(dc, f.right, f.top + 1);
    }
    ::SetTextColor(dc, m_labelColor);
    if (!label.empty()) ::DrawTextA(dc, label.c_str(), -1, &T, m_textFormat);
}

LRESULT CALLBACK CTexturedIconButton::SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                                   DWORD_PTR data) {
    auto* self = reinterpret_cast<CTexturedIconButton*>(data);
    if (msg == WM_NCDESTROY) {
        ::RemoveWindowSubclass(wnd, &CTexturedIconButton::SubclassProc, 1);
        return ::DefSubclassProc(wnd, msg, wp, lp);
    }
    return self->OnMessage(msg, wp, lp);
}

LRESULT CTexturedIconButton::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND wnd = m_hwnd;
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (m_hovering) {
            TRACKMOUSEEVENT cancel{sizeof cancel, TME_LEAVE | TME_CANCEL, wnd, 0};
            ::TrackMouseEvent(&cancel);
            m_hovering = false;
        }
        // A double click counts as a second press.
        LRESULT r = ::DefSubclassProc(wnd, WM_LBUTTONDOWN, wp, lp);
        m_tracking = true;
        return r;
    }
    case WM_MOUSEMOVE:
        if (m_tracking && ::GetCapture() == wnd) {
            bool over = CursorOver();
            bool pushed = (Send(BM_GETSTATE) & BST_PUSHED) != 0;
            if (over != pushed) {
                Send(BM_SETSTATE, over ? TRUE : FALSE);
                Invalidate(false);
            }
        } else if (!m_hovering) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, wnd, 0};
            if (::TrackMouseEvent(&track)) {
                m_hovering = true;
                Invalidate(false);
            }
        }
        break;
    case WM_MOUSELEAVE:
        m_hovering = false;
        Invalidate(false);
        return 0;
    case WM_LBUTTONUP:
        if (m_kind != KindPush && m_tracking && CursorOver()) SetCheck(m_kind == KindCheckBox ? !m_checked : true);
        m_tracking = false;
        break;
    case WM_KILLFOCUS:
        if (::GetCapture() == wnd) ::ReleaseCapture();
        m_tracking = false;
        break;
    case WM_KEYDOWN:
        if (m_kind != KindPush && wp == VK_SPACE) SetCheck(m_kind == KindCheckBox ? !m_checked : true);
        break;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_SETTEXT:  // the label is on the faces
        DropFaces();
        break;
    case BM_SETCHECK:
        m_checked = wp != 0 && m_kind != KindPush;
        if (m_kind == KindRadio && m_checked) {
            HWND parent = ::GetParent(wnd);
            HWND other = ::GetNextDlgGroupItem(parent, wnd, FALSE);
            for (int guard = 0; other && other != wnd && guard < 1000; ++guard) {
                ::PostMessageA(other, kRadioRelease, 0, 0);
                other = ::GetNextDlgGroupItem(parent, other, FALSE);
            }
        }
        Invalidate(false);
        return 0;
    case BM_GETCHECK:
        return m_checked ? BST_CHECKED : BST_UNCHECKED;
    case kRadioRelease:
        if (m_checked) {
            m_checked = false;
            Invalidate(false);
        }
        return 0;
    case WM_ENABLE:
        if (m_disabledIconId != 0) LoadIcons(wp ? m_enabledIconId : m_disabledIconId, AlignCentreBoth, 0, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(wnd, msg, wp, lp);
}
