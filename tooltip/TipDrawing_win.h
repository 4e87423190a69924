// The one place where the tooltip window and the HTML label reach the HTML
// renderer and the drawing effects. Both hold a TipHtml (their own renderer)
// and the tooltip a TipEffects, so the window code depends on this narrow
// face only and the classes behind it can change without touching it.
#pragma once
#include "toolkit/Win.h"

#include <memory>
#include <string>

class TipHtml {
public:
    TipHtml();
    ~TipHtml();
    TipHtml(const TipHtml&) = delete;
    TipHtml& operator=(const TipHtml&) = delete;

    // Size of the laid-out text (the measuring pass); (0, 0) when empty.
    SIZE Measure(HDC dc, const std::string& html);
    // Draws the text of the last Measure into the rectangle.
    void DrawPrepared(HDC dc, const RECT& rect);
    // Hover handling; true when the hand cursor was set.
    bool OnMouseMove(POINT p);
    // Follows the hyperlink under the point, if any.
    void OnClick(POINT p);
    // Advances animated frames; true when the owner must repaint.
    bool StepAnimation();
    void SetHoverNotify(HWND wnd, UINT message, LPARAM lParam);
    void SetMaxWidth(int pixels);
    void SetStyleSheet(const char* sheet);
    std::string GetStyleSheet() const;
    // Line `line` (lines split at line feeds) of the program's string `id`.
    std::string GetResourceStringLine(int id, int line) const;
    // The image list of "ilst" tags and the module of "iddll" pictures.
    bool SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                      COLORREF mask);
    bool SetResourceModule(const char* library, DWORD flags);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class TipEffects {
public:
    TipEffects();
    ~TipEffects();
    TipEffects(const TipEffects&) = delete;
    TipEffects& operator=(const TipEffects&) = delete;

    void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF begin, COLORREF middle, COLORREF end,
                    int granularity, int colouringPercent);
    void TileBitmap(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int tileWidth,
                    int tileHeight);
    void DrawShadow(HDC dc, int x, int y, int width, int height, HBITMAP mask, bool soft, int blurWidth,
                    int blurHeight);
    void BlendConstant(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int percent);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
