// The layout and measuring passes of the rich-text engine, column fitting
// and word wrap.

#include <algorithm>
#include <new>

#include "datastore/kamenici.h"
#include "datastore/text_helpers.h"
#include "frame/pages/page.h"
#include "viewers/ctrl_view.h"

const ParagraphStyleTable& ProgramParagraphStyles()
{
    // above, below, first indent, next indent, 4, 5, tab, align, type
    static const ParagraphStyleTable table = {{
        {4, 4, 0, 0, 4, 8, 12, 0, 0},
        {5, 3, 2, 0, 4, 8, 12, 0, 0},
        {2, 4, 4, 4, 8, 12, 16, 0, 0},
        {8, 8, 2, 2, 6, 10, 14, 0, 4},
        {0, 0, 2, 2, 14, 18, 0, 1, 0},
        {0, 0, 0, 4, 4, 8, 12, 0, 0},
        {0, 0, 4, 8, 8, 12, 16, 0, 0},
        {0, 0, 8, 12, 12, 16, 20, 0, 0},
        {12, 8, 0, 0, 4, 8, 12, 2, 1},
        {8, 4, 0, 0, 12, 16, 0, 2, 3},
        {8, 0, 0, 4, 8, 12, 16, 0, 2},
        {8, 0, 0, 6, 8, 12, 16, 0, 1},
        {20, 0, 0, 0, 4, 8, 12, 0, 0},
        {0, 3, 2, 4, 8, 12, 18, 0, 2},
        {0, 0, 4, 4, 8, 12, 16, 0, 0},
        {0, 0, 4, 4, 8, 12, 16, 0, 0},
    }};
    return table;
}

std::string_view CtrlTextView::LineText(int line) const
{
    if (line < 1 || line > lineCount || static_cast<size_t>(line) >= lines.size())
        return {};
    const int from = lines[static_cast<size_t>(line - 1)].start - 1;
    const int to = lines[static_cast<size_t>(line)].start - 1;
    const int size = static_cast<int>(text.size());
    if (from < 0 || from >= size || to <= from)
        return {};
    return std::string_view(text).substr(static_cast<size_t>(from),
                                         static_cast<size_t>(std::min(to, size) - from));
}

// ------------------------------------------------------------------- cache

void CtrlLayoutCache::Bind(const Canvas* canvas, const CanvasFont& font)
{
    if (canvas == canvas_ && font == font_)
        return;
    canvas_ = canvas;
    font_ = font;
    widths_.clear();
    rows_.clear();
}

std::string CtrlLayoutCache::WidthKey(int size, int style, std::string_view piece)
{
    std::string key;
    key.reserve(piece.size() + 3);
    key.push_back(static_cast<char>(size & 0xFF));
    key.push_back(static_cast<char>((size >> 8) & 0xFF));
    key.push_back(static_cast<char>(style));
    key.append(piece);
    return key;
}

int CtrlLayoutCache::PieceWidth(int size, int style, std::string_view piece) const
{
    const auto it = widths_.find(WidthKey(size, style, piece));
    return it == widths_.end() ? -1 : it->second;
}

void CtrlLayoutCache::StorePieceWidth(int size, int style, std::string_view piece, int width)
{
    // A bound on what one text can fill it with.
    if (widths_.size() > 200000)
        widths_.clear();
    widths_.emplace(WidthKey(size, style, piece), width);
}

namespace {

uint64_t RowsKey(int line, int start, int width)
{
    return (uint64_t(uint32_t(line) & 0x1FFF) << 51) | (uint64_t(uint32_t(start) & 0xFFFFF) << 31) |
           (uint64_t(uint32_t(width)) & 0x7FFFFFFF);
}

} // namespace

const CtrlLayoutCache::Segment* CtrlLayoutCache::Rows(int line, int start, int width) const
{
    const auto it = rows_.find(RowsKey(line, start, width));
    return it == rows_.end() ? nullptr : &it->second;
}

void CtrlLayoutCache::StoreRows(int line, int start, int width, Segment segment)
{
    rows_[RowsKey(line, start, width)] = std::move(segment);
}

// ------------------------------------------------------------------ layout

