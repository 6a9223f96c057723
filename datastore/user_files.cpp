#include "datastore/user_files.h"

#include <mutex>
#include <new>

#include "datastore/db_table.h"
#include "datastore/run_log.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files_internal.h"
#include "datastore/zlp_table.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"

namespace {

HookTable<UserFileHooks>& Hooks()
{
    static HookTable<UserFileHooks> table;
    return table;
}

template <class T>
std::shared_ptr<const T> Empty()
{
    static const std::shared_ptr<const T> empty = std::make_shared<const T>();
    return empty;
}

// The published states: swapped whole, read by copying the pointer.
GuardedValue<std::shared_ptr<const SignListState>> gSignList;
GuardedValue<std::shared_ptr<const NoteMarksState>> gNoteMarks;
GuardedValue<std::shared_ptr<const TBits>> gMaximMarks;

std::atomic<bool> gNotesEnabled{true};
std::atomic<bool> gNoteMarksOn{false};
FileStamp gNotesFileAge; // guarded by UserFilesMutex()
bool gNotesAgeKnown = false;

} // namespace

std::mutex& UserFilesMutex()
{
    static std::mutex m;
    return m;
}

UserFileHooks SetUserFileHooks(UserFileHooks hooks)
{
    return Hooks().Set(std::move(hooks));
}

UserFileHooks CurrentUserFileHooks()
{
    return Hooks().Get();
}

void UserShowError(const std::string& text)
{
    if (const auto show = Hooks().Function(&UserFileHooks::showError))
        show(text);
    else
        AppendRunLog("error: " + text + "\r\n");
}

void UserShowMessage(const std::string& text)
{
    if (const auto show = Hooks().Function(&UserFileHooks::showMessage))
        show(text);
    else
        AppendRunLog(text + "\r\n");
}

std::string FileName(std::string_view configured)
{
    return Cp1250ToUtf8(configured);
}

std::string MessagePath(std::string_view path)
{
    std::string out;
    if (!Utf8ToCp1250(path, out))
        return std::string(path);
    return out;
}

std::string NotesFolderPath()
{
    std::string folder = Hooks().Call(&UserFileHooks::notesFolder);
    return folder.empty() ? DataDir() : WithTrailingSlash(folder);
}

int32_t OpenDrugCodes(TDbTable& t, std::string_view index)
{
    OpenTable(t, TFileId("kl"), TFileId(index), static_cast<uint16_t>(kKlLayout.Length()));
    return DbStatus;
}

void CloseTable(TDbTable& t)
{
    OpenTable(t, TFileId(), TFileId(), 0);
}

int32_t FindDrug(TDbTable& t, std::string_view code, std::string& rec)
{
    FindRecord(t, code, rec);
    if (DbStatus != 0 || FieldDiffers(rec, kDrugCode.start, static_cast<int>(code.size()), code) != 0)
        return 0;
    return t.recNo;
}

void NotesMessageSink::Message(std::string_view message)
{
    if (message.empty())
        return;
    std::string text(message);
    const char kind = text[0];
    if (kind == '!') {
        UserShowError(text);
        return;
    }
    text[0] = ' ';
    if (kind == 'E' || kind == 'W')
        UserShowError(text);
    else if (kind == 'M')
        UserShowMessage(text);
}

// ------------------------------------------------------------- sign list

std::shared_ptr<const SignListState> SignListSnapshot()
{
    auto s = gSignList.Get();
    return s ? s : Empty<SignListState>();
}

bool SignListHas(const SignListState& list, int64_t record)
{
    if (!list.active || record < 0)
        return false;
    const auto word = static_cast<size_t>(record / 16);
    return word < list.words.size() && (list.words[word] >> (record % 16) & 1) != 0;
}

bool SignListNameWritable(std::string_view name)
{
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
        return false;
    for (std::string_view reserved : {"KL", "ATC", "KK", "VIDUD"})
        if (AsciiEqualsIgnoreCase(name, reserved))
            return false;
    return true;
}

