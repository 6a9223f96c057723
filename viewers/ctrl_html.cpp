#include "viewers/ctrl_html.h"
#include "viewers/ctrl_html_converter.h"

#include <algorithm>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/start/shared_helpers.h"
#include "platform/fs.h"

namespace ctrl_html_detail {

bool Converter::Push(char letter, std::string_view opening, bool mayEmit)
{
    if (stack_.size() >= kMaxStack)
        return false;
    Entry e{letter, gate_ && mayEmit, out_.size(), out_.size()};
    if (e.emitted) {
        out_.append(opening);
        e.openEnd = out_.size();
    }
    stack_.push_back(e);
    return true;
}

void Converter::Pop()
{
    const Entry e = stack_.back();
    stack_.pop_back();
    if (const InlineStyle* s = InlineOf(e.letter))
        styleFlags_ = static_cast<uint16_t>(styleFlags_ & ~s->bit);
    if (e.letter == 'a' && linkState_ == 1)
        linkState_ = 0;
    if (!e.emitted)
        return;
    if (e.letter == 'P' && out_.size() == e.openEnd) {
        out_.resize(e.openStart); // an empty paragraph leaves nothing
        return;
    }
    out_.append(ClosingText(e.letter));
}

// Pops every entry down to and including `index`.  `wrote`: a closing
// text was written; `droppedTarget`: the entry at `index` was an empty
// paragraph taken back out of the page.
void Converter::CloseDownTo(int index, bool* wrote, bool* droppedTarget)
{
    bool any = false;
    bool dropped = false;
    while (static_cast<int>(stack_.size()) > index && !stack_.empty()) {
        const size_t before = out_.size();
        const bool last = static_cast<int>(stack_.size()) == index + 1;
        Pop();
        if (out_.size() > before)
            any = true;
        else if (out_.size() < before && last)
            dropped = true;
    }
    if (wrote)
        *wrote = any;
    if (droppedTarget)
        *droppedTarget = dropped;
}

void Converter::CloseElement(char letter)
{
    const int at = Find(letter);
    if (at < 0) {
        // Nothing of its own: it only closes what is open.
        CloseAll();
        return;
    }
    bool wrote = false;
    bool dropped = false;
    CloseDownTo(at, &wrote, &dropped);
    if (IsBlockLetter(letter) && (wrote || (gate_ && !dropped)))
        out_.append(kCrLf);
}

void Converter::CloseAll()
{
    CloseDownTo(0);
}

void Converter::CloseInnermost(std::string_view letters)
{
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
        if (letters.find(it->letter) != std::string_view::npos) {
            CloseElement(it->letter);
            return;
        }
}

void Converter::CloseListItem()
{
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        const char c = it->letter;
        if (c == 'I' || c == 'J') {
            CloseElement(c);
            return;
        }
        if (c == 'O' || c == 'U')
            return;
    }
}

// A list item cannot hold another one directly (a browser would close the
// outer one): an item still open around the new one, with no list between
// them, is closed first.
void Converter::CloseEnclosingItem()
{
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
        if (!it->emitted)
            continue;
        const char c = it->letter;
        if (c == 'I') {
            CloseElement('I');
            return;
        }
        if (InlineOf(c) == nullptr && c != 'a' && c != 'J' && c != 'P')
            return;
    }
}

void Converter::SetInlineStyle(uint16_t flags)
{
    static constexpr uint16_t kCloseOrder[] = {0x100, 0x040, 0x020, 0x010, 0x008, 0x004, 0x002, 0x001};
    const uint16_t old = styleFlags_;
    for (uint16_t bit : kCloseOrder)
        if ((old & bit) && !(flags & bit) && (styleFlags_ & bit))
            for (const auto& s : kInlineStyles)
                if (s.bit == bit) {
                    const int at = Find(s.letter);
                    if (at >= 0)
                        CloseElement(s.letter);
                    else
                        styleFlags_ = static_cast<uint16_t>(styleFlags_ & ~bit);
                }
    for (const auto& s : kInlineStyles)
        if ((flags & s.bit) && !(styleFlags_ & s.bit)) {
            if (gate_ && !EnsureCell())
                continue;
            Push(s.letter, s.open);
        }
    styleFlags_ = flags;
}

// Content between a table and its cells would be moved out of the table by
// a browser: such content opens a row and a cell first.  False when there is
// no room on the stack for them (the content is then dropped).
bool Converter::EnsureCell()
{
    const Entry* top = TopEmitted();
    if (!top || (top->letter != 'T' && top->letter != 'R'))
        return true;
    if (top->letter == 'T') {
        if (Room() < 2)
            return false;
        OpenRow();
        OpenCell(false, 0);
        return true;
    }
    if (Room() < 1)
        return false;
    OpenCell(false, 0);
    return true;
}

