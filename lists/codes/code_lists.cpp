#include "lists/codes/code_lists.h"

#include <QIcon>
#include <QWidget>

#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/product_commands.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "frame/windows/data_form.h"
#include "lists/codes/atc_list.h"
#include "lists/devices/device_lists.h"
#include "lists/drugs/drug_lists.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/goods/goods_lists.h"
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
    .restrictedList = "DIG",
    .restrictedLink = LinkKind::IndicationGroup,
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
    .restrictedList = "DCN",
    .restrictedLink = LinkKind::Country,
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
    .restrictedList = "DHD",
    .restrictedLink = LinkKind::Holder,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
};

// --------------------------------------------- device and goods code lists

namespace {

constexpr TableNames kPztzemv{"pztzemv", "pztzemko", "pztzemna"};
constexpr TableNames kPztvyrv{"pztvyrv", "pztvyrko", "pztvyrna"};
// The holders are listed by name only.
constexpr TableNames kPztohl{"pztohl", "pztohlna", "pztohlna"};
constexpr TableNames kPzttypv{"pzttypv", "pzttypko", "pzttypna"};
constexpr TableNames kPztuhs{"pztuhs", "pztuhsko", "pztuhsna"};
constexpr TableNames kPfazemv{"pfazemv", "pfazemko", "pfazemna"};
constexpr TableNames kPfavyrv{"pfavyrv", "pfavyrko", "pfavyrna"};

} // namespace

const CodeListSpec kDeviceCountryList{
    .handlerName = "OpenDeviceCountryList",
    .czech = kPztzemv,
    .english = kPztzemv,
    .layout = &kPztzemvLayout,
    .key1 = kCountryCode,
    .key2 = {},
    .name = kCountryName,
    .hideFlag = kCountryListMark,
    .rowLayout = "Zem=04Naz.",
    .columnNames = "Zem,Naz",
    .columnOrder = "1/60,0,1",
    .maxTyped = 33,
    .buttons = ">?=",
    .captionKey = "nz",
    .headerKey = "hz",
    .headingHintKey = "vz",
    .icon = "IZem",
    .offeredLink = LinkKind::DeviceCountry,
    .count = 26,
    .restrictedList = "TCN",
    .restrictedLink = LinkKind::DeviceCountry,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
    .hideRule = HideRule::FlagBlank,
    .opener = OpenDependentDeviceList,
    .startLetter = 'N',
};

const CodeListSpec kDeviceMakerList{
    .handlerName = "OpenDeviceMakerList",
    .czech = kPztvyrv,
    .english = kPztvyrv,
    .layout = &kPztvyrvLayout,
    .key1 = kDeviceMakerCode,
    .key2 = kDeviceMakerCountry,
    .name = kDeviceMakerName,
    .hideFlag = {},
    .rowLayout = "Kod=04Zem=04Vyr.",
    .columnNames = "Kod,Zem,Vyr",
    .columnOrder = "2/40,0,1,2",
    .maxTyped = 50,
    .buttons = ">?=",
    .captionKey = "nv",
    .headerKey = "hv",
    .headingHintKey = "vv",
    .icon = "IVyr",
    .offeredLink = LinkKind::DeviceMaker,
    .count = 440,
    .restrictedList = "TFA",
    .restrictedLink = LinkKind::DeviceMaker,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
    .hideRule = HideRule::None,
    .opener = OpenDependentDeviceList,
    .column1Hint = Column1Hint::DeviceCountry,
    .startLetter = 'N',
};

const CodeListSpec kDeviceHolderList{
    .handlerName = "OpenDeviceHolderList",
    .czech = kPztohl,
    .english = kPztohl,
    .layout = &kPztohlLayout,
    .key1 = {},
    .key2 = {},
    .name = kDeviceHolderName,
    .hideFlag = {},
    .rowLayout = "Naz.",
    .columnNames = "Naz",
    .columnOrder = "0",
    .maxTyped = 50,
    .buttons = "?=",
    .captionKey = "no",
    .headerKey = "ho",
    .headingHintKey = nullptr,
    .icon = "IDrz",
    .offeredLink = LinkKind::DeviceHolder,
    .count = 440,
    .restrictedList = "TAN",
    .restrictedLink = LinkKind::DeviceHolder,
    .nameOrder = NameOrderRule::NameOnly,
    .tabWhileTyped = 0,
    .hideRule = HideRule::None,
    .opener = OpenDependentDeviceList,
    .startLetter = 'N',
    .tabSwitches = false,
};

