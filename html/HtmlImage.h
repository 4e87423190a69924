// Images of the HTML renderer ("bmp", "icon", "ilst") as plain data: the
// attributes of an image tag, the effect letters of its styles, its drawn
// and reserved sizes, the frames of an image strip, and the records of
// animated strips that StepAnimation advances. Loading pictures is the
// platform's business (HtmlImageSource); the renderer's passes
// (html/HtmlRendererCore.cpp) place them and hand them to the canvas.
#pragma once

#include "effects/EffectMath.h"
#include "html/HtmlMarkup.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace html {

// HtmlImageDraw kinds (html/HtmlCanvas.h): a bitmap, an icon, a frame of
// a strip, and a picture tiled over the rectangle x, y, width, height.
enum HtmlImageKind { ImageBitmap = 0, ImageIcon = 1, ImageStripFrame = 2, ImageTile = 3 };

struct HtmlImage {
    int index = 0;
    int idres = 0;
    int iddll = 0;
    std::uintptr_t handle = 0;
    int frameWidth = 0, frameHeight = 0;       // "cx", "cy"
    int width = 100, height = 100;
    bool widthPercent = true, heightPercent = true;
    int speed = 0;
    unsigned style = 0;
    unsigned hotStyle = 0;
    bool useMask = false;
    HtmlColor maskColor = 0xFF00FF;
    std::string file;
    std::string library;

    bool HasSource() const { return idres > 0 || !file.empty() || iddll > 0 || handle != 0; }
    // The offset flag: a shadow in the style or the hot style.
    bool Offset() const { return ((style | hotStyle) & effects::EffectAnyShadow) != 0; }
};

// What the effect letters need to know of the renderer's shadow settings.
struct HtmlShadowSettings {
    int dx = 4, dy = 4;
    bool soft = true;
};

// "g" grey, "d" darken, "l" lighten, "s" the (soft) shadow when the offset is
// not (0, 0); other letters are ignored.
unsigned ParseEffectLetters(std::string_view letters, const HtmlShadowSettings& shadow);

// The attributes of an image tag. The transparent colour is magenta until
// "mask" names one (and switches it on).
HtmlImage ParseImage(std::string_view params, const HtmlValueContext& ctx, const HtmlShadowSettings& shadow);

// MulDiv(natural, value, 100) for a percentage, else the value.
int ImageExtent(int natural, int value, bool percent);
// The space an image takes: its size plus the shadow offset when it has the
// offset flag.
void ReservedSize(const HtmlImage& image, int width, int height, const HtmlShadowSettings& shadow, int* reservedWidth,
                  int* reservedHeight);
// The effect flags an image is drawn with: the hot style inside the hovered
// link, else the style; a one-colour silhouette while disabled.
unsigned ImageEffects(const HtmlImage& image, bool hovered, bool enabled);

// The frame size of a strip of natural size W × H: "cx"/"cy", one from the
// other, or min(W, H) when neither is given.
void StripFrameSize(const HtmlImage& image, int stripWidth, int stripHeight, int* frameWidth, int* frameHeight);

// One animated strip, in document order.
struct HtmlAnimation {
    int frame = 0;
    int frameCount = 0;
    int tick = 0;
    int speed = 0;
};

// Advances every animation with frames by one tick; true when a frame moved.
bool StepAnimations(std::vector<HtmlAnimation>& animations);

// Loaded pictures, from the program, files, libraries or the caller's
// handles, and the renderer's image list.
struct HtmlImageRequest {
    int kind = ImageBitmap;        // ImageBitmap or ImageIcon
    int idres = 0, iddll = 0;
    std::uintptr_t handle = 0;
    std::string file, library;
    int width = 0, height = 0;     // the icon size asked for
};

struct HtmlLoadedImage {
    std::uintptr_t handle = 0;     // 0: nothing loaded
    int width = 0, height = 0;     // natural size (bitmaps) or own size (icons)
    bool owned = false;            // deleted or destroyed by Release
};

class HtmlImageSource {
public:
    virtual ~HtmlImageSource() = default;
    // Loads by the first source set: "idres", "file", "iddll", "handle".
    virtual HtmlLoadedImage Load(const HtmlImageRequest& request) = 0;
    virtual void Release(const HtmlLoadedImage& image) = 0;
    // SM_CXICON, SM_CYICON.
    virtual void SystemIconSize(int* width, int* height) = 0;
    // The renderer's image list: frame count and size, and one frame as an
    // icon (owned).
    virtual int ImageListCount() { return 0; }
    virtual void ImageListFrameSize(int* width, int* height) { *width = *height = 0; }
    virtual HtmlLoadedImage ImageListIcon(int index) { (void)index; return {}; }
};

}  // namespace html
