#pragma once
// The compound search without widgets: a small cost-based planner over the
// condition entries of the condition window, the walks that give candidate
// records (an index range, the composition table, a holder's countries, or
// the whole file) and the record tests.
//
// Each group of values of one criterion gets an estimated hit count from its
// value lengths and the criterion's two constants; the cheapest group whose
// criterion has an index (and none of whose values holds "*") drives the
// search, the other groups are tested on the candidates cheapest first.
// Hits are kept distinct in a bit set over the records and returned in
// ascending record order; at most 5000.
//
// The engine opens its own table handles: a list fetching rows while the
// progress callback runs an event pass does not move them.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lists/conditions/condition_model.h"

constexpr int kMaxConditionHits = 5000;

// "A<2024/01/31" to "A" and the packed day + 32 x (months since January
// 1980), low byte first; "H@5" to "H" and 5; "G" unchanged.  Years before
// 1980 pack as 0, beyond 16 bits as 65535.
std::string PackConditionDate(std::string_view value);

// E = exp(1 - n * factor / 100) * 369000 / divisor.
double ConditionEstimate(const CriterionRow& row, size_t valueLength);

enum class QueryKind : uint8_t { Drugs, Substances, Devices };

// One prepared condition: the value folded, the "*" suffix apart.
struct PreparedCondition {
    int criterion = 0;
    int16_t fieldPos = 0;
    uint8_t fieldLen = 0;
    // 0 more alternatives follow, 1 the last alternative, 2 all required.
    uint8_t flags = 0;
    bool star = false;
    std::string value; // the prefix before "*" for a star value
    std::string suffix;
    double estimate = 0;
};

// What the planner chose; the tool prints it.
struct ConditionPlan {
    QueryKind kind = QueryKind::Drugs;
    std::string table;      // "kl", "kk", "pzt"
    std::string driveIndex; // the index walked, or the name index of a full scan
    std::vector<std::string> driveValues;
    bool fullScan = true;
    struct Group {
        int criterion = 0;
        std::vector<std::string> values;
        double estimate = 0;
    };
    std::vector<Group> tested; // in test order
    int64_t candidates = 0;    // records tested
};

enum class ConditionSearchStatus : uint8_t {
    Done,
    NoData,    // a table could not be opened ("Chyby.NoData")
    Cancelled, // Escape: the hits so far
    TooMany,   // 5000 hits reached ("Chyby.TooMany")
};

struct ConditionSearchResult {
    ConditionSearchStatus status = ConditionSearchStatus::Done;
    ConditionPlan plan;
    std::vector<int32_t> hits; // record numbers, ascending
};

struct ConditionSearchHooks {
    // The gauge moved to `position` (0..74); `swapped` after each wrap.  The
    // window runs an event pass here.
    std::function<void(int position, bool swapped)> gauge;
    // Polled after each tested record: true stops the search.
    std::function<bool()> cancelRequested;
};

struct ConditionSearchSettings {
    bool compositionFilter = false; // INGR= bit 0
    bool hideSynonyms = false;      // COMP= bit 0x10
    std::string documentLetters;    // FlagLetters()
    int maxHits = kMaxConditionHits;
};

// Runs the search of `entries` (condition entries as the window holds them:
// code character, then value) over the drugs (or substances) or devices.
ConditionSearchResult RunConditionSearch(const std::vector<std::string>& entries, bool devices,
                                         const ConditionSearchSettings& settings,
                                         const ConditionSearchHooks& hooks = {});

// The prepared conditions of `entries`, in test order, as the search uses
// them (for the tests and the tool).
std::vector<PreparedCondition> PrepareConditions(const std::vector<std::string>& entries, bool devices,
                                                 const ConditionSearchSettings& settings, ConditionPlan& plan,
                                                 int& driveCount);

// Whether one record passes every condition from `from` on (the record
// tests without the walk): for the naive scan of the tests.
class ConditionRecordTester {
public:
    ConditionRecordTester(std::vector<PreparedCondition> conditions, QueryKind kind,
                          const ConditionSearchSettings& settings);
    ~ConditionRecordTester();
    ConditionRecordTester(const ConditionRecordTester&) = delete;
    ConditionRecordTester& operator=(const ConditionRecordTester&) = delete;

    // False when a table the tests need cannot be opened.
    bool Open();
    bool Passes(std::string_view record, size_t from = 0);

private:
    struct Tables;
    bool Matches(const PreparedCondition& c, std::string_view record);
    bool MatchesDrugSpecial(const PreparedCondition& c, std::string_view record);
    bool ComponentOf(std::string_view record, std::string_view component);

    std::vector<PreparedCondition> conditions_;
    QueryKind kind_;
    ConditionSearchSettings settings_;
    std::unique_ptr<Tables> tables_;
};
