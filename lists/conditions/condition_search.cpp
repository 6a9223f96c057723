#include "lists/conditions/condition_search.h"

#include <algorithm>
#include <cmath>

#include "datastore/db_status.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "platform/coding.h"

namespace {

constexpr double kNoDriver = 65000.0;
constexpr double kUnordered = 1e8;
constexpr int kGaugeMax = 74;

struct RawEntry {
    int criterion;
    int variant;
    std::string value;
};

std::vector<RawEntry> Normalised(const std::vector<std::string>& entries)
{
    std::vector<RawEntry> out;
    for (const std::string& e : entries) {
        if (e.empty())
            continue;
        RawEntry r{CriterionOfEntry(e), VariantOfEntry(e), e.substr(1)};
        if (!r.value.empty() && r.value[0] == '_')
            r.value[0] = ' ';
        if (!r.value.empty() && r.value.back() == '*')
            r.value.pop_back();
        out.push_back(std::move(r));
    }
    return out;
}

bool IsPlainField(const CriterionRow& row)
{
    return row.fieldPos != 0 && row.fieldLen <= CriterionKind::SubstanceName;
}

bool HasStar(const CriterionRow& row, std::string_view value)
{
    return IsPlainField(row) && value.find('*') != std::string_view::npos;
}

// [first, end) of the group starting at `first`.
size_t GroupEnd(const std::vector<RawEntry>& e, size_t first)
{
    size_t end = first + 1;
    while (end < e.size() && e[end].criterion == e[first].criterion)
        ++end;
    return end;
}

double GroupEstimate(std::span<const CriterionRow> rows, const std::vector<RawEntry>& e, size_t first,
                     size_t end, bool starLength)
{
    double sum = 0;
    for (size_t i = first; i < end; ++i) {
        if (i > first && e[i].variant == 2)
            continue;
        const CriterionRow& row = rows[static_cast<size_t>(e[i].criterion - 1)];
        size_t n = e[i].value.size();
        if (starLength && HasStar(row, e[i].value))
            n = e[i].value.find('*') + 1;
        sum += ConditionEstimate(row, n);
    }
    return sum;
}

std::string Folded(std::string_view s)
{
    return KamFoldUpper(s);
}

bool FieldEquals(std::string_view record, int start, std::string_view value)
{
    if (value.empty())
        return true;
    const size_t at = static_cast<size_t>(start - 1);
    if (start < 1 || at + value.size() > record.size())
        return false;
    for (size_t i = 0; i < value.size(); ++i) {
        // A leading "?" (national registration numbers) stands for "=" or ">".
        if (i == 0 && value[0] == '?')
            continue;
        if (KamUpper[static_cast<unsigned char>(record[at + i])] != static_cast<unsigned char>(value[i]))
            return false;
    }
    return true;
}

bool FieldContains(std::string_view record, int start, int length, std::string_view needle)
{
    if (needle.empty())
        return true;
    if (start < 1 || length <= 0)
        return false;
    const size_t at = static_cast<size_t>(start - 1);
    if (at >= record.size())
        return false;
    const std::string hay = Folded(record.substr(at, static_cast<size_t>(length)));
    return hay.find(needle) != std::string::npos;
}

int32_t I32(std::string_view record, FieldPos f)
{
    if (static_cast<size_t>(f.End()) > record.size())
        return -1;
    return static_cast<int32_t>(DecodeLE32(record.data() + f.Offset()));
}

uint32_t U16(std::string_view record, FieldPos f)
{
    if (static_cast<size_t>(f.End()) > record.size())
        return 0;
    return DecodeLE16(record.data() + f.Offset());
}

} // namespace

// ------------------------------------------------------------ estimates

double ConditionEstimate(const CriterionRow& row, size_t valueLength)
{
    return std::exp(1.0 - static_cast<double>(valueLength) * row.costFactor / 100.0) * 369000.0 /
           std::max<int>(1, row.costDivisor);
}

