// config_roundtrip IN OUT [--program-folder DIR] [--data-folder DIR] [--exe NAME]
//
// Loads IN as the configuration file and saves it as OUT, the way the program
// does, so that a real file can be diffed against what the program writes.
// The proxy values (IPP=, INN=, INP=) are scrambled under the installation:
// give the program folder they were written from, else they read as empty
// and are left out.  The program folder defaults to the folder of IN.

#include <cstdio>
#include <cstring>
#include <string>

#include "frame/config/config_file.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

static int Usage()
{
    std::fprintf(stderr,
                 "usage: config_roundtrip IN OUT [--program-folder DIR] [--data-folder DIR] [--exe NAME]\n");
    return 2;
}

int main(int argc, char** argv)
{
    std::string in, out;
    ConfigLoadInput load;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (std::strcmp(a, "--program-folder") == 0) {
            const char* v = value();
            if (!v)
                return Usage();
            load.programFolder = WithTrailingSlash(v);
        } else if (std::strcmp(a, "--data-folder") == 0) {
            const char* v = value();
            if (!v)
                return Usage();
            load.dataFolder = WithTrailingSlash(v);
        } else if (std::strcmp(a, "--exe") == 0) {
            const char* v = value();
            if (!v)
                return Usage();
            load.executableName = v;
        } else if (in.empty()) {
            in = a;
        } else if (out.empty()) {
            out = a;
        } else {
            return Usage();
        }
    }
    if (in.empty() || out.empty())
        return Usage();
    if (load.programFolder.empty()) {
        size_t slash = in.find_last_of('/');
        load.programFolder = slash == std::string::npos ? std::string("./") : in.substr(0, slash + 1);
    }
    if (load.dataFolder.empty())
        load.dataFolder = load.programFolder;

    std::string previous;
    if (int r = ReadWholeFile(in, previous)) {
        std::fprintf(stderr, "config_roundtrip: cannot read %s (I/O result %d)\n", in.c_str(), r);
        return 1;
    }
    ConfigFile config;
    config.SetPaths(in, "");
    config.Load(load);
    if (config.LoadFailed()) {
        std::fprintf(stderr, "config_roundtrip: cannot read %s\n", in.c_str());
        return 1;
    }
    ConfigWriteContext context;
    context.scrambleKey = ScrambleKeyFor(load.executableName, load.programFolder);
    const std::string text = WriteConfigText(config.Snapshot(), previous, context);

    FileSaver saver(out);
    saver.Write(text);
    if (!saver.Commit()) {
        std::fprintf(stderr, "config_roundtrip: cannot write %s: %s\n", out.c_str(),
                     saver.ErrorText().c_str());
        return 1;
    }
    return 0;
}
