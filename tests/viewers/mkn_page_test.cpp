// The classification page under the offscreen platform, driven by event
// scripts, with the clipboard, help requests, titles, boxes and the print
// dialog recorded.  The classification is written here by the program's
// writer into a folder of its own; the screenshots use the demo data set.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <filesystem>
#include <string>
#include <vector>

#include "datastore/db_status.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/pages/page_events.h"
#include "frame/windows/data_form.h"
#include "pager_fixture.h"
#include "platform/cp1250.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/gui/print_job.h"
#include "platform/message_sink.h"
#include "tests/support/gui_app.h"
#include "viewers/mkn_page.h"
#include "writers/mkn_writer.h"

namespace {

std::string Kam(const char* utf8)
{
    std::string s;
    EXPECT_TRUE(Utf8ToCp1250(utf8, s)) << utf8;
    WinToKamS(s);
    return s;
}

std::string LongCholera()
{
    std::string s = "\x12\x0b\x10"
                    "A00 Cholera\x0eSkupina A00-A09\x0e"
                    "A00.1 Cholera eltor\x0e"
                    "A00.9 Cholera NS";
    for (int i = 1; i <= 150; ++i)
        s += "\x0eOdstavec " + std::to_string(i) + " " + Kam("o choleře, dost dlouhý na zalomení");
    return s + "\x0eViz A01";
}

std::vector<MknSourceEntry> Classification()
{
    return {
        {"MKN10", "\x0eMezinarodni klasifikace nemoci", "title"},
        {"ZaDTCa",
         "\x0eStart\x0e"
         "A00-A09 Infekce\x0eViz A01",
         "start"},
        {"A00", LongCholera(), "a00"},
        {"A01",
         "\x12\x0b\x10"
         "A01 Tyfus\x0eSkupina A00-A09\x0e"
         "A01.0 " +
             Kam("Břišní tyfus"),
         "a01"},
        {"A00A09",
         "\x12\x0a\x10"
         "A00-A09 Skupina\x0e"
         "A00 Cholera\x0e"
         "A01 Tyfus",
         "group"},
        {"814A",
         "\x0e"
         "814 Adenomy\x0e"
         "8140/3 Adenokarcinom NS",
         "m814"},
    };
}

std::string WordList()
{
    return BuildMknWordList({"MKN-10 Klasifikace", "A00 Cholera", "A00.1 Cholera eltor",
                             "A01 Tyfus a paratyfus", Kam("A01.0 Břišní tyfus"), "choroba"});
}

class MknPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        BuildKamTables();
        previousUi_ = UiTexts.Get();
        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
                  TextTableResult::FirstSuccess);
        previousSink_ = SetMessageSink(&boxes);
        previousDataDir_ = DataDir();
        MknHistory().Clear();
        dataDir = WithTrailingSlash(data.path().toStdString());
        ASSERT_EQ(WriteFileAtomic(dataDir + "mkn.dat", BuildMknFile(Classification())), 0);
        ASSERT_EQ(WriteFileAtomic(dataDir + "mkn.slw", WordList()), 0);
        SetDataDir(dataDir);
    }
    void TearDown() override
    {
        page.reset();
        MknHistory().Clear();
        SetDataDir(previousDataDir_);
        SetMessageSink(previousSink_);
        UiTexts.Set(previousUi_);
    }

    void Make(bool second = false, int width = 800, int height = 600)
    {
        MknPageServices s;
        SetUpPageCanvas(state, back, width, height);
        s.textFont = state.pageFont;
        s.printFont = state.pageFont;
        s.setClipboardText = [this](const std::string& t) { clipboard.push_back(t); };
        s.requestHelp = [this](const std::string& t) { requested.push_back(t); };
        s.setTitles = [this](const std::string& a, const std::string& c) { titles = a + "|" + c; };
        s.showError = [this](const std::string& t) { errors.push_back(t); };
        s.printSetup = [this] {
            ++dialogs;
            return printAnswer;
        };
        page = std::make_unique<TMknWin>(state, back, width, height, second, s);
        page->Build();
        page->Layout();
        page->GoToCode("ZaDTCa"); // the main window's first activation
    }

    int32_t Key(int32_t code, uint8_t shift = PageShift::None) { return page->HandleEvent(code, shift); }
    int32_t Typed(int32_t code) { return page->HandleEvent(code, PageShift::Typed); }
    void Type(const std::string& text)
    {
        for (char c : text)
            Typed(static_cast<unsigned char>(c));
    }
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
    Point PointOn(const std::string& text, int which = 1)
    {
        page->Pager().view.canvas = &back;
        return PointOnText(page->Pager(), text, which);
    }
    bool Shows(const std::string& text) { return page->Pager().view.text.find(text) != std::string::npos; }
    bool Visible(int element) { return page->Element(element).Visible(); }

    QTemporaryDir data;
    std::string dataDir;
    PageState state;
    ImageCanvas back;
    std::unique_ptr<TMknWin> page;
    RecordingMessageSink boxes;
    std::vector<std::string> clipboard;
    std::vector<std::string> requested;
    std::vector<std::string> errors;
    std::string titles;
    int dialogs = 0;
    bool printAnswer = true;

