// record_text: print a product's record text by hand.
//
//   record_text [-d DATA] [-p PROGRAM] CODE                  a drug (7-digit code)
//   record_text [-d DATA] [-p PROGRAM] --device CODE [--doc FILE]
//                                                           a device, its first record of
//                                                           the code; FILE is the group's
//                                                           document text (raw CtrlText)
//   record_text --file FILE                                  any raw CtrlText
//
// DATA is the data folder (default: the current folder), PROGRAM the folder
// of the program's text table "qevw.ces" (default: DATA/../program when it
// exists, else DATA).  It loads the texts and code tables as start-up does,
// then prints the captions, one a line, an empty line and the text: each
// code as a short mnemonic in braces with its values (strings decoded), a
// new line before every code that can open a paragraph or a row, text in
// UTF-8 with hard blanks shown as "·".
//
// Exit code: 0 done, 1 the product is not there or the data cannot be read,
// 2 wrong arguments; a damaged table ends through the data store's error
// hook (3).

#include <cstdio>
#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "tool_folders.h"
#include "viewers/record_text.h"

namespace {

const char* const kMnemonic[32] = {
    "END",  "LI1",   "LI2",   "LI3",  "TEND", "P5",  "CELL", "PLAIN", "C8",  "TAB",  "TCLOSE",
    "ROW",  "P12",   "BR",    "PAR",  "C15",  "C16", "C17",  "STYLE", "SEC", "FONT", "NUM",
    "ROWA", "CELLA", "TABLE", "PICT", "LINK", "C27", "GEN",  "C29",   "C30", "HINT",
};

bool OpensParagraphOrRow(uint8_t code)
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

std::string ToUtf8(std::string_view kam)
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

std::string Dump(std::string_view text)
{
    std::string out;
    CtrlTokenizer walk(text);
    CtrlItem item;
    while (walk.Next(item)) {
        if (item.IsText()) {
            out += ToUtf8(text.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length)));
            continue;
        }
        if (OpensParagraphOrRow(item.code) && !out.empty() && out.back() != '\n')
            out += '\n';
        out += '{';
        out += kMnemonic[item.code];
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

void PrintResult(const RecordText& r)
{
    std::string captions = r.captions;
    size_t p = 0;
    while ((p = captions.find("\r\n", p)) != std::string::npos)
        captions.replace(p, 2, "\n");
    std::printf("%s\n\n%s", ToUtf8(captions).c_str(), Dump(r.text).c_str());
}

int Usage()
{
    std::fprintf(stderr, "usage: record_text [-d DATA] [-p PROGRAM] CODE\n"
                         "       record_text [-d DATA] [-p PROGRAM] --device CODE [--doc FILE]\n"
                         "       record_text --file FILE\n");
    return 2;
}

bool SevenDigits(const std::string& code)
{
    if (code.size() != 7)
        return false;
    for (char c : code)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string data = ".";
    std::string program;
    std::string code;
    std::string doc;
    std::string file;
    bool device = false;
    ToolArgs args(argc, argv, data, program);
    for (std::string a; args.Next(a);) {
        if (a == "--device") {
            device = true;
            if (!args.Value(code))
                return Usage();
        } else if (a == "--doc") {
            if (!args.Value(doc))
                return Usage();
        } else if (a == "--file") {
            if (!args.Value(file))
                return Usage();
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (code.empty()) {
            code = a;
        } else {
            return Usage();
        }
    }
    if (args.Failed())
        return Usage();

    if (!file.empty()) {
        std::string text;
        if (int r = ReadWholeFile(file, text)) {
            std::fprintf(stderr, "record_text: cannot read %s (I/O result %d)\n", file.c_str(), r);
            return 1;
        }
        std::printf("%s", Dump(text).c_str());
        return 0;
    }
    if (code.empty())
        return Usage();
    if (!SevenDigits(code)) {
        std::fprintf(stderr, "record_text: \"%s\" is not a 7-digit product code\n", code.c_str());
        return 2;
    }

    if (!OpenToolFolders("record_text", data, program))
        return 1;
    const CodeTablesResult tables = LoadCodeTables(device ? DataSetCode::Devices : DataSetCode::Drugs, 0);
    if (tables.countryStatus != 0)
        std::fprintf(stderr, "record_text: warning: country table not loaded (%d)\n", tables.countryStatus);
    if (tables.isvStatus != 0 && !device)
        std::fprintf(stderr, "record_text: warning: ISV table not loaded (%d)\n", tables.isvStatus);
    LoadDeviceMarkLetter();

    TDbTable t;
    std::string rec;
    if (!device) {
        OpenTable(t, TFileId(kKlLayout.id), TFileId("klkod"), kKlLayout.Length());
        if (DbStatus != 0) {
            std::fprintf(stderr, "record_text: cannot open kl/klkod in %s (%d)\n", data.c_str(), DbStatus);
            return 1;
        }
        FindRecord(t, code, rec);
        if (DbStatus != 0 || rec.compare(0, 7, code) != 0) {
            std::fprintf(stderr, "record_text: no drug %s\n", code.c_str());
            return 1;
        }
        PrintResult(ComposeDrugText(rec));
        return 0;
    }

    OpenTable(t, TFileId(kPztLayout.id), TFileId("pztkod"), kPztLayout.Length());
    if (DbStatus != 0) {
        std::fprintf(stderr, "record_text: cannot open pzt/pztkod in %s (%d)\n", data.c_str(), DbStatus);
        return 1;
    }
    FindRecord(t, code, rec);
    if (DbStatus != 0 || rec.compare(0, 7, code) != 0) {
        std::fprintf(stderr, "record_text: no device %s\n", code.c_str());
        return 1;
    }
    std::string document;
    if (!doc.empty()) {
        if (int r = ReadWholeFile(doc, document)) {
            std::fprintf(stderr, "record_text: cannot read %s (I/O result %d)\n", doc.c_str(), r);
            return 1;
        }
    }
    PrintResult(ComposeDeviceText(rec, t.recNo, document, DeviceGroupRecord(rec)));
    return 0;
}
