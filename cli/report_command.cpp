#include "cli/report_command.h"

#include "cli/build_command.h"
#include "cli/output_checks.h"
#include "image/register_map.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <CLI/CLI.hpp>

#include <map>

namespace trelvant::cli {
namespace {

const std::map<std::string, RegisterMapFormat> kFormats = {
    {"text", RegisterMapFormat::Text},
    {"csv", RegisterMapFormat::Csv},
    {"html", RegisterMapFormat::Html},
    {"markdown", RegisterMapFormat::Markdown},
};

}  // namespace

CLI::App* AddReportCommand(CLI::App& tool, ReportOptions& options)
{
    CLI::App* report = tool.add_subcommand(
        "report", "Write the register map: every Modbus register the gateway serves, with its frame, PGN and frame "
                  "bytes, the frames' bytes and what drives them, and the findings of the check on their rows");
    report->add_option("PROJECT", options.project, "The project folder")
        ->required()
        ->check(ExistingFolder());
    report->add_option("--format", options.format,
                       "text for the terminal, csv for a PLC tool's import (one row per register), html for one "
                       "self-contained page to read or print, markdown for a wiki or a ticket")
        ->check(CLI::IsMember({"text", "csv", "html", "markdown"}))
        ->capture_default_str();
    report->add_option("--output", options.output, "Write the report to FILE, replacing it whole, in place of standard output; - is standard output")
        ->type_name("FILE");
    return report;
}

int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err)
{
    const std::filesystem::path project = PathFromUtf8(options.project);
    const bool toFile = options.output && *options.output != "-";
    try {
        if (toFile) RefuseOutputOverInputs(PathFromUtf8(*options.output), {project});
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
    const RegisterMap map = ReadRegisterMap(project);
    const std::string text = FormatRegisterMap(map, kFormats.at(options.format));
    if (!toFile) {
        out << text;
        return 0;
    }
    try {
        WriteFileAtomically(PathFromUtf8(*options.output), text);
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace trelvant::cli
