#pragma once
// The news cache as the start page reads it back: the maker's RSS feed,
// stored byte for byte as the server sent it (UTF-8), read line by line into
// items of four texts in the display code page.  Format: docs/formats/news-cache.md.
//
// The feed comes over the network and is hostile until read: a line is read
// up to kRssMaxLine bytes (the rest of it skipped), every text is cut to
// kRssMaxText bytes and its control bytes become blanks, so a feed of any
// shape gives items or none and never more than bounded memory.
//
// Threads: a reader belongs to one thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/fs.h"

inline constexpr size_t kRssMaxLine = 64 * 1024;
inline constexpr size_t kRssMaxText = 4000;

// One item as read: date "d.m.yyyy", title, description and link, code page
// 1250; a text the item did not hold stays empty.
struct RssItem {
    std::string date;
    std::string title;
    std::string description;
    std::string link;
};

// The lines of a cache: a file or bytes in memory.  A line ends at LF, CR LF
// or a lone CR; it is handed over trimmed of bytes up to 32 at both ends.
class RssLineReader {
public:
    RssLineReader() = default;
    explicit RssLineReader(std::string_view bytes) : memory_(bytes), fromMemory_(true) {}
    // 0, or the I/O result of platform/fs.h (a folder counts as unreadable).
    int Open(const std::string& path);
    // False at the end of the input (or after a read error).
    bool NextLine(std::string& line);
    // The read error that ended the input early (0 none).
    int Error() const { return error_; }

private:
    bool Fill();
    int Peek();
    int Take();

    ReadOnlyFile file_;
    std::string_view memory_;
    bool fromMemory_ = false;
    std::string buffer_;
    size_t pos_ = 0;
    int64_t offset_ = 0;
    int error_ = 0;
};

// Reads the next item: lines are skipped up to one beginning "<item>"; the
// item's lines follow, "<pubDate>", "<title>", "<link>" and "<description>"
// by their beginning; it ends at "</item>", at a line of fewer than 9 bytes
// (an empty line too), at a line holding "</item>" in its last 9 bytes, or at
// the end.  False when no "<item>" line came.
bool ReadRssItem(RssLineReader& in, RssItem& item);

// An RSS date ("Mon, 08 Dec 2014 10:00:00 +0100", "8 Dec 2014") as
// "8.12.2014": an optional weekday and ",", a day of 1-2 digits, a month name
// read by its 2nd and 3rd letters, a four-digit year.  Empty for any other
// shape.
std::string RssDateText(std::string_view text);

// The run of digits that ends the text when at least 2 characters precede
// it ("news/1234" gives "1234"); else empty.
std::string TrailingDigits(std::string_view text);

// The CDATA sections of a line as plain content with "<" and ">" written as
// entities, so the tag stripping keeps their text; an unclosed section runs
// to the line's end.
std::string UnwrapCdata(std::string_view line);
