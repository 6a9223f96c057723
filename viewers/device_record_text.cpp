// The device record text: the device's data, its reimbursement variants and
// the paragraphs borrowed from its group's document.

#include <algorithm>
#include <string>
#include <vector>

#include "datastore/drug_helpers.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "viewers/record_text.h"
#include "viewers/record_text_parts.h"

using namespace record_parts;

namespace {

constexpr int kBorrowedLimit = 9999; // bytes copied of a borrowed paragraph

// ---------------------------------------------------------- device parts

// A paragraph of the device's document borrowed by its marker: the bytes
// after code 19 (v) up to the next code 19 or the end, at most 9999 bytes,
// whole items only.
struct Borrowed {
    bool present = false;
    std::string text;
};

Borrowed Borrow(std::string_view doc, int value)
{
    Borrowed b;
    CtrlItem marker;
    if (!FindCode19(doc, value, marker))
        return b;
    b.present = true;
    const std::string_view rest = doc.substr(static_cast<size_t>(marker.End()));
    CtrlTokenizer walk(rest);
    CtrlItem item;
    int end = static_cast<int>(rest.size());
    while (walk.Next(item)) {
        if (item.IsCode(19) || item.IsCode(0)) {
            end = item.offset;
            break;
        }
    }
    const std::string_view para = rest.substr(0, static_cast<size_t>(end));
    b.text = std::string(
        para.substr(0, static_cast<size_t>(CtrlLastWholeItemEnd(para, std::min(end, kBorrowedLimit)))));
    return b;
}

void AppendBorrowed(CtrlTextWriter& w, const Borrowed& b)
{
    if (!b.present)
        return;
    LineBreak(w);
    w.Raw(b.text);
}

void DeviceHeading(CtrlTextWriter& w, std::string& captions, const char* key, const char* caption)
{
    Heading(w, DataSetText("tHla", key));
    AddCaption(captions, DataSetText("tHla", caption));
}

void CodeAndText(CtrlTextWriter& w, char c, std::string_view section)
{
    w.Field(Key(c));
    w.Text(" - " + DataSetText(section, Key(c)));
}

// The records of a device's code that follow the given one in key order.
std::vector<std::string> Variants(std::string_view device, int32_t recordNumber)
{
    std::vector<std::string> out;
    TDbTable& t = Table("pzt");
    std::string rec;
    const std::string code = FieldText(device, kDeviceCode);
    if (!Open(t, kPztLayout, "pztkod") || !FindExact(t, code, rec))
        return out;
    std::vector<std::pair<int32_t, std::string>> same;
    do {
        same.emplace_back(t.recNo, rec);
    } while (NextInOrder(t, rec) && SameCode(rec, kDeviceCode, code));
    // From after the given record; when it is not among them, after the first.
    size_t from = 1;
    for (size_t i = 0; i < same.size(); ++i)
        if (same[i].first == recordNumber) {
            from = i + 1;
            break;
        }
    for (size_t i = from; i < same.size(); ++i)
        out.push_back(std::move(same[i].second));
    return out;
}

} // namespace

// -------------------------------------------------------------- the device

