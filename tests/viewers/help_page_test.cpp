// The help page under the offscreen platform, driven by event scripts, with
// the shell, the print job, the message boxes and the help requests
// recorded.  The manual is compiled here from a small source.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/pages/page_events.h"
#include "frame/start/prestart.h"
#include "frame/windows/data_form.h"
#include "help_page_fixture.h"
#include "platform/cp1250.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/gui/print_job.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "tests/support/gui_app.h"
#include "viewers/help_page.h"
#include "writers/help_writer.h"

namespace {

std::string LongTopic()
{
    std::string s = "@topic Dlouhé téma\n@key LONG__\n";
    for (int i = 1; i <= 120; ++i)
        s += "Odstavec číslo " + std::to_string(i) +
             " s několika slovy, aby se zalomil do více řádků okna.\n\n";
    return s + "Poslední řádek.\n";
}

const std::string kSource = "@part Část\n"
                            "@chapter Kapitola\n"
                            "@topic Jedna\n@key ONE___\n"
                            "Na [[TWO___|druhé]] téma, potom text za odkazem.\n\n"
                            "Web [[https://www.kalvo.example/]] a pošta [[podpora@kalvo.example]].\n"
                            "@topic Dvě\n@key TWO___\nDruhé téma.\n" +
                            LongTopic() +
                            "@topic Rejstřík\n@key Rejstr\n- [[ONE___|jedna]]\n"
                            "@topic Jak číst nápovědu\n@key NapDok\nO nápovědě.\n";

class HelpPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        previousUi_ = UiTexts.Get();
        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
                  TextTableResult::FirstSuccess);
        previousSink_ = SetMessageSink(&boxes);
        previousShell_ = SetShell(&shell);
        HelpHistory().Clear();
        HelpCompileOptions o;
        HelpCompiler c(o);
        c.AddSource(kSource, "test.txt");
        std::string bytes;
        ASSERT_TRUE(c.Finish(bytes)) << c.Errors()[0].Text();
        programDir = WithTrailingSlash(program.path().toStdString());
        dataDir = WithTrailingSlash(data.path().toStdString());
        ASSERT_EQ(WriteFileAtomic(programDir + "qevw.hla", bytes), 0);
    }
    void TearDown() override
    {
        page.reset();
        HelpHistory().Clear();
        SetShell(previousShell_);
        SetMessageSink(previousSink_);
        UiTexts.Set(previousUi_);
    }

    void Make(char mode = '?', int width = 800, int height = 600)
    {
        HelpPageServices s;
        s.programFolder = programDir;
        s.dataFolder = dataDir;
        s.requestHelp = [this](const std::string& t) { requested.push_back(t); };
        s.printSetup = [this] { return printAnswer; };
        s.terminate = [this](int code) { exitCodes.push_back(code); };
        page = MakeHelpPage(state, back, width, height, mode, s);
    }

    int32_t Key(int32_t code, uint8_t shift = PageShift::None) { return page->HandleEvent(code, shift); }
    int32_t Typed(int32_t code) { return page->HandleEvent(code, PageShift::Typed); }
    int32_t ClickAt(Point p)
    {
        state.mousePoint = p;
        return page->HandleEvent(PageEvent::LeftClick, PageShift::None);
    }
    int32_t Click(int element)
    {
        const Rect& r = page->Element(element).rect;
        return ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    // A point on the visible text whose hit falls on the bytes of `text`
    // (the view's text, data code page), at its `which`-th character.
    Point PointOn(const std::string& text, int which = 1) { return PointOnText(page->Pager(), text, which); }
    std::string Name() const { return page->CurrentName(); }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> out;
        for (const MessageRequest& r : boxes.Requests())
            out.push_back(QStringToCp1250(r.text));
        return out;
    }

    QTemporaryDir program;
    QTemporaryDir data;
    std::string programDir;
    std::string dataDir;
    PageState state;
    ImageCanvas back;
    std::unique_ptr<THlpWin> page;
    RecordingMessageSink boxes;
    RecordingShell shell;
    std::vector<std::string> requested;
    std::vector<int> exitCodes;
    bool printAnswer = true;

private:
    TextTablePtr previousUi_;
    MessageSink* previousSink_ = nullptr;
    ShellOps* previousShell_ = nullptr;
};

