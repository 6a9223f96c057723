#include "writers/text_table_writer.h"

#include <set>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "platform/cp1250.h"
#include "platform/fs.h"

namespace textsrc {

std::string Error::Message() const
{
    std::string m = file;
    if (line > 0)
        m += ":" + std::to_string(line);
    m += ": " + reason;
    return m;
}

namespace {

constexpr size_t kShortMax = 255;

std::string Hex2(unsigned v)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    s.push_back(digits[(v >> 4) & 15]);
    s.push_back(digits[v & 15]);
    return s;
}

std::string CodePointName(char32_t c)
{
    std::string hex;
    for (int shift = 12; shift >= 0; shift -= 4)
        hex.push_back("0123456789ABCDEF"[(c >> shift) & 15]);
    if (c > 0xFFFF)
        hex.insert(0, 1, "0123456789ABCDEF"[(c >> 16) & 15]);
    return "U+" + hex;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool DecodeUtf8(std::string_view s, std::u32string& out, size_t& badByte)
{
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t c;
        size_t n;
        char32_t min;
        if (b < 0x80) {
            c = b, n = 1, min = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F, n = 2, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F, n = 3, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07, n = 4, min = 0x10000;
        } else {
            badByte = i;
            return false;
        }
        if (i + n > s.size()) {
            badByte = i;
            return false;
        }
        for (size_t k = 1; k < n; ++k) {
            unsigned char cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) {
                badByte = i;
                return false;
            }
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            badByte = i;
            return false;
        }
        out.push_back(c);
        i += n;
    }
    return true;
}

int HexDigit(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    return -1;
}

// The stored bytes of one name, key or value: escapes resolved, characters
// through code page 1250 into the Kamenický code page.
bool Encode(const std::u32string& text, const char* what, std::string& out, std::string& reason)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == '\\') {
            char32_t e = i + 1 < text.size() ? text[i + 1] : 0;
            if (e == '\\') {
                out.push_back('\\');
                i += 1;
                continue;
            }
            if (e == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
                out.push_back(static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3])));
                i += 3;
                continue;
            }
            reason = std::string("unknown escape in the ") + what +
                     " (write \\\\ for a backslash or \\xHH for a byte)";
            return false;
        }
        unsigned char w;
        if (!UnicodeToCp1250(c, w)) {
            std::string shown;
            AppendUtf8(shown, c);
            reason = "character " + CodePointName(c) + " \"" + shown + "\" in the " + what +
                     " is not in code page 1250";
            return false;
        }
        unsigned char k = WinToKamTable[w];
        if (KamToWinTable[k] != w) {
            std::string shown;
            AppendUtf8(shown, c);
            reason = "character " + CodePointName(c) + " \"" + shown + "\" in the " + what +
                     " has no place in the data code page (it would show as \"" +
                     Cp1250ToUtf8(std::string(1, static_cast<char>(KamToWinTable[k]))) + "\")";
            return false;
        }
        out.push_back(static_cast<char>(k));
    }
    if (out.size() > kShortMax) {
        reason = std::string("the ") + what + " is " + std::to_string(out.size()) + " bytes long, over 255";
        return false;
    }
    return true;
}

