// The price block of the drug record text: one price and reimbursement
// record with its indication and limitation paragraphs.

#include <algorithm>
#include <array>
#include <string>

#include "datastore/drug_helpers.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "viewers/record_text.h"
#include "viewers/record_text_parts.h"

using namespace record_parts;

namespace {

// ------------------------------------------------------- the indication

// The indication text of a price record: from the record's offset + 21 of
// ind_ome.dat, cut after the first 0 of a pair of 0s (or after its last
// whole item, closed with a 0), from its first code 19 (30) on.  False when
// there is no such text there.
bool IndicationText(std::string raw, std::string& out)
{
    CtrlTokenizer walk(raw);
    CtrlItem item;
    int cut = -1;
    bool lastWasZero = false;
    int zeroAt = 0;
    while (walk.Next(item)) {
        if (item.IsCode(0)) {
            if (lastWasZero) {
                cut = zeroAt + 1;
                break;
            }
            lastWasZero = true;
            zeroAt = item.offset;
        } else {
            lastWasZero = false;
        }
    }
    if (cut >= 0) {
        raw.resize(static_cast<size_t>(cut));
    } else {
        raw.resize(static_cast<size_t>(CtrlLastWholeItemEnd(raw)));
        raw.push_back('\0');
    }
    CtrlItem marker;
    if (!FindCode19(raw, 30, marker))
        return false;
    out = raw.substr(static_cast<size_t>(marker.offset));
    return true;
}

void IndicationParagraph(CtrlTextWriter& w, std::string& captions, std::string_view price,
                         const std::string& name)
{
    const int32_t offset = Le32At(price, kPriceIndicationOffset);
    std::string raw;
    // With no offset nothing is read, but the file must be there.
    const RawResult r = ReadRawFile("ind_ome.dat", int64_t{offset} + 21, offset < 1 ? 0 : kRawReadLimit, raw);
    if (r == RawResult::Missing)
        return;
    Heading(w, WithoutLeadingPlus(DataSetText("Hlav", "indo")) + name);
    AddCaption(captions, DataSetText("Hlav", "indoZ"));
    std::string text;
    if (offset >= 1 && IndicationText(raw, text)) {
        w.Raw(text);
        return;
    }
    ParagraphBreak(w);
    w.Text(ProgramText("Chyby", "InOmNo"));
    w.Text(" " + std::to_string(offset));
}

void LimitationParagraph(CtrlTextWriter& w, std::string& captions, const std::string& codes,
                         const std::string& name)
{
    std::string raw;
    if (ReadRawFile("symbol.dat", 0, kRawReadLimit, raw) != RawResult::Read)
        return;
    // The legend ends at its first code 0; a cut splits no code.
    raw.resize(CtrlTextUpToEnd(raw).size());
    raw.resize(static_cast<size_t>(CtrlLastWholeItemEnd(raw)));
    FilterLimitParagraphs(raw, codes);
    Heading(w, WithoutLeadingPlus(DataSetText("Hlav", "limit")) + name);
    AddCaption(captions, DataSetText("Hlav", "limitZ"));
    w.Raw(raw);
}

} // namespace

// -------------------------------------------------------------- price block

namespace {

// The block's heading and tab caption; the name its paragraphs add to
// their headings.
std::string PriceBlockHeading(CtrlTextWriter& w, std::string& captions, std::string_view price, bool single)
{
    const char kind = FieldByte(price, kPriceSlot);
    const bool lower = IsLowerAscii(kind);
    const std::string d(1, static_cast<char>((kind & 0x0F) + '0'));

    std::string heading = DataSetText("Hlav", "uhr1");
    std::string caption;
    std::string name;
    if (single) {
        if (lower) {
            heading += DataSetText("Hlav", "uhrU");
            caption = DataSetText("Hlav", "ust1Z");
            name = " (" + DataSetText("Hlav", "ust1") + ")";
        } else {
            caption = DataSetText("Hlav", "uhr1Z");
        }
    } else {
        heading += " " + d;
        if (lower) {
            heading += DataSetText("Hlav", "uhrU");
            caption = DataSetText("Hlav", "ust1Z") + " " + d;
            name = " (" + DataSetText("Hlav", "ust1") + " " + d + ")";
        } else {
            caption = DataSetText("Hlav", "uhr1Z") + " " + d;
            name = " (" + DataSetText("Hlav", "uhr1") + " " + d + ")";
        }
    }
    // a validity date with its day shown
    if (AboveBlank(FieldByte(price, kPriceValidFrom, 3)))
        heading += DataSetText("Hlav", "uhrD");
    Heading(w, heading);
    AddCaption(captions, caption);
    return name;
}

// The rows of the prices: the maker's, the original, the maximal
// reimbursement, its condition and legal note, and what the patient pays.
void PriceRows(CtrlTextWriter& w, std::string_view price)
{
    const char kind = FieldByte(price, kPriceSlot);
    const char legal = FieldByte(price, kPriceLegalNoteW);
    if (kind == 'a' && AboveBlank(FieldByte(price, kPriceOriginal, 8)) &&
        FieldByte(price, kPriceRegulationType) == 'M') {
        DrugLabelCell(w, "vyrc");
        w.Field(FormatCode8(FieldText(price, kPriceOriginal)));
        w.Text(CurrencySuffix());
    }
    {
        const char mark = FieldByte(price, kPriceMark);
        const std::string amount = FormatCode7(FieldText(price, kPriceAmount));
        if (!amount.empty() || mark != ' ') {
            DrugLabelCell(w, mark == 'X' ? "kdoh" : "kori");
            if (!amount.empty()) {
                w.Field(amount);
                w.Text(CurrencySuffix());
            }
            if (mark == 'Y')
                w.Text(DataSetText("Hlav", "kory"));
        }
    }
    {
        const std::string field = FieldText(price, kPriceMaxReimbursement);
        const std::string amount = FormatCode7(field);
        std::string bare;
        for (char c : field)
            if (c != ' ')
                bare.push_back(c);
        if (amount == "c.c." || bare == "c.c.") {
            DrugLabelCell(w, "muhc");
            w.Text("clearing centrum");
        } else if (!amount.empty()) {
            DrugLabelCell(w, "muhc");
            EmphOn(w);
            w.Field(amount);
            w.Text(CurrencySuffix());
            EmphOff(w);
        }
    }
    if (const char c = FieldByte(price, kPriceCondition); c != ' ') {
        DrugLabelCell(w, "muhp");
        w.Text(DataSetText("PuhW", Key(c)));
    }
    if (legal != ' ') {
        DrugLabelCell(w, "muhl");
        w.Text(DataSetText("LegW", Key(legal)));
    }
    if (AboveBlank(FieldByte(price, kPriceAmount, 8)) &&
        static_cast<uint8_t>(FieldByte(price, kPriceMaxReimbursement, 8)) > '.') {
        const int64_t a = IntegerOf(FieldText(price, kPriceAmount));
        const int64_t b = IntegerOf(FieldText(price, kPriceMaxReimbursement));
        if (a > 0 && b > 0) {
            DrugLabelCell(w, "orid");
            EmphOn(w);
            w.Text(HundredthsText(a - b));
            w.Text(CurrencySuffix());
            EmphOff(w);
        }
    }
}

} // namespace

