// The start page offscreen, with the clipboard, the shell, the boxes and the
// window requests recorded, on the demo data set.  Screenshots go to
// build/screenshots/.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/config/config_file.h"
#include "frame/pages/page_events.h"
#include "frame/start/command_line.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "platform/shared_memory.h"
#include "support/gui_app.h"
#include "viewers/medication_list.h"
#include "viewers/start_page.h"

namespace {

namespace fs = std::filesystem;

std::string Cp(const char* utf8)
{
    std::string out;
    EXPECT_TRUE(Utf8ToCp1250(utf8, out)) << utf8;
    return out;
}

std::string Ui(const char* section, const char* key)
{
    return KamToWin(ProgramText(section, key));
}

std::string Feed(const char* name)
{
    std::string s;
    EXPECT_EQ(ReadWholeFile(std::string(QEVW_SOURCE_DIR) + "/demo/news/" + name, s), 0) << name;
    return s;
}

class Target : public RequestTarget {
public:
    DataSetCode dataSet = DataSetCode::Drugs;
    std::vector<std::string> calls;
    DataSetCode ActiveDataSet() override { return dataSet; }
    void CloseDataWindowsButMain() override { calls.push_back("close"); }
    void ShowDrugResultList(const std::vector<int32_t>& positions, const std::string& title) override
    {
        calls.push_back("drugs " + KamToWin(title) + Join(positions));
    }
    void ShowGoodsResultList(const std::vector<int32_t>& positions, const std::string& title) override
    {
        calls.push_back("goods " + KamToWin(title) + Join(positions));
    }
    void ExecuteCommand(uint16_t code, int32_t value) override
    {
        calls.push_back("exec " + std::to_string(code) + " " + std::to_string(value));
    }
    void TileWindows() override { calls.push_back("tile"); }
    void SetRequestMode(uint8_t mode) override { calls.push_back("mode " + std::to_string(mode)); }
    void SetRequestPosition(int32_t position) override { calls.push_back("pos " + std::to_string(position)); }
    void SetRequestTableKind(LinkKind) override {}
    void SetRequestCommand(uint16_t) override {}
    void SetRequestText(const std::string&) override {}
    void SetRequestedParagraph(uint8_t) override {}
    void SetRequestedSection(uint8_t) override {}

    static std::string Join(const std::vector<int32_t>& positions)
    {
        std::string s = " [" + std::to_string(positions.size()) + "]";
        for (int32_t p : positions)
            s += " " + std::to_string(p);
        return s;
    }
};

class StartPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        ASSERT_TRUE(tmp_.isValid());
        root = tmp_.path().toStdString() + "/";
        cache = root + "KALVO.rss";
        previousDir_ = DataDir();
        SetDataDir(WithTrailingSlash(QEVW_DEMO_DATA_DIR));
        previousUi_ = UiTexts.Get();
        LoadUi("ces");
        previousSink_ = SetMessageSink(&boxes);
        previousShell_ = SetShell(&shell);
        previousTarget_ = SetRequestTarget(&target);
        savedStart_ = ProgramStart();
        ProgramStart().Options = "|";
        ProgramStart().PositionalCount = 0;
        savedConfigPath_ = Config().ConfigPath();
        savedFallback_ = Config().FallbackConfigPath();
        Config().SetPaths(root + "kalvo.ini", "");
        Config().Update([](ConfigValues& v) {
            v.NewsOption = '3';
            v.newsNotice.clear();
            v.newsRead.clear();
        });
        savedHooks_ = CurrentUpdateServices();
        UpdateServices hooks = savedHooks_;
        hooks.newsCachePath = [this](std::string& path) { path = cache; };
        SetUpdateServices(hooks);

