// Style sheets: the reader, and every rule it keeps applied to a style.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/HtmlStyle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace html;
    static const HtmlColorTable colors;
    HtmlStyleSheet sheet;
    sheet.Set(std::string(reinterpret_cast<const char*>(data), size));
    if (sheet.Text().size() != size) std::abort();
    HtmlValueContext ctx;
    ctx.colors = &colors;
    for (const char* selector : {"body", "h1", "a:link", "a:hover", "hr", "pre", ".x", "td"}) {
        for (bool enabled : {true, false}) {
            ctx.enabled = enabled;
            HtmlStyle style;
            sheet.Apply(selector, style, ctx);
            for (int length : {style.fontSize, style.margin, style.padding, style.borderWidth})
                if (length > kMaxLength || length < -kMaxLength) std::abort();
            if (!enabled && style.backgroundMode != 1) std::abort();   // no backgrounds while disabled
            HtmlFontSpec font = style.FontSpec();
            if (font.height < 1 || font.height > 1000) std::abort();
        }
    }
    return 0;
}
