#include "documents/communication_checks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace trelvant {
namespace {

// The dialog's values with remote requests on and five different registers.
PargenValues requesting(const char* timeOut, const char* timeOutRegister, const char* priority, const char* pgn1,
                        const char* pgn2, const char* source)
{
    PargenValues values;
    values.En_Rem_Req = true;
    values.TimeOut_Data = timeOut;
    values.TO_ModReg = timeOutRegister;
    values.Pri_Des = priority;
    values.PGN1 = pgn1;
    values.PGN2 = pgn2;
    values.SA = source;
    return values;
}

struct CheckCase {
    const char* name;
    PargenValues values;
    std::optional<std::string> message;  // nothing: every check passes
};

class CommunicationChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(CommunicationChecks, FirstFailureOrPass)
{
    EXPECT_EQ(CommunicationCheckFailure(GetParam().values), GetParam().message);
}

PargenValues off(const char* timeOut, const char* timeOutRegister, const char* request = "x")
{
    PargenValues values;
    values.TimeOut_Data = timeOut;
    values.TO_ModReg = timeOutRegister;
    values.Pri_Des = request;
    values.PGN1 = "";
    values.PGN2 = "0";
    values.SA = "0";
    return values;
}

const std::string kTimeOut = "Error! The Time Out Data must be between 0 and 255 seconds";
const std::string kRegister = "Error! The Modbus Register must be between 1 and 65535 seconds";

INSTANTIATE_TEST_SUITE_P(Cases, CommunicationChecks, testing::Values(
    CheckCase{"Defaults", PargenValues{}, std::nullopt},
    CheckCase{"TimeOutBounds", off("255", "1"), std::nullopt},
    CheckCase{"TimeOutZeroAndTopRegister", off("0", "65535"), std::nullopt},
    CheckCase{"TimeOutHexAsTyped", off("$FF", "1"), std::nullopt},
    CheckCase{"TimeOutLeadingBlank", off(" 7", "1"), std::nullopt},
    CheckCase{"TimeOutTrailingBlank", off("7 ", "1"), kTimeOut},
    CheckCase{"TimeOut256", off("256", "1"), kTimeOut},
    CheckCase{"TimeOutNegative", off("-1", "1"), kTimeOut},
    CheckCase{"TimeOutNotANumber", off("abc", "1"), kTimeOut},
    CheckCase{"TimeOutEmpty", off("", "1"), kTimeOut},
    CheckCase{"RegisterZero", off("0", "0"), kRegister},
    CheckCase{"Register65536", off("0", "65536"), kRegister},
    CheckCase{"RequestsOffLetAnythingThrough", off("0", "1", "x"), std::nullopt},
    CheckCase{"PriorityOutOfRange", requesting("0", "1", "0", "3", "4", "5"),
              "Error! The Modbus Register for Priority and Destination must be between 1 and 65535 seconds"},
    CheckCase{"Pgn1OutOfRange", requesting("0", "1", "2", "65536", "4", "5"),
              "Error! The Modbus Register for PGN Part 1 must be between 1 and 65535 seconds"},
    CheckCase{"Pgn2NotANumber", requesting("0", "1", "2", "3", "x", "5"),
              "Error! The Modbus Register for PGN Part 2 must be between 1 and 65535 seconds"},
    CheckCase{"SourceEmpty", requesting("0", "1", "2", "3", "4", ""),
              "Error! The Modbus Register for Source Address must be between 1 and 65535 seconds"},
    CheckCase{"RegisterIsPriority", requesting("0", "1", "1", "3", "4", "5"),
              "Error! The Modbus Register cannot be equal to Priority and Destination"},
    CheckCase{"RegisterIsPgn1InHex", requesting("0", "10", "2", "$A", "4", "5"),
              "Error! The Modbus Register cannot be equal to PGN Part 1"},
    CheckCase{"RegisterIsPgn2", requesting("0", "4", "2", "3", "4", "5"),
              "Error! The Modbus Register cannot be equal to PGN Part 2"},
    CheckCase{"RegisterIsSource", requesting("0", "5", "2", "3", "4", "5"),
              "Error! The Modbus Register cannot be equal to Source Address"},
    CheckCase{"PriorityIsPgn1", requesting("0", "1", "3", "3", "4", "5"),
              "Error! The Priority and Destination cannot be equal to PGN Part 1"},
    CheckCase{"PriorityIsPgn2", requesting("0", "1", "4", "3", "4", "5"),
              "Error! The Priority and Destination cannot be equal to PGN Part 2"},
    CheckCase{"PriorityIsSource", requesting("0", "1", "5", "3", "4", "5"),
              "Error! The Priority and Destination cannot be equal to Source Address"},
    CheckCase{"Pgn1IsPgn2", requesting("0", "10", "20", "30", "30", "40"),
              "Error! The PGN Part 1 cannot be equal to PGN Part 2"},
    CheckCase{"Pgn1IsSource", requesting("0", "1", "2", "3", "4", "3"),
              "Error! The PGN Part 1 cannot be equal to Source Address"},
    CheckCase{"Pgn2IsSource", requesting("0", "1", "2", "3", "4", "4"),
              "Error! The PGN Part 2 cannot be equal to Source Address"},
    CheckCase{"FiveDifferentRegisters", requesting("0", "1", "2", "3", "4", "65535"), std::nullopt},
    CheckCase{"RangeBeforeEquality", requesting("0", "1", "1", "0", "4", "5"),
              "Error! The Modbus Register for PGN Part 1 must be between 1 and 65535 seconds"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trelvant
