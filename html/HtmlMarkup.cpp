// Entities, tokenizer, tags, colours and lengths of the tooltip HTML dialect.
#include "html/HtmlMarkup.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace html {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnumOrDot(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '.';
}
int Saturate(long long v) {
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}
}  // namespace

int ClampLength(long long v) {
    if (v > kMaxLength) return kMaxLength;
    if (v < -kMaxLength) return -kMaxLength;
    return static_cast<int>(v);
}

int ClampCoord(long long v) {
    if (v > kMaxCoord) return kMaxCoord;
    if (v < -kMaxCoord) return -kMaxCoord;
    return static_cast<int>(v);
}

int HtmlMulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long num = static_cast<long long>(a) * b;
    long long den = c;
    if (den < 0) { num = -num; den = -den; }
    long long q = (num >= 0 ? num + den / 2 : num - den / 2) / den;
    return Saturate(q);
}

int HtmlAtoi(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r')) ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    long long v = 0;
    for (; i < t.size() && IsDigit(t[i]); ++i) {
        v = v * 10 + (t[i] - '0');
        if (v > INT_MAX) { v = static_cast<long long>(INT_MAX) + 1; }
    }
    return Saturate(neg ? -v : v);
}

std::uint32_t HtmlStrtoul(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r')) ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '0') {
        if (i + 2 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X') &&
            std::isxdigit(static_cast<unsigned char>(t[i + 2]))) {
            base = 16;
            i += 2;
        } else {
            base = 8;
        }
    }
    unsigned long long v = 0;
    bool overflow = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        int d;
        if (IsDigit(c)) d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        if (d >= base) break;
        v = v * base + d;
        if (v > 0xFFFFFFFFull) overflow = true, v = 0xFFFFFFFFull;
    }
    if (overflow) return 0xFFFFFFFFu;
    std::uint32_t r = static_cast<std::uint32_t>(v);
    return neg ? static_cast<std::uint32_t>(0u - r) : r;
}

// ---------------------------------------------------------------- entities

const std::vector<std::pair<std::string, std::string>>& HtmlEntities() {
    static const std::vector<std::pair<std::string, std::string>> table = {
        {"&amp;", "&"},      {"&bull;", "\x95"},  {"&copy;", "\xA9"},  {"&euro;", "\x88"},
        {"&gt;", ">"},       {"&iquest;", "\xBF"}, {"&lt;", "<<"},     {"&nbsp;", " "},
        {"&para;", "\xB6"},  {"&pound;", "\xA3"}, {"&quot;", "\""},    {"&reg;", "\xAE"},
        {"&trade;", "\x99"},
    };
    return table;
}

std::string ReplaceEntities(std::string text) {
    if (text.find('&') == std::string::npos) return text;
    for (const auto& [name, value] : HtmlEntities()) {
        std::size_t pos = text.find(name);
        if (pos == std::string::npos) continue;
        std::string out;
        out.reserve(text.size());
        std::size_t from = 0;
        while (pos != std::string::npos) {
            out.append(text, from, pos - from);
            out += value;
            from = pos + name.size();
            pos = text.find(name, from);
        }
        out.append(text, from, std::string::npos);
        text.swap(out);
    }
    return text;
}

// ---------------------------------------------------------------- tokenizer

bool HtmlTokenizer::Next(HtmlToken& token) {
    const std::size_t n = m_text.size();
    if (m_pos >= n) return false;
    if (m_text[m_pos] != '<' || (m_pos + 1 < n && m_text[m_pos + 1] == '<') || m_pos + 1 == n) {
        token.type = HtmlToken::Text;
        token.text.clear();
        token.name = {};
        token.params = {};
        while (m_pos < n) {
            std::size_t lt = m_text.find('<', m_pos);
            if (lt == std::string_view::npos) lt = n;
            token.text.append(m_text.data() + m_pos, lt - m_pos);
            m_pos = lt;
            if (m_pos >= n) break;
            if (m_pos + 1 == n) { token.text += '<'; m_pos = n; break; }
            if (m_text[m_pos + 1] == '<') { token.text += '<'; m_pos += 2; continue; }
            break;
        }
        return true;
    }
    // A tag from after the "<" to the next ">".
    std::size_t start = m_pos + 1;
    std::size_t gt = m_text.find('>', start);
    std::size_t end = gt == std::string_view::npos ? n : gt;
    m_pos = gt == std::string_view::npos ? n : gt + 1;
    std::string_view tag = m_text.substr(start, end - start);
    std::size_t nameEnd = tag.find_first_of(" =");
    if (nameEnd == std::string_view::npos) nameEnd = tag.size();
    token.type = HtmlToken::Tag;
    token.text.clear();
    token.name = tag.substr(0, nameEnd);
    std::size_t p = nameEnd;
    while (p < tag.size() && tag[p] == ' ') ++p;
    token.params = tag.substr(p);
    return true;
}

