#include "lists/codes/atc_tree.h"

#include <algorithm>

namespace {

// Groups of the classification that stand alone as one letter.
constexpr std::string_view kMainGroups = "ABCDGHJLMNPRSV";

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool HasNextLevel(size_t length)
{
    return length == 1 || length == 3 || length == 4 || length == 5;
}

} // namespace

bool FilterBit(const std::vector<uint16_t>& filter, int32_t position)
{
    if (position < 0)
        return false;
    const size_t word = static_cast<size_t>(position) / 16;
    return word < filter.size() && ((filter[word] >> (position % 16)) & 1) != 0;
}

void SetFilterBit(std::vector<uint16_t>& filter, int32_t position, bool on)
{
    if (position < 0)
        return;
    const size_t word = static_cast<size_t>(position) / 16;
    if (word >= filter.size())
        return;
    const auto bit = static_cast<uint16_t>(1u << (position % 16));
    filter[word] =
        on ? static_cast<uint16_t>(filter[word] | bit) : static_cast<uint16_t>(filter[word] & ~bit);
}

std::vector<uint16_t> TopLevelFilter(const std::vector<std::string>& codes)
{
    std::vector<uint16_t> filter(codes.size() / 16 + 1, 0);
    for (size_t p = 0; p < codes.size(); ++p)
        if (codes[p].size() == 1)
            SetFilterBit(filter, static_cast<int32_t>(p), true);
    return filter;
}

int32_t AtcCodePosition(const std::vector<std::string>& codes, std::string_view code)
{
    const auto it =
        std::lower_bound(codes.begin(), codes.end(), code,
                         [](const std::string& a, std::string_view b) { return std::string_view(a) < b; });
    return it != codes.end() && *it == code ? static_cast<int32_t>(it - codes.begin()) : -1;
}

void ShowNextLevel(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t node)
{
    if (node < 0 || static_cast<size_t>(node) + 1 >= codes.size())
        return;
    const std::string& code = codes[static_cast<size_t>(node)];
    if (!HasNextLevel(code.size()))
        return;
    const size_t first = codes[static_cast<size_t>(node) + 1].size();
    for (size_t p = static_cast<size_t>(node) + 1; p < codes.size() && StartsWith(codes[p], code); ++p)
        if (codes[p].size() > code.size() && codes[p].size() <= first)
            SetFilterBit(filter, static_cast<int32_t>(p), true);
}

void HideSubtree(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t node)
{
    if (node < 0 || static_cast<size_t>(node) >= codes.size())
        return;
    const std::string& code = codes[static_cast<size_t>(node)];
    if (!HasNextLevel(code.size()))
        return;
    for (size_t p = static_cast<size_t>(node) + 1; p < codes.size() && StartsWith(codes[p], code); ++p)
        SetFilterBit(filter, static_cast<int32_t>(p), false);
}

void RevealEntry(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t entry)
{
    if (entry < 0 || static_cast<size_t>(entry) >= codes.size())
        return;
    const std::string& code = codes[static_cast<size_t>(entry)];
    for (size_t length = 1; length < code.size(); ++length)
        if (HasNextLevel(length))
            ShowNextLevel(codes, filter, AtcCodePosition(codes, std::string_view(code).substr(0, length)));
    ShowNextLevel(codes, filter, entry);
}

bool ApplyTreeKey(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t node,
                  char key, std::string& prefix)
{
    if (node < 0 || static_cast<size_t>(node) >= codes.size())
        return false;
    const std::string& code = codes[static_cast<size_t>(node)];
    if (key == '<') {
        size_t keep = code.empty() ? 0 : code.size() - 1;
        if (keep == 2 || keep == 6)
            --keep;
        prefix = code.substr(0, keep);
    } else if (key == '>') {
        prefix = code;
    }
    if (key == '-')
        HideSubtree(codes, filter, node);
    else
        ShowNextLevel(codes, filter, node);
    return true;
}

char TreeKeyOfTyped(char c)
{
    switch (c) {
    case ',': return '<';
    case '.': return '>';
    case '=': return '+';
    case '_': return '-';
    default: return 0;
    }
}

std::string TreeColumn(const std::vector<std::string>& codes, const std::vector<uint16_t>& filter,
                       int32_t position)
{
    std::string column(4, ' ');
    if (position < 0 || static_cast<size_t>(position) + 1 >= codes.size())
        return column;
    const std::string& code = codes[static_cast<size_t>(position)];
    const std::string& next = codes[static_cast<size_t>(position) + 1];
    if (next.size() <= code.size() || !StartsWith(next, code))
        return column;
    const size_t cell = code.size() <= 2 ? 1 : code.size() - 1;
    if (cell <= column.size())
        column[cell - 1] = FilterBit(filter, position + 1) ? '-' : '+';
    return column;
}

char AtcOrderLetter(std::string_view typed, char letter)
{
    bool names = false;
    if (typed.size() == 1)
        names = kMainGroups.find(typed[0]) == std::string_view::npos;
    else if (typed.size() >= 2)
        names = typed[0] < 'A' || typed[0] > 'V' || typed[1] < '0' || typed[1] > '9';
    const bool tree = letter >= 'a' && letter <= 'z';
    return names ? (tree ? 'n' : 'N') : (tree ? 'c' : 'C');
}
