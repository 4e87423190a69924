// A canvas whose fonts have fixed metrics and which writes every drawing call
// as one line of text, and a platform with fixed system colours and string
// resources that records what the renderer asks of it. Renderer tests and
// the golden files compare these lines.
//
// Metrics: a font of height h has ascent 3h/4; every character is h/2 pixels
// wide (at least 1), one more at weight 700 and above; 96 dots per inch.
#pragma once

#include "html/HtmlCanvas.h"
#include "html/HtmlImage.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace html {

class FakeCanvas : public HtmlCanvas {
public:
    int Dpi() override { return dpi; }
    HtmlFontHandle MakeFont(const HtmlFontSpec& desc, HtmlFontMetrics* m) override {
        fonts.push_back(desc);
        ++liveFonts;
        ++fontsCreated;
        m->height = desc.height;
        m->ascent = desc.height * 3 / 4;
        return fonts.size();
    }
    void FreeFont(HtmlFontHandle) override { --liveFonts; }
    void SetTextStyle(HtmlFontHandle font, int mode, HtmlColor text, HtmlColor background) override {
        m_font = font;
        m_mode = mode;
        m_text = text;
        m_background = background;
    }
    int TextWidth(HtmlFontHandle font, const char*, std::size_t length) override {
        return static_cast<int>(length) * CharWidth(fonts.at(font - 1));
    }
    void SetJustification(int extra, int count) override {
        m_extra = extra;
        m_count = count;
    }
    void DrawString(int x, int y, const char* text, std::size_t length) override {
        const HtmlFontSpec& f = fonts.at(m_font - 1);
        std::string line = "text " + std::to_string(x) + "," + std::to_string(y) + " \"" + std::string(text, length) +
                           "\" " + f.face + "/" + std::to_string(f.height) + "/" + std::to_string(f.weight);
        if (f.italic) line += "/i";
        if (f.underline) line += "/u";
        if (f.strikeout) line += "/s";
        line += " " + Hex(m_text);
        if (m_mode == 2) line += " on " + Hex(m_background);
        if (m_count > 0 && m_extra != 0)
            line += " justify " + std::to_string(m_extra) + "/" + std::to_string(m_count);
        calls.push_back(line);
    }
    void DrawLine(int x1, int y1, int x2, int y2, HtmlColor color, int style, int width) override {
        calls.push_back("line " + std::to_string(x1) + "," + std::to_string(y1) + " " + std::to_string(x2) + "," +
                        std::to_string(y2) + " " + Hex(color) + " style " + std::to_string(style) + " width " +
                        std::to_string(width));
    }
    void Fill(const HtmlRect& r, int effect, HtmlColor begin, HtmlColor middle, HtmlColor end, int granularity,
              int colouring) override {
        calls.push_back("fill " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                        std::to_string(r.right) + "," + std::to_string(r.bottom) + " effect " + std::to_string(effect) +
                        " " + Hex(begin) + " " + Hex(middle) + " " + Hex(end) + " " + std::to_string(granularity) +
                        " " + std::to_string(colouring));
    }

    void DrawBorder(const HtmlRect& r, HtmlColor light, HtmlColor dark, int style, int width) override {
        calls.push_back("border " + Rect(r) + " " + Hex(light) + " " + Hex(dark) + " style " + std::to_string(style) +
                        " width " + std::to_string(width));
    }
    void DrawImage(const HtmlImageDraw& d) override {
        static const char* const kKinds[] = {"bitmap", "icon", "frame", "tile"};
        std::string line = std::string("image ") + (d.kind >= 0 && d.kind < 4 ? kKinds[d.kind] : "?") + " #" +
                           std::to_string(d.handle) + " " + std::to_string(d.x) + "," + std::to_string(d.y) + " " +
                           std::to_string(d.width) + "x" + std::to_string(d.height);
        if (d.kind >= 2)
            line += " frame " + std::to_string(d.frameIndex) + " of " + std::to_string(d.frameWidth) + "x" +
                    std::to_string(d.frameHeight);
        if (d.useMask) line += " mask " + Hex(d.maskColor);
        char flags[16];
        std::snprintf(flags, sizeof flags, "%04X", d.effectFlags);
        line += std::string(" fx ") + flags;
        if (d.offset) line += " offset " + std::to_string(d.shadowDx) + "," + std::to_string(d.shadowDy);
        line += " " + Hex(d.effectColor);
        calls.push_back(line);
    }

