#include "replay/modbus_server.h"

#include "platform/error.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trelvant {
namespace {

// The Modbus TCP header: transaction, protocol, length of what follows, unit id.
constexpr std::size_t kHeader = 7;
constexpr std::uint8_t kReadHoldingRegisters = 0x03;
constexpr std::uint8_t kWriteSingleRegister = 0x06;
constexpr std::uint8_t kWriteMultipleRegisters = 0x10;

std::uint16_t word(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

// The socket calls of the server, kept apart: the rest of it is the same on every system.

bool makeNonBlocking(int socket)
{
    const int flags = fcntl(socket, F_GETFL);
    return flags != -1 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) != -1 &&
           fcntl(socket, F_SETFD, FD_CLOEXEC) != -1;
}

std::optional<std::uint16_t> boundPort(int socket)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) return std::nullopt;
    return ntohs(address.sin_port);
}

void closeSocket(int socket)
{
    if (socket >= 0) ::close(socket);
}

// A connected client, not blocking; -1 when none is waiting any more or it cannot be set up, error
// then the system's refusal to accept one (too many open files), 0 for none.
int acceptClient(int listener, int& error)
{
    error = 0;
    const int socket = ::accept(listener, nullptr, nullptr);
    if (socket < 0) {
        // A client that gave up while waiting is no refusal.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED && errno != EPROTO)
            error = errno;
        return -1;
    }
    // select() cannot watch a descriptor at or above FD_SETSIZE.
    if (socket >= FD_SETSIZE || !makeNonBlocking(socket)) {
        closeSocket(socket);
        return -1;
    }
    return socket;
}

// Bytes received; 0 when nothing is waiting; -1 when the connection ended or failed.
long receiveBytes(int socket, std::uint8_t* into, std::size_t size)
{
    const ssize_t got = ::recv(socket, into, size, 0);
    if (got > 0) return got;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return -1;
}

std::string counted(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// "60 s", "1.5 s", "250 ms".
std::string durationText(std::chrono::milliseconds duration)
{
    const auto ms = duration.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    if (ms < 1000) return std::to_string(ms) + " ms";
    std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    return std::to_string(ms / 1000) + "." + fraction + " s";
}

}  // namespace

std::string ModbusServerSummary(const ModbusServerCounts& counts, const ModbusServerOptions& options,
                                std::uint8_t unitId)
{
    const auto connections = [](std::size_t count) { return counted(count, "connection", "connections"); };
    std::string line = "Modbus TCP: " + connections(counts.connections) + ", " +
                       counted(counts.requests, "request", "requests") + " to unit id " + std::to_string(unitId) +
                       ", " + std::to_string(counts.exceptions) + " answered with an exception";
    if (counts.ignored > 0)
        line += "; " + counted(counts.ignored, "request", "requests") + " to another unit id not answered";
    if (counts.malformed > 0) line += "; " + connections(counts.malformed) + " closed on a malformed request";
    if (counts.idle > 0)
        line += "; " + connections(counts.idle) + " closed after " + durationText(options.idleLimit) +
                " without a request";
    if (counts.incomplete > 0)
        line += "; " + connections(counts.incomplete) + " closed on a request not whole " +
                durationText(options.requestLimit) + " after its first byte";
    if (counts.refused > 0)
        line += "; " + counted(counts.refused, "client", "clients") + " refused: " +
                std::to_string(options.maxClients) + " were connected";
    if (counts.acceptPauses > 0)
        line += "; accepting rested " + counted(counts.acceptPauses, "time", "times") + " for " +
                durationText(options.acceptPause) + ": the system refused a client";
    return line;
}

ModbusServer::ModbusServer(ReplayGateway& gateway, ModbusServerOptions options, CanFrameSink* sent,
                           std::function<std::int64_t()> logTime)
    : gateway_(gateway), options_(std::move(options)), sent_(sent), logTime_(std::move(logTime))
{
    const std::string where = options_.address + ":" + std::to_string(options_.port);
    const auto refuse = [&](const std::string& reason) {
        if (listener_ >= 0) closeSocket(listener_);
        if (scratch_) modbus_mapping_free(scratch_);
        if (context_) modbus_free(context_);
        throw Error("Unable to listen on " + where + ": " + reason);
    };
    context_ = modbus_new_tcp(options_.address.c_str(), options_.port);
    if (!context_) refuse(modbus_strerror(errno));
    scratch_ = modbus_mapping_new_start_address(0, 0, 0, 0, 0, 65536, 0, 0);
    if (!scratch_) refuse(modbus_strerror(errno));
    const int backlog = static_cast<int>(std::min<std::size_t>(options_.maxClients, 64));
    listener_ = modbus_tcp_listen(context_, backlog);
    if (listener_ < 0) refuse(systemReason(errno));
    if (listener_ >= FD_SETSIZE || !makeNonBlocking(listener_)) refuse("the socket cannot be watched");
    const std::optional<std::uint16_t> port = boundPort(listener_);
    if (!port) refuse(systemReason(errno));
    port_ = *port;
}

