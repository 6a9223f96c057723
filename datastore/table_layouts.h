#pragma once
// The fields of every record table of the data folder: for each record file
// its table of fields (three-letter name and descriptor byte, in record
// order), from which every 1-based start and length follows by summing.  The
// one place a field's position is written: the data-set builder writes its
// records through these layouts, data_struct_check compares each layout with
// its file's own header, and readers name the fields they read.  The page:
// docs/formats/table-layouts.md.
//
// Every field has one exported name, resolved at compile time below the
// tables:
//
//   std::string_view name = FieldBytes(record, kDrugName);   // kl NAZ, 8, 70
//
// An unknown name in Field() does not compile.  Run-time look-ups (a name
// from a source file, a table chosen by identity) use Index() and
// FindTableLayout().
//
// The readers never consult a file's header for a position: a folder whose
// headers differ from these layouts is reported by data_struct_check.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Length of a field from its descriptor byte: d < 0x80: (d AND 0x7F) + 1;
// 0x80 <= d < 0xF0: (d AND 0x0F) + 1; d >= 0xF0: (d AND 0x07) + 1.
constexpr int DescriptorLength(uint8_t d)
{
    return d < 0x80 ? (d & 0x7F) + 1 : d < 0xF0 ? (d & 0x0F) + 1 : (d & 0x07) + 1;
}

// A name as the header stores it: letter i in bits 10-5i .. 14-5i, each as
// its code AND 0x1F (a blank or a missing letter is 0).  Letters past the
// third are ignored.
constexpr uint16_t PackedFieldName(std::string_view name)
{
    uint16_t v = 0;
    for (size_t i = 0; i < 3 && i < name.size(); ++i)
        v = static_cast<uint16_t>(v | ((static_cast<uint8_t>(name[i]) & 0x1F) << (10 - 5 * i)));
    return v;
}

// One row of a table of fields.
struct FieldDef {
    std::string_view name; // "KOD"; "SR" is stored as "SR "
    uint8_t descriptor;    // length and kind (docs/formats/dat.md)
};

// Where a field lies in a record.
struct FieldPos {
    int start = 0; // 1-based
    int length = 0;
    uint8_t descriptor = 0;

    constexpr int Offset() const { return start - 1; }       // 0-based
    constexpr int End() const { return start + length - 1; } // last position, 1-based
};

// The bytes of a field of a record, cut at the record's end (empty when the
// record ends before the field), as GetField gives them without a copy.
constexpr std::string_view FieldBytes(std::string_view record, FieldPos f)
{
    if (f.start < 1 || f.length <= 0 || static_cast<size_t>(f.start - 1) >= record.size())
        return {};
    return record.substr(static_cast<size_t>(f.start - 1), static_cast<size_t>(f.length));
}
// Byte i (0-based) of a field; a blank past the record's end.
constexpr char FieldByte(std::string_view record, FieldPos f, int i = 0)
{
    const size_t at = static_cast<size_t>(f.start - 1 + i);
    return f.start + i >= 1 && at < record.size() ? record[at] : ' ';
}

// The bytes from the start of `first` to the end of `last`, for fields the
// reader takes together (a drug's package type, holder and holder country).
constexpr FieldPos FieldSpan(FieldPos first, FieldPos last)
{
    return FieldPos{first.start, last.End() - first.start + 1, 0};
}

// Never defined: reaching it in a constant evaluation stops the compiler.
void NoSuchFieldInLayout();

struct TableLayout {
    // A constructor, not an aggregate: a braced list of fields must never
    // read as a layout.
    constexpr TableLayout(std::string_view table, std::span<const FieldDef> tableFields, bool free = false)
        : id(table), fields(tableFields), freeLayout(free)
    {}

    std::string_view id; // the record file is id + ".dat"
    std::span<const FieldDef> fields;
    // The data set's own layout (price history, consumption): only the first
    // field, the drug code readers seek, is fixed; the lists show the rest
    // by the names in the file's header.
    bool freeLayout = false;

    constexpr int FieldCount() const { return static_cast<int>(fields.size()); }
    constexpr int Length() const
    {
        int L = 0;
        for (const FieldDef& f : fields)
            L += DescriptorLength(f.descriptor);
        return L;
    }
    // 1 when the header needs a second record (3n + 5 > L).
    constexpr int HeaderShift() const { return 3 * FieldCount() + 5 > Length() ? 1 : 0; }

    // Index of a field by name (trailing blanks ignored); -1 when absent.
    constexpr int Index(std::string_view name) const
    {
        const std::string_view want = TrimmedName(name);
        for (size_t i = 0; i < fields.size(); ++i)
            if (TrimmedName(fields[i].name) == want)
                return static_cast<int>(i);
        return -1;
    }
    // Field i (0-based, inside the layout).
    constexpr FieldPos At(int i) const
    {
        int start = 1;
        for (int j = 0; j < i; ++j)
            start += DescriptorLength(fields[static_cast<size_t>(j)].descriptor);
        const uint8_t d = fields[static_cast<size_t>(i)].descriptor;
        return FieldPos{start, DescriptorLength(d), d};
    }
    // A field by name, for constants; an unknown name does not compile.
    consteval FieldPos Field(std::string_view name) const
    {
        const int i = Index(name);
        if (i < 0)
            NoSuchFieldInLayout();
        return At(i);
    }

private:
    static constexpr std::string_view TrimmedName(std::string_view s)
    {
        while (!s.empty() && s.back() == ' ')
            s.remove_suffix(1);
        return s;
    }
};

