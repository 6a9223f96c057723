// The HTML viewer window on the demo data, offscreen, with fake hooks: one
// table of kinds, then tabs, contents, search, keys, links and output.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstring>
#include <filesystem>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/html_view.h"
#include "platform/gui/print_job.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "tests/support/gui_app.h"
#include "viewers/viewer_hooks.h"
#include "viewers/viewer_page.h"
#include "viewers/viewer_window.h"

namespace {

std::string DemoDir()
{
    return std::string(QEVW_DEMO_DATA_DIR) + "/";
}

// The record number of a product code in a main table (0 when missing).
int32_t RecordOf(const char* table, const char* index, uint16_t length, const std::string& code)
{
    TDbTable t;
    OpenTable(t, TFileId(table), TFileId(index), length);
    std::string record;
    FindRecord(t, code, record);
    const bool found = DbStatus == 0 && record.compare(0, code.size(), code) == 0;
    DbStatus = 0;
    return found ? t.recNo : 0;
}

int32_t Drug(const std::string& code)
{
    return RecordOf("kl", "klkod", 346, code);
}

// The first drug whose document field (1-based position) names a document.
int32_t DrugWithDocument(int pos, std::string* codeOut = nullptr)
{
    TDbTable t;
    OpenTable(t, TFileId("kl"), TFileId(""), kKlLayout.Length());
    for (int32_t r = 1; r < t.dat.count; ++r) {
        std::string rec;
        ReadRecord(t.dat, r, rec);
        int32_t v = 0;
        std::memcpy(&v, rec.data() + pos - 1, 4);
        if (v >= 16 && rec[189] == 'R') {
            if (codeOut)
                *codeOut = rec.substr(0, 7);
            return r;
        }
    }
    return 0;
}

class ViewerWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test_support::EnsureGuiApp();
        BuildKamTables();
        SetDataDir(DemoDir());
        ProgramStart().ProgramFolder = std::string(QEVW_PROGRAM_DIR) + "/";
        ASSERT_GE(LoadTextTable(DataTexts, DemoDir() + "kalvo.ces"), TextTableResult::FirstSuccess);
        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
                  TextTableResult::FirstSuccess);
        LoadCodeTables(DataSetCode::Drugs, 0);
        LoadDeviceMarkLetter();
        LoadParagraphLists();
    }

    void SetUp() override
    {
        saved_ = Config().Snapshot();
        Config().Update([](ConfigValues& v) {
            v.TextFont = ConfigFont{"DejaVu Sans", 10, 0};
            v.PrintFont = ConfigFont{"DejaVu Sans", 10, 0};
        });
        ViewerWindowHooks hooks;
        hooks.checkZlpEntry = [this](char letter, const std::string& code) {
            zlpCalls.push_back(std::string(1, letter) + code);
            return zlpAnswer;
        };
        hooks.openMaxDoseEditor = [this](const std::string& code, const std::string&, const std::string&,
                                         uint16_t b) {
            editorCalls.push_back(code + "/" + std::to_string(b));
        };
        hooks.openRecordViewer = [this](uint16_t code, int32_t record, int16_t extra) {
            viewerCalls.push_back({code, record, extra});
        };
        hooks.chooseParagraphs = [this](char, std::string& selection, uint8_t& requested) {
            selection = chooserAnswer;
            requested = 0;
            return true;
        };
        oldHooks_ = SetViewerWindowHooks(hooks);
        UpdateServices services;
        services.isOnline = [this] { return online ? 1 : 0; };
        services.statCountProduct = [this](const std::string& code) { products.push_back(code); };
        services.statCount = [this](uint16_t key) { counts.push_back(key); };
        oldServices_ = SetUpdateServices(services);
        TProhlizecN::SetClock([this] { return now; });
    }

    void TearDown() override
    {
        for (TProhlizecN* v : open_)
            delete v;
        SetViewerWindowHooks(oldHooks_);
        SetUpdateServices(oldServices_);
        TProhlizecN::SetClock({});
        Config().Update([this](ConfigValues& v) { v = saved_; });
    }

    TProhlizecN* Open(char kind, int32_t record, int16_t requested = 0, LinkKind linkKind = LinkKind::Drug)
    {
        auto* v = new TProhlizecN;
        open_.push_back(v);
        v->resize(800, 600);
        v->DocumentKind = kind;
        v->RequestedParagraph = requested;
        v->LinkKinds[0] = linkKind;
        v->SetupViewerTitle("T: ");
        v->ResetData(record);
        return v;
    }

    // Runs the event loop until the first-tab timer fired.
    static void WaitTimer(TProhlizecN* v)
    {
        if (v->FirstTabTimer()->isActive())
            QTRY_VERIFY_WITH_TIMEOUT(!v->FirstTabTimer()->isActive(), 2000);
    }

    static std::string Page(TProhlizecN* v) { return v->Page().bytes; }

    RecordingMessageSink sink;
    ScopedMessageSink scopedSink{&sink};
    RecordingShell shell;
    ScopedShell scopedShell{&shell};
    std::vector<std::string> zlpCalls;
    int zlpAnswer = 0;
    std::vector<std::string> editorCalls;
    struct ViewerCall {
        uint16_t code;
        int32_t record;
        int16_t extra;
    };
    std::vector<ViewerCall> viewerCalls;
    std::string chooserAnswer;
    bool online = true;
    std::vector<std::string> products;
    std::vector<uint16_t> counts;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();

