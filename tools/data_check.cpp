// Checks data folders against their manifest and looks into ZIP packages.
//
//   data_check check FOLDER            the check lines, then the size differences
//   data_check create FOLDER WARE      writes FOLDER/kalvo.kvo for the edition letters
//   data_check list ARCHIVE            index, sizes, method and name of every entry
//   data_check extract ARCHIVE FOLDER [INDEX...]   all entries, or the ones named
//
// Exit status: 0 when all is well, 1 when a check found a problem or an entry
// could not be extracted, 2 for a wrong command line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "datastore/db_table.h"
#include "datastore/manifest.h"
#include "datastore/zip_file.h"

namespace {

// Data-store errors are shown, not fatal: the check goes on.
void PrintDbError(const TFileId& id, int32_t position, uint16_t code)
{
    std::printf("!! db error %s status %d at %d (loc.%u)\n", FileIdToStr(id).c_str(), DbStatus, position,
                code);
}

int Usage(const char* self)
{
    std::fprintf(stderr,
                 "usage: %s check FOLDER\n"
                 "       %s create FOLDER WARE\n"
                 "       %s list ARCHIVE\n"
                 "       %s extract ARCHIVE FOLDER [INDEX...]\n",
                 self, self, self, self);
    return 2;
}

int Check(const std::string& folder)
{
    bool problem = false;
    DataManifest(folder, true, "", [&](const std::string& line) {
        std::printf("%s\n", line.c_str());
        problem = problem || line.rfind("!!", 0) == 0;
    });
    std::string diffs;
    ManifestDiffs(folder, diffs);
    if (!diffs.empty()) {
        std::printf("-- sizes --\n");
        for (char c : diffs)
            if (c != '\r')
                std::putchar(c);
        problem = true;
    }
    return problem ? 1 : 0;
}

int Create(const std::string& folder, const std::string& ware)
{
    bool problem = false;
    const int format = DataManifest(folder, false, ware, [&](const std::string& line) {
        std::printf("%s\n", line.c_str());
        problem = true;
    });
    std::printf("kalvo.kvo written (format %d)\n", format);
    return problem ? 1 : 0;
}

int List(const std::string& archive)
{
    TZipFile zip;
    ZipOpen(zip, archive);
    for (int i = 0; i < ZipCount(zip); ++i) {
        const TZipFile::Entry& e = zip.At(i);
        std::printf("%4d %10u %10u %-8s %s\n", i, e.size, e.compressedSize,
                    e.method == 0   ? "stored"
                    : e.method == 8 ? "deflated"
                                    : "other",
                    e.name.c_str());
    }
    return 0;
}

int Extract(const std::string& archive, const std::string& folder, int argc, char** argv)
{
    TZipFile zip;
    ZipOpen(zip, archive);
    bool failed = false;
    auto one = [&](int i) {
        try {
            const std::string path = zip.Extract(i, folder);
            std::printf("%4d %s\n", i, path.empty() ? "(folder, skipped)" : path.c_str());
        } catch (const ZipError& e) {
            std::printf("%4d %s: %s\n", i, ZipName(zip, i).c_str(), e.what());
            failed = true;
        }
    };
    if (argc == 0) {
        for (int i = 0; i < ZipCount(zip); ++i)
            one(i);
    }
    for (int k = 0; k < argc; ++k) {
        char* end = nullptr;
        const long i = std::strtol(argv[k], &end, 10);
        if (end == argv[k] || *end != 0) {
            std::fprintf(stderr, "not an entry index: %s\n", argv[k]);
            return 2;
        }
        one(static_cast<int>(i));
    }
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage(argv[0]);
    ThreadDbErrorHook = &PrintDbError;
    const std::string command = argv[1];
    try {
        if (command == "check" && argc == 3)
            return Check(argv[2]);
        if (command == "create" && argc == 4)
            return Create(argv[2], argv[3]);
        if (command == "list" && argc == 3)
            return List(argv[2]);
        if (command == "extract" && argc >= 4)
            return Extract(argv[2], argv[3], argc - 4, argv + 4);
    } catch (const ZipError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return Usage(argv[0]);
}
