// The notes set as the notes window reads and edits it; the crash-safe save.

#include "datastore/notes_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "datastore/db_table.h"
#include "datastore/packed_text.h"
#include "datastore/user_files.h"
#include "datastore/user_files_internal.h"
#include "platform/coding.h"
#include "platform/fs.h"

namespace {

constexpr int kLockWaitMs = 2000;
constexpr unsigned char kPackedMark = 0x95;
constexpr size_t kBlock = kNoteBlockSize;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string Ext(const std::string& base, const char* ext)
{
    return ResolvePath(base + ext);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// An open ".NOT" that closes itself.
struct OpenFile {
    FileSystemOps& ops;
    int fd = -1;
    ~OpenFile()
    {
        if (fd >= 0)
            ops.Close(fd);
    }
};

// The entries of ".PNT", at least `count` of them (a short file reads as
// 0xFFFF past its end); a missing file is all 0xFFFF.
int ReadEntries(FileSystemOps& ops, const std::string& path, size_t count, std::vector<uint16_t>& entries,
                size_t* stored = nullptr)
{
    std::string bytes;
    const int r = ops.ReadFile(path, bytes);
    if (r != 0 && r != ENOENT)
        return r;
    if (stored)
        *stored = bytes.size() / 2;
    entries.assign(std::max(count, bytes.size() / 2), kNoNoteEntry);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        entries[i / 2] = DecodeLE16(bytes.data() + i);
    return 0;
}

std::string EntryBytes(const std::vector<uint16_t>& entries)
{
    std::string s;
    s.reserve(entries.size() * 2);
    for (uint16_t e : entries)
        AppendLE16(s, e);
    return s;
}

int ReadBlocks(FileSystemOps& ops, int fd, int64_t first, int64_t count, std::string& out)
{
    out.assign(static_cast<size_t>(count) * kBlock, '\0');
    size_t got = 0;
    return ops.ReadAt(fd, first * static_cast<int64_t>(kBlock), out.data(), out.size(), &got);
}

bool NoteStartBytes(const char* b)
{
    return b[0] == 0 && b[1] == 0 && b[2] == '0' && (b[3] == '1' || b[3] == '2');
}

// Whether block `block` of a file of `size` bytes begins a note.
bool AtNoteStart(FileSystemOps& ops, int fd, int64_t size, int64_t block)
{
    if (block < 0 || block * static_cast<int64_t>(kBlock) + 4 > size)
        return false;
    char head[4] = {1, 1, 1, 1};
    size_t got = 0;
    return ops.ReadAt(fd, block * static_cast<int64_t>(kBlock), head, 4, &got) == 0 && got == 4 &&
           NoteStartBytes(head);
}

// A note's extent from its first block: the blocks up to the one holding its
// text's closing zero, then the wholly zero blocks after it, within the file.
int NoteExtent(FileSystemOps& ops, int fd, int64_t size, int64_t first, int64_t* count)
{
    const int64_t blocks = (size + static_cast<int64_t>(kBlock) - 1) / static_cast<int64_t>(kBlock);
    constexpr int64_t kChunk = 64;
    bool ended = false;
    int64_t b = first;
    std::string chunk;
    while (b < blocks) {
        const int64_t n = std::min(kChunk, blocks - b);
        if (int r = ReadBlocks(ops, fd, b, n, chunk))
            return r;
        for (int64_t i = 0; i < n; ++i, ++b) {
            const char* blk = chunk.data() + i * static_cast<int64_t>(kBlock);
            if (!ended) {
                const size_t from = b == first ? 2 : 0;
                ended = std::memchr(blk + from, 0, kBlock - from) != nullptr;
                continue;
            }
            bool zero = true;
            for (size_t k = 0; k < kBlock && zero; ++k)
                zero = blk[k] == 0;
            if (!zero) {
                *count = b - first;
                return 0;
            }
        }
    }
    *count = b - first;
    return 0;
}

// Zeroes `count` blocks from `first` that lie within the file: the first
// block first, so that the note stops being one before its rest goes.
int ZeroBlocks(FileSystemOps& ops, int fd, int64_t size, int64_t first, int64_t count)
{
    const int64_t blocks = (size + static_cast<int64_t>(kBlock) - 1) / static_cast<int64_t>(kBlock);
    count = std::min(count, blocks - first);
    if (first < 0 || count <= 0)
        return 0;
    const std::string zeros(kBlock, '\0');
    if (int r = ops.WriteAt(fd, first * static_cast<int64_t>(kBlock), zeros.data(), kBlock))
        return r;
    if (count > 1) {
        const std::string rest(static_cast<size_t>(count - 1) * kBlock, '\0');
        if (int r = ops.WriteAt(fd, (first + 1) * static_cast<int64_t>(kBlock), rest.data(), rest.size()))
            return r;
    }
    return ops.Flush(fd);
}

// One ".PNT" entry a save changes in place.
struct EntryChange {
    int64_t record = 0;
    uint16_t before = kNoNoteEntry, after = kNoNoteEntry;
};

// The intent of a save: "NJ1 oldFirst oldCount newFirst newCount" (-1 none)
// when ".PNT" is replaced whole, "NJ2" and the same, the number of entries
// and each entry's "record before after" when they are written in place.
struct Intent {
    int64_t oldFirst = -1, oldCount = 0, newFirst = -1, newCount = 0;
    bool inPlace = false;
    std::vector<EntryChange> changes;
};

std::string IntentText(const Intent& i)
{
    std::string s = (i.inPlace ? "NJ2 " : "NJ1 ") + std::to_string(i.oldFirst) + " " +
                    std::to_string(i.oldCount) + " " + std::to_string(i.newFirst) + " " +
                    std::to_string(i.newCount);
    if (i.inPlace) {
        s += " " + std::to_string(i.changes.size());
        for (const EntryChange& c : i.changes)
            s += " " + std::to_string(c.record) + " " + std::to_string(c.before) + " " +
                 std::to_string(c.after);
    }
    return s + "\r\n";
}

bool ParseIntent(const std::string& text, Intent* i)
{
    // Written whole through a rename: a text without its closing CR LF is damaged.
    if (text.size() < 6 || text.compare(0, 2, "NJ") != 0 || (text[2] != '1' && text[2] != '2') ||
        text[3] != ' ' || text.compare(text.size() - 2, 2, "\r\n") != 0)
        return false;
    Intent in;
    in.inPlace = text[2] == '2';
    const char* p = text.c_str() + 4;
    const char* end = text.c_str() + text.size() - 2;
    auto next = [&](long long* v) {
        char* stop = nullptr;
        errno = 0;
        *v = std::strtoll(p, &stop, 10);
        if (stop == p || stop > end || errno != 0)
            return false;
        p = stop;
        return true;
    };
    long long v[4];
    for (long long& x : v)
        if (!next(&x))
            return false;
    in.oldFirst = v[0];
    in.oldCount = v[1];
    in.newFirst = v[2];
    in.newCount = v[3];
    if (in.inPlace) {
        long long n = 0;
        if (!next(&n) || n < 0 || n > static_cast<long long>(text.size()))
            return false;
        for (long long k = 0; k < n; ++k) {
            long long r = 0, b = 0, a = 0;
            if (!next(&r) || !next(&b) || !next(&a) || r < 0 || b < 0 || b > 0xFFFF || a < 0 || a > 0xFFFF)
                return false;
            in.changes.push_back({r, static_cast<uint16_t>(b), static_cast<uint16_t>(a)});
        }
    }
    if (p != end)
        return false;
    *i = std::move(in);
    return i->oldFirst >= -1 && i->newFirst >= -1 && i->oldCount >= 0 && i->newCount >= 0;
}

// Writes the changed entries into ".PNT" where they stand, then syncs it.
int WriteEntryChanges(FileSystemOps& ops, const std::string& pntPath, const std::vector<EntryChange>& changes)
{
    OpenFile f{ops};
    if (int r = ops.OpenForUpdate(pntPath, false, &f.fd))
        return r;
    for (const EntryChange& c : changes) {
        std::string word;
        AppendLE16(word, c.after);
        if (int r = ops.WriteAt(f.fd, c.record * 2, word.data(), word.size()))
            return r;
    }
    return ops.Flush(f.fd);
}

// Exclusive locks on ".NOT" and ".PNT" in the import's order, each on the
// file its name holds once granted.
struct SetLocks {
    FileLock notLock, pntLock;
    int Take(const std::string& notPath, const std::string& pntPath)
    {
        if (int r = notLock.TakeCurrent(notPath, true, kLockWaitMs))
            return r;
        if (FileExists(pntPath))
            return pntLock.TakeCurrent(pntPath, true, kLockWaitMs);
        return 0;
    }
};

NoteResult Fail(NoteStatus status, const std::string& path, int error = 0)
{
    NoteResult r;
    r.status = status;
    r.path = path;
    r.error = error;
    return r;
}

NoteResult LockFailure(int io, const std::string& path)
{
    return io == IoResult::SharingViolation
               ? Fail(NoteStatus::Busy, path)
               : Fail(NoteStatus::IoError, path, io == IoResult::NotFound ? ENOENT : EIO);
}

int FinishLocked(const std::string& base, FileSystemOps& ops, bool* committedOut = nullptr)
{
    if (committedOut)
        *committedOut = false;
    const std::string intentPath = base + ".NJ$";
    std::string text;
    int r = ops.ReadFile(intentPath, text);
    if (r == ENOENT)
        return 0;
    if (r != 0)
        return r;
    Intent in;
    if (ParseIntent(text, &in)) {
        std::vector<uint16_t> entries;
        if ((r = ReadEntries(ops, Ext(base, ".PNT"), 0, entries)) != 0)
            return r;
        bool committed = false;
        if (in.inPlace) {
            // The entries are written only once the new note is synced: one
            // that left its old value means the note is whole, and the save
            // goes through; none means it never began.
            for (const EntryChange& c : in.changes) {
                const size_t at = static_cast<size_t>(c.record);
                committed |= (at < entries.size() ? entries[at] : kNoNoteEntry) != c.before;
            }
            if (committed && (r = WriteEntryChanges(ops, Ext(base, ".PNT"), in.changes)) != 0)
                return r;
        } else {
            bool oldLinked = false, newLinked = false;
            for (uint16_t e : entries) {
                oldLinked |= in.oldFirst >= 0 && e == in.oldFirst;
                newLinked |= in.newFirst >= 0 && e == in.newFirst;
            }
            committed = in.oldFirst >= 0 ? !oldLinked : newLinked;
        }
        if (committedOut)
            *committedOut = committed;
        OpenFile f{ops};
        r = ops.OpenForUpdate(Ext(base, ".NOT"), false, &f.fd);
        if (r != 0 && r != ENOENT)
            return r;
        if (r == 0) {
            int64_t size = 0;
            if ((r = ops.FileSize(f.fd, &size)) != 0)
                return r;
            r = committed ? ZeroBlocks(ops, f.fd, size, in.oldFirst, in.oldCount)
                          : ZeroBlocks(ops, f.fd, size, in.newFirst, in.newCount);
            if (r != 0)
                return r;
        }
    }
    // A damaged intent (it is written whole or not at all) tells nothing.
    if ((r = ops.Remove(intentPath)) != 0 && r != ENOENT)
        return r;
    ops.SyncFolder(FolderOf(intentPath));
    return 0;
}

} // namespace

std::string NotesSetBase()
{
    return NotesBasePath();
}

ShownNote ReadShownNote(const std::string& base, int32_t record)
{
    ShownNote shown;
    const std::string notPath = Ext(base, ".NOT");
    FileLock lock;
    const int lr = lock.TakeCurrent(notPath, false, kLockWaitMs);
    if (lr == IoResult::SharingViolation) {
        shown.state = ShownNote::State::Busy;
        return shown;
    }
    if (lr != 0 || record < 0)
        return shown;
    ReadOnlyFile pnt;
    unsigned char e[2];
    size_t got = 0;
    if (pnt.Open(Ext(base, ".PNT")) != 0 || pnt.ReadAt(static_cast<int64_t>(record) * 2, e, 2, &got) != 0 ||
        got != 2)
        return shown;
    const uint16_t entry = static_cast<uint16_t>(e[0] | e[1] << 8);
    ReadOnlyFile notes;
    if (entry == kNoNoteEntry || notes.Open(notPath) != 0)
        return shown;
    const int64_t at = static_cast<int64_t>(entry) * static_cast<int64_t>(kBlock) + 2;
    unsigned char first = 0;
    if (at >= notes.Size() || notes.ReadAt(0, &first, 1) != 0)
        return shown;
    shown.state = ShownNote::State::Text;
    if (first == kPackedMark) {
        shown.packed = true;
        unsigned char head[4] = {};
        notes.ReadAt(at, head, 4, &got);
        const uint32_t packedLength = head[0] | head[1] << 8;
        const uint32_t textLength = packedLength + (head[2] | head[3] << 8);
        std::string packed(packedLength, '\0');
        notes.ReadAt(at + 4, packed.data(), packed.size(), &got);
        packed.resize(got);
        shown.badLength = UnpackRecordText(packed, packedLength, textLength, shown.text) != 0;
    } else {
        shown.text.assign(kShownNoteLimit, '\0');
        notes.ReadAt(at, shown.text.data(), shown.text.size(), &got);
        shown.text.resize(got);
    }
    const size_t zero = shown.text.find('\0');
    if (zero != std::string::npos)
        shown.text.resize(zero);
    return shown;
}

std::vector<NoteLink> NoteRecordList(std::string_view text, TDbTable& kl)
{
    std::vector<NoteLink> links;
    std::string rec;
    size_t at = 0;
    while (at + 1 < text.size() && text[at] == '0' && (text[at + 1] == '1' || text[at + 1] == '2')) {
        const size_t cr = text.find('\r', at);
        const size_t end = cr == std::string_view::npos ? text.size() : cr;
        if (text[at + 1] == '1') {
            size_t digits = 0;
            while (at + 2 + digits < end && IsDigit(text[at + 2 + digits]) && digits < 8)
                ++digits;
            std::string code;
            if (digits == 7)
                code = std::string(text.substr(at + 2, 7));
            else if (digits == 5)
                code = "00" + std::string(text.substr(at + 2, 5));
            if (!code.empty()) {
                const int32_t r = FindDrug(kl, code, rec);
                bool twice = false;
                for (const NoteLink& l : links)
                    twice |= l.record == r;
                if (r > 0 && !twice)
                    links.push_back({code, r});
            }
        }
        if (cr == std::string_view::npos)
            break;
        at = cr + 1;
        if (at < text.size() && text[at] == '\n')
            ++at;
    }
    return links;
}

std::vector<NoteLink> NoteRecordList(std::string_view text)
{
    TDbTable kl;
    std::vector<NoteLink> links;
    if (OpenDrugCodes(kl, "klkod") == 0)
        links = NoteRecordList(text, kl);
    CloseTable(kl);
    return links;
}

int FinishInterruptedNoteSave(const std::string& base, FileSystemOps& ops)
{
    return FinishLocked(base, ops);
}

NoteResult ReadNoteForEdit(const std::string& base, int32_t record, NoteEditBase* out, FileSystemOps& ops)
{
    std::lock_guard guard(UserFilesMutex());
    *out = NoteEditBase{};
    out->record = record;
    const std::string notPath = Ext(base, ".NOT"), pntPath = Ext(base, ".PNT");
    if (!FileExists(notPath))
        return {};
    SetLocks locks;
    if (int r = locks.Take(notPath, pntPath))
        return LockFailure(r, notPath);
    if (int r = FinishLocked(base, ops))
        return Fail(NoteStatus::IoError, base + ".NJ$", r);
    std::vector<uint16_t> entries;
    if (int r = ReadEntries(ops, pntPath, static_cast<size_t>(record) + 1, entries))
        return Fail(NoteStatus::IoError, pntPath, r);
    out->entry = entries[static_cast<size_t>(record)];
    OpenFile f{ops};
    int64_t size = 0;
    if (int r = ops.OpenForUpdate(notPath, false, &f.fd); r != 0 || (r = ops.FileSize(f.fd, &size)) != 0)
        return Fail(NoteStatus::IoError, notPath, r);
    char first = 0;
    size_t got = 0;
    if (size > 0 && ops.ReadAt(f.fd, 0, &first, 1, &got) == 0 &&
        static_cast<unsigned char>(first) == kPackedMark)
        return Fail(NoteStatus::Packed, notPath);
    if (out->entry == kNoNoteEntry || !AtNoteStart(ops, f.fd, size, out->entry))
        return {};
    out->hasNote = true;
    if (int r = NoteExtent(ops, f.fd, size, out->entry, &out->blockCount))
        return Fail(NoteStatus::IoError, notPath, r);
    if (int r = ReadBlocks(ops, f.fd, out->entry, out->blockCount, out->extent))
        return Fail(NoteStatus::IoError, notPath, r);
    out->text = out->extent.substr(2, out->extent.find('\0', 2) - 2);
    return {};
}

NoteResult SaveNoteText(const std::string& base, const NoteEditBase& edit, std::string text,
                        FileSystemOps& ops)
{
    std::lock_guard guard(UserFilesMutex());
    const std::string notPath = Ext(base, ".NOT"), pntPath = Ext(base, ".PNT");
    const std::string intentPath = base + ".NJ$";

    TDbTable kl;
    if (int st = OpenDrugCodes(kl, "klkod")) {
        CloseTable(kl);
        return Fail(NoteStatus::IoError, "kl", st);
    }
    const size_t recordCount = static_cast<size_t>(std::max<int32_t>(kl.dat.count, edit.record + 1));
    const std::vector<NoteLink> links = NoteRecordList(text, kl);
    CloseTable(kl);

    // A set that does not exist yet: an empty ".NOT", a ".PNT" of no notes.
    if (!FileExists(notPath)) {
        OpenFile f{ops};
        if (int r = ops.OpenForUpdate(notPath, true, &f.fd))
            return Fail(NoteStatus::IoError, notPath, r);
    }
    if (!FileExists(pntPath)) {
        FileSaver pnt(pntPath, ops, SaveMode{false, 0, true});
        pnt.Write(EntryBytes(std::vector<uint16_t>(recordCount, kNoNoteEntry)));
        if (!pnt.Commit())
            return Fail(NoteStatus::IoError, pntPath, pnt.ErrorCode());
    }
    SetLocks locks;
    if (int r = locks.Take(notPath, pntPath))
        return LockFailure(r, notPath);
    if (int r = FinishLocked(base, ops))
        return Fail(NoteStatus::IoError, intentPath, r);

    OpenFile f{ops};
    int64_t size = 0;
    if (int r = ops.OpenForUpdate(notPath, false, &f.fd); r != 0 || (r = ops.FileSize(f.fd, &size)) != 0)
        return Fail(NoteStatus::IoError, notPath, r);
    char first = 0;
    size_t got = 0;
    if (size > 0 && ops.ReadAt(f.fd, 0, &first, 1, &got) == 0 &&
        static_cast<unsigned char>(first) == kPackedMark)
        return Fail(NoteStatus::Packed, notPath);
    std::vector<uint16_t> entries;
    size_t storedEntries = 0;
    if (int r = ReadEntries(ops, pntPath, recordCount, entries, &storedEntries))
        return Fail(NoteStatus::IoError, pntPath, r);

    // Another copy or an import may have changed the note since the edit read it.
    if (entries[static_cast<size_t>(edit.record)] != edit.entry)
        return Fail(NoteStatus::Stale, notPath);
    if (edit.hasNote) {
        std::string now;
        if (!AtNoteStart(ops, f.fd, size, edit.entry) ||
            ReadBlocks(ops, f.fd, edit.entry, edit.blockCount, now) != 0 || now != edit.extent)
            return Fail(NoteStatus::Stale, notPath);
    }
    const int64_t oldFirst = edit.hasNote ? edit.entry : -1;

    NoteResult result;
    std::vector<int32_t> linked;
    for (const NoteLink& l : links) {
        const uint16_t e = entries[static_cast<size_t>(l.record)];
        // A drug whose entry leads to another note keeps it: that note would be lost.
        if (e != kNoNoteEntry && e != oldFirst && AtNoteStart(ops, f.fd, size, e))
            result.kept.push_back(l.code);
        else
            linked.push_back(l.record);
    }
    if (!links.empty() && linked.empty()) {
        result.status = NoteStatus::NoLink;
        return result;
    }
    result.removed = linked.empty();

    Intent in;
    in.oldFirst = oldFirst;
    in.oldCount = edit.hasNote ? edit.blockCount : 0;
    std::string body;
    if (!linked.empty()) {
        if (text.empty() || text.back() != '\n')
            text += "\r\n";
        in.newFirst = (size + static_cast<int64_t>(kBlock) - 1) / static_cast<int64_t>(kBlock);
        in.newCount = static_cast<int64_t>((2 + text.size()) / kBlock + 1);
        if (in.newFirst >= kNoNoteEntry)
            return Fail(NoteStatus::TooLarge, notPath);
        body = std::string(2, '\0') + text;
        body.resize(static_cast<size_t>(in.newCount) * kBlock, '\0');
    }
    if (in.oldFirst < 0 && in.newFirst < 0)
        return result;
    // The entries as the save leaves them.
    std::vector<uint16_t> after = entries;
    for (uint16_t& e : after)
        if (oldFirst >= 0 && e == oldFirst)
            e = kNoNoteEntry;
    for (int32_t r : linked)
        after[static_cast<size_t>(r)] = static_cast<uint16_t>(in.newFirst);
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != entries[i])
            in.changes.push_back({static_cast<int64_t>(i), entries[i], after[i]});
    // A ".PNT" that holds every changed entry takes them where they stand; a
    // short one is replaced whole, so it never holds a gap of zeros.
    in.inPlace = !in.changes.empty() && static_cast<size_t>(in.changes.back().record) < storedEntries;

