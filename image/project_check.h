#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

class ProjectDocuments;

// What "Update Device" would meet in a project, found before anything is built. The five
// documents are read as the image builder reads them ("Pargen.xml" in any case, the root under
// any name, rows by position, attributes by name, texts through the integer conversion), and
// each value is held against the field of the image it is stored in. A value is the number its
// text spells: "0xFFFFFFFF" is 4294967295, which a field of 32 bits holds as typed.
//
// Errors: the build would stop (a document that does not parse, a required value missing or not
// an integer, a table over its room); the device would get a value other than the one typed (a
// value cut to its field, a part of a transmit identifier changed by a part below it outside its
// field, a parameter that is not an integer and falls back to its default, a CANType other than
// 1, which the build stores as 1), whether or not the settings use it; a value that names
// nothing the device has (a byte choice above B8, a list position outside its list, an 11-bit
// identifier above 2047, a switch other than 0 or 1, a Dev ID outside the slave addresses 1 to
// 247); two things would share one register, one
// sent byte or one received frame (a Modbus index twice in a byte map, in both byte maps, or also
// a register of pargen.xml; two registers of a transmit frame on one of its bytes; two receive
// rows of one PGN and device, or of one 11-bit identifier).
// Warnings: the image holds what was typed, but the editors or the other settings do not use it
// as typed: byte map rows that name no frame of their list (the editor's reading pass drops
// them, the builder stores them), a received byte copied into two registers, a sent register
// whose high and low byte go into one frame byte, Write J1939 flags while pargen.xml disables
// writing, a received PGN wider than the 18 bits of a J1939 PGN.
enum class Severity {
    Error,    // the build fails, or the device does not get what was typed
    Warning,  // the device gets what was typed, which is likely not what was meant
};

// The Modbus addresses a slave may have; 0 is the broadcast address.
inline constexpr int kMinSlaveAddress = 1;
inline constexpr int kMaxSlaveAddress = 247;

// A value of a document: what a finding concerns.
struct FindingPlace {
    std::string document;            // the file's name as it stands in the project folder
    std::optional<std::size_t> row;  // counted from 1; none for pargen.xml and for a whole document
    std::string attribute;           // the attribute, or pargen.xml's element; empty when about no one value

    bool operator==(const FindingPlace&) const = default;
};

struct Finding {
    std::string document;            // the file's name as it stands in the project folder
    std::optional<std::size_t> row;  // counted from 1; none for pargen.xml and for a whole document
    std::string attribute;           // the attribute, or pargen.xml's element; empty when about no one value
    Severity severity = Severity::Error;
    std::string code;                // short stable name of the kind of finding
    std::string message;
    // The other value of a clash (the first row of a twice-used register, the pargen.xml register
    // a byte map also uses), so that the editor of either shows it.
    std::optional<FindingPlace> alsoAt;
    // A PosComp finding about one byte choice: the choice (a frame byte another register also
    // maps, or a choice above B8), so that an editor can show it at the half that makes it; 0 when
    // the finding concerns the whole value.
    int byteChoice = 0;

    bool operator==(const Finding&) const = default;

    // Whether the finding concerns a value of document (its own place or alsoAt), any case.
    bool concerns(std::string_view document) const;
};

// Every finding of the project, by document (pargen.xml, RCobDef.xml, TCobDef.xml, RInfoCob.xml,
// TInfoCob.xml) and row. Reads only; a missing document is not a finding, as the builder skips
// it. Throws only what the file system raises beyond the documents' content (out of memory).
std::vector<Finding> CheckProject(const std::filesystem::path& projectFolder);

// The same check over documents held in memory: an editor's document as OK would write it,
// with the project's other documents as they stand.
std::vector<Finding> CheckProject(const ProjectDocuments& documents);

// The findings that concern document (its own values, or one of them as the other side of a
// clash), in the check's order.
std::vector<Finding> FindingsOf(const std::vector<Finding>& findings, std::string_view document);

// The text shown at a value of document: "Error: PGN 70000 is outside 0 to 65535 (field of 16
// bits)", with the place named when the finding stands in another document or row
// ("Error (RInfoCob.xml, row 3): Modbus index 100 is also the register \"TO_ModReg\" of pargen.xml").
std::string FindingTip(const Finding& finding, std::string_view document, std::optional<std::size_t> row);

// "RInfoCob.xml, row 3: error: Modbus index 70000 is cut to 4464 (field of 16 bits)".
std::string FindingLine(const Finding& finding);

std::size_t CountFindings(const std::vector<Finding>& findings, Severity severity);

// "2 errors, 1 warning", or "No problems found".
std::string FindingsSummary(const std::vector<Finding>& findings);

// What "Update Device" asks when the check found errors: the first shown error lines, a count of
// the others, and whether to go on. None when there is no error; warnings are not asked about.
std::optional<std::string> UpdateDeviceQuestion(const std::vector<Finding>& findings, std::size_t shown = 10);

// What an editor's OK asks when its document, as it would be written, has errors: "The receive
// list has 2 errors:\n\nrow 3: attribute \"PGN\": …\n\nSave anyway?"; subject is "The receive list".
// The lines of findings in document leave its name out. None when there is no error; warnings
// are not asked about.
std::optional<std::string> SaveQuestion(std::string_view subject, std::string_view document,
                                        const std::vector<Finding>& findings, std::size_t shown = 10);

}  // namespace trelvant
