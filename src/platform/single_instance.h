#pragma once

// One Sentak per desktop session and status pipe: a later start tells the one running and ends.

#include <functional>
#include <memory>

// Claims this desktop session and status pipe for this process while the claim lives, unless
// another Sentak holds them already. Made before the toolkit starts, so that a second start ends
// before it shows anything.
class InstanceClaim {
public:
    InstanceClaim();
    ~InstanceClaim();
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;

    // Another Sentak holds this session and pipe and has been told of this start. False where
    // nothing could check (no session bus): then this one runs.
    bool AnotherRuns() const { return m_anotherRuns; }

private:
    // The system's handles that keep the session and pipe claimed; none when another Sentak
    // holds them or nothing could check.
    struct ClaimHandles;
    std::unique_ptr<ClaimHandles> m_handles;
    bool m_anotherRuns = false;
};

// What the process that holds the claim runs when a later start tells it, on the GUI thread.
// An empty handler ignores later starts.
void WhenStartedAgain(std::function<void()> handler);