namespace {

// 1. The basic data; whether the device belongs to a classification group.
bool DeviceBasics(CtrlTextWriter& w, std::string& captions, std::string_view device, std::string_view group)
{
    DeviceHeading(w, captions, "tZakl", "zZakl");
    TableDevice(w);
    DeviceLabelCell(w, "Kod");
    w.Field(FieldText(device, kDeviceCode));
    if (FieldByte(device, kDevicePreviousCode) != ' ') {
        DeviceLabelCell(w, "PKod");
        w.Field(FieldText(device, kDevicePreviousCode));
    }
    DeviceLabelCell(w, "Naz");
    w.Field(TrimmedField(device, kDeviceName));
    DeviceLabelCell(w, "Dop");
    w.Field(TrimmedField(device, kDeviceSupplement));
    if (!TrimView(FieldText(device, kDeviceMaker)).empty()) {
        TDbTable& t = Table("pztvyrv");
        std::string rec;
        if (Open(t, kPztvyrvLayout, "pztvyrko") && FindExact(t, FieldText(device, kDeviceMaker), rec)) {
            DeviceLabelCell(w, "Vyr");
            w.Field(TrimmedField(rec, kDeviceMakerName));
            w.Text(", " + Trim(LookupCountry(FieldText(device, kDeviceCountry))));
        }
    }
    DeviceLabelCell(w, "Bal");
    w.Text(DataSetText("TBa", Key(FieldByte(device, kDevicePackage))));
    {
        const std::string type = FieldText(device, kDeviceType);
        TDbTable& t = Table("pzttypv");
        std::string rec;
        DeviceLabelCell(w, "Typ");
        w.Field(type);
        if (Open(t, kPzttypvLayout, "pzttypko") && FindExact(t, type, rec)) {
            w.Text(" - ");
            w.Field(TrimmedField(rec, kDeviceTypeName));
        } else {
            w.Text(ProgramText("Chyby", "NotFndIn") + "\"PZTTYPV\"");
        }
    }
    if (const char c = FieldByte(device, kDeviceGroupMark); c != ' ') {
        DeviceLabelCell(w, "SkuPo");
        w.Field(Key(c));
    }
    if (const char unit = FieldByte(device, kDeviceUnit); unit != ' ') {
        DeviceLabelCell(w, "MerJd");
        w.Text(DataSetText("TBa", Key(unit)));
        DeviceLabelCell(w, "MJBal");
        w.Field(TrimmedField(device, kDeviceUnitPackage));
    }
    const bool grouped = FieldByte(device, kDeviceClassGroup) != ' ';
    if (grouped) {
        DeviceLabelCell(w, "UhrSk", CtrlCodeBytes(20, {1}));
        EmphOn(w);
        w.Field(CompactToCode(FieldText(group, kClassGroupCode)));
        EmphOff(w);
        LineBreak(w);
        w.Field(Trim(FieldText(group, kClassGroupName) + FieldText(group, kClassGroupNameRest)));
    }
    SectionEnd(w);
    return grouped;
}

// 2. The paragraphs borrowed from the group's document.
void GroupParagraphs(CtrlTextWriter& w, std::string& captions, std::string_view doc, bool grouped)
{
    const Borrowed popis = Borrow(doc, 21);
    const Borrowed indikace = Borrow(doc, 36);
    const Borrowed limit = Borrow(doc, 37);
    if (grouped && (popis.present || indikace.present || limit.present)) {
        DeviceHeading(w, captions, "tUhrSk", "zUhrSk");
        auto paragraph = [&](const char* key, const Borrowed& b) {
            if (!b.present)
                return;
            ParagraphBreak(w);
            EmphOn(w);
            w.Text(WithoutLeadingPlus(DataSetText("tHla", key)));
            EmphOff(w);
            ParagraphBreak(w);
            w.Raw(b.text);
        };
        paragraph("UhPop", popis);
        paragraph("UhInd", indikace);
        paragraph("UhrLim", limit);
    }
}

// 3. The basics of the reimbursement.
void ReimbursementBasics(CtrlTextWriter& w, std::string& captions, std::string_view device,
                         std::string_view doc)
{
    DeviceHeading(w, captions, "tZakUh", "zZakUh");
    TableDevice(w);
    DeviceLabelCell(w, "PreZ");
    CodeAndText(w, FieldByte(device, kDeviceSale), "TPr");
    // The right-aligned fields count as present when their last character is.
    if (const Borrowed b = Borrow(doc, 75);
        FieldByte(device, kDeviceReimbursedShare, 1) != ' ' || b.present) {
        DeviceLabelCell(w, "UhrP");
        w.Field(FieldText(device, kDeviceReimbursedShare));
        AppendBorrowed(w, b);
    }
    if (const Borrowed b = Borrow(doc, 73); FieldByte(device, kDeviceUsePeriod, 2) != ' ' || b.present) {
        DeviceLabelCell(w, "UziD");
        w.Field(TrimmedField(device, kDeviceUsePeriod) + " ");
        if (FieldByte(device, kDeviceUsePeriod, 2) != ' ')
            w.Text(DataSetText("tHla", "mesic"));
        AppendBorrowed(w, b);
    }
    if (FieldByte(device, kDevicePiecesPerPeriod, 3) != ' ') {
        DeviceLabelCell(w, "KusUD");
        w.Field(TrimmedField(device, kDevicePiecesPerPeriod));
    }
    if (FieldByte(device, kDeviceMaxPrice, 8) != ' ') {
        DeviceLabelCell(w, "MaxC");
        w.Field(FormatCode7(FieldText(device, kDeviceMaxPrice)));
        w.Text(CurrencySuffix());
    }
    if (const char c = FieldByte(device, kDeviceDnc); c != ' ') {
        DeviceLabelCell(w, "DNC");
        CodeAndText(w, c, "TDC");
    }
    SectionEnd(w);
}

// 4. One reimbursement variant with the group's way and limits.
void VariantSection(CtrlTextWriter& w, std::string& captions, std::string_view v, const Borrowed& way,
                    const Borrowed& limits)
{
    std::string extra = " ";
    extra += FieldByte(v, kDeviceSequence);
    if (const char m = MaskMarkLetter(FieldByte(v, kDeviceMark), FieldByte(v, kDeviceSale)); m != ' ')
        extra += " (" + DataSetText("TZd", Key(m)) + ")";
    Heading(w, DataSetText("tHla", "tUhr"));
    w.Field(extra.substr(0, 2));
    w.Text(extra.substr(2));
    AddCaption(captions, DataSetText("tHla", "zUhr") + extra);
    TableDevice(w);
    DeviceLabelCell(w, "ZpUhr");
    CodeAndText(w, FieldByte(v, kDeviceReimbursementLetter), "TUh");
    AppendBorrowed(w, way);
    if (FieldByte(v, kDeviceReimbursement, 8) != ' ') {
        DeviceLabelCell(w, "Uhr");
        w.Field(FormatCode7(FieldText(v, kDeviceReimbursement)));
        w.Text(CurrencySuffix());
    }
    if (const char c = FieldByte(v, kDeviceLimit); c != ' ' || limits.present) {
        DeviceLabelCell(w, "Lim");
        CodeAndText(w, c, "TRl");
        AppendBorrowed(w, limits);
    }
    DeviceLabelCell(w, "Pre");
    const std::string pre = TrimmedField(v, kDevicePrescribers);
    w.Field(pre);
    AppendPreCodes(w, pre);
    SectionEnd(w);
}

// 5. The administration.
void Administration(CtrlTextWriter& w, std::string& captions, std::string_view device)
{
    DeviceHeading(w, captions, "tAdm", "zAdm");
    TableDevice(w);
    if (const std::string holder = FieldText(device, kDeviceHolder); holder != "____") {
        TDbTable& t = Table("pztohl");
        std::string rec;
        if (Open(t, kPztohlLayout, "pztohlko") && FindExact(t, holder, rec)) {
            DeviceLabelCell(w, "Ohl");
            w.Field(TrimmedField(rec, kDeviceHolderName));
        }
    }
    DeviceLabelCell(w, "DatZm");
    w.Field(CompactDateStr(FieldText(device, kDeviceChangeDate), false));
    SectionEnd(w);
}

} // namespace