ModbusServer::~ModbusServer()
{
    for (const Client& client : clients_) closeSocket(client.socket);
    closeSocket(listener_);
    modbus_mapping_free(scratch_);
    modbus_free(context_);
}

std::vector<bool> ModbusServer::serveOnce(std::optional<std::chrono::microseconds> timeout, std::span<const int> wake)
{
    using Clock = std::chrono::steady_clock;
    std::vector<bool> readable(wake.size(), false);
    std::erase_if(clients_, [](const Client& client) { return client.socket < 0; });

    // The wait ends at the latest when the first client is due to be closed, or accepting resumes.
    const Clock::time_point now = Clock::now();
    if (acceptResumes_ && now >= *acceptResumes_) acceptResumes_.reset();
    const auto waitAtMostUntil = [&](Clock::time_point when) {
        using std::chrono::microseconds;
        const auto left = std::chrono::duration_cast<microseconds>(when - now);
        const microseconds bounded = std::max(left, microseconds(0));
        if (!timeout || bounded < *timeout) timeout = bounded;
    };
    for (const Client& client : clients_) waitAtMostUntil(deadline(client));
    if (acceptResumes_) waitAtMostUntil(*acceptResumes_);

    fd_set watched;
    FD_ZERO(&watched);
    int highest = -1;
    // While accepting rests, a waiting client must not wake every wait at once.
    if (!acceptResumes_) {
        FD_SET(listener_, &watched);
        highest = listener_;
    }
    for (const Client& client : clients_) {
        FD_SET(client.socket, &watched);
        highest = std::max(highest, client.socket);
    }
    for (const int fd : wake) {
        if (fd < 0 || fd >= FD_SETSIZE) continue;
        FD_SET(fd, &watched);
        highest = std::max(highest, fd);
    }
    timeval limit{};
    if (timeout) {
        limit.tv_sec = static_cast<decltype(limit.tv_sec)>(timeout->count() / 1000000);
        limit.tv_usec = static_cast<decltype(limit.tv_usec)>(timeout->count() % 1000000);
    }
    const int ready = ::select(highest + 1, &watched, nullptr, nullptr, timeout ? &limit : nullptr);
    if (ready < 0) {
        if (errno == EINTR) return readable;
        throw Error("Unable to wait for Modbus requests: " + systemReason(errno));
    }

    for (std::size_t i = 0; i < wake.size(); ++i)
        readable[i] = wake[i] >= 0 && wake[i] < FD_SETSIZE && FD_ISSET(wake[i], &watched);
    // A client to close is marked first: the sink may throw half way through the clients.
    const Clock::time_point after = Clock::now();
    const auto drop = [](Client& client) {
        closeSocket(client.socket);
        client.socket = -1;
    };
    for (Client& client : clients_) {
        if (FD_ISSET(client.socket, &watched)) {
            if (!receive(client)) drop(client);
        } else if (after >= deadline(client)) {
            if (client.used > 0 && after - client.requestStart >= options_.requestLimit)
                ++counts_.incomplete;
            else
                ++counts_.idle;
            drop(client);
        }
    }
    std::erase_if(clients_, [](const Client& client) { return client.socket < 0; });
    if (!acceptResumes_ && FD_ISSET(listener_, &watched)) accept();
    return readable;
}

std::vector<std::string> ModbusServer::takeNotices()
{
    return std::exchange(notices_, {});
}

std::chrono::steady_clock::time_point ModbusServer::deadline(const Client& client) const
{
    const auto idle = client.lastHeard + options_.idleLimit;
    return client.used > 0 ? std::min(idle, client.requestStart + options_.requestLimit) : idle;
}

void ModbusServer::accept()
{
    // One client per wait: a flood of connections cannot hold the loop.
    int refusal = 0;
    const int socket = acceptClient(listener_, refusal);
    if (socket < 0) {
        if (refusal == 0) return;
        // The client stays waiting, and the listener readable: accepting rests instead of spinning.
        acceptResumes_ = std::chrono::steady_clock::now() + options_.acceptPause;
        if (counts_.acceptPauses++ == 0)
            notices_.push_back("Unable to accept a client: " + systemReason(refusal) + "; accepting again every " +
                               durationText(options_.acceptPause) + " while this lasts");
        return;
    }
    if (clients_.size() >= options_.maxClients) {
        ++counts_.refused;
        closeSocket(socket);
        return;
    }
    ++counts_.connections;
    Client client;
    client.socket = socket;
    client.lastHeard = std::chrono::steady_clock::now();
    clients_.push_back(client);
}

