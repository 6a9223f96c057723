// user_files: the drug rows, look-ups and the user's files from the command line.
//
//   user_files rows [-d DATA] [-p PROGRAM] CODE...   the list row of each drug, one
//                                                   "name=value" per column
//   user_files lookup [-d DATA] KIND CODE           KIND: isv country atc holder maker ean cop
//   user_files signlist import [-d DATA] BASE       BASE.TXT/.CSV -> BASE.SGN, BASE.OTH
//   user_files notes import [-d DATA] BASE          BASE.NOT -> new BASE.NOT, .PNT, .BAK, .OTH
//   user_files notes marks [-d DATA] -n NOTESFOLDER the records with a note
//   user_files notes save [-d DATA] BASE CODE FILE [N] saves FILE (Kamenický) as the
//                                                   note of drug CODE, N times (each
//                                                   after a fresh read): "saved",
//                                                   "stale", "busy" ... per save
//   user_files notes check [-d DATA] BASE           the set's broken rules, one a line
//
// Texts print as UTF-8; control bytes as "^" + letter.  The messages of an
// import print one per line, their selector letter first.  Exit code 0; 1
// when the command failed; 2 for a bad command line.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/notes_store.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "writers/notes_writer.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: user_files rows|lookup|signlist import|notes import|notes marks ...\n");
    return 2;
}

// Data bytes (Kamenický) as printable UTF-8.
std::string Printable(std::string_view kam)
{
    std::string out;
    for (char c : Cp1250ToUtf8(KamToWin(kam))) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32) {
            out += '^';
            out += static_cast<char>('@' + u);
        } else {
            out += c;
        }
    }
    return out;
}

struct PrintingSink : NoteMessageSink {
    void Message(std::string_view m) override
    {
        if (m != "p")
            std::printf("%s\n", Cp1250ToUtf8(m).c_str());
    }
};

constexpr struct {
    const char* name;
    int width;
} kColumns[] = {{"St", 1},  {"Kod", 7}, {"Naz", 70}, {"Dop", 73}, {"Oba", 6}, {"Drz", 3},
                {"ZeD", 3}, {"SR", 1},  {"Ob", 1},   {"InS", 2},  {"ATC", 7}, {"RC", 26},
                {"TR", 3},  {"Ex", 4},  {"Zav", 1},  {"DP", 3},   {"NV", 2},  {"VP", 3},
                {"DD", 16}, {"EAN", 3}, {"Bra", 1},  {"Uh", 3},   {"Cla", 6}};

int Rows(const std::vector<std::string>& codes)
{
    TDbTable kl;
    OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    if (DbStatus != 0) {
        std::fprintf(stderr, "kl: status %d\n", static_cast<int>(DbStatus));
        return 1;
    }
    int rc = 0;
    std::string rec, row;
    for (const std::string& code : codes) {
        FindRecord(kl, code, rec);
        if (DbStatus != 0 || FieldDiffers(rec, 1, 7, code) != 0) {
            std::printf("%s: not found\n", code.c_str());
            rc = 1;
            continue;
        }
        FormatRecordLine(rec, kl.recNo, true, row, false, false);
        std::printf("%s (record %d)\n", code.c_str(), static_cast<int>(kl.recNo));
        size_t at = 0;
        for (const auto& c : kColumns) {
            std::printf("  %-4s=[%s]\n", c.name,
                        Printable(std::string_view(row).substr(at, c.width)).c_str());
            at += static_cast<size_t>(c.width);
        }
    }
    return rc;
}

int Lookup(const std::string& kind, const std::string& code)
{
    std::string text;
    if (kind == "isv")
        text = LookupIsv(code);
    else if (kind == "country")
        text = LookupCountry(code);
    else if (kind == "atc")
        text = LookupAtc(code, "01");
    else if (kind == "holder")
        text = LookupHolder(code);
    else if (kind == "maker")
        text = LookupGoodsMaker(code);
    else if (kind == "ean")
        text = LookupCodeTexts(code);
    else if (kind == "cop")
        text = LookupCopText(code);
    else
        return Usage();
    std::printf("%s\n", Printable(text).c_str());
    return 0;
}

const char* StatusWord(NoteStatus s)
{
    switch (s) {
    case NoteStatus::Ok: return "saved";
    case NoteStatus::Busy: return "busy";
    case NoteStatus::Packed: return "packed";
    case NoteStatus::Stale: return "stale";
    case NoteStatus::NoLink: return "nolink";
    case NoteStatus::TooLarge: return "toolarge";
    case NoteStatus::IoError: break;
    }
    return "error";
}