// A block element may not open inside a paragraph or a heading: close them
// (within the current cell) first.
void Converter::BeforeBlock()
{
    for (;;) {
        int found = -1;
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
            const Entry& e = stack_[static_cast<size_t>(i)];
            if (e.emitted && (e.letter == 'C' || e.letter == 'T'))
                break;
            if (e.emitted && IsHeadingOrParagraph(e.letter)) {
                found = i;
                break;
            }
        }
        if (found < 0)
            return;
        CloseElement(stack_[static_cast<size_t>(found)].letter);
    }
}

bool Converter::OpenBlock(char letter, std::string_view opening)
{
    BeforeBlock();
    if (gate_ && !EnsureCell())
        return false;
    return Push(letter, opening);
}

void Converter::WriteHead()
{
    out_.append("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n");
    out_.append("<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1250\">\r\n");
    std::vector<std::string> sheets;
    for (const std::string& file : in_.styleFiles) {
        std::string css;
        if (!file.empty() && ReadWholeFile(ResolvePath(file), css) == 0)
            sheets.push_back(std::move(css));
    }
    if (sheets.empty())
        return;
    out_.append("<style type=\"text/css\">\r\n");
    for (const std::string& css : sheets)
        WriteStyleLines(css);
    out_.append("</style>\r\n");
}

void Converter::WriteStyleLines(std::string_view css)
{
    size_t pos = 0;
    while (pos < css.size()) {
        size_t end = css.find('\n', pos);
        const size_t next = end == std::string::npos ? css.size() : end + 1;
        if (end == std::string::npos)
            end = css.size();
        std::string_view line(css.data() + pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const size_t font = line.find("font-");
        if (line.substr(0, 6) == "body {" && font != std::string_view::npos) {
            out_.append(line.substr(0, font));
            std::string family = in_.fontName;
            if (family.compare(0, 5, "Tarel") == 0)
                family = "Arial";
            out_.append("font-family: ");
            AppendHtmlEscaped(out_, family);
            out_.append("; font-size: ");
            out_.append(Decimal(in_.fontSize * 75 / 9));
            out_.append("%; }");
        } else {
            out_.append(line);
        }
        out_.append(kCrLf);
        pos = next;
    }
}

void Converter::Run()
{
    WriteHead();
    out_.append("</head>\r\n<body>\r\n");
    gate_ = false;
    page_.contents.clear();
    if (in_.kind == 'M' || in_.kind == 'T')
        page_.tabs = in_.presetTabs;
    else
        page_.tabs.clear();
    page_.firstTab = 0;

    CtrlTokenizer tok(text_);
    CtrlItem item;
    while (tok.Next(item)) {
        if (item.IsText()) {
            TextRun(text_.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length)));
            continue;
        }
        if (item.truncated || !ControlCode(item, tok))
            break;
    }
    gate_ = true;
    CloseAll();
    out_.append("</body>\r\n</html>\r\n");
}

bool Converter::ControlCode(const CtrlItem& item, CtrlTokenizer& tok)
{
    const int p0 = CtrlPairValue(text_, item, 0);
    switch (item.code) {
    case 0: {
        gate_ = true;
        CloseAll();
        CtrlItem next;
        return !(tok.Peek(next) && next.IsCode(0)); // two in a row end the text
    }
    case 1:
    case 2:
    case 3:
        CloseListItem();
        BeforeBlock();
        CloseEnclosingItem();
        OpenBlock('I', "<li>");
        break;
    case 4:
        CloseElement('T');
        row_ = 0;
        rule_ = false;
        break;
    case 5: CloseList(); break;
    case 6: CellCode(false, 0); break;
    case 7:
        if (linkState_ == 1 && Find('a') >= 0)
            CloseElement('a');
        linkState_ = 0;
        break;
    case 10: ListStart(tok); break;
    case 11: RowCode(false, 0); break;
    case 12: {
        // Text right after it starts a plain paragraph (as in the
        // rich-text layout); else it means nothing.
        CtrlItem next;
        if (tok.Peek(next) && next.IsText())
            PlainParagraph();
        break;
    }
    case 13: LineBreak(); break;
    case 14: PlainParagraph(); break;
    case 18: StyleParagraph(p0, item.End()); break;
    case 19: SectionParagraph(p0); break;
    case 20: SetInlineStyle(static_cast<uint16_t>(p0)); break;
    case 21: NumberedItem(p0); break;
    case 22: RowCode(true, p0); break;
    case 23: CellCode(true, p0); break;
    case 24: TableDefinition(item); break;
    case 25: Picture(item); break;
    case 26: LinkStart(item); break;
    case 31: Hint(p0, tok); break;
    default: // 8, 9, 15, 16, 17, 27, 28, 29, 30: nothing to write
        break;
    }
    return true;
}

