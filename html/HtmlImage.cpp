// Image attributes, sizes and animations; see html/HtmlImage.h.
#include "html/HtmlImage.h"

#include <algorithm>

namespace html {

unsigned ParseEffectLetters(std::string_view letters, const HtmlShadowSettings& shadow) {
    unsigned flags = 0;
    for (char c : letters) {
        switch (c) {
        case 'g': flags |= effects::EffectGray; break;
        case 'd': flags |= effects::EffectDarken; break;
        case 'l': flags |= effects::EffectLighten; break;
        case 's':
            if (shadow.dx != 0 || shadow.dy != 0) flags |= shadow.soft ? effects::EffectSoftShadow : effects::EffectShadow;
            break;
        default: break;
        }
    }
    return flags;
}

HtmlImage ParseImage(std::string_view params, const HtmlValueContext& ctx, const HtmlShadowSettings& shadow) {
    HtmlImage im;
    auto number = [&ctx](std::string_view v, int current) {
        return std::clamp(ParseLength(v, current, false, ctx), -kMaxLength, kMaxLength);
    };
    for (const auto& [n, v] : ParseAttributes(params)) {
        if (n == "index") im.index = number(v, im.index);
        else if (n == "idres") im.idres = number(v, im.idres);
        else if (n == "iddll") im.iddll = number(v, im.iddll);
        else if (n == "handle") im.handle = static_cast<std::uintptr_t>(HtmlStrtoul(v));
        else if (n == "cx") im.frameWidth = number(v, im.frameWidth);
        else if (n == "cy") im.frameHeight = number(v, im.frameHeight);
        else if (n == "width" || n == "height") {
            const bool percent = !v.empty() && v.back() == '%';
            const bool w = n == "width";
            int& value = w ? im.width : im.height;
            value = std::clamp(number(v, value), 0, kMaxLength);
            (w ? im.widthPercent : im.heightPercent) = percent;
        } else if (n == "speed") im.speed = number(v, im.speed);
        else if (n == "style") im.style = im.hotStyle = ParseEffectLetters(v, shadow);
        else if (n == "hotstyle") im.hotStyle = ParseEffectLetters(v, shadow);
        else if (n == "mask") {
            im.useMask = true;
            im.maskColor = ParseColor(v, im.maskColor, ctx);
        } else if (n == "file") im.file = std::string(v);
        else if (n == "srcdll") im.library = std::string(v);
    }
    return im;
}

int ImageExtent(int natural, int value, bool percent) {
    // A percentage of a natural size is a length like any other.
    return std::max(ClampLength(percent ? HtmlMulDiv(natural, value, 100) : value), 0);
}

void ReservedSize(const HtmlImage& image, int width, int height, const HtmlShadowSettings& shadow, int* rw, int* rh) {
    *rw = width;
    *rh = height;
    if (!image.Offset()) return;
    *rw = static_cast<int>(std::clamp(static_cast<long long>(width) + shadow.dx, 0LL, 2LL * kMaxLength));
    *rh = static_cast<int>(std::clamp(static_cast<long long>(height) + shadow.dy, 0LL, 2LL * kMaxLength));
}

unsigned ImageEffects(const HtmlImage& image, bool hovered, bool enabled) {
    unsigned flags = hovered ? image.hotStyle : image.style;
    if (!enabled) flags = (flags & ~effects::EffectColourBits) | effects::EffectColor;
    return flags;
}

void StripFrameSize(const HtmlImage& image, int stripWidth, int stripHeight, int* fw, int* fh) {
    int w = image.frameWidth, h = image.frameHeight;
    if (w <= 0 && h <= 0) w = h = std::min(stripWidth, stripHeight);
    else if (w <= 0) w = h;
    else if (h <= 0) h = w;
    *fw = w;
    *fh = h;
}

bool StepAnimations(std::vector<HtmlAnimation>& animations) {
    bool moved = false;
    for (HtmlAnimation& a : animations) {
        if (a.frameCount <= 0) continue;
        if (++a.tick < a.speed) continue;
        a.tick = 0;
        a.frame = a.frame + 1 >= a.frameCount ? 0 : a.frame + 1;
        moved = true;
    }
    return moved;
}

}  // namespace html
