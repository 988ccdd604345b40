#include "platform/os/clock.h"

#include <atomic>
#include <ctime>

namespace os {

namespace {

class RealClock : public Clock {
public:
    uint64_t MonotonicMs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    }
    int64_t WallTimeUs() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
    }
    int32_t LocalOffsetSeconds(int64_t wallTimeUs) override {
        time_t secs = time_t(wallTimeUs / 1000000);
        tm local{};
        if (!localtime_r(&secs, &local)) return 0;
        return int32_t(local.tm_gmtoff);
    }
};

std::atomic<Clock*> g_clock{nullptr};

constexpr double kUnixEpochDateTime = 25569.0; // 1970-01-01 as days since 1899-12-30
constexpr double kUsPerDay = 86400.0 * 1e6;

} // namespace

Clock& SystemClock() {
    static RealClock clock;
    return clock;
}

Clock& CurrentClock() {
    Clock* c = g_clock.load(std::memory_order_acquire);
    return c ? *c : SystemClock();
}

void SetClock(Clock* clock) {
    g_clock.store(clock, std::memory_order_release);
}

ManualClock::ManualClock(uint64_t startMs, int64_t wallUs, int32_t offsetSeconds)
    : ms_(startMs), wallUs_(wallUs), offset_(offsetSeconds) {}

uint64_t ManualClock::MonotonicMs() {
    std::lock_guard<std::mutex> g(lock_);
    return ms_;
}

int64_t ManualClock::WallTimeUs() {
    std::lock_guard<std::mutex> g(lock_);
    return wallUs_;
}

int32_t ManualClock::LocalOffsetSeconds(int64_t) {
    std::lock_guard<std::mutex> g(lock_);
    return offset_;
}

void ManualClock::Advance(uint64_t ms) {
    std::lock_guard<std::mutex> g(lock_);
    ms_ += ms;
    wallUs_ += int64_t(ms) * 1000;
}

void ManualClock::SetWallTimeUs(int64_t wallUs) {
    std::lock_guard<std::mutex> g(lock_);
    wallUs_ = wallUs;
}

void ManualClock::SetLocalOffsetSeconds(int32_t offset) {
    std::lock_guard<std::mutex> g(lock_);
    offset_ = offset;
}

uint32_t GetTickCount() {
    return uint32_t(CurrentClock().MonotonicMs());
}

uint64_t GetTickCount64() {
    return CurrentClock().MonotonicMs();
}

double UnixUsToDateTime(int64_t unixUs) {
    return kUnixEpochDateTime + double(unixUs) / kUsPerDay;
}

double NowUtcDateTime() {
    return UnixUsToDateTime(CurrentClock().WallTimeUs());
}

double NowLocalDateTime() {
    Clock& c = CurrentClock();
    int64_t us = c.WallTimeUs();
    return UnixUsToDateTime(us + int64_t(c.LocalOffsetSeconds(us)) * 1000000);
}

} // namespace os