private:
    ConfigValues saved_;
    ViewerWindowHooks oldHooks_;
    UpdateServices oldServices_;
    std::vector<TProhlizecN*> open_;
};

} // namespace

TEST_F(ViewerWindow, KindsShowTheirDocumentOrNotice)
{
    std::string kodexCode, letakCode, spcCode;
    const int32_t kodex = DrugWithDocument(321, &kodexCode);
    const int32_t letak = DrugWithDocument(325, &letakCode);
    const int32_t spc = DrugWithDocument(333, &spcCode);
    ASSERT_GT(kodex, 0);
    ASSERT_GT(letak, 0);
    ASSERT_GT(spc, 0);
    const QString rPrip = KamToQString(LookupText(UiTexts, "Prohlizec", "rPrip"));
    const QString eNove = KamToQString(LookupText(UiTexts, "Prohlizec", "eNove"));
    struct Case {
        const char* what;
        char kind;
        int32_t record;
        LinkKind linkKind;
        QString notice;     // empty: the page shows
        const char* inPage; // a text the page holds
        bool tabsShown;
    } cases[] = {
        {"K: a summary", 'K', kodex, LinkKind::Drug, {}, "acronym class=\"kodex\"", true},
        {"A of 9 items: missing", 'A', Drug("0000168"), LinkKind::Drug, rPrip, nullptr, false},
        {"K of 9 items: missing", 'K', Drug("0000168"), LinkKind::Drug, rPrip, nullptr, false},
        {"2: never a document", '2', 1, LinkKind::Device, rPrip, nullptr, false},
        {"L without a leaflet", 'L', Drug("0000168"), LinkKind::Drug, eNove, nullptr, false},
        {"L: a leaflet", 'L', letak, LinkKind::Drug, {}, "<h3>", true},
        {"S: characteristics", 'S', spc, LinkKind::Drug, {}, "<h4>", true},
        {"M: the record text", 'M', Drug("0000995"), LinkKind::Drug, {}, "<h4>", true},
        {"X: contraindications, codes 13 as paragraphs", 'X', kodex, LinkKind::Drug, {}, "<p>", true},
        {"A: the strip hidden, the page shown", 'A', kodex, LinkKind::Drug, {}, "<body>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TProhlizecN* v = Open(c.kind, c.record, 0, c.linkKind);
        EXPECT_EQ(v->NoticeText(), c.notice);
        EXPECT_EQ(v->ShowsPage(), c.notice.isEmpty());
        if (c.inPage)
            EXPECT_NE(Page(v).find(c.inPage), std::string::npos) << Page(v).substr(0, 600);
        EXPECT_EQ(!v->Tabs()->isHidden(), c.tabsShown);
    }
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(ViewerWindow, RecordTextRequestedParagraphSelectsItsTabAfterTheTimer)
{
    TProhlizecN* v = Open('M', Drug("0000995"), 6);
    ASSERT_GE(v->Tabs()->count(), 7);
    EXPECT_TRUE(v->FirstTabTimer()->isActive());
    WaitTimer(v);
    EXPECT_EQ(v->Tabs()->currentIndex(), 6);
    EXPECT_TRUE(v->View()->HasAnchor("7")) << "tab 6 scrolls to anchor 7";

    TProhlizecN* w = Open('M', Drug("0000995"), 7);
    EXPECT_FALSE(w->FirstTabTimer()->isActive()) << "7 is past the record text's tabs";
    EXPECT_EQ(w->Tabs()->currentIndex(), 0);
    EXPECT_FALSE(w->Button("FnSearch")->isVisibleTo(w));
    EXPECT_TRUE(w->Button("FnWCon")->isVisibleTo(w));
}

TEST_F(ViewerWindow, CharacteristicsFilteredInvertedAndAll)
{
    const int32_t spc = DrugWithDocument(333);
    TProhlizecN* all = Open('S', spc);
    const int allTabs = all->Tabs()->count();
    ASSERT_GT(allTabs, 3);
    EXPECT_TRUE(all->ShowAll());

    // The chooser's set, as EncodeParagraphSet takes it, names the
    // subparagraphs left out: all of them but 4.5 leave 4.5 (and the
    // paragraphs without subparagraphs); 4.5 alone leaves all the others.
    chooserAnswer.clear();
    for (char c : ParagraphList('S'))
        if (c != '\x45' && (c & 15) != 0)
            chooserAnswer.push_back(c);
    all->FnParagrClick();
    EXPECT_FALSE(all->ShowAll());
    EXPECT_FALSE(all->Inverted());
    QStringList labels;
    for (int i = 0; i < all->Tabs()->count(); ++i)
        labels << all->Tabs()->tabText(i);
    EXPECT_TRUE(labels.contains("4.5")) << labels.join(' ').toStdString();
    EXPECT_FALSE(labels.contains("4.2"));
    EXPECT_LT(labels.size(), allTabs);
    for (const HtmlTab& t : all->Page().tabs)
        EXPECT_TRUE(all->View()->HasAnchor(Cp1250ToQString(t.anchor))) << t.label;
    all->FnParagrClick(); // back to all: the stored selection keeps the choice, flagged
    EXPECT_TRUE(all->ShowAll());
    EXPECT_EQ(all->Tabs()->count(), allTabs);
    const std::string stored =
        Config().Read([](const ConfigValues& v) { return *v.paragraphCurrent.First('S'); });
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(static_cast<uint8_t>(stored.back()), 255);

    chooserAnswer = std::string{'\x45'};
    all->FnParagrClick();
    EXPECT_TRUE(all->Inverted());
    EXPECT_EQ(all->Tabs()->count(), allTabs - 1);
}

TEST_F(ViewerWindow, FilterButtonOpensTheParagraphChooser)
{
    ViewerWindowHooks hooks = ViewerHooks();
    hooks.chooseParagraphs = RunViewerParagraphChooser;
    SetViewerWindowHooks(hooks);
    StoreParagraphSelection('V', 'S', {}, 0);
    TProhlizecN* v = Open('S', DrugWithDocument(333));
    const int allTabs = v->Tabs()->count();
    ASSERT_TRUE(v->ShowAll());

    // In the chooser: group 4 left out ("?" on its heading), highlighted
    // ("1"), confirmed.
    char kind = 0, mode = 0;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TVybOdst*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        kind = d->Model().Kind();
        mode = d->Model().Mode();
        QTest::keyClick(d->kbd, Qt::Key_Home);
        for (int guard = 0;
             guard < 20 && d->Model().Entries()[static_cast<size_t>(d->Model().Current())].code != 0x40;
             ++guard)
            QTest::keyClick(d->kbd, Qt::Key_Down);
        QTest::keyClicks(d->kbd, "?1");
        d->bOK->click();
    });
    QToolButton* filter = v->Button("FnParagr");
    ASSERT_NE(filter, nullptr);
    filter->click();
    EXPECT_EQ(kind, 'S');
    EXPECT_EQ(mode, 'V');
    EXPECT_FALSE(v->ShowAll());
    EXPECT_EQ(StoredParagraphHighlight('S'), 0x40);
    EXPECT_NE(StoredParagraphSelection('V', 'S').find('\x40'), std::string::npos);
    QStringList labels;
    for (int i = 0; i < v->Tabs()->count(); ++i)
        labels << v->Tabs()->tabText(i);
    EXPECT_LT(v->Tabs()->count(), allTabs);
    EXPECT_FALSE(labels.contains("4.2")) << labels.join(' ').toStdString();
    EXPECT_TRUE(labels.contains("5.1")) << labels.join(' ').toStdString();
}

