// The Modbus TCP server's own limits and summary, driven over loopback by raw sockets and by
// libmodbus' client, with limits short enough for a test.
#include "image/image_builder.h"
#include "image/image_dump.h"
#include "replay/modbus_server.h"
#include "replay/replay_gateway.h"

#include <gtest/gtest.h>
#include <modbus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trelvant {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// Every wait of a test ends after this, whatever the server does.
constexpr auto kPatience = 5s;

// Pdu1: unit id 7, registers 1 and 2 received.
const std::filesystem::path kPdu1 = std::filesystem::path(TRELVANT_REPORT_DATA) / "Pdu1";
constexpr int kUnitId = 7;

ImageDump built(const std::filesystem::path& project)
{
    auto image = std::make_unique<ConfigurationImage>();
    BuildConfigurationImage(*image, project, FixedClock({2026, 12, 10, 12, 0, 0}));
    return DumpConfigurationImage(*image);
}

// The server's loop in a thread of its own, on a free port of 127.0.0.1.
class RunningServer {
public:
    explicit RunningServer(ModbusServerOptions options) : gateway_(built(kPdu1))
    {
        options.port = 0;
        server_ = std::make_unique<ModbusServer>(gateway_, options, nullptr, [] { return std::int64_t{0}; });
        thread_ = std::thread([this] {
            while (!stop_) server_->serveOnce(std::chrono::milliseconds(10), {});
        });
    }
    ~RunningServer() { stop(); }

    int port() const { return server_->port(); }
    // Ends the loop; what the server counted.
    ModbusServerCounts stop()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return server_->counts();
    }

private:
    ReplayGateway gateway_;
    std::unique_ptr<ModbusServer> server_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A plain TCP connection that sends what the test gives it, byte by byte if need be.
class RawClient {
public:
    explicit RawClient(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (socket_ >= 0 && ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(socket_);
            socket_ = -1;
        }
    }
    ~RawClient()
    {
        if (socket_ >= 0) ::close(socket_);
    }

