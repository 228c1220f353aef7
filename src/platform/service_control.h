#pragma once

// Starting, stopping and restarting the service through this system's own service manager,
// asking for the right the way the system does. One implementation file per OS.

#include <functional>
#include <memory>
#include <utility>

#include <wx/string.h>

enum class ServiceCommand { Start, Stop, Restart };

// How a command ended.
struct ServiceOutcome {
    enum class Result {
        Done,       // the service reached the state asked for
        Failed,     // message, or jobResult, says why
        Cancelled,  // the user declined to give the right: nothing to tell
    };
    ServiceOutcome() = default;
    ServiceOutcome(Result how, wxString words, wxString jobWord = wxString())
        : result(how), message(std::move(words)), jobResult(std::move(jobWord)) {}

    Result result = Result::Done;
    wxString message;
    // Set instead of message when a job of the manager's own failed: the manager's word for how
    // it ended (systemd's "failed", "timeout", "canceled", ...), for the tray to put in words.
    wxString jobResult;
};

class ServiceControl {
public:
    using Done = std::function<void(const ServiceOutcome&)>;

    // Cancels what is under way and waits for nothing of it: done is never called afterwards.
    virtual ~ServiceControl() = default;

    // Sends command to the service called name and returns at once. done runs once, on the GUI
    // thread, when the command has ended. One command at a time: the caller waits for done.
    virtual void Run(ServiceCommand command, const wxString& name, Done done) = 0;
};

// This system's service manager. Connects to nothing until the first command.
std::unique_ptr<ServiceControl> MakeServiceControl();

// The service's name on this system: "Quenthal" on Windows, the unit "quenthal.service" on Linux.
wxString DefaultServiceName();

// Whether this system's service manager accepts name as given (on Linux a whole unit name,
// ".service" included, since the D-Bus API adds no suffix).
bool IsValidServiceName(const wxString& name);