TEST_F(HelpPage, TopicsLinksAndHistory)
{
    Make();
    ASSERT_TRUE(page->FilesOpen());
    // An unknown topic shows the contents; the first is not pushed.
    page->GoToTopic("NIKDE_");
    EXPECT_EQ(page->CurrentEntry(), 1);
    EXPECT_TRUE(HelpHistory().Empty());

    // A link of the contents.
    EXPECT_EQ(ClickAt(PointOn("Jedna")), PageEvent::Consumed);
    EXPECT_EQ(Name(), "ONE___");
    EXPECT_EQ(HelpHistory().Count(), 1);
    // A topic link; a click on the text after its code 7 follows nothing.
    const Point after = PointOn("potom text");
    EXPECT_NE(ClickAt(after), PageEvent::Consumed);
    EXPECT_EQ(Name(), "ONE___");
    EXPECT_EQ(ClickAt(PointOn("druh\x82")), PageEvent::Consumed);
    EXPECT_EQ(Name(), "TWO___");

    // Previous and next show their neighbours, keyed by what is shown; Back
    // returns to what was shown before them.
    const int two = page->CurrentEntry();
    Typed('<');
    EXPECT_EQ(page->CurrentEntry(), two - 1);
    EXPECT_EQ(PackTopicKey(Name()), PackTopicKey("ONE___"));
    Typed('.');
    Typed('>');
    EXPECT_EQ(page->CurrentEntry(), two + 1);
    EXPECT_EQ(Name(), "LONG__");
    Typed(PageChar::Backspace);
    EXPECT_EQ(Name(), "ONE___");
    Typed(PageChar::Backspace);
    EXPECT_EQ(page->CurrentEntry(), 1);
    EXPECT_EQ(Typed(PageChar::Backspace), PageEvent::Consumed); // empty history: nothing
    EXPECT_EQ(page->CurrentEntry(), 1);

    // Esc: the contents, pushed.
    page->GoToTopic("TWO___");
    Typed(PageChar::Escape);
    EXPECT_EQ(page->CurrentEntry(), 1);
    EXPECT_EQ(HelpHistory().Count(), 2);
    // Previous on entry 0 and next after the last do nothing.
    page->GoToTopic("TITUL_");
    EXPECT_EQ(page->CurrentEntry(), 0);
    Typed(',');
    EXPECT_EQ(page->CurrentEntry(), 0);
    page->GoToTopic("NapDok");
    const int last = page->CurrentEntry();
    EXPECT_EQ(last, page->Topics().Count() - 1);
    Typed('>');
    EXPECT_EQ(page->CurrentEntry(), last);
    // Typed characters the page does not use are still its own.
    EXPECT_EQ(Typed('p'), PageEvent::Consumed);
    EXPECT_EQ(Name(), "NapDok");
}

TEST_F(HelpPage, ScrollingKeysWheelAndThumb)
{
    Make();
    page->GoToTopic("LONG__");
    CtrlTextPager& p = page->Pager();
    ASSERT_GT(p.LastPageLine(), 1);
    ASSERT_FALSE(p.FitsOnePage());
    Key(PageKey::Down);
    EXPECT_EQ(p.RowsAbove(), 1);
    Key(PageEvent::WheelDown);
    EXPECT_EQ(p.RowsAbove(), 4);
    Key(PageEvent::WheelUp);
    Key(PageKey::Up);
    EXPECT_EQ(p.RowsAbove(), 0);
    EXPECT_EQ(Key(PageKey::Home), PageKey::Home); // already there: not handled
    Key(PageKey::PageDown);
    EXPECT_GT(p.RowsAbove(), 10);
    EXPECT_EQ(Key(PageKey::End), PageEvent::Consumed);
    EXPECT_EQ(p.Line(), p.LastPageLine());
    EXPECT_EQ(p.Row(), 0);
    EXPECT_EQ(Key(PageKey::End), PageKey::End); // on the last page: passes on
    Key(PageKey::Down);
    EXPECT_EQ(p.Line(), p.LastPageLine()); // down stops there
    // The thumb lies at the bottom on the last page.
    CtrlTextPager::Thumb t = p.ThumbGeometry();
    ASSERT_TRUE(t.shown);
    EXPECT_EQ(t.top + t.height, p.BarRect().bottom - t.arrow - 2);

    // Back restores line and row.
    page->GoToTopic("TWO___");
    Typed(PageChar::Backspace);
    EXPECT_EQ(p.Line(), p.LastPageLine());

    // Drag the thumb from the bottom to the top.
    Key(PageKey::Home);
    t = p.ThumbGeometry();
    state.mousePoint = {(p.BarRect().left + p.BarRect().right) / 2, t.top + 3};
    state.mouseButtons = 1;
    EXPECT_EQ(Key(PageEvent::ButtonChange), PageEvent::Consumed);
    state.mousePoint.y += 200;
    page->Tick();
    EXPECT_GT(p.RowsAbove(), 0);
    const int64_t dragged = p.RowsAbove();
    state.mousePoint.y += 1; // less than 2 pixels: no step
    page->Tick();
    EXPECT_EQ(p.RowsAbove(), dragged);
    state.mousePoint.y += 5000;
    page->Tick();
    EXPECT_EQ(p.Line(), p.LastPageLine());
    state.mouseButtons = 0;
    Key(PageEvent::ButtonChange);
    EXPECT_FALSE(p.Dragging());

    // A topic that fits: no thumb.
    page->GoToTopic("TWO___");
    EXPECT_TRUE(p.FitsOnePage());
    EXPECT_FALSE(p.ThumbGeometry().shown);
}

