// The note save against its peer, in the same run: one note of a 16 MB
// ".NOT" with 100,000 entries rewritten (intent, append, entries written in
// place, old blocks zeroed, each synced) against SQLite updating one row's text of a
// 100,000-row table (WAL, synchronous=FULL).  Over the scale set's "kl" when
// QEVW_BENCH_DATA names one (tools/bench/make_scale_data.sh), else a table
// of 100,000 drugs written here.  Showing a 99,700-byte note: the notes
// window's display text and wrapping against QPlainTextEdit laying out the
// same text.

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/notes_store.h"
#include "datastore/table_layouts.h"
#include "platform/fs.h"
#include "viewers/notes_text.h"
#include "writers/dat_writer.h"
#include "writers/notes_writer.h"
#include "writers/sez_writer.h"

namespace {

constexpr int kDrugs = 100000;

std::string Code(int record)
{
    return std::to_string(10000000 + record).substr(1);
}

// A data folder with "kl" of 100,000 drugs and a notes set of the writer:
// every drug its own note of about 160 bytes (16 MB of blocks with padding).
struct Fixture {
    QTemporaryDir dir;
    std::string data, base;
    Fixture()
    {
        data = dir.path().toStdString() + "/";
        const DatLayout kl(kKlLayout);
        std::vector<std::string> records;
        records.reserve(kDrugs);
        for (int r = 1; r <= kDrugs; ++r) {
            std::string rec = kl.BlankRecord();
            kl.PutText(rec, "KOD", Code(r));
            records.push_back(std::move(rec));
        }
        WriteDatFile(data + "kl.dat", kl, records);
        WriteSezFile(data + "klkod.sez", records, SezKeySpec{0, 7, 32, 7});
        SetDataDir(data);
        base = data + "NOTES";
        std::vector<NoteSpec> notes;
        for (int r = 1; r < 0xFF00 && r <= kDrugs; ++r)
            notes.push_back({"01" + Code(r) + " DRUG\r\n" + std::string(150, 'n') + "\r\n", {r}});
        WriteNotesSet(base, notes, kDrugs + 1);
    }
};

std::string ReadAll(const std::string& p)
{
    std::string s;
    ReadWholeFile(p, s);
    return s;
}

Fixture& Data()
{
    static Fixture f;
    return f;
}

void BM_NoteSave(benchmark::State& st)
{
    Fixture& f = Data();
    int round = 0;
    std::vector<double> ms;
    for (auto _ : st) {
        const int record = 1 + (round++ % 1000);
        const auto t0 = bench::Clock::now();
        NoteEditBase edit;
        ReadNoteForEdit(f.base, record, &edit);
        const NoteResult r = SaveNoteText(
            f.base, edit, "01" + Code(record) + " DRUG\r\nedited " + std::to_string(round) + "\r\n");
        ms.push_back(bench::Ms(t0, bench::Clock::now()));
        if (r.status != NoteStatus::Ok)
            st.SkipWithError(("save failed: " + std::to_string(static_cast<int>(r.status)) + " " + r.path +
                              " " + std::to_string(r.error))
                                 .c_str());
    }
    st.counters["not_mb"] = static_cast<double>(ReadAll(f.base + ".NOT").size()) / 1e6;
    bench::ReportSpread(st, "", ms);
}

#ifdef QEVW_HAVE_SQLITE
void BM_SqliteUpdateRow(benchmark::State& st)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/notes.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE notes(record INTEGER PRIMARY KEY, text BLOB)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO notes VALUES(?1, ?2)", -1, &ins, nullptr);
    const std::string text = std::string(150, 'n');
    for (int r = 1; r <= kDrugs; ++r) {
        sqlite3_bind_int(ins, 1, r);
        sqlite3_bind_blob(ins, 2, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_stmt* up = nullptr;
    sqlite3_prepare_v2(db, "UPDATE notes SET text = ?2 WHERE record = ?1", -1, &up, nullptr);
    int round = 0;
    std::vector<double> ms;
    for (auto _ : st) {
        const int record = 1 + (round++ % 1000);
        const std::string edited = "edited " + std::to_string(round);
        const auto t0 = bench::Clock::now();
        sqlite3_bind_int(up, 1, record);
        sqlite3_bind_blob(up, 2, edited.data(), static_cast<int>(edited.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(up) != SQLITE_DONE)
            st.SkipWithError("update failed");
        sqlite3_reset(up);
        ms.push_back(bench::Ms(t0, bench::Clock::now()));
    }
    sqlite3_finalize(up);
    sqlite3_close(db);
    bench::ReportSpread(st, "", ms);
}
BENCHMARK(BM_SqliteUpdateRow)->Unit(benchmark::kMillisecond)->Iterations(200);
#endif

std::string BigNote()
{
    std::string note = "01" + Code(1) + " DRUG\r\n";
    while (note.size() < kShownNoteLimit - 80)
        note += "a line of the user's own note text that wraps in the window, with words\r\n";
    return note;
}

void BM_ShowBigNote(benchmark::State& st)
{
    const std::string note = BigNote();
    CharWidths widths{};
    widths.fill(7);
    for (auto _ : st) {
        const NoteDisplay d = BuildNoteDisplay(note);
        const std::vector<size_t> lines = WrapDisplayLines(d.text, 600, widths);
        benchmark::DoNotOptimize(lines.data());
    }
}

void BM_PlainTextEditBigNote(benchmark::State& st)
{
    const QString text = QString::fromLatin1(BigNote());
    QPlainTextEdit edit;
    edit.resize(640, 480);
    for (auto _ : st) {
        edit.setPlainText(text);
        benchmark::DoNotOptimize(edit.document()->blockCount());
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_NoteSave)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_ShowBigNote)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTextEditBigNote)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::RunBenchmarks<QApplication>(argc, argv);
}
