// A list's output: export as CSV, text and RTF, the clipboard copy, and the
// print run, over the fake list and the demo drug table; marked ranges
// beyond the cached rows and unmarked runs from the typed prefix.  Files are
// read back by other programs where they are installed: Python's csv module,
// LibreOffice, pdftotext and pdfinfo.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <sstream>

#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/report_hook.h"
#include "lists/list_fake.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/print_job.h"
#include "platform/message_sink.h"
#include "tests/support/failing_file_system.h"

using namespace listfake;
using liststest::Settle;

namespace {

std::string ReadBytes(const QString& path)
{
    std::string out;
    EXPECT_EQ(ReadWholeFile(path.toStdString(), out), 0) << path.toStdString();
    return out;
}

// CR LF lines.
std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find("\r\n", at);
        if (end == std::string_view::npos) {
            out.emplace_back(text.substr(at));
            break;
        }
        out.emplace_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

QString Tool(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// The CSV file as Python's csv module reads it (";", code page 1250), one
// list of cells per record; false when Python is missing.
bool ReadCsvWithPython(const QString& path, std::vector<std::vector<QString>>& records)
{
    const QString python = Tool("python3");
    if (python.isEmpty())
        return false;
    QProcess p;
    p.start(python, {QStringLiteral("-c"),
                     QStringLiteral("import csv, json, sys\n"
                                    "with open(sys.argv[1], encoding='cp1250', newline='') as f:\n"
                                    "    print(json.dumps(list(csv.reader(f, delimiter=';'))))\n"),
                     path});
    EXPECT_TRUE(p.waitForFinished(30000));
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput());
    EXPECT_TRUE(doc.isArray()) << p.readAllStandardError().toStdString();
    records.clear();
    for (const QJsonValue& record : doc.array()) {
        std::vector<QString> cells;
        for (const QJsonValue& cell : record.toArray())
            cells.push_back(cell.toString());
        records.push_back(cells);
    }
    return true;
}

// The cell texts of an RTF table row as our rows write them: groups
// "{...}\cell", "\'hh" escapes and "\\", "\{", "\}" undone (code page 1250).
std::vector<std::vector<std::string>> RtfCells(std::string_view rtf)
{
    std::vector<std::vector<std::string>> rows;
    size_t at = 0;
    while ((at = rtf.find("\\intbl", at)) != std::string_view::npos) {
        const size_t end = rtf.find("\\row", at);
        std::vector<std::string> cells;
        size_t c = at;
        while ((c = rtf.find('{', c)) != std::string_view::npos && c < end) {
            std::string cell;
            size_t i = c + 1;
            if (rtf.substr(i, 3) == "\\b ")
                i += 3;
            for (; i < end && rtf[i] != '}'; ++i) {
                if (rtf[i] == '\\' && rtf[i + 1] == '\'') {
                    cell += static_cast<char>(std::stoi(std::string(rtf.substr(i + 2, 2)), nullptr, 16));
                    i += 3;
                } else if (rtf[i] == '\\') {
                    cell += rtf[++i];
                } else {
                    cell += rtf[i];
                }
            }
            while (!cell.empty() && cell.back() == ' ')
                cell.pop_back(); // RTF cells keep the column's blanks
            cells.push_back(cell);
            c = i + 1;
        }
        rows.push_back(cells);
        at = end;
    }
    return rows;
}

// Rows that show what an output must keep: separators and quotes, Czech
// letters, a cancelled and a pink ("@") row.
std::vector<FakeRow> TellingRows(int n)
{
    std::vector<FakeRow> rows = NumberedRows(n);
    rows[5].name = "Sirup; \"forte\" 5%";
    rows[6].name = Kam("Čípky {dětské} \\ 10");
    rows[8].status = 0x08;
    rows[8].name = "Cancelled drug";
    rows[9].status = 0x40;
    rows[9].name = "Pink drug";
    return rows;
}

class ListOutputRuns : public FakeListTest {
protected:
    void SetUp() override
    {
        FakeListTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        ExportFile.SetFileSystem(nullptr);
        FakeListTest::TearDown();
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
};

// The rows a run covers, in the fake list's text: code and trimmed name.
std::vector<std::pair<std::string, std::string>> Expected(const FakeList& list, int32_t first, int32_t last)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (int32_t p = first; p <= last; ++p)
        out.emplace_back(list.RowAt(p).code, KamToWin(list.RowAt(p).name));
    return out;
}

} // namespace

