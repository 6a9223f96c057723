#include "datastore/paragraph_codes.h"

#include <array>
#include <mutex>

#include "datastore/text_table.h"

namespace {

bool IsSummaryKind(char kind)
{
    return kind == 'S' || kind == 'I';
}

std::string Decimal(int v)
{
    return std::to_string(v);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Two decimal digits, already checked.
int TwoDigitNumber(std::string_view digits)
{
    return 10 * (digits[0] - '0') + (digits[1] - '0');
}

std::mutex& ParagraphMutex()
{
    static std::mutex m;
    return m;
}

std::function<std::string(int)>& LabelLookup()
{
    static std::function<std::string(int)> f;
    return f;
}

// The lists of "S", "K", "B", "E", "R", "k", "b", "r".
constexpr std::string_view kListKinds = "SKBERkbr";
std::array<std::string, 8>& Lists()
{
    static std::array<std::string, 8> lists;
    return lists;
}

constexpr size_t kMaxListCodes = 79;

} // namespace

std::string ParagraphText(uint8_t code)
{
    std::string s = Decimal(code >> 4);
    if ((code & 15) != 0)
        s += "." + Decimal(code & 15);
    return s;
}

uint8_t PrevParagraph(uint8_t code)
{
    if ((code & 15) != 0)
        return static_cast<uint8_t>(code - 1);
    switch (code >> 4) {
    case 5: return 0x49;
    case 6: return 0x53;
    case 7: return 0x66;
    default: return static_cast<uint8_t>(code - 16);
    }
}

void SetParagraphLabelLookup(std::function<std::string(int n)> lookup)
{
    std::lock_guard lock(ParagraphMutex());
    LabelLookup() = std::move(lookup);
}

std::string ParagraphSetText(std::string_view selection, char kind)
{
    if (selection.empty())
        return {};
    const char marker = selection.back();
    const std::string_view codes = selection.substr(0, selection.size() - 1);
    std::string out = marker == '-' ? LookupText(UiTexts, "Text", "bez") : std::string();
    if (IsSummaryKind(kind)) {
        size_t i = 0;
        bool firstItem = true;
        while (i < codes.size()) {
            size_t j = i;
            while (j + 1 < codes.size() &&
                   PrevParagraph(static_cast<uint8_t>(codes[j + 1])) == static_cast<uint8_t>(codes[j]))
                ++j;
            if (!firstItem)
                out += ",";
            firstItem = false;
            out += ParagraphText(static_cast<uint8_t>(codes[i]));
            if (j > i)
                out += "-" + ParagraphText(static_cast<uint8_t>(codes[j]));
            i = j + 1;
        }
        return out;
    }
    std::function<std::string(int)> label;
    {
        std::lock_guard lock(ParagraphMutex());
        label = LabelLookup();
    }
    for (size_t i = 0; i < codes.size(); ++i) {
        const int c = static_cast<unsigned char>(codes[i]);
        const int n = c - (c / 16) * 6;
        std::string item = label ? label(n) : std::string();
        if (i > 0)
            out += ",";
        out += item.empty() ? Decimal(n) : item;
    }
    return out;
}

bool IsParagraphGroup(uint8_t code, char kind)
{
    if (IsSummaryKind(kind)) {
        switch (code) {
        case 0x00:
        case 0x0F:
        case 0x40:
        case 0x4F:
        case 0x50:
        case 0x5F:
        case 0x60:
        case 0x6F: return true;
        default: return false;
        }
    }
    return code > 190;
}

uint8_t ParagraphGroupEnd(uint8_t code, char kind)
{
    return static_cast<uint8_t>(code + 15 + (IsSummaryKind(kind) ? 0 : 1));
}

uint8_t ParagraphKeyToCode(std::string_view key)
{
    switch (key.size()) {
    case 1: return IsDigit(key[0]) ? static_cast<uint8_t>(16 * (key[0] - '0')) : 0;
    case 2: {
        if (!IsDigit(key[0]) || !IsDigit(key[1]))
            return 0;
        const int p = TwoDigitNumber(key);
        return p >= 10 && p <= 15 ? static_cast<uint8_t>(16 * p) : 0;
    }
    case 3:
        if (!IsDigit(key[0]) || IsDigit(key[1]) || !IsDigit(key[2]))
            return 0;
        return static_cast<uint8_t>(16 * (key[0] - '0') + (key[2] - '0'));
    case 4:
        if (IsDigit(key[1])) {
            // "<d><d>_<d>": a two-digit paragraph 10-15 and a subparagraph.
            if (!IsDigit(key[0]) || IsDigit(key[2]) || !IsDigit(key[3]))
                return 0;
            const int p = TwoDigitNumber(key.substr(0, 2));
            if (p > 15)
                return 0;
            return static_cast<uint8_t>(16 * p + (key[3] - '0'));
        }
        // "<d>.1<d>": subparagraphs 10-15.
        if (!IsDigit(key[0]) || key[2] != '1' || key[3] < '0' || key[3] > '5')
            return 0;
        return static_cast<uint8_t>(16 * (key[0] - '0') + 10 + (key[3] - '0'));
    default: return 0;
    }
}

std::vector<std::pair<std::string, std::string>> ParagraphTitleEntries(char kind)
{
    const std::string_view section = IsSummaryKind(kind) ? "Ospc" : "Odst";
    const TextTablePtr texts = DataTexts.Get();
    std::vector<std::pair<std::string, std::string>> entries;
    // The paragraph keys follow the section's heading; whatever the section
    // holds before it is not a paragraph.
    std::string key = "Nadpis", value;
    while (NextTextEntry(texts, section, key, value) != 0)
        entries.emplace_back(key, value);
    return entries;
}

int OdstParagraphNumber(std::string_view key)
{
    if (key.size() != 2)
        return -1;
    auto digit = [](char c) { return c == ' ' ? 0 : IsDigit(c) ? c - '0' : -1; };
    const int x = digit(key[0]), y = digit(key[1]);
    return x < 0 || y < 0 ? -1 : 10 * x + y;
}

bool ParagraphAvailable(std::string_view mask, int n)
{
    return n >= 0 && static_cast<size_t>(n) < mask.size() && mask[static_cast<size_t>(n)] == '+';
}

std::string ParagraphAbbreviation(int n)
{
    if (n < 0)
        return {};
    std::string first, second;
    GetTextEntry(UiTexts, "Prohlizec", "Zkr1", first);
    GetTextEntry(UiTexts, "Prohlizec", "Zkr2", second);
    const size_t i = static_cast<size_t>(n);
    if (i >= first.size() || i >= second.size() || first[i] == ' ' || IsDigit(first[i]))
        return {};
    return {first[i], second[i]};
}

std::string ParagraphListOfKind(char kind)
{
    std::string mask;
    GetTextEntry(UiTexts, "Prohlizec", std::string("Vyb") + kind, mask);
    std::string codes;
    for (const auto& [key, value] : ParagraphTitleEntries(kind)) {
        if (codes.size() >= kMaxListCodes)
            break;
        if (key.size() == 1) {
            codes.push_back(static_cast<char>(OdstGroupCode(key[0])));
        } else if (const int n = OdstParagraphNumber(key); ParagraphAvailable(mask, n)) {
            codes.push_back(static_cast<char>(OdstParagraphCode(n)));
        }
    }
    return codes;
}

std::string ProductSummaryParagraphList()
{
    std::string codes;
    for (const auto& [key, value] : ParagraphTitleEntries('S')) {
        if (codes.size() >= kMaxListCodes)
            break;
        codes.push_back(static_cast<char>(ParagraphKeyToCode(key)));
    }
    return codes;
}

void LoadParagraphLists()
{
    std::array<std::string, 8> lists;
    for (size_t i = 0; i < kListKinds.size(); ++i)
        lists[i] = kListKinds[i] == 'S' ? ProductSummaryParagraphList() : ParagraphListOfKind(kListKinds[i]);
    std::lock_guard lock(ParagraphMutex());
    Lists() = std::move(lists);
    LabelLookup() = ParagraphAbbreviation;
}

std::string ParagraphList(char kind)
{
    if (kind == 'I')
        kind = 'S';
    size_t i = kListKinds.find(kind);
    if (i == std::string_view::npos)
        i = kListKinds.find('K');
    std::lock_guard lock(ParagraphMutex());
    return Lists()[i];
}

std::string EncodeParagraphSet(std::string_view codes, char kind)
{
    return EncodeParagraphSet(codes, kind, ParagraphList(kind));
}

std::string EncodeParagraphSet(std::string_view codes, char kind, std::string_view list)
{
    if (!codes.empty() && static_cast<unsigned char>(codes.back()) == 0xFF)
        codes = {};
    const bool summary = IsSummaryKind(kind);
    auto inG = [&codes](int c) { return codes.find(static_cast<char>(c & 0xFF)) != std::string_view::npos; };
    std::string P, M;
    int st = 1;
    bool first = true;
    for (char ch : list) {
        const uint8_t c = static_cast<uint8_t>(ch);
        const bool start = summary ? (c & 15) == 0 : c > 190;
        const bool head = IsParagraphGroup(c, summary ? 'S' : 'K');
        bool next = start || first;
        if (head) {
            if (inG(c + (summary ? 15 : 16))) {
                st = 1;
                next = false;
            } else if (inG(c)) {
                st = 0;
                next = false;
            }
        } else if (start || first) {
            (inG(c) ? M : P).push_back(ch);
        } else {
            (st == 1 ? P : M).push_back(ch);
        }
        first = next;
    }
    std::string result = M.size() < P.size() ? M + "-" : P + "+";
    return result.size() == 1 ? std::string() : result;
}
