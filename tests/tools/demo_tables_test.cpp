// One chosen record of every table of the demo folder, read through the
// program's own reader (OpenTable, FindRecord) and compared with the source
// line it came from.  The expected bytes are written out by hand from the
// field rules of the data folder reference (padding, right alignment,
// amounts, compact dates), so a builder that puts a value in the wrong place
// or the wrong form fails here even when its own reader would agree.

#include <gtest/gtest.h>

#include <QString>

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "writers/demo_layouts.h"

namespace {

// A field: 1-based position and the expected bytes, written in UTF-8 (with
// their padding) or, for binary fields, as a number.
struct Expect {
    int pos;
    int len;
    std::variant<const char*, int64_t> value;
    // Binary offsets into a document file: the record key (hex) of the head
    // they must point at.
    const char* docFile = nullptr;
};

struct Case {
    const char* source; // the source line, for the reader of a failure
    const char* dat;
    const char* sez;
    uint16_t length;
    const char* key; // UTF-8; "" reads record 1 without an index
    std::vector<Expect> fields;
};

std::string Kam(const char* utf8)
{
    return QStringToKam(QString::fromUtf8(utf8));
}

int64_t LittleEndian(const std::string& rec, int pos, int len)
{
    uint64_t v = 0;
    for (int i = len - 1; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(rec[static_cast<size_t>(pos - 1 + i)]);
    if (len == 4)
        return static_cast<int32_t>(v);
    return static_cast<int64_t>(v);
}

std::string HeadKey(const std::string& file, int64_t offset)
{
    TPackedTextFile f;
    if (!OpenPackedText(f, std::string(QEVW_DEMO_DATA_DIR) + "/" + file))
        return "no file";
    PackedRecordHead head;
    if (ReadPackedHead(f, offset, head) != 0)
        return "no record head";
    static const char* hex = "0123456789abcdef";
    std::string s;
    for (uint8_t b : head.kept) {
        s.push_back(hex[b >> 4]);
        s.push_back(hex[b & 15]);
    }
    return s;
}

// The names of the record keys, base64url-decoded by hand: "lipoklid" ->
// 96 2a 68 92 58 9d.
const std::vector<Case>& Cases()
{
    static const std::vector<Case> cases = {
        {"kl.csv: 0000995,Lipoklid 20 mg,TBL FLM,20MG,30,BLIALU,KRT,DE ,R,31,C10AA05,=01795631,12345,D, "
         "36M,,R ,20,MG,"
         "1.5,,02,1,B,,A,5,0005,1,C1a,ATORVASTATIN,E,97.86,7,V,2,lipoklid x 4, dates",
         "kl",
         "klkod",
         346,
         "0000995",
         {{1, 7, "0000995"},
          {8, 15, "Lipoklid 20 mg "},
          {78, 8, "TBL FLM "},
          {117, 5, "20MG "},
          {141, 3, "30 "},
          {178, 6, "BLIALU"},
          {184, 6, "KRTDE "},
          {190, 1, "R"},
          {191, 2, "31"},
          {193, 7, "C10AA05"},
          {200, 11, "=01795631  "},
          {211, 5, "12345"},
          {216, 1, "D"},
          {217, 4, " 36M"},
          {221, 1, " "},
          {222, 2, "R "},
          {224, 4, "  20"},
          {228, 2, "MG"},
          {230, 8, "    1500"},
          {238, 3, "   "},
          {241, 2, "02"},
          {243, 1, "1"},
          {244, 1, "B"},
          {245, 4, "    "},
          {250, 1, "A"},
          {251, 1, "5"},
          {252, 4, "0005"},
          {256, 1, "1"},
          {257, 3, "C1a"},
          {260, 13, "ATORVASTATIN "},
          {306, 1, "E"},
          {307, 9, "     9786"},
          {316, 1, "7"},
          {318, 1, int64_t{3}},
          {319, 1, "V"},
          {320, 1, "2"},
          {321, 4, int64_t{0}, "kodex.dat"},
          {325, 4, int64_t{0}, "letak.dat"},
          {329, 4, int64_t{0}, "kodexa.dat"},
          {333, 4, int64_t{0}, "spc.dat"},
          // 2025-06-15: 15 + 32 x (45 x 12 + 5); 2025-05-20 and 2025-09-01 likewise.
          {337, 2, int64_t{17455}},
          {339, 2, int64_t{17428}},
          {341, 2, int64_t{17537}},
          {343, 2, int64_t{17455}},
          {345, 2, int64_t{17428}}}},
        {"kl.csv, found by name: Srdcovít 10 mg ... SR -, PDO 2024-06-30",
         "kl",
         "klnaz",
         346,
         "srdcovit 1",
         {{1, 7, "0000295"}, {8, 15, "Srdcovít 10 mg "}, {190, 1, "-"}, {245, 4, "246U"}}},
        {"kle.csv: 0000995,4006381333931,9",
         "kle",
         "kleean",
         21,
         "4006381333931",
         {{1, 7, "0000995"}, {8, 13, "4006381333931"}, {21, 1, "9"}}},
        {"cvzp.csv: 0000995,A,,M,152.40,V,185.50,X,P,120.30,M,K3,1,\"INT,KAR/neu\",,1 x,D,98.40,A,65.20,B,,"
         "2025-11-01,ioLipo",
         "cvzp",
         "cvzpkod",
         124,
         "0000995",
         {{1, 7, "0000995"},
          {8, 1, "A"},
          {9, 1, " "},
          {10, 1, "M"},
          {11, 10, "     15240"},
          {21, 1, "V"},
          {22, 9, "    18550"},
          {31, 1, "X"},
          {32, 1, "P"},
          {33, 9, "    12030"},
          {42, 1, "M"},
          {43, 2, "K3"},
          {45, 1, "1"},
          {46, 12, "INT,KAR/neu "},
          {88, 5, "1 x  "},
          {93, 2, "D "},
          {95, 9, "     9840"},
          {104, 1, "A"},
          {105, 9, "     6520"},
          {114, 1, "B"},
          {117, 4, "25B1"},
          {121, 4, int64_t{0}, "ind_ome.dat"}}},
        {"cvzp.csv: 0000129,A (kind /) ... PC 0.50: an amount below 1 keeps its 0",
         "kl",
         "klkod",
         346,
         "0000129",
         {{307, 9, "      050"}}},
        {"vypad.csv: 0000995,P,2025-10-06,0000289000029500009770000314,...,Změna výrobního místa,2026-01-15",
         "vypad",
         "vypadkod",
         244,
         "0000995",
         {{8, 1, "P"},
          {9, 4, "25A6"},
          {13, 29, "0000289000029500009770000314 "},
          {191, 22, "Změna výrobního místa "},
          {241, 4, "261F"}}},
        {"vypad.csv: 0000205,p,2025-09-01,0001163000015,,Nedostatek účinné látky,99CZ",
         "vypad",
         "vypadkod",
         244,
         "0000205",
         {{8, 1, "p"}, {9, 4, "2591"}, {13, 14, "0001163000015 "}, {241, 4, "99CZ"}}},
        {"klc.csv: 0000995,1037,S,21.7,MG",
         "klc",
         "klclek",
         21,
         "0000995",
         {{1, 7, "0000995"}, {8, 5, " 1037"}, {13, 1, "S"}, {14, 6, "  21.7"}, {20, 2, "MG"}}},
        {"kk.csv: 1001,0,`,PARACETAMOL,,,,,SYN ,,=",
         "kk",
         "kkkod",
         86,
         " 1001",
         {{1, 5, " 1001"},
          {6, 2, " 0"},
          {8, 1, "`"},
          {9, 12, "PARACETAMOL "},
          {76, 5, "     "},
          {81, 4, "SYN "},
          {86, 1, "="}}},
        {"kk.csv: 1037,0,`,ATORVASTATIN VÁPENATÁ SŮL TRIHYDRÁT,,,,1038,SYN ,,5",
         "kk",
         "kknaz",
         86,
         "atorvastatin vapenata",
         {{1, 5, " 1037"}, {9, 36, "ATORVASTATIN VÁPENATÁ SŮL TRIHYDRÁT "}, {76, 5, " 1038"}, {86, 1, "5"}}},
        {"zdrv.csv: SYN ,Syntetický původ",
         "zdrv",
         "zdrvkod",
         74,
         "SYN ",
         {{1, 4, "SYN "}, {5, 17, "Syntetický původ "}}},
        {"atc.csv: C10AA05,,Atorvastatin,,*,F",
         "atc",
         "atckod",
         166,
         "C10AA05",
         {{1, 7, "C10AA05"},
          {8, 1, " "},
          {9, 13, "Atorvastatin "},
          {137, 1, " "},
          {161, 1, "*"},
          {162, 1, "F"}}},
        {"atca.csv: C10AA, Name HMG CoA reductase inhibitors",
         "atca",
         "atcnaza",
         166,
         "hmg coa",
         {{1, 7, "C10AA  "}, {9, 29, "HMG CoA reductase inhibitors "}, {162, 1, "@"}}},
        {"atcp.csv: C1a,Statiny", "atcp", "atcpkod", 103, "C1a", {{1, 3, "C1a"}, {4, 8, "Statiny "}}},
        {"atcpa.csv: C1a,Statins", "atcpa", "atcpkoda", 103, "C1a", {{4, 8, "Statins "}}},
        {"isv.csv: 31,Hypolipidemika", "isv", "isvkod", 58, "31", {{1, 2, "31"}, {3, 15, "Hypolipidemika "}}},
        {"isva.csv: 31,Lipid lowering agents",
         "isva",
         "isvkoda",
         58,
         "31",
         {{3, 22, "Lipid lowering agents "}}},
        {"zemv.csv: YU ,X,Jugoslávie (hidden from the list)",
         "zemv",
         "zemvkod",
         34,
         "YU ",
         {{1, 3, "YU "}, {4, 1, "X"}, {5, 11, "Jugoslávie "}}},
        {"zemva.csv: DE ,,Germany", "zemva", "zemvkoda", 34, "DE ", {{4, 1, " "}, {5, 8, "Germany "}}},
        {"drzv.csv: KRT,DE ,Kretmed Arzneimittel GmbH",
         "drzv",
         "drzvkod",
         106,
         "KRTDE ",
         {{1, 6, "KRTDE "}, {7, 26, "Kretmed Arzneimittel GmbH "}}},
        {"drzv.csv: ZAN,*  ,Zaniklý držitel rozhodnutí (bez země)",
         "drzv",
         "drzvnaz",
         106,
         "zanikly",
         {{1, 6, "ZAN*  "}}},
        {"vpois.csv: 0005,Kretmed Arzneimittel GmbH,www.kretmed.example,kontakt@kretmed.example,...,+49 30 "
         "2100 4400",
         "vpois",
         "vpois",
         300,
         "0005",
         {{1, 4, "0005"},
          {5, 26, "Kretmed Arzneimittel GmbH "},
          {75, 20, "www.kretmed.example "},
          {165, 24, "kontakt@kretmed.example "},
          {265, 18, "+49 30 2100 4400  "},
          {283, 18, "                  "}}},
        {"vzph.csv: 0000129,2024/4,/,0.42,0.53,0.32,,,R,,01.10.2024,,0.37,N02BE01,12",
         "vzph",
         "vzphkod",
         120,
         "0000129",
         {{8, 6, "2024/4"},
          {14, 2, "/ "},
          {16, 11, "        042"},
          {27, 10, "       053"},
          {37, 10, "       032"},
          {49, 1, "R"},
          {90, 10, "01.10.2024"},
          {101, 10, "       037"},
          {111, 7, "N02BE01"},
          {118, 3, " 12"}}},
        {"spot1.csv: 0000129,2025/1,7575,378.75,N02BE01",
         "spot1",
         "spot1atc",
         40,
         "0000129",
         {{8, 6, "2025/1"}, {14, 9, "     7575"}, {23, 11, "      37875"}, {34, 7, "N02BE01"}}},
        {"spot2.csv: 0000129,2023,8607,430.35,N02BE01",
         "spot2",
         "spot2atc",
         40,
         "0000129",
         {{8, 6, "2023  "}, {14, 9, "     8607"}, {23, 11, "      43035"}}},
        {"pfa.csv: 10010,300000,,AB12 PLEŤOVÝ,Pleťový krém s aloe vera,pro suchou a citlivou pleť,50 "
         "ml,BELA,CZ ,,,"
         "189.00,F,gkrem,N",
         "pfa",
         "pfakod",
         246,
         "10010",
         {{1, 5, "10010"},
          {6, 6, "300000"},
          {14, 13, "AB12 PLEŤOVÝ "},
          {58, 25, "Pleťový krém s aloe vera "},
          {118, 27, "pro suchou a citlivou pleť "},
          {178, 6, "50 ml "},
          {210, 4, "BELA"},
          {214, 3, "CZ "},
          {217, 13, "             "},
          {231, 9, "    18900"},
          {240, 1, "F"},
          {241, 4, int64_t{0}, "pfakodex.dat"},
          {245, 2, int64_t{'N' * 512}}}},
        {"pfapk.csv: 10010,AB12", "pfapk", "pfapkkat", 10, "AB12 ", {{1, 5, "10010"}, {6, 5, "AB12 "}}},
        {"pfakatv.csv: AB12,Krémy na obličej",
         "pfakatv",
         "pfakatko",
         68,
         "AB12",
         {{1, 4, "AB12"}, {5, 17, "Krémy na obličej "}}},
        {"pfazemv.csv: CZ ,A,Česká republika",
         "pfazemv",
         "pfazemko",
         34,
         "CZ ",
         {{4, 1, "A"}, {5, 16, "Česká republika "}}},
        {"pfavyrv.csv: BELA,Bělinka kosmetika s.r.o.",
         "pfavyrv",
         "pfavyrko",
         78,
         "BELA",
         {{1, 4, "BELA"}, {5, 25, "Bělinka kosmetika s.r.o. "}}},
        {"pzt.csv: 5000011,A,B,4000011,Obvaz hydrogelový 10 x 10 cm,\"sterilní, "
         "neadhezivní\",P,01,1110,*,10,K,B,MDT,"
         "CZ ,OH01,216.75,O,\"CHI,DER\",289.00,N,U,1,10,3,A,2025-01-01,IIa",
         "pzt",
         "pztkod",
         290,
         "5000011",
         {{1, 7, "5000011"},
          {8, 1, "A"},
          {9, 1, "B"},
          {10, 7, "4000011"},
          {17, 29, "Obvaz hydrogelový 10 x 10 cm "},
          {87, 22, "sterilní, neadhezivní "},
          {167, 1, "P"},
          {168, 2, "01"},
          {170, 4, "1110"},
          {174, 1, "*"},
          {175, 6, "    10"},
          {181, 1, "K"},
          {182, 1, "B"},
          {183, 3, "MDT"},
          {186, 3, "CZ "},
          {189, 4, "OH01"},
          {193, 9, "    21675"},
          {202, 1, "O"},
          {203, 8, "CHI,DER "},
          {255, 9, "    28900"},
          {264, 1, "N"},
          {265, 1, "U"},
          {266, 2, " 1"},
          {268, 4, "  10"},
          {272, 3, "  3"},
          {275, 1, "A"},
          {276, 4, "2511"},
          {280, 5, "IIa  "}}},
        {"pzttypv.csv: 01,Obvazový materiál,tmobvaz",
         "pzttypv",
         "pzttypko",
         106,
         "01",
         {{1, 2, "01"}, {3, 18, "Obvazový materiál "}, {103, 4, int64_t{0}, "pztmet.dat"}}},
        {"pztuhs.csv: 1110,Krytí ran neadhezivní,,A,,,uhs1110",
         "pztuhs",
         "pztuhsko",
         194,
         "1110",
         {{1, 4, "1110"},
          {5, 22, "Krytí ran neadhezivní "},
          {185, 1, "A"},
          {186, 1, " "},
          {191, 4, int64_t{0}, "pztuhsx.dat"}}},
        {"pztvyrv.csv: MDT,CZ ,Meditex s.r.o.",
         "pztvyrv",
         "pztvyrko",
         186,
         "MDT",
         {{1, 3, "MDT"}, {4, 3, "CZ "}, {7, 15, "Meditex s.r.o. "}}},
        {"pztohl.csv: OH01,Meditex s.r.o.",
         "pztohl",
         "pztohlko",
         64,
         "OH01",
         {{1, 4, "OH01"}, {5, 15, "Meditex s.r.o. "}}},
        {"pztzemv.csv: YU ,,Jugoslávie (inactive: blank ACT)",
         "pztzemv",
         "pztzemko",
         34,
         "YU ",
         {{4, 1, " "}, {5, 11, "Jugoslávie "}}},
        // kab has no index: its record 1 is the first pair, 1001 and group
        // 90001, each doubled in three 6-bit characters (2002 = 0, 31, 18;
        // 180002 = 43, 60, 34).
        {"kab.csv: 1001,90001", "kab", "", 6, "", {{1, 3, " ?2"}, {4, 3, "K\\B"}}},
    };
    return cases;
}

const std::map<std::string, std::string>& DocKeys()
{
    // head bytes 8-13 of the documents the chosen records name
    static const std::map<std::string, std::string> keys = {
        {"kodex.dat", "962a6892589d"},  {"letak.dat", "962a6892589d"},   {"kodexa.dat", "962a6892589d"},
        {"spc.dat", "962a6892589d"},    {"ind_ome.dat", "8a82e2a68fff"}, {"pfakodex.dat", "824ade9bffff"},
        {"pztmet.dat", "b66a1bbdacff"}, {"pztuhsx.dat", "ba1b35d75d3f"},
    };
    return keys;
}

TEST(DemoTables, EachTableHasItsChosenRecordAsTheSourceLineSays)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.source);
        TDbTable t;
        std::string rec;
        if (*c.sez) {
            OpenTableIn(t, QEVW_DEMO_DATA_DIR, c.dat, c.sez, c.length);
            ASSERT_EQ(DbStatus, 0);
            FindRecord(t, Kam(c.key), rec);
            ASSERT_EQ(DbStatus, 0);
        } else {
            OpenTableIn(t, QEVW_DEMO_DATA_DIR, c.dat, TFileId(), c.length);
            ASSERT_EQ(DbStatus, 0);
            ReadRecord(t.dat, 1, rec);
            ASSERT_EQ(DbStatus, 0);
        }
        ASSERT_EQ(rec.size(), c.length);
        for (const Expect& e : c.fields) {
            SCOPED_TRACE("position " + std::to_string(e.pos));
            if (e.docFile) {
                const int64_t offset = LittleEndian(rec, e.pos, e.len);
                EXPECT_GT(offset, 0);
                EXPECT_EQ(HeadKey(e.docFile, offset), DocKeys().at(e.docFile));
            } else if (std::holds_alternative<int64_t>(e.value)) {
                EXPECT_EQ(LittleEndian(rec, e.pos, e.len), std::get<int64_t>(e.value));
            } else {
                EXPECT_EQ(rec.substr(static_cast<size_t>(e.pos - 1), static_cast<size_t>(e.len)),
                          Kam(std::get<const char*>(e.value)));
            }
        }
    }
}