namespace {

void PublishSignList(std::vector<uint16_t> words, bool active)
{
    auto s = std::make_shared<SignListState>();
    s->words = std::move(words);
    s->active = active;
    gSignList.Exchange(std::move(s));
}

void SwitchSignListOff()
{
    PublishSignList({}, false);
    Hooks().Call(&UserFileHooks::clearSignList);
}

// The drug table's record count n from an own handle; 0 when it cannot open.
int32_t DrugRecordCount()
{
    TDbTable t;
    const int32_t n = OpenDrugCodes(t, "klkod") == 0 ? t.dat.count : 0;
    CloseTable(t);
    return n;
}

// Under the user-files lock.
void RebuildLocked(const std::string& name, int32_t n)
{
    std::vector<uint16_t> words(SignWordCount(n));
    NotesMessageSink sink;
    int count;
    if (!SignListNameWritable(name)) {
        sink.Message(ProgramText("NotUp", "NeVytv") + MessagePath(NotesFolderPath()) + name);
        count = -3;
    } else {
        count = ImportSignList(NotesFolderPath() + FileName(name), sink, words);
    }
    if (count < 0) {
        SwitchSignListOff();
        return;
    }
    PublishSignList(std::move(words), count > 0);
    UserShowMessage(ProgramText("Hlasky", "SgnOK") + std::to_string(count));
}

} // namespace

void LoadSignList()
{
    std::lock_guard lock(UserFilesMutex());
    const std::string name = Hooks().Call(&UserFileHooks::signListName);
    const int32_t n = name.empty() ? 0 : DrugRecordCount();
    if (name.empty())
        PublishSignList({}, false);
    if (name.empty())
        return;
    if (n <= 0) {
        PublishSignList({}, false);
        AppendRunLog("sign list " + name + ": no drug table\r\n");
        return; // off for this run; SIGN= stays for the next
    }
    const bool shipped = AsciiEqualsIgnoreCase(name, "KL") || AsciiEqualsIgnoreCase(name, "VIDUD");
    const std::string folder = shipped ? DataDir() : NotesFolderPath();
    const std::string path = ResolvePath(folder + FileName(name) + ".SGN");
    std::string bytes;
    if (ReadWholeFile(path, bytes) != 0) {
        UserShowError(name + ".SGN" + ProgramText("Hlasky", "NoSgn"));
        SwitchSignListOff();
        return;
    }
    const size_t count = SignWordCount(n);
    if (bytes.size() == count * 2) {
        std::vector<uint16_t> words(count);
        for (size_t i = 0; i < count; ++i)
            words[i] = DecodeLE16(bytes.data() + 2 * i);
        PublishSignList(std::move(words), true);
        return;
    }
    if (AsciiEqualsIgnoreCase(name, "VIDUD")) {
        // Rebuilding would write elsewhere and repeat at every start.
        UserShowError(name + ".SGN" + ProgramText("Hlasky", "NoSgn"));
        SwitchSignListOff();
        return;
    }
    RebuildLocked(name, n);
}

void RebuildSignList()
{
    std::lock_guard lock(UserFilesMutex());
    const std::string name = Hooks().Call(&UserFileHooks::signListName);
    if (name.empty()) {
        PublishSignList({}, false);
        return;
    }
    const int32_t n = DrugRecordCount();
    if (n <= 0) {
        PublishSignList({}, false);
        AppendRunLog("sign list " + name + ": no drug table\r\n");
        return;
    }
    RebuildLocked(name, n);
}

namespace {

// Exactly 7 leading digits.
bool CodeLine(std::string_view line)
{
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
        ++digits;
    return digits == 7;
}

} // namespace

