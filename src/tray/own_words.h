#pragma once

// The service's own words about an outage: what it last logged of its run, read from the system's
// log once an outage, or else what it last told the manager.

#include <optional>

#include <wx/string.h>

#include "platform/service_log.h"
#include "platform/service_state.h"
#include "tray/outage_reason.h"

class OwnWords {
public:
    // The manager said why the service does not answer, failures polls in a row: true when the
    // log is to be read now. Once an outage, and only for a service that ended otherwise than by a
    // clean stop we asked for.
    bool Wanted(const std::optional<OutageReason>& reason, bool stopAsked, int failures);
    // What the manager says the service last told it, shown while the log gives nothing.
    bool ManagerSaid(const std::optional<ServiceFacts>& facts);
    // What the log said; true when what the tray shows changed. Unreadable's line is what would
    // make the log readable.
    bool Heard(const LastWords& words);
    // The service answers: the next outage reads the log anew.
    void Over();

    // The line to quote, as it came; none when neither the log nor the manager had one.
    std::optional<wxString> Line() const;
    // What would make the log readable, when it was not.
    std::optional<wxString> Advice() const;

private:
    bool m_asked = false;
    std::optional<LastWords> m_log;
    wxString m_statusText;
};
