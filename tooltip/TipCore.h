// The tooltip window's decisions without a window: where a tip goes and
// which way its pointer faces, the outline of its region, the fade steps,
// the shadow's grey, the registry of tools, the inspect-mode text, and the
// show/hide state machine with its timers.
//
// CHtToolTip (HtToolTip_win.cpp) owns one TipController and answers its
// TipHost calls with timers, window moves and painting, so that everything
// here is tested natively with a fake host and plain numbers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tooltip {

struct TipPoint {
    int x = 0, y = 0;
    bool operator==(const TipPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const TipPoint& o) const { return !(*this == o); }
};

// left, top, right, bottom; contains a point as a window rectangle does
// (right and bottom edges excluded).
struct TipRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(TipPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    TipRect Offset(int dx, int dy) const { return TipRect{left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const TipRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const TipRect& o) const { return !(*this == o); }
};

// ------------------------------------------------------------------ placement

// A placement value: a side (high nibble) and an anchor position along it.
enum : int {
    TipSideBelow = 0x00,  // tip below the cursor, pointer on its top edge
    TipSideAbove = 0x10,  // above, pointer on the bottom edge
    TipSideRight = 0x20,  // right of the cursor, pointer on the left edge
    TipSideLeft = 0x30,   // left of the cursor, pointer on the right edge
    TipAnchorNear = 0, TipAnchorFar = 1, TipAnchorCentre = 2,
};

struct TipPlacementInput {
    int placement = 0x10;
    TipPoint cursor;
    int bodyWidth = 0, bodyHeight = 0;
    int anchorWidth = 0, anchorHeight = 0, anchorOffset = 0;
    TipRect screen;  // the virtual screen
};

struct TipPlacement {
    int placement = 0;   // the value actually used
    int width = 0, height = 0;
    TipPoint anchor;     // inside the window; window origin = cursor - anchor
    TipRect body;        // the body inside the window (window less the pointer strip)
};

TipPlacement PlaceTip(const TipPlacementInput& in);

// The region's outline: a rounded body and, when the pointer has a size, a
// triangle whose tip is the anchor point.
struct TipOutline {
    TipRect body;
    bool hasPointer = false;
    TipPoint triangle[3];
};
TipOutline TipRegionOutline(const TipPlacement& p, int anchorWidth, int anchorHeight, int anchorOffset);

// ---------------------------------------------------------------- fading etc.

// One fade-in step from `transparency` towards the tool's own; `done` when
// it arrived (the result is then exactly the tool's transparency).
int FadeInStep(int transparency, int toolTransparency, bool* done);
// One fade-out step; `done` at 100.
int FadeOutStep(int transparency, bool* done);
// The shadow mask's grey for a darkness percent, lightened by transparency.
int TipShadowGrey(int darknessPercent, int transparency);

// ------------------------------------------------------------ tools and flags

using TipHandle = std::uintptr_t;  // a window handle, 0 for none

enum : unsigned {
    TipRepeatShow = 0x01,
    TipTrackMouse = 0x02,
    TipKeepOnMove = 0x04,
    TipKeepOverTip = 0x08,
    TipNoAutoHide = 0x10,
};

// Which fields of a TipToolInfo override the tooltip's defaults.
enum : unsigned {
    TipOverrideEffect = 0x02,
    TipOverrideColors = 0x04,
    TipOverridePlacement = 0x08,
    TipOverrideFlags = 0x10,
    TipOverrideTransparency = 0x20,
};

struct TipToolInfo {
    int id = 0;
    TipRect rect;          // tool window client coordinates; empty = whole window
    std::string text;      // HTML
    unsigned overrideMask = 0;
    int placement = 0;
    int fillEffect = 0;
    unsigned flags = 0;
    int granularity = 0;
    int transparency = 0;
    std::uint32_t beginColor = 0, middleColor = 0, endColor = 0;
};

// The tooltip's own defaults for the fields a tool does not override.
struct TipDefaults {
    int fillEffect = 0;
    int granularity = 0;
    std::uint32_t beginColor = 0, middleColor = 0, endColor = 0;
    int placement = 0x10;
    unsigned flags = 0;
    int transparency = 0;
};
void ApplyTipDefaults(const TipDefaults& d, TipToolInfo* info);

// The registered tools: an ordered map from a tool window to its records.
class TipToolRegistry {
public:
    // A record with an equal rectangle for the same window is replaced.
    void Register(TipHandle tool, const TipToolInfo& info);
    // With a rectangle: that record; without: every record of the window.
    void Unregister(TipHandle tool, const TipRect* rect);
    void Clear() { m_tools.clear(); }
    bool FindByRect(TipHandle tool, const TipRect& rect, TipToolInfo* out) const;
    bool FindById(TipHandle tool, int id, TipToolInfo* out) const;
    bool SetText(TipHandle tool, int id, const std::string& text);
    bool SetRect(TipHandle tool, int id, const TipRect& rect);
    bool UnregisterById(TipHandle tool, int id);
    bool HasTool(TipHandle tool) const { return m_tools.count(tool) != 0; }
    // The record for a point: a single record with an empty rectangle
    // answers for the whole window; otherwise the first record containing
    // the point, which `toWindow` turns into the window's client coordinates
    // (called only when needed). Null when none.
    const TipToolInfo* Lookup(TipHandle tool, const std::function<TipPoint()>& toWindow) const;

private:
    std::map<TipHandle, std::vector<TipToolInfo>> m_tools;
};

// ----------------------------------------------------------------- inspect mode

struct InspectWindowInfo {
    std::string className, title;
    std::uint32_t handle = 0;
    int controlId = 0;
    std::uint32_t styles = 0;
    TipRect rect;
    bool hasTooltip = false;
    std::string ownerClassName, ownerTitle;
    std::uint32_t ownerHandle = 0;
    TipPoint cursor;
};
// One row of the window-information table; "<" in the value becomes "?"
// and a value longer than 25 characters is cut to 21 plus " ...".
std::string InspectRow(const std::string& name, const std::string& value);
std::string BuildInspectText(const InspectWindowInfo& info);

// ------------------------------------------------------------- state machine

enum : int {
    TipTimerInitial = 256,
    TipTimerHide = 257,
    TipTimerFadeIn = 258,
    TipTimerFadeOut = 259,
    TipTimerAnimation = 260,
};

enum TipDisplayState : int { TipHidden = 0, TipFadingIn = 1, TipShown = 2, TipFadingOut = 3 };

// What the state machine asks of its window.
class TipHost {
public:
    virtual ~TipHost() = default;
    virtual void StartTimer(int id, int ms) = 0;
    virtual void StopTimer(int id) = 0;
    virtual bool WindowVisible() = 0;
    virtual void HideWindow() = 0;
    // Paints the shown tip again with this transparency.
    virtual void Repaint(int transparency) = 0;
    virtual TipPoint CursorPos() = 0;
    // Is the cursor over the tip window itself?
    virtual bool TipUnderCursor(TipPoint screen) = 0;
    // The tool under the cursor for a mouse message of `window`: false when
    // there is no candidate window; `info` stays empty when the registry has
    // no record for the point.
    virtual bool FindCandidate(TipHandle window, TipPoint screen, TipHandle* tool, TipToolInfo* info) = 0;
    // Notifies the owner, lays out, places and shows the tip (defaults are
    // already in `info`); false when there is nothing to show.
    virtual bool ShowTip(TipHandle tool, TipToolInfo& info, TipPoint at, int showMode, int transparency) = 0;
    virtual void MoveTipTo(TipPoint screen) = 0;
    // Inspect mode: the window-information text for the point.
    virtual std::string InspectText(TipPoint screen) = 0;
    virtual TipHandle OwnWindow() = 0;
};

struct TipTiming {
    int hideDelay = 5000;
    int initialDelay = 500;
    int fadeInInterval = 0;
    int fadeOutInterval = 0;
    bool fadeInEnabled = true;
    bool fadeOutEnabled = true;
};

class TipController {
public:
    explicit TipController(TipHost& host) : m_host(host) {}

    TipTiming timing;
    TipDefaults defaults;
    bool inspectMode = false;

    void OnMouseMove(TipHandle window, TipPoint screen);
    // A show request (with or without the initial delay) in a show mode:
    // 0 by mouse, 1 at a point on request, 2 like 1 without z-order change.
    void RequestShow(TipHandle tool, const TipToolInfo& info, bool withDelay, int showMode);
    // Shows at once at a point (show mode 1, no auto-hide).
    void ShowAtPoint(TipPoint screen, const std::string& text, int showMode = 1);
    void Hide();
    void HideNow();
    // The cursor left the owner's windows, where no mouse message tells of
    // it: as a move onto no window at all.
    void CursorLeft();
    void OnTimer(int id);
    // The window painted: the pending tool became the current one.
    void OnPainted();
    void RestartHideTimer();

    int State() const { return m_state; }
    int Transparency() const { return m_transparency; }
    TipHandle CurrentTool() const { return m_currentTool; }
    const TipToolInfo& CurrentInfo() const { return m_current; }
    TipHandle PendingTool() const { return m_pendingTool; }
    const TipToolInfo& PendingInfo() const { return m_pending; }
    int CurrentMode() const { return m_currentMode; }
    bool HasPendingShow() const { return m_pendingShow; }

private:
    void HideStep();
    void FadeOutEnd();
    void InitialDelayElapsed();
    void ForgetCurrent() { m_currentTool = 0; m_current = TipToolInfo{}; }

    TipHost& m_host;
    int m_state = TipHidden;
    int m_transparency = 0;
    int m_pendingMode = 0, m_currentMode = 0;
    bool m_pendingShow = false, m_pendingDelay = false;
    TipHandle m_pendingTool = 0, m_currentTool = 0;
    TipToolInfo m_pending, m_current;
    TipPoint m_lastPos{-32768, -32768};
    TipPoint m_shownAt;
};

} // namespace tooltip