// ---------------------------------------------------------------------------
// The tables of fields, in record order; the record length each sums to is
// in its comment (and checked when the library is compiled).

// clang-format off
// kl: drugs, the main table (L = 346).
inline constexpr FieldDef kKlFields[] = {
    {"KOD", 0x96}, {"NAZ", 0x45}, {"LFO", 0x1A}, {"SIT", 0x05}, {"BAT", 0x05}, {"SIL", 0x17},
    {"BAL", 0x15}, {"CES", 0x0E}, {"OBA", 0x05}, {"DRZ", 0x02}, {"ZED", 0x02}, {"SR", 0x00},
    {"INS", 0x91}, {"ATC", 0x06}, {"RC", 0x0A},  {"SD", 0x04},  {"TR", 0x00},  {"EX", 0x03},
    {"ZAV", 0x00}, {"VP", 0x01},  {"DDM", 0xA3}, {"DDJ", 0x01}, {"DDB", 0xA7}, {"DP", 0x02},
    {"NV", 0x01},  {"OB", 0x00},  {"BRA", 0x00}, {"PDO", 0x03}, {"PNE", 0x00}, {"UH", 0x00},
    {"OME", 0x00}, {"VPO", 0x03}, {"ZAS", 0x00}, {"OZN", 0x02}, {"STR", 0x2B}, {"TYP", 0x01},
    {"PPC", 0x00}, {"PC", 0xB8},  {"WEB", 0x00}, {"SLO", 0x00}, {"PEA", 0xF8}, {"VYP", 0x00},
    {"PUL", 0x00}, {"CC", 0xF3},  {"LC", 0xF3},  {"AC", 0xF3},  {"SC", 0xF3},  {"LSD", 0xF9},
    {"SSD", 0xF9}, {"CCD", 0xF9}, {"LCD", 0xF9}, {"SCD", 0xF9},
};
// kle: EAN codes of a drug (L = 21).
inline constexpr FieldDef kKleFields[] = {{"KOD", 0x96}, {"EAN", 0xDC}, {"DRU", 0x00}};
// cvzp: price and reimbursement records, one per price slot (L = 124).
inline constexpr FieldDef kCvzpFields[] = {
    {"KOD", 0x96}, {"DRU", 0x00}, {"UHR", 0x00}, {"CER", 0x00}, {"PUV", 0xB9}, {"LGV", 0x00},
    {"OCE", 0xB8}, {"OZN", 0x00}, {"PUH", 0x00}, {"UCE", 0xB8}, {"LGW", 0x00}, {"LIM", 0x01},
    {"IND", 0x00}, {"SPE", 0x22}, {"FR1", 0x06}, {"ODT", 0x04}, {"ODJ", 0x01}, {"EKV", 0xB8},
    {"ODZ", 0x00}, {"ZAP", 0xB8}, {"NEZ", 0x00}, {"FR2", 0x01}, {"PLA", 0x03}, {"ODK", 0xF3},
};
// isv, isva: indication groups (L = 58).
inline constexpr FieldDef kIsvFields[] = {{"INS", 0x01}, {"NAZ", 0x37}};
// atc, atca: ATC groups (L = 166).
inline constexpr FieldDef kAtcFields[] = {{"ATC", 0x06}, {"REZ", 0x00}, {"NAZ", 0x7F}, {"NAR", 0x17},
                                          {"ACT", 0x00}, {"DUP", 0x00}, {"DFI", 0x03}};
// atcp, atcpa: ATC reference groups (L = 103).
inline constexpr FieldDef kAtcpFields[] = {{"ATC", 0x02}, {"NAZ", 0x63}};
// drzv: registration holders (L = 106).
inline constexpr FieldDef kDrzvFields[] = {{"DRZ", 0x02}, {"ZEM", 0x02}, {"NAZ", 0x62}, {"SOR", 0x00}};
// zemv, zemva, pfazemv, pztzemv: countries of each data set (L = 34).
inline constexpr FieldDef kCountryFields[] = {{"ZEM", 0x02}, {"ACT", 0x00}, {"NAZ", 0x1D}};
// klc: composition (L = 21).
inline constexpr FieldDef kKlcFields[] = {
    {"LEK", 0x96}, {"KOM", 0x84}, {"STA", 0x00}, {"MN", 0xA5}, {"JD", 0x01}};
// kk: active substances (L = 86).
inline constexpr FieldDef kKkFields[] = {{"KOD", 0x84}, {"SQ", 0x81},  {"SQR", 0x00}, {"NAZ", 0x3F},
                                         {"ZAV", 0x00}, {"DPG", 0x00}, {"NVL", 0x00}, {"SUL", 0x84},
                                         {"ZDR", 0x03}, {"DPR", 0x00}, {"SOR", 0x00}};
