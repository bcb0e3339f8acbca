#pragma once

#include "replay/replay_gateway.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace trelvant {
struct ImageDump;
class CandumpReader;
class ReplayGateway;
}

namespace trelvant::cli {

// Where the configuration image comes from: a project folder (built in memory), two bank files,
// or merged firmware.
struct ImageSource {
    std::vector<std::string> files;       // PROJECT, or BANK1 BANK2
    std::optional<std::string> firmware;  // merged firmware, in place of files
};

// The image, decoded, told whether bank files lie beside the marker of an unfinished build; throws
// Error when it cannot be built or read.
ImageDump ReadReplayImage(const ImageSource& source);

// The files the source reads: what a command's outputs must never replace.
std::vector<std::filesystem::path> ImageSourceFiles(const ImageSource& source);

// The options that choose what the replay assumes where the image states nothing; replay and
// serve share them.
struct ReplayChoices {
    std::string pgnMatch = "literal";
    std::string sendOn = "flagged-write";
    int undrivenByte = 0xFF;
};

void AddReplayChoices(CLI::App& command, ReplayChoices& choices);
ReplayOptions ReplayOptionsOf(const ReplayChoices& choices);

struct ReplayCommandOptions {
    std::vector<std::string> arguments;  // IMAGE... LOG
    std::optional<std::string> firmware;
    std::optional<std::string> csv;
    ReplayChoices choices;
};

// Adds "replay" to the tool; its options land in options.
CLI::App* AddReplayCommand(CLI::App& tool, ReplayCommandOptions& options);

// Replays the log through the image: the assumptions in force and the notes on the image first,
// the summary last, on out; the register timeline into the CSV file. Returns 0, or 1 with the
// reason on err when the image or the log cannot be read or the CSV cannot be written.
int RunReplay(const ReplayCommandOptions& options, std::ostream& out, std::ostream& err);

// "Summary:", the lines of the log that held no data frame, then the gateway's summary.
void WriteReplaySummary(const CandumpReader& log, const ReplayGateway& gateway, std::ostream& out);

}  // namespace trelvant::cli