int ImportSignList(const std::string& base, NoteMessageSink& sink, std::vector<uint16_t>& words,
                   FileSystemOps& ops)
{
    std::string source;
    std::string sourcePath = ResolvePath(base + ".TXT");
    if (!FileExists(sourcePath))
        sourcePath = ResolvePath(base + ".CSV");
    if (ReadWholeFile(sourcePath, source) != 0) {
        sink.Message(ProgramText("NotUp", "SSrc") + MessagePath(base));
        return -2;
    }
    const size_t slash = base.find_last_of('/');
    if (!SignListNameWritable(slash == std::string::npos ? base : base.substr(slash + 1))) {
        sink.Message(ProgramText("NotUp", "NeVytv") + MessagePath(base) + ".SGN");
        return -3;
    }
    const std::string sgnPath = ResolvePath(base + ".SGN");
    const std::string othPath = ResolvePath(base + ".OTH");
    const SaveMode mode{false, 0, true};
    FileSaver oth(othPath, ops, mode);
    FileSaver sgn(sgnPath, ops, mode);
    for (FileSaver* f : {&oth, &sgn}) {
        if (f->HasError()) {
            sink.Message(ProgramText("NotUp", "NeVytv") + MessagePath(f->TargetPath()));
            return -3;
        }
    }
    std::string report = ProgramText("NotUp", "SDN");
    std::fill(words.begin(), words.end(), 0);

    TDbTable t;
    OpenDrugCodes(t, "klkod");
    std::string rec;
    int count = 0;
    bool missing = false;
    std::string_view rest = source;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!CodeLine(line))
            continue;
        const std::string_view code = line.substr(0, 7);
        const int32_t r = t.dat.IsOpen() ? FindDrug(t, code, rec) : 0;
        const size_t word = static_cast<size_t>(r / 16);
        if (r <= 0 || word >= words.size()) {
            report += "\r\n";
            report += code;
            missing = true;
            continue;
        }
        const auto bit = static_cast<uint16_t>(1u << (r % 16));
        if ((words[word] & bit) == 0) {
            words[word] |= bit;
            ++count;
        }
    }
    CloseTable(t);

    auto fail = [&](const FileSaver& f) {
        sink.Message(ProgramText("NotUp", "NeVytv") + MessagePath(f.TargetPath()));
        return -3;
    };
    if (count == 0) {
        if (int err = ops.Remove(sgnPath); err != 0 && err != ENOENT)
            return fail(sgn);
    } else {
        std::string bytes;
        bytes.reserve(words.size() * 2);
        for (uint16_t w : words)
            AppendLE16(bytes, w);
        if (!sgn.Write(bytes) || !sgn.Commit())
            return fail(sgn);
    }
    if (!missing) {
        if (int err = ops.Remove(othPath); err != 0 && err != ENOENT)
            return fail(oth);
    } else if (!oth.Write(report) || !oth.Commit()) {
        return fail(oth);
    }
    return count;
}

// ----------------------------------------------------------------- notes

std::shared_ptr<const NoteMarksState> NoteMarksSnapshot()
{
    auto s = gNoteMarks.Get();
    return s ? s : Empty<NoteMarksState>();
}

bool NoteMarksHas(const NoteMarksState& marks, int64_t record)
{
    if (record < 0)
        return false;
    const auto word = static_cast<size_t>(record / 16);
    return word < marks.words.size() && (marks.words[word] >> (record % 16) & 1) != 0;
}

bool NotesEnabled()
{
    return gNotesEnabled.load();
}

bool NoteMarksOn()
{
    return gNoteMarksOn.load();
}

void RequestNoteMarksReloadLocked()
{
    gNoteMarksOn = true;
    gNotesAgeKnown = false;
}

void RequestNoteMarksReload()
{
    std::lock_guard lock(UserFilesMutex());
    RequestNoteMarksReloadLocked();
}

std::string NotesBasePath()
{
    std::string name = Hooks().Call(&UserFileHooks::notesName);
    if (name.empty())
        name = "NOTES";
    return NotesFolderPath() + FileName(name);
}

void LoadNoteMarksLocked()
{
    const std::string base = NotesBasePath();
    gNotesEnabled = !FileExists(ResolvePath(base + ".SMF"));
    if (!gNotesEnabled || !gNoteMarksOn)
        return;
    const std::string pnt = ResolvePath(base + ".PNT");
    FileStamp age;
    if (!GetFileStamp(pnt, &age)) {
        gNoteMarksOn = false;
        return;
    }
    if (gNotesAgeKnown && age == gNotesFileAge)
        return;
    FileLock lock;
    if (lock.Take(pnt, false, 2000) != 0)
        return; // an import holds the set: keep the marks we have
    const int32_t n = DrugRecordCount();
    std::string bytes;
    const int io = ReadWholeFile(pnt, bytes);
    lock.Release();
    gNotesFileAge = age;
    gNotesAgeKnown = true;
    gNoteMarksOn = false;
    if (io != 0 || n <= 0 || bytes.size() != static_cast<size_t>(n) * 2) {
        gNoteMarks.Exchange(Empty<NoteMarksState>());
        UserShowError(ProgramText("Hlasky", "Update"));
        return;
    }
    auto marks = std::make_shared<NoteMarksState>();
    marks->words.assign(static_cast<size_t>(n / 16 + 1), 0);
    for (int32_t r = 0; r < n; ++r)
        if (DecodeLE16(bytes.data() + 2 * r) != 0xFFFF)
            marks->words[static_cast<size_t>(r / 16)] |= static_cast<uint16_t>(1u << (r % 16));
    gNoteMarks.Exchange(std::move(marks));
    gNoteMarksOn = true;
}

void LoadNoteMarks()
{
    std::lock_guard lock(UserFilesMutex());
    LoadNoteMarksLocked();
}

// ------------------------------------------------------ maximal-dose marks

namespace {
std::atomic<bool> gMaximOn{false};
} // namespace