TEST_F(HelpPage, TinyWindowStillWorks)
{
    Make('?', 40, 40);
    page->GoToTopic("LONG__");
    for (int32_t k : {PageKey::Down, PageKey::PageDown, PageKey::End, PageKey::Home, PageEvent::WheelDown})
        Key(k);
    page->Paint();
    ClickAt({10, 35});
    SUCCEED();
}

TEST_F(HelpPage, WebAndMailLinksGoToTheShell)
{
    Make();
    page->GoToTopic("ONE___");
    ClickAt(PointOn("www.kalvo"));
    ClickAt(PointOn("podpora"));
    const std::vector<RecordingShell::Call> calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].url);
    EXPECT_EQ(calls[0].target.toStdString(), "https://www.kalvo.example/");
    EXPECT_EQ(calls[1].target.toStdString(), "mailto:podpora@kalvo.example");
    EXPECT_TRUE(boxes.Requests().empty());
    // A shell that cannot open it: "Chyby.NoBrowser", the result and the address.
    shell.SetAnswer(ShellResult::NoAssociation);
    ClickAt(PointOn("www.kalvo"));
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0],
              KamToWin(LookupText(UiTexts, "Chyby", "NoBrowser")) + "31 https://www.kalvo.example/");
    EXPECT_EQ(Name(), "ONE___");
}

TEST_F(HelpPage, HistoryKeepsThe255Newest)
{
    Make();
    page->GoToTopic("ONE___");
    for (int i = 0; i < 300; ++i)
        page->GoToTopic(i % 2 ? "ONE___" : "TWO___");
    EXPECT_EQ(HelpHistory().Count(), 255);
    HelpHistory().Push(1, 0, std::string(52, 'X'));
    TopicHistory::Entry e;
    ASSERT_TRUE(HelpHistory().Pop(e));
    EXPECT_EQ(e.name.size(), 51u);
}

TEST_F(HelpPage, IndexShowsTheInputLineWhenFirst)
{
    Make();
    page->GoToTopic("Rejstr");
    page->Paint();
    EXPECT_TRUE(page->Element(THlpWin::kInput).Visible());
    EXPECT_FALSE(page->Element(THlpWin::kBack).Visible());
    EXPECT_NE(Typed('a'), 'a');
    EXPECT_EQ(page->Input(), "a");
    // Its link leads on; with history the buttons come back.
    ClickAt(PointOn("jedna"));
    EXPECT_EQ(Name(), "ONE___");
    page->Paint();
    EXPECT_FALSE(page->Element(THlpWin::kInput).Visible());
    EXPECT_TRUE(page->Element(THlpWin::kBack).Visible());
}

TEST_F(HelpPage, ButtonsAndF1)
{
    Make();
    page->GoToTopic("TWO___");
    Click(THlpWin::kHelp);
    EXPECT_EQ(Name(), "NapDok");
    Click(THlpWin::kBack);
    EXPECT_EQ(Name(), "TWO___");
    Click(THlpWin::kContents);
    EXPECT_EQ(page->CurrentEntry(), 1);
    Key(PageKey::F1);
    EXPECT_EQ(Name(), "NapDok");
    EXPECT_TRUE(requested.empty());
}