    // (1) The intent, durable before anything else moves.
    {
        FileSaver intent(intentPath, ops, SaveMode{false, 0, true});
        intent.Write(IntentText(in));
        if (!intent.Commit())
            return Fail(NoteStatus::IoError, intentPath, intent.ErrorCode());
    }
    auto rollBack = [&](const std::string& path, int err) {
        FinishLocked(base, ops); // best effort: else the next save finishes it
        return Fail(NoteStatus::IoError, path, err);
    };
    // (2) The note past the end, its first block last: no live block is touched.
    if (!body.empty()) {
        const int64_t at = in.newFirst * static_cast<int64_t>(kBlock);
        int r = 0;
        if (body.size() > kBlock)
            r = ops.WriteAt(f.fd, at + static_cast<int64_t>(kBlock), body.data() + kBlock,
                            body.size() - kBlock);
        if (r == 0)
            r = ops.WriteAt(f.fd, at, body.data(), kBlock);
        if (r == 0)
            r = ops.Flush(f.fd);
        if (r != 0)
            return rollBack(notPath, r);
    }
    // (3) The entries: in place, where the first one to change commits the
    // save (the recovery finishes it from the intent); or replaced whole,
    // where the rename commits it.
    if (in.inPlace) {
        if (int r = WriteEntryChanges(ops, pntPath, in.changes)) {
            bool committed = false;
            if (FinishLocked(base, ops, &committed) == 0 && committed)
                return result;
            return Fail(NoteStatus::IoError, pntPath, r);
        }
    } else {
        FileSaver pnt(pntPath, ops, SaveMode{false, 0, true});
        pnt.Write(EntryBytes(after));
        if (!pnt.Commit())
            return rollBack(pntPath, pnt.ErrorCode());
    }
    // (4) The old blocks, so that no import brings the old text back; (5) the
    // intent.  A failure here is finished by the next save or import.
    if (ZeroBlocks(ops, f.fd, size, in.oldFirst, in.oldCount) == 0)
        ops.Remove(intentPath);
    return result;
}

