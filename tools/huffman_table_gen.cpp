// Remakes the code tables of the compressed text files from sample texts.
//
//   huffman_table_gen SAMPLE_FOLDER OUTPUT.inc     writes the tables
//   huffman_table_gen --check SAMPLE_FOLDER FILE    exit 1 when FILE differs
//
// The output is deterministic: the same samples give the same bytes.  After
// a change every compressed text file must be written again.

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fs.h"
#include "writers/x6_writer.h"

int main(int argc, char** argv)
{
    const bool check = argc == 4 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 3 && !check) {
        std::fprintf(stderr, "usage: %s [--check] SAMPLE_FOLDER OUTPUT.inc\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[check ? 2 : 1];
    const std::string target = argv[check ? 3 : 2];
    try {
        const std::vector<std::string> texts = LoadHuffmanSamples(folder);
        if (texts.empty()) {
            std::fprintf(stderr, "no *.txt samples in %s\n", folder.c_str());
            return 1;
        }
        const HuffTables tables = BuildHuffTables(texts);
        std::string why;
        if (!CheckHuffTables(tables, &why)) {
            std::fprintf(stderr, "the tables made are unusable: %s\n", why.c_str());
            return 1;
        }
        const std::string inc = FormatHuffTablesInc(tables);
        std::string old;
        const bool same = ReadWholeFile(target, old) == 0 && old == inc;
        if (check) {
            std::printf("%s\n", same ? "up to date" : "differs");
            return same ? 0 : 1;
        }
        if (same) {
            std::printf("%s is up to date\n", target.c_str());
            return 0;
        }
        if (int r = WriteFileAtomic(target, inc)) {
            std::fprintf(stderr, "cannot write %s: I/O result %d\n", target.c_str(), r);
            return 1;
        }
        size_t bytes = 0;
        for (const std::string& t : texts)
            bytes += t.size();
        std::printf("wrote %s from %zu texts (%zu bytes)\n", target.c_str(), texts.size(), bytes);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
