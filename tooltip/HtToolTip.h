// CHtToolTip: a top-level popup that shows HTML tooltips for the registered
// tool windows of an owner. The owner hands it every message before its own
// handling (FilterMessage); the tip finds the tool under the cursor, waits
// the initial delay, places a balloon or rectangle next to the cursor on the
// screen, paints it (fill effect, frame, drop shadow, translucency) and
// hides it again on leaving the tool, a click, a key or a timeout.
//
// The decisions (placement, states, registry) live in TipCore; this class
// turns them into timers, regions and painting: its text through the HTML
// renderer, its fill, shadow and translucency through the effect painter.
#pragma once
#include "effects/EffectPainter.h"
#include "html/HtmlRenderer.h"
#include "tooltip/TipCore.h"
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <string>
#include <vector>

namespace tooltip {

// Sent to the owner (WM_NOTIFY, code TTN_HTSHOW) just before a tip shows;
// the owner may change the record, its text in particular.
struct NMHTTOOLTIP {
    NMHDR hdr;
    HWND tool;
    POINT* cursor;
    TipToolInfo* info;
};
constexpr UINT TTN_HTSHOW = WM_USER + 100;
// The renderer's hover notification to the tip window.
constexpr UINT WM_HTTIP_HOVER = WM_USER + 101;

class CHtToolTip : private TipHost {
public:
    enum TimingKind { TimingHideDelay = 2, TimingInitialDelay = 3, TimingFadeIn = 4, TimingFadeOut = 5,
                      TimingAnimation = 6 };

    CHtToolTip();
    ~CHtToolTip() override;
    CHtToolTip(const CHtToolTip&) = delete;
    CHtToolTip& operator=(const CHtToolTip&) = delete;

    bool CreateTipWindow(HWND owner, bool balloon);
    void DestroyTipWindow();
    HWND Hwnd() const { return m_hwnd; }

    // Tools. A null rectangle means the whole window.
    void RegisterTool(HWND tool, const std::string& text, const RECT* rect = nullptr, int id = 0);
    void RegisterTool(HWND tool, UINT textId, const RECT* rect = nullptr, int id = 0);
    void RegisterToolWithIcon(HWND tool, const std::string& text, HICON icon, const RECT* rect = nullptr, int id = 0);
    void RegisterToolWithIcon(HWND tool, UINT textId, HICON icon, const RECT* rect = nullptr, int id = 0);
    void RegisterToolWithIconResource(HWND tool, const std::string& text, int iconId, SIZE size,
                                      const RECT* rect = nullptr, int id = 0);
    void RegisterToolWithIconResource(HWND tool, UINT textId, int iconId, SIZE size, const RECT* rect = nullptr,
                                      int id = 0);
    void RegisterToolWithBitmapResource(HWND tool, const std::string& text, int bitmapId, COLORREF mask, SIZE size,
                                        const RECT* rect = nullptr, int id = 0);
    void RegisterToolWithBitmapResource(HWND tool, UINT textId, int bitmapId, COLORREF mask, SIZE size,
                                        const RECT* rect = nullptr, int id = 0);
    void UnregisterTool(HWND tool, const RECT* rect = nullptr);
    void UnregisterAllTools();
    bool FindToolByRect(HWND tool, const RECT& rect, TipToolInfo* out) const;
    bool FindToolById(HWND tool, int id, TipToolInfo* out) const;
    bool SetToolText(HWND tool, int id, const std::string& text);
    bool SetToolRect(HWND tool, int id, const RECT& rect);
    bool UnregisterToolById(HWND tool, int id);
    void RegisterToolBar(HWND toolbar);

    // The input filter; never consumes the message.
    void FilterMessage(const MSG& msg);

    void ShowAtPoint(POINT screen, const std::string& text);
    void ShowAtPoint(POINT screen, UINT textId);
    void ShowAtPoint(POINT screen, const std::string& text, HICON icon);
    void ShowAtPoint(POINT screen, const std::string& text, int iconId, SIZE size);
    void HideNow();

