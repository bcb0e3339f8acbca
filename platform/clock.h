#pragma once

namespace trelvant {

// A moment on the computer's local clock.
struct LocalDateTime {
    int year = 2000;
    int month = 1;   // 1 to 12
    int day = 1;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

// The computer's local clock.
class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
};

// A clock that always reads the same moment, for scripted builds and tests.
class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalDateTime moment) : moment_(moment) {}
    LocalDateTime now() const override { return moment_; }

private:
    LocalDateTime moment_;
};

}  // namespace trelvant
