// trelvant-cli serve run as a child process and driven by libmodbus' own client.
#include "replay/can_log.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace trelvant {
namespace {

using namespace std::chrono_literals;
using test::ReadText;
using test::RunTool;
using test::TempFolder;

using Clock = std::chrono::steady_clock;

const std::string kBoiler2 = TRELVANT_EXAMPLE_PROJECT;
const std::string kPdu1 = TRELVANT_PDU1_PROJECT;
const std::filesystem::path kLogs = TRELVANT_REPLAY_LOGS;

// Every wait of a test ends after this, whatever the server does.
constexpr auto kPatience = 5s;

void closeOnExec(int fd)
{
    ASSERT_NE(fcntl(fd, F_SETFD, FD_CLOEXEC), -1);
}

// What a server's standard input is.
enum class Input {
    Pipe,     // a pipe the test writes
    Closed,   // no descriptor 0 at all
    DevNull,  // /dev/null: ended at once
};

// trelvant-cli serve in the background: its standard input a pipe the test writes, its standard
// output a pipe read up to the "Listening on" line for the port. Killed if the test ends early.
class Server {
public:
    explicit Server(std::vector<std::string> arguments, Input inputKind = Input::Pipe)
    {
        int input[2], output[2];
        if (::pipe(input) != 0 || ::pipe(output) != 0) throw std::runtime_error("pipe");
        for (const int fd : {input[0], input[1], output[0], output[1]}) closeOnExec(fd);
        input_ = input[1];
        output_ = output[0];

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (inputKind == Input::Pipe)
            posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        else if (inputKind == Input::Closed)
            posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        const std::string errPath = (folder_ / "err").string();
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        arguments.insert(arguments.begin(), {TRELVANT_CLI_PATH, "serve"});
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid_, TRELVANT_CLI_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        if (spawned != 0) pid_ = -1;
        if (inputKind != Input::Pipe) closeInput();
    }
    ~Server()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closeInput();
        ::close(output_);
    }

    // The port of the "Listening on 127.0.0.1:<port>, unit id <n>" line; none when the server
    // ended or said nothing of it in time.
    std::optional<int> port()
    {
        const Clock::time_point until = Clock::now() + kPatience;
        std::size_t at;
        const auto whole = [&] {
            at = out_.find("Listening on 127.0.0.1:");
            return at != std::string::npos && out_.find('\n', at) != std::string::npos;
        };
        while (!whole())
            if (!readOutput(until)) return std::nullopt;
        return std::stoi(out_.substr(at + 23));
    }

