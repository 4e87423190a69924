// The tooltip HTML dialect below the layout: entities, the tokenizer, tag
// attributes and counts, table boundaries, colours and lengths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/HtmlMarkup.h"

namespace {
struct NoPlatform : html::HtmlPlatform {
    html::HtmlColor SysColor(int index) override { return static_cast<html::HtmlColor>(index); }
    std::string LoadStringResource(unsigned, const std::string&) override { return {}; }
    void OpenLink(const std::string&) override {}
    void Notify(const html::HtmlNotifyTarget&, std::intptr_t) override {}
    bool ShowHandCursor() override { return false; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace html;
    static NoPlatform platform;
    static const HtmlColorTable colors = BuildColorTable(platform);
    const std::string text = ReplaceEntities(std::string(reinterpret_cast<const char*>(data), size));
    if (text.size() > size) std::abort();   // every entity is longer than its replacement

    HtmlValueContext ctx;
    ctx.colors = &colors;
    HtmlTokenizer tokens(text);
    HtmlToken t;
    std::size_t last = 0;
    while (tokens.Next(t)) {
        if (tokens.Position() <= last && !text.empty()) std::abort();   // always moves on
        last = tokens.Position();
        if (t.type == HtmlToken::Text) continue;
        (void)LookupTag(t.name);
        int count = TagCount(t.params);
        if (count < 1 || count > kMaxTagCount) std::abort();
        for (const auto& [name, value] : ParseAttributes(t.params)) {
            if (name.empty()) std::abort();
            (void)ParseColor(value, 0, ctx);
            for (bool fontSize : {false, true}) {
                int n = ParseLength(value, 16, fontSize, ctx);
                if (n > kMaxLength || n < -kMaxLength) std::abort();
            }
        }
    }
    for (std::size_t p = FindTableStart(text, 0); p != std::string::npos; p = FindTableStart(text, p + 1)) {
        std::size_t end = FindTableEnd(text, p);
        if (end <= p || end > text.size()) std::abort();
    }
    return 0;
}
