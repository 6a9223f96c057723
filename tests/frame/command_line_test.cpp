// The command line: splitting into options and plain arguments, the option
// list lookups, query types, and the values the start derives from the
// environment and the folders.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

#include "frame/start/command_line.h"
#include "start_fixtures.h"

namespace {

struct LineCase {
    std::vector<std::string> args;
    std::string options;
    std::string positionals;
    int count;
};

TEST(CommandLine, SplitsOptionsAndPlainArguments)
{
    const std::vector<LineCase> cases = {
        {{}, "|", "|", 0},
        {{"/D=C:\\data"}, "|d=C:\\data|", "|", 0},
        {{"-d=C:\\data"}, "|d=C:\\data|", "|", 0},
        // A one-letter key written with "-" keeps its case.
        {{"-D=C:\\data"}, "|D=C:\\data|", "|", 0},
        {{"--Lang=EN"}, "|lang=EN|", "|", 0},
        {{"/Q"}, "|q|", "|", 0},
        {{"/ALL", "/NW"}, "|all|nw|", "|", 0},
        {{"-q=help", "Obsah_"}, "|q=help|", "|1=Obsah_|", 1},
        // Linux paths are plain arguments; an option may carry one as value.
        {{"/srv/lists/a.txt"}, "|", "|1=/srv/lists/a.txt|", 1},
        {{"/srv/x"}, "|", "|1=/srv/x|", 1},
        {{"/d=/srv/data", "/srv/x=1"}, "|d=/srv/data|", "|1=/srv/x=1|", 1},
        {{"/b=/srv/list.xml"}, "|b=/srv/list.xml|", "|", 0},
        {{"--d=x", "a", "-z"}, "|d=x|z|", "|1=a|", 1},
    };
    for (const LineCase& c : cases) {
        const ParsedCommandLine p = ParseCommandLine(c.args);
        EXPECT_FALSE(p.unusable) << c.options;
        EXPECT_EQ(p.options, c.options);
        EXPECT_EQ(p.positionals, c.positionals);
        EXPECT_EQ(p.positionalCount, c.count);
    }
}

TEST(CommandLine, PositionalKeysRunPastNine)
{
    std::vector<std::string> args;
    for (int i = 1; i <= 11; ++i)
        args.push_back("p" + std::to_string(i));
    const ParsedCommandLine p = ParseCommandLine(args);
    EXPECT_EQ(p.positionalCount, 11);
    EXPECT_EQ(GetOption("9", p.positionals), "p9");
    EXPECT_EQ(GetOption(":", p.positionals), "p10");
    EXPECT_EQ(GetOption(";", p.positionals), "p11");
}

TEST(CommandLine, ArgumentsInTheDisplayCodePage)
{
    const ParsedCommandLine p = ParseCommandLine({"P\xC5\x99\xC3\xAD"
                                                  "bram"}); // "Příbram"
    EXPECT_EQ(p.positionals, "|1=P\xF8\xED"
                             "bram|");
}

TEST(CommandLine, RefusesWhatItWouldHaveToCutOrSplit)
{
    const std::string longArg(256, 'x');
    const std::vector<std::string> refused[] = {
        {longArg}, // would be cut into another path
        {"-d=" + std::string(253, 'a')},
        {"a|b"}, // would split into a false key
        {"-b=x|q=inst"},
        {"\xE6\x97\xA5"}, // no byte in the display code page
        {"\xFF\xFE"},     // no UTF-8 at all
    };
    for (const auto& args : refused) {
        const ParsedCommandLine p = ParseCommandLine(args);
        EXPECT_TRUE(p.unusable) << args[0];
        EXPECT_EQ(p.badArgument, args[0]);
    }
    // The list bound decides for shorter items: "|1=" + item + "|".
    EXPECT_FALSE(ParseCommandLine({std::string(251, 'x')}).unusable);
    EXPECT_TRUE(ParseCommandLine({std::string(252, 'x')}).unusable);
    EXPECT_FALSE(ParseCommandLine({"-" + std::string(253, 'x')}).unusable);
}

TEST(CommandLine, RefusesListsThatWouldOverflow)
{
    // 75 plain arguments fit (empty ones fit the bytes too); the 76th would
    // get the key "|".
    std::vector<std::string> args(75, "");
    EXPECT_FALSE(ParseCommandLine(args).unusable);
    EXPECT_TRUE(HasOption("{", ParseCommandLine(args).positionals));
    args.push_back("");
    ParsedCommandLine p = ParseCommandLine(args);
    EXPECT_TRUE(p.unusable);
    EXPECT_EQ(p.positionalCount, 75);

    // Options that together pass 255 bytes: the one that overflows is named.
    std::vector<std::string> options = {"-a=" + std::string(120, 'a'), "-b=" + std::string(120, 'b'),
                                        "-c=ccccccccccccc"};
    p = ParseCommandLine(options);
    EXPECT_TRUE(p.unusable);
    EXPECT_EQ(p.badArgument, options[2]);
    options.pop_back();
    p = ParseCommandLine(options);
    EXPECT_FALSE(p.unusable);
    EXPECT_LE(p.options.size(), 255u);
}

TEST(CommandLine, BatchRunIsReadArgumentByArgument)
{
    struct Case {
        std::vector<std::string> args;
        bool batch;
    };
    const std::string overflow = "-b=" + std::string(240, 'b');
    const Case cases[] = {
        {{"/q=dupl", "/z", "list.txt"}, true},
        {{"/Z", "/Q=dupl"}, true}, // "/" lowers a one-letter key
        {{"/q=dupl"}, false},
        {{"/z", "/q=mkn"}, false},
        {{"--Q=dupl", "-z"}, false}, // "-" keeps its case
        // A line refused as a whole still shows its batch options, also
        // those after the refused argument.
        {{"/q=dupl", "a|b", "/z"}, true},
        {{"/q=dupl", overflow, overflow, "/z"}, true},
        {{"a|b", "/z"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseCommandLine(c.args).batchRun, c.batch) << c.args[0] << " " << c.args[1];
}

TEST(OptionList, LookupsFollowTheBars)
{
    EXPECT_TRUE(HasOption("q", "|q|"));
    EXPECT_EQ(GetOption("q", "|q|"), "");
    EXPECT_TRUE(HasOption("q", "|q=|"));
    EXPECT_EQ(GetOption("b", "|ab=1|b=2|"), "2");
    EXPECT_EQ(GetOption("b", "|b=x"), "x");
    EXPECT_FALSE(HasOption("b", "|ab=1|"));
    EXPECT_FALSE(HasOption("a", "|ab|"));
    EXPECT_FALSE(HasOption("b", "|ab"));
    EXPECT_EQ(GetOption("d", "|D=C:\\data|"), "");
    EXPECT_EQ(GetOption("q", "|y=15|q=help||1=Obsah_|"), "help");
    EXPECT_EQ(GetOption("1", "|y=15|q=help||1=Obsah_|"), "Obsah_");
    EXPECT_EQ(GetOptionNumber("y", "|y=4623|"), 4623);
    EXPECT_EQ(GetOptionNumber("y", "|y=12x|"), 0);
    EXPECT_EQ(GetOptionNumber("y", "|q|"), 0);
}

TEST(OptionList, QueryTypes)
{
    const std::map<std::string, int> types = {
        {"inst", 1}, {"help", 2}, {"Help", 3}, {"", 3},     {"xyz", 3},  {"mkn", 4},
        {"dupl", 5}, {"calc", 6}, {"mkno", 7}, {"dopl", 8}, {"idup", 3},
    };
    for (const auto& [name, code] : types)
        EXPECT_EQ(QueryTypeCode(name), code) << name;
}

TEST(OptionList, SmallStringRoutines)
{
    std::string item = "LaNG=EN-Us";
    LowerOptionKey(item);
    EXPECT_EQ(item, "lang=EN-Us");
    item = "NW";
    LowerOptionKey(item);
    EXPECT_EQ(item, "nw");
    EXPECT_EQ(TrimRightShort(" a b \t\x01"), " a b");
    EXPECT_EQ(TrimLeftShort("\x1f\t a b "), "a b ");
    EXPECT_EQ(TrimRightShort("  "), "");
    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength("abc"), 3);
}

TEST(OptionList, DataSetOfARequest)
{
    EXPECT_EQ(DataSetOfOptions("|"), DataSetCode::Drugs);
    EXPECT_EQ(DataSetOfOptions("|all|"), DataSetCode::All);
    EXPECT_EQ(DataSetOfOptions("|pzt|"), DataSetCode::Devices);
    EXPECT_EQ(DataSetOfOptions("|pfa|all|pzt|"), DataSetCode::Goods); // "pfa" wins
    EXPECT_EQ(DataSetTag(DataSetCode::Goods), "|pfa|");
    EXPECT_EQ(DataSetTag(DataSetCode::Drugs), "|");
}

TEST(StartValues, WorkstationAndUser)
{
    std::map<std::string, std::string> vars;
    EnvLookup env = [&vars](const char* n) {
        auto it = vars.find(n);
        return it == vars.end() ? std::string() : it->second;
    };
    vars["COMPUTERNAME"] = "pc-ordinace-nemocnice-01";
    EXPECT_EQ(WorkstationNameFrom(env, ""), "PC-ORDINACE-NEMOCNI");
    // No customer domain: the override never applies, not even through "||".
    vars["ViewClient_Machine_Name"] = "THIN-7";
    EXPECT_EQ(WorkstationNameFrom(env, ""), "PC-ORDINACE-NEMOCNI");
    vars["ViewClient_Machine_Domain"] = "corp";
    EXPECT_EQ(WorkstationNameFrom(env, "corp"), "THIN-7");
    EXPECT_EQ(WorkstationNameFrom(env, "cor"), "PC-ORDINACE-NEMOCNI");
    vars["ViewClient_Machine_Name"] = "";
    EXPECT_EQ(WorkstationNameFrom(env, "corp"), "PC-ORDINACE-NEMOCNI");

    vars["USERNAME"] = "lekarka";
    EXPECT_EQ(UserNameFrom(env), "lekarka");
    vars.erase("USERNAME");
    EXPECT_FALSE(UserNameFrom(env).empty()); // the login name
}

TEST(StartValues, SharedRootNeedsTheLauncher)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString() + "/inst/";
    QDir().mkpath(QString::fromStdString(root + "KALVO_26.1/"));
    EXPECT_EQ(SharedRootOf(root + "KALVO_26.1/"), "");
    start_test::WriteText(root + "QEVW.SH", "exec ./KALVO_26.1/qevw \"$@\"\n");
    EXPECT_EQ(SharedRootOf(root + "KALVO_26.1/"), root);
    EXPECT_EQ(SharedRootOf("/a/"), "");
    EXPECT_EQ(SharedRootOf("/"), "");
}

TEST(StartValues, DataFolderOptionBecomesAnAbsoluteFolder)
{
    const std::string cwd = QDir::currentPath().toStdString();
    EXPECT_EQ(DataFolderFromOption("/srv/data"), "/srv/data/");
    EXPECT_EQ(DataFolderFromOption("/srv/data/"), "/srv/data/");
    EXPECT_EQ(DataFolderFromOption("."), cwd + "/");
    EXPECT_EQ(DataFolderFromOption("sub\\dir"), cwd + "/sub/dir/");
    EXPECT_EQ(DataFolderFromOption("\\srv\\data\\"), "/srv/data/");
}

} // namespace
