#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "datastore/table_layouts.h"
#include "lists/search/text_search_engine.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"
#include "writers/x6_writer.h"

using namespace text_search;

namespace {

std::string Code(int c, int v) // a code with one 12-bit value
{
    return std::string{static_cast<char>(c), static_cast<char>(v & 0xFF), static_cast<char>(16 + (v >> 8))};
}

struct ScanRun {
    Progress progress;
    std::vector<Hit> hits;
};

ScanRun Search(const std::string& path, char letter, std::vector<std::string> words,
               ParagraphFilter filter = {}, int workers = 1, size_t batchBytes = 1 << 20)
{
    Options o;
    o.path = path;
    o.letter = letter;
    for (const std::string& w : words)
        o.words.word[static_cast<size_t>(o.words.count++)] = w;
    o.filter = filter;
    o.workers = workers;
    o.batchBytes = batchBytes;
    Engine engine(o);
    EXPECT_EQ(engine.Start(), 0) << path;
    engine.Wait();
    return {engine.Snapshot(), engine.Hits()};
}

std::string WriteX6(const QTemporaryDir& dir, const std::string& name, const std::vector<std::string>& texts,
                    X6FileOptions options = {}, std::vector<uint32_t>* offsets = nullptr)
{
    X6Writer w(options);
    for (const std::string& t : texts) {
        X6Record r;
        r.text = t;
        r.forceWide = options.compressed && t.size() > 60000;
        const uint32_t at = w.Add(r);
        if (offsets)
            offsets->push_back(at);
    }
    const std::string path = dir.path().toStdString() + "/" + name;
    EXPECT_EQ(w.WriteTo(path), 0);
    return path;
}

ParagraphFilter Filter(std::string codes, char marker)
{
    return ParagraphFilter::FromSelection(codes + marker);
}

} // namespace

TEST(TextSearchWords, TypedTextBecomesWords)
{
    struct Case {
        const char* what;
        std::string typed;
        std::vector<std::string> words;
    } cases[] = {
        {"hex escape", "a#$41b", {"aAb"}},
        {"escape in either case", "#$4a#$4A", {"JJ"}},
        {"escape at the end stays literal", "x#$4", {"x#$4"}},
        {"one letter gets a blank", "a\rbc", {"a ", "bc"}},
        {"an empty line ends the words", "ab\r\rcd", {"ab"}},
        {"CR LF and LF alike", "ab\r\ncd\nef", {"ab", "cd", "ef"}},
        {"a sixth word is ignored", "a1\ra2\ra3\ra4\ra5\ra6", {"a1", "a2", "a3", "a4", "a5"}},
        {"control characters are ignored", "a\tb", {"ab"}},
        {"Czech letters in the data code page", "\xE8\x61j", {"\x87\x61j"}}, // "čaj"
        {"nothing typed", "", {}},
    };
    for (const Case& c : cases) {
        const SearchWords w = ParseSearchWords(c.typed);
        ASSERT_EQ(w.count, static_cast<int>(c.words.size())) << c.what;
        for (size_t i = 0; i < c.words.size(); ++i)
            EXPECT_EQ(w.word[i], c.words[i]) << c.what;
    }
    const SearchWords longWord = ParseSearchWords(std::string(41, 'x'));
    EXPECT_EQ(longWord.word[0], std::string(40, 'x'));
}

TEST(TextSearchScan, FindsWhatAPlainSearchFinds)
{
    std::mt19937 rng(5);
    const std::string alphabet = "abAB \x87\x80";
    for (int round = 0; round < 2000; ++round) {
        std::string data(rng() % 60, ' ');
        for (char& c : data)
            c = alphabet[rng() % alphabet.size()];
        std::string word(2 + rng() % 4, ' ');
        for (char& c : word)
            c = alphabet[rng() % 4 == 0 ? 4 : rng() % alphabet.size()];
        if (word[0] >= 'A' && word[0] <= 'B')
            word[0] = static_cast<char>(word[0] + 32);    // typed in lower case
        if (rng() % 5 == 0 && data.size() >= word.size()) // at 0 or at the very end
            data.replace(rng() % 2 ? 0 : data.size() - word.size(), word.size(), word);
        const size_t from = rng() % 3 == 0 ? rng() % (data.size() + 1) : 0;
        const size_t to = rng() % 3 == 0 ? rng() % (data.size() + 2) : data.size();

        std::vector<uint32_t> expected;
        const unsigned char capital = UpperTable[static_cast<unsigned char>(word[0])];
        for (size_t p = from; p < to && p + word.size() <= data.size(); ++p)
            if ((data[p] == word[0] || static_cast<unsigned char>(data[p]) == capital) &&
                data.compare(p + 1, word.size() - 1, word, 1) == 0)
                expected.push_back(static_cast<uint32_t>(p));
        std::vector<uint32_t> got;
        ScanWord(data, from, to, word, got);
        ASSERT_EQ(got, expected) << "word \"" << word << "\" in \"" << data << "\"";
    }
}

