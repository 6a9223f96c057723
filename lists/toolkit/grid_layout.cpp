#include "lists/toolkit/grid_layout.h"

#include <algorithm>
#include <cmath>

#include "datastore/kamenici.h"
#include "frame/windows/data_form.h"
#include "platform/ascii.h"

namespace {

// Rounding to the nearest integer, halves to even.
int RoundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Adds a digit to a number of the column texts; a number above 255 is no
// number there: the digit sets the flag and is dropped.
void AddDigit(int& n, char digit, uint32_t& flags, uint32_t flag)
{
    const int next = n * 10 + (digit - '0');
    if (next > 255)
        flags |= flag;
    else
        n = next;
}

} // namespace

// ------------------------------------------------------------------ Set-up

void GridLayout::SetMetrics(int rowHeight, int charWidth)
{
    RowHeight = std::max(1, rowHeight);
    CharWidth = std::max(1, charWidth);
}

uint32_t GridLayout::SetGeometry(std::string_view geometry, std::string_view order)
{
    uint32_t flags = ParseColumns(geometry);
    flags |= ParseOrder(order);
    ComputeVisibleLines();
    LayoutColumns();
    return flags;
}

// The columns and their groups from the geometry text.
uint32_t GridLayout::ParseColumns(std::string_view geometry)
{
    uint32_t flags = 0;
    ColOffset.fill(0);
    ColLength.fill(0);
    GroupStart.fill(0);
    GroupSel.fill(0);
    GroupCount = 0;

    std::string g(geometry);
    if (!g.empty() && g.back() != ',' && g.back() != ';')
        g += ',';
    int n = 0;
    bool slash = false;
    int i = 0; // columns past the 32nd are parsed into nowhere
    auto offsetAt = [&](int value) {
        if (i < kMaxColumns)
            ColOffset[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
    };
    auto lengthAt = [&](int value) {
        if (i < kMaxColumns)
            ColLength[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
    };
    auto completeColumn = [&] {
        if (i < kMaxColumns)
            ++i;
        else
            flags |= GeometryFlag::TooManyColumns;
        slash = false;
        n = 0;
        lengthAt(1);
    };
    lengthAt(1);
    for (char ch : g) {
        if (IsDigit(ch)) {
            AddDigit(n, ch, flags, GeometryFlag::BadGeometryChar);
        } else if (ch == '/') {
            offsetAt(n);
            slash = true;
            n = 0;
        } else if (ch == ';') {
            if (!slash) {
                // A group separator; the number before it is the selector of
                // the group it ends, written negated ("255;" selects 1).
                lengthAt(0);
                offsetAt(0);
                if (i < kMaxColumns) {
                    if (GroupCount < kMaxGroups - 1) {
                        GroupStart[static_cast<size_t>(GroupCount)] = static_cast<uint8_t>(i + 1);
                        GroupSel[static_cast<size_t>(GroupCount)] = static_cast<uint8_t>((256 - n) & 0xFF);
                        ++GroupCount;
                    } else {
                        flags |= GeometryFlag::TooManyGroups; // merged into the last group
                    }
                }
            } else {
                int style = n;
                if (style > kMaxDividerStyle) {
                    style = kMaxDividerStyle;
                    flags |= GeometryFlag::DividerStyle;
                } else if (style < 1) {
                    style = 1;
                    flags |= GeometryFlag::BadGeometryChar;
                }
                offsetAt(0);
                lengthAt(256 - style);
            }
            completeColumn();
        } else if (ch == ',') {
            if (slash)
                lengthAt(n);
            else
                offsetAt(n);
            completeColumn();
        } else {
            flags |= GeometryFlag::BadGeometryChar;
        }
    }
    ColumnCount = i;
    ColLength[static_cast<size_t>(i)] = 0;
    GroupStart[static_cast<size_t>(GroupCount)] = static_cast<uint8_t>(i);
    return flags;
}

// The order of the columns and their widths from the order text.
uint32_t GridLayout::ParseOrder(std::string_view order)
{
    uint32_t flags = 0;
    std::string o(order);
    if (!o.empty() && o.back() != ',' && o.back() != ';')
        o += ',';
    int k = 0;
    int n = 0;
    bool slash = false;
    for (char ch : o) {
        if (IsDigit(ch)) {
            AddDigit(n, ch, flags, GeometryFlag::BadOrderChar);
        } else if (ch == '/') {
            if (k < kMaxColumns)
                OrderCol[static_cast<size_t>(k)] = static_cast<uint8_t>(n);
            slash = true;
            n = 0;
        } else if (ch == ',' || ch == ';') {
            if (k < kMaxColumns) {
                if (slash) {
                    OrderWidth[static_cast<size_t>(k)] = static_cast<uint8_t>(n);
                } else {
                    OrderCol[static_cast<size_t>(k)] = static_cast<uint8_t>(n);
                    OrderWidth[static_cast<size_t>(k)] = 255;
                }
                ++k;
            } else {
                flags |= GeometryFlag::TooManyOrder;
            }
            slash = false;
            n = 0;
        } else {
            flags |= GeometryFlag::BadOrderChar;
        }
    }
    OrderCount = k;
    return flags;
}

void GridLayout::ComputeVisibleLines()
{
    const int frame = Ctl3D ? 2 : 0;
    int lines = (Height - frame - 1) / RowHeight - 1;
    if (lines > kMaxVisibleLines) {
        lines = kMaxVisibleLines;
        Height = RowHeight * kMaxLines + 1 + frame;
    }
    VisibleLines = std::max(0, lines);
}

void GridLayout::SetWidth(int width)
{
    if (width == Width)
        return;
    Width = width;
    LayoutColumns();
}

int GridLayout::SetHeight(int height)
{
    Height = height;
    ComputeVisibleLines();
    return Height;
}

void GridLayout::SetCtl3D(bool on)
{
    Ctl3D = on;
    ComputeVisibleLines();
    LayoutColumns();
}

void GridLayout::SetHScroll(bool on)
{
    HScroll = on;
    LayoutColumns();
}

void GridLayout::SetTreeMode(bool on)
{
    TreeOn = on;
    LayoutColumns();
}

void GridLayout::SetTreeWidth(int cells)
{
    TreeWidth = std::clamp(cells * (RowHeight - 2), 0, 255);
}

bool GridLayout::SetHOffset(int x)
{
    x = std::max(0, x);
    if (x == HOffset)
        return false;
    HOffset = x;
    return true;
}

// ------------------------------------------------------------------ Layout

std::pair<int, int> GridLayout::GroupColumns(int g) const
{
    const int first = g == 0 ? 0 : GroupStart[static_cast<size_t>(g - 1)];
    const int end = GroupStart[static_cast<size_t>(g)];
    return {std::min(first, ColumnCount), std::min(std::max(end, first), ColumnCount)};
}

std::pair<int, int> GridLayout::GroupSlots(int group) const
{
    const auto [first, end] = GroupColumns(group);
    int s = 0;
    while (s < static_cast<int>(slots_.size()) && slots_[static_cast<size_t>(s)].col < first)
        ++s;
    int e = s;
    while (e < static_cast<int>(slots_.size()) && slots_[static_cast<size_t>(e)].col < end)
        ++e;
    return {s, e};
}

void GridLayout::LayoutColumns()
{
    DividerStop.fill(0);
    const int available = Width - (TreeOn ? TreeWidth + 1 : 0);
    slots_.clear();
    TotalWidth = 0;
    if (HScroll) {
        // The second pass aligns the dividers at the stops the first found.
        for (int pass = 0; pass < 2; ++pass) {
            slots_.clear();
            TotalWidth = 0;
            for (int g = 0; g <= GroupCount; ++g)
                LayoutNatural(g);
        }
        VisibleWidth = TotalWidth;
        if (TotalWidth < HOffset + available)
            HOffset = std::max(0, TotalWidth - available);
    } else {
        int x = X0();
        const auto [first0, end0] = GroupColumns(0);
        LayoutByOrder(slots_, first0, end0, false, available, CharWidth, available, x);
        TotalWidth = x;
        for (int g = 1; g <= GroupCount; ++g) {
            const auto [first, end] = GroupColumns(g);
            x = X0();
            int segment = first;
            for (int j = first; j < end; ++j) {
                if (!IsDivider(j))
                    continue;
                const int stop = DividerStop[static_cast<size_t>(DividerStyleOf(j))];
                if (stop == 0)
                    continue;
                LayoutByOrder(slots_, segment, j, false, available, CharWidth, stop, x);
                segment = j + 1;
            }
            LayoutByOrder(slots_, segment, end, false, available, CharWidth, available, x);
            TotalWidth = std::max(TotalWidth, x);
        }
        VisibleWidth = TotalWidth;
    }
    Equalise();
    if (available < VisibleWidth + 2)
        VisibleWidth = available - 1;
}

void GridLayout::Equalise()
{
    for (int g = 0; g <= GroupCount; ++g) {
        const auto [s, e] = GroupSlots(g);
        if (s == e)
            continue;
        int sum = X0();
        for (int k = s; k < e; ++k)
            sum += slots_[static_cast<size_t>(k)].width + 1;
        if (sum < VisibleWidth)
            slots_[static_cast<size_t>(e - 1)].width += VisibleWidth - sum;
    }
}

void GridLayout::LayoutNatural(int group)
{
    const auto [first, end] = GroupColumns(group);
    int x = X0();
    int previous = -1;
    for (int j = first; j < end; ++j) {
        const int length = ColLength[static_cast<size_t>(j)];
        if (IsTextColumn(j)) {
            const int w = RoundEven((length + 0.5) * CharWidth * 1.2);
            slots_.push_back({static_cast<uint8_t>(j), w});
            previous = static_cast<int>(slots_.size()) - 1;
            x += w + 1;
        } else if (IsSpacer(j)) {
            const int d = RoundEven(length * CharWidth * 0.4);
            if (previous >= 0)
                slots_[static_cast<size_t>(previous)].width += d;
            x += d;
        } else if (IsDivider(j)) {
            int& stop = DividerStop[static_cast<size_t>(DividerStyleOf(j))];
            if (x < stop) {
                if (previous >= 0)
                    slots_[static_cast<size_t>(previous)].width += stop - x;
                x = stop;
            } else {
                stop = x;
            }
        }
    }
    TotalWidth = std::max(TotalWidth, x);
}

void GridLayout::LayoutByOrder(std::vector<Slot>& row, int first, int end, bool print, int totalLimit, int cw,
                               int limit, int& x)
{
    const int start = x;
    auto inRange = [&](const Slot& s) { return s.col >= first && s.col < end; };
    for (int k = 0; k < OrderCount && x < limit; ++k) {
        const int c = OrderCol[static_cast<size_t>(k)];
        if (c < first || c >= end || c >= ColumnCount || !IsTextColumn(c))
            continue;
        int m = OrderWidth[static_cast<size_t>(k)];
        if (m == 255) {
            m = 3 * ColLength[static_cast<size_t>(c)];
            if (c + 1 < ColumnCount && IsSpacer(c + 1))
                m += ColLength[static_cast<size_t>(c + 1)];
        }
        int o = RoundEven((m + (print ? 3.5 : 1.5)) * cw * 0.4);
        auto it = std::find_if(row.begin(), row.end(), [&](const Slot& s) { return s.col == c; });
        if (it != row.end()) {
            const int old = it->width;
            o = std::min(o, limit - (x - old) - 1);
            if (o < 1)
                continue;
            x += o - old;
            it->width = o;
            continue;
        }
        if (x + o + 1 > limit)
            o = limit - x - 1;
        if (o <= 0)
            continue;
        auto at = std::find_if(row.begin(), row.end(), [&](const Slot& s) { return s.col > c; });
        row.insert(at, Slot{static_cast<uint8_t>(c), o});
        x += o + 1;
    }
    if (std::none_of(row.begin(), row.end(), inRange)) {
        int c = first;
        while (c < end && !IsTextColumn(c))
            ++c;
        if (c < end && limit - x - 1 > 0) {
            auto at = std::find_if(row.begin(), row.end(), [&](const Slot& s) { return s.col > c; });
            row.insert(at, Slot{static_cast<uint8_t>(c), limit - x - 1});
            x = limit;
        }
    }
    // The slot after a divider fixes where that divider stands for the
    // groups below.
    int left = start;
    Slot* last = nullptr;
    for (Slot& s : row) {
        if (!inRange(s))
            continue;
        if (s.col > 0 && IsDivider(s.col - 1)) {
            int& stop = DividerStop[static_cast<size_t>(DividerStyleOf(s.col - 1))];
            if (stop == 0 && left > 3)
                stop = left;
        }
        left += s.width + 1;
        last = &s;
    }
    if (limit < totalLimit && x < limit && last != nullptr) {
        last->width += limit - x;
        x = limit;
    }
}

void GridLayout::PrintLayout(int pageWidth, int lineHeight, int charWidth)
{
    PrintRowHeight = lineHeight;
    PrintCharWidth = std::max(1, charWidth);
    PrintWidth = pageWidth;
    const auto screenStops = DividerStop;
    printSlots_.clear();
    for (int g = 0; g <= GroupCount; ++g) {
        const auto [first, end] = GroupColumns(g);
        int x = 0;
        LayoutByOrder(printSlots_, first, end, true, pageWidth, PrintCharWidth, pageWidth, x);
    }
    DividerStop = screenStops;
}

// ------------------------------------------------------------------ Lines

uint8_t GridLayout::SelectorOf(uint8_t status)
{
    if (status & RowStatus::Span)
        status &= static_cast<uint8_t>(~RowStatus::SpanSlotMask);
    return status & RowStatus::SelectorMask;
}

int GridLayout::SpanSlotOf(uint8_t status)
{
    return (status & RowStatus::Span) ? (status & RowStatus::SpanSlotMask) : -1;
}

void GridLayout::BeginLines()
{
    linesUsed_ = 0;
    lines_.fill(Line{});
    lastPlaced_ = -1;
    nextRow_ = 0;
}

bool GridLayout::PlaceRow(uint8_t r, uint8_t status)
{
    if (r == 0 ? lastPlaced_ != -1 : lastPlaced_ != r - 1)
        return false;
    lastPlaced_ = r;
    const uint8_t selector = SelectorOf(status);
    for (int g = 0; g <= GroupCount && linesUsed_ <= VisibleLines; ++g) {
        if (GroupSel[static_cast<size_t>(g)] != selector)
            continue;
        lines_[static_cast<size_t>(linesUsed_)] = Line{r, static_cast<uint8_t>(g), GroupSlots(g).first};
        ++linesUsed_;
    }
    return true;
}

int GridLayout::FirstLineOf(uint8_t r) const
{
    for (int l = 0; l < linesUsed_; ++l)
        if (lines_[static_cast<size_t>(l)].row == r)
            return l;
    return -1;
}

int GridLayout::LineCountOf(uint8_t r) const
{
    int n = 0;
    for (int l = 0; l < linesUsed_; ++l)
        n += lines_[static_cast<size_t>(l)].row == r ? 1 : 0;
    return n;
}

int GridLayout::RowLeft() const
{
    return TreeOn ? TreeWidth + 3 : 2;
}

int GridLayout::RowRight() const
{
    return TreeOn ? VisibleWidth + TreeWidth : VisibleWidth - 1;
}

int GridLayout::LineStartX() const
{
    return X0() - (HScroll ? HOffset : 0) + (TreeOn ? TreeWidth + 1 : 0);
}

int GridLayout::LineTop(int line) const
{
    return line * RowHeight + X0();
}

// --------------------------------------------------------------- Hit tests

int GridLayout::RowAt(int x, int y) const
{
    const int right = VisibleWidth + (TreeOn ? TreeWidth + 1 : 0);
    const int dy = y - X0();
    const int line = dy >= 0 ? dy / RowHeight : -1;
    if (x < right && line >= 0 && line < linesUsed_)
        return lines_[static_cast<size_t>(line)].row;
    return VisibleLines + 1;
}

int GridLayout::CellAt(int x, int y, int& width, int& left) const
{
    const int right = VisibleWidth + (TreeOn ? TreeWidth + 1 : 0);
    const int dy = y - X0();
    const int line = dy >= 0 ? dy / RowHeight : -1;
    if (x >= right || line < 0 || line >= linesUsed_)
        return 0;
    if (TreeOn && x < TreeWidth) {
        const int cell = std::max(1, RowHeight - 2);
        left = x / cell + 1;
        width = cell;
        return 255;
    }
    const Line& l = lines_[static_cast<size_t>(line)];
    const auto [s, e] = GroupSlots(l.group);
    int at = LineStartX();
    for (int k = s; k < e; ++k) {
        const Slot& slot = slots_[static_cast<size_t>(k)];
        if (x < at)
            return 0;
        if (x < at + slot.width) {
            width = slot.width;
            left = at;
            return slot.col + 1;
        }
        at += slot.width + 1;
    }
    return 0;
}

// ------------------------------------------------------------------- Cells

std::string_view GridLayout::CellText(std::string_view text, int colPlus1) const
{
    const int c = colPlus1 - 1;
    if (c < 0 || c >= ColumnCount)
        return {};
    const size_t offset = ColOffset[static_cast<size_t>(c)];
    if (offset == 0 || offset - 1 >= text.size())
        return {};
    return text.substr(offset - 1, ColLength[static_cast<size_t>(c)]);
}

bool GridLayout::IsEmphasised(std::string_view cell)
{
    return !cell.empty() && static_cast<uint8_t>(cell[0]) < 32;
}

std::string GridLayout::ShownCell(std::string_view cell, int col) const
{
    std::string s(cell);
    if (IsEmphasised(s)) {
        const int raise = ColLength[static_cast<size_t>(col)] <= 3 ? 64 : 32;
        const int c = static_cast<uint8_t>(s[0]) + raise;
        s[0] = c == '@' ? ' ' : static_cast<char>(c);
    }
    return s;
}

// ------------------------------------------------------------------ Output

void GridLayout::CollectExportColumns()
{
    ExportCount = 0;
    for (const Slot& s : slots_) {
        if (ExportCount > 0 && ExportCol[static_cast<size_t>(ExportCount - 1)] == s.col)
            continue;
        if (ExportCount < kMaxColumns)
            ExportCol[static_cast<size_t>(ExportCount++)] = s.col;
    }
}

void GridLayout::RtfTableHead(std::string& out, int charWidth)
{
    CollectExportColumns();
    out += "\\par \\trowd \\trgaph30";
    int64_t edge = 0;
    for (int k = 0; k < ExportCount; ++k) {
        edge += int64_t{ColLength[ExportCol[static_cast<size_t>(k)]]} * charWidth * 24;
        out += "\\cellx" + std::to_string(edge);
    }
    out += "\r\n";
}

void GridLayout::RtfRow(std::string& out, std::string_view text) const
{
    out += "\\intbl";
    for (int k = 0; k < ExportCount; ++k) {
        const int col = ExportCol[static_cast<size_t>(k)];
        const std::string_view cell = CellText(text, col + 1);
        out += '{';
        if (IsEmphasised(cell))
            out += "\\b ";
        AppendRtfEscaped(out, KamToWin(ShownCell(cell, col)));
        out += "}\\cell";
    }
    out += "\\row\r\n";
}

void GridLayout::TextRow(std::string& out, std::string_view text, int type) const
{
    const size_t begin = out.size();
    for (int k = 0; k < ExportCount; ++k) {
        const int col = ExportCol[static_cast<size_t>(k)];
        std::string cell = KamToWin(ShownCell(CellText(text, col + 1), col));
        if (type == 1) {
            out += cell;
            out += ' ';
            continue;
        }
        cell = std::string(TrimRightBlanks(cell));
        if (type == 2 && cell.find_first_of(";\"\r\n") != std::string::npos) {
            std::string quoted = "\"";
            for (char c : cell) {
                quoted += c;
                if (c == '"')
                    quoted += '"';
            }
            cell = quoted + '"';
        }
        out += cell;
        out += type == 2 ? ';' : '\t';
    }
    if (out.size() > begin)
        out.pop_back();
    out += "\r\n";
}
