// The tooltip's window-free decisions; see TipCore.h.
#include "tooltip/TipCore.h"

#include "html/HtmlMarkup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tooltip {

// ------------------------------------------------------------------ placement

namespace {

bool Horizontal(int side) { return side == TipSideBelow || side == TipSideAbove; }

// The anchor's coordinate along its edge for a centred pointer, moved when
// the centred window would leave the screen.
int CentredAnchor(int c, int size, int lo, int hi) {
    int half = size / 2;
    if (c + half > hi && c - half >= lo) return half + c + half - hi;
    if (c - half < lo) return c - lo;
    return half;
}

} // namespace

TipPlacement PlaceTip(const TipPlacementInput& in) {
    int side = in.placement & 0x30;
    int pos = in.placement & 0x0F;
    if (pos > TipAnchorCentre) pos = TipAnchorNear;
    const int x = in.cursor.x, y = in.cursor.y, o = in.anchorOffset;
    const int left = in.screen.left, top = in.screen.top, right = in.screen.right, bottom = in.screen.bottom;

    TipPlacement out;
    out.width = in.bodyWidth + (Horizontal(side) ? 0 : in.anchorHeight);
    out.height = in.bodyHeight + (Horizontal(side) ? in.anchorHeight : 0);
    const int W = out.width, H = out.height;

    // Horizontal fit.
    if (Horizontal(side)) {
        if (pos == TipAnchorNear) {
            if (x + W - o > right) pos = (x - W + o < left) ? TipAnchorCentre : TipAnchorFar;
        } else if (pos == TipAnchorFar) {
            if (x - W + o < left) pos = (x + W - o > right) ? TipAnchorCentre : TipAnchorNear;
        } else {
            if (o >= x - left) pos = TipAnchorNear;
            else if (o >= right - x) pos = TipAnchorFar;
        }
    } else if (side == TipSideRight) {
        if (x + W > right) side = TipSideLeft;
    } else {
        if (x - W < left) side = TipSideRight;
    }
    // Vertical fit.
    if (side == TipSideBelow) {
        if (y + H > bottom) side = TipSideAbove;
    } else if (side == TipSideAbove) {
        if (y - H < top) side = TipSideBelow;
    } else if (pos == TipAnchorNear) {
        if (y + H - o > bottom) pos = (y - H + o < top) ? TipAnchorCentre : TipAnchorFar;
    } else if (pos == TipAnchorFar) {
        if (y - H + o < top) pos = (y + H - o > bottom) ? TipAnchorCentre : TipAnchorNear;
    } else {
        if (o >= y - top) pos = TipAnchorNear;
        else if (o >= bottom - y) pos = TipAnchorFar;
    }

    // The anchor point: across the edge, then along it, then the clamps.
    TipPoint a;
    if (Horizontal(side)) {
        a.y = side == TipSideBelow ? 0 : H;
        a.x = pos == TipAnchorNear ? o : pos == TipAnchorFar ? W - o : CentredAnchor(x, W, left, right);
        if (pos == TipAnchorFar) {
            if (x + W - a.x > right) a.x = W + x - right;
        } else if (x - a.x < left) {
            a.x = x - left;
        }
    } else {
        a.x = side == TipSideRight ? 0 : W;
        a.y = pos == TipAnchorNear ? o : pos == TipAnchorFar ? H - o : CentredAnchor(y, H, top, bottom);
        if (pos == TipAnchorFar) {
            if (y + H - a.y > bottom) a.y = H + y - bottom;
        } else if (y - a.y < top) {
            a.y = y - top;
        }
    }
    out.anchor = a;
    out.placement = side | pos;
    const int ah = in.anchorHeight;
    switch (side) {
    case TipSideBelow: out.body = TipRect{0, ah, W, H}; break;
    case TipSideAbove: out.body = TipRect{0, 0, W, H - ah}; break;
    case TipSideRight: out.body = TipRect{ah, 0, W, H}; break;
    default: out.body = TipRect{0, 0, W - ah, H}; break;
    }
    return out;
}