namespace {

// Adds line records, stopping once the table is full.
class LineAdder {
public:
    explicit LineAdder(CtrlTextView& v) : v_(v) {}
    // False when the line would be the 5200th record (the end record's).
    bool Add(int offset, uint8_t kind)
    {
        if (v_.lineCount + 1 >= kCtrlMaxLines) {
            full_ = offset;
            return false;
        }
        v_.lines.push_back({offset + 1, kind, 0, 0});
        ++v_.lineCount;
        return true;
    }
    void End(int offset) { v_.lines.push_back({offset + 1, CtrlLineKind::End, 0, 0}); }
    int FullAt() const { return full_; }

private:
    CtrlTextView& v_;
    int full_ = 0;
};

} // namespace

int LayoutCtrlText(CtrlTextView& view)
{
    if (!view.lineTable) {
        try {
            view.lines.reserve(kCtrlMaxLines);
        } catch (const std::bad_alloc&) {
            return CtrlLayoutResult::NoMemory;
        }
        view.lineTable = true;
    }
    view.lines.clear();
    view.lineCount = 0;
    view.tableCounter = 0;
    view.measuredWidth = 0;
    view.totalRows = 0;
    view.totalHeight = 0;
    view.cache.ClearRows();
    for (CtrlViewTable& t : view.tables)
        t = CtrlViewTable{};

    // The text up to its first code 0; past the addressable length it is cut
    // there and the result says the text was not laid out whole.
    std::string_view text = CtrlTextUpToEnd(view.text);
    bool cut = false;
    if (text.size() > static_cast<size_t>(kCtrlMaxTextLength)) {
        text = text.substr(0, static_cast<size_t>(CtrlLastWholeItemEnd(text, kCtrlMaxTextLength)));
        cut = true;
    }
    if (text.empty()) {
        LineAdder(view).End(0);
        return CtrlLayoutResult::Done;
    }

    CtrlParagraphRules rules;
    rules.styleMap = view.styleMap;
    rules.ignoreStyleMap = view.mapMode == 2;
    LineAdder add(view);
    bool open = false; // a definition not yet closed by a code 4

    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Peek(item)) {
        if (item.IsText() || item.truncated) {
            walk.Next(item);
            continue;
        }
        if (item.code == 24) {
            // A table that ended without its code 4 keeps its number: the new
            // definition takes the next, so the earlier rows keep their widths.
            if (open)
                ++view.tableCounter;
            if (view.tableCounter > kCtrlMaxTables - 1) {
                add.End(item.offset);
                return CtrlLayoutResult::TooManyTables;
            }
            const int t = view.tableCounter;
            CtrlViewTable& table = view.tables[static_cast<size_t>(t)];
            table.def = TableDefOf(text, item);
            table.defined = true;
            table.flags = static_cast<uint8_t>((table.def.ruled ? 0x80 : 0) | (table.def.grid ? 1 : 0));
            open = true;
            walk.Next(item);
            int rows = 0;
            while (walk.Peek(item)) {
                if (!item.IsText() && EndsTable(item.code))
                    break;
                if (item.IsCode(11) || item.IsCode(22)) {
                    ++rows;
                    const uint8_t kind = static_cast<uint8_t>(
                        (rows <= table.def.headerRows ? CtrlLineKind::HeaderRow : CtrlLineKind::TableRow) +
                        t);
                    if (!add.Add(item.offset, kind)) {
                        add.End(add.FullAt());
                        return CtrlLayoutResult::TooManyLines;
                    }
                }
                walk.Next(item);
                if (item.truncated)
                    break;
            }
            continue;
        }
        if (item.code == 4) {
            ++view.tableCounter;
            open = false;
        }
        const CtrlParagraphStart p = ParagraphStartAt(text, item, rules, false);
        if (p.starts && !add.Add(p.offset, static_cast<uint8_t>(p.style))) {
            add.End(add.FullAt());
            return CtrlLayoutResult::TooManyLines;
        }
        walk.Next(item);
    }
    add.End(static_cast<int>(text.size()));
    return cut ? CtrlLayoutResult::TooManyLines : CtrlLayoutResult::Done;
}

