// rss_dump FILE
//
// Prints the first three items of a news feed or cache as the start page
// reads them: the identifier it takes from the link, date, title,
// description and link, in UTF-8.  Exit code 0; 1 when the file cannot be
// read; 2 for a bad command line.

#include <cstdio>
#include <string>

#include "datastore/rss_item.h"
#include "platform/cp1250.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: rss_dump FILE\n");
        return 2;
    }
    RssLineReader in;
    if (const int r = in.Open(argv[1])) {
        std::fprintf(stderr, "rss_dump: %s: I/O result %d\n", argv[1], r);
        return 1;
    }
    RssItem item;
    int n = 0;
    for (; n < 3 && ReadRssItem(in, item); ++n) {
        const std::string id = item.title.empty() ? std::string() : TrailingDigits(item.link).substr(0, 19);
        std::printf("item %d%s\n", n + 1, item.title.empty() ? " (no title: not shown)" : "");
        std::printf("  id          %s\n", id.c_str());
        std::printf("  date        %s\n", item.date.c_str());
        std::printf("  title       %s\n", Cp1250ToUtf8(item.title).c_str());
        std::printf("  description %s\n", Cp1250ToUtf8(item.description).c_str());
        std::printf("  link        %s\n", Cp1250ToUtf8(item.link).c_str());
    }
    if (n == 0)
        std::printf("no item\n");
    return 0;
}