TEST_F(ListOutputRuns, ExportsCoverTheMarkedRangeOrTheListFromThePrefix)
{
    FakeList& list = List(TellingRows(300));
    TVyb* w = Open(list, 10);
    const struct {
        const char* name;
        const char* typed;
        int32_t markFirst, markLast;
        int32_t first, last; // the rows expected
    } cases[] = {
        {"everything", "", -1, -1, 0, 299},
        {"from the prefix", "0000120", -1, -1, 120, 299},
        {"marked beyond the cache", "", 3, 140, 3, 140},
        {"one marked row", "", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w->Edt->clear();
        QTest::keyClicks(w->Edt, QString::fromLatin1(c.typed));
        w->MarkFirst = c.markFirst;
        w->MarkLast = c.markLast;
        const std::vector<int32_t> shownBefore = ShownPositions(w);
        const auto expected = Expected(list, c.first, c.last);

        // CSV through Python's csv module.
        const QString csv = Path("rows.csv");
        ASSERT_TRUE(ExportDataWindow(w, csv.toStdString()));
        std::vector<std::vector<QString>> records;
        if (ReadCsvWithPython(csv, records)) {
            ASSERT_EQ(records.size(), expected.size() + 1);
            EXPECT_EQ(records[0], (std::vector<QString>{QStringLiteral("Kod"), QString::fromUtf8("Název")}));
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_EQ(records[i + 1], (std::vector<QString>{QString::fromStdString(expected[i].first),
                                                                Cp1250ToQString(expected[i].second)}))
                    << "row " << i;
        }

        // Text: the title, a blank line, then the header and the rows.
        const QString txt = Path("rows.txt");
        ASSERT_TRUE(ExportDataWindow(w, txt.toStdString()));
        const std::vector<std::string> lines = Lines(ReadBytes(txt));
        ASSERT_EQ(lines.size(), expected.size() + 3);
        EXPECT_EQ(lines[0], KamToWin(w->Title + w->Subtitle));
        EXPECT_EQ(lines[1], "");
        EXPECT_EQ(lines[2].substr(0, 13), "Kod     N\xE1zev");
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(lines[i + 3].substr(0, 8 + expected[i].second.size()),
                      expected[i].first + " " + expected[i].second);

        // RTF: well formed, the header in bold, every row's cells.
        const QString rtf = Path("rows.rtf");
        ASSERT_TRUE(ExportDataWindow(w, rtf.toStdString()));
        const std::string bytes = ReadBytes(rtf);
        EXPECT_EQ(dftest::RtfProblem(bytes), "");
        // The header row in bold.
        const size_t head = bytes.find("\\b\\intbl{Kod");
        ASSERT_NE(head, std::string::npos);
        EXPECT_EQ(bytes.substr(bytes.find("\\row\r\n", head), 15), "\\row\r\n\\b0\\intbl");
        const auto cells = RtfCells(bytes);
        ASSERT_EQ(cells.size(), expected.size() + 1);
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(cells[i + 1], (std::vector<std::string>{expected[i].first, expected[i].second}))
                << "row " << i;

        // The window shows what it showed, marks and all.
        EXPECT_EQ(ShownPositions(w), shownBefore);
        EXPECT_EQ(w->MarkFirst, c.markFirst);
    }
    EXPECT_EQ(std::count(counts.begin(), counts.end(), StatCodeOfText("oCF")), 12);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), 0x9400 | ((w->Kind & 0x7FE0) >> 5)), 12);
}