    bool connected() const { return socket_ >= 0; }
    // False once the server has closed the connection.
    bool send(const std::vector<std::uint8_t>& bytes) const
    {
        return ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // True when the server closed the connection: its end, or a reset, without an answer.
    bool closedByServer() const
    {
        pollfd watched{socket_, POLLIN, 0};
        if (::poll(&watched, 1, 0) <= 0) return false;
        std::uint8_t byte;
        return ::recv(socket_, &byte, 1, MSG_DONTWAIT) <= 0;
    }
    // The bytes of one answer, none when nothing came within kPatience.
    std::vector<std::uint8_t> answer() const
    {
        pollfd watched{socket_, POLLIN, 0};
        if (::poll(&watched, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) <= 0) return {};
        std::vector<std::uint8_t> bytes(260);
        const ssize_t got = ::recv(socket_, bytes.data(), bytes.size(), 0);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return bytes;
    }

private:
    int socket_;
};

// Function 03 of register 1, one register, transaction 1.
const std::vector<std::uint8_t> kReadRegister1 = {0, 1, 0, 0, 0, 6, kUnitId, 0x03, 0, 1, 0, 1};

// A libmodbus client's read of register 1: true when it was answered.
bool readsRegister1(int port)
{
    const std::unique_ptr<modbus_t, void (*)(modbus_t*)> client(modbus_new_tcp("127.0.0.1", port), modbus_free);
    std::uint16_t value = 0xFFFF;
    const bool read = client && modbus_set_slave(client.get(), kUnitId) == 0 &&
                      modbus_set_response_timeout(client.get(), 2, 0) == 0 && modbus_connect(client.get()) == 0 &&
                      modbus_read_registers(client.get(), 1, 1, &value) == 1;
    if (client) modbus_close(client.get());
    return read && value == 0;
}

TEST(ModbusServer, ClosesClientsWhoseRequestsDoNotArriveWholeInTime)
{
    ModbusServerOptions options;
    options.maxClients = 8;
    options.idleLimit = 10s;            // never reached: each client sends a byte every 50 ms
    options.requestLimit = 300ms;
    RunningServer server(options);

    // Every place a client may take, each trickling a request a byte at a time.
    std::vector<std::unique_ptr<RawClient>> tricklers;
    for (std::size_t i = 0; i < options.maxClients; ++i) {
        tricklers.push_back(std::make_unique<RawClient>(server.port()));
        ASSERT_TRUE(tricklers.back()->connected());
    }
    const SteadyClock::time_point until = SteadyClock::now() + kPatience;
    std::vector<bool> closed(tricklers.size(), false);
    for (std::size_t sent = 0; std::count(closed.begin(), closed.end(), true) < static_cast<long>(closed.size());
         ++sent) {
        ASSERT_LT(SteadyClock::now(), until) << "clients trickling a request are still served";
        for (std::size_t i = 0; i < tricklers.size(); ++i)
            if (!closed[i])
                closed[i] = tricklers[i]->closedByServer() ||
                            !tricklers[i]->send({kReadRegister1[sent % kReadRegister1.size()]});
        std::this_thread::sleep_for(50ms);
    }
    // A request of twelve bytes at 50 ms a byte would take 550 ms: each was closed before it ended.
    EXPECT_TRUE(readsRegister1(server.port())) << "the places of the closed clients are free again";

    // A request in two parts well within the limit is answered.
    const RawClient split(server.port());
    ASSERT_TRUE(split.send({kReadRegister1.begin(), kReadRegister1.begin() + 5}));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(split.send({kReadRegister1.begin() + 5, kReadRegister1.end()}));
    EXPECT_EQ(split.answer(), (std::vector<std::uint8_t>{0, 1, 0, 0, 0, 5, kUnitId, 0x03, 2, 0, 0}));

    const ModbusServerCounts counts = server.stop();
    EXPECT_EQ(counts.incomplete, options.maxClients);
    EXPECT_EQ(counts.idle, 0u);
    EXPECT_EQ(counts.requests, 2u);
}

TEST(ModbusServer, ClosesASilentClientAfterTheIdleLimit)
{
    ModbusServerOptions options;
    options.idleLimit = 300ms;
    options.requestLimit = 10s;
    RunningServer server(options);
    const RawClient whole(server.port());
    ASSERT_TRUE(whole.send(kReadRegister1));
    EXPECT_FALSE(whole.answer().empty());
    const RawClient silent(server.port());
    ASSERT_TRUE(silent.connected());

    const SteadyClock::time_point until = SteadyClock::now() + kPatience;
    while (!(whole.closedByServer() && silent.closedByServer())) {
        ASSERT_LT(SteadyClock::now(), until) << "a silent client is still served";
        std::this_thread::sleep_for(20ms);
    }
    const ModbusServerCounts counts = server.stop();
    EXPECT_EQ(counts.idle, 2u);
    EXPECT_EQ(counts.incomplete, 0u);
}

TEST(ModbusServer, TheSummaryNamesTheLimitsInForce)
{
    struct Case {
        std::string what;
        ModbusServerOptions options;
        ModbusServerCounts counts;
        std::string line;
    };
    const auto limits = [](std::size_t clients, std::chrono::milliseconds idle, std::chrono::milliseconds request,
                           std::chrono::milliseconds pause) {
        ModbusServerOptions options;
        options.maxClients = clients;
        options.idleLimit = idle;
        options.requestLimit = request;
        options.acceptPause = pause;
        return options;
    };
    ModbusServerCounts quiet;
    quiet.connections = 1;
    quiet.requests = 1;
    ModbusServerCounts busy;
    busy.connections = 12;
    busy.requests = 40;
    busy.exceptions = 3;
    busy.ignored = 1;
    busy.malformed = 2;
    busy.idle = 1;
    busy.incomplete = 4;
    busy.refused = 1;
    busy.acceptPauses = 6;
    const std::vector<Case> cases = {
        {"nothing out of the way", ModbusServerOptions{}, quiet,
         "Modbus TCP: 1 connection, 1 request to unit id 7, 0 answered with an exception"},
        {"the defaults", ModbusServerOptions{}, busy,
         "Modbus TCP: 12 connections, 40 requests to unit id 7, 3 answered with an exception; 1 request to another "
         "unit id not answered; 2 connections closed on a malformed request; 1 connection closed after 60 s without "
         "a request; 4 connections closed on a request not whole 5 s after its first byte; 1 client refused: 8 were "
         "connected; accepting rested 6 times for 500 ms: the system refused a client"},
        {"other limits", limits(3, 1500ms, 250ms, 2s), busy,
         "Modbus TCP: 12 connections, 40 requests to unit id 7, 3 answered with an exception; 1 request to another "
         "unit id not answered; 2 connections closed on a malformed request; 1 connection closed after 1.5 s without "
         "a request; 4 connections closed on a request not whole 250 ms after its first byte; 1 client refused: 3 "
         "were connected; accepting rested 6 times for 2 s: the system refused a client"},
        {"limits in parts of a second", limits(100, 120000ms, 1025ms, 1001ms), busy,
         "Modbus TCP: 12 connections, 40 requests to unit id 7, 3 answered with an exception; 1 request to another "
         "unit id not answered; 2 connections closed on a malformed request; 1 connection closed after 120 s without "
         "a request; 4 connections closed on a request not whole 1.025 s after its first byte; 1 client refused: 100 "
         "were connected; accepting rested 6 times for 1.001 s: the system refused a client"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ModbusServerSummary(c.counts, c.options, kUnitId), c.line);
    }
}

}  // namespace
}  // namespace trelvant
