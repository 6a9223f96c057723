#pragma once
// Demonstration lists for the list window, shared by tools/list_demo.cpp, the
// list tests and tools/bench/bench_list_typeahead.cpp:
//
//  - TableList: any table of a data folder through one of its indexes.  Its
//    rows are the records' raw bytes, its columns the record file's fields
//    (compiled from the field table with the column language); type-ahead
//    seeks the index, strict mode walks the range InitFetchRange sets, 299
//    positions on the master's record, and the row offers its record number
//    (link kind 6).  Status characters: a registration state other than "R"
//    (field "SR") greys the row, a supply outage (field "VYP") makes it pink.
//  - MemoryList: N rows "Row 00000" .. in memory, for the window's
//    arithmetic; typed digits seek the row of that number.
//
// Both keep the positions of their range in VybRec (RangeFirst, RangeLast,
// TopPos, Count) the way every index-driven list does.

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "frame/windows/data_form.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/vyb_types.h"

namespace listdemo {

// A main window with an MDI area that is the root data window, as the
// program's main window is for its lists.
class MdiHost : public QMainWindow, public TDataForm {
public:
    MdiHost(int width, int height) : QMainWindow(nullptr), TDataForm(this, Role::MainWindow)
    {
        area = new QMdiArea(this);
        setCentralWidget(area);
        SetMainDataForm(this, area);
        resize(width, height);
    }
    ~MdiHost() override
    {
        FormDestroy();
        SetMainDataForm(nullptr, nullptr);
    }
    QMdiArea* area;
};

// Data code page text from UTF-8.
inline std::string Kam(const char* utf8)
{
    return QStringToKam(QString::fromUtf8(utf8));
}

// The position a Fetch call asks for, or -1 for none; `seek` is the position
// a seek found.  Keeps TopPos on the first shown row.
inline int32_t FetchPosition(VybRec& rec, int32_t seek)
{
    int32_t p = -1;
    switch (rec.FetchMode) {
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Seek: p = seek; break;
    case FetchModeCode::Before: p = rec.Rows[1].Pos - 1; break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::First: p = rec.RangeFirst; break;
    case FetchModeCode::Last: p = rec.RangeLast; break;
    case FetchModeCode::AtTopPos: p = rec.RangeFirst + rec.TopPos; break;
    default: break;
    }
    if (p < rec.RangeFirst || p > rec.RangeLast || rec.Count <= 0)
        return -1;
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p - rec.RangeFirst;
    return p;
}

// The window of a demonstration list; `options` as liststest::Options
// writes them: the longest prefix, the edit kind, then the button letters.
inline ListWindowSpec DemoSpec(std::string_view caption, std::string_view geometry, std::string_view order,
                               std::string_view options, std::string_view header)
{
    ListWindowSpec spec;
    spec.caption = std::string(caption);
    spec.geometry = std::string(geometry);
    spec.order = std::string(order);
    spec.header = std::string(header);
    spec.maxTyped = options.empty() ? 0 : static_cast<uint8_t>(options[0]);
    spec.editKind = options.size() > 1 ? options[1] : ' ';
    spec.buttons = options.size() > 2 ? std::string(options.substr(2, 10)) : std::string();
    return spec;
}

// A shared pointer to a list its owner keeps alive longer than the window.
inline std::shared_ptr<ListSource> Unowned(ListSource* list)
{
    return std::shared_ptr<ListSource>(std::shared_ptr<void>(), list);
}

// Button captions and hints both lists give.
inline void ControlInfo(uint8_t sub, std::string& out, std::string_view key)
{
    static const struct {
        char letter;
        const char* caption;
        const char* hint;
    } kButtons[] = {
        {'?', "Tipy", "Nápověda k buňkám"}, {'<', "Strom", "Stromový sloupec"},
        {'=', "Vše", "Všechny sloupce"},    {'*', "Pán", "Sledovat nadřízené okno"},
        {'/', "Přesně", "Jen začínající"},  {')', "Podobně", "Podobně znějící"},
        {'>', "Tab", "Kódový seznam"},
    };
    if (key == "-" || key == "|") {
        out = Kam(key == "-" ? "Vodorovný posuv" : "Svislý posuv");
        return;
    }
    if (key == "&") {
        out = Kam("Pište začátek klíče");
        return;
    }
    for (const auto& b : kButtons)
        if (key.size() == 1 && key[0] == b.letter)
            out = Kam(sub == 1 ? b.caption : sub == 0 ? b.hint : "");
}

class TableList : public ListSource {
public:
    // Opens "<folder><table>.dat" with "<index>.sez"; false with a reason.
    bool Open(const std::string& folder, const std::string& table, const std::string& index,
              std::string& error)
    {
        OpenTableIn(table_, folder, table.c_str(), index.c_str(), 0);
        if (DbStatus != 0 || !table_.sez.IsOpen()) {
            error = "cannot open " + folder + table + " with " + index + " (status " +
                    std::to_string(DbStatus) + ")";
            return false;
        }
        BuildColumns();
        return true;
    }

