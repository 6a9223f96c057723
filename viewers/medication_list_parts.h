#pragma once
// What the medication list's sources share (medication_list.cpp and
// medication_list_parse.cpp): the one look-up handle and the text helpers.
// Not for other callers.

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/run_log.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/utf8_text.h"
#include "frame/config/placement_scheme.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/request.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/shared_memory.h"
#include "viewers/medication_list.h"
#include <QMdiArea>
#include <algorithm>
#include <atomic>
#include <cstring>

namespace medication_parts {

inline constexpr std::string_view kBom = "\xEF\xBB\xBF";
inline constexpr std::string_view kHeading = "K\xF3"
                                             "d "; // "Kód " in code page 1250
inline constexpr char kTabStandIn = 31;
inline constexpr size_t kMaxElementText = 255;

// Record lengths of the look-up tables.

// --- The one look-up handle -------------------------------------------------

inline TDbTable& LookupTable()
{
    static TDbTable table;
    return table;
}

inline bool OpenLookup(const char* dat, const char* sez, uint16_t length)
{
    DbStatus = 0;
    OpenTable(LookupTable(), dat, sez, length);
    return DbStatus == 0;
}

// Finds a key exactly (the key field begins with it); the record in `rec`.
inline bool FindKey(std::string_view key, std::string& rec)
{
    if (key.empty())
        return false;
    FindRecord(LookupTable(), key, rec);
    return DbStatus == 0;
}

inline void ReleaseLookup()
{
    OpenTable(LookupTable(), TFileId(), TFileId(), 0);
    DbStatus = 0;
}

// --- Text helpers ---------------------------------------------------------

// Lines: maximal runs of characters above 30.
template <class F>
inline void ForEachLine(std::string_view text, F&& each)
{
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= 30)
            ++i;
        const size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) > 30)
            ++i;
        if (i > start && !each(text.substr(start, i - start)))
            return;
    }
}

inline bool IsCommentLine(std::string_view line)
{
    return !line.empty() && (line[0] == '!' || line[0] == '#' || line[0] == '=');
}

inline void AddReportLine(std::string& report, std::string_view prefix, std::string_view text)
{
    if (!report.empty())
        report += "\r\n";
    report += prefix;
    report += text;
}

// Skips a "Kód " heading line and the line-break characters after it.
inline void SkipHeading(std::string& text)
{
    if (text.compare(0, kHeading.size(), kHeading) != 0)
        return;
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) > 30)
        ++i;
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n'))
        ++i;
    text.erase(0, i);
}

inline void ReplaceTabs(std::string& text, char by)
{
    std::replace(text.begin(), text.end(), '\t', by);
}

inline std::string CutLimit(std::string s)
{
    if (s.size() > kMaxElementText)
        s.resize(kMaxElementText);
    return s;
}

// The text after an XML tag up to the first "</", converted from UTF-8.
inline std::string ElementText(std::string_view line, std::string_view tag)
{
    std::string_view rest = line.substr(tag.size());
    const size_t end = rest.find("</");
    if (end != std::string_view::npos)
        rest = rest.substr(0, end);
    return CutLimit(Utf8ToText(rest));
}

inline bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

inline std::string IoText(int io)
{
    switch (io) {
    case IoResult::NotFound: return "no such file";
    case IoResult::PathNotFound: return "no such folder";
    case IoResult::AccessDenied: return "access denied";
    case IoResult::TooManyOpen: return "too many open files";
    default: return "I/O error " + std::to_string(io);
    }
}

// Keeps the text up to its last line feed when the source was longer than
// the bound.
inline void CutAtLastLineFeed(std::string& text)
{
    const size_t lf = text.rfind('\n');
    if (lf != std::string::npos)
        text.resize(lf + 1);
}

inline int ReadFileBounded(const std::string& utf8Path, std::string& text, int max)
{
    text.clear();
    ReadOnlyFile f;
    if (const int r = f.Open(utf8Path); r != 0)
        return -r;
    const int64_t size = f.Size();
    const bool longer = max > 0 && size > max;
    const size_t want = static_cast<size_t>(longer ? max : size);
    text.resize(want);
    size_t got = 0;
    const int r = want > 0 ? f.ReadAt(0, text.data(), want, &got) : 0;
    if (r != 0 && r != IoResult::ShortRead) {
        text.clear();
        return -r;
    }
    text.resize(got);
    if (longer)
        CutAtLastLineFeed(text);
    return static_cast<int>(text.size());
}

inline std::string PathOfValue(std::string_view value)
{
    std::string path = Cp1250ToUtf8(value);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// 0 or the failure of the platform's block reader.
inline int ReadBlockBounded(const std::string& name, std::string& text)
{
    size_t full = 0;
    const int r = ReadSharedBlock(Cp1250ToUtf8(name), text, kMaxListBytes, &full);
    if (r == 0 && full > kMaxListBytes)
        CutAtLastLineFeed(text);
    return r;
}

} // namespace medication_parts
