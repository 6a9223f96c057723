// The maximal-dose batch over a fixture folder (a file per error kind, two
// folders sharing a code, skipped names, both prefix forms), its outputs and
// counts, a failed write, the summary look-up and the request file.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "support/failing_file_system.h"
#include "viewers/max_dose.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

std::string Code(int record)
{
    return std::to_string(10000000 + 100 + record).substr(1);
}

std::string Read(const std::string& path)
{
    std::string s;
    return ReadWholeFile(path, s) == 0 ? s : std::string("<missing>");
}

struct Progress : MaxDoseProgress {
    std::string text;
    void Append(const std::string& t) override { text += t; }
};

std::string MaxFile(const std::vector<std::string>& codes, const std::string& atc, const std::string& status)
{
    std::string s = "{\"name\":\"x\",\"involvedDrugs\":[";
    for (const std::string& c : codes)
        s += "{\"code\":\"" + c + "\"},";
    s += "],\"ATC\":\"" + atc + "\",\"status\":\"" + status + "\",\"v\":1}";
    return s;
}

class MaxDoseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        data = dir.path().toStdString() + "/data/";
        root = dir.path().toStdString() + "/max/";
        QDir().mkpath(QString::fromStdString(data));
        const DatLayout kl(kKlLayout);
        std::vector<std::string> records;
        for (int r = 1; r <= 10; ++r) {
            std::string rec = kl.BlankRecord();
            kl.PutText(rec, "KOD", Code(r));
            kl.PutText(rec, "ATC", r <= 8 ? "N02BE01" : "A01AA01");
            records.push_back(rec);
        }
        ASSERT_EQ(WriteDatFile(data + "kl.dat", kl, records), 0);
        ASSERT_EQ(WriteSezFile(data + "klkod.sez", records, SezKeySpec{0, 7, 32, 7}), 0);
    }
    void Put(const std::string& rel, const std::string& bytes)
    {
        const std::string path = root + rel;
        QDir().mkpath(QString::fromStdString(path.substr(0, path.find_last_of('/'))));
        ASSERT_EQ(WriteFileAtomic(path, bytes), 0);
    }
    void Fixture()
    {
        Put("a/1ok.max", MaxFile({Code(1), Code(2)}, "N02BE01", "For Publication"));
        Put("a/2kinds.max", MaxFile({Code(1), "12345678", "0000999", Code(9)}, "N02BE02", "Strange status"));
        Put("a/3nostatus.max", "{\"involvedDrugs\":[{\"code\":\"" + Code(3) + "\"}],\"ATC\":\"N02BE01\"}");
        Put("a/4noarray.max", "{\"drugs\":[]}");
        Put("a/5noend.max", "{\"involvedDrugs\":[{\"code\":\"" + Code(4) + "\"}");
        // No ATC key: the status is searched from the file's start.
        Put("a/6noatc.max",
            "{\"involvedDrugs\":[{\"code\":\"" + Code(5) + "\"}],\"status\":\"In Progress\"}");
        Put("a/-skipped.max", MaxFile({Code(6)}, "N02BE01", "For Review"));
        Put("a/_skipped.max", MaxFile({Code(6)}, "N02BE01", "For Review"));
        Put("a/notes.txt", "not a max file");
        Put("B/7review.MAX", MaxFile({Code(2), Code(7)}, "N02BE01", "For Review"));
        Put("-hidden/8.max", MaxFile({Code(8)}, "N02BE01", "For Review"));
        Put(".dot/8.max", MaxFile({Code(8)}, "N02BE01", "For Review"));
        QDir().mkpath(QString::fromStdString(root + "empty"));
    }

    QTemporaryDir dir;
    std::string data, root;
};