TEST_F(ViewerWindow, LeafletTabsLandOnTheirHeadings)
{
    const int32_t letak = DrugWithDocument(325);
    TProhlizecN* v = Open('L', letak);
    ASSERT_GT(v->Tabs()->count(), 2);
    for (int i = 0; i < v->Tabs()->count(); ++i)
        EXPECT_TRUE(v->View()->HasAnchor(Cp1250ToQString(v->Page().tabs[static_cast<size_t>(i)].anchor)))
            << i;
    v->show();
    QApplication::processEvents();
    v->Tabs()->setCurrentIndex(2);
    const int y = v->View()->verticalScrollBar()->value();
    v->Tabs()->setCurrentIndex(0);
    EXPECT_LT(v->View()->verticalScrollBar()->value(), y);
    EXPECT_FALSE(v->Contents()->count() == 0);
}

TEST_F(ViewerWindow, LeafletOpensWithItsSubstanceApartAndTheDrugLineInTheTitle)
{
    // Paramedol's leaflet: the substance line, then the bold warning in a
    // paragraph of its own (not "paracetamolPřečtěte si ...").
    TDbTable kl;
    OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    std::string record;
    FindRecord(kl, "0000740", record);
    ASSERT_EQ(DbStatus, 0);
    ASSERT_EQ(record.substr(0, 7), "0000740");
    TProhlizecN* v = Open('L', kl.recNo);
    std::string warning;
    ASSERT_TRUE(Utf8ToCp1250("<p><strong>Přečtěte si pozorně", warning));
    const std::string page = Page(v);
    const size_t substance = page.find("<p>paracetamol</p>");
    EXPECT_NE(substance, std::string::npos) << page.substr(0, 1500);
    EXPECT_GT(page.find(warning), substance) << page.substr(0, 1500);
    EXPECT_EQ(v->windowTitle(), KamToQString("T: " + FormatDrugLine(record)));
}

