// The demo records that the product record text and the lists depend on:
// each case of the record text has a product that shows it, and the data
// texts and raw files those cases read are shaped as their readers expect.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "platform/fs.h"

namespace {

const std::string kDir = std::string(QEVW_DEMO_DATA_DIR) + "/";

// Every record of a table whose key begins with `code`, in key order.
std::vector<std::string> RecordsOf(const char* dat, const char* sez, uint16_t length, const std::string& code)
{
    std::vector<std::string> out;
    TDbTable t;
    OpenTableIn(t, kDir, dat, sez, length);
    EXPECT_EQ(DbStatus, 0) << dat;
    std::string rec;
    FindRecord(t, code, rec);
    for (int32_t pos = t.Position(); DbStatus == 0 && rec.compare(0, code.size(), code) == 0;) {
        out.push_back(rec);
        ReadByOrder(t, ++pos, rec);
    }
    return out;
}

std::string F(const std::string& rec, int pos, int len)
{
    return rec.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len));
}

int32_t I32(const std::string& rec, int pos)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(rec[static_cast<size_t>(pos - 1 + i)]);
    return static_cast<int32_t>(v);
}

// The drug with every section of the record text: Lipoklid 20 mg.
TEST(DemoContent, OneDrugShowsEverySectionOfTheRecordText)
{
    const std::vector<std::string> kl = RecordsOf("kl", "klkod", 346, "0000995");
    ASSERT_EQ(kl.size(), 1u);
    const std::string& d = kl[0];
    EXPECT_NE(F(d, 319, 1), " ");                // outage
    EXPECT_NE(F(d, 250, 1), " ");                // prices
    EXPECT_NE(F(d, 252, 4), "    ");             // company contacts
    EXPECT_NE(d.find("TBL"), std::string::npos); // tablet-split row
    EXPECT_EQ(F(d, 199, 1) > " ", true);         // a full 7-character ATC code: two ATC rows
    EXPECT_NE(F(d, 211, 5), "     ");            // parallel-import number
    EXPECT_EQ(static_cast<uint8_t>(d[317]), 3);  // three EAN codes

    // EAN codes of kinds above and below "7".
    std::string kinds;
    for (const std::string& e : RecordsOf("kle", "klekod", 21, "0000995"))
        kinds += e[20];
    EXPECT_NE(kinds.find_first_of("89"), std::string::npos) << kinds;
    EXPECT_NE(kinds.find_first_of("1234567"), std::string::npos) << kinds;

    // Replacements: valid, cancelled and of another ATC group.
    const std::vector<std::string> out = RecordsOf("vypad", "vypadkod", 244, "0000995");
    ASSERT_EQ(out.size(), 1u);
    std::map<std::string, std::string> states;
    for (size_t p = 12; p + 7 <= 62 && out[0][p] != ' '; p += 7) {
        const std::vector<std::string> r = RecordsOf("kl", "klkod", 346, out[0].substr(p, 7));
        ASSERT_EQ(r.size(), 1u);
        states[F(r[0], 190, 1) + (F(r[0], 193, 3) == "C10" ? " same" : " other")] = r[0].substr(0, 7);
    }
    EXPECT_TRUE(states.count("R same")) << "a valid replacement";
    EXPECT_TRUE(states.count("- same")) << "a cancelled replacement";
    EXPECT_TRUE(states.count("R other")) << "a replacement of another ATC group";

    // Prices "A" and "a" with equal terms, the lower's "L" under the upper's
    // "M", and "B" with other terms.
    const std::vector<std::string> prices = RecordsOf("cvzp", "cvzpkod", 124, "0000995");
    ASSERT_EQ(prices.size(), 3u);
    std::map<char, std::string> slot;
    for (const std::string& p : prices)
        slot[p[7]] = p;
    ASSERT_TRUE(slot.count('A') && slot.count('a') && slot.count('B'));
    const std::string& A = slot['A'];
    const std::string& a = slot['a'];
    EXPECT_EQ(F(A, 22, 9), F(a, 22, 9));
    EXPECT_EQ(F(A, 33, 9), F(a, 33, 9));
    EXPECT_EQ(F(A, 46, 35), F(a, 46, 35));
    EXPECT_EQ(F(A, 45, 1), F(a, 45, 1));
    EXPECT_NE(std::string("BKSTU").find(a[8]), std::string::npos) << "the lower record relaxes 105-114";
    EXPECT_EQ(F(A, 42, 1), "M");
    EXPECT_EQ(F(a, 43, 2), "L ");
    EXPECT_NE(F(slot['B'], 22, 9), F(A, 22, 9));
    // Indication offsets: a real one and 0, both with the indication flag.
    EXPECT_NE(F(A, 45, 1), " ");
    EXPECT_NE(F(slot['B'], 45, 1), " ");
    EXPECT_EQ(I32(slot['B'], 121), 0);
    const int32_t at = I32(A, 121);
    ASSERT_GT(at, 0);
    // The reader takes the indication text from offset + 21: a 16-byte head
    // and one 5-byte item.
    std::string ind;
    ASSERT_EQ(ReadWholeFile(kDir + "ind_ome.dat", ind), 0);
    ASSERT_LT(static_cast<size_t>(at) + 24, ind.size());
    EXPECT_EQ(static_cast<uint8_t>(ind[static_cast<size_t>(at) + 5]), 1) << "one item";
    EXPECT_EQ(ind.substr(static_cast<size_t>(at) + 21, 3), "\x13\x1E\x10");
    const size_t end = ind.find(std::string(2, '\0'), static_cast<size_t>(at) + 21);
    ASSERT_NE(end, std::string::npos);
}