TEST_F(ListOutputRuns, TheDemoDrugTableExportsEveryRecordAndTheMarkedOnes)
{
    listdemo::TableList table;
    std::string error;
    ASSERT_TRUE(table.Open(std::string(QEVW_DEMO_DATA_DIR) + "/", "kl", "klnaz", error)) << error;
    auto* w = new TVyb;
    w->Kind = PackKindCode("kLN");
    w->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    w->Master = host;
    w->Rec.Letter = 'N';
    table.OpenIn(*w, Kam("Léky "), Options(45, 'A', "?"));
    Settle();
    const QString csv = Path("demo.csv");
    std::vector<std::vector<QString>> records;
    ASSERT_TRUE(ExportDataWindow(w, csv.toStdString()));
    if (!ReadCsvWithPython(csv, records))
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(records.size(), static_cast<size_t>(table.Leaves()) + 1);

    w->MarkFirst = 40;
    w->MarkLast = 140; // well past the cached rows
    ASSERT_TRUE(ExportDataWindow(w, csv.toStdString()));
    ASSERT_TRUE(ReadCsvWithPython(csv, records));
    ASSERT_EQ(records.size(), 102u);
    // The rows in name order from the 41st on; the window shows the name
    // (its first 30 characters) among the columns its width has room for.
    const std::vector<QString>& head = records[0];
    const size_t name =
        static_cast<size_t>(std::find(head.begin(), head.end(), QStringLiteral("NAZ")) - head.begin());
    ASSERT_LT(name, head.size()) << head.front().toStdString();
    std::string record;
    for (int32_t p : {40, 140}) {
        ReadByOrder(table.Table(), p, record);
        ASSERT_EQ(DbStatus, 0);
        EXPECT_EQ(records[static_cast<size_t>(p - 39)][name],
                  KamToQString(GetFieldTrim(record, kDrugName.start, 30)))
            << p;
    }
}

