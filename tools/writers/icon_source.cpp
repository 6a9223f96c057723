#include "writers/icon_source.h"

#include "platform/fs.h"

#include <QDir>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace iconsrc {

std::string Error::Message() const
{
    std::string m = file;
    if (line > 0)
        m += ":" + std::to_string(line);
    return m + ": " + reason;
}

namespace {

struct Token {
    std::string text;
    int line;
};

// Words of the text without "#" comments, with their line numbers.
std::vector<Token> Tokenize(std::string_view text)
{
    std::vector<Token> tokens;
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            const size_t start = i;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '#')
                ++i;
            tokens.push_back({std::string(text.substr(start, i - start)), line});
        }
    }
    return tokens;
}

bool ParseNumber(const std::string& s, int& value)
{
    if (s.empty() || s.size() > 6)
        return false;
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, value);
    return ec == std::errc() && p == end;
}

bool ValidKey(const std::string& key)
{
    if (key.empty() || key.size() > 14)
        return false;
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

} // namespace

bool CompileIconProgram(std::string_view text, const std::string& fileName, std::string& out, Error& err)
{
    out.clear();
    const std::vector<Token> tokens = Tokenize(text);
    if (tokens.empty()) {
        err = {fileName, 0, "empty program"};
        return false;
    }
    size_t i = 0;
    bool first = true;
    while (i < tokens.size()) {
        const Token& cmd = tokens[i++];
        int op = 0;
        int points = 0;
        if (cmd.text == "M") {
            op = 0;
            points = 1;
        } else if (cmd.text == "L") {
            op = 1;
            points = 1;
        } else if (cmd.text == "C") {
            op = 2;
            points = 3;
        } else {
            err = {fileName, cmd.line, "unknown command \"" + cmd.text + "\" (M, L or C expected)"};
            return false;
        }
        if (first && op != 0) {
            err = {fileName, cmd.line, "a program starts with M"};
            return false;
        }
        first = false;
        std::vector<int> numbers;
        while (numbers.size() < static_cast<size_t>(points * 2) && i < tokens.size()) {
            int v = 0;
            if (!ParseNumber(tokens[i].text, v)) {
                if (tokens[i].text == "M" || tokens[i].text == "L" || tokens[i].text == "C")
                    break;
                err = {fileName, tokens[i].line, "\"" + tokens[i].text + "\" is not a number"};
                return false;
            }
            if (v < 0 || v > 255) {
                err = {fileName, tokens[i].line, "number " + tokens[i].text + " outside 0-255"};
                return false;
            }
            numbers.push_back(v);
            ++i;
        }
        if (numbers.size() != static_cast<size_t>(points * 2)) {
            err = {fileName, cmd.line,
                   op == 2 ? "a curve needs three points (6 numbers)"
                           : "\"" + cmd.text + "\" needs one point (2 numbers)"};
            return false;
        }
        for (int p = 0; p < points; ++p) {
            out.push_back(static_cast<char>(p == 0 ? op : 2));
            out.push_back(static_cast<char>(numbers[static_cast<size_t>(2 * p)]));
            out.push_back(static_cast<char>(numbers[static_cast<size_t>(2 * p + 1)]));
        }
        if (out.size() > 255) {
            err = {fileName, cmd.line, "program longer than 255 bytes (85 points)"};
            return false;
        }
    }
    return true;
}

bool CompilePicture(std::string_view text, const std::string& fileName, std::string& out, Error& err)
{
    out.clear();
    int line = 0;
    size_t pos = 0;
    int parts = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;
        ++line;
        if (const size_t hash = raw.find('#'); hash != std::string_view::npos)
            raw = raw.substr(0, hash);
        const std::vector<Token> words = Tokenize(raw);
        if (words.empty()) {
            if (end == text.size())
                break;
            continue;
        }
        if (words.size() != 4) {
            err = {fileName, line, "a part is \"BBGGRR fill|line SCALE REFERENCE\""};
            return false;
        }
        const std::string& colour = words[0].text;
        if (colour.size() != 6 || !std::all_of(colour.begin(), colour.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F');
            })) {
            err = {fileName, line, "colour \"" + colour + "\" is not 6 digits 0-9, A-F"};
            return false;
        }
        char mode = 0;
        if (words[1].text == "fill")
            mode = 'm';
        else if (words[1].text == "line")
            mode = '-';
        else {
            err = {fileName, line, "mode \"" + words[1].text + "\" is neither fill nor line"};
            return false;
        }
        int scale = 0;
        if (!ParseNumber(words[2].text, scale) || scale < 0 || scale > 15) {
            err = {fileName, line, "scale \"" + words[2].text + "\" outside 0-15"};
            return false;
        }
        const std::string& ref = words[3].text;
        if (ref.empty() || ref.size() > 19 || ref.find('|') != std::string::npos) {
            err = {fileName, line, "reference \"" + ref + "\" is empty, too long or holds \"|\""};
            return false;
        }
        if (parts++ > 0)
            out += '|';
        out += colour;
        out += mode;
        // Digit "0"-"9"; 11-15 through the characters whose low four bits they are.
        out += scale == 10 ? ' ' : static_cast<char>(0x30 + scale);
        out += ref;
        if (end == text.size())
            break;
    }
    if (parts == 0) {
        err = {fileName, 0, "a picture without parts"};
        return false;
    }
    if (out.size() > 255) {
        err = {fileName, 0, "picture longer than 255 bytes"};
        return false;
    }
    return true;
}

bool CompileIconFolder(const std::string& folder, std::vector<PictEntry>& out, Error& err)
{
    out.clear();
    QDir dir(QString::fromStdString(folder));
    if (!dir.exists()) {
        err = {folder, 0, "no such folder"};
        return false;
    }
    const QStringList names = dir.entryList({"*.icon", "*.picture"}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const std::string path = dir.filePath(name).toStdString();
        const bool isIcon = name.endsWith(".icon");
        const std::string key = name.left(name.lastIndexOf('.')).toStdString();
        if (!ValidKey(key)) {
            err = {path, 0, "the key \"" + key + "\" is not 1-14 letters and digits"};
            return false;
        }
        for (const PictEntry& e : out)
            if (e.key == key) {
                err = {path, 0, "the key \"" + key + "\" is given twice"};
                return false;
            }
        std::string text;
        if (int r = ReadWholeFile(path, text)) {
            err = {path, 0, "cannot be read (I/O result " + std::to_string(r) + ")"};
            return false;
        }
        PictEntry entry{key, {}};
        const bool ok = isIcon ? CompileIconProgram(text, path, entry.value, err)
                               : CompilePicture(text, path, entry.value, err);
        if (!ok)
            return false;
        out.push_back(std::move(entry));
    }
    std::sort(out.begin(), out.end(), [](const PictEntry& a, const PictEntry& b) { return a.key < b.key; });
    return true;
}

std::string PictSectionSource(const std::vector<PictEntry>& entries)
{
    static const char* kHex = "0123456789ABCDEF";
    std::string s = "\n[Pict]\n";
    for (const PictEntry& e : entries) {
        s += e.key;
        s += '=';
        for (unsigned char b : e.value) {
            s += "\\x";
            s += kHex[b >> 4];
            s += kHex[b & 15];
        }
        s += '\n';
    }
    return s;
}

} // namespace iconsrc
