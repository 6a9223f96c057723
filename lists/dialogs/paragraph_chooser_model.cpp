#include "lists/dialogs/paragraph_chooser_model.h"

#include <algorithm>

#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/pages/page_events.h"
#include "lists/toolkit/grid_layout.h"
#include "lists/toolkit/vyb_types.h"

namespace {

bool IsSummaryKind(char kind)
{
    return kind == 'S' || kind == 'I';
}

bool Contains(std::string_view selection, uint8_t code)
{
    return selection.find(static_cast<char>(code)) != std::string_view::npos;
}

char Lower(char c)
{
    return c == 'Y' ? 'y' : c == 'N' ? 'n' : c;
}
char Upper(char c)
{
    return c == 'y' ? 'Y' : c == 'n' ? 'N' : c;
}

// The number in front of a summary paragraph's title, 5 or 6 characters:
// "4.   ", "10.  ", "4.1   ", "4.12  ".  Keys starting "0" show blanks.
std::string SummaryNumber(std::string_view key)
{
    std::string n;
    switch (key.size()) {
    case 1: n = std::string(key) + ".   "; break;
    case 2: n = std::string(key) + ".  "; break;
    case 3: n = std::string(1, key[0]) + "." + key[2] + "   "; break;
    default: n = std::string(1, key[0]) + "." + std::string(key.substr(2, 2)) + "  "; break;
    }
    if (key[0] == '0')
        n.replace(0, 4, 4, ' ');
    return n;
}

// The number and abbreviation of paragraph n of the other kinds, 6
// characters: "12 IN ", " 0 PR ", "25    " (no letters for it).
std::string OtherNumber(int n)
{
    std::string s = n < 10 ? " " + std::to_string(n) : std::to_string(n);
    std::string abbreviation = ParagraphAbbreviation(n);
    abbreviation.resize(2, ' ');
    return s + " " + abbreviation + " ";
}

constexpr std::string_view kGroupIndent = "     ";

} // namespace

void ParagraphChooserModel::Build(char kind, char mode, std::string_view selection, uint8_t highlight)
{
    kind_ = kind;
    mode_ = mode;
    highlight_ = highlight;
    entries_.clear();
    top_ = 0;
    cursor_ = 0;
    allDown_ = false;
    if (!selection.empty() && static_cast<uint8_t>(selection.back()) == 255)
        selection.remove_suffix(1);

    const bool summary = IsSummaryKind(kind);
    const char* section = summary ? "Ospc" : "Odst";
    std::string mask;
    if (!summary)
        GetTextEntry(UiTexts, "Prohlizec", std::string("Vyb") + kind, mask);

    for (const auto& [key, value] : ParagraphTitleEntries(kind)) {
        if (entries_.size() >= kMaxEntries)
            break;
        Entry e;
        if (summary) {
            if (key.empty() || key.size() > 4)
                continue;
            e.code = ParagraphKeyToCode(key);
            e.mark = key.size() <= 2 ? (key == "4" ? '-' : '+') : ' ';
            e.text = SummaryNumber(key) + value;
        } else if (key.size() == 1) {
            e.code = OdstGroupCode(key[0]);
            e.mark = key == "3" || key == "4" ? '-' : '+';
            e.text = std::string(kGroupIndent) + value;
        } else {
            const int n = OdstParagraphNumber(key);
            if (!ParagraphAvailable(mask, n))
                continue;
            e.code = OdstParagraphCode(n);
            e.text = OtherNumber(n) + value;
        }
        e.state = Contains(selection, e.code) ? 'N' : 'Y';
        entries_.push_back(std::move(e));
    }

    MarkTree();
    SetGroupStatesFrom(selection);
    RebuildVisible();

    std::string title;
    GetTextEntry(DataTexts, section, "Nadpis", title);
    // One cell across both columns: the title would otherwise be cut at
    // the first column's edge.
    header_ = std::string(1, static_cast<char>(RowStatus::Span)) + title;
    header_.resize(1 + kRowTextLength, ' ');
}

std::string ParagraphChooserModel::RowText(int row) const
{
    const int p = top_ + row - 1;
    if (row < 1 || p >= static_cast<int>(visible_.size()))
        return std::string(kEndOfRows);
    const size_t i = visible_[static_cast<size_t>(p)];
    const Entry& e = entries_[i];
    std::string text = std::string(1, '\0') + e.text;
    text.resize(1 + kRowTextLength, ' ');
    // The highlight shows as an emphasised first cell: its first character
    // below 32, raised again by the grid.
    if (mode_ != 'F' && highlight_ != 0 && e.code == highlight_ && static_cast<uint8_t>(text[1]) >= 32)
        text[1] = static_cast<char>(static_cast<uint8_t>(text[1]) - 32);
    text += '\xFF';
    text += e.mark;
    if (!IsEntry(i))
        text += e.state;
    else
        text += std::string(" ") + e.state;
    return text;
}

void ParagraphChooserModel::SetRowsShown(int rows)
{
    rows_ = std::max(1, rows);
    ClampView();
}

int ParagraphChooserModel::ScrollMax() const
{
    return std::max(0, static_cast<int>(visible_.size()) - rows_ + 1);
}