bool MaximFeatureOn()
{
    return gMaximOn.load();
}

std::shared_ptr<const TBits> MaximMarksSnapshot()
{
    auto s = gMaximMarks.Get();
    return s ? s : Empty<TBits>();
}

int LoadMaximList()
{
    std::lock_guard lock(UserFilesMutex());
    std::string text;
    const std::string folder = Hooks().Call(&UserFileHooks::maximDir);
    if (int io = ReadWholeFile(ResolvePath(folder + ".maxim.stx"), text))
        return io;
    TDbTable t;
    if (int32_t status = OpenDrugCodes(t, "klkod")) {
        CloseTable(t);
        return status;
    }
    const int32_t n = t.dat.count;
    auto marks = std::make_shared<TBits>(static_cast<size_t>((n + 1) / 8 + 1), 0);
    std::string rec;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() < 7)
            continue;
        if (const int32_t r = FindDrug(t, line.substr(0, 7), rec); r > 0)
            BitSet(*marks, r - 1);
    }
    CloseTable(t);
    gMaximMarks.Exchange(std::move(marks));
    return 0;
}

// -------------------------------------------------------------- word files

void LoadWordFile(std::string& out, const std::string& fileName)
{
    out.clear();
    std::string bytes;
    if (ReadWholeFile(ResolvePath(DataDir() + fileName), bytes) != 0)
        return;
    out.reserve(bytes.size() + 2);
    out.push_back('\n');
    out += bytes;
    out.push_back('\0');
}

// ------------------------------------------------------------ the edition

namespace {
GuardedValue<std::shared_ptr<const std::string>> gReimbColumns;
} // namespace

std::string ExpandReimbColumnLetters(std::string_view held, std::string_view init)
{
    std::string letters(held);
    if (letters.empty() || letters[0] == '-') {
        std::string all(init);
        for (size_t i = 1; i < letters.size(); ++i)
            if (const size_t at = all.find(letters[i]); at != std::string::npos)
                all.erase(at, 1);
        letters = std::move(all);
    }
    if (letters.size() > 31)
        letters.resize(31);
    return letters;
}

std::string ReimbColumnLetters()
{
    const auto s = gReimbColumns.Get();
    return s ? *s : std::string();
}

void DeclareEditionSignSets()
{
    TSignSetArray& sets = SignSets();
    if (sets.Find("kk", "MainRec") >= 0)
        return;
    AddSignSet(sets, "kk", "MainRec PreferN LatCzEn nDescrptActSubstnHomeo  ");
    AddSignSet(sets, "atc", "noEmpty Level1  ");
    AddSignSet(sets, "kl", "Actual  Act_Old nVeter  nHomeo  ActReg  Prizes  Stocked OnePack ");
}

void SetupEdition(uint8_t dataSet)
{
    std::string letters = Hooks().Call(&UserFileHooks::reimbColumns);
    bool keep = false;
    if (letters.empty() || letters[0] == '-') {
        std::string init;
        if (GetTextEntry(DataTexts, "Uhr", "Init", init) == 0) {
            keep = true; // no default in the data: the columns stay as they were
        } else {
            letters = ExpandReimbColumnLetters(letters, init);
        }
    }
    if (!keep) {
        if (letters.size() > 31)
            letters.resize(31);
        gReimbColumns.Exchange(std::make_shared<const std::string>(letters));
    }

    if (dataSet == 1) {
        RequestNoteMarksReload();
        LoadNoteMarks();
        LoadSignList();
    }

    DeclareEditionSignSets();

    std::string version;
    const bool found = GetTextEntry(DataTexts, "Verze", "Cislo", version) != 0;
    auto digit = [&version](size_t oneBased) {
        return oneBased <= version.size() && version[oneBased - 1] >= '0' && version[oneBased - 1] <= '9';
    };
    if (found && digit(3) && digit(4) && digit(6)) {
        SetDataMonth(DataMonthOfVersion(version));
    } else {
        SetDataMonth(0);
        AppendRunLog("data version \"" + version + "\" gives no month\r\n");
    }

    gMaximOn = Hooks().Call(&UserFileHooks::maximOn);
    if (gMaximOn)
        Hooks().Call(&UserFileHooks::enableMaximTimer);
}

void FreeUserFileState()
{
    std::lock_guard lock(UserFilesMutex());
    gSignList.Exchange(nullptr);
    gNoteMarks.Exchange(nullptr);
    gMaximMarks.Exchange(nullptr);
    gNotesAgeKnown = false;
}
