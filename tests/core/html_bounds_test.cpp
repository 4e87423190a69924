// What hostile texts cost the renderer and the label, counted rather than
// timed: the bytes allocated (every operator new of this test program is
// counted) and the characters handed to the canvas to measure, for a
// measurement and a drawing of each text.
#include <gtest/gtest.h>

#include "html/HtmlRendererCore.h"
#include "tooltip/LabelText.h"
#include "tests/core/HtmlFakeCanvas.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<unsigned long long> g_allocated{0};
}  // namespace

void* operator new(std::size_t size) {
    g_allocated += size;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    g_allocated += size;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept { return operator new(size, t); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace html {
namespace {

// Characters below 0x20 are zero pixels wide; the others 6.
class CountingCanvas : public FakeCanvas {
public:
    int TextWidth(HtmlFontHandle, const char* text, std::size_t length) override {
        measured += length;
        int w = 0;
        for (std::size_t i = 0; i < length; ++i) w += static_cast<unsigned char>(text[i]) < 0x20 ? 0 : 6;
        return w;
    }
    void DrawString(int, int, const char*, std::size_t) override {}
    unsigned long long measured = 0;
};

std::string Repeat(const std::string& s, std::size_t times) {
    std::string out;
    out.reserve(s.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += s;
    return out;
}

TEST(HtmlBounds, MemoryAndMeasuringStayInProportionToTheText) {
    const std::size_t mb = std::size_t(1) << 20;
    const std::string href = "<a href=" + std::string(mb / 2, 'u') + ">";
    struct Case {
        const char* name;
        std::string text;
        int maxWidth;
        double bytesPerByte;      // allocated bytes per byte of text, at most
        double measuredPerByte;   // measured characters per byte of text, at most
    } cases[] = {
        {"1 MB of words", Repeat("word ", mb / 5), 300, 12, 30},
        {"1 MB of breaks", Repeat("<br>", mb / 4), 0, 40, 1},
        {"4 MB of breaks, past the layout's bytes", Repeat("<br>", mb), 0, 16, 1},
        {"100,000-cell tables", Repeat("<table><tr><td colspan=500>x" + Repeat("<tr>", 199) + "</table>", 1300), 0, 12, 1},
        {"1 MB of unclosed rows and cells", "<table>" + Repeat("<tr><td>x", mb / 9), 0, 12, 1},
        {"1 MB of cells in one row", "<table><tr>" + Repeat("<td>x", mb / 5), 0, 12, 1},
        {"1 MB of zero-width characters", Repeat(std::string(999, '\x01') + "a", mb / 1000), 300, 12, 50},
        {"zero-width words", Repeat("\x01\x01\x01 ", mb / 4), 300, 12, 30},
        {"a long link over many pieces", href + Repeat("x<t>", mb / 8), 0, 40, 1},
        {"a long link on a deep stack", href + Repeat("<b>", 2000) + "x", 0, 40, 1},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        CHtmlRendererCore r(platform);
        r.SetMaxWidth(c.maxWidth);
        CountingCanvas canvas;
        const unsigned long long before = g_allocated;
        const HtmlSize s = r.Measure(canvas, c.text);
        r.DrawPrepared(canvas, HtmlRect{0, 0, s.width, s.height});
        const double bytes = static_cast<double>(g_allocated - before);
        EXPECT_LE(bytes, c.bytesPerByte * c.text.size()) << c.name;
        EXPECT_LE(canvas.measured, c.measuredPerByte * c.text.size()) << c.name;
        EXPECT_LE(r.LayoutBytes(), CHtmlRendererCore::kMaxLayoutBytes + sizeof(HtmlLine)) << c.name;
        long long slots = 0;
        for (const HtmlTable& t : r.Tables()) slots += static_cast<long long>(t.rows) * t.columns;
        EXPECT_LE(slots, kMaxTableSlots) << c.name;
        EXPECT_GT(s.height, 1) << c.name;
        printf("%-32s %9zu bytes: %5.1f allocated and %5.1f measured per byte\n", c.name, c.text.size(),
               bytes / c.text.size(), static_cast<double>(canvas.measured) / c.text.size());
    }
}

TEST(HtmlBounds, LabelCleaningKeepsAMegabyteInLinearWork) {
    const std::size_t mb = std::size_t(1) << 20;
    const std::string cases[] = {
        "<body>" + Repeat("<p", mb),                    // paragraphs that never close
        "<body>" + Repeat("<p align=center>x</p>", mb / 8),
        "<body>" + Repeat("&nbsp;<strong>&amp;", mb),   // past the megabyte the label keeps
    };
    for (const std::string& text : cases) {
        const unsigned long long before = g_allocated;
        const std::string clean = tooltip::CleanLabelText(text);
        EXPECT_LE(clean.size(), 2 * tooltip::kMaxLabelText);
        EXPECT_LE(static_cast<double>(g_allocated - before), 24.0 * tooltip::kMaxLabelText) << text.substr(0, 20);
    }
}

}  // namespace
}  // namespace html
