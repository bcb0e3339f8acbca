#pragma once

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace trelvant::cli {

// Which table of a project an import fills or an export writes.
enum class Table { ReceiveFrames, TransmitFrames, ReceiveMap, TransmitMap };

struct ImportOptions {
    std::string project;   // the project folder
    std::string workbook;  // .xls, .xlsx or .ods
    Table into = Table::ReceiveFrames;
};

struct ExportOptions {
    std::string project;
    Table from = Table::ReceiveFrames;
};

// Adds "import" to the tool; its options land in options. Not in a build without the
// spreadsheet libraries (TRELVANT_WITHOUT_IMPORT).
CLI::App* AddImportCommand(CLI::App& tool, ImportOptions& options);
// Adds "export" to the tool; its options land in options.
CLI::App* AddExportCommand(CLI::App& tool, ExportOptions& options);

// What an editor's Import followed by OK does, on the project's stored documents. A frame list:
// the worksheet "rpdodef" into an empty list, the editor's row checks, the document written. A
// byte map: the frame entries read from the documents, every register entry replaced by the
// worksheet's records, the document written in Index order. Nothing is written when the workbook,
// the worksheet, a frame number or a check fails. Returns 0, or 1 with the message on err; records
// left out or skipped are told on err too.
int RunImport(const ImportOptions& options, std::ostream& err);

// What an editor's Export writes right after its showing: PROJECT/rpdodef.csv from a frame list
// document, PROJECT/RInfoCob.csv or TInfoCob.csv from a byte map as the reading pass attaches its
// rows. Returns 0, or 1 with the message on err.
int RunExport(const ExportOptions& options, std::ostream& err);

}  // namespace trelvant::cli