private:
    TextTablePtr previousUi_;
    MessageSink* previousSink_ = nullptr;
    std::string previousDataDir_;
};

TEST_F(MknPage, StartPageSearchAndHitList)
{
    Make();
    EXPECT_EQ(page->CurrentCode(), "ZaDTCa");
    EXPECT_TRUE(Shows("Start"));
    EXPECT_TRUE(Visible(TMknWin::kInput));
    for (int e : {TMknWin::kStart, TMknWin::kBack, TMknWin::kCopy, TMknWin::kLabel})
        EXPECT_FALSE(Visible(e)) << e;
    EXPECT_TRUE(Visible(TMknWin::kHelp));
    EXPECT_EQ(titles, KamToWin(LookupText(UiTexts, "Mkn", "Zkr10")) + "|" +
                          KamToWin(LookupText(UiTexts, "Mkn", "Tit10")));

    // Two characters: an empty list; the third searches.
    Type("ch");
    EXPECT_EQ(page->Pager().view.text, std::string(1, '\0'));
    EXPECT_TRUE(page->Pager().view.searchTerms.empty());
    Typed('o');
    EXPECT_TRUE(Shows("\x14\x01\x10"
                      "A00 Cholera"));
    EXPECT_TRUE(Shows("A00.1 Cholera eltor"));
    EXPECT_TRUE(Shows("\x0e"
                      "A01.0: choroba"))
        << "under the code line above it";
    EXPECT_EQ(page->Pager().view.searchTerms, (std::vector<std::string>{"Cho", "cho"}));
    EXPECT_EQ(page->CurrentCode(), "ZaDTCa");
    // Emptied: the start entry again, without terms.
    for (int i = 0; i < 3; ++i)
        Typed(PageChar::Backspace);
    EXPECT_TRUE(Shows("Start"));
    EXPECT_TRUE(page->Pager().view.searchTerms.empty());
    // Diacritics fold.
    Type("BRISNI");
    EXPECT_TRUE(Shows("A01.0 " + Kam("Břišní tyfus")));
}

TEST_F(MknPage, FollowingAndGoingBack)
{
    Make();
    page->GoToCode("A01");
    Typed(PageChar::Backspace);
    EXPECT_EQ(page->CurrentCode(), "A01") << "Back on empty does nothing";
    Typed(PageChar::Escape);

    // From the hit list: Back returns to it.
    Type("tyf");
    ASSERT_EQ(ClickAt(PointOn("A01 Tyfus")), PageEvent::Consumed);
    EXPECT_EQ(page->CurrentCode(), "A01");
    EXPECT_EQ(MknHistory().Count(), 1);
    EXPECT_FALSE(Visible(TMknWin::kInput));
    EXPECT_TRUE(Visible(TMknWin::kBack));
    // The group, then a category of the group, scrolled.
    ASSERT_EQ(ClickAt(PointOn("A00-A09", 5)), PageEvent::Consumed);
    EXPECT_EQ(page->CurrentCode(), "A00-A09");
    ASSERT_EQ(ClickAt(PointOn("A00 Cholera")), PageEvent::Consumed) << "in a range entry a code moves";
    EXPECT_EQ(page->CurrentCode(), "A00");
    EXPECT_TRUE(page->Label().empty());
    // Far down the entry: Back restores line and row.
    EXPECT_EQ(Key(PageKey::End), PageEvent::Consumed);
    Key(PageKey::Up);
    const int line = page->Pager().Line();
    const int row = page->Pager().Row();
    ASSERT_GT(line, 100);
    ASSERT_EQ(ClickAt(PointOn("Viz A01", 5)), PageEvent::Consumed);
    EXPECT_EQ(page->CurrentCode(), "A01");
    EXPECT_EQ(page->Pager().Line(), 1);
    EXPECT_EQ(Typed(PageChar::Backspace), PageEvent::Consumed);
    EXPECT_EQ(page->CurrentCode(), "A00");
    EXPECT_EQ(page->Pager().Line(), line);
    EXPECT_EQ(page->Pager().Row(), row);
    Click(TMknWin::kBack);
    Click(TMknWin::kBack);
    EXPECT_EQ(page->CurrentCode(), "A01");
    Click(TMknWin::kBack);
    EXPECT_EQ(page->CurrentCode(), "ZaDTCa");
    EXPECT_TRUE(Shows("\x0e\x14\x01\x10"
                      "A01 Tyfus"))
        << "the hit list again";
    EXPECT_TRUE(Visible(TMknWin::kInput));

    // Esc: the start page, empty history, field and terms.
    ClickAt(PointOn("A01 Tyfus"));
    EXPECT_EQ(Typed(PageChar::Escape), PageEvent::Consumed);
    EXPECT_EQ(page->CurrentCode(), "ZaDTCa");
    EXPECT_TRUE(MknHistory().Empty());
    EXPECT_TRUE(page->Typed().empty());
    EXPECT_TRUE(page->Pager().view.searchTerms.empty());
    EXPECT_TRUE(Shows("Start"));
    // A click beside any code is not handled.
    EXPECT_NE(ClickAt({page->Pager().TextRect().right - 20, page->Pager().TextRect().bottom - 10}),
              PageEvent::Consumed);
}

