// demo_builder: writes a complete data folder.
//
//   demo_builder SRC OUT                      the demo set from the sources in SRC (demo/)
//   demo_builder [--release YYYY-MM-DD [--title TEXT]] SRC OUT
//                                             the demo set as a later release: that date in
//                                             the manifest and the texts, TEXT as
//                                             "Verze.Nadpis", the first drug's name marked
//   demo_builder --scale [N] [--seed S] SRC OUT
//                                             a synthetic set of N drug packages (default
//                                             100,000, at most 300,000: one upper index block
//                                             holds about 350,000 keys) for benchmarks,
//                                             deterministic from N and S
//
// The sources are described in demo/README.md.  Every error is printed as
// "file:line: reason" and the builder exits with 1 without writing the
// folder; 2 means a wrong command line.  The output depends on the sources
// (and on N and S) alone, so two runs give byte-identical files.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "datastore/table_layouts.h"
#include "writers/demo_build.h"
#include "writers/demo_scale.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: demo_builder [--release YYYY-MM-DD [--title TEXT]] SRC OUT\n"
                         "       demo_builder --scale [N] [--seed S] SRC OUT\n");
    return 2;
}

bool ParseCount(const char* text, uint64_t& v)
{
    char* end = nullptr;
    v = std::strtoull(text, &end, 10);
    return end && *end == '\0' && end != text;
}

} // namespace

int main(int argc, char** argv)
{
    bool scale = false;
    uint64_t count = 100000;
    uint64_t seed = 1;
    int year = 0, month = 0, day = 0;
    std::string title;
    std::string paths[2];
    int npaths = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--scale") {
            scale = true;
            if (i + 1 < argc && ParseCount(argv[i + 1], count))
                ++i;
        } else if (a == "--seed") {
            if (i + 1 >= argc || !ParseCount(argv[++i], seed))
                return Usage();
        } else if (a == "--release") {
            if (i + 1 >= argc || std::sscanf(argv[++i], "%d-%d-%d", &year, &month, &day) != 3 || month < 1 ||
                month > 12 || day < 1 || day > 31)
                return Usage();
        } else if (a == "--title") {
            if (i + 1 >= argc)
                return Usage();
            title = argv[++i];
        } else if (npaths < 2 && !a.empty() && a[0] != '-') {
            paths[npaths++] = a;
        } else {
            return Usage();
        }
    }
    if (npaths != 2 || (scale && (count < 100 || count > 300000)))
        return Usage();

    const auto start = std::chrono::steady_clock::now();
    DemoLog log([](const std::string& line) { std::fprintf(stderr, "demo_builder: %s\n", line.c_str()); });
    // Every record is written through these layouts: a broken one stops the
    // build before anything is read.
    for (const std::string& fault : TableLayoutFaults())
        log.Error("datastore/table_layouts.h: " + fault);
    if (!log.Ok())
        return 1;
    DemoDataSet set;
    if (!LoadDemoSources(paths[0], set, log) || !CheckDemoDataSet(set, log))
        return 1;
    if (year != 0 && !MakeDemoRelease(set, year, month, day, title, log))
        return 1;
    if (scale && (!MakeScaleDataSet(set, static_cast<int>(count), seed, log) || !CheckDemoDataSet(set, log)))
        return 1;
    if (scale)
        set.photos = false;
    if (!WriteDemoFolder(paths[1], set, log))
        return 1;
    if (scale) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        log.Note("wrote " + paths[1] + " in " + std::to_string(seconds) + " s");
    }
    return 0;
}