void FreeCtrlText(CtrlTextView& view)
{
    std::vector<CtrlLineRecord>().swap(view.lines);
    view.lineTable = false;
    view.lineCount = 0;
    view.measuredWidth = 0;
}

// ----------------------------------------------------------------- fitting

int32_t FitTableColumns(CtrlViewTable& table, int32_t available, int unit)
{
    const int k = table.Columns();
    const int64_t m = int64_t(4) * unit / 3;
    std::array<int64_t, kCtrlMaxColumns> w{};
    int64_t sum = 0;
    for (int i = 0; i < k; ++i) {
        w[static_cast<size_t>(i)] =
            std::max<int64_t>(int64_t(table.def.widths[static_cast<size_t>(i)]) * unit / 5, m);
        sum += w[static_cast<size_t>(i)];
    }
    if (sum > available) {
        const int64_t s = sum;
        sum = 0;
        for (int i = 0; i < k; ++i) {
            int64_t& wi = w[static_cast<size_t>(i)];
            wi = std::max<int64_t>(int64_t(available) * wi / (s + 2) + 1, m);
            sum += wi;
        }
        // One pixel at a time from the columns wider than the minimum.
        bool wider = true;
        while (sum > available && wider) {
            wider = false;
            for (int i = 0; i < k && sum > available; ++i)
                if (w[static_cast<size_t>(i)] > m) {
                    --w[static_cast<size_t>(i)];
                    --sum;
                    wider = true;
                }
        }
    }
    for (int i = 0; i < kCtrlMaxColumns; ++i)
        table.columnWidths[static_cast<size_t>(i)] =
            i < k ? static_cast<int32_t>(w[static_cast<size_t>(i)]) : 0;
    table.width = static_cast<int32_t>(sum + int64_t(k) * unit);
    table.fitted = true;
    return table.width;
}

// --------------------------------------------------------------- measuring

void TakeCtrlMetrics(CtrlTextView& view)
{
    if (view.canvas == nullptr)
        return;
    Canvas& c = *view.canvas;
    c.SetFont(view.font);
    view.lineHeight = c.TextHeight("0");
    view.unit = c.TextWidth(kSampleSentence) / 64;
    view.currentLineHeight = view.lineHeight;
    view.currentUnit = view.unit;
}

int32_t MeasureCtrlText(CtrlTextView& view, int32_t width)
{
    TakeCtrlMetrics(view);
    view.cache.Bind(view.canvas, view.font);
    view.cache.ClearRows();
    if (!view.lineTable || view.canvas == nullptr)
        return 0;
    const int u = view.unit;
    for (CtrlViewTable& t : view.tables) {
        if (!t.defined)
            continue;
        const int64_t available = int64_t(width) - int64_t(view.styles[0].nextIndent + t.Columns() + 1) * u;
        if (available > int64_t(10) * u) {
            FitTableColumns(t, static_cast<int32_t>(available), u);
        } else if (!t.fitted) {
            // Never fitted: the least width a column may have.
            const int32_t m = 4 * u / 3;
            for (int i = 0; i < kCtrlMaxColumns; ++i)
                t.columnWidths[static_cast<size_t>(i)] = i < t.Columns() ? m : 0;
            t.width = m * t.Columns() + t.Columns() * u;
            t.fitted = true;
        }
    }
    view.totalRows = 0;
    view.totalHeight = 0;
    Rect r{0, 0, width, 32000};
    for (int line = 1; line <= view.lineCount; ++line) {
        CtrlPaintRequest req{line, CtrlPaintMode::Measure, 0};
        PaintCtrlText(view, req, {}, r);
        const CtrlLineRecord& rec = view.lines[static_cast<size_t>(line - 1)];
        view.totalRows += rec.rows;
        view.totalHeight += rec.height;
    }
    view.measuredWidth = width;
    return r.top;
}

// -------------------------------------------------------------------- wrap

