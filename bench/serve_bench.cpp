// What a Modbus master waits for from "trelvant-cli serve": one read of 125 holding registers
// (function 03), from libmodbus' client to the server on loopback and back. Target: under 1 ms.
// And the same master while serve reads a long stretch of its log: target under 10 ms a read.
#include "image/image_dump.h"
#include "replay/modbus_server.h"
#include "replay/replay_gateway.h"

#include <benchmark/benchmark.h>
#include <modbus.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace trelvant {
namespace {

constexpr std::uint16_t kFirstRegister = 1000;
constexpr int kRegisters = MODBUS_MAX_READ_REGISTERS;

// Registers 1000 to 1124 on 32 receive frames of four registers each, unit id 1.
ImageDump ReceiveImage()
{
    ImageDump image;
    image.parameters.push_back({"IDDev_Ser", 0, 1, 1, "", false});
    image.parameters.push_back({"TO_ModReg", 0, 2, 1, "", false});
    for (int f = 0; f < (kRegisters + 3) / 4; ++f)
        image.receiveFrames.rows.push_back({static_cast<std::uint32_t>(0xFE00 + f), 0, static_cast<std::uint8_t>(f),
                                            false, std::nullopt});
    constexpr std::uint8_t kPosComp[] = {0x21, 0x43, 0x65, 0x87};
    for (int r = 0; r < kRegisters; ++r)
        image.receiveMap.rows.push_back({static_cast<std::uint16_t>(kFirstRegister + r),
                                         static_cast<std::uint8_t>(r / 4 + 1), true, kPosComp[r % 4], std::nullopt});
    image.receiveFrames.count = static_cast<std::uint16_t>(image.receiveFrames.rows.size());
    image.receiveMap.count = static_cast<std::uint16_t>(image.receiveMap.rows.size());
    return image;
}

// The server in a thread of its own, on a free port of 127.0.0.1.
class BackgroundServer {
public:
    BackgroundServer() : gateway_(ReceiveImage())
    {
        ModbusServerOptions options;
        options.port = 0;
        server_ = std::make_unique<ModbusServer>(gateway_, options, nullptr, [] { return std::int64_t{0}; });
        thread_ = std::thread([this] {
            while (!stop_) server_->serveOnce(std::chrono::milliseconds(20), {});
        });
    }
    ~BackgroundServer()
    {
        stop_ = true;
        thread_.join();
    }
    int port() const { return server_->port(); }

private:
    ReplayGateway gateway_;
    std::unique_ptr<ModbusServer> server_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_Read125Registers(benchmark::State& state)
{
    BackgroundServer server;
    using Context = std::unique_ptr<modbus_t, void (*)(modbus_t*)>;
    const Context client(modbus_new_tcp("127.0.0.1", server.port()), modbus_free);
    if (!client || modbus_set_slave(client.get(), 1) != 0 || modbus_connect(client.get()) != 0) {
        state.SkipWithError("no connection to the server");
        return;
    }
    std::array<std::uint16_t, kRegisters> values{};
    for (auto _ : state) {
        if (modbus_read_registers(client.get(), kFirstRegister, kRegisters, values.data()) != kRegisters) {
            state.SkipWithError(modbus_strerror(errno));
            break;
        }
        benchmark::DoNotOptimize(values);
    }
    modbus_close(client.get());
}
BENCHMARK(BM_Read125Registers)->UseRealTime()->Unit(benchmark::kMicrosecond);

// trelvant-cli beside this program (TRELVANT_CLI names another), and the example project.
std::filesystem::path toolPath()
{
    if (const char* named = std::getenv("TRELVANT_CLI")) return named;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "trelvant-cli";
}
const std::filesystem::path kBoiler2 =
    std::filesystem::path(__FILE__).parent_path().parent_path() / "examples" / "projects" / "Boiler2";

// After the stretch, Boiler2's engine speed frame: register 100 becomes 4968 once the log is read.
const std::string kFrameAfter = "\n(1700000000.000000) can0 0CF00400#FFFFFF681300FFFF\n";

// 64 GiB of NUL bytes without a line end, as a sparse file: nothing on the disk.
bool writeNulRun(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const off_t stretch = off_t{64} << 30;
    const bool written = fd >= 0 && ::ftruncate(fd, stretch) == 0 &&
                         ::pwrite(fd, kFrameAfter.data(), kFrameAfter.size(), stretch) ==
                             static_cast<ssize_t>(kFrameAfter.size());
    if (fd >= 0) ::close(fd);
    return written;
}

// Ten million CAN FD lines (510 MB), which the replay passes over.
bool writeFdLines(const std::filesystem::path& path)
{
    std::ofstream file(path, std::ios::binary);
    std::string block;
    for (int i = 0; i < 100000; ++i) block += "(1700000000.000000) can0 123##1AABBCCDDEEFF00112233\n";
    for (int i = 0; i < 100; ++i) file << block;
    file << kFrameAfter;
    return static_cast<bool>(file);
}

// trelvant-cli serve on Boiler2 and a log, its port read from its "Listening on" line.
class ServeProcess {
public:
    explicit ServeProcess(const std::filesystem::path& log)
    {
        int output[2];
        if (::pipe(output) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        std::vector<std::string> arguments{toolPath().string(), "serve", kBoiler2.string(), "--log", log.string(),
                                           "--listen", "127.0.0.1:0"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        output_ = output[0];
    }
    ~ServeProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }

    std::optional<int> port()
    {
        std::string out;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (std::size_t at; (at = out.find("Listening on 127.0.0.1:")) == std::string::npos ||
                             out.find('\n', at) == std::string::npos;) {
            pollfd watched{output_, POLLIN, 0};
            char bytes[4096];
            ssize_t got = 0;
            if (pid_ < 0 || std::chrono::steady_clock::now() > until || ::poll(&watched, 1, 1000) < 0 ||
                (watched.revents != 0 && (got = ::read(output_, bytes, sizeof bytes)) <= 0))
                return std::nullopt;
            out.append(bytes, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
        }
        return std::stoi(out.substr(out.find("Listening on 127.0.0.1:") + 23));
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

// Reads of registers 100 to 102 while serve reads the stretch before the log's one frame: the
// time of each, and the longest as max_ms. The register must still read 0 at the end, or the
// reads were not all made while the log was read.
void BM_ReadWhileServeReadsALongLog(benchmark::State& state, bool (*writeLog)(const std::filesystem::path&))
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("serve_bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path log = folder / "long.log";
    if (!writeLog(log)) {
        state.SkipWithError("the temporary folder cannot hold the log");
        std::filesystem::remove_all(folder);
        return;
    }
    {
        ServeProcess serve(log);
        const std::optional<int> port = serve.port();
        using Context = std::unique_ptr<modbus_t, void (*)(modbus_t*)>;
        const Context client(port ? modbus_new_tcp("127.0.0.1", *port) : nullptr, modbus_free);
        if (!client || modbus_set_slave(client.get(), 1) != 0 || modbus_connect(client.get()) != 0) {
            state.SkipWithError("no connection to trelvant-cli serve (TRELVANT_CLI names it)");
        } else {
            std::array<std::uint16_t, 3> values{};
            double longest = 0;
            for (auto _ : state) {
                const auto start = std::chrono::steady_clock::now();
                if (modbus_read_registers(client.get(), 100, 3, values.data()) != 3) {
                    state.SkipWithError(modbus_strerror(errno));
                    break;
                }
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                state.SetIterationTime(seconds);
                longest = std::max(longest, seconds);
            }
            state.counters["max_ms"] = longest * 1000;
            if (values[0] != 0) state.SkipWithError("the log was read before the reads ended: fewer iterations");
            modbus_close(client.get());
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK_CAPTURE(BM_ReadWhileServeReadsALongLog, nul_run, writeNulRun)
    ->Iterations(3000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadWhileServeReadsALongLog, fd_lines, writeFdLines)
    ->Iterations(3000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trelvant
