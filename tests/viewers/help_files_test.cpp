// Help files: topic titles and levels, the topic list of the manual with and
// without a second file, the doping list, generated pages, the content a
// placeholder asks for, and damaged files.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "viewers/help_files.h"
#include "writers/help_writer.h"
#include "writers/x6_writer.h"

namespace {

using test_support::Bytes;

std::string Compile(const std::string& source, HelpFileKind kind, bool compressed)
{
    HelpCompileOptions o;
    o.kind = kind;
    o.compressed = compressed;
    HelpCompiler c(o);
    c.AddSource(source, "src.txt");
    std::string bytes;
    EXPECT_TRUE(c.Finish(bytes)) << (c.Errors().empty() ? "" : c.Errors()[0].Text());
    return bytes;
}

// Numbered topics "Téma N" keyed T0, T1 ... ("@topic" lines).
std::string Topics(int n, const std::string& prefix = "T")
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "@topic " + prefix + " " + std::to_string(i) + "\n@key " + prefix + std::to_string(i) + "\nx\n";
    return s;
}

struct Folders {
    QTemporaryDir program;
    QTemporaryDir data;
    std::string Program() const { return WithTrailingSlash(program.path().toStdString()); }
    std::string Data() const { return WithTrailingSlash(data.path().toStdString()); }
    void Put(const std::string& folder, const std::string& name, const std::string& bytes) const
    {
        ASSERT_EQ(WriteFileAtomic(folder + name, bytes), 0);
    }
};

const std::string kManual =
    "@part Část\n@chapter Kapitola\n@topic Jedna\n@key ONE\nx\n@topic Dvě\n@key TWO\ny\n"
    "@chapter Druhá\n@topic Tři\n@key THREE\nz\n";

TEST(HelpFiles, TitlesAndLevels)
{
    struct Case {
        std::string text;
        bool found;
        std::string title;
        int level;
    };
    const std::vector<Case> cases = {
        {CtrlTextWriter().Code(18, {10}).Text("Kapitola").Code(14).Text("x").Take(), true, "Kapitola", 1},
        {CtrlTextWriter().Code(18, {9}).Text("Cast").Code(13).Take(), true, "Cast", 2},
        {CtrlTextWriter().Code(18, {8}).Text("A").Code(20, {1}).Text("B").Code(24, {0, 0, 5}).Take(), true,
         "A" + CtrlCodeBytes(20, {1}) + "B", 0},
        {CtrlTextWriter().Text(std::string(40, 'x')).Code(18, {11}).Text("T").Code(21, {1}).Take(), true, "T",
         0},
        {CtrlTextWriter().Text(std::string(51, 'x')).Code(18, {11}).Text("T").Take(), false, "", 0},
        {CtrlTextWriter().Code(14).Text("no title").Take(), false, "", 0},
        {CtrlTextWriter().Code(18, {10}).Text("Konec").Code(1).Take(), true, "Konec", 1},
    };
    for (const Case& c : cases) {
        const HelpTitle t = HelpTopicTitle(c.text);
        EXPECT_EQ(t.found, c.found) << c.title;
        EXPECT_EQ(t.title, c.title);
        if (t.found)
            EXPECT_EQ(HelpTopicLevel(t.value), c.level) << c.title;
    }
    EXPECT_EQ(HelpPlainTitle("A" + CtrlCodeBytes(20, {1}) + "B"), "AB");
    EXPECT_EQ(DopingMarker(CtrlTextWriter().Code(19, {1}).Text("S1").Code(20, {1}).Text(" x").Take()), "S1");
    EXPECT_EQ(DopingMarker(CtrlTextWriter().Code(19, {1}).Text("ABCDEFG").Take()), "ABCDE");
    EXPECT_EQ(DopingMarker(CtrlTextWriter().Code(19, {2}).Text("S1").Take()), "");
}

