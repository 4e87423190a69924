// Tables and images in the renderer's two passes over any markup: the first
// byte chooses the wrap width and the enabled switch, the rest is the text,
// drawn once into its measured size and once into a wider rectangle. The
// canvas and the picture source have fixed sizes; every font and picture
// made must be released, and every cell rectangle must be well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/HtmlRendererCore.h"

namespace {
using namespace html;

constexpr std::size_t kMaxInput = 4096;

struct Canvas : HtmlCanvas {
    int Dpi() override { return 96; }
    HtmlFontHandle MakeFont(const HtmlFontSpec& desc, HtmlFontMetrics* m) override {
        ++live;
        m->height = desc.height;
        m->ascent = desc.height * 3 / 4;
        return static_cast<HtmlFontHandle>(desc.height / 2 + 2);
    }
    void FreeFont(HtmlFontHandle) override { --live; }
    void SetTextStyle(HtmlFontHandle, int, HtmlColor, HtmlColor) override {}
    int TextWidth(HtmlFontHandle font, const char*, std::size_t n) override {
        return static_cast<int>(n) * static_cast<int>(font - 1);
    }
    void SetJustification(int, int) override {}
    void DrawString(int, int, const char*, std::size_t) override {}
    void DrawLine(int, int, int, int, HtmlColor, int, int) override {}
    void Fill(const HtmlRect& r, int, HtmlColor, HtmlColor, HtmlColor, int, int) override { Check(r); }
    void DrawBorder(const HtmlRect& r, HtmlColor, HtmlColor, int, int width) override {
        Check(r);
        if (width < 0) std::abort();
    }
    void DrawImage(const HtmlImageDraw& d) override {
        if (d.width < 0 || d.height < 0 || d.handle == 0) std::abort();
    }
    static void Check(const HtmlRect& r) {
        // Cells may be narrower than their insets, but never turned inside out by more than that.
        if (r.right < r.left - 1 || r.bottom < r.top - 1) std::abort();
    }
    int live = 0;
};

struct Platform : HtmlPlatform {
    HtmlColor SysColor(int index) override { return static_cast<HtmlColor>(index); }
    std::string LoadStringResource(unsigned, const std::string&) override { return "s"; }
    void OpenLink(const std::string&) override {}
    void Notify(const HtmlNotifyTarget&, std::intptr_t) override {}
    bool ShowHandCursor() override { return true; }
};

struct Images : HtmlImageSource {
    HtmlLoadedImage Load(const HtmlImageRequest& q) override {
        if (q.idres % 3 == 0 && q.handle == 0) return {};
        ++live;
        return HtmlLoadedImage{7, q.idres % 97, q.iddll % 53 + 1, true};
    }
    void Release(const HtmlLoadedImage& image) override {
        if (image.owned) --live;
    }
    void SystemIconSize(int* w, int* h) override { *w = *h = 32; }
    int ImageListCount() override { return 4; }
    void ImageListFrameSize(int* w, int* h) override { *w = *h = 16; }
    HtmlLoadedImage ImageListIcon(int) override {
        ++live;
        return HtmlLoadedImage{9, 16, 16, true};
    }
    int live = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Past a few kilobytes a table only repeats rows and cells that shorter
    // inputs already reach, at many times the cost per input.
    if (size < 1 || size > kMaxInput) return 0;
    // One renderer for every input, as a tooltip keeps one: its colour and
    // rule tables are built once, the settings below are set afresh.
    static Platform platform;
    static Images images;
    static CHtmlRendererCore r(platform);
    images.live = 0;
    r.SetImageSource(&images);
    r.SetMaxWidth(data[0] & 0x80 ? (data[0] & 0x3F) * 8 : 0);
    r.SetEnabled((data[0] & 0x40) == 0);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    Canvas canvas;
    HtmlSize s = r.Measure(canvas, text);
    if (s.width < 0 || s.height < 0) std::abort();
    r.DrawPrepared(canvas, HtmlRect{0, 0, s.width, s.height});
    r.StepAnimation();
    r.DrawPrepared(canvas, HtmlRect{5, 5, s.width + 300, s.height + 5});
    long long slots = 0;   // all the text's tables share their slots
    for (const HtmlTable& t : r.Tables()) slots += static_cast<long long>(t.rows) * t.columns;
    if (slots > kMaxTableSlots || r.LayoutBytes() > CHtmlRendererCore::kMaxLayoutBytes + sizeof(HtmlLine)) std::abort();
    if (canvas.live != 0 || images.live != 0) std::abort();
    return 0;
}
