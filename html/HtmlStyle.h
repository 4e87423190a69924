// The renderer's text style and its style sheet: `HtmlStyle` is copied whole
// onto the style stack by every opening tag, so a closing tag restores
// exactly what was in force before; the style sheet is a map from a
// lowercased selector ("h1", ".cpp-comment", "a:hover") to its declarations,
// applied on top of the current style by the tags that name it.
#pragma once

#include "html/HtmlMarkup.h"

#include <map>
#include <string>
#include <string_view>

namespace html {

// The font height a size of 0 or below stands for: the style's reset size.
constexpr int kDefaultFontHeight = 16;

struct HtmlStyle {
    std::string closingKey;
    int fontSize = kDefaultFontHeight;
    int fontWeight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    bool overline = false;
    std::string fontFace = "Verdana";
    HtmlColor textColor = 0;
    HtmlColor backgroundColor = 0xFFFFFF;
    HtmlColor borderLight = 0;
    HtmlColor borderDark = 0;
    HtmlColor backgroundMiddle = 0xFFFFFF;
    HtmlColor backgroundEnd = 0xFFFFFF;
    int backgroundMode = 1;        // 1 transparent, 2 opaque
    int backgroundEffect = -1;     // FillEffect; -1 transparent
    std::string backgroundImage;
    int horizontalAlign = 0;       // 0 left, 1 centre, 2 right, 3 justify
    int verticalAlign = 3;         // 0 top, 1 middle, 2 bottom, 3 baseline
    int borderStyle = 0;           // BorderStyle
    int borderWidth = 0;
    int cellWidth = 0;
    int cellHeight = 0;
    int textTransform = 0;         // 0 none, 1 upper, 2 lower, 3 capitalise
    int margin = 2;
    int padding = 0;
    int linkKind = 0;              // 0 none, 1 "href", 2 "msg"
    std::string linkTarget;

    HtmlFontSpec FontSpec() const;
    // Cuts the style's texts to what their users can take (a face name of
    // LF_FACESIZE, a link or picture name of a long URL), so that copying a
    // style onto the stack costs the same for every text.
    void CapTexts();
};

constexpr std::size_t kMaxFaceName = 31;
constexpr std::size_t kMaxStyleText = 2048;

// The style-sheet keywords shared with tag attributes.
int ParseBorderStyleKeyword(std::string_view value, int current);   // "none" "solid" "dotted" "dashed" "double"
int ParseVerticalAlignKeyword(std::string_view value, int current); // "baseline" "middle" "vcenter" "top" "bottom"
int ParseFontWeightKeyword(std::string_view value);                 // "normal" "bold" "bolder" "lighter" or a number

// Reads the declarations of one rule ("name: value; ...", already lowercased)
// into `style`.
void ApplyDeclarations(std::string_view declarations, HtmlStyle& style, const HtmlValueContext& ctx);

// The sheet installed at construction and by SetStyleSheet without a text.
extern const char kDefaultStyleSheet[];

class HtmlStyleSheet {
public:
    // Clears the rules, keeps `text` and reads its rules; a later rule with
    // the same selector replaces an earlier one.
    void Set(std::string text);
    const std::string& Text() const { return m_text; }
    // The declarations of a selector, or null.
    const std::string* Find(std::string_view selector) const;
    // Stores one rule directly (the label's link styles).
    void SetRule(std::string selector, std::string declarations);
    std::size_t RuleCount() const { return m_rules.size(); }
    bool Apply(std::string_view selector, HtmlStyle& style, const HtmlValueContext& ctx) const;
private:
    std::string m_text;
    std::map<std::string, std::string, std::less<>> m_rules;
};

}  // namespace html
