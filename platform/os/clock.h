// Tick count and wall clock. Everything that asks for the time goes through
// the current Clock, so tests can install a ManualClock and drive time.
#pragma once

#include <cstdint>
#include <mutex>

namespace os {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary fixed start; never goes backwards.
    virtual uint64_t MonotonicMs() = 0;
    // Microseconds since 1970-01-01 UTC.
    virtual int64_t WallTimeUs() = 0;
    // Offset of local time from UTC in seconds at the given wall time.
    virtual int32_t LocalOffsetSeconds(int64_t wallTimeUs) = 0;
};

// The real clock of the system.
Clock& SystemClock();

// The clock in force. SetClock(nullptr) returns to the system clock. The
// caller keeps the clock it installs alive while it is in force.
Clock& CurrentClock();
void SetClock(Clock* clock);

// A clock that moves only when told to.
class ManualClock : public Clock {
public:
    explicit ManualClock(uint64_t startMs = 1000, int64_t wallUs = 0, int32_t offsetSeconds = 0);
    uint64_t MonotonicMs() override;
    int64_t WallTimeUs() override;
    int32_t LocalOffsetSeconds(int64_t wallTimeUs) override;
    // Moves both the tick count and the wall time forward.
    void Advance(uint64_t ms);
    void SetWallTimeUs(int64_t wallUs);
    void SetLocalOffsetSeconds(int32_t offset);

private:
    std::mutex lock_;
    uint64_t ms_;
    int64_t wallUs_;
    int32_t offset_;
};

// Milliseconds of the current clock, wrapping at 32 bits like the classic tick count.
uint32_t GetTickCount();
uint64_t GetTickCount64();

// Days since 1899-12-30 (the date-time number) of the current local time and of UTC.
double NowLocalDateTime();
double NowUtcDateTime();
// Converts microseconds since 1970-01-01 to a date-time number.
double UnixUsToDateTime(int64_t unixUs);

} // namespace os
