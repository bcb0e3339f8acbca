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

// The length of the well-formed UTF-8 sequence at the start of text, or 0 when it starts with
// none: a lead byte and its continuation bytes, no overlong form, no surrogate, nothing above
// U+10FFFF.
std::size_t sequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) return 0;
        const unsigned char b = byte(i);
        if (i == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return length;
}

// text with every byte that starts no well-formed UTF-8 sequence replaced by U+FFFD: a document
// written in an 8-bit code page ("K\xFChler") still gives a JSON string.
std::string validUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = sequenceLength(text.substr(at))) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out += "\xEF\xBF\xBD";
            at += 1;
        }
    }
    return out;
}

std::string jsonText(std::string_view text)
{
    return JsonString(validUtf8(text));
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
