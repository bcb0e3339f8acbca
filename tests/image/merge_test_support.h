#pragma once

#include "image/srecord_merge.h"
#include "tests/support/temp_folder.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace trelvant::test {

// Records what the merge reports instead of showing it.
class RecordingReport final : public MergeReport {
public:
    void message(const std::string& text) override { messages.push_back(text); }
    void progress(std::uint64_t position, std::uint64_t maximum) override { steps.push_back({position, maximum}); }

    struct Step {
        std::uint64_t position;
        std::uint64_t maximum;
    };
    std::vector<std::string> messages;
    std::vector<Step> steps;
};

// The bytes of bank n in these tests: bank 1 starts with 32 bytes 0xFF, bank 2 ends with 32 zero
// bytes, the rest is a pattern that differs between banks and records.
inline std::vector<std::uint8_t> TestBank(int bank)
{
    std::vector<std::uint8_t> bytes(16384);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(bank) * 31 + i / 256);
    if (bank == 1) std::fill(bytes.begin(), bytes.begin() + 32, std::uint8_t{0xFF});
    if (bank == 2) std::fill(bytes.end() - 32, bytes.end(), std::uint8_t{0});
    return bytes;
}

// A program folder with MASTER/Pelmora.sx and a project whose bin folder holds bank1.bin to
// bank5.bin, an older merged firmware and a stray intermediate file of an interrupted run.
struct MergeFolder {
    TempFolder root;
    std::filesystem::path master = root / "MASTER";
    std::filesystem::path project = root / "PROJECTS" / "Boiler 2";
    std::filesystem::path base = master / "Pelmora.sx";
    std::filesystem::path merged = project / "New_Pelmora.sx";
    static constexpr const char* kOldMerged = "S0 an older merged firmware\r\n";

    explicit MergeFolder(const std::string& baseText)
    {
        std::filesystem::create_directories(master);
        std::filesystem::create_directories(project / "bin");
        WriteText(base, baseText);
        for (int n = 1; n <= 5; ++n) {
            const auto bytes = TestBank(n);
            WriteText(project / "bin" / ("bank" + std::to_string(n) + ".bin"), std::string(bytes.begin(), bytes.end()));
        }
        WriteText(merged, kOldMerged);
        WriteText(project / "B3.sx", "S0 left by an interrupted run\r\n");
        WriteText(project / "bin" / "Bin.sx", "S0 left by an interrupted run\r\n");
    }

    MergeJob job() const { return ProjectMergeJob(project, base); }

    // Every file below the root with its content.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root.path()))
            if (entry.is_regular_file())
                files[std::filesystem::relative(entry.path(), root.path()).generic_string()] = ReadText(entry.path());
        return files;
    }
};

inline std::string Crlf(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

inline std::vector<std::string> CrlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start != text.size()) lines.push_back("<text after the last line end: " + text.substr(start) + ">");
    return lines;
}

}  // namespace trelvant::test
