#include "viewers/viewer_page.h"

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "viewers/record_text.h"
#include "viewers/viewer_document.h"

namespace {

constexpr uint16_t kDeviceTypeLength = kPzttypvLayout.Length();
constexpr uint16_t kDeviceGroupLength = kPztuhsLayout.Length();

char At(std::string_view record, FieldPos f, int i = 0)
{
    return FieldByte(record, f, i);
}

std::string F(std::string_view record, FieldPos f)
{
    return GetField(record, f.start, f.length);
}

int32_t Int32At(std::string_view record, FieldPos f)
{
    if (f.start < 1 || static_cast<size_t>(f.End()) > record.size())
        return -1;
    return static_cast<int32_t>(DecodeLE32(record.data() + f.Offset()));
}

std::string Trimmed(std::string_view record, FieldPos f)
{
    return std::string(TrimBlanks(GetField(record, f.start, f.length)));
}

bool NoReimbursement(char c)
{
    return c == ' ' || c == '/' || c == '6';
}

// A record of a code table by its key (empty when not found).
std::string FindByKey(const char* table, const char* index, uint16_t length, const std::string& key)
{
    TDbTable t;
    OpenTable(t, TFileId(table), TFileId(index), length);
    std::string record;
    if (DbStatus == 0)
        FindRecord(t, key, record);
    const bool found = DbStatus == 0 && record.compare(0, key.size(), key) == 0;
    DbStatus = 0;
    return found ? record : std::string();
}

// The reimbursement lines of the article views: "UhrL.hdr0" and the entry of
// the restriction letters, else "UhrL.uhr", then "UhrL.hdr2".
std::string ReimbursementLines(char restriction)
{
    std::string entry;
    std::string hdr0;
    std::string hdr2;
    if (restriction > '0') {
        const int bits = restriction - '0';
        std::string key;
        if (bits & 1)
            key += 'I';
        if (bits & 4)
            key += 'P';
        if (bits & 2)
            key += 'V';
        if (GetTextEntry(DataTexts, "UhrL", key, entry) != 0)
            GetTextEntry(DataTexts, "UhrL", "hdr0", hdr0);
        else
            entry.clear();
    }
    if (entry.empty())
        entry = DataSetText("UhrL", "uhr");
    GetTextEntry(DataTexts, "UhrL", "hdr2", hdr2);
    return "\r" + hdr0 + entry + hdr2;
}

// The notice of a missing document.
std::string NoticeKey(const ViewerPageInput& in, bool drugRecord)
{
    const char kind = in.kind;
    if (kind == 'P' || kind == 'Q')
        return {};
    std::string key = kind == 'I' || kind == 'L' || kind == 'S' ? "eNove" : "rPrip";
    if (!drugRecord)
        return key;
    if ((kind == 'E' || kind == 'I' || kind == 'S') && F(in.record, kDrugIndicationGroup) == "93")
        key = "eHomeo";
    switch (At(in.record, kDrugState)) {
    case '-':
    case '\\': return "eZrus";
    case 'F': return kind == 'E' || kind == 'I' || kind == 'L' || kind == 'S' ? "eSpecP" : key;
    case 'P': return kind == 'I' || kind == 'S' ? "ePotr" : key;
    case 'I': return {};
    default: return key;
    }
}

} // namespace

std::string DocumentFileOfKind(char kind)
{
    switch (kind) {
    case '1': return "pztmet";
    case 'E': return "kodexa";
    case 'I':
    case 'S': return "spc";
    case 'L': return "letak";
    case 'R': return "pfakodex";
    case 'T': return "pztuhsx";
    case 'A':
    case 'B':
    case 'K':
    case 'X': return "kodex";
    default: return "";
    }
}

std::string DrugRecordLine(std::string_view record)
{
    std::string line = F(record, kDrugCode);
    for (const FieldPos f : {kDrugName, kDrugForm, kDrugStrength, kDrugPackage}) {
        const std::string part = Trimmed(record, f);
        if (!part.empty())
            line += " " + part;
    }
    return line;
}

