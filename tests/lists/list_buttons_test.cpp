// The list's own buttons: a button without a popup runs its command, one
// with a popup opens its menu of items, and the items of "D" and "S" filter
// the rows through the Command callback.

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTest>

#include "lists/list_fake.h"

using namespace listfake;
using liststest::Settle;

namespace {

class ListButtons : public FakeListTest {};

QStringList ItemNames(const QMenu* menu)
{
    QStringList names;
    for (const QAction* a : menu->actions())
        names << a->objectName() + (a->isChecked() ? QStringLiteral("^") : QString());
    return names;
}

} // namespace

TEST_F(ListButtons, APopupButtonOpensItsMenuAndTheItemsFilterTheRows)
{
    FakeList& list = List(NumberedRows(60));
    TVyb* w = Open(list, 10, Options(7, '9', "?DS"), 640);
    const struct {
        QToolButton* button;
        QStringList items; // names, "^" checked
        int item;          // the item chosen
        uint16_t command;
        std::vector<int32_t> firstRowsAux; // record numbers of the first rows after it
        bool down;
    } cases[] = {
        {w->FnDrug, {"D0^", "D1", "D2"}, 1, ('D' << 8) + '1', {1, 3, 5}, true},
        {w->FnDrug, {"D0^", "D1", "D2"}, 0, ('D' << 8) + '0', {1, 2, 3}, false},
        {w->FnSortim, {"S0^", "S1"}, 1, ('S' << 8) + '1', {4, 14, 24}, true}, // the names with "Ž"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const bool downBefore = c.button->isChecked();
        list.commands.clear();
        c.button->click();
        EXPECT_TRUE(w->Pop->isVisible());
        EXPECT_EQ(c.button->isChecked(), downBefore) << "the menu decides";
        EXPECT_TRUE(list.commands.empty()) << "no command before an item is chosen";
        EXPECT_EQ(ItemNames(w->Pop), c.items);
        EXPECT_EQ(w->Pop->actions()[1]->text(),
                  QString::fromUtf8(c.button == w->FnDrug ? "Jen sudé" : "Jen s \"Ž\""));
        // The menu opens at the button's top right corner.
        const QPoint corner = c.button->mapToGlobal(QPoint(c.button->width() - 2, 2));
        EXPECT_LE((w->Pop->pos() - corner).manhattanLength(), 2);
        if (c.command == ('D' << 8) + '1') {
            liststest::SaveShot(w->grab().toImage(), "list_popup_button.png");
            liststest::SaveShot(w->Pop->grab().toImage(), "list_popup_menu.png");
        }
        w->Pop->actions()[c.item]->trigger();
        w->Pop->hide();
        ASSERT_EQ(list.commands.size(), 1u);
        EXPECT_EQ(list.commands[0], c.command);
        for (size_t i = 0; i < c.firstRowsAux.size(); ++i)
            EXPECT_EQ(w->Rec.Rows[i + 1].Aux, c.firstRowsAux[i]) << "row " << i + 1;
        EXPECT_EQ(c.button->isChecked(), c.down);
        EXPECT_EQ(c.button->font().bold(), c.down && c.button == w->FnDrug) << "\"D\" draws it red and bold";
    }
}

TEST_F(ListButtons, ADirectButtonRunsItsCommandThenItsKeyAction)
{
    FakeList& list = List(NumberedRows(60));
    TVyb* w = Open(list, 10, Options(7, '9', "EX"), 640);
    w->MarkFirst = 2;
    w->MarkLast = 5;
    list.commands.clear();
    const int fetches = list.fetches;
    w->FnExsDrg->click();
    ASSERT_FALSE(list.commands.empty());
    EXPECT_EQ(list.commands[0], 385); // the button's command
    EXPECT_FALSE(w->Pop->isVisible());
    EXPECT_GT(list.fetches, fetches) << "the callback's 296 refilled the rows";
    // The callback switched to a walk over RecArr: the old marks name other rows.
    EXPECT_EQ(w->MarkFirst, -1);
    EXPECT_EQ(w->MarkLast, -1);

    // "X" shows and hides the grid.
    ASSERT_FALSE(w->Tb->isHidden());
    w->FnDupKik->click();
    EXPECT_TRUE(w->Tb->isHidden());
    EXPECT_TRUE(w->ScVert->isHidden());
    w->FnDupKik->click();
    EXPECT_FALSE(w->Tb->isHidden());
    EXPECT_TRUE(list.commands.size() == 1u) << "X calls no command";
}
