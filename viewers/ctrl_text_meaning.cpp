#include "viewers/ctrl_text_meaning.h"

#include <algorithm>

namespace {

int FirstValue(std::string_view text, const CtrlItem& item)
{
    return CtrlPairValue(text, item, 0);
}

} // namespace

int Code18Style(int v)
{
    const int s = v % 32;
    return s >= 16 ? 0 : s;
}

int Code19Style(int v, const CtrlParagraphRules& rules)
{
    if (rules.ignoreStyleMap || v >= 11)
        return DefaultStyle(rules.styleMap);
    if (v == 0)
        return DefaultStyle(rules.styleMap);
    return rules.styleMap[static_cast<size_t>(v)] & 0x0F;
}

CtrlParagraphStart ParagraphStartAt(std::string_view text, const CtrlItem& item,
                                    const CtrlParagraphRules& rules, bool insideTable)
{
    CtrlParagraphStart p;
    p.offset = item.offset;
    if (item.IsText() || item.truncated)
        return p;
    CtrlItem next;
    const bool hasNext = CtrlItemAt(text, item.End(), next);
    const bool textFollows = hasNext && next.IsText();
    const int def = DefaultStyle(rules.styleMap);

    switch (item.code) {
    case 1:
    case 2:
    case 3:
        p.starts = true;
        p.bulletLevel = item.code;
        p.style = 4 + item.code;
        break;
    case 4:
        if (textFollows ||
            (hasNext && (next.IsCode(20) || next.IsCode(25) || next.IsCode(26) || next.IsCode(27)))) {
            p.starts = true;
            p.style = def;
        }
        break;
    case 5:
        if (textFollows || (hasNext && next.IsCode(20))) {
            p.starts = true;
            p.style = 2;
        }
        break;
    case 12:
        if (textFollows) {
            p.starts = true;
            p.style = def;
            p.offset = next.offset;
        }
        break;
    case 14:
        if (!insideTable) {
            p.starts = true;
            p.style = def;
        }
        break;
    case 18:
        p.starts = true;
        p.value = FirstValue(text, item);
        p.style = Code18Style(p.value);
        break;
    case 19:
        p.starts = true;
        p.value = FirstValue(text, item);
        p.style = Code19Style(p.value, rules);
        break;
    case 21:
        p.starts = true;
        p.numbered = true;
        p.value = FirstValue(text, item);
        p.style = 5 + NumberedItemLevel(p.value);
        break;
    default: break;
    }
    return p;
}

CtrlFontFlags FontFlagsOf(int value)
{
    CtrlFontFlags f;
    f.bold = (value & 0x101) != 0;
    f.italic = (value & 0x002) != 0;
    f.underline = (value & 0x004) != 0;
    f.highlight = (value & 0x008) != 0;
    f.superscript = (value & 0x010) != 0;
    f.subscript = (value & 0x020) != 0;
    return f;
}

int NumberedItemLevel(int v)
{
    return std::min((v >> 8) / 5, 2);
}

std::string NumberedItemLabel(int v)
{
    const int n = v & 0xFF;
    const int h = (v >> 8) & 0x0F;
    std::string label;
    if (h == 15) {
        label.push_back(static_cast<char>('0' + n / 32));
        label.push_back('.');
        label.push_back(static_cast<char>(96 + n % 32));
        return label;
    }
    const int s = h % 5;
    if (s <= 1)
        label = std::to_string(n);
    else if (s <= 3)
        label.push_back(static_cast<char>(64 + n));
    else
        label.push_back(static_cast<char>(96 + n));
    label.push_back(s % 2 == 0 ? ')' : '.');
    return label;
}

int DefaultColumnWidth(int column)
{
    return 480 / (column + 1);
}

CtrlTableDef TableDefOf(std::string_view text, const CtrlItem& item)
{
    CtrlTableDef d;
    const int pairs = item.PairCount();
    const int p1 = CtrlPairValue(text, item, 0);
    const int p2 = CtrlPairValue(text, item, 1);
    d.headerRows = p1 & 7;
    d.grid = (p1 & 8) != 0;
    d.headerAttr = p1 & 0xFF0;
    d.headerColumns = p2 & 0x0F;
    d.bodyAttr = p2 & 0xFF0;
    d.ruled = p1 == 160 && p2 == 145;
    d.columns = std::clamp(pairs - 2, 0, kCtrlMaxColumns);
    for (int i = 0; i < kCtrlMaxColumns; ++i)
        d.widths[static_cast<size_t>(i)] =
            i < d.columns ? CtrlPairValue(text, item, 2 + i) : DefaultColumnWidth(i + 1);
    return d;
}

bool EndsTable(uint8_t code)
{
    switch (code) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 10:
    case 12:
    case 18:
    case 19:
    case 21:
    case 24: return true;
    default: return false;
    }
}

void CtrlTableTracker::Feed(std::string_view text, const CtrlItem& item)
{
    if (item.IsText())
        return;
    const uint8_t code = item.code;
    if (inTable_ && EndsTable(code)) {
        inTable_ = false;
        row_ = 0;
        column_ = 0;
    }
    if (code == 4) {
        ++counter_;
        open_ = false;
        return;
    }
    if (code == 24) {
        // A table that ended without a code 4 keeps its number: the new
        // definition takes the next one, so earlier rows keep theirs.
        if (open_)
            ++counter_;
        def_ = TableDefOf(text, item);
        open_ = true;
        inTable_ = true;
        row_ = 0;
        column_ = 0;
        cellAttr_ = 0;
        return;
    }
    if (!inTable_)
        return;
    switch (code) {
    case 11:
    case 22:
        ++row_;
        column_ = 0;
        cellAttr_ =
            ResolveCellAttribute(code == 11 ? 15 : CtrlPairValue(text, item, 0), def_, HeaderRow(), column_);
        break;
    case 6:
    case 23:
        column_ += CellSpan(cellAttr_);
        cellAttr_ =
            ResolveCellAttribute(code == 6 ? 15 : CtrlPairValue(text, item, 0), def_, HeaderRow(), column_);
        break;
    default: break;
    }
}

int ResolveCellAttribute(int attr, const CtrlTableDef& def, bool headerRow, int column)
{
    if (attr != 15)
        return attr;
    return headerRow || column < def.headerColumns ? def.headerAttr : def.bodyAttr;
}

int CellSpan(int attr)
{
    const int s = attr & 0x0F;
    return s == 0 || s == 15 ? 1 : s;
}

int CellAlignment(int attr)
{
    return (attr >> 4) & 7;
}

int CellRule(int attr)
{
    return (attr >> 7) & 3;
}

int CellFontFlags(int attr)
{
    return (attr >> 9) & 7;
}

CtrlLink LinkOf(std::string_view text, const CtrlItem& item)
{
    CtrlLink link;
    link.parameter = CtrlStringParam(text, item, 0);
    const int pairs = item.PairCount();
    if (pairs == 3)
        link.kind = CtrlLinkKind::HelpTopic;
    else if (pairs == 1)
        link.kind =
            !link.parameter.empty() && link.parameter[0] == '@' ? CtrlLinkKind::Email : CtrlLinkKind::Web;
    return link;
}
