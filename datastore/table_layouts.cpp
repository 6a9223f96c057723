#include "datastore/table_layouts.h"

#include <algorithm>
#include <array>

#include "datastore/db_table.h"

namespace {

// The record lengths the program opens the tables with.
static_assert(kKlLayout.Length() == 346);
static_assert(kKleLayout.Length() == 21);
static_assert(kCvzpLayout.Length() == 124);
static_assert(kIsvLayout.Length() == 58);
static_assert(kAtcLayout.Length() == 166);
static_assert(kAtcpLayout.Length() == 103);
static_assert(kDrzvLayout.Length() == 106);
static_assert(kZemvLayout.Length() == 34);
static_assert(kKlcLayout.Length() == 21);
static_assert(kKkLayout.Length() == 86);
static_assert(kKabLayout.Length() == 6);
static_assert(kZdrvLayout.Length() == 74);
static_assert(kVzphLayout.Length() == 120);
static_assert(kSpot1Layout.Length() == 40);
static_assert(kVpoisLayout.Length() == 300);
static_assert(kVypadLayout.Length() == 244);
static_assert(kPfaLayout.Length() == 246);
static_assert(kPfavyrvLayout.Length() == 78);
static_assert(kPfakatvLayout.Length() == 68);
static_assert(kPfapkLayout.Length() == 10);
static_assert(kPztLayout.Length() == 290);
static_assert(kPzttypvLayout.Length() == 106);
static_assert(kPztuhsLayout.Length() == 194);
static_assert(kPztvyrvLayout.Length() == 186);
static_assert(kPztohlLayout.Length() == 64);

constexpr std::array kLayouts = {
    kKlLayout,     kKleLayout,     kCvzpLayout,    kIsvLayout,     kIsvaLayout,  kAtcLayout,   kAtcaLayout,
    kAtcpLayout,   kAtcpaLayout,   kDrzvLayout,    kZemvLayout,    kZemvaLayout, kKlcLayout,   kKkLayout,
    kKabLayout,    kZdrvLayout,    kVzphLayout,    kSpot1Layout,   kSpot2Layout, kVpoisLayout, kVypadLayout,
    kPfaLayout,    kPfavyrvLayout, kPfazemvLayout, kPfakatvLayout, kPfapkLayout, kPztLayout,   kPzttypvLayout,
    kPztuhsLayout, kPztvyrvLayout, kPztohlLayout,  kPztzemvLayout,
};

constexpr int kMaxFields = 60;

// A packed name without its trailing blanks.
std::string NameOf(uint16_t packed)
{
    std::string s = FieldNameToStr(packed);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

std::string Field(int i, std::string_view name)
{
    return "field " + std::to_string(i + 1) + " (" + std::string(name) + ")";
}

} // namespace

std::span<const TableLayout> TableLayouts()
{
    return kLayouts;
}

const TableLayout* FindTableLayout(std::string_view id)
{
    for (const TableLayout& t : kLayouts)
        if (t.id == id)
            return &t;
    return nullptr;
}

std::vector<std::string> LayoutDifferences(const TableLayout& layout, std::string_view header)
{
    std::vector<std::string> out;
    if (header.size() < 5) {
        out.push_back("header of " + std::to_string(header.size()) + " bytes");
        return out;
    }
    const int n = static_cast<uint8_t>(header[4]);
    if (header.size() < static_cast<size_t>(5 + 3 * n)) {
        out.push_back("header of " + std::to_string(header.size()) + " bytes for " + std::to_string(n) +
                      " fields");
        return out;
    }
    const int want = layout.freeLayout ? 1 : layout.FieldCount();
    if (!layout.freeLayout && n != want)
        out.push_back(std::to_string(n) + " fields in the file, " + std::to_string(want) + " in the layout");
    for (int i = 0; i < std::min(n, want); ++i) {
        const FieldDef& f = layout.fields[static_cast<size_t>(i)];
        const auto b = [&](size_t at) { return static_cast<uint8_t>(header[at]); };
        const uint16_t name = static_cast<uint16_t>(b(5 + 2 * i) | (b(6 + 2 * i) << 8));
        const int length = DescriptorLength(b(static_cast<size_t>(5 + 2 * n + i)));
        if (name != PackedFieldName(f.name))
            out.push_back(Field(i, f.name) + ": named " + NameOf(name) + " in the file");
        if (length != DescriptorLength(f.descriptor))
            out.push_back(Field(i, f.name) + ": " + std::to_string(length) + " bytes in the file, " +
                          std::to_string(DescriptorLength(f.descriptor)) + " in the layout");
    }
    return out;
}

std::vector<std::string> TableLayoutFaults()
{
    std::vector<std::string> out;
    for (size_t t = 0; t < kLayouts.size(); ++t) {
        const TableLayout& l = kLayouts[t];
        const std::string id(l.id);
        for (size_t u = 0; u < t; ++u)
            if (kLayouts[u].id == l.id)
                out.push_back(id + ": a second layout of the same file");
        const int n = l.FieldCount();
        if (n < 1 || n > kMaxFields)
            out.push_back(id + ": " + std::to_string(n) + " fields (1 to 60)");
        for (int i = 0; i < n; ++i) {
            const FieldDef& f = l.fields[static_cast<size_t>(i)];
            if (f.name.empty() || f.name.size() > 3)
                out.push_back(id + ": " + Field(i, f.name) + " is no name of one to three characters");
            for (int j = 0; j < i; ++j)
                if (PackedFieldName(l.fields[static_cast<size_t>(j)].name) == PackedFieldName(f.name))
                    out.push_back(id + ": " + Field(i, f.name) + " packs like " +
                                  Field(j, l.fields[static_cast<size_t>(j)].name));
        }
        if (l.Length() > 0xFFFF)
            out.push_back(id + ": records of " + std::to_string(l.Length()) + " bytes (65535 at most)");
        if (3 * n + 5 > 2 * l.Length())
            out.push_back(id + ": the header takes more than two records");
    }
    return out;
}