// kab: substance groups (L = 6, no index).
inline constexpr FieldDef kKabFields[] = {{"SUB", 0x02}, {"GRP", 0x02}};
// zdrv: substance sources (L = 74).
inline constexpr FieldDef kZdrvFields[] = {{"KOD", 0x03}, {"NAZ", 0x45}};
// vzph: price history, the data set's own layout (L = 120 here).
inline constexpr FieldDef kVzphFields[] = {{"KOD", 0x96}, {"ROC", 0x05}, {"UH", 0x01},  {"VC", 0xBA},
                                           {"OC", 0xB9},  {"UC", 0xB9},  {"HR", 0x00},  {"DNC", 0x00},
                                           {"TCR", 0x00}, {"LPR", 0x27}, {"ZAD", 0x09}, {"NEZ", 0x00},
                                           {"EKV", 0xB9}, {"ATC", 0x06}, {"DPH", 0x82}};
// spot1, spot2: consumption, the data set's own layout (L = 40 here).
inline constexpr FieldDef kSpotFields[] = {
    {"KOD", 0x96}, {"OBD", 0x05}, {"BAL", 0x88}, {"HOD", 0xBA}, {"ATC", 0x06}};
// vpois: company contacts (L = 300).
inline constexpr FieldDef kVpoisFields[] = {{"KOD", 0x03}, {"NAZ", 0x45}, {"WEB", 0x59}, {"ML1", 0x31},
                                            {"ML2", 0x31}, {"TE1", 0x11}, {"TE2", 0x11}};
// vypad: supply outages (L = 244).
inline constexpr FieldDef kVypadFields[] = {{"KOD", 0x96}, {"TYP", 0x00}, {"ODD", 0x03}, {"NAH", 0x31},
                                            {"POZ", 0x7F}, {"DUV", 0x31}, {"OBN", 0x03}};
// pfa: non-drug goods (L = 246).
inline constexpr FieldDef kPfaFields[] = {{"KOD", 0x94}, {"EUC", 0x95}, {"FLG", 0x01}, {"STR", 0x2B},
                                          {"NAZ", 0x3B}, {"DOP", 0x3B}, {"BAL", 0x1F}, {"VYR", 0x93},
                                          {"ZEM", 0x02}, {"EAN", 0xDC}, {"OB", 0x00},  {"PC", 0xB8},
                                          {"OBR", 0x00}, {"CC", 0xF3},  {"CCD", 0xF9}};
// pfavyrv: goods makers (L = 78).
inline constexpr FieldDef kPfavyrvFields[] = {{"KOD", 0x93}, {"NAZ", 0x49}};
// pfakatv: goods categories (L = 68).
inline constexpr FieldDef kPfakatvFields[] = {{"KAT", 0x03}, {"NAZ", 0x3F}};
// pfapk: goods categories of each article (L = 10).
inline constexpr FieldDef kPfapkFields[] = {{"KOD", 0x94}, {"KAT", 0x04}};
// pzt: medical devices (L = 290).
inline constexpr FieldDef kPztFields[] = {
    {"KOD", 0x96}, {"SEQ", 0x90}, {"ZDR", 0x00}, {"PUV", 0x96}, {"NAZ", 0x45}, {"DOP", 0x4F},
    {"PRO", 0x00}, {"TYP", 0x91}, {"UHS", 0x03}, {"UHF", 0x00}, {"MJB", 0xA5}, {"MJZ", 0x00},
    {"TBZ", 0x00}, {"VYR", 0x02}, {"ZEM", 0x02}, {"OHL", 0x03}, {"UC", 0xB8},  {"LIM", 0x00},
    {"PRE", 0x33}, {"MFC", 0xB8}, {"DNC", 0x00}, {"ZUP", 0x00}, {"UHP", 0x81}, {"KUD", 0xA3},
    {"UDO", 0xA2}, {"SKP", 0x00}, {"DZM", 0x03}, {"KAT", 0x04}, {"RPQ", 0x00}, {"RPT", 0x00},
    {"RPU", 0x83},
};
// pzttypv: device types (L = 106).
inline constexpr FieldDef kPzttypvFields[] = {{"TYP", 0x91}, {"NAZ", 0x63}, {"MET", 0xF3}};
// pztuhs: device classification groups (L = 194).
inline constexpr FieldDef kPztuhsFields[] = {{"KOD", 0x03}, {"NAZ", 0x7F}, {"NAR", 0x33}, {"ACT", 0x00},
                                             {"FLG", 0x00}, {"KUD", 0xA3}, {"ART", 0xF3}};
// pztvyrv: device makers (L = 186).
inline constexpr FieldDef kPztvyrvFields[] = {{"KOD", 0x02}, {"ZEM", 0x02}, {"VYR", 0x3B}, {"ZST", 0x3B},
                                              {"DIS", 0x3B}};
// pztohl: device holders (L = 64).
inline constexpr FieldDef kPztohlFields[] = {{"OHL", 0x03}, {"NAZ", 0x3B}};

