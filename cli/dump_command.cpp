#include "cli/dump_command.h"

#include "cli/replay_command.h"
#include "image/image_dump.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace trelvant::cli {

CLI::App* AddDumpCommand(CLI::App& tool, DumpOptions& options)
{
    CLI::App* dump = tool.add_subcommand(
        "dump", "Decode the configuration image in bank1.bin and bank2.bin, or in the bank windows of merged "
                "firmware: parameters, build date and time, frames and byte maps");
    CLI::Option* bank1 = dump->add_option("BANK1", options.bank1, "bank1.bin of a build")->type_name("FILE");
    CLI::Option* bank2 = dump->add_option("BANK2", options.bank2, "bank2.bin of a build")->type_name("FILE");
    CLI::Option* firmware = dump->add_option(
        "--firmware", options.firmware,
        "Merged firmware (S-records) in place of the bank files: banks 1 and 2 are read from the S2 records of "
        "their windows 0x388000 and 0x398000")
        ->type_name("FILE");
    firmware->excludes(bank1)->excludes(bank2);
    dump->add_flag("--json", options.json, "Write JSON in place of the tables");
    dump->callback([bank1, bank2, firmware] {
        if (firmware->count() == 0 && (bank1->count() == 0 || bank2->count() == 0))
            throw CLI::ValidationError("dump", "give BANK1 and BANK2, or --firmware FILE");
    });
    return dump;
}

int RunDump(const DumpOptions& options, std::ostream& out, std::ostream& err)
{
    try {
        // The image as replay reads it; banks 3 to 5 stay zero: the device reads nothing there.
        ImageSource source;
        source.firmware = options.firmware;
        if (!options.firmware) source.files = {options.bank1, options.bank2};
        const ImageDump dump = ReadReplayImage(source);
        out << (options.json ? DumpJson(dump) : DumpText(dump));
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace trelvant::cli
