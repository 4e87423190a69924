// The renderer's two passes over any markup: the first bytes choose the
// wrap width, tab width and switches, the rest is the text. A canvas with
// fixed metrics stands in for the device context.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/HtmlRendererCore.h"

namespace {
using namespace html;

struct Canvas : HtmlCanvas {
    int Dpi() override { return 96; }
    HtmlFontHandle MakeFont(const HtmlFontSpec& desc, HtmlFontMetrics* m) override {
        if (desc.height < 1 || desc.height > 1000) std::abort();
        ++live;
        m->height = desc.height;
        m->ascent = desc.height * 3 / 4;
        // The handle is one more than the character width (0 means no font).
        return static_cast<HtmlFontHandle>(desc.height / 2 + (desc.weight >= 700) + 1);
    }
    void FreeFont(HtmlFontHandle) override { --live; }
    void SetTextStyle(HtmlFontHandle, int, HtmlColor, HtmlColor) override {}
    int TextWidth(HtmlFontHandle font, const char*, std::size_t n) override {
        return static_cast<int>(n) * static_cast<int>(font > 1 ? font - 1 : 1);
    }
    void SetJustification(int extra, int count) override {
        if (extra < 0 || count < 0) std::abort();
    }
    void DrawString(int, int, const char*, std::size_t) override { ++draws; }
    void DrawLine(int, int, int, int, HtmlColor, int, int) override {}
    void Fill(const HtmlRect&, int, HtmlColor, HtmlColor, HtmlColor, int, int) override {}
    int live = 0;
    long draws = 0;
};

struct Platform : HtmlPlatform {
    HtmlColor SysColor(int index) override { return static_cast<HtmlColor>(index); }
    std::string LoadStringResource(unsigned id, const std::string&) override {
        return id == 1 ? std::string("resource text") : std::string();
    }
    void OpenLink(const std::string&) override {}
    void Notify(const HtmlNotifyTarget&, std::intptr_t) override {}
    bool ShowHandCursor() override { return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Longer texts only repeat the lines that shorter ones already lay out.
    if (size < 3 || size > 4096) return 0;
    // One renderer for every input, as a tooltip keeps one: settings are set
    // afresh and the hover ends below, so no input depends on the previous.
    static Platform platform;
    static CHtmlRendererCore r(platform);
    r.SetMaxWidth(data[0] & 0x80 ? 0 : data[0] * 4);
    r.SetTabWidth(data[1] & 0x3F);
    r.SetNewlineAsBreak(data[1] & 0x40);
    r.SetEnabled(!(data[1] & 0x80));
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
    Canvas canvas;
    HtmlSize s = r.Measure(canvas, text);
    if (s.width < 0 || s.height < 0 || canvas.live != 0) std::abort();
    if (data[0] && !(data[0] & 0x80) && s.width > data[0] * 4 + 1) std::abort();
    const int extra = data[2] & 0x3F;
    r.DrawPrepared(canvas, HtmlRect{0, 0, s.width + extra, s.height});
    if (canvas.live != 0) std::abort();
    const std::size_t areas = std::min<std::size_t>(r.HotAreas().size(), 16);
    for (std::size_t i = 0; i < areas; ++i) {
        const HtmlHotArea area = r.HotAreas()[i];
        r.OnMouseMove(area.rect.left, area.rect.top);
        r.OnClick(area.rect.right, area.rect.bottom);
        if (r.HitTestLink(area.rect.left, area.rect.top) < 0) std::abort();
    }
    r.OnMouseMove(-(1 << 29), -(1 << 29));   // beyond every position the layout makes
    if (r.HoveredLink() != -2) std::abort();
    return 0;
}