        state.pageFont.size = 10;
        back.Resize(1000, 700);
        back.SetFont(state.pageFont);
        state.lineHeight = back.TextHeight("\xC8g");
        state.sampleWidth = back.TextWidth(kSampleSentence);
        state.setCursor = [this](PageCursor c) { cursors.push_back(c); };
    }
    void TearDown() override
    {
        page.reset();
        SetUpdateServices(savedHooks_);
        Config().SetPaths(savedConfigPath_, savedFallback_);
        ProgramStart() = savedStart_;
        SetRequestTarget(previousTarget_);
        SetShell(previousShell_);
        SetMessageSink(previousSink_);
        UiTexts.Set(previousUi_);
        SetDataDir(previousDir_);
    }

    void LoadUi(const char* language)
    {
        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw." + language),
                  TextTableResult::FirstSuccess);
    }

    void Open(int width = 1000, int height = 700)
    {
        page.reset();
        StartPageServices s;
        s.clipboardText = [this] { return clipboard; };
        page = std::make_unique<TPrazdno>(state, back, width, height, s);
        page->Build();
        page->Layout();
    }

    void WriteCache(const std::string& bytes) { ASSERT_EQ(WriteFileAtomic(cache, bytes), 0); }

    int32_t ClickAt(Point p)
    {
        state.mousePoint = p;
        return page->HandleEvent(PageEvent::LeftClick, PageShift::None);
    }
    int32_t ClickNews(int i)
    {
        const Rect r = page->News(i).rect;
        return ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2 + 3});
    }
    int32_t Paste(std::string text)
    {
        clipboard = std::move(text);
        target.calls.clear();
        return page->HandleEvent(22, PageShift::Typed);
    }

    std::vector<bool> Shown()
    {
        return {page->News(1).Visible(), page->News(2).Visible(), page->News(3).Visible()};
    }

    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> out;
        for (const MessageRequest& r : boxes.Requests())
            out.push_back(QStringToCp1250(r.text));
        return out;
    }

    void Shot(const char* name)
    {
        page->Paint();
        const fs::path dir = fs::path(QEVW_BINARY_DIR) / "screenshots";
        fs::create_directories(dir);
        EXPECT_TRUE(back.Image().save(QString::fromStdString((dir / name).string()), "PNG"));
    }

    std::string ConfigFileText()
    {
        std::string s;
        ReadWholeFile(root + "kalvo.ini", s);
        return s;
    }

    std::string root, cache, clipboard;
    PageState state;
    ImageCanvas back;
    std::unique_ptr<TPrazdno> page;
    RecordingMessageSink boxes;
    RecordingShell shell;
    Target target;
    std::vector<PageCursor> cursors;

private:
    QTemporaryDir tmp_;
    std::string previousDir_, savedConfigPath_, savedFallback_;
    TextTablePtr previousUi_;
    MessageSink* previousSink_ = nullptr;
    ShellOps* previousShell_ = nullptr;
    RequestTarget* previousTarget_ = nullptr;
    StartValues savedStart_;
    UpdateServices savedHooks_;
};

// --- Wrapping ---------------------------------------------------------------------------

TEST_F(StartPage, WrappingBreaksAtBlanksAndLineFeedsAndCutsLongWords)
{
    const int u = state.sampleWidth;
    const std::string text = "alfa beta\ngama  delta";
    const std::vector<uint16_t> wide = WrapText(back, text, 10 * u, u);
    EXPECT_EQ(wide, (std::vector<uint16_t>{9, 21})); // the LF forces a break
    // A word wider than the line is cut and goes on.
    const std::string word(300, 'm');
    const int width = back.TextWidth("mmmmmmmmmm") + back.TextWidth(" ");
    const std::vector<uint16_t> cut = WrapText(back, word, width, u);
    ASSERT_GE(cut.size(), 20u);
    EXPECT_EQ(cut.back(), 300);
    size_t from = 0;
    for (uint16_t end : cut) {
        EXPECT_GT(end, from);
        EXPECT_LE(back.TextWidth(word.substr(from, end - from)), width);
        from = end;
    }
    // A glyph wider than the line still advances one character at a time.
    EXPECT_EQ(CharsForWidth(back, "WWW", 1, u), 1);
    EXPECT_EQ(CharsForWidth(back, "ab", 10 * u, u), 2);
    // The line ends are bounded.
    std::string many;
    for (int i = 0; i < 2000; ++i)
        many += "x\n";
    EXPECT_EQ(WrapText(back, many, u, u).size(), kMaxWrappedLines);
}

