// TipHtml and TipEffects: the renderer and the drawing effects as the
// tooltip window and the HTML label see them.
//
// The effects are the program's CEffectPainter. Until the HTML renderer is
// part of the program, TipHtml stands in with the least that keeps the
// windows usable: the text without its markup (line breaks kept) in the
// dialog font. Each of its operations becomes a call of the renderer when
// the renderer arrives; nothing else changes.
#include "htmltip/TipDrawing_win.h"

#include "htmltip/EffectPainter.h"

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

struct TipEffects::Impl {
    CEffectPainter painter;
};

TipEffects::TipEffects() : m_impl(new Impl) {}
TipEffects::~TipEffects() = default;

void TipEffects::FillEffect(HDC dc, int effect, const RECT& rect, COLORREF begin, COLORREF middle, COLORREF end,
                            int granularity, int colouringPercent) {
    m_impl->painter.FillEffect(dc, effect, rect, begin, middle, end, granularity, colouringPercent);
}
void TipEffects::TileBitmap(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                            int tileWidth, int tileHeight) {
    m_impl->painter.TileBitmap(dest, x, y, width, height, src, srcX, srcY, tileWidth, tileHeight);
}
void TipEffects::DrawShadow(HDC dc, int x, int y, int width, int height, HBITMAP mask, bool soft, int blurWidth,
                            int blurHeight) {
    m_impl->painter.DrawShadow(dc, x, y, width, height, mask, soft, blurWidth, blurHeight);
}
void TipEffects::BlendConstant(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                               int percent) {
    m_impl->painter.BlendConstant(dest, x, y, width, height, src, srcX, srcY, percent);
}
