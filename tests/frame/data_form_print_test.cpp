// Printing of data windows: the header, rules and new pages between
// documents, one job across windows, failures, and a real PDF.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "frame/config/placement_scheme.h"
#include "frame/report_hook.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

namespace {

using Kind = CanvasCall::Kind;
using Event = RecordingPrintJob::Event;

class DataFormPrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        host = new TestHost;
        Config().Update([](ConfigValues& v) {
            v.PrintFont = ConfigFont{"Arial CE", 10, 0};
            v.PrintSavingOption = false;
        });
    }
    void TearDown() override
    {
        EndPrintJob();
        DeleteDataWindows(host);
        delete host;
        Settle();
    }
    ProbeWindow* Titled(const char* title)
    {
        auto* w = new ProbeWindow(PackKindCode("DFA"), title);
        w->Master = host;
        w->Title = Kam(title);
        return w;
    }
    // The job events of a kind, in order.
    std::vector<Event::Kind> EventKinds() const
    {
        std::vector<Event::Kind> kinds;
        for (const Event& e : job->Events())
            kinds.push_back(e.kind);
        return kinds;
    }

    ScopedConfig config;
    ScopedUiTexts texts{ProgramTable("ces")};
    ScopedPrintJob<RecordingPrintJob> job{2000, 1000};
    TestHost* host = nullptr;
};

// An otherwise empty window that is not empty: the base prints its header.
class Printable : public ProbeWindow {
public:
    using ProbeWindow::ProbeWindow;
    bool IsEmpty() override { return false; }
};

} // namespace

TEST_F(DataFormPrint, TheHeaderOfOneDocument)
{
    auto* w = new Printable(PackKindCode("DFA"), "w");
    w->Master = host;
    w->Title = Kam("Léky ");
    w->Subtitle = Kam("č.1");
    ASSERT_TRUE(PrintDataWindow(w));
    EXPECT_EQ(EventKinds(), (std::vector<Event::Kind>{Event::Kind::Begin, Event::Kind::End}));
    EXPECT_EQ(job->Events()[0].title, QStringLiteral("KALVO - tisk"));

    // "0" is 16 pixels high at 10 points on the recording canvas.
    EXPECT_EQ(PrintLineHeight, 16);
    const auto texts = job->Recorder().CallsOf(Kind::TextOut);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "L\xe9ky \xe8.1");
    EXPECT_EQ(texts[0].points[0], (Point{0, 0}));
    EXPECT_TRUE(texts[0].state.font.bold);
    EXPECT_EQ(texts[0].state.font.family, "Arial") << "the CE suffix is dropped";
    EXPECT_EQ(texts[0].state.font.size, 10);
    EXPECT_FALSE(job->Recorder().State().font.bold) << "back to normal";
    EXPECT_EQ(PrintY, 16 + 8);
}

TEST_F(DataFormPrint, RuleOrNewPageAtTheFourLineLimit)
{
    Config().Update([](ConfigValues& v) { v.PrintSavingOption = true; });
    auto* first = new Printable(PackKindCode("DFA"), "first");
    first->Title = Kam("první");
    auto* second = new Printable(PackKindCode("DFA"), "second");
    second->Title = Kam("druhý");
    const int lh = 16; // PrintLineHeight at 10 points
    const struct {
        int printY;
        bool rule;
    } cases[] = {
        {100, true},
        {1000 - 4 * lh - 1, true}, // just under the limit
        {1000 - 4 * lh, false},    // four lines no longer fit
        {990, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printY);
        job->Clear();
        ASSERT_TRUE(PrintDataWindow(first));
        PrintY = c.printY;
        const size_t before = job->Recorder().Calls().size();
        ASSERT_TRUE(PrintDataWindow(second));
        const std::vector<CanvasCall>& calls = job->Recorder().Calls();
        if (c.rule) {
            EXPECT_EQ(EventKinds(), std::vector<Event::Kind>{Event::Kind::Begin});
            ASSERT_EQ(calls[before].kind, Kind::Line);
            const int y = c.printY + lh / 2;
            EXPECT_EQ(calls[before].points[0], (Point{0, y}));
            EXPECT_EQ(calls[before].points[1], (Point{2000, y}));
            EXPECT_EQ(calls[before].state.pen.width, 3);
            ASSERT_EQ(calls[before + 1].kind, Kind::TextOut);
            EXPECT_EQ(calls[before + 1].points[0], (Point{0, y + lh + lh / 3}));
        } else {
            EXPECT_EQ(EventKinds(), (std::vector<Event::Kind>{Event::Kind::Begin, Event::Kind::NewPage}));
            ASSERT_EQ(calls[before].kind, Kind::TextOut);
            EXPECT_EQ(calls[before].points[0], (Point{0, 0}));
        }
        EndPrintJob();
    }
}

