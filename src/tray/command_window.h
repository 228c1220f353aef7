#pragma once

// The window in which a change of the service's process is our own command's doing: from the
// command's start until a poll after its end finds the process settled.

#include <chrono>
#include <optional>

class CommandWindow {
public:
    using Time = std::chrono::nanoseconds;  // on a clock nobody sets

    // A command of ours begins; false when one is under way already, and nothing changes.
    bool Started();
    void Ended() { m_pending = false; }
    bool Pending() const { return m_pending; }
    // A poll that reached the service, which found the process changed or not: whether the
    // change is ours.
    bool Ours(bool changed, Time now);
    // A stop was shown: the next new process is nobody's, unless a command runs.
    void StopShown();

private:
    bool m_pending = false;  // a command of ours is under way
    bool m_open = false;     // changes are ours: a command runs or ran since the last quiet poll
    std::optional<Time> m_quietSince;  // since the command ended, no change seen
};
