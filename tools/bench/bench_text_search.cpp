// The full-text search over every document file of a data set, against
// ripgrep over the same texts decoded one file per record and against an
// SQLite FTS5 trigram index of them; and the table decoder against the tree
// walk and zlib inflate on the same texts.
//
//   bench_text_search [DATA] [--keep WORKDIR] [--no-sqlite] [--decode-only]
//
// DATA defaults to build/scale-data (tools/bench/make_scale_data.sh).  Every
// search runs once to warm the caches, then is timed best of three.  Prints
// one line per measurement: the figures, the peer's and the ratio.

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <zlib.h>

#include "datastore/huff_table_decoder.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "lists/search/text_search_engine.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "zlib_peer.h"

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()>& f, int runs = 3)
{
    f(); // warm
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

struct Doc {
    std::string file; // "kodex"
    int64_t offset;
    std::string packed;
    uint32_t textLength;
    std::string text; // decoded, without the closing zeros
};

std::string Deflate(const std::string& text)
{
    return DeflateRaw(text, 6, 8);
}

std::string Capitalised(const std::string& w)
{
    std::string c = w;
    c[0] = static_cast<char>(UpperTable[static_cast<unsigned char>(c[0])]);
    return c;
}

// A ripgrep pattern for bytes of the data code page: fixed strings where
// they are ASCII, else a byte regex.
std::vector<std::string> RgArgs(const std::vector<std::string>& words, bool& fixed)
{
    fixed = true;
    for (const std::string& w : words)
        for (char c : w)
            if (static_cast<unsigned char>(c) >= 0x80)
                fixed = false;
    std::vector<std::string> args;
    for (const std::string& w : words)
        for (const std::string& form : {w, Capitalised(w)}) {
            std::string p;
            for (char c : form) {
                const unsigned char b = static_cast<unsigned char>(c);
                if (fixed) {
                    p.push_back(c);
                } else if (b >= 0x80 || !std::isalnum(b)) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\x%02X", b);
                    p += hex;
                } else {
                    p.push_back(c);
                }
            }
            args.push_back(p);
        }
    return args;
}

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

