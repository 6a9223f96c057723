#include "datastore/text_helpers.h"

#include <array>

#include "datastore/kamenici.h"
#include "platform/ascii.h"

int PosCharFrom(char c, std::string_view text, int from)
{
    if (from < 1)
        from = 1;
    if (static_cast<size_t>(from) > text.size())
        return 0;
    size_t p = text.find(c, static_cast<size_t>(from - 1));
    return p == std::string_view::npos ? 0 : static_cast<int>(p + 1);
}

int PosStrFrom(std::string_view pattern, std::string_view text, int from)
{
    if (from < 1)
        from = 1;
    if (pattern.empty() || static_cast<size_t>(from) > text.size())
        return 0;
    size_t p = text.find(pattern, static_cast<size_t>(from - 1));
    return p == std::string_view::npos ? 0 : static_cast<int>(p + 1);
}

int LastCharPos(std::string_view s, char c)
{
    size_t p = s.rfind(c);
    return p == std::string_view::npos ? 0 : static_cast<int>(p + 1);
}

namespace {

inline unsigned char Fold(char c)
{
    return KamUpper[static_cast<unsigned char>(c)];
}

inline bool IsFoldedLetter(char c)
{
    unsigned char f = Fold(c);
    return f >= 'A' && f <= 'Z';
}

constexpr std::string_view kBreakAfter = " !\"'):;?]}~";
constexpr std::string_view kBreakBefore = "#$%&(*+-/<=>[\\^_{|`@";
constexpr std::string_view kVowels = "AEIOUY";

} // namespace

int LineBreakPos(std::string_view s, int p)
{
    const int len = static_cast<int>(s.size());
    if (p < 1 || p > len || len <= 3)
        return 0;
    auto at = [&](int i) { return s[static_cast<size_t>(i - 1)]; };
    if (at(p) == ' ')
        return 0;
    if (p >= len - 1)
        --p;
    if (!IsFoldedLetter(at(p + 1)))
        --p;
    while (p > 2) {
        char a = at(p - 1);
        char b = at(p);
        if (kBreakAfter.find(a) != std::string_view::npos)
            return p;
        if ((a == ',' || a == '.') && !IsAsciiDigit(b))
            return p;
        if (kBreakBefore.find(b) != std::string_view::npos)
            return p;
        if (kVowels.find(static_cast<char>(Fold(a))) != std::string_view::npos && IsFoldedLetter(b))
            return p;
        --p;
    }
    return 0;
}

bool EanValid(std::string_view text)
{
    const std::string_view code = TrimBlanks(text);
    if (code.size() != 8 && code.size() != 12 && code.size() != 13)
        return false;
    int sum = 0;
    int weight = 1;
    for (size_t i = code.size(); i-- > 0;) {
        if (!IsAsciiDigit(code[i]))
            return false;
        sum += (code[i] - '0') * weight;
        weight = 4 - weight;
    }
    return sum % 10 == 0;
}

int CheckId8(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return 1;
    for (char c : text)
        if (!IsAsciiDigit(c))
            return 1;
    std::string padded(8 - text.size(), ' ');
    padded += text;
    int s = 0;
    for (int i = 0; i < 7; ++i)
        if (padded[i] != ' ')
            s += (padded[i] - '0') * (8 - i);
    int check = (11 - s % 11) % 10;
    return check == padded[7] - '0' ? 0 : 1;
}

