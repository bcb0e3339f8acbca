// What a Modbus master waits for from "trelvant-cli serve": one read of 125 holding registers
// (function 03), from libmodbus' client to the server on loopback and back. Target: under 1 ms.
#include "image/image_dump.h"
#include "replay/modbus_server.h"
#include "replay/replay_gateway.h"

#include <benchmark/benchmark.h>
#include <modbus.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

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

}  // namespace
}  // namespace trelvant
