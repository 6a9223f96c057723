// The notes import: re-indexes the user's notes set against the drug table.

#include <cerrno>
#include <string>
#include <vector>

#include "datastore/notes_store.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "datastore/user_files_internal.h"
#include "platform/coding.h"
#include "platform/fs.h"

namespace {

constexpr size_t kBlock = 256;
constexpr uint16_t kNoNote = 0xFFFF;
constexpr size_t kProgressChunk = 20000;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A block that begins a note: 0, 0, "01" or 0, 0, "02".
bool NoteStart(const char* b)
{
    return b[0] == 0 && b[1] == 0 && b[2] == '0' && (b[3] == '1' || b[3] == '2');
}

bool EmptyStart(const char* b)
{
    return b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0;
}

struct Import {
    NoteMessageSink& sink;
    TDbTable& kl;
    std::vector<uint16_t>& pointers;
    std::string notes;  // the new ".NOT"
    std::string report; // ".OTH"
    NoteImportResult counts;
    bool tooLarge = false;
    std::string rec;

    // One note of `note` (its bytes up to the last non-zero one).
    void ProcessNote(std::string note)
    {
        const size_t block = notes.size() / kBlock;
        if (block >= kNoNote) {
            tooLarge = true; // its number would read as "no note"
            return;
        }
        int linked = 0;
        size_t at = 2;
        while (at + 1 < note.size() && note[at] == '0' && (note[at + 1] == '1' || note[at + 1] == '2')) {
            size_t cr = note.find('\r', at);
            const size_t end = cr == std::string::npos ? note.size() : cr;
            if (note[at + 1] == '1') {
                size_t digits = 0;
                while (at + 2 + digits < end && IsDigit(note[at + 2 + digits]) && digits < 8)
                    ++digits;
                std::string code;
                if (digits == 7) {
                    code = note.substr(at + 2, 7);
                } else if (digits == 5) {
                    // A short code gets its leading zeros in the note itself.
                    note.insert(at + 2, "00");
                    code = note.substr(at + 2, 7);
                    if (cr != std::string::npos)
                        cr += 2; // the line's end moved with the insertion
                }
                if (!code.empty())
                    linked += Link(code, block);
            }
            if (cr == std::string::npos)
                break;
            at = cr + 1;
            if (at < note.size() && note[at] == '\n')
                ++at;
        }
        if (linked == 0) {
            report += "\r\n" + ProgramText("NotUpNot", "Nezar") + "\r\n";
            ++counts.withoutDrug;
        } else {
            report += "\r\n" + ProgramText("NotUpNot", "OK") + "\r\n";
            report.append(note, 2);
        }
        counts.linked += linked;
        const size_t blocks = (note.size() + 200) / kBlock + 1;
        note.resize(blocks * kBlock, '\0');
        notes += note;
        ++counts.written;
    }

    int Link(const std::string& code, size_t block)
    {
        const int32_t r = FindDrug(kl, code, rec);
        if (r <= 0 || static_cast<size_t>(r) >= pointers.size())
            return 0;
        if (pointers[static_cast<size_t>(r)] != kNoNote) {
            report += "\r\n" + ProgramText("NotUpNot", "Obs") + code + "\r\n";
            return 0;
        }
        pointers[static_cast<size_t>(r)] = static_cast<uint16_t>(block);
        return 1;
    }
};

// Takes what a failed import leaves behind: its work files and its lock.
struct Cleanup {
    FileSystemOps& ops;
    std::vector<std::string> paths;
    void Run()
    {
        for (const std::string& p : paths)
            ops.Remove(p);
        paths.clear();
    }
};

} // namespace

