// The duplicity page under the offscreen platform with the clipboard, the
// open dialog and the boxes injected, on the demo data set.  Screenshots go
// to build/screenshots/.

#include <gtest/gtest.h>

#include <QDir>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/pages/page_events.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/message_sink.h"
#include "platform/shared_memory.h"
#include "support/gui_app.h"
#include "viewers/duplicity_page.h"

namespace {

namespace fs = std::filesystem;

std::string Cp(const char* utf8)
{
    std::string out;
    EXPECT_TRUE(Utf8ToCp1250(utf8, out)) << utf8;
    return out;
}

std::string Fixture(const char* name)
{
    return std::string(QEVW_SOURCE_DIR) + "/demo/lists/" + name;
}

class DuplicityPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        previousDir_ = DataDir();
        SetDataDir(WithTrailingSlash(QEVW_DEMO_DATA_DIR));
        previousUi_ = UiTexts.Get();
        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
                  TextTableResult::FirstSuccess);
        previousSink_ = SetMessageSink(&boxes);

        state.pageFont.size = 10;
        back.Resize(900, 640);
        back.SetFont(state.pageFont);
        state.lineHeight = back.TextHeight("\xC8g");
        state.sampleWidth = back.TextWidth(kSampleSentence);

        DuplicityPageServices s;
        s.clipboardText = [this] { return clipboardText; };
        s.clipboardFile = [this] { return clipboardFile; };
        s.chooseFile = [this](const std::string& title, const std::vector<std::string>& filters) {
            dialogTitle = title;
            dialogFilters = filters;
            return dialogAnswer;
        };
        s.setTitle = [this](const std::string& t) { titles.push_back(t); };
        s.requestHelp = [this](const std::string& topic) { helpTopics.push_back(topic); };
        page = std::make_unique<TDuplicity>(state, back, 900, 640, s);
        page->Build();
        page->Layout();
    }
    void TearDown() override
    {
        page.reset();
        SetMessageSink(previousSink_);
        UiTexts.Set(previousUi_);
        SetDataDir(previousDir_);
    }

    // Clicks the middle of an element (children of a canvas in its page).
    int32_t Click(int index)
    {
        const TPrvek& e = page->Element(index);
        Point p{(e.rect.left + e.rect.right) / 2, (e.rect.top + e.rect.bottom) / 2};
        if (e.layer > 0) {
            const TPrvek& parent = page->Element(e.parent);
            p.x += parent.rect.left - parent.offsets[0].x;
            p.y += parent.rect.top - parent.offsets[0].y;
        }
        state.mousePoint = p;
        return page->HandleEvent(PageEvent::LeftClick, PageShift::None);
    }

    std::vector<int> Levels() const
    {
        std::vector<int> out;
        for (const DupRec& d : page->Findings())
            out.push_back(d.level);
        return out;
    }

    void Shot(const char* name)
    {
        page->Paint();
        const fs::path dir = fs::path(QEVW_BINARY_DIR) / "screenshots";
        fs::create_directories(dir);
        EXPECT_TRUE(back.Image().save(QString::fromStdString((dir / name).string()), "PNG"));
    }

    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> out;
        for (const MessageRequest& r : boxes.Requests())
            out.push_back(QStringToCp1250(r.text));
        return out;
    }

    PageState state;
    ImageCanvas back;
    std::unique_ptr<TDuplicity> page;
    RecordingMessageSink boxes;
    std::string clipboardText;
    std::string clipboardFile;
    std::string dialogAnswer;
    std::string dialogTitle;
    std::vector<std::string> dialogFilters;
    std::vector<std::string> titles;
    std::vector<std::string> helpTopics;

private:
    std::string previousDir_;
    TextTablePtr previousUi_;
    MessageSink* previousSink_ = nullptr;
};

TEST_F(DuplicityPage, StartsOnTheListPageWithOneRow)
{
    EXPECT_FALSE(page->SummaryShown());
    EXPECT_EQ(page->ProductCount(), 0);
    EXPECT_EQ(static_cast<const TTabule&>(page->Element(TDuplicity::kGrid)).rows, 1);
    EXPECT_FALSE(page->Element(TDuplicity::kKvo).Visible());
    EXPECT_FALSE(page->Element(TDuplicity::kInput).Visible());
    EXPECT_EQ(page->PatientName(), "medikace");
}

TEST_F(DuplicityPage, ARequestsListNeedsASeparator)
{
    page->LoadListFromText("|1=0000113|");
    EXPECT_EQ(page->ProductCount(), 0);
    EXPECT_FALSE(page->SummaryShown());

    page->LoadListFromText("|1=0000113,0000129|");
    EXPECT_EQ(page->ProductCount(), 2);
    EXPECT_TRUE(page->SummaryShown());
    EXPECT_EQ(Levels(), std::vector<int>{7});
    EXPECT_EQ(page->PatientName(), "medikace");
    EXPECT_TRUE(titles.empty());
    EXPECT_EQ(static_cast<const TTabule&>(page->Element(TDuplicity::kGrid)).rows, 3);
}

