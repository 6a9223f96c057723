#include "frame/shared_helpers.h"

#include <QDate>
#include <QDateTime>
#include <QDir>

#include <mutex>

#include "datastore/text_table.h"
#include "frame/pages/hint_window.h"
#include "frame/start/ipc.h"
#include "platform/fs.h"

std::string HexOfBytes(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

static int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool BytesOfHex(std::string_view hex, std::string& out)
{
    out.clear();
    const size_t pairs = hex.size() / 2;
    std::string bytes;
    bytes.reserve(pairs);
    for (size_t i = 0; i < pairs; ++i) {
        int hi = HexDigitValue(hex[2 * i]);
        int lo = HexDigitValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    out = std::move(bytes);
    return true;
}

namespace {
constexpr char kBase64UrlAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
}

std::string Base64UrlEncode(std::string_view bytes)
{
    const char* alphabet = kBase64UrlAlphabet;
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        out.push_back(alphabet[(v >> 6) & 63]);
        out.push_back(alphabet[v & 63]);
    }
    const size_t left = bytes.size() - i;
    if (left > 0) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (left == 2)
            v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out.push_back(alphabet[(v >> 18) & 63]);
        out.push_back(alphabet[(v >> 12) & 63]);
        if (left == 2)
            out.push_back(alphabet[(v >> 6) & 63]);
    }
    return out;
}

bool Base64UrlDecode(std::string_view text, std::string& out)
{
    out.clear();
    uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        const char* p = std::char_traits<char>::find(kBase64UrlAlphabet, 64, c);
        if (!p)
            return false;
        acc = (acc << 6) | static_cast<uint32_t>(p - kBase64UrlAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((acc >> bits) & 0xFF));
        }
    }
    return true;
}

// Help and folders -----------------------------------------------------------

std::string DataFolderOption()
{
    const StartValues& s = Start();
    return s.DataDir != s.ProgramFolder ? " /d=" + s.DataDir : std::string();
}

std::vector<std::string> DataFolderArguments()
{
    const StartValues& s = Start();
    if (s.DataDir == s.ProgramFolder)
        return {};
    return {"/d=" + s.DataDir};
}

bool RequestHelp(std::string_view topic)
{
    const std::string t(topic);
    if (ReplyTaken(OfferQuery("|q=help||1=" + t + "|", false)))
        return true;
    std::vector<std::string> args = {"/q=help", t};
    for (std::string& a : DataFolderArguments())
        args.push_back(std::move(a));
    return LaunchWithHandshake("", args, nullptr, false) > 32;
}

std::string TempFolderFrom(const EnvLookup& env)
{
    for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
        const std::string v = env(name);
        if (v.empty())
            continue;
        if (QDir().mkpath(QString::fromStdString(v)) && FolderExists(v))
            return WithTrailingSlash(v);
    }
    return "/tmp/";
}

std::string TempFolder()
{
    static std::once_flag once;
    static std::string folder;
    std::call_once(once, [] { folder = TempFolderFrom(RealEnvironment); });
    return folder;
}

// Dates ------------------------------------------------------------------

namespace {

std::string TwoDigits(int v)
{
    std::string s(2, '0');
    s[0] = static_cast<char>('0' + (v / 10) % 10);
    s[1] = static_cast<char>('0' + v % 10);
    return s;
}

std::string FourDigits(int v)
{
    std::string s(4, '0');
    for (int i = 3; i >= 0; --i, v /= 10)
        s[static_cast<size_t>(i)] = static_cast<char>('0' + v % 10);
    return s;
}

bool AllDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

int Number(std::string_view digits)
{
    int v = 0;
    for (char c : digits)
        v = v * 10 + (c - '0');
    return v;
}

} // namespace

std::string FormatStoredDate(std::string_view stored)
{
    if (stored.size() < 10)
        return {};
    std::string day(stored.substr(8, 2));
    std::string month(stored.substr(5, 2));
    if (!month.empty() && month[0] == '0')
        month.erase(0, 1);
    if (!day.empty() && day[0] == '0')
        day.erase(0, 1);
    return day + "." + month + "." + std::string(stored.substr(0, 4));
}