HtmlAttributes ParseAttributes(std::string_view t) {
    HtmlAttributes out;
    std::size_t i = 0;
    const std::size_t n = t.size();
    while (true) {
        while (i < n && !IsAlnumOrDot(t[i])) ++i;
        if (i >= n) break;
        std::size_t nameStart = i;
        while (i < n && t[i] != ' ' && t[i] != '=') ++i;
        std::string_view name = t.substr(nameStart, i - nameStart);
        std::size_t j = i;
        while (j < n && t[j] == ' ') ++j;
        std::string_view value;
        if (j < n && t[j] == '=') {
            ++j;
            while (j < n && t[j] == ' ') ++j;
            if (j < n && (t[j] == '"' || t[j] == '\'')) {
                char q = t[j++];
                std::size_t close = t.find(q, j);
                if (close == std::string_view::npos) close = n;
                value = t.substr(j, close - j);
                i = close < n ? close + 1 : n;
            } else {
                std::size_t sp = t.find(' ', j);
                if (sp == std::string_view::npos) sp = n;
                value = t.substr(j, sp - j);
                i = sp;
            }
        }
        out.emplace_back(name, value);
    }
    return out;
}

int TagCount(std::string_view params) {
    if (params.size() < 2) return 1;
    int n = HtmlAtoi(params.substr(1));
    if (n <= 0) return 1;
    return n > kMaxTagCount ? kMaxTagCount : n;
}

// ---------------------------------------------------------------- tags

HtmlTagInfo LookupTag(std::string_view name) {
    static const std::map<std::string, HtmlTagInfo, std::less<>> table = [] {
        std::map<std::string, HtmlTagInfo, std::less<>> t;
        t["b"] = {TagBold, "bold"};
        t["i"] = {TagItalic, "italic"};
        t["em"] = {TagItalic, "italic"};
        t["u"] = {TagUnderline, "underline"};
        t["s"] = {TagStrikeout, "strikeout"};
        t["strike"] = {TagStrikeout, "strikeout"};
        t["font"] = {TagFont, "font"};
        t["hr"] = {TagRule, ""};
        t["br"] = {TagBreak, ""};
        t["\n"] = {TagBreak, ""};
        t["t"] = {TagTab, ""};
        t["\t"] = {TagTab, ""};
        t["left"] = {TagLeft, "left"};
        t["center"] = {TagCenter, "center"};
        t["right"] = {TagRight, "right"};
        t["justify"] = {TagJustify, "justify"};
        t["baseline"] = {TagBaseline, "baseline"};
        t["top"] = {TagTop, "top"};
        t["vcenter"] = {TagVCenter, "vcenter"};
        t["middle"] = {TagVCenter, "vcenter"};
        t["bottom"] = {TagBottom, "bottom"};
        t["bmp"] = {TagBitmap, ""};
        t["icon"] = {TagIcon, ""};
        t["ilst"] = {TagImageList, ""};
        t["string"] = {TagString, ""};
        for (const char* n : {"body", "h1", "h2", "h3", "h4", "h5", "h6", "code", "pre", "big", "small", "sub", "sup"})
            t[n] = {TagSheetRule, n};
        t["span"] = {TagSpan, "span"};
        t["a"] = {TagLink, "link"};
        return t;
    }();
    auto it = table.find(name);
    return it == table.end() ? HtmlTagInfo{} : it->second;
}

namespace {
// Is there a tag `name` (followed by a space, "=", ">" or the end) at `pos`?
bool TagAt(std::string_view text, std::size_t pos, std::string_view name) {
    if (text.compare(pos, name.size(), name) != 0) return false;
    std::size_t after = pos + name.size();
    return after >= text.size() || text[after] == ' ' || text[after] == '>' || text[after] == '=';
}
}  // namespace