TEST_F(DuplicityPage, EveryLevelFromAFileWithThePatientInTheTitle)
{
    page->LoadListFromSource(Fixture("erecept_vsechny_urovne.xml"));
    ASSERT_EQ(page->ProductCount(), 11);
    EXPECT_TRUE(page->SummaryShown());
    EXPECT_EQ(Levels(), (std::vector<int>{7, 6, 5, 4, 3}));
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0], Cp("KALVO duplicity: Jiří Václav Dvořák"));
    EXPECT_EQ(KamToWin(page->PatientName()), Cp("Jiří Václav Dvořák"));
    EXPECT_EQ(page->Products()[10].level, 0);
    EXPECT_TRUE(boxes.Requests().empty());
    // The findings are wrapped for the page: every one has its lines.
    for (const DupRec& d : page->Findings()) {
        EXPECT_GE(d.textLines, 1);
        EXPECT_GE(d.labelLines, 1);
    }
    Shot("duplicity_summary_every_level.png");
    EXPECT_EQ(Click(TDuplicity::kBack), PageEvent::Repaint);
    EXPECT_FALSE(page->SummaryShown());
    Shot("duplicity_list_every_level.png");
    EXPECT_EQ(Click(TDuplicity::kToSummary), PageEvent::Repaint);
    EXPECT_TRUE(page->SummaryShown());
    EXPECT_EQ(page->HandleEvent(PageKey::Tab, PageShift::None), PageEvent::Repaint);
    EXPECT_FALSE(page->SummaryShown());
}

TEST_F(DuplicityPage, AllClearSummary)
{
    page->LoadListFromSource(Fixture("lekovy_zaznam_bez_nalezu.xml"));
    EXPECT_EQ(page->ProductCount(), 4);
    EXPECT_TRUE(page->Findings().empty());
    EXPECT_EQ(titles.back(), Cp("KALVO duplicity: Božena Němcová"));
    Shot("duplicity_summary_all_clear.png");
}

TEST_F(DuplicityPage, BlocksAndUnreadableSources)
{
    const std::string name =
        "qevw-page-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    {
        ScopedSharedBlock block(name, "=Jan Novak\n0000268\n0000845\n");
        ASSERT_EQ(block.Result(), 0);
        page->LoadListFromSource(name);
    }
    EXPECT_EQ(Levels(), std::vector<int>{4});
    EXPECT_EQ(titles.back(), "KALVO duplicity: Jan Novak");

    page->LoadListFromSource(name); // gone now
    {
        ScopedSharedBlock block(name, "0000268\n", 100000);
        page->LoadListFromSource(name);
    }
    page->LoadListFromSource("/nonexistent/list.txt");
    const std::vector<std::string> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 3u);
    const std::string noList = Cp("Seznam léků nelze přečíst:");
    EXPECT_EQ(texts[0], noList + " " + name);
    EXPECT_EQ(texts[1], noList + " " + name);
    EXPECT_EQ(texts[2], noList + " /nonexistent/list.txt");
    EXPECT_EQ(page->ProductCount(), 2); // the last list stays

    // A readable text without a line feed is ignored, without a box.
    const fs::path one = fs::path(QEVW_BINARY_DIR) / "test-lists" / "one-code.txt";
    fs::create_directories(one.parent_path());
    ASSERT_EQ(WriteFileAtomic(one.string(), "0000113"), 0);
    page->LoadListFromSource(one.string());
    EXPECT_EQ(page->ProductCount(), 2);
    EXPECT_EQ(boxes.Requests().size(), 3u);
}

TEST_F(DuplicityPage, PastingKeepsThePageAndTakesTextOrAFile)
{
    clipboardText = Cp("=Jiří Dvořák\r\n0001112\r\n0001211\r\n");
    EXPECT_EQ(page->HandleEvent(PageChar::CtrlV, PageShift::Typed), PageEvent::Repaint);
    EXPECT_FALSE(page->SummaryShown());
    EXPECT_EQ(Levels(), std::vector<int>{5});
    EXPECT_EQ(titles.back(), Cp("KALVO duplicity: Jiří Dvořák"));

    // One code without a line feed is still checked when pasted.
    clipboardText = "0000113";
    EXPECT_EQ(Click(TDuplicity::kPaste), PageEvent::Repaint);
    EXPECT_EQ(page->ProductCount(), 1);

    clipboardText.clear();
    clipboardFile = Fixture("vsechny_urovne_utf8.txt");
    page->PasteList();
    EXPECT_EQ(page->ProductCount(), 11);
    EXPECT_EQ(Levels(), (std::vector<int>{7, 6, 5, 4, 3}));

    // Other typed keys are consumed.
    EXPECT_EQ(page->HandleEvent('a', PageShift::Typed), PageEvent::Consumed);
}

