// The demo folder as a whole: the structural checker passes on it and fails
// on damaged copies, the builder is deterministic and current, refuses what
// the data code page cannot carry and what breaks a cross-file rule, and the
// scale mode gives a folder that passes the checker.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "platform/fs.h"
#include "writers/demo_build.h"
#include "writers/demo_scale.h"
#include "writers/demo_struct_check.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Check(const std::string& folder, StructCheckStats* stats = nullptr)
{
    std::vector<std::string> lines;
    CheckDataFolderStructure(
        folder, [&](const std::string& l) { lines.push_back(l); }, false, stats);
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& start, const std::string& part = "")
{
    for (const std::string& l : lines)
        if (l.rfind(start, 0) == 0 && l.find(part) != std::string::npos)
            return true;
    return false;
}

std::string Bytes(const std::string& path)
{
    std::string b;
    EXPECT_EQ(ReadWholeFile(path, b), 0) << path;
    return b;
}

void Put(const std::string& path, const std::string& bytes)
{
    ASSERT_EQ(WriteFileAtomic(path, bytes), 0) << path;
}

std::string Join(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

TEST(DemoFolder, StructuralCheckerPassesOnTheDemoFolder)
{
    StructCheckStats st;
    const std::vector<std::string> lines = Check(QEVW_DEMO_DATA_DIR, &st);
    EXPECT_TRUE(lines.empty()) << Join(lines);
    // Every record table of the reference with its indexes, every document
    // file, and a search per distinct key.
    EXPECT_EQ(st.recordFiles, 33);
    EXPECT_EQ(st.indexes, 79);
    EXPECT_EQ(st.textFiles, 8);
    EXPECT_GT(st.lookups, 1000);
    EXPECT_GT(st.textBytes, 100000);
}

// Each damage is one a careless writer or a bad copy could cause; the
// checker must name the file.
TEST(DemoFolder, StructuralCheckerNamesEachDamage)
{
    struct Damage {
        const char* what;
        const char* file;
        std::function<void(const std::string& dir)> apply;
        const char* expect; // start of a reported line
        const char* part;
    };
    auto patch = [](const std::string& path, size_t at, const std::string& bytes) {
        std::string b = Bytes(path);
        ASSERT_LE(at + bytes.size(), b.size());
        b.replace(at, bytes.size(), bytes);
        Put(path, b);
    };
    const std::vector<Damage> damages = {
        {"two leaves swapped", "klkod.sez",
         [&](const std::string& d) {
             std::string b = Bytes(d + "klkod.sez");
             const int E = (static_cast<uint8_t>(b[6]) & 7) + 2;
             const size_t F = (static_cast<uint8_t>(b[4]) | (static_cast<uint8_t>(b[5]) << 8)) & 0x3FFF;
             std::swap_ranges(b.begin() + static_cast<long>((F + 3) * E),
                              b.begin() + static_cast<long>((F + 4) * E),
                              b.begin() + static_cast<long>((F + 4) * E));
             Put(d + "klkod.sez", b);
         },
         "!! klkod.sez:", "out of order"},
        {"a record renamed without its index", "kl.dat",
         [&](const std::string& d) {
             // the name of the 5th record
             std::string b = Bytes(d + "kl.dat");
             b[5 * 346 + 7] = 'Z';
             Put(d + "kl.dat", b);
         },
         "!! klnaz.sez:", "packed key"},
        {"an index one entry short", "kleean.sez",
         [&](const std::string& d) {
             std::string b = Bytes(d + "kleean.sez");
             const int E = (static_cast<uint8_t>(b[6]) & 7) + 2;
             Put(d + "kleean.sez", b.substr(0, b.size() - static_cast<size_t>(E)));
         },
         "!! kleean.sez:", "leaf entries"},
        {"a sign set of the wrong size", "kl.sgn",
         [&](const std::string& d) { patch(d + "kl.sgn", 4 + 16, "\x05"); }, "!! kl.sgn:", "bits"},
        {"a sign set disagreeing with the records", "kl.sgn",
         [&](const std::string& d) {
             std::string b = Bytes(d + "kl.sgn");
             b[4 + 28] = static_cast<char>(b[4 + 28] ^ 0x01); // record 1 in or out of "Actual"
             Put(d + "kl.sgn", b);
         },
         "!! kl.sgn:", "Actual"},
        {"a text table whose size word lies", "kalvo.ces",
         [&](const std::string& d) { patch(d + "kalvo.ces", 4, "\x01"); }, "!! kalvo.ces:", "does not load"},
        {"a document record without its marker", "letak.dat",
         [&](const std::string& d) { patch(d + "letak.dat", 16, std::string(2, '\0')); },
         "!! letak.dat:", "0xFFFF"},
        {"an offset into the middle of a record", "kl.dat",
         [&](const std::string& d) {
             std::string b = Bytes(d + "kl.dat");
             // record 1's letak offset + 1
             const size_t at = 346 + 324;
             uint32_t v = 0;
             for (int i = 3; i >= 0; --i)
                 v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
             if (v == 0xFFFFFFFFu)
                 v = 16;
             ++v;
             for (int i = 0; i < 4; ++i)
                 b[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
             Put(d + "kl.dat", b);
         },
         "!! kl.dat:", "no record head of letak.dat"},
        {"a word list out of order", "klnaz.slw",
         [&](const std::string& d) { Put(d + "klnaz.slw", "ZETA \x01\nALFA \x01"); },
         "!! klnaz.slw:", "out of order"},
        {"a user sign list of the wrong size", "vidud.sgn",
         [&](const std::string& d) { Put(d + "vidud.sgn", std::string(2, '\0')); }, "!! vidud.sgn:", "bytes"},
    };
    for (const Damage& dmg : damages) {
        SCOPED_TRACE(dmg.what);
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString() + "/data/";
        fs::copy(QEVW_DEMO_DATA_DIR, dir, fs::copy_options::recursive);
        dmg.apply(dir);
        const std::vector<std::string> lines = Check(dir);
        EXPECT_TRUE(HasLine(lines, dmg.expect, dmg.part)) << Join(lines);
        // The manifest sees every changed file too.
        EXPECT_TRUE(HasLine(lines, "!! kalvo.kvo:", dmg.file)) << Join(lines);
    }
}

// A record file whose header no longer matches the layout the readers take
// their positions from: the checker names the file and the field.
TEST(DemoFolder, StructuralCheckerFindsAHeaderThatDriftedFromItsLayout)
{
    struct Drift {
        const char* file;
        size_t at; // header byte changed
        char value;
        const char* part; // of the "!! file:" line; "" = no layout line
    };
    const Drift drifts[] = {
        // the second letter of NAZ, field 2 of kl (names at 5 + 2i)
        {"kl.dat", 7, 0x00, "field 2 (NAZ): named"},
        // EAN of kle one byte shorter (descriptors at 5 + 2n + i, n = 3)
        {"kle.dat", 12, static_cast<char>(0xDB), "field 2 (EAN): 12 bytes in the file, 13"},
        // a later field renamed in a table that keeps the data set's own layout
        {"vzph.dat", 7, 0x00, ""},
    };
    for (const Drift& d : drifts) {
        SCOPED_TRACE(d.file);
        QTemporaryDir tmp;
        const std::string dir = tmp.path().toStdString() + "/data/";
        fs::copy(QEVW_DEMO_DATA_DIR, dir, fs::copy_options::recursive);
        std::string b = Bytes(dir + d.file);
        ASSERT_GT(b.size(), d.at);
        b[d.at] = d.value;
        Put(dir + d.file, b);
        const std::vector<std::string> lines = Check(dir);
        const std::string start = std::string("!! ") + d.file + ":";
        if (*d.part)
            EXPECT_TRUE(HasLine(lines, start, std::string("differs from its layout: ") + d.part))
                << Join(lines);
        else
            EXPECT_FALSE(HasLine(lines, start, "differs from its layout")) << Join(lines);
    }
}

// The build folder's demo set is what the sources give now, byte for byte,
// and building twice gives the same bytes.
TEST(DemoFolder, BuildIsDeterministicAndCurrent)
{
    QTemporaryDir tmp;
    const std::string out = tmp.path().toStdString() + "/demo";
    std::vector<std::string> errors;
    DemoLog log([&](const std::string& l) { errors.push_back(l); });
    DemoDataSet set;
    ASSERT_TRUE(LoadDemoSources(QEVW_SOURCE_DIR "/demo", set, log) && CheckDemoDataSet(set, log))
        << Join(errors);
    ASSERT_TRUE(WriteDemoFolder(out, set, log)) << Join(errors);
    int files = 0;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(out)) {
        if (e.is_directory())
            continue;
        const std::string name = fs::relative(e.path(), out).string();
        SCOPED_TRACE(name);
        EXPECT_EQ(Bytes(e.path().string()), Bytes(std::string(QEVW_DEMO_DATA_DIR) + "/" + name));
        ++files;
    }
    EXPECT_GE(files, 120);
    // The manifest carries the release date of the sources, not the clock.
    EXPECT_EQ(Bytes(out + "/kalvo.kvo").substr(0, 32), "ver=2025.4n\r\ndate=20.11.2025\r\ndb");
}

// A copy of demo/ with one file changed, loaded: the errors name the file
// and the line.
std::vector<std::string> LoadChanged(const std::string& file, const std::function<void(std::string&)>& edit,
                                     bool check = false)
{
    QTemporaryDir tmp;
    const std::string src = tmp.path().toStdString() + "/demo/";
    fs::copy(QEVW_SOURCE_DIR "/demo", src, fs::copy_options::recursive);
    std::string text = Bytes(src + file);
    edit(text);
    Put(src + file, text);
    std::vector<std::string> errors;
    DemoLog log([&](const std::string& l) { errors.push_back(l); });
    DemoDataSet set;
    const bool loaded = LoadDemoSources(src, set, log);
    if (loaded && check)
        CheckDemoDataSet(set, log);
    return errors;
}

void ReplaceFirst(std::string& text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

int LineOf(const std::string& text, const std::string& what)
{
    const size_t at = text.find(what);
    return at == std::string::npos
               ? 0
               : 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

TEST(DemoFolder, BuilderNamesFileAndLineOfWhatItRefuses)
{
    struct Bad {
        const char* file;
        const char* from;
        const char* to;
        bool check;       // found by the cross-file check
        const char* part; // in the message
    };
    const Bad cases[] = {
        // "è" has no byte in the data code page.
        {"kl.csv", "Lipoklid 20 mg", "Lipoklid è 20 mg", false, "NAZ: character"},
        {"letak/lipoklid.txt", "{18:9}Lipoklid", "{18:9}Lipoklid è", false, "character"},
        {"kalvo.ces.ini", "Obecné údaje", "Obecné è", false, ""},
        // A document name that no file has.
        {"kl.csv", ",lipoklid,lipoklid,lipoklid,lipoklid,", ",lipoklix,lipoklid,lipoklid,lipoklid,", false,
         "no document lipoklix"},
        // Cross-file rules: an outage flag without its record, a package
        // type without its text.
        {"kl.csv", ",7,V,2,lipoklid,", ",7, ,2,lipoklid,", true, "VYP is set exactly when"},
        {"kl.csv", "0000995,Lipoklid 20 mg,TBL FLM,20MG,30,BLIALU",
         "0000995,Lipoklid 20 mg,TBL FLM,20MG,30,BLIXXX", true, "Obal.BLIXXX"},
        // A kind letter no price slot has.
        {"cvzp.csv", "0000995,B,", "0000995,H,", false, "DRU"},
        // Rows out of the order the table's key needs.
        {"klc.csv", "0000114,1001,L,500,MG", "0000112,1001,L,500,MG", false, "LEK: composition lines go in"},
        {"kab.csv", "1002,8003", "0999,8003", false, "SUB: pairs go in ascending substance order"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(std::string(b.file) + ": " + b.to);
        const std::string original = Bytes(std::string(QEVW_SOURCE_DIR "/demo/") + b.file);
        const int line = LineOf(original, b.from);
        ASSERT_GT(line, 0);
        const std::vector<std::string> errors = LoadChanged(
            b.file, [&](std::string& t) { ReplaceFirst(t, b.from, b.to); }, b.check);
        ASSERT_FALSE(errors.empty());
        bool named = false;
        for (const std::string& e : errors)
            named = named ||
                    (e.find(std::string(b.file) + ":" + std::to_string(line) + ":") != std::string::npos &&
                     e.find(b.part) != std::string::npos);
        EXPECT_TRUE(named) << Join(errors);
    }
}

TEST(DemoFolder, ScaleModeGivesACheckedFolderDeterminedByItsArguments)
{
    auto make = [](uint64_t seed, DemoDataSet& set) {
        std::vector<std::string> errors;
        DemoLog log([&](const std::string& l) {
            if (l.rfind("drugs:", 0) != 0 && l.rfind("scale set:", 0) != 0)
                errors.push_back(l);
        });
        ASSERT_TRUE(LoadDemoSources(QEVW_SOURCE_DIR "/demo", set, log)) << Join(errors);
        ASSERT_TRUE(MakeScaleDataSet(set, 400, seed, log)) << Join(errors);
        ASSERT_TRUE(CheckDemoDataSet(set, log)) << Join(errors);
    };
    DemoDataSet a, b;
    make(7, a);
    make(7, b);
    EXPECT_EQ(a.Records("kl").size(), 400u);
    EXPECT_EQ(a.Records("kl"), b.Records("kl"));
    EXPECT_EQ(a.docs.at("letak").writer->Finish(), b.docs.at("letak").writer->Finish());
    // About 5 KB of decoded document text per package.
    uint64_t text = 0;
    for (const auto& [family, f] : a.docs)
        text += f.textBytes;
    EXPECT_GT(text, 400u * 4000u);

    QTemporaryDir tmp;
    const std::string out = tmp.path().toStdString() + "/scale";
    DemoLog log;
    ASSERT_TRUE(WriteDemoFolder(out, a, log));
    const std::vector<std::string> lines = Check(out);
    EXPECT_TRUE(lines.empty()) << Join(lines);
}

} // namespace
