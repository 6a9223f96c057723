#include "viewers/help_files.h"

#include <algorithm>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "platform/ascii.h"
#include "platform/fs.h"

// ----------------------------------------------------------------- titles

namespace {

bool EndsTitle(const CtrlItem& item)
{
    if (item.IsText())
        return false;
    switch (item.code) {
    case 0:
    case 1:
    case 13:
    case 14:
    case 18:
    case 21:
    case 24: return true;
    default: return false;
    }
}

} // namespace

HelpTitle HelpTopicTitle(std::string_view text)
{
    HelpTitle t;
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        if (item.IsText()) {
            if (item.End() > 50)
                return t;
            continue;
        }
        if (item.IsCode(0))
            return t;
        if (!item.IsCode(18))
            continue;
        t.found = true;
        t.value = CtrlPairValue(text, item, 0);
        const int from = item.End();
        int to = static_cast<int>(text.size());
        while (walk.Next(item))
            if (EndsTitle(item) || item.truncated) {
                to = item.offset;
                break;
            }
        t.title = std::string(
            text.substr(static_cast<size_t>(from), static_cast<size_t>(std::min(to - from, 255))));
        return t;
    }
    return t;
}

int HelpTopicLevel(int value)
{
    return value == 10 ? 1 : value == 9 ? 2 : 0;
}

std::string HelpPlainTitle(std::string_view title)
{
    std::string out;
    CtrlTokenizer walk(title);
    CtrlItem item;
    while (walk.Next(item))
        if (item.IsText())
            out.append(title.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length)));
    return out;
}

std::string DopingMarker(std::string_view text)
{
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        if (!item.IsCode(19) || CtrlPairValue(text, item, 0) != 1)
            continue;
        std::string marker;
        for (size_t i = static_cast<size_t>(item.End()); i < text.size() && marker.size() < 5; ++i) {
            if (static_cast<uint8_t>(text[i]) <= 32)
                break;
            marker.push_back(text[i]);
        }
        return marker;
    }
    return {};
}

// ------------------------------------------------------------------- list

int HelpTopicList::Find(TopicKey key) const
{
    for (int i = 0; i < Count(); ++i)
        if (entries[static_cast<size_t>(i)].key == key)
            return i;
    return -1;
}

void StartHelpTopicList(HelpTopicList& list, std::string_view contents)
{
    list = HelpTopicList{};
    list.entries.push_back({PackTopicKey("TITUL_"), 0, "TITUL_", "Titul", HelpSource::None});
    list.entries.push_back(
        {PackTopicKey("OBSAH_"), kHelpGenerated + 1, "OBSAH_", std::string(contents), HelpSource::None});
}

namespace {

std::string KeptAbbreviation(const std::array<uint8_t, 6>& kept)
{
    std::string s;
    for (uint8_t b : kept)
        s.push_back(static_cast<char>(b));
    return s;
}

std::string FileLabel(const TPackedTextFile& f)
{
    return f.name;
}

} // namespace

int ReadHelpFile(TPackedTextFile& file, HelpTopicList& list, HelpSource source)
{
    if (!file.file.IsOpen())
        return IoResult::NotFound;
    if (file.headSize < 14)
        return PackedTextStatus::BadRecord; // heads without keys
    const int64_t size = file.file.Size();
    int64_t offset = kPackedHeaderSize;
    bool first = true;
    std::string text;
    while (offset < size) {
        PackedRecordHead head;
        const int r = ReadPackedHead(file, offset, head);
        if (r != 0)
            return r;
        if (head.marker != 0xFFFF)
            return PackedTextStatus::BadRecord;
        if (ReadPackedRecord(file, text, offset) != 0) {
            AppendRunLog(FileLabel(file) + ": the record at " + std::to_string(offset) +
                         " does not decode; the topics end there\r\n");
            return 0;
        }
        HelpTopicEntry e;
        e.source = source;
        e.location = static_cast<uint32_t>(offset) & 0x0FFFFFFF;
        if (source == HelpSource::Doping) {
            const std::string marker = DopingMarker(text);
            e.title = marker.empty() ? "noname" : marker;
            e.abbreviation = marker.empty() ? "NONAME" : marker;
            e.key = PackTopicKey(e.abbreviation);
        } else {
            e.abbreviation = KeptAbbreviation(head.kept);
            e.key = PackTopicKey(e.abbreviation);
            const HelpTitle t = HelpTopicTitle(text);
            e.title = t.found ? t.title : "noname";
            e.location |= static_cast<uint32_t>(t.found ? HelpTopicLevel(t.value) : 0) << 28;
        }
        if (source == HelpSource::Second && first && !list.entries.empty()) {
            // The title page: its key and offset, and its title when it has one.
            HelpTopicEntry& title = list.entries[0];
            const HelpTitle t = HelpTopicTitle(text);
            title.key = e.key;
            title.abbreviation = e.abbreviation;
            title.location = e.location & 0x0FFFFFFF;
            title.source = source;
            if (t.found)
                title.title = t.title;
        } else if (list.Count() >= kHelpMaxTopics) {
            if (!list.capped)
                AppendRunLog(FileLabel(file) + ": more than " + std::to_string(kHelpMaxTopics) +
                             " topics; the rest are left out\r\n");
            list.capped = true;
            return 0;
        } else {
            list.entries.push_back(std::move(e));
            if (source == HelpSource::Manual)
                ++list.manualRecords;
        }
        first = false;
        offset = head.nextOffset;
    }
    return 0;
}

