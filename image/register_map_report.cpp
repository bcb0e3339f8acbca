// The register map written out: for the terminal, for a PLC tool's import (CSV), for a wiki or a
// ticket (Markdown), and as one self-contained page to read or print (HTML).
#include "image/register_map.h"

#include "platform/atomic_file.h"
#include "platform/json_text.h"
#include "platform/terminal_text.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace trelvant {
namespace {

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string pgnHex(std::uint32_t pgn)
{
    return hex(pgn, pgn > 0xFFFF ? (pgn > 0xFFFFF ? 8 : 5) : 4);
}

std::string directionText(RegisterRole role)
{
    switch (role) {
    case RegisterRole::Received: return "CAN to Modbus";
    case RegisterRole::Sent: return "Modbus to CAN";
    case RegisterRole::Parameter: return "pargen.xml";
    }
    return {};
}

std::string parameterMeaning(std::string_view element)
{
    if (element == "TO_ModReg") return "data time-out register";
    if (element == "Pri_Des") return "remote request: priority and destination";
    if (element == "PGN1") return "remote request: PGN part 1";
    if (element == "PGN2") return "remote request: PGN part 2";
    if (element == "SA") return "remote request: source address";
    return std::string(element);
}

std::string registerText(const MapRegister& reg)
{
    if (reg.reg) return std::to_string(*reg.reg);
    return "? (\"" + reg.indexText + "\")";
}

// What the register is tied to: its frame, or its meaning in pargen.xml.
std::string frameText(const RegisterMap& map, const MapRegister& reg, bool withMnemonic)
{
    if (reg.role == RegisterRole::Parameter) return parameterMeaning(reg.parameter) + " (" + reg.parameter + ")";
    if (!reg.frameNumber) return "no frame number";
    if (const MapFrame* frame = map.frameOf(reg)) {
        std::string text = std::to_string(frame->number);
        if (withMnemonic && !frame->mnemonic.empty()) text += " " + frame->mnemonic;
        return text;
    }
    return std::to_string(*reg.frameNumber) + ": not in the frame list";
}

std::string pgnText(const MapFrame& frame)
{
    if (!frame.pgn) return "? (\"" + frame.pgnText + "\")";
    if (!frame.j1939) return hex(*frame.pgn, 3) + " (" + std::to_string(*frame.pgn) + ")";
    return std::to_string(*frame.pgn) + " (" + pgnHex(*frame.pgn) + ")";
}

// What tells the frames apart on the bus: the PGN, or the 11-bit identifier without pargen.xml.
std::string frameKey(const RegisterMap& map)
{
    return map.layout == RegisterMapLayout::J1939 ? "PGN" : "Identifier";
}

std::string pduText(const MapFrame& frame)
{
    if (!frame.pduFormat()) return {};
    if (!frame.pdu1()) return "PDU2";
    return "PDU1, destination " + std::to_string(frame.destination());
}

// Receive frames: the source address; transmit frames: the identifier and its priority and data page.
std::string addressText(const MapFrame& frame)
{
    if (frame.direction == Direction::Receive) {
        if (!frame.device) return "source ?";
        return (frame.j1939 ? "source address " : "device ") + std::to_string(*frame.device);
    }
    if (!frame.j1939) return frame.device ? "device " + std::to_string(*frame.device) : "device ?";
    if (!frame.identifier) return "identifier ?";
    return "identifier " + hex(*frame.identifier, 8) + ", priority " + std::to_string(frame.priority) + ", data page " +
           std::to_string(frame.dataPage);
}

std::string writeText(const RegisterMap& map, const MapRegister& reg)
{
    if (reg.role != RegisterRole::Sent) return {};
    std::string text = std::to_string(reg.writeFlag);
    if (reg.writeFlag == 0) return text;
    if (reg.writeInEffect) return text + ", in effect";
    return text + (map.layout == RegisterMapLayout::J1939 ? ", off: pargen.xml disables writing" : ", off: no pargen.xml");
}

std::string shortOrder(const MapRegister& reg)
{
    const std::optional<std::string> order = reg.byteOrder();
    if (!order) return {};
    return order->find("least") != std::string::npos ? "LSB first" : "MSB first";
}

std::string halfText(const ByteUse& use)
{
    return std::to_string(use.reg) + (use.high ? " high" : " low");
}

// The register halves a frame byte goes with: "200 high, 201 low"; empty for none.
std::string usesText(const std::vector<ByteUse>& uses)
{
    std::string text;
    for (const ByteUse& use : uses) text += (text.empty() ? "" : ", ") + halfText(use);
    return text;
}

// The cells of a register's row after the register itself, as every table of registers shows
// them: direction, frame, PGN, PDU, source or identifier, high byte, low byte, byte order, Write
// J1939. order gives the byte order's text.
std::vector<std::string> registerCells(const RegisterMap& map, const MapRegister& reg,
                                       std::string (*order)(const MapRegister&))
{
    const MapFrame* frame = map.frameOf(reg);
    const bool mapped = reg.role != RegisterRole::Parameter;
    return {directionText(reg.role),
            frameText(map, reg, true),
            frame ? pgnText(*frame) : "",
            frame ? pduText(*frame) : "",
            frame ? addressText(*frame) : "",
            mapped ? ByteChoiceText(reg.high()) : "",
            mapped ? ByteChoiceText(reg.low()) : "",
            order(reg),
            writeText(map, reg)};
}

std::string longOrder(const MapRegister& reg)
{
    return reg.byteOrder().value_or("");
}

std::string bytesList(const std::vector<int>& bytes)
{
    std::string text;
    for (const int b : bytes) text += (text.empty() ? "B" : ", B") + std::to_string(b);
    return text;
}

std::vector<int> unusedBytes(const MapFrame& frame)
{
    std::vector<int> unused;
    for (int b = 1; b <= 8; ++b)
        if (frame.bytes[static_cast<std::size_t>(b - 1)].empty()) unused.push_back(b);
    return unused;
}

std::string unusedLabel(const MapFrame& frame)
{
    return frame.direction == Direction::Receive ? "Bytes no register takes" : "Bytes no register drives";
}

std::string frameHeading(const MapFrame& frame)
{
    std::string text = "Frame " + std::to_string(frame.number);
    if (!frame.mnemonic.empty()) text += " " + frame.mnemonic;
    text += (frame.j1939 ? ": PGN " : ": identifier ") + pgnText(frame);
    if (const std::string pdu = pduText(frame); !pdu.empty()) text += ", " + pdu;
    return text + ", " + addressText(frame);
}

// The findings of one severity, each with its place: "RInfoCob.xml, row 3: Modbus index ...".
std::string findingsText(const std::vector<Finding>& findings, Severity severity)
{
    std::string text;
    for (const Finding& finding : findings) {
        if (finding.severity != severity) continue;
        text += (text.empty() ? "" : "; ") + finding.document;
        if (finding.row) text += ", row " + std::to_string(*finding.row);
        text += ": " + finding.message;
    }
    return text;
}

// The project's facts that do not change from one build to the next.
std::vector<std::pair<std::string, std::string>> facts(const RegisterMap& map)
{
    std::vector<std::pair<std::string, std::string>> list;
    list.emplace_back("Project", map.projectName);
    if (map.layout == RegisterMapLayout::Can20A) {
        list.emplace_back("Layout", "CAN 2.0A, 11-bit identifiers (the project has no pargen.xml)");
    } else {
        list.emplace_back("Layout", "J1939, 29-bit identifiers");
        list.emplace_back("CAN bit rate", map.canBitRate.value_or("not given"));
        list.emplace_back("Serial line", map.serialSettings.value_or("not given"));
        list.emplace_back("Modbus unit id", map.slaveId ? std::to_string(*map.slaveId) : "not given");
        list.emplace_back("Write J1939 on request", map.writeEnabled ? "enabled" : "disabled");
        list.emplace_back("Remote requests", map.remoteRequests ? "enabled" : "disabled");
    }
    const auto rows = [&](RegisterRole role) {
        return std::count_if(map.registers.begin(), map.registers.end(),
                             [role](const MapRegister& r) { return r.role == role; });
    };
    const auto counted = [](std::size_t n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    list.emplace_back("Receive", counted(map.receiveFrames.size(), "frame") + ", " +
                                     counted(static_cast<std::size_t>(rows(RegisterRole::Received)), "register"));
    list.emplace_back("Transmit", counted(map.transmitFrames.size(), "frame") + ", " +
                                      counted(static_cast<std::size_t>(rows(RegisterRole::Sent)), "register"));
    const std::size_t errors = map.count(Severity::Error), warnings = map.count(Severity::Warning);
    list.emplace_back("Check", errors + warnings == 0 ? std::string("no problems found")
                                                      : counted(errors, "error") + ", " + counted(warnings, "warning"));
    return list;
}

// Under each register table: what the numbers are, and the byte order hint.
constexpr std::string_view kRegisterColumnNote =
    "Register: the number as stored; whether the device takes it as a zero-based address or a one-based register "
    "number is not stated (see the notes).";

// ---- Text ----

// The characters a terminal shows for text: UTF-8 continuation bytes take no column.
std::size_t columns(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string padded(const std::string& text, std::size_t width)
{
    const std::size_t used = columns(text);
    return used >= width ? text : text + std::string(width - used, ' ');
}

// Text for the terminal: a control character of a mnemonic (a line break, an escape sequence, a
// right-to-left override) is shown as "?", so that it neither breaks the table nor reaches the
// terminal.
std::string plain(const std::string& text)
{
    std::string shown = TerminalTextReplaced(text, '?');
    std::replace_if(shown.begin(), shown.end(), [](char c) { return c == '\t' || c == '\n'; }, '?');
    return shown;
}

std::string textTable(const std::vector<std::vector<std::string>>& rows,
                      const std::vector<std::vector<std::string>>& below)
{
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], columns(row[c]));
    std::string out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            line += c + 1 == rows[r].size() ? rows[r][c] : padded(rows[r][c], widths[c] + 2);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
        for (const std::string& extra : below[r]) out += "    " + extra + "\n";
    }
    return out;
}

}  // namespace

