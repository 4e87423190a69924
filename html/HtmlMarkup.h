// The small HTML dialect of tooltips and the About box, as plain functions:
// entities, the tokenizer and its attributes, the tag table, colour names,
// colour values and lengths. Nothing here draws; the renderer
// (html/HtmlRendererCore.h) walks the tokens and keeps the styles.
//
// Everything is 8-bit text and every name comparison is exact and
// case-sensitive; only style-sheet text is lowercased (html/HtmlStyle.h).
#pragma once

#include "html/HtmlCanvas.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace html {

// GDI's MulDiv: a × b / c rounded half away from zero, -1 when c is 0; the
// result saturates instead of overflowing.
int HtmlMulDiv(int a, int b, int c);
// atoi without its undefined overflow: optional spaces and sign, decimal
// digits, saturating at the int range.
int HtmlAtoi(std::string_view text);
// strtoul(text, 0): decimal, "0x" hexadecimal or leading-"0" octal, with
// optional spaces and sign; saturates at 0xFFFFFFFF like a 32-bit strtoul.
std::uint32_t HtmlStrtoul(std::string_view text);

// ---------------------------------------------------------------- entities

// The entity table in the order the replacements run (ascending names, so
// "&amp;" first and "&amp;lt;" ends up as a literal "<").
const std::vector<std::pair<std::string, std::string>>& HtmlEntities();
std::string ReplaceEntities(std::string text);

// ---------------------------------------------------------------- tokenizer

struct HtmlToken {
    enum Type { Text, Tag };
    Type type = Text;
    std::string text;          // Text: the piece, doubled "<" already made one "<"
    std::string_view name;     // Tag: up to the first space or "=" ("/b" for a closing tag)
    std::string_view params;   // Tag: the rest, without leading spaces
};

// Scans text pieces and tags in order. A "<" doubled, or last in the text, is
// a literal "<"; a tag without its ">" runs to the end of the text.
class HtmlTokenizer {
public:
    explicit HtmlTokenizer(std::string_view text) : m_text(text) {}
    bool Next(HtmlToken& token);
    std::size_t Position() const { return m_pos; }
private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

using HtmlAttributes = std::vector<std::pair<std::string_view, std::string_view>>;
// The attributes of a tag's parameter text, in order; a name without "=" has
// an empty value.
HtmlAttributes ParseAttributes(std::string_view params);
// The count of "br" and "t": the parameter text after its first character;
// missing or not above zero means 1. Counts are capped at kMaxTagCount so
// that <br=999999999> costs no more than a few thousand lines.
constexpr int kMaxTagCount = 1000;
int TagCount(std::string_view params);

// ---------------------------------------------------------------- tags

enum HtmlTagKind {
    TagUnknown = 0,
    TagBold = 1, TagItalic, TagUnderline, TagStrikeout, TagFont, TagRule, TagBreak, TagTab,
    TagLeft, TagCenter, TagRight, TagJustify,
    TagBaseline, TagTop, TagVCenter, TagBottom,
    TagBitmap, TagIcon, TagImageList, TagString,
    TagSheetRule = 21, TagSpan = 22, TagLink = 23,
};

struct HtmlTagInfo {
    HtmlTagKind kind = TagUnknown;
    const char* closingKey = "";   // empty: the closing form acts like the opening form
};

// The tag table, looked up by exact name (without the "/" of closing tags).
HtmlTagInfo LookupTag(std::string_view name);

// Finds the end of a table that starts at `start` (the "<table" tag): just
// behind the ">" of the "</table" that closes it, counting nested tables;
// the end of the text when it is never closed. A doubled "<" starts nothing.
std::size_t FindTableEnd(std::string_view text, std::size_t start);
// The next "<table" tag from `from` that is not escaped, or npos.
std::size_t FindTableStart(std::string_view text, std::size_t from);

// ---------------------------------------------------------------- colours

// System colour indexes (COLOR_SCROLLBAR ... COLOR_INFOBK).
enum HtmlSysColor {
    SysScrollbar = 0, SysBackground = 1, SysActiveCaption = 2, SysInactiveCaption = 3, SysMenu = 4,
    SysWindow = 5, SysWindowFrame = 6, SysMenuText = 7, SysWindowText = 8, SysCaptionText = 9,
    SysActiveBorder = 10, SysInactiveBorder = 11, SysAppWorkspace = 12, SysHighlight = 13,
    SysHighlightText = 14, SysBtnFace = 15, SysBtnShadow = 16, SysGrayText = 17, SysBtnText = 18,
    SysInactiveCaptionText = 19, SysBtnHighlight = 20, Sys3dDkShadow = 21, Sys3dLight = 22,
    SysInfoText = 23, SysInfoBk = 24,
};

// The 140 named colours in the order the table is filled, as 0x00BBGGRR.
const std::vector<std::pair<const char*, HtmlColor>>& HtmlNamedColors();
// The 28 system colour names with their system colour index.
const std::vector<std::pair<const char*, int>>& HtmlSystemColorNames();

using HtmlColorTable = std::map<std::string, HtmlColor, std::less<>>;
// Both lists, the system colours read through `platform` now.
HtmlColorTable BuildColorTable(HtmlPlatform& platform);

// What colour and length parsing need to know of the renderer.
struct HtmlValueContext {
    const HtmlColorTable* colors = nullptr;
    bool enabled = true;
    HtmlColor disabledColor = 0;
    int dpi = 96;
    int fontHeight = 16;   // tmHeight of the current font
};

HtmlColor ParseColor(std::string_view text, HtmlColor fallback, const HtmlValueContext& ctx);
// Lengths are kept within ±kMaxLength so that no later sum overflows.
constexpr int kMaxLength = 1000000;
// A length cut to ±kMaxLength; every rule that scales a length ends here.
int ClampLength(long long v);
// Positions and sizes are kept within ±kMaxCoord (2^28): hostile markup
// (thousands of breaks, enormous fonts) then makes a very tall layout, never
// an overflowing one.
constexpr int kMaxCoord = 1 << 28;
// v, or a + b, cut to ±kMaxCoord.
int ClampCoord(long long v);
inline int AddCoord(int a, long long b) { return ClampCoord(a + b); }
int ParseLength(std::string_view text, int base, bool fontSize, const HtmlValueContext& ctx);

}  // namespace html
