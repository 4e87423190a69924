// Table structure and sizing; see html/HtmlTable.h.
#include "html/HtmlTable.h"

#include <algorithm>
#include <initializer_list>

namespace html {

namespace {

bool NameAt(std::string_view text, std::size_t pos, std::string_view name) {
    if (text.compare(pos, name.size(), name) != 0) return false;
    std::size_t after = pos + name.size();
    return after >= text.size() || text[after] == ' ' || text[after] == '>' || text[after] == '=';
}

// The next tag among `names` from `from` outside nested tables; `which` gets
// its index in the list.
std::size_t FindOuter(std::string_view text, std::size_t from, std::initializer_list<std::string_view> names,
                      std::size_t* which) {
    for (std::size_t p = text.find('<', from); p != std::string_view::npos; p = text.find('<', p + 1)) {
        if (p + 1 < text.size() && text[p + 1] == '<') { ++p; continue; }
        std::size_t i = 0;
        for (std::string_view n : names) {
            if (NameAt(text, p, n)) {
                if (which) *which = i;
                return p;
            }
            ++i;
        }
        if (NameAt(text, p, "<table")) {
            std::size_t end = FindTableEnd(text, p);
            if (end >= text.size()) return std::string_view::npos;
            p = end - 1;
        }
    }
    return std::string_view::npos;
}

// The parameter text of the tag at `p` ("<name params>") and the position
// after its ">" (the end of the text when it has none).
std::string_view TagParams(std::string_view text, std::size_t p, std::size_t* after) {
    std::size_t gt = text.find('>', p);
    std::size_t end = gt == std::string_view::npos ? text.size() : gt;
    *after = gt == std::string_view::npos ? text.size() : gt + 1;
    std::string_view tag = text.substr(p + 1, end - p - 1);
    std::size_t name = tag.find_first_of(" =");
    if (name == std::string_view::npos) return {};
    tag = tag.substr(name);
    std::size_t first = tag.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : tag.substr(first);
}

bool NextElement(std::string_view content, std::size_t from, std::string_view open, std::string_view close,
                 HtmlElement* out) {
    std::size_t p = FindOuter(content, from, {open}, nullptr);
    if (p == std::string_view::npos) return false;
    std::size_t start = 0;
    out->params = TagParams(content, p, &start);
    std::size_t which = 0;
    std::size_t end = FindOuter(content, start, {close, open}, &which);
    if (end == std::string_view::npos) {
        out->content = content.substr(start);
        out->next = content.size();
        return true;
    }
    out->content = content.substr(start, end - start);
    if (which == 0) {
        std::size_t gt = content.find('>', end);
        out->next = gt == std::string_view::npos ? content.size() : gt + 1;
    } else {
        out->next = end;
    }
    return true;
}

}  // namespace

HtmlTable::HtmlTable(int rowCount, int columnCount)
    : rows(rowCount),
      columns(columnCount),
      cells(static_cast<std::size_t>(rowCount) * columnCount),
      columnWidths(columnCount, 0),
      fixedColumns(columnCount, false),
      rowHeights(rowCount, 0) {}

// ---------------------------------------------------------------- structure

HtmlElement SplitTable(std::string_view table) {
    HtmlElement t;
    std::size_t start = 0;
    t.params = TagParams(table, 0, &start);
    std::size_t end = FindOuter(table, start, {"</table"}, nullptr);
    t.content = table.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    t.next = table.size();
    return t;
}

bool NextRow(std::string_view content, std::size_t from, HtmlElement* row) {
    return NextElement(content, from, "<tr", "</tr", row);
}

bool NextCell(std::string_view content, std::size_t from, HtmlElement* cell) {
    return NextElement(content, from, "<td", "</td", cell);
}

std::vector<HtmlCellPiece> SplitCellContent(std::string_view content) {
    std::vector<HtmlCellPiece> pieces;
    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t table = FindTableStart(content, pos);
        if (table == std::string_view::npos) table = content.size();
        if (table > pos) pieces.push_back({false, content.substr(pos, table - pos)});
        if (table >= content.size()) break;
        std::size_t end = FindTableEnd(content, table);
        pieces.push_back({true, content.substr(table, end - table)});
        pos = end;
    }
    return pieces;
}

