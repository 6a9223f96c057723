// The escaping, media and letter helpers of the page.

#include "viewers/ctrl_html.h"
#include "viewers/ctrl_html_converter.h"

#include <algorithm>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/start/shared_helpers.h"
#include "platform/fs.h"

using ctrl_html_detail::EscapeShown;
using ctrl_html_detail::WithHardBlanks;

std::string EscapeHtml(std::string_view text)
{
    return EscapeShown(WithHardBlanks(text), {});
}

void AppendHtmlEscaped(std::string& out, std::string_view text)
{
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '"': out.append("&quot;"); break;
        case '&': out.append("&amp;"); break;
        case '<': out.append("&lt;"); break;
        case '>': out.append("&gt;"); break;
        default:
            // Control characters and the bytes code page 1250 leaves
            // undefined are not characters a page may hold.
            if (b < 32 || b == 127 || b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98)
                out.push_back('?');
            else
                out.push_back(ch);
            break;
        }
    }
}

std::string MediaBase(std::string_view entry, std::string_view dataFolder, std::string_view serverPath)
{
    std::string base;
    if (entry.empty() || entry[0] == '!') {
        base = "https://";
        base.append(kDefaultMediaHost);
        base.append(serverPath);
        return base;
    }
    if (entry.find("://") != std::string_view::npos)
        return std::string(entry);
    base = "file://";
    base.append(WithTrailingSlash(dataFolder));
    base.append(entry);
    if (base.back() != '/')
        base.push_back('/');
    return base;
}

std::string PictureBaseOf(char kind, std::string_view verzePicts, std::string_view dataFolder)
{
    std::string base = MediaBase(verzePicts, dataFolder, "/files/pictures/");
    if (kind == 'L')
        base.append("LET_PICT/");
    else if (kind == 'S' || kind == 'I')
        base.append("SPC_PICT/");
    return base;
}

unsigned char Cp1250Upper(unsigned char c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    switch (c) {
    case 0x9A: return 0x8A; // š
    case 0x9C: return 0x8C; // ś
    case 0x9D: return 0x8D; // ť
    case 0x9E: return 0x8E; // ž
    case 0x9F: return 0x8F; // ź
    case 0xB3: return 0xA3; // ł
    case 0xB9: return 0xA5; // ą
    case 0xBE: return 0xBC; // ľ
    case 0xBF: return 0xAF; // ż
    default: break;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 32);
    return c;
}
