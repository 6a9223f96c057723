#pragma once
// A fake list for the list window's marking, output and buttons: a list
// over an array of row texts.  Position p is the p-th row that
// passes the filter; typed digits seek the first code at or after them.
// Buttons: "D" and "S" answer popups whose items filter the rows, "E" acts
// directly (its action Shift+F2 switches a walk of its own on and off).
//
// Row text layout: status character, code (7), name (30); the heading has
// the same layout.  A tree column may follow after a character 255.

#include <gtest/gtest.h>

#include <QMdiSubWindow>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "list_demo_list.h"
#include "lists/lists_test_support.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/scroll_bar.h"

namespace listfake {

using liststest::Kam;

struct FakeRow {
    uint8_t status = 0;
    std::string code; // data code page
    std::string name;
    std::string tree; // symbols after the 255, empty for none
};

// The row text: status, code in 7, name in 30, then 255 and the symbols.
inline std::string RowText(const FakeRow& r)
{
    std::string text(1, static_cast<char>(r.status));
    std::string code = r.code.substr(0, 7);
    code.resize(7, ' ');
    std::string name = r.name.substr(0, 30);
    name.resize(30, ' ');
    text += code + name;
    if (!r.tree.empty())
        text += '\xFF' + r.tree;
    return text;
}

// n rows: code "0000000" + i, name "Name i" (every tenth with Czech letters).
inline std::vector<FakeRow> NumberedRows(int n)
{
    std::vector<FakeRow> rows;
    for (int i = 0; i < n; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "%07d", i);
        const std::string name =
            i % 10 == 3 ? Kam("Žluťoučký kůň ") + std::to_string(i) : "Name " + std::to_string(i);
        rows.push_back({0, code, name, {}});
    }
    return rows;
}

class FakeList : public ListSource {
public:
    explicit FakeList(std::vector<FakeRow> all) : all_(std::move(all)) { Rebuild(); }

    std::string geometry = "2/7,9/30";
    std::string order = "0,1";
    std::string header = RowText({0, "Kod", Kam("Název"), {}});
    // Popup texts of the buttons by letter (empty: the button acts).
    std::string popupD = Kam("^Všechny| Jen sudé| Jen liché|");
    std::string popupS = Kam("^Všechny| Jen s \"Ž\"|");
    std::vector<uint16_t> commands;
    std::vector<bool> commandsWhileBusy;
    int fetches = 0;
    // Runs at every Fetch (tests count rows output so far).
    std::function<void(VybRec&)> onFetch;
    // Cell hints: the cell text with a prefix; headings name the column.
    bool cellHints = false;

    void Rebuild()
    {
        shown_.clear();
        for (size_t i = 0; i < all_.size(); ++i) {
            const bool even = i % 2 == 0;
            if ((dFilter_ == 1 && !even) || (dFilter_ == 2 && even))
                continue;
            if (sFilter_ && all_[i].name.find(Kam("Ž")) == std::string::npos)
                continue;
            shown_.push_back(i);
        }
    }
    int32_t Shown() const { return static_cast<int32_t>(shown_.size()); }
    const FakeRow& RowAt(int32_t pos) const { return all_[shown_[static_cast<size_t>(pos)]]; }

    void Prepare(VybRec& rec) const
    {
        rec.Count = Shown();
        rec.RangeFirst = 0;
        rec.RangeLast = Shown() - 1;
    }

    uint32_t OpenIn(TVyb& w, std::string_view options)
    {
        window_ = &w;
        Prepare(w.Rec);
        return w.OpenList(listdemo::DemoSpec(Kam("Zkušební seznam "), geometry, order, options, header),
                          listdemo::Unowned(this));
    }