std::string PackConditionDate(std::string_view value)
{
    if (value.empty())
        return {};
    const char letter = value[0];
    auto number = [&](size_t from, size_t n) {
        int v = 0;
        for (size_t i = from; i < from + n && i < value.size(); ++i)
            if (value[i] >= '0' && value[i] <= '9')
                v = v * 10 + (value[i] - '0');
        return v;
    };
    uint32_t packed = 0;
    if (letter == 'H' || letter == 'I') {
        packed = static_cast<uint32_t>(std::min(number(2, 9), 65535));
    } else if (letter >= 'A' && letter <= 'F') {
        int day = number(10, 2);
        if (day >= 32)
            day = 0;
        int month = number(7, 2);
        if (month > 12)
            month = 0;
        if (month == 0)
            month = 1;
        const int year = number(2, 4);
        const long months = (static_cast<long>(year) - 1980) * 12 + month - 1;
        const long v = day + 32 * months;
        packed = year < 1980 ? 0u : static_cast<uint32_t>(std::min<long>(v, 65535));
    } else {
        return std::string(value);
    }
    std::string out(1, letter);
    AppendLE16(out, static_cast<uint16_t>(packed));
    return out;
}

// ------------------------------------------------------------ preparation

std::vector<PreparedCondition> PrepareConditions(const std::vector<std::string>& entries, bool devices,
                                                 const ConditionSearchSettings& settings, ConditionPlan& plan,
                                                 int& driveCount)
{
    const std::span<const CriterionRow> rows = devices ? DeviceCriteria() : DrugCriteria();
    std::vector<RawEntry> e = Normalised(entries);
    std::erase_if(
        e, [&](const RawEntry& r) { return r.criterion < 1 || r.criterion > static_cast<int>(rows.size()); });
    auto rowOf = [&](const RawEntry& r) -> const CriterionRow& {
        return rows[static_cast<size_t>(r.criterion - 1)];
    };

    // 3. The driving group: the cheapest indexed group without "*".
    double best = kNoDriver;
    size_t driveFirst = e.size(), driveEnd = e.size();
    for (size_t i = 0; i < e.size();) {
        const CriterionRow& row = rowOf(e[i]);
        const size_t end = GroupEnd(e, i);
        const bool star = std::any_of(e.begin() + static_cast<long>(i), e.begin() + static_cast<long>(end),
                                      [&](const RawEntry& r) { return HasStar(row, r.value); });
        if (row.driveIndex != nullptr && !star) {
            const double est = GroupEstimate(rows, e, i, end, false);
            if (est < best) {
                best = est;
                driveFirst = i;
                driveEnd = end;
            }
        }
        i = end;
    }
    // 4. Order: the driving group first, then the cheapest groups.
    std::vector<RawEntry> ordered;
    std::vector<double> estimates;
    std::vector<bool> taken(e.size(), false);
    auto take = [&](size_t first, size_t end, double est) {
        for (size_t i = first; i < end; ++i) {
            ordered.push_back(e[i]);
            estimates.push_back(est);
            taken[i] = true;
        }
    };
    if (driveFirst < e.size())
        take(driveFirst, driveEnd, best);
    for (;;) {
        double least = kUnordered;
        size_t pick = e.size(), pickEnd = e.size();
        for (size_t i = 0; i < e.size();) {
            const size_t end = GroupEnd(e, i);
            if (!taken[i]) {
                const double est = GroupEstimate(rows, e, i, end, true);
                if (est < least) {
                    least = est;
                    pick = i;
                    pickEnd = end;
                }
            }
            i = end;
        }
        if (pick == e.size())
            break;
        take(pick, pickEnd, least);
    }
    for (size_t i = 0; i < e.size();) // groups of 1e8 or more keep their place at the end
    {
        const size_t end = GroupEnd(e, i);
        if (!taken[i])
            take(i, end, kUnordered);
        i = end;
    }

    // 5.-6. The index and the prepared entries.
    driveCount = driveFirst < e.size() ? static_cast<int>(driveEnd - driveFirst) : 0;
    // All values required: the first drives, the others are tested.
    if (driveCount > 1 && ordered[1].variant == 2)
        driveCount = 1;
    plan.kind = devices ? QueryKind::Devices : QueryKind::Drugs;
    plan.driveIndex = driveCount > 0 ? rowOf(ordered[0]).driveIndex : (devices ? "pztnaz" : "klnaz");
    if (!devices && !ordered.empty() &&
        (rowOf(ordered[0]).fieldLen == CriterionKind::SubstanceName ||
         rowOf(ordered[0]).fieldPos == kSubstanceDependence.start)) {
        plan.kind = QueryKind::Substances;
        if (plan.driveIndex == "klnaz")
            plan.driveIndex = "kknaz";
    }
    plan.table = plan.kind == QueryKind::Devices ? "pzt" : plan.kind == QueryKind::Substances ? "kk" : "kl";
    plan.fullScan = driveCount == 0;

    std::vector<PreparedCondition> out;
    for (size_t i = 0; i < ordered.size(); ++i) {
        const RawEntry& r = ordered[i];
        const CriterionRow& row = rowOf(r);
        PreparedCondition c;
        c.criterion = r.criterion;
        c.fieldPos = row.fieldPos;
        c.fieldLen = plan.kind == QueryKind::Substances ? 64 : row.fieldLen;
        c.estimate = estimates[i];
        const bool next = i + 1 < ordered.size() && ordered[i + 1].criterion == r.criterion;
        c.flags = r.variant == 2 ? 2 : (next ? 0 : 1);
        std::string v = r.value;
        if (!devices && row.fieldPos == 0 && row.fieldLen == CriterionKind::DateTest) {
            v = PackConditionDate(v);
        } else if (!devices && row.fieldPos == 0 && row.fieldLen == CriterionKind::InfoFlags) {
            // The document letter becomes its number 1..6.
            const size_t at = v.empty() ? std::string::npos : settings.documentLetters.find(v[0]);
            v = std::string(1, static_cast<char>(at == std::string::npos ? 0 : at + 1)) +
                v.substr(std::min<size_t>(1, v.size()));
        } else {
            v = Folded(v);
            if (!devices && row.fieldPos == kDrugRegistrationType.start && row.fieldLen == 1)
                v = v == "SDI" ? "Q" : v.substr(0, 1);
            if (HasStar(row, v)) {
                const size_t star = v.find('*');
                c.star = true;
                c.suffix = v.substr(star + 1);
                v.resize(star);
            }
        }
        c.value = v;
        out.push_back(std::move(c));
    }
    for (int i = 0; i < driveCount; ++i)
        plan.driveValues.push_back(out[static_cast<size_t>(i)].value);
    for (size_t i = static_cast<size_t>(driveCount); i < out.size();) {
        ConditionPlan::Group g{out[i].criterion, {}, out[i].estimate};
        while (i < out.size() && out[i].criterion == g.criterion) {
            g.values.push_back(out[i].star ? out[i].value + "*" + out[i].suffix : out[i].value);
            ++i;
        }
        plan.tested.push_back(std::move(g));
    }
    return out;
}

