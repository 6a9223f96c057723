// Input of the main window reaching its page: keys and characters, mouse and
// wheel through Qt events, relayout and merged repaints on the timer's ticks;
// and screenshots of the empty page and of a page behind a data window.

#include "main_form_test_support.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace main_test;

namespace {

class MainFormInputTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        if (HasFailure())
            return;
        SetPageHooks(RecordingHooks(log));
        window = MakeStarted();
        ASSERT_FALSE(window->Terminated());
        ASSERT_NE(log.last, nullptr);
        page = log.last;
        // Ticks come from the tests only.
        window->TimerTik()->stop();
    }
    void TearDown() override
    {
        window.reset();
        MainFormFixture::TearDown();
    }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            window->TimerTikTimer();
    }

    PageLog log;
    std::unique_ptr<TMainForm> window;
    RecordingPage* page = nullptr;
};

using Ev = std::pair<int32_t, uint8_t>;

TEST_F(MainFormInputTest, KeysAndCharactersReachThePage)
{
    struct Case {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
        QString text;
        std::vector<int32_t> handled;
        std::vector<Ev> expected;
        bool result;
    };
    const QString c = QString::fromUtf8("č");
    const QString C = QString::fromUtf8("Č");
    const std::vector<Case> cases = {
        {"F1", Qt::Key_F1, Qt::NoModifier, {}, {}, {{112, 0}}, false},
        {"F1 handled", Qt::Key_F1, Qt::NoModifier, {}, {112}, {{112, 0}}, true},
        {"Tab, then its character", Qt::Key_Tab, Qt::NoModifier, "\t", {}, {{9, 0}, {9, 8}, {9, 0}}, false},
        {"Tab handled as a key: no character", Qt::Key_Tab, Qt::NoModifier, "\t", {9}, {{9, 0}}, true},
        {"c-caron typed, then with the real shift",
         Qt::Key_C,
         Qt::NoModifier,
         c,
         {},
         {{0xE8, 8}, {0xE8, 0}},
         false},
        {"capital with Shift", Qt::Key_C, Qt::ShiftModifier, C, {}, {{0xC8, 8}, {0xC8, 1}}, false},
        {"Ctrl+V is 22", Qt::Key_V, Qt::ControlModifier, "v", {}, {{22, 8}, {22, 4}}, false},
        {"a typed character handled at once", Qt::Key_A, Qt::NoModifier, "a", {'a'}, {{'a', 8}}, true},
        {"Alt alone types nothing", Qt::Key_X, Qt::AltModifier, "x", {}, {}, false},
        {"Ctrl+Delete: key with shift flags", Qt::Key_Delete, Qt::ControlModifier, {}, {}, {{46, 4}}, false},
        {"a character outside the code page",
         Qt::Key_unknown,
         Qt::NoModifier,
         QString::fromUtf8("€"),
         {},
         {{0x80, 8}, {0x80, 0}},
         false},
        {"no byte for it", Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("ж"), {}, {}, false},
    };
    for (const Case& k : cases) {
        page->events.clear();
        const auto handled = k.handled;
        page->answer = [handled](int32_t code, uint8_t) {
            for (int32_t h : handled)
                if (h == code)
                    return PageEvent::Consumed;
            return code;
        };
        EXPECT_EQ(window->RouteKey(k.key, k.mods, k.text), k.result) << k.name;
        EXPECT_EQ(page->events, k.expected) << k.name;
    }
}

TEST_F(MainFormInputTest, NothingWhileInputIsBusy)
{
    InputBusy = true;
    EXPECT_FALSE(window->RouteKey(Qt::Key_F1, Qt::NoModifier, {}));
    EXPECT_FALSE(window->RouteKey(Qt::Key_A, Qt::NoModifier, "a"));
    EXPECT_TRUE(page->events.empty());
}

TEST_F(MainFormInputTest, RelayoutAndMergedRepaintsOnEvenTicks)
{
    Ticks(4); // the deferred first paint
    if (window->Tick() % 2 == 1)
        Ticks(1); // on an even tick now: the next one is odd
    const int paints = page->paints;
    const int layouts = page->layouts;
    page->answer = [](int32_t code, uint8_t) {
        return code == 1 ? PageEvent::Relayout : code == 2 ? PageEvent::Repaint : code;
    };
    QWidget* s = window->Surface();
    window->SurfaceMouseDown(Qt::LeftButton, QPoint(5, 5), {});
    window->SurfaceMouseUp(Qt::LeftButton, QPoint(5, 5), {});
    EXPECT_EQ(page->layouts, layouts + 1) << "272 lays the page out";
    EXPECT_EQ(page->paints, paints) << "no paint outside the timer";
    Ticks(1);
    EXPECT_EQ(page->paints, paints) << "odd tick: no paint";
    Ticks(1);
    EXPECT_EQ(page->paints, paints + 1) << "the next even tick paints";

    // Several requests, one paint.
    for (int i = 0; i < 3; ++i) {
        window->SurfaceMouseDown(Qt::RightButton, QPoint(5, 5), {});
        window->SurfaceMouseUp(Qt::RightButton, QPoint(5, 5), {});
    }
    Ticks(2);
    EXPECT_EQ(page->paints, paints + 2);
    Ticks(4);
    EXPECT_EQ(page->paints, paints + 2) << "nothing asked, nothing painted";
    (void)s;
}

