// The start-up loader's first step, which the window's commands wait for
// (the gate), and the language switch, each against the plain reading of the
// same files in the same run (the I/O floor).
//
//   QEVW_BENCH_DATA=FOLDER [QEVW_BENCH_PROGRAM=FOLDER] bench_loader
//
// FOLDER is a data folder (build/demo-data, or the large set of
// tools/bench/make_scale_data.sh); the program folder with qevw.ces and
// qevw.ang defaults to build/program.  The loader runs its real step 1
// (paragraph lists, the data month, the code tables) on its own thread and
// then ends (offline); the time is from its start to the open gate.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/language.h"
#include "datastore/service_hooks.h"
#include "datastore/startup_loader.h"
#include "datastore/text_table.h"
#include "datastore/zlp_table.h"
#include "frame/start/shared_helpers.h"
#include "platform/fs.h"
#include "platform/shared_text.h"

namespace {

std::string Folder(const char* variable, const char* fallback)
{
    const char* v = std::getenv(variable);
    return WithTrailingSlash(v && *v ? v : fallback);
}

struct Env {
    std::string data = Folder("QEVW_BENCH_DATA", QEVW_BENCH_DEFAULT_DATA);
    std::string program = Folder("QEVW_BENCH_PROGRAM", QEVW_BENCH_DEFAULT_PROGRAM);
    Env()
    {
        SetDataDir(data);
        LoadTextTable(UiTexts, program + "qevw.ces");
        LoadTextTable(DataTexts, data + "kalvo.ces");
        UpdateServices offline;
        offline.isOnline = [] { return 0; };
        SetUpdateServices(offline);
        LanguageHooks h;
        h.programFolder = [this] { return program; };
        h.dataFolder = [this] { return data; };
        h.dataSet = [] { return 1; };
        h.languageCode = [] { return std::string("ces"); };
        h.setLanguage = [](const std::string&, uint8_t, bool) {};
        h.refreshWindow = [] {};
        SetLanguageHooks(h);
    }
};

Env& Shared()
{
    static Env e;
    return e;
}

class RealStepOne : public LoaderServices {
public:
    LoaderInputs Inputs() override
    {
        LoaderInputs in;
        in.dataDir = Shared().data;
        return in;
    }
    void LoadParagraphLists() override { ::LoadParagraphLists(); }
    void SetupEdition() override
    {
        SetDataMonth(DataMonthOfVersion(LookupText(DataTexts, "Verze", "Cislo")));
    }
    void LoadCodeTables() override { ::LoadCodeTables(1, 0); }
    uint32_t SendStartQuery(const std::string&) override { return 0; }
    void DropDownMenu(int) override {}
    int AskOkCancel(const std::string&) override { return 0; }
    LoaderSettings ReadSettings() override { return {}; }
    void SaveDeclinedPackage(const std::string&) override {}
    void ClearZlpSettings() override {}
    std::string TodayYmd() override { return "2000/01/01"; }
    uint16_t TodayCode() override { return 0; }
    SharedText& StatusLine() override { return status_; }
    std::string UiText(const std::string&, const std::string&) override { return {}; }
    void StopNetwork() override {}

private:
    SharedText status_;
};

void BM_TimeToGate(benchmark::State& state)
{
    Shared();
    auto services = std::make_shared<RealStepOne>();
    for (auto _ : state) {
        FreeCodeTables();
        TPomalyStart loader(services);
        WaitLoaderGate();
        state.PauseTiming();
        loader.WaitEnd(10000);
        state.ResumeTiming();
    }
}

// The floor: reading the files the first step reads.
void BM_ReadCodeTableFiles(benchmark::State& state)
{
    const Env& e = Shared();
    for (auto _ : state) {
        std::string bytes;
        for (const char* name : {"isv.dat", "isv.sez", "zemv.dat", "zemv.sez", "kalvo.ces"}) {
            ReadWholeFile(ResolveInFolder(e.data, name), bytes);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
}

void BM_LoadLanguage(benchmark::State& state)
{
    Shared();
    bool english = false;
    for (auto _ : state) {
        english = !english;
        if (!LoadLanguage(english ? 'E' : 'C'))
            state.SkipWithError("a text table is missing");
    }
}

// The floor: reading the four text tables and the code tables' files.
void BM_ReadLanguageFiles(benchmark::State& state)
{
    const Env& e = Shared();
    bool english = false;
    for (auto _ : state) {
        english = !english;
        const std::string code = english ? "ang" : "ces";
        std::string bytes;
        for (const std::string& path :
             {e.program + "qevw." + code, e.data + "kalvo." + code, ResolveInFolder(e.data, "isv.dat"),
              ResolveInFolder(e.data, "zemv.dat")}) {
            ReadWholeFile(path, bytes);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
}

BENCHMARK(BM_TimeToGate)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ReadCodeTableFiles)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLanguage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadLanguageFiles)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
