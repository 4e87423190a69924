// TipHtml and TipEffects: the HTML renderer and the drawing effects as the
// tooltip window and the HTML label see them. Each call goes straight to
// the program's CHtmlRenderer and CEffectPainter.
#include "tooltip/TipDrawing_win.h"

#include "effects/EffectPainter.h"
#include "html/HtmlRenderer.h"

struct TipHtml::Impl {
    CHtmlRenderer renderer;
};

TipHtml::TipHtml() : m_impl(new Impl) {}
TipHtml::~TipHtml() = default;

SIZE TipHtml::Measure(HDC dc, const std::string& html) { return m_impl->renderer.Measure(dc, html); }
void TipHtml::DrawPrepared(HDC dc, const RECT& rect) { m_impl->renderer.DrawPrepared(dc, rect); }
bool TipHtml::OnMouseMove(POINT p) { return m_impl->renderer.OnMouseMove(p); }
void TipHtml::OnClick(POINT p) { m_impl->renderer.OnClick(p); }
bool TipHtml::StepAnimation() { return m_impl->renderer.StepAnimation(); }
void TipHtml::SetHoverNotify(HWND wnd, UINT message, LPARAM lParam) {
    m_impl->renderer.SetHoverNotify(wnd, message, lParam);
}
void TipHtml::SetMaxWidth(int pixels) { m_impl->renderer.SetMaxWidth(pixels); }
void TipHtml::SetStyleSheet(const char* sheet) {
    if (!sheet) {
        m_impl->renderer.SetStyleSheet(nullptr);
        return;
    }
    const std::string text(sheet);
    m_impl->renderer.SetStyleSheet(&text);
}
std::string TipHtml::GetStyleSheet() const { return m_impl->renderer.GetStyleSheet(); }
std::string TipHtml::GetResourceStringLine(int id, int line) const {
    return m_impl->renderer.GetResourceStringLine(static_cast<unsigned>(id), line);
}

bool TipHtml::SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                           COLORREF mask) {
    return m_impl->renderer.SetImageList(strip, resource, frameWidth, frameHeight, initialCount, mask);
}
bool TipHtml::SetResourceModule(const char* library, DWORD flags) {
    return m_impl->renderer.SetResourceModule(library, flags);
}

struct TipEffects::Impl {
    effects::CEffectPainter painter;
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
