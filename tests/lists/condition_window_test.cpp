// The condition window driven as a user drives it (menu items, the ATC
// chooser with typed keys, the mask edit), the search it runs, and the drug
// result lists it and the medication requests open.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "datastore/db_status.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "frame/commands/kind_code.h"
#include "frame/windows/main_form.h"
#include "lists/conditions/condition_search.h"
#include "lists/conditions/condition_window.h"
#include "lists/conditions/result_lists.h"
#include "tests/lists/lists_test_support.h"

namespace {

using liststest::Settle;

// The rows of a demo source as field maps (quoted fields may hold commas).
std::vector<std::map<std::string, std::string>> DemoRows(const char* file)
{
    std::ifstream in(std::string(QEVW_SOURCE_DIR "/demo/") + file);
    std::vector<std::string> header;
    std::vector<std::map<std::string, std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells(1);
        bool quoted = false;
        for (char c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                cells.emplace_back();
            else
                cells.back() += c;
        }
        if (header.empty()) {
            header = cells;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < cells.size(); ++i)
            row[header[i]] = cells[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::map<std::string, std::string>> DemoDrugs()
{
    return DemoRows("kl.csv");
}

class ConditionWindow : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        liststest::PrepareDrugLists();
    }
    void TearDown() override
    {
        SetCurrentDataSet(DataSetCode::Drugs);
        DemoListsTest::TearDown();
        DbStatus = 0;
    }

    TPodminka* Open(const char* command = "XQD")
    {
        ExecuteCommand(host, KindOf(command), 0);
        Settle();
        TPodminka* found = nullptr;
        for (TDataForm* f : AllDataForms())
            if (auto* w = dynamic_cast<TPodminka*>(f))
                found = w;
        if (found != nullptr && found->SubWindow() != nullptr)
            found->SubWindow()->setGeometry(0, 0, 620, 420);
        Settle();
        return found;
    }

    static TPodminka* Live(const QPointer<QWidget>& w)
    {
        return w ? dynamic_cast<TPodminka*>(w.data()) : nullptr;
    }

    // The menu action of a criterion (valueIndex -1) or of a value whose
    // stored code is `value`.
    static QAction* ActionOf(TPodminka* w, int criterion, const std::string& value = {})
    {
        std::function<QAction*(QMenu*)> find = [&](QMenu* menu) -> QAction* {
            for (QAction* a : menu->actions()) {
                if (a->menu() != nullptr) {
                    if (QAction* inner = find(a->menu()))
                        return inner;
                    continue;
                }
                const QVariantList d = a->data().toList();
                if (d.size() != 3 || d[0].toInt() != criterion)
                    continue;
                const int valueIndex = d[1].toInt();
                if (value.empty() && valueIndex < 0)
                    return a;
                if (!value.empty() && valueIndex >= 0 &&
                    w->Model().Values()[static_cast<size_t>(valueIndex)] == value)
                    return a;
            }
            return nullptr;
        };
        return find(w->CriteriaMenu());
    }

    void TypeIntoEdit(TPodminka* w, const char* text)
    {
        QTest::keyClicks(w->EditBox(), text);
        QTest::keyClick(w->EditBox(), Qt::Key_Return);
        Settle();
    }

    // Chooses an ATC group in the chooser by typing its code and Enter.
    void ChooseAtc(TPodminka* w, const char* code, const char* shot = nullptr)
    {
        QAction* atc = ActionOf(w, 6);
        ASSERT_NE(atc, nullptr);
        atc->trigger();
        Settle();
        TVyb* chooser = w->Chooser();
        ASSERT_NE(chooser, nullptr);
        EXPECT_FALSE(w->CriteriaButton()->isEnabled());
        QTest::keyClicks(chooser->Edt, code);
        Settle();
        if (shot != nullptr)
            liststest::SaveShot(host->grab().toImage(), shot);
        QTest::keyClick(chooser->Edt, Qt::Key_Return);
        Settle();
        EXPECT_EQ(w->Chooser(), nullptr);
        EXPECT_TRUE(w->CriteriaButton()->isEnabled());
    }

    static size_t DemoCount(const std::function<bool(std::map<std::string, std::string>&)>& pass)
    {
        size_t n = 0;
        for (auto& row : DemoDrugs())
            n += pass(row) ? 1 : 0;
        return n;
    }

    std::vector<std::string> Errors() const
    {
        std::vector<std::string> out;
        for (const MessageRequest& r : sink.Requests())
            out.push_back(QStringToKam(r.text));
        return out;
    }
};

TEST_F(ConditionWindow, AtcAndStateFromTheMenusListTheDemoProducts)
{
    for (DataSetCode set : {DataSetCode::Drugs, DataSetCode::All}) {
        SetCurrentDataSet(set);
        TPodminka* w = Open();
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->SearchAction()->isEnabled());
        QPointer<QWidget> alive(w);
        const bool first = set == DataSetCode::Drugs;
        ChooseAtc(w, "N02", first ? "condition_window_atc_chooser.png" : nullptr);
        QAction* registered = ActionOf(w, 14, "R");
        ASSERT_NE(registered, nullptr);
        registered->trigger();
        Settle();
        ActionOf(w, 1)->trigger();
        Settle();
        ASSERT_TRUE(w->EditBox()->isVisible());
        TypeIntoEdit(w, "para");
        EXPECT_FALSE(w->EditBox()->isVisible());
        ASSERT_EQ(w->Model().Count(), 3);
        EXPECT_EQ(w->Grid()->item(0, 1)->text(), "PARA");
        EXPECT_TRUE(w->SearchAction()->isEnabled());
        if (first)
            liststest::SaveShot(host->grab().toImage(), "condition_window_three_conditions.png");

        w->SearchAction()->trigger();
        Settle();
        EXPECT_EQ(Live(alive), nullptr); // the window closed after the search
        TVyb* list = ListOf("DQU");
        ASSERT_NE(list, nullptr);
        const size_t expected = DemoCount([](auto& r) {
            return r["ATC"].rfind("N02", 0) == 0 && r["SR"] == "R" && r["NAZ"].size() >= 4 &&
                   QString::fromStdString(r["NAZ"]).left(4).toUpper() == "PARA";
        });
        EXPECT_GT(expected, 0u);
        EXPECT_EQ(list->Rec.Count, static_cast<int32_t>(expected));
        EXPECT_EQ(list->Rec.RowCount, expected);
        EXPECT_EQ(list->Rec.StatusText,
                  LookupText(UiTexts, "Podminka", "Nalez") + " " + std::to_string(expected));
        if (first) {
            list->SubWindow()->setGeometry(0, 0, 900, 300);
            Settle();
            liststest::SaveShot(host->grab().toImage(), "condition_result_drugs.png");
        }
        list->CloseWindow();
        Settle();
    }
}

