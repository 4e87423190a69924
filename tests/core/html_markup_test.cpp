// The tooltip HTML dialect below the layout: entities, tokens, attributes,
// counts, table boundaries, colours, lengths and the style sheet.
#include <gtest/gtest.h>

#include "html/HtmlMarkup.h"
#include "html/HtmlStyle.h"
#include "tests/core/HtmlFakeCanvas.h"

namespace html {
namespace {

std::string Tokens(const std::string& text) {
    std::string out;
    HtmlTokenizer t(text);
    HtmlToken tok;
    while (t.Next(tok)) {
        if (tok.type == HtmlToken::Text) out += "[" + tok.text + "]";
        else out += "<" + std::string(tok.name) + "|" + std::string(tok.params) + ">";
    }
    return out;
}

TEST(HtmlMarkup, EntitiesTokensAttributesAndCounts) {
    struct { const char* in; const char* out; } entities[] = {
        {"&lt;b&gt;", "<<b>"},
        {"&amp;lt;", "<<"},                       // "&amp;" runs first
        {"&amp;amp;", "&amp;"},
        {"a&nbsp;b&quot;&copy;&reg;&trade;&bull;&euro;&pound;&para;&iquest;", "a b\"\xA9\xAE\x99\x95\x88\xA3\xB6\xBF"},
        {"&unknown; &amp", "&unknown; &amp"},
    };
    for (const auto& c : entities) EXPECT_EQ(ReplaceEntities(c.in), c.out) << c.in;

    struct { const char* in; const char* out; } tokens[] = {
        {"plain", "[plain]"},
        {"a<<b>c", "[a<b>c]"},                    // a doubled "<" is a literal
        {"a<", "[a<]"},                           // so is a last "<"
        {"<b>x</b>", "<b|>[x]</b|>"},
        {"<font  color=red size=3>", "<font|color=red size=3>"},
        {"<br=3><t=2>", "<br|=3><t|=2>"},
        {"<unterminated size=4", "<unterminated|size=4>"},
        {"<>x", "<|>[x]"},
    };
    for (const auto& c : tokens) EXPECT_EQ(Tokens(c.in), c.out) << c.in;

    struct { const char* in; const char* out; } attrs[] = {
        {"color=red size=3", "color=red;size=3;"},
        {"face=\"Courier New\" x='a b'", "face=Courier New;x=a b;"},
        {"href = page.htm flag", "href=page.htm;flag=;"},
        {"  ,.x=1", ".x=1;"},
        {"a=\"open", "a=open;"},
    };
    for (const auto& c : attrs) {
        std::string got;
        for (const auto& [n, v] : ParseAttributes(c.in)) got += std::string(n) + "=" + std::string(v) + ";";
        EXPECT_EQ(got, c.out) << c.in;
    }

    struct { const char* params; int count; } counts[] = {
        {"", 1}, {"=3", 3}, {"=0", 1}, {"=-4", 1}, {"=x", 1}, {"=999999999", kMaxTagCount},
    };
    for (const auto& c : counts) EXPECT_EQ(TagCount(c.params), c.count) << c.params;

    EXPECT_EQ(LookupTag("em").closingKey, std::string("italic"));
    EXPECT_EQ(LookupTag("middle").kind, TagVCenter);
    EXPECT_EQ(LookupTag("p").kind, TagUnknown);
    EXPECT_EQ(LookupTag("B").kind, TagUnknown);   // names are case-sensitive

    const std::string t = "x<<table><table a=1><tr><td><table>in</table></td></tr></table>after";
    std::size_t start = FindTableStart(t, 0);
    EXPECT_EQ(start, t.find("<table a"));
    EXPECT_EQ(t.substr(FindTableEnd(t, start)), "after");
    EXPECT_EQ(FindTableEnd("<table>never closed", 0), 19u);
}

TEST(HtmlMarkup, ColoursAndLengths) {
    FakePlatform platform;
    HtmlColorTable colors = BuildColorTable(platform);
    EXPECT_EQ(colors.size(), 168u);
    EXPECT_EQ(HtmlNamedColors().size(), 140u);
    EXPECT_EQ(colors.count("lightgray"), 0u);
    HtmlValueContext ctx;
    ctx.colors = &colors;
    ctx.disabledColor = 0x123456;

    struct { const char* text; HtmlColor fallback; bool enabled; HtmlColor out; } colours[] = {
        {"#ff0000", 7, true, 0x0000FF},
        {"#f00", 7, true, 7},
        {"#ff00000", 7, true, 7},
        {"255", 7, true, 0x0000FF},
        {"0xff0000", 7, true, 0xFF0000},
        {"010", 7, true, 8},                      // octal
        {"", 7, true, 7},
        {"orange", 7, true, 0x00A5FF},
        {"infobackground", 7, true, 0x181818},    // system colour 24
        {"nosuchcolour", 7, true, 7},
        {"orange", 7, false, 0x123456},
        {"#00ff00", 7, false, 0x00FF00},          // numbers are not names
    };
    for (const auto& c : colours) {
        ctx.enabled = c.enabled;
        EXPECT_EQ(ParseColor(c.text, c.fallback, ctx), c.out) << c.text;
    }
    ctx.enabled = true;

    ctx.dpi = 96;
    ctx.fontHeight = 13;
    struct { const char* text; int base; bool fontSize; int out; } lengths[] = {
        {"", 16, true, 16},
        {"150%", 16, true, 24},
        {"65%", 13, true, 8},
        {"3", 16, true, 12},
        {"+1", 16, true, 8},                      // the sign is dropped
        {"7", 16, true, 36},
        {"8", 16, true, 8},
        {"3", 16, false, 3},
        {"10pt", 0, true, 13},                    // 960 / 72 truncated
        {"2px", 0, false, 2},
        {"2em", 0, false, 26},
        {"1in", 0, false, 96},
        {"1cm", 0, false, 37},
        {"10mm", 0, false, 37},
        {"1pc", 0, false, 16},
        {"0x10", 0, false, 16},
        {"99999999999pt", 0, true, kMaxLength},
        {"99999999999%", 1000, true, kMaxLength},
    };
    for (const auto& c : lengths) EXPECT_EQ(ParseLength(c.text, c.base, c.fontSize, ctx), c.out) << c.text;
    ctx.dpi = 120;
    EXPECT_EQ(ParseLength("10pt", 0, true, ctx), 16);
}

TEST(HtmlStyleSheet, RulesAndDeclarations) {
    HtmlStyleSheet sheet;
    sheet.Set("H1 {color:red} h1 {color: blue}\r\n.Note{font-weight:bold}  broken { never closed");
    EXPECT_EQ(sheet.RuleCount(), 2u);
    ASSERT_NE(sheet.Find("h1"), nullptr);
    EXPECT_EQ(*sheet.Find("h1"), "color: blue");   // the later rule replaces the earlier
    EXPECT_NE(sheet.Find(".note"), nullptr);

    sheet.Set(kDefaultStyleSheet);
    EXPECT_EQ(sheet.RuleCount(), 17u);
    EXPECT_EQ(*sheet.Find("pre"), "font-size: 9pt; font-family:\"courier\"; background-color:#fbedbb");

    FakePlatform platform;
    HtmlColorTable colors = BuildColorTable(platform);
    HtmlValueContext ctx;
    ctx.colors = &colors;
    ctx.disabledColor = 0x111111;
    struct Case {
        const char* decl;
        bool enabled;
        std::string (*get)(const HtmlStyle&);
        const char* out;
    };
    const Case cases[] = {
        {"font-size: 10pt", true, [](const HtmlStyle& s) { return std::to_string(s.fontSize); }, "13"},
        {"font-family:\"Courier\"; x", true, [](const HtmlStyle& s) { return s.fontFace; }, "Courier"},
        {"font-family:", true, [](const HtmlStyle& s) { return s.fontFace; }, "Verdana"},
        {"font-style:oblique", true, [](const HtmlStyle& s) { return std::to_string(s.italic); }, "1"},
        {"font-weight:bolder", true, [](const HtmlStyle& s) { return std::to_string(s.fontWeight); }, "900"},
        {"font-weight:550", true, [](const HtmlStyle& s) { return std::to_string(s.fontWeight); }, "550"},
        {"text-align:right", true, [](const HtmlStyle& s) { return std::to_string(s.horizontalAlign); }, "2"},
        {"text-transform:capitalize", true, [](const HtmlStyle& s) { return std::to_string(s.textTransform); }, "3"},
        {"color:red", false, [](const HtmlStyle& s) { return FakeCanvas::Hex(s.textColor); }, "111111"},
        {"background-color:transparent", true,
         [](const HtmlStyle& s) { return std::to_string(s.backgroundMode); }, "1"},
        {"background-color:#102030", true,
         [](const HtmlStyle& s) { return std::to_string(s.backgroundMode) + FakeCanvas::Hex(s.backgroundColor); },
         "2302010"},
        {"background-color:#102030", false, [](const HtmlStyle& s) { return std::to_string(s.backgroundMode); }, "1"},
        {"text-decoration:underline,overline line-through", true,
         [](const HtmlStyle& s) { return std::to_string(s.underline + s.overline + s.strikeout); }, "3"},
        {"text-decoration:underline; text-decoration:", true,
         [](const HtmlStyle& s) { return std::to_string(s.underline); }, "0"},
        {"vertical-align:vcenter", true, [](const HtmlStyle& s) { return std::to_string(s.verticalAlign); }, "1"},
        {"border-width:3", true,
         [](const HtmlStyle& s) { return std::to_string(s.borderWidth) + "/" + std::to_string(s.borderStyle); }, "3/1"},
        {"border-style:dashed", true,
         [](const HtmlStyle& s) { return std::to_string(s.borderWidth) + "/" + std::to_string(s.borderStyle); }, "1/2"},
        {"border-width:4; border-width:thick; size:thin", true,
         [](const HtmlStyle& s) { return std::to_string(s.borderWidth); }, "4"},
        {"border-color:red", true, [](const HtmlStyle& s) { return FakeCanvas::Hex(s.borderDark); }, "0000FF"},
        // the fuzzed rule: a scaled width stays within the length bounds
        {"size:900000;border-width:thick;border-width:thick", true,
         [](const HtmlStyle& s) { return std::to_string(s.borderWidth); }, "1000000"},
        // a size of 0, below 0 or unreadable takes the default font height
        {"font-size:0", true, [](const HtmlStyle& s) { return std::to_string(s.FontSpec().height); }, "16"},
        {"font-size:-5000%", true, [](const HtmlStyle& s) { return std::to_string(s.FontSpec().height); }, "16"},
        {"font-size:x", true, [](const HtmlStyle& s) { return std::to_string(s.FontSpec().height); }, "16"},
        {"font-size:5000px", true, [](const HtmlStyle& s) { return std::to_string(s.FontSpec().height); }, "1000"},
        {"margin:5px; padding:1em; bogus:1", true,
         [](const HtmlStyle& s) { return std::to_string(s.margin) + "/" + std::to_string(s.padding); }, "5/16"},
    };
    for (const auto& c : cases) {
        HtmlStyle s;
        ctx.enabled = c.enabled;
        ApplyDeclarations(c.decl, s, ctx);
        EXPECT_EQ(c.get(s), c.out) << c.decl;
    }
}

}  // namespace
}  // namespace html