void Converter::ListStart(CtrlTokenizer& tok)
{
    CloseParagraph();
    SetInlineStyle(0);
    CtrlItem next;
    const bool bullets = tok.Peek(next) && !next.IsText() && next.code >= 1 && next.code <= 3;
    if (bullets) {
        OpenBlock('U', "<ul>");
    } else {
        Push('O', "", false); // a list without a wrapper leaves nothing in the page
    }
}

void Converter::PlainParagraph()
{
    CloseParagraph();
    styleFlags_ = 0;
    OpenBlock('P', "<p>");
}

void Converter::LineBreak()
{
    if (gate_) {
        if (rule_)
            BeforeBlock();
        if (!EnsureCell())
            return;
    }
    Emit(rule_ ? "<hr />\r\n" : "<br />\r\n");
}

std::string Converter::HighlightedRun(std::string_view run, std::string* plain)
{
    const std::string shown = WithHardBlanks(run);
    if (plain) {
        plain->clear();
        AppendHtmlEscaped(*plain, KamToWin(run));
    }

    // Each term's first match in the shown letters, compared by capitals,
    // a hard blank as a blank; a match that overlaps an earlier one is
    // passed over for the next.
    std::string folded(shown.size(), ' ');
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto b = static_cast<unsigned char>(shown[i]);
        folded[i] = static_cast<char>(b == kHardBlank ? ' ' : Cp1250Upper(KamToWinTable[b]));
    }
    std::vector<Span> spans;
    for (const std::string& term : in_.searchTerms) {
        if (term.empty() || term.size() > folded.size())
            continue;
        std::string key(term.size(), ' ');
        for (size_t i = 0; i < term.size(); ++i) {
            const auto b = static_cast<unsigned char>(term[i]);
            key[i] = static_cast<char>(b == 0xA0 ? ' ' : Cp1250Upper(b));
        }
        size_t from = 0;
        for (;;) {
            const size_t at = folded.find(key, from);
            if (at == std::string::npos)
                break;
            const Span s{at, at + key.size()};
            const bool overlaps = std::any_of(spans.begin(), spans.end(), [&](const Span& o) {
                return s.begin < o.end && o.begin < s.end;
            });
            if (!overlaps) {
                spans.push_back(s);
                break;
            }
            from = at + 1;
        }
    }

    return EscapeShown(shown, spans);
}

void Converter::TextRun(std::string_view run)
{
    const char top = Top();
    std::string prefix;
    const char k = in_.kind;
    if (top == '1') {
        if (k == '1' || k == '2' || k == 'M' || k == 'T')
            anchorPending_ = false;
    } else if (top == '3') {
        anchorPending_ = true;
    } else if (top == '4') {
        anchorPending_ = true;
        prefix = "     ";
    }
    if (anchorPending_)
        page_.contents.push_back({prefix + KamToWin(run), Decimal(anchor_ + 1)});

    const bool autoLink = linkState_ == '@' || linkState_ == '/';
    std::string plain;
    const std::string shown = HighlightedRun(run, autoLink ? &plain : nullptr);

    if (gate_ && !EnsureCell())
        return;
    if (anchorPending_) {
        ++anchor_;
        anchorPending_ = false;
        if (LinkOpen()) {
            Emit(shown);
            return;
        }
        Emit("<a name=\"");
        Emit(Decimal(anchor_));
        Emit("\">");
        Emit(shown);
        Emit("</a>");
    } else if (autoLink && !LinkOpen()) {
        if (linkState_ == '@') {
            Emit("<a href=\"mailto:");
        } else {
            Emit("<a href=\"");
            if (plain.compare(0, 7, "http://") != 0 && plain.compare(0, 8, "https://") != 0)
                Emit("https://");
        }
        Emit(plain);
        Emit("\">");
        Emit(shown);
        Emit("</a>");
    } else {
        Emit(shown);
    }
}