std::string StoredDateFromInput(std::string_view text)
{
    std::string s = TrimLeftShort(TrimRightShort(text));
    if (s.size() >= 2 && s[1] == '.')
        s.insert(0, "0");
    if (s.size() >= 3)
        s[2] = '/';
    if (s.size() >= 5 && s[4] == '.')
        s.insert(3, "0");
    if (s.size() != 10 || s[5] != '.')
        return {};
    const std::string_view v(s);
    const std::string_view year = v.substr(6, 4), month = v.substr(3, 2), day = v.substr(0, 2);
    if (!AllDigits(year) || !AllDigits(month) || !AllDigits(day))
        return {};
    if (!QDate::isValid(Number(year), Number(month), Number(day)))
        return {};
    return std::string(year) + "/" + std::string(month) + "/" + std::string(day);
}

std::string DateTextYmdFrom(const QDateTime& now, double days)
{
    const QDate d = now.addMSecs(static_cast<qint64>(days * 86400000.0)).date();
    return FourDigits(d.year()) + "/" + TwoDigits(d.month()) + "/" + TwoDigits(d.day());
}

std::string DateTextYmd(double days) { return DateTextYmdFrom(QDateTime::currentDateTime(), days); }

uint16_t PackedDateCode(const QDate& date)
{
    return static_cast<uint16_t>(((date.year() - 2000) * 12 + date.month() - 1) * 32 + date.day());
}

uint16_t TodayCode() { return PackedDateCode(QDate::currentDate()); }

// Files ------------------------------------------------------------------

namespace {

std::mutex& TextListMutex()
{
    static std::mutex m;
    return m;
}

std::vector<std::string>& TextList()
{
    static std::vector<std::string> lines;
    return lines;
}

} // namespace

std::vector<std::string> SharedTextLines()
{
    std::lock_guard lock(TextListMutex());
    return TextList();
}

void SetSharedTextLines(std::vector<std::string> lines)
{
    std::lock_guard lock(TextListMutex());
    TextList() = std::move(lines);
}

int LoadTextList(const std::string& fileName)
{
    std::string text;
    const int r = ReadWholeFile(fileName, text);
    if (r != 0)
        return r;
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text, start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text, start);
    SetSharedTextLines(std::move(lines));
    return 0;
}

int SaveTextList(const std::vector<std::string>& lines, const std::string& fileName)
{
    std::string text;
    for (const std::string& l : lines) {
        text += l;
        text += "\r\n";
    }
    return WriteFileAtomic(fileName, text);
}

// Hints ------------------------------------------------------------------

std::atomic<bool> HintShown{false};
std::atomic<bool> InputBusy{false};

namespace {
std::atomic<TMyHintWindow*> g_hintWindow{nullptr};
}

void SetSharedHintWindow(TMyHintWindow* window) { g_hintWindow.store(window); }
TMyHintWindow* SharedHintWindow() { return g_hintWindow.load(); }

void HideHint()
{
    if (TMyHintWindow* w = g_hintWindow.load())
        w->HideHint();
    HintShown = false;
}

std::string ButtonHintText(char symbol, int mode, bool state)
{
    auto text = [](const char* key) { return LookupText(UiTexts, "Cudl", key); };
    auto two = [&](const char* first, const char* set, const char* clear) {
        return text(first) + "\r" + text(state ? set : clear);
    };
    if (mode != 0 && mode != 1)
        return {};
    const bool m0 = mode == 0;
    switch (symbol) {
    case '&':
        return text("kbd");
    case ')':
        return m0 ? two("whit", "whit1", "whit0") : text("whi");
    case '*':
        return m0 ? two("slat", "slat1", "slat0") : text("sla");
    case '/':
        return m0 ? two("strt", "strt1", "strt0") : text("str");
    case '<':
        return m0 ? two("tret", "tret1", "tret0") : text("tre");
    case '?':
        return m0 ? two("hlpt", "hlpt1", "hlpt0") : text("hlp");
    case '=':
        if (m0)
            return two("colt", "colt1", "colt0");
        return state ? std::string() : text("col0");
    case '>':
        return m0 ? text("tabt") : text(state ? "tab1" : "tab0");
    case '-':
        return m0 ? text("hor") : std::string();
    case '|':
        return m0 ? text("ver") : std::string();
    default:
        return {};
    }
}

// The upper-case table ----------------------------------------------------

