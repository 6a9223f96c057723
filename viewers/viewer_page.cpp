#include "viewers/viewer_page.h"

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/commands/document_kinds.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "viewers/record_text.h"
#include "viewers/viewer_document.h"

namespace {

std::string FieldText(std::string_view record, FieldPos f)
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

// The notice of a missing document.  The summary, the English article and
// the leaflet are the texts of the registration: their notices say why a
// product has none.
std::string NoticeKey(const ViewerPageInput& in, const DocumentKindRow& kind, bool drugRecord)
{
    if (kind.IsPhoto())
        return {};
    const bool spc = kind.source == DocumentSource::Spc || kind.source == DocumentSource::SpcInteractions;
    const bool leaflet = kind.source == DocumentSource::Leaflet;
    const bool english = kind.source == DocumentSource::EnglishArticle;
    std::string key = spc || leaflet ? "eNove" : "rPrip";
    if (!drugRecord)
        return key;
    if ((spc || english) && FieldText(in.record, kDrugIndicationGroup) == "93")
        key = "eHomeo";
    switch (FieldByte(in.record, kDrugState)) {
    case '-':
    case '\\': return "eZrus";
    case 'F': return spc || leaflet || english ? "eSpecP" : key;
    case 'P': return spc ? "ePotr" : key;
    case 'I': return {};
    default: return key;
    }
}

// Where the drug record points into the kind's document (1: composed or
// present, -1: none).
int64_t DrugDocumentOffset(std::string_view record, DocumentSource source)
{
    switch (source) {
    case DocumentSource::EnglishArticle: return Int32At(record, kDrugAltSummaryOffset);
    case DocumentSource::Spc:
    case DocumentSource::SpcInteractions: return Int32At(record, kDrugSpcOffset);
    case DocumentSource::Leaflet: return Int32At(record, kDrugLeafletOffset);
    case DocumentSource::DrugRecord: return 1;
    case DocumentSource::Photo: return (static_cast<uint8_t>(FieldByte(record, kDrugWebFlags)) & 1) ? 1 : -1;
    default: return Int32At(record, kDrugSummaryOffset);
    }
}

// The product, the title and where its document is.  For a device the
// record of its classification group is kept for the composer.
void LocateDocument(const ViewerPageInput& in, const DocumentKindRow& kind, ViewerPageOutput& out,
                    std::string& groupRecord)
{
    const std::string& record = in.record;
    switch (kind.link) {
    case LinkKind::Device:
        out.productCode = FieldText(record, kDeviceCode);
        if (kind.source == DocumentSource::DeviceMethod) {
            const std::string type =
                FindByKey("pzttypv", "pzttypko", kPzttypvLayout.Length(), FieldText(record, kDeviceType));
            if (!type.empty()) {
                out.offset = Int32At(type, kDeviceTypeTextOffset);
                out.docFile = kind.documentFile;
                out.titleSuffix = FieldText(type, kDeviceTypeCode) + " " + Trimmed(type, kDeviceTypeName);
            }
            return;
        }
        out.offset = 1; // the record text is composed in any case
        if (const std::string group = FieldText(record, kDeviceClassGroup); !TrimBlanks(group).empty())
            groupRecord = FindByKey("pztuhs", "pztuhsko", kPztuhsLayout.Length(), group);
        if (!groupRecord.empty())
            out.titleSuffix = CompactToCode(FieldText(groupRecord, kClassGroupCode)) + " - " +
                              std::string(TrimBlanks(FieldText(groupRecord, kClassGroupName) +
                                                     FieldText(groupRecord, kClassGroupNameRest)));
        return;
    case LinkKind::Goods:
        out.productCode = FieldText(record, kGoodsCode);
        if (kind.IsPhoto()) {
            out.offset = FieldByte(record, kGoodsPhoto) == ' ' ? -1 : 1;
        } else {
            out.offset = Int32At(record, kGoodsTextOffset);
            out.docFile = kind.documentFile;
        }
        out.titleSuffix =
            out.productCode + " " + Trimmed(record, kGoodsName) + " " + Trimmed(record, kGoodsSupplement);
        return;
    default:
        out.productCode = FieldText(record, kDrugCode);
        out.offset = DrugDocumentOffset(record, kind.source);
        out.docFile = kind.documentFile;
        out.titleSuffix = FormatDrugLine(record);
        if (kind.Has(kPrescriptionButton)) {
            out.prescVisible = true;
            out.prescEnabled = !NoReimbursement(FieldByte(record, kDrugReimbursementKind));
        }
        if (kind.Has(kWebButtons)) {
            const auto web = static_cast<uint8_t>(FieldByte(record, kDrugWebFlags));
            out.webContents = (web & 2) != 0;
            out.webPrices = (web & 4) != 0;
        }
        return;
    }
}

// Reads the document where LocateDocument found it; false when it is
// missing.  A device's group document, when the group has one, goes to
// `groupDocument` for the composer.
bool ReadDocument(const ViewerPageInput& in, const DocumentKindRow& kind, const std::string& groupRecord,
                  ViewerPageOutput& out, std::string& text, std::string& groupDocument)
{
    if (out.offset < 0)
        return false;
    if (kind.source == DocumentSource::DeviceRecord) {
        const int32_t at = groupRecord.empty() ? -1 : Int32At(groupRecord, kClassGroupTextOffset);
        if (at >= 1 && FieldByte(groupRecord, kClassGroupFlag) == ' ') {
            out.docFile = kind.documentFile;
            const ViewerDocument doc = ReadViewerDocument(in.kind, out.docFile, at, in.dataFolder);
            if (doc.result == ViewerDocument::Result::Ok ||
                doc.result == ViewerDocument::Result::LengthMismatch)
                groupDocument = doc.text;
            if (doc.result == ViewerDocument::Result::LengthMismatch ||
                doc.result == ViewerDocument::Result::Damaged)
                out.errorMessage = "Interni chyba dat: Nesouhlas delky";
        }
        return true;
    }
    if (out.docFile.empty())
        return true;
    const ViewerDocument doc = ReadViewerDocument(in.kind, out.docFile, out.offset, in.dataFolder);
    bool missing = false;
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
    return !missing;
}

// The composed record text of a drug or a device, with its tabs.
std::string ComposeRecordText(const ViewerPageInput& in, const DocumentKindRow& kind,
                              const std::string& groupDocument, std::vector<HtmlTab>& tabs)
{
    const RecordText composed =
        kind.source == DocumentSource::DrugRecord
            ? ComposeDrugText(in.record)
            : ComposeDeviceText(in.record, in.recordNumber, groupDocument, DeviceGroupRecord(in.record));
    for (size_t pos = 0; pos < composed.captions.size();) {
        size_t end = composed.captions.find("\r\n", pos);
        if (end == std::string::npos)
            end = composed.captions.size();
        tabs.push_back({KamToWin(composed.captions.substr(pos, end - pos)), std::to_string(tabs.size() + 1)});
        pos = end + 2;
    }
    return composed.text;
}

// What a kind adds to its document before it is converted: the goods'
// EAN and price, the article's note of a text in preparation, the
// reimbursement lines, the contraindications' rewrite; the summary's
// interactions select their section.
void AddKindTexts(const ViewerPageInput& in, const DocumentKindRow& kind, bool drugRecord, std::string& text,
                  ViewerPageOutput& out)
{
    const std::string& record = in.record;
    if (kind.source == DocumentSource::GoodsArticle) {
        std::string add = CtrlCodeBytes(19, {6});
        if (static_cast<uint8_t>(FieldByte(record, kGoodsEan)) > ' ')
            add += "EAN: " + FieldText(record, kGoodsEan) + "\r";
        if (static_cast<uint8_t>(FieldByte(record, kGoodsPrice, 8)) > ' ')
            add += ProgramText("Prohlizec", "prCena") + ": " + FormatCode7(FieldText(record, kGoodsPrice)) +
                   " " + ProgramText("Prohlizec", "currency") + "\r";
        if (add.back() == '\r')
            add.pop_back();
        InsertBeforeSection(text, 9, 10, add);
    }
    if (kind.source == DocumentSource::Article && HasSection(text, 3) && !HasSection(text, 99))
        InsertBeforeSection(text, 8, 9, CtrlCodeBytes(18, {3}) + ProgramText("Prohlizec", "rPrip"));
    if (drugRecord && kind.Has(kPrescriptionButton) &&
        !NoReimbursement(FieldByte(record, kDrugReimbursementKind)))
        InsertBeforeSection(text, 7, -1, ReimbursementLines(FieldByte(record, kDrugRestrictions)));
    if (kind.source == DocumentSource::Contraindications)
        RewriteContraText(text);
    if (kind.filter == InitialFilter::SpcSection) {
        out.filter.selection = InteractionSelection(text);
        out.filter.showAll = false;
        out.filter.invert = false;
    }
}

} // namespace

