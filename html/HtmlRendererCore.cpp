// The renderer's passes: styles in document order, line layout, word wrap,
// tabs, rules, string resources, justification and hyperlinks.
//
// Positions are kept within ±kMaxCoord (html/HtmlMarkup.h).
#include "html/HtmlRendererCore.h"

#include <algorithm>
#include <climits>

namespace html {

namespace {

int CountSpaces(std::string_view s) { return static_cast<int>(std::count(s.begin(), s.end(), ' ')); }

std::string Transform(std::string s, int transform) {
    auto lower = [](char& c) { if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a'); };
    switch (transform) {
    case 1:
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        break;
    case 2:
        for (char& c : s) lower(c);
        break;
    case 3:
        for (std::size_t i = 0; i < s.size(); ++i) {
            lower(s[i]);
            if ((i == 0 || s[i - 1] == ' ') && s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
        }
        break;
    default:
        break;
    }
    return s;
}

const char kBreakChars[] = " -.,!:;)}]?";

}  // namespace

CHtmlRendererCore::CHtmlRendererCore(HtmlPlatform& platform)
    : m_platform(platform), m_colors(BuildColorTable(platform)), m_disabledColor(platform.SysColor(SysBtnShadow)) {
    m_sheet.Set(kDefaultStyleSheet);
}

HtmlValueContext CHtmlRendererCore::Ctx() const {
    HtmlValueContext c;
    c.colors = &m_colors;
    c.enabled = m_enabled;
    c.disabledColor = m_disabledColor;
    c.dpi = m_dpi;
    c.fontHeight = m_metrics.height;
    return c;
}

// ---------------------------------------------------------------- settings

void CHtmlRendererCore::SetStyleSheet(const std::string* text) {
    m_sheet.Set(text ? *text : std::string(kDefaultStyleSheet));
}

void CHtmlRendererCore::SetStyleSheetFromResource(unsigned id, const std::string& library) {
    std::string text = m_platform.LoadStringResource(id, library);
    SetStyleSheet(&text);
}

void CHtmlRendererCore::SetStyleRule(const std::string& selector, const std::string& declarations) {
    m_sheet.SetRule(selector, declarations);
}

void CHtmlRendererCore::SetMaxWidth(int pixels) { m_maxWidth = std::clamp(pixels, 0, kMaxLength); }
void CHtmlRendererCore::SetTabWidth(int pixels) { m_tabWidth = std::clamp(pixels, 0, kMaxLength); }

void CHtmlRendererCore::SetShadow(int dx, int dy, int darkness, bool soft, int blurWidth, int blurHeight) {
    // Offsets and blur are lengths like any other, so that an image's size
    // plus its shadow never overflows; the darkness is a percentage.
    m_shadowDx = std::clamp(dx, -kMaxLength, kMaxLength);
    m_shadowDy = std::clamp(dy, -kMaxLength, kMaxLength);
    m_shadowDarkness = std::clamp(darkness, 0, 100);
    m_shadowSoft = soft;
    m_blurWidth = std::clamp(blurWidth, 0, kMaxLength);
    m_blurHeight = std::clamp(blurHeight, 0, kMaxLength);
}

HtmlColor CHtmlRendererCore::ShadowColor() const {
    HtmlColor g = static_cast<HtmlColor>(std::clamp(HtmlMulDiv(255, 100 - m_shadowDarkness, 100), 0, 255));
    return g | (g << 8) | (g << 16);
}

void CHtmlRendererCore::SetHoverNotify(const HtmlNotifyTarget& target) {
    m_hoverTarget = target;
    if (target.window == 0) m_hoverTarget = HtmlNotifyTarget{};
}

void CHtmlRendererCore::SetLinkMessageNotify(const HtmlNotifyTarget& target) {
    m_linkTarget = target;
    if (target.window == 0) m_linkTarget = HtmlNotifyTarget{};
}

std::string CHtmlRendererCore::GetResourceStringLine(unsigned id, int index) {
    std::string s = m_platform.LoadStringResource(id, std::string());
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        std::size_t lf = s.find('\n', start);
        if (lf == std::string::npos) return std::string();
        start = lf + 1;
    }
    std::size_t lf = s.find('\n', start);
    return s.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
}

// ---------------------------------------------------------------- passes

std::string CHtmlRendererCore::PrepareText(const std::string& text) const {
    std::string s = ReplaceEntities(text);
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\r') continue;
        if (c == '\n' || c == '\t') {
            if (m_newlineAsBreak) out += c == '\n' ? "<br>" : "<t>";
            continue;
        }
        out += c;
    }
    return out;
}

HtmlSize CHtmlRendererCore::Measure(HtmlCanvas& canvas, const std::string& text) {
    canvas.SetJustification(0, 0);
    m_text = PrepareText(text);
    m_hot.clear();
    m_wrapWidth = m_maxWidth;
    HtmlSize s = MeasuringPass(canvas);
    if (m_text.empty()) return HtmlSize{};
    if (m_maxWidth > 0 && s.width > m_maxWidth) s.width = m_maxWidth;
    s.width = AddCoord(s.width, 1);
    s.height = AddCoord(s.height, 1);
    return s;
}

HtmlSize CHtmlRendererCore::MeasuringPass(HtmlCanvas& canvas) {
    m_lines.clear();
    m_tables.clear();
    m_animations.clear();
    m_layoutBytes = 0;
    m_slots = 0;
    m_stopStep = LLONG_MAX;
    m_measuredHover = m_hovered;
    if (m_text.empty()) return HtmlSize{};
    return RunPass(canvas, HtmlRect{0, 0, m_wrapWidth, 0}, true);
}

void CHtmlRendererCore::DrawPrepared(HtmlCanvas& canvas, const HtmlRect& rect) {
    if (m_text.empty()) return;
    if (m_hovered != m_measuredHover) {
        // The "a:hover" rule may change the link's font: the lines are
        // measured again with the hovered link before they are drawn, and
        // the strips go on from the frames they had reached.
        const std::vector<HtmlAnimation> animations = m_animations;
        MeasuringPass(canvas);
        if (m_animations.size() == animations.size()) m_animations = animations;
    }
    RunPass(canvas, rect, false);
}

HtmlSize CHtmlRendererCore::MeasureAndDraw(HtmlCanvas& canvas, const std::string& text, int x, int y) {
    HtmlSize s = Measure(canvas, text);
    if (s.width > 0 && s.height > 0) DrawPrepared(canvas, HtmlRect{x, y, x + s.width, y + s.height});
    return s;
}

HtmlSize CHtmlRendererCore::RunPass(HtmlCanvas& canvas, const HtmlRect& rect, bool measuring) {
    m_canvas = &canvas;
    m_measuring = measuring;
    m_layout = rect;
    m_dpi = canvas.Dpi();
    if (measuring) m_lines.clear();
    // Hot areas belong to the latest drawing: every pass starts them afresh,
    // so repainting never piles up copies.
    m_hot.clear();
    m_hotBytes = 0;
    m_step = 0;
    m_stack.clear();
    m_style = HtmlStyle();
    m_font = 0;
    m_metrics = HtmlFontMetrics{m_style.fontSize, m_style.fontSize};
    m_sheet.Apply("body", m_style, Ctx());
    RecreateFont();
    m_linkCounter = -1;
    m_tableCounter = -1;
    m_animationCounter = -1;
    m_tableDepth = 0;
    m_lineIndex = 0;
    m_widest = 0;
    m_x = m_lineStartX = rect.left;
    m_y = rect.top;

    HtmlSize total;
    const std::string_view text = m_text;
    std::size_t pos = 0;
    while (pos < text.size() && !Stopped()) {
        std::size_t table = FindTableStart(text, pos);
        if (table == std::string_view::npos) table = text.size();
        HtmlSize seg;
        if (table > pos) {
            seg = LayoutTextSegment(text.substr(pos, table - pos));
            total.width = std::max(total.width, seg.width);
            total.height = AddCoord(total.height, seg.height);
        }
        if (table >= text.size()) break;
        std::size_t end = FindTableEnd(text, table);
        seg = LayoutTableSegment(text.substr(table, end - table));
        total.width = std::max(total.width, seg.width);
        total.height = AddCoord(total.height, seg.height);
        pos = end;
    }

    ReleaseFont();
    m_stack.clear();
    canvas.SetJustification(0, 0);
    m_canvas = nullptr;
    return total;
}

HtmlSize CHtmlRendererCore::LayoutTextSegment(std::string_view segment) {
    const int top = m_y;
    const std::size_t firstLine = m_lineIndex;
    HandleTag("body", {});
    StartLine();
    HtmlTokenizer tokens(segment);
    HtmlToken t;
    while (!Stopped() && tokens.Next(t)) {
        if (t.type == HtmlToken::Text) LayoutText(std::move(t.text));
        else HandleTag(t.name, t.params);
    }
    HandleTag("/body", {});
    if (m_xNat != 0) CloseLine(1, false);

    HtmlSize size;
    size.height = m_y - top;
    if (m_measuring) {
        for (std::size_t i = firstLine; i < m_lines.size(); ++i) {
            const HtmlLine& l = m_lines[i];
            int w = l.width;
            if (l.percentSum) w = AddCoord(w, HtmlMulDiv(l.percentSum, m_widest, 100));
            size.width = std::max(size.width, w);
        }
    }
    return size;
}

// ---------------------------------------------------------------- fonts and styles

void CHtmlRendererCore::RecreateFont() {
    m_style.CapTexts();
    HtmlFontSpec desc = m_style.FontSpec();
    if (m_font == 0 || !(desc == m_fontSpec)) {
        HtmlFontMetrics metrics;
        HtmlFontHandle font = m_canvas->MakeFont(desc, &metrics);
        ReleaseFont();
        m_font = font;
        m_fontSpec = desc;
        m_metrics = metrics;
    }
    m_canvas->SetTextStyle(m_font, m_style.backgroundMode, m_style.textColor, m_style.backgroundColor);
}

void CHtmlRendererCore::ReleaseFont() {
    if (m_font != 0 && m_canvas) m_canvas->FreeFont(m_font);
    m_font = 0;
}

void CHtmlRendererCore::HandleTag(std::string_view name, std::string_view params) {
    const bool closing = !name.empty() && name[0] == '/';
    const HtmlTagInfo info = LookupTag(closing ? name.substr(1) : name);
    switch (info.kind) {
    case TagUnknown: return;
    case TagBreak: CloseLine(TagCount(params), false); return;
    case TagTab: LayoutTab(params); return;
    case TagRule: LayoutRule(params); return;
    case TagString: LayoutString(params); return;
    case TagBitmap:
    case TagIcon:
    case TagImageList: LayoutImage(info.kind, params); return;
    default: break;
    }
    if (closing) {
        if (!m_stack.empty() && m_stack.back().closingKey == info.closingKey) {
            m_style = std::move(m_stack.back());
            m_stack.pop_back();
            RecreateFont();
        }
        return;
    }
    if (m_stack.size() >= kMaxStyleDepth) return;
    m_stack.push_back(m_style);
    m_stack.back().closingKey = info.closingKey;
    ApplyOpeningTag(info, name, params);
    RecreateFont();
}

void CHtmlRendererCore::ApplyOpeningTag(const HtmlTagInfo& info, std::string_view name, std::string_view params) {
    HtmlStyle& s = m_style;
    switch (info.kind) {
    case TagBold: s.fontWeight = static_cast<int>(std::min(2LL * s.fontWeight, 900LL)); break;
    case TagItalic: s.italic = !s.italic; break;
    case TagUnderline: s.underline = !s.underline; break;
    case TagStrikeout: s.strikeout = !s.strikeout; break;
    case TagFont: ApplyFontAttributes(params); break;
    case TagLeft: case TagCenter: case TagRight: case TagJustify: s.horizontalAlign = info.kind - TagLeft; break;
    case TagBaseline: s.verticalAlign = 3; break;
    case TagTop: s.verticalAlign = 0; break;
    case TagVCenter: s.verticalAlign = 1; break;
    case TagBottom: s.verticalAlign = 2; break;
    case TagSheetRule: m_sheet.Apply(name, s, Ctx()); break;
    case TagSpan:
        for (const auto& [n, v] : ParseAttributes(params))
            if (n == "class") m_sheet.Apply("." + std::string(v), s, Ctx());
        break;
    case TagLink: ApplyLinkTag(params); break;
    default: break;
    }
}

void CHtmlRendererCore::ApplyFontAttributes(std::string_view params) {
    HtmlStyle& s = m_style;
    const HtmlValueContext ctx = Ctx();
    for (const auto& [n, v] : ParseAttributes(params)) {
        if (n == "face") {
            s.fontFace = std::string(v);
        } else if (n == "size") {
            s.fontSize = ParseLength(v, s.fontSize, true, ctx);
        } else if (n == "color") {
            s.textColor = m_enabled ? ParseColor(v, s.textColor, ctx) : m_disabledColor;
        } else if (n == "weight") {
            s.fontWeight = ParseFontWeightKeyword(v);
        } else if (n == "bkgnd") {
            if (v.empty() || v == "transparent" || !m_enabled) {
                s.backgroundMode = 1;
            } else {
                s.backgroundMode = 2;
                s.backgroundColor = ParseColor(v, s.backgroundColor, ctx);
            }
        } else if (n == "style") {
            bool off = false;
            for (char c : v) {
                bool on = !off;
                off = false;
                switch (c) {
                case '-': off = true; break;
                case 'b': s.fontWeight = on ? 700 : 400; break;
                case 'i': s.italic = on; break;
                case 'u': s.underline = on; break;
                case 's': s.strikeout = on; break;
                case 'o': s.overline = on; break;
                default: break;
                }
            }
        }
    }
}

void CHtmlRendererCore::ApplyLinkTag(std::string_view params) {
    m_style.linkKind = 2;
    m_style.linkTarget.clear();
    for (const auto& [n, v] : ParseAttributes(params)) {
        if (n == "href") {
            m_style.linkKind = 1;
            m_style.linkTarget = std::string(v);
        } else if (n == "msg") {
            m_style.linkKind = 2;
            m_style.linkTarget = std::string(v);
        }
    }
    ++m_linkCounter;
    m_sheet.Apply(m_linkCounter == m_hovered ? "a:hover" : "a:link", m_style, Ctx());
}

// ---------------------------------------------------------------- lines

const HtmlLine& CHtmlRendererCore::Record() const {
    static const HtmlLine kNone;
    return m_lineIndex < m_lines.size() ? m_lines[m_lineIndex] : kNone;
}

bool CHtmlRendererCore::Stopped() {
    ++m_step;
    if (m_measuring && m_stopStep == LLONG_MAX && m_layoutBytes > kMaxLayoutBytes) m_stopStep = m_step;
    return m_step >= m_stopStep;
}

void CHtmlRendererCore::EndTextRun() {
    // Spaces before a tab, rule, string or image are inside the line, not
    // at its end.
    m_line.lastPiece = -1;
    m_line.trailingSpaces = 0;
    m_line.trailingWidth = 0;
}

void CHtmlRendererCore::StartLine() {
    m_xNat = 0;
    m_pieceOrdinal = 0;
    m_lineHasText = false;
    m_drawnNat = 0;
    if (m_measuring) {
        m_line = HtmlLine{};
        m_line.align = m_style.horizontalAlign;
        m_x = m_lineStartX = m_layout.left;
        return;
    }
    const HtmlLine& rec = Record();
    const int w = m_layout.Width();
    const int lineWidth = AddCoord(rec.width, HtmlMulDiv(w, rec.percentSum, 100));
    if (rec.align == 1) m_x = AddCoord(m_layout.left, (static_cast<long long>(w) - lineWidth) / 2);
    else if (rec.align == 2) m_x = AddCoord(m_layout.left, static_cast<long long>(w) - lineWidth);
    else m_x = m_layout.left;
    m_lineStartX = m_x;
    m_spacesLeft = rec.spaces;
    if (rec.align == 3 && rec.wrapped) m_canvas->SetJustification(std::max(w - lineWidth, 0), rec.spaces);
    else m_canvas->SetJustification(0, 0);
}

void CHtmlRendererCore::CloseLine(int count, bool wrapped) {
    int height;
    if (m_measuring) {
        if (m_line.height == 0) m_line.height = m_metrics.height;
        m_widest = std::max(m_widest, m_xNat);
        m_line.width = m_xNat;
        m_line.height = AddCoord(m_line.height, m_line.descent);
        m_line.wrapped = wrapped;
        m_lines.push_back(m_line);
        m_layoutBytes += sizeof(HtmlLine);
        height = m_line.height;
    } else {
        height = Record().height;
    }
    ++m_lineIndex;
    m_y = AddCoord(m_y, static_cast<long long>(std::max(count, 1)) * height);
    StartLine();
}

int CHtmlRendererCore::Place(int ascent, int height) {
    if (m_measuring) {
        m_line.height = std::max(m_line.height, ascent);
        m_line.descent = std::max(m_line.descent, height - ascent);
        return m_y;
    }
    const HtmlLine& rec = Record();
    switch (m_style.verticalAlign) {
    case 0: return m_y;
    case 1: return AddCoord(m_y, (rec.height - height) / 2);
    case 2: return AddCoord(m_y, static_cast<long long>(rec.height) - ascent);
    default: return AddCoord(m_y, static_cast<long long>(rec.height) - rec.descent - ascent);
    }
}

void CHtmlRendererCore::AddHotArea(int x, int y, int width, int height) {
    if (m_measuring || m_style.linkKind == 0) return;
    // Hot areas take what the layout left of the text's bytes.
    const std::size_t cost = sizeof(HtmlHotArea) + m_style.linkTarget.size();
    if (m_layoutBytes + m_hotBytes + cost > kMaxLayoutBytes) return;
    m_hotBytes += cost;
    HtmlHotArea a;
    a.rect = HtmlRect{x, y, AddCoord(x, width), AddCoord(y, height)};
    a.linkKind = m_style.linkKind;
    a.linkIndex = m_linkCounter;
    a.target = m_style.linkTarget;
    m_hot.push_back(std::move(a));
}

// ---------------------------------------------------------------- text

int CHtmlRendererCore::Width(std::string_view text) {
    return m_canvas->TextWidth(m_font, text.data(), text.size());
}

std::size_t CHtmlRendererCore::FitLength(std::string_view text, int rest, int* width) {
    // Widths grow with the prefix, so the answer is found by doubling a
    // prefix until it is too wide and then halving: every character is
    // measured a logarithmic number of times, however narrow the glyphs
    // (a text of zero-width characters fits whole in any line).
    std::size_t fits = 0, wide = 0;   // wide: a prefix known too wide (0: none yet)
    for (std::size_t n = std::min<std::size_t>(text.size(), 64);; n = std::min(text.size(), 2 * n)) {
        const int w = Width(text.substr(0, n));
        if (w > rest) {
            wide = n;
            break;
        }
        fits = n;
        if (n == text.size()) {
            *width = w;
            return std::string_view::npos;
        }
    }
    while (wide - fits > 1) {
        const std::size_t mid = fits + (wide - fits) / 2;
        if (Width(text.substr(0, mid)) > rest) wide = mid;
        else fits = mid;
    }
    return wide;
}

CHtmlRendererCore::Cut CHtmlRendererCore::WordWrap(std::string_view s, std::size_t wide, bool lineEmpty) {
    // Every prefix shorter than `wide` fits, so the last break before it is
    // the last one that fits.
    Cut cut;
    const std::size_t remembered = wide >= 2 ? s.substr(0, wide).find_last_of(kBreakChars) : std::string_view::npos;
    if (remembered != std::string_view::npos && remembered >= 1) {
        cut.take = remembered + 1;
        while (cut.take > 0 && s[cut.take - 1] == ' ') --cut.take;
        cut.next = remembered + 1;
        while (cut.next < s.size() && s[cut.next] == ' ') ++cut.next;
        return cut;
    }
    if (!lineEmpty) {
        cut.nothing = true;
        return cut;
    }
    // Cut between characters: all that fits, at least one character.
    cut.take = cut.next = std::max<std::size_t>(wide - 1, 1);
    return cut;
}

void CHtmlRendererCore::LayoutText(std::string piece) {
    if (m_style.textTransform) piece = Transform(std::move(piece), m_style.textTransform);
    std::string_view rest = piece;
    while (!rest.empty() && !Stopped()) {
        const int y = Place(m_metrics.ascent, m_metrics.height);
        const int available = m_wrapWidth;
        const int room = available - m_xNat;
        std::string_view taken;
        int takenWidth = 0;
        const std::size_t wide = available > 0 ? FitLength(rest, room, &takenWidth) : std::string_view::npos;
        if (wide != std::string_view::npos) {
            Cut cut = WordWrap(rest, wide, room == available);
            if (cut.nothing) {
                CloseLine(1, true);
                continue;
            }
            taken = rest.substr(0, cut.take);
            takenWidth = Width(taken);
            rest = rest.substr(cut.next);
        } else {
            if (available <= 0) takenWidth = Width(rest);
            taken = rest;
            rest = {};
        }

        int spaces = CountSpaces(taken);
        int advance = takenWidth;
        if (m_measuring) {
            if (!m_lineHasText) m_line.align = m_style.horizontalAlign;
            m_line.spaces += spaces;
            std::size_t trimmed = taken.find_last_not_of(' ');
            trimmed = trimmed == std::string_view::npos ? 0 : trimmed + 1;
            m_line.lastPiece = m_pieceOrdinal;
            m_line.trailingSpaces = static_cast<int>(taken.size() - trimmed);
            m_line.trailingWidth = m_line.trailingSpaces ? Width(taken.substr(trimmed)) : 0;
        } else {
            const HtmlLine& rec = Record();
            std::string_view drawn = taken;
            int drawnWidth = takenWidth;
            if (rec.lastPiece == m_pieceOrdinal && !drawn.empty() && drawn.back() == ' ') {
                std::size_t trimmed = drawn.find_last_not_of(' ');
                trimmed = trimmed == std::string_view::npos ? 0 : trimmed + 1;
                int dropped = static_cast<int>(drawn.size() - trimmed);
                spaces -= dropped;
                m_spacesLeft -= dropped;
                drawn = drawn.substr(0, trimmed);
                drawnWidth = Width(drawn);
            }
            int share = 0;
            if (rec.align == 3 && rec.wrapped) {
                // What the line still has to fill, spread over the spaces not
                // yet drawn, the way the platform spreads it over breaks.
                long long extra = static_cast<long long>(m_lineStartX) + m_layout.Width() - m_x -
                                  (static_cast<long long>(rec.width) - rec.trailingWidth - m_drawnNat);
                int e = static_cast<int>(std::clamp(extra, 0LL, static_cast<long long>(kMaxCoord)));
                int count = std::max(m_spacesLeft, 0);
                m_canvas->SetJustification(count ? e : 0, count);
                if (count > 0 && spaces > 0) {
                    int used = std::min(spaces, count);
                    share = used * (e / count) + std::min(used, e % count);
                }
            }
            AddHotArea(m_x, y, drawnWidth + share, m_metrics.height);
            if (!drawn.empty()) m_canvas->DrawString(m_x, y, drawn.data(), drawn.size());
            if (m_style.overline)
                m_canvas->DrawLine(m_x, y, AddCoord(m_x, drawnWidth + share), y, m_style.textColor, 1,
                                   m_style.fontWeight < 700 ? 1 : 2);
            m_spacesLeft -= spaces;
            m_drawnNat = AddCoord(m_drawnNat, takenWidth);
            advance = takenWidth + share;
        }
        m_lineHasText = true;
        ++m_pieceOrdinal;
        m_x = AddCoord(m_x, advance);
        m_xNat = AddCoord(m_xNat, takenWidth);
        if (!rest.empty()) CloseLine(1, true);
    }
}

void CHtmlRendererCore::LayoutTab(std::string_view params) {
    const int t = m_tabWidth;
    if (t <= 0) return;
    int count = TagCount(params);
    long long advance = 0;
    int r = m_xNat % t;
    if (r != 0) {
        advance = t - r;
        --count;
    }
    advance += static_cast<long long>(count) * t;
    m_x = AddCoord(m_x, advance);
    m_xNat = AddCoord(m_xNat, advance);
    if (m_measuring) EndTextRun();
}

void CHtmlRendererCore::LayoutRule(std::string_view params) {
    HtmlStyle rule = m_style;
    const HtmlValueContext ctx = Ctx();
    m_sheet.Apply("hr", rule, ctx);
    bool percent = true;
    int width = 100;
    int pen = 1;
    HtmlColor color = m_enabled ? rule.textColor : m_disabledColor;
    for (const auto& [n, v] : ParseAttributes(params)) {
        if (n == "width") {
            percent = !v.empty() && v.back() == '%';
            width = percent ? std::clamp(HtmlAtoi(v.substr(0, v.size() - 1)), 0, 10000)
                            : ParseLength(v, 0, false, ctx);
        } else if (n == "size") {
            pen = std::clamp(ParseLength(v, pen, false, ctx), 0, 1000);
        } else if (n == "color") {
            color = m_enabled ? ParseColor(v, color, ctx) : m_disabledColor;
        }
    }
    const int measured = percent ? 1 : width;
    if (m_measuring) {
        m_line.height = std::max(m_line.height, pen + 8);
        if (percent) m_line.percentSum = std::min(m_line.percentSum + width, 1000000);
        EndTextRun();
        m_x = AddCoord(m_x, measured);
    } else {
        const int drawn = percent ? HtmlMulDiv(m_layout.Width(), width, 100) : width;
        const int y = AddCoord(m_y, Record().height / 2);
        m_canvas->DrawLine(m_x, y, AddCoord(m_x, drawn), y, color, 1, pen);
        m_x = AddCoord(m_x, drawn);
    }
    m_xNat = AddCoord(m_xNat, measured);
}

void CHtmlRendererCore::LayoutString(std::string_view params) {
    const HtmlValueContext ctx = Ctx();
    int idres = 0, iddll = 0;
    std::string library;
    for (const auto& [n, v] : ParseAttributes(params)) {
        if (n == "idres") idres = ParseLength(v, 0, false, ctx);
        else if (n == "iddll") iddll = ParseLength(v, 0, false, ctx);
        else if (n == "srcdll") library = std::string(v);
    }
    std::string text;
    if (idres > 0) text = m_platform.LoadStringResource(static_cast<unsigned>(idres), std::string());
    else if (iddll > 0) text = m_platform.LoadStringResource(static_cast<unsigned>(iddll), library);
    if (text.empty()) return;
    const int width = Width(text);
    const int y = Place(m_metrics.ascent, m_metrics.height);
    if (m_measuring) {
        EndTextRun();
    } else {
        AddHotArea(m_x, y, width, m_metrics.height);
        m_canvas->DrawString(m_x, y, text.data(), text.size());
    }
    m_x = AddCoord(m_x, width);
    m_xNat = AddCoord(m_xNat, width);
}

// ---------------------------------------------------------------- links

std::string HtmlHandlerCommandLine(const std::string& command, const std::string& target) {
    std::size_t cut = command.find("\"%1\"");
    if (cut == std::string::npos) cut = command.find("%1");
    return command.substr(0, cut) + " " + target;
}

int CHtmlRendererCore::HitTestLink(int x, int y) const {
    for (std::size_t i = 0; i < m_hot.size(); ++i)
        if (m_hot[i].rect.Contains(x, y)) return static_cast<int>(i);
    return -1;
}

bool CHtmlRendererCore::OnMouseMove(int x, int y) {
    const int hit = HitTestLink(x, y);
    if (hit >= 0) {
        const HtmlHotArea& area = m_hot[static_cast<std::size_t>(hit)];
        if (area.linkIndex != m_hovered) {
            m_hovered = area.linkIndex;
            if (m_hoverTarget.Active()) m_platform.Notify(m_hoverTarget, m_hovered);
        }
        return !area.target.empty() && m_platform.ShowHandCursor();
    }
    if (m_hovered != -2) {
        m_hovered = -2;
        if (m_hoverTarget.Active()) m_platform.Notify(m_hoverTarget, -2);
    }
    return false;
}

void CHtmlRendererCore::OnClick(int x, int y) {
    const int hit = HitTestLink(x, y);
    if (hit < 0) return;
    // A copy: the notified window may measure again, which clears the areas.
    const HtmlHotArea area = m_hot[static_cast<std::size_t>(hit)];
    if (area.target.empty()) return;
    if (area.linkKind == 1) m_platform.OpenLink(area.target);
    else if (area.linkKind == 2 && m_linkTarget.Active())
        m_platform.Notify(m_linkTarget, reinterpret_cast<std::intptr_t>(area.target.c_str()));
}

}  // namespace html