TEST(HelpFiles, TopicListOfTheManualAndASecondFile)
{
    Folders f;
    f.Put(f.Program(), "qevw.hla", Compile(kManual, HelpFileKind::Manual, true));
    HelpFiles files;
    HelpOpenResult r = OpenHelpFiles(files, f.Program(), f.Data());
    ASSERT_TRUE(r.ok);
    const HelpTopicList& list = files.list;
    ASSERT_EQ(list.Count(), 2 + 6);
    EXPECT_EQ(list.manualRecords, 6);
    EXPECT_EQ(list.entries[0].key, PackTopicKey("TITUL_"));
    EXPECT_EQ(list.entries[0].location, 0u);
    EXPECT_EQ(list.entries[1].location, kHelpGenerated + 1);
    EXPECT_EQ(list.entries[2].Level(), 2);
    EXPECT_EQ(list.entries[3].Level(), 1);
    EXPECT_TRUE(list.entries[3].Generated());
    EXPECT_FALSE(list.entries[4].Generated());
    EXPECT_EQ(list.entries[2].Offset(), 16);
    EXPECT_GT(list.entries[4].Offset(), list.entries[3].Offset());
    EXPECT_EQ(list.Find(PackTopicKey("ONE___")), 4);
    EXPECT_EQ(list.Find(PackTopicKey("three_")), 7);
    EXPECT_EQ(list.Find(PackTopicKey("NONE")), -1);

    // Without a second file the title page shows the contents.
    HelpContentSources src;
    std::string text;
    ReadHelpTopic(files, 0, src, text);
    EXPECT_EQ(text, BuildContentsPage(list, 1, "Obsah"));

    // A second file: its first record becomes the title page, the others follow.
    f.Put(f.Data(), "kalvo.hla",
          Compile("@topic Titulní strana\n@key TITUL_\nt\n@topic Data\nd\n", HelpFileKind::Second, false));
    r = OpenHelpFiles(files, f.Program(), f.Data());
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(files.list.Count(), 2 + 6 + 1);
    EXPECT_TRUE(files.hasSecond);
    EXPECT_EQ(files.list.entries[0].title, "Tituln\xa1 strana");
    EXPECT_EQ(files.list.entries[0].Offset(), 16);
    EXPECT_EQ(files.list.entries[8].abbreviation, "DATA__");
    ReadHelpTopic(files, 8, src, text);
    EXPECT_EQ(HelpTopicTitle(text).title, "Data");

    // "corvana.hla" comes before "kalvo.hla".
    f.Put(f.Data(), "corvana.hla", Compile("@topic Korvana\n@key TITUL_\nk\n", HelpFileKind::Second, false));
    r = OpenHelpFiles(files, f.Program(), f.Data());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(files.list.entries[0].title, "Korvana");
    EXPECT_EQ(files.list.Count(), 2 + 6);
}

TEST(HelpFiles, ListHoldsAt256Topics)
{
    Folders f;
    f.Put(f.Program(), "qevw.hla", Compile(Topics(250), HelpFileKind::Manual, false));
    f.Put(f.Data(), "kalvo.hla", Compile(Topics(10, "S"), HelpFileKind::Second, false));
    ClearRunLog();
    HelpFiles files;
    ASSERT_TRUE(OpenHelpFiles(files, f.Program(), f.Data()).ok);
    EXPECT_EQ(files.list.Count(), 256);
    EXPECT_TRUE(files.list.capped);
    // 252 entries of the manual, then S1 to S4 (S0 became the title page).
    EXPECT_EQ(files.list.entries[255].abbreviation, "S4____");
    EXPECT_NE(RunLogText().find("left out"), std::string::npos);
}

TEST(HelpFiles, GeneratedContentsAndChapterPages)
{
    Folders f;
    f.Put(f.Program(), "qevw.hla", Compile(kManual, HelpFileKind::Manual, false));
    HelpFiles files;
    ASSERT_TRUE(OpenHelpFiles(files, f.Program(), f.Data()).ok);
    const HelpTopicList& list = files.list;
    // Contents: its title, then chapters as paragraphs and topics as rows,
    // each a link with the stored key in capitals; two closing zeros.
    const std::string contents = BuildContentsPage(list, 1, "Obsah");
    CtrlTextWriter w;
    w.Code(18, {9}).Text("Obsah");
    for (int i = 2; i < list.Count(); ++i) {
        if (list.entries[static_cast<size_t>(i)].Level() > 0)
            w.Code(18, {5});
        else
            w.Code(13);
        w.Raw(HelpLinkTo(list.entries[static_cast<size_t>(i)]));
    }
    w.Raw(std::string(2, '\0'));
    EXPECT_EQ(contents, w.Take());
    EXPECT_EQ(HelpLinkTo(list.entries[4]),
              CtrlTextWriter().CodeString(26, "ONE___").Text("Jedna").Code(7).Take());

    // A chapter lists the topics up to the next chapter; a part its chapters.
    std::string text;
    ReadHelpTopic(files, 3, HelpContentSources{}, text);
    EXPECT_EQ(text, CtrlTextWriter()
                        .Code(18, {10})
                        .Text("Kapitola")
                        .Code(14)
                        .Raw(HelpLinkTo(list.entries[4]))
                        .Code(13)
                        .Raw(HelpLinkTo(list.entries[5]))
                        .Code(13)
                        .Raw(std::string(2, '\0'))
                        .Take());
    ReadHelpTopic(files, 2, HelpContentSources{}, text);
    EXPECT_NE(text.find(HelpLinkTo(list.entries[3])), std::string::npos);
    EXPECT_NE(text.find(HelpLinkTo(list.entries[6])), std::string::npos);
    EXPECT_EQ(text.find(HelpLinkTo(list.entries[4])), std::string::npos);
}

