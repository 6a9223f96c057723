#include "viewers/ctrl_html.h"

#include <algorithm>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/start/shared_helpers.h"
#include "platform/fs.h"

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr size_t kMaxStack = 40;
constexpr unsigned char kHardBlank = 127;

// Style numbers of code 18 to their class names (three characters each).
constexpr std::string_view kClassTable = "   nrmodsram   ls1ls2ls3<h1<h2<h3<h4            vlestrvprvp1vp2vl1";

// Inline styles: bit, tag-stack letter, opening and closing text.
struct InlineStyle {
    uint16_t bit;
    char letter;
    std::string_view open;
    std::string_view close;
};
constexpr std::array<InlineStyle, 8> kInlineStyles = {{
    {0x001, 'b', "<strong>", "</strong>"},
    {0x002, 'i', "<em>", "</em>"},
    {0x004, 'u', "<u>", "</u>"},
    {0x008, 'm', "<span class=\"expnd\">", "</span>"},
    {0x010, 'h', "<sup>", "</sup>"},
    {0x020, 'd', "<sub>", "</sub>"},
    {0x040, 'l', "<span class=\"color\">", "</span>"},
    {0x100, 'f', "<samp>", "</samp>"},
}};

const InlineStyle* InlineOf(char letter)
{
    for (const auto& s : kInlineStyles)
        if (s.letter == letter)
            return &s;
    return nullptr;
}

std::string_view ClosingText(char letter)
{
    switch (letter) {
    case '1': return "</h1>";
    case '2': return "</h2>";
    case '3': return "</h3>";
    case '4': return "</h4>";
    case 'P': return "</p>";
    case 'U': return "</ul>";
    case 'I': return "</li>";
    case 'J': return "</div>";
    case 'T': return "</table>";
    case 'R': return "</tr>";
    case 'C': return "</td>";
    case 'a': return "</a>";
    default:
        if (const InlineStyle* s = InlineOf(letter))
            return s->close;
        return {};
    }
}

bool IsBlockLetter(char c)
{
    return (c >= '1' && c <= '9') || (c >= 'A' && c <= 'Z');
}

bool IsHeadingOrParagraph(char c)
{
    return c == 'P' || (c >= '1' && c <= '4');
}

std::string Decimal(long v)
{
    return std::to_string(v);
}

// A run as shown: in runs of blanks every blank between two plain blanks
// becomes a hard blank, so a browser keeps them.
std::string WithHardBlanks(std::string_view run)
{
    std::string shown(run);
    for (size_t i = 1; i + 1 < shown.size(); ++i)
        if (shown[i] == ' ' && shown[i - 1] == ' ' && shown[i + 1] == ' ')
            shown[i] = static_cast<char>(kHardBlank);
    return shown;
}

struct Span {
    size_t begin;
    size_t end;
};

// The shown run (data code page) as page text, the highlighted spans
// wrapped; a span never splits an entity.
std::string EscapeShown(std::string_view shown, const std::vector<Span>& spans)
{
    std::string out;
    out.reserve(shown.size() + 16);
    for (size_t i = 0; i < shown.size(); ++i) {
        for (const Span& s : spans)
            if (s.begin == i)
                out.append("<span class=\"color\">");
        const auto b = static_cast<unsigned char>(shown[i]);
        switch (b) {
        case '"': out.append("&quot;"); break;
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        case kHardBlank: out.append("&nbsp;"); break;
        default: out.push_back(static_cast<char>(KamToWinTable[b])); break;
        }
        for (const Span& s : spans)
            if (s.end == i + 1)
                out.append("</span>");
    }
    return out;
}

struct Entry {
    char letter;
    bool emitted;     // its opening text was written
    size_t openStart; // where its opening text starts in the page
    size_t openEnd;   // and where it ends
};

class Converter {
public:
    Converter(std::string_view text, const HtmlConversionInput& in, HtmlPage& page)
        : text_(text), in_(in), page_(page), out_(page.bytes)
    {}

