// Export of data windows: headers, the format by the file name, the demo
// export as RTF, text and CSV, failures that must leave the old file, and a
// conversion of the RTF by an office program.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>

#include "frame/config/placement_scheme.h"
#include "frame/report_hook.h"
#include "platform/fs.h"
#include "tests/frame/data_form_test_support.h"
#include "tests/support/failing_file_system.h"

using namespace dftest;

namespace {

std::string ReadBytes(const QString& path)
{
    std::string out;
    EXPECT_EQ(ReadWholeFile(path.toStdString(), out), 0) << path.toStdString();
    return out;
}

class DataFormExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        ASSERT_TRUE(dir.isValid());
        host = new TestHost;
        host->show();
        Config().Update([](ConfigValues& v) { v.PrintFont = ConfigFont{"Arial CE", 9, 0}; });
    }
    void TearDown() override
    {
        ExportFile.SetFileSystem(nullptr);
        DeleteDataWindows(host);
        delete host;
        Settle();
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    // A window that keeps the base's Exportuj: the header alone.
    ProbeWindow* TitledWindow()
    {
        auto* w = new ProbeWindow(PackKindCode("DFA"), "titled");
        w->Master = host;
        w->Title = Kam("Léky {A\\B}");
        w->Subtitle = Kam(" č.1");
        return w;
    }

    ScopedConfig config;
    ScopedUiTexts texts{ProgramTable("ces")};
    QTemporaryDir dir;
    TestHost* host = nullptr;
};

} // namespace

TEST(DataFormExportRules, FormatByTheLastThreeCharacters)
{
    const struct {
        const char* path;
        uint16_t format;
    } cases[] = {
        {"/tmp/a.txt", ExportFormatCode::Text},
        {"/tmp/a.TXT", ExportFormatCode::Text},
        {"/tmp/a.csv", ExportFormatCode::Csv},
        {"/tmp/a.Csv", ExportFormatCode::Csv},
        {"/tmp/a.rtf", ExportFormatCode::Rtf},
        {"/tmp/a.doc", ExportFormatCode::Rtf},
        {"/tmp/atxt", ExportFormatCode::Text},
        {"tx", ExportFormatCode::Rtf},
        {"", ExportFormatCode::Rtf},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportFormatOfPath(c.path), c.format) << c.path;
}

TEST(DataFormExportRules, RtfEscapingAndHead)
{
    EXPECT_EQ(RtfEscape("a\\b{c}d"), "a\\\\b\\{c\\}d");
    EXPECT_EQ(RtfEscape(std::string("\x01\r\n\t", 4)), "\\'01\\'0d\\'0a\\'09");
    EXPECT_EQ(RtfEscape("\xe8\xe1\x9a\x80\xff"), "\\'e8\\'e1\\'9a\\'80\\'ff");
    EXPECT_EQ(RtfEscape(" ~"), " ~");
    EXPECT_EQ(RtfHead(ConfigFont{"Tarel {Pro} CE", 11, 1}),
              "{\\rtf1\\ansi\\ansicpg1250 \\deff0{\\fonttbl {\\f0\\fnil\\fcharset238 Tarel \\{Pro\\} "
              "CE;}}\\fs22\r\n");
}

TEST_F(DataFormExport, HeadersOfTheThreeFormats)
{
    ProbeWindow* w = TitledWindow();
    // The title in code page 1250: "Léky {A\B} č.1".
    const std::string title = "L\xe9ky {A\\B} \xe8.1";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"h.rtf",
         "{\\rtf1\\ansi\\ansicpg1250 \\deff0{\\fonttbl {\\f0\\fnil\\fcharset238 Arial CE;}}\\fs18\r\n"
         "{\\*\\Exported from KALVO}{\\b L\\'e9ky \\{A\\\\B\\} \\'e8.1 \\par}\\pard\r\n"},
        {"h.txt", title + "\r\n\r\n"},
        {"h.csv", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(ExportDataWindow(w, Path(c.name).toStdString()));
        EXPECT_EQ(ReadBytes(Path(c.name)), c.bytes);
    }
}

