#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
class Validator;
}

namespace trelvant::cli {

struct BuildOptions {
    std::string project;                   // the project folder
    std::optional<std::string> buildTime;  // YYYY-MM-DDTHH:MM:SS, local
};

// Adds "build" to the tool; its options land in options.
CLI::App* AddBuildCommand(CLI::App& tool, BuildOptions& options);

// The check of a PROJECT argument: an existing folder, its name read as UTF-8 on every platform.
CLI::Validator ExistingFolder();

// Adds --build-time to a command that builds.
void AddBuildTimeOption(CLI::App& command, std::optional<std::string>& buildTime);

// The days of a month of the Gregorian calendar (29 for February of a leap year).
int DaysInMonth(int year, int month);

// Builds the image of the project from an all-zero image and writes PROJECT/bin/bank1.bin to
// bank5.bin and bankg.c. Returns 0, or 1 with the error's message on err.
int RunBuild(const BuildOptions& options, std::ostream& err);

}  // namespace trelvant::cli