TEST(TextSearchFilter, ParagraphsOfSummaryAndSpcTexts)
{
    // Summary: paragraphs 3, 4 and 14; the word in each and before the first.
    const std::string summary = "pes " + Code(19, 3) + "pes " + Code(19, 104) + "pes " + Code(19, 14) + "pes";
    const std::vector<std::pair<uint32_t, int>> marks = ParagraphMarks(summary, false);
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[1].second, 0x04); // 104 mod 100
    EXPECT_EQ(marks[2].second, 0x14);

    // SPC: headings "4.", "4.5", "4.12", "10."; a style 19 heading is no mark.
    const std::string spc = Code(18, 10) + "4. Klinick\xA0 " + Code(18, 11) + "4.5 Interakce " +
                            Code(18, 11) + "4.12 Dal\xA8\xA1 " + Code(18, 19) + "9.9 nic " + Code(18, 10) +
                            "10. Datum";
    std::vector<int> codes;
    for (const auto& m : ParagraphMarks(spc, true))
        codes.push_back(m.second);
    EXPECT_EQ(codes, (std::vector<int>{0x40, 0x45, 0x4C, 0xA0}));
    // Code 19 carrying a value 18 is skipped whole in a summary text.
    EXPECT_EQ(ParagraphMarks(Code(19, 18) + "x", false).size(), 1u);
    EXPECT_EQ(ParagraphMarks(Code(19, 18) + "x", false)[0].second, 0x18);

    QTemporaryDir dir;
    const std::string kodex = WriteX6(dir, "kodex.dat", {summary});
    const std::string spcFile = WriteX6(dir, "spc.dat", {spc + " pes " + Code(18, 11) + "4.5 pes"});
    const std::string goods = WriteX6(dir, "pfakodex.dat", {summary});
    struct Case {
        const char* what;
        std::string path;
        char letter;
        ParagraphFilter filter;
        int64_t count;
    } cases[] = {
        {"no filter", kodex, 'k', {}, 4},
        {"paragraph 4 left out", kodex, 'k', Filter("\x04", '-'), 2},
        {"only paragraph 4", kodex, 'k', Filter("\x04", '+'), 1},
        {"an inverted selection keeps the same hits", kodex, 'k', Filter(std::string("\x03\x14", 2), '+'), 2},
        {"switched off", kodex, 'k', ParagraphFilter::FromSelection("\x04-\xFF"), 4},
        {"section 4.5 left out", spcFile, 'S', Filter("\x45", '-'), 1},
        {"a goods paragraph left out", goods, 'r', Filter("\x14", '-'), 2},
        {"leaflets are never filtered", kodex, 'L', Filter("\x04", '-'), 4},
    };
    for (const Case& c : cases) {
        const ScanRun r = Search(c.path, c.letter, {"pes"}, c.filter);
        EXPECT_EQ(r.progress.counts[0], c.count) << c.what;
        EXPECT_EQ(r.hits.empty(), c.count == 0) << c.what;
    }
    // The samples show the paragraph while a filter is in use.
    Options o;
    const ScanRun shown = Search(spcFile, 'S', {"pes"}, Filter("\x45", '+'));
    EXPECT_EQ(shown.progress.samples[0], "4.5 pes") << shown.progress.samples[0];
}

