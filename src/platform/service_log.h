#pragma once

// What the service itself last said before it ended, read from the system's log: the journal on
// Linux, the event log on Windows. One implementation file per OS, and the asynchronous call
// shared.

#include <cstdint>
#include <functional>
#include <optional>

#include <wx/string.h>

#include "base/lifetime.h"

// Which run of the service to read about.
struct ServiceRun {
    // Its name on this system: the systemd unit (quenthal.service) / the Windows service name,
    // which is also its event source.
    wxString service;
    // Linux: the manager's InvocationID of the run (32 lowercase hex digits); may be empty, and
    // then the unit's entries of the current boot count.
    wxString runId{};
    // Windows: when the run started, in seconds since 1970 UTC, if known; else since the boot.
    std::optional<std::int64_t> startedAt = std::nullopt;
};

// What the service itself last said about that run.
struct LastWords {
    enum class Found {
        Line,
        Nothing,
        // The user may not read the log, or it cannot be opened. A machine that keeps no log at
        // all (a container without a journal) gives Nothing: nothing would make it readable.
        Unreadable,
    };
    Found found = Found::Nothing;
    // Line's: as logged, whole but for a cap of 4 KiB, as valid text; it may hold several lines,
    // markup and control characters.
    wxString line;
};

// Bounded: looks at no more than the last 1,000 entries of the run and for no longer than about
// 200 ms. Blocks, so it runs off the GUI thread.
LastWords ReadLastWords(const ServiceRun& run);

// Runs ReadLastWords on a worker thread and returns at once; got runs on the GUI thread with the
// words, unless the owner that caller watches has ended by then. Nobody waits for the worker.
void AskLastWords(ServiceRun run, Lifetime::Watch caller,
                  std::function<void(const LastWords&)> got);