// clang-format on

// One layout per record file; editions of one table share their fields.
inline constexpr TableLayout kKlLayout{"kl", kKlFields};
inline constexpr TableLayout kKleLayout{"kle", kKleFields};
inline constexpr TableLayout kCvzpLayout{"cvzp", kCvzpFields};
inline constexpr TableLayout kIsvLayout{"isv", kIsvFields};
inline constexpr TableLayout kIsvaLayout{"isva", kIsvFields};
inline constexpr TableLayout kAtcLayout{"atc", kAtcFields};
inline constexpr TableLayout kAtcaLayout{"atca", kAtcFields};
inline constexpr TableLayout kAtcpLayout{"atcp", kAtcpFields};
inline constexpr TableLayout kAtcpaLayout{"atcpa", kAtcpFields};
inline constexpr TableLayout kDrzvLayout{"drzv", kDrzvFields};
inline constexpr TableLayout kZemvLayout{"zemv", kCountryFields};
inline constexpr TableLayout kZemvaLayout{"zemva", kCountryFields};
inline constexpr TableLayout kKlcLayout{"klc", kKlcFields};
inline constexpr TableLayout kKkLayout{"kk", kKkFields};
inline constexpr TableLayout kKabLayout{"kab", kKabFields};
inline constexpr TableLayout kZdrvLayout{"zdrv", kZdrvFields};
inline constexpr TableLayout kVzphLayout{"vzph", kVzphFields, true};
inline constexpr TableLayout kSpot1Layout{"spot1", kSpotFields, true};
inline constexpr TableLayout kSpot2Layout{"spot2", kSpotFields, true};
inline constexpr TableLayout kVpoisLayout{"vpois", kVpoisFields};
inline constexpr TableLayout kVypadLayout{"vypad", kVypadFields};
inline constexpr TableLayout kPfaLayout{"pfa", kPfaFields};
inline constexpr TableLayout kPfavyrvLayout{"pfavyrv", kPfavyrvFields};
inline constexpr TableLayout kPfazemvLayout{"pfazemv", kCountryFields};
inline constexpr TableLayout kPfakatvLayout{"pfakatv", kPfakatvFields};
inline constexpr TableLayout kPfapkLayout{"pfapk", kPfapkFields};
inline constexpr TableLayout kPztLayout{"pzt", kPztFields};
inline constexpr TableLayout kPzttypvLayout{"pzttypv", kPzttypvFields};
inline constexpr TableLayout kPztuhsLayout{"pztuhs", kPztuhsFields};
inline constexpr TableLayout kPztvyrvLayout{"pztvyrv", kPztvyrvFields};
inline constexpr TableLayout kPztohlLayout{"pztohl", kPztohlFields};
inline constexpr TableLayout kPztzemvLayout{"pztzemv", kCountryFields};

