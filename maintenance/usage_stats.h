#pragma once
// Usage statistics: counters under three-letter keys and use counts of
// products, counted during a run, merged into two stores in the user's
// application-data folder when the main window closes, and uploaded about
// once per program version.  Store formats: docs/formats/usage-stats.md.
//
// The functions behind the update services' hooks (datastore/service_hooks.h)
// keep the hooks' names in namespace updates; other parts count through the
// hooks.
//
// Threads: counting on any thread (the run tables sit behind one mutex);
// saving and sending hold an exclusive lock on "dalmore.lock" beside the
// stores while they load, merge and write, so that two programs closing at
// the same time both count.  After a good upload exactly what was sent is
// taken off the run tables and the stores; counts made meanwhile stay.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class FileSystemOps;

inline constexpr const char* kCounterStoreName = "dalmorex.sgn";
inline constexpr const char* kProductStoreName = "dalmoreg.sgn";
inline constexpr const char* kStatisticsLockName = "dalmore.lock";

// The text of a counter key: 64 + each of its three parts, "_" for a part
// of 0 ("oT " reads back "oT_").
std::string StatKeyText(uint16_t key);
// The program version number of a folder path ending in
// "/KALVO_" + d1 d2 "." quarter [letter] "/": d1 d1 q ll as a number
// (KALVO_26.1c gives 26103); 0 for any other path.
uint32_t VersionNumberOfPath(std::string_view path);

// Counting into the run tables (the hooks of datastore/service_hooks.h).
namespace updates {
void StatCount(uint16_t key);
void StatAdd(uint16_t key, int64_t n);
void StatAddLog4(uint16_t key, int64_t value);
void StatCountLog2(uint16_t key, int64_t value);
void StatCountDuration(uint16_t key, double days);
void StatCountProduct(const std::string& code);
} // namespace updates

// The run tables as they stand: (key, count) pairs in order of first use,
// and product words (code in the low 24 bits, count in the top 8).
std::vector<std::pair<uint16_t, uint16_t>> RunCounters();
std::vector<uint32_t> RunProducts();
// Empties both (the start of a run; tests).
void ClearRunStatistics();

// The folder of the stores ("/" ended): the application-data folder, made
// (0700) when missing; empty without one, which switches statistics off.
std::string StatisticsFolder();
// Tests put their own folder in force (empty: the application-data folder).
void SetStatisticsFolderOverride(std::string folder);
// Tests write the stores through their own file system (nullptr: the real one).
void SetStatisticsFileSystem(FileSystemOps* ops);

// A loaded store.  Counters: the meta pairs (0, version) and (1, DOS date of
// the last reset) first.  Products: word 0 the version, word 1 the DOS date
// (high half) and time, then the entries.
struct CounterStore {
    std::vector<std::pair<uint16_t, uint16_t>> pairs;
    bool fromFile = false; // false: the reset content (missing or damaged file)
};
struct ProductStore {
    std::vector<uint32_t> words;
    bool fromFile = false;
};
// The stores of `folder` (missing, damaged or not starting with the meta
// entries: the reset content for `version`).
CounterStore LoadCounterStore(const std::string& folder, uint32_t version);
ProductStore LoadProductStore(const std::string& folder, uint32_t version);
// The store bytes (little-endian pairs, words).
std::string CounterStoreBytes(const CounterStore& store);
std::string ProductStoreBytes(const ProductStore& store);

// Saving, due tests and sending; `programFolder` gives the version number.
namespace updates {
void StatSaveCounters(const std::string& programFolder);
void StatSaveProducts(const std::string& programFolder);
bool StatShouldSend(const std::string& programFolder);
bool StatShouldSendProducts(const std::string& programFolder);
} // namespace updates
// The request items of the counter upload, in order (about box, upload).
void StatRequestItems(std::vector<std::string>& items, const std::string& programFolder);
// The items joined as a query: quoted where a blank, a double quote, "&" or
// a control byte asks for it, then percent-encoded except "&" between items
// and each item's first "=".
std::string StatQueryOf(const std::vector<std::string>& items);
// The product value text: per entry used at least once, code + b x
// 10,000,000 as 5 Base64url digits (b the count, 105 for 106-160 uses, 106
// above).
std::string ProductValueText(const std::vector<uint32_t>& entries);
// The uploads: "t" selects the test statistics host (plain http), any other
// letter the production host (https).  A reply "0", "200" or "OK" (or an
// empty body with result 0) takes what was sent off the run table and the
// store and stamps the store with the version and today.
namespace updates {
void StatSend(const std::string& programFolder, const std::string& serverLetter);
void StatSendProducts(const std::string& programFolder, const std::string& serverLetter);
} // namespace updates

// Fills the statistics members of the update services.
struct UpdateServices;
void AddStatisticsServices(UpdateServices& services);
