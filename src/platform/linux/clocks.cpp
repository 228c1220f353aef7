#include "platform/clocks.h"

#include <time.h>

namespace {
std::chrono::nanoseconds Read(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}
}  // namespace

Moment ClocksNow() {
    return {Read(CLOCK_BOOTTIME), Read(CLOCK_MONOTONIC), std::chrono::system_clock::now()};
}
