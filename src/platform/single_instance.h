#pragma once

// One Sentak per desktop session and status pipe: a later start tells the one running and ends.

#include <functional>
#include <memory>

// This desktop session and status pipe, held by this process while the claim lives, unless
// another Sentak holds them already. Made before the toolkit starts.
class InstanceClaim {
public:
    InstanceClaim();
    ~InstanceClaim();
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;

    // Another Sentak holds them and has been told of this start. Where nothing can tell (no
    // session bus), never.
    bool AnotherRuns() const { return m_anotherRuns; }

private:
    struct Held;
    std::unique_ptr<Held> m_held;
    bool m_anotherRuns = false;
};

// What the process that holds the claim does when a later start tells it, on the GUI thread.
// Empty: nothing.
void WhenStartedAgain(std::function<void()> told);