TEST(HelpFiles, DopingListIsKeyedByItsMarkers)
{
    Folders f;
    const std::string source = "@entry DOP Seznam\n[[S1]]\n@entry S1 Anabolika\nx\n";
    f.Put(f.Data(), "doping.dat", Compile(source, HelpFileKind::Doping, false));
    HelpFiles files;
    ASSERT_TRUE(OpenDopingFile(files, f.Data()).ok);
    ASSERT_EQ(files.list.Count(), 2);
    EXPECT_EQ(files.list.entries[0].title, "DOP");
    EXPECT_EQ(files.list.entries[1].key, PackTopicKey("S1"));

    // An entry without a marker.
    X6FileOptions o;
    o.compressed = false;
    X6Writer extra(o);
    X6Record noMarker;
    noMarker.text = CtrlTextWriter().Code(14).Text("bez").Take();
    X6Record marked;
    marked.text = CtrlTextWriter().Code(19, {1}).Text("S9").Take();
    extra.Add(noMarker);
    extra.Add(marked);
    f.Put(f.Data(), "doping.dat", extra.Finish());
    ASSERT_TRUE(OpenDopingFile(files, f.Data()).ok);
    ASSERT_EQ(files.list.Count(), 2);
    EXPECT_EQ(files.list.entries[0].title, "noname");
    EXPECT_EQ(files.list.entries[0].key, PackTopicKey("NONAME"));
    EXPECT_EQ(files.list.entries[1].key, PackTopicKey("S9"));
}

class HelpPlaceholders : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = DataTexts.Get();
        ASSERT_GE(LoadTextTable(DataTexts, std::string(QEVW_DEMO_DATA_DIR) + "/kalvo.ces"),
                  TextTableResult::FirstSuccess);
        src.dataFolder = WithTrailingSlash(QEVW_DEMO_DATA_DIR);
        src.dataTexts = DataTexts.Get().get();
        src.noTable = "NO TABLE";
    }
    void TearDown() override { DataTexts.Set(previous_); }

    std::string Expand(const std::string& placeholder, bool withCode14 = true) const
    {
        CtrlTextWriter w;
        w.Code(18, {8}).Text("Data");
        if (withCode14)
            w.Code(14);
        w.CodeString(28, placeholder);
        return ExpandHelpPlaceholder(w.Take(), src);
    }
    static std::string Head() { return CtrlTextWriter().Code(18, {8}).Text("Data").Take(); }

    HelpContentSources src;
    TextTablePtr previous_;
};

TEST_F(HelpPlaceholders, DataFileTable)
{
    const std::string text = Expand("##PZTOHL");
    ASSERT_EQ(text.substr(0, Head().size()), Head());
    const std::string table = text.substr(Head().size());
    EXPECT_EQ(table.substr(0, 9), CtrlCodeBytes(24, {112, 1, 43, 511}));
    TDatFile dat;
    OpenDatFile(dat, src.dataFolder, TFileId("pztohl"), 0);
    ASSERT_TRUE(dat.IsOpen());
    int rows = 0;
    CtrlTokenizer walk(table);
    CtrlItem item;
    while (walk.Next(item))
        rows += item.IsCode(11) ? 1 : 0;
    EXPECT_EQ(rows, dat.count - 1);
    EXPECT_EQ(table.back(), '\x04');
    // The first row: the record's first 4 bytes, code 6, the rest trimmed.
    std::string rec;
    ReadRecord(dat, 1, rec);
    std::string rest = rec.substr(4);
    while (!rest.empty() && rest.back() == ' ')
        rest.pop_back();
    EXPECT_NE(table.find("\x0B" + rec.substr(0, 4) + "\x06" + rest), std::string::npos);
    EXPECT_EQ(Expand("##NOSUCH"), Head() + "\x0E"
                                           "NO TABLE");
}

