#include "writers/csv_source.h"

#include "datastore/kamenici.h"
#include "platform/cp1250.h"
#include "platform/fs.h"

bool CsvTable::Load(const std::string& path, std::string& error)
{
    std::string text;
    if (int r = ReadWholeFile(path, text)) {
        error = path + ": cannot read (I/O result " + std::to_string(r) + ")";
        return false;
    }
    const size_t slash = path.find_last_of('/');
    return Parse(text, slash == std::string::npos ? path : path.substr(slash + 1), error);
}

bool CsvTable::Parse(std::string_view text, const std::string& name, std::string& error)
{
    header_.clear();
    rows_.clear();
    lines_.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    size_t i = 0;
    int line = 1;
    bool haveHeader = false;
    while (i < text.size()) {
        const int rowLine = line;
        // Skip empty lines and comments.
        if (text[i] == '\n' || text[i] == '\r') {
            if (text[i] == '\n')
                ++line;
            ++i;
            continue;
        }
        if (text[i] == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
            continue;
        }
        std::vector<std::string> fields(1);
        bool inQuotes = false;
        bool wasQuoted = false;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (inQuotes) {
                if (c == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        fields.back().push_back('"');
                        ++i;
                    } else {
                        inQuotes = false;
                    }
                } else {
                    if (c == '\n')
                        ++line;
                    fields.back().push_back(c);
                }
                continue;
            }
            if (c == '"' && fields.back().empty() && !wasQuoted) {
                inQuotes = true;
                wasQuoted = true;
            } else if (c == ',') {
                fields.emplace_back();
                wasQuoted = false;
            } else if (c == '\n') {
                ++line;
                ++i;
                break;
            } else if (c == '\r') {
                // part of a CR LF line end
            } else {
                fields.back().push_back(c);
            }
        }
        if (inQuotes) {
            error = name + ":" + std::to_string(rowLine) + ": quoted field not closed";
            return false;
        }
        if (!haveHeader) {
            header_ = std::move(fields);
            haveHeader = true;
            continue;
        }
        if (fields.size() > header_.size()) {
            error = name + ":" + std::to_string(rowLine) + ": " + std::to_string(fields.size()) +
                    " fields, the header has " + std::to_string(header_.size());
            return false;
        }
        fields.resize(header_.size());
        rows_.push_back(std::move(fields));
        lines_.push_back(rowLine);
    }
    if (!haveHeader) {
        error = name + ": no header row";
        return false;
    }
    return true;
}

int CsvTable::Column(std::string_view name) const
{
    for (size_t i = 0; i < header_.size(); ++i)
        if (header_[i] == name)
            return static_cast<int>(i);
    return -1;
}

const std::string& CsvTable::Value(size_t row, std::string_view column) const
{
    static const std::string empty;
    const int c = Column(column);
    return c < 0 ? empty : rows_[row][static_cast<size_t>(c)];
}

bool Utf8ToKam(std::string_view utf8, std::string& out, std::string& error)
{
    std::string cp;
    size_t bad = 0;
    if (!Utf8ToCp1250(utf8, cp, &bad)) {
        error = "character " + std::to_string(bad) + " of \"" + std::string(utf8) +
                "\" has no code in code page 1250";
        return false;
    }
    out.resize(cp.size());
    for (size_t i = 0; i < cp.size(); ++i) {
        const uint8_t w = static_cast<uint8_t>(cp[i]);
        const uint8_t k = WinToKamTable[w];
        // A code 0x80-0xAF that is no image of a data letter would read back
        // as a different letter.
        if (k == w && w >= 0x80 && w <= 0xAF && KamToWinTable[k] != w) {
            error = "\"" + std::string(utf8) + "\" holds a character the data code page cannot hold";
            return false;
        }
        out[i] = static_cast<char>(k);
    }
    return true;
}
