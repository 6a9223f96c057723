#include "viewers/notes_text.h"

#include <algorithm>

#include "datastore/kamenici.h"
#include "frame/windows/data_form.h"

namespace {

constexpr size_t kSourceLineLimit = 249;
constexpr size_t kDisplayLineLimit = 255;

bool Shown(std::string_view flags, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= flags.size())
        return false;
    const char f = flags[static_cast<size_t>(section)];
    return f == '+' || f == '1' || f == 'o';
}

// Sections that print and export: "+" and "1" (an "o" section only shows).
bool Written(std::string_view flags, int section)
{
    if (section < 0 || static_cast<size_t>(section) >= flags.size())
        return false;
    const char f = flags[static_cast<size_t>(section)];
    return f == '+' || f == '1';
}

bool EndsLine(char c)
{
    return c == '\r' || c == '\0' || c == kNoteBreak;
}

// The first two characters as an unsigned number (a leading blank allowed).
int LineSection(std::string_view line)
{
    if (line.size() < 2)
        return -1;
    const char a = line[0], b = line[1];
    if ((a == ' ' || (a >= '0' && a <= '9')) && b >= '0' && b <= '9')
        return (a == ' ' ? 0 : (a - '0') * 10) + (b - '0');
    return -1;
}

} // namespace

NoteDisplay BuildNoteDisplay(std::string_view note, std::string_view flags)
{
    NoteDisplay d;
    d.text.reserve(note.size() + 600);
    int previous = -1;
    size_t at = 0;
    while (at < note.size()) {
        // A line: to CR, LF or 0, at most 249 characters; then CR and LF runs.
        std::string line;
        while (at < note.size() && note[at] != '\r' && note[at] != '\n' && note[at] != '\0' &&
               line.size() < kSourceLineLimit) {
            const auto c = static_cast<unsigned char>(note[at++]);
            if (c >= 32) // the break byte and other controls never reach the display
                line.push_back(static_cast<char>(KamToWinTable[c]));
        }
        if (at < note.size() && note[at] == '\0')
            at = note.size();
        while (at < note.size() && note[at] == '\r')
            ++at;
        while (at < note.size() && note[at] == '\n')
            ++at;
        const int read = LineSection(line);
        const int section = read < 0 || previous == 10 ? 10 : read;
        const bool joined = read >= 0 && read <= 11;
        if (!Shown(flags, section))
            continue;
        if (section < 10)
            line.erase(0, 2);
        if (line.empty())
            line.push_back(kNoteBreak);
        if (section == previous) {
            d.text += joined ? std::string{kNoteBreak, ' '} : std::string(" ");
        } else {
            d.text += section >= 2 ? "\r\n\r\n" : "\r\n";
            if (d.sectionStarts[static_cast<size_t>(section)] == 0)
                d.sectionStarts[static_cast<size_t>(section)] = d.text.size();
        }
        d.text += line;
        previous = section;
    }
    if (d.text.empty())
        d.text = "\r\n";
    for (int s = 0; s < kNoteSections && static_cast<size_t>(s) < flags.size(); ++s)
        if (flags[static_cast<size_t>(s)] == '1' && d.sectionStarts[static_cast<size_t>(s)] != 0)
            d.firstSection = s;
    return d;
}

size_t NextDisplayLine(std::string_view text, size_t pos, int width, const CharWidths& widths,
                       size_t* lineEnd)
{
    size_t i = pos;
    int used = 0;
    while (i < text.size() && !EndsLine(text[i]) && i - pos < kDisplayLineLimit) {
        const int w = widths[static_cast<unsigned char>(text[i])];
        if (used + w > width && i > pos)
            break;
        used += w;
        ++i;
    }
    if (i >= text.size() || EndsLine(text[i])) {
        if (lineEnd)
            *lineEnd = i;
        return std::min(text.size(), i + 2);
    }
    const size_t blank = text.substr(pos, i - pos).rfind(' ');
    if (blank == std::string_view::npos) {
        // A word is never broken: it runs on to its end.
        while (i < text.size() && !EndsLine(text[i]) && text[i] != ' ')
            ++i;
        if (lineEnd)
            *lineEnd = i;
        if (i < text.size() && text[i] == ' ')
            return i + 1;
        return i >= text.size() ? i : std::min(text.size(), i + 2);
    }
    if (lineEnd)
        *lineEnd = pos + blank + 1;
    return pos + blank + 1;
}

