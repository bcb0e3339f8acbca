#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace trelvant {
namespace {

// The build's date and time are the local clock's, on Windows as elsewhere: the clock agrees
// with the C library's local time of the same second (tried again across a second's edge).
TEST(SystemClock, ReadsTheLocalTime)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const LocalDateTime now = SystemClock().now();
        if (std::time(nullptr) != before) continue;
        const std::tm local = *std::localtime(&before);
        EXPECT_EQ(now.year, local.tm_year + 1900);
        EXPECT_EQ(now.month, local.tm_mon + 1);
        EXPECT_EQ(now.day, local.tm_mday);
        EXPECT_EQ(now.hour, local.tm_hour);
        EXPECT_EQ(now.minute, local.tm_min);
        EXPECT_EQ(now.second, local.tm_sec);
        return;
    }
    FAIL() << "the clock's second changed at every attempt";
}

}  // namespace
}  // namespace trelvant
