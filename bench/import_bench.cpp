// The spreadsheet import's reading of a workbook: the 260-record "rpdodef" worksheet of
// tests/data/workbooks/many_frames in each of the three formats. Target: under 5 ms each.
#include "documents/workbook.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

void BM_ReadWorksheet(benchmark::State& state, const std::string& extension) {
    const std::filesystem::path workbook = std::filesystem::path(TRELVANT_WORKBOOKS_DATA) / ("many_frames." + extension);
    for (auto _ : state) {
        std::optional<trelvant::Worksheet> sheet = trelvant::ReadWorksheet(workbook, "rpdodef");
        if (!sheet || sheet->records.size() != 260) throw std::runtime_error("many_frames." + extension + ": not 260 records");
        benchmark::DoNotOptimize(sheet);
    }
}

BENCHMARK_CAPTURE(BM_ReadWorksheet, xls, std::string("xls"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadWorksheet, xlsx, std::string("xlsx"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadWorksheet, ods, std::string("ods"))->Unit(benchmark::kMillisecond);

}  // namespace
