// trelvant-cli: the configurator's core without a display, for scripted builds.
#include "cli/build_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv)
{
    CLI::App tool("Builds gateway configuration images from project folders.", "trelvant-cli");
    tool.require_subcommand(1);

    trelvant::cli::BuildOptions build;
    CLI::App* buildCommand = trelvant::cli::AddBuildCommand(tool, build);

    try {
        tool.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return tool.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return tool.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << e.what() << "\n\n";
        std::cerr << (buildCommand->parsed() ? buildCommand->help(tool.get_name()) : tool.help());
        return 2;
    }

    if (buildCommand->parsed()) return trelvant::cli::RunBuild(build, std::cerr);
    return 2;
}