TEST_F(MknPage, TakingAndCopyingCodeLines)
{
    Make();
    page->GoToCode("A00");
    // Element 5 disabled, no copy text: the clipboard stays.
    EXPECT_FALSE(page->Element(TMknWin::kCopy).Enabled());
    EXPECT_EQ(Click(TMknWin::kCopy), PageEvent::Consumed);
    EXPECT_EQ(Typed(PageChar::CtrlC), PageEvent::Consumed);
    EXPECT_TRUE(clipboard.empty());

    ASSERT_EQ(ClickAt(PointOn("A00.1", 2)), PageEvent::Consumed);
    EXPECT_EQ(page->CurrentCode(), "A00") << "a subcategory of the shown category is taken";
    EXPECT_EQ(page->Label(), "A00.1");
    EXPECT_EQ(page->CopyText(), "A00.1 Cholera eltor");
    EXPECT_TRUE(page->Element(TMknWin::kCopy).Enabled());
    EXPECT_TRUE(Visible(TMknWin::kLabel));
    EXPECT_EQ(Typed(PageChar::CtrlC), PageEvent::Consumed);
    ASSERT_EQ(clipboard.size(), 1u);
    EXPECT_EQ(clipboard[0], "A00.1 Cholera eltor");
    Click(TMknWin::kCopy);
    EXPECT_EQ(clipboard.size(), 2u);
    // GoToCode empties them.
    page->GoToCode("A01");
    EXPECT_TRUE(page->Label().empty());
    EXPECT_TRUE(page->CopyText().empty());
    EXPECT_FALSE(page->Element(TMknWin::kCopy).Enabled());
    // An empty code changes nothing.
    ClickAt(PointOn("A01.0", 2));
    page->GoToCode("");
    EXPECT_EQ(page->CurrentCode(), "A01");
    EXPECT_EQ(page->Label(), "A01.0");
}

TEST_F(MknPage, SecondClassificationAndMorphology)
{
    ASSERT_EQ(WriteFileAtomic(dataDir + "mkno.dat", BuildMknFile(Classification())), 0);
    Make(true);
    page->GoToCode("A01");
    ClickAt(PointOn("A01.0", 2));
    EXPECT_EQ(page->CopyText(), "A01.0 " + Kam("Břišní tyfus") + "; ");
    page->GoToCode("8140/3");
    EXPECT_EQ(page->CurrentCode(), "8140/3");
    EXPECT_TRUE(Shows("814 Adenomy"));
    ClickAt(PointOn("8140/3", 3));
    EXPECT_EQ(page->Label(), "8140/3");
    EXPECT_EQ(page->CopyText(), "M-8140/3 Adenokarcinom NS");
    Typed(PageChar::CtrlC);
    ASSERT_EQ(clipboard.size(), 1u);
    EXPECT_EQ(clipboard[0], "M-8140/3 Adenokarcinom NS");
    Key(PageKey::F1);
    Click(TMknWin::kHelp);
    EXPECT_EQ(requested, (std::vector<std::string>{"MKNPOn", "MKNPOn"}));
}

