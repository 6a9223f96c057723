#include "lists/conditions/condition_model.h"

#include <algorithm>
#include <array>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"

namespace {

constexpr int32_t Section(std::string_view letters)
{
    return KindOf(letters);
}
constexpr int32_t Chooser(std::string_view kind)
{
    return -static_cast<int32_t>(KindOf(kind));
}
constexpr int16_t Start(FieldPos f)
{
    return static_cast<int16_t>(f.start);
}
constexpr uint8_t Len(FieldPos f)
{
    return static_cast<uint8_t>(f.length);
}

using K = CriterionRow;
namespace CK = CriterionKind;

constexpr FieldPos kHolderAndCountry = FieldSpan(kDrugHolder, kDrugHolderCountry);
constexpr FieldPos kDeviceNameAndSupplement = FieldSpan(kDeviceName, kDeviceSupplement);

// clang-format off
constexpr std::array<CriterionRow, 30> kDrugCriteria{{
    {3, "Nazev REG-29", Start(kDrugName), Len(kDrugName), 130, 137, "klnaz", 0},
    {3, "Sila", Start(kDrugStrength), Len(kDrugStrength), 80, 20, nullptr, 0},
    {3, "Lekova forma", Start(kDrugForm), Len(kDrugForm), 150, 40, nullptr, 0},
    {3, "Baleni", Start(kDrugPackage), Len(kDrugPackage), 50, 20, nullptr, 0},
    {3, "Drzitel", Start(kHolderAndCountry), Len(kHolderAndCountry), 200, 72, "kldrz", Chooser("VHC")},
    {3, "ATC", Start(kDrugAtc), Len(kDrugAtc), 108, 168, "klatc", Chooser("VAC")},
    {3, "Registrace >", kSubmenuHeading, 8, 0, 1, nullptr, 0},
    {3, "Pojistovna >", kSubmenuHeading, 16, 0, 1, nullptr, 0},
    {3, "Informace", 0, CK::InfoFlags, 230, 3, nullptr, Section("Inf")},
    {3, "Ostatni    >", kSubmenuHeading, 32, 0, 1, nullptr, 0},
    {3, "Slozeni", 0, CK::Composition, 255, 255, "klkod", Chooser("CNA")},
    {5, "Komponenty >", kSubmenuHeading, 64, 0, 1, nullptr, 0},
    {6, "Prohledavani", 0, CK::RunDrugs, 0, 1, nullptr, 0},
    {8, "Stav registr", Start(kDrugState), Len(kDrugState), 230, 10, nullptr, Section("Reg")},
    {8, "Typ registr.", Start(kDrugRegistrationType), Len(kDrugRegistrationType), 230, 4, nullptr, Section("Ret")},
    {8, "Reg. cislo n", Start(kDrugRegistrationNumber), 11, 190, 6, "klrc", 0},
    {8, "Reg. cislo E", Start(kDrugRegistrationNumber), 9, 190, 6, "klrc", 0},
    {16, "Udaje VZP", 0, CK::InsuranceData, 130, 5, nullptr, Section("Poj")},
    {16, "Typ cen.reg.", 1, CK::PriceType, 130, 5, nullptr, Section("Cer")},
    {16, "Typ uhrady", Start(kDrugReimbursementKind), Len(kDrugReimbursementKind), 130, 69, nullptr, Section("Uhr")},
    {32, "Kod leku", Start(kDrugCode), Len(kDrugCode), 230, 10, "klkod", 0},
    {32, "Ind. skupina", Start(kDrugIndicationGroup), Len(kDrugIndicationGroup), 100, 170, "klis", Chooser("VIC")},
    {32, "Zavislost", Start(kDrugDependence), Len(kDrugDependence), 230, 7, nullptr, Section("Zav")},
    {32, "Doping", Start(kDrugDoping), Len(kDrugDoping), 100, 100, nullptr, Section("Dop")},
    {32, "Narizeni vl.", Start(kDrugGovernmentRegulation), Len(kDrugGovernmentRegulation), 100, 100, nullptr, Section("Dnv")},
    {32, "Volna prod.", Start(kDrugDispensing), Len(kDrugDispensing), 230, 4, nullptr, Section("Vyd")},
    {32, "Braill.pismo", Start(kDrugBraille), Len(kDrugBraille), 250, 2, nullptr, Section("Bra")},
    {32, "Revize Infa", 0, CK::DateTest, 230, 3, nullptr, Section("Inr")},
    {64, "Nazev komp.", Start(kSubstanceName), CK::SubstanceName, 130, 130, "kknaz", 0},
    {64, "Zav. komp.", Start(kSubstanceDependence), Len(kSubstanceDependence), 230, 7, nullptr, Section("Zvk")},
}};

constexpr std::array<CriterionRow, 9> kDeviceCriteria{{
    {3, "Nazev PZT", Start(kDeviceName), Len(kDeviceName), 100, 137, "pztnaz", 0},
    {3, "Doplnek", Start(kDeviceSupplement), Len(kDeviceSupplement), 60, 130, nullptr, 0},
    {3, "Nazev a dopl", Start(kDeviceNameAndSupplement), Len(kDeviceNameAndSupplement), 80, 130, nullptr, 0},
    {3, "Typ PZT", Start(kDeviceType), Len(kDeviceType), 100, 170, "pzttyp", Chooser("UTC")},
    {3, "Vyrobce", Start(kDeviceMaker), Len(kDeviceMaker), 200, 82, "pztvyr", Chooser("UFC")},
    {3, "Zem vyrobce", Start(kDeviceCountry), Len(kDeviceCountry), 200, 100, "pztzem", Chooser("UCC")},
    {3, "Prodej", Start(kDeviceSale), Len(kDeviceSale), 230, 4, nullptr, Section("TPr")},
    {3, "Uhrada", Start(kDeviceReimbursementLetter), Len(kDeviceReimbursementLetter), 230, 4, nullptr, Section("TUh")},
    {2, "Prohledavani", 0, CK::RunDevices, 0, 1, nullptr, 0},
}};
// clang-format on

// The places the criteria compare, as the search was designed for them.
static_assert(kDrugCriteria[0].fieldPos == 8 && kDrugCriteria[4].fieldPos == 184 &&
              kDrugCriteria[4].fieldLen == 6);
static_assert(kDrugCriteria[13].fieldPos == 190 && kDrugCriteria[14].fieldPos == 216);
static_assert(kDrugCriteria[19].fieldPos == 250 && kDrugCriteria[21].fieldPos == 191);
static_assert(kDrugCriteria[22].fieldPos == 221 && kDrugCriteria[23].fieldPos == 238);
static_assert(kDrugCriteria[24].fieldPos == 241 && kDrugCriteria[25].fieldPos == 222);
static_assert(kDrugCriteria[26].fieldPos == 244 && kDrugCriteria[28].fieldPos == 9);
static_assert(kDrugCriteria[29].fieldPos == 73);
static_assert(kDeviceCriteria[2].fieldLen == 150 && kDeviceCriteria[3].fieldPos == 168);
static_assert(kDeviceCriteria[4].fieldPos == 183 && kDeviceCriteria[5].fieldPos == 186);
static_assert(kDeviceCriteria[6].fieldPos == 167 && kDeviceCriteria[7].fieldPos == 265);

std::string TwoDigits(int n)
{
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

std::string Cut(std::string s, size_t n)
{
    if (s.size() > n)
        s.resize(n);
    return s;
}

// The number of document letter `n` (1-based) as a display character.
std::string DocumentLetter(int n)
{
    const std::string letters = FlagLetters();
    return n >= 1 && static_cast<size_t>(n) <= letters.size() ? letters.substr(static_cast<size_t>(n - 1), 1)
                                                              : std::string("?");
}

// The document a date or number test names: the dates of kodex (A, B), of
// the leaflet (C, D, H) and of the SPC (E, F, I).
int DocumentOfTest(char letter)
{
    switch (letter) {
    case 'A':
    case 'B': return 1;
    case 'C':
    case 'D':
    case 'H': return 3;
    case 'E':
    case 'F':
    case 'I': return 4;
    default: return 0;
    }
}

bool AllDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::span<const CriterionRow> DrugCriteria()
{
    return kDrugCriteria;
}

std::span<const CriterionRow> DeviceCriteria()
{
    return kDeviceCriteria;
}

std::string SourceLetters(int32_t source, bool deviceTable)
{
    const auto v = static_cast<uint32_t>(source);
    std::string s(3, ' ');
    s[0] = static_cast<char>(((v >> 10) & 31) + 64);
    s[1] = static_cast<char>(((v & 1023) >> 5) + 96 - (deviceTable ? 32 : 0));
    s[2] = static_cast<char>((v & 31) + 96);
    return s;
}

ChooserKind ChooserOf(const CriterionRow& row)
{
    if (row.source >= 0)
        return ChooserKind::None;
    const std::string kind = KindLetters(static_cast<uint16_t>(-row.source));
    static constexpr std::pair<std::string_view, ChooserKind> kKinds[] = {
        {"CNA", ChooserKind::Substance},       {"VAC", ChooserKind::Atc},        {"VHC", ChooserKind::Holder},
        {"VIC", ChooserKind::IndicationGroup}, {"UTC", ChooserKind::DeviceType}, {"UFC", ChooserKind::Maker},
        {"UCC", ChooserKind::Country},
    };
    for (const auto& [letters, k] : kKinds)
        if (kind == letters)
            return k;
    return ChooserKind::None;
}

ConditionModel::ConditionModel(bool devices) : devices_(devices)
{
    const auto rows = Criteria();
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string name;
        if (GetTextEntry(UiTexts, "Podminka", (devices ? "T" : "Q") + TwoDigits(static_cast<int>(i) + 1),
                         name) == 0)
            name = rows[i].defaultName;
        names_.push_back(Cut(name, 25));
    }
    menu_ = BuildCriteriaMenu(kGeneralMenuBits);
    if (!menu_.empty()) {
        menu_.back().enabled = false;
        menu_.back().visible = false;
    }
}

std::vector<ConditionMenuItem> ConditionModel::BuildCriteriaMenu(uint8_t mask)
{
    std::vector<ConditionMenuItem> items;
    const auto rows = Criteria();
    for (size_t i = 0; i < rows.size(); ++i) {
        const CriterionRow& row = rows[i];
        if ((row.menuBits & mask) == 0)
            continue;
        ConditionMenuItem item;
        item.criterion = static_cast<int>(i) + 1;
        item.menuIndex = static_cast<int>(items.size());
        item.caption = names_[i];
        if (row.fieldPos == kSubmenuHeading)
            item.children = BuildCriteriaMenu(row.fieldLen);
        else if (row.source > 250)
            item.children = BuildCodeMenu(row.source, item.criterion);
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<ConditionMenuItem> ConditionModel::BuildCodeMenu(int32_t source, int criterion)
{
    std::vector<ConditionMenuItem> items;
    const std::string section = SourceLetters(source, devices_);
    size_t keyLength = 1;
    if (section == "Vyd" || section == "Dnv")
        keyLength = 2;
    else if (section == "Dop" || section == "Ret")
        keyLength = 3;
    const bool program = section[0] == 'I';
    const TextTableSlot& table = program ? UiTexts : DataTexts;
    std::string key(keyLength, '_');
    std::string text;
    if (GetTextEntry(table, section, key, text) == 0)
        return items;
    do {
        std::string code = key.substr(0, std::min(key.size(), keyLength));
        std::replace(code.begin(), code.end(), '_', ' ');
        if (const size_t amp = text.find('&'); amp != std::string::npos)
            text.erase(amp, 1);
        if (!text.empty()) {
            std::string caption;
            if (program)
                caption = text;
            else if (section == "Vyd")
                caption = DataSetText("VydZ", key) + " " + text;
            else
                caption = code + " " + text;
            ConditionMenuItem item;
            item.criterion = criterion;
            item.valueIndex = static_cast<int>(values_.size());
            item.menuIndex = static_cast<int>(items.size());
            item.caption = caption;
            values_.push_back(code);
            items.push_back(std::move(item));
        }
    } while (NextTextEntry(table, section, key, text) != 0);
    return items;
}

std::string ConditionModel::ValueOfItem(int valueIndex, int menuIndex) const
{
    if (valueIndex < 0 || static_cast<size_t>(valueIndex) >= values_.size() || chosen_ < 1)
        return {};
    if (Row(chosen_).fieldLen == CriterionKind::InfoFlags && Row(chosen_).fieldPos == 0)
        return DocumentLetter(menuIndex / 2 + 1) + (menuIndex % 2 == 0 ? "+" : "-");
    return Cut(values_[static_cast<size_t>(valueIndex)], kMaxValueLength);
}

AddOutcome ConditionModel::AddCondition(std::string v, const AskAllRequired& ask)
{
    if (Count() >= kMaxConditions || chosen_ < 1 || chosen_ > static_cast<int>(Criteria().size()))
        return AddOutcome::Ignored;
    const CriterionRow& row = Row(chosen_);
    const uint8_t k = row.fieldLen;
    if (k == 11 && row.fieldPos != 0) {
        // Typed as prefix, letter, number and year; the index keeps year,
        // number and prefix.
        v.resize(8, ' ');
        v = "?" + v.substr(6, 2) + v.substr(2, 4) + v.substr(0, 2);
        while (!v.empty() && v.back() == ' ')
            v.pop_back();
    }
    if (k == CriterionKind::DateTest && row.fieldPos == 0) {
        if (v.size() == 1) {
            dateLetter_ = v[0];
            if (dateLetter_ >= 'A' && dateLetter_ <= 'F')
                return AddOutcome::AwaitsDate;
            if (dateLetter_ == 'H' || dateLetter_ == 'I')
                return AddOutcome::AwaitsNumber;
            if (dateLetter_ != 'G')
                return AddOutcome::Ignored;
        } else if (dateLetter_ >= 'A' && dateLetter_ <= 'F') {
            // A date is taken only with all its eight digits.
            if (v.size() < 8 || !AllDigits(std::string_view(v).substr(0, 8)))
                return AddOutcome::Ignored;
            const char sign = (dateLetter_ - 'A') % 2 == 0 ? '<' : '>';
            v = std::string(1, dateLetter_) + sign + v.substr(0, 4) + "/" + v.substr(4, 2) + "/" +
                v.substr(6, 2);
        } else if (dateLetter_ == 'H' || dateLetter_ == 'I') {
            std::string digits;
            for (char c : v)
                if (c != ' ')
                    digits += c;
            if (digits.empty() || !AllDigits(digits))
                return AddOutcome::Ignored;
            v = std::string(1, dateLetter_) + "@" + digits;
        } else {
            return AddOutcome::Ignored;
        }
    }
    v = Cut(v, kMaxValueLength);

    int c = chosen_ * 3;
    if (row.fieldPos == 0) {
        auto first = std::find_if(entries_.begin(), entries_.end(), [c](const std::string& e) {
            return static_cast<unsigned char>(e[0]) >= c;
        });
        if (first != entries_.end() && CriterionOfEntry(*first) == chosen_) {
            const int code = static_cast<unsigned char>((*first)[0]);
            if (code == c) {
                c += 1;
                if (ask && ask() == 6)
                    c += 1;
                (*first)[0] = static_cast<char>(c);
            } else {
                c = code;
            }
        }
    }
    const std::string entry = std::string(1, static_cast<char>(c)) + v;
    entries_.insert(std::lower_bound(entries_.begin(), entries_.end(), entry), entry);
    AfterAdd(chosen_);
    return AddOutcome::Added;
}

void ConditionModel::AfterAdd(int criterion)
{
    if (menu_.empty())
        return;
    menu_.back().enabled = true;
    menu_.back().visible = true;
    const bool substance = Row(criterion).menuBits == kSubstanceMenuBits;
    for (ConditionMenuItem& item : menu_) {
        const uint8_t bits = Row(item.criterion).menuBits;
        if ((substance && bits == kGeneralMenuBits) || (!substance && bits == kSubstanceHeadingBits))
            item.visible = false;
    }
}

std::string ConditionModel::ValueText(std::string_view entry) const
{
    const int criterion = CriterionOfEntry(entry);
    if (criterion < 1 || criterion > static_cast<int>(Criteria().size()))
        return {};
    const CriterionRow& row = Row(criterion);
    const std::string value(entry.substr(1));
    if (!devices_ && row.fieldPos == Start(kDrugRegistrationNumber) &&
        (row.fieldLen == 9 || row.fieldLen == 11)) {
        std::string field = value;
        if (!field.empty() && field[0] == '?')
            field[0] = '=';
        field.resize(11, ' ');
        return FormatCodeField17(field);
    }
    if (row.fieldPos == 0 && row.fieldLen == CriterionKind::DateTest) {
        if (value.empty())
            return {};
        if (value[0] == 'G')
            return DocumentLetter(1) + "<" + DocumentLetter(4);
        return DocumentLetter(DocumentOfTest(value[0])) + value.substr(1);
    }
    if (!devices_ && row.fieldPos == Start(kDrugDispensing)) {
        std::string key = value.substr(0, 2);
        key.resize(2, ' ');
        std::replace(key.begin(), key.end(), ' ', '_');
        return DataSetText("VydZ", key);
    }
    return value;
}

std::vector<ConditionModel::GridRow> ConditionModel::Grid() const
{
    std::vector<GridRow> rows;
    int last = 0;
    for (const std::string& e : entries_) {
        const int criterion = CriterionOfEntry(e);
        if (criterion != last) {
            rows.push_back({Name(criterion), {}});
            last = criterion;
        } else {
            rows.back().values += VariantOfEntry(e) == 2 ? " & " : ", ";
        }
        rows.back().values += ValueText(e);
    }
    return rows;
}

std::string ChooserValueOfRecord(ChooserKind kind, std::string_view record)
{
    std::string v;
    switch (kind) {
    case ChooserKind::Substance: v = FieldBytes(record, kSubstanceCode); break;
    case ChooserKind::Country: v = FieldBytes(record, kCountryCode); break;
    case ChooserKind::Maker: v = FieldBytes(record, kDeviceMakerCode); break;
    case ChooserKind::DeviceType: v = FieldBytes(record, kDeviceTypeCode); break;
    case ChooserKind::Atc:
        v = FieldBytes(record, kAtcCode);
        v = v.substr(0, v.find(' '));
        break;
    case ChooserKind::Holder: {
        v = FieldBytes(record, kRegHolderCode);
        const std::string_view country = FieldBytes(record, kRegHolderCountry);
        if (!country.empty() && country[0] != '*')
            v += country;
        break;
    }
    case ChooserKind::IndicationGroup: v = FieldBytes(record, kIndicationGroupCode); break;
    case ChooserKind::None: break;
    }
    return Cut(v, kMaxValueLength);
}