TEST_F(MaxDoseTest, TheBatchWritesTheGoldenSummaryErrorsAndCounts)
{
    Fixture();
    Progress p;
    MaxDoseCounts counts;
    const std::string result = RunMaxDoseBatch(data, root, p, &counts);
    EXPECT_EQ(Read(root + ".maxim.stx"), Code(1) + "=a\\1ok\r\n" + Code(2) + "=a\\1ok\r\n" +
                                             "1234567=a\\2kinds\r\n" + "0000999=a\\2kinds\r\n" + Code(9) +
                                             "=a\\2kinds\r\n" + Code(3) + "=a\\3nostatus\r\n" + Code(5) +
                                             "=a\\6noatc\r\n" + Code(7) + "=B\\7review\r\n");
    const std::string errors = Read(root + ".maxim.err");
    const std::string kinds = root + "a/2kinds.max";
    const std::string kindsText = Read(kinds);
    const size_t firstCode = kindsText.find("\"code\":") + 1;
    EXPECT_EQ(errors.rfind(kinds + "\r\n poloha:\"" + std::to_string(firstCode) + "\" typ:obsazen hodn1:\"" +
                               Code(1) + "\" hodn2:\"a\\1ok\"\r\n",
                           0),
              0u)
        << errors;
    for (const char* line :
         {"typ:chybnyKod hodn1:\"12345678\"", "typ:neniLek hodn1:\"1234567\"",
          "typ:neniLek hodn1:\"0000999\"", "typ:ruzneATC hodn1:\"A01AA01\" hodn2:\"N02BE01\"",
          "typ:nesouladATC hodn1:\"N02BE02\" hodn2:\"N02BE01\"", "typ:divnyStatus hodn1:\"Strange stat\"",
          "typ:bezStatus", "typ:neMaxJs", "typ:endDrugs", "typ:chybiATC",
          "typ:obsazen hodn1:\"" /* 7review's Code(2) */})
        EXPECT_NE(errors.find(line), std::string::npos) << line;
    EXPECT_EQ(errors.find("skipped"), std::string::npos);
    EXPECT_EQ(errors.find("hidden"), std::string::npos);
    EXPECT_EQ(counts.files, 7);
    EXPECT_EQ(counts.filesByStatus[1], 1);
    EXPECT_EQ(counts.filesByStatus[2], 1);
    EXPECT_EQ(counts.filesByStatus[3], 1);
    EXPECT_EQ(counts.codes, 8);
    EXPECT_EQ(counts.codesByStatus[0], 4); // 2kinds (bad status) and 3nostatus
    EXPECT_EQ(result.substr(0, result.find('\r')), "maximálek 7");
    EXPECT_NE(result.find("\rchyb " + std::to_string(counts.errorLines)), std::string::npos);
    EXPECT_NE(p.text.find("2kinds.max obsazen"), std::string::npos);
    EXPECT_NE(p.text.find("1ok.max     OK"), std::string::npos);
}

TEST_F(MaxDoseTest, APrefixWithANameBeginningCountsItsFoldersOnly)
{
    Put("grpA/x.max", MaxFile({Code(1)}, "N02BE01", "For Publication"));
    Put("grpB/y.max", MaxFile({Code(2)}, "N02BE01", "For Publication"));
    Put("other/z.max", MaxFile({Code(3)}, "N02BE01", "For Publication"));
    Progress p;
    MaxDoseCounts counts;
    RunMaxDoseBatch(data, root + "grp", p, &counts);
    EXPECT_EQ(Read(root + "grp.maxim.stx"), Code(1) + "=A\\x\r\n" + Code(2) + "=B\\y\r\n");
    EXPECT_EQ(FindMaxDoseFileName(root + "grp", Code(2)), "B\\y");
    EXPECT_EQ(MaxDoseFilePath(root + "grp", "B\\y"), root + "grpB/y.max");
    EXPECT_FALSE(FileExists(root + "grp.maxim.err"));
}

TEST_F(MaxDoseTest, AnEmptyFolderGivesAnEmptySummaryAndNoErrors)
{
    QDir().mkpath(QString::fromStdString(root + "empty"));
    Put(".maxim.err", "old errors");
    Progress p;
    MaxDoseCounts counts;
    const std::string result = RunMaxDoseBatch(data, root, p, &counts);
    EXPECT_EQ(Read(root + ".maxim.stx"), "");
    EXPECT_FALSE(FileExists(root + ".maxim.err"));
    EXPECT_EQ(
        result,
        "maximálek 0\r  public/review/progres 0/0/0\rbalení léků 0\r  public/review/progres 0/0/0\rchyb 0");
}

