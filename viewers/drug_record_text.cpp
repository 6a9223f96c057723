// The drug record text: the price blocks, the outage, the classes, the
// registration, further data and the company contacts of a drug.

#include <algorithm>
#include <array>
#include <string>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "viewers/record_text.h"
#include "viewers/record_text_parts.h"

using namespace record_parts;

namespace {

constexpr int kPriceSlots = 14;

// ------------------------------------------------------------ drug parts

int SlotOfKind(char kind)
{
    const int k = static_cast<uint8_t>(kind);
    int slot = k >= 'a' ? 2 * (k - 'a') + 1 : 2 * (k - 'A');
    if (slot > 13)
        slot = 12;
    if (slot < 0)
        slot = 0;
    return slot;
}

bool SlotFilled(const std::string& rec)
{
    return FieldByte(rec, kPriceSlot) != ' ';
}

void Replacements(CtrlTextWriter& w, std::string_view outage, std::string_view drug)
{
    const std::string list = TrimmedField(outage, kOutageReplacements);
    TDbTable& kl = Table("kl");
    const bool open = Open(kl, kKlLayout, "klkod");
    bool first = true;
    auto line = [&]() {
        if (!first)
            LineBreak(w);
        first = false;
    };
    std::string rec;
    constexpr size_t kStep = kDrugCode.length;
    for (size_t i = 0; i < list.size(); i += kStep) {
        const std::string piece = list.substr(i, kStep);
        if (TrimView(piece).empty())
            continue;
        if (piece.size() < kStep) {
            line();
            w.Text(DataSetText("Hlav", "vyp_kl"));
            continue;
        }
        if (!open || !FindExact(kl, piece, rec))
            continue;
        const char status = FieldByte(rec, kDrugState);
        if (status == '-' || status == '\\')
            continue;
        // the same ATC main group
        if (FieldBytes(rec, kDrugAtc).substr(0, 3) != FieldBytes(drug, kDrugAtc).substr(0, 3))
            continue;
        line();
        w.Field(Trim(piece) + ", " + TrimmedField(rec, kDrugName) + ", " + TrimmedField(rec, kDrugStrength) +
                " " + TrimmedField(rec, kDrugForm) + " " + TrimmedField(rec, kDrugPackage) + ", " +
                TrimmedField(rec, kDrugAtc));
    }
}

void OutageSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    if (!AboveBlank(FieldByte(drug, kDrugOutage)))
        return;
    TDbTable& t = Table("vypad");
    std::string rec;
    if (!Open(t, kVypadLayout, "vypadkod") || !FindExact(t, FieldText(drug, kDrugCode), rec))
        return;
    Heading(w, DataSetText("Hlav", "vypad"));
    AddCaption(captions, DataSetText("Hlav", "vypadZ"));
    TableDrug(w);
    char kind = AsciiUpperChar(FieldByte(rec, kOutageType));
    DrugLabelCell(w, "vtyp");
    w.Text(DataSetText("VypTyp", Key(kind)));
    DrugLabelCell(w, "vod");
    w.Text(DayMonthYearText(FieldText(rec, kOutageStart)));
    if (const std::string reason = TrimmedField(rec, kOutageReason); !reason.empty()) {
        DrugLabelCell(w, "duvod");
        w.Field(reason);
    }
    DrugLabelCell(w, "obnov");
    const std::string renewal = FieldText(rec, kOutageRenewal);
    w.Text(renewal == "99CZ" ? DataSetText("Hlav", "vyp_oo") : DayMonthYearText(renewal));
    DrugLabelCell(w, "nahr");
    Replacements(w, rec, drug);
    if (const std::string note = TrimmedField(rec, kOutageNote); !note.empty()) {
        DrugLabelCell(w, "pozn");
        w.Field(note);
    }
    SectionEnd(w);
}

void ClassesSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    Heading(w, DataSetText("Hlav", "tridy"));
    AddCaption(captions, DataSetText("Hlav", "tridyZ"));
    TableDrug(w);
    const std::string code = FieldText(drug, kDrugCode);
    DrugLabelCell(w, "inds");
    w.Text(LookupIsv(FieldText(drug, kDrugIndicationGroup)));

    const std::string atc = FieldText(drug, kDrugAtc);
    DrugLabelCell(w, "atc5");
    w.Text(Trim(LookupAtc(atc, code)));
    w.Field(" (" + Trim(atc) + ")");
    if (AboveBlank(FieldByte(drug, kDrugAtc, 5))) {
        const std::string atc4 = atc.substr(0, std::min<size_t>(atc.size(), 5));
        DrugLabelCell(w, "atc4");
        w.Text(Trim(LookupAtc(atc4, code)));
        w.Field(" (" + Trim(atc4) + ")");
    }

    DrugLabelCell(w, "ddd");
    const std::string ddd = Trim(FieldText(drug, kDrugDailyDose) + " " + FieldText(drug, kDrugDailyDoseUnit));
    w.Field(ddd.empty() ? std::string(" -") : ddd);

    // integer part, then decimals from character 6
    const std::string db = FieldText(drug, kDrugSecondDailyDose);
    std::string dddb = db.substr(0, std::min<size_t>(db.size(), 5));
    dddb += FieldByte(drug, kDrugSecondDailyDose, 5) != ' ' ? '.' : ' ';
    if (db.size() > 5)
        dddb += db.substr(5);
    dddb = Trim(dddb);
    if (!dddb.empty()) {
        DrugLabelCell(w, "dddb");
        w.Field(dddb);
    }

    DrugLabelCell(w, "lzav");
    w.Text(StripAngleTags(DataSetText("ZavW", Key(FieldByte(drug, kDrugDependence)))));

    DrugLabelCell(w, "dopig");
    std::string dop = FieldText(drug, kDrugDoping);
    dop.resize(3, ' ');
    if (dop[0] == ' ') {
        w.Text(" -");
    } else {
        if (IsLowerAscii(dop[0]))
            dop = "OOO";
        std::string key = dop;
        if (key[2] == ' ')
            key[2] = '_';
        w.Field(dop);
        w.Text(" - " + StripAngleTags(DataSetText("DopW", key)));
    }

    DrugLabelCell(w, "narvl");
    const std::string nv = FieldText(drug, kDrugGovernmentRegulation);
    if (TrimView(nv).empty()) {
        w.Text(" -");
    } else {
        w.Field(nv);
        w.Text(" - " + DataSetText("Dnv", nv));
    }
    SectionEnd(w);
}

void RegistrationSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    Heading(w, DataSetText("Hlav", "regis"));
    AddCaption(captions, DataSetText("Hlav", "regisZ"));
    TableDrug(w);
    if (const char tr = FieldByte(drug, kDrugRegistrationType); tr != ' ') {
        DrugLabelCell(w, "treg");
        w.Text(DataSetText("RetW", Key(tr)));
    }
    const char status = FieldByte(drug, kDrugState);
    DrugLabelCell(w, "sreg");
    w.Text(DataSetText("RegW", status == ' ' ? std::string("_") : Key(status)));
    if (status == '-' || status == '\\')
        w.Text(" (" + MonthYearText(FieldText(drug, kDrugCancellationDate)) + ")");
    if (FieldByte(drug, kDrugHolder) != ' ') {
        DrugLabelCell(w, "drz");
        w.Text(Trim(LookupHolder(FieldText(drug, kDrugHolder) + FieldText(drug, kDrugHolderCountry))) + ", " +
               Trim(LookupCountry(FieldText(drug, kDrugHolderCountry))));
    }
    if (const std::string rc =
            FormatTwoCodes(FieldText(drug, kDrugRegistrationNumber), FieldText(drug, kDrugParallelImport));
        !rc.empty()) {
        DrugLabelCell(w, "rcis");
        w.Field(rc);
    }
    if (const char bra = FieldByte(drug, kDrugBraille); bra != ' ') {
        DrugLabelCell(w, "brail");
        w.Text(DataSetText("Bra", Key(bra)));
    }
    SectionEnd(w);
}

