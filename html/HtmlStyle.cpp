// Style-sheet reading and the declarations it knows.
#include "html/HtmlStyle.h"

#include <algorithm>

namespace html {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool IsAlnumOrDot(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
}

void ApplyTextDecoration(std::string_view value, HtmlStyle& s) {
    if (value.empty()) value = "none";
    std::size_t i = 0;
    while (i < value.size()) {
        while (i < value.size() && (value[i] == ' ' || value[i] == ',')) ++i;
        std::size_t start = i;
        while (i < value.size() && value[i] != ' ' && value[i] != ',') ++i;
        std::string_view word = value.substr(start, i - start);
        if (word == "none") s.underline = s.strikeout = s.overline = false;
        else if (word == "underline") s.underline = true;
        else if (word == "line-through") s.strikeout = true;
        else if (word == "overline") s.overline = true;
    }
}

}  // namespace

HtmlFontSpec HtmlStyle::FontSpec() const {
    HtmlFontSpec f;
    // Fonts beyond a thousand pixels only cost memory and time in the
    // platform's rasteriser; such sizes come from hostile markup alone.
    // A height of 0 or below (or a size that could not be read) means the
    // default font, as it does for the platform's own fonts.
    f.height = fontSize <= 0 ? kDefaultFontHeight : std::min(fontSize, 1000);
    f.weight = std::clamp(fontWeight, 0, 1000);
    f.italic = italic;
    f.underline = underline;
    f.strikeout = strikeout;
    f.face = fontFace;
    return f;
}

void HtmlStyle::CapTexts() {
    if (fontFace.size() > kMaxFaceName) fontFace.resize(kMaxFaceName);
    if (linkTarget.size() > kMaxStyleText) linkTarget.resize(kMaxStyleText);
    if (backgroundImage.size() > kMaxStyleText) backgroundImage.resize(kMaxStyleText);
}

int ParseBorderStyleKeyword(std::string_view v, int current) {
    if (v.empty() || v == "none") return 0;
    if (v == "solid") return 1;
    if (v == "dotted") return 3;
    if (v == "dashed") return 2;
    if (v == "double") return 6;
    return current;
}

int ParseVerticalAlignKeyword(std::string_view v, int current) {
    if (v.empty() || v == "baseline") return 3;
    if (v == "middle" || v == "vcenter") return 1;
    if (v == "top") return 0;
    if (v == "bottom") return 2;
    return current;
}

int ParseFontWeightKeyword(std::string_view v) {
    if (v.empty() || v == "normal") return 400;
    if (v == "bold") return 700;
    if (v == "bolder") return 900;
    if (v == "lighter") return 100;
    return HtmlAtoi(v);
}