TEST(DemoContent, PriceCasesOfTheRecordText)
{
    // A cancelled drug with one "A" record.
    const std::vector<std::string> cancelled = RecordsOf("kl", "klkod", 346, "0000295");
    ASSERT_EQ(cancelled.size(), 1u);
    EXPECT_EQ(F(cancelled[0], 190, 1), "-");
    const std::vector<std::string> one = RecordsOf("cvzp", "cvzpkod", 124, "0000295");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][7], 'A');
    // A drug without prices.
    const std::vector<std::string> none = RecordsOf("kl", "klkod", 346, "0000356");
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(F(none[0], 250, 1), " ");
    EXPECT_TRUE(RecordsOf("cvzp", "cvzpkod", 124, "0000356").empty());
    // Slot 0 emptied by "6" at position 9, with a "B" record.
    const std::vector<std::string> six = RecordsOf("cvzp", "cvzpkod", 124, "0000232");
    ASSERT_EQ(six.size(), 2u);
    EXPECT_EQ(six[0].substr(7, 2), "A6");
    EXPECT_EQ(six[1][7], 'B');
    // "L" and "K3" joined: equal terms, the upper record's 42 not "M" or "P".
    const std::vector<std::string> lk = RecordsOf("cvzp", "cvzpkod", 124, "0000320");
    ASSERT_EQ(lk.size(), 2u);
    EXPECT_EQ(F(lk[0], 43, 2) + F(lk[1], 43, 2), "L K3");
    EXPECT_EQ(F(lk[0], 22, 9), F(lk[1], 22, 9));
}

TEST(DemoContent, DeviceCasesOfTheRecordText)
{
    // The device code whose record is followed by two reimbursement records,
    // and whose group text holds the marked paragraphs.
    TDbTable t;
    OpenTableIn(t, kDir, "pzt", "pztnaz", kPztLayout.Length());
    std::string rec;
    FindRecord(t, "GLUKOMETR GLUCOSMART", rec);
    ASSERT_EQ(DbStatus, 0);
    const std::vector<std::string> recs = RecordsOf("pzt", "pztkod", 290, rec.substr(0, 7));
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0][7], 'A');
    EXPECT_EQ(recs[1][7], 'B');
    EXPECT_EQ(recs[2][7], 'C');
    const std::string group = F(recs[0], 170, 4);
    const std::vector<std::string> g = RecordsOf("pztuhs", "pztuhsko", 194, group);
    ASSERT_EQ(g.size(), 1u);
    // Its group text holds the paragraphs the record text borrows.
    TPackedTextFile f;
    ASSERT_TRUE(OpenPackedText(f, kDir + "pztuhsx.dat"));
    std::string doc;
    ASSERT_EQ(ReadPackedRecord(f, doc, I32(g[0], 191)), 0);
    std::vector<int> marks;
    CtrlTokenizer tok(doc);
    CtrlItem item;
    while (tok.Next(item))
        if (item.IsCode(19))
            marks.push_back(CtrlPairValue(doc, item, 0));
    for (int v : {21, 36, 37, 38, 73, 75, 76})
        EXPECT_NE(std::find(marks.begin(), marks.end(), v), marks.end()) << v;
    // A device without a classification group.
    OpenTableIn(t, kDir, "pzt", "pztnaz", kPztLayout.Length());
    FindRecord(t, "TLAKOMER DIGITALNI TENSIOHOME", rec);
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(F(rec, 170, 4), "    ");
}

