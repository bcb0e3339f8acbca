#include "cli/serve_command.h"

#include "cli/replay_command.h"
#include "documents/integer_conversion.h"
#include "image/image_dump.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "replay/can_log.h"
#include "replay/modbus_server.h"
#include "replay/replay_gateway.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <iomanip>
#include <limits>
#include <memory>
#include <sstream>
#include <string_view>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace trelvant::cli {
namespace {

using Micros = std::chrono::microseconds;
using SteadyClock = std::chrono::steady_clock;

// Frames applied in one turn of the loop at most, so that a fast replay of a long log still
// answers requests between them.
constexpr std::size_t kFramesPerTurn = 1024;

struct ListenAddress {
    std::string host;  // dotted IPv4
    std::uint16_t port = 0;
};

// "127.0.0.1:1502": a dotted IPv4 address, a colon and a port of 0 to 65535 in decimal digits.
std::optional<ListenAddress> parseListenAddress(std::string_view text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string host(text.substr(0, colon));
    const std::string_view digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::optional<std::int32_t> port = TryStrToInt(digits);
    in_addr address{};
    if (!port || *port > 65535 || inet_pton(AF_INET, host.c_str(), &address) != 1) return std::nullopt;
    char canonical[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address, canonical, sizeof canonical)) return std::nullopt;
    return ListenAddress{canonical, static_cast<std::uint16_t>(*port)};
}

// SIGINT and SIGTERM ask the loop to end: a flag, and a byte into a pipe that wakes its wait.
volatile std::sig_atomic_t stopRequested = 0;
int stopPipeInput = -1;

void onStopSignal(int)
{
    const int saved = errno;
    stopRequested = 1;
    if (stopPipeInput >= 0) {
        const ssize_t written = ::write(stopPipeInput, "!", 1);  // a full pipe has woken the loop already
        static_cast<void>(written);
    }
    errno = saved;
}

