// The compound search (the engine cond_search and the condition window run)
// over seven condition sets, against SQLite holding the same tables in
// memory with indexes on the fields our indexes cover, each set as one query
// (joins for components and the reimbursement register).  Prints for each
// set our plan, candidates, hits and median time, SQLite's median time and
// hits, and the ratio; the hit counts must be equal.
//
//   tools/bench/make_scale_data.sh 100000 /work/wt/scale100k
//   ninja -C build bench_cond_search
//   QEVW_BENCH_DATA=/work/wt/scale100k build/tools/bench_cond_search
//
// Without QEVW_BENCH_DATA the build's demo folder is used.  Goals: under
// 50 ms for a driven search, under 1 s for a full scan.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "lists/conditions/condition_model.h"
#include "lists/conditions/condition_search.h"
#include "platform/coding.h"

namespace {

using namespace bench;

constexpr int kRuns = 9;

std::string Entry(int criterion, std::string_view value, int variant = 0)
{
    return std::string(1, static_cast<char>(criterion * 3 + variant)) + std::string(value);
}

struct Case {
    const char* name;
    bool devices;
    std::vector<std::string> entries;
    const char* sql; // a COUNT(*) query
    std::vector<std::string> params;
};

double Median(std::vector<double> v)
{
    return Percentile(std::move(v), 0.5);
}

#ifdef QEVW_HAVE_SQLITE
class Peer {
public:
    Peer()
    {
        sqlite3_open(":memory:", &db_);
        Exec("PRAGMA journal_mode=OFF");
        Exec("CREATE TABLE kl(rec INTEGER PRIMARY KEY, kod TEXT, naz TEXT, lfo TEXT, drz TEXT, zed TEXT,"
             " sr TEXT, atc TEXT, vp TEXT, uh TEXT, cc INT, ac INT, ccd INT, sil TEXT)");
        Exec("CREATE TABLE klc(rec INTEGER PRIMARY KEY, lek TEXT, kom TEXT)");
        Exec("CREATE TABLE cvzp(rec INTEGER PRIMARY KEY, kod TEXT, ozn TEXT)");
        Exec("CREATE TABLE pzt(rec INTEGER PRIMARY KEY, naz TEXT, typ TEXT, vyr TEXT, zem TEXT)");
        Exec("BEGIN");
        Load("kl", kKlLayout.Length(),
             "INSERT INTO kl VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)",
             [](sqlite3_stmt* s, std::string_view r) {
                 Text(s, 2, FieldBytes(r, kDrugCode));
                 Text(s, 3, KamFoldUpper(FieldBytes(r, kDrugName)));
                 Text(s, 4, KamFoldUpper(FieldBytes(r, kDrugForm)));
                 Text(s, 5, FieldBytes(r, kDrugHolder));
                 Text(s, 6, FieldBytes(r, kDrugHolderCountry));
                 Text(s, 7, FieldBytes(r, kDrugState));
                 Text(s, 8, FieldBytes(r, kDrugAtc));
                 Text(s, 9, FieldBytes(r, kDrugDispensing));
                 Text(s, 10, FieldBytes(r, kDrugReimbursementKind));
                 sqlite3_bind_int(s, 11,
                                  static_cast<int32_t>(DecodeLE32(r.data() + kDrugSummaryOffset.Offset())));
                 sqlite3_bind_int(
                     s, 12, static_cast<int32_t>(DecodeLE32(r.data() + kDrugAltSummaryOffset.Offset())));
                 sqlite3_bind_int(s, 13, DecodeLE16(r.data() + kDrugSummaryDate.Offset()));
                 Text(s, 14, KamFoldUpper(FieldBytes(r, kDrugStrength)));
             });
        Load("klc", kKlcLayout.Length(), "INSERT INTO klc VALUES(?1,?2,?3)",
             [](sqlite3_stmt* s, std::string_view r) {
                 Text(s, 2, FieldBytes(r, kCompositionDrug));
                 Text(s, 3, FieldBytes(r, kCompositionSubstance));
             });
        Load("cvzp", kCvzpLayout.Length(), "INSERT INTO cvzp VALUES(?1,?2,?3)",
             [](sqlite3_stmt* s, std::string_view r) {
                 Text(s, 2, FieldBytes(r, kPriceDrug));
                 Text(s, 3, FieldBytes(r, kPriceMark));
             });
        Load("pzt", kPztLayout.Length(), "INSERT INTO pzt VALUES(?1,?2,?3,?4,?5)",
             [](sqlite3_stmt* s, std::string_view r) {
                 Text(s, 2, KamFoldUpper(FieldBytes(r, kDeviceName)));
                 Text(s, 3, FieldBytes(r, kDeviceType));
                 Text(s, 4, FieldBytes(r, kDeviceMaker));
                 Text(s, 5, FieldBytes(r, kDeviceCountry));
             });
        Exec("COMMIT");
        // The fields our indexes cover.
        for (const char* sql : {"CREATE INDEX kl_naz ON kl(naz)", "CREATE INDEX kl_kod ON kl(kod)",
                                "CREATE INDEX kl_atc ON kl(atc)", "CREATE INDEX kl_drz ON kl(drz, zed)",
                                "CREATE INDEX klc_kom ON klc(kom)", "CREATE INDEX klc_lek ON klc(lek)",
                                "CREATE INDEX cvzp_kod ON cvzp(kod)", "CREATE INDEX pzt_naz ON pzt(naz)",
                                "CREATE INDEX pzt_typ ON pzt(typ)", "CREATE INDEX pzt_vyr ON pzt(vyr)",
                                "CREATE INDEX pzt_zem ON pzt(zem)", "ANALYZE"})
            Exec(sql);
    }
    ~Peer() { sqlite3_close(db_); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // The query's count and its time in ms.
    long long Count(const Case& c, double& ms)
    {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v2(db_, c.sql, -1, &q, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db_));
            return -1;
        }
        for (size_t i = 0; i < c.params.size(); ++i)
            Text(q, static_cast<int>(i) + 1, c.params[i]);
        const auto a = Clock::now();
        long long n = -1;
        if (sqlite3_step(q) == SQLITE_ROW)
            n = sqlite3_column_int64(q, 0);
        ms = Ms(a, Clock::now());
        sqlite3_finalize(q);
        return n;
    }

private:
    static void Text(sqlite3_stmt* s, int i, std::string_view v)
    {
        sqlite3_bind_text(s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    void Exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    void Load(const char* table, uint16_t length, const char* sql,
              const std::function<void(sqlite3_stmt*, std::string_view)>& bind)
    {
        TDatFile dat;
        OpenDatFile(dat, DataDir(), TFileId(table), length);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db_, sql, -1, &ins, nullptr);
        std::string record;
        for (int32_t r = 1; r < dat.count; ++r) {
            ReadRecord(dat, r, record);
            sqlite3_bind_int(ins, 1, r);
            bind(ins, record);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
    }
    sqlite3* db_ = nullptr;
};
#endif

std::string Packed(const char* date)
{
    const std::string p = PackConditionDate(date);
    return std::to_string(DecodeLE16(p.data() + 1));
}

} // namespace

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    BuildKamTables();
    SetDataDir(DataFolder());
    LoadTextTable(UiTexts, QEVW_BENCH_DEFAULT_PROGRAM "/qevw.ces");
    LoadCodeTables();
    // Values the scale set holds (make_scale_data.sh); the demo folder's
    // through the environment.
    auto value = [](const char* name, const char* fallback) {
        const char* v = std::getenv(name);
        return std::string(v != nullptr ? v : fallback);
    };
    const std::string c1 = value("QEVW_BENCH_COMPONENT1", "13750");
    const std::string c2 = value("QEVW_BENCH_COMPONENT2", "  127");
    const std::string name12 = value("QEVW_BENCH_NAME12", "BABABA 340 M");
    std::string name12End = name12;
    name12End.back() = static_cast<char>(name12End.back() + 1);
    const std::string date = Packed("A<2024/01/31");
    const std::string firstPriceRecord =
        "(SELECT ozn FROM cvzp p WHERE p.kod = k.kod ORDER BY p.rec LIMIT 1)";
    const std::vector<Case> cases = {
        {"name PARA + state R",
         false,
         {Entry(1, "PARA"), Entry(14, "R")},
         "SELECT COUNT(*) FROM kl WHERE naz >= 'PARA' AND naz < 'PARB' AND sr = 'R'",
         {}},
        {"ATC N02 + state R + dispensing",
         false,
         {Entry(6, "N02"), Entry(14, "R"), Entry(26, "R ")},
         "SELECT COUNT(*) FROM kl WHERE atc >= 'N02' AND atc < 'N03' AND sr = 'R' AND vp = 'R '",
         {}},
        {"two components, all required",
         false,
         {Entry(11, c1, 2), Entry(11, c2, 2)},
         "SELECT COUNT(*) FROM kl k WHERE EXISTS (SELECT 1 FROM klc a WHERE a.kom = ?1 AND a.lek = k.kod)"
         " AND EXISTS (SELECT 1 FROM klc b WHERE b.kom = ?2 AND b.lek = k.kod)",
         {c1, c2}},
        {"12-character name + component",
         false,
         {Entry(1, name12), Entry(11, c1)},
         "SELECT COUNT(*) FROM kl k WHERE naz >= ?1 AND naz < ?2"
         " AND EXISTS (SELECT 1 FROM klc a WHERE a.kom = ?3 AND a.lek = k.kod)",
         {name12, name12End, c1}},
        {"form + documents + strength (full scan)",
         false,
         {Entry(2, "1"), Entry(3, "TBL FLM"), Entry(9, "K+")},
         "SELECT COUNT(*) FROM kl WHERE lfo >= 'TBL FLM' AND lfo < 'TBL FLN' AND cc <> -1"
         " AND sil >= '1' AND sil < '2'",
         {}},
        {"date test + insurance data", false, {Entry(28, "A<2024/01/31"), Entry(18, "X")}, nullptr, {}},
        {"devices: type + maker",
         true,
         {Entry(4, "01"), Entry(5, "MDT")},
         "SELECT COUNT(*) FROM pzt WHERE typ = '01' AND vyr = 'MDT'",
         {}},
    };
    const std::string dateSql = "SELECT COUNT(*) FROM kl k WHERE cc <> -1 AND ccd < " + date +
                                " AND uh > ' ' AND " + firstPriceRecord + " > 'W'";

#ifdef QEVW_HAVE_SQLITE
    const auto loadStart = Clock::now();
    Peer peer;
    std::printf("SQLite peer loaded in %.0f ms (in memory, indexed)\n", Ms(loadStart, Clock::now()));
#endif
    ConditionSearchSettings settings;
    settings.documentLetters = FlagLetters();
    int mismatches = 0;
    std::printf("%-34s %-9s %10s %7s %10s %10s %8s %7s\n", "set", "plan", "candidates", "hits", "ours ms",
                "sqlite ms", "sq hits", "ratio");
    for (const Case& c : cases) {
        if (const char* only = std::getenv("QEVW_BENCH_ONLY");
            only && std::string(c.name).find(only) == std::string::npos)
            continue;
        std::vector<double> ours;
        ConditionSearchResult r;
        for (int i = 0; i < kRuns; ++i) {
            const auto a = Clock::now();
            r = RunConditionSearch(c.entries, c.devices, settings);
            ours.push_back(Ms(a, Clock::now()));
        }
        const double ourMs = Median(ours);
        double sqlMs = 0;
        long long sqlHits = -1;
#ifdef QEVW_HAVE_SQLITE
        Case q = c;
        if (q.sql == nullptr)
            q.sql = dateSql.c_str();
        std::vector<double> theirs;
        for (int i = 0; i < kRuns; ++i) {
            double ms = 0;
            sqlHits = peer.Count(q, ms);
            theirs.push_back(ms);
        }
        sqlMs = Median(theirs);
#endif
        const std::string plan = r.plan.fullScan ? "scan" : r.plan.driveIndex;
        std::printf("%-34s %-9s %10lld %7zu %10.3f %10.3f %8lld %7.2f\n", c.name, plan.c_str(),
                    static_cast<long long>(r.plan.candidates), r.hits.size(), ourMs, sqlMs, sqlHits,
                    sqlMs > 0 ? ourMs / sqlMs : 0.0);
        if (sqlHits >= 0 && sqlHits != static_cast<long long>(r.hits.size()) && r.hits.size() < 5000) {
            std::printf("  MISMATCH: ours %zu, SQLite %lld\n", r.hits.size(), sqlHits);
            ++mismatches;
        }
    }
    std::printf("ratio = ours / SQLite (below 1: we are faster)\n");
    return mismatches == 0 ? 0 : 1;
}
