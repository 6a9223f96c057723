#pragma once
// The developer tools' dump of a CtrlText: each code as a short mnemonic in
// braces with its values (strings decoded), a new line before every code
// that can open a paragraph or a row, text in UTF-8 with hard blanks shown
// as "·".

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "platform/cp1250.h"

namespace ctrl_dump_detail {
inline const char* const kCtrlMnemonic[32] = {
    "END",  "LI1",   "LI2",   "LI3",  "TEND", "P5",  "CELL", "PLAIN", "C8",  "TAB",  "TCLOSE",
    "ROW",  "P12",   "BR",    "PAR",  "C15",  "C16", "C17",  "STYLE", "SEC", "FONT", "NUM",
    "ROWA", "CELLA", "TABLE", "PICT", "LINK", "C27", "GEN",  "C29",   "C30", "HINT",
};

inline bool OpensParagraphOrRow(uint8_t code)
{
    switch (code) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 11:
    case 12:
    case 14:
    case 18:
    case 19:
    case 21:
    case 22:
    case 24: return true;
    default: return false;
    }
}

} // namespace ctrl_dump_detail

inline std::string CtrlTextToUtf8(std::string_view kam)
{
    std::string out;
    size_t start = 0;
    while (start <= kam.size()) {
        size_t hard = kam.find('\x7F', start);
        if (hard == std::string_view::npos)
            hard = kam.size();
        out += Cp1250ToUtf8(KamToWin(kam.substr(start, hard - start)));
        if (hard < kam.size())
            out += "\xC2\xB7"; // a visible hard blank
        start = hard + 1;
    }
    return out;
}

inline std::string DumpCtrlText(std::string_view text)
{
    std::string out;
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        if (item.IsText()) {
            out += CtrlTextToUtf8(
                text.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length)));
            continue;
        }
        if (ctrl_dump_detail::OpensParagraphOrRow(item.code) && !out.empty() && out.back() != '\n')
            out += '\n';
        out += '{';
        out += ctrl_dump_detail::kCtrlMnemonic[item.code];
        if (item.kind == CtrlItemKind::Params) {
            const int strings = item.code == 26 || item.code == 28 ? 0 : item.code == 25 ? 2 : -1;
            const std::vector<int> values = CtrlPairValues(text, item);
            for (size_t i = 0; i < values.size(); ++i) {
                if (strings >= 0 && static_cast<int>(i) >= strings) {
                    out += " \"" + CtrlStringParam(text, item, strings) + "\"";
                    break;
                }
                out += ' ';
                out += std::to_string(values[i]);
            }
            if (item.truncated)
                out += " TRUNCATED";
        }
        out += '}';
        if (item.code == 0 || item.code == 13)
            out += '\n';
    }
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    return out;
}
