#pragma once

// What the system announces of the computer's sleep and of the session's end: a service that is
// down across a sleep or a shutdown is no news to tell. One implementation file per OS.

#include <functional>
#include <memory>

struct SessionEvents {
    std::function<void()> sleeping;  // the computer is about to sleep
    std::function<void()> resumed;   // it woke up
    // true: a shutdown, reboot or the end of the session is announced; false: it was cancelled.
    std::function<void(bool announced)> ending;
};

// Follows the announcements while it lives; the handlers run on the GUI thread, never after the
// watch is gone.
class SessionWatch {
public:
    virtual ~SessionWatch() = default;
};

std::unique_ptr<SessionWatch> WatchSession(SessionEvents events);
