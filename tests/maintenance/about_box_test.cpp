// The about box: the version text over weekdays and manifests, the
// installation text, the links through a recording shell, the memo of the
// run log and the statistics items, and which keys close it.

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "maintenance/about_box.h"
#include "platform/gui/shell.h"
#include "tests/maintenance/settings_test_support.h"

using namespace settingstest;

namespace {

AboutFacts Facts(int weekday, std::optional<std::string> manifest = std::string("dbf=6.25\r\n"))
{
    AboutFacts f;
    f.weekday = weekday;
    f.manifest = std::move(manifest);
    f.fileVersion = {1, 2, 3, 4};
    f.dataTitle = "KALVO";
    f.programVersion = "25.02";
    f.closed = true;
    return f;
}

TEST(AboutVersion, WeekdaysMoveTheSeparatorsAndTheBreak)
{
    struct Case {
        int weekday;
        const char* text;
    } cases[] = {
        {1, "KALVO  (6.25)\r\nWin (1.2.34\r\n-6.41-25.02)"},
        {2, "KALVO  (6.25)\r\nWin (1.23\r\n.4-6.41-25.02)"},
        {3, "KALVO  (6.25)\r\nWin (12\r\n,3.4-6.41-25.02)"},
        {4, "KALVO  (6.25)\r\nWin (1.23\r\n,4-6.41-25.02)"},
        {5, "KALVO  (6.25)\r\nWin (12\r\n.3,4-6.41-25.02)"},
        {6, "KALVO  (6.25)\r\nWin (12\r\n.3.4-6.41-25.02)"},
        {7, "KALVO  (6.25)\r\nWin (12\r\n,3,4-6.41-25.02)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AboutVersionText(Facts(c.weekday)), c.text) << c.weekday;
    // Saturday's separators: ", . ." as the weekday code 17 gives them.
    EXPECT_EQ(WeekdaySeparators(6), (std::array<char, 3>{',', '.', '.'}));
}

TEST(AboutVersion, DataVersionOfTheManifest)
{
    struct Case {
        std::optional<std::string> manifest;
        int version;
    } cases[] = {
        {"dbf=6.25\r\n", 625},          {"dbf=10.3\r\n", 103}, // the third place's "." goes: (1.3)
        {"dbf=605\r\n", 605},           {"dbf=x\r\n", 625},
        {"short\r\ndbf=7.50\r\n", 750}, {"a line of more than twenty characters\r\ndbf=7.50\r\n", 625},
        {"no version here\r\n", 0},     {std::nullopt, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DataVersionOf(c.manifest), c.version) << c.manifest.value_or("(none)");
    EXPECT_EQ(AboutVersionText(Facts(1, "dbf=10.3\r\n")).substr(0, 13), "KALVO  (1.3)\r");
    EXPECT_EQ(AboutVersionText(Facts(1, "dbf=605\r\n")).substr(0, 13), "KALVO  (6.5)\r");
    EXPECT_EQ(AboutVersionText(Facts(1, std::nullopt)).substr(0, 13), "KALVO  (0.0)\r");
}

TEST(AboutVersion, PendingNoticeLeavesTheBracketOpen)
{
    AboutFacts f = Facts(1);
    f.closed = false;
    EXPECT_EQ(AboutVersionText(f), "KALVO  (6.25)\r\nWin (1.2.34\r\n-6.41-25.02");
}

TEST(AboutInstallation, CustomerNumbers)
{
    EXPECT_EQ(CustomerText(1234), "0000 1234");
    EXPECT_EQ(CustomerText(12345679), "1234 5679");
    EXPECT_EQ(CustomerText(99999998), "9999 9998");
    EXPECT_EQ(CustomerText(99999999), "");
    EXPECT_EQ(CustomerText(0), "");
    EXPECT_EQ(CustomerText(100000001), "") << "the reset head";
}

class AboutBox : public SettingsTest {
protected:
    void SetUp() override
    {
        SettingsTest::SetUp();
        UpdateShared().SetInstallationRecord("");
    }
    void TearDown() override
    {
        UpdateShared().SetInstallationRecord("");
        SettingsTest::TearDown();
    }
    static std::string Record(uint32_t customer, const std::string& name, const std::string& org)
    {
        TTaggedRecord r;
        const char head[4] = {char(customer & 0xFF), char((customer >> 8) & 0xFF),
                              char((customer >> 16) & 0xFF), char(customer >> 24)};
        EXPECT_TRUE(PutTaggedField(r, kTaggedHead, std::string_view(head, 4)));
        EXPECT_TRUE(PutTaggedField(r, 6, name));
        EXPECT_TRUE(PutTaggedField(r, 7, org));
        return r;
    }
    QString Ui(const char* key) { return UiText(QStringLiteral("OAplikaci"), QString::fromLatin1(key)); }
};

TEST_F(AboutBox, ShowsTheInstallation)
{
    struct Case {
        std::string record;
        const char* shownCustomer;
    } cases[] = {{Record(1234, "Lekarna", "Nemocnice"), "0000 1234"},
                 {Record(12345679, "Lekarna", "Nemocnice"), "1234 5679"},
                 {Record(99999999, "Lekarna", "Nemocnice"), ""},
                 {"", ""}};
    for (const Case& c : cases) {
        UpdateShared().SetInstallationRecord(c.record);
        TOAplikaci box(nullptr, Facts(1));
        const QString name = c.record.empty() ? QString() : QStringLiteral("Lekarna");
        const QString org = c.record.empty() ? QString() : QStringLiteral("Nemocnice");
        EXPECT_EQ(box.InstallationShown(), Ui("Jmeno") + "\t" + name + "\n" + Ui("Org") + "\t" + org + "\n" +
                                               Ui("ICO") + "\t" + QString::fromLatin1(c.shownCustomer));
    }
}

TEST_F(AboutBox, LinksGoToTheShell)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    TOAplikaci box(nullptr, Facts(1));
    Show(&box);
    QLabel* www = Child<QLabel>(&box, "www2");
    QTest::mouseClick(www, Qt::LeftButton);
    QLabel* email = Child<QLabel>(&box, "email1");
    QTest::mouseClick(email, Qt::LeftButton);
    email->setText(QStringLiteral("podpora@kalvo.example"));
    QTest::mouseClick(email, Qt::LeftButton);
    const std::vector<RecordingShell::Call> calls = shell.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].target, QStringLiteral("https://redakce.kalvo.example"));
    EXPECT_EQ(calls[1].target, QStringLiteral("mailto:podpora@kalvo.example"));
    EXPECT_EQ(calls[2].target, QStringLiteral("mailto:podpora@kalvo.example"));
    EXPECT_TRUE(boxes.Requests().empty());

    shell.SetAnswer(ShellResult::NoAssociation);
    QTest::mouseClick(www, Qt::LeftButton);
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text, UiText(QStringLiteral("Chyby"), QStringLiteral("NoBrowser")) + "31");
}

