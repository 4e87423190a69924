// The owner-drawn image button of the toolbar and the zoom controls. It paints
// itself on a generated, slightly noisy shaded texture (one per state:
// normal, hovered, pressed, disabled), shows an icon per state, lights up
// while the mouse is over it (leave tracking), and draws flat or raised
// borders. It can also carry a label, and behave as a check box or a radio
// button with a checked state.
//
// The parent forwards WM_DRAWITEM to DrawItem; everything else arrives
// through the window subclass installed on Attach. Painting goes through an
// off-screen bitmap so the button never flickers.
#pragma once
#include "effects/EffectMath.h"
#include "effects/PaletteDib.h"
#include "toolkit/Controls.h"
#include "toolkit/Handles.h"

#include <cstdint>
#include <memory>
#include <vector>

class CTexturedIconButton : public tk::CButton {
public:
    // Behaviour kinds.
    enum Kind { KindPush = 0, KindCheckBox = 2, KindRadio = 4 };
    // Texture patterns: the fill effects from noise (effects::FillNoise) to
    // metal (effects::FillMetal), counted from the noise.
    enum TextureStyle {
        TextureNoise = 0, TextureDiagonalShade, TextureHorizontalShade, TextureVerticalShade, TextureHorizontalBump,
        TextureVerticalBump, TextureSoftBump, TextureHardBump, TextureMetal
    };
    static_assert(effects::FillNoise + TextureSoftBump == effects::FillSoftBump, "styles count from the noise");
    // Icon and label alignments.
    enum { AlignLeft = 256, AlignRight = 512, AlignCentre = 768, AlignCentreBoth = 3072 };
    // Sent by a radio button to the others of its group when it is checked.
    static constexpr UINT kRadioRelease = WM_USER + 0x100;

    CTexturedIconButton() = default;
    ~CTexturedIconButton() override;

    // Takes over a template's button: flat, push-like and alignment bits and
    // the kind come from its style, and it becomes owner-drawn.
    void Attach(HWND wnd) override;
    void Detach() override;

    void SetFlatLook(bool flat) { m_flat = flat; DropFaces(); }
    // Loads the icon (and optional pressed and hovered icons) and places it.
    // False when the icon resource cannot be loaded (the button then has none).
    bool LoadIcons(int iconId, int alignment, int downIconId = 0, int highlightIconId = 0);
    // The icon pair swapped when the button is enabled or disabled.
    void SetStateIcons(int enabledIconId, int disabledIconId);
    // Makes the four state textures at the button's size: `style` 0..8 picks
    // the pattern, `granularity` its noise, `highlight` how far the hovered
    // and pressed ones go toward the highlight colour, `coloring` how far the
    // normal one goes toward `colour` (percent).
    bool GenerateTexture(int style, int granularity, int highlight, int coloring, COLORREF colour);
    // The noise of the textures made from now on starts from `seed` instead
    // of the clock, so that a picture of the button can be made again.
    void SetNoiseSeed(std::uint32_t seed) { m_noiseSeed = seed; m_seeded = true; }

    COLORREF SetLabelColor(COLORREF colour);
    void SetLabelAlignment(int alignment);
    bool SetLabelFont(const char* face, int height, int weight, bool italic, bool underline);
    bool SetLabelFont(const LOGFONTA& description);
    const LOGFONTA* GetLabelFont() const { return m_labelFontDesc.get(); }
    // The window text is the label; a button that only names itself by its
    // text (for screen readers and tips) keeps it off its face.
    void SetLabelShown(bool shown) { m_labelShown = shown; DropFaces(); }

    void DrawItem(const DRAWITEMSTRUCT& item);

    bool IsHovering() const { return m_hovering; }
    bool IsChecked() const { return m_checked; }
    int GetKind() const { return m_kind; }
    bool IsFlat() const { return m_flat; }
    const RECT& IconRect() const { return m_iconRect; }
    // The resource number of the icon shown now (0: none).
    int IconId() const { return m_iconId; }

private:
    static LRESULT CALLBACK SubclassProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    void SetCheck(bool checked);
    void FreeIcons();
    bool CursorOver() const;
    // Draws the whole face of one state into `dc` (w x h, origin at 0, 0).
    void ComposeFace(HDC dc, int w, int h, UINT itemState);
    // Forgets the drawn faces; the next paint of each state draws it anew.
    void DropFaces();
    HICON DownIcon() const { return m_iconDown ? m_iconDown.Get() : m_icon.Get(); }
    HICON HighlightIcon() const { return m_iconHighlight ? m_iconHighlight.Get() : m_icon.Get(); }

    tk::Font m_labelFont;
    std::unique_ptr<LOGFONTA> m_labelFontDesc;
    bool m_checked = false;
    bool m_shiftOnPress = false;
    int m_kind = KindPush;
    effects::CPaletteDib m_normalImage, m_pressedImage, m_disabledImage, m_hoverImage;
    effects::CPaletteDib m_focusLineH, m_focusLineV;
    bool m_hovering = false;
    bool m_tracking = false;
    int m_focusMargin = 4;
    COLORREF m_labelColor = ::GetSysColor(COLOR_BTNTEXT);
    bool m_border = true;
    tk::Icon m_icon, m_iconDown, m_iconHighlight;  // the last two only when they are icons of their own
    RECT m_iconRect{};
    UINT m_textFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    int m_iconAlign = AlignCentre;
    bool m_flat = false;
    int m_enabledIconId = 0, m_disabledIconId = 0;
    int m_iconId = 0;
    bool m_labelShown = true;
    std::uint32_t m_noiseSeed = 0;
    bool m_seeded = false;

    // The face of each visual state drawn so far, all at the size and in the
    // system colours of m_faceLook. Anything else a face shows (textures,
    // icons, label, its font and colour, the flat look) drops them when it
    // changes.
    struct FaceLook {
        int width = 0, height = 0;
        COLORREF face = 0, shadow = 0, light = 0, greyText = 0;
        bool operator==(const FaceLook& o) const {
            return width == o.width && height == o.height && face == o.face && shadow == o.shadow &&
                   light == o.light && greyText == o.greyText;
        }
    };
    struct Face {
        UINT key;  // the item state bits that matter, checked and hovering
        tk::Bitmap bitmap;
    };
    FaceLook m_faceLook;
    std::vector<Face> m_faces;
    std::unique_ptr<tk::MemoryDC> m_faceDC;  // the faces are copied from here, none kept selected
};
