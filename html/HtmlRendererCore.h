// The HTML renderer's portable part: markup, styles and the two passes over
// the text, against the canvas and platform interfaces of
// html/HtmlCanvas.h. The measuring pass finds the size and records one
// HtmlLine per line; the drawing pass reads the records back by index, in the
// same order, to align, justify and place every piece, and collects the hot
// areas of hyperlinks. `CHtmlRenderer` (html/HtmlRenderer.h) puts a GDI
// canvas and the Windows platform behind it.
//
// The drawing pass repeats the measuring pass's line breaks exactly: wrap
// decisions use the width given to the measuring pass and the unjustified
// advance of each piece, so neither justification nor a drawing rectangle of
// another width can make the drawing pass break a line where the records do
// not expect it.
#pragma once

#include "html/HtmlCanvas.h"
#include "html/HtmlImage.h"
#include "html/HtmlMarkup.h"
#include "html/HtmlStyle.h"
#include "html/HtmlTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace html {

struct HtmlSize {
    int width = 0;
    int height = 0;
};

struct HtmlLine {
    int width = 0;        // content width in pixels
    int height = 0;       // largest ascent, then + the extra descent when closed
    int descent = 0;      // largest (text height - ascent)
    int percentSum = 0;   // percentage widths of the line's rules
    int align = 0;        // horizontal alignment of the line's first piece
    int spaces = 0;       // spaces on the line
    bool wrapped = false; // the line ended because the text did not fit
    // The drawing pass drops the trailing spaces of the line's last text
    // piece: which piece that is (-1: the line does not end in text) and the
    // spaces' count and width.
    int lastPiece = -1;
    int trailingSpaces = 0;
    int trailingWidth = 0;
};

struct HtmlHotArea {
    HtmlRect rect;
    int linkKind = 0;     // 1 "href", 2 "msg"
    int linkIndex = 0;
    std::string target;
};

// The command line that opens `target` with the handler registered for HTML
// files: the handler's command cut at its first "%1" in double quotes (the
// quote included), else at its first "%1", else kept whole; then a space and
// the target.
std::string HtmlHandlerCommandLine(const std::string& command, const std::string& target);

class CHtmlRendererCore {
public:
    explicit CHtmlRendererCore(HtmlPlatform& platform);
    virtual ~CHtmlRendererCore() = default;
    CHtmlRendererCore(const CHtmlRendererCore&) = delete;
    CHtmlRendererCore& operator=(const CHtmlRendererCore&) = delete;

    // The measuring pass; (0, 0) for an empty text. The width is capped at
    // the maximum width when one is set; one pixel is added to both sides.
    HtmlSize Measure(HtmlCanvas& canvas, const std::string& text);
    // The drawing pass of the last measured text into `rect`.
    void DrawPrepared(HtmlCanvas& canvas, const HtmlRect& rect);
    HtmlSize MeasureAndDraw(HtmlCanvas& canvas, const std::string& text, int x, int y);

    // Null installs the default sheet; a text (an empty one too) replaces it.
    void SetStyleSheet(const std::string* text);
    void SetStyleSheetFromResource(unsigned id, const std::string& library = std::string());
    const std::string& GetStyleSheet() const { return m_sheet.Text(); }
    // Stores one rule beside the sheet's (the label's link styles).
    void SetStyleRule(const std::string& selector, const std::string& declarations);

    void SetMaxWidth(int pixels);
    void SetTabWidth(int pixels);
    void SetNewlineAsBreak(bool on) { m_newlineAsBreak = on; }
    void SetEnabled(bool on) { m_enabled = on; }
    void SetDisabledColor(HtmlColor color) { m_disabledColor = color; }
    bool IsEnabled() const { return m_enabled; }
    HtmlColor DisabledColor() const { return m_disabledColor; }
    void SetShadow(int dx, int dy, int darknessPercent, bool soft, int blurWidth, int blurHeight);
    // The colour of image shadows: a grey from the darkness.
    HtmlColor ShadowColor() const;
    // The colour images are drawn with: the shadow colour, or the disabled
    // colour while disabled.
    HtmlColor EffectColor() const { return m_enabled ? ShadowColor() : m_disabledColor; }

    // Where bitmaps, icons and the image list come from; without one no
    // image is drawn.
    void SetImageSource(HtmlImageSource* images) { m_images = images; }

    void SetHoverNotify(const HtmlNotifyTarget& target);
    void SetLinkMessageNotify(const HtmlNotifyTarget& target);

    // Index of the first hot area containing the point (edges included), or -1.
    int HitTestLink(int x, int y) const;
    // Hover handling; true when it has shown the hand cursor.
    bool OnMouseMove(int x, int y);
    void OnClick(int x, int y);
    // Advances animated image strips; true when a frame changed.
    bool StepAnimation();
    // Line `index` (lines split at line feeds) of the program's string
    // resource `id`, or empty.
    std::string GetResourceStringLine(unsigned id, int index);

    // What the passes produced, for owners and tests.
    const std::string& PreparedText() const { return m_text; }
    const std::vector<HtmlLine>& Lines() const { return m_lines; }
    const std::vector<HtmlHotArea>& HotAreas() const { return m_hot; }
    int HoveredLink() const { return m_hovered; }
    const std::vector<HtmlTable>& Tables() const { return m_tables; }
    const std::vector<HtmlAnimation>& Animations() const { return m_animations; }