// ------------------------------------------------------------------ files

namespace {

HelpOpenResult OpenOne(TPackedTextFile& f, const std::string& path, HelpTopicList& list, HelpSource source)
{
    HelpOpenResult res;
    res.file = path;
    if (!FileExists(ResolvePath(path)))
        return res;
    if (!OpenPackedText(f, path)) {
        res.status = f.status == 0 ? PackedTextStatus::BadMagic : f.status;
        return res;
    }
    const int r = ReadHelpFile(f, list, source);
    if (r != 0) {
        ClosePackedText(f);
        res.status = r;
        return res;
    }
    res.ok = true;
    return res;
}

} // namespace

HelpOpenResult OpenHelpFiles(HelpFiles& files, const std::string& programFolder,
                             const std::string& dataFolder, std::string_view contents)
{
    files.doping = false;
    files.hasSecond = false;
    StartHelpTopicList(files.list, contents);
    HelpOpenResult res =
        OpenOne(files.manual, WithTrailingSlash(programFolder) + kManualFile, files.list, HelpSource::Manual);
    if (!res.ok)
        return res;
    const std::string data = WithTrailingSlash(dataFolder);
    for (const char* name : {"corvana.hla", "kalvo.hla"}) {
        const std::string path = data + name;
        if (!FileExists(ResolveInFolder(data, name)))
            continue;
        HelpTopicList tried = files.list;
        const HelpOpenResult second = OpenOne(files.second, path, tried, HelpSource::Second);
        if (second.ok) {
            files.list = std::move(tried);
            files.hasSecond = true;
        } else {
            AppendRunLog(path + ": damaged help file left out (" + std::to_string(second.status) + ")\r\n");
        }
        break;
    }
    return res;
}

HelpOpenResult OpenDopingFile(HelpFiles& files, const std::string& dataFolder)
{
    files.doping = true;
    files.hasSecond = false;
    files.list = HelpTopicList{};
    return OpenOne(files.manual, WithTrailingSlash(dataFolder) + kDopingFile, files.list, HelpSource::Doping);
}

// --------------------------------------------------------------- contents

std::string HelpLinkTo(const HelpTopicEntry& entry)
{
    CtrlTextWriter w;
    w.CodeString(26, KamFoldUpper(entry.abbreviation));
    w.Text(entry.title);
    w.Code(7);
    return w.Take();
}

std::string BuildContentsPage(const HelpTopicList& list, int entry, std::string_view contentsTitle)
{
    CtrlTextWriter w;
    const int n = list.Count();
    if (entry == 1) {
        w.Code(18, {9}).Text(contentsTitle);
        for (int i = 2; i < n; ++i) {
            const HelpTopicEntry& e = list.entries[static_cast<size_t>(i)];
            if (e.Level() == 1 || e.Level() == 2)
                w.Code(18, {5});
            else
                w.Code(13);
            w.Raw(HelpLinkTo(e));
        }
    } else if (entry >= 0 && entry < n) {
        const HelpTopicEntry& chapter = list.entries[static_cast<size_t>(entry)];
        const int level = chapter.Level();
        w.Code(18, {11 - level}).Text(chapter.title).Code(14);
        for (int i = entry + 1; i < n; ++i) {
            const HelpTopicEntry& e = list.entries[static_cast<size_t>(i)];
            if (e.Level() >= level)
                break;
            if (e.Level() == level - 1)
                w.Raw(HelpLinkTo(e)).Code(13);
        }
    }
    w.Raw(std::string(2, '\0'));
    return w.Take();
}

int ReadHelpTopic(HelpFiles& files, int entry, const HelpContentSources& sources, std::string& text)
{
    text.clear();
    if (entry < 0 || entry >= files.list.Count())
        return 0;
    const HelpTopicEntry& e = files.list.entries[static_cast<size_t>(entry)];
    if (e.Generated()) {
        text = BuildContentsPage(files.list, entry, sources.contentsTitle);
        return 0;
    }
    TPackedTextFile* f = nullptr;
    switch (e.source) {
    case HelpSource::Manual:
    case HelpSource::Doping: f = &files.manual; break;
    case HelpSource::Second: f = files.hasSecond ? &files.second : nullptr; break;
    case HelpSource::None: break;
    }
    if (f == nullptr) {
        // The title page without a second help file: the contents.
        text = BuildContentsPage(files.list, 1, sources.contentsTitle);
        return 0;
    }
    const int r = ReadPackedRecord(*f, text, e.Offset());
    if (e.source == HelpSource::Second)
        text = ExpandHelpPlaceholder(text, sources);
    return r;
}

// ------------------------------------------------------------ placeholders

