#include "lists/conditions/result_lists.h"

#include "datastore/db_status.h"
#include "datastore/drug_helpers.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "lists/toolkit/list_window.h"

// ------------------------------------------------------------------ walk

int32_t ResultSetWalk::Start(const VybRec& rec) const
{
    switch (rec.FetchMode) {
    case FetchModeCode::ReadFirstShown: return rec.Rows[1].Pos;
    case FetchModeCode::Before: return rec.Rows[1].Pos - 1;
    case FetchModeCode::After: return rec.Rows[rec.RowCount].Pos + 1;
    case FetchModeCode::Last: return Size() - 1;
    case FetchModeCode::AtTopPos: return rec.TopPos;
    default: return 0;
    }
}

bool ResultSetWalk::Backwards(uint8_t mode)
{
    return mode == FetchModeCode::Before || mode == FetchModeCode::Last || mode == FetchModeCode::AtTopPos;
}

// ------------------------------------------------------------ drug list

std::string_view DrugResultList::CheckTables()
{
    DbStatus = 0;
    OpenTable(table_, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    if (DbStatus != 0 || !table_.dat.IsOpen()) {
        DbStatus = 0;
        return "NoData";
    }
    // The filter word reads the drug signs.
    if (LoadSignSets(SignSets(), DataDir(), "kl", table_.dat.count - 1) != 0)
        return "ErrSgn";
    return {};
}

void DrugResultList::Start(VybRec& rec)
{
    rec.Count = walk_.Size();
}

void DrugResultList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    DbStatus = 0;
    OpenTable(table_, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    if (DbStatus != 0) {
        DbStatus = 0;
        return;
    }
    const int32_t records = table_.dat.count - 1;
    const bool split = ActiveDrugColumns().split;
    std::string record;
    walk_.Walk(rec, [&](int32_t p, int32_t recNo) {
        if (recNo < 1 || recNo > records)
            return false;
        ReadRecord(table_.dat, recNo, record);
        if (DbStatus != 0) {
            DbStatus = 0;
            walk_.StopWalk();
            return false;
        }
        if (rec.ButtonState != 0 && RecordExcluded(record, recNo, rec.ButtonState))
            return false;
        FormatRecordLine(record, recNo, (rec.ButtonState & 0x100) != 0, text, true, !split);
        row.Pos = p;
        row.Aux = recNo;
        row.Offer1 = recNo;
        return true;
    });
}

// ---------------------------------------------------------- device list

bool DeviceResultList::OpenDevices()
{
    DbStatus = 0;
    OpenTable(devices_, TFileId("pzt"), TFileId("pztkod"), kPztLayout.Length());
    const bool open = DbStatus == 0 && devices_.dat.IsOpen();
    DbStatus = 0;
    return open;
}

std::string_view DeviceResultList::CheckTables()
{
    return OpenDevices() ? std::string_view() : "NoData";
}

void DeviceResultList::Start(VybRec& rec)
{
    rec.Count = walk_.Size();
}

void DeviceResultList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenDevices())
        return;
    const int32_t records = devices_.dat.count - 1;
    std::string record;
    walk_.Walk(rec, [&](int32_t p, int32_t recNo) {
        if (recNo < 1 || recNo > records)
            return false;
        ReadRecord(devices_.dat, recNo, record);
        if (DbStatus != 0) {
            DbStatus = 0;
            walk_.StopWalk();
            return false;
        }
        text = DeviceRowText(record, 'Q');
        row.Pos = p;
        row.Aux = recNo;
        row.Offer1 = recNo;
        return true;
    });
}

// ------------------------------------------------------------ openers

namespace {

ListWindowSpec DrugResultSpec(const char* buttons)
{
    const DrugColumnSet& set = ActiveDrugColumns();
    ListWindowSpec w;
    w.code = KindOf("DQU");
    w.geometry = DrugListGeometry(set, 'Q');
    w.order = DrugListOrder(set, 'Q');
    w.header = DrugListHeader(set, 'Q');
    w.icon = "ILNaz";
    w.helpKeyword = "VybLek";
    w.links = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    w.letter = 'Q';
    w.editKind = '-';
    w.buttons = buttons;
    w.alwaysNew = true;
    w.placement = ListPlacement::Placed;
    return w;
}

TVyb* OpenDrugResult(ListWindowSpec spec, const std::vector<int32_t>& records, const std::string& statusText,
                     const std::string& iconCaption)
{
    spec.statusText = statusText;
    spec.iconCaption = iconCaption;
    spec.count = static_cast<int32_t>(records.size());
    return OpenListWindow(spec, std::make_shared<DrugResultList>(records));
}

} // namespace

TVyb* ShowDrugResultList(const std::vector<int32_t>& records, const std::string& statusText)
{
    const std::string status = statusText.empty() ? std::string("Medikace") : statusText;
    const std::string icon = status.substr(0, status.find(' '));
    return OpenDrugResult(DrugResultSpec("?="), records, status, icon);
}

TVyb* ShowDrugConditionResult(const std::vector<int32_t>& records)
{
    ListWindowSpec spec = DrugResultSpec("?SD1U=");
    spec.caption = ProgramText("VybLek", "n5");
    const std::string status = ProgramText("Podminka", "Nalez") + " " + std::to_string(records.size());
    return OpenDrugResult(spec, records, status, ProgramText("Podminka", "Pdm"));
}

TVyb* ShowDeviceConditionResult(const std::vector<int32_t>& records)
{
    ListWindowSpec w;
    w.code = KindOf("TQU");
    w.caption = ProgramText("VybPZT", "nQ");
    w.geometry = DeviceListGeometry();
    w.order = DeviceListOrder();
    w.header = DeviceListHeader();
    w.icon = "ILNaz";
    w.links = {LinkKind::None, LinkKind::Device, LinkKind::None};
    w.twoLineRows = true;
    w.letter = 'Q';
    w.editKind = '-';
    w.buttons = "?=";
    w.alwaysNew = true;
    w.placement = ListPlacement::Placed;
    w.statusText = ProgramText("Podminka", "Nalez") + " " + std::to_string(records.size());
    w.iconCaption = ProgramText("Podminka", "Pdm");
    w.count = static_cast<int32_t>(records.size());
    return OpenListWindow(w, std::make_shared<DeviceResultList>(records));
}
