#pragma once

#include <chrono>
#include <optional>

// Lets a thing happen at most once per pause, on a clock nobody sets.
class Throttle {
public:
    using Time = std::chrono::nanoseconds;

    explicit Throttle(Time pause) : m_pause(pause) {}
    bool Allow(Time now) {
        if (m_lastAt && now - *m_lastAt < m_pause) return false;
        m_lastAt = now;
        return true;
    }

private:
    Time m_pause;
    std::optional<Time> m_lastAt;
};