TEST(TextSearchFiles, EveryHeadLayoutAndBlockSize)
{
    QTemporaryDir dir;
    std::mt19937 rng(9);
    std::vector<std::string> texts;
    for (int i = 0; i < 40; ++i) {
        std::string t = Code(19, 12) + "Text " + std::to_string(i) + " ";
        const size_t length = i == 7 ? 70000 : 10 + rng() % 3000; // one wide record
        while (t.size() < length)
            t += (rng() % 7 == 0) ? "Amoxicilin " : "tableta a voda ";
        texts.push_back(t);
    }
    struct Layout {
        const char* what;
        bool compressed;
        int headSize;
    } layouts[] = {{"stored, 6-byte heads", false, 0},
                   {"compressed, 8-byte heads", true, 0},
                   {"stored, 14-byte heads", false, 14},
                   {"compressed, 16-byte heads", true, 16}};
    for (const Layout& l : layouts) {
        X6FileOptions opt;
        opt.compressed = l.compressed;
        opt.headSize = l.headSize;
        std::vector<uint32_t> offsets;
        const std::string path = WriteX6(dir, "kodex.dat", texts, opt, &offsets);
        std::vector<Hit> expected;
        int64_t count = 0;
        for (size_t i = 0; i < texts.size(); ++i) {
            size_t n = 0;
            for (size_t p = texts[i].find("moxicilin"); p != std::string::npos;
                 p = texts[i].find("moxicilin", p + 1))
                ++n;
            count += static_cast<int64_t>(n);
            if (n)
                expected.push_back({offsets[i], 1});
        }
        // Batches far smaller than one record must grow to hold it.
        for (size_t batch : {size_t{1} << 20, size_t{512}}) {
            const ScanRun r = Search(path, 'k', {"amoxicilin"}, {}, 3, batch);
            EXPECT_EQ(r.progress.counts[0], count) << l.what;
            ASSERT_EQ(r.hits.size(), expected.size()) << l.what;
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_EQ(r.hits[i].position, expected[i].position) << l.what;
            EXPECT_TRUE(r.progress.messages.empty()) << l.what;
            EXPECT_EQ(r.progress.gauge, 100);
        }
    }
}

TEST(TextSearchFiles, DamagedBlocksAreReportedOnceAndTheScanGoesOn)
{
    // The committed broken documents: each gives one message and ends.
    for (const char* name :
         {"doc_packed_beyond_slack", "doc_head_past_end", "doc_items_past_end", "doc_text_past_end"}) {
        const ScanRun r = Search(std::string(QEVW_FIXTURES_DIR "/broken/") + name + ".dat", 'k', {"77"});
        EXPECT_EQ(r.progress.messages.size(), 1u) << name;
        EXPECT_TRUE(r.progress.finished) << name;
        EXPECT_EQ(r.progress.messages[0].rfind("Internal error: ", 0), 0u) << name;
    }

    // Good, too large, wrongly decoding twice, good: the texts that decode
    // are searched, each kind of message shows once.
    QTemporaryDir dir;
    const std::string text = Code(19, 12) + "hledany text";
    std::string noise = "hledany ";
    std::mt19937 rng(4);
    while (noise.size() < 700)
        noise.push_back(static_cast<char>(32 + rng() % 220));
    std::vector<uint32_t> offsets;
    const std::string path = WriteX6(dir, "kodex.dat", {text, noise, text, text, text}, {}, &offsets);
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(path, bytes), 0);
    ASSERT_GT(DecodeLE16(bytes.data() + offsets[1] + 6), 1010);
    EncodeLE16(bytes.data() + offsets[1] + 2, 10); // packed far beyond its text + 1000
    bytes[offsets[1] + 4] = static_cast<char>(bytes[offsets[1] + 4] & ~0x0C);
    for (int i : {2, 3}) // decodes to another length than the head says
        EncodeLE16(bytes.data() + offsets[static_cast<size_t>(i)] + 2,
                   static_cast<uint16_t>(DecodeLE16(bytes.data() + offsets[static_cast<size_t>(i)] + 2) + 5));
    ASSERT_EQ(WriteFileAtomic(path, bytes), 0);
    const ScanRun r = Search(path, 'k', {"hledany"});
    ASSERT_EQ(r.progress.messages.size(), 2u);
    EXPECT_EQ(r.progress.messages[0], "Internal error: Small buf - 10");
    EXPECT_NE(r.progress.messages[1].find('#'), std::string::npos) << r.progress.messages[1];
    ASSERT_EQ(r.hits.size(), 4u);
    EXPECT_EQ(r.hits[0].position, offsets[0]);
    EXPECT_EQ(r.hits[1].position, offsets[2]);
    EXPECT_EQ(r.hits[3].position, offsets[4]);
}