TEST_F(MknPage, KeysScrollingAndTheThumb)
{
    Make();
    page->GoToCode("A00");
    // Typed characters the page does not use are its own; sent again as keys
    // they would scroll or ask for help.
    for (char c : {'p', '#', '$', '!', '&', '('})
        EXPECT_EQ(Typed(c), PageEvent::Consumed) << c;
    EXPECT_EQ(page->Pager().Line(), 1);
    EXPECT_TRUE(requested.empty());
    EXPECT_EQ(Key(PageKey::F1), PageEvent::Consumed);
    EXPECT_EQ(Click(TMknWin::kHelp), PageEvent::Consumed);
    EXPECT_EQ(requested, (std::vector<std::string>{"MeKlNe", "MeKlNe"}));

    CtrlTextPager& p = page->Pager();
    EXPECT_NE(Key(PageKey::Home), PageEvent::Consumed) << "already at the top";
    EXPECT_NE(Key(PageEvent::WheelUp), PageEvent::Consumed);
    EXPECT_EQ(Key(PageKey::End), PageEvent::Consumed);
    EXPECT_EQ(p.Line(), p.LastPageLine());
    EXPECT_NE(Key(PageKey::End), PageEvent::Consumed) << "End at the end";
    EXPECT_NE(Key(PageKey::Down), PageEvent::Consumed);
    const CtrlTextPager::Thumb t = p.ThumbGeometry();
    ASSERT_TRUE(t.shown);
    EXPECT_EQ(t.top + t.height, p.BarRect().bottom - t.arrow - 2) << "on the bottom arrow";
    // Dragging the thumb down stops at the last scroll line.
    Key(PageKey::Home);
    const CtrlTextPager::Thumb top = p.ThumbGeometry();
    state.mousePoint = {p.BarRect().left + 2, top.top + 2};
    state.mouseButtons = 1;
    EXPECT_EQ(Key(PageEvent::ButtonChange), PageEvent::Consumed);
    state.mousePoint.y += 2000;
    page->Tick();
    EXPECT_EQ(p.Line(), p.LastPageLine());
    EXPECT_EQ(p.Row(), 0);
    state.mouseButtons = 0;
    EXPECT_EQ(Key(PageEvent::ButtonChange), PageEvent::Consumed);
    EXPECT_FALSE(p.Dragging());

    // A short entry: no thumb, grey arrows, nothing to scroll.
    page->GoToCode("A01");
    EXPECT_TRUE(p.FitsOnePage());
    EXPECT_FALSE(p.ThumbGeometry().shown);
    EXPECT_NE(Key(PageKey::PageDown), PageEvent::Consumed);
}

TEST_F(MknPage, HistoryKeepsTheNewest255)
{
    Make();
    page->GoToCode("A00");
    // Each entry is shown from its first line, so the points stay on their codes.
    const Point toGroup = PointOn("A00-A09", 1);
    ASSERT_EQ(ClickAt(toGroup), PageEvent::Consumed);
    const Point toCategory = PointOn("A00 Cholera");
    for (int i = 0; i < 128; ++i) {
        ASSERT_EQ(ClickAt(toCategory), PageEvent::Consumed);
        ASSERT_EQ(ClickAt(toGroup), PageEvent::Consumed);
    }
    EXPECT_EQ(MknHistory().Count(), TopicHistory::kMaxEntries);
    // The newest stay: the last push was the category.
    Typed(PageChar::Backspace);
    EXPECT_EQ(page->CurrentCode(), "A00");
}

