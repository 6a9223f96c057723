// cond_search: runs a compound search on the engine of the condition window
// and prints its plan, its time, the hit count and the first rows.
//
//   cond_search [-d DATA] [-p PROGRAM] [--devices] [--rows N] [--max HITS] N=VALUE...
//
// N is the criterion's number in the drug (or, with --devices, the device)
// criteria table; VALUE its value as the window stores it (a date test as
// "A<2024/01/31", a national registration number as "?0712307", a component
// as " 1001").  Several values of one criterion are alternatives; a "+"
// before a value makes all of that criterion's values required.  Values are
// UTF-8 and folded as the window folds them.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <QString>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "lists/conditions/condition_model.h"
#include "lists/conditions/condition_search.h"
#include "platform/ascii.h"
#include "tool_folders.h"

namespace {

int Usage()
{
    std::fprintf(
        stderr, "usage: cond_search [-d DATA] [-p PROGRAM] [--devices] [--rows N] [--max HITS] N=VALUE...\n");
    return 2;
}

std::string Shown(std::string_view kam)
{
    std::string s = KamToQString(kam).toStdString();
    return s;
}

const char* KindName(QueryKind k)
{
    switch (k) {
    case QueryKind::Devices: return "devices";
    case QueryKind::Substances: return "substances";
    default: return "drugs";
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string data = "build/demo-data";
    std::string program;
    bool devices = false;
    int rows = 10;
    int maxHits = kMaxConditionHits;
    struct Value {
        int criterion;
        bool all;
        std::string text;
    };
    std::vector<Value> values;
    ToolArgs args(argc, argv, data, program);
    for (std::string a; args.Next(a);) {
        if (a == "--devices") {
            devices = true;
        } else if (a == "--max") {
            std::string n;
            if (!args.Value(n))
                return Usage();
            maxHits = std::atoi(n.c_str());
        } else if (a == "--rows") {
            std::string n;
            if (!args.Value(n))
                return Usage();
            rows = std::atoi(n.c_str());
        } else {
            const size_t eq = a.find('=');
            if (eq == std::string::npos || eq == 0)
                return Usage();
            Value v{std::atoi(a.substr(0, eq).c_str()), false, a.substr(eq + 1)};
            if (!v.text.empty() && v.text[0] == '+') {
                v.all = true;
                v.text.erase(0, 1);
            }
            values.push_back(v);
        }
    }
    if (args.Failed() || values.empty())
        return Usage();
    BuildKamTables();
    if (!OpenToolFolders("cond_search", data, program))
        return 1;
    LoadCodeTables();

    const auto criteria = devices ? DeviceCriteria() : DrugCriteria();
    std::map<int, int> counts;
    std::map<int, bool> all;
    for (const Value& v : values) {
        if (v.criterion < 1 || v.criterion > static_cast<int>(criteria.size())) {
            std::fprintf(stderr, "cond_search: no criterion %d\n", v.criterion);
            return 2;
        }
        ++counts[v.criterion];
        all[v.criterion] = all[v.criterion] || v.all;
    }
    std::vector<std::string> entries;
    for (const Value& v : values) {
        const int variant = all[v.criterion] ? 2 : (counts[v.criterion] > 1 ? 1 : 0);
        entries.push_back(std::string(1, static_cast<char>(v.criterion * 3 + variant)) +
                          QStringToKam(QString::fromUtf8(v.text.c_str())));
    }
    std::sort(entries.begin(), entries.end());

    ConditionSearchSettings settings;
    settings.documentLetters = FlagLetters();
    settings.maxHits = maxHits;
    const auto start = std::chrono::steady_clock::now();
    const ConditionSearchResult r = RunConditionSearch(entries, devices, settings);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    const ConditionPlan& p = r.plan;
    std::printf("query: %s, table %s\n", KindName(p.kind), p.table.c_str());
    if (p.fullScan) {
        std::printf("plan: full scan (index %s)\n", p.driveIndex.c_str());
    } else {
        std::printf("plan: drive %s by", p.driveIndex.c_str());
        for (const std::string& v : p.driveValues)
            std::printf(" \"%s\"", Shown(v).c_str());
        std::printf("\n");
    }
    for (const auto& g : p.tested) {
        std::printf("  test %2d %-25s est %12.4f :", g.criterion,
                    Shown(devices ? DeviceCriteria()[static_cast<size_t>(g.criterion - 1)].defaultName
                                  : DrugCriteria()[static_cast<size_t>(g.criterion - 1)].defaultName)
                        .c_str(),
                    g.estimate);
        for (const std::string& v : g.values) {
            std::string shown;
            for (unsigned char c : v)
                shown += c < 32 ? '.' : static_cast<char>(c);
            std::printf(" \"%s\"", Shown(shown).c_str());
        }
        std::printf("\n");
    }
    const char* status = r.status == ConditionSearchStatus::NoData      ? "no data"
                         : r.status == ConditionSearchStatus::TooMany   ? "too many (5000 kept)"
                         : r.status == ConditionSearchStatus::Cancelled ? "cancelled"
                                                                        : "done";
    std::printf("candidates: %lld\nhits: %zu (%s)\ntime: %.3f ms\n", static_cast<long long>(p.candidates),
                r.hits.size(), status, ms);

    TDatFile dat;
    const uint16_t length = p.kind == QueryKind::Devices      ? kPztLayout.Length()
                            : p.kind == QueryKind::Substances ? kKkLayout.Length()
                                                              : kKlLayout.Length();
    OpenDatFile(dat, DataDir(), TFileId(p.table), length);
    std::string record;
    for (size_t i = 0; i < r.hits.size() && static_cast<int>(i) < rows && dat.IsOpen(); ++i) {
        ReadRecord(dat, r.hits[i], record);
        const FieldPos code = p.kind == QueryKind::Devices      ? kDeviceCode
                              : p.kind == QueryKind::Substances ? kSubstanceCode
                                                                : kDrugCode;
        const FieldPos name = p.kind == QueryKind::Devices      ? kDeviceName
                              : p.kind == QueryKind::Substances ? kSubstanceName
                                                                : kDrugName;
        std::printf("%8d %s %s\n", r.hits[i], Shown(FieldBytes(record, code)).c_str(),
                    Shown(TrimRightBlanks(FieldBytes(record, name))).c_str());
    }
    return r.status == ConditionSearchStatus::NoData ? 1 : 0;
}
