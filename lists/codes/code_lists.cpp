#include "lists/codes/code_lists.h"

#include <QIcon>
#include <QWidget>

#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/product_commands.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "frame/windows/data_form.h"
#include "lists/codes/atc_list.h"
#include "lists/drugs/drug_lists.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"

const CodeListSpec kIndicationGroupList{
    .handlerName = "OpenIndicationGroupList",
    .czech = {"isv", "isvkod", "isvnaz"},
    .english = {"isva", "isvkoda", "isvnaza"},
    .layout = &kIsvLayout,
    .key1 = kIndicationGroupCode,
    .key2 = {},
    .name = kIndicationGroupName,
    .hideFlag = {},
    .rowLayout = "InS=03Naz.",
    .columnNames = "InS,Naz",
    .columnOrder = "1/90,0,1",
    .maxTyped = 56,
    .buttons = ">?=",
    .captionKey = "ni",
    .headerKey = "hi",
    .headingHintKey = "vi",
    .icon = "IInd",
    .offeredLink = LinkKind::IndicationGroup,
    .count = 100,
    .drugList = "DIG",
    .drugLink = LinkKind::IndicationGroup,
    .nameOrder = NameOrderRule::FirstNotDigit,
    .tabWhileTyped = 0,
};

const CodeListSpec kCountryList{
    .handlerName = "OpenCountryList",
    .czech = {"zemv", "zemvkod", "zemvnaz"},
    .english = {"zemva", "zemvkoda", "zemvnaza"},
    .layout = &kZemvLayout,
    .key1 = kCountryCode,
    .key2 = {},
    .name = kCountryName,
    .hideFlag = kCountryListMark,
    .rowLayout = "Zem=04Naz.",
    .columnNames = "Zem,Naz",
    .columnOrder = "1/60,0,1",
    .maxTyped = 16,
    .buttons = ">?=",
    .captionKey = "nz",
    .headerKey = "hz",
    .headingHintKey = "vz",
    .icon = "IZem",
    .offeredLink = LinkKind::Country,
    .count = 60,
    .drugList = "DCN",
    .drugLink = LinkKind::Country,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
};

// The holders' table has one edition; its key is holder + country.
const CodeListSpec kHolderList{
    .handlerName = "OpenHolderList",
    .czech = {"drzv", "drzvkod", "drzvnaz"},
    .english = {"drzv", "drzvkod", "drzvnaz"},
    .layout = &kDrzvLayout,
    .key1 = kRegHolderCode,
    .key2 = kRegHolderCountry,
    .name = kRegHolderName,
    .hideFlag = {},
    .rowLayout = "Drz=04Zem=04Naz=99.",
    .columnNames = "Drz,Zem,Naz",
    .columnOrder = "2/90,0,1,2",
    .maxTyped = 50,
    .buttons = ">?=",
    .captionKey = "nd",
    .headerKey = "hd",
    .headingHintKey = "vd",
    .icon = "IDrz",
    .offeredLink = LinkKind::Holder,
    .count = 4600,
    .drugList = "DHD",
    .drugLink = LinkKind::Holder,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
};

bool FetchWalkStart(const VybRec& rec, int32_t first, int32_t last, int32_t atTopPos, int32_t& pos, int& step)
{
    step = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::ReadFirstShown: pos = rec.Rows[1].Pos; return true;
    case FetchModeCode::Before:
        pos = rec.Rows[1].Pos - 1;
        step = -1;
        return true;
    case FetchModeCode::After: pos = rec.Rows[rec.RowCount].Pos + 1; return true;
    case FetchModeCode::First: pos = first; return true;
    case FetchModeCode::Last:
        pos = last;
        step = -1;
        return true;
    case FetchModeCode::AtTopPos: pos = atTopPos; return true;
    default: return false;
    }
}

const TableNames& CurrentNames(const TableNames& czech, const TableNames& english)
{
    return EnglishTables() ? english : czech;
}

std::string SharedButtonInfo(uint8_t sub, const TVybRow& row, std::string_view key)
{
    if (key.empty() || key[0] == ' ')
        return {};
    if (key == "&")
        return ButtonHintText('&', 0, false);
    return sub <= 1 ? ButtonHintText(key[0], sub, row.Pos != 0) : std::string();
}

// ------------------------------------------------------------------ CodeList

