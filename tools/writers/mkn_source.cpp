#include "writers/mkn_source.h"

#include <algorithm>
#include <filesystem>

#include "datastore/ctrl_text.h"
#include "datastore/topic_keys.h"
#include "platform/fs.h"
#include "writers/ctrl_markup.h"

namespace {

// The data code page bytes of a plain line; false for markup or a
// character the code page cannot carry.
bool PlainLine(std::string_view utf8, std::string& out, std::string& error)
{
    if (utf8.find('{') != std::string_view::npos) {
        error = "a word-list line holds no markup";
        return false;
    }
    CtrlTextWriter w;
    if (!AppendCtrlMarkup(utf8, w, error))
        return false;
    out = w.Take();
    return true;
}

} // namespace

bool ParseMknSource(std::string_view utf8, const std::string& fileName, MknSources& out)
{
    const size_t errorsBefore = out.errors.size();
    MknSourceEntry* entry = nullptr;
    CtrlTextWriter text;
    const auto close = [&] {
        if (entry)
            entry->text = text.Take();
        text = CtrlTextWriter();
        entry = nullptr;
    };
    ForEachSourceLine(utf8, [&](int line, std::string_view s) {
        const auto fail = [&](const std::string& why) { out.errors.push_back({fileName, line, why}); };
        if (s.empty())
            return;
        std::string error;
        if (s.rfind("@entry ", 0) == 0 || s.rfind("@topic ", 0) == 0) {
            close();
            std::string code;
            if (!PlainLine(s.substr(7), code, error))
                return fail(error);
            if (s[1] == 't')
                code = AbbreviateTopic(code);
            out.entries.push_back({code, {}, fileName + ":" + std::to_string(line)});
            entry = &out.entries.back();
            return;
        }
        if (s.rfind("@word ", 0) == 0) {
            std::string word;
            if (!PlainLine(s.substr(6), word, error))
                return fail(error);
            out.words.push_back(std::move(word));
            return;
        }
        if (s[0] == '@')
            return fail("unknown directive");
        if (!entry)
            return fail("text before the first @entry");
        if (!AppendCtrlMarkup(s, text, error))
            fail(error);
    });
    close();
    return out.errors.size() == errorsBefore;
}

bool LoadMknSources(const std::string& folder, MknSources& out)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        if (e.is_regular_file() && e.path().extension() == ".txt")
            names.push_back(e.path().filename().string());
    if (ec) {
        out.errors.push_back({folder, 0, "cannot list the folder"});
        return false;
    }
    std::sort(names.begin(), names.end());
    bool ok = true;
    for (const std::string& n : names) {
        std::string utf8;
        if (int r = ReadWholeFile(folder + "/" + n, utf8)) {
            out.errors.push_back({n, 0, "cannot read (I/O result " + std::to_string(r) + ")"});
            ok = false;
            continue;
        }
        ok = ParseMknSource(utf8, n, out) && ok;
    }
    return ok;
}

bool BuildMknFromFolder(const std::string& folder, std::string& file, std::string& wordList,
                        std::vector<std::string>& errors)
{
    file.clear();
    wordList.clear();
    MknSources src;
    LoadMknSources(folder, src);
    if (src.entries.empty() && src.errors.empty())
        src.errors.push_back({folder, 0, "no entries"});
    for (const MknSourceError& e : src.errors)
        errors.push_back(e.Text());
    if (!src.errors.empty())
        return false;
    try {
        file = BuildMknFile(src.entries);
        wordList = BuildMknWordList(src.words);
    } catch (const X6Error& e) {
        errors.push_back(folder + ": " + e.what());
        file.clear();
        wordList.clear();
        return false;
    }
    return true;
}