const CodeListSpec kDeviceTypeList{
    .handlerName = "OpenDeviceTypeList",
    .czech = kPzttypv,
    .english = kPzttypv,
    .layout = &kPzttypvLayout,
    .key1 = kDeviceTypeCode,
    .key2 = {},
    .name = kDeviceTypeName,
    .hideFlag = {},
    .rowLayout = "Typ=03Naz.",
    .columnNames = "Typ,Naz",
    .columnOrder = "1/90,0,1",
    .maxTyped = 50,
    .buttons = ">?=",
    .captionKey = "nt",
    .headerKey = "ht",
    .headingHintKey = "vt",
    .icon = "IInd",
    .offeredLink = LinkKind::DeviceType,
    .count = 36,
    .restrictedList = "TTY",
    .restrictedLink = LinkKind::DeviceType,
    .nameOrder = NameOrderRule::FirstNotDigit,
    .tabWhileTyped = 0,
    .hideRule = HideRule::None,
    .opener = OpenDependentDeviceList,
    .startLetter = 'N',
};

const CodeListSpec kDeviceClassList{
    .handlerName = "OpenDeviceClassList",
    .czech = kPztuhs,
    .english = kPztuhs,
    .layout = &kPztuhsLayout,
    .key1 = kClassGroupCode,
    .key2 = {},
    .name = kClassGroupName,
    .hideFlag = {},
    .rowLayout = "Kod=11ActNaz=B0.",
    .columnNames = "Kod,Act,Naz",
    .columnOrder = "2/90,0,1,2",
    .maxTyped = 50,
    .buttons = ">?=",
    .captionKey = "nu",
    .headerKey = "hu",
    .headingHintKey = "vu",
    .icon = "IATC",
    .offeredLink = LinkKind::DeviceClassGroup,
    .count = 36,
    .restrictedList = "TKA",
    .restrictedLink = LinkKind::DeviceClassGroup,
    .nameOrder = NameOrderRule::FirstNotDigit,
    .tabWhileTyped = 0,
    .hideRule = HideRule::None,
    .rowKind = CodeRowKind::ClassGroup,
    .opener = OpenDependentDeviceList,
    .column1Hint = Column1Hint::ActiveMark,
    .compactCodeSeek = true,
    .startLetter = 'N',
};

const CodeListSpec kGoodsCountryList{
    .handlerName = "OpenGoodsCountryList",
    .czech = kPfazemv,
    .english = kPfazemv,
    .layout = &kPfazemvLayout,
    .key1 = kCountryCode,
    .key2 = {},
    .name = kCountryName,
    .hideFlag = kCountryListMark,
    .rowLayout = "Zem=04Naz.",
    .columnNames = "Zem,Naz",
    .columnOrder = "1/60,0,1",
    .maxTyped = 33,
    .buttons = ">?=",
    .captionKey = "nz",
    .headerKey = "hz",
    .headingHintKey = "vz",
    .icon = "IZem",
    .offeredLink = LinkKind::GoodsCountry,
    .count = 45,
    .restrictedList = "PCN",
    .restrictedLink = LinkKind::GoodsCountry,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
    .hideRule = HideRule::FlagBlank,
    .opener = OpenDependentGoodsList,
    .startLetter = 'N',
};

const CodeListSpec kGoodsMakerList{
    .handlerName = "OpenGoodsMakerList",
    .czech = kPfavyrv,
    .english = kPfavyrv,
    .layout = &kPfavyrvLayout,
    .key1 = kGoodsMakerCode,
    .key2 = {},
    .name = kGoodsMakerName,
    .hideFlag = {},
    .rowLayout = nullptr,
    .columnNames = nullptr,
    .columnOrder = "0",
    .maxTyped = 50,
    .buttons = "?=",
    .captionKey = "nv",
    .headerKey = "hp",
    .headingHintKey = "vv2",
    .icon = "IVyr",
    .offeredLink = LinkKind::GoodsMaker,
    .count = 700,
    .restrictedList = "PFA",
    .restrictedLink = LinkKind::GoodsMaker,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 3,
    .hideRule = HideRule::None,
    .rowKind = CodeRowKind::KeyThenName,
    .opener = OpenDependentGoodsList,
    .oneHeadingHint = true,
    .geometry = "6/60",
    .startLetter = 'N',
    .tabSwitches = false,
};

std::span<const CodeListSpec* const> AllCodeListSpecs()
{
    static constexpr const CodeListSpec* kAll[] = {
        &kIndicationGroupList, &kCountryList,    &kHolderList,      &kDeviceCountryList, &kDeviceMakerList,
        &kDeviceHolderList,    &kDeviceTypeList, &kDeviceClassList, &kGoodsCountryList,  &kGoodsMakerList,
    };
    return kAll;
}

