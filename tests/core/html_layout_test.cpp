// The renderer's two passes on the fake canvas: styles in document order,
// placement, word wrap, tabs, breaks, justification, hyperlinks, and hostile
// markup. Fake metrics: 10pt body text is 13 px high, 6 px a character
// (7 in bold), ascent 9.
#include <gtest/gtest.h>

#include "html/HtmlRendererCore.h"
#include "tests/core/HtmlFakeCanvas.h"

#include <climits>
#include <functional>

namespace html {
namespace {

struct Rendered {
    HtmlSize size;
    std::string calls;
};

Rendered Render(CHtmlRendererCore& r, const std::string& markup, int drawWidth = 0) {
    FakeCanvas canvas;
    Rendered out;
    out.size = r.Measure(canvas, markup);
    int w = drawWidth ? drawWidth : out.size.width;
    r.DrawPrepared(canvas, HtmlRect{0, 0, w, out.size.height});
    EXPECT_EQ(canvas.liveFonts, 0) << markup;   // every font made is deleted again
    out.calls = canvas.Joined();
    return out;
}

TEST(HtmlLayout, MarkupToDrawCalls) {
    struct Case {
        const char* markup;
        std::function<void(CHtmlRendererCore&)> setup;
        int drawWidth;
        const char* calls;
    };
    const Case cases[] = {
        {"&lt;b&gt;x &amp;lt;", nullptr, 0, "text 0,0 \"<b>x <\" verdana/13/400 000000\n"},
        // 400 doubled to 800, then capped at 900; both closing tags restore
        {"<b><b>x</b></b>y", nullptr, 0,
         "text 0,0 \"x\" verdana/13/900 000000\ntext 7,0 \"y\" verdana/13/400 000000\n"},
        // </b> does not match the open "italic" key; </em> closes <i>
        {"<i>x</b>y</em>z", nullptr, 0,
         "text 0,0 \"x\" verdana/13/400/i 000000\ntext 6,0 \"y\" verdana/13/400/i 000000\n"
         "text 12,0 \"z\" verdana/13/400 000000\n"},
        {"<font color=#ff0000>a</font><font color=#f00>b</font><font color=255>c</font><font color=0xff0000>d",
         nullptr, 0,
         "text 0,0 \"a\" verdana/13/400 0000FF\ntext 6,0 \"b\" verdana/13/400 000000\n"
         "text 12,0 \"c\" verdana/13/400 0000FF\ntext 18,0 \"d\" verdana/13/400 FF0000\n"},
        // sizes 12, 8 (sign dropped) and 150% of 13; baselines line up
        {"<font size=3>a</font><font size=+1>b</font><font size=150%>c", nullptr, 0,
         "text 0,6 \"a\" verdana/12/400 000000\ntext 6,9 \"b\" verdana/8/400 000000\n"
         "text 10,0 \"c\" verdana/20/400 000000\n"},
        {"a\nb\tc", nullptr, 0,
         "text 0,0 \"a\" verdana/13/400 000000\ntext 0,13 \"b\" verdana/13/400 000000\n"
         "text 32,13 \"c\" verdana/13/400 000000\n"},
        {"a\r\nb\tc", [](CHtmlRendererCore& r) { r.SetNewlineAsBreak(false); }, 0,
         "text 0,0 \"abc\" verdana/13/400 000000\n"},
        {"<font bkgnd=transparent>a</font><font bkgnd=red>b</font><span class=t>c</span><span class=o>d", 
         [](CHtmlRendererCore& r) {
             std::string sheet = ".t{background-color:transparent} .o {background-color: #00ff00}";
             r.SetStyleSheet(&sheet);
         }, 0,
         "text 0,0 \"a\" Verdana/16/400 000000\ntext 8,0 \"b\" Verdana/16/400 000000 on 0000FF\n"
         "text 16,0 \"c\" Verdana/16/400 000000\ntext 24,0 \"d\" Verdana/16/400 000000 on 00FF00\n"},
        // a word wider than the line is cut between characters at the start
        // of a line, and moves to the next line first after other text
        {"wwwwwwwwwwwwwwwww", [](CHtmlRendererCore& r) { r.SetMaxWidth(100); }, 0,
         "text 0,0 \"wwwwwwwwwwwwwwww\" verdana/13/400 000000\ntext 0,13 \"w\" verdana/13/400 000000\n"},
        {"x<u></u>wwwwwwwwwwwwwwwww", [](CHtmlRendererCore& r) { r.SetMaxWidth(100); }, 0,
         "text 0,0 \"x\" verdana/13/400 000000\ntext 0,13 \"wwwwwwwwwwwwwwww\" verdana/13/400 000000\n"
         "text 0,26 \"w\" verdana/13/400 000000\n"},
        {"one, two-three", [](CHtmlRendererCore& r) { r.SetMaxWidth(60); }, 0,
         "text 0,0 \"one, two-\" verdana/13/400 000000\ntext 0,13 \"three\" verdana/13/400 000000\n"},
        {"a<br=3>b<t=2>c</t>d", nullptr, 0,
         "text 0,0 \"a\" verdana/13/400 000000\ntext 0,39 \"b\" verdana/13/400 000000\n"
         "text 64,39 \"c\" verdana/13/400 000000\ntext 96,39 \"d\" verdana/13/400 000000\n"},
        // 10 pixels past a stop, a tab advances 22 pixels
        {"<font size=20>x<t>y", nullptr, 0,
         "text 0,0 \"x\" verdana/20/400 000000\ntext 32,0 \"y\" verdana/20/400 000000\n"},
        // the wrapped line is justified through the canvas, the last one is not
        {"<justify>aa bb cc dd ee ff", [](CHtmlRendererCore& r) { r.SetMaxWidth(50); }, 60,
         "text 0,0 \"aa bb cc\" verdana/13/400 000000 justify 12/2\ntext 0,13 \"dd ee ff\" verdana/13/400 000000\n"},
        // spaces left in a justified line: each piece gets what remains
        {"<justify>aa <b>bb</b> cc dd", [](CHtmlRendererCore& r) { r.SetMaxWidth(50); }, 60,
         "text 0,0 \"aa \" verdana/13/400 000000 justify 10/2\ntext 23,0 \"bb\" verdana/13/800 000000 justify 5/1\n"
         "text 37,0 \" cc\" verdana/13/400 000000 justify 5/1\ntext 0,13 \"dd\" verdana/13/400 000000\n"},
        // the remainder of the extra pixels goes to the first spaces
        {"<justify>aa <b>bb</b> cc dd", [](CHtmlRendererCore& r) { r.SetMaxWidth(50); }, 61,
         "text 0,0 \"aa \" verdana/13/400 000000 justify 11/2\ntext 24,0 \"bb\" verdana/13/800 000000 justify 5/1\n"
         "text 38,0 \" cc\" verdana/13/400 000000 justify 5/1\ntext 0,13 \"dd\" verdana/13/400 000000\n"},
        // a space before a tab is inside the line: 28 pixels fill it to 60
        {"<justify>aa <t>bbbbbbbb", [](CHtmlRendererCore& r) { r.SetMaxWidth(50); }, 60,
         "text 0,0 \"aa \" verdana/13/400 000000 justify 28/1\ntext 0,13 \"bbbbbbbb\" verdana/13/400 000000\n"},
        // lines break after each break character
        {"aaa.bbb,ccc!ddd:eee;fff)ggg}hhh]iii?jjj", [](CHtmlRendererCore& r) { r.SetMaxWidth(36); }, 0,
         "text 0,0 \"aaa.\" verdana/13/400 000000\ntext 0,13 \"bbb,\" verdana/13/400 000000\n"
         "text 0,26 \"ccc!\" verdana/13/400 000000\ntext 0,39 \"ddd:\" verdana/13/400 000000\n"
         "text 0,52 \"eee;\" verdana/13/400 000000\ntext 0,65 \"fff)\" verdana/13/400 000000\n"
         "text 0,78 \"ggg}\" verdana/13/400 000000\ntext 0,91 \"hhh]\" verdana/13/400 000000\n"
         "text 0,104 \"iii?\" verdana/13/400 000000\ntext 0,117 \"jjj\" verdana/13/400 000000\n"},
        // middle alignment centres a piece in the line's height
        {"<font size=26>X</font><vcenter>y", nullptr, 0,
         "text 0,0 \"X\" verdana/26/400 000000\ntext 13,6 \"y\" verdana/13/400 000000\n"},
        {"<center>ab</center>\n<right>cd", nullptr, 100,
         "text 44,0 \"ab\" verdana/13/400 000000\ntext 88,13 \"cd\" verdana/13/400 000000\n"},
        {"<font style=ob-b>ab</font><sup>c</sup><sub>d", nullptr, 0,
         "text 0,0 \"ab\" verdana/13/400 000000\nline 0,0 12,0 000000 style 1 width 1\n"
         "text 12,0 \"c\" verdana/8/400 000000\ntext 16,7 \"d\" verdana/8/400 000000\n"},
        {"<span class=cap>hello wORLD</span> <code>x", [](CHtmlRendererCore& r) {
             r.SetStyleRule(".cap", "text-transform:capitalize");
         }, 0,
         "text 0,0 \"Hello World\" verdana/13/400 000000\ntext 66,0 \" \" verdana/13/400 000000\n"
         "text 72,0 \"x\" arial/13/400 000099\n"},
        {"a<hr width=50% size=2 color=red>b", nullptr, 100,
         "text 0,1 \"a\" verdana/13/400 000000\nline 6,7 56,7 0000FF style 1 width 2\n"
         "text 56,1 \"b\" verdana/13/400 000000\n"},
        {"<font color=red>a</font><font bkgnd=yellow>b", [](CHtmlRendererCore& r) { r.SetEnabled(false); }, 0,
         "text 0,0 \"a\" verdana/13/400 101010\ntext 6,0 \"b\" verdana/13/400 101010\n"},
        {"[<string idres=7>|<string iddll=5 srcdll=x.dll>|<string idres=99>]", nullptr, 0,
         "text 0,0 \"[\" verdana/13/400 000000\ntext 6,0 \"seven\" verdana/13/400 000000\n"
         "text 36,0 \"|\" verdana/13/400 000000\ntext 42,0 \"five\" verdana/13/400 000000\n"
         "text 66,0 \"|\" verdana/13/400 000000\ntext 72,0 \"]\" verdana/13/400 000000\n"},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        platform.strings["#7"] = "seven";
        platform.strings["x.dll#5"] = "five";
        CHtmlRendererCore r(platform);
        if (c.setup) c.setup(r);
        EXPECT_EQ(Render(r, c.markup, c.drawWidth).calls, c.calls) << c.markup;
    }
}

TEST(HtmlLayout, MeasuredSizesAndLineRecords) {
    FakePlatform platform;
    CHtmlRendererCore r(platform);
    FakeCanvas canvas;
    struct { const char* markup; int maxWidth; int width; int height; std::size_t lines; } cases[] = {
        {"", 0, 0, 0, 0},
        {"abc", 0, 19, 14, 1},
        {"abc\n", 0, 19, 14, 1},
        {"abc\n\n", 0, 19, 27, 2},
        {"<b></b>", 0, 1, 1, 0},
        {"aaaa aaaa aaaa aaaa", 60, 55, 27, 2},
        {"<t=9>", 50, 51, 14, 1},                 // capped at the maximum width
        {"<hr>", 0, 3, 10, 1},                    // a rule line: 1 + 100% of the widest, + 1
    };
    for (const auto& c : cases) {
        r.SetMaxWidth(c.maxWidth);
        HtmlSize s = r.Measure(canvas, c.markup);
        EXPECT_EQ(s.width, c.width) << c.markup;
        EXPECT_EQ(s.height, c.height) << c.markup;
        EXPECT_EQ(r.Lines().size(), c.lines) << c.markup;
    }
}

TEST(HtmlLayout, HyperlinksHoverAndClicks) {
    FakePlatform platform;
    CHtmlRendererCore r(platform);
    r.SetHoverNotify(HtmlNotifyTarget{1, 1125, 0});
    r.SetLinkMessageNotify(HtmlNotifyTarget{1, FakePlatform::kLinkMessage, 0});
    Render(r, "<a href=one.htm>one</a> <a msg=two>two</a> <a>x</a>");
    ASSERT_EQ(r.HotAreas().size(), 3u);
    EXPECT_EQ(r.HotAreas()[1].rect, (HtmlRect{24, 0, 42, 13}));
    EXPECT_EQ(r.HitTestLink(42, 13), 1);    // edges included
    EXPECT_EQ(r.HitTestLink(43, 5), -1);

    struct { char op; int x, y; bool hand; const char* log; } steps[] = {
        {'m', 5, 5, true, "notify 1125 0|hand"},
        {'m', 6, 6, true, "hand"},                // same link: no second notification
        {'m', 30, 5, true, "notify 1125 1|hand"},
        {'m', 50, 5, false, "notify 1125 2"},     // <a> without attributes: no hand
        {'m', 200, 5, false, "notify 1125 -2"},
        {'m', 201, 5, false, ""},                 // -2 only once
        {'c', 5, 5, false, "open one.htm"},
        {'c', 30, 5, false, "notify 2000 two"},
        {'c', 50, 5, false, ""},                  // no target: no action
        {'c', 200, 5, false, ""},
    };
    for (const auto& s : steps) {
        platform.log.clear();
        bool hand = false;
        if (s.op == 'm') hand = r.OnMouseMove(s.x, s.y);
        else r.OnClick(s.x, s.y);
        std::string log;
        for (const auto& l : platform.log) log += (log.empty() ? "" : "|") + l;
        EXPECT_EQ(log, s.log) << s.op << " " << s.x;
        EXPECT_EQ(hand, s.hand) << s.op << " " << s.x;
    }

    // The hovered link is drawn with "a:hover" in the next passes.
    r.OnMouseMove(30, 5);
    std::string calls = Render(r, "<a href=one.htm>one</a> <a msg=two>two</a>").calls;
    EXPECT_NE(calls.find("\"two\" verdana/13/400/u FF0000"), std::string::npos) << calls;
    EXPECT_NE(calls.find("\"one\" verdana/13/400 FF0000"), std::string::npos) << calls;
    // Repainting does not pile up hot areas.
    FakeCanvas canvas;
    r.DrawPrepared(canvas, HtmlRect{0, 0, 100, 20});
    EXPECT_EQ(r.HotAreas().size(), 2u);

    // A hover that changes the font is measured again before it is drawn:
    // the line grows to the hovered link's height and the text after it
    // sits on the new baseline.
    r.SetStyleRule("a:hover", "font-size:26px");
    Render(r, "<a href=x>ab</a>cd");
    r.OnMouseMove(1, 1);
    FakeCanvas again;
    r.DrawPrepared(again, HtmlRect{0, 0, 100, 30});
    EXPECT_EQ(again.Joined().substr(again.Joined().find("text")),
              "text 0,0 \"ab\" verdana/26/400 000000\ntext 26,10 \"cd\" verdana/13/400 000000\n");
}

TEST(HtmlLayout, HandlerCommandLinesAndResourceLines) {
    struct { const char* command; const char* line; } cases[] = {
        {"\"C:\\Web\\web.exe\" -nohome \"%1\"", "\"C:\\Web\\web.exe\" -nohome  page.htm"},
        {"web.exe %1 -x \"%1\"", "web.exe %1 -x  page.htm"},   // the quoted one first
        {"web.exe -url %1", "web.exe -url  page.htm"},
        {"web.exe", "web.exe page.htm"},
    };
    for (const auto& c : cases) EXPECT_EQ(HtmlHandlerCommandLine(c.command, "page.htm"), c.line) << c.command;

    FakePlatform platform;
    platform.strings["#1005"] = "Image size\nFits the picture into a box\n";
    CHtmlRendererCore r(platform);
    EXPECT_EQ(r.GetResourceStringLine(1005, 0), "Image size");
    EXPECT_EQ(r.GetResourceStringLine(1005, 1), "Fits the picture into a box");
    EXPECT_EQ(r.GetResourceStringLine(1005, 2), "");
    EXPECT_EQ(r.GetResourceStringLine(1005, 3), "");
    EXPECT_EQ(r.GetResourceStringLine(7, 0), "");

    platform.strings["#9"] = "h1 {color:red}";
    r.SetStyleSheetFromResource(9);
    EXPECT_EQ(r.GetStyleSheet(), "h1 {color:red}");
    r.SetStyleSheet(nullptr);
    EXPECT_EQ(r.GetStyleSheet(), kDefaultStyleSheet);
    r.SetShadow(4, 4, 50, true, 7, 7);
    EXPECT_EQ(r.EffectColor(), 0x808080u);
    r.SetShadow(INT_MAX, INT_MIN, INT_MIN, true, INT_MAX, INT_MIN);   // clamped, no overflow below
    EXPECT_EQ(r.EffectColor(), 0xFFFFFFu);
    FakeImages images;
    images.pictures["res#7"] = {INT_MAX, INT_MAX};
    r.SetImageSource(&images);
    FakeCanvas canvas;
    const HtmlSize shadowed = r.Measure(canvas, "<bmp idres=7 style=s>");
    EXPECT_EQ(shadowed.width, 2 * kMaxLength + 1);
    r.SetImageSource(nullptr);
    r.SetEnabled(false);
    EXPECT_EQ(r.EffectColor(), 0x101010u);   // the disabled colour, COLOR_BTNSHADOW
}

TEST(HtmlLayout, HostileMarkupStaysBounded) {
    const std::string mb(1 << 20, 'a');
    auto repeat = [](const std::string& s, std::size_t times) {
        std::string out;
        out.reserve(s.size() * times);
        for (std::size_t i = 0; i < times; ++i) out += s;
        return out;
    };
    struct { std::string markup; int maxWidth; std::size_t maxLines; } cases[] = {
        {mb, 0, 1},
        {mb, 300, (1 << 20) / 49 + 1},
        {repeat("ab ", 300000), 300, 20000},
        {repeat("<b>", 300000) + "x", 0, 1},
        {repeat("<b></b>", 100000) + "x", 0, 1},
        {repeat("<br=999999999>", 1000), 0, 1000},
        {repeat("<t=999999999>", 1000) + "x", 0, 1},
        {"<font size=999999999>x<font size=99999%>y<big><big><big>z", 0, 1},
        {repeat("<", 1 << 20), 0, 1},
        {repeat("<table>", 100000), 0, 1},
        {"<unterminated " + mb, 0, 0},
        {repeat("&amp;lt;", 100000), 0, 1},
        {repeat("<a href=x>l</a>", 50000), 200, 10000},
        {repeat("\xff\x01", 1 << 19), 77, 1 << 20},
    };
    for (const auto& c : cases) {
        FakePlatform platform;
        CHtmlRendererCore r(platform);
        r.SetMaxWidth(c.maxWidth);
        FakeCanvas canvas;
        HtmlSize s = r.Measure(canvas, c.markup);
        r.DrawPrepared(canvas, HtmlRect{0, 0, s.width, s.height});
        EXPECT_LE(r.Lines().size(), c.maxLines) << c.markup.substr(0, 40);
        EXPECT_GE(s.width, 0);
        EXPECT_GE(s.height, 0);
        EXPECT_LE(canvas.fontsCreated, 2 * 300000 + 10);
        EXPECT_EQ(canvas.liveFonts, 0);
    }
}

}  // namespace
}  // namespace html
