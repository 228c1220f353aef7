#pragma once

// What the system's service manager knows about the service, read as any user may: no right
// asked for, no prompt. One implementation file per OS.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include <wx/string.h>

// systemd's properties of the unit, as it spells them.
struct UnitFacts {
    wxString loadState, activeState, subState;  // org.freedesktop.systemd1.Unit
    wxString result;                            // org.freedesktop.systemd1.Service, as the rest
    std::int32_t execMainCode = 0;    // how the main process ended: 1 exited, 2 killed, 3 dumped
    std::int32_t execMainStatus = 0;  // its exit status, or the number of the signal
};

// The service control manager's facts, in Win32's codes.
struct ScmFacts {
    std::uint32_t openError = 0;  // why the service could not be opened; 0 when it was
    std::uint32_t state = 0;      // dwCurrentState
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceExitCode = 0;  // only when win32ExitCode is ERROR_SERVICE_SPECIFIC_ERROR
    bool disabled = false;              // its start type is disabled
};

// Win32's values of those codes, for code that builds on every system.
namespace scm {
constexpr std::uint32_t kStopped = 1, kStartPending = 2, kStopPending = 3, kRunning = 4,
                        kContinuePending = 5, kPausePending = 6, kPaused = 7;
constexpr std::uint32_t kServiceDoesNotExist = 1060, kServiceSpecificError = 1066,
                        kProcessAborted = 1067, kServiceNeverStarted = 1077;
}  // namespace scm

using ServiceFacts = std::variant<UnitFacts, ScmFacts>;

class ServiceStateReader {
public:
    // None when the manager could not be asked (no system bus, no systemd, no right to look).
    using Got = std::function<void(const std::optional<ServiceFacts>&)>;

    // Drops what is under way: got is never called afterwards.
    virtual ~ServiceStateReader() = default;

    // Asks about the service called name and returns at once; got runs once, on the GUI thread.
    virtual void Ask(const wxString& name, Got got) = 0;
};

// This system's service manager.
std::unique_ptr<ServiceStateReader> MakeServiceStateReader();