TipOutline TipRegionOutline(const TipPlacement& p, int anchorWidth, int anchorHeight, int anchorOffset) {
    TipOutline out;
    out.body = p.body;
    if (anchorWidth == 0 || anchorHeight == 0) return out;
    out.hasPointer = true;
    const int side = p.placement & 0x30, pos = p.placement & 0x0F;
    const TipRect& b = p.body;
    // The base runs along the body edge facing the cursor.
    const bool horizontal = Horizontal(side);
    const int lo = horizontal ? b.left : b.top;
    const int hi = horizontal ? b.right : b.bottom;
    const int along = horizontal ? p.anchor.x : p.anchor.y;
    int from, to;
    if (pos == TipAnchorNear) { from = lo + anchorOffset; to = from + anchorWidth; }
    else if (pos == TipAnchorFar) { from = hi - anchorOffset; to = from - anchorWidth; }
    else { from = along - anchorWidth / 2; to = from + anchorWidth; }
    const int edge = side == TipSideBelow ? b.top : side == TipSideAbove ? b.bottom
                   : side == TipSideRight ? b.left : b.right;
    out.triangle[0] = p.anchor;
    out.triangle[1] = horizontal ? TipPoint{from, edge} : TipPoint{edge, from};
    out.triangle[2] = horizontal ? TipPoint{to, edge} : TipPoint{edge, to};
    return out;
}

// ---------------------------------------------------------------- fading etc.

int FadeInStep(int transparency, int toolTransparency, bool* done) {
    int t = transparency <= 20 ? 0 : transparency - 20;
    *done = t <= toolTransparency;
    return *done ? toolTransparency : t;
}

int FadeOutStep(int transparency, bool* done) {
    int t = std::min(100, transparency + 20);
    *done = t >= 100;
    return t;
}

int TipShadowGrey(int darknessPercent, int transparency) {
    darknessPercent = std::clamp(darknessPercent, 0, 100);
    transparency = std::clamp(transparency, 0, 100);
    int g = html::HtmlMulDiv(255, 100 - darknessPercent, 100);
    return g + (255 - g) * transparency / 100;
}

// ------------------------------------------------------------ tools and flags

void ApplyTipDefaults(const TipDefaults& d, TipToolInfo* info) {
    const unsigned m = info->overrideMask;
    if (!(m & TipOverrideEffect)) { info->fillEffect = d.fillEffect; info->granularity = d.granularity; }
    if (!(m & TipOverrideColors)) {
        info->beginColor = d.beginColor; info->middleColor = d.middleColor; info->endColor = d.endColor;
    }
    if (!(m & TipOverridePlacement)) info->placement = d.placement;
    if (!(m & TipOverrideFlags)) info->flags = d.flags;
    if (!(m & TipOverrideTransparency)) info->transparency = d.transparency;
}

void TipToolRegistry::Register(TipHandle tool, const TipToolInfo& info) {
    auto& list = m_tools[tool];
    for (TipToolInfo& r : list)
        if (r.rect == info.rect) { r = info; return; }
    list.push_back(info);
}

void TipToolRegistry::Unregister(TipHandle tool, const TipRect* rect) {
    auto it = m_tools.find(tool);
    if (it == m_tools.end()) return;
    if (rect) {
        auto& list = it->second;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const TipToolInfo& r) { return r.rect == *rect; }),
                   list.end());
        if (!list.empty()) return;
    }
    m_tools.erase(it);
}

bool TipToolRegistry::FindByRect(TipHandle tool, const TipRect& rect, TipToolInfo* out) const {
    auto it = m_tools.find(tool);
    if (it == m_tools.end()) return false;
    for (const TipToolInfo& r : it->second)
        if (r.rect == rect) { *out = r; return true; }
    return false;
}

bool TipToolRegistry::FindById(TipHandle tool, int id, TipToolInfo* out) const {
    auto it = m_tools.find(tool);
    if (it == m_tools.end()) return false;
    for (const TipToolInfo& r : it->second)
        if (r.id == id) { *out = r; return true; }
    return false;
}

bool TipToolRegistry::SetText(TipHandle tool, int id, const std::string& text) {
    auto it = m_tools.find(tool);
    if (it == m_tools.end()) return false;
    for (TipToolInfo& r : it->second)
        if (r.id == id) { r.text = text; return true; }
    return false;
}

bool TipToolRegistry::SetRect(TipHandle tool, int id, const TipRect& rect) {
    auto it = m_tools.find(tool);
    if (it == m_tools.end()) return false;
    for (TipToolInfo& r : it->second)
        if (r.id == id) { r.rect = rect; return true; }
    return false;
}

bool TipToolRegistry::UnregisterById(TipHandle tool, int id) {
    auto it = m_tools.find(tool);
    if (it == m_tools.end()) return false;
    auto& list = it->second;
    auto r = std::find_if(list.begin(), list.end(), [&](const TipToolInfo& t) { return t.id == id; });
    if (r == list.end()) return false;
    list.erase(r);
    if (list.empty()) m_tools.erase(it);
    return true;
}

const TipToolInfo* TipToolRegistry::Lookup(TipHandle tool, const std::function<TipPoint()>& toWindow) const {
    auto it = m_tools.find(tool);
    if (it == m_tools.end() || it->second.empty()) return nullptr;
    const auto& list = it->second;
    if (list.size() == 1 && list[0].rect.IsEmpty()) return &list[0];
    const TipPoint p = toWindow();
    for (const TipToolInfo& r : list)
        if (r.rect.Contains(p)) return &r;
    return nullptr;
}