class StopSignals {
public:
    StopSignals()
    {
        int ends[2];
        if (::pipe(ends) != 0)
            throw Error(std::string("Unable to watch for SIGINT and SIGTERM: ") + std::strerror(errno));
        for (const int end : ends) {
            const int flags = fcntl(end, F_GETFL);
            if (flags == -1 || fcntl(end, F_SETFL, flags | O_NONBLOCK) == -1 || fcntl(end, F_SETFD, FD_CLOEXEC) == -1) {
                const int error = errno;
                ::close(ends[0]);
                ::close(ends[1]);
                throw Error(std::string("Unable to watch for SIGINT and SIGTERM: ") + std::strerror(error));
            }
        }
        output_ = ends[0];
        stopRequested = 0;
        stopPipeInput = ends[1];
        // No SA_RESTART: a wait that the signal interrupts returns at once.
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGINT, &action, &previousInterrupt_);
        sigaction(SIGTERM, &action, &previousTerminate_);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
        ::close(stopPipeInput);
        stopPipeInput = -1;
        ::close(output_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int wakeDescriptor() const { return output_; }
    bool requested() const { return stopRequested != 0; }

private:
    int output_ = -1;
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

// Standard input for --step, its lines counted as they come; a last line without a line end
// counts at the end.
class StepInput {
public:
    // A closed standard input has ended already.
    StepInput() : ended_(fcntl(STDIN_FILENO, F_GETFD) == -1) {}

    int descriptor() const { return ended_ ? -1 : STDIN_FILENO; }

    // The lines that what is waiting completes.
    std::size_t readLines()
    {
        char bytes[4096];
        const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
        if (got <= 0) {
            ended_ = true;
            return partial_ ? 1 : 0;
        }
        std::size_t lines = 0;
        for (ssize_t i = 0; i < got; ++i) {
            partial_ = bytes[i] != '\n';
            if (!partial_) ++lines;
        }
        return lines;
    }

private:
    bool ended_;
    bool partial_ = false;
};

std::int64_t clampedTime(long double micros)
{
    constexpr auto kLatest = std::numeric_limits<std::int64_t>::max();
    constexpr auto kEarliest = std::numeric_limits<std::int64_t>::min();
    if (micros >= static_cast<long double>(kLatest)) return kLatest;
    if (micros <= static_cast<long double>(kEarliest)) return kEarliest;
    return static_cast<std::int64_t>(micros);
}

// The log played through the gateway: in its own time at a speed, or a frame per step.
class LogPlayer {
public:
    LogPlayer(CandumpReader& log, ReplayGateway& gateway, double speed)
        : log_(log), gateway_(gateway), speed_(speed), next_(log.next()), start_(SteadyClock::now())
    {
        first_ = next_ ? next_->time : 0;
        last_ = first_;
    }

    bool ended() const { return !next_; }
    void applyNext()
    {
        if (!next_) return;
        gateway_.receive(*next_);
        last_ = next_->time;
        next_ = log_.next();
    }

    // When the next frame is due, counted from the start.
    Micros nextDue() const
    {
        const long double delay = static_cast<long double>(next_->time) - static_cast<long double>(first_);
        // Ten years bound a wait; a frame before the first is due at once.
        constexpr long double kLongest = 10.0L * 365 * 24 * 3600 * 1e6L;
        return Micros(static_cast<std::int64_t>(std::clamp(delay / speed_, 0.0L, kLongest)));
    }
    Micros elapsed() const { return std::chrono::duration_cast<Micros>(SteadyClock::now() - start_); }

    // The log's time now: the first frame's time plus the time since the start times the speed.
    std::int64_t timedNow() const
    {
        return clampedTime(static_cast<long double>(first_) + static_cast<long double>(elapsed().count()) * speed_);
    }
    // The time of the last frame applied; the first frame's before any.
    std::int64_t steppedNow() const { return last_; }

private:
    CandumpReader& log_;
    ReplayGateway& gateway_;
    long double speed_;
    std::optional<CanFrame> next_;
    SteadyClock::time_point start_;
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
};

std::string counted(std::size_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::vector<std::string> serveAssumptions(const ServeCommandOptions& options, std::uint8_t unitId)
{
    std::vector<std::string> lines;
    if (options.oneBased)
        lines.push_back("--one-based: the address a of a request is stored register a + 1, as for a master that "
                        "counts registers from 1; address 65535 names no register");
    else
        lines.push_back("The address of a request is the register number as stored (--one-based: address a is "
                        "stored register a + 1)");
    lines.push_back("Only unit id " + std::to_string(unitId) + " (IDDev_Ser) is answered: a request to another unit id" +
                    (unitId != 0 ? ", broadcast 0 included," : "") +
                    " gets no answer and changes nothing, as on the serial line");
    lines.push_back("Functions 03, 06 and 16 are answered, any other with exception 01; a read that reaches a register "
                    "no table names, and a write to any register but a transmit byte map register, get exception 02 "
                    "and change nothing; TO_ModReg and the remote request registers read 0");
    std::ostringstream speed;
    speed << std::setprecision(15) << options.speed;
    if (options.step)
        lines.push_back("--step: a frame of the log is applied for each line read from standard input; at the end "
                        "of standard input no more frames are applied");
    else
        lines.push_back("The log is played in its own time at --speed " + speed.str() +
                        ": its first frame at the start, each later one when (its time - the first frame's time) / " +
                        speed.str() + " has passed; after its last frame the registers keep their values");
    if (options.sendLog)
        lines.push_back(options.step ? "Frames sent carry the time of the last frame applied (the first frame's "
                                       "before any), so that the send log lines up with the log"
                                     : "Frames sent carry the log's time: the first frame's time + the time since the "
                                       "start x " + speed.str() + ", so that the send log lines up with the log");
    return lines;
}

void writeModbusSummary(const ModbusServerCounts& counts, std::uint8_t unitId, std::ostream& out)
{
    out << "Modbus TCP: " << counted(counts.connections, "connection", "connections") << ", "
        << counted(counts.requests, "request", "requests") << " to unit id " << static_cast<int>(unitId) << ", "
        << counts.exceptions << " answered with an exception";
    const auto connections = [](std::size_t count) { return counted(count, "connection", "connections"); };
    if (counts.ignored > 0)
        out << "; " << counted(counts.ignored, "request", "requests") << " to another unit id not answered";
    if (counts.malformed > 0) out << "; " << connections(counts.malformed) << " closed on a malformed request";
    if (counts.idle > 0) out << "; " << connections(counts.idle) << " closed after 60 s without a request";
    if (counts.refused > 0) out << "; " << counted(counts.refused, "client", "clients") << " refused: 8 were connected";
    out << "\n";
}

}  // namespace

CLI::App* AddServeCommand(CLI::App& tool, ServeCommandOptions& options)
{
    std::string assumptions;
    for (const std::string& line : ReplayGateway::Assumptions({})) assumptions += "\n  - " + line;
    CLI::App* serve = tool.add_subcommand(
        "serve", "Answer Modbus TCP requests as the gateway answers on its serial line, while a candump log is "
                 "replayed through the configuration image");
    serve->footer("IMAGE is a project folder (built in memory), BANK1 BANK2 (bank1.bin and bank2.bin of a build), "
                  "or nothing with --firmware FILE. Only the image's unit id (IDDev_Ser) is answered, functions 03, "
                  "06 and 16. At most 8 clients at once: a ninth is accepted and closed at once; a client silent for "
                  "60 s is closed, and one that sends a malformed request. SIGINT (Ctrl+C) or SIGTERM ends the "
                  "server with the summary. Assumptions in force where the image states nothing:" + assumptions);
    serve->add_option("IMAGE", options.image, "PROJECT, or BANK1 BANK2; nothing with --firmware")
        ->expected(1, 2)
        ->type_name("FILE");
    serve->add_option("--log", options.log, "The candump log (candump -l) to replay")->required()->type_name("LOG");
    serve->add_option("--firmware", options.firmware, "Merged firmware (S-records) in place of a project or bank files")
        ->type_name("FILE");
    serve->add_option("--listen", options.listen, "The IPv4 address and port to listen on; port 0 picks a free one")
        ->type_name("ADDRESS:PORT")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](const std::string& text) {
                return parseListenAddress(text) ? std::string()
                                                : "give an IPv4 address and a port, as 127.0.0.1:1502: " + text;
            },
            ""));
    CLI::Option* speed = serve->add_option("--speed", options.speed,
                                           "Log time per real time: 10 plays the log ten times as fast")
                             ->type_name("N")
                             ->capture_default_str();
    CLI::Option* step = serve->add_flag("--step", options.step,
                                        "Apply one frame of the log per line of standard input (Enter) instead");
    speed->excludes(step);
    serve->add_option("--send-log", options.sendLog,
                      "Write the frames that Modbus writes send to FILE as a candump log, complete when the server ends")
        ->type_name("FILE");
    serve->add_flag("--one-based", options.oneBased, "Request address a is stored register a + 1");
    AddReplayChoices(*serve, options.choices);
    serve->callback([&options] {
        if (options.firmware ? !options.image.empty() : options.image.empty())
            throw CLI::ValidationError("serve", options.firmware ? "give no IMAGE with --firmware FILE"
                                                                 : "give PROJECT, BANK1 BANK2, or --firmware FILE");
        if (!(options.speed > 0) || !std::isfinite(options.speed))
            throw CLI::ValidationError("--speed", "give a positive number");
    });
    return serve;
}

