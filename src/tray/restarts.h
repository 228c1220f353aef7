#pragma once

// Restarts of the service that nobody of ours asked for, as its new processes tell them, counted
// where the service was seen running and nothing of ours explains them; and how many of them pop
// up a notice.

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/service_state.h"
#include "tray/new_processes.h"

class Restarts {
public:
    // What a poll counted.
    struct Counted {
        int added = 0;  // restarts counted at this poll
        // How the process before the last of them ended, as the manager told.
        std::optional<ServiceEnd> lastEnd;
    };

    // What the manager told unasked, at wall time now (seconds since 1970). True when the time
    // the service runs since changed.
    bool ManagerTold(const ServiceChange& change, std::int64_t now);
    // Whether a poll served by server would find a change of process, or the manager's count
    // changed since the last poll.
    bool Pending(std::optional<std::uint32_t> server) const;
    // A poll that reached the service, served by server where the transport tells. counts: the
    // changes since the last poll are restarts (the service was seen running, and no sleep nor
    // command of ours explains them); otherwise they are where the counting goes on from.
    Counted Polled(std::optional<std::uint32_t> server, bool counts, std::int64_t now);
    // The stop was shown: the end told last was the stop's, and the next process is the
    // service back.
    void StopShown();

    int Count() const { return m_count; }
    std::optional<std::int64_t> FirstAt() const { return m_firstAt; }
    // When the service's process started: the manager's word, else when Sentak first saw it.
    std::optional<std::int64_t> RunningSince() const { return m_runningSince; }

private:
    NewProcesses m_processes;
    int m_pending = 0;                      // restarts since the last poll
    int m_count = 0;                        // counted since Sentak started
    std::optional<std::int64_t> m_firstAt;  // of the first restart counted
    std::optional<std::int64_t> m_runningSince;
    std::optional<ServiceEnd> m_lastEnd;  // told since the last restart or stop
    bool m_backFromStop = false;          // no poll reached the service since the stop was shown
};

// How a restart is told: within a crash loop (restarts less than 10 minutes apart) the first few
// pop up, each replacing the last on screen, and later ones only count where the user looks.
class CrashLoop {
public:
    using Time = std::chrono::nanoseconds;  // on a clock nobody sets
    enum class Pop { Fresh, Again, Quiet };

    Pop Restarted(Time now);

private:
    std::optional<Time> m_lastAt;  // the loop's last restart
    int m_popped = 0;              // notices popped in this loop
};
