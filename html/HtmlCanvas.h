// What the HTML renderer's layout needs from the outside world, as two small
// interfaces, so that the layout itself never sees a device context:
//
//  - HtmlCanvas: fonts (an opaque handle plus metrics), text measuring and
//    the few drawing calls the renderer makes. The program's canvas draws
//    with GDI (html/HtmlRenderer_win.cpp); the tests use a canvas whose
//    fonts have fixed metrics and which records every call.
//  - HtmlPlatform: system colours, string resources, opening a link,
//    notifying a window and the hand cursor.
//
// Colours are 0x00BBGGRR values throughout; text is 8-bit (ANSI code page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace html {

using HtmlColor = std::uint32_t;
using HtmlFontHandle = std::uintptr_t;   // 0 is "no font"

// What a font is made from: the style's size, weight, flags and face.
struct HtmlFontSpec {
    int height = 16;         // pixels (the LOGFONT height)
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    std::string face = "Verdana";
    bool operator==(const HtmlFontSpec& o) const {
        return height == o.height && weight == o.weight && italic == o.italic && underline == o.underline &&
               strikeout == o.strikeout && face == o.face;
    }
};

struct HtmlFontMetrics {
    int height = 0;    // tmHeight
    int ascent = 0;    // tmAscent
};

struct HtmlRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    bool operator==(const HtmlRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// An image the canvas can draw: a platform handle (bitmap or icon) with the
// effect arguments of the drawing toolbox. Filled by the tables-and-images
// layout; the text layout draws none.
struct HtmlImageDraw {
    int kind = 0;                  // 0 bitmap, 1 icon, 2 strip frame, 3 tiled over x, y, width, height
    std::uintptr_t handle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int frameIndex = 0, frameWidth = 0, frameHeight = 0;
    bool useMask = false;
    HtmlColor maskColor = 0;
    unsigned effectFlags = 0;
    bool offset = false;
    int shadowDx = 0, shadowDy = 0, blurWidth = 0, blurHeight = 0;
    HtmlColor effectColor = 0;
};

class HtmlCanvas {
public:
    virtual ~HtmlCanvas() = default;

    // Vertical resolution in dots per inch (GetDeviceCaps LOGPIXELSY).
    virtual int Dpi() = 0;

    // Makes a font and reports its metrics; the renderer deletes every font
    // it made. A canvas may return the same handle for equal specs.
    virtual HtmlFontHandle MakeFont(const HtmlFontSpec& desc, HtmlFontMetrics* metrics) = 0;
    virtual void FreeFont(HtmlFontHandle font) = 0;
    // The font, background mode (1 transparent, 2 opaque), text colour and
    // background colour of the text drawn from now on.
    virtual void SetTextStyle(HtmlFontHandle font, int backgroundMode, HtmlColor text, HtmlColor background) = 0;

    // Width of `length` bytes of text in `font`, without any justification.
    virtual int TextWidth(HtmlFontHandle font, const char* text, std::size_t length) = 0;

    // Extra pixels spread over the break characters (spaces) of the text drawn
    // next, GDI's SetTextJustification; (0, 0) switches it off.
    virtual void SetJustification(int extra, int breakCount) = 0;
    virtual void DrawString(int x, int y, const char* text, std::size_t length) = 0;
    // A line in the drawing toolbox's border style (1 solid, 6 double, ...).
    virtual void DrawLine(int x1, int y1, int x2, int y2, HtmlColor color, int style, int width) = 0;
    // A fill effect of the drawing toolbox over a rectangle.
    virtual void Fill(const HtmlRect& rect, int effect, HtmlColor begin, HtmlColor middle, HtmlColor end,
                      int granularity, int colouring) = 0;
    // The drawing toolbox's 3-D border (tables).
    virtual void DrawBorder(const HtmlRect& rect, HtmlColor light, HtmlColor dark, int style, int width) {
        (void)rect; (void)light; (void)dark; (void)style; (void)width;
    }
    // Images with effects (tables and images).
    virtual void DrawImage(const HtmlImageDraw& image) { (void)image; }
};

// A window notification target: window handle, message number, lParam. It is
// inactive while the window or the message is zero.
struct HtmlNotifyTarget {
    std::uintptr_t window = 0;
    unsigned message = 0;
    std::intptr_t lParam = 0;
    bool Active() const { return window != 0 && message != 0; }
};

class HtmlPlatform {
public:
    virtual ~HtmlPlatform() = default;
    // GetSysColor.
    virtual HtmlColor SysColor(int index) = 0;
    // A string resource: from the program when `library` is empty, else from
    // that library (loaded and freed around the call); empty when missing.
    virtual std::string LoadStringResource(unsigned id, const std::string& library) = 0;
    // Opens a hyperlink target (the shell, then the HTML files' handler).
    virtual void OpenLink(const std::string& target) = 0;
    // SendMessage(target.window, target.message, wParam, target.lParam).
    virtual void Notify(const HtmlNotifyTarget& target, std::intptr_t wParam) = 0;
    // Shows the hand cursor; false when there is none.
    virtual bool ShowHandCursor() = 0;
};

}  // namespace html
