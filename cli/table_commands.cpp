#include "cli/table_commands.h"

#include "cli/build_command.h"
#include "cli/output_checks.h"
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/frame_rows.h"
#include "documents/table_transfer.h"
#include "documents/workbook.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <CLI/CLI.hpp>

#include <map>

namespace trelvant::cli {
namespace {

const std::map<std::string, Table> kTables = {
    {"receive-frames", Table::ReceiveFrames},
    {"transmit-frames", Table::TransmitFrames},
    {"receive-map", Table::ReceiveMap},
    {"transmit-map", Table::TransmitMap},
};

Direction DirectionOf(Table table)
{
    return table == Table::ReceiveFrames || table == Table::ReceiveMap ? Direction::Receive : Direction::Transmit;
}

bool IsFrameList(Table table)
{
    return table == Table::ReceiveFrames || table == Table::TransmitFrames;
}

// The reading pass's messages end the command: a byte map read only in part would lose rows.
class StrictReport final : public ReadingReport {
public:
    void error(const std::string& message) override
    {
        if (!failure) failure = message;
    }
    std::optional<std::string> failure;
};

ByteMap ReadWholeByteMap(const std::filesystem::path& project, Direction direction)
{
    StrictReport report;
    ByteMap map = ReadByteMap(project, direction, report);
    if (report.failure)
        throw Error(*report.failure + " (" + DisplayPath(FrameListPath(project, direction)) + ", " +
                    DisplayPath(ByteMapPath(project, direction)) + ")");
    return map;
}

void AddTableOption(CLI::App& command, const char* name, Table& table, const char* help)
{
    command.add_option(name, table, help)->required()->transform(CLI::CheckedTransformer(kTables, CLI::ignore_case));
}

}  // namespace

#ifndef TRELVANT_WITHOUT_IMPORT
CLI::App* AddImportCommand(CLI::App& tool, ImportOptions& options)
{
    CLI::App* command = tool.add_subcommand(
        "import", "Replace a frame list or a byte map of a project by a worksheet of a workbook (.xls, .xlsx, .ods)");
    command->add_option("PROJECT", options.project, "The project folder")->required()->check(ExistingFolder());
    command->add_option("WORKBOOK", options.workbook, "The workbook; the worksheet is rpdodef for a frame list, "
                                                      "RInfoCob or TInfoCob for a byte map, in any case")
        ->required();
    AddTableOption(*command, "--into", options.into,
                   "What the worksheet replaces: receive-frames (RCobDef.xml), transmit-frames (TCobDef.xml), "
                   "receive-map (RInfoCob.xml) or transmit-map (TInfoCob.xml)");
    return command;
}

#endif

CLI::App* AddExportCommand(CLI::App& tool, ExportOptions& options)
{
    CLI::App* command = tool.add_subcommand(
        "export", "Write a frame list or a byte map of a project as the editors export it: rpdodef.csv, RInfoCob.csv "
                  "or TInfoCob.csv in the project folder");
    command->add_option("PROJECT", options.project, "The project folder")->required()->check(ExistingFolder());
    AddTableOption(*command, "--from", options.from,
                   "What is written: receive-frames, transmit-frames (both to rpdodef.csv), receive-map or "
                   "transmit-map");
    return command;
}

#ifndef TRELVANT_WITHOUT_IMPORT
int RunImport(const ImportOptions& options, std::ostream& err)
{
    try {
        const std::filesystem::path project = PathFromUtf8(options.project);
        const std::filesystem::path workbook = PathFromUtf8(options.workbook);
        const Direction direction = DirectionOf(options.into);
        const std::string_view sheetName = IsFrameList(options.into) ? kFrameListSheet : ByteMapSheet(direction);
        RefuseOutputOverInputs(IsFrameList(options.into) ? FrameListPath(project, direction) : ByteMapPath(project, direction),
                               {workbook});

        // A byte map's frames first: a project that cannot be read is not imported into.
        ByteMap map;
        if (!IsFrameList(options.into)) map = ReadWholeByteMap(project, direction);

        const std::optional<Worksheet> sheet = ReadWorksheet(workbook, sheetName);
        if (!sheet) throw Error(DisplayPath(workbook) + ": no worksheet named " + std::string(sheetName));
        const std::string where = DisplayPath(workbook) + ", worksheet " + sheet->name;

        if (IsFrameList(options.into)) {
            FrameListImport import;
            try {
                import = ImportFrameRows(sheet->records, direction);
            } catch (const Error& refused) {
                throw Error(where + ": " + refused.what());
            }
            // The editor shows such records and asks at OK; here they would be lost unasked.
            if (import.endsAt)
                throw Error(where + ", record " + std::to_string(*import.endsAt + 1) +
                            ": its first field is empty, which ends the list; " +
                            (import.after == 1 ? std::string("1 record after it holds")
                                               : std::to_string(import.after) + " records after it hold") +
                            " data that would not be imported");
            if (const std::optional<std::string> failure = CheckFrameRows(direction, import.rows))
                throw Error(where + ": " + *failure);
            const std::filesystem::path document = FrameListPath(project, direction);
            WriteFrameList(document, direction, import.rows);
            if (import.leftOut > 0)
                err << where << ": the list holds " << kMaxFrames << " frames; the last " << import.leftOut
                    << " records were not imported\n";
            return 0;
        }

        ByteMapImport import;
        try {
            import = ImportByteMapRecords(map, sheet->records, direction);
        } catch (const Error& refused) {
            throw Error(where + ": " + refused.what());
        }
        if (import.stoppedAt)
            throw Error(where + ", record " + std::to_string(*import.stoppedAt + 1) + ": " + import.stopReason);
        WriteByteMap(project, direction, map);
        if (import.skipped > 0)
            err << where << ": " << import.skipped << (import.skipped == 1 ? " record names" : " records name")
                << " a frame beyond the " << map.size() << " frames of the frame list and "
                << (import.skipped == 1 ? "was" : "were") << " skipped\n";
        return 0;
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
}
#endif

int RunExport(const ExportOptions& options, std::ostream& err)
{
    try {
        const std::filesystem::path project = PathFromUtf8(options.project);
        const Direction direction = DirectionOf(options.from);
        RefuseOutputOverInputs(
            ResolveFileName(ExportPath(project, IsFrameList(options.from) ? kFrameListSheet : ByteMapSheet(direction))),
            {project});
        if (IsFrameList(options.from)) {
            const std::filesystem::path document = FrameListPath(project, direction);
            const FrameListLoad load = ReadFrameListForEditor(document, direction);
            // The reading pass names the document in its messages.
            if (load.error)
                throw Error(load.error->find(DisplayPath(document)) != std::string::npos
                                ? *load.error
                                : DisplayPath(document) + ": " + *load.error);
            WriteExport(ExportPath(project, kFrameListSheet), FrameListCsv(load.rows));
        } else {
            WriteExport(ExportPath(project, ByteMapSheet(direction)), ByteMapCsv(ReadWholeByteMap(project, direction)));
        }
        return 0;
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
}

}  // namespace trelvant::cli
