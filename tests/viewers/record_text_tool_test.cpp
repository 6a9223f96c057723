// The record_text tool on the fixture folder, which is kept in the build
// folder (record_text/) with the tool's output beside it for a person to read.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "record_text_fixture.h"

using namespace rtfix;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
};

ToolRun RunTool(const std::string& args, const std::string& keepAs = {})
{
    ToolRun r;
    const std::string tool = std::string(QEVW_BINARY_DIR) + "/tools/record_text";
    FILE* p = ::popen((tool + " " + args + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!keepAs.empty())
        WriteFileAtomic(std::string(QEVW_BINARY_DIR) + "/record_text/" + keepAs, r.out);
    return r;
}

std::string Compiled(const std::string& source)
{
    std::string table;
    textsrc::Error err;
    EXPECT_TRUE(textsrc::CompileSource(source, "fixture", textsrc::kDefaultStamp, table, err));
    return table;
}

} // namespace

TEST(RecordTextTool, PrintsDrugDeviceAndRawTexts)
{
    if (!FileExists(std::string(QEVW_BINARY_DIR) + "/tools/record_text"))
        GTEST_SKIP() << "the tool is not built";
    const std::string dir = std::string(QEVW_BINARY_DIR) + "/record_text/data/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    WriteStandardFolder(dir);
    ASSERT_EQ(WriteFileAtomic(dir + "kalvo.ces", Compiled(DataTextSource())), 0);
    ASSERT_EQ(WriteFileAtomic(dir + "qevw.ces", Compiled(UiTextSource())), 0);
    const std::string doc = std::string(QEVW_BINARY_DIR) + "/record_text/group_document.bin";
    ASSERT_EQ(WriteFileAtomic(doc, GroupDocument()), 0);

    const ToolRun drug = RunTool("-d " + dir + " -p " + dir + " 0000101", "drug-0000101.txt");
    EXPECT_EQ(drug.exitCode, 0) << drug.out;
    // Captions first, then the text with a line per paragraph or row.
    EXPECT_EQ(drug.out.substr(0, 13), "obecZ\nvypadZ\n");
    EXPECT_NE(drug.out.find("\n{ROW}nazev{CELL}Paralen 500"), std::string::npos) << drug.out;
    EXPECT_NE(drug.out.find("{STYLE 11}uhr1 1+D\n{PAR}\n{TABLE 112 1 57 199}"), std::string::npos);
    EXPECT_NE(drug.out.find("{ROW}limit{CELL}{FONT 1}K3,L'{FONT 0}{HINT 1}hint-lim{HINT 0}"),
              std::string::npos);
    EXPECT_NE(drug.out.find("{SEC 30}Indikace P{END}"), std::string::npos);

    const ToolRun device =
        RunTool("-d " + dir + " -p " + dir + " --device 1000001 --doc " + doc, "device-1000001.txt");
    EXPECT_EQ(device.exitCode, 0) << device.out;
    EXPECT_NE(device.out.find("zUhr A\nzUhr B (zdrF)\n"), std::string::npos) << device.out;
    EXPECT_NE(device.out.find("{ROW}Lim{CELL}L - limit{BR}\nlim38"), std::string::npos);

    // Links decode their strings; hard blanks show.
    CtrlTextWriter w;
    w.Text("a\x7F"
           "b")
        .CodeString(26, "@1")
        .Text("x@y.cz")
        .Code(7)
        .Code(24, {1, 2});
    w.Raw(B({20, 1}));
    ASSERT_EQ(WriteFileAtomic(std::string(QEVW_BINARY_DIR) + "/record_text/raw.bin", w.Bytes()), 0);
    const ToolRun raw = RunTool("--file " + std::string(QEVW_BINARY_DIR) + "/record_text/raw.bin");
    EXPECT_EQ(raw.exitCode, 0);
    EXPECT_EQ(raw.out, "a\xC2\xB7"
                       "b{LINK \"@1\"}x@y.cz{PLAIN}\n{TABLE 1 2}{FONT TRUNCATED}\n");

    // Bad codes and folders.
    EXPECT_EQ(RunTool("-d " + dir + " 0009999").exitCode, 1);
    EXPECT_EQ(RunTool("-d " + dir + " 12ab").exitCode, 2);
    EXPECT_EQ(RunTool("-d " + dir + "nowhere 0000101").exitCode, 1);
    EXPECT_EQ(RunTool("-d " + dir + " --device 1999999").exitCode, 1);
    EXPECT_EQ(RunTool("").exitCode, 2);
}