int FitText(Canvas& canvas, std::string_view text, int width)
{
    if (text.empty())
        return 1;
    // The largest f whose first f characters fit; at least one.
    int lo = 1;
    int hi = static_cast<int>(text.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (CtrlTextWidth(canvas, text.substr(0, static_cast<size_t>(mid))) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo + 1;
}

namespace {

uint8_t ByteAt(std::string_view s, int i)
{
    return static_cast<uint8_t>(s[static_cast<size_t>(i)]);
}

// Sets the canvas font for measuring text of the flags (size, bold, italic).
void MeasuringFont(Canvas& c, const CtrlSegmentStyle& st, int flags)
{
    const CtrlFontFlags f = FontFlagsOf(flags);
    int size = st.fontSize;
    if (f.superscript || f.subscript)
        size = 3 * size / 4;
    c.SetFontSize(size);
    c.SetBold(f.bold || st.headingBold);
    c.SetItalic(f.italic);
}

// The width of a piece of text without its trailing characters below 33.
int PieceWidth(Canvas& c, std::string_view piece, CtrlLayoutCache* cache)
{
    size_t n = piece.size();
    while (n > 0 && static_cast<uint8_t>(piece[n - 1]) < 33)
        --n;
    if (n == 0)
        return 0;
    piece = piece.substr(0, n);
    const CanvasFont& f = c.Font();
    if (cache) {
        const int known = cache->PieceWidth(f.size, (f.bold ? 1 : 0) | (f.italic ? 2 : 0), piece);
        if (known >= 0)
            return known;
    }
    const int w = CtrlTextWidth(c, piece);
    if (cache)
        cache->StorePieceWidth(f.size, (f.bold ? 1 : 0) | (f.italic ? 2 : 0), piece, w);
    return w;
}

struct Word {
    int start = 0;      // offset of its first byte
    int end = 0;        // after its trailing blanks and codes
    int flags = 0;      // font flags at its start
    bool empty = false; // a forced row end (code 13)
};

// Where a segment ends: the text's end, a byte 0, a code 6 or 23, or a code
// 19 that is not its first item.
bool EndsSegment(const CtrlItem& item, int segmentStart)
{
    if (item.IsText())
        return false;
    return item.code == 0 || item.code == 6 || item.code == 23 ||
           (item.code == 19 && item.offset != segmentStart);
}

// Text bytes of [from, to) with the codes left out, and the offset of each
// kept byte.
void TextBytes(std::string_view text, int from, int to, std::string& bytes, std::vector<int>& at)
{
    bytes.clear();
    at.clear();
    CtrlTokenizer walk(text.substr(0, static_cast<size_t>(to)), from);
    CtrlItem item;
    while (walk.Next(item)) {
        if (!item.IsText())
            continue;
        for (int i = item.offset; i < item.End(); ++i) {
            bytes.push_back(text[static_cast<size_t>(i)]);
            at.push_back(i);
        }
    }
}

// The width of [from, to): its text pieces between codes, each without its
// trailing blanks, with the font flags the codes set.
int RangeWidth(Canvas& c, std::string_view text, int from, int to, const CtrlSegmentStyle& st, int& flags,
               CtrlLayoutCache* cache)
{
    int w = 0;
    MeasuringFont(c, st, flags);
    CtrlTokenizer walk(text.substr(0, static_cast<size_t>(to)), from);
    CtrlItem item;
    while (walk.Next(item)) {
        if (item.IsText()) {
            w += PieceWidth(
                c, text.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length)), cache);
        } else if (item.IsCode(20)) {
            flags = CtrlPairValue(text, item, 0);
            MeasuringFont(c, st, flags);
        }
    }
    return w;
}

} // namespace