TEST_F(ViewerWindow, GoodsDevicesAndPhotos)
{
    // R: the EAN and price paragraph goes in.
    TDbTable goods;
    OpenTable(goods, TFileId("pfa"), TFileId(""), kPfaLayout.Length());
    int32_t withText = 0, withPhoto = 0;
    for (int32_t r = 1; r < goods.dat.count && (!withText || !withPhoto); ++r) {
        std::string rec;
        ReadRecord(goods.dat, r, rec);
        int32_t cc = 0;
        std::memcpy(&cc, rec.data() + 240, 4);
        if (!withText && cc >= 16 && rec[216] > ' ')
            withText = r;
        if (!withPhoto && rec[239] != ' ')
            withPhoto = r;
    }
    ASSERT_GT(withText, 0);
    TProhlizecN* r = Open('R', withText, 0, LinkKind::Goods);
    EXPECT_TRUE(r->ShowsPage());
    EXPECT_NE(Page(r).find("EAN: "), std::string::npos);

    // Q offline: the page says so; P online: the local photo fills the width.
    ASSERT_GT(withPhoto, 0);
    online = false;
    TProhlizecN* q = Open('Q', withPhoto, 0, LinkKind::Goods);
    EXPECT_NE(Page(q).find("<h3>"), std::string::npos);
    online = true;
    std::string code;
    TDbTable drugs;
    OpenTable(drugs, TFileId("kl"), TFileId(""), kKlLayout.Length());
    int32_t photo = 0;
    for (int32_t i = 1; i < drugs.dat.count && !photo; ++i) {
        std::string rec;
        ReadRecord(drugs.dat, i, rec);
        if (rec[315] & 1)
            photo = i;
    }
    ASSERT_GT(photo, 0);
    TProhlizecN* p = Open('P', photo);
    EXPECT_NE(Page(p).find("width=\"98%\""), std::string::npos);
    EXPECT_NE(Page(p).find("file://"), std::string::npos);
    EXPECT_EQ(p->Tabs()->count(), 0);

    // T: the device record text, with and without its group's document.
    TDbTable devices;
    OpenTable(devices, TFileId("pzt"), TFileId(""), kPztLayout.Length());
    ASSERT_GT(devices.dat.count, 2);
    int shown = 0;
    for (int32_t i = 1; i < devices.dat.count && i < 40; ++i) {
        TProhlizecN* t = Open('T', i, 0, LinkKind::Device);
        EXPECT_TRUE(t->ShowsPage());
        shown += t->ShowsPage() ? 1 : 0;
    }
    EXPECT_GT(shown, 0);
}

