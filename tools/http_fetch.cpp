// http_fetch [-c CONFIG] URL [FILE]
//
// One request as the program makes it: with FILE the body goes to the file
// (HttpDownloadToFile), else it is read as a text (HttpGetText).  Prints the
// result code, its message and the size of the body.  CONFIG is a settings
// file whose connection settings (plain http, proxy, credentials) apply; its
// proxy values read only when it lies in the program folder that wrote it.
// Exit code 0 when the result code is 0, else 1; 2 for a bad command line.

#include <cstdio>
#include <cstring>
#include <string>

#include "frame/config/config_file.h"
#include "maintenance/http_client.h"
#include "platform/fs.h"

static int Usage()
{
    std::fprintf(stderr, "usage: http_fetch [-c CONFIG] URL [FILE]\n");
    return 2;
}

int main(int argc, char** argv)
{
    std::string config, url, file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-c") == 0) {
            if (i + 1 >= argc)
                return Usage();
            config = argv[++i];
        } else if (url.empty()) {
            url = argv[i];
        } else if (file.empty()) {
            file = argv[i];
        } else {
            return Usage();
        }
    }
    if (url.empty())
        return Usage();
    if (!config.empty()) {
        if (!FileExists(config)) {
            std::fprintf(stderr, "http_fetch: no file %s\n", config.c_str());
            return 2;
        }
        ConfigLoadInput load;
        const size_t slash = config.find_last_of('/');
        load.programFolder = slash == std::string::npos ? std::string("./") : config.substr(0, slash + 1);
        load.dataFolder = load.programFolder;
        Config().SetPaths(config, config);
        Config().Load(load);
    }
    InstallHttpServices();

    int code = 0;
    long long size = 0;
    if (file.empty()) {
        std::string text;
        HttpGetText(url, code, text);
        size = static_cast<long long>(text.size());
    } else {
        code = HttpDownloadToFile(url, file, [&size](int64_t total) { size = total; });
    }
    std::printf("code %d\n%s\nsize %lld\n", code, HttpErrorText(code).c_str(), size);
    return code == 0 ? 0 : 1;
}
