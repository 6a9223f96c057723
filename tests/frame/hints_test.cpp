// The list buttons' hints and the main window's shared hint window.

#include <gtest/gtest.h>

#include <QDir>

#include <string>

#include "frame/pages/hint_window.h"
#include "frame/pages/hints.h"
#include "start_fixtures.h"
#include "tests/support/text_tables.h"

using Texts = test_support::ScopedTexts;

namespace {

TEST(Hints, ButtonHintTexts)
{
    Texts t("[Cudl]\nkbd=K\nwhit=W\nwhit1=on\nwhit0=off\nwhi=N\ncolt=C\ncolt1=c1\ncolt0=c0\ncol0==\n"
            "tabt=Tab\ntab1=T1\ntab0=T0\nhor=H\nver=V\n",
            "[X]\na=b\n");
    struct Case {
        char symbol;
        int mode;
        bool state;
        std::string text;
    };
    const Case cases[] = {
        {')', 0, true, "W\ron"},        {')', 0, false, "W\roff"}, {')', 1, true, "N"},
        {'=', 0, true, "C\rc1"},        {'=', 1, false, "="},      {'=', 1, true, ""},
        {'>', 0, true, "Tab"},          {'>', 1, true, "T1"},      {'>', 1, false, "T0"},
        {'-', 0, false, "H"},           {'-', 1, false, ""},       {'|', 0, false, "V"},
        {'&', 1, false, "K"},           {'x', 0, false, ""},       {')', 2, false, ""},
        {'*', 1, false, "!! Cudl.sla"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonHintText(c.symbol, c.mode, c.state), c.text) << c.symbol << c.mode << c.state;
}

TEST(Hints, ScreenshotOfTheHintWindow)
{
    start_test::EnsureApp();
    TMyHintWindow hint;
    SetSharedHintWindow(&hint);
    hint.ShowHint(QPoint(20, 20), QStringLiteral("Našeptávač\nzapnut: nabízí podobně psané názvy"));
    HintShown = true;
    EXPECT_TRUE(hint.isVisible());
    QDir().mkpath(QStringLiteral(QEVW_BINARY_DIR "/screenshots"));
    EXPECT_TRUE(hint.grab().save(QStringLiteral(QEVW_BINARY_DIR "/screenshots/hint_window.png")));
    HideHint();
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(HintShown);
    SetSharedHintWindow(nullptr);
}

} // namespace