TEST_F(ConditionWindow, DeviceNameSearchGivesTwoLineDeviceRows)
{
    TPodminka* w = Open("XQT");
    ASSERT_NE(w, nullptr);
    ActionOf(w, 1)->trigger();
    Settle();
    ASSERT_TRUE(w->EditBox()->isVisible());
    TypeIntoEdit(w, "kryt");
    ASSERT_EQ(w->Model().Count(), 1);
    w->SearchAction()->trigger();
    Settle();
    TVyb* list = ListOf("TQU");
    ASSERT_NE(list, nullptr);
    size_t expected = 0;
    for (auto& r : DemoRows("pzt.csv"))
        expected += QString::fromStdString(r["NAZ"]).left(4).toUpper() == "KRYT" ? 1 : 0;
    EXPECT_GT(expected, 1u);
    EXPECT_EQ(list->Rec.Count, static_cast<int32_t>(expected));
    ASSERT_EQ(list->Rec.RowCount, expected);
    EXPECT_EQ(list->Rec.StatusText,
              LookupText(UiTexts, "Podminka", "Nalez") + " " + std::to_string(expected));
    EXPECT_EQ(list->Rec.IconCaption, LookupText(UiTexts, "Podminka", "Pdm"));
    // Each row is the device list's row of the record it offers.
    TDbTable devices;
    OpenTable(devices, TFileId("pzt"), TFileId("pztkod"), kPztLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    for (size_t i = 1; i <= list->Rec.RowCount; ++i) {
        const TVybRow& row = list->Rec.Rows[i];
        EXPECT_EQ(row.Offer1, row.Aux);
        std::string record;
        ReadRecord(devices.dat, row.Aux, record);
        ASSERT_EQ(DbStatus, 0);
        EXPECT_EQ(FieldBytes(record, kDeviceName).substr(0, 4), "Kryt");
        EXPECT_EQ(row.Text.View(), DeviceRowText(record, 'K')) << i;
    }
    // Entries 0 and past the table are stepped over.
    DeviceResultList holes({0, list->Rec.Rows[1].Aux, 9999999});
    ASSERT_TRUE(holes.CheckTables().empty());
    VybRec rec;
    rec.FetchMode = FetchModeCode::Last;
    TVybRow row;
    std::string text;
    holes.Fetch(rec, row, text);
    EXPECT_EQ(row.Pos, 1);
    EXPECT_EQ(text, list->Rec.Rows[1].Text.View());
    list->SubWindow()->setGeometry(0, 0, 1100, 300);
    Settle();
    liststest::SaveShot(host->grab().toImage(), "condition_result_devices.png");
    list->CloseWindow();
    Settle();
}

TEST_F(ConditionWindow, DeviceTypeChosenInItsCodeListFindsTheDevicesOfThatType)
{
    TPodminka* w = Open("XQT");
    ASSERT_NE(w, nullptr);
    QAction* type = ActionOf(w, 4);
    ASSERT_NE(type, nullptr);
    ASSERT_TRUE(type->isEnabled());
    type->trigger();
    Settle();
    TVyb* chooser = w->Chooser();
    ASSERT_NE(chooser, nullptr);
    QTest::keyClick(chooser->Edt, Qt::Key_Return);
    Settle();
    EXPECT_EQ(w->Chooser(), nullptr);
    ASSERT_EQ(w->Model().Count(), 1);
    w->SearchAction()->trigger();
    Settle();
    TVyb* list = ListOf("TQU");
    ASSERT_NE(list, nullptr);
    ASSERT_GT(list->Rec.RowCount, 0u);
    TDbTable devices;
    OpenTable(devices, TFileId("pzt"), TFileId("pztkod"), kPztLayout.Length());
    std::string record;
    ReadRecord(devices.dat, list->Rec.Rows[1].Aux, record);
    ASSERT_EQ(DbStatus, 0);
    const std::string chosen(FieldBytes(record, kDeviceType));
    size_t expected = 0;
    const auto rows = DemoRows("pzt.csv");
    for (auto r : rows)
        expected += r["TYP"] == chosen ? 1 : 0;
    EXPECT_LT(expected, rows.size());
    EXPECT_EQ(list->Rec.Count, static_cast<int32_t>(expected));
    list->CloseWindow();
    Settle();
}

TEST_F(ConditionWindow, EnterDropsTheMenuAndEscapeCloses)
{
    TPodminka* w = Open();
    ASSERT_NE(w, nullptr);
    QPointer<QWidget> alive(w);
    QTest::keyClick(w, Qt::Key_Return);
    Settle();
    EXPECT_TRUE(w->CriteriaMenu()->isVisible());
    w->CriteriaMenu()->hide();
    Settle();
    QTest::keyClick(w, Qt::Key_Escape);
    Settle();
    EXPECT_EQ(Live(alive), nullptr);
}

TEST_F(ConditionWindow, EscapeQueuedBeforeTheSearchListsTheFirstPassOnly)
{
    TPodminka* w = Open();
    ASSERT_NE(w, nullptr);
    ChooseAtc(w, "N02");
    const size_t all = RunConditionSearch(w->Model().Entries(), false,
                                          [] {
                                              ConditionSearchSettings s;
                                              s.documentLetters = FlagLetters();
                                              return s;
                                          }())
                           .hits.size();
    ASSERT_GT(all, 1u);
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    w->SearchAction()->trigger();
    Settle();
    TVyb* list = ListOf("DQU");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Rec.Count, 1);
}