// ------------------------------------------------------------ record tests

struct ConditionRecordTester::Tables {
    TDbTable price;       // cvzp by drug code
    TDbTable composition; // klc by drug
    bool priceOpen = false;
    bool compositionOpen = false;
    std::string record;
};

ConditionRecordTester::ConditionRecordTester(std::vector<PreparedCondition> conditions, QueryKind kind,
                                             const ConditionSearchSettings& settings)
    : conditions_(std::move(conditions)), kind_(kind), settings_(settings),
      tables_(std::make_unique<Tables>())
{}

ConditionRecordTester::~ConditionRecordTester() = default;

bool ConditionRecordTester::Open()
{
    if (kind_ != QueryKind::Drugs)
        return true;
    for (const PreparedCondition& c : conditions_) {
        if (c.fieldLen == CriterionKind::InsuranceData || c.fieldLen == CriterionKind::PriceType) {
            DbStatus = 0;
            OpenTable(tables_->price, TFileId("cvzp"), TFileId("cvzpkod"), kCvzpLayout.Length());
            if (DbStatus != 0)
                return false;
            tables_->priceOpen = true;
        }
        if (c.fieldPos == 0 && c.fieldLen == CriterionKind::Composition) {
            DbStatus = 0;
            OpenTable(tables_->composition, TFileId("klc"), TFileId("klclek"), kKlcLayout.Length());
            if (DbStatus != 0)
                return false;
            tables_->compositionOpen = true;
        }
    }
    return true;
}

namespace {

// The composition filter: a placebo entry, and the two carrier codes of an
// entry of kind "A" or "V", do not count as components.
bool FilteredComponent(std::string_view klc)
{
    if (FieldBytes(klc, kCompositionUnit) == "PL")
        return true;
    const char kind = FieldByte(klc, kCompositionState);
    const std::string_view code = FieldBytes(klc, kCompositionSubstance);
    return (kind == 'A' || kind == 'V') && (code == " 2043" || code == " 2044");
}

} // namespace

