// GDI canvas and Windows platform of the HTML renderer.
#include "html/HtmlRenderer.h"

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace html {

// ---------------------------------------------------------------- canvas

CGdiCanvas::CGdiCanvas(HDC dc, effects::CEffectPainter& painter)
    : m_dc(dc),
      m_painter(painter),
      m_savedFont(::GetCurrentObject(dc, OBJ_FONT)),
      m_savedMode(::GetBkMode(dc)),
      m_savedText(::GetTextColor(dc)),
      m_savedBackground(::GetBkColor(dc)) {
    ::SetTextJustification(m_dc, 0, 0);
}

CGdiCanvas::~CGdiCanvas() {
    ::SelectObject(m_dc, m_savedFont);
    ::SetBkMode(m_dc, m_savedMode);
    ::SetTextColor(m_dc, m_savedText);
    ::SetBkColor(m_dc, m_savedBackground);
    ::SetTextJustification(m_dc, 0, 0);
}

int CGdiCanvas::Dpi() {
    int dpi = ::GetDeviceCaps(m_dc, LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

void CGdiCanvas::Select(HFONT font) {
    if (font && font != m_current) {
        ::SelectObject(m_dc, font);
        m_current = font;
    }
}

HtmlFontHandle CGdiCanvas::MakeFont(const HtmlFontSpec& desc, HtmlFontMetrics* metrics) {
    LOGFONTA lf = {};
    lf.lfHeight = desc.height;
    lf.lfWeight = desc.weight;
    lf.lfItalic = desc.italic;
    lf.lfUnderline = desc.underline;
    lf.lfStrikeOut = desc.strikeout;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, desc.face.c_str(), LF_FACESIZE - 1);
    HFONT font = ::CreateFontIndirectA(&lf);
    TEXTMETRICA tm = {};
    if (font) {
        Select(font);
        ::GetTextMetricsA(m_dc, &tm);
    }
    metrics->height = font ? tm.tmHeight : desc.height;
    metrics->ascent = font ? tm.tmAscent : desc.height;
    return reinterpret_cast<HtmlFontHandle>(font);
}

void CGdiCanvas::FreeFont(HtmlFontHandle handle) {
    HFONT font = reinterpret_cast<HFONT>(handle);
    if (!font) return;
    if (font == m_current) {
        ::SelectObject(m_dc, m_savedFont);
        m_current = nullptr;
    }
    ::DeleteObject(font);
}

void CGdiCanvas::SetTextStyle(HtmlFontHandle font, int backgroundMode, HtmlColor text, HtmlColor background) {
    Select(reinterpret_cast<HFONT>(font));
    ::SetBkMode(m_dc, backgroundMode == 2 ? OPAQUE : TRANSPARENT);
    ::SetTextColor(m_dc, text);
    ::SetBkColor(m_dc, background);
}

int CGdiCanvas::TextWidth(HtmlFontHandle font, const char* text, std::size_t length) {
    if (length == 0) return 0;
    Select(reinterpret_cast<HFONT>(font));
    SIZE size = {};
    ::GetTextExtentPoint32A(m_dc, text, static_cast<int>(std::min<std::size_t>(length, INT_MAX)), &size);
    return size.cx;
}

// Justification is applied around each drawn piece only, so that measuring
// always sees the plain widths.
void CGdiCanvas::SetJustification(int extra, int breakCount) {
    m_extra = extra;
    m_breaks = breakCount;
}

void CGdiCanvas::DrawString(int x, int y, const char* text, std::size_t length) {
    const bool justify = m_extra != 0 && m_breaks > 0;
    if (justify) ::SetTextJustification(m_dc, m_extra, m_breaks);
    ::TextOutA(m_dc, x, y, text, static_cast<int>(std::min<std::size_t>(length, INT_MAX)));
    if (justify) ::SetTextJustification(m_dc, 0, 0);
}

void CGdiCanvas::DrawLine(int x1, int y1, int x2, int y2, HtmlColor color, int style, int width) {
    m_painter.DrawLine(m_dc, x1, y1, x2, y2, color, style, width);
}

void CGdiCanvas::Fill(const HtmlRect& r, int effect, HtmlColor begin, HtmlColor middle, HtmlColor end,
                      int granularity, int colouring) {
    if (effect < 0) return;
    m_painter.FillEffect(m_dc, effect, RECT{r.left, r.top, r.right, r.bottom}, begin, middle, end, granularity,
                         colouring);
}

void CGdiCanvas::DrawBorder(const HtmlRect& r, HtmlColor light, HtmlColor dark, int style, int width) {
    m_painter.DrawRectBorder(m_dc, RECT{r.left, r.top, r.right, r.bottom}, light, dark, style, width);
}

// ---------------------------------------------------------------- platform

CWinHtmlPlatform::CWinHtmlPlatform() : m_module(::GetModuleHandleA(nullptr)) { SetHandCursor(nullptr); }

HtmlColor CWinHtmlPlatform::SysColor(int index) { return ::GetSysColor(index); }

namespace {
// A string resource of any length: the buffer grows in steps of 256 until the
// string fits (a full buffer may have cut it).
std::string LoadModuleString(HMODULE module, unsigned id) {
    std::vector<char> buffer(256);
    for (;;) {
        int n = ::LoadStringA(module, id, buffer.data(), static_cast<int>(buffer.size()));
        if (n <= 0) return std::string();
        if (n < static_cast<int>(buffer.size()) - 1 || buffer.size() >= 65536) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() + 256);
    }
}

std::string RegistryDefault(HKEY root, const std::string& key) {
    tk::RegKey k;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, k.Put()) != ERROR_SUCCESS) return std::string();
    char value[2048] = {};
    DWORD size = sizeof(value) - 1;
    DWORD type = 0;
    LONG rc = ::RegQueryValueExA(k.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    value[std::min<DWORD>(size, sizeof(value) - 1)] = 0;
    return value;
}
}  // namespace