TEST_F(MaxDoseTest, AFailedWriteKeepsTheOldFilesAndSaysWhy)
{
    Fixture();
    Put(".maxim.stx", "old summary");
    Put(".maxim.err", "old errors");
    test_support::FailingFileSystem fs;
    fs.failAt = test_support::FailingFileSystem::Step::Rename;
    Progress p;
    MaxDoseCounts counts;
    const std::string result = RunMaxDoseBatch(data, root, p, &counts, fs);
    EXPECT_FALSE(counts.written);
    EXPECT_EQ(Read(root + ".maxim.stx"), "old summary");
    EXPECT_EQ(Read(root + ".maxim.err"), "old errors");
    EXPECT_NE(result.find(".maxim.stx"), std::string::npos);
}

TEST_F(MaxDoseTest, TheLookUpFindsNamesOfAtMostThirteenCharacters)
{
    Put(".maxim.stx", Code(1) + "=a\\short\r\n" + Code(2) + "=a\\muchlongername\r\n");
    EXPECT_EQ(FindMaxDoseFileName(root, Code(1)), "a\\short");
    EXPECT_EQ(FindMaxDoseFileName(root, Code(2)), "");
    EXPECT_EQ(FindMaxDoseFileName(root, Code(3)), "");
}

TEST_F(MaxDoseTest, TheRequestFileListsCodesDateAndReference)
{
    const std::string text = std::string("head\x13\x01\x10", 7) + Code(1) + " " + Code(2) + " end" +
                             std::string("\x12\x0A\x10", 3) + "10. Datum\x0E 5.3.2024 (\x9F.j. 12/345/2020)";
    MaxDoseRequest r;
    r.codes = DocumentProductCodes(text);
    ReadSection10(text, r);
    r.documentNumber = 4321;
    EXPECT_EQ(r.codes, (std::vector<std::string>{Code(1), Code(2)}));
    EXPECT_EQ(r.date, "2024/03/05");
    EXPECT_EQ(r.reference, "12/345/2020");
    const std::string style = "<text textstyle=\"Kodex\" parastyle=\"Kodex\">";
    EXPECT_EQ(RvxmlExport(r), "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n<rvxml>\r\n"
                              "<document stringtags=\"0\">\r\n" +
                                  style + "01</text>\r\n<text>" + Code(1) + "</text>\r\n<text>" + Code(2) +
                                  "</text>\r\n" + style + "91</text>\r\n<text>2024/03/05</text>\r\n" + style +
                                  "92</text>\r\n<text>12/345/2020</text>\r\n" + style +
                                  "94</text>\r\n<text>4321</text>\r\n</document>\r\n</rvxml>\r\n");
    EXPECT_FALSE(HasProductCodeMarker("no marker"));
}

// Elements 91 and 92 follow the paragraph's date byte and "(č.j.", not
// whether the runs after them read as a date or a number.
TEST_F(MaxDoseTest, TheRequestNamesTheDateAndReferenceWhereverSectionTenMarksThem)
{
    const std::string style = "<text textstyle=\"Kodex\" parastyle=\"Kodex\">";
    struct Case {
        std::string paragraph;
        std::string elements; // what lies between the codes and element 94
    } cases[] = {
        // The demo's wording: the number starts with letters, so it reads empty.
        {"10. DATUM REVIZE TEXTU\x0E"
         "20. 5. 2025 (\x9F.j. SUKLS123959/2025)",
         style + "91</text>\r\n<text>2025/05/20</text>\r\n" + style + "92</text>\r\n<text></text>\r\n"},
        {"10. DATUM\x0E"
         "brzy",
         style + "91</text>\r\n<text></text>\r\n"},
        {"10. DATUM (\x9F.j. 7/2020)", style + "92</text>\r\n<text>7/2020</text>\r\n"},
        {"10. DATUM REVIZE TEXTU", ""},
    };
    for (const Case& c : cases) {
        MaxDoseRequest r;
        ReadSection10(std::string("\x12\x0A\x10", 3) + c.paragraph, r);
        EXPECT_EQ(RvxmlExport(r), "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n<rvxml>\r\n"
                                  "<document stringtags=\"0\">\r\n" +
                                      style + "01</text>\r\n" + c.elements + style +
                                      "94</text>\r\n<text>0</text>\r\n</document>\r\n</rvxml>\r\n")
            << c.paragraph;
    }
}

} // namespace

