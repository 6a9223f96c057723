#pragma once
// The CtrlText to HTML converter's machinery, shared by the files that
// write the page (ctrl_html.cpp: the element stack, text runs and
// paragraphs; ctrl_html_tables.cpp: tables, pictures, links and hints;
// ctrl_html_text.cpp: the escaping and media helpers).  Not for other
// callers: the interface is viewers/ctrl_html.h.

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "viewers/ctrl_html.h"

namespace ctrl_html_detail {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr size_t kMaxStack = 40;
inline constexpr unsigned char kHardBlank = 127;

// Style numbers of code 18 to their class names (three characters each).
inline constexpr std::string_view kClassTable =
    "   nrmodsram   ls1ls2ls3<h1<h2<h3<h4            vlestrvprvp1vp2vl1";

// Inline styles: bit, tag-stack letter, opening and closing text.
struct InlineStyle {
    uint16_t bit;
    char letter;
    std::string_view open;
    std::string_view close;
};
inline constexpr std::array<InlineStyle, 8> kInlineStyles = {{
    {0x001, 'b', "<strong>", "</strong>"},
    {0x002, 'i', "<em>", "</em>"},
    {0x004, 'u', "<u>", "</u>"},
    {0x008, 'm', "<span class=\"expnd\">", "</span>"},
    {0x010, 'h', "<sup>", "</sup>"},
    {0x020, 'd', "<sub>", "</sub>"},
    {0x040, 'l', "<span class=\"color\">", "</span>"},
    {0x100, 'f', "<samp>", "</samp>"},
}};

inline const InlineStyle* InlineOf(char letter)
{
    for (const auto& s : kInlineStyles)
        if (s.letter == letter)
            return &s;
    return nullptr;
}

inline std::string_view ClosingText(char letter)
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

inline bool IsBlockLetter(char c)
{
    return (c >= '1' && c <= '9') || (c >= 'A' && c <= 'Z');
}

inline bool IsHeadingOrParagraph(char c)
{
    return c == 'P' || (c >= '1' && c <= '4');
}

inline std::string Decimal(long v)
{
    return std::to_string(v);
}

// A run as shown: in runs of blanks every blank between two plain blanks
// becomes a hard blank, so a browser keeps them.
inline std::string WithHardBlanks(std::string_view run)
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
inline std::string EscapeShown(std::string_view shown, const std::vector<Span>& spans)
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
        return code >= 0 && in_.filter.selection.find(static_cast<char>(code)) != std::string::npos;
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
    // One control code; false when it ends the text.
    bool ControlCode(const CtrlItem& item, CtrlTokenizer& tok);
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
    void ListStart(CtrlTokenizer& tok);
    void PlainParagraph();
    void LineBreak();

    void WriteHead();
    // The lines of a style sheet, CR LF each; the body's font is the text
    // font.
    void WriteStyleLines(std::string_view css);
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

} // namespace ctrl_html_detail
