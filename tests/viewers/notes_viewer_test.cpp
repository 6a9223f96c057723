// The notes window on the demo drugs with a notes set of the writer,
// offscreen: showing, the missing-note pictures, selecting and copying,
// editing with its locks and boxes, and closing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/windows/data_form.h"
#include "platform/fs.h"
#include "platform/message_sink.h"
#include "support/failing_file_system.h"
#include "tests/support/gui_app.h"
#include "viewers/notes_viewer.h"
#include "writers/notes_writer.h"

namespace {

std::string DemoDir()
{
    return std::string(QEVW_DEMO_DATA_DIR) + "/";
}

std::string Read(const std::string& path)
{
    std::string s;
    return ReadWholeFile(path, s) == 0 ? s : std::string("<missing>");
}

class NotesViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        SetDataDir(DemoDir());
        ASSERT_GE(LoadTextTable(DataTexts, DemoDir() + "kalvo.ces"), TextTableResult::FirstSuccess);
        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
                  TextTableResult::FirstSuccess);
        ASSERT_TRUE(dir.isValid());
        base = dir.path().toStdString() + "/NOTES";
        TDbTable kl;
        OpenTable(kl, TFileId("kl"), TFileId(""), kKlLayout.Length());
        ASSERT_EQ(DbStatus, 0);
        records = kl.dat.count;
        for (int32_t r : {1, 2, 3}) {
            std::string rec;
            ReadRecord(kl.dat, r, rec);
            lines.push_back(FormatDrugLine(rec));
        }
        OpenTable(kl, TFileId(), TFileId(), 0);
        note = "01" + lines[0] + "\r\n01" + lines[1] + "\r\nfirst free line\r\n\r\nafter a break\r\n";
        ASSERT_EQ(WriteNotesSet(base, {{note, {1, 2}}}, records), 0);
    }

    TProhlizec* Open(int32_t record, int height = 360)
    {
        auto* w = new TProhlizec;
        w->SetNotesBase(base);
        w->resize(520, height);
        w->show();
        w->ResetData(record);
        return w;
    }

    QTemporaryDir dir;
    std::string base, note;
    std::vector<std::string> lines;
    int32_t records = 0;
    RecordingMessageSink boxes{MessageAnswer::Yes};
    ScopedMessageSink installed{&boxes};
};

TEST_F(NotesViewerTest, ANoteShowsItsRecordLinesAndScrollsToTheFreeText)
{
    // Three rows: the five lines scroll.
    TProhlizec* w = Open(2, 90);
    EXPECT_FALSE(w->IsEmpty());
    EXPECT_FALSE(w->Picture(1)->isVisible());
    EXPECT_TRUE(w->Button("FnSlave")->isVisible());
    ASSERT_GE(w->Lines().size(), 5u);
    const std::string& text = w->Display().text;
    EXPECT_EQ(text.compare(w->Lines()[0], 7, lines[0].substr(0, 7)), 0);
    EXPECT_EQ(text.compare(w->Lines()[1], 7, lines[1].substr(0, 7)), 0);
    // Scrolled down as far as the free text needs: its first line shows.
    size_t first = 0;
    while (first < w->Lines().size() && text.compare(w->Lines()[first], 5, "first") != 0)
        ++first;
    ASSERT_LT(first, w->Lines().size());
    EXPECT_GT(w->TopLine(), 0);
    EXPECT_LE(static_cast<size_t>(w->TopLine()), first);

    // Another drug without a note: the two pictures.
    w->ResetData(3);
    EXPECT_TRUE(w->IsEmpty());
    EXPECT_TRUE(w->Picture(1)->isVisible());
    EXPECT_TRUE(w->Picture(2)->isVisible());
    EXPECT_FALSE(w->Button("FnSlave")->isVisible()) << "nothing to follow past";
    EXPECT_TRUE(w->Following()) << "hidden, it still follows";
    // Each shows its picture: drawn, not a blank square.
    for (int which : {1, 2}) {
        const QImage image = w->Picture(which)->pixmap().toImage();
        ASSERT_FALSE(image.isNull()) << which;
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        EXPECT_GE(colours.size(), 3) << which;
    }
    w->close();
}

TEST_F(NotesViewerTest, DraggingSelectsWholeLinesAndCopiesThemAsRtf)
{
    TProhlizec* w = Open(1, 90); // scrolled to the free text
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(40, 1));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(40, w->LineHeight() * 2 - 1));
    ASSERT_TRUE(w->HasSelection());
    w->Schrankuj();
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    const QByteArray rtf = mime->data(QStringLiteral("text/rtf")).isEmpty()
                               ? mime->data(QStringLiteral("application/rtf"))
                               : mime->data(QStringLiteral("text/rtf"));
    EXPECT_TRUE(rtf.contains("first free line")) << rtf.toStdString();
    EXPECT_FALSE(rtf.contains(QByteArray::fromStdString(lines[0].substr(0, 7))));
    w->close();
}

