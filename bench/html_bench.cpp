// Benchmark of the HTML renderer on the program's tooltip texts: for each
// text, measuring and drawing it (Measure, then DrawPrepared, wrap width 300)
// into a memory bitmap, next to a plain GDI DrawText of the same words in the
// same font (DT_CALCRECT, then the drawing, with word breaks at 300 pixels).
// The first round of each is printed apart as the cold figure; warm figures
// are the median of the rounds. Each round checks that it drew something.
// Usage: html_bench.exe [rounds] [--picture FILE.bmp]
//   --picture also writes every text as rendered, one under the other.
#include <windows.h>

#include "html/HtmlRenderer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double NowUs() {
    using namespace std::chrono;
    return duration<double, std::micro>(steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Surface {
    Surface(int w, int h) : width(w), height(h) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
        Clear();
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Clear() {
        GdiFlush();
        for (int i = 0; i < width * height; ++i) bits[i] = 0xFFFFFF;
    }
    bool HasInk() const {
        GdiFlush();
        for (int i = 0; i < width * height; ++i)
            if ((bits[i] & 0xFFFFFF) != 0xFFFFFF) return true;
        return false;
    }
    void Save(const char* path) const {
        GdiFlush();
        BITMAPFILEHEADER fh = {};
        BITMAPINFOHEADER ih = {};
        ih.biSize = sizeof ih;
        ih.biWidth = width;
        ih.biHeight = -height;
        ih.biPlanes = 1;
        ih.biBitCount = 32;
        ih.biSizeImage = static_cast<DWORD>(width * height * 4);
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof ih;
        fh.bfSize = fh.bfOffBits + ih.biSizeImage;
        FILE* f = std::fopen(path, "wb");
        if (!f) return;
        std::fwrite(&fh, sizeof fh, 1, f);
        std::fwrite(&ih, sizeof ih, 1, f);
        std::fwrite(bits, ih.biSizeImage, 1, f);
        std::fclose(f);
    }
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

// The main window's tooltips, and the About box's text.
const char* const kTexts[] = {
    "Image size", "Send picture to device", "Send by Mail", "Open picture", "Zoom In (+)", "Zoom Out (-)",
    "Connect to device", "Disconnect from device",
    "Quorvel Photos Desktop, Version 2.41, Quorvel <br><a href=\"http://www.quorvel.example/\">www.quorvel.example</a>"
    "<br>Copyright &copy; Quorvel. All rights reserved.",
};

// Richer markup, only for the picture.
const char* const kSamples[] = {
    "<h2>Heading two</h2> <h3>three</h3> <code>code()</code>, x<sup>2</sup> + y<sub>i</sub> "
    "<font bkgnd=yellow>marked</font> <s>struck</s> <u>under</u> <font style=o>over</font>",
    "Name:<t>value &amp; more<t=2>end<hr width=80% size=2 color=gray>\n"
    "<justify>The picture is cut to the handheld screen, reduced to sixteen bits per pixel and sent in blocks "
    "of one thousand bytes, each acknowledged before the next one leaves.</justify>\n"
    "<center>centred <b>bold</b> words</center>\n<right>right-aligned, <i>italic</i></right>",
};

// The same words as plain text for DrawText: tags dropped, breaks kept.
std::string PlainWords(const std::string& html) {
    std::string out;
    bool inTag = false;
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') {
            if (html.compare(i, 4, "<br>") == 0) out += "\n";
            inTag = true;
        } else if (html[i] == '>') {
            inTag = false;
        } else if (!inTag) {
            out += html[i];
        }
    }
    std::size_t p;
    while ((p = out.find("&copy;")) != std::string::npos) out.replace(p, 6, "\xA9");
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 200;
    const char* picture = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) picture = argv[++i];
        else rounds = std::max(2, std::atoi(argv[i]));
    }
    Surface s(320, 120);
    HFONT font = CreateFontA(-MulDiv(10, GetDeviceCaps(s.dc, LOGPIXELSY), 72), 0, 0, 0, 400, 0, 0, 0,
                             DEFAULT_CHARSET, 0, 0, 0, 0, "Verdana");
    std::printf("%-26s %10s %10s %10s %10s %7s\n", "text", "cold us", "warm us", "DrawText", "cold", "ratio");
    bool ok = true;
    double worst = 0;
    for (const char* text : kTexts) {
        std::vector<double> ours, ref;
        for (int round = 0; round < rounds; ++round) {
            // Ours: a fresh renderer on the first round only, as the tooltip keeps one.
            static html::CHtmlRenderer* renderer = nullptr;
            if (round == 0) {
                delete renderer;
                renderer = new html::CHtmlRenderer;
                renderer->SetMaxWidth(300);
            }
            s.Clear();
            double t0 = NowUs();
            SIZE size = renderer->Measure(s.dc, text);
            renderer->DrawPrepared(s.dc, RECT{0, 0, size.cx, size.cy});
            ours.push_back(NowUs() - t0);
            if (round == 0 && (size.cx <= 1 || !s.HasInk())) ok = false;

            const std::string plain = PlainWords(text);
            s.Clear();
            t0 = NowUs();
            HGDIOBJ old = SelectObject(s.dc, font);
            RECT rc = {0, 0, 300, 0};
            DrawTextA(s.dc, plain.c_str(), -1, &rc, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            DrawTextA(s.dc, plain.c_str(), -1, &rc, DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(s.dc, old);
            ref.push_back(NowUs() - t0);
            if (round == 0 && (rc.right <= 0 || !s.HasInk())) ok = false;
        }
        double cold = ours.front(), coldRef = ref.front();
        ours.erase(ours.begin());
        ref.erase(ref.begin());
        double warm = Median(ours), warmRef = Median(ref);
        double ratio = warmRef > 0 ? warm / warmRef : 0;
        worst = std::max(worst, ratio);
        std::string name = PlainWords(text).substr(0, 24);
        for (char& c : name)
            if (c == '\n') c = ' ';
        std::printf("%-26s %10.1f %10.1f %10.1f %10.1f %7.2f\n", name.c_str(), cold, warm, warmRef, coldRef, ratio);
    }
    std::printf("worst warm ratio %.2f (goal: at most 5)\n", worst);

    if (picture) {
        Surface all(320, 40 + 22 * 9 + 200);
        html::CHtmlRenderer r;
        r.SetMaxWidth(300);
        int y = 4;
        for (const char* text : kTexts) {
            SIZE size = r.MeasureAndDraw(all.dc, text, POINT{4, y});
            y += size.cy + 4;
        }
        for (const char* text : kSamples) {
            SIZE size = r.MeasureAndDraw(all.dc, text, POINT{4, y});
            y += size.cy + 4;
        }
        all.Save(picture);
        std::printf("picture written to %s\n", picture);
    }
    DeleteObject(font);
    if (!ok) {
        std::printf("FAILED: a round drew nothing\n");
        return 1;
    }
    return 0;
}
