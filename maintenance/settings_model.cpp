#include "maintenance/settings_model.h"

#include <QString>

#include <algorithm>
#include <cmath>

#include "datastore/hex_base64.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/toolbar.h"
#include "frame/config/stored_paragraphs.h"
#include "platform/cp1250.h"
#include "platform/fs.h"

namespace {

constexpr FilterBoxSpec kFilterBoxes[] = {
    {"FLpH", FilterTarget::Drug, 4, false},         {"FLmH", FilterTarget::Drug, 8, false},
    {"FLReg", FilterTarget::Drug, 16, false},       {"FLObch", FilterTarget::Drug, 32, false},
    {"FLVZP", FilterTarget::Drug, 64, false},       {"FLmZru", FilterTarget::Drug, 128, false},
    {"FL1bal", FilterTarget::Drug, 256, false},     {"FLpU", FilterTarget::Drug, 512, false},
    {"FKmS", FilterTarget::Synonym, 16, false},     {"FSrS", FilterTarget::Composition, 1, false},
    {"FAAct", FilterTarget::Atc, 1, false},         {"VSept", FilterTarget::Septac, 1, false},
    {"VybKl", FilterTarget::KeySelect, 128, false}, {"vDop3", FilterTarget::Dop3, 1, true},
    {"Fblik", FilterTarget::Blink, 1, true},
};

constexpr ParagraphRowSpec kParagraphRows[] = {
    {"cbCl", "Label22", 'V', 'K', true},
    {"cbBr", "Label23", 'V', 'B', true},
    {"cbSPC", "Label24", 'V', 'S', true},
    {"cbPfa", "Label25", 'V', 'R', true},
    {"cbEng", "Label21", 'V', 'E', true},
    {"cbClH", "Label26", kParagraphFilterMode, 'k', false},
    {"cbSPH", "Label27", kParagraphFilterMode, 'S', false},
    {"cbPfH", "Label28", kParagraphFilterMode, 'R', false},
    {"cbEnH", "Label29", kParagraphFilterMode, 'E', false},
};

// The value a filter target names, widened.
uint16_t TargetValue(const ConfigValues& v, FilterTarget t)
{
    switch (t) {
    case FilterTarget::Drug: return v.FilterFlags;
    case FilterTarget::Synonym: return v.SynonymFilter;
    case FilterTarget::Composition: return v.CompositionFilter;
    case FilterTarget::Atc: return v.AtcFilter;
    case FilterTarget::Septac: return v.SeptacOption;
    case FilterTarget::KeySelect: return v.KeySelectOption;
    case FilterTarget::Dop3: return v.Dop3Off;
    case FilterTarget::Blink: return v.BlinkOff;
    }
    return 0;
}

void SetTargetBits(ConfigValues& v, FilterTarget t, uint16_t bits, bool on)
{
    auto apply = [bits, on](auto& value) {
        using V = std::remove_reference_t<decltype(value)>;
        value = static_cast<V>(on ? (value | bits) : (value & ~bits));
    };
    switch (t) {
    case FilterTarget::Drug: apply(v.FilterFlags); break;
    case FilterTarget::Synonym: apply(v.SynonymFilter); break;
    case FilterTarget::Composition: apply(v.CompositionFilter); break;
    case FilterTarget::Atc: apply(v.AtcFilter); break;
    case FilterTarget::Septac: apply(v.SeptacOption); break;
    case FilterTarget::KeySelect: apply(v.KeySelectOption); break;
    case FilterTarget::Dop3: apply(v.Dop3Off); break;
    case FilterTarget::Blink: apply(v.BlinkOff); break;
    }
}

std::string Trimmed(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    while (!s.empty() && s.front() == ' ')
        s.erase(s.begin());
    return s;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// A folder as Path= names it: without its trailing "/" (but "/" stays).
std::string PlainFolder(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

// ---------------------------------------------------------------- filters

std::span<const FilterBoxSpec> FilterBoxes()
{
    return kFilterBoxes;
}

bool FilterBoxChecked(const ConfigValues& v, const FilterBoxSpec& box)
{
    const bool set = (TargetValue(v, box.target) & box.bits) == box.bits;
    return set != box.inverted;
}

void ApplyFilterBoxes(ConfigValues& v, std::span<const bool> checked)
{
    const auto boxes = FilterBoxes();
    for (size_t i = 0; i < boxes.size() && i < checked.size(); ++i)
        SetTargetBits(v, boxes[i].target, boxes[i].bits, checked[i] != boxes[i].inverted);
}

std::span<const ParagraphRowSpec> ParagraphRows()
{
    return kParagraphRows;
}

std::string ParagraphCodeText(uint8_t code)
{
    const std::string letters = Trimmed(ParagraphAbbreviation(10 * (code >> 4) + (code & 15)));
    return letters.empty() ? HexOfBytes(std::string(1, static_cast<char>(code))) : letters;
}

std::string ParagraphSelectionText(std::string_view selection, char kind)
{
    std::string text;
    if (selection.empty() || static_cast<unsigned char>(selection.back()) != 0xFF)
        text = ParagraphSetText(EncodeParagraphSet(selection, kind), kind);
    return text.empty() ? LookupText(UiTexts, "Nastaveni", "fvse") : text;
}

std::string ParagraphRowText(const ParagraphSelections& current, const ParagraphRowSpec& row)
{
    std::string text = ParagraphSelectionText(ParagraphSelectionSlot(current, row.mode, row.kind), row.kind);
    if (!row.start)
        return text;
    const uint8_t start = ParagraphHighlightSlot(current, row.kind);
    if (start == 0)
        return text;
    // A summary's codes are its section numbers, written as their digits.
    const std::string first =
        row.kind == 'S' ? HexOfBytes(std::string(1, static_cast<char>(start))) : ParagraphCodeText(start);
    return text + LookupText(UiTexts, "Nastaveni", "frst") + first;
}

void CopyParagraphRow(ConfigValues& v, const ParagraphRowSpec& row)
{
    const std::string& current = ParagraphSelectionSlot(v.paragraphCurrent, row.mode, row.kind);
    ParagraphSelectionSlot(v.paragraphDefaults, row.mode, row.kind) =
        current.substr(0, kMaxStoredParagraphCodes);
    if (row.start)
        ParagraphHighlightSlot(v.paragraphDefaults, row.kind) =
            ParagraphHighlightSlot(v.paragraphCurrent, row.kind);
}

// ------------------------------------------------------------------ files

FilesChoice FilesChoiceOf(const ConfigValues& v)
{
    FilesChoice c;
    c.languageIndex = v.LanguageIndex == 1 ? 1 : 0;
    c.news = v.NewsOption > '0';
    c.printSaving = v.PrintSavingOption;
    c.notesName = v.NotesName;
    return c;
}

bool ApplyFilesChoice(const FilesChoice& choice, ConfigValues& v)
{
    v.PrintSavingOption = choice.printSaving;
    v.NewsOption = NewsOptionAfter(v.NewsOption, choice.news);
    const std::string code = choice.languageIndex == 1 ? "ang" : "ces";
    v.LanguageCode = code;
    v.LanguageIndex = choice.languageIndex == 1 ? 1 : 0;
    v.configuredLanguage = code;
    const bool notesChanged = choice.notesName != v.NotesName;
    v.NotesName = choice.notesName;
    return notesChanged;
}

char NewsOptionAfter(char stored, bool checked)
{
    if (!checked)
        return '0';
    return stored > '0' ? stored : '3';
}

bool NotesNameOfFile(const std::string& path, const std::string& notesFolder, std::string& name)
{
    std::string stem;
    if (!FileStemInFolder(path, notesFolder, stem))
        return false;
    const QString upper = QString::fromStdString(stem).toUpper().left(8);
    std::string out;
    if (upper.isEmpty() || !Utf8ToCp1250(upper.toStdString(), out))
        return false;
    name = out;
    return true;
}

ShortcutPlan PlanShortcut(const std::string& executablePath)
{
    ShortcutPlan p;
    const std::string folder = FolderOf(executablePath);
    std::string program = executablePath.substr(executablePath.rfind('/') + 1);
    if (program.size() > 4 &&
        QString::fromStdString(program).endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
        program.resize(program.size() - 4);
    const std::string base = FolderOf(PlainFolder(folder));
    const QString lower = QString::fromStdString(folder).toLower();
    if (lower.contains(QStringLiteral("kvov")) || lower.contains(QStringLiteral("corvana"))) {
        p.name = "Corvana";
    } else {
        p.name = "KALVO Win";
        p.subfolder = "KALVO";
    }
    p.link.description = p.name;
    const std::string launcher = ResolveInFolder(base, program + ".sh");
    if (FileExists(launcher)) {
        p.link.target = launcher;
        p.link.workingFolder = PlainFolder(base);
        if (const std::string icon = ResolveInFolder(base, "qev.ico"); FileExists(icon))
            p.link.icon = icon;
        p.link.minimised = true;
    } else {
        p.link.target = executablePath;
        p.link.workingFolder = PlainFolder(folder);
    }
    return p;
}

// ------------------------------------------------------ fonts and colours

FontsAndColours FontsAndColoursOf(const ConfigValues& v)
{
    FontsAndColours fc;
    fc.colours = v.ColourTable;
    fc.fonts = {v.DialogFont, v.ListFont, v.TextFont, v.PrintFont};
    return fc;
}

void ApplyFontsAndColours(const FontsAndColours& fc, ConfigValues& v)
{
    v.ColourTable = fc.colours;
    v.DialogFont = fc.fonts[0];
    v.ListFont = fc.fonts[1];
    v.TextFont = fc.fonts[2];
    v.PrintFont = fc.fonts[3];
}

int ConfigFontSize(double points)
{
    if (!(points > 0))
        return 9;
    return std::clamp(static_cast<int>(std::lround(points)), 6, 30);
}

std::string FontLabelText(const ConfigFont& font)
{
    return font.name + ", " + std::to_string(font.size);
}

// ---------------------------------------------------------------- toolbar

bool ToolbarChoiceHas(std::string_view working, std::string_view letters)
{
    return ToolbarListHas(working, KindOf(letters));
}

std::string ToggleToolbarChoice(std::string_view working, std::string_view letters)
{
    std::string out(working);
    const std::string key = "-" + std::string(letters) + "-";
    if (const size_t at = out.find(key); at != std::string::npos)
        out.erase(at, key.size() - 1);
    else
        out += std::string(letters) + "-";
    return out;
}

std::string RebuildToolbarList(std::string_view working)
{
    std::string list = "-";
    for (const SpeedButtonSpec& b : SpeedButtons())
        if (ToolbarChoiceHas(working, b.letters))
            list += std::string(b.letters) + "-";
    return list;
}

std::string ToolbarWorkingList(std::string_view stored)
{
    std::string w(stored);
    if (w.empty() || w.front() != '-')
        w.insert(w.begin(), '-');
    if (w.back() != '-')
        w += '-';
    return w;
}

// ---------------------------------------------------------- window layout

WindowLayoutChoice WindowLayoutOf(const ConfigValues& v)
{
    WindowLayoutChoice c;
    c.handOver = v.newWindowOption == 0;
    c.maximize = v.maximize;
    c.keepMainWindow = v.keepMainWindow;
    c.mode = v.windowMode <= WindowMode::Sch3 ? v.windowMode : WindowMode::Free;
    for (size_t i = 0; i < 3; ++i) {
        c.right[i] = std::clamp(v.schemes.shiftRight[i], 0, kMaxSchemeOffset);
        c.down[i] = std::clamp(v.schemes.shiftDown[i], 0, kMaxSchemeOffset);
    }
    return c;
}

void ApplyWindowLayout(const WindowLayoutChoice& choice, const std::optional<QRect>& kept, ConfigValues& v)
{
    v.newWindowOption = choice.handOver ? 0 : 3;
    v.windowMode = choice.mode;
    v.placementMode = choice.mode;
    for (size_t i = 0; i < 3; ++i) {
        v.schemes.shiftRight[i] = std::clamp(choice.right[i], 0, kMaxSchemeOffset);
        v.schemes.shiftDown[i] = std::clamp(choice.down[i], 0, kMaxSchemeOffset);
    }
    v.maximize = choice.maximize;
    v.keepMainWindow = choice.keepMainWindow;
    if (choice.keepMainWindow && kept) {
        v.mainLeft = kept->x();
        v.mainTop = kept->y();
        v.mainWidth = kept->width();
        v.mainHeight = kept->height();
    }
}

void DeleteScheme(PlacementSchemes& schemes, int scheme)
{
    for (PlacementRecord& r : schemes.table)
        if (r.scheme == scheme)
            r.scheme = 0;
}