TEST_F(HelpPlaceholders, SectionTables)
{
    std::string value;
    ASSERT_NE(GetTextEntry(src.dataTexts, "Vyd", "R_", value), 0);
    const std::string vyd = Expand("#[VYD");
    EXPECT_NE(vyd.find(CtrlCodeBytes(24, {112, 1, 43, 511})), std::string::npos);
    // Enumerated after the heading "__"; "_" becomes a hard blank.
    EXPECT_NE(vyd.find("\x0BR\x7F\x06" + value), std::string::npos);
    EXPECT_EQ(vyd.find("\x0B\x7F\x7F\x06"), std::string::npos);
    EXPECT_NE(Expand("#[LFOR").find(CtrlCodeBytes(24, {112, 1, 93, 511})), std::string::npos);
    ASSERT_NE(GetTextEntry(src.dataTexts, "TBa", "K", value), 0);
    EXPECT_NE(Expand("#[TBA").find("\x0BK\x06" + value), std::string::npos);
    EXPECT_EQ(Expand("#[NIC"), Head() + "\x0E"
                                        "NO TABLE");
}

TEST_F(HelpPlaceholders, SymbolLegendAndWhatIsNoPlaceholder)
{
    const std::string legend = Expand("#[UHR");
    EXPECT_NE(legend.find(Bytes({18, 11, 16})), std::string::npos);
    EXPECT_EQ(legend.find(Bytes({19, 7, 16})), std::string::npos);
    // Without a code 14 before it only the code goes.
    EXPECT_EQ(Expand("#[UHR", false), legend);
    QTemporaryDir empty;
    HelpContentSources none = src;
    none.dataFolder = WithTrailingSlash(empty.path().toStdString());
    EXPECT_EQ(LoadSymbolLegend(none.dataFolder, "NO TABLE"), "\x0E"
                                                             "NO TABLE");

    // Too short, not "#", or before the last 15 bytes: left alone.
    for (const std::string& text :
         {CtrlTextWriter().Code(18, {8}).Text("D").CodeString(28, "#[UH").Take(),
          CtrlTextWriter().Code(18, {8}).Text("D").CodeString(28, "X[UHR").Take(),
          CtrlTextWriter().Code(18, {8}).Text("D").CodeString(28, "#[UHR").Text(std::string(20, 'x')).Take()})
        EXPECT_EQ(ExpandHelpPlaceholder(text, src), text);
    // A pair whose bytes are 28 is no code 28.
    const std::string pair = CtrlTextWriter().Code(18, {8}).Text("D").Code(20, {3100}).Take();
    ASSERT_NE(pair.find('\x1C'), std::string::npos);
    EXPECT_EQ(ExpandHelpPlaceholder(pair, src), pair);
}

TEST(HelpFiles, DamagedFilesAreRefusedWithTheirStatus)
{
    const std::string broken = std::string(QEVW_FIXTURES_DIR) + "/broken/";
    for (const char* name :
         {"help_truncated.hla", "help_bad_magic.hla", "help_record_past_end.hla", "help_short_heads.hla"}) {
        std::string bytes;
        ASSERT_EQ(ReadWholeFile(broken + name, bytes), 0) << name;
        Folders f;
        f.Put(f.Program(), "qevw.hla", bytes);
        f.Put(f.Data(), "doping.dat", bytes);
        HelpFiles files;
        HelpOpenResult r = OpenHelpFiles(files, f.Program(), f.Data());
        EXPECT_FALSE(r.ok) << name;
        EXPECT_NE(r.status, 0) << name;
        EXPECT_EQ(r.file, f.Program() + "qevw.hla");
        r = OpenDopingFile(files, f.Data());
        EXPECT_FALSE(r.ok) << name;
        EXPECT_NE(r.status, 0) << name;
        // As the second file it is left out; the manual stands.
        f.Put(f.Program(), "qevw.hla", Compile(kManual, HelpFileKind::Manual, false));
        f.Put(f.Data(), "kalvo.hla", bytes);
        ClearRunLog();
        r = OpenHelpFiles(files, f.Program(), f.Data());
        EXPECT_TRUE(r.ok) << name;
        EXPECT_FALSE(files.hasSecond) << name;
        EXPECT_NE(RunLogText().find("damaged"), std::string::npos) << name;
    }
    // A missing manual: status 0 and its full name.
    Folders f;
    HelpFiles files;
    const HelpOpenResult r = OpenHelpFiles(files, f.Program(), f.Data());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.file, f.Program() + "qevw.hla");
}

} // namespace