void ParagraphChooserModel::SetTop(int top)
{
    top_ = std::clamp(top, 0, ScrollMax());
    ClampView();
}

void ParagraphChooserModel::SetCursorRow(int row)
{
    const int shown = static_cast<int>(visible_.size()) - top_;
    cursor_ = row < 1 || row > shown || row > rows_ ? 0 : row;
}

int ParagraphChooserModel::Current() const
{
    const int p = top_ + cursor_ - 1;
    if (cursor_ < 1 || p >= static_cast<int>(visible_.size()))
        return -1;
    return visible_[static_cast<size_t>(p)];
}

int ParagraphChooserModel::GroupOf(size_t i) const
{
    for (size_t j = i; j-- > 0;)
        if (!IsEntry(j))
            return static_cast<int>(j);
    return -1;
}

void ParagraphChooserModel::SetGroupState(char state)
{
    int g = Current();
    if (g < 0)
        return;
    if (state == '?' && IsEntry(static_cast<size_t>(g)))
        g = GroupOf(static_cast<size_t>(g));
    if (g < 0 || !IsOpenGroup(static_cast<size_t>(g)))
        return;
    entries_[static_cast<size_t>(g)].state = state;
    for (size_t j = static_cast<size_t>(g) + 1; j < entries_.size() && IsEntry(j); ++j)
        entries_[j].state = state == '?' ? Upper(entries_[j].state) : Lower(entries_[j].state);
}

void ParagraphChooserModel::SetEntryState(size_t i, char state)
{
    entries_[i].state = state;
    if (IsEntry(i))
        SetGroupState('?');
}

void ParagraphChooserModel::Expand(size_t i)
{
    entries_[i].mark = '-';
    for (size_t j = i + 1; j < entries_.size() && IsEntry(j); ++j)
        entries_[j].mark = '.';
    RebuildVisible();
}

void ParagraphChooserModel::Collapse(size_t i)
{
    entries_[i].mark = '+';
    for (size_t j = i + 1; j < entries_.size() && IsEntry(j); ++j)
        entries_[j].mark = ' ';
    RebuildVisible();
}

void ParagraphChooserModel::RebuildVisible()
{
    visible_.clear();
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].mark != ' ')
            visible_.push_back(static_cast<uint8_t>(i));
    ClampView();
}

void ParagraphChooserModel::ClampView()
{
    top_ = std::clamp(top_, 0, ScrollMax());
    const int shown = std::min(rows_, static_cast<int>(visible_.size()) - top_);
    if (cursor_ > shown)
        cursor_ = std::max(0, shown);
}

int ParagraphChooserModel::VisibleIndexOf(size_t entry) const
{
    const auto it = std::find(visible_.begin(), visible_.end(), static_cast<uint8_t>(entry));
    return it == visible_.end() ? -1 : static_cast<int>(it - visible_.begin());
}

void ParagraphChooserModel::MoveTo(int p)
{
    const int count = static_cast<int>(visible_.size());
    if (count == 0)
        return;
    p = std::clamp(p, 0, count - 1);
    // One row stays free above and below the cursor while the list can
    // scroll, so the user sees where it goes on.
    const int margin = rows_ >= 3 ? 1 : 0;
    if (p - top_ < margin)
        top_ = std::max(0, p - margin);
    if (p - top_ > rows_ - 1 - margin)
        top_ = std::min(ScrollMax(), p - rows_ + 1 + margin);
    top_ = std::clamp(top_, 0, ScrollMax());
    cursor_ = p - top_ + 1;
}

void ParagraphChooserModel::MoveBy(int delta)
{
    const int p = cursor_ >= 1 ? top_ + cursor_ - 1 : top_;
    MoveTo(p + delta);
}

// Tree marks: a group without entries is "^"; entries of an expanded group
// are shown.
void ParagraphChooserModel::MarkTree()
{
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (IsEntry(i)) {
            const int g = GroupOf(i);
            if (g >= 0 && entries_[static_cast<size_t>(g)].mark == '-')
                entries_[i].mark = '.';
        } else if (i + 1 == entries_.size() || !IsEntry(i + 1)) {
            entries_[i].mark = '^';
        }
    }
}

// Group states from their entries, then from the group's own codes in the
// selection; entries of a group included or excluded whole follow it.
void ParagraphChooserModel::SetGroupStatesFrom(std::string_view selection)
{
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (IsEntry(i))
            continue;
        bool allIn = true, allOut = true;
        for (size_t j = i + 1; j < entries_.size() && IsEntry(j); ++j) {
            if (entries_[j].state == 'Y')
                allOut = false;
            else
                allIn = false;
        }
        Entry& g = entries_[i];
        g.state = allIn ? 'Y' : allOut ? 'N' : '?';
        if (Contains(selection, g.code))
            g.state = 'N';
        if (Contains(selection, ParagraphGroupEnd(g.code, kind_)))
            g.state = 'Y';
    }
    for (size_t i = 0; i < entries_.size(); ++i) {
        const int g = IsEntry(i) ? GroupOf(i) : -1;
        if (g >= 0 && entries_[static_cast<size_t>(g)].state != '?')
            entries_[i].state = Lower(entries_[i].state);
    }
}