std::vector<std::string> RegisterMapNotes(const RegisterMap& map)
{
    std::vector<std::string> notes = {
        "Register numbers are shown as the byte maps and pargen.xml store them. The configuration does not state "
        "whether the device takes a number as the zero-based address of a Modbus request or as a one-based register "
        "number (the address plus 1, often written 40001 and up); confirm it on the device before the PLC program "
        "uses these numbers.",
        "A received register changes only in the bytes its frame fills; what it holds before its first frame and "
        "after the data time-out is the device's and is not stated by the configuration.",
        "The value the device sends in a transmit frame's byte that no register drives is not stated by the "
        "configuration. J1939 marks a byte that carries nothing with 0xFF, but nothing here says that the device "
        "does.",
        "When the device sends a transmit frame (on a write of a register whose Write J1939 flag is in effect, on a "
        "schedule, or otherwise) is not stated by the configuration.",
    };
    if (map.layout == RegisterMapLayout::J1939)
        notes.push_back(
            "A PGN whose PDU format is below 240 (PDU1) is destination-specific: its low byte is a destination "
            "address. A receive frame's PGN is stored whole; whether the device compares that low byte with the "
            "destination of a received identifier or ignores it is not stated by the configuration.");
    else
        notes.push_back("The project has no pargen.xml, so the image is built for 11-bit CAN 2.0A identifiers: the "
                        "frames have identifiers, not PGNs, and the device's serial and CAN settings are those of an "
                        "earlier build.");
    return notes;
}