// ---------------------------------------------------------------------------
// One name per field: readers use these, never a local alias or a stored
// name of their own (docs/glossary.md lists each beside its stored name).
// Editions of one table share their names; "Free" marks a field no reader
// interprets.
// Drugs (kl).
inline constexpr FieldPos kDrugCode = kKlLayout.Field("KOD");
inline constexpr FieldPos kDrugName = kKlLayout.Field("NAZ");
inline constexpr FieldPos kDrugForm = kKlLayout.Field("LFO");
inline constexpr FieldPos kDrugFreeSit = kKlLayout.Field("SIT");
inline constexpr FieldPos kDrugFreeBat = kKlLayout.Field("BAT");
inline constexpr FieldPos kDrugStrength = kKlLayout.Field("SIL");
inline constexpr FieldPos kDrugPackage = kKlLayout.Field("BAL");
inline constexpr FieldPos kDrugFreeCes = kKlLayout.Field("CES");
inline constexpr FieldPos kDrugPackageType = kKlLayout.Field("OBA");
inline constexpr FieldPos kDrugHolder = kKlLayout.Field("DRZ");
inline constexpr FieldPos kDrugHolderCountry = kKlLayout.Field("ZED");
inline constexpr FieldPos kDrugState = kKlLayout.Field("SR");
inline constexpr FieldPos kDrugIndicationGroup = kKlLayout.Field("INS");
inline constexpr FieldPos kDrugAtc = kKlLayout.Field("ATC");
inline constexpr FieldPos kDrugRegistrationNumber = kKlLayout.Field("RC");
inline constexpr FieldPos kDrugParallelImport = kKlLayout.Field("SD");
inline constexpr FieldPos kDrugRegistrationType = kKlLayout.Field("TR");
inline constexpr FieldPos kDrugShelfLife = kKlLayout.Field("EX");
inline constexpr FieldPos kDrugDependence = kKlLayout.Field("ZAV");
inline constexpr FieldPos kDrugDispensing = kKlLayout.Field("VP");
inline constexpr FieldPos kDrugDailyDose = kKlLayout.Field("DDM");
inline constexpr FieldPos kDrugDailyDoseUnit = kKlLayout.Field("DDJ");
inline constexpr FieldPos kDrugSecondDailyDose = kKlLayout.Field("DDB");
inline constexpr FieldPos kDrugDoping = kKlLayout.Field("DP");
inline constexpr FieldPos kDrugGovernmentRegulation = kKlLayout.Field("NV");
inline constexpr FieldPos kDrugCategory = kKlLayout.Field("OB");
inline constexpr FieldPos kDrugBraille = kKlLayout.Field("BRA");
inline constexpr FieldPos kDrugCancellationDate = kKlLayout.Field("PDO");
inline constexpr FieldPos kDrugFreePne = kKlLayout.Field("PNE");
inline constexpr FieldPos kDrugReimbursementKind = kKlLayout.Field("UH");
inline constexpr FieldPos kDrugRestrictions = kKlLayout.Field("OME");
inline constexpr FieldPos kDrugCompany = kKlLayout.Field("VPO");
inline constexpr FieldPos kDrugOnePack = kKlLayout.Field("ZAS");
inline constexpr FieldPos kDrugReferenceGroup = kKlLayout.Field("OZN");
inline constexpr FieldPos kDrugFreeStr = kKlLayout.Field("STR");
inline constexpr FieldPos kDrugFreeTyp = kKlLayout.Field("TYP");
inline constexpr FieldPos kDrugAveragePriceKind = kKlLayout.Field("PPC");
inline constexpr FieldPos kDrugAveragePrice = kKlLayout.Field("PC");
inline constexpr FieldPos kDrugWebFlags = kKlLayout.Field("WEB");
inline constexpr FieldPos kDrugFreeSlo = kKlLayout.Field("SLO");
inline constexpr FieldPos kDrugEanCount = kKlLayout.Field("PEA");
inline constexpr FieldPos kDrugOutage = kKlLayout.Field("VYP");
inline constexpr FieldPos kDrugTabletSplit = kKlLayout.Field("PUL");
inline constexpr FieldPos kDrugSummaryOffset = kKlLayout.Field("CC");
inline constexpr FieldPos kDrugLeafletOffset = kKlLayout.Field("LC");
inline constexpr FieldPos kDrugAltSummaryOffset = kKlLayout.Field("AC");
inline constexpr FieldPos kDrugSpcOffset = kKlLayout.Field("SC");
inline constexpr FieldPos kDrugLeafletTestDate = kKlLayout.Field("LSD");
inline constexpr FieldPos kDrugSpcTestDate = kKlLayout.Field("SSD");
inline constexpr FieldPos kDrugSummaryDate = kKlLayout.Field("CCD");
inline constexpr FieldPos kDrugLeafletDate = kKlLayout.Field("LCD");
inline constexpr FieldPos kDrugSpcDate = kKlLayout.Field("SCD");

// EAN codes of drugs (kle).
inline constexpr FieldPos kEanDrug = kKleLayout.Field("KOD");
inline constexpr FieldPos kEanCode = kKleLayout.Field("EAN");
inline constexpr FieldPos kEanKind = kKleLayout.Field("DRU");

// Price and reimbursement records (cvzp).
inline constexpr FieldPos kPriceDrug = kCvzpLayout.Field("KOD");
inline constexpr FieldPos kPriceSlot = kCvzpLayout.Field("DRU");
inline constexpr FieldPos kPriceReimbursementLetter = kCvzpLayout.Field("UHR");
inline constexpr FieldPos kPriceRegulationType = kCvzpLayout.Field("CER");
inline constexpr FieldPos kPriceOriginal = kCvzpLayout.Field("PUV");
inline constexpr FieldPos kPriceLegalNoteV = kCvzpLayout.Field("LGV");
inline constexpr FieldPos kPriceAmount = kCvzpLayout.Field("OCE");
inline constexpr FieldPos kPriceMark = kCvzpLayout.Field("OZN");
inline constexpr FieldPos kPriceCondition = kCvzpLayout.Field("PUH");
inline constexpr FieldPos kPriceMaxReimbursement = kCvzpLayout.Field("UCE");
inline constexpr FieldPos kPriceLegalNoteW = kCvzpLayout.Field("LGW");
inline constexpr FieldPos kPriceLimitation = kCvzpLayout.Field("LIM");
inline constexpr FieldPos kPriceIndication = kCvzpLayout.Field("IND");
inline constexpr FieldPos kPriceSpecialists = kCvzpLayout.Field("SPE");
inline constexpr FieldPos kPriceFree1 = kCvzpLayout.Field("FR1");
inline constexpr FieldPos kPriceOdtd = kCvzpLayout.Field("ODT");
inline constexpr FieldPos kPriceOdtdUnit = kCvzpLayout.Field("ODJ");
inline constexpr FieldPos kPriceEquivalent = kCvzpLayout.Field("EKV");
inline constexpr FieldPos kPriceOdtdNote = kCvzpLayout.Field("ODZ");
inline constexpr FieldPos kPriceZapd = kCvzpLayout.Field("ZAP");
inline constexpr FieldPos kPriceNezap = kCvzpLayout.Field("NEZ");
inline constexpr FieldPos kPriceFree2 = kCvzpLayout.Field("FR2");
inline constexpr FieldPos kPriceValidFrom = kCvzpLayout.Field("PLA");
inline constexpr FieldPos kPriceIndicationOffset = kCvzpLayout.Field("ODK");