std::size_t FindTableStart(std::string_view text, std::size_t from) {
    for (std::size_t p = text.find('<', from); p != std::string_view::npos; p = text.find('<', p + 1)) {
        if (p + 1 < text.size() && text[p + 1] == '<') { ++p; continue; }
        if (TagAt(text, p, "<table")) return p;
    }
    return std::string_view::npos;
}

std::size_t FindTableEnd(std::string_view text, std::size_t start) {
    int depth = 0;
    std::size_t p = text.find('>', start);
    if (p == std::string_view::npos) return text.size();
    for (p = text.find('<', p); p != std::string_view::npos; p = text.find('<', p + 1)) {
        if (p + 1 < text.size() && text[p + 1] == '<') { ++p; continue; }
        if (TagAt(text, p, "<table")) {
            ++depth;
        } else if (TagAt(text, p, "</table")) {
            if (depth == 0) {
                std::size_t gt = text.find('>', p);
                return gt == std::string_view::npos ? text.size() : gt + 1;
            }
            --depth;
        }
    }
    return text.size();
}

// ---------------------------------------------------------------- colours

namespace {
constexpr HtmlColor Rgb(std::uint32_t rrggbb) {
    return ((rrggbb >> 16) & 0xFF) | (rrggbb & 0xFF00) | ((rrggbb & 0xFF) << 16);
}
}  // namespace

