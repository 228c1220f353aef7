#pragma once

// The report that "Copy diagnostics" puts on the clipboard for a support request: plain text in
// the user's language, with nothing secret in it (no environment, no user name, no paths).

#include <cstddef>
#include <cstdint>
#include <deque>

#include <wx/string.h>

#include "base/menu_model.h"
#include "tray/stop_report.h"

// The last changes of what the tray showed, each with its time in seconds since 1970.
class StateHistory {
public:
    static constexpr std::size_t kKept = 10;
    struct Change {
        Shown shown;
        std::int64_t at;
    };

    void Changed(Shown shown, std::int64_t at);
    const std::deque<Change>& Changes() const { return m_changes; }

private:
    std::deque<Change> m_changes;  // oldest first
};

// Where Sentak runs, as the report names it.
struct Surroundings {
    wxString system;   // the operating system and the desktop
    wxString tray;     // what shows the icon
    wxString service;  // the service's name on this system
};

// facts: the extended menu's facts as they are now, from the time of the last update down.
wxString DiagnosticsReport(const Surroundings& where, const MenuModel& facts,
                           const StateHistory& history);