TEST_F(MknPage, PrintsOnePageFromTheFirstShownLine)
{
    QTemporaryDir out;
    const QString pdf = out.path() + "/mkn.pdf";
    auto job = std::make_unique<PrinterPrintJob>();
    job->SetOutputFile(pdf);
    std::unique_ptr<PrintJob> previous = SetPrintJob(std::move(job));
    Make();
    page->GoToCode("A00");
    for (int i = 0; i < 6; ++i)
        Key(PageKey::Down);
    const int line = page->Pager().Line();
    const int32_t width = page->Pager().view.measuredWidth;
    EXPECT_EQ(Typed(PageChar::CtrlP), PageEvent::Consumed);
    SetPrintJob(std::move(previous));
    EXPECT_EQ(dialogs, 1);
    // The entry survives the dialog, measured for the screen again.
    EXPECT_EQ(page->CurrentCode(), "A00");
    EXPECT_EQ(page->Pager().Line(), line);
    EXPECT_EQ(page->Pager().view.measuredWidth, width);
    EXPECT_EQ(page->Pager().view.canvas, &back);

    QProcess info;
    info.start("pdfinfo", {pdf});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QRegularExpressionMatch m =
        QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(info.readAllStandardOutput()));
    ASSERT_TRUE(m.hasMatch());
    EXPECT_EQ(m.captured(1).toInt(), 1);
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    EXPECT_FALSE(words.contains("A00 Cholera")) << "lines above the first shown one are not printed";
    EXPECT_TRUE(words.contains(QString::fromUtf8("o choleře, dost dlouhý"))) << words.toStdString();
    EXPECT_FALSE(words.contains("Odstavec 150 ")) << "one page only";

    printAnswer = false;
    QFile::remove(pdf);
    auto job2 = std::make_unique<PrinterPrintJob>();
    job2->SetOutputFile(pdf);
    previous = SetPrintJob(std::move(job2));
    Typed(PageChar::CtrlP);
    EXPECT_FALSE(QFile::exists(pdf));
    SetPrintJob(std::move(previous));
}

TEST_F(MknPage, MissingAndDamagedFiles)
{
    // Missing: the name of the file, buttons, Esc and F1 still work.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(dataDir + "mkn.dat")));
    Make();
    EXPECT_TRUE(page->FileMissing());
    EXPECT_TRUE(Shows(LookupText(UiTexts, "Chyby", "FileNo")));
    EXPECT_TRUE(Shows("mkn.dat"));
    EXPECT_EQ(Typed(PageChar::Escape), PageEvent::Consumed);
    EXPECT_EQ(Key(PageKey::F1), PageEvent::Consumed);
    Type("cho");
    EXPECT_TRUE(Shows("A00 Cholera")) << "the word list still searches";
    page.reset();

    // A text longer packed than decoded: the notice, what decoded, the page
    // keeps its history.
    const std::string broken = std::string(QEVW_FIXTURES_DIR) + "/broken/";
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(broken + "mkn_packed_longer.dat", bytes), 0);
    ASSERT_EQ(WriteFileAtomic(dataDir + "mkn.dat", bytes), 0);
    Make();
    EXPECT_EQ(page->File().Count(), 1);
    EXPECT_EQ(errors, (std::vector<std::string>{"Interni chyba dat: Nesouhlas delky"}));
    page.reset();

    // Damaged word lists: what can be found, no crash.
    for (const char* name : {"mkn_words_empty.slw", "mkn_words_no_lf.slw", "mkn_words_nul.slw"}) {
        ASSERT_EQ(ReadWholeFile(broken + name, bytes), 0);
        QTemporaryDir other;
        const std::string dir = WithTrailingSlash(other.path().toStdString());
        ASSERT_EQ(WriteFileAtomic(dir + "mkn.dat", BuildMknFile(Classification())), 0);
        ASSERT_EQ(WriteFileAtomic(dir + "mkn.slw", bytes), 0);
        SetDataDir(dir);
        Make();
        Type("cholera");
        EXPECT_EQ(page->Pager().view.text.back(), '\0') << name;
        page.reset();
    }
}

// The screenshots of the page on the demo data set.
TEST_F(MknPage, DemoScreenshots)
{
    SetDataDir(WithTrailingSlash(QEVW_DEMO_DATA_DIR));
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(QEVW_BINARY_DIR) / "screenshots";
    fs::create_directories(dir);
    const auto shot = [&](const char* name) {
        page->Paint();
        EXPECT_TRUE(back.Image().save(QString::fromStdString((dir / name).string())));
    };
    Make(false, 900, 640);
    ASSERT_GT(page->File().Count(), 20);
    shot("mkn_start.png");
    Type("tyfus");
    EXPECT_TRUE(Shows("A01"));
    shot("mkn_hit_list.png");
    page->GoToCode("A00");
    ClickAt(PointOn("A00.1", 2));
    EXPECT_EQ(page->Label(), "A00.1");
    shot("mkn_a00_taken.png");
    page->GoToCode("I20-I25");
    EXPECT_TRUE(Shows("I21"));
    shot("mkn_group.png");
    page.reset();
    MknHistory().Clear();
    Make(true, 900, 640);
    page->GoToCode("8140/3");
    EXPECT_TRUE(Shows("8140/3"));
    shot("mkno_morphology.png");
    page.reset();
    SetDataDir(dataDir + "nothing/");
    Make(false, 900, 640);
    EXPECT_TRUE(page->FileMissing());
    shot("mkn_missing.png");
}

} // namespace