    void Run();

private:
    // --- output -------------------------------------------------------------
    void Emit(std::string_view s)
    {
        if (gate_)
            out_.append(s);
    }
    char Top() const { return stack_.empty() ? '\0' : stack_.back().letter; }
    int Find(char letter) const
    {
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i)
            if (stack_[static_cast<size_t>(i)].letter == letter)
                return i;
        return -1;
    }
    // The innermost emitted entry (entries opened while the gate was shut
    // left no trace in the page).
    const Entry* TopEmitted() const
    {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
            if (it->emitted)
                return &*it;
        return nullptr;
    }
    bool TopEmittedIs(char letter) const;
    bool LinkOpen() const
    {
        for (const Entry& e : stack_)
            if (e.letter == 'a' && e.emitted)
                return true;
        return false;
    }
    size_t Room() const { return kMaxStack - stack_.size(); }
    bool Selected(int code) const
    {
        return code >= 0 && in_.selection.find(static_cast<char>(code)) != std::string::npos;
    }

    // Pushes an entry and writes its opening while the gate is open (and
    // `mayEmit`); a push onto a full stack writes nothing.
    bool Push(char letter, std::string_view opening, bool mayEmit = true);
    void Pop();
    void CloseDownTo(int index, bool* wrote = nullptr, bool* droppedTarget = nullptr);
    void CloseElement(char letter);
    void CloseAll();
    void CloseInnermost(std::string_view letters);
    void CloseParagraph() { CloseInnermost("1234P"); }
    void CloseBlock() { CloseInnermost("1234IJP"); }
    void CloseList() { CloseInnermost("OU"); }
    void CloseListItem();
    void CloseEnclosingItem();
    void SetInlineStyle(uint16_t flags);

    // Validity guards, called before writing.
    bool EnsureCell();
    void BeforeBlock();
    // Opens a block element: paragraphs and headings around it closed, a
    // cell opened when it would stand between a table and its rows.
    bool OpenBlock(char letter, std::string_view opening);

    // --- codes ---------------------------------------------------------------
    void TextRun(std::string_view run);
    void StyleParagraph(int v, int after);
    void SectionParagraph(int v);
    void NumberedItem(int v);
    void TableDefinition(const CtrlItem& item);
    void RowCode(bool explicitAttributes, int attributes);
    void CellCode(bool explicitAttributes, int attributes);
    void OpenRow();
    void OpenCell(bool explicitAttributes, int attributes);
    void Picture(const CtrlItem& item);
    void LinkStart(const CtrlItem& item);
    void Hint(int v, CtrlTokenizer& tok);

    void WriteHead();
    std::string HighlightedRun(std::string_view run, std::string* plain);

    std::string_view text_;
    const HtmlConversionInput& in_;
    HtmlPage& page_;
    std::string& out_;

    bool gate_ = true;
    std::vector<Entry> stack_;
    uint16_t styleFlags_ = 0;
    int h1Count_ = 0;
    int h2Count_ = 0;
    uint32_t anchor_ = 0;
    uint8_t headingOrdinal_ = 0;
    bool anchorPending_ = false;
    int d1_ = 0, headerRows_ = 0, d2_ = 0, headerColumns_ = 0;
    bool tabFlag_ = false;
    bool rule_ = false;
    int row_ = 0;
    int column_ = 1;
    char linkState_ = 0; // 0, 1 (an "a" is open), '@' or '/'
    int hintState_ = 0;
    std::string hintText_;
};

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
    std::string css;
    if (in_.styleFile.empty() || ReadWholeFile(ResolvePath(in_.styleFile), css) != 0)
        return;
    out_.append("<style type=\"text/css\">\r\n");
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
    out_.append("</style>\r\n");
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
        if (item.truncated)
            break;
        const int p0 = CtrlPairValue(text_, item, 0);
        switch (item.code) {
        case 0: {
            gate_ = true;
            CloseAll();
            CtrlItem next;
            if (tok.Peek(next) && next.IsCode(0))
                goto end;
            break;
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
        case 10: {
            CloseParagraph();
            SetInlineStyle(0);
            CtrlItem next;
            const bool bullets = tok.Peek(next) && !next.IsText() && next.code >= 1 && next.code <= 3;
            if (bullets) {
                OpenBlock('U', "<ul>");
            } else {
                Push('O', "", false); // a list without a wrapper leaves nothing in the page
            }
            break;
        }
        case 11: RowCode(false, 0); break;
        case 12: {
            // Text right after it starts a plain paragraph (as in the
            // rich-text layout); else it means nothing.
            CtrlItem next;
            if (!tok.Peek(next) || !next.IsText())
                break;
            CloseParagraph();
            styleFlags_ = 0;
            OpenBlock('P', "<p>");
            break;
        }
        case 13:
            if (gate_) {
                if (rule_)
                    BeforeBlock();
                if (!EnsureCell())
                    break;
            }
            Emit(rule_ ? "<hr />\r\n" : "<br />\r\n");
            break;
        case 14:
            CloseParagraph();
            styleFlags_ = 0;
            OpenBlock('P', "<p>");
            break;
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
    }
end:
    gate_ = true;
    CloseAll();
    out_.append("</body>\r\n</html>\r\n");
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
            if (in_.showAll)
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
            if ((in_.kind == 'I' || in_.kind == 'S') && !in_.showAll)
                gate_ = Selected(code) != in_.invert;
            if (gate_ && !label.empty()) {
                if (code > 0 && (code == in_.requestedSection || code == in_.requestedParagraph))
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
    if (static_cast<size_t>(n) < in_.visibility.size() && in_.visibility[static_cast<size_t>(n)] == '-')
        visible = false;
    else if (!in_.showAll)
        visible = Selected(code) != in_.invert;
    gate_ = visible;
    if (visible &&
        ((code == in_.requestedSection) || (in_.requestedTextSection != 0 && n == in_.requestedTextSection)))
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

void Converter::TableDefinition(const CtrlItem& item)
{
    SetInlineStyle(0);
    const std::vector<int> values = CtrlPairValues(text_, item);
    const int b = values.size() > 0 ? values[0] : 0;
    const int c = values.size() > 1 ? values[1] : 0;
    d1_ = b & 0xFF0;
    headerRows_ = b & 7;
    tabFlag_ = (b & 8) != 0;
    d2_ = c & 0xFF0;
    headerColumns_ = c & 15;
    rule_ = b == 160 && c == 145;
    std::vector<int> widths;
    for (size_t i = 2; i < values.size() && widths.size() < 20; ++i)
        widths.push_back(values[i]);
    long sum = 0;
    for (int w : widths)
        sum += w;
    std::vector<int> percent;
    std::string opening = tabFlag_ ? "<table class=\"tab\">\r\n" : "<table>\r\n";
    if (sum > 0)
        for (int w : widths) {
            percent.push_back(static_cast<int>(w * 100L / sum));
            opening.append("<col width=\"" + Decimal(percent.back()) + "%\" />\r\n");
        }
    BeforeBlock();
    if (gate_ && !EnsureCell())
        return;
    // A table needs room for its first row and cell too.
    if (Room() < 3)
        return;
    Push('T', opening);
    if (stack_.back().emitted)
        page_.tableColumns.push_back(std::move(percent));
    row_ = 0;
    column_ = 1;
}

// A row or a cell is written only straight into what the page holds open:
// entries pushed while the gate was shut left nothing there, so the innermost
// emitted entry decides (as it does in EnsureCell), not the innermost table
// or row.
bool Converter::TopEmittedIs(char letter) const
{
    const Entry* top = TopEmitted();
    return top != nullptr && top->letter == letter;
}

void Converter::OpenRow()
{
    ++row_;
    Push('R', "<tr>", TopEmittedIs('T'));
    column_ = 1;
}

void Converter::OpenCell(bool explicitAttributes, int attributes)
{
    int attr = attributes;
    int span = 1;
    if (explicitAttributes) {
        span = attributes & 15;
        if (span == 0 || span == 15)
            span = 1;
    } else {
        attr = (column_ > headerColumns_ && row_ > headerRows_) ? d2_ : d1_;
    }
    std::string opening = "<td";
    if (span > 1)
        opening.append(" colspan=\"" + Decimal(span) + "\"");
    column_ += span;
    std::string cls;
    switch ((attr >> 4) & 7) {
    case 1: cls = "str"; break;
    case 2: cls = "pra"; break;
    case 3: cls = "pr1"; break;
    case 4: cls = "pr2"; break;
    case 5: cls = "leo"; break;
    case 7: cls = "hla"; break;
    default: break;
    }
    if (tabFlag_)
        cls.append(" tab");
    if (!cls.empty())
        opening.append(" class=\"" + cls + "\"");
    switch ((attr >> 7) & 3) {
    case 0: opening.append(" valign=\"top\""); break;
    case 1: opening.append(" valign=\"middle\""); break;
    case 2: opening.append(" valign=\"bottom\""); break;
    default: break;
    }
    opening.append(">");
    if (!Push('C', opening, TopEmittedIs('R')))
        return;
    styleFlags_ = 0;
    if (attr >> 9)
        SetInlineStyle(static_cast<uint16_t>(attr >> 9));
}

void Converter::RowCode(bool explicitAttributes, int attributes)
{
    const int t = Find('T');
    if (t < 0)
        return; // no table: a row has nowhere to go
    if (Find('R') > t) {
        CloseElement('R');
        rule_ = false;
    }
    if (Room() < 2)
        return;
    OpenRow();
    OpenCell(explicitAttributes, attributes);
}

void Converter::CellCode(bool explicitAttributes, int attributes)
{
    const int t = Find('T');
    if (t < 0)
        return;
    const int r = Find('R');
    if (r < t) {
        // A cell before any row of its table opens the row.
        if (Room() < 2)
            return;
        OpenRow();
    } else if (Find('C') > r) {
        CloseElement('C');
    } else {
        CloseDownTo(r + 1);
    }
    if (Room() < 1)
        return;
    OpenCell(explicitAttributes, attributes);
}

void Converter::Picture(const CtrlItem& item)
{
    CloseBlock();
    styleFlags_ = 0;
    const int width = CtrlPairValue(text_, item, 0) & 0x7FF;
    const int height = CtrlPairValue(text_, item, 1);
    std::string name = CtrlStringParam(text_, item, 2);
    for (size_t i = 0; i < name.size(); ++i) {
        if (i < 6 && name[i] == '"')
            name[i] = '~';
        if (name[i] >= 'A' && name[i] <= 'Z')
            name[i] = static_cast<char>(name[i] - 'A' + 'a');
    }
    const std::string& record = in_.recordName;
    const std::string segment = record + name;
    if (segment.find('/') != std::string::npos || segment.find('\\') != std::string::npos ||
        segment.find("..") != std::string::npos)
        return; // it would leave the picture folder
    std::string url = in_.pictureBase;
    if (!record.empty()) {
        url.append(record.compare(0, 2, "CH") == 0 ? "CH" : record.substr(0, 1));
        url.push_back('/');
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char ch : segment) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
            b == '.' || b == '_' || b == '~') {
            url.push_back(ch);
        } else {
            url.push_back('%');
            url.push_back(kHex[b >> 4]);
            url.push_back(kHex[b & 15]);
        }
    }
    url.append(".png");
    BeforeBlock();
    if (gate_ && !EnsureCell())
        return;
    std::string html = "<p><img src=\"";
    AppendHtmlEscaped(html, url);
    html.append("\" loading=\"lazy\" width=" + Decimal(width) + " height=" + Decimal(height) + " /></p>\r\n");
    Emit(html);
}