    static std::string Rect(const HtmlRect& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    }
    static int CharWidth(const HtmlFontSpec& f) { return (f.height / 2 > 0 ? f.height / 2 : 1) + (f.weight >= 700); }
    static std::string Hex(HtmlColor c) {
        char b[16];
        std::snprintf(b, sizeof b, "%06X", static_cast<unsigned>(c));
        return b;
    }
    std::string Joined() const {
        std::string s;
        for (const auto& c : calls) s += c + "\n";
        return s;
    }

    int dpi = 96;
    std::vector<HtmlFontSpec> fonts;
    int liveFonts = 0;
    int fontsCreated = 0;
    std::vector<std::string> calls;

private:
    HtmlFontHandle m_font = 0;
    int m_mode = 1;
    HtmlColor m_text = 0, m_background = 0;
    int m_extra = 0, m_count = 0;
};

// Pictures by name: "res#N" (idres), "dll#LIB#N" (iddll; LIB empty for the
// renderer's module), "file#NAME", "handle#N"; each with its size. Handles
// count up from 100; the source logs every load and release.
class FakeImages : public HtmlImageSource {
public:
    HtmlLoadedImage Load(const HtmlImageRequest& q) override {
        std::string key = q.idres > 0     ? "res#" + std::to_string(q.idres)
                          : !q.file.empty() ? "file#" + q.file
                          : q.iddll > 0     ? "dll#" + q.library + "#" + std::to_string(q.iddll)
                                            : "handle#" + std::to_string(q.handle);
        log.push_back(std::string(q.kind == 1 ? "icon " : "bitmap ") + key + " " + std::to_string(q.width) + "x" +
                      std::to_string(q.height));
        auto it = pictures.find(key);
        if (it == pictures.end()) return {};
        HtmlLoadedImage im;
        im.owned = q.handle == 0;
        im.handle = q.handle ? q.handle : ++m_next;
        // Icons load at the size asked for, like LoadImage.
        im.width = q.kind == 1 && q.width > 0 && im.owned ? q.width : it->second.first;
        im.height = q.kind == 1 && q.height > 0 && im.owned ? q.height : it->second.second;
        if (im.owned) ++live;
        return im;
    }
    void Release(const HtmlLoadedImage& im) override {
        if (im.owned) --live;
    }
    void SystemIconSize(int* w, int* h) override { *w = *h = 32; }
    int ImageListCount() override { return listCount; }
    void ImageListFrameSize(int* w, int* h) override { *w = *h = 16; }
    HtmlLoadedImage ImageListIcon(int index) override {
        ++live;
        return HtmlLoadedImage{static_cast<std::uintptr_t>(1000 + index), 16, 16, true};
    }

    std::map<std::string, std::pair<int, int>> pictures;
    std::vector<std::string> log;
    int listCount = 0;
    int live = 0;

private:
    std::uintptr_t m_next = 100;
};

class FakePlatform : public HtmlPlatform {
public:
    HtmlColor SysColor(int index) override { return 0x010101u * static_cast<HtmlColor>(index); }
    std::string LoadStringResource(unsigned id, const std::string& library) override {
        auto it = strings.find(library + "#" + std::to_string(id));
        return it == strings.end() ? std::string() : it->second;
    }
    void OpenLink(const std::string& target) override { log.push_back("open " + target); }
    void Notify(const HtmlNotifyTarget& t, std::intptr_t wParam) override {
        std::string w = t.message == kLinkMessage ? std::string(reinterpret_cast<const char*>(wParam))
                                                  : std::to_string(wParam);
        log.push_back("notify " + std::to_string(t.message) + " " + w);
    }
    bool ShowHandCursor() override {
        log.push_back("hand");
        return hasHand;
    }

    static constexpr unsigned kLinkMessage = 2000;
    std::map<std::string, std::string> strings;   // "library#id" -> text
    std::vector<std::string> log;
    bool hasHand = true;
};

}  // namespace html