TEST(StartPageLinks, OnlyPlainWebAddressesOpen)
{
    const std::pair<const char*, bool> cases[] = {
        {"https://www.kalvo.example/novinky/2417", true},
        {"HTTP://www.kalvo.example/a?b=1", true},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"/usr/bin/xterm", false},
        {"https://", false},
        {"https:///path", false},
        {"https://www.kalvo.example/a b", false},
        {"https://www.kalvo.example/\x01", false},
        {"", false},
        {"ftp://www.kalvo.example/", false},
    };
    for (const auto& [link, ok] : cases)
        EXPECT_EQ(IsOpenableLink(link), ok) << link;
    EXPECT_TRUE(IsOpenableLink("https://h/" + std::string(1990, 'a')));
    EXPECT_FALSE(IsOpenableLink("https://h/" + std::string(1991, 'a')));
}

// --- News --------------------------------------------------------------------------------

TEST_F(StartPage, ThreeNewsStackedFromTheMeasures)
{
    WriteCache(Feed("kalvo.rss"));
    Open();
    ASSERT_EQ(Shown(), (std::vector<bool>{true, true, true}));
    const int l = state.lineHeight;
    const int u = state.sampleWidth;
    EXPECT_EQ(page->News(1).title, Cp("Prosincová data jsou připravena"));
    EXPECT_EQ(page->News(1).identifier, "2417");
    EXPECT_EQ(page->News(1).date, "8.12.2025");
    int top = l / 2 - 2;
    for (int i = 1; i <= 3; ++i) {
        const TNovina& n = page->News(i);
        const int lines = static_cast<int>(n.titleEnds.size() + n.descriptionEnds.size());
        EXPECT_GE(n.titleEnds.size(), 1u);
        EXPECT_GE(n.descriptionEnds.size(), 1u);
        EXPECT_EQ(n.rect,
                  (Rect{1000 - (l / 2 + 1) - u, top, 1000 - (l / 2 + 1), top + 5 * l / 3 + l * lines}))
            << i;
        top = n.rect.bottom + l / 2 - 1;
    }
    EXPECT_EQ(page->Element(TPrazdno::kStatus).rect, (Rect{0, 700 - 2 * l, 1000, 700 - l}));
    Config().Update([](ConfigValues& v) { v.newsRead = "-2409-"; });
    page->News(2).Render();
    Shot("start_page_news.png");
}