TEST(TextSearchFiles, PlainTextAcrossChunksAndTinyFiles)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/kodex.dat";
    // Lines with paragraph numbers; the word straddles every chunk border.
    std::string plain = "12uvod\r\n";
    while (plain.size() < 5000)
        plain += "04 nejaky text penicilin dale\r\n13 jiny text\r\n";
    const size_t chunk = 1024;
    for (size_t border = chunk; border < plain.size(); border += chunk)
        plain.replace(border - 4, 9, "PENICILIN");
    ASSERT_EQ(WriteFileAtomic(path, plain), 0);
    std::vector<uint32_t> expected;
    ScanWord(plain, 0, plain.size(), "penicilin", expected);
    for (int workers : {1, 4}) {
        const ScanRun r = Search(path, 'k', {"penicilin"}, {}, workers, chunk);
        EXPECT_EQ(r.progress.counts[0], static_cast<int64_t>(expected.size()));
        ASSERT_EQ(r.hits.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(r.hits[i].position, expected[i]);
    }
    // Paragraph 4 left out: only the words on lines of other paragraphs.
    const ScanRun filtered = Search(path, 'k', {"penicilin"}, Filter("\x40", '-'), 2, chunk);
    EXPECT_LT(filtered.progress.counts[0], static_cast<int64_t>(expected.size()));

    const std::string tiny = dir.path().toStdString() + "/letak.dat";
    ASSERT_EQ(WriteFileAtomic(tiny, "5 kratky text\r\n"), 0);
    const ScanRun small = Search(tiny, 'L', {"text"});
    EXPECT_EQ(small.progress.counts[0], 1);
    EXPECT_EQ(small.progress.gauge, 100);
    EXPECT_EQ(small.progress.samples[0], "5 kratky text");
}

TEST(TextSearchFiles, OneWorkerAndManyGiveTheSameSearch)
{
    QTemporaryDir dir;
    std::mt19937 rng(1);
    std::vector<std::string> texts;
    const char* const pieces[] = {"voda ", "Voda ", "sirup ", "tablety ", "nic ", "\r"};
    for (int i = 0; i < 300; ++i) {
        std::string t = Code(19, 12 + i % 5);
        for (int k = 0; k < 200; ++k)
            t += pieces[rng() % 6];
        texts.push_back(t);
    }
    const std::string path = WriteX6(dir, "kodex.dat", texts);
    const ScanRun one = Search(path, 'k', {"voda", "sirup", "ta"}, Filter("\x13", '-'), 1, 4096);
    const ScanRun many = Search(path, 'k', {"voda", "sirup", "ta"}, Filter("\x13", '-'), 6, 4096);
    EXPECT_EQ(one.progress.counts, many.progress.counts);
    EXPECT_EQ(one.progress.samples, many.progress.samples);
    EXPECT_EQ(one.progress.hitCount, many.progress.hitCount);
    ASSERT_EQ(one.hits.size(), many.hits.size());
    for (size_t i = 0; i < one.hits.size(); ++i) {
        EXPECT_EQ(one.hits[i].position, many.hits[i].position);
        EXPECT_EQ(one.hits[i].words, many.hits[i].words);
    }
}

TEST(TextSearchFiles, HitsBeyondEightThousandAreCountedNotKept)
{
    QTemporaryDir dir;
    std::vector<std::string> texts(8001, "x lek y");
    const std::string path = WriteX6(dir, "kodex.dat", texts);
    const ScanRun r = Search(path, 'k', {"lek"}, {}, 4, 64 * 1024);
    EXPECT_EQ(r.hits.size(), kMaxHits);
    EXPECT_TRUE(r.progress.tooManyHits);
    EXPECT_EQ(r.progress.counts[0], 8001);

    std::vector<std::string> exactly(8000, "x lek y");
    const ScanRun atCap = Search(WriteX6(dir, "kodexa.dat", exactly), 'E', {"lek"}, {}, 4, 64 * 1024);
    EXPECT_EQ(atCap.hits.size(), kMaxHits);
    EXPECT_FALSE(atCap.progress.tooManyHits);
}

