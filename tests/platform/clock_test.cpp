#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace trelvant {
namespace {

// The process's time zone set through TZ for one test and put back after it. The C libraries of
// Linux and Windows both read "XST-5:45" as a zone 5 h 45 min east of Greenwich.
class TimeZone {
public:
    explicit TimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ")) old_ = old;
        set(zone);
    }
    ~TimeZone() { set(old_ ? old_->c_str() : nullptr); }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

private:
    static void set(const char* zone)
    {
#ifdef _WIN32
        _putenv_s("TZ", zone ? zone : "");
        _tzset();
#else
        if (zone) setenv("TZ", zone, 1);
        else unsetenv("TZ");
        tzset();
#endif
    }
    std::optional<std::string> old_;
};

// The build's date and time are the local clock's: in a zone whose minutes differ from UTC the
// clock agrees with the local time of the same second and not with UTC (tried again across a
// second's edge).
TEST(SystemClock, ReadsTheLocalTime)
{
    const TimeZone zone("XST-5:45");
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
        const std::tm utc = *std::gmtime(&before);
        EXPECT_EQ((now.minute - utc.tm_min + 60) % 60, 45) << "the zone was not applied";
        return;
    }
    FAIL() << "the clock's second changed at every attempt";
}

}  // namespace
}  // namespace trelvant