ViewerPageOutput PrepareViewerPage(const ViewerPageInput& in)
{
    ViewerPageOutput out;
    out.selection = in.selection;
    out.showAll = in.showAll;
    out.invert = in.invert;
    const char kind = in.kind;
    const std::string& record = in.record;
    const bool readsRecord = kind != '2' && kind != 'N' && kind != 'Y';
    const bool drugRecord = readsRecord && in.linkKind == LinkKind::Drug && !record.empty();
    std::string groupRecord;

    // The product and where its document is.
    if (!readsRecord || record.empty()) {
        // Nothing of the record is read: the notice of a document to come.
    } else if (kind == '1') {
        out.productCode = F(record, kDeviceCode);
        const std::string type = FindByKey("pzttypv", "pzttypko", kDeviceTypeLength, F(record, kDeviceType));
        if (!type.empty()) {
            out.offset = Int32At(type, kDeviceTypeTextOffset);
            out.docFile = "pztmet";
            out.titleSuffix = F(type, kDeviceTypeCode) + " " + Trimmed(type, kDeviceTypeName);
        }
    } else if (kind == 'T') {
        out.productCode = F(record, kDeviceCode);
        out.offset = 1; // the record text is composed in any case
        const std::string group = F(record, kDeviceClassGroup);
        if (!TrimBlanks(group).empty())
            groupRecord = FindByKey("pztuhs", "pztuhsko", kDeviceGroupLength, group);
        if (!groupRecord.empty())
            out.titleSuffix = CompactToCode(F(groupRecord, kClassGroupCode)) + " - " +
                              std::string(TrimBlanks(F(groupRecord, kClassGroupName) +
                                                     F(groupRecord, kClassGroupNameRest)));
    } else if (kind == 'Q' || kind == 'R') {
        out.productCode = F(record, kGoodsCode);
        if (kind == 'Q') {
            out.offset = At(record, kGoodsPhoto) == ' ' ? -1 : 1;
        } else {
            out.offset = Int32At(record, kGoodsTextOffset);
            out.docFile = "pfakodex";
        }
        out.titleSuffix =
            out.productCode + " " + Trimmed(record, kGoodsName) + " " + Trimmed(record, kGoodsSupplement);
    } else {
        out.productCode = F(record, kDrugCode);
        switch (kind) {
        case 'E': out.offset = Int32At(record, kDrugAltSummaryOffset); break;
        case 'I':
        case 'S': out.offset = Int32At(record, kDrugSpcOffset); break;
        case 'L': out.offset = Int32At(record, kDrugLeafletOffset); break;
        case 'M': out.offset = 1; break;
        case 'P': out.offset = (static_cast<uint8_t>(At(record, kDrugWebFlags)) & 1) ? 1 : -1; break;
        default: out.offset = Int32At(record, kDrugSummaryOffset); break;
        }
        if (kind != 'M' && kind != 'P')
            out.docFile = DocumentFileOfKind(kind);
        out.titleSuffix = DrugRecordLine(record);
        if (kind == 'B' || kind == 'K' || kind == 'L' || kind == 'S') {
            out.prescVisible = true;
            out.prescEnabled = !NoReimbursement(At(record, kDrugReimbursementKind));
        }
        if (kind == 'M') {
            const auto web = static_cast<uint8_t>(At(record, kDrugWebFlags));
            out.webContents = (web & 2) != 0;
            out.webPrices = (web & 4) != 0;
        }
    }

    // The document.
    std::string text;
    std::string groupDocument;
    bool missing = out.offset < 0;
    if (!missing && kind == 'T') {
        // The group's stored document, when it has one, goes to the composer.
        const int32_t at = groupRecord.empty() ? -1 : Int32At(groupRecord, kClassGroupTextOffset);
        if (at >= 1 && At(groupRecord, kClassGroupFlag) == ' ') {
            out.docFile = "pztuhsx";
            const ViewerDocument doc = ReadViewerDocument(kind, out.docFile, at, in.dataFolder);
            if (doc.result == ViewerDocument::Result::Ok ||
                doc.result == ViewerDocument::Result::LengthMismatch)
                groupDocument = doc.text;
            if (doc.result == ViewerDocument::Result::LengthMismatch ||
                doc.result == ViewerDocument::Result::Damaged)
                out.errorMessage = "Interni chyba dat: Nesouhlas delky";
        }
    } else if (!missing && !out.docFile.empty()) {
        const ViewerDocument doc = ReadViewerDocument(kind, out.docFile, out.offset, in.dataFolder);
        switch (doc.result) {
        case ViewerDocument::Result::Ok: break;
        case ViewerDocument::Result::LengthMismatch:
            out.errorMessage = "Interni chyba dat: Nesouhlas delky";
            break;
        case ViewerDocument::Result::Damaged:
            out.errorMessage = "Interni chyba dat: Nesouhlas delky";
            missing = true;
            break;
        case ViewerDocument::Result::IoError:
            out.errorMessage = doc.path + ": " + IoResultText(doc.ioStatus);
            missing = true;
            break;
        case ViewerDocument::Result::TooFewItems: missing = true; break;
        }
        text = doc.text;
        out.spcLayout = doc.spcLayout;
        out.recordName = doc.recordName;
        out.bValue = doc.bValue;
    }
    out.documentText = text;
    if (missing || record.empty() || !readsRecord) {
        out.missing = true;
        out.noticeKey = NoticeKey(in, drugRecord);
        return out;
    }

    // The text to convert.
    std::vector<HtmlTab> preset;
    if (kind == '1' || kind == '2') {
        out.spcLayout = true;
    } else if (kind == 'M' || kind == 'T') {
        const RecordText composed = kind == 'M' ? ComposeDrugText(record)
                                                : ComposeDeviceText(record, in.recordNumber, groupDocument,
                                                                    DeviceGroupRecord(record));
        text = composed.text;
        for (size_t pos = 0; pos < composed.captions.size();) {
            size_t end = composed.captions.find("\r\n", pos);
            if (end == std::string::npos)
                end = composed.captions.size();
            preset.push_back(
                {KamToWin(composed.captions.substr(pos, end - pos)), std::to_string(preset.size() + 1)});
            pos = end + 2;
        }
        out.spcLayout = true;
    } else if (kind == 'P' || kind == 'Q') {
        std::string photos;
        if (GetTextEntry(DataTexts, "Verze", "photos", photos) == 0)
            photos = "!";
        out.page.bytes =
            BuildPhotoPage(out.productCode, in.online, MediaBase(photos, in.dataFolder, "/files/photos/"),
                           ProgramText("Chyby", "NoWeb"));
        return out;
    }

    if (kind == 'R') {
        std::string add = CtrlCodeBytes(19, {6});
        if (static_cast<uint8_t>(At(record, kGoodsEan)) > ' ')
            add += "EAN: " + F(record, kGoodsEan) + "\r";
        if (static_cast<uint8_t>(At(record, kGoodsPrice, 8)) > ' ')
            add += ProgramText("Prohlizec", "prCena") + ": " + FormatCode7(F(record, kGoodsPrice)) + " " +
                   ProgramText("Prohlizec", "currency") + "\r";
        if (add.back() == '\r')
            add.pop_back();
        InsertBeforeSection(text, 9, 10, add);
    }
    if ((kind == 'B' || kind == 'K') && HasSection(text, 3) && !HasSection(text, 99))
        InsertBeforeSection(text, 8, 9, CtrlCodeBytes(18, {3}) + ProgramText("Prohlizec", "rPrip"));
    if (drugRecord && (kind == 'B' || kind == 'K' || kind == 'L' || kind == 'S') &&
        !NoReimbursement(At(record, kDrugReimbursementKind)))
        InsertBeforeSection(text, 7, -1, ReimbursementLines(At(record, kDrugRestrictions)));
    if (kind == 'X')
        RewriteContraText(text);
    if (kind == 'I') {
        out.selection = InteractionSelection(text);
        out.showAll = false;
        out.invert = false;
    }

    HtmlConversionInput conv;
    conv.kind = kind;
    conv.spcLayout = out.spcLayout;
    conv.selection = out.selection;
    conv.invert = out.invert;
    conv.showAll = out.showAll;
    conv.requestedSection = in.requestedSection;
    conv.visibility = in.visibility;
    conv.searchTerms = in.searchTerms;
    conv.recordName = out.recordName;
    const char* style = kind == 'M' || kind == 'T' ? "main.css" : out.spcLayout ? "spc.css" : "kodex.css";
    conv.styleFile = in.programFolder + style;
    std::string picts;
    if (GetTextEntry(DataTexts, "Verze", "picts", picts) == 0)
        picts = "!";
    conv.pictureBase = PictureBaseOf(kind, picts, in.dataFolder);
    conv.fontName = in.fontName;
    conv.fontSize = in.fontSize;
    conv.requestedParagraph = in.requestedParagraph;
    conv.requestedTextSection = in.requestedTextSection;
    conv.zkr1 = ProgramText("Prohlizec", "Zkr1");
    conv.zkr2 = ProgramText("Prohlizec", "Zkr2");
    conv.presetTabs = preset;
    out.page = CtrlTextToHtml(text, conv);
    return out;
}
