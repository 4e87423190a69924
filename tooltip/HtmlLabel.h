// CHtmlLabel: a static text control that shows its window text as HTML over
// a snapshot of what its parent painted beneath it, with clickable links
// and hover styles. Bound to a template's static control, it subclasses it.
#pragma once
#include "html/HtmlRenderer.h"
#include "toolkit/Controls.h"
#include "toolkit/Handles.h"

#include <string>

namespace tooltip {

class CHtmlLabel : public tk::CStatic {
public:
    CHtmlLabel();
    ~CHtmlLabel() override;

    void Attach(HWND wnd) override;
    void Detach() override;

    // Link colours (COLORREF) and underlines, normal and hovered.
    void SetLinkStyle(COLORREF normal, bool normalUnderline, COLORREF hover, bool hoverUnderline);
    // Cleans and shows a text; WM_SETTEXT lands here too.
    void SetLabelText(const std::string& text);
    const std::string& LabelText() const { return m_text; }
    RECT TextRect() const { return m_textRect; }

private:
    // An ANSI window procedure, so that the texts of WM_SETTEXT and
    // WM_GETTEXT arrive as 8-bit text whatever the control's own class is.
    static LRESULT CALLBACK LabelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return ::CallWindowProcA(m_oldProc, m_hwnd, msg, wp, lp); }
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp, bool* handled);
    void OnPaint();
    // Measures and draws into `dc`, or into the window's own DC when null.
    void Draw(HDC dc);

    html::CHtmlRenderer m_renderer;
    std::string m_text;
    std::string m_baseSheet;
    tk::Bitmap m_background;
    RECT m_textRect{};
    SIZE m_measured{};
    int m_repaintCount = 0;
    WNDPROC m_oldProc = nullptr;
};

} // namespace tooltip