void Converter::StyleParagraph(int v, int after)
{
    styleFlags_ = 0;
    std::string_view name;
    if (v >= 0 && static_cast<size_t>(3 * v + 3) <= kClassTable.size())
        name = kClassTable.substr(static_cast<size_t>(3 * v), 3);
    CloseParagraph();
    if (name == "   ") {
        OpenBlock('P', "<p>");
        return;
    }
    if (name.size() == 3 && name[0] == '<' && name[1] == 'h') {
        const char level = name[2];
        if (level == '1') {
            if (in_.filter.showAll)
                gate_ = true;
            if (++h1Count_ >= 2)
                anchorPending_ = true;
        } else if (level == '2') {
            if (in_.kind == '1' || in_.kind == '2')
                gate_ = true;
            if (++h2Count_ >= 2)
                anchorPending_ = true;
        } else {
            gate_ = true;
            // The label: the digits and points right after the code.
            std::string label;
            for (size_t i = static_cast<size_t>(after); i < text_.size(); ++i) {
                const char c = text_[i];
                if ((c < '0' || c > '9') && c != '.')
                    break;
                label.push_back(c);
            }
            std::string key = label;
            if (!key.empty() && key.back() == '.')
                key.pop_back();
            // No label, or one that names no paragraph: no section code.
            int code = label.empty() ? 0 : ParagraphKeyToCode(key);
            if (code == 0)
                code = -1;
            if ((in_.kind == 'I' || in_.kind == 'S') && !in_.filter.showAll)
                gate_ = Selected(code) != in_.filter.invert;
            if (gate_ && !label.empty()) {
                if (code > 0 && (code == in_.filter.requestedSection || code == in_.requestedParagraph))
                    page_.firstTab = static_cast<int>(page_.tabs.size());
                page_.tabs.push_back({KamToWin(label), Decimal(anchor_ + 1)});
            }
            ++headingOrdinal_;
        }
        const char opening[] = {'<', 'h', level, '>', '\0'};
        OpenBlock(level, opening);
        return;
    }
    std::string opening = "<p class=\"";
    opening.append(name);
    opening.append("\">");
    OpenBlock('P', opening);
}

void Converter::SectionParagraph(int v)
{
    CloseParagraph();
    styleFlags_ = 0;
    const int n = v % 100;
    const int code = n + (n / 10) * 6;
    bool visible = true;
    if (static_cast<size_t>(n) < in_.filter.visibility.size() &&
        in_.filter.visibility[static_cast<size_t>(n)] == '-')
        visible = false;
    else if (!in_.filter.showAll)
        visible = Selected(code) != in_.filter.invert;
    gate_ = visible;
    if (visible && ((code == in_.filter.requestedSection) ||
                    (in_.requestedTextSection != 0 && n == in_.requestedTextSection)))
        page_.firstTab = static_cast<int>(page_.tabs.size());

    std::string opening;
    if (n >= 1 && n <= 11) {
        switch (n) {
        case 3:
        case 4:
        case 6: opening = "<p class=\"pra\">"; break;
        case 10: opening = "<p class=\"n10\">"; break;
        case 11: opening = "<p class=\"n11\">"; break;
        default: opening = "<p>"; break;
        }
    } else if (in_.spcLayout) {
        opening = "<p>";
    } else {
        const auto letterOf = [n](const std::string& s) {
            return static_cast<size_t>(n) < s.size() ? s[static_cast<size_t>(n)] : '_';
        };
        const std::string abbreviation{letterOf(in_.zkr1), letterOf(in_.zkr2)};
        std::string title;
        if (in_.sectionTitle) {
            title = in_.sectionTitle(n);
        } else {
            std::string key = Decimal(n);
            if (key.size() < 2)
                key.insert(0, 1, ' ');
            title = LookupText(DataTexts, "Odst", key);
        }
        const std::string shown = KamToWin(abbreviation);
        if (visible)
            page_.tabs.push_back({shown, abbreviation});
        opening = "<p><acronym class=\"kodex\" title=\"";
        AppendHtmlEscaped(opening, KamToWin(title));
        opening.append("\">");
        const bool anchored = !LinkOpen();
        if (anchored) {
            opening.append("<a name=\"");
            AppendHtmlEscaped(opening, abbreviation);
            opening.append("\">");
        }
        AppendHtmlEscaped(opening, shown);
        opening.append(":");
        if (anchored)
            opening.append("</a>");
        opening.append("</acronym>\r\n");
    }
    OpenBlock('P', opening);
}

void Converter::NumberedItem(int v)
{
    CloseListItem();
    const int w = (v >> 8) & 15;
    int style = w % 5;
    int level = w / 5;
    if (level > 2) {
        level = 2;
        style = 5;
    }
    const int k = v & 255;
    std::string number;
    switch (style) {
    case 0:
    case 1: number = Decimal(k); break;
    case 2:
    case 3: number.push_back(static_cast<char>(64 + k)); break;
    case 4: number.push_back(static_cast<char>(96 + k)); break;
    default:
        number.push_back(static_cast<char>('0' + (k >> 5)));
        number.push_back(static_cast<char>(64 + (k & 31)));
        break;
    }
    number.push_back(style % 2 ? '.' : ')');
    const std::string l = Decimal(level + 1);
    if (!OpenBlock('J', "<div class=\"list" + l + "\">"))
        return;
    Emit("<span class=\"list" + l + "\">");
    std::string escaped;
    AppendHtmlEscaped(escaped, number);
    Emit(escaped);
    Emit("</span>");
}

} // namespace ctrl_html_detail

HtmlPage CtrlTextToHtml(std::string_view text, const HtmlConversionInput& input)
{
    HtmlPage page;
    page.bytes.reserve(text.size() * 2 + 1024);
    ctrl_html_detail::Converter(text, input, page).Run();
    return page;
}