NoteImportResult NoteFiles(const std::string& base, std::string_view options, NoteMessageSink& sink,
                           FileSystemOps& ops)
{
    (void)options; // "-A " is the only option the program passes
    NoteImportResult none;
    const std::string smfPath = ResolvePath(base + ".SMF");
    const std::string smfText = [] {
        std::string t = "UPDATE is in progress";
        t.resize(kBlock, ' ');
        return t;
    }();
    uint64_t smfInode = 0;
    bool existed = false;
    if (int io = CreateExclusiveFile(smfPath, smfText, &smfInode, &existed)) {
        if (existed || FileExists(smfPath))
            sink.Message(ProgramText("NotUp", "BylNal") + MessagePath(smfPath) +
                         ProgramText("NotUp", "ZakPr"));
        else
            sink.Message(ProgramText("NotUp", "NeVytv") + MessagePath(smfPath));
        (void)io;
        return none;
    }
    // Our lock goes only while it is still ours.
    auto dropLock = [&] {
        FileStamp s;
        if (GetFileStamp(smfPath, &s) && s.inode == smfInode)
            ops.Remove(smfPath);
    };

    const std::string notPath = ResolvePath(base + ".NOT");
    if (!FileExists(notPath)) {
        dropLock();
        sink.Message(ProgramText("NotUp", "NeSmaz") + MessagePath(notPath));
        return none;
    }
    std::string pntPath = ResolvePath(base + ".PNT");
    FileLock notLock, pntLock;
    if (notLock.TakeCurrent(notPath, true, 2000) != 0 ||
        (FileExists(pntPath) && pntLock.TakeCurrent(pntPath, true, 2000) != 0)) {
        dropLock();
        sink.Message(ProgramText("NotUp", "BylNal") + MessagePath(notPath) + ProgramText("NotUp", "ZakPr"));
        return none;
    }
    // A note save cut short is finished first, or its old text would come back.
    if (FinishInterruptedNoteSave(base, ops) != 0) {
        dropLock();
        sink.Message(ProgramText("NotUp", "BylNal") + MessagePath(base + ".NJ$") +
                     ProgramText("NotUp", "ZakPr"));
        return none;
    }

    std::string old;
    if (ops.ReadFile(notPath, old) != 0 ||
        (old.size() >= 4 && !NoteStart(old.data()) && !EmptyStart(old.data()))) {
        // Not a notes set of this form: it stays as it is, recoverable.
        dropLock();
        sink.Message(ProgramText("NotUp", "SouNez") + MessagePath(notPath));
        return none;
    }
    old.resize((old.size() + kBlock - 1) / kBlock * kBlock, '\0');

    TDbTable kl;
    if (OpenDrugCodes(kl, "klkod") != 0) {
        CloseTable(kl);
        dropLock();
        sink.Message(ProgramText("NotUp", "NeVytD") + MessagePath(base + ".PN$"));
        return none;
    }
    std::vector<uint16_t> pointers(static_cast<size_t>(kl.dat.count), kNoNote);
    Import im{sink, kl, pointers, {}, ProgramText("NotUp", "SDN"), {}, false, {}};
    for (size_t b = 0; b + kBlock <= old.size() && !im.tooLarge;) {
        const char* start = old.data() + b;
        if (!NoteStart(start)) {
            b += kBlock;
            continue;
        }
        size_t end = b;
        while (end + kBlock < old.size() && old[end + kBlock - 1] != '\0')
            end += kBlock;
        end += kBlock;
        size_t len = end - b;
        while (len > 0 && start[len - 1] == '\0')
            --len;
        im.ProcessNote(std::string(start, len));
        sink.Message("p");
        b = end;
    }
    CloseTable(kl);
    if (im.tooLarge) {
        dropLock();
        sink.Message(ProgramText("NotUp", "NePrip") + MessagePath(base + ".NO$"));
        return none;
    }

    // The work files, durable before any live file is touched.
    const SaveMode mode{false, 0, true};
    const std::string noPath = base + ".NO$";
    const std::string pnPath = base + ".PN$";
    Cleanup work{ops, {noPath, pnPath}};
    FileSaver oth(ResolvePath(base + ".OTH"), ops, mode);
    {
        FileSaver no(noPath, ops, mode);
        FileSaver pn(pnPath, ops, mode);
        std::string pnBytes;
        pnBytes.reserve(pointers.size() * 2);
        for (size_t i = 0; i < pointers.size(); ++i) {
            AppendLE16(pnBytes, pointers[i]);
            if ((i + 1) % kProgressChunk == 0)
                sink.Message("p");
        }
        no.Write(im.notes);
        pn.Write(pnBytes);
        oth.Write(im.report);
        const bool ok = no.Commit() & pn.Commit();
        if (!ok || oth.HasError()) {
            work.Run();
            dropLock();
            const bool report = oth.HasError() && ok;
            sink.Message(ProgramText("NotUp", report ? "NeVytv" : "NeVytD") +
                         MessagePath(report          ? oth.TargetPath()
                                     : no.HasError() ? noPath
                                                     : pnPath));
            return none;
        }
    }

    // The old texts become ".BAK" without a moment in which ".NOT" is missing.
    const std::string bakPath = ResolvePath(base + ".BAK");
    const std::string bakWork = base + ".BA$";
    ops.Remove(bakWork);
    if (int err = ops.Link(notPath, bakWork)) {
        work.Run();
        dropLock();
        sink.Message(ProgramText("NotUp", "NeSmaz") + MessagePath(bakPath));
        (void)err;
        return none;
    }
    work.paths.push_back(bakWork);
    if (ops.Rename(bakWork, bakPath) != 0) {
        work.Run();
        dropLock();
        sink.Message(ProgramText("NotUp", "NePrej") + MessagePath(bakPath));
        return none;
    }
    // From here on a failure leaves the lock and the work files: the pair
    // may be inconsistent, and notes stay off until someone looks.
    if (ops.Rename(noPath, notPath) != 0) {
        sink.Message(ProgramText("NotUp", "NePrej") + MessagePath(notPath));
        return none;
    }
    if (!FileExists(pntPath))
        pntPath = base + ".PNT";
    if (ops.Rename(pnPath, pntPath) != 0) {
        sink.Message(ProgramText("NotUp", "NePrej") + MessagePath(pntPath));
        return none;
    }
    const size_t slash = base.find_last_of('/');
    ops.SyncFolder(slash == std::string::npos ? std::string("./") : base.substr(0, slash + 1));
    notLock.Release();
    pntLock.Release();
    dropLock();

    if (!oth.Commit())
        sink.Message(ProgramText("NotUp", "NeVytv") + MessagePath(oth.TargetPath()));
    im.counts.imported = true;
    sink.Message(ProgramText("NotUp", "MUpd") + " " + MessagePath(base) + ProgramText("NotUp", "OKP") +
                 std::to_string(im.counts.written) + ProgramText("NotUp", "PozP") +
                 std::to_string(im.counts.withoutDrug) + ProgramText("NotUp", "NepP") +
                 std::to_string(im.counts.linked) + ProgramText("NotUp", "LekP"));
    return im.counts;
}

void ImportNotes()
{
    std::lock_guard lock(UserFilesMutex());
    const std::string base = NotesBasePath();
    if (FileExists(ResolvePath(base + ".SMF"))) {
        const size_t slash = base.find_last_of('/');
        UserShowError(MessagePath(base.substr(slash + 1)) + ProgramText("Hlasky", "PznEdt"));
        return;
    }
    NotesMessageSink sink;
    NoteFiles(base, "-A ", sink);
    RequestNoteMarksReloadLocked();
    LoadNoteMarksLocked();
}