std::string RegisterMapText(const RegisterMap& map)
{
    std::string out = "Register map of " + plain(map.projectName) + "\n\n";
    for (const auto& [name, value] : facts(map)) out += padded(name + ":", 24) + plain(value) + "\n";

    out += "\nRegisters\n";
    std::vector<std::vector<std::string>> rows = {
        {"Register", "Direction", "Frame", frameKey(map), "PDU", "Source or identifier", "High", "Low", "Order",
         "Write J1939"}};
    std::vector<std::vector<std::string>> below = {{}};
    for (const MapRegister& reg : map.registers) {
        std::vector<std::string> row = registerCells(map, reg, shortOrder);
        row.insert(row.begin(), registerText(reg));
        for (std::string& cell : row) cell = plain(std::move(cell));
        rows.push_back(std::move(row));
        std::vector<std::string> lines;
        for (const Finding& finding : reg.findings) lines.push_back(plain(FindingLine(finding)));
        below.push_back(std::move(lines));
    }
    if (map.registers.empty()) out += "No register is mapped.\n";
    else out += textTable(rows, below);
    out += std::string(kRegisterColumnNote) + "\n";
    out += "LSB first: 16-bit value least significant byte first (high byte B(n+1), low byte B(n)), as J1939 sends "
           "its values; MSB first: the other way round.\n";

    for (const auto* frames : {&map.receiveFrames, &map.transmitFrames}) {
        const bool receive = frames == &map.receiveFrames;
        out += receive ? "\nReceive frames (CAN to Modbus)\n" : "\nTransmit frames (Modbus to CAN)\n";
        if (frames->empty()) out += "None.\n";
        for (const MapFrame& frame : *frames) {
            out += plain(frameHeading(frame)) + "\n";
            for (std::size_t b = 0; b < 8; ++b) {
                if (frame.bytes[b].empty()) continue;
                out += "  B" + std::to_string(b + 1) + ": " + usesText(frame.bytes[b]) + "\n";
            }
            if (const std::vector<int> unused = unusedBytes(frame); !unused.empty())
                out += "  " + unusedLabel(frame) + ": " + bytesList(unused) + "\n";
            for (const Finding& finding : frame.findings) out += "  " + plain(FindingLine(finding)) + "\n";
        }
    }

    out += "\nNotes\n";
    for (const std::string& note : RegisterMapNotes(map)) out += "- " + note + "\n";
    if (!map.otherFindings.empty()) {
        out += "\nOther findings of the check\n";
        for (const Finding& finding : map.otherFindings) out += plain(FindingLine(finding)) + "\n";
    }
    return out;
}