TEST_F(ListOutputRuns, ACopyFillingTheBlockEndsRtfAndTextAtTheSameRow)
{
    const struct {
        const char* name;
        int rows;
        int32_t markFirst, markLast;
        size_t copied; // list rows copied; 0 = as many as fit
    } cases[] = {{"a few marked rows", 40, 6, 12, 7}, {"a list larger than the block", 3000, -1, -1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeList& list = List(TellingRows(c.rows));
        TVyb* w = Open(list, 10);
        w->MarkFirst = c.markFirst;
        w->MarkLast = c.markLast;
        w->Schrankuj();
        std::string rtf;
        ASSERT_TRUE(ClipboardRtf(rtf));
        const std::string plain = QStringToCp1250(ClipboardText());
        EXPECT_LE(rtf.size(), kClipBlockSize);
        EXPECT_EQ(dftest::RtfProblem(rtf), "");
        EXPECT_EQ(rtf.substr(rtf.size() - kRtfTail.size()), kRtfTail);
        const auto cells = RtfCells(rtf);
        const std::vector<std::string> lines = Lines(plain);
        ASSERT_EQ(cells.size(), lines.size());
        if (c.copied > 0) {
            EXPECT_EQ(lines.size(), c.copied + 1);
        } else {
            EXPECT_LT(lines.size(), static_cast<size_t>(c.rows));
            EXPECT_GT(rtf.size(), kClipBlockSize - 200) << "the block is full";
        }
        EXPECT_EQ(lines[0], "Kod\tN\xE1zev");
        // The last row of both is the same list row.
        const std::string& last = lines.back();
        EXPECT_EQ(last.substr(0, last.find('\t')), cells.back()[0]);
        EXPECT_EQ(last.substr(last.find('\t') + 1), cells.back()[1]);
        const int32_t first = c.markFirst < 0 ? 0 : c.markFirst;
        EXPECT_EQ(cells.back()[0], list.RowAt(first + static_cast<int32_t>(lines.size()) - 2).code);
        w->CloseWindow();
        Settle();
    }
}

TEST_F(ListOutputRuns, AnExportThatCannotBeWrittenReportsItAndKeepsTheOldFile)
{
    FakeList& list = List(TellingRows(30));
    TVyb* w = Open(list, 10);
    const QString target = Path("old.csv");
    ASSERT_EQ(WriteFileAtomic(target.toStdString(), "the user's old file"), 0);
    // What a folder without write permission answers (the tests may run as
    // root, whom permissions do not stop).
    test_support::FailingFileSystem fs;
    fs.failAt = test_support::FailingFileSystem::Step::Create;
    fs.error = EACCES;
    ExportFile.SetFileSystem(&fs);
    ScopedErrorRecorder errors;
    EXPECT_FALSE(ExportDataWindow(w, target.toStdString()));
    EXPECT_EQ(ReadBytes(target), "the user's old file");
    ASSERT_EQ(errors.Texts().size(), 1u);
    EXPECT_EQ(errors.Texts()[0].rfind(LookupText(UiTexts, "Chyby", "FileSave"), 0), 0u) << errors.Texts()[0];
}

TEST_F(ListOutputRuns, LibreOfficeReadsTheExportedAndTheCopiedRtf)
{
    const QString office = Tool("libreoffice");
    const QString pdftotext = Tool("pdftotext");
    if (office.isEmpty() || pdftotext.isEmpty())
        GTEST_SKIP() << "libreoffice or pdftotext is not installed";
    FakeList& list = List(TellingRows(60));
    TVyb* w = Open(list, 10);
    w->MarkFirst = 4;
    w->MarkLast = 45;
    ASSERT_TRUE(ExportDataWindow(w, Path("export.rtf").toStdString()));
    w->Schrankuj();
    std::string copied;
    ASSERT_TRUE(ClipboardRtf(copied));
    QFile file(Path("copy.rtf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(copied.data(), static_cast<qint64>(copied.size()));
    file.close();

    QProcess convert;
    convert.setWorkingDirectory(dir.path());
    convert.start(office,
                  {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                   QStringLiteral("--headless"), QStringLiteral("--norestore"),
                   QStringLiteral("--convert-to"), QStringLiteral("pdf"), QStringLiteral("--outdir"),
                   dir.path(), Path("export.rtf"), Path("copy.rtf")});
    ASSERT_TRUE(convert.waitForFinished(180000)) << "conversion timed out";
    for (const char* name : {"export.pdf", "copy.pdf"}) {
        SCOPED_TRACE(name);
        const QString pdf = Path(name);
        ASSERT_TRUE(QFile::exists(pdf)) << convert.readAllStandardError().toStdString();
        QProcess text;
        text.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(30000));
        const QString shown = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        EXPECT_TRUE(shown.contains(QString::fromUtf8("Název"))) << shown.toStdString();
        for (int32_t p = 4; p <= 45; ++p)
            EXPECT_TRUE(shown.contains(QString::fromStdString(list.RowAt(p).code))) << p;
        EXPECT_FALSE(shown.contains(QString::fromStdString(list.RowAt(46).code)));
        EXPECT_TRUE(shown.contains(QString::fromUtf8("Čípky {dětské} \\ 10"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QString::fromUtf8("Žluťoučký kůň 13"))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("Sirup; \"forte\" 5%")));
    }
}

// --- Print ------------------------------------------------------------------------

namespace {

// A PDF print job that tells when a page starts.
class PdfJob : public PrintJob {
public:
    explicit PdfJob(const QString& path) { inner.SetOutputFile(path); }
    PrinterPrintJob inner;
    std::function<void()> onNewPage;

    bool IsOpen() const override { return inner.IsOpen(); }
    void SetTitle(const QString& title) override { inner.SetTitle(title); }
    bool Begin(std::string& error) override { return inner.Begin(error); }
    void NewPage() override
    {
        if (onNewPage)
            onNewPage();
        inner.NewPage();
    }
    bool End() override { return inner.End(); }
    Canvas& Surface() override { return inner.Surface(); }
    int PageWidth() override { return inner.PageWidth(); }
    int PageHeight() override { return inner.PageHeight(); }
    bool Setup(QWidget* parent) override { return inner.Setup(parent); }
};

QString RunTool(const char* tool, const QStringList& args)
{
    QProcess p;
    p.start(Tool(tool), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST_F(ListOutputRuns, APrintOfThreePagesRepeatsTheHeaderOnEachPage)
{
    if (Tool("pdftotext").isEmpty() || Tool("pdfinfo").isEmpty())
        GTEST_SKIP() << "pdftotext or pdfinfo is not installed";
    FakeList& list = List(TellingRows(400));
    TVyb* w = Open(list, 10);
    // How many rows two pages take, from a print of the whole list.
    int rowsOnTwoPages = 0;
    {
        dftest::ScopedPrintJob<PdfJob> job(Path("probe.pdf"));
        int pages = 1;
        job->onNewPage = [&] {
            if (++pages == 3)
                rowsOnTwoPages = list.fetches - 1; // the row that did not fit was fetched
        };
        list.fetches = 0;
        ASSERT_TRUE(PrintDataWindow(w));
        ASSERT_GT(rowsOnTwoPages, 20);
    }
    const QString pdf = Path("three.pdf");
    dftest::ScopedPrintJob<PdfJob> job(pdf);
    w->MarkFirst = 0;
    w->MarkLast = rowsOnTwoPages + 3;
    ASSERT_TRUE(PrintDataWindow(w));
    EXPECT_FALSE(job->IsOpen());
    const QString info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << info.toStdString();
    for (int page = 1; page <= 3; ++page) {
        const QString text =
            RunTool("pdftotext", {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-f"),
                                  QString::number(page), QStringLiteral("-l"), QString::number(page), pdf,
                                  QStringLiteral("-")});
        EXPECT_TRUE(text.contains(QStringLiteral("Kod")) && text.contains(QString::fromUtf8("Název")))
            << "page " << page << ": " << text.toStdString();
        if (page == 1) {
            EXPECT_TRUE(text.contains(QString::fromUtf8("Zkušební seznam")));
            EXPECT_TRUE(text.contains(QStringLiteral("Cancelled drug")));
            EXPECT_TRUE(text.contains(QStringLiteral("Pink drug")));
        }
        if (page == 3) {
            EXPECT_TRUE(text.contains(QString::fromStdString(list.RowAt(rowsOnTwoPages + 3).code)));
            EXPECT_FALSE(text.contains(QString::fromStdString(list.RowAt(rowsOnTwoPages + 4).code)));
        }
    }
    EXPECT_EQ(std::count(counts.begin(), counts.end(), StatCodeOfText("oCP")), 2);
    // The first page for a person to look at.
    if (!Tool("pdftoppm").isEmpty())
        RunTool("pdftoppm", {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                             QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                             QStringLiteral("1"), QStringLiteral("-singlefile"), pdf,
                             QString::fromStdString(liststest::ScreenshotDir() + "/list_print_page1")});
}

TEST_F(ListOutputRuns, EscapeStopsAPrintAndWhatArrivedMeanwhileActsAfterIt)
{
    FakeList& list = List(TellingRows(300));
    TVyb* w = Open(list, 10);
    host->area->setActiveSubWindow(w->SubWindow());
    w->Dependent = true;
    dftest::ScopedPrintJob<RecordingPrintJob> job;
    RecordingMessageSink sink(MessageAnswer::Yes);
    ScopedMessageSink installed(&sink);

    // First run: a key, a click, a new value from the master and a second
    // print arrive while it prints; none acts before the run has ended.
    QPointer<TVyb> alive(w);
    int printed = 0;
    list.onFetch = [&](VybRec& rec) {
        if (rec.Command != 1 || ++printed != 5)
            return;
        QCoreApplication::postEvent(w->Edt, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
        QCoreApplication::postEvent(w->Edt, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier));
        const QPointF at = QPointF(w->Tb->RowRect(6).center());
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(
                w->Tb, new QMouseEvent(type, at, w->Tb->mapToGlobal(at), Qt::LeftButton,
                                       type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                       Qt::NoModifier));
        QTimer::singleShot(0, w, [w] { w->ResetData(7); });
        QTimer::singleShot(0, w, [w] { EXPECT_FALSE(PrintDataWindow(w)) << "a second print is refused"; });
    };
    list.commands.clear();
    list.commandsWhileBusy.clear();
    ASSERT_TRUE(PrintDataWindow(w));
    EXPECT_FALSE(w->Busy);
    EXPECT_GT(printed, 290) << "the run went to the end";
    EXPECT_EQ(std::count(list.commandsWhileBusy.begin(), list.commandsWhileBusy.end(), true), 0);
    const std::vector<uint16_t> after = list.commands;
    for (uint16_t code : {ActionCode::Down, ActionCode::RowClicked, ActionCode::Reposition})
        EXPECT_NE(std::find(after.begin(), after.end(), code), after.end()) << code;
    EXPECT_TRUE(sink.Requests().empty());

    // Second run: Escape held, the question answered Yes; a close waits too.
    printed = 0;
    job->Clear();
    list.onFetch = [&](VybRec& rec) {
        if (rec.Command != 1 || ++printed != 5)
            return;
        QCoreApplication::postEvent(w->Edt, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QTimer::singleShot(0, w, [w] { w->CloseWindow(); });
    };
    ASSERT_TRUE(PrintDataWindow(w));
    ASSERT_EQ(sink.Requests().size(), 1u);
    EXPECT_EQ(sink.Requests()[0].text, KamToQString(LookupText(UiTexts, "Chyby", "PrnCanc")));
    EXPECT_LT(printed, 10);
    const std::vector<std::string> printedTexts = job->Recorder().Texts();
    ASSERT_FALSE(printedTexts.empty());
    EXPECT_EQ(printedTexts.back(), KamToWin(LookupText(UiTexts, "Chyby", "PrnIntr")));
    EXPECT_EQ(job->JobsBegun(), 1);
    EXPECT_FALSE(job->IsOpen());
    Settle();
    EXPECT_TRUE(alive.isNull()) << "the close acted after the run";
}