void FurtherSection(CtrlTextWriter& w, std::string& captions, std::string_view drug, const std::string& slot0)
{
    Heading(w, DataSetText("Hlav", "dalsi"));
    AddCaption(captions, DataSetText("Hlav", "dalsiZ"));
    TableDrug(w);
    DrugLabelCell(w, "exsp");
    const std::string ex = TrimmedField(drug, kDrugShelfLife);
    if (ex.empty())
        w.Text(" -");
    else
        w.Field(ex.substr(0, ex.size() - 1) + " " + ex.back());

    if (const char kind = FieldByte(drug, kDrugAveragePriceKind); kind == 'E' || kind == 'S') {
        DrugLabelCell(w, std::string("prum") + kind);
        w.Field(FormatCode7(FieldText(drug, kDrugAveragePrice)));
        w.Text(CurrencySuffix());
    }
    if (FieldByte(slot0, kPriceSlot) == 'A') {
        if (AboveBlank(FieldByte(slot0, kPriceOriginal, 8))) {
            DrugLabelCell(w, FieldByte(slot0, kPriceRegulationType) == 'M' ? "vyrc" : "puvc");
            w.Field(FormatCode8(FieldText(slot0, kPriceOriginal)));
            w.Text(CurrencySuffix());
        }
        if (const char lv = FieldByte(slot0, kPriceLegalNoteV); AboveBlank(lv)) {
            DrugLabelCell(w, "puvl");
            w.Text(DataSetText("LegV", Key(lv)));
        }
    }
    if (static_cast<uint8_t>(FieldByte(drug, kDrugEanCount)) != 0) {
        // The EAN codes of kinds above "7".
        TDbTable& kle = Table("kle");
        std::string rec;
        std::string eans;
        const std::string code = FieldText(drug, kDrugCode);
        if (Open(kle, kKleLayout, "klekod") && FindExact(kle, code, rec)) {
            do {
                if (static_cast<uint8_t>(FieldByte(rec, kEanKind)) > '7') {
                    if (!eans.empty())
                        eans += ", ";
                    eans += TrimmedField(rec, kEanCode);
                }
            } while (NextInOrder(kle, rec) && SameCode(rec, kEanDrug, code));
        }
        if (!eans.empty()) {
            DrugLabelCell(w, "eany");
            w.Field(eans);
        }
    }
    SectionEnd(w);
}

void CompanySection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    TDbTable& t = Table("vpois");
    std::string rec;
    if (!Open(t, kVpoisLayout, "vpois") || !FindExact(t, FieldText(drug, kDrugCompany), rec))
        return;
    Heading(w, DataSetText("Hlav", "vpois"));
    AddCaption(captions, DataSetText("Hlav", "vpoisZ"));
    TableDrug(w);
    auto row = [&](const char* key, const std::string& value) {
        if (value.empty())
            return;
        DrugLabelCell(w, key);
        w.Field(value);
    };
    auto joined = [](const std::string& a, const std::string& b) {
        return a.empty() ? b : b.empty() ? a : a + "   " + b;
    };
    row("nazSp", TrimmedField(rec, kCompanyName));
    row("webSp", TrimmedField(rec, kCompanyWeb));
    row("mailSp", joined(TrimmedField(rec, kCompanyMail1), TrimmedField(rec, kCompanyMail2)));
    row("telSp", joined(TrimmedField(rec, kCompanyPhone1), TrimmedField(rec, kCompanyPhone2)));
    SectionEnd(w);
}

} // namespace

// ---------------------------------------------------------------- the drug

