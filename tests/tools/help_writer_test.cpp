// The help-file writer: its output against a file laid out by hand, the
// markup it compiles, and the faults it refuses (with file and line, and no
// file).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "datastore/packed_text.h"
#include "datastore/topic_keys.h"
#include "tests/support/bytes.h"
#include "writers/csv_source.h"
#include "writers/help_writer.h"

namespace {

using test_support::Bytes;

struct Compiled {
    bool ok = false;
    std::string bytes;
    std::vector<HelpCompileError> errors;
    std::vector<HelpCompiledTopic> topics;
};

Compiled Compile(const std::string& source, HelpFileKind kind = HelpFileKind::Manual, bool compressed = false)
{
    HelpCompileOptions o;
    o.kind = kind;
    o.compressed = compressed;
    HelpCompiler c(o);
    c.AddSource(source, "src.txt");
    Compiled r;
    r.ok = c.Finish(r.bytes);
    r.errors = c.Errors();
    r.topics = c.Topics();
    return r;
}

TEST(HelpWriter, TwoTopicsAsLaidOutByHand)
{
    const Compiled c = Compile("@topic Ab\n@key AB\nx\n\n@topic Cd\n[[AB|y]]\n");
    ASSERT_TRUE(c.ok) << (c.errors.empty() ? "" : c.errors[0].Text());
    std::string expected = Bytes({'X', '6', 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    // Topic "Ab": code 18 (8), the title, code 14, "x"; key AB____.
    expected += Bytes({0xFF, 0xFF, 7, 0, 0, 0, 7, 0, 'A', 'B', '_', '_', '_', '_', 0, 0});
    expected += Bytes({18, 8, 16, 'A', 'b', 14, 'x'});
    // Topic "Cd", keyed CD____ by its title: a link to AB____ (three pairs),
    // its text and code 7.
    expected += Bytes({0xFF, 0xFF, 15, 0, 0, 0, 15, 0, 'C', 'D', '_', '_', '_', '_', 0, 0});
    expected += Bytes({18, 8, 16, 'C', 'd', 14, 26, 161, 8, 255, 15, 255, 31, 'y', 7});
    EXPECT_EQ(c.bytes, expected);
}

TEST(HelpWriter, MarkupOfTheSources)
{
    const std::string source = "@topic Téma\n"
                               "První {b}tučně{/} a\n"
                               "pokračování \\\n"
                               "po zalomení.\n"
                               "\n"
                               "- odrážka\n"
                               "1. číslo\n"
                               "a) písmeno\n"
                               "! Podnadpis\n"
                               "> v rámečku\n"
                               ": poznámka\n"
                               "{19:3}vlastní kód\n"
                               "@table grid head=1 hstyle=bold,centre 40 80\n"
                               "| A | B\n"
                               "|[2 right] přes dva\n"
                               "@end\n"
                               "[[https://www.kalvo.example/]] [[podpora@kalvo.example]] [[Obsah_|obsah]]\n";
    const Compiled c = Compile(source);
    ASSERT_TRUE(c.ok) << (c.errors.empty() ? "" : c.errors[0].Text());
    ASSERT_EQ(c.topics.size(), 1u);
    EXPECT_EQ(c.topics[0].key, "TEMA__");
    const std::string& t = c.topics[0].text;
    std::vector<std::string> items;
    CtrlTokenizer walk(t);
    CtrlItem item;
    while (walk.Next(item)) {
        if (item.IsText())
            continue;
        std::string s = "{" + std::to_string(item.code);
        const std::vector<int> v = CtrlPairValues(t, item);
        if (item.code == 26 || item.code == 28)
            s += ":" + CtrlStringParam(t, item);
        else
            for (size_t i = 0; i < v.size(); ++i)
                s += (i ? "," : ":") + std::to_string(v[i]);
        items.push_back(s + "}");
    }
    EXPECT_EQ(items, (std::vector<std::string>{"{18:8}",
                                               "{14}",
                                               "{20:1}",
                                               "{20:0}",
                                               "{13}", // title, paragraph, bold, break
                                               "{1}",
                                               "{21:257}",
                                               "{21:1025}",
                                               "{18:11}", // bullet, "1.", "a)", subheading
                                               "{18:3}",
                                               "{18:2}",
                                               "{19:3}", // box, note, own code
                                               "{24:537,0,40,80}",
                                               "{11}",
                                               "{6}",
                                               "{22:34}",
                                               "{4}",
                                               "{14}",
                                               "{26:W}",
                                               "{7}",
                                               "{26:@}",
                                               "{7}",
                                               "{26:OBSAH_}",
                                               "{7}"}));
    std::string kam;
    std::string error;
    ASSERT_TRUE(Utf8ToKam("pokračování", kam, error));
    EXPECT_NE(t.find(kam), std::string::npos) << "text in the data code page";
}

TEST(HelpWriter, DopingEntriesAndTheirLinks)
{
    const Compiled c =
        Compile("@entry DOP Seznam\n[[S1]] a [[S2|druhé]]\n@entry S1 Anabolika\nx\n@entry S2\ny\n",
                HelpFileKind::Doping);
    ASSERT_TRUE(c.ok) << (c.errors.empty() ? "" : c.errors[0].Text());
    ASSERT_EQ(c.topics.size(), 3u);
    EXPECT_EQ(c.topics[1].key, "S1____");
    const std::string& first = c.topics[0].text;
    // The marker after code 19 (1), ended by a code.
    EXPECT_EQ(first.substr(0, 6), Bytes({19, 1, 16, 'D', 'O', 'P'}));
    // Links carry the marker itself and show the entry's title.
    std::string s1;
    Pack6("S1", true, s1);
    EXPECT_NE(first.find(Bytes({26}) + s1 + "Anabolika" + Bytes({7})), std::string::npos);
    std::string s2;
    Pack6("S2", true, s2);
    EXPECT_NE(first.find(Bytes({26}) + s2 + "druh\x82" + Bytes({7})), std::string::npos);
}

TEST(HelpWriter, RefusesFaultsWithFileAndLine)
{
    struct Case {
        const char* name;
        std::string source;
        HelpFileKind kind;
        int line;
        const char* reason; // a part of the message
    };
    std::string tooMany;
    for (int i = 0; i < 255; ++i)
        tooMany += "@topic T" + std::to_string(i) + "\n@key T" + std::to_string(i) + "\nx\n";
    std::string tables = "@topic T\n";
    for (int i = 0; i < 33; ++i)
        tables += "@table 10\n| a\n@end\n";
    const std::vector<Case> cases = {
        {"unknown link", "@topic A\nx\n[[Nikde]]\n", HelpFileKind::Manual, 3, "unknown link target"},
        {"repeated key", "@topic A\nx\n@topic B\n@key A\ny\n", HelpFileKind::Manual, 3, "used twice"},
        {"key not carried", "@topic A\n@key A.B\nx\n", HelpFileKind::Manual, 1, "cannot be carried"},
        {"key too long", "@topic A\n@key ABCDEFG\nx\n", HelpFileKind::Manual, 1, "cannot be carried"},
        {"long title", "@topic " + std::string(51, 'a') + "\nx\n", HelpFileKind::Manual, 1, "51 bytes"},
        {"outside the code page", "@topic A\nx \xE2\x82\xAC\n", HelpFileKind::Manual, 2, ""},
        {"13 columns", "@topic A\n@table 1 2 3 4 5 6 7 8 9 10 11 12 13\n| a\n@end\n", HelpFileKind::Manual, 2,
         "more than 12 columns"},
        {"a row too wide", "@topic A\n@table 10 10\n| a | b | c\n@end\n", HelpFileKind::Manual, 3,
         "3 columns"},
        {"33 tables", tables, HelpFileKind::Manual, 98, "more than 32 tables"},
        {"257 topics", tooMany, HelpFileKind::Manual, 0, "at most 256"},
        {"placeholder in the manual", "@topic A\nx\n@insert #[VYD\n", HelpFileKind::Manual, 3, "placeholder"},
        {"placeholder not last", "@topic A\nx\n@insert #[VYD\ny\n", HelpFileKind::Second, 4, "must end"},
        {"title not ended", "@topic A\n{19:3}x\n", HelpFileKind::Manual, 2, "does not end the title"},
        {"table not ended", "@topic A\n@table 10\n| a\n", HelpFileKind::Manual, 3, "without @end"},
        {"doping topic", "@topic A\nx\n", HelpFileKind::Doping, 1, "@entry"},
    };
    for (const Case& c : cases) {
        const Compiled r = Compile(c.source, c.kind);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_TRUE(r.bytes.empty()) << c.name;
        ASSERT_FALSE(r.errors.empty()) << c.name;
        const HelpCompileError& e = r.errors[0];
        EXPECT_EQ(e.line, c.line) << c.name << ": " << e.Text();
        EXPECT_NE(e.reason.find(c.reason), std::string::npos) << c.name << ": " << e.Text();
    }
}

TEST(HelpWriter, CompressedFileReadsBack)
{
    const Compiled c = Compile("@topic Ab\nx y z\n\n@topic Cd\nw\n", HelpFileKind::Manual, true);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.bytes[4], 0x0A); // compressed, 16-byte heads
    HuffTables tables = ProgramHuffTables();
    (void)tables;
    // The packed texts decode to what was compiled (checked by the writer
    // itself as it packs); both keys are in their heads.
    EXPECT_NE(c.bytes.find("AB____"), std::string::npos);
    EXPECT_NE(c.bytes.find("CD____"), std::string::npos);
}

} // namespace
