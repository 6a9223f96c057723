#include "datastore/rss_item.h"

#include <algorithm>
#include <cstring>

#include "datastore/utf8_text.h"

namespace {

constexpr size_t kChunk = 256 * 1024;

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

void Trim(std::string& s)
{
    size_t b = 0;
    while (b < s.size() && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    size_t e = s.size();
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    s.erase(e);
    s.erase(0, b);
}

// A converted text as the page may hold it: bounded, without control bytes.
std::string Bounded(std::string text)
{
    if (text.size() > kRssMaxText)
        text.resize(kRssMaxText);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    return text;
}

std::string LineText(std::string_view line)
{
    return Utf8ToText(UnwrapCdata(line));
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int MonthOf(char second, char third)
{
    switch (second) {
    case 'a': return third == 'r' ? 3 : third == 'y' ? 5 : 1;
    case 'c': return 10;
    case 'e': return third == 'b' ? 2 : third == 'c' ? 12 : third == 'p' ? 9 : 1;
    case 'o': return 11;
    case 'p': return 4;
    case 'u': return third == 'g' ? 8 : third == 'l' ? 7 : third == 'n' ? 6 : 1;
    default: return 1;
    }
}

} // namespace

// --- Lines ------------------------------------------------------------------

int RssLineReader::Open(const std::string& path)
{
    fromMemory_ = false;
    buffer_.clear();
    pos_ = 0;
    offset_ = 0;
    error_ = 0;
    if (FolderExists(path))
        return IoResult::AccessDenied;
    return file_.Open(path);
}

bool RssLineReader::Fill()
{
    if (fromMemory_ || !file_.IsOpen() || error_ != 0)
        return false;
    buffer_.resize(kChunk);
    size_t got = 0;
    const int r = file_.ReadAt(offset_, buffer_.data(), kChunk, &got);
    if (r != 0 && r != IoResult::ShortRead) {
        error_ = r;
        got = 0;
    }
    buffer_.resize(got);
    offset_ += static_cast<int64_t>(got);
    pos_ = 0;
    return got > 0;
}

bool RssLineReader::NextLine(std::string& line)
{
    line.clear();
    auto rest = [this]() -> std::string_view {
        if (fromMemory_)
            return memory_.substr(pos_);
        return std::string_view(buffer_).substr(pos_);
    };
    if (rest().empty() && !Fill())
        return false;
    for (;;) {
        const std::string_view r = rest();
        // A CR is looked for only before the LF: most feeds have none, and a
        // search to the chunk's end for every line would cost a chunk a line.
        const void* lf = std::memchr(r.data(), '\n', r.size());
        size_t end = lf ? static_cast<size_t>(static_cast<const char*>(lf) - r.data()) : r.size();
        if (const void* cr = std::memchr(r.data(), '\r', end))
            end = static_cast<size_t>(static_cast<const char*>(cr) - r.data());
        if (line.size() < kRssMaxLine)
            line.append(r.substr(0, std::min(end, kRssMaxLine - line.size())));
        if (end < r.size()) {
            const bool wasCr = r[end] == '\r';
            pos_ += end + 1;
            if (wasCr && (!rest().empty() || Fill()) && rest().front() == '\n')
                ++pos_;
            break;
        }
        pos_ += r.size();
        if (!Fill())
            break;
    }
    Trim(line);
    return true;
}

// --- Items --------------------------------------------------------------------

bool ReadRssItem(RssLineReader& in, RssItem& item)
{
    item = RssItem{};
    std::string line;
    for (;;) {
        if (!in.NextLine(line))
            return false;
        if (StartsWith(line, "<item>"))
            break;
    }
    while (in.NextLine(line)) {
        if (StartsWith(line, "</item>"))
            break;
        if (StartsWith(line, "<pubDate>"))
            item.date = RssDateText(LineText(line));
        else if (StartsWith(line, "<title>"))
            item.title = Bounded(LineText(line));
        else if (StartsWith(line, "<link>"))
            item.link = Bounded(LineText(line));
        else if (StartsWith(line, "<description>")) {
            std::string text = LineText(line);
            StripTagsAndEntities(text);
            item.description = Bounded(std::move(text));
        }
        // "</item>" within the last 9 bytes ends the item, and so does a
        // line shorter than that (a blank line between items).
        const size_t at = line.find("</item>");
        const int64_t position = at == std::string::npos ? 0 : static_cast<int64_t>(at) + 1;
        if (position > static_cast<int64_t>(line.size()) - 9)
            break;
    }
    return true;
}

std::string UnwrapCdata(std::string_view line)
{
    constexpr std::string_view open = "<![CDATA[";
    constexpr std::string_view close = "]]>";
    size_t at = line.find(open);
    if (at == std::string_view::npos)
        return std::string(line);
    std::string out;
    out.reserve(line.size() + 16);
    size_t from = 0;
    while (at != std::string_view::npos) {
        out.append(line.substr(from, at - from));
        const size_t start = at + open.size();
        size_t end = line.find(close, start);
        const size_t stop = end == std::string_view::npos ? line.size() : end;
        for (char c : line.substr(start, stop - start)) {
            if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else
                out += c;
        }
        from = end == std::string_view::npos ? line.size() : end + close.size();
        at = line.find(open, from);
    }
    out.append(line.substr(from));
    return out;
}

std::string RssDateText(std::string_view text)
{
    size_t i = 0;
    auto blanks = [&] {
        while (i < text.size() && text[i] == ' ')
            ++i;
    };
    blanks();
    // An optional weekday: letters and a comma.
    size_t j = i;
    while (j < text.size() && IsLetter(text[j]))
        ++j;
    if (j > i && j < text.size() && text[j] == ',') {
        i = j + 1;
        blanks();
    }
    const size_t dayStart = i;
    while (i < text.size() && IsDigit(text[i]) && i - dayStart < 3)
        ++i;
    const size_t dayLength = i - dayStart;
    if (dayLength < 1 || dayLength > 2 || i >= text.size() || text[i] != ' ')
        return {};
    std::string_view day = text.substr(dayStart, dayLength);
    blanks();
    const size_t monthStart = i;
    while (i < text.size() && IsLetter(text[i]))
        ++i;
    if (i - monthStart < 3 || i >= text.size() || text[i] != ' ')
        return {};
    const int month = MonthOf(text[monthStart + 1], text[monthStart + 2]);
    blanks();
    if (i + 4 > text.size() || !std::all_of(text.begin() + i, text.begin() + i + 4, IsDigit) ||
        (i + 4 < text.size() && IsDigit(text[i + 4])))
        return {};
    if (day.size() == 2 && day[0] == '0')
        day.remove_prefix(1);
    if (day == "0")
        return {};
    return std::string(day) + "." + std::to_string(month) + "." + std::string(text.substr(i, 4));
}

std::string TrailingDigits(std::string_view text)
{
    size_t start = text.size();
    while (start > 0 && IsDigit(text[start - 1]))
        --start;
    if (start == text.size() || start < 2)
        return {};
    return std::string(text.substr(start));
}