int main(int argc, char** argv)
{
    std::string data = "build/scale-data/";
    std::string work;
    bool sqlite = true;
    bool decodeOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--keep" && i + 1 < argc)
            work = argv[++i];
        else if (a == "--no-sqlite")
            sqlite = false;
        else if (a == "--decode-only")
            decodeOnly = true;
        else
            data = a;
    }
    if (data.back() != '/')
        data += '/';
    BuildKamTables();
    const char* const files[] = {"kodex", "kodexa", "letak", "spc"};

    // ------------------------------------------------------------ the texts
    std::vector<Doc> docs;
    size_t packedBytes = 0, textBytes = 0;
    for (const char* f : files) {
        TPackedTextFile reader;
        if (!OpenPackedText(reader, data + f + ".dat")) {
            std::fprintf(stderr, "cannot open %s%s.dat\n", data.c_str(), f);
            return 1;
        }
        int64_t at = kPackedHeaderSize;
        const int64_t size = reader.file.Size();
        while (at < size) {
            PackedRecordHead head;
            if (ReadPackedHead(reader, at, head) != 0)
                break;
            Doc d{f, at, std::string(head.dataLength, '\0'), head.textLength, {}};
            reader.file.ReadAt(head.dataOffset, d.packed.data(), d.packed.size());
            if (reader.compressed)
                UnpackRecordText(d.packed, head.textLength, d.text);
            else
                d.text = d.packed;
            d.text.resize(head.textLength);
            packedBytes += d.packed.size();
            textBytes += d.text.size();
            docs.push_back(std::move(d));
            at = head.nextOffset;
        }
    }
    const double textMB = static_cast<double>(textBytes) / 1e6;
    std::printf("data %s: %zu texts, %.1f MB packed, %.1f MB decoded\n", data.c_str(), docs.size(),
                static_cast<double>(packedBytes) / 1e6, textMB);

    // ------------------------------------------------------------- decoding
    {
        std::vector<std::string> zipped;
        for (const Doc& d : docs)
            zipped.push_back(Deflate(d.text + std::string(2, '\0')));
        std::string out;
        std::vector<uint8_t> buf;
        const HuffTableDecoder& fast = ProgramHuffTableDecoder();
        const double tTable = Seconds([&] {
            for (const Doc& d : docs) {
                const int start = static_cast<int>(d.textLength + 1000 - d.packed.size());
                buf.resize(static_cast<size_t>(start) + d.packed.size());
                fast.Decode(reinterpret_cast<const uint8_t*>(d.packed.data()),
                            static_cast<int>(d.packed.size()), static_cast<int>(d.packed.size()), start,
                            buf.data());
            }
        });
        const double tTree = Seconds(
            [&] {
                for (const Doc& d : docs)
                    UnpackRecordText(d.packed, d.textLength, out);
            },
            1);
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        const double tZlib = Seconds([&] {
            for (size_t i = 0; i < docs.size(); ++i) {
                out.resize(docs[i].text.size() + 2);
                inflateReset(&z);
                z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zipped[i].data()));
                z.avail_in = static_cast<uInt>(zipped[i].size());
                z.next_out = reinterpret_cast<Bytef*>(out.data());
                z.avail_out = static_cast<uInt>(out.size());
                inflate(&z, Z_FINISH);
            }
        });
        inflateEnd(&z);
        size_t zbytes = 0;
        for (const std::string& s : zipped)
            zbytes += s.size();
        std::printf("decode: table %.0f MB/s, tree walk %.0f MB/s, zlib inflate %.0f MB/s "
                    "(table/zlib %.2f, table/tree %.2f); packed %.1f MB vs deflate-6 %.1f MB\n",
                    textMB / tTable, textMB / tTree, textMB / tZlib, tZlib / tTable, tTree / tTable,
                    static_cast<double>(packedBytes) / 1e6, static_cast<double>(zbytes) / 1e6);
    }

    if (decodeOnly)
        return 0;

    // ------------------------------------------------ one file per record
    const bool ownWork = work.empty();
    if (ownWork)
        work = (fs::temp_directory_path() / ("bench_text_search_" + std::to_string(::getpid()))).string();
    fs::create_directories(work);
    for (size_t i = 0; i < docs.size(); ++i) {
        const std::string path = work + "/" + docs[i].file + "_" + std::to_string(docs[i].offset) + ".txt";
        if (!fs::exists(path))
            WriteFileAtomic(path, docs[i].text);
    }

    // -------------------------------------------------------------- words
    struct Set {
        const char* what;
        std::vector<std::string> words; // data code page
    };
    const std::vector<Set> sets = {
        {"rare", {"warfarin"}},
        {"common", {"pacient"}},
        {"two letters", {"mg"}},
        {"Czech", {QStringToKam(QString::fromUtf8("lékař"))}},
        {"five words",
         {"warfarin", "pacient", "kojen", QStringToKam(QString::fromUtf8("dávk")),
          QStringToKam(QString::fromUtf8("lékař"))}},
    };
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