bool IsBlankOnly(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

void PutU16(std::string& b, size_t pos, size_t v)
{
    b[pos] = static_cast<char>(v & 0xFF);
    b[pos + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void AppendShort(std::string& b, const std::string& s)
{
    b.push_back(static_cast<char>(s.size()));
    b += s;
}

// The table bytes in one layout; `overLine` gets the line at which the size
// first passes the limit (0 when it does not).
std::string Layout(const Source& src, uint16_t stamp, bool extended, int& overLine)
{
    std::string b("M6", 2);
    b.append(8, '\0');
    PutU16(b, 2, stamp);
    overLine = 0;
    for (const Section& sec : src.sections) {
        size_t start = b.size();
        b.append(2, '\0');
        AppendShort(b, sec.name);
        if (!overLine && b.size() > kTextTableMaxSize)
            overLine = sec.line;
        for (const Entry& e : sec.entries) {
            AppendShort(b, e.key);
            if (!extended) {
                AppendShort(b, e.value);
            } else if (e.value.size() <= 4) {
                b.push_back(static_cast<char>(e.value.size() - 1));
                b += e.value;
            } else {
                b.push_back(static_cast<char>(e.value.size()));
                AppendShort(b, e.value);
            }
            if (!overLine && b.size() > kTextTableMaxSize)
                overLine = e.line;
        }
        PutU16(b, start, b.size() - start);
    }
    PutU16(b, 4, b.size());
    return b;
}

bool ExtendedBytes(const std::string& b)
{
    return b.size() >= 16 && b[14] == '_' && b[15] == '_';
}

} // namespace

bool ParseSource(std::string_view utf8, const std::string& fileName, Source& out, Error& err)
{
    out = Source{};
    err = Error{fileName, 0, {}};
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);

    std::set<std::string> sectionNames;
    std::set<std::string> keys;
    int lineNo = 0;
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t nl = utf8.find('\n', pos);
        std::string_view line =
            utf8.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? utf8.size() : nl + 1;
        ++lineNo;
        out.lastLine = lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        auto fail = [&](std::string reason) {
            err.line = lineNo;
            err.reason = std::move(reason);
            return false;
        };

        std::u32string text;
        size_t bad = 0;
        if (!DecodeUtf8(line, text, bad))
            return fail("invalid UTF-8 at byte " + std::to_string(bad + 1) + " of the line");
        if (IsBlankOnly(line) || line[0] == ';')
            continue;

        if (line[0] == '[') {
            if (line.size() < 2 || line.back() != ']')
                return fail(
                    "a line of no known form (a section line is \"[Name]\" with nothing after \"]\")");
            std::string name;
            std::string reason;
            if (!Encode(text.substr(1, text.size() - 2), "section name", name, reason))
                return fail(reason);
            if (!sectionNames.insert(name).second)
                return fail("section [" + std::string(line.substr(1, line.size() - 2)) +
                            "] appears a second time");
            out.sections.push_back(Section{name, {}, lineNo});
            keys.clear();
            continue;
        }

        size_t eq = text.find(U'=');
        if (eq == std::u32string::npos)
            return fail("a line of no known form (neither \"[Section]\", \"Key=Value\" nor a \";\" comment)");
        if (out.sections.empty())
            return fail("an entry before the first section");
        if (line.back() == ' ' || line.back() == '\t')
            return fail("the entry line ends in a blank or tab, which editors strip (write \\x20 or \\x09)");
        if (eq == 0)
            return fail("an empty key");
        Entry e;
        e.line = lineNo;
        std::string reason;
        if (!Encode(text.substr(0, eq), "key", e.key, reason))
            return fail(reason);
        if (!Encode(text.substr(eq + 1), "value", e.value, reason))
            return fail(reason);
        if (!keys.insert(e.key).second) {
            std::string shown(line.substr(0, line.find('=')));
            return fail("key \"" + shown + "\" appears a second time in section [" +
                        Cp1250ToUtf8(KamToWin(out.sections.back().name)) + "]");
        }
        out.sections.back().entries.push_back(std::move(e));
    }
    return true;
}

bool BuildTable(const Source& src, uint16_t stamp, const std::string& fileName, std::string& out, Error& err)
{
    err = Error{fileName, 0, {}};
    if (stamp < TextTableResult::FirstSuccess) {
        err.reason = "stamp " + std::to_string(stamp) + " is below 256 (the program reads it as a failure)";
        return false;
    }
    int overLine = 0;
    std::string table = Layout(src, stamp, false, overLine);
    if (!overLine && ExtendedBytes(table)) {
        for (const Section& sec : src.sections)
            for (const Entry& e : sec.entries)
                if (e.value.empty()) {
                    err.line = e.line;
                    err.reason = "an empty value in an extended table (its first section's name has "
                                 "\"_\" as 2nd and 3rd character)";
                    return false;
                }
        table = Layout(src, stamp, true, overLine);
        if (!overLine && !ExtendedBytes(table)) {
            err.line = src.sections.empty() ? 0 : src.sections.front().line;
            err.reason = "the first section is too short to tell a plain from an extended table "
                         "(give it a name of at least 3 characters)";
            return false;
        }
    }
    if (overLine) {
        err.line = overLine;
        err.reason = "the table is " + std::to_string(table.size()) +
                     " bytes, over the limit of 65500 (passed at this line)";
        return false;
    }
    out = std::move(table);
    return true;
}

bool CompileSource(std::string_view utf8, const std::string& fileName, uint16_t stamp, std::string& table,
                   Error& err)
{
    Source src;
    if (!ParseSource(utf8, fileName, src, err))
        return false;
    return BuildTable(src, stamp, fileName, table, err);
}