const std::vector<std::pair<const char*, HtmlColor>>& HtmlNamedColors() {
    static const std::vector<std::pair<const char*, HtmlColor>> table = {
        {"aqua", Rgb(0x00FFFF)}, {"black", Rgb(0x000000)}, {"blue", Rgb(0x0000FF)}, {"brown", Rgb(0xA52A2A)},
        {"cyan", Rgb(0x00FFFF)}, {"gold", Rgb(0xFFD700)}, {"gray", Rgb(0x808080)}, {"green", Rgb(0x008000)},
        {"magenta", Rgb(0xFF00FF)}, {"maroon", Rgb(0x800000)}, {"navy", Rgb(0x000080)}, {"olive", Rgb(0x808000)},
        {"orange", Rgb(0xFFA500)}, {"pink", Rgb(0xFFC0CB)}, {"purple", Rgb(0x800080)}, {"red", Rgb(0xFF0000)},
        {"silver", Rgb(0xC0C0C0)}, {"snow", Rgb(0xFFFAFA)}, {"violet", Rgb(0xEE82EE)}, {"white", Rgb(0xFFFFFF)},
        {"yellow", Rgb(0xFFFF00)}, {"aliceblue", Rgb(0xF0F8FF)}, {"antiquewhite", Rgb(0xFAEBD7)},
        {"aquamarine", Rgb(0x7FFFD4)}, {"azure", Rgb(0xF0FFFF)}, {"beige", Rgb(0xF5F5DC)},
        {"bisque", Rgb(0xFFE4C4)}, {"blanchedalmond", Rgb(0xFFEBCD)}, {"blueviolet", Rgb(0x8A2BE2)},
        {"burlywood", Rgb(0xDEB887)}, {"cadetblue", Rgb(0x5F9EA0)}, {"chartreuse", Rgb(0x7FFF00)},
        {"chocolate", Rgb(0xD2691E)}, {"coral", Rgb(0xFF7F50)}, {"cornflowerblue", Rgb(0x6495ED)},
        {"cornsilk", Rgb(0xFFF8DC)}, {"crimson", Rgb(0xDC143C)}, {"darkblue", Rgb(0x00008B)},
        {"darkcyan", Rgb(0x008B8B)}, {"darkgoldenrod", Rgb(0xB8860B)}, {"darkgray", Rgb(0xA9A9A9)},
        {"darkgreen", Rgb(0x006400)}, {"darkkhaki", Rgb(0xBDB76B)}, {"darkmagenta", Rgb(0x8B008B)},
        {"darkolivegreen", Rgb(0x556B2F)}, {"darkorange", Rgb(0xFF8C00)}, {"darkorchid", Rgb(0x9932CC)},
        {"darkred", Rgb(0x8B0000)}, {"darksalmon", Rgb(0xE9967A)}, {"darkseagreen", Rgb(0x8FBC8F)},
        {"darkslateblue", Rgb(0x483D8B)}, {"darkslategray", Rgb(0x2F4F4F)}, {"darkturquoise", Rgb(0x00CED1)},
        {"darkviolet", Rgb(0x9400D3)}, {"deeppink", Rgb(0xFF1493)}, {"deepskyblue", Rgb(0x00BFFF)},
        {"dimgray", Rgb(0x696969)}, {"dodgerblue", Rgb(0x1E90FF)}, {"firebrick", Rgb(0xB22222)},
        {"floralwhite", Rgb(0xFFFAF0)}, {"forestgreen", Rgb(0x228B22)}, {"fuchsia", Rgb(0xFF00FF)},
        {"gainsboro", Rgb(0xDCDCDC)}, {"ghostwhite", Rgb(0xF8F8FF)}, {"goldenrod", Rgb(0xDAA520)},
        {"greenyellow", Rgb(0xADFF2F)}, {"honeydew", Rgb(0xF0FFF0)}, {"hotpink", Rgb(0xFF69B4)},
        {"indianred", Rgb(0xCD5C5C)}, {"indigo", Rgb(0x4B0082)}, {"ivory", Rgb(0xFFFFF0)},
        {"khaki", Rgb(0xF0E68C)}, {"lavender", Rgb(0xE6E6FA)}, {"lavenderblush", Rgb(0xFFF0F5)},
        {"lawngreen", Rgb(0x7CFC00)}, {"lemonchiffon", Rgb(0xFFFACD)}, {"lightblue", Rgb(0xADD8E6)},
        {"lightcoral", Rgb(0xF08080)}, {"lightcyan", Rgb(0xE0FFFF)}, {"lightgoldenrodyellow", Rgb(0xFAFAD2)},
        {"lightgreen", Rgb(0x90EE90)}, {"lightgrey", Rgb(0xD3D3D3)}, {"lightpink", Rgb(0xFFB6C1)},
        {"lightsalmon", Rgb(0xFFA07A)}, {"lightseagreen", Rgb(0x20B2AA)}, {"lightskyblue", Rgb(0x87CEFA)},
        {"lightslategray", Rgb(0x778899)}, {"lightsteelblue", Rgb(0xB0C4DE)}, {"lightyellow", Rgb(0xFFFFE0)},
        {"lime", Rgb(0x00FF00)}, {"limegreen", Rgb(0x32CD32)}, {"linen", Rgb(0xFAF0E6)},
        {"mediumaquamarine", Rgb(0x66CDAA)}, {"mediumblue", Rgb(0x0000CD)}, {"mediumorchid", Rgb(0xBA55D3)},
        {"mediumpurple", Rgb(0x9370DB)}, {"mediumseagreen", Rgb(0x3CB371)}, {"mediumslateblue", Rgb(0x7B68EE)},
        {"mediumspringgreen", Rgb(0x00FA9A)}, {"mediumturquoise", Rgb(0x48D1CC)},
        {"mediumvioletred", Rgb(0xC71585)}, {"midnightblue", Rgb(0x191970)}, {"mintcream", Rgb(0xF5FFFA)},
        {"mistyrose", Rgb(0xFFE4E1)}, {"moccasin", Rgb(0xFFE4B5)}, {"navajowhite", Rgb(0xFFDEAD)},
        {"oldlace", Rgb(0xFDF5E6)}, {"olivedrab", Rgb(0x6B8E23)}, {"orangered", Rgb(0xFF4500)},
        {"orchid", Rgb(0xDA70D6)}, {"palegoldenrod", Rgb(0xEEE8AA)}, {"palegreen", Rgb(0x98FB98)},
        {"paleturquoise", Rgb(0xAFEEEE)}, {"palevioletred", Rgb(0xDB7093)}, {"papayawhip", Rgb(0xFFEFD5)},
        {"peachpuff", Rgb(0xFFDAB9)}, {"peru", Rgb(0xCD853F)}, {"plum", Rgb(0xDDA0DD)},
        {"powderblue", Rgb(0xB0E0E6)}, {"rosybrown", Rgb(0xBC8F8F)}, {"royalblue", Rgb(0x4169E1)},
        {"saddlebrown", Rgb(0x8B4513)}, {"salmon", Rgb(0xFA8072)}, {"sandybrown", Rgb(0xF4A460)},
        {"seagreen", Rgb(0x2E8B57)}, {"seashell", Rgb(0xFFF5EE)}, {"sienna", Rgb(0xA0522D)},
        {"skyblue", Rgb(0x87CEEB)}, {"slateblue", Rgb(0x6A5ACD)}, {"slategray", Rgb(0x708090)},
        {"springgreen", Rgb(0x00FF7F)}, {"steelblue", Rgb(0x4682B4)}, {"tan", Rgb(0xD2B48C)},
        {"teal", Rgb(0x008080)}, {"thistle", Rgb(0xD8BFD8)}, {"tomato", Rgb(0xFF6347)},
        {"turquoise", Rgb(0x40E0D0)}, {"wheat", Rgb(0xF5DEB3)}, {"whitesmoke", Rgb(0xF5F5F5)},
        {"yellowgreen", Rgb(0x9ACD32)},
    };
    return table;
}

