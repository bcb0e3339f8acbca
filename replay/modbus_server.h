#pragma once

// The gateway's serial side offered over Modbus TCP, on libmodbus: a strict slave of one unit id
// that answers from the registers of a replay and hands the frames its writes send to a sink.
// Single-threaded: requests are answered between two calls of the caller's loop, so the registers
// of one received frame change together between two requests.

#include "replay/can_log.h"
#include "replay/replay_gateway.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace trelvant {

struct ModbusServerOptions {
    std::string address = "127.0.0.1";  // IPv4, dotted; "0.0.0.0" for every interface
    std::uint16_t port = 1502;           // 0 picks a free port
    bool oneBased = false;               // the address a of a request is stored register a + 1
    std::size_t maxClients = 8;          // a client beyond these is accepted and closed at once
    std::chrono::milliseconds idleLimit{60000};  // a client that sends nothing for this long is closed
    std::chrono::milliseconds requestLimit{5000};  // a request not whole this long after its first byte closes its client
    std::chrono::milliseconds acceptPause{500};    // accepting rests this long when the system refuses a client
};

// What the server did, for its summary.
struct ModbusServerCounts {
    std::size_t connections = 0;  // clients accepted and served
    std::size_t refused = 0;      // clients closed at once: maxClients were connected
    std::size_t requests = 0;     // requests to the gateway's unit id
    std::size_t exceptions = 0;   // of which answered with an exception
    std::size_t ignored = 0;      // requests to another unit id, not answered
    std::size_t malformed = 0;    // connections closed for a request that is no Modbus TCP request
    std::size_t idle = 0;         // connections closed after idleLimit without a byte
    std::size_t incomplete = 0;   // connections closed on a request not whole within requestLimit
    std::size_t acceptPauses = 0;  // times accepting rested: the system refused a client
};

// The summary's line on the connections and requests, without its line end: the limits named are
// those of options.
std::string ModbusServerSummary(const ModbusServerCounts& counts, const ModbusServerOptions& options,
                                std::uint8_t unitId);

class ModbusServer {
public:
    // Listens at once. sent takes the frames that writes send (none: they go nowhere); logTime
    // gives the time they carry. Throws Error("Unable to listen on <address>:<port>: <reason>").
    ModbusServer(ReplayGateway& gateway, ModbusServerOptions options, CanFrameSink* sent,
                 std::function<std::int64_t()> logTime);
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // The port listened on: the one picked for port 0.
    std::uint16_t port() const { return port_; }
    const ModbusServerCounts& counts() const { return counts_; }

    // Waits up to timeout (none: without limit) for a client, a request or one of the descriptors
    // of wake to become readable, accepts and answers what came, and returns which of wake are
    // readable. Returns early, with none readable, when a signal interrupts the wait. Throws Error
    // when the wait itself fails, or from the sink.
    std::vector<bool> serveOnce(std::optional<std::chrono::microseconds> timeout, std::span<const int> wake);

    // What the server has to tell its user since the last call, a line each: the first time the
    // system refuses to accept a client.
    std::vector<std::string> takeNotices();

private:
    // One Modbus TCP header and PDU at most: 7 + 253 bytes.
    static constexpr std::size_t kMaxAdu = 260;

    struct Client {
        int socket = -1;
        std::array<std::uint8_t, kMaxAdu> buffer{};
        std::size_t used = 0;
        std::chrono::steady_clock::time_point lastHeard;
        std::chrono::steady_clock::time_point requestStart;  // the first byte of the request in buffer
    };

    // When the client is to be closed unless it sends something: idle, or its request not whole.
    std::chrono::steady_clock::time_point deadline(const Client& client) const;
    void accept();
    // Reads what the client sent and answers each whole request; false when it is to be closed.
    bool receive(Client& client);
    // Answers one request of length bytes; false when the connection is to be closed.
    bool answer(int socket, const std::uint8_t* request, std::size_t length);
    bool answerRead(const std::uint8_t* request, std::size_t length);
    bool answerWrite(const std::uint8_t* request, std::size_t length);
    bool exception(const std::uint8_t* request, int code);
    // The stored register of a request's address; none past the last register.
    std::optional<std::uint32_t> storedRegister(std::uint16_t address) const;

    ReplayGateway& gateway_;
    ModbusServerOptions options_;
    CanFrameSink* sent_;
    std::function<std::int64_t()> logTime_;
    modbus_t* context_ = nullptr;
    modbus_mapping_t* scratch_ = nullptr;  // the 65536 registers modbus_reply answers from
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::vector<Client> clients_;
    std::optional<std::chrono::steady_clock::time_point> acceptResumes_;  // accepting rests until then
    std::vector<std::string> notices_;
    ModbusServerCounts counts_;
};

}  // namespace trelvant
