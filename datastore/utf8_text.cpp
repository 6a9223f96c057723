#include "datastore/utf8_text.h"

#include "platform/cp1250.h"

namespace {

// The length of the well-formed sequence at i (1-4), with its code point;
// 0 when the bytes there do not form one (overlong forms, surrogates and
// values past U+10FFFF included).
size_t DecodeAt(std::string_view s, size_t i, char32_t& cp)
{
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t n = 0;
    char32_t min = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

void ReplaceAll(std::string& text, std::string_view from, char to)
{
    size_t p = text.find(from);
    if (p == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    size_t done = 0;
    while (p != std::string::npos) {
        out.append(text, done, p - done);
        out.push_back(to);
        done = p + from.size();
        p = text.find(from, done);
    }
    out.append(text, done, std::string::npos);
    text.swap(out);
}

} // namespace

void StripTagsAndEntities(std::string& text)
{
    // Each deletion leaves a prefix that holds neither "<" nor ">", so the
    // repeated deletion is one walk that copies what lies between the tags.
    std::string out;
    size_t i = 0;
    for (;;) {
        const size_t open = text.find('<', i);
        const size_t close = text.find('>', i);
        if (open == std::string::npos || close == std::string::npos || open > close)
            break;
        out.append(text, i, open - i);
        i = close + 1;
    }
    if (i > 0) {
        out.append(text, i, std::string::npos);
        text.swap(out);
    }
    ReplaceAll(text, "&nbsp;", ' ');
    for (char& c : text)
        if (static_cast<unsigned char>(c) == 0xA0)
            c = ' ';
    ReplaceAll(text, "&gt;", '>');
    ReplaceAll(text, "&lt;", '<');
    ReplaceAll(text, "&quot;", '"');
}

std::string Utf8ToCodePage(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        // ASCII is the same in code page 1250.
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out.push_back(utf8[i++]);
            continue;
        }
        char32_t cp = 0;
        const size_t n = DecodeAt(utf8, i, cp);
        if (n == 0) {
            out.push_back('?');
            ++i;
            continue;
        }
        unsigned char b = 0;
        out.push_back(UnicodeToCp1250(cp, b) ? static_cast<char>(b) : '?');
        i += n;
    }
    return out;
}

std::string Utf8ToText(std::string_view utf8)
{
    std::string out = Utf8ToCodePage(utf8);
    StripTagsAndEntities(out);
    return out;
}

bool LooksLikeUtf8(std::string_view text)
{
    bool multi = false;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t n = DecodeAt(text, i, cp);
        if (n == 0)
            return false;
        multi = multi || n > 1;
        i += n;
    }
    return multi;
}
