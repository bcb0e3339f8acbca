#include "cli/replay_command.h"

#include "cli/output_checks.h"
#include "image/bank_files.h"
#include "image/bank_reader.h"
#include "image/image_builder.h"
#include "image/image_dump.h"
#include "platform/atomic_output_file.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "replay/can_log.h"
#include "replay/replay_gateway.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <memory>

namespace trelvant::cli {
namespace {

void skippedLines(const CandumpReader& log, std::ostream& out)
{
    const CandumpSkipped& skipped = log.skipped();
    const auto counted = [](std::size_t n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    out << "Log: " << counted(log.lines(), "line") << "; skipped " << counted(skipped.remote, "remote request frame")
        << ", " << counted(skipped.fd, "CAN FD frame") << ", " << counted(skipped.error, "error frame") << " and "
        << skipped.malformed << (skipped.malformed == 1 ? " line that is" : " lines that are") << " no frame";
    if (skipped.malformed > 0) out << " (the first is line " << skipped.firstMalformedLine << ")";
    out << "\n";
}

}  // namespace

ImageDump ReadReplayImage(const ImageSource& source)
{
    auto image = std::make_unique<ConfigurationImage>();
    if (source.firmware) {
        ReadFirmwareBanks(PathFromUtf8(*source.firmware), *image);
    } else if (source.files.size() == 1) {
        const std::filesystem::path project = PathFromUtf8(source.files[0]);
        if (!std::filesystem::is_directory(project))
            throw Error(DisplayPath(project) + " is not a project folder; give a project folder, two bank files or "
                                               "--firmware FILE");
        BuildConfigurationImage(*image, project, SystemClock());
    } else {
        ReadBankFile(PathFromUtf8(source.files.at(0)), 1, *image);
        ReadBankFile(PathFromUtf8(source.files.at(1)), 2, *image);
    }
    ImageDump dump = DumpConfigurationImage(*image);
    if (!source.firmware && source.files.size() == 2)
        dump.unfinishedBuild = BankFileOfUnfinishedBuild(PathFromUtf8(source.files[0])) ||
                               BankFileOfUnfinishedBuild(PathFromUtf8(source.files[1]));
    return dump;
}

std::vector<std::filesystem::path> ImageSourceFiles(const ImageSource& source)
{
    std::vector<std::filesystem::path> files;
    for (const std::string& file : source.files) files.push_back(PathFromUtf8(file));
    if (source.firmware) files.push_back(PathFromUtf8(*source.firmware));
    return files;
}

void AddReplayChoices(CLI::App& command, ReplayChoices& choices)
{
    command.add_option("--pgn-match", choices.pgnMatch,
                       "literal: identifier bits 8 to 25 equal the stored PGN; j1939: the J1939 PGNs are equal, "
                       "without the destination of a PDU1 PGN")
        ->check(CLI::IsMember({"literal", "j1939"}))
        ->capture_default_str();
    command.add_option("--send-on", choices.sendOn,
                       "flagged-write: a write to a register whose Write J1939 flag is set sends its frame, while "
                       "pargen.xml enables writing; any-write: a write to any register of a transmit frame sends it")
        ->check(CLI::IsMember({"flagged-write", "any-write"}))
        ->capture_default_str();
    command.add_option("--undriven-byte", choices.undrivenByte,
                       "The value of a transmit byte that no register drives, 0 to 255 (0xFF: J1939's not available)")
        ->check(CLI::Range(0, 255))
        ->default_str("0xFF");
}

ReplayOptions ReplayOptionsOf(const ReplayChoices& choices)
{
    ReplayOptions options;
    options.pgnMatch = choices.pgnMatch == "j1939" ? PgnMatch::J1939 : PgnMatch::Literal;
    options.sendOn = choices.sendOn == "any-write" ? SendOn::AnyWrite : SendOn::FlaggedWrite;
    options.undrivenByte = static_cast<std::uint8_t>(choices.undrivenByte);
    return options;
}

CLI::App* AddReplayCommand(CLI::App& tool, ReplayCommandOptions& options)
{
    std::string assumptions;
    for (const std::string& line : ReplayGateway::Assumptions({})) assumptions += "\n  - " + line;
    CLI::App* replay = tool.add_subcommand(
        "replay", "Replay a candump log through a configuration image: which frames fill which registers, which "
                  "frames never match, and why");
    replay->footer("IMAGE is a project folder (built in memory), BANK1 BANK2 (bank1.bin and bank2.bin of a build), "
                   "or --firmware FILE. LOG is a candump log (candump -l). Assumptions in force where the image "
                   "states nothing:" + assumptions);
    replay->add_option("IMAGE_AND_LOG", options.arguments, "PROJECT LOG, BANK1 BANK2 LOG, or LOG with --firmware")
        ->required()
        ->expected(1, 3)
        ->type_name("FILE");
    replay->add_option("--firmware", options.firmware, "Merged firmware (S-records) in place of a project or bank files")
        ->type_name("FILE");
    replay->add_option("--csv", options.csv,
                       "Write the register timeline to FILE: time, register, value and receive frame, a line for "
                       "each register a frame changes")
        ->type_name("FILE");
    AddReplayChoices(*replay, options.choices);
    replay->callback([&options] {
        const std::size_t count = options.arguments.size();
        if (options.firmware ? count != 1 : (count != 2 && count != 3))
            throw CLI::ValidationError("replay", options.firmware ? "give LOG alone with --firmware FILE"
                                                                  : "give PROJECT LOG, or BANK1 BANK2 LOG");
    });
    return replay;
}

int RunReplay(const ReplayCommandOptions& options, std::ostream& out, std::ostream& err)
{
    try {
        ImageSource source;
        source.firmware = options.firmware;
        source.files.assign(options.arguments.begin(), options.arguments.end() - 1);
        if (options.csv) {
            std::vector<std::filesystem::path> inputs = ImageSourceFiles(source);
            inputs.push_back(PathFromUtf8(options.arguments.back()));
            RefuseOutputOverInputs(PathFromUtf8(*options.csv), inputs);
        }
        const ReplayOptions replayOptions = ReplayOptionsOf(options.choices);
        ReplayGateway gateway(ReadReplayImage(source), replayOptions);
        CandumpReader log(PathFromUtf8(options.arguments.back()));

        out << "Assumptions in force:\n";
        for (const std::string& line : ReplayGateway::Assumptions(replayOptions)) out << "  - " << line << "\n";
        if (!gateway.notes().empty()) {
            out << "The image:\n";
            for (const std::string& line : gateway.notes()) out << "  - " << line << "\n";
        }

        std::unique_ptr<AtomicOutputFile> csv;
        if (options.csv) {
            csv = std::make_unique<AtomicOutputFile>(PathFromUtf8(*options.csv));
            csv->append("time,register,value,frame\r\n");
        }
        std::string line;
        while (const std::optional<CanFrame> frame = log.next()) {
            const ReceiveResult result = gateway.receive(*frame);
            if (!csv || result.changes.empty()) continue;
            const std::string prefix = CandumpTimeText(frame->time) + ",";
            const std::string suffix = "," + std::to_string(*result.frame + 1) + "\r\n";
            for (const RegisterChange& change : result.changes) {
                line = prefix;
                line += std::to_string(change.reg);
                line += ',';
                line += std::to_string(change.value);
                line += suffix;
                csv->append(line);
            }
        }
        if (csv && !csv->commit()) throw Error(csv->failureMessage());

        WriteReplaySummary(log, gateway, out);
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
    return 0;
}

void WriteReplaySummary(const CandumpReader& log, const ReplayGateway& gateway, std::ostream& out)
{
    out << "Summary:\n";
    skippedLines(log, out);
    for (const std::string& text : gateway.summary()) out << text << "\n";
}

}  // namespace trelvant::cli