std::vector<size_t> WrapDisplayLines(std::string_view text, int width, const CharWidths& widths)
{
    std::vector<size_t> lines;
    for (size_t pos = std::min<size_t>(2, text.size()); pos < text.size();) {
        lines.push_back(pos);
        pos = NextDisplayLine(text, pos, width, widths);
    }
    return lines;
}

std::string_view DisplayLineText(std::string_view text, size_t start, int width, const CharWidths& widths)
{
    size_t end = start;
    NextDisplayLine(text, start, width, widths, &end);
    return text.substr(start, end - start);
}

NoteRange OrderedSelection(size_t a, size_t b, size_t textSize)
{
    if (a == b)
        return {0, textSize};
    return {std::min(a, b), std::min(std::max(a, b), textSize)};
}

namespace {

// The occurring sections' starts in text order, with their numbers.
std::vector<std::pair<size_t, int>> SectionOrder(const NoteDisplay& d)
{
    std::vector<std::pair<size_t, int>> order;
    for (int s = 0; s < kNoteSections; ++s)
        if (d.sectionStarts[static_cast<size_t>(s)] != 0)
            order.push_back({d.sectionStarts[static_cast<size_t>(s)], s});
    std::sort(order.begin(), order.end());
    return order;
}

// Calls `piece(section, from, to)` for every written section within the range.
template <typename F>
void ForSections(const NoteDisplay& d, NoteRange range, std::string_view flags, F piece)
{
    const auto order = SectionOrder(d);
    for (size_t k = 0; k < order.size(); ++k) {
        const size_t start = order[k].first;
        const size_t next = k + 1 < order.size() ? order[k + 1].first - 2 : d.text.size();
        const size_t from = std::max(start, range.start);
        const size_t to = std::min(next, range.end);
        // A section counts when the range reaches into it.
        if (from >= to || !Written(flags, order[k].second))
            continue;
        piece(order[k].second, from, to);
    }
}

// The section's text without its line ends: CR and LF go, a break and the
// blank after it become `breakText`.
std::string SectionText(std::string_view text, std::string_view breakText)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == kNoteBreak) {
            out += breakText;
            if (i + 1 < text.size() && text[i + 1] == ' ')
                ++i;
        } else if (c != '\r' && c != '\n') {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

std::vector<PrintLine> NotePrintLines(const NoteDisplay& d, NoteRange range, int width,
                                      const CharWidths& widths, std::string_view flags)
{
    std::vector<PrintLine> lines;
    ForSections(d, range, flags, [&](int, size_t from, size_t to) {
        std::string_view text = std::string_view(d.text).substr(from, to - from);
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = pos;
            size_t next = NextDisplayLine(text, pos, width, widths, &end);
            std::string line;
            for (size_t i = pos; i < end; ++i)
                if (static_cast<unsigned char>(text[i]) != 0xFF)
                    line.push_back(text[i]);
            if (line.size() > 1 && line[0] == ' ')
                line.erase(0, 1);
            PrintLine p{line, next < text.size() && text[next] == '\r'};
            lines.push_back(std::move(p));
            if (next <= pos)
                break;
            pos = next;
        }
        if (!lines.empty())
            lines.back().gapAfter = true; // sections are set apart
    });
    return lines;
}

std::string NoteRtfBody(const NoteDisplay& d, NoteRange range, std::string_view flags)
{
    std::string out;
    ForSections(d, range, flags, [&](int section, size_t from, size_t to) {
        out += "{\\b }{";
        std::string escaped;
        AppendRtfEscaped(escaped, SectionText(std::string_view(d.text).substr(from, to - from), "\x01"));
        // The break marker is escaped as \'01; it becomes a paragraph end.
        for (size_t p = escaped.find("\\'01"); p != std::string::npos; p = escaped.find("\\'01", p))
            escaped.replace(p, 4, " \\par ");
        out += escaped;
        out += section > 9 ? " \\par \\par}\r\n" : " \\par}\r\n";
    });
    return out;
}

std::string NotePlainText(const NoteDisplay& d, NoteRange range, std::string_view flags)
{
    std::string out;
    ForSections(d, range, flags, [&](int, size_t from, size_t to) {
        out += SectionText(std::string_view(d.text).substr(from, to - from), "\r\n");
        out += "\r\n\r\n";
    });
    return out;
}
