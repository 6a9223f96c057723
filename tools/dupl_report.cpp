// dupl_report: the duplicity check of a medication list as the batch run
// sees it, printed for a person.
//
//   dupl_report [-d DATA] SOURCE
//
// SOURCE is a file (any value holding "/" or "\") or the name of a
// shared-memory block, as option "b" of the program takes it; a value
// holding "," or ";" and neither is read as a list of codes.  DATA is the
// data folder (default: the current folder).  Prints, in UTF-8: the patient,
// one line per product (row number, level, code, name, dosage), the findings
// (level, batch label, products) and the parser's report.
//
// Exit code: as the batch run's: 1 findings, 0 none, 200 no list, 2 a table
// cannot be opened or wrong arguments.

#include <cstdio>
#include <string>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "frame/hooks.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "viewers/duplicity_check.h"
#include "viewers/medication_list.h"

namespace {

std::string Utf8(std::string_view cp1250)
{
    return Cp1250ToUtf8(cp1250);
}

std::string FromData(std::string_view kam)
{
    return Cp1250ToUtf8(KamToWin(kam));
}

} // namespace

int main(int argc, char** argv)
{
    std::string data = "./";
    std::string source;
    bool usable = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-d" && i + 1 < argc)
            data = argv[++i];
        else if (source.empty() && !a.empty())
            source = a;
        else
            usable = false;
    }
    if (!usable || source.empty()) {
        std::fprintf(stderr, "usage: dupl_report [-d DATA] SOURCE\n");
        return 2;
    }
    SetDataDir(WithTrailingSlash(data));
    std::string value;
    if (!Utf8ToCp1250(source, value)) {
        std::fprintf(stderr, "dupl_report: the source name does not fit code page 1250\n");
        return 2;
    }
    BatchDuplicityRequest request;
    if (!IsListFilePath(value) && value.find_first_of(",;") != std::string::npos) {
        std::string kam = value;
        WinToKamS(kam);
        request.options = "|";
        request.positionals = "|1=" + kam + "|";
    } else {
        request.options = "|b=" + value + "|";
        request.positionals = "|";
    }
    DuplicityRun run;
    const BatchDuplicityResult r = BatchDuplicityCheck(request, &run);
    if (r.kind == BatchDuplicityResult::Failed || r.kind == BatchDuplicityResult::NoList) {
        std::fprintf(stderr, "dupl_report: %s\n", r.reason.c_str());
        return r.kind == BatchDuplicityResult::Failed ? 2 : 200;
    }
    std::printf("patient: %s\n", Utf8(run.patient).c_str());
    const int count = static_cast<int>(run.leks.size()) - 5;
    std::printf("products: %d\n", count);
    for (int i = 0; i < count; ++i) {
        const LekRec& l = run.leks[static_cast<size_t>(i)];
        const std::string dosage(TrimRightBlanks(l.dosage));
        std::printf("%3d. level %d  %s  %s%s%s\n", i + 1, l.level,
                    l.code.empty() ? "-------" : l.code.c_str(),
                    l.position == 0 ? "nenalezen" : FromData(DuplicityItemText(l)).c_str(),
                    dosage.empty() ? "" : "  | ", Utf8(dosage).c_str());
    }
    std::printf("findings: %zu\n", run.dups.size());
    for (const DupRec& d : run.dups) {
        std::printf("level %d: %s\n", d.level, FromData(d.label).c_str());
        std::printf("    %s\n", FromData(d.text).c_str());
    }
    if (!run.report.empty())
        std::printf("report:\n%s\n", Utf8(run.report).c_str());
    return r.kind == BatchDuplicityResult::Findings ? 1 : 0;
}