void ApplyDeclarations(std::string_view d, HtmlStyle& s, const HtmlValueContext& ctx) {
    std::size_t pos = 0;
    while (pos < d.size()) {
        std::size_t colon = d.find(':', pos);
        if (colon == std::string_view::npos) break;
        std::string_view name = Trim(d.substr(pos, colon - pos));
        std::size_t v = colon + 1;
        while (v < d.size() && (d[v] == ' ' || d[v] == '\t' || d[v] == '\r' || d[v] == '\n')) ++v;
        std::string_view value;
        if (v < d.size() && d[v] == '"') {
            std::size_t close = d.find('"', v + 1);
            if (close == std::string_view::npos) close = d.size();
            value = d.substr(v + 1, close - v - 1);
            std::size_t semi = d.find(';', close);
            pos = semi == std::string_view::npos ? d.size() : semi + 1;
        } else {
            std::size_t semi = d.find(';', v);
            if (semi == std::string_view::npos) semi = d.size();
            value = Trim(d.substr(v, semi - v));
            pos = semi + 1;
        }
        // Declarations may follow each other with spaces or line breaks.
        std::size_t nameStart = name.find_last_of(" \t\r\n");
        if (nameStart != std::string_view::npos) name = name.substr(nameStart + 1);

        if (name == "font-size") {
            s.fontSize = ParseLength(value, s.fontSize, true, ctx);
        } else if (name == "font-family") {
            if (!value.empty()) s.fontFace = std::string(value);
        } else if (name == "font-style") {
            if (value.empty() || value == "normal") s.italic = false;
            else if (value == "italic" || value == "oblique") s.italic = true;
        } else if (name == "font-weight") {
            s.fontWeight = ParseFontWeightKeyword(value);
        } else if (name == "text-align") {
            if (value.empty() || value == "left") s.horizontalAlign = 0;
            else if (value == "center") s.horizontalAlign = 1;
            else if (value == "right") s.horizontalAlign = 2;
        } else if (name == "text-transform") {
            if (value.empty() || value == "none") s.textTransform = 0;
            else if (value == "uppercase") s.textTransform = 1;
            else if (value == "lowercase") s.textTransform = 2;
            else if (value == "capitalize") s.textTransform = 3;
        } else if (name == "color") {
            s.textColor = ctx.enabled ? ParseColor(value, s.textColor, ctx) : ctx.disabledColor;
        } else if (name == "background-color") {
            if (value.empty() || value == "transparent" || !ctx.enabled) {
                s.backgroundMode = 1;
            } else {
                s.backgroundMode = 2;
                s.backgroundColor = ParseColor(value, s.backgroundColor, ctx);
            }
        } else if (name == "text-decoration") {
            ApplyTextDecoration(value, s);
        } else if (name == "vertical-align") {
            s.verticalAlign = ParseVerticalAlignKeyword(value, s.verticalAlign);
        } else if (name == "border-color") {
            HtmlColor c = ctx.enabled ? ParseColor(value, s.borderLight, ctx) : ctx.disabledColor;
            s.borderLight = s.borderDark = c;
        } else if (name == "border-width" || name == "size") {
            // "thick" repeated would grow the width past every bound.
            if (value == "thin") s.borderWidth = ClampLength(HtmlMulDiv(75, s.borderWidth, 100));
            else if (value == "thick") s.borderWidth = ClampLength(HtmlMulDiv(125, s.borderWidth, 100));
            else if (value != "medium") s.borderWidth = ParseLength(value, s.borderWidth, false, ctx);
            if (s.borderWidth == 0) s.borderStyle = 0;
            else if (s.borderStyle == 0) s.borderStyle = 1;
        } else if (name == "border-style") {
            s.borderStyle = ParseBorderStyleKeyword(value, s.borderStyle);
            if (s.borderStyle != 0 && s.borderWidth == 0) s.borderWidth = 1;
        } else if (name == "margin") {
            s.margin = ParseLength(value, s.margin, false, ctx);
        } else if (name == "padding") {
            s.padding = ParseLength(value, s.padding, false, ctx);
        }
    }
}

const char kDefaultStyleSheet[] =
    "body {font-size: 10pt; color:black; font-family:Verdana}\r\n"
    "p {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    "h1 {font-size: 14pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    "h2 {font-size: 13pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
    "h3 {font-size: 12pt; color:#ff9900; font-family:Arial; font-weight:bold}\r\n"
    "h4 {font-size: 10pt; color:black; font-family:Verdana; font-weight:bold}\r\n"
    "h5 {font-size: 9pt; color:#ff9900; font-family:Verdana; font-weight:bold}\r\n"
    "h6 {font-size: 65%; color:#626262; font-family:Verdana; font-weight:normal}\r\n"
    "pre {font-size: 9pt; font-family:\"Courier\"; background-color:#fbedbb}\r\n"
    "code {color:#990000; font-family:Arial}\r\n"
    "a:link {text-decoration:none; color:blue}\r\n"
    "a:hover {text-decoration:underline; color:blue}\r\n"
    "sub {font-size:65%; vertical-align:bottom}\r\n"
    "sup {font-size:65%; vertical-align:top}\r\n"
    "big {font-size:125%}\r\n"
    "small {font-size:75%}\r\n"
    ".cpp-comment {color:green; font-style:italic}\r\n";

void HtmlStyleSheet::Set(std::string text) {
    m_rules.clear();
    m_text = std::move(text);
    const std::string_view t = m_text;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && !IsAlnumOrDot(t[i])) ++i;
        if (i >= t.size()) break;
        std::size_t selEnd = t.find_first_of(" {", i);
        if (selEnd == std::string_view::npos) break;
        std::size_t open = t.find('{', selEnd);
        if (open == std::string_view::npos) break;
        std::size_t close = t.find('}', open);
        if (close == std::string_view::npos) break;
        std::string_view selector = t.substr(i, selEnd - i);
        m_rules[Lower(selector)] = Lower(t.substr(open + 1, close - open - 1));
        i = close + 1;
    }
}

const std::string* HtmlStyleSheet::Find(std::string_view selector) const {
    auto it = m_rules.find(selector);
    return it == m_rules.end() ? nullptr : &it->second;
}

void HtmlStyleSheet::SetRule(std::string selector, std::string declarations) {
    m_rules[Lower(selector)] = Lower(declarations);
}

bool HtmlStyleSheet::Apply(std::string_view selector, HtmlStyle& style, const HtmlValueContext& ctx) const {
    const std::string* d = Find(selector);
    if (!d) return false;
    ApplyDeclarations(*d, style, ctx);
    return true;
}

}  // namespace html