TEST_F(MainFormInputTest, QtEventsOnTheWindow)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QWidget* surface = window->Surface();
    page->events.clear();

    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(page->Codes(), (std::vector<int32_t>{270, 1, 270}));

    page->events.clear();
    QWheelEvent up(QPointF(30, 30), surface->mapToGlobal(QPointF(30, 30)), QPoint(), QPoint(0, 120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &up);
    EXPECT_EQ(page->Codes(), std::vector<int32_t>{14});

    page->events.clear();
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
    QTest::keyClick(target, Qt::Key_F1);
    EXPECT_EQ(page->Codes(), std::vector<int32_t>{112}) << "one key press, handled once";

    // A modal dialog takes the keys for itself.
    page->events.clear();
    QDialog dialog(window.get());
    dialog.setModal(true);
    dialog.show();
    QTest::qWait(20);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog, Qt::Key_F1);
    QTest::keyClick(&dialog, Qt::Key_A);
    EXPECT_TRUE(page->events.empty());
    dialog.close();
}

// A data window for the screenshot.
class SampleDataWindow : public QWidget, public TDataForm {
public:
    SampleDataWindow() : QWidget(nullptr), TDataForm(this)
    {
        Kind = 4545;
        auto* l = new QVBoxLayout(this);
        l->addWidget(new QLabel(QString::fromUtf8("Datové okno nad stránkou")));
        setWindowTitle(QStringLiteral("DNA"));
    }
};

TEST_F(MainFormInputTest, KeysInADataWindowReachThePageFirstAndOnce)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* data = new SampleDataWindow;
    auto* edit = new QLineEdit(data);
    data->layout()->addWidget(edit);
    QMdiSubWindow* sub = data->AttachToMdiArea();
    ASSERT_NE(sub, nullptr);
    sub->show();
    window->MdiArea()->setActiveSubWindow(sub);
    edit->setFocus();
    QTest::qWait(10);
    ASSERT_EQ(QApplication::focusWidget(), edit);

    page->events.clear();
    QTest::keyClick(edit, Qt::Key_F1); // ignored by the edit: Qt passes it up the parents
    EXPECT_EQ(page->Codes(), std::vector<int32_t>{112});

    page->events.clear();
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_EQ(page->Codes(), (std::vector<int32_t>{'b', 'b'}));
    EXPECT_EQ(edit->text(), QStringLiteral("b")) << "unhandled, the key goes on to the edit";

    page->answer = [](int32_t code, uint8_t shift) { return shift == PageShift::Typed ? 0 : code; };
    QTest::keyClick(edit, Qt::Key_C);
    EXPECT_EQ(edit->text(), QStringLiteral("b")) << "handled by the page, the edit never sees it";
}

TEST_F(MainFormInputTest, ScreenshotsOfThePages)
{
    window->resize(640, 420);
    window->show();
    QTest::qWait(10);
    Ticks(2);
    const std::string dir = QEVW_BINARY_DIR;
    EXPECT_TRUE(window->grab().save(QString::fromStdString(dir + "/main_form_test_page.png")));

    auto* data = new SampleDataWindow;
    QMdiSubWindow* sub = data->AttachToMdiArea();
    ASSERT_NE(sub, nullptr);
    sub->setGeometry(200, 120, 300, 160);
    sub->show();
    Ticks(2);
    EXPECT_TRUE(window->grab().save(QString::fromStdString(dir + "/main_form_page_behind_data_window.png")));
    EXPECT_GT(window->FramesPainted(), 0u);
    // Destroyed with the data window still open.
    const DataFormRef ref(data);
    window.reset();
    EXPECT_FALSE(ref) << "the data window went with the main window";
}

TEST_F(MainFormFixture, ScreenshotOfTheEmptyPage)
{
    auto w = MakeStarted();
    ASSERT_NE(w->Page(), nullptr);
    EXPECT_EQ(w->Page()->count(), 0);
    w->resize(480, 300);
    w->show();
    w->FormPaint();
    const QImage img = w->grab().toImage();
    EXPECT_TRUE(img.save(QString::fromStdString(std::string(QEVW_BINARY_DIR) + "/main_form_empty_page.png")));
    const QColor form = ColourOfSetting(kDefaultColourTable[2]);
    EXPECT_EQ(img.pixelColor(img.width() / 2, img.height() / 2), form) << "the form's colour";
}

} // namespace
