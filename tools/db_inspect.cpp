// db_inspect: look into a data table by hand.
//
//   db_inspect FOLDER TABLE INDEX list [N]   first N records in key order (default 20)
//   db_inspect FOLDER TABLE INDEX find TEXT  the first record not below TEXT
//
// TEXT is UTF-8 and is converted to the data code page; fields are printed
// as UTF-8.  Text fields are shown trimmed, binary fields as numbers; blank
// fields and binary zeros are left out.  Exit code: 0 done, 1 the data store
// reported an error, 2 wrong arguments; a damaged file ends through the error
// hook (3).

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "platform/cp1250.h"
#include "writers/csv_source.h"

namespace {

std::string ToTerminal(std::string_view kam)
{
    return Cp1250ToUtf8(KamToWin(kam));
}

std::string FieldsText(const TDbTable& t, const std::string& rec)
{
    std::string out;
    int pos = 1;
    for (int i = 0; i < t.dat.FieldCount(); ++i) {
        const uint8_t d = t.dat.FieldDescriptor(i);
        const int len = FieldLength(d);
        std::string name = FieldNameToStr(t.dat.FieldName(i));
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        std::string value;
        if (d >= 0xF0) {
            uint64_t v = 0;
            for (int j = len - 1; j >= 0; --j)
                v = (v << 8) | static_cast<uint8_t>(rec[static_cast<size_t>(pos - 1 + j)]);
            long long shown = static_cast<long long>(v);
            if (d < 0xF8 && len < 8 && (v >> (8 * len - 1)) & 1) // signed: extend
                shown = static_cast<long long>(v | (~uint64_t(0) << (8 * len)));
            if (shown != 0)
                value = std::to_string(shown);
        } else {
            value = ToTerminal(GetFieldTrim(rec, pos, len));
            value.erase(0, value.find_first_not_of(' '));
        }
        if (!value.empty()) {
            if (!out.empty())
                out += "  ";
            out += name + "=" + value;
        }
        pos += len;
    }
    return out;
}

int Usage()
{
    std::fprintf(stderr, "usage: db_inspect FOLDER TABLE INDEX list [N]\n"
                         "       db_inspect FOLDER TABLE INDEX find TEXT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5)
        return Usage();
    const std::string folder = argv[1];
    const std::string command = argv[4];
    TDbTable t;
    OpenTableIn(t, folder, argv[2], argv[3], 0);
    if (DbStatus != 0) {
        std::fprintf(stderr, "cannot open %s with index %s in %s: DbStatus %d\n", argv[2], argv[3],
                     folder.c_str(), DbStatus);
        return 1;
    }
    if (!t.sez.IsOpen()) {
        std::fprintf(stderr, "no index %s\n", argv[3]);
        return 1;
    }
    std::string rec;
    if (command == "list") {
        long n = 20;
        if (argc > 5) {
            auto [p, ec] = std::from_chars(argv[5], argv[5] + std::char_traits<char>::length(argv[5]), n);
            if (ec != std::errc() || n < 0)
                return Usage();
        }
        std::printf("%s/%s: %d records, index %s\n", argv[2], argv[3], t.dat.count - 1, argv[3]);
        for (int32_t pos = 0; pos < t.LeafCount() && pos < n; ++pos) {
            ReadByOrder(t, pos, rec);
            if (DbStatus > 0)
                return 1;
            std::printf("%6d  #%-6d %s\n", pos, t.recNo, FieldsText(t, rec).c_str());
        }
        return 0;
    }
    if (command == "find" && argc == 6) {
        std::string text;
        std::string error;
        if (!Utf8ToKam(argv[5], text, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        FindRecord(t, text, rec);
        std::printf("DbStatus %d  position %d  record %d\n", DbStatus, t.Position(), t.recNo);
        if (DbStatus > 0)
            return 1;
        if (DbStatus != DbCode::OutOfRange)
            std::printf("%s\n", FieldsText(t, rec).c_str());
        return 0;
    }
    return Usage();
}