void ReadSpans(std::string_view params, const HtmlValueContext& ctx, int* colSpan, int* rowSpan) {
    int cs = 1, rs = 1;
    for (const auto& [n, v] : ParseAttributes(params)) {
        // A length drops its sign, but a span of "-3" is no span of 3.
        const bool negative = !v.empty() && v[0] == '-';
        if (n == "colspan") cs = negative ? 1 : ParseLength(v, cs, false, ctx);
        else if (n == "rowspan") rs = negative ? 1 : ParseLength(v, rs, false, ctx);
    }
    *colSpan = std::clamp(cs, 1, kMaxTableColumns);
    *rowSpan = std::clamp(rs, 1, kMaxTableRows);
}

HtmlTable CountTable(std::string_view content, const HtmlValueContext& ctx, int maxSlots) {
    int rows = 0, columns = 0;
    HtmlElement row;
    for (std::size_t pos = 0; rows < kMaxTableRows && NextRow(content, pos, &row); pos = row.next) {
        ++rows;
        long long sum = 0;
        HtmlElement cell;
        for (std::size_t c = 0; sum < kMaxTableColumns && NextCell(row.content, c, &cell); c = cell.next) {
            int cs = 1, rs = 1;
            ReadSpans(cell.params, ctx, &cs, &rs);
            sum += cs;
        }
        columns = std::max(columns, static_cast<int>(std::min<long long>(sum, kMaxTableColumns)));
        if (row.next <= pos) break;
    }
    maxSlots = std::clamp(maxSlots, 0, kMaxTableSlots);
    if (columns > 0 && static_cast<long long>(rows) * columns > maxSlots) rows = maxSlots / columns;
    return HtmlTable(rows, columns);
}

// ---------------------------------------------------------------- layout arithmetic

void PlaceCell(HtmlTable& table, int row, int column, int colSpan, int rowSpan) {
    if (row < 0 || row >= table.rows || column < 0 || column >= table.columns) return;
    colSpan = std::clamp(colSpan, 1, table.columns - column);
    rowSpan = std::clamp(rowSpan, 1, table.rows - row);
    HtmlCell& cell = table.At(row, column);
    cell.colSpan = colSpan;
    cell.rowSpan = rowSpan;
    for (int r = row; r < row + rowSpan; ++r)
        for (int c = column; c < column + colSpan; ++c)
            if (r != row || c != column) table.At(r, c).colSpan = -1;
}

int SkipCovered(const HtmlTable& table, int row, int column) {
    if (row < 0 || row >= table.rows) return table.columns;
    while (column < table.columns && table.At(row, column).colSpan == -1) ++column;
    return column;
}

namespace {

struct Spanned {
    int span, row, column;
};

// The cells in row order then column order, grouped by span (1 first).
std::vector<Spanned> BySpan(const HtmlTable& table, bool columns) {
    std::vector<Spanned> cells;
    for (int r = 0; r < table.rows; ++r)
        for (int c = 0; c < table.columns; ++c) {
            const HtmlCell& cell = table.At(r, c);
            if (cell.colSpan > 0) cells.push_back({columns ? cell.colSpan : cell.rowSpan, r, c});
        }
    std::stable_sort(cells.begin(), cells.end(), [](const Spanned& a, const Spanned& b) { return a.span < b.span; });
    return cells;
}

}  // namespace

void SettleColumnWidths(HtmlTable& table) {
    for (const Spanned& s : BySpan(table, true)) {
        const HtmlCell& cell = table.At(s.row, s.column);
        const int n = std::min(s.span, table.columns - s.column);
        if (n <= 1) {
            int& w = table.columnWidths[s.column];
            w = std::max(w, cell.outerWidth);
            if (cell.fixed) table.fixedColumns[s.column] = true;
            continue;
        }
        long long sum = 0;
        for (int c = s.column; c < s.column + n; ++c) {
            sum += table.columnWidths[c];
            if (cell.fixed) table.fixedColumns[c] = true;
        }
        if (sum >= cell.outerWidth) continue;
        const long long missing = cell.outerWidth - sum;
        for (int c = s.column; c < s.column + n; ++c)
            table.columnWidths[c] = ClampCoord(table.columnWidths[c] + missing / n);
        int& last = table.columnWidths[s.column + n - 1];
        last = ClampCoord(last + missing % n);
    }
}

