#include "datastore/drug_helpers.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_row.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "platform/ascii.h"
#include "platform/coding.h"

// ------------------------------------------------------------- formatters

namespace {

bool IsBlank(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

char CharAt(std::string_view s, size_t i)
{
    return i < s.size() ? s[i] : ' ';
}

std::string WithoutBlanks(std::string_view s)
{
    std::string out;
    for (char c : s)
        if (c != ' ')
            out.push_back(c);
    return out;
}

std::string FormatAmount(std::string_view field, size_t integerChars)
{
    std::string out = WithoutBlanks(field.substr(0, std::min(field.size(), integerChars)));
    if (out.empty())
        return out;
    out.push_back('.');
    out.push_back(CharAt(field, integerChars));
    out.push_back(CharAt(field, integerChars + 1));
    return out;
}

} // namespace

std::string FormatCode7(std::string_view field)
{
    return FormatAmount(field, 7);
}

std::string FormatCode8(std::string_view field)
{
    return FormatAmount(field, 8);
}

std::string FormatCodeField17(std::string_view field)
{
    auto c = [&](int i) { return CharAt(field, static_cast<size_t>(i - 1)); };
    if (c(1) == ' ')
        return std::string(17, ' ');
    std::string out;
    if (c(1) == '=' || c(1) == '>') {
        out = {c(8), c(9), '/', c(4), c(5), c(6), c(7), '/', c(2), c(3)};
        // A letter suffix shows as "-" + c10, a second one as "/" + c11.
        out.push_back(c(10) != ' ' ? '-' : ' ');
        out.push_back(c(10));
        out.push_back(c(11) != ' ' ? '/' : ' ');
        out.push_back(c(11));
        out.append(3, ' ');
        return out;
    }
    // EU/c1/c2c3/c4c5c6/c7c8c9: a "/" before c4 when c3 is there, and one
    // before c7 when c6 is there.
    out = "EU/";
    out.push_back(c(1));
    out.push_back('/');
    for (int i = 2; i <= static_cast<int>(std::max<size_t>(field.size(), 11)); ++i) {
        if ((i == 4 && c(3) != ' ') || (i == 7 && c(6) != ' '))
            out.push_back('/');
        out.push_back(c(i));
    }
    out.resize(17, ' ');
    return out;
}

std::string FormatImportSuffix(std::string_view field, char firstOfRegistration)
{
    if (IsBlank(field))
        return std::string(10, ' ');
    std::string out = "/P";
    out.push_back(firstOfRegistration == '1' || firstOfRegistration == '2' ? 'D' : 'I');
    out.push_back('/');
    for (size_t i = 0; i < 3; ++i)
        out.push_back(CharAt(field, i));
    out.push_back('/');
    out.push_back(CharAt(field, 3));
    out.push_back(CharAt(field, 4));
    return out;
}

std::string FormatTwoCodes(std::string_view registration, std::string_view import)
{
    std::string out =
        WithoutBlanks(FormatCodeField17(registration) + FormatImportSuffix(import, CharAt(registration, 0)));
    if (out.size() > 31)
        out.resize(31);
    return out;
}

// ------------------------------------------------------------ code tables

thread_local TDbTable MainTable;
thread_local TDbTable CodeTable;
thread_local TDbTable AtcTable;

bool ReadCodeRecord(const TableLayout& layout, const char* index, int32_t recNo, std::string& record)
{
    if (recNo <= 0)
        return false;
    DbStatus = 0;
    OpenTable(CodeTable, TFileId(layout.id), TFileId(index), static_cast<uint16_t>(layout.Length()));
    if (DbStatus != 0)
        return false;
    ReadRecord(CodeTable.dat, recNo, record);
    return DbStatus == 0;
}

namespace {

struct CodeCaches {
    std::string currency;
    std::string viewerAbbrev1, viewerAbbrev2; // at most 100 characters
    std::string flagLetters = std::string(6, ' ');
    char categoryMark = ' ';
    std::vector<std::string> isv;     // isv records in key order
    std::vector<std::string> country; // country records in key order
    int languageIndex = 0;
};

std::mutex cacheMutex;
std::shared_ptr<const CodeCaches> caches = std::make_shared<CodeCaches>();

std::shared_ptr<const CodeCaches> Snapshot()
{
    std::lock_guard<std::mutex> lock(cacheMutex);
    return caches;
}

std::string NotFoundText(std::string_view code, std::string_view table)
{
    return std::string(code) + LookupText(UiTexts, "Chyby", "NotFndIn") + "\"" + std::string(table) + "\"";
}

// The field `name` of the record `key` finds in a code table on CodeTable;
// the not-found text of `code` when the table or the key is missing.
std::string LookupName(const TableLayout& table, const char* sez, FieldPos name, std::string_view key,
                       std::string_view code, std::string_view tableName)
{
    OpenTable(CodeTable, TFileId(table.id), TFileId(sez), static_cast<uint16_t>(table.Length()));
    if (DbStatus != 0)
        return NotFoundText(code, tableName);
    std::string rec;
    FindRecord(CodeTable, key, rec);
    if (DbStatus != 0)
        return NotFoundText(code, tableName);
    return std::string(FieldBytes(rec, name));
}

// Every record of the open table in key order; false with DbStatus set.
bool ReadAllInOrder(TDbTable& t, std::vector<std::string>& out)
{
    out.clear();
    const int32_t count = t.LeafCount();
    out.reserve(static_cast<size_t>(std::max(count, 0)));
    std::string rec;
    for (int32_t pos = 0; pos < count; ++pos) {
        ReadByOrder(t, pos, rec);
        if (DbStatus != 0) {
            out.clear();
            return false;
        }
        out.push_back(rec);
    }
    return true;
}

int LoadCache(const TableLayout& table, const char* sez, std::vector<std::string>& out)
{
    TDbTable t;
    OpenTable(t, TFileId(table.id), TFileId(sez), static_cast<uint16_t>(table.Length()));
    int status = DbStatus;
    try {
        if (status == 0 && !ReadAllInOrder(t, out))
            status = DbStatus;
    } catch (const std::bad_alloc&) {
        // A table too large for memory: the cache stays empty, as for a
        // damaged one.
        status = DbStatus = -20010;
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    if (status != 0)
        out.clear();
    return status;
}

// Binary search over cached records by their first `width` bytes.
const std::string* FindCached(const std::vector<std::string>& entries, std::string_view code, size_t width)
{
    std::string key(code.substr(0, std::min(code.size(), width)));
    key.resize(width, ' ');
    auto less = [width](const std::string& entry, const std::string& k) {
        return entry.compare(0, width, k) < 0;
    };
    auto it = std::lower_bound(entries.begin(), entries.end(), key, less);
    if (it == entries.end() || it->compare(0, width, key) != 0)
        return nullptr;
    return &*it;
}

bool BlankLed(std::string_view code)
{
    return code.empty() || code[0] == ' ';
}

} // namespace

CodeTablesResult LoadCodeTables(DataSetCode dataSet, int languageIndex)
{
    auto next = std::make_shared<CodeCaches>();
    next->languageIndex = languageIndex;
    next->currency = " " + LookupText(DataTexts, "Hlav", "czk");
    if (next->currency.size() > 5)
        next->currency.resize(5);
    next->viewerAbbrev1 = LookupText(UiTexts, "Prohlizec", "Zkr1").substr(0, 100);
    next->viewerAbbrev2 = LookupText(UiTexts, "Prohlizec", "Zkr2").substr(0, 100);
    next->flagLetters = LookupText(UiTexts, "Hlasky", "CLSPO");
    next->flagLetters.resize(6, ' ');
    const std::string v9 = LookupText(UiTexts, "VybLek", "v9");
    next->categoryMark = static_cast<char>(v9.empty() ? 0 : static_cast<uint8_t>(v9[0]) & 0x0F);

    CodeTablesResult result;
    if (languageIndex == 1)
        result.isvStatus = LoadCache(kIsvaLayout, "isvkoda", next->isv);
    else
        result.isvStatus = LoadCache(kIsvLayout, "isvkod", next->isv);

    if (dataSet == DataSetCode::Goods)
        result.countryStatus = LoadCache(kPfazemvLayout, "pfazemko", next->country);
    else if (dataSet == DataSetCode::Devices)
        result.countryStatus = LoadCache(kPztzemvLayout, "pztzemko", next->country);
    else if (languageIndex == 1)
        result.countryStatus = LoadCache(kZemvaLayout, "zemvkoda", next->country);
    else
        result.countryStatus = LoadCache(kZemvLayout, "zemvkod", next->country);

    std::lock_guard<std::mutex> lock(cacheMutex);
    caches = std::move(next);
    return result;
}

void FreeCodeTables()
{
    std::lock_guard<std::mutex> lock(cacheMutex);
    caches = std::make_shared<CodeCaches>();
}

std::string ViewerAbbrev1()
{
    return Snapshot()->viewerAbbrev1;
}

std::string ViewerAbbrev2()
{
    return Snapshot()->viewerAbbrev2;
}

std::string FlagLetters()
{
    return Snapshot()->flagLetters;
}

char CategoryMark()
{
    return Snapshot()->categoryMark;
}

std::string CurrencyText()
{
    return Snapshot()->currency;
}

int IsvCacheCount()
{
    return static_cast<int>(Snapshot()->isv.size());
}

int CountryCacheCount()
{
    return static_cast<int>(Snapshot()->country.size());
}

std::string LookupIsv(std::string_view code)
{
    if (BlankLed(code))
        return {};
    const auto snap = Snapshot();
    if (const std::string* e = FindCached(snap->isv, code, kIndicationGroupCode.length))
        return std::string(FieldBytes(*e, kIndicationGroupName));
    return NotFoundText(code, "ISV");
}

std::string LookupCountry(std::string_view code)
{
    if (BlankLed(code))
        return {};
    const auto snap = Snapshot();
    if (const std::string* e = FindCached(snap->country, code, kCountryCode.length))
        return std::string(FieldBytes(*e, kCountryName));
    return NotFoundText(code, "ZemV");
}

std::string LookupAtc(std::string_view code, std::string_view context)
{
    if (BlankLed(code))
        return {};
    constexpr size_t kWidth = kAtcCode.length;
    std::string key(code.substr(0, std::min(code.size(), kWidth)));
    key.resize(kWidth, ' ');
    if (context.size() >= 2 && context[1] >= '0' && context[1] <= '9') {
        if (Snapshot()->languageIndex == 1)
            OpenTable(AtcTable, TFileId("atca"), TFileId("atckoda"), kAtcLayout.Length());
        else
            OpenTable(AtcTable, TFileId("atc"), TFileId("atckod"), kAtcLayout.Length());
        if (DbStatus != 0)
            return NotFoundText(code, "ATC");
    } else {
        // The code index this thread has open on the ATC table, when it is
        // one: a name index would compare the code with names.
        const std::string id = FileIdToStr(AtcTable.sez.id);
        if (!AtcTable.sez.IsOpen() || (id != "atckod" && id != "atckoda"))
            return {};
    }
    std::string rec;
    FindRecord(AtcTable, key, rec);
    if (DbStatus != 0)
        return NotFoundText(code, "ATC");
    return std::string(FieldBytes(rec, kAtcName)) + std::string(FieldBytes(rec, kAtcNameRest));
}

std::string LookupHolder(std::string_view code)
{
    if (BlankLed(code))
        return {};
    std::string key(code);
    if (key.size() < 3)
        key.resize(3, ' ');
    if (key.size() > 6)
        key.resize(6);
    return LookupName(kDrzvLayout, "drzvkod", kRegHolderName, key, code, "DRZV");
}

// ------------------------------------------------------- record helpers

namespace {

char At(std::string_view rec, const FieldPos& f)
{
    return CharAt(rec, static_cast<size_t>(f.Offset()));
}

std::string Trimmed(std::string_view rec, const FieldPos& f)
{
    return std::string(TrimRightBlanks(FieldBytes(rec, f)));
}

} // namespace

std::string FormatDrugLine(std::string_view rec)
{
    return std::string(FieldBytes(rec, kDrugCode)) + " " + Trimmed(rec, kDrugName) + " " +
           Trimmed(rec, kDrugStrength) + " " + Trimmed(rec, kDrugForm) + " " + Trimmed(rec, kDrugPackage);
}

std::string FormatDrugDetails(std::string_view rec, int width)
{
    std::string out;
    for (const FieldPos* f : {&kDrugStrength, &kDrugForm, &kDrugPackage}) {
        const std::string part = Trimmed(rec, *f);
        if (part.empty())
            continue;
        if (!out.empty())
            out += ' ';
        out += part;
    }
    if (width > 0)
        out.resize(static_cast<size_t>(width), ' '); // the column never widens
    return out;
}

bool IsSigned(int64_t record)
{
    return SignListHas(*SignListSnapshot(), record);
}

bool RecordExcluded(std::string_view rec, int64_t record, uint16_t flags)
{
    if (!(flags & 0x200))
        return RecordExcluded(rec, record, flags, SignListState{});
    return RecordExcluded(rec, record, flags, *SignListSnapshot());
}

bool RecordExcluded(std::string_view rec, int64_t record, uint16_t flags, const SignListState& list)
{
    const bool ins93 = FieldBytes(rec, kDrugIndicationGroup) == "93";
    const bool code9 = At(rec, kDrugCode) == '9';
    const char state = At(rec, kDrugState);
    const char category = At(rec, kDrugCategory);
    const char kind = At(rec, kDrugReimbursementKind);
    if ((flags & 0x008) && ins93)
        return true;
    if ((flags & 0x004) && !ins93)
        return true;
    if ((flags & 0x002) && code9)
        return true;
    if ((flags & 0x001) && !code9)
        return true;
    if ((flags & 0x010) && state != 'R')
        return true;
    if ((flags & 0x020) && category != '1' && category != '2')
        return true;
    if ((flags & 0x040) && (kind == ' ' || kind == '6' || kind == '8'))
        return true;
    if ((flags & 0x080) && (state == '-' || state == 'N' || state == '\\'))
        return true;
    if ((flags & 0x100) && At(rec, kDrugOnePack) == ' ')
        return true;
    return (flags & 0x200) && list.active && !SignListHas(list, record);
}

std::string LookupCodeTexts(std::string_view code)
{
    OpenTable(CodeTable, TFileId("kle"), TFileId("klekod"), kKleLayout.Length());
    if (DbStatus != 0)
        return {};
    const std::string key(code.substr(0, std::min<size_t>(code.size(), kEanDrug.length)));
    std::string rec, out;
    FindRecord(CodeTable, key, rec);
    while (DbStatus == 0 && FieldBytes(rec, kEanDrug) == key && out.size() < 242) {
        if (static_cast<uint8_t>(At(rec, kEanKind)) > '6') {
            out += ' ';
            out += FieldBytes(rec, kEanCode);
        }
        const int32_t next = CodeTable.Position() + 1;
        if (next >= CodeTable.LeafCount())
            break;
        ReadByOrder(CodeTable, next, rec);
    }
    return out.empty() ? out : out.substr(1);
}

std::string LookupGoodsMaker(std::string_view code)
{
    if (BlankLed(code) || CharAt(code, 3) == ' ')
        return {};
    return LookupName(kPfavyrvLayout, "pfavyrko", kGoodsMakerName, code, code, "PFAVYRV");
}

std::string LookupCopText(std::string_view code)
{
    std::string key(TrimBlanks(code));
    if (key.size() < 3)
        key.resize(3, '_');
    std::string text = LookupText(DataTexts, "Dop", key);
    if (text.size() > 80)
        text.resize(80);
    return text;
}

// ------------------------------------------------------------ the list row

namespace {

bool Cancelled(char state)
{
    return state == '-' || state == 'N' || state == 'Y' || state == '\\';
}

// A text put into a column of fixed width: cut or blank-padded, so that no
// later column shifts.
void PutColumn(std::string& out, std::string_view text, size_t width)
{
    const size_t n = std::min(text.size(), width);
    out.append(text.data(), n);
    out.append(width - n, ' ');
}

int32_t ValueAt(std::string_view rec, const FieldPos& f)
{
    if (rec.size() < static_cast<size_t>(f.End()))
        return -1;
    return static_cast<int32_t>(DecodeLE32(rec.data() + f.Offset()));
}

std::string EanColumn(uint8_t count)
{
    if (count == 0)
        return "   ";
    if (count == 1)
        return "...";
    const std::string digits = std::to_string(count);
    if (digits.size() >= 3)
        return digits.substr(0, 3);
    return std::string(3 - digits.size(), '.') + digits;
}

} // namespace

namespace {

// Writes field `f` of the drug row: `text` cut or blank-padded to its length.
// The fields are written in their order, each where the layout places it.
void PutRowField(std::string& out, FieldPos f, std::string_view text)
{
    assert(out.size() == static_cast<size_t>(f.Offset()));
    PutColumn(out, text, static_cast<size_t>(f.length));
}

void PutRowField(std::string& out, FieldPos f, char c)
{
    PutRowField(out, f, std::string_view(&c, 1));
}

// The restriction letters of a reimbursed drug ("IPV" with the missing ones
// blank), or the text for none.
std::string RestrictionLetters(uint8_t bits)
{
    if ((bits & 0x0F) == 0)
        return LookupText(DataTexts, "UhrL", "ok");
    std::string uh = LookupText(DataTexts, "UhrL", "Zkr");
    if (uh.empty() || uh[0] == '!')
        uh = "IPV";
    uh.resize(3, ' ');
    if (!(bits & 1))
        uh[0] = ' ';
    if (!(bits & 4))
        uh[1] = ' ';
    if (!(bits & 2))
        uh[2] = ' ';
    return uh;
}

// The flag letters: a letter for each text the record has at hand, the last
// one the user's mark.
std::string FlagLetters(std::string_view rec, int64_t recordNumber, const std::string& letters)
{
    std::string cla = letters;
    cla.resize(6, ' ');
    if (ValueAt(rec, kDrugSummaryOffset) == -1)
        cla[0] = ' ';
    if (ValueAt(rec, kDrugAltSummaryOffset) == -1)
        cla[1] = ' ';
    if (ValueAt(rec, kDrugLeafletOffset) == -1)
        cla[2] = ' ';
    if (ValueAt(rec, kDrugSpcOffset) == -1)
        cla[3] = ' ';
    if (!(static_cast<uint8_t>(At(rec, kDrugWebFlags)) & 1))
        cla[4] = ' ';
    if (MaximFeatureOn())
        cla[5] = recordNumber > 0 && BitTest(*MaximMarksSnapshot(), recordNumber - 1) ? 'M' : ' ';
    else if (!(NoteMarksOn() && NotesEnabled() && NoteMarksHas(*NoteMarksSnapshot(), recordNumber)))
        cla[5] = ' ';
    return cla;
}

// The registration type's text; a text marked "!" shows as "! " and the letter.
std::string RegistrationTypeText(char tr)
{
    std::string text = LookupText(DataTexts, "ReZ", std::string(1, tr));
    if (!text.empty() && text[0] == '!')
        text = std::string("! ") + tr;
    return text;
}

// The daily dose with its unit, and the second daily dose with its decimal
// point where the record marks one; both blank for a cancelled drug.
void PutDailyDoses(std::string& out, std::string_view rec, bool cancelled)
{
    if (cancelled) {
        PutRowField(out, kDrugRowDailyDose, "");
        PutRowField(out, kDrugRowSecondDailyDose, "");
        return;
    }
    PutRowField(out, kDrugRowDailyDose,
                std::string(FieldBytes(rec, kDrugDailyDose)) + ' ' +
                    std::string(FieldBytes(rec, kDrugDailyDoseUnit)));
    std::string second = GetField(rec, kDrugSecondDailyDose.start, 5);
    second += At(rec, FieldPos{kDrugSecondDailyDose.End(), 1, 0}) != ' ' ? '.' : ' ';
    second += GetField(rec, kDrugSecondDailyDose.start + 5, 3);
    PutRowField(out, kDrugRowSecondDailyDose, second);
}

} // namespace

void FormatRecordLine(std::string& rec, int64_t recordNumber, bool keepSecondVp, std::string& out,
                      bool replaceCancelled, bool compact)
{
    out.clear();
    if (rec.size() < static_cast<size_t>(kKlLayout.Length()))
        return; // not a drug record
    out.reserve(static_cast<size_t>(kDrugRowLayout.Length()));
    const char state = At(rec, kDrugState);
    const bool cancelled = Cancelled(state);
    const char kind = At(rec, kDrugReimbursementKind);
    const bool noReimb = kind == ' ' || kind == '/' || kind == '6';

    const char status = At(rec, kDrugOutage);
    PutRowField(out, kDrugRowStatus, cancelled ? '\x10' : (status >= '!' && status <= '`') ? '@' : '\0');

    if (cancelled && replaceCancelled) {
        PutRowField(out, kDrugRowCode, LookupText(UiTexts, "VybLek", "zru"));
    } else {
        PutRowField(out, kDrugRowCode, FieldBytes(rec, kDrugCode));
        if (IsSigned(recordNumber))
            out[static_cast<size_t>(kDrugRowCode.Offset())] =
                static_cast<char>(out[static_cast<size_t>(kDrugRowCode.Offset())] - 32); // the signed mark
    }
    PutRowField(out, kDrugRowName, FieldBytes(rec, kDrugName));
    if (compact) {
        PutRowField(out, kDrugRowDetails, FormatDrugDetails(rec, kDrugRowDetails.length));
    } else {
        PutRowField(out, kDrugRowStrength, FieldBytes(rec, kDrugStrength));
        PutRowField(out, kDrugRowForm, FieldBytes(rec, kDrugForm));
        PutRowField(out, kDrugRowPackage, FieldBytes(rec, kDrugPackage));
    }
    PutRowField(out, kDrugRowPackageType, FieldBytes(rec, kDrugPackageType));
    PutRowField(out, kDrugRowHolder, FieldBytes(rec, kDrugHolder));
    PutRowField(out, kDrugRowHolderCountry, FieldBytes(rec, kDrugHolderCountry));
    PutRowField(out, kDrugRowState,
                (!noReimb && state >= 'A' && state <= 'Z') ? static_cast<char>(state - 'A' + 1) : state);
    const auto snap = Snapshot();
    const char category = At(rec, kDrugCategory);
    PutRowField(out, kDrugRowCategory, (category == '1' || category == '2') ? snap->categoryMark : ' ');
    PutRowField(out, kDrugRowIndicationGroup, FieldBytes(rec, kDrugIndicationGroup));
    PutRowField(out, kDrugRowAtc, FieldBytes(rec, kDrugAtc));
    PutRowField(
        out, kDrugRowRegistration,
        FormatTwoCodes(FieldBytes(rec, kDrugRegistrationNumber), FieldBytes(rec, kDrugParallelImport)));

    PutRowField(out, kDrugRowRegistrationType, RegistrationTypeText(At(rec, kDrugRegistrationType)));

    const std::string_view ex = FieldBytes(rec, kDrugShelfLife);
    if (ex[0] == ' ')
        PutRowField(out, kDrugRowShelfLife, std::string{ex[1], ex[2], ' ', ex[3]});
    else
        PutRowField(out, kDrugRowShelfLife, ex);
    PutRowField(out, kDrugRowDependence, FieldBytes(rec, kDrugDependence));
    PutRowField(out, kDrugRowDoping, FieldBytes(rec, kDrugDoping));
    PutRowField(out, kDrugRowRegulation, FieldBytes(rec, kDrugGovernmentRegulation));

    for (int i = 0; i < 2; ++i)
        if (rec[static_cast<size_t>(kDrugDispensing.Offset() + i)] == ' ')
            rec[static_cast<size_t>(kDrugDispensing.Offset() + i)] = '_';
    std::string vpKey(FieldBytes(rec, kDrugDispensing));
    if (!keepSecondVp)
        vpKey[1] = '_';
    PutRowField(out, kDrugRowDispensing, LookupText(DataTexts, "VydZ", vpKey));

    PutDailyDoses(out, rec, cancelled);
    PutRowField(out, kDrugRowEanCount, EanColumn(static_cast<uint8_t>(At(rec, kDrugEanCount))));
    PutRowField(out, kDrugRowBraille, FieldBytes(rec, kDrugBraille));
    PutRowField(out, kDrugRowRestrictions,
                noReimb ? std::string()
                        : RestrictionLetters(static_cast<uint8_t>(At(rec, kDrugRestrictions))));
    PutRowField(out, kDrugRowFlags, FlagLetters(rec, recordNumber, snap->flagLetters));
}
