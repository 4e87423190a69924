// The tooltip window: timers, regions and painting around TipController.
//
// Translucency and the shadow need the pixels beneath the tip. They are
// read from the screen just before the window appears (the class has no
// background, but a composited desktop and Wine's X11 driver would not show
// what lies beneath through the window's own device context), then kept for
// every paint of that tip.
#include "tooltip/HtToolTip.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tooltip {

namespace {

const char kClassName[] = "CHtToolTip";
const int kBalloonShape[9] = {16, 16, 12, 12, 12, 16, 16, 0, 0};
const int kRectangleShape[9] = {0, 0, 3, 1, 0, 0, 0, 0, 0};

RECT ToRect(const TipRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
TipRect FromRect(const RECT& r) { return TipRect{r.left, r.top, r.right, r.bottom}; }
TipHandle H(HWND w) { return reinterpret_cast<TipHandle>(w); }
HWND AsHwnd(TipHandle h) { return reinterpret_cast<HWND>(h); }

bool RegisterClassOnce() {
    WNDCLASSA wc{};
    HINSTANCE inst = ::GetModuleHandleA(nullptr);
    if (::GetClassInfoA(inst, kClassName, &wc)) return true;
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return ::RegisterClassA(&wc) != 0;
}

std::string Printf(const char* fmt, ...) {
    char buf[2048];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    return buf;
}

std::string IconText(HICON icon, const std::string& text) {
    return Printf("<table><tr><td><icon handle=0x%X></td><td>%s</td></tr></table>",
                  static_cast<unsigned>(reinterpret_cast<UINT_PTR>(icon)), text.c_str());
}
std::string IconResourceText(int id, SIZE size, const std::string& text) {
    return Printf("<table><tr><td><icon idres=%d width=%d height=%d></td><td>%s</td></tr></table>", id,
                  static_cast<int>(size.cx), static_cast<int>(size.cy), text.c_str());
}
std::string BitmapResourceText(int id, COLORREF mask, SIZE size, const std::string& text) {
    return Printf("<table><tr><td><bmp idres=%d mask=0x%X width=%d height=%d></td><td>%s</td></tr></table>", id,
                  static_cast<unsigned>(mask), static_cast<int>(size.cx), static_cast<int>(size.cy), text.c_str());
}

std::string ClassNameOf(HWND w) {
    char buf[129] = {};
    ::GetClassNameA(w, buf, 128);
    return buf;
}
std::string TitleOf(HWND w) {
    char buf[129] = {};
    ::GetWindowTextA(w, buf, 128);
    return buf;
}

} // namespace

CHtToolTip::CHtToolTip() : m_ctl(*this) {
    const COLORREF info = ::GetSysColor(COLOR_INFOBK);
    m_ctl.defaults.beginColor = m_ctl.defaults.middleColor = m_ctl.defaults.endColor = info;
    m_frameBrush.Reset(::CreateSolidBrush(::GetSysColor(COLOR_INFOTEXT)));
    UseBalloonShape(true);
}

CHtToolTip::~CHtToolTip() { DestroyTipWindow(); }

bool CHtToolTip::CreateTipWindow(HWND owner, bool balloon) {
    if (m_hwnd) return true;
    if (!RegisterClassOnce()) return false;
    m_owner = owner;
    m_hwnd = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP, 0, 0, 0, 0, owner,
                               nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!m_hwnd) return false;
    ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CHtToolTip::WndProc));
    UseBalloonShape(balloon);
    m_renderer.SetHoverNotify(m_hwnd, WM_HTTIP_HOVER, 0);
    m_animationInterval = 100;
    ::SetTimer(m_hwnd, TipTimerAnimation, m_animationInterval, nullptr);
    return true;
}

void CHtToolTip::DestroyTipWindow() {
    if (!m_hwnd) return;
    HideNow();
    ::KillTimer(m_hwnd, TipTimerAnimation);
    HWND wnd = m_hwnd;
    m_hwnd = nullptr;
    ::SetWindowLongPtrA(wnd, GWLP_USERDATA, 0);
    ::DestroyWindow(wnd);
}

// ------------------------------------------------------------------- tools