// The record lengths of the data folder reference, which the program checks
// when it opens a table, and the positions the sign sets are derived from.
TEST(DemoTables, LayoutsHaveTheLengthsTheReaderExpects)
{
    const std::map<std::string, int> lengths = {
        {"kl", 346},      {"kle", 21},     {"cvzp", 124},    {"isv", 58},     {"isva", 58},    {"atc", 166},
        {"atca", 166},    {"atcp", 103},   {"atcpa", 103},   {"drzv", 106},   {"zemv", 34},    {"zemva", 34},
        {"klc", 21},      {"kk", 86},      {"kab", 6},       {"zdrv", 74},    {"vpois", 300},  {"vypad", 244},
        {"pfa", 246},     {"pfavyrv", 78}, {"pfazemv", 34},  {"pfakatv", 68}, {"pfapk", 10},   {"pzt", 290},
        {"pzttypv", 106}, {"pztuhs", 194}, {"pztvyrv", 186}, {"pztohl", 64},  {"pztzemv", 34},
    };
    for (const auto& [id, length] : lengths)
        EXPECT_EQ(DemoTable(id).layout.Length(), length) << id;
    const DatLayout& kl = DemoTable("kl").layout;
    EXPECT_EQ(kl.Offset("SR"), 189);
    EXPECT_EQ(kl.Offset("INS"), 190);
    EXPECT_EQ(kl.Offset("OB"), 242);
    EXPECT_EQ(kl.Offset("PDO"), 244);
    EXPECT_EQ(kl.Offset("UH"), 249);
    EXPECT_EQ(kl.Offset("ZAS"), 255);
    EXPECT_EQ(kl.Offset("CC"), 320);
    EXPECT_EQ(DemoTable("pfapk").layout.HeaderShift(), 1);
    EXPECT_EQ(DemoTable("kab").layout.HeaderShift(), 1);
}