int RunServe(const ServeCommandOptions& options, std::ostream& out, std::ostream& err)
{
    try {
        const std::optional<ListenAddress> listen = parseListenAddress(options.listen);
        if (!listen) throw Error("give an IPv4 address and a port, as 127.0.0.1:1502: " + options.listen);
        ImageSource source;
        source.firmware = options.firmware;
        source.files = options.image;
        const ReplayOptions replayOptions = ReplayOptionsOf(options.choices);
        ReplayGateway gateway(ReadReplayImage(source), replayOptions);
        CandumpReader log(PathFromUtf8(options.log));
        std::unique_ptr<CandumpWriter> sendLog;
        if (options.sendLog) sendLog = std::make_unique<CandumpWriter>(PathFromUtf8(*options.sendLog));

        LogPlayer player(log, gateway, options.speed);
        const auto logTime = [&] { return options.step ? player.steppedNow() : player.timedNow(); };
        ModbusServerOptions serverOptions;
        serverOptions.address = listen->host;
        serverOptions.port = listen->port;
        serverOptions.oneBased = options.oneBased;
        ModbusServerCounts counts;
        {
            StopSignals signals;
            ModbusServer server(gateway, serverOptions, sendLog.get(), logTime);

            out << "Assumptions in force:\n";
            for (const std::string& line : ReplayGateway::Assumptions(replayOptions)) out << "  - " << line << "\n";
            for (const std::string& line : serveAssumptions(options, gateway.unitId())) out << "  - " << line << "\n";
            if (!gateway.notes().empty()) {
                out << "The image:\n";
                for (const std::string& line : gateway.notes()) out << "  - " << line << "\n";
            }
            out << "Listening on " << listen->host << ":" << server.port() << ", unit id "
                << static_cast<int>(gateway.unitId()) << std::endl;

            StepInput input;
            while (!signals.requested()) {
                std::optional<Micros> timeout;
                if (!options.step) {
                    for (std::size_t turn = 0; turn < kFramesPerTurn && !player.ended() &&
                                               player.nextDue() <= player.elapsed();
                         ++turn)
                        player.applyNext();
                    if (!player.ended()) timeout = std::max(player.nextDue() - player.elapsed(), Micros(0));
                }
                const int wake[] = {signals.wakeDescriptor(), options.step ? input.descriptor() : -1};
                const std::vector<bool> readable = server.serveOnce(timeout, wake);
                if (readable[1])
                    for (std::size_t lines = input.readLines(); lines > 0; --lines) player.applyNext();
            }
            counts = server.counts();
        }
        if (sendLog) sendLog->close();

        WriteReplaySummary(log, gateway, out);
        writeModbusSummary(counts, gateway.unitId(), out);
    } catch (const Error& e) {
        out.flush();
        err << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace trelvant::cli