std::string ExpandHelpPlaceholder(std::string_view text, const HelpContentSources& sources)
{
    const std::string_view body = CtrlTextUpToEnd(text);
    const int len = static_cast<int>(body.size());
    CtrlTokenizer walk(body);
    CtrlItem item;
    CtrlItem before;
    bool hasBefore = false;
    while (walk.Next(item)) {
        const CtrlItem prev = before;
        const bool hadPrev = hasBefore;
        before = item;
        hasBefore = true;
        if (!item.IsCode(28) || item.truncated || item.offset < len - 15)
            continue;
        const std::string s = CtrlStringParam(body, item, 0);
        if (s.size() <= 4 || s[0] != '#')
            continue;
        std::string inserted;
        if (s[1] == '#')
            inserted = BuildDataFileTable(sources.dataFolder, s.substr(2, 8), sources.noTable);
        else if (s[1] == '[' && s == "#[UHR")
            inserted = LoadSymbolLegend(sources.dataFolder, sources.noTable);
        else if (s[1] == '[')
            inserted = BuildSectionTable(sources.dataTexts, s.substr(2, 9), sources.noTable);
        else
            continue;
        const int from = hadPrev && prev.IsCode(14) && prev.End() == item.offset ? prev.offset : item.offset;
        std::string out(text.substr(0, static_cast<size_t>(from)));
        out += inserted;
        out.append(text.substr(static_cast<size_t>(item.End())));
        return out;
    }
    return std::string(text);
}

namespace {

CtrlTextWriter& NoTable(CtrlTextWriter& w, std::string_view noTable)
{
    return w.Code(14).Field(noTable);
}

} // namespace

std::string BuildDataFileTable(const std::string& dataFolder, std::string_view name, std::string_view noTable)
{
    CtrlTextWriter w;
    TDatFile dat;
    dat.length = 0;
    OpenDatFile(dat, dataFolder, TFileId(name), 0);
    if (!dat.IsOpen() || dat.length == 0)
        return NoTable(w, noTable).Take();
    w.Code(24, {112, 1, 43, 511});
    std::string rec;
    for (int32_t r = 1; r < dat.count; ++r) {
        ReadRecord(dat, r, rec);
        if (rec.size() < dat.length)
            break;
        const std::string_view v(rec);
        w.Code(11).Field(v.substr(0, std::min<size_t>(4, v.size()))).Code(6);
        if (v.size() > 4)
            w.Field(TrimRightIf(v.substr(4), IsBlankOrControl));
    }
    w.Code(4);
    return w.Take();
}

std::string BuildSectionTable(const TTextTable* dataTexts, std::string_view name, std::string_view noTable)
{
    CtrlTextWriter w;
    // The stored form of the name: small letters after the first, the second
    // a capital again after "K" or "T".
    std::string section(name);
    for (size_t i = 1; i < section.size(); ++i)
        if (section[i] >= 'A' && section[i] <= 'Z')
            section[i] = static_cast<char>(section[i] - 'A' + 'a');
    if (section.size() >= 2 && (section[0] == 'K' || section[0] == 'T') && section[1] >= 'a' &&
        section[1] <= 'z')
        section[1] = static_cast<char>(section[1] - 'a' + 'A');

    std::string key;
    std::string value;
    if (dataTexts == nullptr || NextTextEntry(dataTexts, section, key, value) == 0)
        return NoTable(w, noTable).Take();
    // Enumerated after the section's heading key when it has one.
    std::string start = "_";
    if (section == "Vyd" || section == "Jedn")
        start = "__";
    else if (section == "Dop" || section == "Pre" || section == "Obal")
        start = "___";
    std::string probe;
    if (GetTextEntry(dataTexts, section, start, probe) != 0)
        key = start;
    else
        key.clear();

    const int width = section == "Lfor" || section == "Cpod" ? 93 : 43;
    w.Code(14).Code(24, {112, 1, width, 511});
    while (NextTextEntry(dataTexts, section, key, value) != 0) {
        const std::string_view shown = TrimBlanks(value);
        if (shown.empty())
            continue;
        std::string k = key;
        std::replace(k.begin(), k.end(), '_', '\x7F');
        w.Code(11).Field(k).Code(6).Field(shown);
    }
    w.Code(4);
    return w.Take();
}

std::string LoadSymbolLegend(const std::string& dataFolder, std::string_view noTable)
{
    CtrlTextWriter w;
    const std::string path = ResolveInFolder(WithTrailingSlash(dataFolder), kSymbolFile);
    std::string bytes;
    if (ReadWholeFile(path, bytes) != 0)
        return NoTable(w, noTable).Take();
    if (bytes.size() > kSymbolMaxBytes)
        bytes.resize(static_cast<size_t>(CtrlLastWholeItemEnd(bytes, static_cast<int>(kSymbolMaxBytes))));
    const std::string_view text = CtrlTextUpToEnd(bytes);
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        const std::string_view piece =
            text.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length));
        if (item.IsCode(19) && item.PairCount() == 1 && CtrlPairValue(text, item, 0) == 7)
            w.Code(18, {11});
        else
            w.Raw(piece);
    }
    return w.Take();
}