TEST_F(ConditionWindow, DateTestTakesOnlyAWholeDate)
{
    TPodminka* w = Open();
    ASSERT_NE(w, nullptr);
    QAction* before = ActionOf(w, 28, "A");
    ASSERT_NE(before, nullptr);
    before->trigger();
    Settle();
    ASSERT_TRUE(w->EditBox()->isVisible());
    TypeIntoEdit(w, "2024013");
    EXPECT_TRUE(w->EditBox()->isVisible()); // refused, still waiting
    EXPECT_EQ(w->Model().Count(), 0);
    TypeIntoEdit(w, "1");
    EXPECT_FALSE(w->EditBox()->isVisible());
    ASSERT_EQ(w->Model().Count(), 1);
    EXPECT_EQ(w->Model().Entries()[0].substr(1), "A<2024/01/31");
    EXPECT_EQ(QStringToKam(w->Grid()->item(0, 1)->text()), FlagLetters().substr(0, 1) + "<2024/01/31");
}

class ConditionWindowBadData : public ConditionWindow {
protected:
    void SetUp() override
    {
        folder_ = testing::TempDir() + "cond_bad_data/";
        std::filesystem::remove_all(folder_);
        std::filesystem::copy(QEVW_DEMO_DATA_DIR, folder_, std::filesystem::copy_options::recursive);
        ConditionWindow::SetUp();
        SetDataDir(folder_);
        // Signs loaded from another folder would hide the damage.
        ClearSignSets(SignSets(), 0, -1);
        liststest::PrepareDrugLists();
    }
    std::string folder_;
};

