#include "cli/build_command.h"

#include "image/bank_files.h"
#include "image/image_builder.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <CLI/CLI.hpp>

#include <string_view>
#include <memory>

namespace trelvant::cli {
namespace {

// "2009-12-31T23:59:58", digits and separators exactly there; nullopt for anything else.
std::optional<LocalDateTime> parseBuildTime(const std::string& text)
{
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t width) { return std::stoi(text.substr(at, width)); };
    const LocalDateTime t{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) || t.hour > 23 ||
        t.minute > 59 || t.second > 59)
        return std::nullopt;
    return t;
}

}  // namespace

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

CLI::Validator ExistingFolder()
{
    return CLI::Validator(
        [](const std::string& text) {
            std::error_code ec;
            const auto status = std::filesystem::status(PathFromUtf8(text), ec);
            if (!std::filesystem::exists(status)) return "Directory does not exist: " + text;
            if (!std::filesystem::is_directory(status)) return "Directory is actually a file: " + text;
            return std::string();
        },
        "DIR");
}

CLI::App* AddBuildCommand(CLI::App& tool, BuildOptions& options)
{
    CLI::App* build = tool.add_subcommand(
        "build", "Build the configuration image of a project and write bin/bank1.bin to bank5.bin and bin/bankg.c");
    build->add_option("PROJECT", options.project, "The project folder")->required()->check(ExistingFolder());
    AddBuildTimeOption(*build, options.buildTime);
    return build;
}

void AddBuildTimeOption(CLI::App& command, std::optional<std::string>& buildTime)
{
    command.add_option("--build-time", buildTime,
                       "Local date and time stored as the build's date and time, as YYYY-MM-DDTHH:MM:SS "
                       "(default: now)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return parseBuildTime(text) ? std::string() : "not a date and time of the form YYYY-MM-DDTHH:MM:SS";
            },
            "YYYY-MM-DDTHH:MM:SS"));
}

int RunBuild(const BuildOptions& options, std::ostream& err)
{
    std::unique_ptr<Clock> clock;
    if (options.buildTime) clock = std::make_unique<FixedClock>(*parseBuildTime(*options.buildTime));
    else clock = std::make_unique<SystemClock>();

    try {
        const std::filesystem::path project = PathFromUtf8(options.project);
        auto image = std::make_unique<ConfigurationImage>();
        BuildConfigurationImage(*image, project, *clock);
        // A project checked out of version control has no empty bin folder.
        const std::filesystem::path bin = ResolveFileName(project / "bin");
        std::error_code ec;
        if (!std::filesystem::is_directory(bin, ec)) {
            std::filesystem::create_directory(bin, ec);
            if (!std::filesystem::is_directory(bin))
                throw Error("Unable to make the folder " + DisplayPath(bin) + ": " +
                            (ec ? ec.message() : std::string("a file of that name is in the way")));
        }
        WriteBankOutputs(*image, project);
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace trelvant::cli
