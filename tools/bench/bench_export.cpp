// Export of a data window with 100,000 rows as RTF and as CSV, through the
// data-window base: the export file (temporary file, buffered checked
// writes, flush and rename), the RTF head and the RTF escaping of every cell.
//
//   cmake --build build --target bench_export && build/tools/bench_export
//
// The rows are generated deterministically like a large drug list: brand
// names built from syllables with Czech letters, strengths, packages and
// codes, held in the data code page as a list holds its fetched rows.
// Reported: rows per second (items) and bytes written per second.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "datastore/kamenici.h"
#include "frame/windows/data_form.h"

namespace {

constexpr int kRows = 100000;

struct Row {
    std::string code; // data code page, as fetched
    std::string name;
    std::string strength;
    std::string package;
};

std::vector<Row> MakeRows()
{
    BuildKamTables();
    std::mt19937 rng(20240611);
    const std::vector<std::string> syllables = {"pa",  "ra", "ce",  "ta",  "mol", "i",   "bu",  "pro",  "fen",
                                                "am",  "lo", "di",  "pin", "sar", "tan", "vas", "tin",  "kla",
                                                "mox", "zo", "lam", "dex", "ol",  "ex",  "mi",  "pril", "to",
                                                "var", "sa", "no",  "lin", "mer", "vi",  "kor", "dal",  "tri",
                                                "ni",  "ře", "čin", "žal", "ú",   "lé",  "ka",  "sto"};
    const std::vector<std::string> makers = {"Vltavín", "Dalmora", "Horalék", "Březina", "Kretmed"};
    const std::vector<std::string> strengths = {"5 mg", "10 mg", "20 mg", "250 mg", "0,1 %", "2,5 mg/ml"};
    const std::vector<std::string> packages = {"20 tbl", "30 tbl {blistr}", "100 ml", "10 čípků", "1x50 g"};
    std::vector<Row> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        std::string name;
        const int parts = 2 + static_cast<int>(rng() % 3);
        for (int p = 0; p < parts; ++p)
            name += syllables[rng() % syllables.size()];
        name += " " + makers[rng() % makers.size()];
        char code[8];
        std::snprintf(code, sizeof code, "%07d", i + 1);
        rows.push_back({code, QStringToKam(QString::fromUtf8(name.c_str())),
                        QStringToKam(QString::fromUtf8(strengths[rng() % strengths.size()].c_str())),
                        QStringToKam(QString::fromUtf8(packages[rng() % packages.size()].c_str()))});
    }
    return rows;
}

const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = MakeRows();
    return rows;
}

// A list window without a screen: the base writes the header, the rows are
// written the way lists write them.
class BenchList : public TDataForm {
public:
    BenchList() : TDataForm(nullptr)
    {
        Kind = 1;
        Title = QStringToKam(QStringLiteral("Přípravky podle názvu"));
    }

    void Exportuj() override
    {
        TDataForm::Exportuj();
        if (!ExportFile.IsOpen())
            return;
        std::string line;
        if (ExportFormat == ExportFormatCode::Rtf)
            ExportFile.Write("\\par \\trowd \\trgaph30\\cellx1680\\cellx9000\\cellx11000\\cellx13000\r\n\\b");
        for (const Row& r : Rows()) {
            line.clear();
            const std::string cells[] = {KamToWin(r.code), KamToWin(r.name), KamToWin(r.strength),
                                         KamToWin(r.package)};
            if (ExportFormat == ExportFormatCode::Rtf) {
                line += "\\intbl";
                for (const std::string& cell : cells) {
                    line += '{';
                    AppendRtfEscaped(line, cell);
                    line += "}\\cell";
                }
                line += "\\row\r\n";
            } else {
                for (const std::string& cell : cells) {
                    line += cell;
                    line += ';';
                }
                line.back() = '\r';
                line += '\n';
            }
            ExportFile.Write(line);
        }
        if (ExportFormat == ExportFormatCode::Rtf)
            ExportFile.Write(kRtfTail);
        ExportFile.Close();
    }
};

void Export(benchmark::State& state, const char* fileName)
{
    Rows();
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "bench_export";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / fileName).string();
    BenchList list;
    for (auto _ : state) {
        if (!ExportDataWindow(&list, path)) {
            state.SkipWithError("export failed");
            break;
        }
    }
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    state.SetItemsProcessed(state.iterations() * kRows);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    std::filesystem::remove_all(dir);
}

void BM_ExportRtf(benchmark::State& state)
{
    Export(state, "export.rtf");
}
BENCHMARK(BM_ExportRtf)->Unit(benchmark::kMillisecond);

void BM_ExportCsv(benchmark::State& state)
{
    Export(state, "export.csv");
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