bool CodeList::Open(char letter)
{
    const TableNames& names = CurrentNames(spec_.czech, spec_.english);
    DbStatus = 0;
    OpenTable(table_, TFileId(names.table), TFileId(letter == 'C' ? names.codeIndex : names.nameIndex),
              static_cast<uint16_t>(spec_.layout->Length()));
    return DbStatus == 0 && table_.sez.IsOpen();
}

std::string_view CodeList::CheckTables()
{
    return Open('C') ? std::string_view() : "NoData";
}

char CodeList::LetterFor(std::string_view typed) const
{
    switch (spec_.nameOrder) {
    case NameOrderRule::FirstNotDigit:
        return !typed.empty() && (typed[0] < '0' || typed[0] > '9') ? 'N' : 'C';
    case NameOrderRule::LongerThan3: return typed.size() > 3 ? 'N' : 'C';
    }
    return 'C';
}

std::string CodeList::RowText(std::string_view record) const
{
    std::string text(1, '\0');
    for (const FieldPos& key : {spec_.key1, spec_.key2}) {
        if (key.length == 0)
            continue;
        text += FieldBytes(record, key);
        text += ' ';
    }
    text += FieldBytes(record, spec_.name);
    return text;
}

void CodeList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!Open(rec.Letter))
        return;
    TDbTable& t = table_;
    const int32_t last = t.LeafCount() - 1;
    int32_t p = -1;
    int step = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
        FindRecord(t, rec.Prefix, record_);
        // The lists are never strict: a prefix that is not found shows the
        // list from where it would stand.
        if (DbStatus > 0 || DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar)
            return;
        DbStatus = 0;
        p = t.Position();
        rec.TopPos = p;
        rec.FoundPos = 0;
        InitFetchRange(rec, t);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        break;
    default:
        if (!FetchWalkStart(rec, 0, last, rec.TopPos + rec.FoundPos, p, step))
            return;
        break;
    }
    for (; p >= 0 && p <= last; p += step) {
        ReadByOrder(t, p, record_);
        if (DbStatus != 0)
            return;
        if (spec_.hideFlag.length > 0 && FieldByte(record_, spec_.hideFlag) != ' ')
            continue;
        row.Pos = p;
        row.Aux = t.recNo;
        row.Offer1 = t.recNo;
        row.Offer2 = 0;
        text = RowText(record_);
        return;
    }
}

ListAction CodeList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Tab:
        if (rec.Prefix.size() <= spec_.tabWhileTyped) {
            rec.Letter = rec.Letter == 'C' ? 'N' : 'C';
            return ListAction::PrefixChanged;
        }
        return action;
    case ListAction::Enter:
    case ListAction::RowClicked:
        OpenDrugSubList(KindOf(spec_.drugList), spec_.drugLink);
        return ListAction::None;
    case ListAction::PrefixChanged: rec.Letter = LetterFor(rec.Prefix); return action;
    default: return action;
    }
}

std::string CodeList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint: return std::string(key);
    case InfoKind::HeadingHint: return ProgramText("VybPom", spec_.headingHintKey + std::to_string(sub));
    case InfoKind::Control: return SharedButtonInfo(sub, row, key);
    default: return {};
    }
}

// ------------------------------------------------------------------ Openers

ListWindowSpec CodeListWindowSpec(const CodeListSpec& spec, uint16_t code)
{
    ListWindowSpec w;
    w.code = code;
    w.caption = ProgramText("VybPom", spec.captionKey);
    w.geometry = CompileColumnLayout(spec.rowLayout, ColumnWidthTableOf(*spec.layout), spec.columnNames);
    w.order = spec.columnOrder;
    w.header = std::string(1, '\0') + ProgramText("VybPom", spec.headerKey);
    w.maxTyped = spec.maxTyped;
    w.editKind = 'A';
    w.buttons = spec.buttons;
    w.icon = spec.icon;
    w.links = {LinkKind::None, spec.offeredLink, LinkKind::None};
    w.letter = 'C';
    w.count = spec.count;
    return w;
}

TVyb* OpenCodeList(const CodeListSpec& spec, uint16_t code)
{
    return OpenListWindow(CodeListWindowSpec(spec, code), std::make_shared<CodeList>(spec));
}

void OpenIndicationGroupList(uint16_t code)
{
    OpenCodeList(kIndicationGroupList, code);
}

void OpenCountryList(uint16_t code)
{
    OpenCodeList(kCountryList, code);
}

void OpenHolderList(uint16_t code)
{
    OpenCodeList(kHolderList, code);
}