bool ConditionRecordTester::ComponentOf(std::string_view record, std::string_view component)
{
    if (!tables_->compositionOpen)
        return false;
    const std::string code(FieldBytes(record, kDrugCode));
    TDbTable& klc = tables_->composition;
    std::string& r = tables_->record;
    DbStatus = 0;
    FindRecord(klc, code, r);
    for (int32_t pos = klc.Position(); DbStatus == 0; ReadByOrder(klc, ++pos, r)) {
        if (FieldBytes(r, kCompositionDrug) != code)
            break;
        if (settings_.compositionFilter && FilteredComponent(r))
            continue;
        if (FieldBytes(r, kCompositionSubstance) == component) {
            DbStatus = 0;
            return true;
        }
    }
    DbStatus = 0;
    return false;
}

bool ConditionRecordTester::MatchesDrugSpecial(const PreparedCondition& c, std::string_view record)
{
    switch (c.fieldLen) {
    case CriterionKind::InsuranceData:
    case CriterionKind::PriceType: {
        if (static_cast<unsigned char>(FieldByte(record, kDrugReimbursementKind)) <= ' ' ||
            !tables_->priceOpen)
            return false;
        DbStatus = 0;
        FindRecord(tables_->price, FieldBytes(record, kDrugCode), tables_->record);
        const bool found = DbStatus == 0;
        DbStatus = 0;
        if (!found)
            return false;
        const std::string& p = tables_->record;
        if (c.fieldLen == CriterionKind::PriceType)
            return !c.value.empty() && FieldByte(p, kPriceRegulationType) == c.value[0];
        if (c.value == "B")
            return static_cast<unsigned char>(FieldByte(p, kPriceCondition)) > ' ';
        if (c.value == "X")
            return static_cast<unsigned char>(FieldByte(p, kPriceMark)) > 'W';
        return false;
    }
    case CriterionKind::DateTest: {
        if (c.value.empty())
            return false;
        const uint32_t v = c.value.size() >= 3 ? DecodeLE16(c.value.data() + 1) : 0;
        const bool kodex = I32(record, kDrugSummaryOffset) != -1;
        const bool leaflet = I32(record, kDrugLeafletOffset) != -1;
        const bool spc = I32(record, kDrugSpcOffset) != -1;
        const uint32_t dKodex = U16(record, kDrugSummaryDate);
        const uint32_t dLeaflet = U16(record, kDrugLeafletDate);
        const uint32_t dSpc = U16(record, kDrugSpcDate);
        switch (c.value[0]) {
        case 'A': return kodex && dKodex < v;
        case 'B': return kodex && dKodex > v;
        case 'C': return leaflet && dLeaflet < v;
        case 'D': return leaflet && dLeaflet > v;
        case 'E': return spc && dSpc < v;
        case 'F': return spc && dSpc > v;
        case 'G': return kodex && spc && dKodex < dSpc;
        case 'H': return leaflet && dLeaflet + v < U16(record, kDrugLeafletTestDate);
        case 'I': return spc && dSpc + v < U16(record, kDrugSpcTestDate);
        default: return false;
        }
    }
    case CriterionKind::Composition: return ComponentOf(record, c.value);
    case CriterionKind::InfoFlags: {
        if (c.value.size() < 2)
            return false;
        FieldPos pointer = kDrugSummaryOffset;
        switch (c.value[0]) {
        case 2: pointer = kDrugAltSummaryOffset; break;
        case 3: pointer = kDrugLeafletOffset; break;
        case 4: pointer = kDrugSpcOffset; break;
        default: break;
        }
        const bool present = I32(record, pointer) != -1;
        return c.value[1] == '+' ? present : !present;
    }
    default: return false;
    }
}

bool ConditionRecordTester::Matches(const PreparedCondition& c, std::string_view record)
{
    if (kind_ == QueryKind::Drugs && (c.fieldPos == 0 || c.fieldLen > CriterionKind::SubstanceName))
        return MatchesDrugSpecial(c, record);
    int length = c.fieldLen;
    if (kind_ == QueryKind::Substances) {
        const char layout = FieldByte(record, kSubstanceLayout);
        const bool standard = layout == '0' || layout == '`';
        if (c.fieldPos == kSubstanceDependence.start && !standard)
            return false;
        if (c.fieldPos == kSubstanceName.start && !standard)
            length = 78;
    }
    if (!FieldEquals(record, c.fieldPos, c.value))
        return false;
    if (!c.star)
        return true;
    const int prefix = static_cast<int>(c.value.size());
    return FieldContains(record, c.fieldPos + prefix, length - prefix, c.suffix);
}

