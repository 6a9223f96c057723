#include "frame/config/placement_scheme.h"

#include <charconv>

#include "platform/ascii.h"

const std::string_view kOldKindCodes =
    " TVK=UFC TVN=UFN TZK=UCC TZN=UCN TIK=UTC TIN=UTN PDK=FHC PDN=FHN PVK=FFC PVN=FFN PZK=FCC"
    " PZN=FCN ACK=UAC ACN=UAN AK=VAC AN=VAN RCK=URC RCN=URN QN=VOV DK=VHC DN=VHN VK=VFC VN=VFN"
    " ZK=VCC ZN=VCN IK=VIC IN=VIN PCL=RNA PKA=RKA PCA=RAT PCR=RRA PKN=UKN PKK=UKC LHL=DMA"
    " LOB=DPI PHL=PMA LSP=RCY LSL=RCZ LHC=RHI LCL=DAK LBR=DAB QCL=OAK QBR=OAB LLE=DLL LSC=DSP"
    " LPO=DNO KK=CCD KN=CNA KPD=CQU KSY=CSY KSO=CBA LXK=CXD LXS=CXS LXN=CXN POD=XQD LK=DCD"
    " LN=DNA LT=DTX LPD=DQU LCR=DRN LER=DRE LQN=DOV LEA=DEA LD=DHD LV=DFA LZ=DCN LA=DAT LI=DIG"
    " LB=DBA KXL=DXC PK=PCD PN=PNA PT=PTX PHE=PRN PZ=PCN PV=PFA PD=PHD TK=TCD TN=TNA TPD=TQU"
    " TZ=TCN TV=TFA TI=TTY";

uint16_t PackKindCode(std::string_view t)
{
    auto c = [&](size_t i) -> uint16_t {
        return i < t.size() ? static_cast<uint16_t>(static_cast<unsigned char>(t[i]) & 31) : 0;
    };
    return static_cast<uint16_t>(c(0) << 10 | c(1) << 5 | c(2));
}

std::string KindCodeText(uint16_t kind)
{
    std::string s(3, ' ');
    s[0] = static_cast<char>(((kind >> 10) & 31) + 64);
    s[1] = static_cast<char>(((kind >> 5) & 31) + 64);
    s[2] = static_cast<char>((kind & 31) + 64);
    return s;
}