const std::vector<std::pair<const char*, int>>& HtmlSystemColorNames() {
    static const std::vector<std::pair<const char*, int>> table = {
        {"activeborder", SysActiveBorder}, {"activecaption", SysActiveCaption},
        {"appworkspace", SysAppWorkspace}, {"background", SysBackground},
        {"buttonface", SysBtnFace}, {"buttonhighlight", SysBtnHighlight},
        {"buttonshadow", SysBtnShadow}, {"buttontext", SysBtnText},
        {"captiontext", SysCaptionText}, {"graytext", SysGrayText},
        {"highlight", SysHighlight}, {"highlighttext", SysHighlightText},
        {"inactiveborder", SysInactiveBorder}, {"inactivecaption", SysInactiveCaption},
        {"infotext", SysInfoText}, {"menu", SysMenu}, {"menutext", SysMenuText},
        {"scrollbar", SysScrollbar}, {"threeddarkshadow", Sys3dDkShadow},
        {"threedface", SysBtnFace}, {"threedhighlight", SysBtnHighlight},
        {"threedlightshadow", Sys3dLight}, {"threedshadow", SysBtnShadow},
        {"window", SysWindow}, {"windowframe", SysWindowFrame}, {"windowtext", SysWindowText},
        {"infobackground", SysInfoBk}, {"inactivecaptiontext", SysInactiveCaptionText},
    };
    return table;
}

HtmlColorTable BuildColorTable(HtmlPlatform& platform) {
    HtmlColorTable t;
    for (const auto& [name, value] : HtmlNamedColors()) t.emplace(name, value);
    for (const auto& [name, index] : HtmlSystemColorNames()) t[name] = platform.SysColor(index);
    return t;
}

HtmlColor ParseColor(std::string_view text, HtmlColor fallback, const HtmlValueContext& ctx) {
    if (text.empty()) return fallback;
    if (text[0] == '#') {
        if (text.size() != 7) return fallback;
        for (std::size_t i = 1; i < 7; ++i)
            if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return fallback;
        std::uint32_t rgb = static_cast<std::uint32_t>(std::strtoul(std::string(text.substr(1)).c_str(), nullptr, 16));
        return Rgb(rgb);
    }
    if (IsDigit(text[0])) return HtmlStrtoul(text);
    if (!ctx.enabled) return ctx.disabledColor;
    if (!ctx.colors) return fallback;
    auto it = ctx.colors->find(text);
    return it == ctx.colors->end() ? fallback : it->second;
}

int ParseLength(std::string_view text, int base, bool fontSize, const HtmlValueContext& ctx) {
    if (text.empty()) return base;
    if (text.back() == '%') return ClampLength(HtmlMulDiv(base, HtmlAtoi(text.substr(0, text.size() - 1)), 100));
    if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
    long long n = HtmlAtoi(text);
    if (text.size() >= 2) {
        std::string_view unit = text.substr(text.size() - 2);
        long long dpi = ctx.dpi;
        if (unit == "px") return ClampLength(n);
        // The height of "x" is the extent's height, which is the font's height.
        if (unit == "ex" || unit == "em") return ClampLength(n * ctx.fontHeight);
        if (unit == "in") return ClampLength(n * dpi);
        if (unit == "cm") return ClampLength(n * dpi * 100 / 254);
        if (unit == "mm") return ClampLength(n * dpi * 10 / 254);
        if (unit == "pt") return ClampLength(n * dpi / 72);
        if (unit == "pc") return ClampLength(n * dpi / 6);
    }
    std::uint32_t v = HtmlStrtoul(text);
    if (fontSize && v >= 1 && v <= 7) {
        static const int sizes[] = {8, 10, 12, 14, 18, 24, 36};
        return sizes[v - 1];
    }
    return ClampLength(static_cast<long long>(v));
}

}  // namespace html