TEST_F(ConditionWindowBadData, MissingFilesShowTheirMessagesAndKeepTheConditions)
{
    std::filesystem::remove(folder_ + "atc.sgn");
    std::filesystem::remove(folder_ + "cvzp.dat");
    TPodminka* w = Open();
    ASSERT_NE(w, nullptr);
    // No ATC signs: no chooser.
    ActionOf(w, 6)->trigger();
    Settle();
    EXPECT_EQ(w->Chooser(), nullptr);
    EXPECT_TRUE(w->CriteriaButton()->isEnabled());
    // No register: the value is not taken.
    ActionOf(w, 18, "B")->trigger();
    Settle();
    EXPECT_EQ(w->Model().Count(), 0);
    EXPECT_EQ(Errors(), (std::vector<std::string>{LookupText(UiTexts, "Chyby", "ErrSgn"),
                                                  LookupText(UiTexts, "Chyby", "NoData")}));

    // Damaged drug signs: the search cannot list, the window stays as it was.
    {
        std::ofstream(folder_ + "kl.sgn", std::ios::trunc) << "X";
    }
    ClearSignSets(SignSets(), 0, -1);
    ActionOf(w, 14, "R")->trigger();
    Settle();
    QPointer<QWidget> alive(w);
    w->SearchAction()->trigger();
    Settle();
    ASSERT_NE(Live(alive), nullptr);
    EXPECT_EQ(w->Model().Count(), 1);
    EXPECT_EQ(ListOf("DQU"), nullptr);
    EXPECT_EQ(Errors().back(), LookupText(UiTexts, "Chyby", "ErrSgn"));
    // A second search gives the same answer.
    w->SearchAction()->trigger();
    Settle();
    EXPECT_NE(Live(alive), nullptr);
    EXPECT_EQ(w->Model().Count(), 1);
}

// ---------------------------------------------------------------- result lists

class ResultLists : public ConditionWindow {
protected:
    static std::vector<std::string> Fetched(DrugResultList& list, VybRec rec, uint8_t mode)
    {
        rec.FetchMode = mode;
        TVybRow row;
        std::string text;
        list.Fetch(rec, row, text);
        if (row.Pos < 0)
            return {};
        return {std::string(FieldBytes(text, FieldPos{2, 7, 0}))};
    }
};

TEST_F(ResultLists, WalkTheSetByFetchModeAndStepOverMissingEntries)
{
    const int32_t a = liststest::RecordOfKey("kl", "klkod", "0000113");
    const int32_t b = liststest::RecordOfKey("kl", "klkod", "0000129");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    {
        DrugResultList one({a});
        ASSERT_TRUE(one.CheckTables().empty());
        VybRec rec;
        TVybRow shown;
        shown.Pos = 0;
        rec.Rows[1] = shown;
        rec.RowCount = 1;
        EXPECT_TRUE(Fetched(one, rec, FetchModeCode::Before).empty());
        EXPECT_TRUE(Fetched(one, rec, FetchModeCode::After).empty());
        EXPECT_EQ(Fetched(one, rec, FetchModeCode::Last), std::vector<std::string>{"0000113"});
    }
    TVyb* w = ShowDrugResultList({0, a, 9999999, b}, "");
    Settle();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Rec.Count, 4);
    EXPECT_EQ(w->Rec.StatusText, "Medikace");
    EXPECT_EQ(w->Rec.IconCaption, "Medikace");
    EXPECT_TRUE(w->windowTitle().contains("Medikace"));
    ASSERT_EQ(w->Rec.RowCount, 2);
    EXPECT_EQ(w->Rec.Rows[1].Aux, a);
    EXPECT_EQ(w->Rec.Rows[2].Aux, b);
    liststest::SaveShot(host->grab().toImage(), "result_list_medikace.png");
    // A second list is a window of its own.
    TVyb* second = ShowDrugResultList({b}, "Seznam 2");
    Settle();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, w);
    EXPECT_EQ(second->Rec.IconCaption, "Seznam");
}

TEST_F(ResultLists, AFilterWordExcludingEveryRecordShowsNoRows)
{
    std::vector<int32_t> human;
    for (const char* code : {"0000113", "0000129", "0000152"})
        human.push_back(liststest::RecordOfKey("kl", "klkod", code));
    DrugResultList list(human);
    ASSERT_TRUE(list.CheckTables().empty());
    VybRec rec;
    rec.ButtonState = 0;
    EXPECT_EQ(Fetched(list, rec, FetchModeCode::First), std::vector<std::string>{"0000113"});
    rec.ButtonState = 0x01; // veterinary products only
    EXPECT_TRUE(Fetched(list, rec, FetchModeCode::First).empty());
    EXPECT_TRUE(Fetched(list, rec, FetchModeCode::Last).empty());
}

} // namespace
