// The renderer's images in its two passes: bitmaps, icons and strip frames.
// The measuring pass records each animated strip; the drawing pass reads
// them back in the same order (the animation counter starts at -1 in every
// pass), so both passes must walk the same strips in the same order.
#include "html/HtmlRendererCore.h"

#include <algorithm>

namespace html {

namespace {

// What the image host is asked to load for an image tag's source.
HtmlImageRequest RequestFor(const HtmlImage& image, int kind) {
    HtmlImageRequest request;
    request.kind = kind;
    request.idres = image.idres;
    request.iddll = image.iddll;
    request.handle = image.handle;
    request.file = image.file;
    request.library = image.library;
    return request;
}

}  // namespace

bool CHtmlRendererCore::StepAnimation() { return StepAnimations(m_animations); }

void CHtmlRendererCore::LayoutImage(HtmlTagKind kind, std::string_view params) {
    if (!m_images) return;
    const HtmlShadowSettings shadow{m_shadowDx, m_shadowDy, m_shadowSoft};
    const HtmlImage image = ParseImage(params, Ctx(), shadow);
    HtmlImageDraw d;
    HtmlLoadedImage loaded;
    int index = image.index;
    if (kind == TagBitmap || (kind == TagImageList && image.HasSource())) {
        if (!image.HasSource()) return;
        loaded = m_images->Load(RequestFor(image, ImageBitmap));
        if (kind == TagBitmap) {
            d.kind = ImageBitmap;
            d.width = ImageExtent(loaded.width, image.width, image.widthPercent);
            d.height = ImageExtent(loaded.height, image.height, image.heightPercent);
        } else {
            d.kind = ImageStripFrame;
            StripFrameSize(image, loaded.width, loaded.height, &d.frameWidth, &d.frameHeight);
            d.width = ImageExtent(d.frameWidth, image.width, image.widthPercent);
            d.height = ImageExtent(d.frameHeight, image.height, image.heightPercent);
            const long long columns = d.frameWidth > 0 ? loaded.width / d.frameWidth : 0;
            const long long rows = d.frameHeight > 0 ? loaded.height / d.frameHeight : 0;
            const int frames = loaded.handle ? static_cast<int>(std::min(columns * rows, static_cast<long long>(kMaxCoord))) : 0;
            if (image.speed > 0) {
                // Counted even when the strip failed to load, so that the
                // drawing pass finds the records of the strips after it.
                const std::size_t animation = static_cast<std::size_t>(++m_animationCounter);
                if (m_measuring) {
                    m_animations.push_back(HtmlAnimation{index, frames, 0, image.speed});
                    m_layoutBytes += sizeof(HtmlAnimation);
                }
                if (animation < m_animations.size()) index = m_animations[animation].frame;
            }
            if (index < 0 || index >= frames) {
                if (loaded.handle) m_images->Release(loaded);
                return;
            }
        }
        d.useMask = image.useMask;
        d.maskColor = image.maskColor;
    } else if (kind == TagIcon) {
        if (!image.HasSource()) return;
        int systemWidth = 0, systemHeight = 0;
        m_images->SystemIconSize(&systemWidth, &systemHeight);
        HtmlImageRequest request = RequestFor(image, ImageIcon);
        request.width = ImageExtent(systemWidth, image.width, image.widthPercent);
        request.height = ImageExtent(systemHeight, image.height, image.heightPercent);
        loaded = m_images->Load(request);
        d.kind = ImageIcon;
        d.width = loaded.width;
        d.height = loaded.height;
    } else {
        const int count = m_images->ImageListCount();
        if (index < 0 || index >= count) return;
        int frameWidth = 0, frameHeight = 0;
        m_images->ImageListFrameSize(&frameWidth, &frameHeight);
        loaded = m_images->ImageListIcon(index);
        d.kind = ImageIcon;
        d.width = ImageExtent(frameWidth, image.width, image.widthPercent);
        d.height = ImageExtent(frameHeight, image.height, image.heightPercent);
    }
    if (!loaded.handle) return;
    d.handle = loaded.handle;
    d.frameIndex = index;
    PlaceImage(image, d);
    m_images->Release(loaded);
}

void CHtmlRendererCore::PlaceImage(const HtmlImage& image, HtmlImageDraw& d) {
    const HtmlShadowSettings shadow{m_shadowDx, m_shadowDy, m_shadowSoft};
    int reservedWidth = 0, reservedHeight = 0;
    ReservedSize(image, d.width, d.height, shadow, &reservedWidth, &reservedHeight);
    if (m_wrapWidth > 0 && m_xNat > 0 && static_cast<long long>(m_xNat) + reservedWidth > m_wrapWidth)
        CloseLine(1, true);
    const int y = Place(reservedHeight, reservedHeight);
    if (m_measuring) {
        EndTextRun();
    } else if (d.width != 0 && d.height != 0) {
        AddHotArea(m_x, y, reservedWidth, reservedHeight);
        const bool hovered = m_style.linkKind != 0 && m_linkCounter == m_hovered;
        d.x = m_x;
        d.y = y;
        d.effectFlags = ImageEffects(image, hovered, m_enabled);
        d.offset = image.Offset();
        d.shadowDx = m_shadowDx;
        d.shadowDy = m_shadowDy;
        d.blurWidth = m_blurWidth;
        d.blurHeight = m_blurHeight;
        d.effectColor = EffectColor();
        m_canvas->DrawImage(d);
    }
    m_x = AddCoord(m_x, reservedWidth);
    m_xNat = AddCoord(m_xNat, reservedWidth);
}

}  // namespace html
