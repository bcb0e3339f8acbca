// The largest project the configuration image allows, built and written out as "Update Device" does.
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "image/bank_files.h"
#include "image/image_builder.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace trelvant {
namespace {

class LargestProject {
public:
    LargestProject() : folder_(std::filesystem::temp_directory_path() / ("trelvant-image-bench-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(folder_ / "bin");
        WritePargen(folder_ / "pargen.xml", PargenValues{});

        std::vector<FrameRow> receive, transmit;
        for (std::size_t f = 0; f < kMaxFrameRows; ++f) {
            receive.push_back({std::to_string(61440 + f), "0x21", f % 3 ? "N" : "Y", "frame " + std::to_string(f)});
            transmit.push_back({"6", "0", "$" + std::to_string(0xFE00 + f), std::to_string(f % 240), ""});
        }
        WriteFrameList(folder_ / "RCobDef.xml", Direction::Receive, receive);
        WriteFrameList(folder_ / "TCobDef.xml", Direction::Transmit, transmit);

        writeMap(Direction::Receive, kMaxReceiveMapRows);
        writeMap(Direction::Transmit, kMaxTransmitMapRows);
    }
    ~LargestProject()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    const std::filesystem::path& folder() const { return folder_; }

private:
    void writeMap(Direction direction, std::size_t rows)
    {
        ByteMap map(kMaxFrameRows);
        for (std::size_t f = 0; f < map.size(); ++f) map[f].NrPdo = static_cast<std::int32_t>(f + 1);
        for (std::size_t i = 0; i < rows; ++i)
            map[i % map.size()].registers.push_back({std::to_string(i + 1), "18", i % 2 ? "1" : "0"});
        WriteByteMap(folder_, direction, map);
    }

    std::filesystem::path folder_;
};

void BM_BuildAndWriteBanks(benchmark::State& state)
{
    const LargestProject project;
    const FixedClock clock({2026, 12, 10, 12, 0, 0});
    auto image = std::make_unique<ConfigurationImage>();
    for (auto _ : state) {
        BuildConfigurationImage(*image, project.folder(), clock);
        WriteBankFiles(*image, project.folder());
        WriteBankSource(*image, project.folder());
    }
}
BENCHMARK(BM_BuildAndWriteBanks)->Unit(benchmark::kMillisecond);

void BM_BuildOnly(benchmark::State& state)
{
    const LargestProject project;
    const FixedClock clock({2026, 12, 10, 12, 0, 0});
    auto image = std::make_unique<ConfigurationImage>();
    for (auto _ : state) BuildConfigurationImage(*image, project.folder(), clock);
}
BENCHMARK(BM_BuildOnly)->Unit(benchmark::kMillisecond);

void BM_BankSourceText(benchmark::State& state)
{
    const ConfigurationImage image;
    for (auto _ : state) benchmark::DoNotOptimize(BankSourceText(image));
}
BENCHMARK(BM_BankSourceText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trelvant