void SettleRowHeights(HtmlTable& table) {
    for (const Spanned& s : BySpan(table, false)) {
        const HtmlCell& cell = table.At(s.row, s.column);
        const int n = std::min(s.span, table.rows - s.row);
        if (n <= 1) {
            int& h = table.rowHeights[s.row];
            h = std::max(h, cell.outerHeight);
            continue;
        }
        long long sum = 0;
        for (int r = s.row; r < s.row + n; ++r) sum += table.rowHeights[r];
        if (sum >= cell.outerHeight) continue;
        const long long missing = cell.outerHeight - sum;
        for (int r = s.row; r < s.row + n; ++r) table.rowHeights[r] = ClampCoord(table.rowHeights[r] + missing / n);
        int& first = table.rowHeights[s.row];
        first = ClampCoord(first + missing % n);
    }
}

namespace {
int OuterSize(const std::vector<int>& sizes, int spacing, int border, int borderStyle) {
    // A table without rows or columns takes its spacing and border, not one
    // pixel less.
    long long total = spacing + std::max(static_cast<long long>(sizes.size()) - 1, 0LL);
    for (int v : sizes) total += static_cast<long long>(v) + spacing;
    total += static_cast<long long>(border) * (borderStyle == 6 ? 6 : 2);
    return ClampCoord(total);
}
}  // namespace

int TableWidth(const HtmlTable& table, int spacing, int border, int borderStyle) {
    return OuterSize(table.columnWidths, spacing, border, borderStyle);
}

int TableHeight(const HtmlTable& table, int spacing, int border, int borderStyle) {
    return OuterSize(table.rowHeights, spacing, border, borderStyle);
}

int TableInset(int border, int borderStyle) { return borderStyle == 6 ? ClampCoord(3LL * border) : border; }

bool WidenColumns(HtmlTable& table, int extra) {
    int left = static_cast<int>(std::count(table.fixedColumns.begin(), table.fixedColumns.end(), false));
    if (left == 0) return false;
    for (int c = 0; c < table.columns && left > 0; ++c) {
        if (table.fixedColumns[c]) continue;
        int share = extra / left;
        table.columnWidths[c] = ClampCoord(static_cast<long long>(table.columnWidths[c]) + share);
        extra -= share;
        --left;
    }
    return true;
}

namespace {
std::vector<int> Edges(const std::vector<int>& sizes, int start, int spacing) {
    std::vector<int> e(sizes.size() + 1);
    long long at = static_cast<long long>(start) + spacing;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        e[i] = ClampCoord(at);
        at += static_cast<long long>(sizes[i]) + spacing + 1;
    }
    e[sizes.size()] = ClampCoord(at);
    return e;
}
}  // namespace

std::vector<int> ColumnEdges(const HtmlTable& table, int innerLeft, int spacing) {
    return Edges(table.columnWidths, innerLeft, spacing);
}

std::vector<int> RowEdges(const HtmlTable& table, int innerTop, int spacing) {
    return Edges(table.rowHeights, innerTop, spacing);
}

// ---------------------------------------------------------------- attributes

int ParseFillEffect(std::string_view value, int current) {
    static const char* const kNames[] = {"solid",      "hgradient", "vgradient", "hcgradient", "vcgradient",
                                         "3hgradient", "3vgradient", "noise",   "diagshade",  "hshade",
                                         "vshade",     "hbump",     "vbump",     "softbump",   "hardbump",
                                         "metal"};
    if (value == "transparent") return -1;
    for (int i = 0; i < 16; ++i)
        if (value == kNames[i]) return i;
    if (!value.empty() && (value[0] == '-' || (value[0] >= '0' && value[0] <= '9'))) return HtmlAtoi(value);
    return current;
}

void NormaliseBorder(HtmlStyle& s, HtmlTableLevel level) {
    if (s.borderStyle == 0 || s.borderWidth == 0) {
        s.borderStyle = 0;
        s.borderWidth = 0;
        return;
    }
    if (s.borderStyle != 1) s.borderWidth = 1;
    if (level != HtmlTableLevel::Table) s.borderWidth = 1;
}