    // Opening style tags deeper than this are ignored, so that hostile
    // nesting cannot grow the style stack without bound.
    static constexpr std::size_t kMaxStyleDepth = 1000;
    // What one text may make: its line records, tables, animated strips and
    // hot areas together, and its table slots over all its tables. The
    // layout of a text that reaches a bound stops there, in both passes at
    // the same point; the rest of the text is left out.
    static constexpr std::size_t kMaxLayoutBytes = std::size_t(16) << 20;
    static constexpr int kMaxTextTableSlots = kMaxTableSlots;
    // Bytes the last measurement recorded (lines, tables, strips).
    std::size_t LayoutBytes() const { return m_layoutBytes; }

protected:
    HtmlPlatform& Platform() { return m_platform; }

private:
    HtmlValueContext Ctx() const;
    std::string PrepareText(const std::string& text) const;
    HtmlSize RunPass(HtmlCanvas& canvas, const HtmlRect& rect, bool measuring);
    // The measuring pass over the prepared text, its records made afresh.
    HtmlSize MeasuringPass(HtmlCanvas& canvas);
    HtmlSize LayoutTextSegment(std::string_view segment);
    HtmlSize LayoutTableSegment(std::string_view table);
    void HandleTag(std::string_view name, std::string_view params);
    void ApplyOpeningTag(const HtmlTagInfo& info, std::string_view name, std::string_view params);
    void ApplyFontAttributes(std::string_view params);
    void ApplyLinkTag(std::string_view params);
    void RecreateFont();
    void ReleaseFont();

    // True once the text's layout has reached its bounds; each call is one
    // step, and the drawing pass stops at the step the measuring pass did.
    bool Stopped();
    void StartLine();
    // Measuring: the line goes on with something other than text.
    void EndTextRun();
    void CloseLine(int count, bool wrapped);
    const HtmlLine& Record() const;
    int Place(int ascent, int height);
    void LayoutText(std::string piece);
    void LayoutRule(std::string_view params);
    void LayoutTab(std::string_view params);
    void LayoutString(std::string_view params);
    void AddHotArea(int x, int y, int width, int height);
    // Tables (html/HtmlRendererTables.cpp).
    void PushStyle(const char* closingKey);
    void PopStyleTo(std::size_t depth);
    void PaintTable(const HtmlRect& rect, const HtmlStyle& style);
    void LayoutRows(std::string_view content, std::size_t number, const std::vector<int>* columns,
                    const std::vector<int>* rows);
    void LayoutCell(const HtmlElement& cell, std::size_t number, int row, int column, const HtmlRect* rect);
    // Images (html/HtmlRendererImages.cpp).
    void LayoutImage(HtmlTagKind kind, std::string_view params);
    void PlaceImage(const HtmlImage& image, HtmlImageDraw& draw);

    struct Cut {
        std::size_t take = 0;   // bytes of the piece placed on this line
        std::size_t next = 0;   // where the rest starts
        bool nothing = false;   // nothing fits: close the line and try again
    };
    // Where a piece is cut when its first `wide` bytes are too wide for the
    // line (`lineEmpty`: nothing is on the line yet).
    Cut WordWrap(std::string_view piece, std::size_t wide, bool lineEmpty);
    int Width(std::string_view text);
    // The shortest prefix of `text` wider than `rest`, or npos when the whole
    // text fits (its width then in `width`).
    std::size_t FitLength(std::string_view text, int rest, int* width);

    HtmlPlatform& m_platform;
    HtmlColorTable m_colors;
    HtmlStyleSheet m_sheet;
    std::string m_text;

    // Settings.
    int m_maxWidth = 0;
    int m_tabWidth = 32;
    bool m_newlineAsBreak = true;
    bool m_enabled = true;
    HtmlColor m_disabledColor = 0;
    int m_shadowDx = 4, m_shadowDy = 4, m_shadowDarkness = 50;
    bool m_shadowSoft = true;
    int m_blurWidth = 7, m_blurHeight = 7;
    HtmlNotifyTarget m_hoverTarget;
    HtmlNotifyTarget m_linkTarget;

    // Pass state.
    HtmlCanvas* m_canvas = nullptr;
    bool m_measuring = false;
    int m_dpi = 96;
    HtmlRect m_layout;
    int m_wrapWidth = 0;           // available width for wrapping, from Measure
    HtmlStyle m_style;
    std::vector<HtmlStyle> m_stack;
    HtmlFontHandle m_font = 0;
    HtmlFontSpec m_fontSpec;
    HtmlFontMetrics m_metrics;
    std::vector<HtmlLine> m_lines;
    HtmlLine m_line;
    std::size_t m_lineIndex = 0;
    int m_x = 0, m_y = 0;
    int m_lineStartX = 0;
    int m_xNat = 0;                // unjustified advance from the line start
    int m_widest = 0;
    bool m_lineHasText = false;
    int m_pieceOrdinal = 0;
    int m_spacesLeft = 0;          // drawing: spaces of the line not yet drawn
    int m_drawnNat = 0;            // drawing: unjustified width drawn so far
    std::vector<HtmlHotArea> m_hot;
    int m_linkCounter = -1;
    int m_hovered = -2;
    int m_measuredHover = -2;      // the hovered link the line records were measured with
    // Tables and animated strips of the last measurement, and the pass's
    // counters into them.
    HtmlImageSource* m_images = nullptr;
    std::vector<HtmlTable> m_tables;
    std::vector<HtmlAnimation> m_animations;
    int m_tableCounter = -1;
    int m_animationCounter = -1;
    int m_tableDepth = 0;
    // Bounds of one text (see kMaxLayoutBytes).
    std::size_t m_layoutBytes = 0;
    std::size_t m_hotBytes = 0;
    int m_slots = 0;
    long long m_step = 0;
    long long m_stopStep = 0;
};

}  // namespace html