    void send(const std::string& text)
    {
        ASSERT_EQ(::write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void closeInput()
    {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    // The signal, then everything it writes up to its end; its exit status, -1 when it did not end
    // normally in time.
    int terminate(int signal = SIGTERM)
    {
        ::kill(pid_, signal);
        const std::optional<int> status = end();
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Everything it writes up to its end; its wait status, none when it did not end in time.
    std::optional<int> end()
    {
        const Clock::time_point until = Clock::now() + kPatience;
        while (readOutput(until)) {
        }
        int status = 0;
        pid_t ended = 0;
        while ((ended = ::waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < until)
            std::this_thread::sleep_for(10ms);
        if (ended != pid_) return std::nullopt;
        pid_ = -1;
        return status;
    }

    // Reads standard output until it holds text; false when it ended or kPatience passed first.
    bool awaitOutput(const std::string& text)
    {
        const Clock::time_point until = Clock::now() + kPatience;
        while (out_.find(text) == std::string::npos)
            if (!readOutput(until)) return false;
        return true;
    }

    pid_t pid() const { return pid_; }

    const std::string& out() const { return out_; }
    std::string err() const { return ReadText(folder_ / "err"); }

private:
    // Appends what standard output gives before until; false at its end or at until.
    bool readOutput(Clock::time_point until)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        pollfd watched{output_, POLLIN, 0};
        if (left <= 0 || ::poll(&watched, 1, static_cast<int>(left)) <= 0) return false;
        char bytes[4096];
        const ssize_t got = ::read(output_, bytes, sizeof bytes);
        if (got <= 0) return false;
        out_.append(bytes, static_cast<std::size_t>(got));
        return true;
    }

    TempFolder folder_;
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string out_;
};

// A libmodbus client of one connection, a response timeout bounding every request.
class Client {
public:
    Client(int port, int unit)
        : context_(modbus_new_tcp("127.0.0.1", port), modbus_free)
    {
        if (!context_ || modbus_set_slave(context_.get(), unit) != 0 ||
            modbus_set_response_timeout(context_.get(), 2, 0) != 0 || modbus_connect(context_.get()) != 0)
            context_.reset();
    }
    ~Client()
    {
        if (context_) modbus_close(context_.get());
    }

    modbus_t* get() const { return context_.get(); }
    bool connected() const { return context_ != nullptr; }

    // The registers read, or the errno of the failure.
    std::variant<std::vector<std::uint16_t>, int> read(int address, int count) const
    {
        std::vector<std::uint16_t> values(static_cast<std::size_t>(count));
        if (modbus_read_registers(context_.get(), address, count, values.data()) != count) return errno;
        return values;
    }

    // Reads until count registers from address hold expected, at most kPatience.
    bool awaits(int address, const std::vector<std::uint16_t>& expected) const
    {
        const Clock::time_point until = Clock::now() + kPatience;
        std::variant<std::vector<std::uint16_t>, int> got;
        while ((got = read(address, static_cast<int>(expected.size()))) != decltype(got)(expected)) {
            if (Clock::now() > until) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    // The exception code of the answer to a PDU sent as it is; 0 for an answer that is none, -1
    // when no answer came.
    int exceptionOf(const std::vector<std::uint8_t>& pdu) const
    {
        std::vector<std::uint8_t> request{static_cast<std::uint8_t>(modbus_get_slave(context_.get()))};
        request.insert(request.end(), pdu.begin(), pdu.end());
        if (modbus_send_raw_request(context_.get(), request.data(), static_cast<int>(request.size())) < 0) return -1;
        std::array<std::uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> answer{};
        const int length = modbus_receive_confirmation(context_.get(), answer.data());
        if (length < 0) return -1;
        return length == 9 && answer[7] == (pdu[0] | 0x80) ? answer[8] : 0;
    }

private:
    std::unique_ptr<modbus_t, void (*)(modbus_t*)> context_;
};

using Result = std::variant<std::vector<std::uint16_t>, int>;

// What a request gives: the registers read (none for a write) or the errno of the refusal.
struct RequestCase {
    std::string what;
    std::function<Result(const Client&)> request;
    Result expected;
};

Result write(const Client& client, int address, std::vector<std::uint16_t> values)
{
    const int done = values.size() == 1 ? modbus_write_register(client.get(), address, values[0])
                                        : modbus_write_registers(client.get(), address, static_cast<int>(values.size()),
                                                                 values.data());
    return done == -1 ? Result(errno) : Result(std::vector<std::uint16_t>{});
}

void expectAll(const Client& client, const std::vector<RequestCase>& cases)
{
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.request(client), c.expected);
    }
}

TEST(ServeCommand, AnswersAsTheGatewayOnItsSerialLineAndStepsThroughTheLog)
{
    Server server({kBoiler2, "--log", (kLogs / "boiler2.log").string(), "--listen", "127.0.0.1:0", "--step"});
    const std::optional<int> port = server.port();
    ASSERT_TRUE(port) << server.out() << server.err();
    EXPECT_NE(server.out().find("Assumptions in force:\n"), std::string::npos);
    EXPECT_NE(server.out().find(", unit id 1\n"), std::string::npos);
    const Client client(*port, 1);
    ASSERT_TRUE(client.connected());

    // Two lines, two frames: engine speed and coolant temperature, not yet the oil pressure.
    EXPECT_EQ(client.read(100, 3), Result(std::vector<std::uint16_t>{0, 0, 0}));
    server.send("\n\n");
    ASSERT_TRUE(client.awaits(100, {4968, 140}));
    EXPECT_EQ(client.read(102, 1), Result(std::vector<std::uint16_t>{0}));
    // The other eight data frames of the log, then no more.
    server.send("\n\n\n\n\n\n\n\n");
    server.closeInput();
    ASSERT_TRUE(client.awaits(100, {0x1480, 140, 125}));

    using Values = std::vector<std::uint16_t>;
    const auto read = [](int address, int count) { return [=](const Client& c) { return c.read(address, count); }; };
    const auto raw = [](std::vector<std::uint8_t> pdu) {
        return [=](const Client& c) { return Result(c.exceptionOf(pdu) + MODBUS_ENOBASE); };
    };
    expectAll(client, {
        {"TO_ModReg reads 0", read(1, 1), Values{0}},
        {"a register no table names", read(150, 1), EMBXILADD},
        {"a range from mapped into unmapped registers", read(101, 3), EMBXILADD},
        {"a range from an unmapped register into mapped ones", read(99, 2), EMBXILADD},
        {"a write to a receive register", [](const Client& c) { return write(c, 100, {7}); }, EMBXILADD},
        {"a write to TO_ModReg", [](const Client& c) { return write(c, 1, {7}); }, EMBXILADD},
        {"a write over a transmit register and the next, no register",
         [](const Client& c) { return write(c, 201, {7, 8}); }, EMBXILADD},
        {"the receive register kept its value", read(100, 1), Values{0x1480}},
        {"function 16 on both transmit registers", [](const Client& c) { return write(c, 200, {0xBEEF, 0x0102}); },
         Values{}},
        {"function 06 on one", [](const Client& c) { return write(c, 201, {0x0A0B}); }, Values{}},
        {"what the writes left", read(200, 2), Values{0xBEEF, 0x0A0B}},
        {"function 04", [](const Client& c) {
             std::uint16_t value;
             return modbus_read_input_registers(c.get(), 100, 1, &value) == -1 ? Result(errno) : Result(Values{value});
         }, EMBXILFUN},
        {"function 01", raw({0x01, 0, 100, 0, 1}), EMBXILFUN},
        {"a read of 0 registers", raw({0x03, 0, 100, 0, 0}), EMBXILVAL},
        {"a read of 126 registers", raw({0x03, 0, 100, 0, 126}), EMBXILVAL},
        {"a write of 0 registers", raw({0x10, 0, 200, 0, 0, 0}), EMBXILVAL},
        {"a write whose byte count is not twice its quantity", raw({0x10, 0, 200, 0, 2, 2, 0, 1}), EMBXILVAL},
    });

    // Another unit id gets no answer, as on the serial line; the connection stays.
    modbus_set_slave(client.get(), 2);
    modbus_set_response_timeout(client.get(), 0, 300000);
    EXPECT_EQ(client.read(100, 1), Result(ETIMEDOUT));
    modbus_set_slave(client.get(), 1);
    EXPECT_EQ(client.read(100, 1), Result(Values{0x1480}));

    // A request longer than its function takes ends its own connection only.
    const Client malformed(*port, 1);
    EXPECT_EQ(malformed.exceptionOf({0x03, 0, 100, 0, 1, 0xAA}), -1);
    EXPECT_EQ(client.read(102, 1), Result(Values{125}));

    // Eight clients at once: a ninth is closed at once.
    std::vector<std::unique_ptr<Client>> others;
    for (int i = 0; i < 7; ++i) {
        others.push_back(std::make_unique<Client>(*port, 1));
        EXPECT_EQ(others.back()->read(101, 1), Result(Values{140}));
    }
    const Client ninth(*port, 1);
    EXPECT_NE(ninth.read(101, 1), Result(Values{140}));

    EXPECT_EQ(server.terminate(), 0) << server.err();
    const std::string& out = server.out();
    EXPECT_NE(out.find("\nSummary:\nLog: 15 lines;"), std::string::npos) << out;
    EXPECT_NE(out.find("1 request to another unit id not answered; 1 connection closed on a malformed request; 1 "
                       "client refused"),
              std::string::npos)
        << out;
}

// Pdu1: registers 20 and 21 make transmit frame 1 (0x0CEF0527), only 20 with its flag set.
TEST(ServeCommand, SendsTheFramesOfWritesIntoTheSendLog)
{
    for (const bool oneBased : {false, true}) {
        SCOPED_TRACE(oneBased ? "--one-based" : "as stored");
        TempFolder folder;
        std::vector<std::string> arguments{kPdu1, "--log", (kLogs / "pdu1.log").string(), "--listen", "127.0.0.1:0",
                                           "--speed", "1000000", "--send-log", (folder / "sent.log").string()};
        if (oneBased) arguments.push_back("--one-based");
        Server server(arguments);
        const std::optional<int> port = server.port();
        ASSERT_TRUE(port) << server.out() << server.err();
        const Client client(*port, 7);
        ASSERT_TRUE(client.connected());

        const int shift = oneBased ? 1 : 0;
        ASSERT_TRUE(client.awaits(10 - shift, {0x1234, 0xAA}));
        using Values = std::vector<std::uint16_t>;
        const auto read = [&](int reg, int count) {
            return [=](const Client& c) { return c.read(reg - shift, count); };
        };
        const auto writes = [&](int reg, Values values) {
            return [=](const Client& c) { return write(c, reg - shift, values); };
        };
        expectAll(client, {
            {"receive registers 1 and 2", read(1, 2), Values{0x1234, 0x1122}},
            {"the remote request registers read 0", read(500, 4), Values{0, 0, 0, 0}},
            {"a write to a remote request register", writes(501, {1}), EMBXILADD},
            {"a write to TO_ModReg", writes(9, {1}), EMBXILADD},
            {"registers 20 and 21: frame 1 is sent", writes(20, {0x1234, 0x5678}), Values{}},
            {"register 21 alone: its flag is not set, nothing is sent", writes(21, {0x9ABC}), Values{}},
            {"address 0", [&](const Client& c) { return c.read(0, 1); },
             oneBased ? Result(Values{0x1234}) : Result(EMBXILADD)},
            {"address 65535", [](const Client& c) { return c.read(65535, 1); }, EMBXILADD},
        });

        EXPECT_EQ(server.terminate(), 0) << server.err();
        EXPECT_NE(server.out().find("\nSummary:\n"), std::string::npos) << server.out();
        const std::string sent = ReadText(folder / "sent.log");
        ASSERT_EQ(std::count(sent.begin(), sent.end(), '\n'), 1) << sent;
        const CandumpLine line = ParseCandumpLine(sent.substr(0, sent.find('\n')));
        ASSERT_EQ(line.kind, CandumpLineKind::Frame) << sent;
        EXPECT_TRUE(line.frame.extended);
        EXPECT_EQ(line.frame.id, 0x0CEF0527u);
        EXPECT_EQ(line.frame.length, 8);
        EXPECT_EQ(line.frame.data, (std::array<std::uint8_t, 8>{0x34, 0x12, 0x78, 0x56, 0xFF, 0xFF, 0xFF, 0xFF}));
        // In the log's time: after its first frame.
        EXPECT_GE(line.frame.time, 1700000100000000);
    }
}

TEST(ServeCommand, RefusesWhatItCannotServe)
{
    // A port already listened on.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(taken, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string takenPort = std::to_string(ntohs(address.sin_port));

    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string err;  // the start of standard error
    };
    const std::string log = (kLogs / "boiler2.log").string();
    const std::vector<Case> cases = {
        {{kBoiler2, "--log", log, "--listen", "127.0.0.1"}, 2, "--listen: give an IPv4 address and a port"},
        {{kBoiler2, "--log", log, "--listen", "localhost:1502"}, 2, "--listen: give an IPv4 address and a port"},
        {{kBoiler2, "--log", log, "--listen", "127.0.0.1:65536"}, 2, "--listen: give an IPv4 address and a port"},
        {{kBoiler2, "--log", log, "--speed", "0"}, 2, "--speed: give a positive number"},
        {{kBoiler2, "--log", (kLogs / "missing.log").string(), "--listen", "127.0.0.1:0"}, 1, "Unable to read "},
        {{kBoiler2, "--log", log, "--listen", "127.0.0.1:" + takenPort}, 1,
         "Unable to listen on 127.0.0.1:" + takenPort + ": Address already in use\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"serve"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(c.err);
        const test::ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(run.out.find("Listening on"), std::string::npos);
    }
    ::close(taken);
}

// A recording is often all there is of a bus: the send log never takes its place.
TEST(ServeCommand, ASendLogThatIsTheLogReplayedIsRefusedBeforeItIsOpened)
{
    TempFolder folder;
    const std::filesystem::path log = folder / "recording.log";
    std::filesystem::copy_file(kLogs / "pdu1.log", log);
    const std::string recording = test::ReadText(log);
    const test::ToolRun run = RunTool({"serve", kPdu1, "--log", log.string(), "--listen", "127.0.0.1:0",
                                       "--send-log", log.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Unable to write to " + log.string() + ": it is " + log.string() + ", which this command reads\n");
    EXPECT_EQ(run.out.find("Listening on"), std::string::npos);
    EXPECT_EQ(test::ReadText(log), recording);
}

// Pdu1 served at full speed with a send log; writing registers 20 and 21 sends transmit frame 1.
std::vector<std::string> pdu1WithSendLog(const std::filesystem::path& sendLog)
{
    return {kPdu1, "--log", (kLogs / "pdu1.log").string(), "--listen", "127.0.0.1:0", "--speed", "1000000",
            "--send-log", sendLog.string()};
}

std::size_t linesOf(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Each line of a send log a whole frame line of transmit frame 1.
void expectWholeFrameLines(const std::string& sent, std::size_t count)
{
    EXPECT_EQ(linesOf(sent), count);
    EXPECT_TRUE(sent.empty() || sent.back() == '\n');
    std::istringstream lines(sent);
    for (std::string line; std::getline(lines, line);) {
        const CandumpLine parsed = ParseCandumpLine(line);
        ASSERT_EQ(parsed.kind, CandumpLineKind::Frame) << line;
        ASSERT_EQ(parsed.frame.id, 0x0CEF0527u) << line;
    }
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

TEST(ServeCommand, EachStopSignalEndsItWithTheSendLogAndTheSummary)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signal));
        TempFolder folder;
        Server server(pdu1WithSendLog(folder / "sent.log"));
        const std::optional<int> port = server.port();
        ASSERT_TRUE(port) << server.out() << server.err();
        const Client client(*port, 7);
        ASSERT_EQ(write(client, 20, {0x1234, 0x5678}), Result(std::vector<std::uint16_t>{}));

        EXPECT_EQ(server.terminate(signal), 0) << server.err();
        EXPECT_NE(server.out().find("\nSummary:\n"), std::string::npos) << server.out();
        EXPECT_NE(server.out().find("\nModbus TCP: 1 connection, 1 request to unit id 7"), std::string::npos);
        expectWholeFrameLines(ReadText(folder / "sent.log"), 1);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "a file left beside";
    }
}

// The signals arrive together while serve is stopped, so that the later ones find it ending.
TEST(ServeCommand, ASecondSignalIsToldAndIgnoredAThirdEndsItAtOnceWithTheSendLogWhole)
{
    struct Case {
        std::vector<int> signals;
        bool summary;  // the clean end
    };
    const std::vector<Case> cases = {
        {{SIGTERM, SIGINT}, true},
        {{SIGTERM, SIGINT, SIGHUP}, false},
    };
    constexpr std::size_t kWrites = 2000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.signals.size()) + " signals");
        TempFolder folder;
        Server server(pdu1WithSendLog(folder / "sent.log"));
        const std::optional<int> port = server.port();
        ASSERT_TRUE(port) << server.out() << server.err();
        const Client client(*port, 7);
        for (std::size_t i = 0; i < kWrites; ++i)
            ASSERT_EQ(write(client, 20, {static_cast<std::uint16_t>(i), 1}), Result(std::vector<std::uint16_t>{}));

        ASSERT_EQ(::kill(server.pid(), SIGSTOP), 0);
        for (const int signal : c.signals) ::kill(server.pid(), signal);
        ::kill(server.pid(), SIGCONT);
        const std::optional<int> status = server.end();
        ASSERT_TRUE(status) << "serve did not end";
        const std::string err = server.err();
        EXPECT_EQ(occurrences(err, "serve is ending already: this signal is ignored"), 1u) << err;
        if (c.summary) {
            EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status << err;
            EXPECT_NE(server.out().find("\nModbus TCP: 1 connection, 2000 requests"), std::string::npos)
                << server.out();
        } else {
            EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) > 128) << *status << err;
            EXPECT_EQ(server.out().find("\nSummary:\n"), std::string::npos) << server.out();
            EXPECT_NE(err.find("serve ended at once: the summary is lost; the send log holds every frame sent\n"),
                      std::string::npos)
                << err;
        }
        expectWholeFrameLines(ReadText(folder / "sent.log"), kWrites);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "a file left beside";
    }
}

