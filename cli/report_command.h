#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace trelvant::cli {

struct ReportOptions {
    std::string project;
    std::string format = "text";        // text, csv, html or markdown
    std::optional<std::string> output;  // a file in place of standard output
};

// Adds "report" to the tool; its options land in options.
CLI::App* AddReportCommand(CLI::App& tool, ReportOptions& options);

// Writes the register map of the project to out, or whole to the output file. Returns 0, or 1
// with the reason on err when the file cannot be written. Findings of the check are part of the
// map and do not change the status.
int RunReport(const ReportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trelvant::cli