bool ModbusServer::receive(Client& client)
{
    std::uint8_t* const end = client.buffer.data() + client.used;
    const long got = receiveBytes(client.socket, end, client.buffer.size() - client.used);
    if (got < 0) return false;
    if (got == 0) return true;
    const auto now = std::chrono::steady_clock::now();
    if (client.used == 0) client.requestStart = now;
    client.used += static_cast<std::size_t>(got);
    client.lastHeard = now;

    // Each whole request, as its header's length field tells: the unit id and 1 to 253 bytes of PDU.
    while (client.used >= kHeader) {
        const std::uint16_t protocol = word(&client.buffer[2]);
        const std::uint16_t following = word(&client.buffer[4]);
        if (protocol != 0 || following < 2 || following > kMaxAdu - 6) {
            ++counts_.malformed;
            return false;
        }
        const std::size_t length = 6u + following;
        if (client.used < length) break;
        if (!answer(client.socket, client.buffer.data(), length)) return false;
        std::memmove(client.buffer.data(), client.buffer.data() + length, client.used - length);
        client.used -= length;
        // What follows a whole request began to arrive now.
        client.requestStart = now;
    }
    return true;
}

bool ModbusServer::answer(int socket, const std::uint8_t* request, std::size_t length)
{
    // As on the serial line: a request to another slave is not answered and changes nothing.
    if (request[6] != gateway_.unitId()) {
        ++counts_.ignored;
        return true;
    }
    const std::uint8_t function = request[kHeader];
    if (function >= 0x80) {
        ++counts_.malformed;
        return false;
    }
    ++counts_.requests;
    if (modbus_set_socket(context_, socket) != 0) return false;
    switch (function) {
    case kReadHoldingRegisters:
        return answerRead(request, length);
    case kWriteSingleRegister:
    case kWriteMultipleRegisters:
        return answerWrite(request, length);
    default:
        return exception(request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION);
    }
}

// modbus_reply is handed only requests it answers without an exception of its own: for a bad
// quantity it would wait its response timeout and empty the socket, holding every client.

bool ModbusServer::answerRead(const std::uint8_t* request, std::size_t length)
{
    if (length != kHeader + 5) {
        ++counts_.malformed;
        return false;
    }
    const std::uint16_t address = word(&request[kHeader + 1]);
    const std::uint16_t quantity = word(&request[kHeader + 3]);
    if (quantity < 1 || quantity > MODBUS_MAX_READ_REGISTERS)
        return exception(request, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
    const std::optional<std::uint32_t> first = storedRegister(address);
    if (!first || *first + quantity > 65536) return exception(request, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
    for (std::uint32_t i = 0; i < quantity; ++i) {
        const auto reg = static_cast<std::uint16_t>(*first + i);
        const RegisterUse use = gateway_.use(reg);
        if (use == RegisterUse::None) return exception(request, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);
        scratch_->tab_registers[address + i] = use == RegisterUse::Parameter ? 0 : gateway_.value(reg);
    }
    return modbus_reply(context_, request, static_cast<int>(length), scratch_) > 0;
}

bool ModbusServer::answerWrite(const std::uint8_t* request, std::size_t length)
{
    const bool single = request[kHeader] == kWriteSingleRegister;
    const std::uint16_t address = word(&request[kHeader + 1]);
    std::vector<std::uint16_t> values;
    if (single) {
        if (length != kHeader + 5) {
            ++counts_.malformed;
            return false;
        }
        values.push_back(word(&request[kHeader + 3]));
    } else {
        const std::size_t bytes = length > kHeader + 5 ? request[kHeader + 5] : 0;
        if (length < kHeader + 6 || length != kHeader + 6 + bytes) {
            ++counts_.malformed;
            return false;
        }
        const std::uint16_t quantity = word(&request[kHeader + 3]);
        if (quantity < 1 || quantity > MODBUS_MAX_WRITE_REGISTERS || bytes != 2u * quantity)
            return exception(request, MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE);
        for (std::size_t i = 0; i < quantity; ++i) values.push_back(word(&request[kHeader + 6 + 2 * i]));
    }
    const std::optional<std::uint32_t> first = storedRegister(address);
    if (!first || !gateway_.writable(static_cast<std::uint16_t>(*first), values.size()))
        return exception(request, MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS);

    // The device takes the write before it answers: it stands when the answer does not arrive.
    const std::vector<CanFrame> frames = gateway_.write(static_cast<std::uint16_t>(*first), values, logTime_());
    if (sent_)
        for (const CanFrame& frame : frames) sent_->send(frame);
    return modbus_reply(context_, request, static_cast<int>(length), scratch_) > 0;
}

bool ModbusServer::exception(const std::uint8_t* request, int code)
{
    ++counts_.exceptions;
    return modbus_reply_exception(context_, request, static_cast<unsigned>(code)) > 0;
}

std::optional<std::uint32_t> ModbusServer::storedRegister(std::uint16_t address) const
{
    const std::uint32_t reg = address + (options_.oneBased ? 1u : 0u);
    if (reg > 0xFFFF) return std::nullopt;
    return reg;
}

}  // namespace trelvant
