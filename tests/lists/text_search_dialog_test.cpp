#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/config/stored_paragraphs.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "lists/dialogs/text_search_dialog.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/message_sink.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/bytes.h"
#include "tests/support/text_tables.h"

namespace {

struct TextSearchDialog : liststest::WithApp, ::testing::Test {
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    RecordingMessageSink sink;
    ScopedMessageSink scopedSink{&sink};
    std::string oldData = DataDir();
    int32_t oldTarget = Config().Read([](const ConfigValues& v) { return v.TextTarget; });

    TextSearchDialog() { SetDataDir(QEVW_DEMO_DATA_DIR "/"); }
    ~TextSearchDialog() override
    {
        SetDataDir(oldData);
        Config().Update([this](ConfigValues& v) { v.TextTarget = oldTarget; });
    }

    template <class T>
    static T* Child(QWidget& w, const char* name)
    {
        T* c = w.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    static void Type(TTextSet& d, const QString& text)
    {
        QPlainTextEdit* memo = Child<QPlainTextEdit>(d, "Slova");
        memo->setFocus();
        for (QChar c : text) {
            if (c == '\n')
                QTest::keyClick(memo, Qt::Key_Return);
            else
                QTest::keyClicks(memo, QString(c));
        }
    }

    static void WaitForScan(TTextSet& d)
    {
        for (int i = 0; i < 500 && d.Searching(); ++i)
            QTest::qWait(10);
        ASSERT_FALSE(d.Searching());
    }
};

} // namespace

TEST_F(TextSearchDialog, EnterKeepsWordsApartAndMovesOnToOk)
{
    TextSearchResult out;
    TTextSet d(false, &out);
    d.show();
    QPlainTextEdit* memo = Child<QPlainTextEdit>(d, "Slova");
    Type(d, "amoxicilin\n");
    EXPECT_EQ(memo->toPlainText(), "amoxicilin\n");
    // A line of one character is removed by the next Enter, which goes no further.
    Type(d, "x\n");
    EXPECT_EQ(memo->toPlainText(), "amoxicilin\n");
    // Enter twice ends the words.
    Type(d, "voda\n\n");
    EXPECT_EQ(memo->toPlainText(), "amoxicilin\nvoda\n");
    EXPECT_EQ(d.focusWidget(), Child<QPushButton>(d, "OKBtn"));
    // Five lines: the Enter after the fifth goes to OK at once.
    memo->setPlainText("aa\nbb\ncc\ndd\nee");
    memo->moveCursor(QTextCursor::End);
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(memo->toPlainText(), "aa\nbb\ncc\ndd\nee");
    EXPECT_EQ(d.focusWidget(), Child<QPushButton>(d, "OKBtn"));
    // Characters the data cannot hold are refused, typed or pasted.
    memo->setPlainText(QString::fromUtf8("čaj\xE2\x98\x83"));
    EXPECT_EQ(memo->toPlainText(), QString::fromUtf8("čaj"));
}

TEST_F(TextSearchDialog, FirstOkSearchesSecondOkReturnsTheRecords)
{
    TextSearchResult out;
    TTextSet d(false, &out);
    d.SetWorkers(3);
    d.show();
    liststest::SaveShot(d.grab().toImage(), "text_set_small.png");
    EXPECT_FALSE(Child<QWidget>(d, "Vysledky")->isVisible());
    Type(d, "amoxicilin\ntableta");
    QTest::mouseClick(Child<QPushButton>(d, "OKBtn"), Qt::LeftButton);
    EXPECT_TRUE(d.Expanded());
    WaitForScan(d);
    const QStringList counts = Child<QPlainTextEdit>(d, "Poc")->toPlainText().split('\n');
    ASSERT_EQ(counts.size(), 2);
    const QRegularExpression count("^ *[0-9]{1,}x$");
    EXPECT_TRUE(count.match(counts[0]).hasMatch()) << counts[0].toStdString();
    EXPECT_NE(counts[0], "   0x");
    EXPECT_FALSE(Child<QPlainTextEdit>(d, "Ukazky")->toPlainText().trimmed().isEmpty());
    EXPECT_EQ(Child<QProgressBar>(d, "Progres")->value(), 100);
    EXPECT_TRUE(Child<QPushButton>(d, "OKBtn")->isVisible());
    liststest::SaveShot(d.grab().toImage(), "text_set_found.png");

    QTest::mouseClick(Child<QPushButton>(d, "OKBtn"), Qt::LeftButton);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(out.words.count, 2);
    EXPECT_EQ(out.letter, 'k');
    ASSERT_FALSE(out.entries.empty());
    for (uint32_t e : out.entries)
        EXPECT_NE(text_search::ResultWords(e), 0);
    EXPECT_EQ(Config().Read([](const ConfigValues& v) { return v.TextTarget; }), 0);
}

TEST_F(TextSearchDialog, CancelStopsTheScanThenClosesWithoutResult)
{
    TextSearchResult out;
    TTextSet d(false, &out);
    d.SetWorkers(1);
    d.show();
    Type(d, "a");
    QTest::mouseClick(Child<QPushButton>(d, "OKBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(d, "CancelBtn"), Qt::LeftButton);
    // Stopped, still open, OK offered for what was found.
    EXPECT_FALSE(d.Searching());
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(Child<QPushButton>(d, "OKBtn")->isVisible());
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_TRUE(out.entries.empty());

    // Stopped, then confirmed: what was found is handed over.
    TTextSet kept(false, &out);
    kept.SetWorkers(1);
    kept.show();
    Type(kept, "a");
    QTest::mouseClick(Child<QPushButton>(kept, "OKBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(kept, "CancelBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(kept, "OKBtn"), Qt::LeftButton);
    EXPECT_EQ(kept.result(), QDialog::Accepted);
    EXPECT_EQ(out.words.count, 1);
    EXPECT_EQ(out.words.word[0], "a ");
}

TEST_F(TextSearchDialog, DocumentFamiliesAndTheFilterButton)
{
    Config().Update([](ConfigValues& v) { v.TextTarget = 2; });
    {
        TTextSet d(false, nullptr);
        d.show();
        EXPECT_EQ(d.Letter(), 'L');
        EXPECT_TRUE(Child<QRadioButton>(d, "KdeL")->isChecked());
        EXPECT_FALSE(Child<QToolButton>(d, "FiltrBtn")->isEnabled());
        Child<QRadioButton>(d, "KdeS")->click();
        EXPECT_EQ(d.Letter(), 'S');
        EXPECT_TRUE(Child<QToolButton>(d, "FiltrBtn")->isEnabled());
    }
    {
        TTextSet goods(true, nullptr);
        goods.show();
        EXPECT_EQ(goods.Letter(), 'r');
        EXPECT_TRUE(Child<QRadioButton>(goods, "KdeC")->isVisible());
        EXPECT_FALSE(Child<QRadioButton>(goods, "KdeC")->isEnabled());
        EXPECT_FALSE(Child<QRadioButton>(goods, "KdeA")->isVisible());
        EXPECT_FALSE(Child<QRadioButton>(goods, "KdeS")->isVisible());
    }
    // The button pressed runs the chooser for the letter in use.
    std::vector<char> asked;
    TextSearchChooser old = SetTextSearchChooser([&](char letter) {
        asked.push_back(letter);
        return true;
    });
    {
        TTextSet d(false, nullptr);
        d.show();
        Child<QRadioButton>(d, "KdeA")->click();
        QTest::mouseClick(Child<QToolButton>(d, "FiltrBtn"), Qt::LeftButton);
    }
    SetTextSearchChooser(old);
    EXPECT_EQ(asked, std::vector<char>{'E'});
}

TEST_F(TextSearchDialog, AFilterSwitchedOffStaysOffAndKept)
{
    TextTablePtr dataTexts;
    ASSERT_GE(LoadTextTable(dataTexts, QEVW_DEMO_DATA_DIR "/kalvo.ces"), TextTableResult::FirstSuccess);
    test_support::ScopedTextTable scopedData(DataTexts, dataTexts);
    LoadParagraphLists();
    const std::string oldSlot = StoredParagraphSelection(kParagraphFilterMode, 'S');
    Config().Update([](ConfigValues& v) { v.TextTarget = 3; });
    StoreParagraphSelection(kParagraphFilterMode, 'S', "\x45");
    {
        TTextSet d(false, nullptr);
        d.show();
        QToolButton* button = Child<QToolButton>(d, "FiltrBtn");
        ASSERT_TRUE(button->isChecked()); // section 4.5 chosen
        EXPECT_TRUE(button->font().bold());
        liststest::SaveShot(d.grab().toImage(), "text_set_filter.png");
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(button->isChecked());
        EXPECT_FALSE(button->font().bold());
    }
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'S'), "\x45\xFF");
    {
        TTextSet d(false, nullptr);
        EXPECT_FALSE(Child<QToolButton>(d, "FiltrBtn")->isChecked());
    }
    StoreParagraphSelection(kParagraphFilterMode, 'S', oldSlot);
    LoadParagraphLists();
}

TEST_F(TextSearchDialog, TheFilterButtonRunsTheChooserIntoTheSearchSlot)
{
    TextTablePtr dataTexts;
    ASSERT_GE(LoadTextTable(dataTexts, QEVW_DEMO_DATA_DIR "/kalvo.ces"), TextTableResult::FirstSuccess);
    test_support::ScopedTextTable scopedData(DataTexts, dataTexts);
    LoadParagraphLists();
    const std::string oldSlot = StoredParagraphSelection(kParagraphFilterMode, 'S');
    StoreParagraphSelection(kParagraphFilterMode, 'S', "");
    Config().Update([](ConfigValues& v) { v.TextTarget = 3; });
    // The chooser the program installs at start-up.
    TextSearchChooser old = SetTextSearchChooser({});
    InstallTextSearchChooser();

    // Runs `act` on the chooser once it is open; false when none opened.
    auto withChooser = [](std::function<void(TVybOdst&)> act) {
        auto seen = std::make_shared<bool>(false);
        QTimer::singleShot(0, [seen, act] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* chooser = dynamic_cast<TVybOdst*>(w); chooser && chooser->isVisible()) {
                    *seen = true;
                    act(*chooser);
                    if (chooser->isVisible())
                        chooser->reject(); // never leave the test waiting
                }
        });
        return seen;
    };

