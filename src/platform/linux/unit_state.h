#pragma once

// systemd's words for a unit's state, read into the portable record of the service's facts.

#include <cstdint>
#include <optional>

#include <wx/string.h>

#include "platform/service_state.h"

// systemd's properties of the unit, as it spells them.
struct UnitProperties {
    wxString loadState, activeState, subState;  // org.freedesktop.systemd1.Unit
    wxString result;                            // org.freedesktop.systemd1.Service, as the rest
    std::int32_t execMainCode = 0;    // how the main process ended: 1 exited, 2 killed, 3 dumped
    std::int32_t execMainStatus = 0;  // its exit status, or the number of the signal
};

ServiceFacts DecodeUnit(const UnitProperties& unit);

// systemd's words for the service's main process, as the Service interface's signals carry them:
// the last process started, whose pid and end stay after it ended.
struct MainProcess {
    std::uint32_t pid = 0;                  // ExecMainPID
    std::uint64_t startedUs = 0;            // ExecMainStartTimestamp, in microseconds since 1970
    wxString result;                        // Result, as in UnitProperties
    std::int32_t execMainCode = 0;          // 0 while it runs; otherwise as in UnitProperties
    std::int32_t execMainStatus = 0;        // as in UnitProperties
    std::optional<std::uint32_t> restarts;  // NRestarts, where the manager says
};

// What the manager's latest words about the main process tell that was not told yet: each new
// process's start once, the end of one whose start was told, once, and else each new count of
// the manager's restarts once; every change with the count as the manager said last.
class MainProcessFollower {
public:
    std::optional<ServiceChange> Follow(const MainProcess& process);

private:
    std::uint32_t m_told = 0;  // the process whose start was told
    bool m_endTold = false;
    std::optional<std::uint32_t> m_restarts;  // the count said last
};