// Fields no value was given for: text blank, document offsets -1 (kl, pfa,
// pzttypv) or 0 (pztuhs, cvzp), so "no document" reads as the readers expect.
TEST(DemoTables, MissingDocumentsReadAsNone)
{
    struct None {
        const char* dat;
        const char* sez;
        uint16_t length;
        const char* key;
        int pos;
        int32_t value;
    };
    const None cases[] = {
        {"kl", "klkod", 346, "0000146", 321, -1},    // Horečkan: no summary text
        {"kl", "klkod", 346, "0000146", 325, -1},    // nor leaflet
        {"pfa", "pfakod", 246, "10027", 241, -1},    // goods without text
        {"pzttypv", "pzttypko", 106, "04", 103, -1}, // device type without text
        {"pztuhs", "pztuhsko", 194, "1120", 191, 0}, // group without text
        {"cvzp", "cvzpkod", 124, "0000113", 121, 0}, // price record without indication
    };
    for (const None& n : cases) {
        SCOPED_TRACE(std::string(n.dat) + " " + n.key);
        TDbTable t;
        OpenTableIn(t, QEVW_DEMO_DATA_DIR, n.dat, n.sez, n.length);
        std::string rec;
        FindRecord(t, n.key, rec);
        ASSERT_EQ(DbStatus, 0);
        EXPECT_EQ(LittleEndian(rec, n.pos, 4), n.value);
    }
}

} // namespace