namespace {

using PriceSlots = std::array<std::string, kPriceSlots>;

// The price records of a drug, each in the slot of its kind letter; an
// empty slot holds blanks.
PriceSlots ReadPriceSlots(std::string_view drug, const std::string& code)
{
    PriceSlots slots;
    slots.fill(std::string(kCvzpLayout.Length(), ' '));
    if (AboveBlank(FieldByte(drug, kDrugReimbursementKind))) {
        TDbTable& t = Table("cvzp");
        std::string rec;
        if (Open(t, kCvzpLayout, "cvzpkod") && FindExact(t, code, rec)) {
            do {
                slots[static_cast<size_t>(SlotOfKind(FieldByte(rec, kPriceSlot)))] = rec;
            } while (NextInOrder(t, rec) && SameCode(rec, kPriceDrug, code));
        }
    }
    return slots;
}

// Whether only the first two slots hold records.
bool SinglePricePair(const PriceSlots& slots)
{
    for (int i = 2; i < kPriceSlots; ++i)
        if (SlotFilled(slots[static_cast<size_t>(i)]))
            return false;
    return true;
}

// The general data: name, strength, form, package, dispensing, stock.
void GeneralSection(CtrlTextWriter& w, std::string& captions, std::string_view drug)
{
    Heading(w, DataSetText("Hlav", "obec"));
    AddCaption(captions, DataSetText("Hlav", "obecZ"));
    TableDrug(w);
    DrugLabelCell(w, "nazev");
    w.Field(TrimmedField(drug, kDrugName));
    if (const std::string s = TrimmedField(drug, kDrugStrength); !s.empty()) {
        DrugLabelCell(w, "sila");
        w.Field(s);
    }
    const std::string form = TrimmedField(drug, kDrugForm);
    DrugLabelCell(w, "lform");
    if (const std::string t = TranslateUnitText(form); !t.empty())
        w.Text(t);
    else
        w.Field(form);
    if (form.find("TBL") != std::string::npos) {
        DrugLabelCell(w, "pulit");
        w.Text(DataSetText("PulTyp", Key(FieldByte(drug, kDrugTabletSplit))));
    }
    if (const std::string s = TrimmedField(drug, kDrugPackage); !s.empty()) {
        DrugLabelCell(w, "vbal");
        w.Field(s);
    }
    {
        const std::string pack = FieldText(drug, kDrugPackageType);
        std::string t = DataSetText("Obal", pack);
        const bool viaTable = !(t.empty() || t[0] == ' ' || t[0] == '!');
        if (!viaTable)
            t = Trim(pack);
        if (!TrimView(t).empty()) {
            DrugLabelCell(w, "tbal");
            if (viaTable)
                w.Text(t);
            else
                w.Field(t);
        }
    }
    DrugLabelCell(w, "vydej");
    if (const char vp = FieldByte(drug, kDrugDispensing); vp == ' ')
        w.Text(" -");
    else
        w.Text(DataSetText("VydW", Key(vp) + "_"));
    if (const char status = FieldByte(drug, kDrugState); status != '-' && status != '\\') {
        DrugLabelCell(w, "obch");
        w.Text(static_cast<uint8_t>(FieldByte(drug, kDrugCategory)) >= '1' ? ProgramText("Uvod", "ano")
                                                                           : ProgramText("Uvod", "ne"));
    }
    SectionEnd(w);
}

// The price blocks, pair by pair: an equal twin shows in its pair's block.
void PriceBlocks(CtrlTextWriter& w, std::string& captions, PriceSlots slots, bool single)
{
    // an "A" record of an empty slot shows no price block
    if (FieldByte(slots[0], kPriceReimbursementLetter) == '6' ||
        FieldByte(slots[0], kPriceReimbursementLetter) == '8')
        slots[0][static_cast<size_t>(kPriceSlot.Offset())] = ' ';
    for (int j = 0; j < 7; ++j) {
        const std::string& upper = slots[static_cast<size_t>(2 * j)];
        const std::string& lower = slots[static_cast<size_t>(2 * j + 1)];
        const bool hasUpper = SlotFilled(upper);
        const bool hasLower = SlotFilled(lower);
        if (!hasUpper && !hasLower)
            continue;
        if (!hasUpper) {
            ComposePriceBlock(w, captions, lower, single, {});
        } else if (hasLower && SamePriceTerms(upper, lower)) {
            ComposePriceBlock(w, captions, upper, single, TrimmedField(lower, kPriceLimitation));
        } else {
            ComposePriceBlock(w, captions, upper, single, {});
            if (hasLower)
                ComposePriceBlock(w, captions, lower, single, {});
        }
    }
}

} // namespace

RecordText ComposeDrugText(std::string_view drug)
{
    RecordText out;
    CtrlTextWriter w;
    std::string& captions = out.captions;
    const PriceSlots slots = ReadPriceSlots(drug, FieldText(drug, kDrugCode));
    const bool single = SinglePricePair(slots);
    GeneralSection(w, captions, drug);
    OutageSection(w, captions, drug);
    ClassesSection(w, captions, drug);
    RegistrationSection(w, captions, drug);
    FurtherSection(w, captions, drug, slots[0]);
    PriceBlocks(w, captions, slots, single);
    CompanySection(w, captions, drug);
    w.Code(0);
    out.text = w.Take();
    return out;
}
