#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "writers/text_table_writer.h"

using namespace std::string_literals;

namespace {

const char* kCompiler = QEVW_BINARY_DIR "/tools/text_table_compiler";

// The same two tables as the reader's tests, laid out by hand.
const std::string kPlainSource = "[Sec1]\nA=alpha\n_=under\nB=beta\n[Sec2]\nA=second\n";
const std::string kPlain = "M6"s + "\x00\x01"s + "\x38\x00"s + "\x00\x00\x00\x00"s + "\x1E\x00"s +
                           "\x04Sec1"s +
                           "\x01"
                           "A"
                           "\x05"
                           "alpha"s +
                           "\x01"
                           "_"
                           "\x05"
                           "under"s +
                           "\x01"
                           "B"
                           "\x04"
                           "beta"s +
                           "\x10\x00"s + "\x04Sec2"s +
                           "\x01"
                           "A"
                           "\x06"
                           "second"s;

const std::string kExtendedSource = "[X__]\nk2=ab\nk5=hello\n_=u\n[Y]\nk4=abcd\n";
const std::string kExtended = "M6"s + "\x00\x01"s + "\x30\x00"s + "\x00\x00\x00\x00"s + "\x1A\x00"s +
                              "\x03X__"s +
                              "\x02k2\x01"
                              "ab"s +
                              "\x02k5\x05\x05hello"s + "\x01_\x00u"s + "\x0C\x00"s + "\x01Y"s +
                              "\x02k4\x03"
                              "abcd"s;

std::string Compile(const std::string& source, uint16_t stamp = 256)
{
    std::string table;
    textsrc::Error err;
    EXPECT_TRUE(textsrc::CompileSource(source, "t.ini", stamp, table, err)) << err.Message();
    return table;
}

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

ToolRun RunCompiler(const QStringList& args)
{
    QProcess p;
    p.start(QString::fromUtf8(kCompiler), args);
    EXPECT_TRUE(p.waitForFinished(10000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

std::string ReadFile(const std::string& path)
{
    std::string s;
    EXPECT_EQ(ReadWholeFile(path, s), 0) << path;
    return s;
}

std::string BigSource(size_t entries)
{
    std::string s = "[Big]\n";
    for (size_t i = 0; i < entries; ++i)
        s += "k" + std::to_string(i) + "=" + std::string(200, 'v') + "\n";
    return s;
}

} // namespace

TEST(TextTableCompiler, OutputEqualsTablesLaidOutByHand)
{
    EXPECT_EQ(Compile(kPlainSource), kPlain);
    EXPECT_EQ(Compile(kExtendedSource), kExtended);
    TextTablePtr t;
    ASSERT_EQ(LoadTextTableFromBytes(t, Compile(kExtendedSource)), 256);
    EXPECT_EQ(LookupText(t, "X__", "k2"), "ab");
    EXPECT_EQ(LookupText(t, "X__", "k5"), "hello");
    EXPECT_EQ(LookupText(t, "X__", " "), "u");
}

TEST(TextTableCompiler, SourceFormAndEscapes)
{
    const std::string src = "\xEF\xBB\xBF; a comment\r\n"
                            "\r\n"
                            "   \r\n"
                            "[Z\xC3\xA1pis]\r\n" // "Zápis"
                            "Key with blanks =  value = with = signs\r\n"
                            "a\\x3Db=key with an equals sign\r\n"
                            "\\x3Bsemi=leading semicolon\r\n"
                            "\\x5Bbr=leading bracket\r\n"
                            "trail=ends in a blank\\x20\r\n"
                            "tab=a\\x09b\r\n"
                            "back=C:\\\\dir\\\\\r\n"
                            "raw=\\xC8\\x80\r\n" // bytes as they are
                            "cz=Příliš žluťoučký\r\n"
                            "empty=\r\n"
                            "[Second]\n"
                            "x=1\n";
    TextTablePtr t;
    ASSERT_EQ(LoadTextTableFromBytes(t, Compile(src)), 256);
    const std::string z = "Z\xA0pis"; // "á" in the data code page
    EXPECT_EQ(LookupText(t, z, "Key with blanks "), "  value = with = signs");
    EXPECT_EQ(LookupText(t, z, "a=b"), "key with an equals sign");
    EXPECT_EQ(LookupText(t, z, ";semi"), "leading semicolon");
    EXPECT_EQ(LookupText(t, z, "[br"), "leading bracket");
    EXPECT_EQ(LookupText(t, z, "trail"), "ends in a blank ");
    EXPECT_EQ(LookupText(t, z, "tab"), "a\tb");
    EXPECT_EQ(LookupText(t, z, "back"), "C:\\dir\\");
    EXPECT_EQ(LookupText(t, z, "raw"), "\xC8\x80");
    EXPECT_EQ(KamToQString(LookupText(t, z, "cz")), QString::fromUtf8("Příliš žluťoučký"));
    std::string out = "x";
    EXPECT_NE(GetTextEntry(t, z, "empty", out), 0);
    EXPECT_EQ(out, "");
    // Sections and entries keep source order.
    std::string k, v;
    std::vector<std::string> keys;
    while (NextTextEntry(t, z, k, v))
        keys.push_back(k);
    EXPECT_EQ(keys, (std::vector<std::string>{"Key with blanks ", "a=b", ";semi", "[br", "trail", "tab",
                                              "back", "raw", "cz", "empty"}));
    EXPECT_EQ(static_cast<unsigned char>(t->Bytes()[12]), 5u); // first section's name length
}

TEST(TextTableCompiler, BadSourcesNameFileLineAndReason)
{
    const struct Case {
        const char* what;
        std::string source;
        int line;
        const char* reason;
    } cases[] = {
        {"invalid UTF-8", "[S]\nk=\xC3\x28\n", 2, "invalid UTF-8"},
        {"overlong UTF-8", "[S]\nk=\xC0\xAF\n", 2, "invalid UTF-8"},
        {"not in code page 1250", "[S]\nk=\xE6\x97\xA5\n", 2, "not in code page 1250"},
        {"euro sign", "[S]\nk=5 \xE2\x82\xAC\n", 2, "data code page"},
        {"typographic quote", "[S]\nk=\xE2\x80\x9Eq\xE2\x80\x9C\n", 2, "data code page"},
        {"en dash", "[S]\nk=a \xE2\x80\x93 b\n", 2, "data code page"},
        {"no known form", "[S]\njust text\n", 2, "no known form"},
        {"unclosed section", "[S]\na=1\n[T\n", 3, "no known form"},
        {"entry before the first section", "; c\nk=v\n[S]\n", 2, "before the first section"},
        {"empty key", "[S]\n=v\n", 2, "empty key"},
        {"repeated section", "[S]\na=1\n[T]\nb=2\n[S]\n", 5, "second time"},
        {"repeated key", "[S]\na=1\nb=2\na=3\n", 4, "second time"},
        {"repeated key by escape", "[S]\nab=1\n\\x61b=2\n", 3, "second time"},
        {"name over 255 bytes", "[" + std::string(256, 'n') + "]\n", 1, "over 255"},
        {"key over 255 bytes", "[S]\n" + std::string(256, 'k') + "=v\n", 2, "over 255"},
        {"value over 255 bytes", "[S]\nk=" + std::string(128, 'x') + std::string(128, 'y') + "\n", 2,
         "over 255"},
        {"value over 255 characters of 2 UTF-8 bytes",
         "[S]\nk=" +
             [] {
                 std::string s;
                 for (int i = 0; i < 256; ++i)
                     s += "\xC4\x8D"; // "č"
                 return s;
             }() +
             "\n",
         2, "over 255"},
        {"trailing blank", "[S]\na=b \n", 2, "blank or tab"},
        {"trailing tab", "[S]\na=b\t\r\n", 2, "blank or tab"},
        {"unknown escape", "[S]\npath=C:\\dir\n", 2, "unknown escape"},
        {"cut escape", "[S]\nk=ab\\x4\n", 2, "unknown escape"},
        {"empty value in an extended table", "[X__]\na=1\nb=\n", 3, "empty value"},
        {"table over 65,500 bytes", BigSource(320), 320, "bytes, over the limit of 65500"},
    };
    for (const Case& c : cases) {
        std::string table;
        textsrc::Error err;
        EXPECT_FALSE(textsrc::CompileSource(c.source, "bad.ini", 256, table, err)) << c.what;
        EXPECT_EQ(err.line, c.line) << c.what << ": " << err.Message();
        EXPECT_NE(err.reason.find(c.reason), std::string::npos) << c.what << ": " << err.Message();
        EXPECT_EQ(err.Message().rfind("bad.ini:" + std::to_string(c.line) + ": ", 0), 0u) << c.what;
    }
    // The limits themselves are fine.
    std::string table;
    textsrc::Error err;
    EXPECT_TRUE(textsrc::CompileSource("[" + std::string(255, 'n') + "]\n" + std::string(255, 'k') + "=" +
                                           std::string(255, 'v') + "\n[T]\n" + std::string(255, 'k') + "=1\n",
                                       "ok.ini", 256, table, err))
        << err.Message();
    EXPECT_TRUE(textsrc::CompileSource(BigSource(300), "ok.ini", 256, table, err)) << err.Message();
    EXPECT_LE(table.size(), 65500u);
}

TEST(TextTableCompiler, BadSourceFailsTheToolAndKeepsTheOldOutput)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString();
    const std::string good = base + "/good.ini";
    const std::string out = base + "/out.ces";
    ASSERT_EQ(WriteFileAtomic(good, kPlainSource), 0);
    ToolRun r = RunCompiler({QString::fromStdString(good), QString::fromStdString(out)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(out), kPlain);

    const std::pair<const char*, std::string> bad[] = {
        {"utf8", "[S]\nk=\xC3\x28\n"},
        {"dup", "[S]\na=1\na=2\n"},
        {"blank", "[S]\na=b \n"},
        {"big", BigSource(320)},
    };
    for (const auto& [name, text] : bad) {
        const std::string src = base + "/" + name + ".ini";
        ASSERT_EQ(WriteFileAtomic(src, text), 0);
        r = RunCompiler({QString::fromStdString(src), QString::fromStdString(out)});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_NE(r.err.find(src + ":"), std::string::npos) << name << ": " << r.err;
        EXPECT_EQ(ReadFile(out), kPlain) << name << ": the earlier output must stay";
        const std::string fresh = base + "/fresh_" + name;
        r = RunCompiler({QString::fromStdString(src), QString::fromStdString(fresh)});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_FALSE(FileExists(fresh)) << name << ": nothing is written";
    }
    r = RunCompiler({QString::fromStdString(base + "/missing.ini"), QString::fromStdString(out)});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ReadFile(out), kPlain);
}

TEST(TextTableCompiler, StampOption)
{
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    const std::string src = base + "/s.ini";
    ASSERT_EQ(WriteFileAtomic(src, kPlainSource), 0);
    const QString out = QString::fromStdString(base + "/s.ces");
    ToolRun r = RunCompiler({"--stamp", "1601", QString::fromStdString(src), out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string b = ReadFile(out.toStdString());
    EXPECT_EQ(b.substr(0, 4), "M6\x41\x06"s);
    EXPECT_EQ(b.substr(4), kPlain.substr(4));
    TextTablePtr t;
    EXPECT_EQ(LoadTextTable(t, out.toStdString()), 1601);
    for (const char* bad : {"255", "65536", "0", "x", "300x"})
        EXPECT_EQ(RunCompiler({"--stamp", bad, QString::fromStdString(src), out}).exitCode, 2) << bad;
    EXPECT_EQ(RunCompiler({QString::fromStdString(src)}).exitCode, 2);
}

TEST(TextTableCompiler, DumpCompilesBackToTheSameBytes)
{
    // Every byte value in names, keys and values, including bytes that have
    // no character of their own (two data codes showing as one letter).
    std::string every;
    for (int c = 1; c < 256; ++c)
        every.push_back(static_cast<char>(c));
    std::string src;
    for (const char* first : {"[Plain]\n", "[X__]\n"}) {
        std::string table;
        textsrc::Source s;
        s.sections.push_back({first[1] == 'X' ? "X__" : "Plain", {}, 1});
        s.sections.push_back({"N\\\x01[=;]" + every.substr(128, 100), {}, 2});
        auto& e = s.sections[0].entries;
        e.push_back({"a", every.substr(0, 127), 3});
        e.push_back({"b", every.substr(127), 4});
        e.push_back({";=[\\ x", " lead and trail ", 5});
        e.push_back({" ", "1", 6});
        e.push_back({"k4", "abcd", 7});
        e.push_back({"\xC8", "\x80", 8});
        s.sections[1].entries.push_back({every.substr(0, 200), "=", 9});
        textsrc::Error err;
        ASSERT_TRUE(textsrc::BuildTable(s, 256, "x", table, err)) << err.Message();
        std::string dump, message;
        ASSERT_TRUE(textsrc::DumpTable(table, dump, message)) << message;
        std::string again;
        ASSERT_TRUE(textsrc::CompileSource(dump, "dump", 256, again, err)) << err.Message() << "\n" << dump;
        EXPECT_EQ(again, table) << dump;
    }
    // A "V6" table dumps too; a damaged one is reported.
    std::string dump, message;
    EXPECT_TRUE(textsrc::DumpTable("V" + kExtended.substr(1), dump, message));
    EXPECT_EQ(Compile(dump), kExtended);
    std::string damaged = kPlain;
    damaged[47] = '\x30';
    EXPECT_FALSE(textsrc::DumpTable(damaged, dump, message));
    EXPECT_NE(message.find("offset 47"), std::string::npos) << message;
}

TEST(TextTableCompiler, DumpOfTheBuiltTableShowsCzech)
{
    ToolRun r = RunCompiler({"--dump", QEVW_PROGRAM_DIR "/qevw.ces"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("NoData=Data nelze otevřít."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[Chyby]"), std::string::npos);
    r = RunCompiler({"--dump", QEVW_BINARY_DIR "/no-such-table"});
    EXPECT_EQ(r.exitCode, 1);
}

namespace {

// A reading of the UI sources independent of the compiler: sections, keys
// and values in order, with the two escapes the sources use.
struct SimpleEntry {
    std::string section, key, value;
};

std::vector<SimpleEntry> ReadUiSource(const std::string& path)
{
    std::vector<SimpleEntry> out;
    std::string text = ReadFile(path);
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = text.substr(pos, nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        size_t eq = line.find('=');
        std::string value = line.substr(eq + 1);
        for (size_t p; (p = value.find("\\x20")) != std::string::npos;)
            value.replace(p, 4, " ");
        out.push_back({section, line.substr(0, eq), value});
    }
    return out;
}

} // namespace

TEST(UiTexts, BuiltTablesHoldTheirSourcesTexts)
{
    for (const char* lang : {"ces", "ang"}) {
        const std::string src = std::string(QEVW_SOURCE_DIR "/resources/qevw.") + lang + ".ini";
        TextTablePtr t;
        ASSERT_GE(LoadTextTable(t, std::string(QEVW_PROGRAM_DIR "/qevw.") + lang), 256) << lang;
        std::vector<SimpleEntry> entries = ReadUiSource(src);
        ASSERT_FALSE(entries.empty());
        for (const SimpleEntry& e : entries) {
            std::string kamSection = QStringToKam(QString::fromStdString(e.section));
            std::string kamKey = QStringToKam(QString::fromStdString(e.key));
            std::string v;
            ASSERT_NE(GetTextEntry(t, kamSection, kamKey, v), 0) << lang << " " << e.section << "." << e.key;
            EXPECT_EQ(Cp1250ToQString(KamToWin(v)).toStdString(), e.value)
                << lang << " " << e.section << "." << e.key;
        }
    }
}

TEST(UiTexts, BothLanguagesHaveTheSameKeysInOrderAndEveryNamedKey)
{
    std::vector<SimpleEntry> ces = ReadUiSource(QEVW_SOURCE_DIR "/resources/qevw.ces.ini");
    std::vector<SimpleEntry> ang = ReadUiSource(QEVW_SOURCE_DIR "/resources/qevw.ang.ini");
    ASSERT_EQ(ces.size(), ang.size());
    for (size_t i = 0; i < ces.size(); ++i) {
        EXPECT_EQ(ces[i].section, ang[i].section) << i;
        EXPECT_EQ(ces[i].key, ang[i].key) << i;
    }
    const std::map<std::string, std::vector<std::string>> named = {
        {"Chyby",
         {"NoData", "NoMemo", "TooMany", "NotFndDrg", "ErrSgn", "NotFndIn", "WrongZem", "WrongIS", "DbVer",
          "FileRen", "FileSave"}},
        {"Hlasky", {"CLSPO", "NoSgn", "SgnOK", "PznEdt", "Update"}},
        {"NotUp",
         {"SDN", "SSrc", "NeVytv", "BylNal", "ZakPr", "NeSmaz", "NeVytD", "NePrip", "SouNez", "NePrej",
          "MUpd", "OKP", "PozP", "NepP", "LekP"}},
        {"NotUpNot", {"Obs", "Nezar", "OK"}},
        {"VybLek", {"v9", "zru"}},
        {"Prohlizec", {"Zkr1", "Zkr2", "VybK", "VybB", "VybE", "VybR", "Vybk", "Vybb", "Vybr"}},
        {"vKey", {"qInstExe", "iInstExe", "iNewAct"}},
        {"Inst", {"staU", "stUp"}},
        {"Uvod", {"Ver"}},
        {"Cudl", {"kbd",   "whit",  "whit1", "whit0", "whi",   "slat",  "slat1", "slat0", "sla",   "strt",
                  "strt1", "strt0", "str",   "tret",  "tret1", "tret0", "tre",   "hlpt",  "hlpt1", "hlpt0",
                  "hlp",   "colt",  "colt1", "colt0", "col0",  "tabt",  "tab1",  "tab0",  "hor",   "ver"}},
        {"Text", {"bez"}},
    };
    for (const char* lang : {"ces", "ang"}) {
        TextTablePtr t;
        ASSERT_GE(LoadTextTable(t, std::string(QEVW_PROGRAM_DIR "/qevw.") + lang), 256);
        for (const auto& [section, keys] : named)
            for (const std::string& key : keys)
                EXPECT_EQ(LookupText(t, section, key).rfind("!! ", 0), std::string::npos)
                    << lang << " " << section << "." << key;
        // Values the program relies on by form.
        EXPECT_EQ(LookupText(t, "Hlasky", "CLSPO").size(), 6u);
        EXPECT_EQ(LookupText(t, "VybLek", "zru").size(), 7u);
        EXPECT_EQ(LookupText(t, "Uvod", "Ver").size(), 5u);
        for (const char* k : {"SSrc", "NeVytv", "BylNal", "NeSmaz", "NeVytD", "NePrip", "SouNez", "NePrej"})
            EXPECT_EQ(LookupText(t, "NotUp", k)[0], 'E') << k;
        EXPECT_EQ(LookupText(t, "NotUp", "MUpd")[0], 'M');
        for (const char* k : {"VybK", "VybB", "VybE", "VybR", "Vybk", "Vybb", "Vybr"}) {
            std::string mask = LookupText(t, "Prohlizec", k);
            EXPECT_GE(mask.size(), 90u);
            EXPECT_LE(mask.size(), 100u);
            EXPECT_EQ(mask.find_first_not_of("+-"), std::string::npos) << k;
        }
    }
}
