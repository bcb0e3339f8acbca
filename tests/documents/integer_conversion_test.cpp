#include "documents/integer_conversion.h"
#include "platform/error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace trelvant {
namespace {

struct Case {
    std::string text;
    std::optional<std::int32_t> value;  // nullopt: refused
};

class IntegerConversion : public testing::TestWithParam<Case> {};

TEST_P(IntegerConversion, FollowsTheOneRule)
{
    const Case& c = GetParam();
    if (c.value) {
        EXPECT_EQ(StrToInt(c.text), *c.value);
        EXPECT_EQ(StrToIntDef(c.text, -7), *c.value);
    } else {
        try {
            StrToInt(c.text);
            FAIL() << "accepted '" << c.text << "'";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid integer value");
        }
        EXPECT_EQ(StrToIntDef(c.text, -1), -1);
        EXPECT_EQ(StrToIntDef(c.text, 250), 250);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, IntegerConversion, testing::Values(
    Case{"61444", 61444},
    Case{"0", 0},
    Case{"   42", 42},                 // leading blanks are skipped
    Case{"+17", 17},
    Case{"-17", -17},
    Case{"  -5", -5},
    Case{"010", 10},                   // no octal
    Case{"$F004", 0xF004},
    Case{"xF004", 0xF004},
    Case{"XF004", 0xF004},
    Case{"0xF004", 0xF004},
    Case{"0Xf004", 0xF004},            // digits in either case
    Case{"-$1F", -31},
    Case{"+0x10", 16},
    Case{"0x7FFFFFFF", 2147483647},
    Case{"0x80000000", INT32_MIN},     // eight hex digits are a bit pattern
    Case{"0xFFFFFFFF", -1},
    Case{"-0xFFFFFFFF", 1},
    Case{"$000000001F", 31},           // leading zeros do not count against the width
    Case{"2147483647", 2147483647},
    Case{"-2147483648", INT32_MIN},
    Case{"0x100000000", std::nullopt}, // nine hex digits
    Case{"$123456789", std::nullopt},
    Case{"2147483648", std::nullopt},  // decimal overflow
    Case{"-2147483649", std::nullopt},
    Case{"99999999999999999999", std::nullopt},
    Case{"42 ", std::nullopt},         // a trailing blank fails
    Case{"", std::nullopt},
    Case{"   ", std::nullopt},
    Case{"0x", std::nullopt},
    Case{"$", std::nullopt},
    Case{"-", std::nullopt},
    Case{"- 5", std::nullopt},
    Case{"+-5", std::nullopt},
    Case{"00x10", std::nullopt},
    Case{"0x-1", std::nullopt},
    Case{"12abc", std::nullopt},
    Case{"1e3", std::nullopt},
    Case{"\t5", std::nullopt},
    Case{"0xG", std::nullopt},
    Case{"5\xC2\xA0", std::nullopt}));

}  // namespace
}  // namespace trelvant