namespace {

// The demo's Suspedol (0000744) is of a specific treatment programme and
// shares its registration key with the current Paramedol 0000740 and 0000743.
TEST(MaxDoseDemoTest, AProgrammeProductTurnsToItsProgrammeCounterpart)
{
    SetDataDir(std::string(QEVW_DEMO_DATA_DIR) + "/");
    auto recordOf = [](const std::string& code) {
        TDbTable byCode;
        std::string rec;
        OpenTable(byCode, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
        FindRecord(byCode, code, rec);
        const int32_t r = DbStatus == 0 && rec.compare(0, 7, code) == 0 ? byCode.recNo : 0;
        DbStatus = 0;
        OpenTable(byCode, TFileId(), TFileId(), 0);
        return r;
    };
    const int32_t programme = recordOf("0000744"), registered = recordOf("0000740");
    ASSERT_GT(programme, 0);
    ASSERT_GT(registered, 0);

    TDbTable klrc;
    OpenTable(klrc, TFileId("kl"), TFileId("klrc"), kKlLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    std::string rec;
    ReadRecord(klrc.dat, programme, rec);
    EXPECT_TRUE(IsSpecificProgrammeProduct(rec));
    EXPECT_EQ(ProgrammeCounterpart(rec, klrc), registered);
    ReadRecord(klrc.dat, registered, rec);
    EXPECT_FALSE(IsSpecificProgrammeProduct(rec));
    EXPECT_EQ(ProgrammeCounterpart(rec, klrc), 0);

    // Paramedol's SPC names the number 07/6102/20: the request adds the
    // programme product, not the registered ones.
    const std::string spc = std::string("\x13\x03\x10", 3) + "07/6102/20" + std::string("\x13\x01\x10", 3) +
                            "0000740 0000743" + std::string("\x12\x0A\x10", 3) + "10. DATUM REVIZE TEXTU";
    EXPECT_EQ(CollectRegCodes(spc, klrc), std::vector<std::string>{"0000744"});

    // The product shown: the programme product turns to its counterpart; a
    // product without an SPC gives nothing to show.
    const MaxDoseProduct ofProgramme = MaxDoseProductOf(programme, klrc);
    EXPECT_EQ(ofProgramme.record, registered);
    EXPECT_TRUE(ofProgramme.counterpart);
    EXPECT_TRUE(ofProgramme.hasDocument);
    const MaxDoseProduct ofRegistered = MaxDoseProductOf(registered, klrc);
    EXPECT_EQ(ofRegistered.record, registered);
    EXPECT_FALSE(ofRegistered.counterpart);
    EXPECT_TRUE(ofRegistered.hasDocument);
    int32_t withoutSpc = 0;
    for (int32_t r = 1; r < klrc.dat.count && withoutSpc == 0; ++r) {
        ReadRecord(klrc.dat, r, rec);
        if (static_cast<int32_t>(DecodeLE32(rec.data() + kDrugSpcOffset.Offset())) == -1)
            withoutSpc = r;
    }
    ASSERT_GT(withoutSpc, 0) << "the demo has products without an SPC";
    EXPECT_FALSE(MaxDoseProductOf(withoutSpc, klrc).hasDocument);
    EXPECT_FALSE(MaxDoseProductOf(klrc.dat.count, klrc).hasDocument) << "past the table's end";
    OpenTable(klrc, TFileId(), TFileId(), 0);
}

} // namespace
