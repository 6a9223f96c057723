// data_struct_check: checks the structure of a data folder (see
// tools/writers/demo_struct_check.h for what is checked).
//
//   data_struct_check [-v] FOLDER
//
// Prints one "!! file: problem" line per problem (with -v also a line per
// file checked) and a summary.  Exit status 0 when nothing was found, 1 when
// something was, 2 for a wrong command line.

#include <chrono>
#include <cstdio>
#include <string>

#include "writers/demo_struct_check.h"

int main(int argc, char** argv)
{
    bool verbose = false;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-v")
            verbose = true;
        else if (folder.empty() && !a.empty() && a[0] != '-')
            folder = a;
        else
            folder.clear(), argc = 0;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: data_struct_check [-v] FOLDER\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    StructCheckStats st;
    const int problems = CheckDataFolderStructure(
        folder, [](const std::string& line) { std::printf("%s\n", line.c_str()); }, verbose, &st);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d record files, %d indexes (%lld entries, %lld searches), %d text files (%lld records, "
                "%lld decoded bytes); %d problem%s; %.1f s\n",
                st.recordFiles, st.indexes, static_cast<long long>(st.indexEntries),
                static_cast<long long>(st.lookups), st.textFiles, static_cast<long long>(st.textRecords),
                static_cast<long long>(st.textBytes), problems, problems == 1 ? "" : "s", seconds);
    return problems ? 1 : 0;
}
