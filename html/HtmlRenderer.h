// The HTML renderer as the program's windows use it: the portable passes of
// html/HtmlRendererCore.h drawn into a device context through a GDI
// canvas, with the Windows side of links (shell and registry), window
// notifications, string resources and the hand cursor.
//
// Owners call Measure to size their window, then DrawPrepared from their
// paint handler, and forward mouse moves and clicks in the rendered area's
// coordinates.
#pragma once

#include "effects/EffectPainter.h"
#include "html/HtmlImages_win.h"
#include "html/HtmlRendererCore.h"
#include "toolkit/Handles.h"
#include "toolkit/Win.h"

#include <string>

namespace html {

// An HtmlCanvas over a device context for the length of one call: it resets
// the DC's text justification and restores the DC's font, background mode,
// text colour and background colour when it goes. Lines, fills and borders
// are drawn by the renderer's effect painter.
class CGdiCanvas : public HtmlCanvas {
public:
    CGdiCanvas(HDC dc, effects::CEffectPainter& painter);
    ~CGdiCanvas() override;
    CGdiCanvas(const CGdiCanvas&) = delete;
    CGdiCanvas& operator=(const CGdiCanvas&) = delete;

    int Dpi() override;
    HtmlFontHandle MakeFont(const HtmlFontSpec& desc, HtmlFontMetrics* metrics) override;
    void FreeFont(HtmlFontHandle font) override;
    void SetTextStyle(HtmlFontHandle font, int backgroundMode, HtmlColor text,
                      HtmlColor background) override;
    int TextWidth(HtmlFontHandle font, const char* text, std::size_t length) override;
    void SetJustification(int extra, int breakCount) override;
    void DrawString(int x, int y, const char* text, std::size_t length) override;
    void DrawLine(int x1, int y1, int x2, int y2, HtmlColor color, int style, int width) override;
    void Fill(const HtmlRect& rect, int effect, HtmlColor begin, HtmlColor middle,
              HtmlColor end, int granularity, int colouring) override;
    void DrawBorder(const HtmlRect& rect, HtmlColor light, HtmlColor dark, int style,
                    int width) override;
    // Bitmaps, icons, strip frames and tiled pictures (html/HtmlImages_win.cpp).
    void DrawImage(const HtmlImageDraw& image) override;

private:
    void Select(HFONT font);
    HDC m_dc;
    effects::CEffectPainter& m_painter;
    HGDIOBJ m_savedFont;
    int m_savedMode;
    COLORREF m_savedText;
    COLORREF m_savedBackground;
    HFONT m_current = nullptr;
    int m_extra = 0;
    int m_breaks = 0;
};

// System colours, string resources, link opening, notifications and the hand
// cursor, for the renderer. A base of CHtmlRenderer, so that it exists
// before the renderer's core reads the system colours.
class CWinHtmlPlatform : public HtmlPlatform {
public:
    CWinHtmlPlatform();
    ~CWinHtmlPlatform() override = default;
    CWinHtmlPlatform(const CWinHtmlPlatform&) = delete;
    CWinHtmlPlatform& operator=(const CWinHtmlPlatform&) = delete;

    HtmlColor SysColor(int index) override;
    std::string LoadStringResource(unsigned id, const std::string& library) override;
    void OpenLink(const std::string& target) override;
    void Notify(const HtmlNotifyTarget& target, std::intptr_t wParam) override;
    bool ShowHandCursor() override;

    // Replaces the hand cursor (the renderer destroys the one given); null
    // goes back to the system's hand cursor.
    void SetHandCursor(HCURSOR cursor);
    HCURSOR HandCursor() const { return m_hand; }
    // The module of "idres" image lookups: a library loaded by name (the
    // previous one freed when the renderer loaded it), or the program again.
    bool SetResourceModule(const char* library, DWORD flags);
    HMODULE ResourceModule() const { return m_module; }

private:
    HCURSOR m_hand = nullptr;   // the one shown: m_ownHand's, or the system's shared one
    tk::Cursor m_ownHand;
    HMODULE m_module = nullptr; // m_ownModule's, or the program
    tk::Library m_ownModule;
};

class CHtmlRenderer : public CWinHtmlPlatform, public CHtmlRendererCore {
public:
    CHtmlRenderer();

    using CHtmlRendererCore::DrawPrepared;
    using CHtmlRendererCore::HitTestLink;
    using CHtmlRendererCore::Measure;
    using CHtmlRendererCore::MeasureAndDraw;
    using CHtmlRendererCore::OnClick;
    using CHtmlRendererCore::OnMouseMove;
    using CHtmlRendererCore::SetHoverNotify;
    using CHtmlRendererCore::SetLinkMessageNotify;

    SIZE Measure(HDC dc, const std::string& text);
    void DrawPrepared(HDC dc, const RECT& rect);
    SIZE MeasureAndDraw(HDC dc, const std::string& text, POINT origin);
    void SetHoverNotify(HWND window, UINT message, LPARAM lParam);
    void SetLinkMessageNotify(HWND window, UINT message, LPARAM lParam);
    int HitTestLink(POINT point) const { return HitTestLink(point.x, point.y); }
    bool OnMouseMove(POINT point) { return OnMouseMove(point.x, point.y); }
    void OnClick(POINT point) { OnClick(point.x, point.y); }

    effects::CEffectPainter& Painter() { return m_painter; }

    // The image list of "ilst" tags without a source: frames of a strip
    // bitmap (not taken over), or of the program's bitmap resource when
    // `strip` is null.
    bool SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                      COLORREF mask);
    // The module of "iddll" pictures and lookups (null: the program again).
    bool SetResourceModule(const char* library, DWORD flags);

private:
    effects::CEffectPainter m_painter;
    CWinHtmlImages m_images;
};

} // namespace html
