// maxdose_join: the maximal-dose join from the command line.
//
//   maxdose_join [-d DATA] [-p PROGRAM] PREFIX
//
// Checks the ".max" files under PREFIX against DATA's "kl", writes
// PREFIX.maxim.stx and PREFIX.maxim.err as the program's join does, prints the
// files as they pass and then the counts.  Exit code 0; 1 when the table
// could not be opened or the outputs not written; 2 for a bad command line.

#include <cstdio>
#include <string>

#include "tool_folders.h"
#include "viewers/max_dose.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: maxdose_join [-d DATA] [-p PROGRAM] PREFIX\n");
    return 2;
}

struct Printing : MaxDoseProgress {
    void Append(const std::string& text) override
    {
        std::string line = text;
        for (char& c : line)
            if (c == '\r')
                c = '\n';
        std::fputs(line.c_str(), stdout);
    }
};

} // namespace

int main(int argc, char** argv)
{
    std::string data = "./", program, prefix;
    ToolArgs args(argc, argv, data, program);
    for (std::string a; args.Next(a);) {
        if (!prefix.empty())
            return Usage();
        prefix = a;
    }
    if (args.Failed() || prefix.empty())
        return Usage();
    if (!OpenToolFolders("maxdose_join", data, program))
        return 1;
    Printing progress;
    MaxDoseCounts counts;
    std::string result = RunMaxDoseBatch(data, prefix, progress, &counts);
    for (char& c : result)
        if (c == '\r')
            c = '\n';
    std::printf("\n%s\n", result.c_str());
    return counts.fatal || !counts.written ? 1 : 0;
}
