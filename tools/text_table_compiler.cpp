// Compiles a UTF-8 text-table source into a table file, or prints a table as
// source.  The build runs it on resources/qevw.*.ini.
//
//   text_table_compiler [--stamp N] SOURCE OUTPUT
//   text_table_compiler --dump TABLE
//
// On an error it prints "file:line: reason", writes nothing (an existing
// output stays) and exits with 1; wrong arguments exit with 2.

#include <charconv>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "writers/text_table_writer.h"

namespace {

int Usage()
{
    std::fputs("usage: text_table_compiler [--stamp N] SOURCE OUTPUT\n"
               "       text_table_compiler --dump TABLE\n"
               "  --stamp N  the word at offset 2, 256 to 65535 (default 256)\n",
               stderr);
    return 2;
}

int Dump(const std::string& path)
{
    std::string bytes;
    if (int r = ReadWholeFile(path, bytes)) {
        std::fprintf(stderr, "%s: cannot be read (I/O result %d)\n", path.c_str(), r);
        return 1;
    }
    std::string text;
    std::string message;
    bool ok = textsrc::DumpTable(bytes, text, message);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!ok) {
        std::fprintf(stderr, "%s: damaged table: %s\n", path.c_str(), message.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "--dump")
        return Dump(args[1]);

    unsigned stamp = textsrc::kDefaultStamp;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--stamp") {
            if (i + 1 >= args.size())
                return Usage();
            const std::string& v = args[++i];
            auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), stamp);
            if (ec != std::errc() || end != v.data() + v.size() || stamp < 256 || stamp > 65535) {
                std::fprintf(stderr, "text_table_compiler: --stamp takes a number from 256 to 65535\n");
                return 2;
            }
        } else if (!args[i].empty() && args[i][0] == '-' && args[i] != "-") {
            return Usage();
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2)
        return Usage();
    std::string message;
    if (!textsrc::CompileTextTableFile(files[0], files[1], static_cast<uint16_t>(stamp), message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}