TEST_F(AboutBox, DoubleClicksShowTheRunLogAndTheStatistics)
{
    ClearRunLog();
    AppendRunLog("line of the run log\r\n");
    TOAplikaci box(nullptr, Facts(1));
    Show(&box);
    QTest::mouseDClick(Child<QLabel>(&box, "Pamet"), Qt::LeftButton);
    EXPECT_TRUE(box.MemoShown());
    EXPECT_TRUE(box.MemoText().contains(QStringLiteral("line of the run log")));
    QPlainTextEdit* memo = Child<QPlainTextEdit>(&box, "Memo");
    EXPECT_EQ(memo->width(), box.width() - 6);
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
    EXPECT_FALSE(box.MemoShown());
    QTest::mouseDClick(Child<QLabel>(&box, "Image1"), Qt::LeftButton);
    EXPECT_TRUE(box.MemoShown());
    EXPECT_FALSE(box.MemoText().contains(QStringLiteral("line of the run log")));
    ClearRunLog();
}

TEST_F(AboutBox, TypedCharactersCloseArrowsDoNot)
{
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Up}) {
        TOAplikaci box(nullptr, Facts(1));
        Show(&box);
        QTest::keyClick(&box, key);
        EXPECT_TRUE(box.isVisible()) << key;
    }
    for (Qt::Key key : {Qt::Key_A, Qt::Key_Escape, Qt::Key_Return, Qt::Key_Backspace}) {
        TOAplikaci box(nullptr, Facts(1));
        Show(&box);
        QTest::keyClick(&box, key);
        EXPECT_FALSE(box.isVisible()) << key;
    }
    TOAplikaci box(nullptr, Facts(3));
    Shot(&box, "about_box");
    QTest::mouseDClick(Child<QLabel>(&box, "Pamet"), Qt::LeftButton);
    Shot(&box, "about_box_memo");
}

} // namespace
