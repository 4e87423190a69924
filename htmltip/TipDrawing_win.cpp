// TipHtml and TipEffects: the renderer and the drawing effects as the
// tooltip window and the HTML label see them.
//
// Until the HTML renderer and the effect painter are part of the program,
// this file stands in with the least that keeps the windows usable: the
// text without its markup (line breaks kept) in the dialog font, solid and
// gradient fills, and GDI blends. Each operation becomes a call of the real
// class when that class arrives; nothing else changes.
#include "htmltip/TipDrawing_win.h"

#include "toolkit/Handles.h"

#include <algorithm>
#include <vector>

namespace {

// The text a person reads: tags dropped, <br> and line feeds kept as breaks.
std::string VisibleText(const std::string& html) {
    std::string out, tag;
    bool inTag = false;
    for (size_t i = 0; i < html.size(); ++i) {
        char c = html[i];
        if (!inTag && c == '<') {
            if (i + 1 < html.size() && html[i + 1] == '<') { out += '<'; ++i; continue; }
            inTag = true;
            tag.clear();
            continue;
        }
        if (inTag) {
            if (c == '>') {
                inTag = false;
                if (tag.rfind("br", 0) == 0) out += "\r\n";
            } else {
                tag += c;
            }
            continue;
        }
        if (c != '\r') out += (c == '\n') ? std::string("\r\n") : std::string(1, c);
    }
    return out;
}

} // namespace

struct TipHtml::Impl {
    std::string text;
    std::string sheet;
    int maxWidth = 0;
};

TipHtml::TipHtml() : m_impl(new Impl) {}
TipHtml::~TipHtml() = default;

SIZE TipHtml::Measure(HDC dc, const std::string& html) {
    m_impl->text = VisibleText(html);
    if (m_impl->text.empty()) return SIZE{0, 0};
    HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, m_impl->maxWidth > 0 ? m_impl->maxWidth : 4000, 0};
    UINT flags = DT_CALCRECT | DT_NOPREFIX | (m_impl->maxWidth > 0 ? DT_WORDBREAK : 0);
    ::DrawTextA(dc, m_impl->text.c_str(), -1, &r, flags);
    ::SelectObject(dc, old);
    return SIZE{r.right - r.left + 1, r.bottom - r.top + 1};
}

void TipHtml::DrawPrepared(HDC dc, const RECT& rect) {
    if (m_impl->text.empty()) return;
    HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
    int mode = ::SetBkMode(dc, TRANSPARENT);
    COLORREF colour = ::SetTextColor(dc, RGB(0, 0, 0));
    RECT r = rect;
    ::DrawTextA(dc, m_impl->text.c_str(), -1, &r, DT_NOPREFIX | (m_impl->maxWidth > 0 ? DT_WORDBREAK : 0));
    ::SetTextColor(dc, colour);
    ::SetBkMode(dc, mode);
    ::SelectObject(dc, old);
}

bool TipHtml::OnMouseMove(POINT) { return false; }
void TipHtml::OnClick(POINT) {}
bool TipHtml::StepAnimation() { return false; }
void TipHtml::SetHoverNotify(HWND, UINT, LPARAM) {}
void TipHtml::SetMaxWidth(int pixels) { m_impl->maxWidth = pixels; }
void TipHtml::SetStyleSheet(const char* sheet) { m_impl->sheet = sheet ? sheet : ""; }
std::string TipHtml::GetStyleSheet() const { return m_impl->sheet; }

std::string TipHtml::GetResourceStringLine(int id, int line) const {
    char buf[1024] = {};
    int n = ::LoadStringA(::GetModuleHandleA(nullptr), static_cast<UINT>(id), buf, sizeof buf);
    std::string s(buf, n > 0 ? n : 0);
    for (int i = 0; i < line; ++i) {
        size_t lf = s.find('\n');
        if (lf == std::string::npos) return std::string();
        s = s.substr(lf + 1);
    }
    return s.substr(0, s.find('\n'));
}

// ------------------------------------------------------------------ effects

struct TipEffects::Impl {};

TipEffects::TipEffects() : m_impl(new Impl) {}
TipEffects::~TipEffects() = default;

namespace {

void VerticalGradient(HDC dc, const RECT& r, COLORREF a, COLORREF b) {
    TRIVERTEX v[2] = {
        {r.left, r.top, static_cast<COLOR16>(GetRValue(a) << 8), static_cast<COLOR16>(GetGValue(a) << 8),
         static_cast<COLOR16>(GetBValue(a) << 8), 0},
        {r.right, r.bottom, static_cast<COLOR16>(GetRValue(b) << 8), static_cast<COLOR16>(GetGValue(b) << 8),
         static_cast<COLOR16>(GetBValue(b) << 8), 0},
    };
    GRADIENT_RECT g{0, 1};
    ::GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_V);
}

} // namespace

void TipEffects::FillEffect(HDC dc, int effect, const RECT& rect, COLORREF begin, COLORREF middle, COLORREF end,
                            int, int) {
    if (effect < 1 || effect > 15) {
        tk::Brush brush(::CreateSolidBrush(begin));
        ::FillRect(dc, &rect, brush.Get());
        return;
    }
    RECT top = rect, bottom = rect;
    top.bottom = bottom.top = rect.top + (rect.bottom - rect.top) / 2;
    VerticalGradient(dc, top, begin, middle);
    VerticalGradient(dc, bottom, middle, end);
}

void TipEffects::TileBitmap(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                            int tileWidth, int tileHeight) {
    if (tileWidth <= 0 || tileHeight <= 0) return;
    for (int cx = 0; cx < width; cx += tileWidth)
        for (int cy = 0; cy < height; cy += tileHeight)
            ::BitBlt(dest, x + cx, y + cy, std::min(tileWidth, width - cx), std::min(tileHeight, height - cy), src,
                     srcX, srcY, SRCCOPY);
}

void TipEffects::DrawShadow(HDC dc, int x, int y, int width, int height, HBITMAP mask, bool, int, int) {
    tk::MemoryDC mem(dc);
    tk::ScopedSelect sel(mem.Get(), mask);
    ::BitBlt(dc, x, y, width, height, mem.Get(), 0, 0, SRCAND);
}

void TipEffects::BlendConstant(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                               int percent) {
    if (percent >= 100) {
        ::BitBlt(dest, x, y, width, height, src, srcX, srcY, SRCCOPY);
        return;
    }
    if (percent <= 0) return;
    BLENDFUNCTION bf{AC_SRC_OVER, 0, static_cast<BYTE>(percent * 255 / 100), 0};
    ::AlphaBlend(dest, x, y, width, height, src, srcX, srcY, width, height, bf);
}