TEST(TextSearchFiles, CancelKeepsTheBlocksMergedBeforeIt)
{
    QTemporaryDir dir;
    std::vector<std::string> texts(3000, std::string(2000, 'a') + " hledat");
    const std::string path = WriteX6(dir, "kodex.dat", texts);
    Options o;
    o.path = path;
    o.words = ParseSearchWords("hledat");
    o.workers = 3;
    o.batchBytes = 4096;
    Engine engine(o);
    ASSERT_EQ(engine.Start(), 0);
    while (engine.Snapshot().hitCount == 0 && !engine.Snapshot().finished)
        std::this_thread::yield();
    engine.Cancel();
    engine.Wait();
    const Progress p = engine.Snapshot();
    EXPECT_TRUE(p.finished);
    EXPECT_EQ(static_cast<int64_t>(engine.Hits().size()), p.counts[0]);
    EXPECT_GT(p.counts[0], 0);
    // Merged strictly in order: the kept hits are the first texts.
    for (size_t i = 1; i < engine.Hits().size(); ++i)
        EXPECT_LT(engine.Hits()[i - 1].position, engine.Hits()[i].position);
}

namespace {

// A drug table and its kodex index in a folder; CC values as given.
struct DrugFixture {
    QTemporaryDir dir;
    std::string folder;
    TDbTable table;

    struct Drug {
        int64_t cc;
        char sr;
        char uh;
    };

    explicit DrugFixture(const std::vector<Drug>& drugs)
    {
        folder = dir.path().toStdString() + "/";
        const DatLayout kl(kKlLayout);
        std::vector<std::string> records;
        for (size_t i = 0; i < drugs.size(); ++i) {
            std::string rec = kl.BlankRecord();
            kl.PutRight(rec, "KOD", std::to_string(i + 1), '0');
            kl.PutText(rec, "SR", std::string(1, drugs[i].sr));
            kl.PutText(rec, "UH", std::string(1, drugs[i].uh));
            for (const char* f : {"CC", "LC", "AC", "SC"})
                kl.PutInt(rec, f, drugs[i].cc);
            records.push_back(rec);
        }
        EXPECT_EQ(WriteDatFile(folder + "kl.dat", kl, records), 0);
        EXPECT_EQ(
            WriteSezFile(folder + "kodex.sez", records, SezKeySpec{kDrugSummaryOffset.Offset(), 4, 160, 4}),
            0);
        EXPECT_TRUE(OpenTextIndex(table, folder, *FindTextSource('k')));
    }

    MapResult Map(const std::vector<Hit>& hits, bool plain, std::function<bool(int32_t)> marked = {})
    {
        return MapHitsToRecords(table, *FindTextSource('k'), hits, plain, marked);
    }
};

std::vector<int32_t> Records(const MapResult& m)
{
    std::vector<int32_t> out;
    for (uint32_t e : m.entries)
        out.push_back(ResultRecord(e));
    return out;
}

} // namespace

TEST(TextSearchMapping, ResultEntriesCarryRecordAndWords)
{
    EXPECT_EQ(ResultEntry(0x12345, 0x15), 0xA92345u);
    EXPECT_EQ(ResultRecord(0xA92345u), 0x12345);
    EXPECT_EQ(ResultWords(0xA92345u), 0x15);
    EXPECT_EQ(ResultEntry(7, 1), 0x080007u); // word 1 = 0x08 of the third byte
}