// Indication groups (isv, isva).
inline constexpr FieldPos kIndicationGroupCode = kIsvLayout.Field("INS");
inline constexpr FieldPos kIndicationGroupName = kIsvLayout.Field("NAZ");

// ATC groups (atc, atca).
inline constexpr FieldPos kAtcCode = kAtcLayout.Field("ATC");
inline constexpr FieldPos kAtcRez = kAtcLayout.Field("REZ");
inline constexpr FieldPos kAtcName = kAtcLayout.Field("NAZ");
inline constexpr FieldPos kAtcNameRest = kAtcLayout.Field("NAR");
inline constexpr FieldPos kAtcActive = kAtcLayout.Field("ACT");
inline constexpr FieldPos kAtcDuplicityLevels = kAtcLayout.Field("DUP");
inline constexpr FieldPos kAtcFreeDfi = kAtcLayout.Field("DFI");

// ATC reference groups (atcp, atcpa).
inline constexpr FieldPos kReferenceGroupCode = kAtcpLayout.Field("ATC");
inline constexpr FieldPos kReferenceGroupName = kAtcpLayout.Field("NAZ");

// Registration holders (drzv).
inline constexpr FieldPos kRegHolderCode = kDrzvLayout.Field("DRZ");
inline constexpr FieldPos kRegHolderCountry = kDrzvLayout.Field("ZEM");
inline constexpr FieldPos kRegHolderName = kDrzvLayout.Field("NAZ");
inline constexpr FieldPos kRegHolderFreeSor = kDrzvLayout.Field("SOR");

// Countries (zemv, zemva, pfazemv, pztzemv).
inline constexpr FieldPos kCountryCode = kZemvLayout.Field("ZEM");
inline constexpr FieldPos kCountryListMark = kZemvLayout.Field("ACT");
inline constexpr FieldPos kCountryName = kZemvLayout.Field("NAZ");

// Composition (klc).
inline constexpr FieldPos kCompositionDrug = kKlcLayout.Field("LEK");
inline constexpr FieldPos kCompositionSubstance = kKlcLayout.Field("KOM");
inline constexpr FieldPos kCompositionState = kKlcLayout.Field("STA");
inline constexpr FieldPos kCompositionAmount = kKlcLayout.Field("MN");
inline constexpr FieldPos kCompositionUnit = kKlcLayout.Field("JD");

// Active substances (kk).
inline constexpr FieldPos kSubstanceCode = kKkLayout.Field("KOD");
inline constexpr FieldPos kSubstanceRecordKind = kKkLayout.Field("SQ");
inline constexpr FieldPos kSubstanceLayout = kKkLayout.Field("SQR");
inline constexpr FieldPos kSubstanceName = kKkLayout.Field("NAZ");
inline constexpr FieldPos kSubstanceDependence = kKkLayout.Field("ZAV");
inline constexpr FieldPos kSubstanceDoping = kKkLayout.Field("DPG");
inline constexpr FieldPos kSubstanceFreeNvl = kKkLayout.Field("NVL");
inline constexpr FieldPos kSubstanceBase = kKkLayout.Field("SUL");
inline constexpr FieldPos kSubstanceSource = kKkLayout.Field("ZDR");
inline constexpr FieldPos kSubstanceFreeDpr = kKkLayout.Field("DPR");
inline constexpr FieldPos kSubstanceFilterBits = kKkLayout.Field("SOR");

// Substance groups (kab).
inline constexpr FieldPos kGroupPairSubstance = kKabLayout.Field("SUB");
inline constexpr FieldPos kGroupPairGroup = kKabLayout.Field("GRP");

// Substance sources (zdrv).
inline constexpr FieldPos kSourceCode = kZdrvLayout.Field("KOD");
inline constexpr FieldPos kSourceName = kZdrvLayout.Field("NAZ");

// Price history (vzph).
inline constexpr FieldPos kHistoryDrug = kVzphLayout.Field("KOD");
inline constexpr FieldPos kHistoryPeriod = kVzphLayout.Field("ROC");
inline constexpr FieldPos kHistoryReimbursementKind = kVzphLayout.Field("UH");
inline constexpr FieldPos kHistoryMakerPrice = kVzphLayout.Field("VC");
inline constexpr FieldPos kHistoryPrice = kVzphLayout.Field("OC");
inline constexpr FieldPos kHistoryReimbursement = kVzphLayout.Field("UC");
inline constexpr FieldPos kHistoryHr = kVzphLayout.Field("HR");
inline constexpr FieldPos kHistoryDnc = kVzphLayout.Field("DNC");
inline constexpr FieldPos kHistoryRegulationType = kVzphLayout.Field("TCR");
inline constexpr FieldPos kHistoryLpr = kVzphLayout.Field("LPR");
inline constexpr FieldPos kHistoryZad = kVzphLayout.Field("ZAD");
inline constexpr FieldPos kHistoryNez = kVzphLayout.Field("NEZ");
inline constexpr FieldPos kHistoryEquivalent = kVzphLayout.Field("EKV");
inline constexpr FieldPos kHistoryAtc = kVzphLayout.Field("ATC");
inline constexpr FieldPos kHistoryVat = kVzphLayout.Field("DPH");

