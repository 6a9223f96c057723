// The icon sources: what the compiler accepts and refuses, and that the
// programs reach the built text tables byte for byte.

#include "frame/pages/vector_icons.h"
#include "page_test_support.h"
#include "writers/icon_source.h"

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace {

using test_support::Bytes;

std::string RepeatPoints(int n)
{
    std::string s = "M 0 0\n";
    for (int i = 1; i < n; ++i)
        s += "L " + std::to_string(i % 256) + " 7\n";
    return s;
}

} // namespace

TEST(IconCompiler, ReadableProgramsBecomeTriples)
{
    std::string out;
    iconsrc::Error err;
    ASSERT_TRUE(iconsrc::CompileIconProgram(
        "# a comment line\nM 1 2\nL 3 4 # trailing\n\nC 5 6 7 8\n 9 10\nL 0 255", "x.icon", out, err))
        << err.Message();
    EXPECT_EQ(out, Bytes({0, 1, 2, 1, 3, 4, 2, 5, 6, 2, 7, 8, 2, 9, 10, 1, 0, 255}));
    EXPECT_EQ(ParsePathProgram(out).size(), 4u); // move, line, curve, line

    ASSERT_TRUE(iconsrc::CompileIconProgram(RepeatPoints(85), "x.icon", out, err)) << err.Message();
    EXPECT_EQ(out.size(), 255u) << "85 points fill a program exactly";
}

TEST(IconCompiler, Rejections)
{
    struct Case {
        const char* what;
        std::string text;
        int line;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"a number above 255", "M 0 0\nL 256 1", 2, "outside 0-255"},
        {"a negative number", "M 0 -1", 1, "outside 0-255"},
        {"not a number", "M 0 1x", 1, "not a number"},
        {"a program over 255 bytes", RepeatPoints(86), 86, "longer than 255"},
        {"a curve short of its three points", "M 0 0\nC 1 2 3 4", 2, "three points"},
        {"a curve cut by the next command", "M 0 0\nC 1 2 3 4\nL 5 6", 2, "three points"},
        {"a line without its point", "M 0 0 L 5", 1, "one point"},
        {"a first command other than M", "L 0 0\nL 1 1", 1, "starts with M"},
        {"a curve first", "C 0 0 1 1 2 2", 1, "starts with M"},
        {"an unknown command", "M 0 0\nQ 1 1", 2, "unknown command"},
        {"lower case is not a command", "m 0 0", 1, "unknown command"},
        {"an empty program", "# nothing\n", 0, "empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out;
        iconsrc::Error err;
        EXPECT_FALSE(iconsrc::CompileIconProgram(c.text, "bad.icon", out, err));
        EXPECT_EQ(err.file, "bad.icon");
        EXPECT_EQ(err.line, c.line);
        EXPECT_NE(err.reason.find(c.says), std::string::npos) << err.reason;
    }
}

TEST(IconCompiler, PicturesBecomePictureValueTexts)
{
    std::string out;
    iconsrc::Error err;
    ASSERT_TRUE(iconsrc::CompilePicture("# colours are BBGGRR\nFFE8C8 fill 10 Ring\n3030D8 line 6 Cross\n"
                                        "000000 fill 12 Dupl.Logo\n",
                                        "p.picture", out, err))
        << err.Message();
    EXPECT_EQ(out, "FFE8C8m Ring|3030D8-6Cross|000000m<Dupl.Logo");
    const auto parts = ParsePictureSpec(out);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].scaleDigit, 10);
    EXPECT_EQ(parts[1].scaleDigit, 6);
    EXPECT_EQ(parts[2].scaleDigit, 12);
    EXPECT_EQ(parts[2].section, "Dupl");

    struct Case {
        const char* text;
        const char* says;
    };
    for (const Case& c : {Case{"FFE8C8 fill 10", "a part is"}, Case{"FFE8C fill 10 Ring", "colour"},
                          Case{"ffe8c8 fill 10 Ring", "colour"}, Case{"FFE8C8 solid 10 Ring", "mode"},
                          Case{"FFE8C8 fill 16 Ring", "scale"}, Case{"FFE8C8 fill 10 A|B", "reference"},
                          Case{"# only a comment", "without parts"}}) {
        iconsrc::Error e;
        EXPECT_FALSE(iconsrc::CompilePicture(c.text, "p.picture", out, e)) << c.text;
        EXPECT_NE(e.reason.find(c.says), std::string::npos) << c.text << ": " << e.reason;
    }
}

TEST(IconCompiler, TheProgramFolderHoldsEveryIconThePagesName)
{
    std::vector<iconsrc::PictEntry> entries;
    iconsrc::Error err;
    ASSERT_TRUE(iconsrc::CompileIconFolder(std::string(QEVW_SOURCE_DIR) + "/resources/icons", entries, err))
        << err.Message();
    std::vector<std::string> keys;
    for (const auto& e : entries)
        keys.push_back(e.key);
    for (const char* needed : {"Obs", "Left", "Prev", "Next", "Help", "Hle", "Schr", "Demo"})
        EXPECT_NE(std::find(keys.begin(), keys.end(), needed), keys.end()) << needed;
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
}

TEST(IconCompiler, EveryByteSurvivesTheTableSourceForm)
{
    std::string all;
    for (int b = 0; b < 255; ++b)
        all.push_back(static_cast<char>(b));
    all.push_back(static_cast<char>(255));
    const std::vector<iconsrc::PictEntry> entries = {{"All", all.substr(0, 255)}, {"Tail", all.substr(200)}};
    const std::string source = "[Other]\nX=y\n" + iconsrc::PictSectionSource(entries);
    const TextTablePtr table = page_test::CompileTable(source);
    ASSERT_TRUE(table);
    for (const auto& e : entries) {
        std::string value;
        ASSERT_NE(GetTextEntry(table, "Pict", e.key, value), 0) << e.key;
        EXPECT_EQ(value, e.value) << e.key;
    }
}

TEST(IconCompiler, TheBuiltTablesHoldTheProgramsByteForByte)
{
    std::vector<iconsrc::PictEntry> entries;
    iconsrc::Error err;
    ASSERT_TRUE(iconsrc::CompileIconFolder(std::string(QEVW_SOURCE_DIR) + "/resources/icons", entries, err))
        << err.Message();
    for (const char* file : {"qevw.ces", "qevw.ang"}) {
        SCOPED_TRACE(file);
        TextTablePtr table;
        ASSERT_GE(LoadTextTable(table, std::string(QEVW_PROGRAM_DIR) + "/" + file),
                  TextTableResult::FirstSuccess);
        for (const auto& e : entries) {
            std::string value;
            ASSERT_NE(GetTextEntry(table, "Pict", e.key, value), 0) << e.key;
            EXPECT_EQ(value, e.value) << e.key;
        }
        // And the pages' own lookup finds them.
        std::string program;
        UiTexts.Set(table);
        EXPECT_TRUE(LookupProgramInUiTexts("Pict", "Help", program));
        EXPECT_FALSE(ParsePathProgram(program).empty());
        UiTexts.Set(nullptr);
    }
}