    ListAction React(VybRec& rec, ListAction action) override
    {
        commands.push_back(ActionCodeOf(action));
        commandsWhileBusy.push_back(window_ != nullptr && window_->Busy);
        if (const char item = PopupItemOf(action, 'D'); item >= '0' && item <= '2') {
            dFilter_ = item - '0';
            rec.ButtonState = static_cast<uint16_t>(dFilter_ == 0 ? 0 : 0x10);
        } else if (const char s = PopupItemOf(action, 'S'); s == '0' || s == '1') {
            sFilter_ = s == '1';
        } else if (action == ListAction::ShiftF2) {
            // A walk of its own (as the similar-name search).
            walksOwnSet_ = !walksOwnSet_;
        } else {
            return action;
        }
        Rebuild();
        return ListAction::Refill;
    }

    bool WalksOwnSet() const override { return walksOwnSet_; }

    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override
    {
        ++fetches;
        if (onFetch)
            onFetch(rec);
        int32_t seek = 0;
        if (rec.FetchMode == FetchModeCode::Seek) {
            Prepare(rec);
            seek = Shown();
            for (int32_t p = 0; p < Shown(); ++p)
                if (RowAt(p).code >= rec.Prefix) {
                    seek = p;
                    break;
                }
            if (seek == Shown())
                return;
        }
        const int32_t p = listdemo::FetchPosition(rec, seek);
        if (p < 0)
            return;
        row.Pos = p;
        row.Aux = static_cast<int32_t>(shown_[static_cast<size_t>(p)]) + 1;
        row.Offer1 = row.Aux;
        text = RowText(RowAt(p));
    }

    std::string Info(uint8_t kind, uint8_t sub, const TVybRow&, std::string_view key) const override
    {
        std::string out;
        switch (kind) {
        case InfoKind::CellHint:
            if (cellHints)
                // The code column's hint is the code itself.
                out = sub == 0 ? std::string(key) : "Cell " + std::to_string(sub) + ": " + std::string(key);
            break;
        case InfoKind::HeadingHint:
            if (cellHints)
                out = sub == 0 ? "Code of the product" : "!! VybLek.v" + std::to_string(sub);
            break;
        case InfoKind::Control:
            if (key == "D" && sub == 3)
                out = popupD;
            else if (key == "S" && sub == 3)
                out = popupS;
            else if (key == "D" && sub == 2)
                out = dFilter_ != 0 ? "D" : "";
            else if (key == "S" && sub == 2)
                out = sFilter_ ? "S" : "";
            else if (sub == 1 && key.size() == 1)
                out = std::string("Btn ") + key[0];
            break;
        default: break;
        }
        return out;
    }

private:
    std::vector<FakeRow> all_;
    std::vector<size_t> shown_;
    int dFilter_ = 0;
    bool sFilter_ = false;
    bool walksOwnSet_ = false;
    TVyb* window_ = nullptr;
};

using liststest::Options;

// A host main window and the list tests' environment for each test, the
// print font one that every machine has.
class FakeListTest : public liststest::HostedTest {
protected:
    void SetUp() override
    {
        Config().Update([](ConfigValues& v) { v.PrintFont = ConfigFont{"DejaVu Sans", 9, 0}; });
        HostedTest::SetUp();
    }

    FakeList& List(std::vector<FakeRow> rows)
    {
        lists_.push_back(std::make_unique<FakeList>(std::move(rows)));
        return *lists_.back();
    }

    // A window over the list showing `lines` lines.
    TVyb* Open(FakeList& list, int lines, const std::string& options = Options(7, '9'), int width = 520)
    {
        auto* w = new TVyb;
        w->Kind = PackKindCode("kLF");
        w->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
        w->Master = host;
        w->Rec.Letter = 'K';
        list.OpenIn(*w, options);
        liststest::SizeForLines(w, lines, width);
        EXPECT_EQ(w->Tb->VisibleLines(), lines);
        return w;
    }

    static std::vector<int32_t> ShownPositions(const TVyb* w)
    {
        std::vector<int32_t> out;
        for (int r = 1; r <= w->Rec.RowCount; ++r)
            out.push_back(w->Rec.Rows[static_cast<size_t>(r)].Pos);
        return out;
    }

    liststest::ListTestEnvironment env;
    std::vector<uint16_t>& counts = env.counts;

private:
    std::vector<std::unique_ptr<FakeList>> lists_;
};

} // namespace listfake
