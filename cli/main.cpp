// trelvant-cli: the configurator's core without a display, for scripted builds.
#include "cli/build_command.h"
#include "cli/check_command.h"
#include "cli/dump_command.h"
#include "cli/merge_command.h"
#include "cli/replay_command.h"
#include "cli/report_command.h"
#ifdef TRELVANT_WITH_MODBUS
#include "cli/serve_command.h"
#endif
#include "cli/table_commands.h"
#include "cli/update_command.h"
#include "platform/command_line.h"
#include "platform/terminal_text.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
// A standard stream closed by the caller is opened onto /dev/null, so that no file the tool opens
// takes its descriptor: a log opened as descriptor 0 would be read as standard input. False when
// that cannot be done.
bool standardStreamsOpen()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor: this one, as the lower ones are open.
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd) return false;
    }
    return true;
}
#endif

}  // namespace

int main(int argc, char** argv)
{
#ifndef _WIN32
    if (!standardStreamsOpen()) return 1;
#endif
    CLI::App tool("Builds gateway configuration images from project folders and merges them into firmware.",
                  "trelvant-cli");
    tool.require_subcommand(1);
    // CLI11 takes "/name" for an option on Windows; there it is a folder on the current drive,
    // and options are "--name" on every platform.
    tool.allow_windows_style_options(false);
#if defined(TRELVANT_WITHOUT_IMPORT)
    tool.footer("This build has no spreadsheet import: it was made without libzip, which the import needs.");
#elif !defined(TRELVANT_WITH_XLS)
    tool.footer("This build imports .xlsx and .ods workbooks only: .xls needs FreeXL, which it was made without.");
#endif
#ifndef TRELVANT_WITH_MODBUS
    tool.footer(tool.get_footer() + (tool.get_footer().empty() ? "" : "\n") +
                "This build has no serve command: it was made without libmodbus, which serve needs on a POSIX system.");
#endif
    trelvant::WriteStandardStreamsAsBytes();

    trelvant::cli::BuildOptions build;
    CLI::App* buildCommand = trelvant::cli::AddBuildCommand(tool, build);
    trelvant::cli::MergeOptions merge;
    CLI::App* mergeCommand = trelvant::cli::AddMergeCommand(tool, merge);
    trelvant::cli::UpdateOptions update;
    CLI::App* updateCommand = trelvant::cli::AddUpdateCommand(tool, update);
    std::vector<CLI::App*> commands{buildCommand, mergeCommand, updateCommand};
    trelvant::cli::CheckOptions check;
    CLI::App* checkCommand = trelvant::cli::AddCheckCommand(tool, check);
    commands.push_back(checkCommand);
#ifndef TRELVANT_WITHOUT_IMPORT
    trelvant::cli::ImportOptions import;
    CLI::App* importCommand = trelvant::cli::AddImportCommand(tool, import);
    commands.push_back(importCommand);
#endif
    trelvant::cli::ExportOptions exportOptions;
    CLI::App* exportCommand = trelvant::cli::AddExportCommand(tool, exportOptions);
    commands.push_back(exportCommand);
    trelvant::cli::DumpOptions dump;
    CLI::App* dumpCommand = trelvant::cli::AddDumpCommand(tool, dump);
    commands.push_back(dumpCommand);
    trelvant::cli::ReportOptions report;
    CLI::App* reportCommand = trelvant::cli::AddReportCommand(tool, report);
    commands.push_back(reportCommand);
    trelvant::cli::ReplayCommandOptions replay;
    CLI::App* replayCommand = trelvant::cli::AddReplayCommand(tool, replay);
    commands.push_back(replayCommand);
#ifdef TRELVANT_WITH_MODBUS
    trelvant::cli::ServeCommandOptions serve;
    CLI::App* serveCommand = trelvant::cli::AddServeCommand(tool, serve);
    commands.push_back(serveCommand);
#endif

    // Arguments in UTF-8 on every platform, for project folders named in any script.
    std::vector<std::string> arguments = trelvant::CommandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(argument.data());
    try {
        tool.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return tool.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return tool.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << e.what() << "\n\n";
        const CLI::App* usage = &tool;
        for (const CLI::App* command : commands)
            if (command->parsed()) usage = command;
        std::cerr << (usage == &tool ? tool.help() : usage->help(tool.get_name()));
        return 2;
    }

    // Messages and tables may quote a document's texts: the terminal gets no control sequence of
    // theirs. JSON escapes its own, and CSV, HTML and Markdown are data for other programs.
    const trelvant::TerminalTextStream messages(std::cerr);
    const bool dataOnStandardOutput = (checkCommand->parsed() && check.json) || (dumpCommand->parsed() && dump.json) ||
                                      (reportCommand->parsed() && report.format != "text");
    std::optional<trelvant::TerminalTextStream> tables;
    if (!dataOnStandardOutput) tables.emplace(std::cout);

    // Whatever escapes a command is told and ends it with status 1, never an abort.
    try {
        if (buildCommand->parsed()) return trelvant::cli::RunBuild(build, std::cerr);
        if (mergeCommand->parsed()) return trelvant::cli::RunMerge(merge, std::cerr);
        if (updateCommand->parsed()) return trelvant::cli::RunUpdate(update, std::cerr);
        if (checkCommand->parsed()) return trelvant::cli::RunCheck(check, std::cout);
#ifndef TRELVANT_WITHOUT_IMPORT
        if (importCommand->parsed()) return trelvant::cli::RunImport(import, std::cerr);
#endif
        if (exportCommand->parsed()) return trelvant::cli::RunExport(exportOptions, std::cerr);
        if (dumpCommand->parsed()) return trelvant::cli::RunDump(dump, std::cout, std::cerr);
        if (reportCommand->parsed()) return trelvant::cli::RunReport(report, std::cout, std::cerr);
        if (replayCommand->parsed()) return trelvant::cli::RunReplay(replay, std::cout, std::cerr);
#ifdef TRELVANT_WITH_MODBUS
        if (serveCommand->parsed()) return trelvant::cli::RunServe(serve, std::cout, std::cerr);
#endif
    } catch (const std::bad_alloc&) {
        std::cerr << "Not enough memory to complete the operation\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 2;
}