    TDbTable& Table() { return table_; }
    int32_t Leaves() const { return table_.LeafCount(); }

    // The opener's part: the range of the whole index.
    void Prepare(VybRec& rec) const
    {
        rec.Count = table_.LeafCount();
        rec.RangeFirst = 0;
        rec.RangeLast = table_.LeafCount() - 1;
    }

    // Opens the window with this list's columns and callbacks.
    uint32_t OpenIn(TVyb& window, std::string_view caption, std::string_view options)
    {
        Prepare(window.Rec);
        return window.OpenList(DemoSpec(caption, geometry, order, options, header), Unowned(this));
    }

    ListAction React(VybRec& rec, ListAction action) override
    {
        commands.push_back(ActionCodeOf(action));
        if (action == ListAction::PrefixChanged)
            prefixes.push_back(rec.Prefix);
        if (action == ListAction::Reposition && rec.LinkValue > 0) {
            repositionTo_ = PositionOfRecord(rec.LinkValue);
            // A refill follows whatever the window's size did.
            rec.GridRows = 0;
        }
        return onCommand ? onCommand(rec, action) : action;
    }

    std::string Info(uint8_t kind, uint8_t sub, const TVybRow&, std::string_view key) const override
    {
        std::string out;
        if (kind == InfoKind::Control)
            ControlInfo(sub, out, key);
        return out;
    }

    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override
    {
        ++fetches;
        int32_t seek = -1;
        if (rec.FetchMode == FetchModeCode::Seek) {
            if (repositionTo_ >= 0) {
                Prepare(rec);
                seek = repositionTo_;
                repositionTo_ = -1;
            } else {
                FindRecord(table_, rec.Prefix, record_);
                if (DbStatus > 0)
                    return;
                InitFetchRange(rec, table_);
                seek = table_.Position();
            }
        }
        const int32_t p = FetchPosition(rec, seek);
        if (p < 0)
            return;
        ReadByOrder(table_, p, record_);
        if (DbStatus != 0)
            return;
        row.Pos = p;
        row.Aux = table_.recNo;
        row.Offer1 = table_.recNo; // link kind 6: the record number
        row.Offer2 = 0;
        text.assign(1, static_cast<char>(StatusOf(record_)));
        text.append(record_, 0, std::min<size_t>(record_.size(), 254));
    }

    std::string geometry;
    std::string order;
    std::string header;
    std::vector<uint16_t> commands;    // every Command the list saw
    std::vector<std::string> prefixes; // the prefix of every 298
    int fetches = 0;
    // The test's own reaction, after the list's.
    std::function<ListAction(VybRec&, ListAction)> onCommand;

private:
    void BuildColumns()
    {
        const TDatFile& dat = table_.dat;
        std::string layout;
        std::string names;
        int offset = 1;
        int keyColumn = -1;
        const int keyOffset = table_.sez.KeyFieldOffset();
        header.assign(255, ' ');
        header[0] = 0;
        for (int i = 0; i < dat.FieldCount(); ++i) {
            const std::string name = FieldNameToStr(dat.FieldName(i));
            const int length = FieldLength(dat.FieldDescriptor(i));
            layout += name;
            if (length > 30)
                layout += "-30"; // long texts show their first 30 characters
            if (!names.empty())
                names += ',';
            names += name;
            if (offset - 1 == keyOffset)
                keyColumn = i;
            if (offset < 255)
                header.replace(static_cast<size_t>(offset), std::min<size_t>(name.size(), 255 - offset), name,
                               0, std::min<size_t>(name.size(), 255 - offset));
            if (name == "SR ")
                srAt_ = offset;
            if (name == "VYP")
                vypAt_ = offset;
            offset += length;
        }
        layout += '.';
        geometry = CompileColumnLayout(layout, ColumnWidthTableOf(dat), names);
        // The key's column first, then the others while the order has room.
        order.clear();
        int entries = 0;
        if (keyColumn >= 0) {
            order = std::to_string(keyColumn) + ",";
            ++entries;
        }
        for (int i = 0; i < dat.FieldCount() && entries < 32; ++i)
            if (i != keyColumn) {
                order += std::to_string(i) + ",";
                ++entries;
            }
    }

