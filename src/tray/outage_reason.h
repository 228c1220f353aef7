#pragma once

// Why the service does not answer, as the system's service manager tells it, and what the tray
// offers for it. Plain decisions, the same on every system.

#include <optional>

#include <wx/string.h>

#include "platform/service_control.h"
#include "platform/service_state.h"

struct OutageReason {
    enum class Kind {
        NotInstalled,
        Masked,    // the manager refuses to start it
        Disabled,  // the manager will not start it until it is enabled
        Stopped,
        Exited,   // detail: the exit code
        Killed,   // detail: the signal's name
        Aborted,  // the process ended unexpectedly (the manager says no more)
        Failed,   // detail: the manager's word for how
        Restarting,
        Starting,
        Stopping,
        NotAnswering,  // the manager says it runs: hung, or its pipe taken by another
    };
    Kind kind;
    wxString detail;

    bool operator==(const OutageReason& other) const {
        return kind == other.kind && detail == other.detail;
    }
    bool operator!=(const OutageReason& other) const { return !(*this == other); }
};

// The reason the manager's facts tell, the same on every system. Every record tells one; optional
// as a manager that could not be asked is, so that callers handle both alike.
std::optional<OutageReason> DecideReason(const ServiceFacts& facts);

// One translated sentence.
wxString ReasonText(const OutageReason& reason);

// The command that helps, offered on the stop notification: Start for a service the manager
// says is not running, Restart for one it says runs; none where neither can help.
std::optional<ServiceCommand> Remedy(const OutageReason& reason);

struct OfferedCommands {
    bool start, stop, restart;
};
// Which service commands the extended menu offers.
OfferedCommands OfferCommands(bool commandPending, bool statusValid,
                              const std::optional<OutageReason>& reason);
