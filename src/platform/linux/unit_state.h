#pragma once

// systemd's words for a unit's state, read into the portable record of the service's facts.

#include <cstdint>

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
