#include "platform/clocks.h"

#include <windows.h>

Moment ClocksNow() {
    // Both from the interrupt time, which the tick count reads with the time slept and the
    // unbiased reading without it.
    ULONGLONG unbiased = 0;  // in 100 ns
    QueryUnbiasedInterruptTime(&unbiased);
    return {std::chrono::milliseconds(GetTickCount64()), std::chrono::nanoseconds(unbiased * 100),
            std::chrono::system_clock::now()};
}