std::string CHtToolTip::ResourceText(UINT id) const {
    char buf[2048] = {};
    int n = ::LoadStringA(::GetModuleHandleA(nullptr), id, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

void CHtToolTip::RegisterTool(HWND tool, const std::string& text, const RECT* rect, int id) {
    TipToolInfo info;
    info.id = id;
    if (rect) info.rect = FromRect(*rect);
    info.text = text;
    m_tools.Register(H(tool), info);
}
void CHtToolTip::RegisterTool(HWND tool, UINT textId, const RECT* rect, int id) {
    RegisterTool(tool, ResourceText(textId), rect, id);
}
void CHtToolTip::RegisterToolWithIcon(HWND tool, const std::string& text, HICON icon, const RECT* rect, int id) {
    RegisterTool(tool, IconText(icon, text), rect, id);
}
void CHtToolTip::RegisterToolWithIcon(HWND tool, UINT textId, HICON icon, const RECT* rect, int id) {
    RegisterToolWithIcon(tool, ResourceText(textId), icon, rect, id);
}
void CHtToolTip::RegisterToolWithIconResource(HWND tool, const std::string& text, int iconId, SIZE size,
                                              const RECT* rect, int id) {
    RegisterTool(tool, IconResourceText(iconId, size, text), rect, id);
}
void CHtToolTip::RegisterToolWithIconResource(HWND tool, UINT textId, int iconId, SIZE size, const RECT* rect,
                                              int id) {
    RegisterToolWithIconResource(tool, ResourceText(textId), iconId, size, rect, id);
}
void CHtToolTip::RegisterToolWithBitmapResource(HWND tool, const std::string& text, int bitmapId, COLORREF mask,
                                                SIZE size, const RECT* rect, int id) {
    RegisterTool(tool, BitmapResourceText(bitmapId, mask, size, text), rect, id);
}
void CHtToolTip::RegisterToolWithBitmapResource(HWND tool, UINT textId, int bitmapId, COLORREF mask, SIZE size,
                                                const RECT* rect, int id) {
    RegisterToolWithBitmapResource(tool, ResourceText(textId), bitmapId, mask, size, rect, id);
}

void CHtToolTip::UnregisterTool(HWND tool, const RECT* rect) {
    if (rect) {
        TipRect r = FromRect(*rect);
        m_tools.Unregister(H(tool), &r);
    } else {
        m_tools.Unregister(H(tool), nullptr);
    }
}
void CHtToolTip::UnregisterAllTools() {
    m_tools.Clear();
    m_toolbars.clear();
}
bool CHtToolTip::FindToolByRect(HWND tool, const RECT& rect, TipToolInfo* out) const {
    return m_tools.FindByRect(H(tool), FromRect(rect), out);
}
bool CHtToolTip::FindToolById(HWND tool, int id, TipToolInfo* out) const { return m_tools.FindById(H(tool), id, out); }
bool CHtToolTip::SetToolText(HWND tool, int id, const std::string& text) { return m_tools.SetText(H(tool), id, text); }
bool CHtToolTip::SetToolRect(HWND tool, int id, const RECT& rect) { return m_tools.SetRect(H(tool), id, FromRect(rect)); }
bool CHtToolTip::UnregisterToolById(HWND tool, int id) { return m_tools.UnregisterById(H(tool), id); }

void CHtToolTip::RegisterToolBar(HWND toolbar) {
    for (HWND t : m_toolbars)
        if (t == toolbar) return;
    m_toolbars.push_back(toolbar);
    // The bar's own tooltips would compete with ours.
    LONG_PTR style = ::GetWindowLongPtrA(toolbar, GWL_STYLE);
    ::SetWindowLongPtrA(toolbar, GWL_STYLE, style & ~static_cast<LONG_PTR>(TBSTYLE_TOOLTIPS));
    ::SendMessageA(toolbar, TB_SETTOOLTIPS, 0, 0);
}

// ------------------------------------------------------------------ settings

void CHtToolTip::SetFillColors(COLORREF all) { SetFillColors(all, all, all); }
void CHtToolTip::SetFillColors(COLORREF begin, COLORREF end) { SetFillColors(begin, begin, end); }
void CHtToolTip::SetFillColors(COLORREF begin, COLORREF middle, COLORREF end) {
    m_ctl.defaults.beginColor = begin;
    m_ctl.defaults.middleColor = middle;
    m_ctl.defaults.endColor = end;
}
void CHtToolTip::SetStyleSheet(const char* sheet) {
    if (!sheet) {
        m_renderer.SetStyleSheet(nullptr);
        return;
    }
    const std::string text(sheet);
    m_renderer.SetStyleSheet(&text);
}

void CHtToolTip::SetFillEffect(int effect, int granularity) {
    m_ctl.defaults.fillEffect = effect;
    m_ctl.defaults.granularity = granularity;
}
// The setters keep every length within what a tip on a screen can use, so
// that no sum of sizes, margins and offsets overflows and no bitmap grows
// beyond the tip's own size.
namespace {
constexpr int kMaxShape = 1000;    // margins, corners, the pointer
constexpr int kMaxShadow = 100;    // shadow offsets, blur, frame widths
}  // namespace

void CHtToolTip::SetFrame(COLORREF brushColor, int width, int height) {
    m_frameBrush.Reset(::CreateSolidBrush(brushColor));
    m_frameW = std::clamp(width, 0, kMaxShadow);
    m_frameH = std::clamp(height, 0, kMaxShadow);
}

void CHtToolTip::SetTiming(int kind, int ms) {
    switch (kind) {
    case TimingHideDelay: m_ctl.timing.hideDelay = ms; break;
    case TimingInitialDelay: m_ctl.timing.initialDelay = ms; break;
    case TimingFadeIn: m_ctl.timing.fadeInInterval = ms; break;
    case TimingFadeOut: m_ctl.timing.fadeOutInterval = ms; break;
    case TimingAnimation:
        m_animationInterval = ms;
        if (m_hwnd) {
            ::KillTimer(m_hwnd, TipTimerAnimation);
            if (ms > 0) ::SetTimer(m_hwnd, TipTimerAnimation, static_cast<UINT>(ms), nullptr);
        }
        break;
    default: break;
    }
}

int CHtToolTip::GetTiming(int kind) const {
    switch (kind) {
    case TimingHideDelay: return m_ctl.timing.hideDelay;
    case TimingInitialDelay: return m_ctl.timing.initialDelay;
    case TimingFadeIn: return m_ctl.timing.fadeInInterval;
    case TimingFadeOut: return m_ctl.timing.fadeOutInterval;
    default: return 0;
    }
}

void CHtToolTip::SetShapeValue(int index, int value) {
    if (index >= 0 && index < 9) m_shape[index] = std::clamp(value, -kMaxShape, kMaxShape);
}
int CHtToolTip::GetShapeValue(int index) const { return index >= 0 && index < 9 ? m_shape[index] : 0; }
void CHtToolTip::UseBalloonShape(bool balloon) {
    for (int i = 0; i < 9; ++i) m_shape[i] = balloon ? kBalloonShape[i] : kRectangleShape[i];
}
void CHtToolTip::SetDropShadow(int dx, int dy, int darknessPercent, bool soft, int blurWidth, int blurHeight) {
    m_shadowDx = std::clamp(dx, -kMaxShadow, kMaxShadow);
    m_shadowDy = std::clamp(dy, -kMaxShadow, kMaxShadow);
    m_shadowDarkness = std::clamp(darknessPercent, 0, 100);
    m_shadowSoft = soft;
    m_blurW = std::clamp(blurWidth, 0, kMaxShadow);
    m_blurH = std::clamp(blurHeight, 0, kMaxShadow);
}

// -------------------------------------------------------------- input filter

void CHtToolTip::FilterMessage(const MSG& msg) {
    if (!m_hwnd) return;
    switch (msg.message) {
    case WM_MOUSEMOVE:
        m_ctl.OnMouseMove(H(msg.hwnd), TipPoint{msg.pt.x, msg.pt.y});
        break;
    case WM_LBUTTONDOWN:
        if (TipUnderCursor(TipPoint{msg.pt.x, msg.pt.y})) {
            POINT p = msg.pt;
            ::ScreenToClient(m_hwnd, &p);
            m_renderer.OnClick(p);
        }
        HideNow();
        break;
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: case WM_MOUSEWHEEL: case WM_KEYDOWN: case WM_SYSKEYDOWN:
    case WM_NCLBUTTONDOWN: case WM_NCLBUTTONDBLCLK: case WM_NCRBUTTONDOWN: case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN: case WM_NCMBUTTONDBLCLK:
        HideNow();
        break;
    default:
        break;
    }
}

void CHtToolTip::ShowAtPoint(POINT screen, const std::string& text) {
    if (m_hwnd) m_ctl.ShowAtPoint(TipPoint{screen.x, screen.y}, text);
}
void CHtToolTip::ShowAtPoint(POINT screen, UINT textId) { ShowAtPoint(screen, ResourceText(textId)); }
void CHtToolTip::ShowAtPoint(POINT screen, const std::string& text, HICON icon) {
    ShowAtPoint(screen, IconText(icon, text));
}
void CHtToolTip::ShowAtPoint(POINT screen, const std::string& text, int iconId, SIZE size) {
    ShowAtPoint(screen, IconResourceText(iconId, size, text));
}
void CHtToolTip::HideNow() { m_ctl.HideNow(); }

// ------------------------------------------------------------------ TipHost

void CHtToolTip::StartTimer(int id, int ms) {
    if (m_hwnd) ::SetTimer(m_hwnd, static_cast<UINT_PTR>(id), static_cast<UINT>(ms), nullptr);
}
void CHtToolTip::StopTimer(int id) {
    if (m_hwnd) ::KillTimer(m_hwnd, static_cast<UINT_PTR>(id));
}
bool CHtToolTip::WindowVisible() { return m_hwnd && ::IsWindowVisible(m_hwnd); }
void CHtToolTip::HideWindow() {
    if (m_hwnd) ::ShowWindow(m_hwnd, SW_HIDE);
}
void CHtToolTip::Repaint(int transparency) {
    if (!WindowVisible()) return;
    tk::WindowDC dc(m_hwnd);
    Paint(dc.Get(), transparency, false);
}
TipPoint CHtToolTip::CursorPos() {
    POINT p{};
    ::GetCursorPos(&p);
    return TipPoint{p.x, p.y};
}
bool CHtToolTip::TipUnderCursor(TipPoint screen) {
    return WindowVisible() && ::WindowFromPoint(POINT{screen.x, screen.y}) == m_hwnd;
}

bool CHtToolTip::FindToolbarButton(HWND window, POINT screen, TipToolInfo* info) {
    for (HWND bar : m_toolbars) {
        if (bar != window) continue;
        POINT p = screen;
        ::ScreenToClient(bar, &p);
        int count = static_cast<int>(::SendMessageA(bar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            RECT r{};
            if (!::SendMessageA(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r))) continue;
            if (!::PtInRect(&r, p)) continue;
            TBBUTTON button{};
            ::SendMessageA(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
            info->id = button.idCommand;
            info->rect = FromRect(r);
            info->text = m_renderer.GetResourceStringLine(button.idCommand, 1);
            return true;
        }
    }
    return false;
}

bool CHtToolTip::FindCandidate(TipHandle window, TipPoint screen, TipHandle* tool, TipToolInfo* info) {
    const POINT pt{screen.x, screen.y};
    if (!m_toolbars.empty()) {
        HWND under = ::WindowFromPoint(pt);
        if (FindToolbarButton(under, pt, info)) {
            *tool = H(under);
            return true;
        }
    }
    *tool = window;
    if (!window) return false;
    const TipToolInfo* found = m_tools.Lookup(window, [&] {
        POINT p = pt;
        ::ScreenToClient(AsHwnd(window), &p);
        return TipPoint{p.x, p.y};
    });
    if (found) *info = *found;
    return true;
}

bool CHtToolTip::ShowTip(TipHandle tool, TipToolInfo& info, TipPoint at, int showMode, int transparency) {
    (void)transparency;
    POINT cursor{at.x, at.y};
    if (m_notifyWnd) {
        NMHTTOOLTIP nm{};
        nm.hdr.hwndFrom = m_hwnd;
        nm.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_hwnd));
        nm.hdr.code = TTN_HTSHOW;
        nm.tool = AsHwnd(tool);
        nm.cursor = &cursor;
        nm.info = &info;
        ::SendMessageA(m_notifyWnd, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
    if (info.text.empty()) return false;

    tk::WindowDC windowDc(m_hwnd);
    SIZE text = m_renderer.Measure(windowDc.Get(), info.text);
    const int mx = m_shape[2], my = m_shape[3];
    TipPlacementInput in;
    in.placement = info.placement;
    in.cursor = TipPoint{cursor.x, cursor.y};
    in.bodyWidth = text.cx + 2 * mx;
    in.bodyHeight = text.cy + 2 * my;
    in.anchorWidth = m_shape[4];
    in.anchorHeight = m_shape[5];
    in.anchorOffset = m_shape[6];
    const int vx = ::GetSystemMetrics(SM_XVIRTUALSCREEN), vy = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    in.screen = TipRect{vx, vy, vx + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), vy + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const TipPlacement place = PlaceTip(in);
    m_placementUsed = place.placement;
    m_bodyRect = ToRect(place.body);
    m_textRect = RECT{place.body.left + mx, place.body.top + my, place.body.left + mx + text.cx,
                      place.body.top + my + text.cy};
    const int W = place.width, Ht = place.height;

    // Region: the rounded body and the pointer.
    m_region.Reset(::CreateRoundRectRgn(m_bodyRect.left, m_bodyRect.top, m_bodyRect.right + 1,
                                        m_bodyRect.bottom + 1, m_shape[0], m_shape[1]));
    const TipOutline outline = TipRegionOutline(place, m_shape[4], m_shape[5], m_shape[6]);
    if (outline.hasPointer) {
        POINT tri[3];
        for (int i = 0; i < 3; ++i) tri[i] = POINT{outline.triangle[i].x, outline.triangle[i].y};
        tk::Region pointer(::CreatePolygonRgn(tri, 3, WINDING));
        ::CombineRgn(m_region.Get(), m_region.Get(), pointer.Get(), RGN_OR);
    }

    // Background: the fill over the body, the pointer's strip repeating the
    // body's edge line.
    m_background.Reset(::CreateCompatibleBitmap(windowDc.Get(), W, Ht));
    {
        tk::MemoryDC mem(windowDc.Get());
        tk::ScopedSelect sel(mem.Get(), m_background.Get());
        // A transparent fill (-1) would leave the body unpainted: the tip is
        // then filled with its colour.
        m_effects.FillEffect(mem.Get(), std::max(info.fillEffect, 0), m_bodyRect, info.beginColor, info.middleColor,
                             info.endColor, info.granularity, 5);
        const RECT& b = m_bodyRect;
        switch (place.placement & 0x30) {
        case TipSideBelow:
            m_effects.TileBitmap(mem.Get(), 0, 0, W, b.top, mem.Get(), 0, b.top + 1, W, 1);
            break;
        case TipSideAbove:
            m_effects.TileBitmap(mem.Get(), 0, b.bottom, W, Ht - b.bottom, mem.Get(), 0, b.bottom - 1, W, 1);
            break;
        case TipSideRight:
            m_effects.TileBitmap(mem.Get(), 0, 0, b.left, Ht, mem.Get(), b.left + 1, 0, 1, Ht);
            break;
        default:
            m_effects.TileBitmap(mem.Get(), b.right, 0, W - b.right, Ht, mem.Get(), b.right - 1, 0, 1, Ht);
            break;
        }
    }

    const int x = cursor.x - place.anchor.x, y = cursor.y - place.anchor.y;
    const bool shadow = m_shadowDx != 0 || m_shadowDy != 0;
    tk::Region windowRegion(::CreateRectRgn(0, 0, 0, 0));
    ::CombineRgn(windowRegion.Get(), m_region.Get(), nullptr, RGN_COPY);
    int fullW = W, fullH = Ht;
    if (shadow) {
        tk::Region moved(::CreateRectRgn(0, 0, 0, 0));
        ::CombineRgn(moved.Get(), m_region.Get(), nullptr, RGN_COPY);
        ::OffsetRgn(moved.Get(), m_shadowDx, m_shadowDy);
        ::CombineRgn(windowRegion.Get(), windowRegion.Get(), moved.Get(), RGN_OR);
        fullW += m_shadowDx;
        fullH += m_shadowDy;
    }
    m_windowRect = RECT{0, 0, fullW, fullH};

    // What lies beneath, read before the window covers it.
    if (::IsWindowVisible(m_hwnd)) ::ShowWindow(m_hwnd, SW_HIDE);
    {
        tk::WindowDC screenDc(nullptr);
        m_savedScreen.Reset(::CreateCompatibleBitmap(screenDc.Get(), fullW, fullH));
        tk::MemoryDC mem(screenDc.Get());
        tk::ScopedSelect sel(mem.Get(), m_savedScreen.Get());
        ::BitBlt(mem.Get(), 0, 0, fullW, fullH, screenDc.Get(), x, y, SRCCOPY);
    }
    // The text is the window's title too, for assistive tools and tests.
    ::SetWindowTextA(m_hwnd, info.text.c_str());
    // The window owns the region once it takes it.
    if (::SetWindowRgn(m_hwnd, windowRegion.Get(), FALSE)) windowRegion.Release();
    UINT flags = SWP_NOACTIVATE | SWP_SHOWWINDOW | (showMode == 2 ? SWP_NOZORDER : 0);
    ::SetWindowPos(m_hwnd, HWND_TOPMOST, x, y, fullW, fullH, flags);
    ::InvalidateRect(m_hwnd, nullptr, FALSE);
    ::UpdateWindow(m_hwnd);
    return true;
}

void CHtToolTip::MoveTipTo(TipPoint screen) {
    if (!m_hwnd) return;
    ::MoveWindow(m_hwnd, screen.x, screen.y, m_windowRect.right, m_windowRect.bottom, TRUE);
}

std::string CHtToolTip::InspectText(TipPoint screen) {
    POINT pt{screen.x, screen.y};
    HWND w = ::WindowFromPoint(pt);
    HWND parent = w ? ::GetParent(w) : nullptr;
    if (parent && (::GetWindowLongA(parent, GWL_STYLE) & 3) == CBS_DROPDOWNLIST &&
        _stricmp(ClassNameOf(parent).c_str(), "combobox") == 0) {
        w = parent;
    } else if (w) {
        POINT client = pt;
        ::ScreenToClient(w, &client);
        HWND child = ::ChildWindowFromPoint(w, client);
        if (child) w = child;
    }
    InspectWindowInfo info;
    info.className = ClassNameOf(w);
    info.title = TitleOf(w);
    info.handle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(w));
    info.controlId = w ? ::GetDlgCtrlID(w) : 0;
    info.styles = static_cast<std::uint32_t>(::GetWindowLongA(w, GWL_STYLE));
    RECT r{};
    ::GetWindowRect(w, &r);
    info.rect = FromRect(r);
    info.hasTooltip = m_tools.HasTool(H(w));
    HWND owner = w ? ::GetParent(w) : nullptr;
    info.ownerClassName = ClassNameOf(owner);
    info.ownerTitle = TitleOf(owner);
    info.ownerHandle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(owner));
    info.cursor = screen;
    return BuildInspectText(info);
}

// ----------------------------------------------------------------- painting

void CHtToolTip::Paint(HDC target, int transparency, bool fromPaintMessage) {
    (void)fromPaintMessage;
    if (!m_background || !m_savedScreen || !m_region) return;
    const int t = transparency < 0 ? 0 : transparency > 100 ? 100 : transparency;
    const int fullW = m_windowRect.right, fullH = m_windowRect.bottom;
    const int bw = fullW - (m_shadowDx > 0 ? m_shadowDx : 0), bh = fullH - (m_shadowDy > 0 ? m_shadowDy : 0);

    tk::MemoryDC bodyDc(target);
    tk::Bitmap body(::CreateCompatibleBitmap(target, bw, bh));
    tk::ScopedSelect bodySel(bodyDc.Get(), body.Get());
    {
        tk::MemoryDC bg(target);
        tk::ScopedSelect sel(bg.Get(), m_background.Get());
        ::BitBlt(bodyDc.Get(), 0, 0, bw, bh, bg.Get(), 0, 0, SRCCOPY);
    }
    m_renderer.DrawPrepared(bodyDc.Get(), m_textRect);
    if (m_frameBrush && m_frameW > 0 && m_frameH > 0)
        ::FrameRgn(bodyDc.Get(), m_region.Get(), m_frameBrush.Get(), m_frameW, m_frameH);

    tk::MemoryDC compDc(target);
    tk::Bitmap comp(::CreateCompatibleBitmap(target, fullW, fullH));
    tk::ScopedSelect compSel(compDc.Get(), comp.Get());
    {
        tk::MemoryDC saved(target);
        tk::ScopedSelect sel(saved.Get(), m_savedScreen.Get());
        ::BitBlt(compDc.Get(), 0, 0, fullW, fullH, saved.Get(), 0, 0, SRCCOPY);
    }
    if (m_shadowDx != 0 || m_shadowDy != 0) {
        tk::MemoryDC maskDc(target);
        tk::Bitmap mask(::CreateCompatibleBitmap(target, bw, bh));
        {
            tk::ScopedSelect sel(maskDc.Get(), mask.Get());
            RECT all{0, 0, bw, bh};
            ::FillRect(maskDc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            const int g = TipShadowGrey(m_shadowDarkness, t);
            tk::Brush grey(::CreateSolidBrush(RGB(g, g, g)));
            ::FillRgn(maskDc.Get(), m_region.Get(), grey.Get());
        }
        m_effects.DrawShadow(compDc.Get(), m_shadowDx, m_shadowDy, bw, bh, mask.Get(), m_shadowSoft, m_blurW, m_blurH);
    }
    ::SelectClipRgn(compDc.Get(), m_region.Get());
    m_effects.BlendConstant(compDc.Get(), 0, 0, bw, bh, bodyDc.Get(), 0, 0, 100 - t);
    ::SelectClipRgn(compDc.Get(), nullptr);
    ::BitBlt(target, 0, 0, fullW, fullH, compDc.Get(), 0, 0, SRCCOPY);
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    m_lastPaintTicks = now.QuadPart;
}

// ------------------------------------------------------------------ messages

LRESULT CALLBACK CHtToolTip::WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CHtToolTip*>(::GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcA(wnd, msg, wp, lp);
    return self->OnMessage(msg, wp, lp);
}

LRESULT CHtToolTip::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        tk::PaintDC dc(m_hwnd);
        m_ctl.OnPainted();
        Paint(dc.Get(), m_ctl.Transparency(), true);
        return 0;
    }
    case WM_TIMER:
        if (wp == TipTimerAnimation) {
            if (WindowVisible() && m_ctl.State() == TipShown && m_renderer.StepAnimation())
                Repaint(m_ctl.Transparency());
            // A tip shown by the mouse goes when the cursor leaves the owner's
            // windows: the owner hears of no move outside them.
            POINT p{};
            ::GetCursorPos(&p);
            HWND under = ::WindowFromPoint(p);
            if (m_ctl.CurrentMode() == 0 && (WindowVisible() || m_ctl.PendingTool() != 0) && under != m_hwnd &&
                under != m_owner && !::IsChild(m_owner, under))
                m_ctl.CursorLeft();
        } else {
            m_ctl.OnTimer(static_cast<int>(wp));
        }
        return 0;
    case WM_SETCURSOR: {
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(m_hwnd, &p);
        if (!m_renderer.OnMouseMove(p)) ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
    }
    case WM_ACTIVATEAPP:
        if (!wp) HideNow();
        return 0;
    case WM_HTTIP_HOVER:
        if (m_repaintOnHover) Repaint(0);
        return 0;
    default:
        return ::DefWindowProcA(m_hwnd, msg, wp, lp);
    }
}

} // namespace tooltip
