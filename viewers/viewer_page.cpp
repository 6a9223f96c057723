#include "viewers/viewer_page.h"

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "viewers/record_text.h"
#include "viewers/viewer_document.h"

namespace {

// Drug record (kl), 1-based positions.
constexpr int kDrugStatus = 190;
constexpr int kDrugIndication = 191;
constexpr int kDrugReimbursement = 250;
constexpr int kDrugRestriction = 251;
constexpr int kDrugWebFlags = 316;
constexpr int kDrugKodex = 321;
constexpr int kDrugLetak = 325;
constexpr int kDrugKodexa = 329;
constexpr int kDrugSpc = 333;
// Goods record (pfa).
constexpr int kGoodsName = 58;
constexpr int kGoodsSupplement = 118;
constexpr int kGoodsEan = 217;
constexpr int kGoodsPrice = 231;
constexpr int kGoodsPhoto = 240;
constexpr int kGoodsKodex = 241;
// Device record (pzt), device types (pzttypv) and groups (pztuhs).
constexpr int kDeviceType = 168;
constexpr int kDeviceGroup = 170;
constexpr uint16_t kDeviceTypeLength = 106;
constexpr int kDeviceTypeOffset = 103;
constexpr uint16_t kDeviceGroupLength = 194;
constexpr int kDeviceGroupFlag = 186;
constexpr int kDeviceGroupOffset = 191;

char At(std::string_view record, int pos)
{
    return pos >= 1 && static_cast<size_t>(pos) <= record.size() ? record[static_cast<size_t>(pos - 1)] : ' ';
}

int32_t Int32At(std::string_view record, int pos)
{
    if (pos < 1 || static_cast<size_t>(pos + 3) > record.size())
        return -1;
    return static_cast<int32_t>(DecodeLE32(record.data() + pos - 1));
}

std::string Trimmed(std::string_view record, int pos, int length)
{
    return std::string(TrimBlanks(GetField(record, pos, length)));
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

std::string Ui(std::string_view section, std::string_view key)
{
    return LookupText(UiTexts, section, key);
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
        entry = LookupText(DataTexts, "UhrL", "uhr");
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
    if ((kind == 'E' || kind == 'I' || kind == 'S') && GetField(in.record, kDrugIndication, 2) == "93")
        key = "eHomeo";
    switch (At(in.record, kDrugStatus)) {
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
    std::string line = GetField(record, 1, 7);
    for (const auto& [pos, len] : {std::pair{8, 70}, {78, 27}, {117, 24}, {141, 22}}) {
        const std::string part = Trimmed(record, pos, len);
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
    const bool drugRecord = readsRecord && in.linkKind == 6 && !record.empty();
    std::string groupRecord;

    // The product and where its document is.
    if (!readsRecord || record.empty()) {
        // Nothing of the record is read: the notice of a document to come.
    } else if (kind == '1') {
        out.productCode = GetField(record, 1, 7);
        const std::string type = FindByKey("pzttypv", "pzttypko", kDeviceTypeLength, GetField(record, kDeviceType, 2));
        if (!type.empty()) {
            out.offset = Int32At(type, kDeviceTypeOffset);
            out.docFile = "pztmet";
            out.titleSuffix = GetField(type, 1, 2) + " " + Trimmed(type, 3, 100);
        }
    } else if (kind == 'T') {
        out.productCode = GetField(record, 1, 7);
        out.offset = 1; // the record text is composed in any case
        const std::string group = GetField(record, kDeviceGroup, 4);
        if (!TrimBlanks(group).empty())
            groupRecord = FindByKey("pztuhs", "pztuhsko", kDeviceGroupLength, group);
        if (!groupRecord.empty())
            out.titleSuffix = CompactToCode(GetField(groupRecord, 1, 4)) + " - " +
                              std::string(TrimBlanks(GetField(groupRecord, 5, 128) + GetField(groupRecord, 133, 52)));
    } else if (kind == 'Q' || kind == 'R') {
        out.productCode = GetField(record, 1, 5);
        if (kind == 'Q') {
            out.offset = At(record, kGoodsPhoto) == ' ' ? -1 : 1;
        } else {
            out.offset = Int32At(record, kGoodsKodex);
            out.docFile = "pfakodex";
        }
        out.titleSuffix = out.productCode + " " + Trimmed(record, kGoodsName, 60) + " " +
                          Trimmed(record, kGoodsSupplement, 60);
    } else {
        out.productCode = GetField(record, 1, 7);
        switch (kind) {
        case 'E': out.offset = Int32At(record, kDrugKodexa); break;
        case 'I':
        case 'S': out.offset = Int32At(record, kDrugSpc); break;
        case 'L': out.offset = Int32At(record, kDrugLetak); break;
        case 'M': out.offset = 1; break;
        case 'P': out.offset = (static_cast<uint8_t>(At(record, kDrugWebFlags)) & 1) ? 1 : -1; break;
        default: out.offset = Int32At(record, kDrugKodex); break;
        }
        if (kind != 'M' && kind != 'P')
            out.docFile = DocumentFileOfKind(kind);
        out.titleSuffix = DrugRecordLine(record);
        if (kind == 'B' || kind == 'K' || kind == 'L' || kind == 'S') {
            out.prescVisible = true;
            out.prescEnabled = !NoReimbursement(At(record, kDrugReimbursement));
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
        const int32_t at = groupRecord.empty() ? -1 : Int32At(groupRecord, kDeviceGroupOffset);
        if (at >= 1 && At(groupRecord, kDeviceGroupFlag) == ' ') {
            out.docFile = "pztuhsx";
            const ViewerDocument doc = ReadViewerDocument(kind, out.docFile, at, in.dataFolder);
            if (doc.result == ViewerDocument::Result::Ok || doc.result == ViewerDocument::Result::LengthMismatch)
                groupDocument = doc.text;
            if (doc.result == ViewerDocument::Result::LengthMismatch || doc.result == ViewerDocument::Result::Damaged)
                out.errorMessage = "Interni chyba dat: Nesouhlas delky";
        }
    } else if (!missing && !out.docFile.empty()) {
        const ViewerDocument doc = ReadViewerDocument(kind, out.docFile, out.offset, in.dataFolder);
        switch (doc.result) {
        case ViewerDocument::Result::Ok:
            break;
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
        case ViewerDocument::Result::TooFewItems:
            missing = true;
            break;
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
            preset.push_back({KamToWin(composed.captions.substr(pos, end - pos)), std::to_string(preset.size() + 1)});
            pos = end + 2;
        }
        out.spcLayout = true;
    } else if (kind == 'P' || kind == 'Q') {
        std::string photos;
        if (GetTextEntry(DataTexts, "Verze", "photos", photos) == 0)
            photos = "!";
        out.page.bytes = BuildPhotoPage(out.productCode, in.online, MediaBase(photos, in.dataFolder, "/files/photos/"),
                                        Ui("Chyby", "NoWeb"));
        return out;
    }

    if (kind == 'R') {
        std::string add = CtrlCodeBytes(19, {6});
        if (static_cast<uint8_t>(At(record, kGoodsEan)) > ' ')
            add += "EAN: " + GetField(record, kGoodsEan, 13) + "\r";
        if (static_cast<uint8_t>(At(record, kGoodsPrice + 8)) > ' ')
            add += Ui("Prohlizec", "prCena") + ": " + FormatCode7(GetField(record, kGoodsPrice, 9)) + " " +
                   Ui("Prohlizec", "currency") + "\r";
        if (add.back() == '\r')
            add.pop_back();
        InsertBeforeSection(text, 9, 10, add);
    }
    if ((kind == 'B' || kind == 'K') && HasSection(text, 3) && !HasSection(text, 99))
        InsertBeforeSection(text, 8, 9, CtrlCodeBytes(18, {3}) + Ui("Prohlizec", "rPrip"));
    if (drugRecord && (kind == 'B' || kind == 'K' || kind == 'L' || kind == 'S') &&
        !NoReimbursement(At(record, kDrugReimbursement)))
        InsertBeforeSection(text, 7, -1, ReimbursementLines(At(record, kDrugRestriction)));
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
    conv.zkr1 = Ui("Prohlizec", "Zkr1");
    conv.zkr2 = Ui("Prohlizec", "Zkr2");
    conv.presetTabs = preset;
    out.page = CtrlTextToHtml(text, conv);
    return out;
}