void ApplyTableAttributes(std::string_view params, HtmlTableLevel level, HtmlStyle& s, const HtmlValueContext& ctx) {
    const HtmlAttributes attributes = ParseAttributes(params);
    const bool table = level == HtmlTableLevel::Table;
    for (const auto& [n, v] : attributes) {
        if (table && n == "cellpadding") {
            s.margin = std::clamp(ParseLength(v, s.margin, false, ctx), 0, kMaxLength);
        } else if (table && n == "cellspacing") {
            s.padding = std::clamp(ParseLength(v, s.padding, false, ctx), 0, kMaxLength);
        } else if (table && n == "background") {
            s.backgroundImage = std::string(v);
        } else if (n == "border") {
            s.borderWidth = std::clamp(ParseLength(v, s.borderWidth, false, ctx), 0, kMaxLength);
            if (s.borderWidth == 0) s.borderStyle = 0;
            else if (s.borderStyle == 0) s.borderStyle = 1;
        } else if (n == "borderstyle") {
            s.borderStyle = ParseBorderStyleKeyword(v, s.borderStyle);
            if (s.borderStyle != 0 && s.borderWidth == 0) s.borderWidth = 1;
        } else if (n == "bordercolor") {
            s.borderLight = s.borderDark = ctx.enabled ? ParseColor(v, s.borderLight, ctx) : ctx.disabledColor;
        } else if (n == "bordercolorlight") {
            s.borderLight = ctx.enabled ? ParseColor(v, s.borderLight, ctx) : ctx.disabledColor;
        } else if (n == "bordercolordark") {
            s.borderDark = ctx.enabled ? ParseColor(v, s.borderDark, ctx) : ctx.disabledColor;
        } else if (n == "bgcolor") {
            if (!ctx.enabled) continue;
            s.backgroundColor = ParseColor(v, s.backgroundColor, ctx);
            if (s.backgroundEffect < 0) s.backgroundEffect = 0;
        } else if (n == "bgmidcolor") {
            if (ctx.enabled) s.backgroundMiddle = ParseColor(v, s.backgroundMiddle, ctx);
        } else if (n == "bgendcolor") {
            if (ctx.enabled) s.backgroundEnd = ParseColor(v, s.backgroundEnd, ctx);
        } else if (n == "bgeffect") {
            if (ctx.enabled) s.backgroundEffect = ParseFillEffect(v, s.backgroundEffect);
        } else if (n == "align") {
            if (v == "left") s.horizontalAlign = 0;
            else if (v == "center") s.horizontalAlign = 1;
            else if (v == "right") s.horizontalAlign = 2;
        } else if (n == "valign") {
            s.verticalAlign = ParseVerticalAlignKeyword(v, s.verticalAlign);
        } else if (n == "width") {
            s.cellWidth = std::clamp(ParseLength(v, s.cellWidth, false, ctx), 0, kMaxLength);
        } else if (n == "height") {
            s.cellHeight = std::clamp(ParseLength(v, s.cellHeight, false, ctx), 0, kMaxLength);
        }
    }
    if (!attributes.empty()) NormaliseBorder(s, level);
}

HtmlBackgroundPicture ParseBackgroundPicture(std::string_view value, const HtmlValueContext& ctx) {
    HtmlBackgroundPicture pic;
    if (value.size() <= 5) return pic;
    std::size_t colon = value.find(':');
    if (colon == std::string_view::npos) return pic;
    std::string_view key = value.substr(0, colon);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
    std::string_view v = value.substr(colon + 1);
    std::size_t first = v.find_first_not_of(' ');
    v = first == std::string_view::npos ? std::string_view() : v.substr(first);
    if (!v.empty() && v[0] == '"') {
        std::size_t q = v.find('"', 1);
        v = v.substr(1, q == std::string_view::npos ? std::string_view::npos : q - 1);
    } else {
        v = v.substr(0, v.find(';'));
        while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    }
    if (key == "idres" || key == "iddll") {
        pic.id = ParseLength(v, 0, false, ctx);
        if (pic.id > 0) pic.source = key == "idres" ? HtmlBackgroundPicture::Resource : HtmlBackgroundPicture::Library;
    } else if (key == "file" && !v.empty()) {
        pic.source = HtmlBackgroundPicture::File;
        pic.file = std::string(v);
    }
    return pic;
}

}  // namespace html
