// Compiles the readable icon programs and pictures of a folder
// (resources/icons) into a "[Pict]" section of the text-table source form,
// optionally after the text of a base source, so that the text-table
// compiler puts them into the program's table byte for byte.
//
//   icon_compiler [--base SOURCE.ini] ICON_FOLDER OUTPUT
//
// On an error it prints "file:line: reason", writes nothing and exits with 1;
// wrong arguments exit with 2.

#include "platform/fs.h"
#include "writers/icon_source.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string base;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--base" && i + 1 < args.size())
            base = args[++i];
        else if (!args[i].empty() && args[i][0] == '-')
            files.clear(), files.resize(3); // force the usage message
        else
            files.push_back(args[i]);
    }
    if (files.size() != 2) {
        std::fputs("usage: icon_compiler [--base SOURCE.ini] ICON_FOLDER OUTPUT\n", stderr);
        return 2;
    }

    std::string text;
    if (!base.empty()) {
        if (int r = ReadWholeFile(base, text)) {
            std::fprintf(stderr, "%s: cannot be read (I/O result %d)\n", base.c_str(), r);
            return 1;
        }
        if (!text.empty() && text.back() != '\n')
            text += '\n';
    }
    std::vector<iconsrc::PictEntry> entries;
    iconsrc::Error err;
    if (!iconsrc::CompileIconFolder(files[0], entries, err)) {
        std::fprintf(stderr, "%s\n", err.Message().c_str());
        return 1;
    }
    text += iconsrc::PictSectionSource(entries);
    if (int r = WriteFileAtomic(files[1], text)) {
        std::fprintf(stderr, "%s: cannot be written (I/O result %d)\n", files[1].c_str(), r);
        return 1;
    }
    return 0;
}