// Consumption (spot1, spot2).
inline constexpr FieldPos kConsumptionDrug = kSpot1Layout.Field("KOD");
inline constexpr FieldPos kConsumptionPeriod = kSpot1Layout.Field("OBD");
inline constexpr FieldPos kConsumptionPackages = kSpot1Layout.Field("BAL");
inline constexpr FieldPos kConsumptionValue = kSpot1Layout.Field("HOD");
inline constexpr FieldPos kConsumptionAtc = kSpot1Layout.Field("ATC");

// Company contacts (vpois).
inline constexpr FieldPos kCompanyKey = kVpoisLayout.Field("KOD");
inline constexpr FieldPos kCompanyName = kVpoisLayout.Field("NAZ");
inline constexpr FieldPos kCompanyWeb = kVpoisLayout.Field("WEB");
inline constexpr FieldPos kCompanyMail1 = kVpoisLayout.Field("ML1");
inline constexpr FieldPos kCompanyMail2 = kVpoisLayout.Field("ML2");
inline constexpr FieldPos kCompanyPhone1 = kVpoisLayout.Field("TE1");
inline constexpr FieldPos kCompanyPhone2 = kVpoisLayout.Field("TE2");

// Supply outages (vypad).
inline constexpr FieldPos kOutageDrug = kVypadLayout.Field("KOD");
inline constexpr FieldPos kOutageType = kVypadLayout.Field("TYP");
inline constexpr FieldPos kOutageStart = kVypadLayout.Field("ODD");
inline constexpr FieldPos kOutageReplacements = kVypadLayout.Field("NAH");
inline constexpr FieldPos kOutageNote = kVypadLayout.Field("POZ");
inline constexpr FieldPos kOutageReason = kVypadLayout.Field("DUV");
inline constexpr FieldPos kOutageRenewal = kVypadLayout.Field("OBN");

// Non-drug goods (pfa).
inline constexpr FieldPos kGoodsCode = kPfaLayout.Field("KOD");
inline constexpr FieldPos kGoodsHemCode = kPfaLayout.Field("EUC");
inline constexpr FieldPos kGoodsFreeFlg = kPfaLayout.Field("FLG");
inline constexpr FieldPos kGoodsText = kPfaLayout.Field("STR");
inline constexpr FieldPos kGoodsName = kPfaLayout.Field("NAZ");
inline constexpr FieldPos kGoodsSupplement = kPfaLayout.Field("DOP");
inline constexpr FieldPos kGoodsPackage = kPfaLayout.Field("BAL");
inline constexpr FieldPos kGoodsMaker = kPfaLayout.Field("VYR");
inline constexpr FieldPos kGoodsCountry = kPfaLayout.Field("ZEM");
inline constexpr FieldPos kGoodsEan = kPfaLayout.Field("EAN");
inline constexpr FieldPos kGoodsFreeOb = kPfaLayout.Field("OB");
inline constexpr FieldPos kGoodsPrice = kPfaLayout.Field("PC");
inline constexpr FieldPos kGoodsPhoto = kPfaLayout.Field("OBR");
inline constexpr FieldPos kGoodsTextOffset = kPfaLayout.Field("CC");
inline constexpr FieldPos kGoodsFlagLetter = kPfaLayout.Field("CCD");

// Goods makers (pfavyrv).
inline constexpr FieldPos kGoodsMakerCode = kPfavyrvLayout.Field("KOD");
inline constexpr FieldPos kGoodsMakerName = kPfavyrvLayout.Field("NAZ");

// Goods categories (pfakatv).
inline constexpr FieldPos kGoodsCategoryCode = kPfakatvLayout.Field("KAT");
inline constexpr FieldPos kGoodsCategoryName = kPfakatvLayout.Field("NAZ");

// Goods categories of each article (pfapk).
inline constexpr FieldPos kArticleGoods = kPfapkLayout.Field("KOD");
inline constexpr FieldPos kArticleCategory = kPfapkLayout.Field("KAT");

