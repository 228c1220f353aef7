#pragma once

// The clocks that time what the tray says. Intervals are measured on clocks nobody sets, so that a
// stepped wall clock neither hides an outage nor stretches one; the wall clock only gives the
// times shown. One implementation file per OS.

#include <chrono>

struct Moment {
    // Since the computer started, counting the time it slept: what an interval lasted for the
    // user.
    std::chrono::nanoseconds sinceBoot{0};
    // Since the computer started, standing still while it sleeps: the two apart grow by exactly
    // the time slept, which tells a sleep nobody announced.
    std::chrono::nanoseconds awake{0};
    std::chrono::system_clock::time_point wall;  // as the user's clock says; may be stepped

    std::chrono::nanoseconds Slept() const { return sinceBoot - awake; }
};

// The three clocks now (Linux: CLOCK_BOOTTIME, CLOCK_MONOTONIC; Windows: the interrupt time and
// the unbiased one).
Moment ClocksNow();