ViewerPageOutput PrepareViewerPage(const ViewerPageInput& in)
{
    ViewerPageOutput out;
    out.filter = in.filter;
    const DocumentKindRow& kind = DocumentKindOf(in.kind);
    const std::string& record = in.record;
    const bool drugRecord = kind.readsRecord && in.linkKind == LinkKind::Drug && !record.empty();

    // Nothing of a record not read: the notice of a document to come.
    std::string groupRecord;
    if (kind.readsRecord && !record.empty())
        LocateDocument(in, kind, out, groupRecord);
    std::string text;
    std::string groupDocument;
    const bool found = ReadDocument(in, kind, groupRecord, out, text, groupDocument);
    out.documentText = text;
    if (!found || record.empty() || !kind.readsRecord) {
        out.missing = true;
        out.noticeKey = NoticeKey(in, kind, drugRecord);
        return out;
    }

    // The text to convert.
    std::vector<HtmlTab> preset;
    if (kind.source == DocumentSource::DeviceMethod) {
        out.spcLayout = true;
    } else if (kind.Composed()) {
        text = ComposeRecordText(in, kind, groupDocument, preset);
        out.spcLayout = true;
    } else if (kind.IsPhoto()) {
        std::string photos;
        if (GetTextEntry(DataTexts, "Verze", "photos", photos) == 0)
            photos = "!";
        out.page.bytes =
            BuildPhotoPage(out.productCode, in.online, MediaBase(photos, in.dataFolder, "/files/photos/"),
                           ProgramText("Chyby", "NoWeb"));
        return out;
    }
    AddKindTexts(in, kind, drugRecord, text, out);

    HtmlConversionInput conv;
    conv.kind = in.kind;
    conv.spcLayout = out.spcLayout;
    conv.filter = out.filter;
    conv.searchTerms = in.searchTerms;
    conv.recordName = out.recordName;
    const char* style = kind.Composed() ? "main.css" : out.spcLayout ? "spc.css" : "kodex.css";
    conv.styleFiles = {in.programFolder + "viewer.css", in.programFolder + style};
    std::string picts;
    if (GetTextEntry(DataTexts, "Verze", "picts", picts) == 0)
        picts = "!";
    conv.pictureBase = PictureBaseOf(in.kind, picts, in.dataFolder);
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