TEST_F(DuplicityPage, TheOpenDialogAndADrop)
{
    dialogAnswer = Fixture("vsechny_urovne_cp1250.txt");
    EXPECT_EQ(Click(TDuplicity::kOpen), PageEvent::Repaint);
    EXPECT_EQ(dialogTitle, "Soubor medikace");
    ASSERT_EQ(dialogFilters.size(), 3u);
    EXPECT_NE(dialogFilters[0].find("*.xml *.XML"), std::string::npos);
    EXPECT_EQ(page->ProductCount(), 11);
    EXPECT_TRUE(page->SummaryShown());

    dialogAnswer.clear(); // cancelled
    page->ShowSummary(false);
    EXPECT_EQ(Click(TDuplicity::kOpen), PageEvent::Consumed);
    EXPECT_FALSE(page->SummaryShown());

    page->DropFile(Fixture("bez_nalezu_cp1250.txt"));
    EXPECT_EQ(page->ProductCount(), 4);
    EXPECT_TRUE(page->Findings().empty());

    EXPECT_EQ(Click(TDuplicity::kHelp), PageEvent::LeftClick);
    EXPECT_EQ(helpTopics, std::vector<std::string>{"MeKlNe"});
}

TEST_F(DuplicityPage, TheReportBoxAndItsCut)
{
    clipboardText = Cp("0000113\nZázračný elixír\n10112\n");
    page->PasteList();
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], Cp("nenalezen Zázračný elixír\r\nparafarm. 10112"));

    std::string many = "0000113\n";
    for (int i = 0; i < 60; ++i)
        many += "Nezname jmeno cislo " + std::string(1, char('A' + i % 26)) + "\n";
    clipboardText = many;
    page->PasteList();
    ASSERT_EQ(BoxTexts().size(), 2u);
    const std::string cut = BoxTexts()[1];
    EXPECT_LE(cut.size(), 799u + 5u);
    EXPECT_EQ(cut.substr(cut.size() - 5), "\r\n...");
    EXPECT_EQ(cut.substr(0, 31), "nenalezen Nezname jmeno cislo A");
}

TEST_F(DuplicityPage, AnUnresolvedItemKeepsItsRowWithoutAMark)
{
    clipboardText =
        "<erp:Doklad>\n<erp:PLP>\n<erp:HVLPReg>\n<erp:Kod>9999999</erp:Kod>\n</erp:HVLPReg>\n</erp:PLP>\n"
        "<erp:PLP>\n<erp:HVLPReg>\n<erp:Kod>0000113</erp:Kod>\n</erp:HVLPReg>\n</erp:PLP>\n</erp:Doklad>\n";
    page->PasteList();
    ASSERT_EQ(page->ProductCount(), 2);
    EXPECT_TRUE(page->Products()[0].code.empty());
    EXPECT_EQ(page->Products()[1].code, "0000113");
    EXPECT_EQ(BoxTexts().size(), 1u);
    Shot("duplicity_list_unresolved.png");
}

TEST_F(DuplicityPage, ScrollingIsClampedToTheContent)
{
    std::string list;
    for (int i = 0; i < 500; ++i)
        list += (i % 2 ? "0000422\n" : "0000875\n");
    clipboardText = list;
    EXPECT_EQ(page->HandleEvent(PageChar::CtrlV, PageShift::Typed), PageEvent::Repaint);
    ASSERT_EQ(page->ProductCount(), 500);
    const int pageHeight = page->Element(TDuplicity::kListCanvas).rect.Height();
    EXPECT_EQ(page->HandleEvent(PageEvent::WheelUp, PageShift::None), PageEvent::Repaint);
    EXPECT_EQ(page->ScrollY(), 0);
    page->HandleEvent(PageEvent::WheelDown, PageShift::None);
    EXPECT_EQ(page->ScrollY(), state.lineHeight);
    page->HandleEvent(PageKey::End, PageShift::None);
    EXPECT_EQ(page->ScrollY(), page->ContentHeight() - pageHeight);
    page->HandleEvent(PageKey::Down, PageShift::None);
    EXPECT_EQ(page->ScrollY(), page->ContentHeight() - pageHeight);
    Shot("duplicity_list_500_end.png");
    page->HandleEvent(PageKey::Home, PageShift::None);
    EXPECT_EQ(page->ScrollY(), 0);
}

} // namespace

namespace {

TEST_F(DuplicityPage, TheHandShowsOverButtonsThatExplainThemselves)
{
    std::vector<PageCursor> cursors;
    state.setCursor = [&](PageCursor c) { cursors.push_back(c); };
    auto hover = [&](int index) {
        const TPrvek& e = page->Element(index);
        Point p{(e.rect.left + e.rect.right) / 2, (e.rect.top + e.rect.bottom) / 2};
        if (e.layer > 0) {
            const TPrvek& parent = page->Element(e.parent);
            p.x += parent.rect.left;
            p.y += parent.rect.top - parent.offsets[0].y;
        }
        state.mousePoint = p;
        state.moveTick = state.tick;
        page->repaint = false; // the host has painted meanwhile
        page->Tick();
    };
    hover(TDuplicity::kPaste);
    hover(TDuplicity::kPatientLabel);
    hover(TDuplicity::kToSummary);
    EXPECT_EQ(cursors, (std::vector<PageCursor>{PageCursor::Hand, PageCursor::Default, PageCursor::Hand}));
}

} // namespace
