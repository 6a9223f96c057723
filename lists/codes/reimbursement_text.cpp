#include "lists/codes/reimbursement_text.h"

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"

namespace {

// The specialist codes show in two columns: the first 12 characters with the
// limitation, the next 22 on their own.
constexpr int kSpecialistsFirst = 12;
constexpr int kSpecialistsSecond = 22;
static_assert(kPriceSpecialists.length >= kSpecialistsFirst + kSpecialistsSecond);

constexpr int kPriceWidth = 10;

void Put(std::string& out, std::string_view text, int width)
{
    const size_t n = static_cast<size_t>(width);
    out.append(text.substr(0, n));
    if (text.size() < n)
        out.append(n - text.size(), ' ');
}

std::string_view Sub(std::string_view record, FieldPos f, int from, int length)
{
    const std::string_view bytes = FieldBytes(record, f);
    if (static_cast<size_t>(from) >= bytes.size())
        return {};
    return bytes.substr(static_cast<size_t>(from), static_cast<size_t>(length));
}

} // namespace

std::string FormatPrice(std::string_view field)
{
    if (field.size() > 13)
        field = field.substr(field.size() - 13);
    if (field.size() < 3)
        return std::string(field);
    const size_t point = field.find('.');
    if (point != std::string_view::npos && point + 1 < field.size()) {
        // Already written with its point: moving the last two would give "c..c.".
        return ' ' + std::string(field);
    }
    const std::string_view head = field.substr(0, field.size() - 2);
    const std::string_view tail = field.substr(field.size() - 2);
    std::string out(head);
    out += tail[0] == ' ' ? ' ' : '.';
    out += tail;
    return out;
}

std::string ReimbursementLimitText(std::string_view cvzp)
{
    const char code1 = FieldByte(cvzp, kPriceLimitation, 0);
    const char code2 = FieldByte(cvzp, kPriceLimitation, 1);
    const char indication = FieldByte(cvzp, kPriceIndication);
    const char firstSpecialist = FieldByte(cvzp, kPriceSpecialists);
    std::string out;
    if (code1 == ' ' && indication == ' ' && firstSpecialist == ' ') {
        out = "  ";
    } else {
        std::string_view code = FieldBytes(cvzp, kPriceLimitation);
        while (!code.empty() && code.back() == ' ')
            code.remove_suffix(1);
        out.assign(code);
        out += '/';
    }
    if (indication == ' ') {
        Put(out, Sub(cvzp, kPriceSpecialists, 0, kSpecialistsFirst), kSpecialistsFirst);
        out += "   ";
    } else {
        // "P" marks the indication text; its "/" leads to the specialist codes
        // and goes when there are none.
        out += 'P';
        out += firstSpecialist == ' ' ? ' ' : '/';
        Put(out, Sub(cvzp, kPriceSpecialists, 0, kSpecialistsFirst), kSpecialistsFirst);
        if (code2 == ' ')
            out += ' ';
    }
    std::string fitted;
    Put(fitted, out, kLimitTextWidth);
    return fitted;
}

std::string ReimbursementRowText(std::string_view kl, std::string_view cvzp, bool signedDrug)
{
    std::string out;
    out.reserve(1 + kReimbursementRowWidth);
    out += '\0';
    std::string code(FieldBytes(kl, kDrugCode));
    if (signedDrug && !code.empty())
        code[0] = static_cast<char>(static_cast<unsigned char>(code[0]) - 32);
    Put(out, code, kDrugCode.length);
    Put(out, FieldBytes(kl, kDrugName), kDrugName.length);
    Put(out, FormatDrugDetails(kl, 46), 46);
    Put(out, FieldBytes(kl, kDrugHolder), kDrugHolder.length);
    Put(out, FieldBytes(kl, kDrugHolderCountry), kDrugHolderCountry.length);
    Put(out, FieldBytes(kl, kDrugAtc), kDrugAtc.length);
    Put(out, FormatPrice(FieldBytes(cvzp, kPriceMaxReimbursement)), kPriceWidth);
    out += FieldByte(cvzp, kPriceReimbursementLetter) == 'N' ? 'N' : ' ';
    Put(out, FormatPrice(FieldBytes(cvzp, kPriceAmount)), kPriceWidth);
    out += FieldByte(cvzp, kPriceCondition);
    const char mark = FieldByte(cvzp, kPriceMark);
    out += mark == 'X' || mark == 'Y' ? '*' : mark;
    out += ReimbursementLimitText(cvzp);
    Put(out, Sub(cvzp, kPriceSpecialists, kSpecialistsFirst, kSpecialistsSecond), kSpecialistsSecond);
    Put(out, FormatPrice(FieldBytes(cvzp, kPriceEquivalent)), kPriceWidth);
    out.append(kPriceWidth, ' ');
    // A lower (paired) slot is marked; its hint is "Uhr.pu".
    out += static_cast<unsigned char>(FieldByte(cvzp, kPriceSlot)) >= 'a' ? '-' : ' ';
    out += "  ";
    return out;
}

bool ReimbursementKindChosen(char key, std::string_view choice)
{
    return choice.find(key == ' ' ? '_' : key) != std::string_view::npos;
}
