#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace trelvant {
namespace {

constexpr int kFrames = 250;
constexpr int kRows = 2976;  // the transmit map table's room in the configuration image

// The largest transmit byte map: every frame of a full frame list, rows spread over them with
// Index values in no particular order and in the three ways a user types them.
ByteMap LargestByteMap()
{
    std::mt19937 random(1939);
    ByteMap byteMap(kFrames);
    for (int f = 0; f < kFrames; ++f) {
        byteMap[static_cast<std::size_t>(f)].PGN = std::to_string(61440 + f);
        byteMap[static_cast<std::size_t>(f)].NrPdo = f + 1;
    }
    for (int i = 0; i < kRows; ++i) {
        const int value = (i * 7919) % kRows + 1;
        static const char* const prefixes[] = {"", "0x", "$"};  // the same digits, read as hexadecimal
        std::string index = prefixes[i % 3];
        index.append(std::to_string(value));
        const int high = static_cast<int>(random() % 9), low = static_cast<int>(random() % 9);
        byteMap[random() % kFrames].registers.push_back({index, std::to_string(16 * high + low), i % 2 ? "1" : "0"});
    }
    return byteMap;
}

class Project {
public:
    Project() : folder_(std::filesystem::temp_directory_path() / ("trelvant-bench-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(folder_);
        std::vector<FrameRow> frames;
        for (int f = 0; f < kFrames; ++f) frames.push_back({"6", "0", std::to_string(61440 + f), "0", "frame"});
        WriteFrameList(FrameListPath(folder_, Direction::Transmit), Direction::Transmit, frames);
        WriteByteMap(folder_, Direction::Transmit, LargestByteMap());
    }
    ~Project() { std::filesystem::remove_all(folder_); }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

class NoReport : public ReadingReport {
public:
    void error(const std::string& message) override { errors.push_back(message); }
    std::vector<std::string> errors;
};

void BM_ByteMapRead(benchmark::State& state)
{
    Project project;
    for (auto _ : state) {
        NoReport report;
        ByteMap byteMap = ReadByteMap(project.folder(), Direction::Transmit, report);
        benchmark::DoNotOptimize(byteMap.data());
        if (!report.errors.empty()) state.SkipWithError(report.errors.front().c_str());
    }
}
BENCHMARK(BM_ByteMapRead)->Unit(benchmark::kMillisecond);

void BM_ByteMapWrite(benchmark::State& state)
{
    Project project;
    const ByteMap byteMap = LargestByteMap();
    for (auto _ : state) WriteByteMap(project.folder(), Direction::Transmit, byteMap);
}
BENCHMARK(BM_ByteMapWrite)->Unit(benchmark::kMillisecond);

// What the editor does between showing and OK: the reading pass, then the writer.
void BM_ByteMapReadAndWrite(benchmark::State& state)
{
    Project project;
    for (auto _ : state) {
        NoReport report;
        const ByteMap byteMap = ReadByteMap(project.folder(), Direction::Transmit, report);
        WriteByteMap(project.folder(), Direction::Transmit, byteMap);
    }
}
BENCHMARK(BM_ByteMapReadAndWrite)->Unit(benchmark::kMillisecond);

// The ordering and serialization alone, without the disk.
void BM_ByteMapXml(benchmark::State& state)
{
    const ByteMap byteMap = LargestByteMap();
    for (auto _ : state) benchmark::DoNotOptimize(ByteMapXml(Direction::Transmit, byteMap));
}
BENCHMARK(BM_ByteMapXml)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trelvant
