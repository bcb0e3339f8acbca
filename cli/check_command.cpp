#include "cli/check_command.h"

#include "cli/build_command.h"
#include "image/project_check.h"
#include "platform/file_names.h"

#include <CLI/CLI.hpp>

#include <cstdio>

namespace trelvant::cli {
namespace {

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[7];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;  // UTF-8 as the documents hold it
            }
        }
    }
    return out + "\"";
}

void writeJson(const std::vector<Finding>& findings, std::ostream& out)
{
    out << "{\n  \"findings\": [";
    const char* separator = "\n";
    for (const Finding& finding : findings) {
        out << separator << "    {\"document\": " << jsonString(finding.document)
            << ", \"row\": " << (finding.row ? std::to_string(*finding.row) : "null")
            << ", \"attribute\": " << (finding.attribute.empty() ? "null" : jsonString(finding.attribute))
            << ", \"severity\": " << (finding.severity == Severity::Error ? "\"error\"" : "\"warning\"")
            << ", \"code\": " << jsonString(finding.code) << ", \"message\": " << jsonString(finding.message) << "}";
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
