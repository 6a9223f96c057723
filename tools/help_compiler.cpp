// Compiles help sources (every "*.txt" of a folder, docs/formats/
// help-source.md) into a help-topic file.  The build runs it on
// resources/help/ for the manual "qevw.hla" beside the program.
//
//   help_compiler [--manual | --second | --doping] [--stored] FOLDER OUTPUT
//
// The manual is compressed, the other files stored unless told.  On an error
// it prints "file:line: reason" for each, writes nothing (an existing output
// stays) and exits with 1; wrong arguments exit with 2.

#include <cstdio>
#include <string>
#include <vector>

#include "writers/help_writer.h"

namespace {

int Usage()
{
    std::fputs(
        "usage: help_compiler [--manual | --second | --doping] [--stored | --compressed] FOLDER OUTPUT\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    HelpCompileOptions options;
    bool packingGiven = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--manual") {
            options.kind = HelpFileKind::Manual;
        } else if (a == "--second") {
            options.kind = HelpFileKind::Second;
        } else if (a == "--doping") {
            options.kind = HelpFileKind::Doping;
        } else if (a == "--stored" || a == "--compressed") {
            options.compressed = a == "--compressed";
            packingGiven = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2)
        return Usage();
    if (!packingGiven)
        options.compressed = options.kind == HelpFileKind::Manual;
    std::string bytes;
    std::vector<HelpCompileError> errors;
    std::vector<HelpCompiledTopic> topics;
    if (!CompileHelpFolder(files[0], options, bytes, errors, &topics)) {
        for (const HelpCompileError& e : errors)
            std::fprintf(stderr, "%s\n", e.Text().c_str());
        return 1;
    }
    if (int r = WriteHelpFile(files[1], bytes)) {
        std::fprintf(stderr, "%s: cannot be written (I/O result %d)\n", files[1].c_str(), r);
        return 1;
    }
    std::printf("%s: %zu topics, %zu bytes\n", files[1].c_str(), topics.size(), bytes.size());
    return 0;
}