TEST_F(NotesViewerTest, AnEditIsSavedUnderItsLockWhichGoesAfterwards)
{
    TProhlizec* w = Open(1);
    w->Button("FnEdit")->click();
    ASSERT_TRUE(w->Editing());
    EXPECT_TRUE(FileExists(base + ".SMF"));
    QPlainTextEdit* memo = w->Editor();
    EXPECT_TRUE(memo->toPlainText().startsWith(QStringLiteral("01")));
    memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(memo, QStringLiteral(" and more"));
    w->Button("FnEdit")->click();
    EXPECT_FALSE(w->Editing());
    EXPECT_FALSE(FileExists(base + ".SMF"));
    EXPECT_NE(w->Display().text.find("after a break and more"), std::string::npos);
    EXPECT_TRUE(boxes.Requests().empty());

    // Cancel drops the change.
    w->Button("FnEdit")->click();
    QTest::keyClicks(w->Editor(), QStringLiteral("lost"));
    w->Button("FnCancel")->click();
    EXPECT_EQ(w->Display().text.find("lost"), std::string::npos);
    EXPECT_FALSE(FileExists(base + ".SMF"));
    w->close();
}

TEST_F(NotesViewerTest, ASaveLeavesTheListsTheirNoteMarks)
{
    UserFileHooks hooks = SetUserFileHooks({});
    const UserFileHooks old = hooks;
    hooks.notesFolder = [this] { return dir.path().toStdString() + "/"; };
    hooks.notesName = [] { return std::string("NOTES"); };
    SetUserFileHooks(hooks);
    RequestNoteMarksReload();
    LoadNoteMarks();
    ASSERT_TRUE(NoteMarksHas(*NoteMarksSnapshot(), 1));

    TProhlizec* w = Open(3);
    w->Button("FnEdit")->click(); // a new note, confirmed with Yes
    ASSERT_TRUE(w->Editing());
    w->Editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(w->Editor(), QStringLiteral(" marked"));
    w->Button("FnEdit")->click();
    ASSERT_FALSE(w->Editing());
    EXPECT_TRUE(NotesEnabled());
    EXPECT_TRUE(NoteMarksOn());
    for (int32_t r : {1, 2, 3})
        EXPECT_TRUE(NoteMarksHas(*NoteMarksSnapshot(), r)) << r;
    w->close();
    SetUserFileHooks(old);
    RequestNoteMarksReload();
    LoadNoteMarks();
}

TEST_F(NotesViewerTest, ANewNoteStartsWithTheRecordLine)
{
    TProhlizec* w = Open(3);
    boxes.SetAnswer(MessageAnswer::No);
    w->Button("FnEdit")->click();
    EXPECT_FALSE(w->Editing()) << "No gives the new note up";
    EXPECT_FALSE(w->Button("FnEdit")->isChecked());
    boxes.SetAnswer(MessageAnswer::Yes);
    w->Button("FnEdit")->click();
    ASSERT_EQ(boxes.Requests().size(), 2u);
    EXPECT_EQ(boxes.Requests()[1].buttons, MessageButtons::YesNo);
    ASSERT_TRUE(w->Editing());
    EXPECT_EQ(w->Editor()->toPlainText(), KamToQString("01" + lines[2]));
    w->Editor()->moveCursor(QTextCursor::End);
    QTest::keyClick(w->Editor(), Qt::Key_Return);
    QTest::keyClicks(w->Editor(), QStringLiteral("new note"));
    w->Button("FnEdit")->click();
    EXPECT_FALSE(w->IsEmpty());
    const std::string pnt = Read(base + ".PNT");
    EXPECT_NE(static_cast<unsigned char>(pnt[6]) | static_cast<unsigned char>(pnt[7]) << 8, 0xFFFF);
    w->close();
}

TEST_F(NotesViewerTest, AForeignLockIsWarnedAboutAndNeverRemoved)
{
    ASSERT_EQ(WriteFileAtomic(base + ".SMF", "theirs"), 0);
    TProhlizec* w = Open(1);
    boxes.SetAnswer(MessageAnswer::Ok); // gives up
    w->Button("FnEdit")->click();
    EXPECT_FALSE(w->Editing());
    boxes.SetAnswer(MessageAnswer::Cancel); // goes on
    w->Button("FnEdit")->click();
    EXPECT_TRUE(w->Editing());
    w->Button("FnCancel")->click();
    w->close();
    QApplication::processEvents();
    EXPECT_EQ(Read(base + ".SMF"), "theirs");
    EXPECT_EQ(boxes.Requests().size(), 2u);
}

TEST_F(NotesViewerTest, AFolderThatTakesNoFileRefusesTheEdit)
{
    TProhlizec* w = Open(1);
    test_support::FailingFileSystem fs;
    fs.failAt = test_support::FailingFileSystem::Step::Create;
    w->SetFileSystem(&fs);
    w->Button("FnEdit")->click();
    EXPECT_FALSE(w->Editing());
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_TRUE(boxes.Requests()[0].text.contains(QStringLiteral("NOTES.PNT")));
    EXPECT_FALSE(FileExists(base + ".SMF"));
    w->close();
}

TEST_F(NotesViewerTest, ClosingWithChangesAsksAndADetachKeepsTheEditor)
{
    TProhlizec* w = Open(1);
    w->Button("FnEdit")->click();
    QTest::keyClicks(w->Editor(), QStringLiteral("x"));
    // The master goes away: the window detaches instead of closing.
    w->ResetData(-1);
    EXPECT_TRUE(w->Editing());
    boxes.SetAnswer(MessageAnswer::Cancel); // stay
    EXPECT_FALSE(w->close());
    boxes.SetAnswer(MessageAnswer::No); // discard
    EXPECT_TRUE(w->close());
    QApplication::processEvents();
    EXPECT_FALSE(FileExists(base + ".SMF"));
}

} // namespace