bool ConditionRecordTester::Passes(std::string_view record, size_t from)
{
    for (size_t i = from; i < conditions_.size();) {
        const PreparedCondition& c = conditions_[i];
        const bool match = Matches(c, record);
        if (!match && c.flags != 0)
            return false;
        if (match && c.flags == 0) {
            while (i + 1 < conditions_.size() && conditions_[i + 1].flags == 0 &&
                   conditions_[i + 1].criterion == c.criterion)
                ++i;
            i += 2; // past the last alternative
            continue;
        }
        ++i;
    }
    if (kind_ == QueryKind::Substances && settings_.hideSynonyms)
        return FieldBytes(record, kSubstanceRecordKind) == " 0";
    return true;
}

// ------------------------------------------------------------ the search

namespace {

class SearchRun {
public:
    SearchRun(const ConditionSearchHooks& hooks, ConditionRecordTester& tester, ConditionSearchResult& result,
              int maxHits)
        : hooks_(hooks), tester_(tester), result_(result), maxHits_(maxHits)
    {}

    void SetStep(double step) { step_ = step; }
    void SizeHits(int32_t records) { seen_.assign(static_cast<size_t>(std::max(records, 0)) + 1, false); }

    // Tests one candidate; false ends the search.
    bool Test(std::string_view record, int32_t recNo, size_t from)
    {
        ++result_.plan.candidates;
        Progress();
        if (tester_.Passes(record, from) && recNo > 0 && !Seen(recNo)) {
            if (count_ >= maxHits_) {
                result_.status = ConditionSearchStatus::TooMany;
                return false;
            }
            if (static_cast<size_t>(recNo) >= seen_.size())
                seen_.resize(static_cast<size_t>(recNo) + 1, false);
            seen_[static_cast<size_t>(recNo)] = true;
            ++count_;
        }
        if (hooks_.cancelRequested && hooks_.cancelRequested()) {
            result_.status = ConditionSearchStatus::Cancelled;
            return false;
        }
        return true;
    }

    void Collect()
    {
        for (size_t r = 0; r < seen_.size(); ++r)
            if (seen_[r])
                result_.hits.push_back(static_cast<int32_t>(r));
    }

private:
    bool Seen(int32_t recNo) const
    {
        return static_cast<size_t>(recNo) < seen_.size() && seen_[static_cast<size_t>(recNo)];
    }
    void Progress()
    {
        accumulator_ += step_;
        if (accumulator_ <= 1.0)
            return;
        const int advance = static_cast<int>(accumulator_);
        accumulator_ -= advance;
        gauge_ += advance;
        if (gauge_ >= kGaugeMax) {
            gauge_ = 0;
            swapped_ = !swapped_;
        }
        if (hooks_.gauge)
            hooks_.gauge(gauge_, swapped_);
    }

    const ConditionSearchHooks& hooks_;
    ConditionRecordTester& tester_;
    ConditionSearchResult& result_;
    const int maxHits_;
    std::vector<bool> seen_;
    int count_ = 0;
    double step_ = 0;
    double accumulator_ = 0;
    int gauge_ = 0;
    bool swapped_ = false;
};

uint16_t RecordLength(QueryKind kind)
{
    switch (kind) {
    case QueryKind::Devices: return kPztLayout.Length();
    case QueryKind::Substances: return kKkLayout.Length();
    default: return kKlLayout.Length();
    }
}

FieldPos HolderPrefix()
{
    return FieldPos{kDrugHolder.start, kDrugHolder.length, 0};
}

} // namespace