TEST_F(DataFormPrint, OneJobWithTheOptionAndOnePerPrintWithout)
{
    auto* a = new Printable(PackKindCode("DFA"), "a");
    a->Title = Kam("a");
    auto* b = new Printable(PackKindCode("DFA"), "b");
    b->Title = Kam("b");
    using K = Event::Kind;

    ASSERT_TRUE(PrintDataWindow(a));
    ASSERT_TRUE(PrintDataWindow(b));
    EXPECT_EQ(EventKinds(), (std::vector<K>{K::Begin, K::End, K::Begin, K::End}));

    job->Clear();
    Config().Update([](ConfigValues& v) { v.PrintSavingOption = true; });
    ASSERT_TRUE(PrintDataWindow(a));
    ASSERT_TRUE(PrintDataWindow(b));
    EXPECT_EQ(EventKinds(), std::vector<K>{K::Begin});
    EXPECT_EQ(job->Recorder().CallsOf(Kind::Line).size(), 1u) << "a rule between the documents";
    EndPrintJob(); // "sPF"
    EXPECT_EQ(EventKinds(), (std::vector<K>{K::Begin, K::End}));

    // A batch keeps the job open without the option; the set-up ends it.
    job->Clear();
    Config().Update([](ConfigValues& v) { v.PrintSavingOption = false; });
    {
        ScopedPrintBatch batch;
        ASSERT_TRUE(PrintDataWindow(a));
        ASSERT_TRUE(PrintDataWindow(b));
    }
    EXPECT_TRUE(job->IsOpen());
    EXPECT_TRUE(PrinterSetup(nullptr));
    EXPECT_EQ(EventKinds(), (std::vector<K>{K::Begin, K::End, K::Setup}));

    // Closing the main window ends an open job.
    job->Clear();
    Config().Update([](ConfigValues& v) { v.PrintSavingOption = true; });
    ASSERT_TRUE(PrintDataWindow(a));
    host->close();
    EXPECT_EQ(EventKinds(), (std::vector<K>{K::Begin, K::End}));
}

TEST_F(DataFormPrint, EmptyWindowsAndJobsThatCannotStart)
{
    auto* empty = Titled("empty");
    EXPECT_FALSE(PrintDataWindow(empty));
    EXPECT_TRUE(job->Events().empty());

    auto* w = new Printable(PackKindCode("DFA"), "w");
    job->FailNextBegin("no printer is installed");
    ScopedErrorRecorder errors;
    EXPECT_FALSE(PrintDataWindow(w));
    ASSERT_EQ(errors.Texts().size(), 1u);
    EXPECT_EQ(errors.Texts()[0], Kam("Tisk nelze zahájit: no printer is installed"));
    EXPECT_FALSE(job->IsOpen());
    // The next print starts normally.
    EXPECT_TRUE(PrintDataWindow(w));
}

TEST(DataFormPrintPdf, TheDemoListOnPaper)
{
    EnsureApp();
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdftotext.isEmpty() || pdfinfo.isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    ScopedConfig config;
    ScopedUiTexts texts{ProgramTable("ces")};
    Config().Update([](ConfigValues& v) {
        v.PrintFont = ConfigFont{"DejaVu Sans", 10, 0};
        v.PrintSavingOption = false;
    });
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("print.pdf"));
    ScopedPrintJob<PrinterPrintJob> job;
    job->SetOutputFile(pdf);

    TestHost host;
    auto* list = new DemoList(PackKindCode("DNA"), 150); // a few pages
    list->Master = &host;
    ASSERT_TRUE(PrintDataWindow(list));
    EXPECT_FALSE(job->IsOpen());
    ASSERT_TRUE(QFile::exists(pdf));

    QProcess info;
    info.start(pdfinfo, {pdf});
    ASSERT_TRUE(info.waitForFinished(30000));
    const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
    EXPECT_TRUE(infoText.contains(QStringLiteral("KALVO - tisk"))) << infoText.toStdString();
    const QRegularExpression pagesLine(QStringLiteral("Pages:\\s+(\\d+)"));
    const QRegularExpressionMatch m = pagesLine.match(infoText);
    ASSERT_TRUE(m.hasMatch()) << infoText.toStdString();
    EXPECT_GE(m.captured(1).toInt(), 2);

    QProcess text;
    text.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString shown = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_TRUE(shown.contains(QStringLiteral("Přípravky {A\\B} podle názvu")))
        << shown.left(400).toStdString();
    EXPECT_TRUE(shown.contains(KamToQString(list->rows.back().name)));
    delete list;
}

TEST(DataFormPrintPdf, AFileThatCannotBeWrittenIsReported)
{
    EnsureApp();
    ScopedUiTexts texts{ProgramTable("ang")};
    ScopedPrintJob<PrinterPrintJob> job;
    job->SetOutputFile(QStringLiteral("/nonexistent-folder/x/print.pdf"));
    TestHost host;
    auto* w = new Printable(PackKindCode("DFA"), "w");
    ScopedErrorRecorder errors;
    EXPECT_FALSE(PrintDataWindow(w));
    ASSERT_EQ(errors.Texts().size(), 1u);
    EXPECT_EQ(errors.Texts()[0].rfind("Printing cannot start: ", 0), 0u) << errors.Texts()[0];
    EXPECT_FALSE(job->IsOpen());
    delete w;
}
