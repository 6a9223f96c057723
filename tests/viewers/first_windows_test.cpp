// The windows a new user opens first, on the demo data in a main window of
// 1400 x 900 (offscreen): the drug name list from the main window, then the
// leaflet and the product data of the product it stands on.  Each must be
// usable: maximised, or at its design size inside the data area.

#include <gtest/gtest.h>

#include <QMdiSubWindow>
#include <QTest>

#include "frame/hooks.h"
#include "lists/drugs/drug_lists.h"
#include "tests/lists/lists_test_support.h"
#include "viewers/viewer_window.h"

namespace {

using liststest::Settle;

class FirstWindows : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        liststest::PrepareDrugLists();
        savedViewers_ = SetViewerServices({});
        SetViewerServices(savedViewers_);
        RegisterRecordViewerFactory();
        host->resize(1400, 900);
        Settle();
    }
    void TearDown() override
    {
        DemoListsTest::TearDown();
        SetViewerServices(std::move(savedViewers_));
        OpenTable(MainTable, TFileId(), TFileId(), 0);
        DbStatus = 0;
    }

    TDataForm* Newest(const char* code) const
    {
        TDataForm* found = nullptr;
        for (TDataForm* f : AllDataForms())
            if (f->Kind == KindOf(code) && f->SubWindow() != nullptr)
                found = f;
        return found;
    }
    QSize Client() const { return host->area->viewport()->size(); }

    // Shown normal: its design size (cut to the data area), all of it inside.
    void ExpectAtDesignSize(TDataForm* f) const
    {
        QMdiSubWindow* sub = f->SubWindow();
        ASSERT_NE(sub, nullptr);
        EXPECT_FALSE(sub->isMaximized());
        const QSize design = f->DesignSize().grownBy(sub->contentsMargins()).boundedTo(Client());
        EXPECT_EQ(sub->size(), design.expandedTo(sub->minimumSizeHint()));
        EXPECT_GE(sub->width(), 300);
        EXPECT_GE(sub->height(), 200);
        EXPECT_TRUE(QRect(QPoint(0, 0), Client()).contains(sub->geometry())) << sub->x() << "," << sub->y();
    }

private:
    ViewerServices savedViewers_;
};

} // namespace

TEST_F(FirstWindows, MaximisedListThenLeafletStayMaximisedAndRestoreToTheirDesignSizes)
{
    OpenDrugList(KindOf("DNA"));
    Settle();
    TVyb* list = ListOf("DNA");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->SubWindow()->isMaximized()) << "opened from the main window";
    QTest::keyClicks(list->Edt, "paramed");
    Settle();

    ExecuteCommand(list, KindOf("dLL"), 0);
    Settle();
    TDataForm* leaflet = Newest("dLL");
    ASSERT_NE(leaflet, nullptr);
    EXPECT_EQ(leaflet->Master.get(), list);
    EXPECT_EQ(ActiveDataForm(), leaflet);
    EXPECT_TRUE(leaflet->SubWindow()->isMaximized()) << "the window below is maximised";
    EXPECT_TRUE(list->SubWindow()->isMaximized()) << "and stays so behind it";
    EXPECT_EQ(leaflet->SubWindow()->size(), Client());

    // The Window menu's way back to the list keeps both maximised.
    host->area->setActiveSubWindow(list->SubWindow());
    Settle();
    EXPECT_TRUE(list->SubWindow()->isMaximized());
    EXPECT_TRUE(leaflet->SubWindow()->isMaximized());

    // Restored, each shows at its design size.
    leaflet->SubWindow()->showNormal();
    list->SubWindow()->showNormal();
    Settle();
    ExpectAtDesignSize(list);
    ExpectAtDesignSize(leaflet);
    EXPECT_NE(leaflet->SubWindow()->pos(), list->SubWindow()->pos()) << "cascaded, not one over the other";
}

TEST_F(FirstWindows, UnderANormalListTheLeafletAndTheProductDataOpenAtTheirDesignSizes)
{
    OpenDrugList(KindOf("DNA"));
    Settle();
    TVyb* list = ListOf("DNA");
    ASSERT_NE(list, nullptr);
    list->SubWindow()->showNormal();
    Settle();
    ExpectAtDesignSize(list);
    QTest::keyClicks(list->Edt, "paramed");
    Settle();

    for (const char* code : {"dLL", "dMA"}) {
        SCOPED_TRACE(code);
        host->area->setActiveSubWindow(list->SubWindow());
        ExecuteCommand(list, KindOf(code), 0);
        Settle();
        TDataForm* viewer = Newest(code);
        ASSERT_NE(viewer, nullptr);
        ExpectAtDesignSize(viewer);
        EXPECT_GE(viewer->SubWindow()->width(), 500) << "about 80 characters of the text font";
    }
}
