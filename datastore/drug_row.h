#pragma once
// The composed row of a drug in the lists (245 bytes): FormatRecordLine
// writes it field by field, the lists read it back by the same names, and
// the column sets address its columns.  Not a record file: the layout only
// places the row's fields.

#include "datastore/table_layouts.h"

// clang-format off
inline constexpr FieldDef kDrugRowFields[] = {
    {"STA", 0x00}, // status: 0x10 cancelled, "@" supply outage, else 0
    {"KOD", 0x06}, // code; its first byte lowered by 32 for a drug on the sign list
    {"NAZ", 0x45}, // name
    {"SIL", 0x17}, // strength  } the combined column set shows the three
    {"LFO", 0x1A}, // form      } as one details column (DrugRowDetails)
    {"BAL", 0x15}, // package   }
    {"OBA", 0x05}, // package type
    {"DRZ", 0x02}, // holder
    {"ZED", 0x02}, // holder's country
    {"SR", 0x00},  // registration state (A-Z lowered to 1-26 when reimbursed)
    {"OB", 0x00},  // category mark
    {"INS", 0x01}, // indication group
    {"ATC", 0x06}, // ATC group
    {"RC", 0x19},  // registration number and parallel import
    {"TR", 0x02},  // registration type text
    {"EX", 0x03},  // shelf life
    {"ZAV", 0x00}, // dependence
    {"DP", 0x02},  // doping
    {"NV", 0x01},  // government regulation
    {"VP", 0x02},  // dispensing text
    {"DD", 0x06},  // daily dose and its unit
    {"DDB", 0x08}, // second daily dose
    {"EAN", 0x02}, // number of EAN codes
    {"BRA", 0x00}, // Braille
    {"UH", 0x02},  // reimbursement restriction letters
    {"CLA", 0x05}, // flag letters of the texts at hand
};
// clang-format on

inline constexpr TableLayout kDrugRowLayout{"", kDrugRowFields};
static_assert(kDrugRowLayout.Length() == 245, "the drug row is 245 bytes");

inline constexpr FieldPos kDrugRowStatus = kDrugRowLayout.Field("STA");
inline constexpr FieldPos kDrugRowCode = kDrugRowLayout.Field("KOD");
inline constexpr FieldPos kDrugRowName = kDrugRowLayout.Field("NAZ");
inline constexpr FieldPos kDrugRowStrength = kDrugRowLayout.Field("SIL");
inline constexpr FieldPos kDrugRowForm = kDrugRowLayout.Field("LFO");
inline constexpr FieldPos kDrugRowPackage = kDrugRowLayout.Field("BAL");
inline constexpr FieldPos kDrugRowDetails = FieldSpan(kDrugRowStrength, kDrugRowPackage);
inline constexpr FieldPos kDrugRowPackageType = kDrugRowLayout.Field("OBA");
inline constexpr FieldPos kDrugRowHolder = kDrugRowLayout.Field("DRZ");
inline constexpr FieldPos kDrugRowHolderCountry = kDrugRowLayout.Field("ZED");
// The holder's key in the holders' table: holder and country.
inline constexpr FieldPos kDrugRowHolderKey = FieldSpan(kDrugRowHolder, kDrugRowHolderCountry);
inline constexpr FieldPos kDrugRowState = kDrugRowLayout.Field("SR");
inline constexpr FieldPos kDrugRowCategory = kDrugRowLayout.Field("OB");
inline constexpr FieldPos kDrugRowIndicationGroup = kDrugRowLayout.Field("INS");
inline constexpr FieldPos kDrugRowAtc = kDrugRowLayout.Field("ATC");
inline constexpr FieldPos kDrugRowRegistration = kDrugRowLayout.Field("RC");
inline constexpr FieldPos kDrugRowRegistrationType = kDrugRowLayout.Field("TR");
inline constexpr FieldPos kDrugRowShelfLife = kDrugRowLayout.Field("EX");
inline constexpr FieldPos kDrugRowDependence = kDrugRowLayout.Field("ZAV");
inline constexpr FieldPos kDrugRowDoping = kDrugRowLayout.Field("DP");
inline constexpr FieldPos kDrugRowRegulation = kDrugRowLayout.Field("NV");
inline constexpr FieldPos kDrugRowDispensing = kDrugRowLayout.Field("VP");
inline constexpr FieldPos kDrugRowDailyDose = kDrugRowLayout.Field("DD");
inline constexpr FieldPos kDrugRowSecondDailyDose = kDrugRowLayout.Field("DDB");
inline constexpr FieldPos kDrugRowEanCount = kDrugRowLayout.Field("EAN");
inline constexpr FieldPos kDrugRowBraille = kDrugRowLayout.Field("BRA");
inline constexpr FieldPos kDrugRowRestrictions = kDrugRowLayout.Field("UH");
inline constexpr FieldPos kDrugRowFlags = kDrugRowLayout.Field("CLA");