// ----------------------------------------------------------------- inspect mode

namespace {

std::string Format(const char* fmt, long long a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a);
    return buf;
}
std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

} // namespace

std::string InspectRow(const std::string& name, const std::string& value) {
    std::string v = value;
    std::replace(v.begin(), v.end(), '<', '?');
    if (v.size() > 25) v = v.substr(0, 21) + " ...";
    return "<tr><td width=70 bgcolor=buttonface>" + name + "</td><td width=130 bgcolor=window>" + v + "</td></tr>";
}

std::string BuildInspectText(const InspectWindowInfo& w) {
    char rect[96];
    std::snprintf(rect, sizeof rect, "(%d, %d)-(%d, %d)", w.rect.left, w.rect.top, w.rect.right, w.rect.bottom);
    std::string s = "<table><tr><td><font color=darkblue>Window</font><table border=1>";
    s += InspectRow("Class name", w.className);
    s += InspectRow("Title", w.title);
    s += InspectRow("Handle", Hex(w.handle));
    s += InspectRow("Control ID", Format("%lld", w.controlId));
    s += InspectRow("Styles", Hex(w.styles));
    s += InspectRow("RECT", rect);
    s += InspectRow("Width", Format("%lld", w.rect.Width()));
    s += InspectRow("Height", Format("%lld", w.rect.Height()));
    s += InspectRow("Has Tooltip", w.hasTooltip ? "Yes" : "No");
    s += "</table></td><td><font color=darkblue>Window Owner</font><table border=1>";
    s += InspectRow("Class name", w.ownerClassName);
    s += InspectRow("Title", w.ownerTitle);
    s += InspectRow("Handle", Hex(w.ownerHandle));
    s += "</table><br><font color=darkblue>Mouse Cursor</font><table border=1>";
    s += InspectRow("X", Format("%lld", w.cursor.x));
    s += InspectRow("Y", Format("%lld", w.cursor.y));
    s += "</table></td></tr></table>";
    return s;
}

// ------------------------------------------------------------- state machine

void TipController::RestartHideTimer() {
    // Only a tip on the screen has anything to hide: a hidden one keeps no
    // timer running.
    if (m_state != TipFadingIn && m_state != TipShown) return;
    if (timing.hideDelay != 0 && !(m_current.flags & TipNoAutoHide)) m_host.StartTimer(TipTimerHide, timing.hideDelay);
}

void TipController::OnMouseMove(TipHandle window, TipPoint screen) {
    if (m_currentMode == 1 || m_pendingMode == 1) return;
    if (screen == m_lastPos) return;
    m_lastPos = screen;
    if (inspectMode) {
        TipToolInfo info;
        info.text = m_host.InspectText(screen);
        RequestShow(m_host.OwnWindow(), info, true, 0);
        return;
    }
    const unsigned flags = m_current.flags;
    const bool overTip = m_host.TipUnderCursor(screen);
    if (overTip && !(flags & TipTrackMouse)) {
        if (flags & TipKeepOverTip) RestartHideTimer();
        else Hide();
        return;
    }
    TipHandle tool = 0;
    TipToolInfo info;
    if (!m_host.FindCandidate(window, screen, &tool, &info) || tool == 0) {
        ForgetCurrent();
        m_host.StopTimer(TipTimerInitial);
        Hide();
        return;
    }
    if (tool != m_currentTool || info.rect != m_current.rect) {
        RequestShow(tool, info, true, 0);
    } else if (flags & TipTrackMouse) {
        RestartHideTimer();
        m_host.MoveTipTo(screen);
    } else if (flags & TipKeepOnMove) {
        RestartHideTimer();
    } else if (flags & TipRepeatShow) {
        RequestShow(tool, info, true, 0);
    } else {
        Hide();
    }
}

void TipController::RequestShow(TipHandle tool, const TipToolInfo& info, bool withDelay, int showMode) {
    m_pendingShow = false;
    if (m_state == TipFadingIn || m_state == TipShown) Hide();
    m_pendingMode = showMode;
    m_pendingTool = tool;
    m_pending = info;
    if (m_state == TipHidden) {
        if (withDelay && timing.initialDelay != 0) m_host.StartTimer(TipTimerInitial, timing.initialDelay);
        else InitialDelayElapsed();
    } else {
        m_pendingShow = true;
        m_pendingDelay = withDelay && timing.initialDelay != 0;
    }
}

