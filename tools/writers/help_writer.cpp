#include "writers/help_writer.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "datastore/topic_keys.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "writers/csv_source.h"
#include "writers/ctrl_markup.h"
#include "writers/x6_writer.h"

namespace {

constexpr int kMaxTopics = 256;
constexpr int kMaxTables = 32;
constexpr int kMaxColumns = 12;
constexpr int kTitleValue = 8; // a topic's title: a centred heading
constexpr int kSubheading = 11;
constexpr int kBoxed = 3;
constexpr int kNote = 2;

std::string_view TrimView(std::string_view s)
{
    return TrimIf(s, [](char c) { return c == ' ' || c == '\t'; });
}

bool StartsWith(std::string_view s, std::string_view p)
{
    return s.substr(0, p.size()) == p;
}

// Six characters: the key padded with "_".
std::string PaddedKey(std::string_view key)
{
    std::string s(key.substr(0, 6));
    while (s.size() < 6)
        s.push_back('_');
    return s;
}

// A key the heads and the 6-bit links can carry: 1 to 6 characters of the
// key alphabet.
bool CarriableKey(std::string_view key)
{
    if (key.empty() || key.size() > 6)
        return false;
    for (char c : key)
        if (!IsTopicKeyCharacter(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The shorthands of the help sources inside braces.
bool HelpShorthand(std::string_view name, CtrlTextWriter& out)
{
    struct Flag {
        std::string_view name;
        int value;
    };
    static const Flag kFlags[] = {{"b", 1},    {"i", 2},    {"u", 4},  {"h", 8},
                                  {"sup", 16}, {"sub", 32}, {"bi", 3}, {"/", 0}};
    for (const Flag& f : kFlags)
        if (name == f.name) {
            out.Code(20, {f.value});
            return true;
        }
    if (name == "br") {
        out.Code(13);
        return true;
    }
    if (name == "tab") {
        out.Code(9);
        return true;
    }
    if (name == "nb") {
        out.Text("\x7F");
        return true;
    }
    return false;
}

// Cell attribute words: a span, an alignment, font flags, a rule.
bool CellAttribute(std::string_view words, int& attr, std::string& error)
{
    attr = 0;
    size_t pos = 0;
    while (pos < words.size()) {
        size_t end = words.find_first_of(" ,", pos);
        if (end == std::string_view::npos)
            end = words.size();
        const std::string_view w = words.substr(pos, end - pos);
        pos = end + 1;
        if (w.empty())
            continue;
        int span = 0;
        if (w.size() <= 2 && std::all_of(w.begin(), w.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            span = std::stoi(std::string(w));
            if (span < 1 || span > 12) {
                error = "a span of 1 to 12";
                return false;
            }
            attr = (attr & ~0x0F) | span;
            continue;
        }
        static const std::pair<std::string_view, int> kAlign[] = {
            {"left", 0},     {"centre", 1},    {"center", 1}, {"right", 2},
            {"rightpad", 3}, {"rightpad6", 4}, {"indent", 5}};
        bool known = false;
        for (const auto& [name, value] : kAlign)
            if (w == name) {
                attr = (attr & ~0x70) | (value << 4);
                known = true;
            }
        static const std::pair<std::string_view, int> kBits[] = {
            {"bold", 0x200}, {"italic", 0x400}, {"underline", 0x800}, {"rule1", 0x080}, {"rule2", 0x100}};
        for (const auto& [name, value] : kBits)
            if (w == name) {
                attr |= value;
                known = true;
            }
        if (!known) {
            error = "unknown cell attribute \"" + std::string(w) + "\"";
            return false;
        }
    }
    return true;
}

// Splits a table row at "|" outside braces and links.
std::vector<std::string_view> SplitCells(std::string_view row)
{
    std::vector<std::string_view> cells;
    int brace = 0;
    int link = 0;
    size_t start = 0;
    for (size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (c == '{')
            ++brace;
        else if (c == '}' && brace > 0)
            --brace;
        else if (c == '[' && i + 1 < row.size() && row[i + 1] == '[')
            ++link, ++i;
        else if (c == ']' && i + 1 < row.size() && row[i + 1] == ']' && link > 0)
            --link, ++i;
        else if (c == '|' && brace == 0 && link == 0) {
            cells.push_back(row.substr(start, i - start));
            start = i + 1;
        }
    }
    cells.push_back(row.substr(start));
    return cells;
}

std::string ToKam(std::string_view utf8, std::string& error)
{
    std::string kam;
    if (!Utf8ToKam(utf8, kam, error))
        return {};
    return kam;
}

} // namespace

std::string HelpCompileError::Text() const
{
    return file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + reason;
}

HelpCompiler::HelpCompiler(HelpCompileOptions options) : options_(std::move(options))
{}

void HelpCompiler::Error(const std::string& file, int line, const std::string& reason)
{
    errors_.push_back({file, line, reason});
}

void HelpCompiler::AddSource(std::string_view utf8, const std::string& fileName)
{
    Topic* current = nullptr;
    ForEachSourceLine(utf8, [&](int number, std::string_view line) {
        const bool entry = StartsWith(line, "@entry ");
        const int level = StartsWith(line, "@topic ")     ? 0
                          : StartsWith(line, "@chapter ") ? 1
                          : StartsWith(line, "@part ")    ? 2
                                                          : -1;
        if (level >= 0 || entry) {
            if (entry != (options_.kind == HelpFileKind::Doping)) {
                Error(fileName, number,
                      entry ? "@entry belongs to the doping list"
                            : "the doping list holds @entry lines only");
                current = nullptr;
                return;
            }
            Topic t;
            t.file = fileName;
            t.line = number;
            t.level = std::max(level, 0);
            std::string_view rest = TrimView(line.substr(line.find(' ') + 1));
            if (entry) {
                // "@entry MARKER Title"
                const size_t blank = rest.find(' ');
                t.key = std::string(rest.substr(0, blank));
                t.keyGiven = true;
                t.title = blank == std::string_view::npos ? std::string()
                                                          : std::string(TrimView(rest.substr(blank)));
            } else {
                t.title = std::string(rest);
            }
            topics_.push_back(std::move(t));
            current = &topics_.back();
            return;
        }
        if (StartsWith(line, "@key ")) {
            if (current == nullptr || !current->body.empty() || options_.kind == HelpFileKind::Doping) {
                Error(fileName, number, "@key must follow its @topic, @chapter or @part line");
                return;
            }
            current->key = std::string(TrimView(line.substr(5)));
            current->keyGiven = true;
            return;
        }
        if (current == nullptr) {
            if (!TrimView(line).empty())
                Error(fileName, number, "text before the first topic");
            return;
        }
        current->body.push_back({number, std::string(line)});
    });
}

const HelpCompiler::Target* HelpCompiler::FindTarget(std::string_view name) const
{
    for (const Target& t : targets_)
        if (t.title == name)
            return &t;
    if (!CarriableKey(name))
        return nullptr;
    const TopicKey key = PackTopicKey(PaddedKey(name));
    for (const Target& t : targets_)
        if (PackTopicKey(t.key) == key)
            return &t;
    return nullptr;
}

bool HelpCompiler::LinkTo(std::string_view inner, std::string& out, std::string& error)
{
    const size_t bar = inner.find('|');
    const std::string target(TrimView(inner.substr(0, bar)));
    const std::string_view shown =
        bar == std::string_view::npos ? std::string_view() : TrimView(inner.substr(bar + 1));
    CtrlTextWriter w;
    auto visible = [&](std::string_view fallback) {
        if (shown.empty()) {
            w.Text(fallback);
            return true;
        }
        return AppendCtrlMarkup(shown, w, error, HelpShorthand);
    };
    const bool web =
        StartsWith(target, "http://") || StartsWith(target, "https://") || StartsWith(target, "www.");
    const bool mailto = StartsWith(target, "mailto:");
    const bool mail =
        mailto || (target.find('@') != std::string::npos && target.find(' ') == std::string::npos);
    if (options_.kind != HelpFileKind::Doping && (web || mail)) {
        // The visible text is the address itself.
        if (!shown.empty()) {
            error = "a web or mail link shows its address; drop the text after \"|\"";
            return false;
        }
        const std::string address = ToKam(mailto ? target.substr(7) : target, error);
        if (address.empty())
            return false;
        w.CodeString(26, mail ? "@" : "W").Text(address).Code(7);
        out = w.Take();
        return true;
    }
    const Target* found = FindTarget(target);
    if (found == nullptr) {
        error = "unknown link target \"" + target + "\"";
        return false;
    }
    if (options_.kind == HelpFileKind::Doping) {
        // The doping list follows the nearest link code: its marker as it is.
        std::string marker = found->key;
        while (!marker.empty() && marker.back() == '_')
            marker.pop_back();
        w.CodeString(26, KamFoldUpper(marker));
    } else {
        w.CodeString(26, KamFoldUpper(found->key));
    }
    if (!visible(found->linkText))
        return false;
    w.Code(7);
    out = w.Take();
    return true;
}

bool HelpCompiler::CompileTopic(const Topic& t, HelpCompiledTopic& out)
{
    bool ok = true;
    auto fail = [&](int line, const std::string& reason) {
        Error(t.file, line, reason);
        ok = false;
    };
    CtrlTextWriter w;
    std::string error;
    const bool doping = options_.kind == HelpFileKind::Doping;

    // The head of the topic: its title, or the doping entry's marker.
    const std::string titleKam = ToKam(t.title, error);
    if (!error.empty())
        fail(t.line, error);
    if (doping) {
        w.Code(19, {1}).Text(KamFoldUpper(t.key));
        if (!t.title.empty())
            w.Code(20, {1}).Text(" ").Text(titleKam).Code(20, {0});
    } else {
        if (titleKam.empty())
            fail(t.line, "a topic without a title");
        if (titleKam.size() > kHelpMaxTitle)
            fail(t.line, "a title of " + std::to_string(titleKam.size()) + " bytes (at most " +
                             std::to_string(kHelpMaxTitle) + ")");
        w.Code(18, {t.level == 1 ? 10 : t.level == 2 ? 9 : kTitleValue}).Text(titleKam);
    }
    const size_t titleEnd = w.Size();

    // Inline markup with links.
    auto inlineInto = [&](CtrlTextWriter& w, std::string_view s, int line) {
        size_t i = 0;
        while (i < s.size()) {
            const size_t open = s.find("[[", i);
            const std::string_view plain =
                s.substr(i, open == std::string_view::npos ? std::string_view::npos : open - i);
            if (!AppendCtrlMarkup(plain, w, error, HelpShorthand)) {
                fail(line, error);
                return;
            }
            if (open == std::string_view::npos)
                return;
            const size_t close = s.find("]]", open + 2);
            if (close == std::string_view::npos) {
                fail(line, "\"[[\" without \"]]\"");
                return;
            }
            std::string link;
            if (!LinkTo(s.substr(open + 2, close - open - 2), link, error)) {
                fail(line, error);
                return;
            }
            w.Raw(link);
            i = close + 2;
        }
    };
    auto inlineText = [&](std::string_view s, int line) { inlineInto(w, s, line); };

    bool open = false;      // a paragraph takes continuation lines
    std::string lastPrefix; // of the open paragraph
    bool breakNext = false;
    bool inTable = false;
    int tables = 0;
    int columns = 0;
    bool placed = false; // the placeholder: nothing may follow it
    int placeholderLine = 0;
    for (const Line& l : t.body) {
        std::string_view s = l.text;
        if (placed && !TrimView(s).empty()) {
            fail(l.number, "the placeholder must end its topic");
            continue;
        }
        if (TrimView(s).empty()) {
            open = false;
            breakNext = false;
            lastPrefix.clear();
            continue;
        }
        if (StartsWith(s, "@table")) {
            if (inTable)
                fail(l.number, "a table inside a table");
            open = false;
            ++tables;
            if (tables > kMaxTables)
                fail(l.number, "more than " + std::to_string(kMaxTables) + " tables in a topic");
            int p1 = 0;
            int p2 = 0;
            std::vector<int> widths;
            bool ruled = false;
            std::string_view rest = TrimView(s.substr(6));
            while (!rest.empty()) {
                const size_t blank = rest.find(' ');
                const std::string_view word = rest.substr(0, blank);
                rest = blank == std::string_view::npos ? std::string_view() : TrimView(rest.substr(blank));
                int attr = 0;
                if (word == "grid") {
                    p1 |= 8;
                } else if (word == "ruled") {
                    ruled = true;
                } else if (StartsWith(word, "head=")) {
                    p1 = (p1 & ~7) | std::clamp(std::atoi(std::string(word.substr(5)).c_str()), 0, 7);
                } else if (StartsWith(word, "headcols=")) {
                    p2 = (p2 & ~15) | std::clamp(std::atoi(std::string(word.substr(9)).c_str()), 0, 15);
                } else if (StartsWith(word, "hstyle=")) {
                    if (!CellAttribute(word.substr(7), attr, error))
                        fail(l.number, error);
                    p1 = (p1 & 15) | (attr & 0xFF0);
                } else if (StartsWith(word, "bstyle=")) {
                    if (!CellAttribute(word.substr(7), attr, error))
                        fail(l.number, error);
                    p2 = (p2 & 15) | (attr & 0xFF0);
                } else if (!word.empty() &&
                           std::all_of(word.begin(), word.end(),
                                       [](char c) { return c >= '0' && c <= '9'; }) &&
                           word.size() <= 4 && std::stoi(std::string(word)) <= 4095) {
                    widths.push_back(std::stoi(std::string(word)));
                } else {
                    fail(l.number, "unknown table option \"" + std::string(word) + "\"");
                }
            }
            if (widths.empty())
                fail(l.number, "a table needs its column widths");
            if (widths.size() > static_cast<size_t>(kMaxColumns))
                fail(l.number, "more than " + std::to_string(kMaxColumns) + " columns");
            if (ruled) {
                p1 = 160;
                p2 = 145;
            }
            std::vector<int> values{p1, p2};
            values.insert(values.end(), widths.begin(), widths.end());
            w.Code(24, values);
            inTable = true;
            columns = static_cast<int>(widths.size());
            continue;
        }
        if (s == "@end") {
            if (!inTable)
                fail(l.number, "@end without @table");
            w.Code(4);
            inTable = false;
            open = false;
            continue;
        }
        if (StartsWith(s, "@insert ")) {
            if (options_.kind == HelpFileKind::Manual) {
                fail(l.number, "a placeholder in the manual (only the second help file's topics have them)");
                continue;
            }
            if (doping) {
                fail(l.number, "a placeholder in the doping list");
                continue;
            }
            const std::string p(TrimView(s.substr(8)));
            if (p.size() <= 4 || p[0] != '#' || (p[1] != '#' && p[1] != '[') ||
                !std::all_of(p.begin(), p.end(), [](char c) { return c >= 32 && c <= 95; }))
                fail(l.number, "a placeholder is \"##FILE\", \"#[SECTION\" or \"#[UHR\" in capitals");
            w.Code(14).CodeString(28, p);
            placed = true;
            placeholderLine = l.number;
            continue;
        }
        if (s[0] == '@') {
            fail(l.number, "unknown directive " + std::string(s));
            continue;
        }
        if (s[0] == '|') {
            if (!inTable) {
                fail(l.number, "a table row outside @table");
                continue;
            }
            std::vector<std::string_view> cells = SplitCells(s.substr(1));
            if (!cells.empty() && TrimView(cells.back()).empty())
                cells.pop_back();
            int used = 0;
            for (size_t c = 0; c < cells.size(); ++c) {
                std::string_view cell = TrimView(cells[c]);
                int attr = -1;
                if (!cell.empty() && cell[0] == '[' && (cell.size() < 2 || cell[1] != '[')) {
                    const size_t close = cell.find(']');
                    if (close == std::string_view::npos) {
                        fail(l.number, "a cell's \"[\" without \"]\"");
                        break;
                    }
                    if (!CellAttribute(cell.substr(1, close - 1), attr, error))
                        fail(l.number, error);
                    cell = TrimView(cell.substr(close + 1));
                }
                used += attr >= 0 && (attr & 0x0F) > 0 ? (attr & 0x0F) : 1;
                if (c == 0) {
                    if (attr >= 0)
                        w.Code(22, {attr});
                    else
                        w.Code(11);
                } else if (attr >= 0) {
                    w.Code(23, {attr});
                } else {
                    w.Code(6);
                }
                inlineText(cell, l.number);
            }
            if (used > columns)
                fail(l.number, "a row of " + std::to_string(used) + " columns in a table of " +
                                   std::to_string(columns));
            continue;
        }
        if (inTable) {
            fail(l.number, "only rows (\"|\") inside a table");
            continue;
        }

        // Paragraph lines.
        bool lineBreak = false;
        if (s.size() >= 2 && s.substr(s.size() - 2) == " \\") {
            lineBreak = true;
            s = TrimView(s.substr(0, s.size() - 2));
        }
        struct Start {
            std::string_view prefix;
            int code;
            int value;
        };
        static const Start kStarts[] = {
            {"--- ", 3, 0},          {"-- ", 2, 0},      {"- ", 1, 0},      {"!! ", 18, 13},
            {"! ", 18, kSubheading}, {"> ", 18, kBoxed}, {": ", 18, kNote},
        };
        bool started = false;
        // A box or a note goes on over the lines that repeat its prefix.
        if (open && (lastPrefix == "> " || lastPrefix == ": ") && StartsWith(s, lastPrefix)) {
            s = s.substr(2);
        } else {
            lastPrefix.clear();
        }
        for (const Start& st : kStarts)
            if (lastPrefix.empty() && StartsWith(s, st.prefix)) {
                lastPrefix = std::string(st.prefix);
                if (st.code < 16)
                    w.Code(static_cast<uint8_t>(st.code));
                else
                    w.Code(static_cast<uint8_t>(st.code), {st.value});
                s = s.substr(st.prefix.size());
                started = true;
                break;
            }
        if (!started) {
            // "1. " numbers, "a) " small letters; indented by a tab, level 2.
            int level = 0;
            std::string_view n = s;
            if (StartsWith(n, "\t")) {
                level = 1;
                n = n.substr(1);
            }
            size_t digits = 0;
            while (digits < n.size() && digits < 2 && n[digits] >= '0' && n[digits] <= '9')
                ++digits;
            if (digits > 0 && n.substr(digits, 2) == ". ") {
                const int number = std::stoi(std::string(n.substr(0, digits)));
                w.Code(21, {number + 256 * (1 + 5 * level)});
                s = n.substr(digits + 2);
                started = true;
            } else if (n.size() >= 3 && n[0] >= 'a' && n[0] <= 'z' && n.substr(1, 2) == ") ") {
                w.Code(21, {(n[0] - 96) + 256 * (4 + 5 * level)});
                s = n.substr(3);
                started = true;
            }
        }
        if (!started && open)
            s = TrimView(s);
        CtrlTextWriter lw;
        inlineInto(lw, s, l.number);
        if (!started && open) {
            if (breakNext)
                w.Code(13);
            else
                w.Text(" ");
        } else if (!started) {
            // A line opening with a paragraph code says itself how it starts.
            CtrlItem first;
            const bool opens =
                CtrlItemAt(lw.Bytes(), 0, first) && !first.IsText() &&
                (first.code == 18 || first.code == 19 || first.code == 21 || first.code == 14 ||
                 first.code == 5 || first.code == 12 || (first.code >= 1 && first.code <= 3));
            if (!opens)
                w.Code(14);
        }
        w.Raw(lw.Bytes());
        // A heading is one line: the next line starts a paragraph of its own.
        open = lastPrefix != "! " && lastPrefix != "!! ";
        breakNext = lineBreak;
    }
    if (inTable)
        fail(t.body.empty() ? t.line : t.body.back().number, "a table without @end");
    (void)placeholderLine;

    out.key = PaddedKey(t.key);
    out.title = t.title;
    out.level = t.level;
    out.text = w.Take();
    if (ok && !doping) {
        // The title must end where the body begins.
        CtrlItem first;
        const bool ends = titleEnd >= out.text.size() ||
                          (CtrlItemAt(out.text, static_cast<int>(titleEnd), first) && !first.IsText() &&
                           (first.code == 1 || first.code == 13 || first.code == 14 || first.code == 18 ||
                            first.code == 21 || first.code == 24));
        if (!ends)
            fail(t.body.empty() ? t.line : t.body.front().number,
                 "the first paragraph does not end the title (begin it with a paragraph of its own)");
    }
    if (placed && options_.kind == HelpFileKind::Second) {
        // The placeholder must lie in the topic's last 15 bytes.
        const std::string_view body = out.text;
        if (body.size() > 15) {
            CtrlTokenizer walk(body);
            CtrlItem item;
            bool inLast = false;
            while (walk.Next(item))
                if (item.IsCode(28))
                    inLast = item.offset >= static_cast<int>(body.size()) - 15;
            if (!inLast)
                fail(placeholderLine, "the placeholder lies before the topic's last 15 bytes");
        }
    }
    return ok;
}

bool HelpCompiler::Finish(std::string& fileBytes)
{
    const bool doping = options_.kind == HelpFileKind::Doping;
    // Keys and targets.
    targets_.clear();
    std::set<TopicKey> keys;
    std::string error;
    if (!doping) {
        keys.insert(PackTopicKey("OBSAH_"));
        targets_.push_back({"OBSAH_", "Obsah", "Obsah"});
        for (const HelpCompileOptions::Known& k : options_.known) {
            keys.insert(PackTopicKey(PaddedKey(k.key)));
            targets_.push_back({PaddedKey(k.key), k.title, ToKam(k.title, error)});
        }
    }
    for (Topic& t : topics_) {
        if (!t.keyGiven) {
            const std::string kam = ToKam(t.title, error);
            t.key = AbbreviateTopic(kam);
        }
        const size_t limit = doping ? 5 : 6;
        if (!CarriableKey(t.key) || t.key.size() > limit) {
            Error(t.file, t.line,
                  "the key \"" + t.key + "\" cannot be carried (1 to " + std::to_string(limit) +
                      " letters, digits or !#$%&*/?\\^_); give one with @key");
            continue;
        }
        const TopicKey key = doping ? PackTopicKey(KamFoldUpper(t.key)) : PackTopicKey(PaddedKey(t.key));
        if (!keys.insert(key).second) {
            Error(t.file, t.line, "the key \"" + t.key + "\" is used twice");
            continue;
        }
        std::string kamTitle = ToKam(t.title, error);
        if (doping)
            kamTitle = kamTitle.empty() ? KamFoldUpper(t.key) : kamTitle;
        targets_.push_back({PaddedKey(t.key), t.title, kamTitle});
    }
    const int reserved = options_.kind == HelpFileKind::Manual   ? 2
                         : options_.kind == HelpFileKind::Second ? 1 + static_cast<int>(options_.known.size())
                                                                 : 0;
    if (static_cast<int>(topics_.size()) + reserved > kMaxTopics)
        Error(topics_.empty() ? std::string() : topics_.back().file, 0,
              std::to_string(topics_.size()) + " topics: the help files hold at most " +
                  std::to_string(kMaxTopics) + " together");
    if (topics_.empty())
        Error(std::string(), 0, "no topics");

    compiled_.clear();
    for (const Topic& t : topics_) {
        HelpCompiledTopic c;
        CompileTopic(t, c);
        compiled_.push_back(std::move(c));
    }
    if (!errors_.empty())
        return false;

    X6FileOptions xo;
    xo.compressed = options_.compressed;
    xo.headSize = 16;
    X6Writer writer(xo);
    for (size_t i = 0; i < compiled_.size(); ++i) {
        X6Record r;
        r.text = compiled_[i].text;
        r.name = topics_[i].file + ":" + std::to_string(topics_[i].line);
        for (size_t k = 0; k < 6; ++k)
            r.key[k] = static_cast<uint8_t>(compiled_[i].key[k]);
        try {
            writer.Add(r);
        } catch (const X6Error& e) {
            Error(topics_[i].file, topics_[i].line, e.what());
        }
    }
    if (!errors_.empty())
        return false;
    fileBytes = writer.Finish();
    return true;
}

bool CompileHelpFolder(const std::string& folder, const HelpCompileOptions& options, std::string& fileBytes,
                       std::vector<HelpCompileError>& errors, std::vector<HelpCompiledTopic>* topics)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().extension() == ".txt")
            names.push_back(entry.path().string());
    if (ec) {
        errors.push_back({folder, 0, "cannot list the folder: " + ec.message()});
        return false;
    }
    std::sort(names.begin(), names.end());
    HelpCompiler compiler(options);
    for (const std::string& name : names) {
        std::string text;
        if (int r = ReadWholeFile(name, text)) {
            errors.push_back({name, 0, "cannot read (I/O result " + std::to_string(r) + ")"});
            return false;
        }
        compiler.AddSource(text, name);
    }
    const bool ok = compiler.Finish(fileBytes);
    errors.insert(errors.end(), compiler.Errors().begin(), compiler.Errors().end());
    if (topics)
        *topics = compiler.Topics();
    return ok;
}

int WriteHelpFile(const std::string& path, const std::string& bytes)
{
    return WriteFileAtomic(path, bytes);
}