ConditionSearchResult RunConditionSearch(const std::vector<std::string>& entries, bool devices,
                                         const ConditionSearchSettings& settings,
                                         const ConditionSearchHooks& hooks)
{
    ConditionSearchResult result;
    int driveCount = 0;
    std::vector<PreparedCondition> conditions =
        PrepareConditions(entries, devices, settings, result.plan, driveCount);
    ConditionPlan& plan = result.plan;
    const QueryKind kind = plan.kind;

    TDbTable table;
    DbStatus = 0;
    OpenTable(table, TFileId(plan.table), TFileId(plan.driveIndex), RecordLength(kind));
    if (DbStatus != 0 || !table.sez.IsOpen()) {
        DbStatus = 0;
        result.status = ConditionSearchStatus::NoData;
        return result;
    }
    ConditionRecordTester tester(conditions, kind, settings);
    if (!tester.Open()) {
        DbStatus = 0;
        result.status = ConditionSearchStatus::NoData;
        return result;
    }
    SearchRun run(hooks, tester, result, settings.maxHits);
    run.SizeHits(table.dat.count);

    // 7. The gauge's step per tested record.
    double best = kNoDriver;
    if (driveCount > 0)
        best = conditions.front().estimate;
    const double work = (std::pow(std::log(kNoDriver / best), 2) + best) / kNoDriver;
    const double n = std::max(1, table.LeafCount());
    run.SetStep((kind == QueryKind::Devices && driveCount > 0 ? 1.0 : 77.0) / (n * work));

    std::string record;
    const size_t from = static_cast<size_t>(driveCount);
    if (driveCount == 0) {
        for (int32_t r = 1; r < table.dat.count; ++r) {
            ReadRecord(table.dat, r, record);
            if (DbStatus != 0) {
                DbStatus = 0;
                break;
            }
            if (!run.Test(record, r, 0))
                break;
        }
        run.Collect();
        return result;
    }

    const PreparedCondition& first = conditions.front();
    const bool composition =
        kind == QueryKind::Drugs && first.fieldPos == 0 && first.fieldLen == CriterionKind::Composition;
    if (composition) {
        TDbTable klc;
        DbStatus = 0;
        OpenTable(klc, TFileId("klc"), TFileId("klckomp"), kKlcLayout.Length());
        if (DbStatus != 0) {
            DbStatus = 0;
            result.status = ConditionSearchStatus::NoData;
            return result;
        }
        std::string entry;
        for (int d = 0; d < driveCount; ++d) {
            const std::string& v = conditions[static_cast<size_t>(d)].value;
            DbStatus = 0;
            FindRecord(klc, v, entry);
            for (int32_t pos = klc.Position(); DbStatus == 0; ReadByOrder(klc, ++pos, entry)) {
                if (FieldBytes(entry, kCompositionSubstance) != v)
                    break;
                if (settings.compositionFilter && FilteredComponent(entry))
                    continue;
                const std::string code(FieldBytes(entry, kCompositionDrug));
                const int32_t saved = pos;
                FindRecord(table, code, record);
                const bool found = DbStatus == 0 && FieldBytes(record, kDrugCode) == code;
                DbStatus = 0;
                if (found && !run.Test(record, table.recNo, from)) {
                    run.Collect();
                    return result;
                }
                pos = saved;
            }
        }
        DbStatus = 0;
        run.Collect();
        return result;
    }

    const bool holders = kind == QueryKind::Drugs && plan.driveIndex == "kldrz";
    for (int d = 0; d < driveCount; ++d) {
        const PreparedCondition& c = conditions[static_cast<size_t>(d)];
        std::vector<std::string> keys{c.value};
        if (!c.value.empty() && c.value[0] == '?')
            keys = {"=" + c.value.substr(1), ">" + c.value.substr(1)};
        // A holder with its country walks the holder's range and tests every
        // condition, the driving values included.
        const bool wholeHolder = holders && c.value.size() > 3;
        const size_t testFrom = wholeHolder ? 0 : from;
        for (std::string key : keys) {
            if (wholeHolder)
                key = key.substr(0, 3);
            const FieldPos walked = wholeHolder ? HolderPrefix() : FieldPos{c.fieldPos, 0, 0};
            DbStatus = 0;
            FindRecord(table, key, record);
            for (int32_t pos = table.Position(); DbStatus == 0; ReadByOrder(table, ++pos, record)) {
                if (!FieldEquals(record, walked.start, key))
                    break;
                if (!run.Test(record, table.recNo, testFrom)) {
                    DbStatus = 0;
                    run.Collect();
                    return result;
                }
            }
        }
    }
    DbStatus = 0;
    run.Collect();
    return result;
}