TEST_F(DataFormExport, TheDemoListInEveryFormat)
{
    auto* list = new DemoList(PackKindCode("DNA"));
    list->Master = host;
    ASSERT_GT(list->rows.size(), 10u);
    list->AttachToMdiArea()->show();
    host->area->setActiveSubWindow(list->SubWindow());

    // Through the active-window entry, as the export command calls it.
    ASSERT_TRUE(ExportActiveWindow(Path("list.rtf").toStdString()));
    const std::string rtf = ReadBytes(Path("list.rtf"));
    EXPECT_EQ(RtfProblem(rtf), "");
    EXPECT_NE(rtf.find("P\\'f8\\'edpravky \\{A\\\\B\\} podle n\\'e1zvu"), std::string::npos);
    const std::string firstName = KamToWin(list->rows.front().name);
    EXPECT_NE(rtf.find(RtfEscape(firstName)), std::string::npos);

    ASSERT_TRUE(ExportActiveWindow(Path("list.txt").toStdString()));
    const std::string text = ReadBytes(Path("list.txt"));
    EXPECT_EQ(text.rfind("P\xf8\xedpravky {A\\B} podle n\xe1zvu\r\n\r\n", 0), 0u);
    EXPECT_NE(text.find(firstName + "\r\n"), std::string::npos);

    ASSERT_TRUE(ExportActiveWindow(Path("list.csv").toStdString()));
    const std::string csv = ReadBytes(Path("list.csv"));
    EXPECT_EQ(csv.rfind(KamToWin(list->rows.front().code) + ";" + firstName + "\r\n", 0), 0u) << "no header";
    EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), list->rows.size());
}

TEST_F(DataFormExport, AFailedExportLeavesTheOldFile)
{
    auto* list = new DemoList(PackKindCode("DNA"), 3000); // several buffers' worth
    list->Master = host;
    const QString target = Path("old.rtf");
    const std::string old = "{\\rtf1 the user's old file}";
    ASSERT_EQ(WriteFileAtomic(target.toStdString(), old), 0);

    using Step = test_support::FailingFileSystem::Step;
    const struct {
        const char* name;
        Step failAt;
        size_t failAfterBytes;
    } cases[] = {{"first write", Step::Write, 0},
                 {"a later write", Step::Write, 1 << 16},
                 {"rename", Step::Rename, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_support::FailingFileSystem fs;
        fs.failAt = c.failAt;
        fs.error = c.failAt == Step::Rename ? EACCES : ENOSPC;
        fs.failAfterBytes = c.failAfterBytes;
        ExportFile.SetFileSystem(&fs);
        ScopedErrorRecorder errors;
        EXPECT_FALSE(ExportDataWindow(list, target.toStdString()));
        if (c.failAfterBytes > 0) {
            EXPECT_GE(fs.writes, 2) << "the export got past its first buffer";
        }
        EXPECT_EQ(ReadBytes(target), old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.rtf")})
            << "no temporary file is left";
        ASSERT_EQ(errors.Texts().size(), 1u);
        const std::string expected = Kam("Nelze uložit ") + target.toStdString() + " (" +
                                     QStringToKam(QString::fromStdString(SystemErrorText(fs.error))) + ")";
        EXPECT_EQ(errors.Texts()[0], expected);
    }
    // Without failures the same export replaces the file.
    ExportFile.SetFileSystem(nullptr);
    EXPECT_TRUE(ExportDataWindow(list, target.toStdString()));
    EXPECT_EQ(RtfProblem(ReadBytes(target)), "");
}

TEST_F(DataFormExport, AnOfficeProgramReadsTheRtf)
{
    const QString office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (office.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "libreoffice or pdftotext is not installed";

    auto* list = new DemoList(PackKindCode("DNA"), 40);
    list->Master = host;
    const QString rtf = Path("demo.rtf");
    ASSERT_TRUE(ExportDataWindow(list, rtf.toStdString()));

    // A profile of its own, so that no running office instance or user
    // setting is involved.
    QProcess convert;
    convert.setWorkingDirectory(dir.path());
    convert.start(
        office, {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                 QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                 QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), rtf});
    ASSERT_TRUE(convert.waitForFinished(120000)) << "conversion timed out";
    const QString pdf = Path("demo.pdf");
    ASSERT_TRUE(QFile::exists(pdf)) << convert.readAllStandardError().toStdString();

    QProcess text;
    text.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    // Long names may wrap inside their table cell.
    const QString shown = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    EXPECT_TRUE(shown.contains(QStringLiteral("Přípravky {A\\B} podle názvu"))) << shown.toStdString();
    for (const DemoRow& row : {list->rows.front(), list->rows[list->rows.size() / 2]})
        EXPECT_TRUE(shown.contains(KamToQString(row.name).simplified()))
            << KamToQString(row.name).toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8("Název")));
}
