// Tables and images in the renderer's passes on the fake canvas: spans and
// their remainders, widening and alignment, border rules, fills and tiled
// pictures, nested numbering, image sizes, hot styles, disabled silhouettes,
// animation, and hostile tables. Fake metrics: 10pt body text is 13 px high,
// 6 px a character; cells have a 2 px margin.
#include <gtest/gtest.h>

#include "html/HtmlRendererCore.h"
#include "tests/core/HtmlFakeCanvas.h"

#include <functional>

namespace html {
namespace {

std::string Sizes(const std::vector<int>& v) {
    std::string s;
    for (int x : v) s += (s.empty() ? "" : ",") + std::to_string(x);
    return s;
}

// "T0 2x3 cols 1,2,3 rows 4,5 spans 1 -1 0 / ..." for every table.
std::string Tables(const CHtmlRendererCore& r) {
    std::string out;
    for (std::size_t i = 0; i < r.Tables().size(); ++i) {
        const HtmlTable& t = r.Tables()[i];
        out += "T" + std::to_string(i) + " " + std::to_string(t.rows) + "x" + std::to_string(t.columns) + " cols " +
               Sizes(t.columnWidths) + " rows " + Sizes(t.rowHeights) + " spans";
        for (int row = 0; row < t.rows; ++row) {
            if (row) out += " /";
            for (int c = 0; c < t.columns; ++c) out += " " + std::to_string(t.At(row, c).colSpan);
        }
        out += "\n";
    }
    return out;
}

struct Fixture {
    FakePlatform platform;
    FakeImages images;
    CHtmlRendererCore r{platform};
    Fixture() {
        r.SetImageSource(&images);
        images.pictures = {{"res#5", {64, 16}}, {"res#3", {32, 32}}, {"res#7", {8, 8}}, {"handle#77", {24, 24}}};
    }
    // Measures, then draws into `drawWidth` (0: the measured width); the
    // table records after measuring and after drawing, and the draw calls.
    std::string Render(const std::string& markup, int drawWidth = 0) {
        FakeCanvas canvas;
        HtmlSize s = r.Measure(canvas, markup);
        std::string out = "size " + std::to_string(s.width) + "x" + std::to_string(s.height) + "\nmeasured\n" +
                          Tables(r);
        r.DrawPrepared(canvas, HtmlRect{0, 0, drawWidth ? drawWidth : s.width, s.height});
        EXPECT_EQ(canvas.liveFonts, 0) << markup;
        EXPECT_EQ(images.live, 0) << markup;   // every picture loaded is released again
        return out + "drawn\n" + Tables(r) + canvas.Joined();
    }
};

TEST(HtmlTables, LayoutAndDrawing) {
    struct Case {
        const char* markup;
        std::function<void(Fixture&)> setup;
        int drawWidth;
        std::vector<const char*> expected;   // lines that must appear, in this order
    };
    const Case cases[] = {
        // outer width 35 exceeds the two 14 px columns by 7: 3 each, the remainder to the last
        {"<table><tr><td width=10>a</td><td width=10>b</td></tr><tr><td colspan=2 width=31>c</td></tr></table>",
         nullptr, 0, {"measured", "T0 2x2 cols 17,18 rows 17,17 spans 1 1 / 2 -1"}},
        // outer height 59 exceeds two 24 px rows by 11: 5 each, the remainder to the first
        {"<table><tr><td height=20>a</td><td rowspan=2 height=55>b</td></tr><tr><td height=20>c</td></tr></table>",
         nullptr, 0, {"T0 2x2 cols 10,10 rows 30,29 spans 1 1 / 1 -1"}},
        // 55 spare pixels shared by the two columns without width, earlier ones taking less
        {"<table><tr><td>a</td><td>b</td><td width=20>c</td></tr></table>", nullptr, 101,
         {"measured", "T0 1x3 cols 10,10,24", "drawn", "T0 1x3 cols 37,38,24", "text 2,2 \"a\"", "text 40,2 \"b\""}},
        // every column fixed: the table is centred, or put to the right
        {"<table align=center bgcolor=red><tr><td width=20>a</td></tr></table>", nullptr, 100,
         {"drawn", "T0 1x1 cols 24", "fill 38,0 62,17 effect 0 0000FF FFFFFF FFFFFF 5 0", "text 47,2 \"a\""}},
        {"<table align=right bgcolor=red><tr><td width=20>a</td></tr></table>", nullptr, 100,
         {"fill 76,0 100,17 effect 0"}},
        // non-solid table borders are forced to 1 px
        {"<table border=3 borderstyle=dashed><tr><td>a</td></tr></table>", nullptr, 0,
         {"size 15x22", "border 0,0 15,21 000000 000000 style 2 width 1"}},
        // a 3 px solid border; a cell with attributes gets a 1 px sunken border (colours swapped)
        {"<table border=3 bordercolorlight=red bordercolordark=blue><tr><td bgcolor=white>a</td></tr></table>", nullptr,
         0,
         {"border 0,0 19,25 0000FF FF0000 style 1 width 3", "fill 3,3 16,22 effect 0 FFFFFF",
          "border 3,3 16,22 FF0000 0000FF style 1 width 1", "text 6,6 \"a\""}},
        // double: 3 x the (forced 1 px) width on every side, in both passes
        {"<table border=2 borderstyle=double bgeffect=vgradient bgcolor=red bgendcolor=blue><tr><td>a</td></tr></table>",
         nullptr, 0,
         {"size 19x26", "fill 0,0 19,25 effect 2 0000FF FFFFFF FF0000 5 0", "border 0,0 19,25 000000 000000 style 6 width 1",
          "border 3,3 16,22", "text 6,6 \"a\""}},
        // cell spacing around and between cells, cell padding inside them
        {"<table cellspacing=3 cellpadding=4 border=1><tr><td>a</td><td>b</td></tr></table>", nullptr, 0,
         {"T0 1x2 cols 16,16 rows 23", "border 4,4 20,27 000000 000000 style 1 width 1", "text 9,9 \"a\"",
          "border 24,4 41,27", "text 29,9 \"b\""}},
        // nested tables are numbered in document order and drawn inside their cells
        {"<table border=1><tr><td><table><tr><td>a</td><td>b</td></tr></table></td><td>"
         "<table><tr><td>c</td><td>d</td><td>e</td></tr></table></td></tr></table><table><tr><td>f</td></tr></table>",
         nullptr, 0,
         {"T0 1x2 cols 33,46", "T1 1x2 cols 12,12", "T2 1x3 cols 12,12,12", "T3 1x1 cols 10", "drawn",
          "T2 1x3 cols 12,12,13", "border 4,4 31,25", "text 8,8 \"a\"", "text 21,8 \"b\"", "border 38,4 79,25",
          "text 42,8 \"c\"", "text 2,31 \"f\""}},
        // a cell spanning rows and columns covers its whole rectangle
        {"<table><tr><td rowspan=2 colspan=2>a</td><td>b</td></tr><tr><td>c</td></tr></table>", nullptr, 0,
         {"T0 2x3 cols 5,5,10 rows 17,17 spans 2 -1 1 / -1 -1 1"}},
        // only row spans, only column spans: the slots the spans name
        {"<table><tr><td rowspan=2>a</td><td>b</td></tr><tr><td>c</td></tr></table>", nullptr, 0,
         {"T0 2x2 cols 10,10 rows 17,17 spans 1 1 / -1 1"}},
        // spans past the table are cut to it; unclosed rows and cells end at the next one
        {"<table><tr><td colspan=9 rowspan=9>a<td>b<tr><td>c<td>d</table>", nullptr, 0,
         {"T0 2x10 ", "spans 9 -1 -1 -1 -1 -1 -1 -1 -1 1 / -1 -1 -1 -1 -1 -1 -1 -1 -1 1"}},
        // literal "<<tr" and unknown "<trx" start no row
        {"<table><tr><td>&lt;tr<trx>x</td></tr></table>", nullptr, 0, {"T0 1x1 cols 28", "text 2,2 \"<tr\"", "text 20,2 \"x\""}},
        // a background picture is tiled over the table; the picture and the fill are skipped while disabled
        {"<table background=\"idres:7\" border=1><tr><td>a</td></tr></table>", nullptr, 0,
         {"image tile #101 0,0 15x21 frame 0 of 8x8"}},
        {"<table bgcolor=red background=idres:7 border=1 bordercolor=red><tr><td>a</td></tr></table>",
         [](Fixture& f) { f.r.SetEnabled(false); f.r.SetDisabledColor(0x123456); }, 0,
         {"border 0,0 15,21 123456 123456 style 1 width 1", "text 4,4 \"a\""}},
    };
    for (const auto& c : cases) {
        Fixture f;
        if (c.setup) c.setup(f);
        const std::string got = f.Render(c.markup, c.drawWidth);
        std::size_t at = 0;
        for (const char* line : c.expected) {
            std::size_t found = got.find(line, at);
            EXPECT_NE(found, std::string::npos) << c.markup << "\nmissing: " << line << "\nin:\n" << got;
            if (found != std::string::npos) at = found;
        }
    }
    // The disabled table draws no fill and no picture.
    Fixture f;
    f.r.SetEnabled(false);
    const std::string got = f.Render("<table bgcolor=red background=idres:7><tr><td>a</td></tr></table>");
    EXPECT_EQ(got.find("fill"), std::string::npos) << got;
    EXPECT_EQ(got.find("image"), std::string::npos) << got;
}

TEST(HtmlTables, ImagesSizesStylesAndSilhouettes) {
    struct Case {
        const char* markup;
        std::function<void(Fixture&)> setup;
        std::vector<const char*> expected;
    };
    const Case cases[] = {
        {"<bmp idres=5 width=50% height=20>", nullptr, {"image bitmap #102 0,0 32x20 fx 0000 808080"}},
        // a scaled size stays a length
        {"<bmp idres=9 width=99999999% height=20>", [](Fixture& f) { f.images.pictures["res#9"] = {5000, 16}; },
         {"image bitmap #102 0,0 1000000x20"}},
        // icons are loaded at a percentage of the system icon size
        {"<icon idres=3 width=50% height=50%>", nullptr, {"icon res#3 16x16", "image icon #102 0,0 16x16"}},
        {"<icon handle=77 width=8>", nullptr, {"icon handle#77 8x32", "image icon #77 0,0 24x24"}},
        {"<bmp file=a.bmp><bmp iddll=4 srcdll=x.dll>", nullptr, {"bitmap file#a.bmp", "bitmap dll#x.dll#4"}},
        // a strip frame: cx alone makes square frames; out-of-range frames are skipped
        {"<ilst idres=5 cx=16 index=3 mask=#00ff00><ilst idres=5 index=4>", nullptr,
         {"image frame #103 0,0 16x16 frame 3 of 16x16 mask 00FF00 fx 0000 808080"}},
        {"<ilst index=2><ilst index=5>", [](Fixture& f) { f.images.listCount = 3; },
         {"image icon #1002 0,0 16x16 fx 0000"}},
        // a hot shadow reserves the offset; not hovered the image is drawn offset without a shadow
        {"a<a href=x><bmp idres=7 hotstyle=s></a>", nullptr,
         {"image bitmap #102 6,0 8x8 fx 0000 offset 4,4 808080"}},
        {"<bmp idres=7 style=gsd hotstyle=l>", [](Fixture& f) { f.r.SetShadow(0, 0, 20, false, 3, 3); },
         {"image bitmap #102 0,0 8x8 fx 0003 CCCCCC"}},
        {"<bmp idres=7 style=s>", [](Fixture& f) { f.r.SetShadow(2, 3, 50, false, 3, 3); },
         {"image bitmap #102 0,0 8x8 fx 0100 offset 2,3"}},
        // disabled: one-colour silhouettes in the disabled colour, shadow bits kept
        {"<bmp idres=7 style=gs><icon idres=3>",
         [](Fixture& f) { f.r.SetEnabled(false); f.r.SetDisabledColor(0x445566); },
         {"image bitmap #103 0,20 8x8 fx 0208 offset 4,4 445566", "image icon #104 12,0 32x32 fx 0008 445566"}},
        // with wrapping on, an image that does not fit closes the line first
        {"abcdefgh<bmp idres=5>", [](Fixture& f) { f.r.SetMaxWidth(100); },
         {"text 0,0 \"abcdefgh\"", "image bitmap #102 0,13 64x16"}},
        // missing pictures take no space
        {"<bmp idres=9><bmp>x<icon file=none.ico>", nullptr, {"text 0,0 \"x\""}},
    };
    for (const auto& c : cases) {
        Fixture f;
        if (c.setup) c.setup(f);
        std::string got = f.Render(c.markup);
        for (const auto& l : f.images.log) got += l + "\n";
        for (const char* line : c.expected)
            EXPECT_NE(got.find(line), std::string::npos) << c.markup << "\nmissing: " << line << "\nin:\n" << got;
    }
}

TEST(HtmlTables, HoveredLinkShowsTheHotShadowInPlace) {
    Fixture f;
    const std::string markup = "<a href=x><bmp idres=7 hotstyle=s></a>";
    EXPECT_NE(f.Render(markup).find("image bitmap #102 0,0 8x8 fx 0000 offset 4,4"), std::string::npos);
    ASSERT_EQ(f.r.HotAreas().size(), 1u);
    EXPECT_EQ(f.r.HotAreas()[0].rect, (HtmlRect{0, 0, 12, 12}));   // the reserved size
    f.r.OnMouseMove(5, 5);
    EXPECT_NE(f.Render(markup).find("image bitmap #104 0,0 8x8 fx 0200 offset 4,4"), std::string::npos);
}

TEST(HtmlTables, AnimatedStripAdvancesEveryTenStepsAndWraps) {
    Fixture f;
    const std::string markup = "<ilst idres=5 cx=16 speed=10><ilst idres=5 speed=3 index=1>";
    f.Render(markup);
    ASSERT_EQ(f.r.Animations().size(), 2u);
    EXPECT_EQ(f.r.Animations()[0].frameCount, 4);
    std::string frames;
    for (int step = 1; step <= 40; ++step) {
        const bool moved = f.r.StepAnimation();
        EXPECT_EQ(moved, step % 10 == 0 || step % 3 == 0) << step;
        if (step % 10 == 0) frames += std::to_string(f.r.Animations()[0].frame);
    }
    EXPECT_EQ(frames, "1230");
    // The drawing pass shows the record's frame; a new measurement restarts at "index".
    FakeCanvas canvas;
    f.r.StepAnimation();   // 41: the second strip moves on from frame 1
    f.r.DrawPrepared(canvas, HtmlRect{0, 0, 100, 20});
    EXPECT_NE(canvas.Joined().find("frame 0 of 16x16"), std::string::npos) << canvas.Joined();
    EXPECT_NE(canvas.Joined().find("frame 2 of 16x16"), std::string::npos) << canvas.Joined();
    f.r.Measure(canvas, markup);
    EXPECT_EQ(f.r.Animations()[1].frame, 1);
}

TEST(HtmlTables, HostileTablesStayBounded) {
    auto repeat = [](const std::string& s, std::size_t times) {
        std::string out;
        for (std::size_t i = 0; i < times; ++i) out += s;
        return out;
    };
    const std::string cases[] = {
        "<table>" + repeat("<tr>" + repeat("<td>x</td>", 60), 100) + "</table>",
        "<table><tr>" + repeat("<td colspan=999999 rowspan=999999>x", 5000) + "</table>",
        "<table>" + repeat("<tr><td>a<td rowspan=3 colspan=3>b", 3000),
        repeat("<table><tr><td>", 200) + "deep" + repeat("</td></tr></table>", 200),
        repeat("<table><tr><td>", 20000),
        "<table><tr><td>" + repeat("<ilst idres=5 speed=1><table border=1><tr><td>", 500),
        repeat("<table><tr><td colspan=0 rowspan=-5 width=99999999 height=99999999>x</td></tr></table>", 200),
    };
    for (const auto& markup : cases) {
        Fixture f;
        f.r.SetMaxWidth(300);
        f.Render(markup);
        EXPECT_LE(f.r.Tables().size(), 5000u);
        for (const HtmlTable& t : f.r.Tables()) {
            EXPECT_LE(static_cast<long long>(t.rows) * t.columns, kMaxTableSlots);
            for (int w : t.columnWidths) EXPECT_GE(w, 0);
        }
    }
}

TEST(HtmlTables, SpansOfZeroOrLessCountAsOne) {
    const struct {
        const char* params;
        int colSpan, rowSpan;
    } cases[] = {
        {"colspan=0 rowspan=0", 1, 1},
        {"colspan=-3 rowspan=-2", 1, 1},
        {"colspan=-0 rowspan=+4", 1, 4},
        {"colspan=3 rowspan=99999999", 3, kMaxTableRows},
    };
    for (const auto& c : cases) {
        int cs = 0, rs = 0;
        ReadSpans(c.params, HtmlValueContext{}, &cs, &rs);
        EXPECT_EQ(cs, c.colSpan) << c.params;
        EXPECT_EQ(rs, c.rowSpan) << c.params;
    }
}

TEST(HtmlTables, CountingSkipsNestedTablesAndLiterals) {
    struct Case {
        const char* content;
        int rows, columns;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"<tr><td>a</td><td colspan=3>b</td></tr><tr><td>c</td></tr>", 2, 4},
        {"<tr><td><table><tr><td>1<td>2<td>3<tr><tr></table></td></tr>", 1, 1},
        {"<tr><td>a<td>b<tr><td>c", 2, 2},
        {"<<tr><td>a</td><trx><tr >", 1, 0},
        {"<tr><td colspan=2em>x", 1, 26},
    };
    for (const auto& c : cases) {
        HtmlValueContext ctx;
        ctx.fontHeight = 13;
        HtmlTable t = CountTable(c.content, ctx);
        EXPECT_EQ(t.rows, c.rows) << c.content;
        EXPECT_EQ(t.columns, c.columns) << c.content;
    }
}

}  // namespace
}  // namespace html
