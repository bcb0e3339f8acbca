#include "cli/serve_command.h"

#include "cli/output_checks.h"
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
#include <pthread.h>
#include <signal.h>
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

// SIGINT, SIGTERM, SIGHUP (the terminal closed) and SIGQUIT ask the loop to end: a flag, and a
// byte into a pipe that wakes its wait. They stay caught until serve has ended: a second one is
// told and ignored, a third ends serve at once. Frames go into the send log with these signals
// blocked, so that no end cuts a line.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

volatile std::sig_atomic_t stopRequested = 0;
int stopPipeInput = -1;

void tell(const char* text)
{
    const ssize_t written = ::write(STDERR_FILENO, text, std::strlen(text));  // nothing to do when it fails
    static_cast<void>(written);
}

void onStopSignal(int signal)
{
    const int saved = errno;
    if (stopRequested == 1) {
        stopRequested = 2;
        tell("serve is ending already: this signal is ignored; a third one ends it at once, the summary lost\n");
    } else if (stopRequested == 2) {
        tell("serve ended at once: the summary is lost; the send log holds every frame sent\n");
        ::_exit(128 + signal);
    } else {
        stopRequested = 1;
    }
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
        if (::pipe(ends) != 0) throw Error(std::string("Unable to watch for stop signals: ") + std::strerror(errno));
        for (const int end : ends) {
            const int flags = fcntl(end, F_GETFL);
            if (flags == -1 || fcntl(end, F_SETFL, flags | O_NONBLOCK) == -1 || fcntl(end, F_SETFD, FD_CLOEXEC) == -1) {
                const int error = errno;
                ::close(ends[0]);
                ::close(ends[1]);
                throw Error(std::string("Unable to watch for stop signals: ") + std::strerror(error));
            }
        }
        output_ = ends[0];
        stopRequested = 0;
        stopPipeInput = ends[1];
        sigemptyset(&blocked_);
        for (const int signal : kStopSignals) sigaddset(&blocked_, signal);
        // No SA_RESTART: a wait that the signal interrupts returns at once. One handler at a time.
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        action.sa_mask = blocked_;
        action.sa_flags = 0;
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &action, &previous_[i]);
    }
    ~StopSignals()
    {
        for (std::size_t i = 0; i < std::size(kStopSignals); ++i) sigaction(kStopSignals[i], &previous_[i], nullptr);
        ::close(stopPipeInput);
        stopPipeInput = -1;
        ::close(output_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int wakeDescriptor() const { return output_; }
    bool requested() const { return stopRequested != 0; }
    const sigset_t& signals() const { return blocked_; }

private:
    int output_ = -1;
    sigset_t blocked_{};
    struct sigaction previous_[std::size(kStopSignals)] {};
};

// The send log as serve keeps it: each frame recorded whole, whatever signal comes; a failed write
// told at once, after which serve goes on without recording.
class SendLog final : public CanFrameSink {
public:
    SendLog(const std::filesystem::path& path, const StopSignals& signals, std::ostream& err)
        : recorder_(path), signals_(signals), err_(err)
    {
    }

    void send(const CanFrame& frame) override
    {
        if (!recorder_.failure().empty()) return;
        sigset_t previous;
        pthread_sigmask(SIG_BLOCK, &signals_.signals(), &previous);
        recorder_.send(frame);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        if (!recorder_.failure().empty())
            err_ << recorder_.failure() << ": the send log stops after " << recorder_.recorded()
                 << (recorder_.recorded() == 1 ? " frame" : " frames") << "; serve goes on answering" << std::endl;
    }

    // False when the log is incomplete: a write failed, or its flush to the disk at the end.
    bool close()
    {
        const bool wasRecording = recorder_.failure().empty();
        if (!recorder_.close() && wasRecording) err_ << recorder_.failure() << "\n";
        return recorder_.failure().empty();
    }

private:
    CandumpRecorder recorder_;
    const StopSignals& signals_;
    std::ostream& err_;
};

// Standard input for --step, its lines counted as they come; a last line without a line end
// counts at the end. A closed standard input has ended already.
class StepInput {
public:
    StepInput() : ended_(fcntl(STDIN_FILENO, F_GETFD) == -1) {}

    int descriptor() const { return ended_ ? -1 : STDIN_FILENO; }
    bool ended() const { return ended_; }

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

// The log played through the gateway: in its own time at a speed, or a frame per step. The log is
// read a slice per turn of the loop, so that no stretch of it, however long, holds up a request.
class LogPlayer {
public:
    LogPlayer(CandumpReader& log, ReplayGateway& gateway, double speed, bool step)
        : log_(log), gateway_(gateway), speed_(speed), step_(step), start_(SteadyClock::now())
    {
    }

    // Frames owed to lines of standard input (--step).
    void owe(std::size_t steps) { owed_ += steps; }

    // Reads on to the next frame, a slice of the log at most, and applies the frames due (or owed)
    // up to kFramesPerTurn. How long the loop may wait then: zero while there is more to read or
    // apply, until the next frame is due, or none when only a request or a line can change anything.
    std::optional<Micros> turn()
    {
        std::size_t budget = kLogBytesPerTurn;
        for (std::size_t applied = 0; applied < kFramesPerTurn; ++applied) {
            if (!next_) {
                if (log_.ended()) break;
                next_ = log_.nextWithin(budget);
                if (!next_) {
                    if (log_.ended()) break;
                    return Micros(0);
                }
                if (!started_) {
                    // The log's time starts with its first frame, however long the way to it.
                    started_ = true;
                    first_ = last_ = next_->time;
                    start_ = SteadyClock::now();
                }
            }
            if (step_) {
                if (owed_ == 0) return std::nullopt;
                --owed_;
            } else if (const Micros wait = nextDue() - elapsed(); wait > Micros(0)) {
                return wait;
            }
            gateway_.receive(*next_);
            last_ = next_->time;
            next_.reset();
        }
        if (!next_ && log_.ended()) {
            owed_ = 0;
            return std::nullopt;
        }
        return Micros(0);
    }

    // The log's time now: the first frame's time plus the time since the start times the speed.
    std::int64_t timedNow() const
    {
        return clampedTime(static_cast<long double>(first_) + static_cast<long double>(elapsed().count()) * speed_);
    }
    // The time of the last frame applied; the first frame's before any.
    std::int64_t steppedNow() const { return last_; }

private:
    // A slice of the log read in one turn: a millisecond or so of reading.
    static constexpr std::size_t kLogBytesPerTurn = 2 * CandumpReader::kBlockSize;

    // When the next frame is due, counted from the start.
    Micros nextDue() const
    {
        const long double delay = static_cast<long double>(next_->time) - static_cast<long double>(first_);
        // Ten years bound a wait; a frame before the first is due at once.
        constexpr long double kLongest = 10.0L * 365 * 24 * 3600 * 1e6L;
        return Micros(static_cast<std::int64_t>(std::clamp(delay / speed_, 0.0L, kLongest)));
    }
    Micros elapsed() const { return std::chrono::duration_cast<Micros>(SteadyClock::now() - start_); }

    CandumpReader& log_;
    ReplayGateway& gateway_;
    long double speed_;
    bool step_;
    std::optional<CanFrame> next_;  // read, not yet applied
    bool started_ = false;          // the first frame was read
    std::size_t owed_ = 0;
    SteadyClock::time_point start_;
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
};

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

}  // namespace

CLI::App* AddServeCommand(CLI::App& tool, ServeCommandOptions& options)
{
    std::string assumptions;
    for (const std::string& line : ReplayGateway::Assumptions({})) assumptions += "\n  - " + line;
    CLI::App* serve = tool.add_subcommand(
        "serve", "Answer Modbus TCP requests as the gateway answers on its serial line, while a candump log is "
                 "replayed through the configuration image");
    const ModbusServerOptions limits;
    const auto seconds = [](std::chrono::milliseconds limit) { return std::to_string(limit.count() / 1000) + " s"; };
    serve->footer("IMAGE is a project folder (built in memory), BANK1 BANK2 (bank1.bin and bank2.bin of a build), "
                  "or nothing with --firmware FILE. Only the image's unit id (IDDev_Ser) is answered, functions 03, "
                  "06 and 16. At most " + std::to_string(limits.maxClients) + " clients at once: one more is "
                  "accepted and closed at once; a client silent for " + seconds(limits.idleLimit) + " is closed, "
                  "one whose request is not whole " + seconds(limits.requestLimit) + " after its first byte, and one "
                  "that sends a malformed request. SIGINT (Ctrl+C), SIGTERM, SIGHUP or SIGQUIT ends the server "
                  "with the summary; a third such signal ends it at once. Assumptions in force where the image "
                  "states nothing:" + assumptions);
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
                      "Write the frames that Modbus writes send to FILE as a candump log, each line as its frame "
                      "is sent")
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
    bool sendLogWhole = true;
    try {
        const std::optional<ListenAddress> listen = parseListenAddress(options.listen);
        if (!listen) throw Error("give an IPv4 address and a port, as 127.0.0.1:1502: " + options.listen);
        ImageSource source;
        source.firmware = options.firmware;
        source.files = options.image;
        // The send log empties its file once it has it: never the recording replayed or the image.
        if (options.sendLog) {
            std::vector<std::filesystem::path> inputs = ImageSourceFiles(source);
            inputs.push_back(PathFromUtf8(options.log));
            RefuseOutputOverInputs(PathFromUtf8(*options.sendLog), inputs);
        }
        // Caught from the start to the last line of the summary.
        StopSignals signals;
        const ReplayOptions replayOptions = ReplayOptionsOf(options.choices);
        ReplayGateway gateway(ReadReplayImage(source), replayOptions);
        CandumpReader log(PathFromUtf8(options.log));
        std::unique_ptr<SendLog> sendLog;
        if (options.sendLog) sendLog = std::make_unique<SendLog>(PathFromUtf8(*options.sendLog), signals, err);

        LogPlayer player(log, gateway, options.speed, options.step);
        const auto logTime = [&] { return options.step ? player.steppedNow() : player.timedNow(); };
        ModbusServerOptions serverOptions;
        serverOptions.address = listen->host;
        serverOptions.port = listen->port;
        serverOptions.oneBased = options.oneBased;
        ModbusServerCounts counts;
        {
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
            bool steppingTold = false;
            while (!signals.requested()) {
                if (options.step && input.ended() && !steppingTold) {
                    out << "--step: standard input has ended: no more frames of the log are applied" << std::endl;
                    steppingTold = true;
                }
                const std::optional<Micros> timeout = player.turn();
                const int wake[] = {signals.wakeDescriptor(), options.step ? input.descriptor() : -1};
                const std::vector<bool> readable = server.serveOnce(timeout, wake);
                for (const std::string& notice : server.takeNotices()) err << notice << std::endl;
                if (readable[1]) player.owe(input.readLines());
            }
            counts = server.counts();
        }
        if (sendLog) sendLogWhole = sendLog->close();

        WriteReplaySummary(log, gateway, out);
        out << ModbusServerSummary(counts, serverOptions, gateway.unitId()) << "\n";
        out.flush();
    } catch (const Error& e) {
        out.flush();
        err << e.what() << "\n";
        return 1;
    }
    return sendLogWhole ? 0 : 1;
}

}  // namespace trelvant::cli