TEST(ServeCommand, StepsEndWhereStandardInputEnds)
{
    struct Case {
        std::string what;
        Input input;
        std::string lines;  // written before the pipe is closed
        std::vector<std::uint16_t> registers;  // 100 and 101 at the end
        std::string log;  // the summary's line on the log: the lines read, the next frame's included, none skipped
    };
    const std::vector<Case> cases = {
        {"standard input closed", Input::Closed, "", {0, 0}, "Log: 2 lines; skipped 0"},
        {"standard input /dev/null", Input::DevNull, "", {0, 0}, "Log: 2 lines; skipped 0"},
        {"two lines, then the end", Input::Pipe, "\n\n", {4968, 140}, "Log: 4 lines; skipped 0"},
        {"a line without its line end at the end", Input::Pipe, "\nx", {4968, 140}, "Log: 4 lines; skipped 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Server server({kBoiler2, "--log", (kLogs / "boiler2.log").string(), "--listen", "127.0.0.1:0", "--step"},
                      c.input);
        const std::optional<int> port = server.port();
        ASSERT_TRUE(port) << server.out() << server.err();
        if (c.input == Input::Pipe) {
            server.send(c.lines);
            server.closeInput();
        }
        EXPECT_TRUE(server.awaitOutput("\n--step: standard input has ended: no more frames of the log are applied\n"))
            << server.out();
        const Client client(*port, 1);
        EXPECT_TRUE(client.awaits(100, c.registers));
        EXPECT_EQ(server.terminate(), 0) << server.err();
        EXPECT_NE(server.out().find("\nSummary:\n" + c.log), std::string::npos) << server.out();
    }
}