RecordText ComposeDeviceText(std::string_view device, int32_t recordNumber, std::string_view documentText,
                             std::string_view group)
{
    RecordText out;
    CtrlTextWriter w;
    std::string& captions = out.captions;
    const std::string_view doc = CtrlTextUpToEnd(documentText);
    const bool grouped = DeviceBasics(w, captions, device, group);
    GroupParagraphs(w, captions, doc, grouped);
    ReimbursementBasics(w, captions, device, doc);
    const Borrowed way = Borrow(doc, 76);
    const Borrowed limits = Borrow(doc, 38);
    for (const std::string& v : Variants(device, recordNumber))
        VariantSection(w, captions, v, way, limits);
    Administration(w, captions, device);
    w.Code(0);
    out.text = w.Take();
    return out;
}

std::string DeviceGroupRecord(std::string_view device)
{
    const std::string code = FieldText(device, kDeviceClassGroup);
    if (TrimView(code).empty())
        return {};
    // The code and both parts of the name.
    constexpr size_t kGroupLength = kClassGroupNameRest.End();
    TDbTable& t = Table("pztuhs");
    std::string rec;
    if (Open(t, kPztuhsLayout, "pztuhsko") && FindExact(t, code, rec))
        return rec.substr(0, kGroupLength);
    std::string group = code;
    group.resize(kGroupLength, ' ');
    return group;
}