// ---- CSV ----

namespace {

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string RegisterMapCsv(const RegisterMap& map)
{
    static constexpr std::string_view kEnd = "\r\n";
    std::string out =
        "Register,Direction,Map row,Frame,Mnemonic,PGN,PGN hex,PDU,Destination address,Source address,Identifier,"
        "Priority,Data page,High byte,Low byte,Byte order,Write J1939 stored,Write J1939 in effect,Parameter,Errors,"
        "Warnings";
    out += kEnd;
    for (const MapRegister& reg : map.registers) {
        const MapFrame* frame = map.frameOf(reg);
        const bool mapped = reg.role != RegisterRole::Parameter;
        const bool transmitJ1939 = frame && frame->direction == Direction::Transmit && frame->identifier;
        std::vector<std::string> fields = {
            reg.reg ? std::to_string(*reg.reg) : reg.indexText,
            directionText(reg.role),
            mapped ? std::to_string(reg.documentRow) : "",
            mapped ? (reg.frameNumber ? std::to_string(*reg.frameNumber) : "") : "",
            frame ? frame->mnemonic : "",
            frame && frame->j1939 && frame->pgn ? std::to_string(*frame->pgn) : "",
            frame && frame->j1939 && frame->pgn ? pgnHex(*frame->pgn) : "",
            frame && frame->pduFormat() ? (frame->pdu1() ? "PDU1" : "PDU2") : "",
            frame && frame->pdu1() ? std::to_string(frame->destination()) : "",
            frame && frame->direction == Direction::Receive && frame->device ? std::to_string(*frame->device) : "",
            transmitJ1939 ? hex(*frame->identifier, 8) : (frame && !frame->j1939 && frame->pgn ? hex(*frame->pgn, 3) : ""),
            transmitJ1939 ? std::to_string(frame->priority) : "",
            transmitJ1939 ? std::to_string(frame->dataPage) : "",
            mapped ? ByteChoiceText(reg.high()) : "",
            mapped ? ByteChoiceText(reg.low()) : "",
            reg.byteOrder().value_or(""),
            reg.role == RegisterRole::Sent ? std::to_string(reg.writeFlag) : "",
            reg.role == RegisterRole::Sent ? (reg.writeInEffect ? "yes" : "no") : "",
            mapped ? "" : reg.parameter + ": " + parameterMeaning(reg.parameter),
            findingsText(reg.findings, Severity::Error),
            findingsText(reg.findings, Severity::Warning),
        };
        for (std::size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + csvField(fields[i]);
        out += kEnd;
    }
    return out;
}

// ---- Markdown ----

namespace {

// Text that Markdown shows as it stands, in a table cell too.
std::string markdown(std::string_view text)
{
    std::string out;
    for (const char c : ValidUtf8(text)) {
        if (c == '\r' || c == '\n' || c == '\t') {
            out += ' ';
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            out += "\xEF\xBF\xBD";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&') {
            out += "&amp;";
        } else {
            if (std::string_view("\\`*_[]|#!~").find(c) != std::string_view::npos) out += '\\';
            out += c;
        }
    }
    return out;
}

std::string markdownRow(const std::vector<std::string>& cells)
{
    std::string line = "|";
    for (const std::string& cell : cells) line += " " + markdown(cell) + " |";
    return line + "\n";
}

}  // namespace

std::string RegisterMapMarkdown(const RegisterMap& map)
{
    std::string out = "# Register map of " + markdown(map.projectName) + "\n\n";
    for (const auto& [name, value] : facts(map)) out += "- **" + markdown(name) + ":** " + markdown(value) + "\n";

    out += "\n## Registers\n\n";
    if (map.registers.empty()) out += "No register is mapped.\n";
    else {
        out += "| Register | Direction | Frame | " + frameKey(map) +
               " | PDU | Source or identifier | High | Low | Byte order | Write J1939 | Findings |\n";
        out += "|---:|---|---|---|---|---|---|---|---|---|---|\n";
        for (const MapRegister& reg : map.registers) {
            std::string findings;
            for (const Finding& finding : reg.findings) findings += (findings.empty() ? "" : "; ") + FindingLine(finding);
            std::vector<std::string> row = registerCells(map, reg, longOrder);
            row.insert(row.begin(), registerText(reg));
            row.push_back(findings);
            out += markdownRow(row);
        }
        out += "\n" + markdown(kRegisterColumnNote) + "\n";
    }

    for (const auto* frames : {&map.receiveFrames, &map.transmitFrames}) {
        const bool receive = frames == &map.receiveFrames;
        out += receive ? "\n## Receive frames (CAN to Modbus)\n" : "\n## Transmit frames (Modbus to CAN)\n";
        if (frames->empty()) out += "\nNone.\n";
        for (const MapFrame& frame : *frames) {
            out += "\n### " + markdown(frameHeading(frame)) + "\n\n";
            out += "| Byte | B1 | B2 | B3 | B4 | B5 | B6 | B7 | B8 |\n|---|---|---|---|---|---|---|---|---|\n";
            out += std::string("| ") + (receive ? "Fills" : "Driven by") + " |";
            for (const auto& uses : frame.bytes)
                out += " " + (uses.empty() ? std::string("\xE2\x80\x94") : markdown(usesText(uses))) + " |";
            out += "\n";
            if (const std::vector<int> unused = unusedBytes(frame); !unused.empty())
                out += "\n" + unusedLabel(frame) + ": " + bytesList(unused) + ".\n";
            for (const Finding& finding : frame.findings) out += "\n- " + markdown(FindingLine(finding)) + "\n";
        }
    }

    out += "\n## Notes\n\n";
    for (const std::string& note : RegisterMapNotes(map)) out += "- " + markdown(note) + "\n";
    if (!map.otherFindings.empty()) {
        out += "\n## Other findings of the check\n\n";
        for (const Finding& finding : map.otherFindings) out += "- " + markdown(FindingLine(finding)) + "\n";
    }
    return out;
}

// ---- HTML ----

namespace {

std::string html(std::string_view text)
{
    std::string out;
    for (const char c : ValidUtf8(text)) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default:
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F) out += "\xEF\xBF\xBD";
            else out += c;
        }
    }
    return out;
}