TEST_F(StartPage, ClosedItemsStayHiddenAndTheMarksFollowTheFeed)
{
    WriteCache(Feed("kalvo.rss"));
    Config().Update([](ConfigValues& v) {
        v.newsNotice = "-2417--1111-";
        v.newsRead = "-2222--2398-";
    });
    Open();
    EXPECT_EQ(Shown(), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(page->News(2).rect.top, state.lineHeight / 2 - 2); // item 2 moves up
    EXPECT_NE(page->News(2).Picture(), nullptr);
    EXPECT_NE(page->News(3).Picture(), nullptr);
    EXPECT_EQ(Config().Snapshot().newsNotice, "-2417-");
    EXPECT_EQ(Config().Snapshot().newsRead, "-2398-");

    // An item without an identifier beside two closed ones.
    WriteCache("<item>\n<title>Prvni</title>\n<link>https://w.example/n/11</link>\n</item>\n"
               "<item>\n<title>Druha</title>\n<link>https://w.example/n/12</link>\n</item>\n"
               "<item>\n<title>Bez odkazu</title>\n</item>\n");
    Config().Update([](ConfigValues& v) { v.newsNotice = "-11--12-"; });
    Open();
    EXPECT_EQ(Shown(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(page->News(3).identifier, "");
    EXPECT_EQ(Config().Snapshot().newsNotice, "-11--12-");
}

TEST_F(StartPage, AClickOpensGreysAndSavesTheCloseBoxHides)
{
    WriteCache(Feed("kalvo.rss"));
    Open();
    EXPECT_EQ(ClickNews(1), PageEvent::Repaint);
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].target.toStdString(), "https://www.kalvo.example/novinky/2417");
    EXPECT_EQ(Config().Snapshot().newsRead, "-2417-");
    EXPECT_NE(ConfigFileText().find("READ=-2417-"), std::string::npos);
    EXPECT_EQ(page->News(1).Picture()->Width(), state.sampleWidth);
    // Opened again: no second mark.
    ClickNews(1);
    EXPECT_EQ(Config().Snapshot().newsRead, "-2417-");

    // The close box's edges are outside it: a click on its left edge opens.
    const Rect box = page->News(2).CloseBox();
    ClickAt({box.left, box.top + 2});
    EXPECT_EQ(shell.Calls().size(), 3u);
    EXPECT_TRUE(page->News(2).Visible());
    EXPECT_EQ(ClickAt({box.left + 1, box.top + 1}), PageEvent::Repaint);
    EXPECT_FALSE(page->News(2).Visible());
    EXPECT_EQ(shell.Calls().size(), 3u);
    EXPECT_EQ(Config().Snapshot().newsNotice, "-2409-");
    EXPECT_NE(ConfigFileText().find("NOT=-2409-"), std::string::npos);
    EXPECT_EQ(page->News(3).rect.top, page->News(1).rect.bottom + state.lineHeight / 2 - 1);
    EXPECT_TRUE(boxes.Requests().empty());

    // Outside every element the click is not the page's.
    EXPECT_EQ(ClickAt({2, 690 - 3 * state.lineHeight}), PageEvent::LeftClick);
}

TEST_F(StartPage, AFailingShellOrARefusedLinkShowsTheBox)
{
    WriteCache(Feed("kalvo.rss"));
    Open();
    shell.SetAnswer(ShellResult::NoAssociation);
    EXPECT_EQ(ClickNews(1), PageEvent::Consumed);
    EXPECT_EQ(Config().Snapshot().newsRead, "");
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], Ui("Chyby", "NoBrowser") + "31");

    std::string hostile;
    ASSERT_EQ(ReadWholeFile(std::string(QEVW_FIXTURES_DIR) + "/broken/rss_hostile_links.rss", hostile), 0);
    WriteCache(hostile);
    Open();
    shell.SetAnswer(ShellResult::Started);
    const size_t before = shell.Calls().size();
    for (int i = 1; i <= 3; ++i)
        ClickNews(i);
    EXPECT_EQ(shell.Calls().size(), before);
    const std::vector<std::string> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[1], Ui("Chyby", "NoBrowser") + "file:///etc/passwd/1");
    EXPECT_EQ(texts[2], Ui("Chyby", "NoBrowser") + "javascript:alert(document.cookie)//2");
    EXPECT_EQ(Config().Snapshot().newsRead, "");
}

TEST_F(StartPage, HandOverIdentifiedNewsAndHints)
{
    WriteCache(Feed("web_sparse.rss"));
    Open();
    ASSERT_EQ(Shown(), (std::vector<bool>{true, true, true}));
    const Rect first = page->News(1).rect; // no link: no identifier
    const Rect second = page->News(2).rect;
    state.mousePoint = {first.left + 5, first.top + 5};
    page->Tick();
    state.mousePoint = {second.left + 5, second.top + 5};
    page->Tick();
    page->Tick();
    state.mousePoint = {2, 2};
    page->Tick();
    EXPECT_EQ(cursors, (std::vector<PageCursor>{PageCursor::Default, PageCursor::Hand, PageCursor::Default}));
}