#ifdef QEVW_HAVE_SQLITE
    sqlite3* db = nullptr;
    if (sqlite) {
        const std::string dbPath = work + "/fts.sqlite";
        std::remove(dbPath.c_str());
        sqlite3_open(dbPath.c_str(), &db);
        const auto t0 = Clock::now();
        sqlite3_exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "CREATE VIRTUAL TABLE t USING fts5(body, tokenize='trigram case_sensitive 1')",
                     nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO t(rowid, body) VALUES(?, ?)", -1, &ins, nullptr);
        for (size_t i = 0; i < docs.size(); ++i) {
            const std::string utf8 = Cp1250ToUtf8(KamToWin(docs[i].text));
            sqlite3_bind_int64(ins, 1, static_cast<sqlite3_int64>(i + 1));
            sqlite3_bind_text(ins, 2, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        const double build = std::chrono::duration<double>(Clock::now() - t0).count();
        std::printf("sqlite fts5 trigram: built in %.1f s, %.0f MB on disk (texts %.0f MB)\n", build,
                    static_cast<double>(fs::file_size(dbPath)) / 1e6, textMB);
    }
#endif

    for (const Set& set : sets) {
        // Ours: every document file, one worker and all of them.
        int64_t ourHits = 0;
        size_t ourTexts = 0;
        auto ours = [&](int workers) {
            ourHits = 0;
            ourTexts = 0;
            for (const char* f : files) {
                text_search::Options o;
                o.path = data + f + ".dat";
                o.letter = 'L'; // no filter, every family alike
                for (const std::string& w : set.words)
                    o.words.word[static_cast<size_t>(o.words.count++)] = w;
                o.workers = workers;
                text_search::Engine e(o);
                e.Start();
                e.Wait();
                const text_search::Progress p = e.Snapshot();
                for (int64_t c : p.counts)
                    ourHits += c;
                ourTexts += static_cast<size_t>(p.texts);
            }
        };
        const double t1 = Seconds([&] { ours(1); });
        const double tN = Seconds([&] { ours(cores); });

        bool fixed = true;
        const std::vector<std::string> patterns = RgArgs(set.words, fixed);
        std::string rg = "rg -a --no-config --no-ignore --count-matches --no-filename";
        rg += fixed ? " -F" : " --no-unicode";
        for (const std::string& p : patterns)
            rg += " -e " + Quote(p);
        int64_t rgHits = 0;
        size_t rgTexts = 0;
        const std::string countCmd = rg + " " + Quote(work) + " -g '*.txt'";
        {
            const std::string out = Shell(countCmd);
            for (size_t pos = 0; pos < out.size();) {
                rgHits += std::atoll(out.c_str() + pos);
                ++rgTexts;
                pos = out.find('\n', pos);
                if (pos == std::string::npos)
                    break;
                ++pos;
            }
        }
        const double tRg = Seconds([&] { Shell(countCmd + " > /dev/null"); });
        const double tRg1 = Seconds([&] { Shell(rg + " -j1 " + Quote(work) + " -g '*.txt' > /dev/null"); });
        std::printf("%-11s ours 1 worker %.3f s (%.0f MB/s), %d workers %.3f s (%.0f MB/s); "
                    "ripgrep default %.3f s (ours/rg %.2f), -j1 %.3f s (ours 1/rg -j1 %.2f); "
                    "hits ours %lld rg %lld, texts ours %zu rg %zu\n",
                    set.what, t1, textMB / t1, cores, tN, textMB / tN, tRg, tN / tRg, tRg1, t1 / tRg1,
                    static_cast<long long>(ourHits), static_cast<long long>(rgHits), ourTexts, rgTexts);
#ifdef QEVW_HAVE_SQLITE
        bool longEnough = db != nullptr;
        for (const std::string& w : set.words)
            longEnough = longEnough && w.size() >= 3;
        if (longEnough) {
            std::string match;
            for (const std::string& w : set.words)
                for (const std::string& form : {w, Capitalised(w)}) {
                    match += match.empty() ? "\"" : " OR \"";
                    match += Cp1250ToUtf8(KamToWin(form)) + "\"";
                }
            sqlite3_stmt* q = nullptr;
            sqlite3_prepare_v2(db, "SELECT count(*) FROM t WHERE t MATCH ?", -1, &q, nullptr);
            int64_t rows = 0;
            const double tSql = Seconds([&] {
                sqlite3_bind_text(q, 1, match.c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(q) == SQLITE_ROW)
                    rows = sqlite3_column_int64(q, 0);
                sqlite3_reset(q);
            });
            sqlite3_finalize(q);
            std::printf(
                "%-11s sqlite fts5 %.4f s (ours %d workers / sqlite %.1f), texts sqlite %lld ours %zu\n",
                set.what, tSql, cores, tN / tSql, static_cast<long long>(rows), ourTexts);
        }
#endif
    }
#ifdef QEVW_HAVE_SQLITE
    if (db)
        sqlite3_close(db);
#endif
    if (ownWork)
        fs::remove_all(work);
    return 0;
}
