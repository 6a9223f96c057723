#pragma once
// The code lists and the ATC list on the demo data, over the list tests'
// demo fixture: the code-list commands, the Czech tables, the start-up's
// sign sets, and what the tests read of the windows.

#include <gtest/gtest.h>

#include <QMdiSubWindow>
#include <QTest>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/windows/data_form.h"
#include "lists/codes/code_lists.h"
#include "lists/list_entry_points.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/message_sink.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/text_tables.h"

namespace codelisttest {

using liststest::Kam;
using liststest::Settle;

inline TextTablePtr DemoDataTexts(const char* language = "ces")
{
    TextTablePtr t;
    LoadTextTable(t, std::string(QEVW_DEMO_DATA_DIR) + "/kalvo." + language);
    return t;
}

class ListsOnDemoData : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        RegisterListCommands();
        Config().Update([](ConfigValues& v) {
            v.LanguageIndex = 0;
            v.AtcFilter = 0;
            v.FilterFlags = 0;
        });
        DeclareEditionSignSets();
    }

    // Runs a command as the main window's menu does and returns the newest
    // list window of its code.
    TVyb* Open(const char* code)
    {
        ExecuteCommand(host, KindOf(code), 0);
        Settle();
        return ListOf(code);
    }

    // Characters `from` (1-based) .. `from` + n - 1 of each shown row,
    // trailing blanks removed.
    static std::vector<std::string> Column(const TVyb* w, size_t from, size_t n)
    {
        std::vector<std::string> out;
        for (const std::string& t : RowTexts(w)) {
            std::string c = t.size() >= from ? t.substr(from - 1, n) : std::string();
            while (!c.empty() && c.back() == ' ')
                c.pop_back();
            out.push_back(c);
        }
        return out;
    }

    static void Type(TVyb* w, const char* text) { QTest::keyClicks(w->Edt, text); }
    static void Key(TVyb* w, Qt::Key key) { QTest::keyClick(w->Edt, key); }

    // Grows a list's sub-window so that it shows `lines` rows.
    static void ShowLines(TVyb* w, int lines)
    {
        QMdiSubWindow* sub = w->SubWindow();
        ASSERT_NE(sub, nullptr);
        for (int i = 0; i < 3 && w->Tb->VisibleLines() != lines; ++i) {
            const int more = (lines - w->Tb->VisibleLines()) * w->Tb->RowHeight();
            sub->resize(std::max(sub->width(), 700), sub->height() + more);
            Settle();
        }
    }

    // The drug codes of the demo that `holds` and that a restricted drug
    // list shows by default (sign "Act_Old", with `human` also "nVeter"), in
    // code order.
    static std::vector<std::string> DrugsWhere(const std::function<bool(std::string_view)>& holds, bool human)
    {
        TSignSetArray& sets = SignSets();
        const TSignSet listed = sets.Copy(static_cast<size_t>(sets.Find("kl", "Act_Old")));
        const TSignSet people = sets.Copy(static_cast<size_t>(sets.Find("kl", "nVeter")));
        TDbTable t;
        OpenTable(t, TFileId("kl"), TFileId("klkod"), 0);
        std::vector<std::string> out;
        std::string rec;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, rec);
            const int64_t bit = t.recNo - 1;
            if (holds(rec) && BitTest(listed.bits, bit) && (!human || BitTest(people.bits, bit)))
                out.emplace_back(FieldBytes(rec, kDrugCode));
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
        std::sort(out.begin(), out.end());
        return out;
    }

    // The codes of the drugs a drug list shows (by their record numbers:
    // a cancelled drug's row shows a text in place of its code), in code
    // order.
    static std::vector<std::string> ShownDrugCodes(const TVyb* w)
    {
        TDbTable t;
        OpenTable(t, TFileId("kl"), TFileId(), 0);
        std::vector<std::string> codes;
        std::string rec;
        for (int i = 1; i <= w->Rec.RowCount; ++i) {
            ReadRecord(t.dat, w->Rec.Rows[static_cast<size_t>(i)].Offer1, rec);
            codes.emplace_back(FieldBytes(rec, kDrugCode));
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
        std::sort(codes.begin(), codes.end());
        return codes;
    }

    // Whether a drug list holds exactly the expected drugs: as many as
    // expected, each shown one among them, all of them when they fit.
    static ::testing::AssertionResult HoldsExactly(const TVyb* w, const std::vector<std::string>& expected)
    {
        const std::vector<std::string> shown = ShownDrugCodes(w);
        if (w->Rec.Count != static_cast<int32_t>(expected.size()))
            return ::testing::AssertionFailure()
                   << "Count " << w->Rec.Count << ", expected " << expected.size();
        if (!std::includes(expected.begin(), expected.end(), shown.begin(), shown.end()))
            return ::testing::AssertionFailure() << "a shown drug is not expected";
        if (shown.size() < std::min<size_t>(expected.size(), w->Rec.GridRows))
            return ::testing::AssertionFailure() << shown.size() << " rows shown of " << expected.size();
        return ::testing::AssertionSuccess();
    }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> out;
        for (const MessageRequest& r : sink.Requests())
            out.push_back(QStringToKam(r.text));
        return out;
    }
};

} // namespace codelisttest