TEST_F(StartPage, WelcomeTextsWithoutUsableNews)
{
    auto expectWelcome = [&](const char* what) {
        Open();
        EXPECT_EQ(Shown(), (std::vector<bool>{true, true, false})) << what;
        EXPECT_EQ(page->News(1).title, Ui("Uvod", "0")) << what;
        EXPECT_EQ(page->News(1).description,
                  Ui("Uvod", "1") + "\n" + Ui("Uvod", "2") + "\n" + Ui("Uvod", "3"))
            << what;
        EXPECT_EQ(page->News(2).title, "") << what;
        EXPECT_EQ(page->News(2).description, Ui("Zaklad", "VarCl")) << what;
        EXPECT_EQ(page->News(1).titleEnds.size(), 1u) << what;
        EXPECT_GE(page->News(1).descriptionEnds.size(), 3u) << what;
    };
    expectWelcome("no cache");
    Shot("start_page_welcome.png");
    WriteCache(Feed("kalvo.rss"));
    Config().Update([](ConfigValues& v) { v.NewsOption = '0'; });
    expectWelcome("news off");
    Config().Update([](ConfigValues& v) { v.NewsOption = '3'; });
    fs::remove(cache);
    fs::create_directories(cache);
    expectWelcome("a folder as cache");
    // A click on a welcome text opens the maker's news page.
    ClickNews(1);
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].target.toStdString(), Ui("News", "2act2"));
    EXPECT_EQ(Config().Snapshot().newsRead, "");

    LoadUi("ang");
    fs::remove(cache);
    Open();
    EXPECT_EQ(page->News(1).title, "Welcome to KALVO");
    Shot("start_page_welcome_english.png");
}

TEST_F(StartPage, NoNewsAfterAHandOverAndAMenuCommandHidesThem)
{
    WriteCache(Feed("kalvo.rss"));
    ProgramStart().PositionalCount = 1;
    Open();
    EXPECT_EQ(Shown(), (std::vector<bool>{false, false, false}));
    ProgramStart().PositionalCount = 0;
    ProgramStart().Options = "|b=/tmp/x.txt|";
    Open();
    EXPECT_EQ(Shown(), (std::vector<bool>{false, false, false}));
    ProgramStart().Options = "|";
    Open();
    EXPECT_EQ(Shown(), (std::vector<bool>{true, true, true}));
    page->repaint = false;
    ClearStartPageMarks();
    EXPECT_EQ(Shown(), (std::vector<bool>{false, false, false}));
    EXPECT_TRUE(page->repaint);
    EXPECT_EQ(Config().Snapshot().newsNotice, "");
    page.reset();
    ClearStartPageMarks(); // no page: nothing
}

TEST_F(StartPage, ALongItemWrapsOverManyLines)
{
    WriteCache(Feed("web_long.rss"));
    Open(1000, 1400);
    back.Resize(1000, 1400);
    EXPECT_GT(page->News(1).titleEnds.size(), 1u);
    EXPECT_GT(page->News(1).descriptionEnds.size(), 30u);
    EXPECT_TRUE(page->News(2).Visible());
    Shot("start_page_long_item.png");
}

// --- Lists ------------------------------------------------------------------------------