std::string ClassGroupSeekKey(std::string_view typed)
{
    std::string code(typed);
    if (code.find('.') == std::string::npos) {
        std::string pointed;
        for (size_t i = 0; i < code.size(); ++i) {
            if (i > 0 && i % 2 == 0)
                pointed += '.';
            pointed += code[i];
        }
        code = pointed;
    }
    if (code.size() < 11)
        code.resize(11, '0');
    // The points stand where the full code has them.
    for (size_t i = 2; i < 11; i += 3)
        if (code[i] == '0')
            code[i] = '.';
    std::string key = CodeToCompact(code.substr(0, 11));
    if (key.size() >= 4 && key[3] == '~')
        key.pop_back();
    while (!key.empty() && key.back() == ' ')
        key.pop_back();
    return key;
}

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
    case NameOrderRule::NameOnly: return 'N';
    }
    return 'C';
}

std::string CodeList::RowText(std::string_view record) const
{
    std::string text(1, '\0');
    switch (spec_.rowKind) {
    case CodeRowKind::KeyThenName:
        text += FieldBytes(record, spec_.key1);
        text += FieldBytes(record, spec_.name);
        return text;
    case CodeRowKind::ClassGroup: {
        std::string code = CompactToCode(FieldBytes(record, spec_.key1));
        code.resize(11, ' ');
        text += code;
        text += static_cast<uint8_t>(FieldByte(record, kClassGroupActive)) > ' ' ? '*' : ' ';
        text += FieldBytes(record, kClassGroupName);
        text += FieldBytes(record, kClassGroupNameRest);
        return text;
    }
    case CodeRowKind::KeysAndName:
    case CodeRowKind::CategoryTree: break;
    }
    for (const FieldPos& key : {spec_.key1, spec_.key2}) {
        if (key.length == 0)
            continue;
        text += FieldBytes(record, key);
        text += ' ';
    }
    text += FieldBytes(record, spec_.name);
    return text;
}

std::string CodeList::SeekKey(const VybRec& rec) const
{
    if (spec_.compactCodeSeek && (rec.Letter == 'C' || rec.Letter == 'c') && !rec.Prefix.empty())
        return ClassGroupSeekKey(rec.Prefix);
    return rec.Prefix;
}

bool CodeList::Shown(std::string_view record) const
{
    switch (spec_.hideRule) {
    case HideRule::None: return true;
    case HideRule::FlagSet: return spec_.hideFlag.length == 0 || FieldByte(record, spec_.hideFlag) == ' ';
    case HideRule::FlagBlank: return spec_.hideFlag.length == 0 || FieldByte(record, spec_.hideFlag) != ' ';
    }
    return true;
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
        FindRecord(t, SeekKey(rec), record_);
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
        if (!Shown(record_))
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
        if (spec_.tabSwitches && spec_.nameOrder != NameOrderRule::NameOnly &&
            rec.Prefix.size() <= spec_.tabWhileTyped) {
            rec.Letter = rec.Letter == 'C' ? 'N' : 'C';
            return ListAction::PrefixChanged;
        }
        return action;
    case ListAction::Enter:
    case ListAction::RowClicked:
        (spec_.opener != nullptr ? spec_.opener : OpenDrugSubList)(KindOf(spec_.restrictedList),
                                                                   spec_.restrictedLink);
        return ListAction::None;
    case ListAction::PrefixChanged:
        switch (spec_.nameOrder) {
        case NameOrderRule::NameOnly: break;
        // Types and groups keep their order until something is typed.
        case NameOrderRule::FirstNotDigit:
            if (!rec.Prefix.empty() || spec_.opener == nullptr)
                rec.Letter = LetterFor(rec.Prefix);
            break;
        case NameOrderRule::LongerThan3: rec.Letter = LetterFor(rec.Prefix); break;
        }
        return action;
    default: return action;
    }
}

std::string CodeList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint:
        if (sub == 1 && spec_.column1Hint == Column1Hint::DeviceCountry)
            return LookupDeviceCountry(key);
        if (sub == 1 && spec_.column1Hint == Column1Hint::ActiveMark)
            return ProgramText("VybPom", !key.empty() && key[0] == '*' ? "vu1" : "vu1_");
        return std::string(key);
    case InfoKind::HeadingHint:
        if (spec_.headingHintKey == nullptr)
            return {};
        if (spec_.oneHeadingHint)
            return ProgramText("VybPom", spec_.headingHintKey);
        return ProgramText("VybPom", spec_.headingHintKey + std::to_string(sub));
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
    w.geometry =
        spec.geometry != nullptr
            ? std::string(spec.geometry)
            : CompileColumnLayout(spec.rowLayout, ColumnWidthTableOf(*spec.layout), spec.columnNames);
    w.order = spec.columnOrder;
    w.header = std::string(1, '\0') + ProgramText("VybPom", spec.headerKey);
    w.maxTyped = spec.maxTyped;
    w.editKind = 'A';
    w.buttons = spec.buttons;
    w.icon = spec.icon;
    w.links = {LinkKind::None, spec.offeredLink, LinkKind::None};
    w.letter = spec.startLetter;
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
