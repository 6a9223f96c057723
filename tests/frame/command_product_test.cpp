// What the commands open for a product: record viewers through the viewers'
// factory, the PDF documents, the web page.

#include "tests/frame/command_test_support.h"

#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <set>
#include <string_view>

#include "datastore/db_table.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/document_kinds.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/product_commands.h"
#include "frame/commands/viewer_windows.h"
#include "platform/fs.h"

namespace {

using cmdtest::CommandFixture;
using cmdtest::Kam;

// A viewer that records how the command set it up.
class RecordingViewer : public dftest::ProbeWindow, public RecordViewerWindow {
public:
    RecordingViewer() : ProbeWindow(0, "viewer") {}
    TDataForm& Form() override { return *this; }
    void SetDocument(char l, uint16_t e) override
    {
        letter = l;
        extra = e;
    }
    void SetSearchWords(const std::array<std::string, 5>& w) override { words = w; }
    void SetupViewer(const std::string& key) override { titleKey = key; }
    void SetSlaveButton(bool on) override { slave = on; }
    std::string DocumentFileName() const override { return {}; }
    char TextKindLetter() const override { return 'R'; }
    char letter = 0;
    uint16_t extra = 0;
    std::array<std::string, 5> words;
    std::string titleKey;
    bool slave = false;
};

class CommandProducts : public CommandFixture {
protected:
    void SetUp() override
    {
        CommandFixture::SetUp();
        ASSERT_TRUE(data.isValid());
        savedDataDir_ = DataDir();
        SetDataDir(data.path().toStdString() + "/");
        ViewerServices v;
        v.makeRecordViewer = [this]() -> RecordViewerWindow* {
            auto* w = new RecordingViewer;
            viewers.push_back(w);
            return w;
        };
        SetViewerServices(std::move(v));
    }
    void TearDown() override
    {
        SetDataDir(savedDataDir_);
        CommandFixture::TearDown();
    }
    void Touch(const std::string& name) { WriteFileAtomic(data.path().toStdString() + "/" + name, "x"); }
    // A list standing on a record of the link kind, active under the host.
    dftest::ProbeWindow* Master(LinkKind linkKind, int32_t value)
    {
        auto* m = new dftest::ProbeWindow(KindOf("DNA"), "list");
        m->LinkKinds = {LinkKind::None, linkKind, LinkKind::None};
        m->LinkValues = {0, value, 0};
        m->Master = host;
        host->area->setActiveSubWindow(m->Show());
        dftest::Settle();
        return m;
    }

    QTemporaryDir data;
    std::vector<RecordingViewer*> viewers;
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};

private:
    std::string savedDataDir_;
};