namespace {

constexpr std::array<unsigned char, 44> kUpperHigh = {
    0x80, 0x9A, 0x90, 0x85, 0x8E, 0x85, 0x86, 0x80, 0x89, 0x89, 0x8A, 0x8B, 0x9C, 0x8A, 0x8E,
    0x8F, 0x90, 0x92, 0x92, 0xA7, 0x99, 0x95, 0xA6, 0x97, 0x9D, 0x99, 0x9A, 0x9B, 0x9C, 0x9D,
    0x9E, 0x86, 0x8F, 0x8B, 0x95, 0x97, 0xA5, 0xA5, 0xA6, 0xA7, 0x9B, 0x9E, 0xC0, 0xC0,
};

constexpr std::array<unsigned char, 256> BuildUpperTable()
{
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c)
        t[static_cast<size_t>(c)] = static_cast<unsigned char>(c - 'a' + 'A');
    for (size_t i = 0; i < kUpperHigh.size(); ++i)
        t[0x80 + i] = kUpperHigh[i];
    return t;
}

} // namespace

const std::array<unsigned char, 256> UpperTable = BuildUpperTable();

// Paragraph codes -----------------------------------------------------------

namespace {

bool IsSummaryKind(char kind) { return kind == 'S' || kind == 'I'; }

std::string Decimal(int v) { return std::to_string(v); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
    case 5:
        return 0x49;
    case 6:
        return 0x53;
    case 7:
        return 0x66;
    default:
        return static_cast<uint8_t>(code - 16);
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
        case 0x00: case 0x0F: case 0x40: case 0x4F: case 0x50: case 0x5F: case 0x60: case 0x6F:
            return true;
        default:
            return false;
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
    case 1:
        return IsDigit(key[0]) ? static_cast<uint8_t>(16 * (key[0] - '0')) : 0;
    case 2: {
        if (!IsDigit(key[0]) || !IsDigit(key[1]))
            return 0;
        const int p = Number(key);
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
            const int p = Number(key.substr(0, 2));
            if (p > 15)
                return 0;
            return static_cast<uint8_t>(16 * p + (key[3] - '0'));
        }
        // "<d>.1<d>": subparagraphs 10-15.
        if (!IsDigit(key[0]) || key[2] != '1' || key[3] < '0' || key[3] > '5')
            return 0;
        return static_cast<uint8_t>(16 * (key[0] - '0') + 10 + (key[3] - '0'));
    default:
        return 0;
    }
}

std::string ParagraphListOfKind(char kind)
{
    const std::string mask = LookupText(UiTexts, "Prohlizec", std::string("Vyb") + kind);
    std::string codes;
    std::string key, value;
    while (codes.size() < kMaxListCodes && NextTextEntry(DataTexts, "Nadpis", key, value) != 0) {
        if (key.compare(0, 4, "Odst") != 0)
            continue;
        const std::string_view rest = std::string_view(key).substr(4);
        if (rest.size() == 2 && IsDigit(rest[0]) && IsDigit(rest[1])) {
            const int x = rest[0] - '0', y = rest[1] - '0';
            const size_t pos = static_cast<size_t>(10 * x + y); // 0-based of 10x + y + 1
            if (pos < mask.size() && mask[pos] == '+')
                codes.push_back(static_cast<char>(16 * x + y));
        } else if (rest.size() == 1) {
            codes.push_back(static_cast<char>(static_cast<unsigned char>(rest[0]) - 112));
        }
    }
    return codes;
}

std::string ProductSummaryParagraphList()
{
    std::string codes;
    std::string key, value;
    while (codes.size() < kMaxListCodes && NextTextEntry(DataTexts, "Nadpis", key, value) != 0) {
        if (key.compare(0, 4, "Ospc") != 0)
            continue;
        codes.push_back(static_cast<char>(ParagraphKeyToCode(std::string_view(key).substr(4))));
    }
    return codes;
}

void LoadParagraphLists()
{
    std::array<std::string, 8> lists;
    for (size_t i = 0; i < kListKinds.size(); ++i)
        lists[i] = kListKinds[i] == 'S' ? ProductSummaryParagraphList()
                                        : ParagraphListOfKind(kListKinds[i]);
    std::lock_guard lock(ParagraphMutex());
    Lists() = std::move(lists);
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
    auto inG = [&codes](int c) {
        return codes.find(static_cast<char>(c & 0xFF)) != std::string_view::npos;
    };
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