void ComposePriceBlock(CtrlTextWriter& w, std::string& captions, std::string_view price, bool single,
                       std::string_view pairedCodes)
{
    const std::string name = PriceBlockHeading(w, captions, price, single);
    TableDrug(w);

    // The limitation codes: the record's own, and the twin's after a comma.
    std::string paired = Trim(pairedCodes);
    const char legal = FieldByte(price, kPriceLegalNoteW);
    if ((legal == 'M' || legal == 'P') && paired == "L")
        paired = "L'";
    const std::string own = TrimmedField(price, kPriceLimitation);
    const std::string codes = paired.empty() ? own : own + "," + paired;

    if (AboveBlank(FieldByte(price, kPriceValidFrom, 3))) {
        DrugLabelCell(w, "plat");
        std::string date = MonthYearText(FieldText(price, kPriceValidFrom));
        std::replace(date.begin(), date.end(), '/', '.');
        EmphOn(w);
        w.Text("1." + date);
        EmphOff(w);
    }
    PriceRows(w, price);
    if (const std::string amount = FormatCode7(FieldText(price, kPriceZapd)); !amount.empty()) {
        DrugLabelCell(w, "zapd");
        w.Field(amount);
        w.Text(CurrencySuffix());
        if (!paired.empty() && std::string_view("BKSTU").find(paired[0]) != std::string_view::npos)
            Hint(w, DataSetText("HlavH", "zulp"));
    }
    if (const std::string t = DataSetText("NezW", Key(FieldByte(price, kPriceNezap))); !t.empty()) {
        DrugLabelCell(w, "nezap");
        w.Text(t);
    }
    if (AboveBlank(FieldByte(price, kPriceIndication))) {
        DrugLabelCell(w, "indo");
        EmphOn(w);
        w.Text(ProgramText("Uvod", "ano"));
        EmphOff(w);
        Hint(w, DataSetText("HlavH", "detInd"));
    }
    if (const std::string spec = TrimmedField(price, kPriceSpecialists); !spec.empty()) {
        DrugLabelCell(w, "spec");
        EmphOn(w);
        w.Field(spec);
        EmphOff(w);
        AppendPreCodes(w, spec);
    }
    if (!codes.empty()) {
        DrugLabelCell(w, "limit");
        EmphOn(w);
        w.Field(codes);
        EmphOff(w);
        Hint(w, DataSetText("HlavH", "detLim"));
    }
    if (const std::string t = Trim(FieldText(price, kPriceOdtd) + " " + FieldText(price, kPriceOdtdUnit));
        !t.empty()) {
        DrugLabelCell(w, "odtd");
        w.Field(t);
    }
    if (const std::string t = DataSetText("Odz", Key(FieldByte(price, kPriceOdtdNote))); !t.empty()) {
        DrugLabelCell(w, "odtdz");
        w.Text(t);
    }
    if (const std::string amount = FormatCode7(FieldText(price, kPriceEquivalent)); !amount.empty()) {
        DrugLabelCell(w, "ekviv");
        w.Field(amount);
        w.Text(CurrencySuffix());
    }
    // Without this the tables and headings after the block would nest in
    // its last cell.
    SectionEnd(w);

    if (AboveBlank(FieldByte(price, kPriceIndication)))
        IndicationParagraph(w, captions, price, name);
    if (!codes.empty())
        LimitationParagraph(w, captions, codes, name);
}