TEST_F(CommandProducts, RecordViewersByCode)
{
    for (const char* f : {"kodex.dat", "kodexa.dat", "SPC.DAT", "letak.dat", "pfakodex.dat", "pztmet.dat"})
        Touch(f);
    UpdateServices u;
    u.statCount = [this](uint16_t key) { counted.push_back(key); };
    u.isOnline = [] { return 1; };
    SetUpdateServices(std::move(u));
    struct Case {
        const char* code;
        char letter;
        LinkKind linkKind;
        const char* title;
    };
    const Case cases[] = {
        {"dAB", 'B', LinkKind::Drug, "Brevir"},   {"dAE", 'E', LinkKind::Drug, "Engest"},
        {"dAK", 'K', LinkKind::Drug, "Clanek"},   {"dIA", 'A', LinkKind::Drug, "intKVO"},
        {"dIS", 'I', LinkKind::Drug, "intSPC"},   {"dLL", 'L', LinkKind::Drug, "Letak"},
        {"dMA", 'M', LinkKind::Drug, "Hlavni"},   {"dPI", 'P', LinkKind::Drug, "Foto"},
        {"dSP", 'S', LinkKind::Drug, "SPC"},      {"dXX", 'X', LinkKind::Drug, "Kontra"},
        {"pAR", 'R', LinkKind::Goods, "Clanek"},  {"pPI", 'Q', LinkKind::Goods, "Foto"},
        {"tMA", '1', LinkKind::Device, "TMetod"}, {"tPR", 'T', LinkKind::Device, "THlav"},
    };
    for (const Case& c : cases) {
        viewers.clear();
        counted.clear();
        dftest::ProbeWindow* m = Master(c.linkKind, 42);
        ExecuteCommand(m, KindOf(c.code), 0);
        ASSERT_EQ(viewers.size(), 1u) << c.code;
        RecordingViewer* v = viewers[0];
        EXPECT_EQ(v->letter, c.letter) << c.code;
        EXPECT_EQ(v->LinkKinds, (std::array<LinkKind, 3>{c.linkKind, LinkKind::None, LinkKind::None}))
            << c.code;
        EXPECT_EQ(v->LinkValues[0], 42);
        EXPECT_EQ(v->Kind, KindOf(c.code));
        EXPECT_EQ(v->Master.get(), m);
        EXPECT_TRUE(v->Dependent);
        EXPECT_TRUE(v->slave);
        EXPECT_EQ(v->titleKey, std::string("Prohlizec.") + c.title);
        EXPECT_EQ(v->received, std::vector<int32_t>{42});
        EXPECT_FALSE(v->windowIcon().isNull()) << c.code;
        EXPECT_TRUE(Counted(c.code)) << c.code;
        delete m;
        dftest::Settle();
    }
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(CommandProducts, AMissingFileOrConnectionOpensNothing)
{
    const std::string noData = KamToQString(LookupText(UiTexts, "Chyby", "NoData")).toStdString();
    const std::string noWeb = KamToQString(LookupText(UiTexts, "Chyby", "NoWeb")).toStdString();
    struct Case {
        const char* code;
        LinkKind linkKind;
        std::string box;
    };
    const std::vector<Case> cases = {
        {"dAK", LinkKind::Drug, noData}, {"dAE", LinkKind::Drug, noData},  {"dSP", LinkKind::Drug, noData},
        {"dLL", LinkKind::Drug, noData}, {"pAR", LinkKind::Goods, noData}, {"tMA", LinkKind::Device, noData},
        {"dPI", LinkKind::Drug, noWeb},  {"pPI", LinkKind::Goods, noWeb},
    };
    for (const Case& c : cases) {
        const size_t before = BoxTexts().size();
        dftest::ProbeWindow* m = Master(c.linkKind, 7);
        ExecuteCommand(m, KindOf(c.code), 0);
        ASSERT_EQ(BoxTexts().size(), before + 1) << c.code;
        EXPECT_EQ(BoxTexts().back(), c.box) << c.code;
        delete m;
        dftest::Settle();
    }
    EXPECT_TRUE(viewers.empty());
    // The main record and the device record need no file.
    for (const auto& [code, kind] : {std::pair{"dMA", LinkKind::Drug}, std::pair{"tPR", LinkKind::Device}}) {
        dftest::ProbeWindow* m = Master(kind, 7);
        ExecuteCommand(m, KindOf(code), 0);
        delete m;
        dftest::Settle();
    }
    EXPECT_EQ(viewers.size(), 2u);
}

TEST_F(CommandProducts, TheMainWindowsRequestOpensAMaximisedViewerAndValueZeroOpensNothing)
{
    host->LinkKinds = {LinkKind::Drug, LinkKind::None, LinkKind::None};
    host->LinkValues = {55, 0, 0};
    host->RequestMode = RequestModeCode::RequestedPosition;
    ExecuteCommand(host, KindOf("dMA"), 1);
    ASSERT_EQ(viewers.size(), 1u);
    RecordingViewer* v = viewers[0];
    EXPECT_EQ(v->LinkValues[0], 55);
    EXPECT_EQ(v->Master.get(), host);
    EXPECT_FALSE(v->Dependent);
    EXPECT_FALSE(v->slave);
    ASSERT_NE(v->SubWindow(), nullptr);
    EXPECT_TRUE(v->SubWindow()->isMaximized());

    // From the main window's request with no position: nothing.
    host->LinkValues = {0, 0, 0};
    ExecuteCommand(host, KindOf("dMA"), 1);
    // A list standing on nothing: nothing.
    dftest::ProbeWindow* m = Master(LinkKind::Drug, 0);
    ExecuteCommand(m, KindOf("dMA"), 0);
    EXPECT_EQ(viewers.size(), 1u);
    // No factory yet: a run-log line.
    SetViewerServices({});
    dftest::ProbeWindow* n = Master(LinkKind::Drug, 9);
    ExecuteCommand(n, KindOf("dMA"), 0);
    EXPECT_NE(RunLogText().find("TProhlizecN: nothing registered"), std::string::npos) << RunLogText();
}

TEST_F(CommandProducts, TheViewerTakesTheListsSearchWordsForDisplay)
{
    CommandServices s;
    s.searchWordsOf = [](TDataForm*) {
        return std::array<std::string, 5>{Kam("léčba"), "", Kam("Žaludek"), "", ""};
    };
    SetCommandServices(std::move(s));
    dftest::ProbeWindow* m = Master(LinkKind::Drug, 3);
    ExecuteCommand(m, KindOf("dMA"), 0);
    ASSERT_EQ(viewers.size(), 1u);
    EXPECT_EQ(Cp1250ToQString(viewers[0]->words[0]), QStringLiteral("léčba"));
    EXPECT_EQ(Cp1250ToQString(viewers[0]->words[2]), QStringLiteral("Žaludek"));
}

TEST_F(CommandProducts, PdfDocumentsOfALetter)
{
    Touch("s_beta.pdf");
    Touch("S_alfa.PDF");
    Touch("L_letak.Pdf");
    ExecuteCommand(host, KindOf("rTS"), 0);
    ExecuteCommand(host, KindOf("rUL"), 0);
    ExecuteCommand(host, KindOf("rTX"), 0);
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].target.endsWith(QStringLiteral("/S_alfa.PDF"))) << calls[0].target.toStdString();
    EXPECT_TRUE(calls[1].target.endsWith(QStringLiteral("/L_letak.Pdf")));
    ASSERT_EQ(sink.Requests().size(), 1u);
    const QString text = sink.Requests()[0].text;
    EXPECT_TRUE(text.startsWith(KamToQString(LookupText(UiTexts, "Chyby", "FileNo")))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("X*.PDF")));
    // A document nothing opens: the shell's error number.
    shell.SetAnswer(ShellResult::NoAssociation);
    ExecuteCommand(host, KindOf("rTS"), 0);
    ASSERT_EQ(sink.Requests().size(), 2u);
    EXPECT_EQ(sink.Requests()[1].text, QStringLiteral("Unable to start external program: error31"));
}