std::string UnwritableNotesFile(const std::string& base, FileSystemOps& ops)
{
    for (const char* ext : {".PNT", ".NOT"}) {
        const std::string path = Ext(base, ext);
        if (FileExists(path) && !FileWritable(path))
            return path;
    }
    int fd = -1;
    std::string temp;
    if (ops.CreateTemp(FolderOf(base), ".notes-probe-", &fd, &temp) != 0)
        return Ext(base, ".PNT");
    ops.Close(fd);
    ops.Remove(temp);
    return {};
}

NoteEditLock::~NoteEditLock()
{
    Drop();
}

NoteEditLock::Result NoteEditLock::Take(const std::string& base)
{
    Drop();
    const std::string path = Ext(base, ".SMF");
    bool existed = false;
    uint64_t inode = 0;
    if (CreateExclusiveFile(path, "Edit is in progress\r\n", &inode, &existed) != 0)
        return existed || FileExists(path) ? Result::Foreign : Result::Failed;
    path_ = path;
    inode_ = inode;
    return Result::Taken;
}

void NoteEditLock::Drop()
{
    if (inode_ == 0)
        return;
    FileStamp s;
    if (GetFileStamp(path_, &s) && s.inode == inode_)
        RealFileSystem().Remove(path_);
    inode_ = 0;
}
