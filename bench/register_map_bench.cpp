// The register map report of the largest project the configuration image holds, from reading the
// five documents and the check to the report's text, in each format. Target: under 100 ms.
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/pargen_document.h"
#include "image/register_map.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace trelvant {
namespace {

constexpr std::size_t kFrames = 250;
// The two byte maps' registers lie apart from each other and from pargen.xml's TO_ModReg (1).
constexpr int kFirstReceiveRegister = 1000;
constexpr int kFirstTransmitRegister = 5000;

// The byte choices of a frame's registers in their order: two 16-bit values, least and most
// significant byte first, then four single bytes. Every byte of the frame is taken once; the
// registers after them choose no byte, as a frame has no more bytes to give without sharing one.
constexpr int kPosComp[] = {0x21, 0x34, 0x05, 0x60, 0x07, 0x80};

// An Index as a user types it: decimal, "0x" or "$" hexadecimal, in turn.
std::string IndexText(int reg, std::size_t row)
{
    static const char* const forms[] = {"%d", "0x%X", "$%X"};
    char text[16];
    std::snprintf(text, sizeof text, forms[row % 3], reg);
    return text;
}

// rows registers spread over every frame in turn, their numbers in no particular order.
ByteMap LargestByteMap(Direction direction, std::size_t rows)
{
    const bool transmit = direction == Direction::Transmit;
    const int first = transmit ? kFirstTransmitRegister : kFirstReceiveRegister;
    ByteMap map(kFrames);
    for (std::size_t f = 0; f < kFrames; ++f) map[f].NrPdo = static_cast<std::int32_t>(f + 1);
    for (std::size_t i = 0; i < rows; ++i) {
        const int reg = first + static_cast<int>(i * 7919 % rows);  // 7919 is prime to both room sizes
        const std::size_t slot = i / kFrames;
        const int positions = slot < std::size(kPosComp) ? kPosComp[slot] : 0;
        map[i % kFrames].registers.push_back(
            {IndexText(reg, i), std::to_string(positions), transmit ? (i % 2 ? "1" : "0") : ""});
    }
    return map;
}

// Full frame lists, a destination-specific PGN on every fourth frame, with pargen.xml and both
// byte maps at their room: a project the check finds nothing in.
class LargestProject {
public:
    LargestProject()
        : folder_(std::filesystem::temp_directory_path() / ("trelvant-register-map-bench-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(folder_);
        PargenValues pargen;
        pargen.BaudRateCAN = 5;  // 250 kbit/s
        pargen.Write_J1939 = true;
        WritePargen(folder_ / kPargenFileName, pargen);

        std::vector<FrameRow> receive, transmit;
        for (std::size_t f = 0; f < kFrames; ++f) {
            const std::string name = std::to_string(f + 1);
            const std::size_t pgn = f % 4 ? 0xFE00 + f : 0xEF00 + f;
            receive.push_back({std::to_string(pgn), std::to_string(f % 240), "N", "R" + name});
            transmit.push_back({"6", "0", std::to_string(f % 4 ? 0xFF00 + f : 0xEF00 + f), "33", "T" + name});
        }
        WriteFrameList(FrameListPath(folder_, Direction::Receive), Direction::Receive, receive);
        WriteFrameList(FrameListPath(folder_, Direction::Transmit), Direction::Transmit, transmit);
        WriteByteMap(folder_, Direction::Receive, LargestByteMap(Direction::Receive, kMaxReceiveMapRows));
        WriteByteMap(folder_, Direction::Transmit, LargestByteMap(Direction::Transmit, kMaxTransmitMapRows));
    }
    ~LargestProject()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

// Written once for all the benchmarks.
const LargestProject& Project()
{
    static const LargestProject project;
    return project;
}

// What keeps the map from being the one measured: a finding, or a register or frame missing.
std::string Unexpected(const RegisterMap& map)
{
    const std::size_t findings = map.count(Severity::Error) + map.count(Severity::Warning);
    if (findings > 0) return std::to_string(findings) + " findings in the project";
    if (map.receiveFrames.size() != kFrames || map.transmitFrames.size() != kFrames) return "frames missing";
    if (map.registers.size() != kMaxReceiveMapRows + kMaxTransmitMapRows + 1) return "registers missing";
    return {};
}

void BM_RegisterMapReport(benchmark::State& state, RegisterMapFormat format)
{
    const std::filesystem::path& folder = Project().folder();
    if (const std::string problem = Unexpected(ReadRegisterMap(folder)); !problem.empty())
        state.SkipWithError(problem.c_str());
    std::size_t size = 0;
    for (auto _ : state) {
        const std::string report = FormatRegisterMap(ReadRegisterMap(folder), format);
        size = report.size();
        benchmark::DoNotOptimize(report.data());
    }
    state.SetLabel(std::to_string(size) + " bytes");
}
BENCHMARK_CAPTURE(BM_RegisterMapReport, text, RegisterMapFormat::Text)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RegisterMapReport, csv, RegisterMapFormat::Csv)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RegisterMapReport, html, RegisterMapFormat::Html)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RegisterMapReport, markdown, RegisterMapFormat::Markdown)->Unit(benchmark::kMillisecond);

// The reading alone: the five documents and the check, as every format starts.
void BM_ReadRegisterMap(benchmark::State& state)
{
    const std::filesystem::path& folder = Project().folder();
    for (auto _ : state) {
        const RegisterMap map = ReadRegisterMap(folder);
        benchmark::DoNotOptimize(map.registers.data());
    }
}
BENCHMARK(BM_ReadRegisterMap)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace trelvant