constexpr std::string_view kStyle = R"(body { font-family: "Segoe UI", "DejaVu Sans", Arial, sans-serif; font-size: 10pt; color: #111; background: #fff; margin: 1.5em; }
h1 { font-size: 16pt; margin: 0 0 0.5em 0; }
h2 { font-size: 13pt; margin: 1.2em 0 0.4em 0; border-bottom: 1px solid #555; }
h3 { font-size: 10.5pt; margin: 0.9em 0 0.3em 0; }
table.facts th, table.facts td { border: none; background: none; padding: 0.05em 1em 0.05em 0; }
table { border-collapse: collapse; margin: 0.3em 0; }
th, td { border: 1px solid #777; padding: 0.15em 0.4em; text-align: left; vertical-align: top; }
th { background: #e4e4e4; }
td.number { text-align: right; font-variant-numeric: tabular-nums; }
tr.error td { background: #fde2e2; }
tr.warning td { background: #fff3cd; }
ul.findings { margin: 0; padding-left: 1.1em; }
span.error { color: #8b0000; font-weight: bold; }
span.warning { color: #6b4400; font-weight: bold; }
p.unused { margin: 0.2em 0; }
table.bytes td { min-width: 4.5em; }
@page { size: A4 landscape; margin: 10mm; }
@media print {
  body { margin: 0; font-size: 8pt; }
  h2 { break-after: avoid; }
  h3 { break-after: avoid; }
  tr, section.frame { break-inside: avoid; }
  thead { display: table-header-group; }
}
)";

std::string findingItems(const std::vector<Finding>& findings)
{
    if (findings.empty()) return {};
    std::string out = "<ul class=\"findings\">";
    for (const Finding& finding : findings) {
        const bool error = finding.severity == Severity::Error;
        out += std::string("<li><span class=\"") + (error ? "error\">error" : "warning\">warning") + "</span>: " +
               html(finding.document) + (finding.row ? ", row " + std::to_string(*finding.row) : "") + ": " +
               html(finding.message) + "</li>";
    }
    return out + "</ul>";
}

std::string rowClass(const std::vector<Finding>& findings)
{
    if (CountFindings(findings, Severity::Error) > 0) return " class=\"error\"";
    if (CountFindings(findings, Severity::Warning) > 0) return " class=\"warning\"";
    return {};
}

}  // namespace

std::string RegisterMapHtml(const RegisterMap& map)
{
    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>Register map of " +
                      html(map.projectName) + "</title>\n<style>\n" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
    out += "<h1>Register map of " + html(map.projectName) + "</h1>\n<table class=\"facts\">\n";
    for (const auto& [name, value] : facts(map))
        out += "<tr><th scope=\"row\">" + html(name) + "</th><td>" + html(value) + "</td></tr>\n";
    out += "</table>\n";

    out += "<h2>Registers</h2>\n";
    if (map.registers.empty()) {
        out += "<p>No register is mapped.</p>\n";
    } else {
        out += "<table id=\"registers\">\n<thead><tr><th>Register</th><th>Direction</th><th>Frame</th><th>" +
               frameKey(map) +
               "</th><th>PDU</th><th>Source or identifier</th><th>High byte</th><th>Low byte</th><th>Byte order</th>"
               "<th>Write J1939</th><th>Findings</th></tr></thead>\n<tbody>\n";
        for (const MapRegister& reg : map.registers) {
            out += "<tr" + rowClass(reg.findings) + "><td class=\"number\">" + html(registerText(reg)) + "</td>";
            for (const std::string& cell : registerCells(map, reg, longOrder)) out += "<td>" + html(cell) + "</td>";
            out += "<td>" + findingItems(reg.findings) + "</td></tr>\n";
        }
        out += "</tbody>\n</table>\n<p class=\"note\">" + html(kRegisterColumnNote) + "</p>\n";
    }

    for (const auto* frames : {&map.receiveFrames, &map.transmitFrames}) {
        const bool receive = frames == &map.receiveFrames;
        out += receive ? "<h2>Receive frames (CAN to Modbus)</h2>\n" : "<h2>Transmit frames (Modbus to CAN)</h2>\n";
        if (frames->empty()) out += "<p>None.</p>\n";
        for (const MapFrame& frame : *frames) {
            out += "<section class=\"frame\">\n<h3>" + html(frameHeading(frame)) + "</h3>\n<table class=\"bytes\"><tr><th>Byte</th>";
            for (int b = 1; b <= 8; ++b) out += "<th>B" + std::to_string(b) + "</th>";
            out += std::string("</tr>\n<tr><th>") + (receive ? "Fills" : "Driven by") + "</th>";
            for (const auto& uses : frame.bytes)
                out += "<td>" + (uses.empty() ? std::string("\xE2\x80\x94") : html(usesText(uses))) + "</td>";
            out += "</tr></table>\n";
            if (const std::vector<int> unused = unusedBytes(frame); !unused.empty())
                out += "<p class=\"unused\">" + unusedLabel(frame) + ": " + bytesList(unused) + ".</p>\n";
            out += findingItems(frame.findings) + (frame.findings.empty() ? "" : "\n") + "</section>\n";
        }
    }

    out += "<h2>Notes</h2>\n<ul>\n";
    for (const std::string& note : RegisterMapNotes(map)) out += "<li>" + html(note) + "</li>\n";
    out += "</ul>\n";
    if (!map.otherFindings.empty())
        out += "<h2>Other findings of the check</h2>\n" + findingItems(map.otherFindings) + "\n";
    return out + "</body>\n</html>\n";
}

std::string FormatRegisterMap(const RegisterMap& map, RegisterMapFormat format)
{
    switch (format) {
    case RegisterMapFormat::Text: return RegisterMapText(map);
    case RegisterMapFormat::Csv: return RegisterMapCsv(map);
    case RegisterMapFormat::Html: return RegisterMapHtml(map);
    case RegisterMapFormat::Markdown: return RegisterMapMarkdown(map);
    }
    return {};
}

std::filesystem::path WriteRegisterMapHtml(const std::filesystem::path& projectFolder)
{
    const std::filesystem::path path = projectFolder / kRegisterMapFileName;
    WriteFileAtomically(path, RegisterMapHtml(ReadRegisterMap(projectFolder)), ProjectFile(projectFolder));
    return path;
}

}  // namespace trelvant
