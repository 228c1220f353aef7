#pragma once

// What the tray and its elevated helper, sentak-control.exe, share: the command itself, the
// helper's command line, and a way for tests to take the elevated path on a system that grants
// every right (Wine).

#include <wx/msw/wrapwin.h>

#include <optional>

#include "platform/service_control.h"

// Carries out command on the service called name through the service control manager, waiting
// for the state it asks for; ERROR_SUCCESS, or the Win32 error code that ended it
// (ERROR_CANCELLED when cancel, an event, was set meanwhile).
DWORD CarryOut(ServiceCommand command, const wxString& name, HANDLE cancel);

// CarryOut's code for a service that left STOPPED and came back to it with exit code 0 while it
// was to start: the manager has no reason for it. An application's own code (bit 29), which
// the system's messages never use.
constexpr DWORD kStoppedWhileStarting = 0x20000000 | 1;

// The one service the elevated helper acts on, whatever its command line says: the value
// ServiceName under HKLM\Software\Sentak, which the installer writes and only administrators
// may change; the default service without that value; none (nullopt) when the value is there
// but no valid name. Not from a file beside the helper, which anyone may copy into a folder of
// their own.
std::optional<wxString> ElevatedServiceName();

// The helper's command line: "start", "stop" or "restart", then the service's name.
const wchar_t* CommandWord(ServiceCommand command);
std::optional<ServiceCommand> ParseCommandWord(const wxString& word);

struct ServiceControlOptions {
    // Goes straight to the elevated helper, as when the manager refuses the right.
    bool forceElevation = false;
    // The helper; empty: sentak-control.exe beside this program.
    wxString helper;
};

std::unique_ptr<ServiceControl> MakeServiceControl(ServiceControlOptions options);