void Converter::LinkStart(const CtrlItem& item)
{
    const std::string target = CtrlStringParam(text_, item, 0);
    if (target == "@" || target == "/") {
        linkState_ = target[0];
        return;
    }
    if (Find('a') >= 0)
        CloseElement('a');
    if (gate_ && !EnsureCell())
        return;
    std::string opening = "<a href=\"";
    AppendHtmlEscaped(opening, target);
    opening.append("\">");
    if (Push('a', opening))
        linkState_ = 1;
}

void Converter::Hint(int v, CtrlTokenizer& tok)
{
    if ((v & 15) == 1) {
        hintText_.clear();
        CtrlItem next;
        if (tok.Peek(next) && next.IsText()) {
            tok.Next(next);
            hintText_.assign(
                text_.substr(static_cast<size_t>(next.offset), static_cast<size_t>(next.length)));
        }
        if (tok.Peek(next) && next.IsCode(31)) {
            tok.Next(next);
            hintState_ = v;
            v = CtrlPairValue(text_, next, 0);
        } else {
            v = 0;
        }
    }
    if ((v & 15) == 0 && hintState_ == 1 && (!gate_ || EnsureCell())) {
        std::string html = "<span class=\"hint\" title=\"";
        AppendHtmlEscaped(html, KamToWin(hintText_));
        html.append("\"> ?</span>");
        Emit(html);
    }
    hintState_ = v;
}

} // namespace