    // Settings.
    void SetFillColors(COLORREF all);
    void SetFillColors(COLORREF begin, COLORREF end);
    void SetFillColors(COLORREF begin, COLORREF middle, COLORREF end);
    void SetFillEffect(int effect, int granularity);
    void SetFrame(COLORREF brushColor, int width, int height);
    void RemoveFrame() { m_frameBrush.Reset(); }
    void SetTiming(int kind, int ms);
    int GetTiming(int kind) const;
    void SetBehaviourFlags(unsigned flags) { m_ctl.defaults.flags = flags; }
    void SetPlacement(int placement) { m_ctl.defaults.placement = placement; }
    void SetTransparency(int t) { if (t >= 0 && t <= 100) m_ctl.defaults.transparency = t; }
    void SetShapeValue(int index, int value);
    int GetShapeValue(int index) const;
    void UseBalloonShape(bool balloon);
    void SetDropShadow(int dx, int dy, int darknessPercent, bool soft, int blurWidth, int blurHeight);
    void SetNotifyTarget(bool on) { m_notifyWnd = on ? m_owner : nullptr; }
    void SetRepaintOnHover(bool on) { m_repaintOnHover = on; }
    void SetWrapWidth(int pixels) { m_renderer.SetMaxWidth(pixels); }
    void SetStyleSheet(const char* sheet);
    // The tip's renderer: the frames of "ilst" tags and the module of
    // "iddll" pictures.
    bool SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                      COLORREF mask) {
        return m_renderer.SetImageList(strip, resource, frameWidth, frameHeight, initialCount, mask);
    }
    bool SetResourceModule(const char* library, DWORD flags) { return m_renderer.SetResourceModule(library, flags); }
    void SetInspectMode(bool on) { m_ctl.inspectMode = on; }
    void EnableFadeIn(bool on) { m_ctl.timing.fadeInEnabled = on; }
    void EnableFadeOut(bool on) { m_ctl.timing.fadeOutEnabled = on; }

    // State, for the owner and for tests.
    int DisplayState() const { return m_ctl.State(); }
    int Transparency() const { return m_ctl.Transparency(); }
    const TipToolInfo& CurrentTool() const { return m_ctl.CurrentInfo(); }
    int UsedPlacement() const { return m_placementUsed; }
    RECT WindowRect() const { return m_windowRect; }
    // Paints the prepared tip (body, shadow and what lay beneath) into a DC
    // of the window's size, as WM_PAINT does, for tests that look at it.
    void PaintInto(HDC target) { Paint(target, m_ctl.Transparency(), false); }
    // Milliseconds of the last paint (QueryPerformanceCounter), for the benchmark.
    LONGLONG LastPaintTicks() const { return m_lastPaintTicks; }

private:
    static LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void Paint(HDC target, int transparency, bool fromPaintMessage);
    bool FindToolbarButton(HWND window, POINT screen, TipToolInfo* info);
    std::string ResourceText(UINT id) const;

    // TipHost
    void StartTimer(int id, int ms) override;
    void StopTimer(int id) override;
    bool WindowVisible() override;
    void HideWindow() override;
    void Repaint(int transparency) override;
    TipPoint CursorPos() override;
    bool TipUnderCursor(TipPoint screen) override;
    bool FindCandidate(TipHandle window, TipPoint screen, TipHandle* tool,
                       TipToolInfo* info) override;
    bool ShowTip(TipHandle tool, TipToolInfo& info, TipPoint at, int showMode,
                 int transparency) override;
    void MoveTipTo(TipPoint screen) override;
    std::string InspectText(TipPoint screen) override;
    TipHandle OwnWindow() override { return reinterpret_cast<TipHandle>(m_hwnd); }

    HWND m_hwnd = nullptr;
    HWND m_owner = nullptr;
    HWND m_notifyWnd = nullptr;
    TipController m_ctl;
    TipToolRegistry m_tools;
    std::vector<HWND> m_toolbars;
    html::CHtmlRenderer m_renderer;
    effects::CEffectPainter m_effects;

    int m_shape[9] = {};
    int m_shadowDx = 6, m_shadowDy = 6, m_shadowDarkness = 50, m_blurW = 7, m_blurH = 7;
    bool m_shadowSoft = true;
    int m_animationInterval = 100;
    bool m_repaintOnHover = true;
    tk::Brush m_frameBrush;
    int m_frameW = 1, m_frameH = 1;

    // The prepared tip.
    RECT m_textRect{}, m_bodyRect{}, m_windowRect{};
    int m_placementUsed = 0;
    tk::Region m_region;          // body and pointer, window coordinates
    tk::Bitmap m_background;      // the body's fill over the window rectangle
    tk::Bitmap m_savedScreen;     // what lay under the window
    bool m_screenSaved = false;
    LONGLONG m_lastPaintTicks = 0;
};

} // namespace tooltip