TEST_F(ViewerWindow, ContentsSearchKeysAndLinks)
{
    const int32_t letak = DrugWithDocument(325);
    TProhlizecN* v = Open('L', letak);
    v->show();
    QApplication::processEvents();
    ASSERT_GT(v->Contents()->count(), 0);

    // Shift+F3 twice within 0.2 s toggles the contents once.
    QTest::keyClick(v->View(), Qt::Key_F3, Qt::ShiftModifier);
    now += std::chrono::milliseconds(200);
    QTest::keyClick(v->View(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_TRUE(v->ShowsContents());
    now += std::chrono::seconds(1);
    QTest::keyClick(v->Contents(), Qt::Key_Return);
    EXPECT_TRUE(v->ShowsPage());

    // Search: every occurrence highlighted.
    v->FnSearchClick();
    EXPECT_TRUE(v->SearchBox()->isVisible());
    v->SearchLine()->setText("přípravek");
    v->SearchGo();
    EXPECT_FALSE(v->SearchBox()->isVisible());
    EXPECT_GT(v->View()->HighlightCount(), 1);

    // Links: web and mail addresses go to the shell; the page stays.
    const std::string before = Page(v);
    v->LinkClicked("https://example.org/x");
    v->LinkClicked("http://example.org/y");
    v->LinkClicked("mailto:a@b.cz");
    v->LinkClicked("relative/page.html");
    ASSERT_EQ(shell.Calls().size(), 3u);
    EXPECT_EQ(shell.Calls()[0].target, "https://example.org/x");
    EXPECT_EQ(shell.Calls()[1].target, "http://example.org/y");
    EXPECT_EQ(Page(v), before);

    // Ctrl+C copies text, HTML and RTF.
    QApplication::clipboard()->clear();
    QTest::keyClick(v->View(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasText());
    EXPECT_TRUE(data->hasHtml());
    EXPECT_TRUE(data->hasFormat("text/rtf"));
    EXPECT_TRUE(data->data("text/rtf").startsWith("{\\rtf1"));

    // Escape closes, but not as the first key after activation.
    QPointer<TProhlizecN> guard(v);
    v->FormActivate();
    QTest::keyClick(v->View(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(v->Closing());
}

TEST_F(ViewerWindow, ChangeNoticeEditorAndPrescriptionButton)
{
    const int32_t spc = DrugWithDocument(333);
    zlpAnswer = 1;
    TProhlizecN* v = Open('S', spc, 5);
    EXPECT_TRUE(v->ChangeNotice()->isVisibleTo(v));
    ASSERT_FALSE(zlpCalls.empty());
    EXPECT_EQ(zlpCalls.back()[0], 'S');
    EXPECT_EQ(editorCalls.size(), 1u);
    v->ResetData(spc);
    EXPECT_EQ(editorCalls.size(), 1u) << "a second reset does not start the editor again";
    if (v->Button("FnPresc")->isEnabled()) {
        v->FnPrescClick();
        ASSERT_EQ(viewerCalls.size(), 1u);
        EXPECT_EQ(viewerCalls[0].code, 37281);
        EXPECT_EQ(viewerCalls[0].extra, 4);
    }
}

TEST_F(ViewerWindow, ADocumentFileRemovedWhileOpenGivesAnErrorAndTheNotice)
{
    QTemporaryDir dir;
    const std::string copy = dir.path().toStdString() + "/";
    for (const auto& e : std::filesystem::directory_iterator(DemoDir()))
        if (e.is_regular_file())
            std::filesystem::copy_file(e.path(), copy + e.path().filename().string());
    SetDataDir(copy);
    std::string code;
    const int32_t kodex = DrugWithDocument(321, &code);
    TProhlizecN* v = Open('K', kodex);
    ASSERT_TRUE(v->ShowsPage());
    std::filesystem::remove(copy + "kodex.dat");
    v->ResetData(kodex);
    SetDataDir(DemoDir());
    EXPECT_FALSE(v->ShowsPage());
    EXPECT_TRUE(v->Page().bytes.empty()) << "never the previous page";
    ASSERT_EQ(sink.Requests().size(), 1u);
    EXPECT_TRUE(sink.Requests()[0].text.contains("kodex.dat"));
}

TEST(ViewerPage, StatusNoticesAreForDrugRecordsOnly)
{
    test_support::EnsureGuiApp();
    BuildKamTables();
    SetDataDir(DemoDir());
    LoadTextTable(DataTexts, DemoDir() + "kalvo.ces");
    LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces");
    ViewerPageInput in;
    in.dataFolder = DemoDir();
    in.kind = 'R';
    in.linkKind = LinkKind::Goods;
    in.record = std::string(246, ' ');
    in.record.replace(0, 5, "99999");
    in.record[189] = '-';
    const int32_t none = -1;
    std::memcpy(in.record.data() + 240, &none, 4);
    EXPECT_EQ(PrepareViewerPage(in).noticeKey, "rPrip");
    in.kind = 'K';
    in.linkKind = LinkKind::Drug;
    in.record = std::string(346, ' ');
    in.record[189] = '-';
    std::memcpy(in.record.data() + 320, &none, 4);
    EXPECT_EQ(PrepareViewerPage(in).noticeKey, "eZrus");
    in.record[189] = 'R';
    in.record.replace(190, 2, "93");
    in.kind = 'S';
    std::memcpy(in.record.data() + 332, &none, 4);
    EXPECT_EQ(PrepareViewerPage(in).noticeKey, "eHomeo");
    in.kind = 'N';
    EXPECT_EQ(PrepareViewerPage(in).noticeKey, "rPrip") << "kinds N and Y read no record field";
}

namespace {

QString RunTool(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST_F(ViewerWindow, PrintsThePageToPdfAfterTheHeader)
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    const QString pdfinfo = QStandardPaths::findExecutable("pdfinfo");
    if (pdftotext.isEmpty() || pdfinfo.isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    QTemporaryDir dir;
    const QString pdf = dir.filePath("print.pdf");
    auto job = std::make_unique<PrinterPrintJob>();
    PrinterPrintJob* printer = job.get();
    std::unique_ptr<PrintJob> old = SetPrintJob(std::move(job));
    printer->SetOutputFile(pdf);
    Config().Update([](ConfigValues& v) { v.PrintSavingOption = false; });

    TProhlizecN* v = Open('S', Drug("0000995"));
    ASSERT_TRUE(v->ShowsPage());
    EXPECT_TRUE(PrintDataWindow(v));
    EXPECT_FALSE(printer->IsOpen());
    SetPrintJob(std::move(old));

    const QString info = RunTool(pdfinfo, {pdf});
    const QRegularExpressionMatch pages = QRegularExpression("Pages:\\s+(\\d+)").match(info);
    ASSERT_TRUE(pages.hasMatch()) << info.toStdString();
    EXPECT_GE(pages.captured(1).toInt(), 2);
    const QString text = RunTool(pdftotext, {"-enc", "UTF-8", pdf, "-"});
    EXPECT_TRUE(text.contains("Lipoklid")) << text.left(300).toStdString();
    EXPECT_TRUE(text.contains("4.5")) << "a heading";
    EXPECT_TRUE(text.contains(QString::fromUtf8("přípravk"), Qt::CaseInsensitive)) << "Czech letters";
}

TEST_F(ViewerWindow, TwoPrintsWithPaperSavingMakeOneJob)
{
    auto job = std::make_unique<RecordingPrintJob>();
    RecordingPrintJob* recording = job.get();
    std::unique_ptr<PrintJob> old = SetPrintJob(std::move(job));
    Config().Update([](ConfigValues& v) { v.PrintSavingOption = true; });
    TProhlizecN* v = Open('K', DrugWithDocument(321));
    EXPECT_TRUE(PrintDataWindow(v));
    EXPECT_TRUE(PrintDataWindow(v));
    EXPECT_EQ(recording->JobsBegun(), 1);
    EXPECT_TRUE(recording->IsOpen());
    EndPrintJob();
    EXPECT_FALSE(recording->IsOpen());
    SetPrintJob(std::move(old));
}

TEST_F(ViewerWindow, ExportsRtfAndTextAndLeavesTheClipboard)
{
    QApplication::clipboard()->setText("the user's copy");
    TProhlizecN* v = Open('S', Drug("0000995"));
    QTemporaryDir dir;
    const std::string rtf = dir.filePath("spc.rtf").toStdString();
    const std::string txt = dir.filePath("spc.txt").toStdString();
    ASSERT_TRUE(ExportDataWindow(v, rtf));
    ASSERT_TRUE(ExportDataWindow(v, txt));
    EXPECT_EQ(QApplication::clipboard()->text(), "the user's copy");

    std::string text;
    ASSERT_EQ(ReadWholeFile(txt, text), 0);
    EXPECT_NE(text.find("\r\n"), std::string::npos);
    EXPECT_NE(text.find("4.5"), std::string::npos);
    EXPECT_NE(text.find("\xF8"), std::string::npos) << "code page 1250 letters";

    const QString office = QStandardPaths::findExecutable("libreoffice");
    if (office.isEmpty())
        GTEST_SKIP() << "libreoffice is not installed";
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(office, {"--headless", "-env:UserInstallation=file://" + dir.path() + "/lo", "--convert-to",
                     "txt:Text (encoded):UTF8", "--outdir", dir.path(), QString::fromStdString(rtf)});
    ASSERT_TRUE(p.waitForFinished(180000));
    QFile converted(dir.filePath("spc.txt"));
    ASSERT_TRUE(converted.open(QIODevice::ReadOnly));
    const QString shown = QString::fromUtf8(converted.readAll());
    EXPECT_TRUE(shown.contains("Lipoklid")) << shown.left(300).toStdString();
    EXPECT_TRUE(shown.contains("4.5"));
    EXPECT_TRUE(shown.contains(QString::fromUtf8("ř")));
}

TEST_F(ViewerWindow, Screenshots)
{
    const QString folder = QString(QEVW_BINARY_DIR) + "/viewer-shots";
    QDir().mkpath(folder);
    auto shoot = [&](TProhlizecN* v, const char* name) {
        v->show();
        QApplication::processEvents();
        WaitTimer(v);
        QTRY_COMPARE_WITH_TIMEOUT(v->View()->PendingFetches(), 0, 2000);
        QApplication::processEvents();
        EXPECT_TRUE(v->grab().save(folder + "/" + name + ".png"));
        v->hide();
    };
    shoot(Open('M', Drug("0000995")), "viewer_m");
    chooserAnswer.clear();
    for (char c : ParagraphList('S'))
        if (c != '\x45' && c != '\x42' && (c & 15) != 0)
            chooserAnswer.push_back(c);
    TProhlizecN* s = Open('S', Drug("0000995"));
    s->FnParagrClick();
    shoot(s, "viewer_s_filtered");
    shoot(Open('L', Drug("0000314")), "viewer_l_picture");
    shoot(Open('K', Drug("0000187")), "viewer_k_showcase");
    shoot(Open('A', Drug("0000168")), "viewer_notice");
    TDbTable drugs;
    OpenTable(drugs, TFileId("kl"), TFileId(""), kKlLayout.Length());
    for (int32_t i = 1; i < drugs.dat.count; ++i) {
        std::string rec;
        ReadRecord(drugs.dat, i, rec);
        if (rec[315] & 1) {
            shoot(Open('P', i), "viewer_photo");
            break;
        }
    }
}