std::string CWinHtmlPlatform::LoadStringResource(unsigned id, const std::string& library) {
    if (library.empty()) return LoadModuleString(::GetModuleHandleA(nullptr), id);
    tk::Library module(::LoadLibraryExA(library.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    return module ? LoadModuleString(module.Get(), id) : std::string();
}

void CWinHtmlPlatform::OpenLink(const std::string& target) {
    SetHandCursor(nullptr);
    HINSTANCE rc = ::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(rc) > 32) return;
    std::string type = RegistryDefault(HKEY_CLASSES_ROOT, ".htm");
    if (type.empty()) return;
    std::string command = RegistryDefault(HKEY_CLASSES_ROOT, type + "\\shell\\open\\command");
    if (command.empty()) return;
    ::WinExec(HtmlHandlerCommandLine(command, target).c_str(), SW_SHOW);
}

void CWinHtmlPlatform::Notify(const HtmlNotifyTarget& target, std::intptr_t wParam) {
    ::SendMessageA(reinterpret_cast<HWND>(target.window), target.message, static_cast<WPARAM>(wParam),
                   static_cast<LPARAM>(target.lParam));
}

bool CWinHtmlPlatform::ShowHandCursor() {
    if (!m_hand) return false;
    ::SetCursor(m_hand);
    return true;
}

void CWinHtmlPlatform::SetHandCursor(HCURSOR cursor) {
    if (cursor && cursor == m_ownHand.Get()) return;
    m_ownHand.Reset(cursor);
    m_hand = cursor ? cursor : ::LoadCursor(nullptr, IDC_HAND);  // the system's is shared: never destroyed
}

bool CWinHtmlPlatform::SetResourceModule(const char* library, DWORD flags) {
    m_ownModule.Reset();
    m_module = ::GetModuleHandleA(nullptr);
    if (!library || !*library) return true;
    m_ownModule.Reset(::LoadLibraryExA(library, nullptr, flags));
    if (!m_ownModule) return false;
    m_module = m_ownModule.Get();
    return true;
}

// ---------------------------------------------------------------- renderer

CHtmlRenderer::CHtmlRenderer() : CWinHtmlPlatform(), CHtmlRendererCore(static_cast<CWinHtmlPlatform&>(*this)) {
    m_images.SetResourceModule(ResourceModule());
    SetImageSource(&m_images);
}

bool CHtmlRenderer::SetImageList(HBITMAP strip, UINT resource, int frameWidth, int frameHeight, int initialCount,
                                 COLORREF mask) {
    return m_images.SetImageList(strip, resource, frameWidth, frameHeight, initialCount, mask);
}

bool CHtmlRenderer::SetResourceModule(const char* library, DWORD flags) {
    bool ok = CWinHtmlPlatform::SetResourceModule(library, flags);
    m_images.SetResourceModule(ResourceModule());
    return ok;
}

SIZE CHtmlRenderer::Measure(HDC dc, const std::string& text) {
    CGdiCanvas canvas(dc, m_painter);
    HtmlSize s = Measure(canvas, text);
    return SIZE{s.width, s.height};
}

void CHtmlRenderer::DrawPrepared(HDC dc, const RECT& rect) {
    CGdiCanvas canvas(dc, m_painter);
    DrawPrepared(canvas, HtmlRect{rect.left, rect.top, rect.right, rect.bottom});
}

SIZE CHtmlRenderer::MeasureAndDraw(HDC dc, const std::string& text, POINT origin) {
    CGdiCanvas canvas(dc, m_painter);
    HtmlSize s = MeasureAndDraw(canvas, text, origin.x, origin.y);
    return SIZE{s.width, s.height};
}

void CHtmlRenderer::SetHoverNotify(HWND window, UINT message, LPARAM lParam) {
    SetHoverNotify(HtmlNotifyTarget{reinterpret_cast<std::uintptr_t>(window), message, lParam});
}

void CHtmlRenderer::SetLinkMessageNotify(HWND window, UINT message, LPARAM lParam) {
    SetLinkMessageNotify(HtmlNotifyTarget{reinterpret_cast<std::uintptr_t>(window), message, lParam});
}

} // namespace html
