// The renderer's tables in its two passes, with their rows and cells. The
// measuring pass records each table's cells, column widths and row heights;
// the drawing pass reads them back in the same order (the table counter
// starts at -1 in every pass), so both passes must walk the same tables in
// the same order. Images are in html/HtmlRendererImages.cpp.
#include "html/HtmlRendererCore.h"

#include <algorithm>

namespace html {

// ---------------------------------------------------------------- tables

void CHtmlRendererCore::PushStyle(const char* closingKey) {
    m_stack.push_back(m_style);
    m_stack.back().closingKey = closingKey;
}

void CHtmlRendererCore::PopStyleTo(std::size_t depth) {
    if (depth < m_stack.size()) {
        m_style = m_stack[depth];
        m_stack.resize(depth);
    }
    RecreateFont();
}

HtmlSize CHtmlRendererCore::LayoutTableSegment(std::string_view text) {
    if (m_tableDepth >= kMaxTableDepth) return HtmlSize{};
    ++m_tableDepth;
    const HtmlElement t = SplitTable(text);
    const std::size_t number = static_cast<std::size_t>(++m_tableCounter);
    if (m_measuring) {
        // The text's tables share its slots; a table past them keeps only
        // the rows that still fit, and none at all once they are used up.
        HtmlTable table = CountTable(t.content, Ctx(), kMaxTextTableSlots - m_slots);
        m_slots += table.rows * table.columns;
        m_layoutBytes += sizeof(HtmlTable) + table.cells.size() * sizeof(HtmlCell) +
                         (table.columnWidths.size() + table.rowHeights.size()) * sizeof(int) + table.columns / 8;
        m_tables.push_back(std::move(table));
    }
    HtmlSize size;
    if (number < m_tables.size()) {
        const HtmlRect layout = m_layout;
        const int top = m_y;
        const std::size_t depth = m_stack.size();
        PushStyle("table");
        m_sheet.Apply("table", m_style, Ctx());
        ApplyTableAttributes(t.params, HtmlTableLevel::Table, m_style, Ctx());
        RecreateFont();
        const HtmlStyle style = m_style;
        const int s = style.padding, b = style.borderWidth, bs = style.borderStyle;
        if (m_measuring) {
            LayoutRows(t.content, number, nullptr, nullptr);
            HtmlTable& table = m_tables[number];
            SettleColumnWidths(table);
            SettleRowHeights(table);
            size.width = TableWidth(table, s, b, bs);
            size.height = TableHeight(table, s, b, bs);
        } else {
            HtmlTable& table = m_tables[number];
            size.width = TableWidth(table, s, b, bs);
            size.height = TableHeight(table, s, b, bs);
            const int available = layout.Width();
            if (size.width < available && WidenColumns(table, available - size.width))
                size.width = TableWidth(table, s, b, bs);
            int left = layout.left;
            if (size.width < available) {
                if (style.horizontalAlign == 1) left = AddCoord(layout.left, (available - size.width) / 2);
                else if (style.horizontalAlign == 2) left = AddCoord(layout.right, -static_cast<long long>(size.width));
            }
            const HtmlRect rect{left, top, AddCoord(left, size.width), AddCoord(top, size.height)};
            PaintTable(rect, style);
            const int inset = TableInset(b, bs);
            const std::vector<int> columns = ColumnEdges(table, AddCoord(rect.left, inset), s);
            const std::vector<int> rows = RowEdges(table, AddCoord(rect.top, inset), s);
            LayoutRows(t.content, number, &columns, &rows);
        }
        PopStyleTo(depth);
        m_layout = layout;
        m_y = AddCoord(top, size.height);
        m_x = m_lineStartX = layout.left;
    }
    --m_tableDepth;
    return size;
}

void CHtmlRendererCore::PaintTable(const HtmlRect& rect, const HtmlStyle& style) {
    if (style.backgroundEffect >= 0) {
        m_canvas->Fill(rect, style.backgroundEffect, style.backgroundColor, style.backgroundMiddle,
                       style.backgroundEnd, 5, 0);
    } else if (m_enabled && m_images) {
        const HtmlBackgroundPicture pic = ParseBackgroundPicture(style.backgroundImage, Ctx());
        HtmlImageRequest request;
        if (pic.source == HtmlBackgroundPicture::Resource) request.idres = pic.id;
        else if (pic.source == HtmlBackgroundPicture::Library) request.iddll = pic.id;
        else if (pic.source == HtmlBackgroundPicture::File) request.file = pic.file;
        if (pic.source != HtmlBackgroundPicture::None) {
            const HtmlLoadedImage image = m_images->Load(request);
            if (image.handle && image.width > 0 && image.height > 0) {
                HtmlImageDraw d;
                d.kind = ImageTile;
                d.handle = image.handle;
                d.x = rect.left;
                d.y = rect.top;
                d.width = rect.Width();
                d.height = rect.Height();
                d.frameWidth = image.width;
                d.frameHeight = image.height;
                m_canvas->DrawImage(d);
            }
            if (image.handle) m_images->Release(image);
        }
    }
    if (style.borderWidth > 0) {
        const HtmlColor light = m_enabled ? style.borderLight : m_disabledColor;
        const HtmlColor dark = m_enabled ? style.borderDark : m_disabledColor;
        m_canvas->DrawBorder(rect, light, dark, style.borderStyle, style.borderWidth);
    }
}

void CHtmlRendererCore::LayoutRows(std::string_view content, std::size_t number, const std::vector<int>* columns,
                                   const std::vector<int>* rows) {
    const int s = m_style.padding;
    HtmlElement row;
    int r = 0;
    for (std::size_t pos = 0; r < m_tables[number].rows && !Stopped() && NextRow(content, pos, &row);
         pos = row.next, ++r) {
        const std::size_t depth = m_stack.size();
        PushStyle("tr");
        m_sheet.Apply("tr", m_style, Ctx());
        ApplyTableAttributes(row.params, HtmlTableLevel::Row, m_style, Ctx());
        RecreateFont();
        HtmlElement cell;
        int c = 0;
        for (std::size_t cp = 0; !Stopped() && NextCell(row.content, cp, &cell); cp = cell.next) {
            c = SkipCovered(m_tables[number], r, c);
            if (c >= m_tables[number].columns) break;   // pushed out of the table by spans from above
            if (m_measuring) {
                int colSpan = 1, rowSpan = 1;
                ReadSpans(cell.params, Ctx(), &colSpan, &rowSpan);
                PlaceCell(m_tables[number], r, c, colSpan, rowSpan);
                LayoutCell(cell, number, r, c, nullptr);
            } else {
                const HtmlCell& placed = m_tables[number].At(r, c);
                if (placed.colSpan <= 0) break;
                const int cs = placed.colSpan, rs = placed.rowSpan;
                const HtmlRect rect{(*columns)[c], (*rows)[r], AddCoord((*columns)[c + cs], -1LL - s),
                                    AddCoord((*rows)[r + rs], -1LL - s)};
                LayoutCell(cell, number, r, c, &rect);
            }
            c += m_tables[number].At(r, c).colSpan;
        }
        PopStyleTo(depth);
    }
}

void CHtmlRendererCore::LayoutCell(const HtmlElement& cell, std::size_t number, int r, int c, const HtmlRect* rect) {
    const std::size_t depth = m_stack.size();
    PushStyle("td");
    m_sheet.Apply("td", m_style, Ctx());
    m_style.cellWidth = m_style.cellHeight = 0;
    ApplyTableAttributes(cell.params, HtmlTableLevel::Cell, m_style, Ctx());
    RecreateFont();
    const HtmlStyle style = m_style;
    const int inset = static_cast<int>(std::clamp(static_cast<long long>(style.margin) + style.borderWidth, 0LL, static_cast<long long>(kMaxCoord)));
    const HtmlRect layout = m_layout;
    const std::vector<HtmlCellPiece> pieces = SplitCellContent(cell.content);

    if (!rect) {
        int widest = 0;
        int height = 0;
        for (const HtmlCellPiece& piece : pieces) {
            m_layout = HtmlRect{0, 0, m_wrapWidth, 0};
            m_x = m_lineStartX = 0;
            m_y = 0;
            const HtmlSize size = piece.table ? LayoutTableSegment(piece.text) : LayoutTextSegment(piece.text);
            widest = std::max(widest, size.width);
            height = AddCoord(height, size.height);
        }
        HtmlCell& record = m_tables[number].At(r, c);
        record.contentWidth = std::max(style.cellWidth, widest);
        record.contentHeight = height;
        record.outerWidth = AddCoord(std::max(record.contentWidth, style.cellWidth), 2LL * inset);
        record.outerHeight = AddCoord(std::max(record.contentHeight, style.cellHeight), 2LL * inset);
        record.fixed = style.cellWidth > 0;
    } else {
        if (style.backgroundEffect >= 0)
            m_canvas->Fill(*rect, style.backgroundEffect, style.backgroundColor, style.backgroundMiddle,
                           style.backgroundEnd, 5, 0);
        if (style.borderStyle != 0 && style.borderWidth > 0) {
            // Sunken: the dark colour on the top and left edges.
            const HtmlColor light = m_enabled ? style.borderDark : m_disabledColor;
            const HtmlColor dark = m_enabled ? style.borderLight : m_disabledColor;
            m_canvas->DrawBorder(*rect, light, dark, style.borderStyle, 1);
        }
        const HtmlRect content{AddCoord(rect->left, inset), AddCoord(rect->top, inset), AddCoord(rect->right, -inset),
                               AddCoord(rect->bottom, -inset)};
        const int contentHeight = m_tables[number].At(r, c).contentHeight;
        int y = content.top;
        if (style.verticalAlign == 1) y = AddCoord(content.top, (static_cast<long long>(content.Height()) - contentHeight) / 2);
        else if (style.verticalAlign == 2) y = AddCoord(content.bottom, -static_cast<long long>(contentHeight));
        for (const HtmlCellPiece& piece : pieces) {
            m_layout = HtmlRect{content.left, y, content.right, content.bottom};
            m_x = m_lineStartX = content.left;
            m_y = y;
            if (piece.table) LayoutTableSegment(piece.text);
            else LayoutTextSegment(piece.text);
            y = m_y;
        }
    }
    m_layout = layout;
    PopStyleTo(depth);
}

}  // namespace html