namespace {

constexpr std::array<std::string_view, 22> kInstitutionWords = {
    "LEKARNA",     "LEKARNIK",  "LEKAR", "NEMOCNICE",   "NEMOC",     "KLINIKA", "USTAV",     "INTERNA",
    "CHIRURGIE",   "CHIRUAMB",  "CHIRU", "GYNEKOLOGIE", "GYNEKOLOG", "GYNEK",   "VRCHNILDN", "VRCHN",
    "TOXIKOLOGIE", "TOXIKOLOG", "TOXIK", "ALERGOLOGIE", "ALERGOLOG", "ALERG",
};

std::string NormalizeName(std::string_view name)
{
    std::string s(name);
    KamToAsciiS(s);
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    // Removing a word can join its neighbours into a new occurrence, so each
    // word is removed until none remains.
    for (std::string_view w : kInstitutionWords) {
        for (size_t p = s.find(w); p != std::string::npos; p = s.find(w))
            s.erase(p, w.size());
    }
    std::string out;
    for (char c : s) {
        bool keep = IsAsciiDigit(c) || (c >= 'A' && c <= 'Z');
        if (keep)
            out.push_back(c);
        else if (!out.empty() && out.back() != ' ')
            out.push_back(' ');
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

} // namespace

std::string NormalizeNameA(std::string_view name)
{
    return NormalizeName(name);
}

std::string NormalizeNameB(std::string_view name)
{
    return NormalizeName(name);
}

int DistinctChars(std::string_view text)
{
    std::array<bool, 256> seen{};
    int n = 0;
    for (char c : text) {
        bool& s = seen[static_cast<unsigned char>(c)];
        if (!s) {
            s = true;
            ++n;
        }
    }
    return n;
}

uint32_t Pack6ToInt(std::string_view text)
{
    uint32_t n = 0;
    for (char c : text)
        n = (n << 6) | ((static_cast<unsigned>(static_cast<unsigned char>(c)) - 32u) & 63u);
    return n;
}

namespace {

// A base-36 digit ("0"-"9", "A"-"Z"), or -1.
int Base36(char c)
{
    if (IsAsciiDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return -1;
}

void AppendTwoDigits(std::string& out, int n)
{
    out.push_back(static_cast<char>('0' + n / 10));
    out.push_back(static_cast<char>('0' + n % 10));
}

} // namespace

std::string CompactDateStr(std::string_view code, bool keepZeros)
{
    if (code.size() < 4 || code[0] < '0')
        return {};
    int month = Base36(code[2]);
    int day = Base36(code[3]);
    if (month < 0 || day < 0)
        return {};
    std::string d;
    AppendTwoDigits(d, day);
    std::string m;
    AppendTwoDigits(m, month);
    if (!keepZeros) {
        if (m[0] == '0')
            m.erase(0, 1);
        if (d[0] == '0')
            d.erase(0, 1);
    }
    std::string out = d + "." + m + ".20";
    out.append(code.substr(0, 2));
    return out;
}

std::string CodeToCompact(std::string_view code)
{
    if (code.empty())
        return {};
    if (code == "11")
        return "B";
    if (code.size() == 6 && code[0] == 'U') {
        std::string r(code);
        r.erase(4, 1);
        r.erase(1, 1);
        return r;
    }
    std::string c(code);
    if (c.size() == 10 && c[8] == '.')
        c.push_back('0');
    if (c.size() != 11)
        return "~";
    std::string r = "   ~";
    for (int g = 0; g < 4; ++g) {
        char hi = c[3 * g];
        char lo = c[3 * g + 1];
        if (!IsAsciiDigit(hi) || !IsAsciiDigit(lo))
            break;
        int n = (hi - '0') * 10 + (lo - '0');
        int low = g < 3 ? 1 : 0;
        if (n < low || n > 31)
            break;
        r[g] = n == 0 ? '0' : n <= 9 ? static_cast<char>('0' + n) : static_cast<char>('A' + n - 10);
    }
    return r;
}

std::string CompactToCode(std::string_view compact)
{
    if (compact.empty() || compact[0] == ' ')
        return {};
    if (compact == "B" || compact == "B   ")
        return "11";
    if (compact[0] == 'U') {
        std::string r(compact);
        r.insert(1, 1, '.');
        r.insert(r.size() < 4 ? r.size() : 4, 1, '.');
        return r;
    }
    std::string out;
    for (size_t i = 0; i < 4 && i < compact.size(); ++i) {
        int v = Base36(compact[i]);
        if (v < 0)
            break;
        if (i > 0)
            out.push_back('.');
        AppendTwoDigits(out, v);
    }
    return out;
}
