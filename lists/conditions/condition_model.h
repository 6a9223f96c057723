#pragma once
// The compound search's conditions without widgets: the two criteria tables
// (drugs and medical devices), the criteria menu as a tree of items, the
// value submenus read from the text tables, the sorted condition entries
// with AddCondition, the grid texts and the value a chooser's record gives.
// The condition window (TPodminka) shows this model; the search engine
// (condition_search.h) runs a copy of its entries.
//
// Texts are in the data code page, as every text of the lists.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What a criterion is when it is no plain field: its FieldLen.
namespace CriterionKind {
constexpr uint8_t RunDevices = 239;    // the row that starts the device search
constexpr uint8_t RunDrugs = 240;      // ... the drug search
constexpr uint8_t SubstanceName = 241; // a name of the substance table
constexpr uint8_t InsuranceData = 250; // reimbursement register marks
constexpr uint8_t PriceType = 251;     // reimbursement register price type
constexpr uint8_t DateTest = 253;      // date and number tests of the texts
constexpr uint8_t Composition = 254;   // a component of the drug
constexpr uint8_t InfoFlags = 255;     // a document present or absent
} // namespace CriterionKind

// FieldPos of a submenu heading (its FieldLen is the submenu's mask).
constexpr int16_t kSubmenuHeading = 255;
// The menu bits of the substance criteria and of their heading.
constexpr uint8_t kSubstanceMenuBits = 64;
constexpr uint8_t kSubstanceHeadingBits = 5;
constexpr uint8_t kGeneralMenuBits = 3;
constexpr int kMaxConditions = 30;
constexpr size_t kMaxValueLength = 23;

struct CriterionRow {
    uint8_t menuBits;
    const char* defaultName;
    int16_t fieldPos; // 1-based; 0 no plain field; 255 a submenu heading
    uint8_t fieldLen; // or a CriterionKind, or a heading's mask
    uint8_t costFactor;
    uint8_t costDivisor;
    const char* driveIndex; // nullptr: the criterion is only tested
    // 0 typed; negative: minus the kind of the chooser list; above 250: a
    // text section packed as a kind code.
    int32_t source;
};

std::span<const CriterionRow> DrugCriteria();
std::span<const CriterionRow> DeviceCriteria();

// The three letters of a section `source` (above 250); the device table's
// second letter in upper case.
std::string SourceLetters(int32_t source, bool deviceTable);

// The chooser lists a criterion opens (Source negative).
enum class ChooserKind : uint8_t {
    None,
    Substance,
    Atc,
    Holder,
    IndicationGroup,
    DeviceType,
    Maker,
    Country
};
ChooserKind ChooserOf(const CriterionRow& row);

// One item of the criteria menu.
struct ConditionMenuItem {
    int criterion = 0;   // 1-based row of the table
    int valueIndex = -1; // index in the value list (a value item), else -1
    int menuIndex = 0;   // place among its parent's items
    std::string caption; // data code page
    bool visible = true;
    bool enabled = true;
    std::vector<ConditionMenuItem> children;
};

// The answer of the "Podminka.ANebo" question: 6 Yes, 7 No, 2 Cancel.
using AskAllRequired = std::function<int()>;

// What AddCondition did.
enum class AddOutcome : uint8_t {
    Added,
    Ignored,      // 30 conditions already
    AwaitsDate,   // a date-test letter chosen: type the date (mask "9999\99\99")
    AwaitsNumber, // a number-test letter chosen: type the number (mask "999")
};

class ConditionModel {
public:
    // Names from "Podminka.Q01".."Q30" or "T01".."T09" (cut to 25).
    explicit ConditionModel(bool devices);

    bool Devices() const { return devices_; }
    std::span<const CriterionRow> Criteria() const { return devices_ ? DeviceCriteria() : DrugCriteria(); }
    const CriterionRow& Row(int criterion) const { return Criteria()[static_cast<size_t>(criterion - 1)]; }
    const std::string& Name(int criterion) const { return names_[static_cast<size_t>(criterion - 1)]; }

    // The criteria menu of `mask` (3 for the top level); value submenus from
    // the text tables.  Fills the value list.
    std::vector<ConditionMenuItem> BuildCriteriaMenu(uint8_t mask);
    // A value submenu of section `source` (three packed letters).
    std::vector<ConditionMenuItem> BuildCodeMenu(int32_t source, int criterion);
    // The value list behind the value items.
    const std::vector<std::string>& Values() const { return values_; }

    // The menu after the openers: the search row disabled and hidden.
    std::vector<ConditionMenuItem>& Menu() { return menu_; }
    const std::vector<ConditionMenuItem>& Menu() const { return menu_; }

    int Chosen() const { return chosen_; }
    void Choose(int criterion) { chosen_ = criterion; }
    char DateLetter() const { return dateLetter_; }

    // The value of value item `valueIndex` for the chosen criterion: the
    // list's value, for the information flags a document letter and "+"/"-".
    std::string ValueOfItem(int valueIndex, int menuIndex) const;

    // Adds a condition of the chosen criterion (see the .cpp).
    AddOutcome AddCondition(std::string value, const AskAllRequired& ask);

    const std::vector<std::string>& Entries() const { return entries_; }
    int Count() const { return static_cast<int>(entries_.size()); }

    // The grid: criterion name and values, one row per criterion.
    struct GridRow {
        std::string name;
        std::string values;
    };
    std::vector<GridRow> Grid() const;
    // The display text of one entry's value.
    std::string ValueText(std::string_view entry) const;

    // The filter word and option byte copied at creation.
    uint16_t filterWord = 0;
    uint8_t optionByte = 0;
    uint8_t synonymFilter = 0;     // COMP=, bit 0x10: synonyms hidden
    uint8_t compositionFilter = 0; // INGR=, bit 0: the composition filter

private:
    void AfterAdd(int criterion);

    bool devices_;
    std::vector<std::string> names_;
    std::vector<ConditionMenuItem> menu_;
    std::vector<std::string> values_;
    std::vector<std::string> entries_;
    int chosen_ = 0;
    char dateLetter_ = 0;
};

// The criterion number of an entry's code character.
inline int CriterionOfEntry(std::string_view entry)
{
    return entry.empty() ? 0 : static_cast<unsigned char>(entry[0]) / 3;
}
inline int VariantOfEntry(std::string_view entry)
{
    return entry.empty() ? 0 : static_cast<unsigned char>(entry[0]) % 3;
}

// The value a chooser's record gives (ResetData): by the chooser's kind;
// empty when the record gives none.
std::string ChooserValueOfRecord(ChooserKind kind, std::string_view record);
