// mkn_dump: looks into a disease classification as the classification page
// reads it.
//
//   mkn_dump [-d DATA] [--second] CODE       the entry the code shows, its
//                                            CtrlText dumped as record_text
//                                            dumps texts
//   mkn_dump [-d DATA] [--second] --search WORDS
//                                            the hit list of the word search
//
// DATA is the data folder (default: the current folder); --second reads
// "mkno.dat" and "mkno.slw" instead of "mkn.dat" and "mkn.slw".  Exit code:
// 0 done, 1 a missing or damaged file, 2 wrong arguments.

#include <cstdio>
#include <string>

#include "ctrl_text_dump.h"
#include "datastore/db_status.h"
#include "datastore/kamenici.h"
#include "datastore/user_files.h"
#include "platform/cp1250.h"
#include "tool_folders.h"
#include "viewers/mkn_file.h"

namespace {

int Usage()
{
    std::fputs("usage: mkn_dump [-d DATA] [--second] CODE\n"
               "       mkn_dump [-d DATA] [--second] --search WORDS\n",
               stderr);
    return 2;
}

// The damaged-file hook of the tool: a message, and the scan goes on with
// what it has.
void ReportDbError(const TFileId& id, int32_t position, uint16_t code)
{
    std::fprintf(stderr, "mkn_dump: %s.dat damaged at offset %d (status %d, location %u)\n",
                 FileIdToStr(id).c_str(), position, DbStatus, code);
}

} // namespace

int main(int argc, char** argv)
{
    BuildKamTables();
    std::string data = ".";
    std::string program;
    bool second = false;
    bool search = false;
    std::string what;
    ToolArgs args(argc, argv, data, program);
    for (std::string a; args.Next(a);) {
        if (a == "--second")
            second = true;
        else if (a == "--search")
            search = true;
        else if (!a.empty() && a[0] == '-' && a != "-" && a != "#")
            return Usage();
        else if (what.empty())
            what = a;
        else
            what += " " + a;
    }
    if (args.Failed() || what.empty())
        return Usage();
    if (!OpenToolFolders("mkn_dump", data, program))
        return 1;
    DbErrorHook = &ReportDbError;
    const std::string name = second ? "mkno" : "mkn";
    std::string typed;
    if (!Utf8ToCp1250(what, typed)) {
        std::fprintf(stderr, "mkn_dump: \"%s\" holds a letter the data code page cannot carry\n",
                     what.c_str());
        return 2;
    }
    WinToKamS(typed);

    if (search) {
        std::string list;
        LoadWordFile(list, name + ".slw");
        if (list.empty()) {
            std::fprintf(stderr, "mkn_dump: no word list %s%s.slw\n", data.c_str(), name.c_str());
            return 1;
        }
        const MknSearchResult r = SearchMknWords(list, KamFoldUpper(list), typed);
        std::printf("%zu hits\n", r.hits.size());
        std::fputs(DumpCtrlText(BuildMknHitList(list, r.hits)).c_str(), stdout);
        return 0;
    }

    const std::string path = ResolvePath(data + name + ".dat");
    if (!FileExists(path)) {
        std::fprintf(stderr, "mkn_dump: no classification %s\n", path.c_str());
        return 1;
    }
    MknClassification file;
    const int scanned = file.ScanFile(path);
    if (file.Empty()) {
        std::fprintf(stderr, "mkn_dump: %s holds no entries (status %d)\n", path.c_str(), scanned);
        return 1;
    }
    const MknCodeChoice choice = NormaliseMknCode(typed);
    const int entry = ChooseMknEntry(file, choice);
    std::printf("code %s -> %s, entry %d of %d\n", what.c_str(), CtrlTextToUtf8(choice.normalised).c_str(),
                entry, file.Count());
    const MknEntryText t = file.ReadEntryText(entry);
    std::fputs(DumpCtrlText(t.text).c_str(), stdout);
    if (t.status != 0) {
        std::fprintf(stderr, "mkn_dump: entry %d is damaged (status %d)%s\n", entry, t.status,
                     t.lengthDiffers ? ": Nesouhlas delky" : "");
        return 1;
    }
    return scanned == 0 ? 0 : 1;
}