// Medical devices (pzt).
inline constexpr FieldPos kDeviceCode = kPztLayout.Field("KOD");
inline constexpr FieldPos kDeviceSequence = kPztLayout.Field("SEQ");
inline constexpr FieldPos kDeviceMark = kPztLayout.Field("ZDR");
inline constexpr FieldPos kDevicePreviousCode = kPztLayout.Field("PUV");
inline constexpr FieldPos kDeviceName = kPztLayout.Field("NAZ");
inline constexpr FieldPos kDeviceSupplement = kPztLayout.Field("DOP");
inline constexpr FieldPos kDeviceSale = kPztLayout.Field("PRO");
inline constexpr FieldPos kDeviceType = kPztLayout.Field("TYP");
inline constexpr FieldPos kDeviceClassGroup = kPztLayout.Field("UHS");
inline constexpr FieldPos kDeviceClassGroupFlag = kPztLayout.Field("UHF");
inline constexpr FieldPos kDeviceUnitPackage = kPztLayout.Field("MJB");
inline constexpr FieldPos kDeviceUnit = kPztLayout.Field("MJZ");
inline constexpr FieldPos kDevicePackage = kPztLayout.Field("TBZ");
inline constexpr FieldPos kDeviceMaker = kPztLayout.Field("VYR");
inline constexpr FieldPos kDeviceCountry = kPztLayout.Field("ZEM");
inline constexpr FieldPos kDeviceHolder = kPztLayout.Field("OHL");
inline constexpr FieldPos kDeviceReimbursement = kPztLayout.Field("UC");
inline constexpr FieldPos kDeviceLimit = kPztLayout.Field("LIM");
inline constexpr FieldPos kDevicePrescribers = kPztLayout.Field("PRE");
inline constexpr FieldPos kDeviceMaxPrice = kPztLayout.Field("MFC");
inline constexpr FieldPos kDeviceDnc = kPztLayout.Field("DNC");
inline constexpr FieldPos kDeviceReimbursementLetter = kPztLayout.Field("ZUP");
inline constexpr FieldPos kDeviceReimbursedShare = kPztLayout.Field("UHP");
inline constexpr FieldPos kDevicePiecesPerPeriod = kPztLayout.Field("KUD");
inline constexpr FieldPos kDeviceUsePeriod = kPztLayout.Field("UDO");
inline constexpr FieldPos kDeviceGroupMark = kPztLayout.Field("SKP");
inline constexpr FieldPos kDeviceChangeDate = kPztLayout.Field("DZM");
inline constexpr FieldPos kDeviceClass = kPztLayout.Field("KAT");
inline constexpr FieldPos kDeviceFreeRpq = kPztLayout.Field("RPQ");
inline constexpr FieldPos kDeviceFreeRpt = kPztLayout.Field("RPT");
inline constexpr FieldPos kDeviceFreeRpu = kPztLayout.Field("RPU");

// Device types (pzttypv).
inline constexpr FieldPos kDeviceTypeCode = kPzttypvLayout.Field("TYP");
inline constexpr FieldPos kDeviceTypeName = kPzttypvLayout.Field("NAZ");
inline constexpr FieldPos kDeviceTypeTextOffset = kPzttypvLayout.Field("MET");

// Device classification groups (pztuhs).
inline constexpr FieldPos kClassGroupCode = kPztuhsLayout.Field("KOD");
inline constexpr FieldPos kClassGroupName = kPztuhsLayout.Field("NAZ");
inline constexpr FieldPos kClassGroupNameRest = kPztuhsLayout.Field("NAR");
inline constexpr FieldPos kClassGroupActive = kPztuhsLayout.Field("ACT");
inline constexpr FieldPos kClassGroupFlag = kPztuhsLayout.Field("FLG");
inline constexpr FieldPos kClassGroupFreeKud = kPztuhsLayout.Field("KUD");
inline constexpr FieldPos kClassGroupTextOffset = kPztuhsLayout.Field("ART");

// Device makers (pztvyrv).
inline constexpr FieldPos kDeviceMakerCode = kPztvyrvLayout.Field("KOD");
inline constexpr FieldPos kDeviceMakerCountry = kPztvyrvLayout.Field("ZEM");
inline constexpr FieldPos kDeviceMakerName = kPztvyrvLayout.Field("VYR");
inline constexpr FieldPos kDeviceMakerFreeZst = kPztvyrvLayout.Field("ZST");
inline constexpr FieldPos kDeviceMakerFreeDis = kPztvyrvLayout.Field("DIS");

// Device holders (pztohl).
inline constexpr FieldPos kDeviceHolderCode = kPztohlLayout.Field("OHL");
inline constexpr FieldPos kDeviceHolderName = kPztohlLayout.Field("NAZ");

// ---------------------------------------------------------------------------
// The registry and the checks

// Every layout, in the order of the manifest's tables.
std::span<const TableLayout> TableLayouts();
// The layout of a record file identity ("kl"); nullptr when it has none.
const TableLayout* FindTableLayout(std::string_view id);

// How a record file's header differs from its layout, one line per
// difference ("field 2 (NAZ): 60 bytes in the file, 70 in the layout");
// empty when the field count, every name and every length agree (of a free
// layout only the first field is compared).  `header`: the file's first
// bytes, at least 5 + 3n of them.  Descriptors of the same length may differ
// in kind: readers depend on positions, not on kinds.
std::vector<std::string> LayoutDifferences(const TableLayout& layout, std::string_view header);

// Faults of the layouts themselves, one line each: a repeated identity, no
// field or more than 60, a name that is not one to three characters, two
// fields with one packed name, a header longer than two records, a record
// longer than 65535 bytes.  Empty when every layout is sound.
std::vector<std::string> TableLayoutFaults();
