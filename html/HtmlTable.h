// Tables of the HTML renderer as plain data and arithmetic: where a table's
// rows and cells are in the text, how many rows and columns it has, which
// slots its spanning cells cover, how wide its columns and how high its rows
// become, how a drawing rectangle wider than the table is shared out, and
// what the "table", "tr" and "td" attributes do to the style. The renderer's
// passes (html/HtmlRendererCore.cpp) walk a table with these and lay out
// the cells' content; nothing here measures text or draws.
//
// Hostile tables stay cheap: rows, columns and spans are capped, a table's
// slots are capped as a whole, and cells that fall outside the table (pushed
// there by spans from above) are skipped in both passes alike.
#pragma once

#include "html/HtmlStyle.h"

#include <string_view>
#include <vector>

namespace html {

struct HtmlCell {
    int colSpan = 0;       // -1: the slot is covered by another cell; 0: no cell
    int rowSpan = 0;
    int contentWidth = 0;
    int contentHeight = 0;
    int outerWidth = 0;
    int outerHeight = 0;
    bool fixed = false;    // the cell has a "width" above 0
};

struct HtmlTable {
    int rows = 0;
    int columns = 0;
    std::vector<HtmlCell> cells;          // rows × columns, row by row
    std::vector<int> columnWidths;
    std::vector<bool> fixedColumns;
    std::vector<int> rowHeights;

    HtmlTable() = default;
    HtmlTable(int rowCount, int columnCount);
    HtmlCell& At(int row, int column) { return cells[static_cast<std::size_t>(row) * columns + column]; }
    const HtmlCell& At(int row, int column) const { return cells[static_cast<std::size_t>(row) * columns + column]; }
};

// Limits against hostile markup.
constexpr int kMaxTableRows = 2000;
constexpr int kMaxTableColumns = 500;
constexpr int kMaxTableSlots = 100000;
constexpr int kMaxTableDepth = 16;   // deeper tables are skipped (in both passes)

// ---------------------------------------------------------------- structure

// One element of a table's text: the parameters of its opening tag, its
// content, and where the scan goes on after it.
struct HtmlElement {
    std::string_view params;
    std::string_view content;
    std::size_t next = 0;
};

// The opening tag of the table at the start of `table` (as cut out by
// FindTableStart/FindTableEnd) and the content up to its closing tag.
HtmlElement SplitTable(std::string_view table);
// The next row ("<tr") of a table's content from `from`, skipping nested
// tables. A row runs to its "</tr"; an unclosed row ends at the next "<tr".
bool NextRow(std::string_view content, std::size_t from, HtmlElement* row);
// The next cell ("<td") of a row's content likewise; an unclosed cell ends at
// the next "<td".
bool NextCell(std::string_view content, std::size_t from, HtmlElement* cell);

// One piece of a cell: a text run, or a nested table (opening tag included).
struct HtmlCellPiece {
    bool table = false;
    std::string_view text;
};
std::vector<HtmlCellPiece> SplitCellContent(std::string_view content);

// Table counting: rows = the "<tr" tags of the table's own content, columns
// = the largest sum of a row's "colspan" values (capped); rows past
// `maxSlots` (at most kMaxTableSlots) are dropped.
HtmlTable CountTable(std::string_view content, const HtmlValueContext& ctx, int maxSlots = kMaxTableSlots);

// A cell's spans from its attributes, at least 1 and capped.
void ReadSpans(std::string_view params, const HtmlValueContext& ctx, int* colSpan, int* rowSpan);

// ---------------------------------------------------------------- layout arithmetic

// Records a cell at (row, column) with its spans, cut to the table, and marks
// the slots it covers (span -1): the whole rectangle, so that no later cell
// can be placed inside it. The stored spans are cut to the table's edges.
void PlaceCell(HtmlTable& table, int row, int column, int colSpan, int rowSpan);
// The first column from `column` on that is not covered in `row`.
int SkipCovered(const HtmlTable& table, int row, int column);

// Column widths by span (1 … columns), the remainder of a spanned cell to the
// last of its columns; row heights likewise, the remainder to the first row.
void SettleColumnWidths(HtmlTable& table);
void SettleRowHeights(HtmlTable& table);

// The table's outer size from its widths and heights: s + (n − 1) + Σ (w + s)
// + 2 b, with 6 b for the double border style.
int TableWidth(const HtmlTable& table, int spacing, int border, int borderStyle);
int TableHeight(const HtmlTable& table, int spacing, int border, int borderStyle);
// How far the table's border insets its cells: b, or 3 b when double.
int TableInset(int border, int borderStyle);

// Shares `extra` pixels among the columns that are not fixed, in column
// order, each taking what is left / the columns left. False when every
// column is fixed (nothing was shared).
bool WidenColumns(HtmlTable& table, int extra);

// Left edges of the columns (index columns: the right edge plus spacing) and
// tops of the rows, from the inner left/top: start + s + Σ (w + s + 1).
std::vector<int> ColumnEdges(const HtmlTable& table, int innerLeft, int spacing);
std::vector<int> RowEdges(const HtmlTable& table, int innerTop, int spacing);

// ---------------------------------------------------------------- attributes

enum class HtmlTableLevel { Table, Row, Cell };

// Reads the attributes of a "table", "tr" or "td" tag into the style (the
// table-only ones only for tables), then normalises the border when the tag
// had any attribute at all.
void ApplyTableAttributes(std::string_view params, HtmlTableLevel level, HtmlStyle& style,
                          const HtmlValueContext& ctx);
// The border rules: style 0 or width 0 → both 0; a style other than solid →
// width 1; in rows and cells any width → 1.
void NormaliseBorder(HtmlStyle& style, HtmlTableLevel level);
// "bgeffect": a keyword of the fill effects or a number; unknown → current.
int ParseFillEffect(std::string_view value, int current);

// A table's "background" value: "idres:N", "iddll:N" or "file:NAME", the
// value optionally quoted and ended by ";". Empty source when unusable.
struct HtmlBackgroundPicture {
    enum Source { None, Resource, Library, File };
    Source source = None;
    int id = 0;
    std::string file;
};
HtmlBackgroundPicture ParseBackgroundPicture(std::string_view value, const HtmlValueContext& ctx);

}  // namespace html
