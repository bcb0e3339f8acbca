#include "documents/communication_checks.h"

#include "documents/integer_conversion.h"

#include <array>
#include <string_view>

namespace trelvant {
namespace {

struct Register {
    std::string_view name;  // as the messages name it
    std::int32_t value;
};

bool within(std::int32_t value, std::int32_t low, std::int32_t high)
{
    return value >= low && value <= high;
}

}  // namespace

std::optional<std::string> CommunicationCheckFailure(const PargenValues& values)
{
    const std::int32_t timeOut = StrToIntDef(values.TimeOut_Data, -1);
    const std::int32_t timeOutRegister = StrToIntDef(values.TO_ModReg, -1);
    if (!within(timeOut, 0, 255)) return "Error! The Time Out Data must be between 0 and 255 seconds";
    if (!within(timeOutRegister, 1, 65535)) return "Error! The Modbus Register must be between 1 and 65535 seconds";
    if (!values.En_Rem_Req) return std::nullopt;

    const std::array<Register, 5> registers = {{
        {"Modbus Register", timeOutRegister},
        {"Priority and Destination", StrToIntDef(values.Pri_Des, -1)},
        {"PGN Part 1", StrToIntDef(values.PGN1, -1)},
        {"PGN Part 2", StrToIntDef(values.PGN2, -1)},
        {"Source Address", StrToIntDef(values.SA, -1)},
    }};
    for (std::size_t i = 1; i < registers.size(); ++i)
        if (!within(registers[i].value, 1, 65535))
            return "Error! The Modbus Register for " + std::string(registers[i].name) +
                   " must be between 1 and 65535 seconds";
    // Every pair, in the order of the list: the time-out register against each of the others,
    // then the priority and destination against those after it, and so on.
    for (std::size_t i = 0; i < registers.size(); ++i)
        for (std::size_t j = i + 1; j < registers.size(); ++j)
            if (registers[i].value == registers[j].value)
                return "Error! The " + std::string(registers[i].name) +
                       " cannot be equal to " + std::string(registers[j].name);
    return std::nullopt;
}

}  // namespace trelvant