HtmlPage CtrlTextToHtml(std::string_view text, const HtmlConversionInput& input)
{
    HtmlPage page;
    page.bytes.reserve(text.size() * 2 + 1024);
    Converter(text, input, page).Run();
    return page;
}

std::string EscapeHtml(std::string_view text)
{
    return EscapeShown(WithHardBlanks(text), {});
}

void AppendHtmlEscaped(std::string& out, std::string_view text)
{
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '"': out.append("&quot;"); break;
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        default:
            // Control characters and the bytes code page 1250 leaves
            // undefined are not characters a page may hold.
            if (b < 32 || b == 127 || b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98)
                out.push_back('?');
            else
                out.push_back(ch);
            break;
        }
    }
}

std::string MediaBase(std::string_view entry, std::string_view dataFolder, std::string_view serverPath)
{
    std::string base;
    if (entry.empty() || entry[0] == '!') {
        base = "https://";
        base.append(kDefaultMediaHost);
        base.append(serverPath);
        return base;
    }
    if (entry.find("://") != std::string_view::npos)
        return std::string(entry);
    base = "file://";
    base.append(WithTrailingSlash(dataFolder));
    base.append(entry);
    if (base.back() != '/')
        base.push_back('/');
    return base;
}

std::string PictureBaseOf(char kind, std::string_view verzePicts, std::string_view dataFolder)
{
    std::string base = MediaBase(verzePicts, dataFolder, "/files/pictures/");
    if (kind == 'L')
        base.append("LET_PICT/");
    else if (kind == 'S' || kind == 'I')
        base.append("SPC_PICT/");
    return base;
}

unsigned char Cp1250Upper(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A; // š
    case 0x9C: return 0x8C; // ś
    case 0x9D: return 0x8D; // ť
    case 0x9E: return 0x8E; // ž
    case 0x9F: return 0x8F; // ź
    case 0xB3: return 0xA3; // ł
    case 0xB9: return 0xA5; // ą
    case 0xBE: return 0xBC; // ľ
    case 0xBF: return 0xAF; // ż
    default: break;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 32);
    return c;
}
