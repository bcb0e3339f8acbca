#include "cli/check_command.h"

#include "cli/build_command.h"
#include "image/project_check.h"
#include "platform/file_names.h"
#include "platform/json_text.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <new>

namespace trelvant::cli {
namespace {

std::string jsonText(std::string_view text)
{
    return JsonString(ValidUtf8(text));
}

void writeJson(const std::vector<Finding>& findings, std::ostream& out)
{
    out << "{\n  \"findings\": [";
    const char* separator = "\n";
    for (const Finding& finding : findings) {
        out << separator << "    {\"document\": " << jsonText(finding.document)
            << ", \"row\": " << (finding.row ? std::to_string(*finding.row) : "null")
            << ", \"attribute\": " << (finding.attribute.empty() ? "null" : jsonText(finding.attribute))
            << ", \"severity\": " << (finding.severity == Severity::Error ? "\"error\"" : "\"warning\"")
            << ", \"code\": " << jsonText(finding.code) << ", \"message\": " << jsonText(finding.message) << "}";
        separator = ",\n";
    }
    out << (findings.empty() ? "]" : "\n  ]") << ",\n  \"counts\": {\"errors\": "
        << CountFindings(findings, Severity::Error) << ", \"warnings\": " << CountFindings(findings, Severity::Warning)
        << "}\n}\n";
}

// What a refused check writes with --json, beside the message on standard error.
void writeRefusal(const std::string& message, std::ostream& out)
{
    out << "{\n  \"error\": " << jsonText(message) << "\n}\n";
}

}  // namespace

CLI::App* AddCheckCommand(CLI::App& tool, CheckOptions& options)
{
    CLI::App* check = tool.add_subcommand(
        "check", "Check a project as Update Device would build it: values cut to their fields, register "
                 "collisions, rows that name no frame, and what would stop the build; writes nothing");
    // The folder is checked once the options are parsed, so that a refusal with --json also
    // writes JSON.
    check->add_option("PROJECT", options.project, "The project folder")->required()->type_name("TEXT:DIR");
    check->add_flag("--json", options.json, "Write the findings as one JSON object");
    check->callback([&options] {
        const std::string fault = ExistingFolder()(options.project);
        if (fault.empty()) return;
        const CLI::ValidationError refusal("PROJECT", fault);
        if (options.json) writeRefusal(refusal.what(), std::cout);
        throw refusal;
    });
    return check;
}

int RunCheck(const CheckOptions& options, std::ostream& out)
{
    std::vector<Finding> findings;
    try {
        findings = CheckProject(PathFromUtf8(options.project));
    } catch (const std::bad_alloc&) {
        if (options.json) writeRefusal("Not enough memory to complete the operation", out);
        throw;
    } catch (const std::exception& e) {
        if (options.json) writeRefusal(e.what(), out);
        throw;
    }
    if (options.json) {
        writeJson(findings, out);
    } else {
        for (const Finding& finding : findings) out << FindingLine(finding) << "\n";
        out << FindingsSummary(findings) << "\n";
    }
    return CountFindings(findings, Severity::Error) == 0 ? 0 : 1;
}

}  // namespace trelvant::cli