bool CompileTextTableFile(const std::string& sourcePath, const std::string& outputPath, uint16_t stamp,
                          std::string& message)
{
    std::string source;
    if (int r = ReadWholeFile(sourcePath, source)) {
        message = sourcePath + ": cannot be read (I/O result " + std::to_string(r) + ")";
        return false;
    }
    std::string table;
    Error err;
    if (!CompileSource(source, sourcePath, stamp, table, err)) {
        message = err.Message();
        return false;
    }
    if (int r = WriteFileAtomic(outputPath, table)) {
        message = outputPath + ": cannot be written (I/O result " + std::to_string(r) + ")";
        return false;
    }
    message.clear();
    return true;
}

namespace {

enum class Where { Name, Key, Value };

// One stored text back in the source form: every byte that the compiler
// would not give back from its character is escaped.
std::string Unescape(const std::string& bytes, Where where)
{
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char k = static_cast<unsigned char>(bytes[i]);
        bool escape = k < 0x20 || k == 0x7F;
        if (k == '\\') {
            out += "\\\\";
            continue;
        }
        if (where == Where::Key && (k == '=' || (i == 0 && (k == ';' || k == '['))))
            escape = true;
        if (where == Where::Value && i + 1 == bytes.size() && k == ' ')
            escape = true;
        char16_t u = 0;
        if (!escape) {
            unsigned char w = KamToWinTable[k];
            unsigned char back;
            u = Cp1250ToUnicode(w);
            escape = !UnicodeToCp1250(u, back) || back != w || WinToKamTable[w] != k;
        }
        if (escape)
            out += "\\x" + Hex2(k);
        else
            AppendUtf8(out, u);
    }
    return out;
}

unsigned U16(std::string_view b, size_t pos)
{
    return static_cast<unsigned char>(b[pos]) | (static_cast<unsigned char>(b[pos + 1]) << 8);
}

} // namespace

bool DumpTable(std::string_view b, std::string& out, std::string& message)
{
    out.clear();
    message.clear();
    if (b.size() < 10 || (b[0] != 'M' && b[0] != 'V') || b[1] != '6') {
        message = "not a text table (no \"M6\"/\"V6\" header)";
        return false;
    }
    const bool extended = b.size() >= 16 && b[14] == '_' && b[15] == '_';
    const unsigned stamp = U16(b, 2);
    out += "; text table \"" + std::string(b.substr(0, 2)) + "\", stamp " + std::to_string(stamp) +
           (extended ? ", extended" : ", plain") + ", " + std::to_string(b.size()) + " bytes\n";
    if (stamp != textsrc::kDefaultStamp)
        out += "; compile with --stamp " + std::to_string(stamp) + " for the same bytes\n";
    if (U16(b, 4) != b.size()) {
        message =
            "size word " + std::to_string(U16(b, 4)) + " differs from the size " + std::to_string(b.size());
        return false;
    }
    size_t pos = 10;
    while (pos < b.size()) {
        if (pos + 3 > b.size()) {
            message = "section at offset " + std::to_string(pos) + " is cut off";
            return false;
        }
        size_t len = U16(b, pos);
        if (len < 3 || pos + len > b.size()) {
            message = "section at offset " + std::to_string(pos) + " has a bad length " + std::to_string(len);
            return false;
        }
        const size_t end = pos + len;
        size_t p = pos + 2;
        size_t nameLen = static_cast<unsigned char>(b[p]);
        if (p + 1 + nameLen > end) {
            message = "section name at offset " + std::to_string(p) + " runs past its section";
            return false;
        }
        out += "[" + Unescape(std::string(b.substr(p + 1, nameLen)), Where::Name) + "]\n";
        p += 1 + nameLen;
        while (p < end) {
            size_t keyLen = static_cast<unsigned char>(b[p]);
            size_t v = p + 1 + keyLen;
            if (v >= end) {
                message = "entry at offset " + std::to_string(p) + " runs past its section";
                return false;
            }
            std::string key(b.substr(p + 1, keyLen));
            std::string value;
            size_t next;
            size_t x = static_cast<unsigned char>(b[v]);
            if (!extended) {
                next = v + 1 + x;
                if (next <= end)
                    value = b.substr(v + 1, x);
            } else {
                next = v + x + 2;
                if (next <= end) {
                    if (x <= 3) {
                        value = b.substr(v + 1, x + 1);
                    } else if (static_cast<unsigned char>(b[v + 1]) != x) {
                        message = "entry at offset " + std::to_string(p) +
                                  ": value length differs from its extra byte";
                        return false;
                    } else {
                        value = b.substr(v + 2, x);
                    }
                }
            }
            if (next > end) {
                message = "entry at offset " + std::to_string(p) + " runs past its section";
                return false;
            }
            out += Unescape(key, Where::Key) + "=" + Unescape(value, Where::Value) + "\n";
            p = next;
        }
        pos = end;
    }
    return true;
}

} // namespace textsrc