void TipController::ShowAtPoint(TipPoint screen, const std::string& text, int showMode) {
    if (text.empty()) {
        // Nothing to show: a show still waiting is cancelled, and the tip
        // goes back to following the mouse.
        m_pendingShow = false;
        m_host.StopTimer(TipTimerInitial);
        m_pendingMode = 0;
        Hide();
        return;
    }
    TipToolInfo info;
    info.text = text;
    info.overrideMask = TipOverrideFlags;
    info.flags = defaults.flags | TipNoAutoHide;
    m_shownAt = screen;
    m_lastPos = screen;
    RequestShow(m_host.OwnWindow(), info, false, showMode);
}

void TipController::Hide() {
    if (m_state == TipFadingIn) m_host.StopTimer(TipTimerFadeIn);
    if (m_state == TipFadingIn || m_state == TipShown) HideStep();
}

void TipController::HideStep() {
    m_host.StopTimer(TipTimerInitial);
    m_host.StopTimer(TipTimerFadeIn);
    m_host.StopTimer(TipTimerHide);
    if (m_state == TipFadingOut) return;
    m_state = TipFadingOut;
    if (timing.fadeOutEnabled && timing.fadeOutInterval != 0) {
        m_host.StartTimer(TipTimerFadeOut, timing.fadeOutInterval);
    } else {
        m_transparency = 100;
        FadeOutEnd();
    }
}

void TipController::FadeOutEnd() {
    if (m_current.flags & TipRepeatShow) ForgetCurrent();
    m_host.HideWindow();
    m_state = TipHidden;
    if (m_pendingShow) {
        m_pendingShow = false;
        if (m_pendingDelay) m_host.StartTimer(TipTimerInitial, timing.initialDelay);
        else InitialDelayElapsed();
    } else {
        m_pendingMode = m_currentMode = 0;
    }
}

void TipController::CursorLeft() {
    ForgetCurrent();
    m_host.StopTimer(TipTimerInitial);
    Hide();
}

void TipController::HideNow() {
    m_state = TipHidden;
    m_pendingMode = m_currentMode = 0;
    m_pendingShow = false;
    for (int id = TipTimerInitial; id <= TipTimerFadeOut; ++id) m_host.StopTimer(id);
    if (m_host.WindowVisible()) {
        if (m_current.flags & TipRepeatShow) ForgetCurrent();
        m_host.HideWindow();
    }
}

void TipController::InitialDelayElapsed() {
    m_host.StopTimer(TipTimerInitial);
    const bool atPoint = m_pendingMode == 1 || m_pendingMode == 2;
    const TipPoint ref = atPoint ? m_shownAt : m_host.CursorPos();
    if (ref != m_lastPos) {
        Hide();
        return;
    }
    if (m_state != TipHidden) return;
    ApplyTipDefaults(defaults, &m_pending);
    const bool fading = timing.fadeInEnabled && timing.fadeInInterval != 0;
    m_state = TipFadingIn;
    m_transparency = fading ? 100 : std::clamp(m_pending.transparency, 0, 100);
    if (!m_host.ShowTip(m_pendingTool, m_pending, ref, m_pendingMode, m_transparency)) {
        // Nothing to show (no text): stay hidden, and let the mouse show
        // tips again.
        m_state = TipHidden;
        m_pendingMode = 0;
        return;
    }
    if (fading) {
        m_host.StartTimer(TipTimerFadeIn, timing.fadeInInterval);
    } else {
        m_state = TipShown;
        if (timing.hideDelay != 0 && !(m_pending.flags & TipNoAutoHide))
            m_host.StartTimer(TipTimerHide, timing.hideDelay);
    }
}

void TipController::OnPainted() {
    m_currentTool = m_pendingTool;
    m_current = m_pending;
    m_currentMode = m_pendingMode;
}

void TipController::OnTimer(int id) {
    switch (id) {
    case TipTimerInitial:
        InitialDelayElapsed();
        break;
    case TipTimerHide:
        m_host.StopTimer(TipTimerHide);
        Hide();
        break;
    case TipTimerFadeIn: {
        bool done = false;
        m_transparency = FadeInStep(m_transparency, std::clamp(m_current.transparency, 0, 100), &done);
        if (done) {
            m_host.StopTimer(TipTimerFadeIn);
            m_state = TipShown;
            RestartHideTimer();
        }
        m_host.Repaint(m_transparency);
        break;
    }
    case TipTimerFadeOut: {
        bool done = false;
        m_transparency = FadeOutStep(m_transparency, &done);
        if (!done) {
            m_host.Repaint(m_transparency);
        } else {
            m_host.StopTimer(TipTimerFadeOut);
            FadeOutEnd();
        }
        break;
    }
    default:
        break;
    }
}

} // namespace tooltip