TEST_F(CommandProducts, TheWebPageOfTheActiveWindowsDrug)
{
    // A drug table of two records whose codes the page names.
    const std::string kl = data.path().toStdString() + "/kl.dat";
    {
        std::string file = "D6";
        file += std::string("\x01\x00", 2);
        file += '\x01';
        file += std::string("\xE4\x2D", 2); // "KOD"
        file += '\x06';                     // 7 characters
        file.resize(14, '\0');
        file += "0000129";
        file += "0000152";
        WriteFileAtomic(kl, file);
    }
    dftest::ProbeWindow* m = Master(LinkKind::Drug, 2);
    ExecuteCommand(m, KindOf("RWC"), 0);
    ExecuteCommand(m, KindOf("RWP"), 0);
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].url);
    EXPECT_EQ(calls[0].target.toStdString(), "https://katalog.kalvo.example/pripravek/?kod=0000152");
    EXPECT_EQ(calls[1].target.toStdString(), "https://katalog.kalvo.example/pripravek/?kod=0000152&s=ceny");
    // No drug offered: nothing.
    dftest::ProbeWindow* other = Master(LinkKind::Goods, 2);
    ExecuteCommand(other, KindOf("RWC"), 0);
    EXPECT_EQ(shell.Calls().size(), 2u);
    // No "WGra.web1": the browser error.
    dftest::ScopedUiTexts bare{
        test_support::CompileTable("[Chyby]\nNoBrowser=Bez prohlížeče\n[WGra]\nweb1=\n")};
    host->area->setActiveSubWindow(m->SubWindow());
    ExecuteCommand(m, KindOf("RWC"), 0);
    EXPECT_EQ(shell.Calls().size(), 2u);
    ASSERT_FALSE(BoxTexts().empty());
    EXPECT_EQ(BoxTexts().back(), "Bez prohlížeče");
}

} // namespace

// The document kinds and the command table agree: every command the table
// hands to the viewer opener is a kind (else the menu item would open
// nothing), each kind has a letter and a command of its own, and a kind
// whose file the opener checks names it.
TEST(DocumentKinds, EachKindHasItsOwnLetterAndViewerCommand)
{
    std::set<char> letters;
    std::set<std::string_view> commands;
    for (const DocumentKindRow& kind : DocumentKinds()) {
        SCOPED_TRACE(kind.command);
        EXPECT_TRUE(letters.insert(kind.letter).second);
        EXPECT_TRUE(commands.insert(kind.command).second);
        EXPECT_EQ(DocumentKindOfCommand(KindOf(kind.command)), &kind);
        EXPECT_EQ(&DocumentKindOf(kind.letter), &kind);
        if (kind.openerChecksFile)
            EXPECT_FALSE(kind.documentFile.empty());
    }
    for (const CommandRow& row : CommandTable())
        if (row.handler == "OpenRecordViewer")
            EXPECT_NE(DocumentKindOfCommand(KindOf(row.pattern)), nullptr) << row.pattern;
    EXPECT_EQ(DocumentKindOfCommand(KindOf("dNO")), nullptr) << "the notes have a viewer of their own";
}
