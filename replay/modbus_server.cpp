#include "replay/modbus_server.h"

#include "platform/error.h"

#include <modbus.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

// A connected client, not blocking; -1 when none is waiting any more or it cannot be set up.
int acceptClient(int listener)
{
    const int socket = ::accept(listener, nullptr, nullptr);
    if (socket < 0) return -1;
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

}  // namespace

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

    // The wait ends at the latest when the first idle client is due to be closed.
    const Clock::time_point now = Clock::now();
    for (const Client& client : clients_) {
        using std::chrono::microseconds;
        const auto left = std::chrono::duration_cast<microseconds>(client.lastHeard + options_.idleLimit - now);
        const microseconds bounded = std::max(left, microseconds(0));
        if (!timeout || bounded < *timeout) timeout = bounded;
    }

    fd_set watched;
    FD_ZERO(&watched);
    int highest = listener_;
    FD_SET(listener_, &watched);
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
        } else if (after - client.lastHeard >= options_.idleLimit) {
            ++counts_.idle;
            drop(client);
        }
    }
    std::erase_if(clients_, [](const Client& client) { return client.socket < 0; });
    if (FD_ISSET(listener_, &watched)) accept();
    return readable;
}

void ModbusServer::accept()
{
    // One client per wait: a flood of connections cannot hold the loop.
    const int socket = acceptClient(listener_);
    if (socket < 0) return;
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
    client.used += static_cast<std::size_t>(got);
    client.lastHeard = std::chrono::steady_clock::now();

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