TEST(ServeCommand, AnswersWhileALongStretchOfTheLogIsRead)
{
    // After the stretch, the engine speed frame: register 100 becomes 4968.
    const std::string frameLine = "\n(1700000000.000000) can0 0CF00400#FFFFFF681300FFFF\n";
    struct Case {
        std::string what;
        std::function<bool(const std::filesystem::path&)> write;
    };
    const std::vector<Case> cases = {
        {"64 GiB of NUL bytes (a sparse file)",
         [&](const std::filesystem::path& path) {
             const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
             const off_t stretch = off_t{64} << 30;
             const bool written = fd >= 0 && ::ftruncate(fd, stretch) == 0 &&
                                  ::pwrite(fd, frameLine.data(), frameLine.size(), stretch) ==
                                      static_cast<ssize_t>(frameLine.size());
             if (fd >= 0) ::close(fd);
             return written;
         }},
        {"two million CAN FD lines",
         [&](const std::filesystem::path& path) {
             std::ofstream file(path, std::ios::binary);
             const std::string line = "(1700000000.000000) can0 123##1AABBCCDDEEFF00112233\n";
             std::string block;
             for (int i = 0; i < 10000; ++i) block += line;
             for (int i = 0; i < 200; ++i) file << block;
             file << frameLine;
             return static_cast<bool>(file);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        if (!c.write(folder / "long.log")) GTEST_SKIP() << "the temporary folder cannot hold " << c.what;
        Server server({kBoiler2, "--log", (folder / "long.log").string(), "--listen", "127.0.0.1:0"});
        const std::optional<int> port = server.port();
        ASSERT_TRUE(port) << server.out() << server.err();
        const Client client(*port, 1);
        // Answered while the frame after the stretch is not yet read.
        EXPECT_EQ(client.read(100, 2), Result(std::vector<std::uint16_t>{0, 0}));
        EXPECT_EQ(server.terminate(), 0) << server.err();
        EXPECT_NE(server.out().find("\nSummary:\n"), std::string::npos) << server.out();
    }
}

// The processor time a process has used, in seconds.
double processorSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoull(field);
        if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The lowest descriptor a process has free: the one its next open would take.
int lowestFreeDescriptor(pid_t pid)
{
    std::vector<int> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        open.push_back(std::stoi(entry.path().filename().string()));
    int free = 0;
    while (std::find(open.begin(), open.end(), free) != open.end()) ++free;
    return free;
}

TEST(ServeCommand, AcceptingRestsWhileTheSystemRefusesClients)
{
    Server server({kBoiler2, "--log", (kLogs / "boiler2.log").string(), "--listen", "127.0.0.1:0"});
    const std::optional<int> port = server.port();
    ASSERT_TRUE(port) << server.out() << server.err();
    rlimit before{};
    ASSERT_EQ(::prlimit(server.pid(), RLIMIT_NOFILE, nullptr, &before), 0);
    // No descriptor left for a client: none below the limit is free.
    const rlimit none{static_cast<rlim_t>(lowestFreeDescriptor(server.pid())), before.rlim_max};

    ASSERT_EQ(::prlimit(server.pid(), RLIMIT_NOFILE, &none, nullptr), 0);

    // The kernel takes the connection; serve cannot accept it, and the listener stays readable.
    const Client waiting(*port, 1);
    ASSERT_TRUE(waiting.connected());
    const double start = processorSeconds(server.pid());
    std::this_thread::sleep_for(1500ms);
    // A generous bound: a loop that spins on the listener uses the whole 1.5 s.
    EXPECT_LT(processorSeconds(server.pid()) - start, 0.5);

    ASSERT_EQ(::prlimit(server.pid(), RLIMIT_NOFILE, &before, nullptr), 0);
    const Result answer = waiting.read(101, 1);
    EXPECT_TRUE(std::holds_alternative<std::vector<std::uint16_t>>(answer)) << "not served once descriptors are free";

    EXPECT_EQ(server.terminate(), 0) << server.err();
    EXPECT_EQ(server.err(), "Unable to accept a client: " + std::string(std::strerror(EMFILE)) +
                                "; accepting again every 500 ms while this lasts\n");
    EXPECT_NE(server.out().find("; accepting rested "), std::string::npos) << server.out();
}

TEST(ServeCommand, TheSendLogKeepsWhatWasSentWhenItsDiskFills)
{
    TempFolder folder;
    const std::string lineOfFrame1 = "(1700000100.000000) can0 0CEF0527#34127856FFFFFFFF\n";
    struct Case {
        std::string what;
        std::filesystem::path sendLog;
        std::optional<rlim_t> sizeLimit;  // of the files serve writes
        int errorNumber;
        std::size_t kept;  // whole lines
    };
    const std::vector<Case> cases = {
        {"a full disk", "/dev/full", std::nullopt, ENOSPC, 0},
        {"a file size limit of ten and a half lines", folder / "sent.log", lineOfFrame1.size() * 21 / 2, EFBIG, 10},
    };
    constexpr std::size_t kWrites = 25;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Server server(pdu1WithSendLog(c.sendLog));
        const std::optional<int> port = server.port();
        ASSERT_TRUE(port) << server.out() << server.err();
        if (c.sizeLimit) {
            const rlimit limit{*c.sizeLimit, *c.sizeLimit};
            ASSERT_EQ(::prlimit(server.pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
        }
        const Client client(*port, 7);
        // Each write answered, the one that met the full disk too.
        for (std::size_t i = 0; i < kWrites; ++i)
            ASSERT_EQ(write(client, 20, {0x1234, 0x5678}), Result(std::vector<std::uint16_t>{})) << i;
        EXPECT_EQ(client.read(20, 2), Result(std::vector<std::uint16_t>{0x1234, 0x5678}));

        // A send log that lost frames ends serve with status 1, the summary given.
        EXPECT_EQ(server.terminate(), 1) << server.err();
        EXPECT_NE(server.out().find("\nModbus TCP: 1 connection, 26 requests"), std::string::npos) << server.out();
        EXPECT_EQ(server.err(), "Unable to write to " + c.sendLog.string() + ": " + std::strerror(c.errorNumber) +
                                    ": the send log stops after " + std::to_string(c.kept) +
                                    " frames; serve goes on answering\n");
        if (c.sizeLimit) expectWholeFrameLines(ReadText(c.sendLog), c.kept);
    }
}

TEST(ServeCommand, ASecondRunNamingALiveSendLogIsRefused)
{
    TempFolder folder;
    Server live(pdu1WithSendLog(folder / "sent.log"));
    const std::optional<int> port = live.port();
    ASSERT_TRUE(port) << live.out() << live.err();
    const Client client(*port, 7);
    ASSERT_EQ(write(client, 20, {0x1234, 0x5678}), Result(std::vector<std::uint16_t>{}));
    std::filesystem::create_symlink("sent.log", folder / "link.log");

    for (const std::string name : {"sent.log", "link.log"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> arguments = pdu1WithSendLog(folder / name);
        arguments.insert(arguments.begin(), "serve");
        const test::ToolRun second = RunTool(arguments);
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_EQ(second.err, "Unable to write to " + (folder / name).string() + ": another program is writing it\n");
        EXPECT_EQ(second.out.find("Listening on"), std::string::npos);
    }
    ASSERT_EQ(write(client, 20, {0x4321, 0x8765}), Result(std::vector<std::uint16_t>{}));
    EXPECT_EQ(live.terminate(), 0) << live.err();
    expectWholeFrameLines(ReadText(folder / "sent.log"), 2);
}

// One request sent over a plain socket, as long as the test makes it (libmodbus' client sends no
// request longer than Modbus TCP allows): the exception code of the answer, 0 for an answer that
// is none, -1 when the connection was closed without one.
int exceptionOfRawRequest(int port, std::uint8_t unit, const std::vector<std::uint8_t>& pdu)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0) return -2;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<std::uint8_t> request{0, 1, 0, 0, static_cast<std::uint8_t>((pdu.size() + 1) >> 8),
                                      static_cast<std::uint8_t>(pdu.size() + 1), unit};
    request.insert(request.end(), pdu.begin(), pdu.end());
    int result = -2;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(socket, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        pollfd watched{socket, POLLIN, 0};
        std::array<std::uint8_t, 260> answer{};
        const ssize_t got = ::poll(&watched, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) > 0
                                ? ::recv(socket, answer.data(), answer.size(), 0)
                                : -2;
        if (got == 0 || (got < 0 && errno == ECONNRESET)) result = -1;
        if (got > 0) result = got == 9 && answer[7] == (pdu[0] | 0x80) ? answer[8] : 0;
    }
    ::close(socket);
    return result;
}

TEST(ServeCommand, ARequestTooLongForModbusTcpClosesItsConnection)
{
    Server server({kBoiler2, "--log", (kLogs / "boiler2.log").string(), "--listen", "127.0.0.1:0"});
    const std::optional<int> port = server.port();
    ASSERT_TRUE(port) << server.out() << server.err();
    // Function 16 from register 200: quantity, byte count and the values.
    const auto writeOf = [](std::uint8_t quantity) {
        std::vector<std::uint8_t> pdu{0x10, 0, 200, 0, quantity, static_cast<std::uint8_t>(2 * quantity)};
        pdu.resize(pdu.size() + 2u * quantity, 0);
        return pdu;
    };
    struct Case {
        std::string what;
        std::vector<std::uint8_t> pdu;
        int answer;  // the exception code; -1 for the connection closed without one
    };
    const std::vector<Case> cases = {
        {"a write of 123 registers fits: the registers are no transmit registers", writeOf(123),
         MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS},
        {"a write of 124 registers is longer than a Modbus TCP request", writeOf(124), -1},
        {"a quantity of 124 with a byte count of one register", {0x10, 0, 200, 0, 124, 2, 0, 1},
         MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(exceptionOfRawRequest(*port, 1, c.pdu), c.answer);
    }
    const Client after(*port, 1);
    EXPECT_EQ(after.read(200, 1), Result(std::vector<std::uint16_t>{0}));
    EXPECT_EQ(server.terminate(), 0) << server.err();
    EXPECT_NE(server.out().find("; 1 connection closed on a malformed request"), std::string::npos) << server.out();
}

}  // namespace
}  // namespace trelvant