TEST_F(HelpPage, DopingListLinksAndF1)
{
    HelpCompileOptions o;
    o.kind = HelpFileKind::Doping;
    HelpCompiler c(o);
    c.AddSource("@entry DOP Seznam\nTřídy: [[S1]], [[S2]].\n@entry S1 Anabolika\nx\n@entry S2 Hormony\ny\n",
                "d.txt");
    std::string bytes;
    ASSERT_TRUE(c.Finish(bytes));
    ASSERT_EQ(WriteFileAtomic(dataDir + "doping.dat", bytes), 0);
    Make('D');
    ASSERT_TRUE(page->FilesOpen());
    page->GoToTopic("Obsah_");
    EXPECT_EQ(page->CurrentEntry(), 0); // unknown: the first entry
    ClickAt(PointOn("Hormony"));
    EXPECT_EQ(page->CurrentEntry(), 2);
    Typed(PageChar::Backspace);
    EXPECT_EQ(page->CurrentEntry(), 0);
    Key(PageKey::F1);
    EXPECT_EQ(requested, std::vector<std::string>{"DSZLMe"});
    EXPECT_EQ(page->CurrentEntry(), 0);
}

TEST_F(HelpPage, MissingManualStopsTheProgram)
{
    ASSERT_TRUE(QFile::remove(QString::fromStdString(programDir + "qevw.hla")));
    Make();
    EXPECT_FALSE(page->FilesOpen());
    EXPECT_EQ(exitCodes, std::vector<int>{ExitCode::Refused});
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], KamToWin(LookupText(UiTexts, "Chyby", "FileNo")) + programDir + "qevw.hla");
    // The page still paints and takes events.
    page->GoToTopic("Obsah_");
    page->Paint();
    Key(PageKey::Down);

    // A damaged one the same way, with its status.
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(std::string(QEVW_FIXTURES_DIR) + "/broken/help_bad_magic.hla", bytes), 0);
    ASSERT_EQ(WriteFileAtomic(programDir + "qevw.hla", bytes), 0);
    exitCodes.clear();
    Make();
    EXPECT_EQ(exitCodes, std::vector<int>{ExitCode::Refused});
    EXPECT_NE(BoxTexts().back().find("qevw.hla (20001)"), std::string::npos) << BoxTexts().back();
}

TEST_F(HelpPage, EnglishTexts)
{
    ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ang"),
              TextTableResult::FirstSuccess);
    Make();
    page->GoToTopic("Obsah_");
    EXPECT_EQ(page->Element(THlpWin::kContents).GetText(TPrvek::HintText), "Contents");
    // The generated contents page takes its title from the texts.
    EXPECT_EQ(page->Pager().view.text.substr(3, 8), "Contents");
}

TEST_F(HelpPage, PrintsALongTopicWholeToPdf)
{
    QTemporaryDir out;
    const QString pdf = out.path() + "/help.pdf";
    auto job = std::make_unique<PrinterPrintJob>();
    job->SetOutputFile(pdf);
    std::unique_ptr<PrintJob> previous = SetPrintJob(std::move(job));
    Make();
    page->GoToTopic("LONG__");
    CtrlTextPager& p = page->Pager();
    const int32_t width = p.view.measuredWidth;
    const int64_t height = p.view.totalHeight;
    EXPECT_EQ(Typed(PageChar::CtrlP), PageEvent::Consumed);
    // The screen view is measured as before.
    EXPECT_EQ(p.view.measuredWidth, width);
    EXPECT_EQ(p.view.totalHeight, height);
    EXPECT_EQ(p.view.canvas, &back);
    SetPrintJob(std::move(previous));

    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QString meta = QString::fromUtf8(info.readAllStandardOutput());
    const QRegularExpressionMatch m = QRegularExpression("Pages:\\s+(\\d+)").match(meta);
    ASSERT_TRUE(m.hasMatch()) << meta.toStdString();
    EXPECT_GE(m.captured(1).toInt(), 3);
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    EXPECT_TRUE(words.contains(QString::fromUtf8("Dlouhé téma")));
    EXPECT_TRUE(words.contains(QString::fromUtf8("Odstavec číslo 1 s několika slovy")));
    EXPECT_TRUE(words.contains(QString::fromUtf8("Odstavec číslo 120")));
    EXPECT_TRUE(words.contains(QString::fromUtf8("Poslední řádek.")));
    // Every paragraph once: none lost or doubled at a page break.
    for (int i = 1; i <= 120; ++i)
        EXPECT_EQ(words.count(QString::fromUtf8("Odstavec číslo %1 ").arg(i)), 1) << i;

    // A print dialog that is cancelled prints nothing.
    printAnswer = false;
    QFile::remove(pdf);
    auto job2 = std::make_unique<PrinterPrintJob>();
    job2->SetOutputFile(pdf);
    previous = SetPrintJob(std::move(job2));
    Typed(PageChar::CtrlP);
    EXPECT_FALSE(QFile::exists(pdf));
    SetPrintJob(std::move(previous));
}

} // namespace