int SaveNotes(const std::string& base, const std::string& code, const std::string& file, int rounds)
{
    std::string text;
    if (ReadWholeFile(file, text) != 0) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    TDbTable kl;
    std::string rec;
    OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    FindRecord(kl, code, rec);
    if (DbStatus != 0 || FieldDiffers(rec, kDrugCode.start, 7, code) != 0) {
        std::fprintf(stderr, "%s: not found\n", code.c_str());
        return 1;
    }
    const int32_t record = kl.recNo;
    OpenTable(kl, TFileId(), TFileId(), 0);
    int rc = 0;
    for (int i = 0; i < rounds; ++i) {
        NoteEditBase edit;
        NoteResult r = ReadNoteForEdit(base, record, &edit);
        if (r.status == NoteStatus::Ok)
            r = SaveNoteText(base, edit, text);
        std::printf("%s", StatusWord(r.status));
        for (const std::string& k : r.kept)
            std::printf(" kept %s", k.c_str());
        std::printf("\n");
        std::fflush(stdout);
        if (r.status != NoteStatus::Ok)
            rc = r.status == NoteStatus::Stale || r.status == NoteStatus::Busy ? 3 : 1;
    }
    return rc;
}

int CheckNotes(const std::string& base)
{
    std::string notes, pnt;
    ReadWholeFile(ResolvePath(base + ".NOT"), notes);
    ReadWholeFile(ResolvePath(base + ".PNT"), pnt);
    TDbTable kl;
    OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    std::string rec;
    const auto codeOf = [&](int32_t record) {
        ReadRecord(kl.dat, record, rec);
        return DbStatus == 0 ? rec.substr(kDrugCode.start - 1, 7) : std::string();
    };
    const std::vector<std::string> faults = CheckNotesSet(notes, pnt, codeOf);
    for (const std::string& f : faults)
        std::printf("%s\n", f.c_str());
    if (FileExists(base + ".NJ$"))
        std::printf("an interrupted save is not finished\n");
    return faults.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    std::string data = "./", program, notesFolder;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "-d" || a == "-p" || a == "-n") && i + 1 < argc)
            (a == "-d" ? data : a == "-p" ? program : notesFolder) = WithTrailingSlash(argv[++i]);
        else
            args.push_back(a);
    }
    if (args.empty())
        return Usage();
    SetDataDir(data);
    LoadTextTable(DataTexts, ResolveInFolder(data, "kalvo.ces"));
    if (!program.empty())
        LoadTextTable(UiTexts, ResolveInFolder(program, "qevw.ces"));
    UserFileHooks hooks;
    hooks.notesFolder = [notesFolder] { return notesFolder; };
    hooks.showError = [](const std::string& t) { std::printf("error: %s\n", Cp1250ToUtf8(t).c_str()); };
    hooks.showMessage = [](const std::string& t) { std::printf("%s\n", Cp1250ToUtf8(t).c_str()); };
    SetUserFileHooks(hooks);

    const std::string& cmd = args[0];
    if (cmd == "rows" && args.size() >= 2) {
        LoadCodeTables();
        return Rows({args.begin() + 1, args.end()});
    }
    if (cmd == "lookup" && args.size() == 3) {
        LoadCodeTables();
        return Lookup(args[1], args[2]);
    }
    PrintingSink sink;
    if (cmd == "signlist" && args.size() == 3 && args[1] == "import") {
        TDbTable kl;
        OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
        std::vector<uint16_t> words(SignWordCount(kl.dat.count));
        const int count = ImportSignList(args[2], sink, words);
        std::printf("count %d\n", count);
        return count < 0 ? 1 : 0;
    }
    if (cmd == "notes" && args.size() == 3 && args[1] == "import")
        return NoteFiles(args[2], "-A ", sink).imported ? 0 : 1;
    if (cmd == "notes" && (args.size() == 5 || args.size() == 6) && args[1] == "save")
        return SaveNotes(args[2], args[3], args[4], args.size() == 6 ? std::atoi(args[5].c_str()) : 1);
    if (cmd == "notes" && args.size() == 3 && args[1] == "check")
        return CheckNotes(args[2]);
    if (cmd == "notes" && args.size() == 2 && args[1] == "marks") {
        RequestNoteMarksReload();
        LoadNoteMarks();
        const auto marks = NoteMarksSnapshot();
        for (size_t r = 0; r < marks->words.size() * 16; ++r)
            if (NoteMarksHas(*marks, static_cast<int64_t>(r)))
                std::printf("%zu\n", r);
        return NoteMarksOn() ? 0 : 1;
    }
    return Usage();
}
