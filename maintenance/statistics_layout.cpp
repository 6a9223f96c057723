#include "maintenance/statistics_layout.h"

#include <string_view>

namespace {

std::string_view WithoutLeadingBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

} // namespace

StatisticsGeometry StatisticsGeometryOf(int lineHeight, int sampleWidth, int buttonHeight)
{
    StatisticsGeometry g;
    g.lineHeight = lineHeight;
    g.sampleWidth = sampleWidth;
    const int width = sampleWidth + sampleWidth / 5;
    const int c0 = sampleWidth / 40;
    const int step = sampleWidth / 6;
    g.column = {c0, width - c0 - 3 * step, width - c0 - 2 * step, width - c0 - step, width - c0};
    // The lines start at c0; twenty of them end above the button, which sits
    // 2 pixels above the bottom edge.
    g.client = QSize(width, c0 + kStatisticsLines * lineHeight + buttonHeight + 4);
    return g;
}

std::vector<StatisticsItem> LayOutStatistics(const std::function<StatisticsLine(int i)>& line,
                                             const StatisticsGeometry& g)
{
    std::vector<StatisticsItem> items;
    const int c0 = g.column[0];
    int y = c0;
    for (int i = 1; i <= kStatisticsLines; ++i) {
        const StatisticsLine l = line(i);
        if (!l.found && i > 5)
            break;
        if (l.text.empty()) {
            y += g.lineHeight / 2;
            continue;
        }
        std::string_view rest = l.text;
        int x = c0;
        if (rest.starts_with("  ")) {
            x = 3 * c0;
            rest = WithoutLeadingBlanks(rest);
        }
        for (int field = 0; field < 5 && !rest.empty(); ++field) {
            const size_t cut = rest.find("  ");
            const std::string_view text = rest.substr(0, cut);
            rest = cut == std::string_view::npos ? std::string_view()
                                                 : WithoutLeadingBlanks(rest.substr(cut + 2));
            if (text.empty() || text == ".")
                continue;
            if (field == 0)
                items.push_back({std::string(text), x, y, false});
            else
                items.push_back({std::string(text), g.column[static_cast<size_t>(field)], y, true});
        }
        y += g.lineHeight;
    }
    return items;
}