std::vector<CtrlWrapRow> WrapCtrlTextSegment(Canvas& canvas, std::string_view text, int start, int left,
                                             int right, const CtrlSegmentStyle& st, int* segmentEnd,
                                             CtrlLayoutCache* cache)
{
    const CanvasFont saved = canvas.Font();
    const int u = st.unit;

    // 1: the words.
    std::vector<Word> words;
    int end = static_cast<int>(text.size());
    bool listItem = false;
    {
        CtrlTokenizer walk(text, start);
        CtrlItem item;
        int flags = st.fontFlags;
        Word cur{start, start, flags, false};
        bool inBlanks = false; // the current word has reached its trailing blanks
        bool first = true;
        while (walk.Peek(item)) {
            if (EndsSegment(item, start)) {
                end = item.offset;
                break;
            }
            walk.Next(item);
            if (first && !item.IsText() &&
                (item.code == 1 || item.code == 2 || item.code == 3 || item.code == 21))
                listItem = true;
            first = false;
            if (item.IsText()) {
                for (int i = item.offset; i < item.End(); ++i) {
                    const bool blank = ByteAt(text, i) == ' ';
                    if (!blank && inBlanks) {
                        cur.end = i;
                        words.push_back(cur);
                        cur = Word{i, i, flags, false};
                        inBlanks = false;
                    }
                    if (blank)
                        inBlanks = true;
                    cur.end = i + 1;
                }
                continue;
            }
            if (item.code == 13) {
                cur.end = item.offset;
                if (cur.end > cur.start)
                    words.push_back(cur);
                words.push_back(Word{item.offset, item.End(), flags, true});
                cur = Word{item.End(), item.End(), flags, false};
                inBlanks = false;
                continue;
            }
            const int before = flags;
            if (item.code == 20)
                flags = CtrlPairValue(text, item, 0);
            if (inBlanks) {
                // A code after the blanks starts the next word, measured
                // from the flags in force before it.
                words.push_back(cur);
                cur = Word{item.offset, item.End(), before, false};
                inBlanks = false;
            }
            cur.end = item.End();
            if (item.truncated) {
                end = item.End();
                break;
            }
        }
        if (walk.AtEnd() && end > static_cast<int>(text.size()))
            end = static_cast<int>(text.size());
        if (cur.end > cur.start)
            words.push_back(cur);
    }
    if (segmentEnd)
        *segmentEnd = end;

    // 2-4: the rows.
    std::vector<CtrlWrapRow> rows;
    const int blank = [&] {
        MeasuringFont(canvas, st, st.fontFlags);
        return CtrlTextWidth(canvas, " ");
    }();
    const int64_t avail = int64_t(right) - left - blank;
    const int nextIndent = st.style.nextIndent * u;
    int64_t x = (listItem ? st.style.nextIndent : st.style.firstIndent) * int64_t(u);
    int count = 0; // words in the row
    auto endRow = [&](int at) {
        rows.push_back({static_cast<int32_t>(x), std::max(count - 1, 0), at});
        x = nextIndent;
        count = 0;
        return static_cast<int>(rows.size()) < kCtrlMaxRows;
    };

    std::string bytes;
    std::vector<int> at;
    for (size_t wi = 0; wi < words.size(); ++wi) {
        Word w = words[wi];
        if (w.empty) {
            if (!endRow(w.end))
                break;
            continue;
        }
        bool stop = false;
        for (;;) {
            int flags = w.flags;
            const int width = RangeWidth(canvas, text, w.start, w.end, st, flags, cache);
            if (x + width <= avail) {
                x += width + (count > 0 ? blank : 0);
                ++count;
                break;
            }
            if (count > 0) {
                if (!endRow(w.start)) {
                    stop = true;
                    break;
                }
                continue;
            }
            // Alone on its row and still too wide: cut it.
            TextBytes(text, w.start, w.end, bytes, at);
            if (bytes.size() <= 1) {
                x += width;
                ++count;
                break;
            }
            const int64_t free = avail - x;
            MeasuringFont(canvas, st, w.flags);
            const int r = FitText(canvas, bytes, static_cast<int>(std::clamp<int64_t>(free, 0, INT32_MAX)));
            int keep = r - 1;
            if (free > int64_t(6) * u) {
                const int p = LineBreakPos(bytes, r);
                if (p > 2)
                    keep = p - 1;
            }
            keep = std::clamp(keep, 1, static_cast<int>(bytes.size()) - 1);
            const int cutAt = at[static_cast<size_t>(keep)];
            int f2 = w.flags;
            x += RangeWidth(canvas, text, w.start, cutAt, st, f2, cache);
            count = 1;
            if (!endRow(cutAt)) {
                stop = true;
                break;
            }
            w.start = cutAt;
            w.flags = f2;
        }
        if (stop)
            break;
    }
    if (static_cast<int>(rows.size()) < kCtrlMaxRows && (count > 0 || rows.empty()))
        rows.push_back({static_cast<int32_t>(x), std::max(count - 1, 0), end});
    canvas.SetFont(saved);
    return rows;
}