    uint8_t StatusOf(const std::string& record) const
    {
        uint8_t status = 0;
        if (srAt_ > 0 && static_cast<size_t>(srAt_) <= record.size() &&
            record[static_cast<size_t>(srAt_ - 1)] != 'R')
            status |= 0x08;
        if (vypAt_ > 0 && static_cast<size_t>(vypAt_) <= record.size() &&
            record[static_cast<size_t>(vypAt_ - 1)] != ' ')
            status |= 0x40;
        return status;
    }

    // The index position of record r: its key, then the entries of that key.
    int32_t PositionOfRecord(int32_t r)
    {
        std::string rec;
        ReadRecord(table_.dat, r, rec);
        if (DbStatus != 0)
            return -1;
        const size_t keyAt = static_cast<size_t>(table_.sez.KeyFieldOffset());
        const size_t keyLength = table_.sez.header[3];
        std::string key = rec.substr(std::min(keyAt, rec.size()), keyLength);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        FindRecord(table_, key, record_);
        if (DbStatus > 0)
            return -1;
        int32_t p = table_.Position();
        for (int steps = 0; table_.recNo != r && steps < 10000 && p + 1 < table_.LeafCount(); ++steps)
            ReadByOrder(table_, ++p, record_);
        return table_.recNo == r ? p : -1;
    }

    TDbTable table_;
    std::string record_;
    int srAt_ = 0;
    int vypAt_ = 0;
    int32_t repositionTo_ = -1;
};

// A name-list window over `list` under `host`, shown with a client of
// width x height (the benchmarks' window).
inline TVyb* OpenSizedListWindow(MdiHost& host, TableList& list, std::string_view caption,
                                 std::string_view options, int width, int height)
{
    auto* window = new TVyb;
    window->Kind = 1;
    window->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    window->Master = &host;
    window->Rec.Letter = 'N';
    list.OpenIn(*window, caption, options);
    QMdiSubWindow* sub = window->SubWindow();
    sub->showNormal();
    sub->resize(sub->width() - window->width() + width, sub->height() - window->height() + height);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    return window;
}

// N rows in memory: position p is "Row ppppp", record p + 1.
class MemoryList : public ListSource {
public:
    explicit MemoryList(int32_t rows) : rows_(rows) {}

    void Prepare(VybRec& rec) const
    {
        rec.Count = rows_;
        rec.RangeFirst = 0;
        rec.RangeLast = rows_ - 1;
    }

    // Rows of one line by default; a geometry of two groups ("2/4,;6/5")
    // gives rows of two lines.
    uint32_t OpenIn(TVyb& window,
                    std::string_view options = std::string_view("\x05"
                                                                "9",
                                                                2),
                    std::string_view geometry = "2/9")
    {
        Prepare(window.Rec);
        return window.OpenList(DemoSpec("Rows ", geometry, "0,2", options, std::string(1, '\0') + "Row"),
                               Unowned(this));
    }

    ListAction React(VybRec&, ListAction action) override
    {
        commands.push_back(ActionCodeOf(action));
        return action;
    }

    std::string Info(uint8_t kind, uint8_t sub, const TVybRow&, std::string_view key) const override
    {
        std::string out;
        if (kind == InfoKind::Control)
            ControlInfo(sub, out, key);
        else if (kind == InfoKind::RowHint && rowHints)
            out = "Hint of " + std::string(key);
        return out;
    }

    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override
    {
        ++fetches;
        int32_t seek = 0;
        if (rec.FetchMode == FetchModeCode::Seek) {
            Prepare(rec);
            seek = rec.Prefix.empty() ? 0 : std::min(std::atoi(rec.Prefix.c_str()), rows_ - 1);
        }
        const int32_t p = FetchPosition(rec, seek);
        if (p < 0)
            return;
        row.Pos = p;
        row.Aux = p + 1;
        row.Offer1 = p + 1;
        char buf[16];
        std::snprintf(buf, sizeof buf, "Row %05d", p);
        text = std::string(1, '\0') + buf;
    }

    int32_t Rows() const { return rows_; }
    bool rowHints = false; // Info answers a row hint
    std::vector<uint16_t> commands;
    int fetches = 0;

private:
    int32_t rows_;
};

} // namespace listdemo