    TTextSet d(false, nullptr);
    d.show();
    QToolButton* button = Child<QToolButton>(d, "FiltrBtn");
    ASSERT_FALSE(button->isChecked());

    // Escape: the chooser closes, nothing is stored, the button stays up.
    bool closedByEscape = false;
    auto seen = withChooser([&](TVybOdst& chooser) {
        EXPECT_EQ(chooser.Model().Kind(), 'S');
        EXPECT_EQ(chooser.Model().Mode(), kParagraphFilterMode);
        QTest::keyClick(chooser.kbd, Qt::Key_Escape);
        closedByEscape = !chooser.isVisible();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(closedByEscape);
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'S'), "");
    EXPECT_FALSE(button->isChecked());

    // Section 4 excluded and confirmed: the choice is the search's filter.
    std::string chosen;
    seen = withChooser([&](TVybOdst& chooser) {
        const ParagraphChooserModel& m = chooser.Model();
        auto onGroup4 = [&m] {
            return m.Current() >= 0 && m.Entries()[static_cast<size_t>(m.Current())].code == 0x40;
        };
        for (int i = 0; i < 20 && !onGroup4(); ++i)
            QTest::keyClick(chooser.kbd, Qt::Key_Down);
        ASSERT_TRUE(onGroup4());
        QTest::keyClicks(chooser.kbd, "?");
        chosen = m.Selection();
        chooser.bOK->click();
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(*seen);
    ASSERT_FALSE(chosen.empty());
    EXPECT_EQ(StoredParagraphSelection(kParagraphFilterMode, 'S'), chosen);
    const std::string filter = EncodeParagraphSet(chosen, 'S');
    EXPECT_EQ(filter, test_support::Bytes({0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4C, '-'}));
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(button->font().bold());
    EXPECT_EQ(button->toolTip(), KamToQString(ParagraphSetText(filter, 'S')));

    SetTextSearchChooser(old);
    StoreParagraphSelection(kParagraphFilterMode, 'S', oldSlot);
    LoadParagraphLists();
}
