#pragma once

#include "cli/replay_command.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace trelvant::cli {

struct ServeCommandOptions {
    std::vector<std::string> image;  // PROJECT, or BANK1 BANK2; none with --firmware
    std::optional<std::string> firmware;
    std::string log;                       // the candump log replayed
    std::string listen = "127.0.0.1:1502";  // IPv4 address:port
    double speed = 1;                      // log time per wall-clock time
    bool step = false;                     // a frame per line of standard input instead
    std::optional<std::string> sendLog;    // the frames that writes send, as a candump log
    bool oneBased = false;                 // the address a of a request is stored register a + 1
    ReplayChoices choices;
};

// Adds "serve" to the tool; its options land in options.
CLI::App* AddServeCommand(CLI::App& tool, ServeCommandOptions& options);

// Serves the image's registers over Modbus TCP while the log is replayed, until SIGINT, SIGTERM,
// SIGHUP or SIGQUIT: the assumptions in force, the notes on the image and the address listened on
// first, the summary last, on out. Returns 0, or 1 with the reason on err when the image or the
// log cannot be read, the address cannot be listened on or the send log cannot be written whole.
int RunServe(const ServeCommandOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trelvant::cli
