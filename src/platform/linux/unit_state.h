#pragma once

// systemd's words for a unit's state, read into the portable record of the service's facts.

#include <glib.h>

#include <cstdint>
#include <optional>

#include <wx/string.h>

#include "platform/service_state.h"

// systemd's properties of a service unit, as it spells them, from its Unit and Service
// interfaces: what the manager does with it, and its last main process, whose pid and end stay
// after it ended.
struct UnitProperties {
    wxString loadState, activeState, subState;  // org.freedesktop.systemd1.Unit
    wxString invocationId;  // InvocationID's 16 bytes as 32 lowercase hex digits; empty for none
    wxString result;        // org.freedesktop.systemd1.Service, as the rest
    wxString statusText;    // what the service last told the manager of itself
    std::uint32_t execMainPid = 0;
    std::uint64_t execMainStartTimestamp = 0;  // in microseconds since 1970
    std::int32_t execMainCode = 0;    // 0 while it runs; how it ended: 1 exited, 2 killed, 3 dumped
    std::int32_t execMainStatus = 0;  // its exit status, or the number of the signal
    std::optional<std::uint32_t> nRestarts;  // NRestarts, where the manager says
};

// Reads into unit what systemd's properties say (an a{sv} of any of the unit's interfaces, as
// GetAll and PropertiesChanged carry them), leaving the rest as it was. They come from outside:
// values of an unexpected type are left out, and texts are cut short.
void ReadUnitProperties(GVariant* properties, UnitProperties& unit);

ServiceFacts DecodeUnit(const UnitProperties& unit);

// What the manager's latest words about the main process tell that was not told yet: each new
// process's start once, the end of one whose start was told, once, and else each new count of
// the manager's restarts once; every change with the count as the manager said last.
class MainProcessFollower {
public:
    std::optional<ServiceChange> Follow(const UnitProperties& unit);

private:
    std::uint32_t m_told = 0;  // the process whose start was told
    bool m_endTold = false;
    std::optional<std::uint32_t> m_restarts;  // the count said last
};
