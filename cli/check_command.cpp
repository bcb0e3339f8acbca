#include "cli/check_command.h"

#include "cli/build_command.h"
#include "image/project_check.h"
#include "platform/file_names.h"
#include "platform/json_text.h"

#include <CLI/CLI.hpp>

namespace trelvant::cli {
namespace {

void writeJson(const std::vector<Finding>& findings, std::ostream& out)
{
    out << "{\n  \"findings\": [";
    const char* separator = "\n";
    for (const Finding& finding : findings) {
        out << separator << "    {\"document\": " << JsonString(finding.document)
            << ", \"row\": " << (finding.row ? std::to_string(*finding.row) : "null")
            << ", \"attribute\": " << (finding.attribute.empty() ? "null" : JsonString(finding.attribute))
            << ", \"severity\": " << (finding.severity == Severity::Error ? "\"error\"" : "\"warning\"")
            << ", \"code\": " << JsonString(finding.code) << ", \"message\": " << JsonString(finding.message) << "}";
        separator = ",\n";
    }
    out << (findings.empty() ? "]" : "\n  ]") << ",\n  \"counts\": {\"errors\": "
        << CountFindings(findings, Severity::Error) << ", \"warnings\": " << CountFindings(findings, Severity::Warning)
        << "}\n}\n";
}

}  // namespace

CLI::App* AddCheckCommand(CLI::App& tool, CheckOptions& options)
{
    CLI::App* check = tool.add_subcommand(
        "check", "Check a project as Update Device would build it: values cut to their fields, register "
                 "collisions, rows that name no frame, and what would stop the build; writes nothing");
    check->add_option("PROJECT", options.project, "The project folder")->required()->check(ExistingFolder());
    check->add_flag("--json", options.json, "Write the findings as one JSON object");
    return check;
}

int RunCheck(const CheckOptions& options, std::ostream& out)
{
    const std::vector<Finding> findings = CheckProject(PathFromUtf8(options.project));
    if (options.json) {
        writeJson(findings, out);
    } else {
        for (const Finding& finding : findings) out << FindingLine(finding) << "\n";
        out << FindingsSummary(findings) << "\n";
    }
    return CountFindings(findings, Severity::Error) == 0 ? 0 : 1;
}

}  // namespace trelvant::cli
