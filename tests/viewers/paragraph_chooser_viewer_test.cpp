// The viewer's filter button opens the paragraph chooser, and what the
// chooser stores is what the viewer shows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/paragraph_codes.h"
#include "frame/start/command_line.h"
#include "frame/stored_paragraphs.h"
#include "lists/nul_edit.h"
#include "lists/paragraph_chooser.h"
#include "platform/coding.h"
#include "platform/message_sink.h"
#include "tests/support/gui_app.h"
#include "viewers/viewer_window.h"

namespace {

std::string DemoDir()
{
    return std::string(QEVW_DEMO_DATA_DIR) + "/";
}

// A registered drug with a summary of product characteristics.
int32_t DrugWithSummary()
{
    TDbTable t;
    OpenTable(t, TFileId("kl"), TFileId(""), 346);
    for (int32_t r = 1; r < t.dat.count; ++r) {
        std::string rec;
        ReadRecord(t.dat, r, rec);
        const std::string_view offset = FieldBytes(rec, kKlLayout.Field("SC"));
        const int32_t v = offset.size() == 4 ? static_cast<int32_t>(DecodeLE32(offset.data())) : 0;
        if (v >= 16 && FieldByte(rec, kKlLayout.Field("SR")) == 'R')
            return r;
    }
    return 0;
}

TEST(ParagraphChooserViewer, TheFilterButtonOpensTheChooser)
{
    test_support::EnsureGuiApp();
    BuildKamTables();
    SetDataDir(DemoDir());
    ProgramStart().ProgramFolder = std::string(QEVW_PROGRAM_DIR) + "/";
    ASSERT_GE(LoadTextTable(DataTexts, DemoDir() + "kalvo.ces"), TextTableResult::FirstSuccess);
    ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"), TextTableResult::FirstSuccess);
    LoadCodeTables(DataSetCode::Drugs, 0);
    LoadParagraphLists();
    RecordingMessageSink sink;
    ScopedMessageSink scopedSink{&sink};
    const ConfigValues saved = Config().Snapshot();
    StoreParagraphSelection('V', 'S', {}, 0);

    const int32_t spc = DrugWithSummary();
    ASSERT_GT(spc, 0);
    TProhlizecN v;
    v.resize(800, 600);
    v.DocumentKind = 'S';
    v.LinkKinds[0] = 6;
    v.SetupViewerTitle("T: ");
    v.ResetData(spc);
    const int allTabs = v.Tabs()->count();
    ASSERT_TRUE(v.ShowAll());

    // In the chooser: group 4 left out ("?" on its heading), highlighted
    // ("1"), confirmed.
    char kind = 0, mode = 0;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TVybOdst*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        kind = d->Model().Kind();
        mode = d->Model().Mode();
        QTest::keyClick(d->kbd, Qt::Key_Home);
        for (int guard = 0; guard < 20 && d->Model().Entries()[static_cast<size_t>(d->Model().Current())].code != 0x40;
             ++guard)
            QTest::keyClick(d->kbd, Qt::Key_Down);
        QTest::keyClicks(d->kbd, "?1");
        d->bOK->click();
    });
    QToolButton* filter = v.Button("FnParagr");
    ASSERT_NE(filter, nullptr);
    filter->click();
    EXPECT_EQ(kind, 'S');
    EXPECT_EQ(mode, 'V');
    EXPECT_FALSE(v.ShowAll());
    EXPECT_EQ(StoredParagraphHighlight('S'), 0x40);
    EXPECT_NE(StoredParagraphSelection('V', 'S').find('\x40'), std::string::npos);
    QStringList labels;
    for (int i = 0; i < v.Tabs()->count(); ++i)
        labels << v.Tabs()->tabText(i);
    EXPECT_LT(v.Tabs()->count(), allTabs);
    EXPECT_FALSE(labels.contains("4.2")) << labels.join(' ').toStdString();
    EXPECT_TRUE(labels.contains("5.1")) << labels.join(' ').toStdString();

    // Back to all: the next viewer of the kind opens showing all, the
    // choice kept behind the show-all byte.
    filter->click();
    EXPECT_TRUE(v.ShowAll());
    const std::string stored = StoredParagraphSelection('V', 'S');
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(static_cast<uint8_t>(stored.back()), 255);
    Config().Update([&saved](ConfigValues& c) { c = saved; });
}

} // namespace
