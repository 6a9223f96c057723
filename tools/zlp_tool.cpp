// zlp_tool FILE [--month N] [CODE LETTER]
//
// Without CODE: dumps a zlp table (header, columns, letters, threshold, then
// one line per data entry: code and the value of each letter).  With CODE and
// LETTER: prints the answer of the check, 1 flagged, 0 not, -1 not listed.
// The data month is N, else that of "kalvo.ces" beside FILE, else 0.
// Exit code 0; 1 when the file is no usable table; 2 for a bad command line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/text_table.h"
#include "datastore/zlp_table.h"
#include "platform/coding.h"
#include "platform/fs.h"

static int Usage()
{
    std::fprintf(stderr, "usage: zlp_tool FILE [--month N] [CODE LETTER]\n");
    return 2;
}

static std::string ColumnName(uint16_t name)
{
    std::string s;
    for (int shift : {10, 5, 0})
        s.push_back(static_cast<char>(((name >> shift) & 31) + 64));
    return s;
}

int main(int argc, char** argv)
{
    std::string file, code, letter;
    bool haveMonth = false;
    int month = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--month") == 0) {
            if (i + 1 >= argc)
                return Usage();
            month = std::atoi(argv[++i]);
            haveMonth = true;
        } else if (file.empty()) {
            file = argv[i];
        } else if (code.empty()) {
            code = argv[i];
        } else if (letter.empty()) {
            letter = argv[i];
        } else {
            return Usage();
        }
    }
    if (file.empty() || (!code.empty() && letter.size() != 1))
        return Usage();
    if (!haveMonth) {
        const size_t slash = file.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
        TextTablePtr texts;
        const std::string ces = ResolveInFolder(folder, "kalvo.ces");
        if (FileExists(ces) && LoadTextTable(texts, ces) >= 256)
            month = DataMonthOfVersion(LookupText(texts, "Verze", "Cislo"));
    }
    std::string bytes;
    if (const int r = ReadWholeFile(file, bytes)) {
        std::fprintf(stderr, "zlp_tool: cannot read %s (I/O result %d)\n", file.c_str(), r);
        return 1;
    }
    const size_t size = bytes.size();
    const auto table = ParseZlpTable(std::move(bytes));
    if (!table) {
        std::fprintf(stderr, "zlp_tool: %s (%zu bytes) is no usable zlp table\n", file.c_str(), size);
        return 1;
    }
    if (!code.empty()) {
        std::printf("%d\n", CheckZlpEntryIn(*table, code, letter[0], month));
        return 0;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(table->data.data());
    const size_t n = b[4];
    std::printf("bytes %zu, month base %u, fraction %u, threshold %d, data month %d\n", size, b[2], b[3],
                table->threshold, month);
    std::printf("columns %zu, entry size %zu, entries %zu (data %zu)\n", n, table->entrySize,
                table->entryCount, table->entryCount - ZlpFormat::kFirstDataEntry);
    for (size_t i = 0; i < n; ++i)
        std::printf("  column %zu: %s width %u\n", i + 1, ColumnName(DecodeLE16(b + 5 + 2 * i)).c_str(),
                    (b[5 + 2 * n + i] & 7u) + 1);
    std::printf("letters %s\n", table->letters.c_str());
    for (size_t e = ZlpFormat::kFirstDataEntry; e < table->entryCount; ++e) {
        const unsigned char* p = b + e * table->entrySize;
        std::printf("%07u", p[0] | (p[1] << 8) | (p[2] << 16));
        for (size_t k = 0; k < table->letters.size(); ++k)
            std::printf(" %c=%u", table->letters[k], p[table->letterOffset[k]]);
        std::printf("\n");
    }
    return 0;
}