namespace {

struct CategoryGroup {
    uint8_t category;
    const char* kinds;
};

// Each family shares the high bits of its category, so that a window without
// a record of its own is placed like its nearest relative.
constexpr CategoryGroup kCategories[] = {
    {18, "VHC VHN VFC VFN FHC FHN FFC FFN"},
    {19, "UFC UFN"},
    {22, "VIC VIN VCC VCN FCC FCN"},
    {23, "UTC UTN UCC UCN URC URN"},
    {26, "VAC VAN VOV FAC FAN"},
    {27, "UAC UAN"},
    {28, "XQD XTD XTP XQT"},
    {31, "XRN XRA XRR"},
    {34, "DHD DFA PHD PFA"},
    {35, "TFA"},
    {38, "DIG DCN PCN"},
    {39, "TTY TCN RRA"},
    {42, "DAT DOV"},
    {43, "RAT"},
    {45, "CQU"},
    {46, "DQU DTX PTX"},
    {47, "TQU"},
    {49, "CCD"},
    {50, "DCD DEA PCD PEA"},
    {51, "TCD"},
    {53, "CNA"},
    {54, "DNA DRN DRE PNA PRN"},
    {55, "TNA RNA"},
    {57, "CBA"},
    {58, "DBA VOB"},
    {61, "CXD CXS CXN"},
    {62, "DXC"},
    {65, "CSY CSN"},
    {66, "DMA PMA"},
    {67, "RHI"},
    {69, "CIC"},
    {70, "DPI DNO"},
    {73, "CIP"},
    {74, "DSP DLL"},
    {75, "RCY RCZ"},
    {77, "CII"},
    {78, "DAK DAB DAE PAR OAK OAB"},
};

struct KindCategory {
    uint16_t kind;
    uint8_t category;
};

struct CategoryIndex {
    std::array<KindCategory, 128> entries{};
    size_t count = 0;
};

const CategoryIndex& Categories()
{
    static const CategoryIndex index = [] {
        CategoryIndex ix;
        for (const CategoryGroup& g : kCategories) {
            std::string_view kinds(g.kinds);
            for (size_t i = 0; i + 3 <= kinds.size(); i += 4)
                ix.entries[ix.count++] = {PackKindCode(kinds.substr(i, 3)), g.category};
        }
        return ix;
    }();
    return index;
}

struct DefaultRecord {
    const char* kind;
    int32_t left, top, width, height;
};

constexpr DefaultRecord kScheme1[] = {
    {"VFC", 0, 0, 604, 302},   {"DFA", 208, 0, 779, 302}, {"UAC", 0, 0, 604, 415},
    {"RAT", 208, 0, 793, 415}, {"CXD", 0, 300, 424, 699}, {"DMA", 395, 302, 591, 699},
};
constexpr DefaultRecord kScheme2[] = {
    {"DNA", 0, 0, 985, 410},
    {"DMA", 241, 213, 744, 782},
    {"CXD", 0, 213, 558, 782},
};
constexpr DefaultRecord kScheme3[] = {
    {"VIC", 0, 0, 593, 412},   {"DNA", 0, 0, 593, 979},     {"CCD", 0, 0, 593, 727},
    {"DMA", 235, 0, 744, 779}, {"DAK", 235, 240, 744, 747}, {"CXD", 235, 142, 744, 727},
};

bool ValidScheme(int scheme)
{
    return scheme >= kFirstScheme && scheme <= kLastScheme;
}

void AppendInt(std::string& out, int64_t v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

} // namespace

uint8_t CategoryOfKind(uint16_t kind)
{
    kind &= 0x7FFF;
    if ((kind >> 10) == 0)
        return 0;
    const CategoryIndex& ix = Categories();
    for (size_t i = 0; i < ix.count; ++i)
        if (ix.entries[i].kind == kind)
            return ix.entries[i].category;
    return 0;
}

size_t CategoryTableSize()
{
    return Categories().count;
}

bool ParseConfigInt(std::string_view text, int32_t& value)
{
    text = TrimIf(text, [](char c) { return c == ' ' || c == '\t'; });
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    if (text.empty())
        return false;
    int32_t v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v, 10);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return false;
    value = v;
    return true;
}

void ReadSchemeLine(PlacementSchemes& schemes, int scheme, std::string_view line, SchemeNaming& naming)
{
    if (!ValidScheme(scheme))
        return;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return;
    const std::string_view key = line.substr(0, eq + 1);
    const std::string_view rest = line.substr(eq + 1);
    const size_t s = static_cast<size_t>(scheme - kFirstScheme);
    if (key == "SFTRIGHT=" || key == "SFTDOWN=") {
        int32_t v;
        if (ParseConfigInt(rest, v))
            (key == "SFTRIGHT=" ? schemes.shiftRight[s] : schemes.shiftDown[s]) = v;
        return;
    }

    std::string code(line.substr(0, eq));
    const std::string probe = " " + code + "=";
    if (naming == SchemeNaming::Undecided)
        naming =
            kOldKindCodes.find(probe) != std::string_view::npos ? SchemeNaming::Old : SchemeNaming::Current;
    if (naming == SchemeNaming::Old) {
        const size_t at = kOldKindCodes.find(probe);
        if (at == std::string_view::npos)
            return; // no current name for this old code
        code = std::string(kOldKindCodes.substr(at + probe.size(), 3));
    }
    if (code.size() != 3)
        return;

    int32_t values[4];
    std::string_view items = rest;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = items.find(',');
        const std::string_view item = items.substr(0, comma);
        if (!ParseConfigInt(item, values[i]))
            return;
        if (comma == std::string_view::npos) {
            if (i < 3)
                return;
            items = {};
        } else {
            items.remove_prefix(comma + 1);
        }
    }

    const uint16_t kind = PackKindCode(code);
    PlacementRecord* record = nullptr;
    for (PlacementRecord& r : schemes.table)
        if (r.scheme == scheme && r.kind == kind) {
            record = &r;
            break;
        }
    if (!record)
        for (PlacementRecord& r : schemes.table)
            if (r.scheme == 0) {
                record = &r;
                break;
            }
    if (!record)
        return; // all records in use
    record->scheme = static_cast<uint8_t>(scheme);
    record->category = CategoryOfKind(kind);
    record->kind = kind;
    record->left = values[0];
    record->top = values[1];
    record->width = values[2];
    record->height = values[3];
}