TEST_F(StartPage, PastedCodesOpenAList)
{
    Open();
    EXPECT_EQ(Paste("0000268"), 22);
    EXPECT_EQ(Paste("0000268\r\n"), 22); // one record: the main window's own paste
    EXPECT_TRUE(target.calls.empty());
    EXPECT_EQ(Paste("0000268\r\n0000845\r\n0000113\r\n"), PageEvent::Consumed);
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_EQ(target.calls[0].rfind(Cp("drugs Schránka Windows [3] "), 0), 0u) << target.calls[0];
    EXPECT_EQ(Paste(Cp("=Jan Novák\n0000268\n0000845\n")), PageEvent::Consumed);
    EXPECT_EQ(target.calls[0].rfind(Cp("drugs Jan Novák [2] "), 0), 0u) << target.calls[0];
    EXPECT_TRUE(boxes.Requests().empty());

    // Unknown codes: the report only.
    EXPECT_EQ(Paste("9999991\n9999992\n"), PageEvent::Consumed);
    EXPECT_TRUE(target.calls.empty());
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_NE(BoxTexts()[0].find("9999992"), std::string::npos);
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "99999" + std::to_string(10 + i % 80) + "\n";
    Paste(many);
    ASSERT_EQ(BoxTexts().size(), 2u);
    EXPECT_LT(BoxTexts()[1].size(), 810u);
    EXPECT_EQ(BoxTexts()[1].substr(BoxTexts()[1].size() - 3), "...");

    target.dataSet = DataSetCode::Goods;
    EXPECT_EQ(Paste("10010\n10027\n"), PageEvent::Consumed);
    ASSERT_EQ(target.calls.size(), 1u);
    EXPECT_EQ(target.calls[0].rfind(Cp("goods Schránka Windows [2] "), 0), 0u) << target.calls[0];
}

TEST_F(StartPage, AHandedListOpensWindowsOrAList)
{
    Open();
    const fs::path file = fs::path(root) / "seznam.txt";
    ASSERT_EQ(WriteFileAtomic(file.string(), "0000268\n0000845\n"), 0);
    const std::string path = file.string();
    auto run = [&](const std::string& query) {
        target.calls.clear();
        page->OpenPassedList(query);
        return target.calls;
    };
    using V = std::vector<std::string>;
    // No command: one list window titled by the file.
    const V list = run("|b=" + path + "|");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].rfind("drugs seznam.txt [2] ", 0), 0u) << list[0];
    const std::string positions = list[0].substr(std::string("drugs seznam.txt [2] ").size());
    const std::string p1 = positions.substr(0, positions.find(' '));
    const std::string p2 = positions.substr(positions.find(' ') + 1);
    const uint16_t dak = medication::RequestCommandCode('d', "|a=DAK|");
    ASSERT_NE(dak, 0);
    const std::string exec1 = "exec " + std::to_string(dak) + " 1";
    // Up to three windows: one per record, the last first.
    EXPECT_EQ(run("|b=" + path + "|a=DAK|m=f3|"), (V{"mode 6", "pos " + p2, exec1, "pos " + p1, exec1}));
    EXPECT_EQ(run("|b=" + path + "|a=DAK|m=f3t|"),
              (V{"mode 6", "pos " + p2, exec1, "pos " + p1, exec1, "tile"}));
    // More records than windows: the list, then the command.
    const V over = run("|b=" + path + "|a=DAK|m=f1|");
    ASSERT_EQ(over.size(), 2u);
    EXPECT_EQ(over[1], "exec " + std::to_string(dak) + " 0");

    // A shared-memory block.
    const std::string name =
        "qevw-start-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    {
        ScopedSharedBlock block(name, "=Jan Novak\n0000268\n0000845\n0000113\n");
        ASSERT_EQ(block.Result(), 0);
        const V blockCalls = run("|b=" + name + "|");
        ASSERT_EQ(blockCalls.size(), 1u);
        EXPECT_EQ(blockCalls[0].rfind("drugs Jan Novak [3] ", 0), 0u) << blockCalls[0];
    }
    // No record: no window, the report; a missing source: "Dupl.NoList".
    ASSERT_EQ(WriteFileAtomic(path, "9999991\n9999992\n"), 0);
    EXPECT_TRUE(run("|b=" + path + "|").empty());
    EXPECT_TRUE(run("|b=" + root + "none.txt|").empty());
    const std::vector<std::string> texts = BoxTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NE(texts[0].find("9999991"), std::string::npos);
    EXPECT_EQ(texts[1], Ui("Dupl", "NoList") + " " + root + "none.txt");
}

} // namespace
