#pragma once
// The layout of the database statistics box: the data set's lines "Stat.L1"
// to "Stat.L20" in columns.  A line's fields are separated by runs of two
// blanks; the first is a label drawn from the left margin (indented when the
// line starts with two blanks), the next up to four are values right-aligned
// on four columns, and a field "." only keeps its column.  An empty line is
// half a line high; a missing line after the fifth ends the list.
//
// Pure: texts stay in the data code page, positions are pixels of the box's
// client area.

#include <QSize>

#include <array>
#include <functional>
#include <string>
#include <vector>

// The sample the column widths are measured on.
inline constexpr const char* kStatisticsSample =
    "Parafarmaceutika (schvalovana VP)    pocet:      18511    clanku:      17671";
inline constexpr int kStatisticsLines = 20;

struct StatisticsGeometry {
    int lineHeight = 0;          // H: the height of "Č"
    int sampleWidth = 0;         // W: the width of the sample line
    std::array<int, 5> column{}; // c0 the margin, c1..c4 the value columns' right ends
    QSize client;                // the box's client area
};
// The geometry for H, W and the OK button's height.
StatisticsGeometry StatisticsGeometryOf(int lineHeight, int sampleWidth, int buttonHeight);

struct StatisticsLine {
    bool found = false;
    std::string text; // the text table's answer ("!! Stat.Ln" when missing)
};

struct StatisticsItem {
    std::string text;
    int x = 0; // the left edge, or the right edge when right-aligned
    int y = 0; // the top
    bool rightAligned = false;
    bool operator==(const StatisticsItem&) const = default;
};

// The drawn texts; `line(i)` gives line i (1..20).
std::vector<StatisticsItem> LayOutStatistics(const std::function<StatisticsLine(int i)>& line,
                                             const StatisticsGeometry& geometry);