void ReadScheme(PlacementSchemes& schemes, int scheme, const std::string_view* lines, size_t count,
                SchemeNaming& naming)
{
    for (size_t i = 0; i < count; ++i)
        ReadSchemeLine(schemes, scheme, lines[i], naming);
}

bool SchemeIsEmpty(const PlacementSchemes& schemes, int scheme)
{
    for (const PlacementRecord& r : schemes.table)
        if (r.scheme == scheme)
            return false;
    return true;
}

void SetDefaultScheme(PlacementSchemes& schemes, int scheme)
{
    if (!ValidScheme(scheme))
        return;
    const DefaultRecord* begin = nullptr;
    size_t n = 0;
    switch (scheme) {
    case 2:
        begin = kScheme1;
        n = std::size(kScheme1);
        break;
    case 3:
        begin = kScheme2;
        n = std::size(kScheme2);
        break;
    default:
        begin = kScheme3;
        n = std::size(kScheme3);
        break;
    }
    const size_t s = static_cast<size_t>(scheme - kFirstScheme);
    schemes.shiftRight[s] = 2;
    schemes.shiftDown[s] = scheme == 4 ? 2 : 0;

    // Free records only: after a scheme was deleted the table has holes, and
    // the records behind a hole belong to other schemes.
    size_t slot = 0;
    for (size_t i = 0; i < n; ++i, ++slot) {
        while (slot < kPlacementRecords && schemes.table[slot].scheme != 0)
            ++slot;
        if (slot == kPlacementRecords)
            break;
        const DefaultRecord& d = begin[i];
        PlacementRecord& r = schemes.table[slot];
        r.scheme = static_cast<uint8_t>(scheme);
        r.kind = PackKindCode(d.kind);
        r.category = CategoryOfKind(r.kind);
        r.left = d.left;
        r.top = d.top;
        r.width = d.width;
        r.height = d.height;
    }
}

void WriteSchemes(const PlacementSchemes& schemes, std::string& out)
{
    for (int scheme = kFirstScheme; scheme <= kLastScheme; ++scheme) {
        const size_t s = static_cast<size_t>(scheme - kFirstScheme);
        out += "[QEVW sch";
        out += static_cast<char>('0' + scheme - 1);
        out += "]\r\n";
        if (schemes.shiftRight[s] != 0) {
            out += "SFTRIGHT=";
            AppendInt(out, schemes.shiftRight[s]);
            out += "\r\n";
        }
        if (schemes.shiftDown[s] != 0) {
            out += "SFTDOWN=";
            AppendInt(out, schemes.shiftDown[s]);
            out += "\r\n";
        }
        for (const PlacementRecord& r : schemes.table) {
            if (r.scheme != scheme)
                continue;
            out += KindCodeText(r.kind);
            out += '=';
            AppendInt(out, r.left);
            out += ',';
            AppendInt(out, r.top);
            out += ',';
            AppendInt(out, r.width);
            out += ',';
            AppendInt(out, r.height);
            out += "\r\n";
        }
        out += "\r\n";
    }
}
