// The user's sign list and notes set survive a kill at any moment of their
// saves: a child imports in a loop while the parent kills it (see
// tests/support/kill_harness.h).

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/user_files.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "support/drug_codes.h"
#include "support/kill_harness.h"

namespace {

constexpr int kDrugs = 40;

std::string Code(int record)
{
    return test_support::DrugCode(record);
}

struct QuietSink : NoteMessageSink {
    void Message(std::string_view) override {}
};

// "version N" in a text: N, or -1.
int VersionIn(const std::string& text)
{
    const size_t at = text.find("version ");
    if (at == std::string::npos)
        return -1;
    return std::atoi(text.c_str() + at + 8);
}

int VersionOfFile(const std::string& path)
{
    std::string text;
    return ReadWholeFile(path, text) == 0 ? VersionIn(text) : -1;
}

std::vector<uint16_t> WordsOf(const std::string& bytes)
{
    std::vector<uint16_t> words(bytes.size() / 2);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = DecodeLE16(bytes.data() + 2 * i);
    return words;
}

class KillSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        const std::string folder = data.path().toStdString() + "/";
        test_support::WriteDrugCodes(folder, kDrugs);
        oldDataDir = DataDir();
        SetDataDir(folder);
        oldHooks = CurrentUserFileHooks();
        FreeUserFileState();
    }
    void TearDown() override
    {
        FreeUserFileState();
        SetUserFileHooks(oldHooks);
        SetDataDir(oldDataDir);
    }

    // The hooks of a start whose user files live in `folder`.
    static void StartIn(const std::string& folder)
    {
        UserFileHooks h;
        h.signListName = [] { return std::string("KILL"); };
        h.notesName = [] { return std::string("NOTES"); };
        h.notesFolder = [folder] { return folder; };
        SetUserFileHooks(h);
    }

    QTemporaryDir data;
    std::string oldDataDir;
    UserFileHooks oldHooks;
};

TEST_F(KillSave, ASignListImportKilledAnywhereLeavesWholeFiles)
{
    if (kill_test::ThreadSanitized())
        GTEST_SKIP() << "the thread sanitizer slows a forked child too much";
    // Version k lists a third of the drugs (which third and how many lines
    // change with k) and one code the table does not hold.
    const auto source = [](int k) {
        std::string t = "version " + std::to_string(k) + "\r\n";
        for (int r = 1; r <= kDrugs; ++r)
            if ((r * 7 + k) % 3 == 0 || r == 1 + k % kDrugs)
                t += Code(r) + "\r\n";
        t += std::to_string(9900000 + k % 100000) + "\r\n";
        return t;
    };
    kill_test::Kind kind;
    kind.name = "sign list";
    kind.files = {"KILL.TXT", "KILL.SGN", "KILL.OTH"};
    kind.save = [&](const std::string& folder, int k, const std::function<void()>& moment) {
        WriteFileAtomic(folder + "KILL.TXT", source(k));
        if (moment)
            moment();
        QuietSink sink;
        std::vector<uint16_t> words(SignWordCount(kDrugs + 1));
        ImportSignList(folder + "KILL", sink, words);
    };
    kind.version = [](const std::string& folder) { return VersionOfFile(folder + "KILL.TXT"); };
    kind.nextStart = [](const std::string& folder, int) -> std::string {
        std::string before;
        ReadWholeFile(folder + "KILL.SGN", before);
        StartIn(folder);
        LoadSignList();
        const auto list = SignListSnapshot();
        std::string after;
        ReadWholeFile(folder + "KILL.SGN", after);
        if (!list->active)
            return "the sign list is off after a start";
        if (after != before)
            return "the start rewrote the sign set";
        if (list->words != WordsOf(before))
            return "the start read other signs than the file holds";
        return "";
    };
    kill_test::Run(kind).Go();
}

TEST_F(KillSave, ANotesImportKilledAnywhereLeavesWholeFilesAndAConsistentPair)
{
    if (kill_test::ThreadSanitized())
        GTEST_SKIP() << "the thread sanitizer slows a forked child too much";
    // Version k: three notes naming drugs that move with k (one by its short
    // code), with texts of changing length, so that the set and its pointers
    // differ from one version to the next.
    const auto notes = [](int k) {
        std::string set;
        for (int i = 0; i < 3; ++i) {
            const int first = 1 + (k + 5 * i) % kDrugs;
            const int second = 1 + (3 * k + i) % kDrugs;
            std::string note = std::string(2, '\0') + "01" + Code(first).substr(2) + "\r\n01" + Code(second) +
                               "\r\n02version " + std::to_string(k) + "\r\n" +
                               std::string(static_cast<size_t>((k * 37 + i * 101) % 600), 'x');
            note.resize((note.size() / 256 + 1) * 256, '\0');
            set += note;
        }
        return set;
    };
    kill_test::Kind kind;
    kind.name = "notes";
    kind.files = {"NOTES.NOT", "NOTES.PNT", "NOTES.OTH"};
    kind.pair = {"NOTES.NOT", "NOTES.PNT"};
    kind.pairSettled = [](const std::string& folder) { return !FileExists(folder + "NOTES.SMF"); };
    kind.save = [&](const std::string& folder, int k, const std::function<void()>& moment) {
        // The notes program writes the set, then the import indexes it.
        WriteFileAtomic(folder + "NOTES.NOT", notes(k));
        if (moment)
            moment();
        QuietSink sink;
        NoteFiles(folder + "NOTES", "-A ", sink);
    };
    kind.version = [](const std::string& folder) { return VersionOfFile(folder + "NOTES.NOT"); };
    kind.nextStart = [](const std::string& folder, int) -> std::string {
        StartIn(folder);
        RequestNoteMarksReload();
        LoadNoteMarks();
        if (FileExists(folder + "NOTES.SMF"))
            return NotesEnabled() ? "notes are on while an import's lock stays" : "";
        std::string pnt;
        if (ReadWholeFile(folder + "NOTES.PNT", pnt) != 0)
            return "no pointer file";
        if (!NotesEnabled() || !NoteMarksOn())
            return "notes are off after a start";
        const auto marks = NoteMarksSnapshot();
        const std::vector<uint16_t> pointers = WordsOf(pnt);
        for (int r = 0; r < static_cast<int>(pointers.size()); ++r)
            if (NoteMarksHas(*marks, r) != (pointers[static_cast<size_t>(r)] != 0xFFFF))
                return "record " + std::to_string(r) + " is marked otherwise than its pointer says";
        return "";
    };
    // An import killed after it took its lock leaves the lock for someone to
    // look at; that someone removes it (and the harness imports again).
    kind.tidy = [](const std::string& folder) {
        QFile::remove(QString::fromStdString(folder + "NOTES.SMF"));
    };
    kill_test::Run(kind).Go();
}

} // namespace