TEST(DemoContent, LimitationLegendHasEveryKindOfParagraph)
{
    std::string s;
    ASSERT_EQ(ReadWholeFile(kDir + "symbol.dat", s), 0);
    std::vector<std::string> keys;
    size_t first = std::string::npos;
    CtrlTokenizer tok(s);
    CtrlItem item;
    while (tok.Next(item))
        if (item.IsCode(19) && CtrlPairValue(s, item, 0) == 7) {
            const size_t p = static_cast<size_t>(item.offset);
            first = std::min(first, p);
            keys.push_back(s.substr(p + 10, 2));
        }
    auto has = [&](const std::string& k) { return std::find(keys.begin(), keys.end(), k) != keys.end(); };
    EXPECT_TRUE(has("L'"));
    EXPECT_TRUE(has("L:"));
    EXPECT_TRUE(has("K3"));
    EXPECT_TRUE(has("K:"));
    ASSERT_NE(first, std::string::npos);
    EXPECT_GT(first, 10u) << "text before the first paragraph";
}

TEST(DemoContent, DataTextsCarryWhatTheRecordTextLooksUp)
{
    TextTablePtr ces;
    ASSERT_GE(LoadTextTable(ces, kDir + "kalvo.ces"), TextTableResult::FirstSuccess);
    std::string v;
    // Labels with a leading "+", a label without a hint, a hint that says
    // there is none.
    ASSERT_NE(GetTextEntry(ces, "Hlav", "sila", v), 0);
    EXPECT_EQ(v[0], '+');
    ASSERT_NE(GetTextEntry(ces, "Hlav", "drz", v), 0);
    EXPECT_EQ(v[0], '+');
    EXPECT_EQ(GetTextEntry(ces, "HlavH", "sila", v), 0);
    ASSERT_NE(GetTextEntry(ces, "HlavH", "brail", v), 0);
    EXPECT_EQ(v[0], '!');
    for (const char* key : {"zulp", "detInd", "detLim"})
        EXPECT_NE(GetTextEntry(ces, "HlavH", key, v), 0) << key;
    // Both forms of the paragraph titles and both spellings of the
    // regulation section.
    std::string a, b;
    ASSERT_NE(GetTextEntry(ces, "Odst", "12", a), 0);
    ASSERT_NE(GetTextEntry(ces, "Nadpis", "Odst12", b), 0);
    EXPECT_EQ(a, b);
    ASSERT_NE(GetTextEntry(ces, "Ospc", "4.5", a), 0);
    ASSERT_NE(GetTextEntry(ces, "Nadpis", "Ospc4.5", b), 0);
    EXPECT_EQ(a, b);
    ASSERT_NE(GetTextEntry(ces, "Dnv", "01", a), 0);
    ASSERT_NE(GetTextEntry(ces, "DNV", "01", b), 0);
    EXPECT_EQ(a, b);
    // Enumerated sections start at their start key; what comes before it is
    // read by key.
    std::string key, value;
    ASSERT_NE(NextTextEntry(ces, "Uhr", key, value), 0);
    EXPECT_EQ(key, "Init");
    ASSERT_NE(NextTextEntry(ces, "Odst", key = "", value), 0);
    EXPECT_EQ(key, "Nadpis");
    // The device mark letter and the version of the data set.
    ASSERT_NE(GetTextEntry(ces, "TZd", "!", v), 0);
    ASSERT_NE(GetTextEntry(ces, "Verze", "Cislo", v), 0);
    EXPECT_EQ(v, "2025.4n");
    // The English table has the same sections.
    TextTablePtr ang;
    ASSERT_GE(LoadTextTable(ang, kDir + "kalvo.ang"), TextTableResult::FirstSuccess);
    EXPECT_EQ(LookupText(ang, "Hlav", "obec"), "General information");
    EXPECT_EQ(LookupText(ang, "Verze", "Cislo"), "2025.4n");
}

} // namespace