// "N" and "Y" on line c: an open group takes the next state of its cycle, an
// entry is included ("N") or excluded ("Y").
void ParagraphChooserModel::ChooseByKey(size_t c, bool no)
{
    allDown_ = false;
    if (IsOpenGroup(c))
        SetGroupState(no ? 'Y' : '?');
    else
        SetEntryState(c, no ? 'Y' : 'N');
}

void ParagraphChooserModel::MoveByKey(uint16_t code)
{
    const int pageStep = std::max(1, rows_ - 2);
    switch (code) {
    case ActionCode::Up: MoveBy(-1); break;
    case ActionCode::PageUp: MoveBy(-pageStep); break;
    case ActionCode::WheelUp: MoveBy(-wheelStep_); break;
    case ActionCode::Down: MoveBy(1); break;
    case ActionCode::PageDown: MoveBy(pageStep); break;
    case ActionCode::WheelDown: MoveBy(wheelStep_); break;
    case ActionCode::Home:
        top_ = 0;
        cursor_ = 1;
        break;
    case ActionCode::End:
        top_ = ScrollMax();
        cursor_ = std::min(rows_, static_cast<int>(visible_.size()) - top_);
        break;
    default: break;
    }
}

uint16_t ParagraphChooserModel::Key(uint16_t code, uint8_t shift)
{
    if ((shift & ~PageShift::ShiftKey & ~PageShift::Typed) != 0)
        return code;
    if (visible_.empty()) {
        // A kind without paragraphs: the keys have nothing to act on.
        return code == ActionCode::Escape ? code : 0;
    }
    const int cur = Current();
    const size_t c = static_cast<size_t>(cur);
    switch (code) {
    case ' ':
    case ActionCode::Enter:
        if (cur >= 0)
            Key(static_cast<uint8_t>(entries_[c].state), PageShift::None);
        return 0;
    case '1': ToggleHighlight(); return 0;
    case '+':
    case '=':
        if (cur >= 0 && entries_[c].mark == '+')
            Expand(c);
        return 0;
    case '-':
        if (cur >= 0 && entries_[c].mark == '-')
            Collapse(c);
        return 0;
    case ',':
    case '<':
    case ActionCode::Left:
        if (cur >= 0 && IsEntry(c))
            if (const int g = GroupOf(c); g >= 0)
                MoveTo(VisibleIndexOf(static_cast<size_t>(g)));
        return 0;
    case '.':
    case '>':
    case ActionCode::Right:
        if (cur >= 0 && entries_[c].mark == '+') {
            Expand(c);
            MoveBy(1);
        } else if (cur >= 0 && entries_[c].mark == '-') {
            MoveBy(1);
        }
        return 0;
    case '?':
        if (cur >= 0 && IsOpenGroup(c)) {
            SetGroupState('N');
            allDown_ = false;
        }
        return 0;
    case 'N':
    case 'n':
    case 'Y':
    case 'y':
        if (cur >= 0)
            ChooseByKey(c, code == 'N' || code == 'n');
        return 0;
    case ActionCode::Up:
    case ActionCode::PageUp:
    case ActionCode::WheelUp:
    case ActionCode::Down:
    case ActionCode::PageDown:
    case ActionCode::WheelDown:
    case ActionCode::Home:
    case ActionCode::End: MoveByKey(code); return 0;
    case ActionCode::RefillInPlace:
    case ActionCode::PrefixChanged: return 0;
    default: return code;
    }
}

void ParagraphChooserModel::ClickTree(int row, int cell)
{
    const std::string text = RowText(row);
    const size_t marker = text.find('\xFF', 1);
    if (cell < 1 || row < 1 || text == kEndOfRows || marker == std::string::npos ||
        marker + static_cast<size_t>(cell) >= text.size())
        return;
    const char symbol = text[marker + static_cast<size_t>(cell)];
    if (symbol == ' ')
        return;
    const int saved = cursor_;
    cursor_ = row;
    Key(static_cast<uint8_t>(symbol), PageShift::None);
    cursor_ = saved;
    ClampView();
}

void ParagraphChooserModel::ToggleHighlight()
{
    const int cur = Current();
    if (cur < 0)
        return;
    const uint8_t code = entries_[static_cast<size_t>(cur)].code;
    highlight_ = highlight_ == code ? 0 : code;
}

void ParagraphChooserModel::SetAllVisible(char state)
{
    for (uint8_t i : visible_)
        entries_[i].state = state;
    allDown_ = state == 'Y' && !visible_.empty();
}

std::string ParagraphChooserModel::Selection() const
{
    std::string out;
    for (size_t i = 0; i < entries_.size() && out.size() < 80; ++i) {
        const Entry& e = entries_[i];
        if (e.state == 'N' || e.state == 'n')
            out.push_back(static_cast<char>(e.code));
        else if (!IsEntry(i) && e.state == 'Y' && IsParagraphGroup(e.code, kind_))
            out.push_back(static_cast<char>(ParagraphGroupEnd(e.code, kind_)));
    }
    return out;
}