TEST(TextSearchMapping, SharedTextsOrphansAndPlainPositions)
{
    // Texts at 100 (drugs 1-4), 200 (drugs 6, 7), 300 (nobody), 400 (drug 8).
    DrugFixture f({{100, '-', ' '},
                   {100, 'R', ' '},
                   {100, '-', 'B'},
                   {100, '-', '0'},
                   {-1, 'R', 'B'},
                   {200, 'R', ' '},
                   {200, 'R', ' '},
                   {400, '-', ' '}});
    struct Case {
        const char* what;
        std::vector<Hit> hits;
        bool plain;
        std::function<bool(int32_t)> marked;
        std::vector<int32_t> records;
    } cases[] = {
        {"reimbursed before registered", {{100, 1}}, false, {}, {3}},
        {"marked by the user before all", {{100, 1}}, false, [](int32_t r) { return r == 4; }, {4}},
        {"the nearest on ties", {{200, 2}}, false, {}, {7}},
        {"a text no drug points at", {{300, 1}}, false, {}, {}},
        {"offset -1 never matches", {{-1, 1}, {0xFFFFFFFFll, 1}}, false, {}, {}},
        {"the last text", {{400, 1}}, false, {}, {8}},
        {"plain: a text's first byte", {{200, 1}}, true, {}, {7}},
        {"plain: inside the last text", {{4711, 1}}, true, {}, {8}},
        {"plain: before the first text", {{99, 1}}, true, {}, {}},
        {"plain: the orphan's bytes belong to the text before", {{350, 1}}, true, {}, {7}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Records(f.Map(c.hits, c.plain, c.marked)), c.records) << c.what;

    // Words of hits in one text gather in one entry; another text, another entry.
    const MapResult m = f.Map({{100, 1}, {150, 4}, {200, 16}}, true);
    ASSERT_EQ(m.entries.size(), 2u);
    EXPECT_EQ(ResultWords(m.entries[0]), 5);
    EXPECT_EQ(ResultWords(m.entries[1]), 16);
}

TEST(TextSearchMapping, GoodsTakeTheirEntryWithoutScoring)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    const DatLayout pfa(kPfaLayout);
    std::vector<std::string> records;
    for (int64_t cc : {50, 50, 90}) {
        std::string rec = pfa.BlankRecord();
        pfa.PutInt(rec, "CC", cc);
        records.push_back(rec);
    }
    ASSERT_EQ(WriteDatFile(folder + "pfa.dat", pfa, records), 0);
    ASSERT_EQ(
        WriteSezFile(folder + "pfakodex.sez", records, SezKeySpec{kGoodsTextOffset.Offset(), 4, 160, 4}), 0);
    TDbTable t;
    ASSERT_TRUE(OpenTextIndex(t, folder, *FindTextSource('r')));
    const MapResult m = MapHitsToRecords(t, *FindTextSource('r'), {{50, 1}, {90, 2}}, false, {});
    EXPECT_EQ(Records(m), (std::vector<int32_t>{2, 3}));
}

TEST(TextSearchMapping, FiveThousandRecordsAtMost)
{
    std::vector<DrugFixture::Drug> drugs;
    for (int i = 0; i < 5001; ++i)
        drugs.push_back({16 + 10 * i, 'R', ' '});
    DrugFixture f(drugs);
    std::vector<Hit> hits;
    for (int i = 0; i < 5000; ++i)
        hits.push_back({16 + 10 * i, 1});
    const MapResult at = f.Map(hits, false);
    EXPECT_EQ(at.entries.size(), kMaxRecords);
    EXPECT_FALSE(at.tooMany);
    hits.push_back({16 + 10 * 5000, 1});
    const MapResult over = f.Map(hits, false);
    EXPECT_EQ(over.entries.size(), kMaxRecords);
    EXPECT_TRUE(over.tooMany);
    EXPECT_EQ(ResultRecord(over.entries.back()), 5000);
}

