#include "frame/config/config_file.h"

#include <QGuiApplication>
#include <QScreen>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "datastore/hex_base64.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/config/config_names.h"
#include "frame/config/config_scramble.h"
#include "frame/report_hook.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

namespace {

// ---------------------------------------------------------------- texts

constexpr std::string_view kDefaultToolbar = "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-SSI-";
constexpr std::string_view kDefaultToolbarWithRmd = "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-";
constexpr std::string_view kUnexpandedReimbLetters = "BIHKLOTUXZQN";

constexpr std::string_view kCodePageWords[] = {"OK", "ASCII", "LATIN", "WIN", "FILTER"};
constexpr std::string_view kSearchPlaceWords[] = {"KODEX", "ENG", "PATIENT", "SPC"};
constexpr std::string_view kWindowModeWords[] = {"MAX", "FREE", "SCH1", "SCH2", "SCH3"};

// The sections the program writes itself; every other section of the file
// (and everything before the first section) is carried over by a save.
constexpr std::string_view kOwnSections[] = {
    "[QEV language]", "[QEV filter]", "[QEV other]", "[QEV paragr]", "[QEVW win]",
    "[QEVW sch1]",    "[QEVW sch2]",  "[QEVW sch3]", "[QEV news]",   "[QEV vis]",
};

template <size_t N>
int IndexOfWord(const std::string_view (&words)[N], std::string_view w)
{
    for (size_t i = 0; i < N; ++i)
        if (words[i] == w)
            return static_cast<int>(i);
    return -1;
}

bool IsOwnSection(std::string_view header)
{
    for (std::string_view s : kOwnSections)
        if (s == header)
            return true;
    return false;
}

std::string_view Head(std::string_view s, size_t n)
{
    return s.substr(0, std::min(n, s.size()));
}

void AppendInt(std::string& out, int64_t v)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

std::string IntText(int64_t v)
{
    std::string s;
    AppendInt(s, v);
    return s;
}

std::string BackslashesToSlashes(std::string s)
{
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

// Paths are bytes in code page 1250 in the file and UTF-8 on the system.
std::string PathFromFile(std::string_view cp1250)
{
    return BackslashesToSlashes(Cp1250ToUtf8(cp1250));
}

std::string PathToFile(const std::string& utf8)
{
    std::string out;
    if (Utf8ToCp1250(utf8, out))
        return out;
    return QStringToCp1250(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

// Lines of a file: LF ends a line and a CR before it is dropped; a last line
// without LF counts; a UTF-8 byte-order mark at the start is ignored.
std::vector<std::string_view> SplitLines(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::string_view line = text.substr(pos, end - pos);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (lf == std::string_view::npos)
            break;
        pos = lf + 1;
    }
    return lines;
}

// A value between delimiters: the first character is the delimiter and the
// value runs to its next occurrence (or to the end).
std::string DelimitedValue(std::string_view v, size_t maxLength)
{
    if (v.empty())
        return {};
    const char delim = v.front();
    v.remove_prefix(1);
    size_t end = v.find(delim);
    if (end != std::string_view::npos)
        v = v.substr(0, end);
    return std::string(Head(v, maxLength));
}

// "'" unless the value holds one, else a printable character it lacks.
std::string Delimited(std::string_view v)
{
    char delim = '\'';
    if (v.find(delim) != std::string_view::npos) {
        for (int c = 0x21; c < 0x7F; ++c) {
            if (v.find(static_cast<char>(c)) == std::string_view::npos) {
                delim = static_cast<char>(c);
                break;
            }
        }
    }
    std::string r(1, delim);
    r += v;
    r += delim;
    return r;
}

// ---------------------------------------------------------------- reading

struct ReadState {
    bool winSectionSeen = false;
    std::optional<std::string> winPrinter;
    SchemeNaming naming = SchemeNaming::Undecided;
};

void ReadCodePage(std::string_view v, uint8_t& target)
{
    int i = IndexOfWord(kCodePageWords, v);
    if (i >= 0)
        target = static_cast<uint8_t>(i);
}

void ReadLanguageLine(ConfigValues& c, std::string_view key, std::string_view v)
{
    if (key == "LANGUAGE=")
        c.configuredLanguage = std::string(Head(v, 3));
    else if (key == "VIDEO=")
        ReadCodePage(v, c.videoCodePage);
    else if (key == "PRINTER=")
        ReadCodePage(v, c.printerCodePage);
    else if (key == "FILE=")
        ReadCodePage(v, c.fileCodePage);
    else if (key == "FILTER=")
        c.transliterationFilter = DelimitedValue(v, 128);
}

struct FilterMarker {
    std::string_view text;
    uint16_t bit;
};
// In the order the writer puts them.
constexpr FilterMarker kFilterMarkers[] = {
    {"-V", 2}, {"+V", 1}, {"-H", 8},  {"+H", 4},  {"C", 16},
    {"O", 32}, {"Z", 64}, {"A", 128}, {"1", 256}, {"+U", 512},
};

void ReadFilterLine(ConfigValues& c, std::string_view key, std::string_view v)
{
    if (key == "DRUG=") {
        c.FilterFlags = 0;
        for (const FilterMarker& m : kFilterMarkers)
            if (v.find(m.text) != std::string_view::npos)
                c.FilterFlags |= m.bit;
    } else if (key == "COMP=") {
        if (v == "-S")
            c.SynonymFilter = 16;
    } else if (key == "BORDER=") {
        if (v == "NO")
            c.KeySelectOption = 0;
    } else if (key == "PARAGR=") {
        c.paragraphFilter = DelimitedValue(v, 100);
    } else if (key == "STEXT=") {
        c.textSearchOptions = 0;
        if (v.find('P') != std::string_view::npos)
            c.textSearchOptions |= 1;
        if (v.find('D') != std::string_view::npos)
            c.textSearchOptions |= 2;
    } else if (key == "VZPCR=") {
        c.ReimbColumnLetters = v == kUnexpandedReimbLetters ? std::string() : std::string(Head(v, 31));
    } else if (key == "FIND=") {
        c.TextTarget = IndexOfWord(kSearchPlaceWords, v);
    } else if (key == "INGR=") {
        if (v == "A")
            c.CompositionFilter = 1;
    } else if (key == "UATC=") {
        if (v == "A")
            c.AtcFilter = 1;
    } else if (key == "WHISPER=") {
        if (v == "0")
            c.SeptacOption = 0;
    } else if (key == "BLICK=") {
        if (v == "1")
            c.BlinkOff = 1;
    }
}

void ReadOtherLine(ConfigValues& c, std::string_view key, std::string_view v)
{
    if (key == "NOTES=")
        c.NotesName = std::string(Head(v, 8));
    else if (key == "NOTEDIT=")
        c.notesEditor = PathFromFile(v);
    else if (key == "SIGN=")
        c.SignListName = std::string(v);
    // LKP= is an old key, recognised and ignored.
}

constexpr std::string_view kFirstKeys[] = {"KODEX=", "CODEX=", "BREV=", "PFA=", "ENG=", "SPC="};
constexpr std::string_view kSecondKeys[] = {"FKODEX=", "FCODEX=", "FPFA=", "FENG=", "FSPC="};

void ReadParagrLine(ConfigValues& c, std::string_view key, std::string_view v)
{
    std::string bytes;
    for (size_t i = 0; i < std::size(kFirstKeys); ++i)
        if (key == kFirstKeys[i]) {
            if (BytesOfHex(v, bytes))
                c.paragraphDefaults.first[i] = bytes.substr(0, 80);
            return;
        }
    for (size_t i = 0; i < std::size(kSecondKeys); ++i)
        if (key == kSecondKeys[i]) {
            if (BytesOfHex(v, bytes))
                c.paragraphDefaults.second[i] = bytes.substr(0, 80);
            return;
        }
    if (key == "FAVORS=" && BytesOfHex(v, bytes)) {
        for (size_t i = 0; i < 5; ++i)
            c.paragraphDefaults.start[i] = i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0;
    }
}

void ReadSizePos(ConfigValues& c, std::string_view v)
{
    const int32_t fallback[4] = {640, 480, 30, 0};
    int32_t values[4];
    for (int i = 0; i < 4; ++i) {
        const size_t comma = v.find(',');
        const std::string_view item = v.substr(0, comma);
        if (!ParseConfigInt(item, values[i]))
            values[i] = fallback[i];
        v = comma == std::string_view::npos ? std::string_view() : v.substr(comma + 1);
    }
    c.mainWidth = values[0];
    c.mainHeight = values[1];
    c.mainLeft = values[2];
    c.mainTop = values[3];
    c.keepMainWindow = true;
}

void ReadToolbar(ConfigValues& c, std::string_view v)
{
    c.ToolbarVisible = !v.empty() && v.front() == '1';
    std::string list(v.empty() ? std::string_view() : Head(v.substr(1), 254));
    if (list.size() < 3) {
        c.ToolbarSelection = std::string(kDefaultToolbarWithRmd);
        return;
    }
    if (list.front() != '-')
        list.insert(list.begin(), '-');
    if (list.back() != '-')
        list.push_back('-');
    if (list.find("RMD") == std::string::npos)
        list += "RMD-";
    c.ToolbarSelection = std::move(list);
}

void ReadWinLine(ConfigValues& c, ReadState& st, std::string_view key, std::string_view v)
{
    int32_t n;
    if (key == "WINDOWS=") {
        int i = IndexOfWord(kWindowModeWords, v);
        if (i >= 0)
            c.windowMode = static_cast<uint8_t>(i);
    } else if (key == "COLOURS=") {
        ReadColours(v, c.ColourTable);
    } else if (key == "MAXIMIZE=") {
        if (v == "YES")
            c.maximize = true;
    } else if (key == "FONTDLG=") {
        c.DialogFont = ReadFont(v);
    } else if (key == "FONTTAB=") {
        c.ListFont = ReadFont(v);
    } else if (key == "FONTTXT=") {
        c.TextFont = ReadFont(v);
    } else if (key == "FONTPRN=") {
        c.PrintFont = ReadFont(v);
    } else if (key == "PRINTER=") {
        st.winPrinter = std::string(v);
    } else if (key == "SIZEPOS=") {
        ReadSizePos(c, v);
    } else if (key == "TIPUSER=") {
        c.tipUser = v == "Y";
    } else if (key == "TIPDATA=") {
        if (v == "Y")
            c.tipData = true;
    } else if (key == "TOOLBAR=") {
        ReadToolbar(c, v);
    } else if (key == "NEWWIN=") {
        c.newWindowOption = ParseConfigInt(v, n) && n >= 0 && n <= 255 ? static_cast<uint8_t>(n) : 0;
    }
}

void ReadNewsLine(ConfigValues& c, std::string_view key, std::string_view v, std::string_view scrambleKey)
{
    int32_t n;
    if (key == "BASE=") {
        if (!v.empty())
            c.NewsOption = v.front() == 'Q' ? '3' : v.front();
    } else if (key == "BDATE=") {
        c.newsDate = std::string(Head(v, 10));
    } else if (key == "UBASE=") {
        c.updateBase = v.empty() ? ' ' : v.front();
    } else if (key == "UDATE=") {
        c.updateDate = std::string(Head(v, 10));
    } else if (key == "VDATE=") {
        c.NextCheckDate = std::string(Head(v, 10));
    } else if (key == "NOT=") {
        c.newsNotice = std::string(v);
    } else if (key == "READ=") {
        c.newsRead = std::string(v);
    } else if (key == "VBASE=") {
        c.AutoUpdateSetting = ParseConfigInt(v, n) && n >= 0 && n <= 255 ? static_cast<uint8_t>(n) : 15;
    } else if (key == "UPD=") {
        c.DeclinedPackage = std::string(v);
    } else if (key == "ZLDATE=") {
        c.zlpDate = std::string(Head(v, 10));
    } else if (key == "ZLSIZE=") {
        c.zlpSize = std::string(Head(v, 11));
    } else if (key == "IFL=") {
        c.ConnectionFlags = ParseConfigInt(v, n) && n >= 0 && n <= 0xFFFF ? static_cast<uint16_t>(n) : 0;
    } else if (key == "IPP=") {
        c.ProxyAddress = UnscrambleSetting(v, scrambleKey);
    } else if (key == "INN=") {
        c.ProxyUser = UnscrambleSetting(v, scrambleKey);
    } else if (key == "INP=") {
        c.ProxyPassword = UnscrambleSetting(v, scrambleKey);
    }
}

enum class Section {
    None,
    Language,
    Filter,
    Other,
    Paragr,
    Win,
    Sch1,
    Sch2,
    Sch3,
    News,
    Vis,
    Chir,
    Jipka,
    Installation,
    Skipped
};

Section SectionOf(std::string_view header)
{
    if (header == "[QEV language]")
        return Section::Language;
    if (header == "[QEV filter]")
        return Section::Filter;
    if (header == "[QEV other]")
        return Section::Other;
    if (header == "[QEV paragr]")
        return Section::Paragr;
    if (header == "[QEVW win]")
        return Section::Win;
    if (header == "[QEVW sch1]")
        return Section::Sch1;
    if (header == "[QEVW sch2]")
        return Section::Sch2;
    if (header == "[QEVW sch3]")
        return Section::Sch3;
    if (header == "[QEV news]")
        return Section::News;
    if (header == "[QEV vis]")
        return Section::Vis;
    if (header == "[.chir]")
        return Section::Chir;
    if (header == "[.jipka]")
        return Section::Jipka;
    return Section::Skipped;
}

// A line of the installation's section: a hex that does not read gives an
// empty record (no customer).
void ReadInstallationLine(ConfigValues& c, std::string_view line)
{
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return;
    const std::string_view key = line.substr(0, eq + 1);
    const std::string_view value = line.substr(eq + 1);
    if (key == "RECORD=") {
        if (!BytesOfHex(value, c.InstallationRecord))
            c.InstallationRecord.clear();
    } else if (key == "VARIANT=") {
        c.ServerVariant = std::string(value);
    } else {
        if (!c.InstallationList.empty())
            c.InstallationList += "\r\n";
        c.InstallationList += line;
    }
}

std::string FolderPart(const std::string& prefix)
{
    size_t slash = prefix.find_last_of('/');
    return slash == std::string::npos ? std::string() : prefix.substr(0, slash + 1);
}

void ApplyDerived(ConfigValues& c, const ReadState& st, const ConfigLoadInput& in)
{
    const EnvironmentLookup env = in.environment ? in.environment : EnvironmentLookup(ProcessEnvironment);

    c.placementMode = c.windowMode;

    // The SIGN= rule: the old built-in list name is no user list.  A "+U"
    // filter makes no sense without a user list and falls back to one pack.
    if (c.SignListName == "KL" || c.SignListName == "kl") {
        c.SignListName.clear();
        if (c.FilterFlags & 512)
            c.FilterFlags = static_cast<uint16_t>((c.FilterFlags & ~512) | 256);
    }

    if (st.winSectionSeen)
        c.PrintSavingOption = !(st.winPrinter && *st.winPrinter == "P");

    for (int s = kFirstScheme; s <= kLastScheme; ++s)
        if (SchemeIsEmpty(c.schemes, s))
            SetDefaultScheme(c.schemes, s);

    for (uint8_t* cp : {&c.videoCodePage, &c.printerCodePage, &c.fileCodePage})
        if (*cp > CodePageChoice::Filter)
            *cp = CodePageChoice::Ok;

    if (c.TextTarget > 2)
        c.TextTarget = 0;

    c.paragraphCurrent = c.paragraphDefaults;

    // Language: option "l" changes only this run's language.
    c.configuredLanguage = AsciiLower(c.configuredLanguage);
    if (c.configuredLanguage.empty() || c.configuredLanguage[0] < 'a' || c.configuredLanguage[0] > 'z')
        c.configuredLanguage = "ces";
    // An option that names no language ("/L=%", which older versions are
    // started with) leaves the configured one.
    const std::string option = in.languageOption ? AsciiLower(Head(*in.languageOption, 3)) : std::string();
    const bool optionNamesLanguage = !option.empty() && option[0] >= 'a' && option[0] <= 'z';
    c.LanguageCode = optionNamesLanguage ? option : c.configuredLanguage;
    if (c.LanguageCode.empty() || c.LanguageCode[0] < 'a' || c.LanguageCode[0] > 'z')
        c.LanguageCode = "ces";
    c.LanguageIndex = c.LanguageCode == "ces" ? 0 : c.LanguageCode == "ang" ? 1 : 2;

    // A modern system: the old-system bit of the connection flags is never set.
    c.ConnectionFlags &= static_cast<uint16_t>(~8u);

    const std::string notes = env("QEVNOTES");
    c.NotesFolder = WithTrailingSlash(notes.empty() ? in.dataFolder : notes);

    std::string photos = FreeItemValue(c.jipkaItems, "photos", 99);
    c.photosFolder = photos.empty() ? std::string() : WithTrailingSlash(PathFromFile(photos));
    std::string picts = FreeItemValue(c.jipkaItems, "picts", 99);
    c.picturesFolder = picts.empty() ? std::string() : WithTrailingSlash(PathFromFile(picts));

    bool hasEditor = false, hasMax = false;
    c.maximEditor = PathFromFile(FreeItemValue(c.chirItems, "maxim", 99, &hasEditor));
    std::string max = FreeItemValue(c.jipkaItems, "max", 99, &hasMax);
    max = std::string(TrimLeftBlanks(max));
    max = max.substr(0, max.find(' '));
    c.MaximDir = PathFromFile(max);
    const std::string folder = FolderPart(c.MaximDir);
    c.maximOn = hasEditor && hasMax && !c.MaximDir.empty() && !folder.empty() && FolderExists(folder);
}

// ---------------------------------------------------------------- writing

void Line(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += value;
    out += "\r\n";
}

std::string ReimbLettersToWrite(const std::string& held, const std::optional<std::string>& init)
{
    if (!init || (!held.empty() && held.front() == '-'))
        return held;
    std::string missing;
    for (char c : *init)
        if (held.find(c) == std::string::npos)
            missing.push_back(c);
    if (held.size() * 2 > init->size())
        return missing.empty() ? std::string() : "-" + missing;
    return held;
}

void WriteOwnSections(const ConfigValues& c, const ConfigWriteContext& ctx, std::string& out)
{
    out += "[QEV language]\r\n";
    Line(out, "LANGUAGE=", c.configuredLanguage);
    Line(out, "VIDEO=", kCodePageWords[std::min<uint8_t>(c.videoCodePage, 4)]);
    Line(out, "PRINTER=", kCodePageWords[std::min<uint8_t>(c.printerCodePage, 4)]);
    Line(out, "FILE=", kCodePageWords[std::min<uint8_t>(c.fileCodePage, 4)]);
    Line(out, "FILTER=", Delimited(c.transliterationFilter));
    out += "\r\n";

    out += "[QEV filter]\r\n";
    std::string drug;
    for (const FilterMarker& m : kFilterMarkers)
        if (c.FilterFlags & m.bit)
            drug += m.text;
    Line(out, "DRUG=", drug);
    Line(out, "COMP=", (c.SynonymFilter & 16) ? "-S" : "");
    if (c.KeySelectOption == 0)
        Line(out, "BORDER=", "NO");
    Line(out, "PARAGR=", Delimited(c.paragraphFilter));
    std::string stext;
    if (c.textSearchOptions & 1)
        stext += 'P';
    if (c.textSearchOptions & 2)
        stext += 'D';
    Line(out, "STEXT=", stext);
    Line(out, "VZPCR=", ReimbLettersToWrite(c.ReimbColumnLetters, ctx.reimbInitLetters));
    if (c.TextTarget != 0)
        Line(out, "FIND=", c.TextTarget > 0 && c.TextTarget < 4 ? kSearchPlaceWords[c.TextTarget] : "KODEX");
    if (c.CompositionFilter & 1)
        Line(out, "INGR=", "A");
    if (c.AtcFilter & 1)
        Line(out, "UATC=", "A");
    if (c.SeptacOption == 0)
        Line(out, "WHISPER=", "0");
    if (c.BlinkOff == 1)
        Line(out, "BLICK=", "1");
    out += "\r\n";

    out += "[QEV paragr]\r\n";
    for (size_t i = 0; i < std::size(kFirstKeys); ++i)
        if (!c.paragraphDefaults.first[i].empty())
            Line(out, kFirstKeys[i], HexOfBytes(c.paragraphDefaults.first[i]));
    for (size_t i = 0; i < std::size(kSecondKeys); ++i)
        if (!c.paragraphDefaults.second[i].empty())
            Line(out, kSecondKeys[i], HexOfBytes(c.paragraphDefaults.second[i]));
    const auto& favors = c.paragraphDefaults.start;
    if (std::any_of(favors.begin(), favors.end(), [](uint8_t b) { return b != 0; }))
        Line(out, "FAVORS=", HexOfBytes(std::string_view(reinterpret_cast<const char*>(favors.data()), 5)));
    out += "\r\n";

    out += "[QEV other]\r\n";
    Line(out, "NOTES=", c.NotesName);
    if (c.notesEditor.find("QEV_NOTE") == std::string::npos)
        Line(out, "NOTEDIT=", PathToFile(c.notesEditor));
    Line(out, "SIGN=", c.SignListName);
    out += "\r\n";

    out += "[QEVW win]\r\n";
    Line(out, "WINDOWS=", kWindowModeWords[std::min<uint8_t>(c.windowMode, 4)]);
    std::string colours;
    for (uint32_t colour : c.ColourTable) {
        colours += ColourText(colour);
        colours += ',';
    }
    Line(out, "COLOURS=", colours);
    if (c.maximize)
        Line(out, "MAXIMIZE=", "YES");
    Line(out, "FONTDLG=", FontText(c.DialogFont));
    Line(out, "FONTTAB=", FontText(c.ListFont));
    Line(out, "FONTTXT=", FontText(c.TextFont));
    Line(out, "FONTPRN=", FontText(c.PrintFont));
    if (!c.PrintSavingOption)
        Line(out, "PRINTER=", "P");
    if (c.keepMainWindow)
        Line(out, "SIZEPOS=",
             IntText(c.mainWidth) + "," + IntText(c.mainHeight) + "," + IntText(c.mainLeft) + "," +
                 IntText(c.mainTop));
    if (!c.tipUser)
        Line(out, "TIPUSER=", "N");
    if (c.tipData)
        Line(out, "TIPDATA=", "Y");
    Line(out, "TOOLBAR=",
         std::string(c.ToolbarVisible ? "1" : "0") +
             (c.ToolbarSelection == kDefaultToolbar ? std::string() : c.ToolbarSelection));
    if (c.newWindowOption != 0)
        Line(out, "NEWWIN=", IntText(c.newWindowOption));
    out += "\r\n";

    out += "[QEV vis]\r\n";
    if (c.longDrugColumns)
        Line(out, "ADDCOL=", "3");
    out += "\r\n";

    WriteSchemes(c.schemes, out);

    out += "[QEV news]\r\n";
    Line(out, "BASE=", std::string(1, c.NewsOption));
    if (!c.newsDate.empty())
        Line(out, "BDATE=", c.newsDate);
    if (c.updateBase != ' ')
        Line(out, "UBASE=", std::string(1, c.updateBase));
    if (!c.updateDate.empty())
        Line(out, "UDATE=", c.updateDate);
    if (!c.NextCheckDate.empty())
        Line(out, "VDATE=", c.NextCheckDate);
    if (!c.newsNotice.empty())
        Line(out, "NOT=", c.newsNotice);
    if (!c.newsRead.empty())
        Line(out, "READ=", c.newsRead);
    if (c.AutoUpdateSetting != 15)
        Line(out, "VBASE=", IntText(c.AutoUpdateSetting));
    if (!c.DeclinedPackage.empty())
        Line(out, "UPD=", c.DeclinedPackage);
    if (!c.zlpDate.empty())
        Line(out, "ZLDATE=", c.zlpDate);
    if (!c.zlpSize.empty())
        Line(out, "ZLSIZE=", c.zlpSize);
    const bool password = !c.ProxyPassword.empty();
    const bool user = password || !c.ProxyUser.empty();
    const bool address = user || !c.ProxyAddress.empty();
    if (c.ConnectionFlags != 0 || address)
        Line(out, "IFL=", IntText(c.ConnectionFlags));
    if (address)
        Line(out, "IPP=", ScrambleSetting(c.ProxyAddress, ctx.scrambleKey));
    if (user)
        Line(out, "INN=", ScrambleSetting(c.ProxyUser, ctx.scrambleKey));
    if (password)
        Line(out, "INP=", ScrambleSetting(c.ProxyPassword, ctx.scrambleKey));
    out += "\r\n";
}

std::string CarriedLines(std::string_view previous)
{
    std::string out;
    bool carry = true; // lines before the first section are carried
    for (std::string_view line : SplitLines(previous)) {
        if (!line.empty() && line.front() == '[')
            carry = !IsOwnSection(line);
        if (carry) {
            out += line;
            out += "\r\n";
        }
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------- public helpers

std::string* ParagraphSelections::First(char kind)
{
    size_t i = kFirstKinds.find(kind);
    return i == std::string_view::npos ? nullptr : &first[i];
}

std::string* ParagraphSelections::Second(char kind)
{
    size_t i = kSecondKinds.find(kind);
    return i == std::string_view::npos ? nullptr : &second[i];
}

uint8_t* ParagraphSelections::Start(char kind)
{
    size_t i = kStartKinds.find(kind);
    return i == std::string_view::npos ? nullptr : &start[i];
}

const std::string* ParagraphSelections::First(char kind) const
{
    return const_cast<ParagraphSelections*>(this)->First(kind);
}

const std::string* ParagraphSelections::Second(char kind) const
{
    return const_cast<ParagraphSelections*>(this)->Second(kind);
}

const uint8_t* ParagraphSelections::Start(char kind) const
{
    return const_cast<ParagraphSelections*>(this)->Start(kind);
}

std::string ConfigValues::ParagraphFlagArray() const
{
    std::string flags(100, '+');
    flags[1] = '-';
    flags.replace(0, std::min<size_t>(paragraphFilter.size(), 100), paragraphFilter, 0, 100);
    return flags;
}

std::string ConfigValues::UrlScheme() const
{
    return (ConnectionFlags & 16) ? "http://" : "https://";
}

std::string FreeItemValue(std::string_view items, std::string_view key, size_t maxLength, bool* found)
{
    const std::string probe = "|" + std::string(key) + "=";
    const size_t at = items.find(probe);
    if (found)
        *found = at != std::string_view::npos;
    if (at == std::string_view::npos)
        return {};
    std::string_view v = items.substr(at + probe.size());
    v = v.substr(0, v.find('|'));
    return std::string(Head(v, maxLength));
}

std::string ProcessEnvironment(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool PrimaryScreenArea(ConfigLoadInput& in)
{
    in.screenLeft = in.screenTop = in.screenWidth = in.screenHeight = 0;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    const QRect area = screen->availableGeometry();
    in.screenLeft = area.x();
    in.screenTop = area.y();
    in.screenWidth = area.width();
    in.screenHeight = area.height();
    return true;
}

std::string BackupPathOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1))
        return path + ".BAK";
    return path.substr(0, dot) + ".BAK";
}

ConfigValues DefaultConfigValues(const ConfigLoadInput& in)
{
    ConfigValues c;
    c.notesEditor = WithTrailingSlash(in.programFolder) + "QEV_NOTE.EXE";
    if (in.screenWidth > 960)
        c.mainWidth = in.screenWidth * 2 / 3;
    if (in.screenHeight > 720)
        c.mainHeight = in.screenHeight * 2 / 3;
    // A first start shows in the middle of the screen, not in its corner.
    if (in.screenWidth > 0 && in.screenHeight > 0) {
        c.mainLeft = in.screenLeft + std::max(0, (in.screenWidth - c.mainWidth) / 2);
        c.mainTop = in.screenTop + std::max(0, (in.screenHeight - c.mainHeight) / 2);
    }
    c.NotesFolder = WithTrailingSlash(in.dataFolder);
    return c;
}

ConfigValues ReadConfigText(std::string_view text, const ConfigLoadInput& in)
{
    ConfigValues c = DefaultConfigValues(in);
    const std::string scrambleKey = ScrambleKeyFor(in.executableName, in.programFolder);
    ReadState st;
    Section section = Section::None;
    // Of two sections of one installation the first counts.
    const std::string installation =
        InstallationSectionHeader(in.installBase.empty() ? in.programFolder : in.installBase);
    bool installationSeen = false;
    for (std::string_view line : SplitLines(text)) {
        if (!line.empty() && line.front() == '[') {
            section = SectionOf(line);
            if (section == Section::Win)
                st.winSectionSeen = true;
            if (line == installation && !installationSeen) {
                section = Section::Installation;
                installationSeen = true;
            }
            continue;
        }
        if (section == Section::Installation) {
            ReadInstallationLine(c, line);
            continue;
        }
        if (section == Section::Chir || section == Section::Jipka) {
            if (!line.empty()) {
                std::string& items = section == Section::Chir ? c.chirItems : c.jipkaItems;
                items += '|';
                items += line;
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, eq + 1);
        const std::string_view value = line.substr(eq + 1);
        switch (section) {
        case Section::Language: ReadLanguageLine(c, key, value); break;
        case Section::Filter: ReadFilterLine(c, key, value); break;
        case Section::Other: ReadOtherLine(c, key, value); break;
        case Section::Paragr: ReadParagrLine(c, key, value); break;
        case Section::Win: ReadWinLine(c, st, key, value); break;
        case Section::Sch1: ReadSchemeLine(c.schemes, 2, line, st.naming); break;
        case Section::Sch2: ReadSchemeLine(c.schemes, 3, line, st.naming); break;
        case Section::Sch3: ReadSchemeLine(c.schemes, 4, line, st.naming); break;
        case Section::News: ReadNewsLine(c, key, value, scrambleKey); break;
        case Section::Vis:
            if (key == "ADDCOL=")
                c.longDrugColumns = true;
            break;
        default: break;
        }
    }
    ApplyDerived(c, st, in);
    return c;
}

std::string InstallationSectionHeader(const std::string& folder)
{
    std::string f = folder;
    if (f.empty() || f.back() != '/')
        f += '/';
    return "[QEV inst " + f + "]";
}

bool SetInstallationSection(std::string& fileText, const std::string& folder, const std::string& record,
                            const std::string& variant, const std::string& list)
{
    if (folder.find(']') != std::string::npos || folder.find_first_of("\r\n") != std::string::npos ||
        variant.find_first_of("\r\n") != std::string::npos)
        return false;
    std::string section = InstallationSectionHeader(folder) + "\r\n";
    section += "RECORD=" + HexOfBytes(record) + "\r\n";
    section += "VARIANT=" + variant + "\r\n";
    for (std::string_view entry : SplitLines(list)) {
        if (entry.empty())
            continue;
        const size_t eq = entry.find('=');
        if (eq == std::string_view::npos || eq == 0 || entry.substr(0, eq) == "RECORD" ||
            entry.substr(0, eq) == "VARIANT" || entry.front() == '[')
            return false;
        section += std::string(entry) + "\r\n";
    }
    const std::string header = InstallationSectionHeader(folder);
    std::string out;
    bool replaced = false;
    bool skipping = false;
    for (std::string_view line : SplitLines(fileText)) {
        if (!line.empty() && line.front() == '[') {
            skipping = false;
            if (line == header) {
                skipping = true;
                if (!replaced)
                    out += section;
                replaced = true;
                continue;
            }
        }
        if (!skipping) {
            out += line;
            out += "\r\n";
        }
    }
    if (!replaced)
        out += section;
    fileText = std::move(out);
    return true;
}

std::string WriteConfigText(const ConfigValues& values, std::string_view previous,
                            const ConfigWriteContext& context)
{
    std::string out = CarriedLines(previous);
    WriteOwnSections(values, context, out);
    return out;
}

// ---------------------------------------------------------------- ConfigFile

ConfigFile::ConfigFile() : uiTexts_(&UiTexts), dataTexts_(&DataTexts)
{
    values_ = DefaultConfigValues(ConfigLoadInput{});
}

void ConfigFile::SetFileSystem(FileSystemOps* ops)
{
    std::lock_guard lock(saveMutex_);
    fs_ = ops;
}

void ConfigFile::SetTextTables(const TextTableSlot* uiTexts, const TextTableSlot* dataTexts)
{
    std::lock_guard lock(saveMutex_);
    uiTexts_ = uiTexts;
    dataTexts_ = dataTexts;
}

FileSystemOps& ConfigFile::Fs() const
{
    return fs_ ? *fs_ : RealFileSystem();
}

void ConfigFile::Locate(const std::string& programFolder, const EnvironmentLookup& envIn)
{
    const EnvironmentLookup env = envIn ? envIn : EnvironmentLookup(ProcessEnvironment);
    std::string path = env("NODALCFG");
    if (path.empty()) {
        std::string profile = env("USERPROFILE");
        if (profile.empty())
            profile = env("HOME");
        if (!profile.empty())
            path = WithTrailingSlash(profile) + "kalvo.ini";
        if (path.empty() || !FileExists(path)) {
            std::string appData = env("APPDATA");
            if (appData.empty())
                appData = env("XDG_CONFIG_HOME");
            if (appData.empty()) {
                std::string home = env("HOME");
                if (!home.empty())
                    appData = WithTrailingSlash(home) + ".config";
            }
            path = appData.empty() ? std::string() : WithTrailingSlash(appData) + "kalvo.ini";
        }
    }
    if (path.empty())
        path = ResolveInFolder(programFolder, "nodal.cfg");
    std::string fallback;
    if (!FileExists(path))
        fallback = ResolveInFolder(programFolder, "nodal.cfg");
    SetPaths(std::move(path), std::move(fallback));
}

void ConfigFile::SetPaths(std::string configPath, std::string fallbackPath)
{
    std::lock_guard lock(settingsMutex_);
    configPath_ = std::move(configPath);
    fallbackPath_ = std::move(fallbackPath);
}

std::string ConfigFile::ConfigPath() const
{
    std::lock_guard lock(settingsMutex_);
    return configPath_;
}

std::string ConfigFile::FallbackConfigPath() const
{
    std::lock_guard lock(settingsMutex_);
    return fallbackPath_;
}

std::string ConfigFile::LoadedPath() const
{
    std::lock_guard lock(settingsMutex_);
    return loadedPath_;
}

bool ConfigFile::LoadFailed() const
{
    std::lock_guard lock(settingsMutex_);
    return loadFailed_;
}

ConfigValues ConfigFile::Snapshot() const
{
    std::lock_guard lock(settingsMutex_);
    return values_;
}

void ConfigFile::Load(const ConfigLoadInput& in)
{
    std::lock_guard saveLock(saveMutex_);
    std::string configPath, fallbackPath;
    {
        std::lock_guard lock(settingsMutex_);
        configPath = configPath_;
        fallbackPath = fallbackPath_;
    }
    // The file, else what an interrupted save left as ".BAK", else the
    // installation's fallback.
    std::string source;
    if (FileExists(configPath))
        source = configPath;
    else if (!configPath.empty() && FileExists(BackupPathOf(configPath)))
        source = BackupPathOf(configPath);
    else if (FileExists(fallbackPath))
        source = fallbackPath;

    std::string text;
    bool failed = false;
    if (!source.empty() && Fs().ReadFile(source, text) != 0) {
        failed = true;
        text.clear();
    }
    ConfigValues values = ReadConfigText(text, in);
    // The installation's settings for the update services and the loader.
    UpdateSharedValues& shared = UpdateShared();
    shared.SetInstallationRecord(values.InstallationRecord);
    shared.SetInstallationList(values.InstallationList);
    shared.SetServerVariant(values.ServerVariant);

    std::lock_guard lock(settingsMutex_);
    values_ = std::move(values);
    loadedPath_ = source;
    loadFailed_ = failed;
    scrambleKey_ = ScrambleKeyFor(in.executableName, in.programFolder);
}

void ConfigFile::ReportSaveError(bool show, const char* key, const std::string& path,
                                 const std::string& detail) const
{
    if (!show)
        return;
    const TextTableSlot* ui = uiTexts_;
    const std::string shownPath =
        QStringToKam(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    const std::string shownDetail =
        QStringToKam(QString::fromUtf8(detail.data(), static_cast<qsizetype>(detail.size())));
    const std::string textKey = key;
    RunOnMainThread([ui, textKey, shownPath, shownDetail] {
        std::string text = ui ? LookupText(*ui, "Chyby", textKey)
                              : LookupText(static_cast<const TTextTable*>(nullptr), "Chyby", textKey);
        text += shownPath;
        text += shownDetail;
        ReportError(text);
    });
}

bool ConfigFile::Save(bool show)
{
    std::lock_guard saveLock(saveMutex_);
    ConfigValues values;
    std::string configPath, loadedPath, scrambleKey;
    bool loadFailed;
    {
        std::lock_guard lock(settingsMutex_);
        values = values_;
        configPath = configPath_;
        loadedPath = loadedPath_;
        loadFailed = loadFailed_;
        scrambleKey = scrambleKey_;
    }
    if (configPath.empty())
        return false;
    // Settings that were never read must not be replaced by defaults.
    if (loadFailed) {
        ReportSaveError(show, "FileSave", configPath, "");
        return false;
    }

    const std::string backupPath = BackupPathOf(configPath);
    std::string source;
    if (FileExists(configPath))
        source = configPath;
    else if (FileExists(backupPath))
        source = backupPath;
    else if (FileExists(loadedPath))
        source = loadedPath;
    std::string previous;
    if (!source.empty() && Fs().ReadFile(source, previous) != 0) {
        ReportSaveError(show, "FileSave", configPath, "");
        return false;
    }

    ConfigWriteContext context;
    context.scrambleKey = scrambleKey;
    if (dataTexts_) {
        if (TextTablePtr data = dataTexts_->Get()) {
            std::string init;
            if (GetTextEntry(data, "Uhr", "Init", init) != 0)
                context.reimbInitLetters = init;
        }
    }
    const std::string text = WriteConfigText(values, previous, context);

    FileSaver saver(configPath, Fs());
    saver.Write(text);
    if (!saver.Commit()) {
        if (saver.FailedStep() == FileSaver::Step::Rename)
            ReportSaveError(show, "FileRen", configPath, " (" + saver.ErrorText() + ")");
        else
            ReportSaveError(show, "FileSave", configPath, "");
        return false;
    }
    if (FileExists(backupPath))
        Fs().Remove(backupPath);
    return true;
}

ConfigFile& Config()
{
    static ConfigFile config;
    return config;
}

void LocateConfig(const std::string& programFolder)
{
    Config().Locate(programFolder);
}

void LoadConfig(const ConfigLoadInput& in)
{
    Config().Load(in);
}

bool SaveConfig(bool show)
{
    return Config().Save(show);
}