TEST(TextSearchOracle, DemoTextsGiveTheRecordsOfAPlainScan)
{
    std::mt19937 rng(2026);
    for (char letter : {'k', 'L', 'S', 'r'}) {
        const TextSource& src = *FindTextSource(letter);
        const std::string path = std::string(QEVW_DEMO_DATA_DIR "/") + std::string(src.file) + ".dat";
        TPackedTextFile reader;
        ASSERT_TRUE(OpenPackedText(reader, path)) << path;
        std::vector<std::pair<int64_t, std::string>> texts;
        std::string text;
        int status = 0;
        for (int64_t at = reader.nextOffset; ReadNextPackedRecord(reader, text, status);
             at = reader.nextOffset) {
            ASSERT_EQ(status, 0);
            texts.emplace_back(at, text);
        }
        ASSERT_FALSE(texts.empty());
        TDbTable table;
        ASSERT_TRUE(OpenTextIndex(table, QEVW_DEMO_DATA_DIR "/", src));

        for (int round = 0; round < 6; ++round) {
            // Words cut from the texts' letters, the first letter's case at random.
            std::vector<std::string> words;
            while (words.size() < 1 + rng() % 3) {
                const std::string& t = texts[rng() % texts.size()].second;
                const size_t at = rng() % t.size();
                std::string w;
                for (size_t i = at; i < t.size() && w.size() < 2 + rng() % 8; ++i) {
                    if (static_cast<unsigned char>(t[i]) < 'A')
                        break;
                    w.push_back(t[i]);
                }
                if (w.size() < 2)
                    continue;
                if (rng() % 2 && w[0] >= 'A' && w[0] <= 'Z')
                    w[0] = static_cast<char>(w[0] + 32);
                words.push_back(w);
            }
            std::vector<Hit> expected;
            for (const auto& [offset, t] : texts) {
                uint8_t bits = 0;
                for (size_t w = 0; w < words.size(); ++w) {
                    std::string capital = words[w];
                    capital[0] = static_cast<char>(UpperTable[static_cast<unsigned char>(capital[0])]);
                    for (const std::string& form : {words[w], capital})
                        if (std::search(t.begin(), t.end(), form.begin(), form.end()) != t.end())
                            bits = static_cast<uint8_t>(bits | (1u << w));
                }
                if (bits)
                    expected.push_back({offset, bits});
            }
            const ScanRun one = Search(path, letter, words, {}, 1, 8192);
            const ScanRun many = Search(path, letter, words, {}, 5, 8192);
            ASSERT_EQ(one.hits.size(), expected.size()) << letter << " " << words[0];
            for (size_t i = 0; i < expected.size(); ++i) {
                EXPECT_EQ(one.hits[i].position, expected[i].position);
                EXPECT_EQ(one.hits[i].words, expected[i].words);
            }
            EXPECT_EQ(one.progress.samples, many.progress.samples);
            EXPECT_EQ(one.progress.counts, many.progress.counts);
            const std::vector<uint32_t> found = MapHitsToRecords(table, src, one.hits, false, {}).entries;
            EXPECT_EQ(found, MapHitsToRecords(table, src, expected, false, {}).entries);
            EXPECT_EQ(found, MapHitsToRecords(table, src, many.hits, false, {}).entries);
        }
    }
}

TEST(TextSearchMapping, DemoSharedSummaryAndOrphan)
{
    const TextSource& src = *FindTextSource('k');
    const std::string path = QEVW_DEMO_DATA_DIR "/kodex.dat";
    TDbTable table;
    ASSERT_TRUE(OpenTextIndex(table, QEVW_DEMO_DATA_DIR "/", src));
    auto codeOf = [&table](int32_t record) {
        std::string buf;
        ReadRecord(table.dat, record, buf);
        return std::string(FieldBytes(buf, kDrugCode));
    };
    auto codes = [&](const MapResult& m) {
        std::vector<std::string> out;
        for (uint32_t e : m.entries)
            out.push_back(codeOf(ResultRecord(e)));
        return out;
    };
    // One summary of a registered (0000401), a reimbursed (0000295) and a
    // user-marked (0001172) drug.
    const ScanRun shared = Search(path, 'k', {"trojice"});
    ASSERT_EQ(shared.hits.size(), 1u);
    EXPECT_EQ(codes(MapHitsToRecords(table, src, shared.hits, false, {})),
              std::vector<std::string>{"0000295"});
    const auto marked = [&](int32_t record) { return codeOf(record) == "0001172"; };
    EXPECT_EQ(codes(MapHitsToRecords(table, src, shared.hits, false, marked)),
              std::vector<std::string>{"0001172"});
    // A summary no drug points at is found and maps to nobody.
    const ScanRun orphan = Search(path, 'k', {"sirotek"});
    ASSERT_EQ(orphan.hits.size(), 1u);
    EXPECT_TRUE(MapHitsToRecords(table, src, orphan.hits, false, {}).entries.empty());
}
